#include "winenv/win32/Win32OpenLink.h"

#include <shellapi.h>

#include "winenv/OpenLink.h"
#include "winenv/win32/OsVersionQuery.h"

namespace dupd {

namespace {

const char* OrNull(const std::string& s) { return s.empty() ? nullptr : s.c_str(); }

}  // namespace

void ShellOpenLink(HWND window, const std::string& program, const std::string& link)
{
    const auto planned =
        PlanOpenLink(KernelHasGetLocaleInfoEx(), reinterpret_cast<std::uintptr_t>(window), program, link);
    if (!planned) return;
    const LinkOpenCall& plan = *planned;
    if (plan.call == LinkOpenCall::Call::ShellExecuteEx) {
        SHELLEXECUTEINFOA info{};
        info.cbSize = sizeof info;
        info.hwnd = reinterpret_cast<HWND>(plan.parent);
        info.lpVerb = plan.verb.c_str();
        info.lpFile = plan.file.c_str();
        info.lpParameters = OrNull(plan.parameters);
        info.nShow = plan.show;
        ::ShellExecuteExA(&info);
    } else {
        ::ShellExecuteA(reinterpret_cast<HWND>(plan.parent), plan.verb.c_str(), plan.file.c_str(),
                        OrNull(plan.parameters), nullptr, plan.show);
    }
}

}  // namespace dupd
