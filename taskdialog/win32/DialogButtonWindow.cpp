// The owner-drawn button's window.
#include "taskdialog/win32/DialogButtonWindow.h"

#include "markup/win32/GdiCanvas.h"
#include "taskdialog/win32/TaskMessageWindow.h"
#include "taskdialog/win32/TaskWindowSupport.h"

namespace dupd {

using namespace taskwindow;

HWND DialogButtonWindow::Create(HWND parent, DWORD style)
{
    return CreateBound(0, kButtonClass, record_.Caption.c_str(), style, record_.Bounds.Left, record_.Bounds.Top,
                       record_.Width(), record_.Height(), parent, record_.Id);
}

LRESULT DialogButtonWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the paint covers everything
    case WM_MOUSEMOVE:
        if (!tracking_) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Window(), 0};
            tracking_ = ::TrackMouseEvent(&track) != FALSE;
            record_.Hot = true;
            // Hovering takes the focus, but does not activate a dialog in the back.
            if (record_.FocusOnHover && ::IsWindowEnabled(Window()) &&
                ::GetActiveWindow() == ::GetAncestor(Window(), GA_ROOT))
                ::SetFocus(Window());
            Invalidate();
        }
        return 0;
    case WM_MOUSELEAVE:
        tracking_ = false;
        record_.Hot = false;
        Invalidate();
        return 0;
    case WM_LBUTTONDOWN:
        record_.Down = true;
        ::SetCapture(Window());
        Invalidate();
        return 0;
    case WM_LBUTTONUP: {
        // Only a press that began here clicks, and only when it ends here.
        const bool pressed = record_.Down;
        record_.Down = false;
        if (::GetCapture() == Window()) ::ReleaseCapture();
        Invalidate();
        RECT client{};
        ::GetClientRect(Window(), &client);
        const POINT at{XOf(lParam), YOf(lParam)};
        if (pressed && ::PtInRect(&client, at)) owner_.ControlClicked(record_);
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (record_.Down) {
            record_.Down = false;
            Invalidate();
        }
        return 0;
    case WM_KEYDOWN:
        // Held keys repeat; one press clicks once.
        if ((wParam == VK_SPACE || wParam == VK_RETURN) && !(lParam & (1L << 30))) owner_.ControlClicked(record_);
        return 0;
    case BM_CLICK:
        owner_.ControlClicked(record_);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
        Invalidate();
        return 0;
    case WM_GETDLGCODE:
        return DLGC_BUTTON;
    default:
        return Default(message, wParam, lParam);
    }
}

void DialogButtonWindow::Failed(std::exception_ptr error) noexcept { owner_.HandlerFailed(error); }

void DialogButtonWindow::Invalidate() { ::InvalidateRect(Window(), nullptr, FALSE); }

void DialogButtonWindow::Paint()
{
    PaintDc paint(Window());
    RECT client{};
    ::GetClientRect(Window(), &client);
    BackBuffer buffer(paint.get(), client.right, client.bottom);
    buffer.Fill(ColorRefOf(record_.Color));
    {
        GdiCanvas canvas(buffer.dc());
        canvas.SetFont(record_.Font);
        TaskMessageWindow::PaintingOn surface(owner_, canvas);
        record_.Paint(canvas, ::GetFocus() == Window(), owner_.Pictures());
    }
    buffer.Show(paint.area());
}

}  // namespace dupd
