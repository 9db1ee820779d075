// The task-dialog component's way to Windows: version queries, the native task
// dialog of the common controls (bound at run time), the emulated window
// (TaskMessageWindow), and the shell for links.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "taskdialog/TaskDialog.h"
#include "taskdialog/TaskDialogPlatform.h"
#include "winenv/win32/Handle.h"

namespace dupd {

// The file version of a module ("COMCTL32.DLL"): the most significant word pair of
// its fixed file information; -1 when any step fails.
std::int32_t GetModuleFileVersion(const char* fileName);

class Win32TaskDialogPlatform : public ITaskDialogPlatform {
public:
    // `applicationWindow` (may be null) owns dialogs that have no ParentWindow.
    explicit Win32TaskDialogPlatform(HWND applicationWindow);

    OsVersionInfo SystemVersion() override;
    std::int32_t CommonControlsVersion() override;
    int RunNative(TTaskDialogEx& dialog, const NativeTaskDialogConfig& config) override;
    int RunEmulated(TTaskDialogEx& dialog) override;
    void SendToDialog(std::uintptr_t window, unsigned message, std::uintptr_t wParam,
                      std::intptr_t lParam) override;
    void UpdateElementText(std::uintptr_t window, int element, const std::string& text) override;
    void OpenLink(std::uintptr_t window, const std::string& program, const std::string& link) override;

    // Called once per emulated dialog, when its window has finished its first
    // paint (the preview tool's screenshot, the benchmark's clock).
    std::function<void(HWND dialog)> OnFirstPaint;

private:
    HWND OwnerFor(std::uintptr_t parentWindow) const;

    HWND applicationWindow_;
    // Loaded on the first native dialog and kept while the platform lives.
    UniqueModule commonControls_;
};

}  // namespace dupd
