#include "winenv/win32/uVistaFuncs.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "winenv/SimpleTaskDialogRules.h"
#include "winenv/win32/Handle.h"
#include "winenv/win32/OsVersionQuery.h"

namespace dupd {

namespace {

using TaskDialogFn = HRESULT(WINAPI*)(HWND, HINSTANCE, PCWSTR, PCWSTR, PCWSTR, DWORD, PCWSTR, int*);

// A fixed 1025-character buffer, as the dialog gets it: longer texts are cut.
struct WideText {
    wchar_t text[kSimpleTaskDialogTextLimit + 1] = {};
};

void ConvertInto(const std::string& source, WideText& target)
{
    if (source.empty()) return;
    const int length = static_cast<int>(source.size());
    const int needed = ::MultiByteToWideChar(CP_ACP, 0, source.data(), length, nullptr, 0);
    if (needed <= 0) return;
    std::vector<wchar_t> wide(static_cast<std::size_t>(needed));
    const int got = ::MultiByteToWideChar(CP_ACP, 0, source.data(), length, wide.data(), needed);
    const std::size_t keep = std::min<std::size_t>(got > 0 ? static_cast<std::size_t>(got) : 0,
                                                   kSimpleTaskDialogTextLimit);
    std::copy(wide.begin(), wide.begin() + static_cast<std::ptrdiff_t>(keep), target.text);
    target.text[keep] = L'\0';
}

}  // namespace

int SimpleTaskDialog(const OsVersionInfo& os, HWND owner, const std::string& title,
                     const std::string& instruction, const std::string& content, DWORD buttons, int icon,
                     UINT messageBoxFlags)
{
    if (!IsVistaOrLater(os)) return ::MessageBoxA(owner, content.c_str(), title.c_str(), messageBoxFlags);

    UniqueModule comctl(::LoadLibraryA("comctl32"));
    if (reinterpret_cast<std::uintptr_t>(comctl.get()) < 32) {
        comctl.release();  // not a module handle: nothing to free
        return 0;
    }
    const auto taskDialog = reinterpret_cast<TaskDialogFn>(
        reinterpret_cast<void*>(::GetProcAddress(comctl.get(), "TaskDialog")));
    if (!taskDialog) return 0;  // the library goes with `comctl`

    // Three texts of 2 KB each: kept off the stack of the caller's message handler.
    auto texts = std::make_unique<WideText[]>(3);
    ConvertInto(title, texts[0]);
    ConvertInto(instruction, texts[1]);
    ConvertInto(content, texts[2]);

    int pressed = 0;
    const HRESULT hr = taskDialog(owner, nullptr, texts[0].text, texts[1].text, texts[2].text, buttons,
                                  MAKEINTRESOURCEW(icon), &pressed);
    if (hr != S_OK) return 0;
    return MapTaskDialogButton(pressed);
}

int SimpleTaskDialog(HWND owner, const std::string& title, const std::string& instruction,
                     const std::string& content, DWORD buttons, int icon, UINT messageBoxFlags)
{
    return SimpleTaskDialog(QueryOsVersion(), owner, title, instruction, content, buttons, icon, messageBoxFlags);
}

}  // namespace dupd
