// The window of a TTaskDialogButton record (command link or expand control): it
// feeds the record the mouse, keyboard and focus and paints it through the record.
#pragma once

#include <windows.h>

#include <exception>

#include "taskdialog/TaskDialogButton.h"
#include "taskdialog/win32/FormWindow.h"

namespace dupd {

class TaskMessageWindow;

class DialogButtonWindow final : private FormWindow {
public:
    DialogButtonWindow(TaskMessageWindow& owner, TTaskDialogButton& record) : owner_(owner), record_(record) {}

    HWND Create(HWND parent, DWORD style);

private:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Failed(std::exception_ptr error) noexcept override;
    void Invalidate();
    void Paint();

    TaskMessageWindow& owner_;
    TTaskDialogButton& record_;
    bool tracking_ = false;
};

}  // namespace dupd
