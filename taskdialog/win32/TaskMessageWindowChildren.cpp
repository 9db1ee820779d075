// The form window's child windows, one per control record: creating them,
// copying the records onto them, and the focus among them.
#include "taskdialog/win32/TaskMessageWindow.h"

#include "taskdialog/win32/DialogButtonWindow.h"
#include "taskdialog/win32/TaskWindowSupport.h"

namespace dupd {

using namespace taskwindow;

// ---- the child windows

TaskMessageWindow::Child* TaskMessageWindow::ChildOf(HWND window)
{
    if (window == nullptr) return nullptr;
    for (auto& c : children_)
        if (c.window == window) return &c;
    return nullptr;
}

TaskMessageWindow::Child* TaskMessageWindow::ChildOf(const TControl& record)
{
    for (auto& c : children_)
        if (c.record == &record) return &c;
    return nullptr;
}

TaskMessageWindow::Child* TaskMessageWindow::ChildById(int id)
{
    for (auto& c : children_)
        if (c.record->Id == id) return &c;
    return nullptr;
}

TaskMessageWindow::Child& TaskMessageWindow::CreateChild(TControl& record)
{
    children_.emplace_back();
    Child& child = children_.back();
    child.record = &record;

    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    if (record.Visible) style |= WS_VISIBLE;
    if (!record.Enabled) style |= WS_DISABLED;
    const char* className = nullptr;
    switch (record.Kind()) {
    case TControlKind::PushButton:
        className = "Button";
        style |= static_cast<TButton&>(record).Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        if (record.TabStop) style |= WS_TABSTOP;
        break;
    case TControlKind::CommandLink:
        if (record.TabStop) style |= WS_TABSTOP;
        child.button = std::make_unique<DialogButtonWindow>(*this, static_cast<TTaskDialogButton&>(record));
        child.window = child.button->Create(Window(), style);
        break;
    case TControlKind::Radio:
        // Not the automatic kind: the form's records say which one is checked.
        className = "Button";
        style |= BS_RADIOBUTTON;
        if (record.TabStop) style |= WS_TABSTOP;
        break;
    case TControlKind::CheckBox:
        className = "Button";
        style |= BS_AUTOCHECKBOX;
        if (record.TabStop) style |= WS_TABSTOP;
        break;
    case TControlKind::ProgressBar:
        className = PROGRESS_CLASSA;
        break;
    case TControlKind::Label:
        className = "Static";
        style |= SS_NOPREFIX | (static_cast<TLabel&>(record).WordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
        break;
    case TControlKind::Image: {
        className = "Static";
        const auto source = static_cast<TImage&>(record).Picture;
        const bool icon = source == TImage::Source::StockIcon || source == TImage::Source::IconHandle;
        // An icon is drawn at the control's size, whatever its own.
        style |= icon ? SS_ICON | SS_REALSIZECONTROL : SS_BITMAP;
        break;
    }
    }
    if (className != nullptr) {
        const bool hasText = record.Kind() != TControlKind::Image && record.Kind() != TControlKind::ProgressBar;
        child.window = ::CreateWindowExA(0, className, hasText ? record.Caption.c_str() : "", style,
                                         record.Bounds.Left, record.Bounds.Top, record.Width(), record.Height(),
                                         Window(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(record.Id)),
                                         ::GetModuleHandleA(nullptr), nullptr);
    }
    if (child.window != nullptr && record.Kind() == TControlKind::Image)
        SetPicture(child, static_cast<TImage&>(record));
    return child;
}

void TaskMessageWindow::SetPicture(Child& child, const TImage& image)
{
    switch (image.Picture) {
    case TImage::Source::StockIcon: {
        // A stock icon belongs to the system.
        const HICON icon = ::LoadIconA(nullptr, MAKEINTRESOURCEA(image.StockIconId));
        ::SendMessageA(child.window, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        break;
    }
    case TImage::Source::IconHandle:
        // The component's own icon; it stays the component's.
        ::SendMessageA(child.window, STM_SETICON, static_cast<WPARAM>(image.IconHandle), 0);
        break;
    case TImage::Source::Bitmap:
    case TImage::Source::White: {
        // The picture on the control's background, so that the static shows no
        // magenta.
        const int width = image.Width() > 0 ? image.Width() : 32;
        const int height = image.Height() > 0 ? image.Height() : 32;
        WindowDc screen(nullptr);
        UniqueMemoryDc dc(::CreateCompatibleDC(screen.get()));
        UniqueBitmap bitmap(::CreateCompatibleBitmap(screen.get(), width, height));
        if (!dc || !bitmap) return;
        {
            SelectObjectGuard selected(dc.get(), bitmap.get());
            const RECT all{0, 0, width, height};
            ::FillRect(dc.get(), &all, BrushFor(image.Color));
            if (image.Picture == TImage::Source::Bitmap)
                pictures_.DrawInto(dc.get(), image.BitmapName, 0, 0, width, height);
        }
        ::SendMessageA(child.window, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap.get()));
        images_.push_back(std::move(bitmap));
        break;
    }
    }
}

void TaskMessageWindow::Update(Child& child)
{
    const HWND w = child.window;
    if (w == nullptr) return;
    TControl& r = *child.record;
    const TControlKind kind = r.Kind();

    const RECT now = ChildRect(w);
    if (now.left != r.Bounds.Left || now.top != r.Bounds.Top || now.right != r.Bounds.Right ||
        now.bottom != r.Bounds.Bottom)
        ::SetWindowPos(w, nullptr, r.Bounds.Left, r.Bounds.Top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);

    if (kind != TControlKind::Image && kind != TControlKind::ProgressBar && TextOf(w) != r.Caption)
        ::SetWindowTextA(w, r.Caption.c_str());

    const TFontState font = FontOf(r);
    if (!child.fontSet || !SameFace(child.font, font)) {
        ::SendMessageA(w, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(font)), TRUE);
        child.font = font;
        child.fontSet = true;
    }

    if ((::IsWindowEnabled(w) != FALSE) != r.Enabled) ::EnableWindow(w, r.Enabled ? TRUE : FALSE);

    const LONG style = ::GetWindowLongA(w, GWL_STYLE);
    if (TakesFocus(kind) && kind != TControlKind::ProgressBar && ((style & WS_TABSTOP) != 0) != r.TabStop)
        ::SetWindowLongA(w, GWL_STYLE, r.TabStop ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP));

    switch (kind) {
    case TControlKind::PushButton: {
        const LONG type = ::GetWindowLongA(w, GWL_STYLE) & BS_TYPEMASK;
        const LONG wanted = static_cast<TButton&>(r).Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        if (type != wanted) ::SendMessageA(w, BM_SETSTYLE, static_cast<WPARAM>(wanted), TRUE);
        break;
    }
    case TControlKind::Radio:
    case TControlKind::CheckBox: {
        const bool checked = ::SendMessageA(w, BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (checked != CheckedOf(r)) ::SendMessageA(w, BM_SETCHECK, CheckedOf(r) ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
    }
    case TControlKind::ProgressBar: {
        const auto& bar = static_cast<TProgressBar&>(r);
        if (!child.rangeSet || child.rangeMin != bar.Min || child.rangeMax != bar.Max) {
            // The form has refused what the bar could not take.
            if (bar.Range32)
                ::SendMessageA(w, PBM_SETRANGE32, static_cast<WPARAM>(bar.Min), static_cast<LPARAM>(bar.Max));
            else
                ::SendMessageA(w, PBM_SETRANGE, 0, MAKELPARAM(bar.Min, bar.Max));
            child.rangeMin = bar.Min;
            child.rangeMax = bar.Max;
            child.rangeSet = true;
        }
        if (child.step != bar.Step) {
            ::SendMessageA(w, PBM_SETSTEP, static_cast<WPARAM>(bar.Step), 0);
            child.step = bar.Step;
        }
        if (::SendMessageA(w, PBM_GETPOS, 0, 0) != bar.Position)
            ::SendMessageA(w, PBM_SETPOS, static_cast<WPARAM>(bar.Position), 0);
        break;
    }
    case TControlKind::CommandLink:
        // Its pictures and state live in the record; it paints from there.
        ::InvalidateRect(w, nullptr, FALSE);
        break;
    default:
        break;
    }

    if (((::GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE) != 0) != r.Visible)
        ::ShowWindow(w, r.Visible ? SW_SHOWNA : SW_HIDE);
}

void TaskMessageWindow::ApplyLayout()
{
    if (form_ == nullptr || !window_) return;
    const HWND w = Window();
    if (TextOf(w) != form_->Caption) ::SetWindowTextA(w, form_->Caption.c_str());

    if (!::IsIconic(w)) {
        RECT wanted{0, 0, form_->ClientWidth, form_->ClientHeight};
        ::AdjustWindowRectEx(&wanted, static_cast<DWORD>(::GetWindowLongA(w, GWL_STYLE)), FALSE,
                             static_cast<DWORD>(::GetWindowLongA(w, GWL_EXSTYLE)));
        RECT now{};
        ::GetWindowRect(w, &now);
        const int width = wanted.right - wanted.left, height = wanted.bottom - wanted.top;
        if (now.right - now.left != width || now.bottom - now.top != height)
            ::SetWindowPos(w, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // Records the form made after the first layout get their windows now, at the
    // end of the tab order.
    for (TControl* record : form_->Controls()) {
        Child* child = ChildOf(*record);
        Update(child != nullptr ? *child : CreateChild(*record));
    }
}

void TaskMessageWindow::Repaint()
{
    if (window_) ::RedrawWindow(Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TaskMessageWindow::StartTimer(int intervalMs)
{
    timerInterval_ = intervalMs;
    // Before the dialog is shown the request waits for ShowModal.
    if (form_ != nullptr && window_)
        timerRunning_ = ::SetTimer(Window(), kTimerId, static_cast<UINT>(intervalMs), nullptr) != 0;
}

void TaskMessageWindow::SetHandCursor(bool hand)
{
    HCURSOR cursor = hand ? ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)) : nullptr;
    if (cursor == nullptr) cursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    cursor_ = cursor;
    ::SetCursor(cursor_);
}

// ---- focus

bool TaskMessageWindow::CanFocus(const TControl& control)
{
    Child* child = ChildOf(control);
    return child != nullptr && child->window != nullptr && TakesFocus(control.Kind()) &&
           ::IsWindowVisible(child->window) && ::IsWindowEnabled(child->window) && ::IsWindowEnabled(Window());
}

void TaskMessageWindow::FocusControl(TControl& control)
{
    Child* child = ChildOf(control);
    if (child != nullptr && child->window != nullptr) ::SetFocus(child->window);
}

const TControl* TaskMessageWindow::FocusedControl()
{
    Child* child = ChildOf(::GetFocus());
    return child != nullptr ? child->record : nullptr;
}

void TaskMessageWindow::FocusForm()
{
    if (window_) ::SetFocus(Window());
}

bool TaskMessageWindow::FormFocused() { return window_ && ::GetFocus() == Window(); }

void TaskMessageWindow::FocusFirstTabStop()
{
    for (const auto& c : children_) {
        if (c.window == nullptr) continue;
        const LONG style = ::GetWindowLongA(c.window, GWL_STYLE);
        if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED)) {
            ::SetFocus(c.window);
            return;
        }
    }
}

// The arrow keys go through every control that can take the focus (not the labels
// and pictures), round in creation order; Tab is the form's.
void TaskMessageWindow::MoveFocus(bool forward)
{
    const HWND focus = ::GetFocus();
    const int n = static_cast<int>(children_.size());
    if (n == 0) return;
    int at = -1;
    for (int i = 0; i < n; ++i)
        if (children_[static_cast<std::size_t>(i)].window == focus) at = i;
    for (int step = 1; step <= n; ++step) {
        const int i = at < 0 ? (forward ? step - 1 : n - step) : ((at + (forward ? step : -step)) % n + n) % n;
        Child& c = children_[static_cast<std::size_t>(i)];
        if (c.window == focus) return;
        if (c.record->Kind() != TControlKind::ProgressBar && CanFocus(*c.record)) {
            ::SetFocus(c.window);
            return;
        }
    }
}

}  // namespace dupd
