#include "markup/OpenLink.h"

namespace dupd {

LinkOpenCall PlanOpenLink(bool systemHasGetLocaleInfoEx, std::uintptr_t window, const std::string& program,
                          const std::string& link)
{
    LinkOpenCall c;
    c.parent = window;
    if (systemHasGetLocaleInfoEx) {
        c.call = LinkOpenCall::Call::ShellExecuteEx;
        c.verb = "runas";
        c.file = program;
        c.parameters = link;
    } else {
        c.call = LinkOpenCall::Call::ShellExecute;
        c.verb = "open";
        c.file = link;
    }
    return c;
}

}  // namespace dupd
