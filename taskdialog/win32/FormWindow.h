// A window run by an object: the object is bound to its window at WM_NCCREATE and
// let go at WM_NCDESTROY, every message goes to its one Handle(), and whatever a
// handler throws stops at the window procedure and is handed to Failed().
#pragma once

#include <windows.h>

#include <exception>

namespace dupd {

class FormWindow {
public:
    FormWindow() = default;
    virtual ~FormWindow() = default;
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    // Null before creation and after destruction.
    HWND Window() const { return window_; }

    // Registers a class whose windows are run by FormWindow objects; true when it
    // is there (also when an earlier call registered it).
    static bool RegisterFormClass(const char* className, HBRUSH background, HCURSOR cursor);

protected:
    // CreateWindowExA with this object bound to the new window.
    HWND CreateBound(DWORD exStyle, const char* className, const char* text, DWORD style, int x, int y, int width,
                     int height, HWND parent, int id);

    virtual LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // What a handler threw; the message then answers 0.
    virtual void Failed(std::exception_ptr error) noexcept = 0;

    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam)
    {
        return ::DefWindowProcA(window_, message, wParam, lParam);
    }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
};

}  // namespace dupd
