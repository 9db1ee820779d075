// Which shell call opens a clicked link. From Vista on (recognised by kernel32
// exporting GetLocaleInfoEx) the link is handed to a program started with the
// "runas" verb; older systems open the link itself with "open".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace dupd {

struct LinkOpenCall {
    enum class Call { ShellExecuteEx, ShellExecute };
    Call call = Call::ShellExecute;
    std::string verb;
    std::string file;
    std::string parameters;  // empty = none
    int show = 1;            // SW_SHOWNORMAL
    std::uintptr_t parent = 0;

    friend bool operator==(const LinkOpenCall& a, const LinkOpenCall& b)
    {
        return a.call == b.call && a.verb == b.verb && a.file == b.file && a.parameters == b.parameters &&
               a.show == b.show && a.parent == b.parent;
    }
};

// nullopt for a link that is not handed on at all: only http:// and https:// links
// are opened, and none that holds a quote or a control character, since the
// program that opens it may run with an administrator's rights and takes the link
// as its command line.
std::optional<LinkOpenCall> PlanOpenLink(bool systemHasGetLocaleInfoEx, std::uintptr_t window,
                                         const std::string& program, const std::string& link);

}  // namespace dupd
