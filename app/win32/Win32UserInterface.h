// Dialogs and beeps of the update run, owned by the program's windows.
#pragma once

#include <windows.h>

#include "winenv/Platform.h"

namespace dupd {

class Win32UserInterface : public IUserInterface {
public:
    explicit Win32UserInterface(HWND applicationWindow) : applicationWindow_(applicationWindow) {}
    void SetMainForm(HWND form) { form_ = form; }

    void Beep(std::uint32_t type) override;
    int ShowMessageBox(const std::string& caption, const std::string& text, std::uint32_t flags) override;
    std::string ApplicationTitle() override;
    int SimpleTaskDialog(const SimpleTaskDialogArgs& args) override;
    std::uintptr_t MainWindowHandle() override;
    void RequestTerminate() override;

private:
    HWND applicationWindow_;
    HWND form_ = nullptr;
};

}  // namespace dupd
