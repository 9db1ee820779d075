#include "winenv/win32/uVistaFuncs.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "winenv/SimpleTaskDialogRules.h"
#include "winenv/win32/Handle.h"
#include "winenv/win32/OsVersionQuery.h"
#include "winenv/win32/SystemText.h"

namespace dupd {

namespace {

using TaskDialogFn = HRESULT(WINAPI*)(HWND, HINSTANCE, PCWSTR, PCWSTR, PCWSTR, DWORD, PCWSTR, int*);

// A fixed 1025-character buffer, as the dialog gets it: longer texts are cut.
struct TextBuffer {
    wchar_t text[kSimpleTaskDialogTextLimit + 1] = {};
};

void ConvertInto(const std::string& source, TextBuffer& target)
{
    const std::wstring wide = SystemWide(source, ProcessTextMode());
    const std::size_t keep = std::min<std::size_t>(wide.size(), kSimpleTaskDialogTextLimit);
    wide.copy(target.text, keep);
    target.text[keep] = L'\0';
}

}  // namespace

int SimpleTaskDialog(const OsVersionInfo& os, HWND owner, const std::string& title,
                     const std::string& instruction, const std::string& content, DWORD buttons, int icon,
                     UINT messageBoxFlags)
{
    if (!IsVistaOrLater(os)) {
        // XP takes UTF-16 too: a path in the content is shown as Explorer shows it.
        if (ProcessTextMode() == TextMode::Utf8)
            return ::MessageBoxW(owner, SystemWide(content, TextMode::Utf8).c_str(),
                                 SystemWide(title, TextMode::Utf8).c_str(), messageBoxFlags);
        return ::MessageBoxA(owner, content.c_str(), title.c_str(), messageBoxFlags);
    }

    UniqueModule comctl(::LoadLibraryA("comctl32"));
    if (reinterpret_cast<std::uintptr_t>(comctl.get()) < 32) {
        comctl.release();  // not a module handle: nothing to free
        return 0;
    }
    const auto taskDialog = reinterpret_cast<TaskDialogFn>(
        reinterpret_cast<void*>(::GetProcAddress(comctl.get(), "TaskDialog")));
    if (!taskDialog) return 0;  // the library goes with `comctl`

    // Three texts of 2 KB each: kept off the stack of the caller's message handler.
    auto texts = std::make_unique<TextBuffer[]>(3);
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
