#include "winenv/OpenLink.h"

#include <algorithm>

#include "winenv/Ascii.h"

namespace dupd {

namespace {

bool IsWebLink(const std::string& link)
{
    const std::string scheme = UpperAscii(link.substr(0, link.find("://")));
    return link.find("://") != std::string::npos && (scheme == "HTTP" || scheme == "HTTPS") &&
           link.size() > scheme.size() + 3;
}

bool HoldsQuoteOrControl(const std::string& link)
{
    return std::any_of(link.begin(), link.end(), [](unsigned char c) { return c == '"' || c < 0x20 || c == 0x7F; });
}

}  // namespace

std::optional<LinkOpenCall> PlanOpenLink(bool systemHasGetLocaleInfoEx, std::uintptr_t window,
                                         const std::string& program, const std::string& link)
{
    if (!IsWebLink(link) || HoldsQuoteOrControl(link)) return std::nullopt;
    LinkOpenCall c;
    c.parent = window;
    if (systemHasGetLocaleInfoEx) {
        c.call = LinkOpenCall::Call::ShellExecuteEx;
        c.verb = "runas";
        c.file = program;
        // One argument, whatever blanks the link holds.
        c.parameters = "\"" + link + "\"";
    } else {
        c.call = LinkOpenCall::Call::ShellExecute;
        c.verb = "open";
        c.file = link;
    }
    return c;
}

}  // namespace dupd
