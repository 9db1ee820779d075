// What the task-dialog component needs of the system: the version facts that
// choose the way, the two ways of showing the dialog, messages to an open native
// dialog and the opening of a link. taskdialog/win32/Win32TaskDialog.h is the
// real one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "winenv/OsVersion.h"

namespace dupd {

class TTaskDialogEx;
struct NativeTaskDialogConfig;

class ITaskDialogPlatform {
public:
    virtual ~ITaskDialogPlatform() = default;

    virtual OsVersionInfo SystemVersion() = 0;
    // The most significant file-version word pair of the common-controls library;
    // -1 when it cannot be read.
    virtual std::int32_t CommonControlsVersion() = 0;

    // Shows the system's task dialog modally, routes its notifications to
    // dialog.HandleNotification and stores SelectedRadioButton and
    // VerificationChecked. The pressed button's ID (0 when none is reported); -1
    // when the system has no task dialog.
    virtual int RunNative(TTaskDialogEx& dialog, const NativeTaskDialogConfig& config) = 0;
    // Shows the program's own dialog window; the pressed button's ID.
    virtual int RunEmulated(TTaskDialogEx& dialog) = 0;

    // To the open native dialog `window`.
    virtual void SendToDialog(std::uintptr_t window, unsigned message, std::uintptr_t wParam,
                              std::intptr_t lParam) = 0;
    virtual void UpdateElementText(std::uintptr_t window, int element, const std::string& text) = 0;

    // Hands a link to the system shell; failures are ignored.
    virtual void OpenLink(std::uintptr_t window, const std::string& program, const std::string& link) = 0;
};

// The system's own platform, for the program that puts the adapters together
// (the Windows build defines it): `ownerWindow` owns dialogs that have no
// ParentWindow, 0 for none.
std::unique_ptr<ITaskDialogPlatform> MakeSystemTaskDialogPlatform(std::uintptr_t ownerWindow);

}  // namespace dupd
