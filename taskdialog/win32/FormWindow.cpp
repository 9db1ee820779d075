#include "taskdialog/win32/FormWindow.h"

namespace dupd {

bool FormWindow::RegisterFormClass(const char* className, HBRUSH background, HCURSOR cursor)
{
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSA existing{};
    if (::GetClassInfoA(instance, className, &existing)) return true;
    WNDCLASSA c{};
    c.lpfnWndProc = Procedure;
    c.hInstance = instance;
    c.hCursor = cursor;
    c.hbrBackground = background;
    c.lpszClassName = className;
    return ::RegisterClassA(&c) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND FormWindow::CreateBound(DWORD exStyle, const char* className, const char* text, DWORD style, int x, int y,
                             int width, int height, HWND parent, int id)
{
    return ::CreateWindowExA(exStyle, className, text, style, x, y, width, height, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleA(nullptr), this);
}

LRESULT CALLBACK FormWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if (self) self->window_ = window;
    }
    // Messages before WM_NCCREATE (WM_GETMINMAXINFO) find nobody yet.
    auto* self = reinterpret_cast<FormWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr) return ::DefWindowProcA(window, message, wParam, lParam);

    LRESULT result = 0;
    try {
        result = self->Handle(message, wParam, lParam);
    } catch (...) {
        self->Failed(std::current_exception());
        result = 0;
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
    }
    return result;
}

}  // namespace dupd
