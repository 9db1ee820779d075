#include "app/win32/Win32UserInterface.h"

#include "winenv/win32/SystemText.h"
#include "winenv/win32/uVistaFuncs.h"

namespace dupd {

void Win32UserInterface::Beep(std::uint32_t type) { MessageBeep(type); }

int Win32UserInterface::ShowMessageBox(const std::string& caption, const std::string& text, std::uint32_t flags)
{
    // Owned by the form (the program's only one), or the application window before it exists.
    HWND owner = form_ ? form_ : applicationWindow_;
    // The text may name a folder outside the ANSI code page (SystemText.h).
    const TextMode mode = ProcessTextMode();
    if (mode == TextMode::Utf8)
        return MessageBoxW(owner, SystemWide(text, mode).c_str(), SystemWide(caption, mode).c_str(), flags);
    return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

std::string Win32UserInterface::ApplicationTitle()
{
    const TextMode mode = ProcessTextMode();
    std::string name;
    if (mode == TextMode::Utf8) {
        wchar_t path[MAX_PATH + 1] = {};
        const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
        name = FromSystemWide(path, length < MAX_PATH ? length : 0, mode);
    } else {
        char path[MAX_PATH + 1] = {};
        const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
        name.assign(path, length < MAX_PATH ? length : 0);
    }
    const auto slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const auto dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

int Win32UserInterface::SimpleTaskDialog(const SimpleTaskDialogArgs& args)
{
    return dupd::SimpleTaskDialog(applicationWindow_, args.title, args.instruction, args.content, args.buttons,
                                  args.icon, args.messageBoxFlags);
}

std::uintptr_t Win32UserInterface::MainWindowHandle() { return reinterpret_cast<std::uintptr_t>(form_); }

void Win32UserInterface::RequestTerminate() { PostQuitMessage(0); }

}  // namespace dupd
