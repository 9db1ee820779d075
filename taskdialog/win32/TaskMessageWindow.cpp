// The form window: the system facts it answers for the form, fonts and brushes,
// its events and painting, and the modal loop.
#include "taskdialog/win32/TaskMessageWindow.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>

#include "taskdialog/win32/DialogButtonWindow.h"
#include "taskdialog/win32/TaskWindowSupport.h"
#include "taskdialog/win32/Win32TaskDialog.h"
#include "winenv/win32/OsVersionQuery.h"

namespace dupd {

using namespace taskwindow;

// ---------------------------------------------------------------- the form window

TaskMessageWindow::PaintingOn::PaintingOn(TaskMessageWindow& window, GdiCanvas& canvas)
    : window_(window), previous_(window.painting_)
{
    window_.painting_ = &canvas;
}

TaskMessageWindow::PaintingOn::~PaintingOn()
{
    window_.painting_ = previous_;
}

TaskMessageWindow::TaskMessageWindow(TTaskDialogEx& dialog, HWND owner, std::function<void(HWND)> onFirstPaint)
    : dialog_(dialog), owner_(owner), onFirstPaint_(std::move(onFirstPaint))
{
    cursor_ = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    InitProgressClass();
    if (!RegisterClasses()) return;

    DWORD style = WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    DWORD exStyle = WS_EX_CONTROLPARENT;
    if (dialog.Options().Contains(doAllowMinimize)) {
        style |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;  // a single-line border, not sizeable
    } else {
        style |= WS_CAPTION | WS_DLGFRAME;
        exStyle |= WS_EX_DLGMODALFRAME;
    }
    // Hidden until ShowModal: the form measures in it first.
    window_.reset(CreateBound(exStyle, kFormClass, dialog.Title().c_str(), style, 0, 0, 200, 100, owner, 0));
}

TaskMessageWindow::~TaskMessageWindow()
{
    EndModal();
}

HDC TaskMessageWindow::DcOf(const TCanvas& canvas) const
{
    // Through the canvas, so that text it still holds is drawn before what the
    // caller draws on the DC.
    if (painting_ && painting_ == &canvas) return painting_->Handle();
    if (measureCanvas_ && measureCanvas_.get() == &canvas) return measureCanvas_->Handle();
    return nullptr;
}

void TaskMessageWindow::HandlerFailed(std::exception_ptr error) noexcept
{
    if (!failure_) failure_ = error;
}

// ---- system facts

TFontState TaskMessageWindow::WindowFont()
{
    if (haveWindowFont_) return windowFont_;
    TFontState font;
    // The structure of the newer systems is larger; the call fills the first 340
    // bytes of it.
    NONCLIENTMETRICSA metrics{};
    static_assert(sizeof metrics >= kNonClientMetricsSize, "room for what the call fills");
    metrics.cbSize = kNonClientMetricsSize;
    if (::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, kNonClientMetricsSize, &metrics, 0)) {
        const LOGFONTA& lf = metrics.lfMessageFont;
        messageFont_ = lf;
        haveMessageFont_ = true;
        font = FontStateOf(lf, ScreenPixelsPerInch());
    }
    windowFont_ = font;
    haveWindowFont_ = true;
    return windowFont_;
}

TCanvas& TaskMessageWindow::MeasureCanvas()
{
    if (!measureCanvas_) {
        measureDc_.reset(::CreateCompatibleDC(nullptr));
        measureCanvas_ = std::make_unique<GdiCanvas>(measureDc_.get());
        measureCanvas_->SetFont(WindowFont());
    }
    return *measureCanvas_;
}

int TaskMessageWindow::ScreenWidth() { return ::GetSystemMetrics(SM_CXSCREEN); }
int TaskMessageWindow::ScreenHeight() { return ::GetSystemMetrics(SM_CYSCREEN); }
int TaskMessageWindow::EdgeHeight() { return ::GetSystemMetrics(SM_CYEDGE); }

bool TaskMessageWindow::ModernSystem() { return KernelHasGetLocaleInfoEx(); }

void TaskMessageWindow::Beep() { ::MessageBeep(0); }

std::string TaskMessageWindow::CopyToClipboard(const std::string& text)
{
    ClipboardScope clipboard;
    if (!clipboard) return "Cannot open clipboard";
    UniqueGlobal memory(::GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, text.size() + 1));
    if (!memory) return SystemErrorText(::GetLastError());
    {
        const GlobalLockScope bytes(memory.get());
        if (!bytes) return SystemErrorText(::GetLastError());
        std::memcpy(bytes.get(), text.c_str(), text.size() + 1);
    }
    if (!::EmptyClipboard() || ::SetClipboardData(CF_TEXT, memory.get()) == nullptr)
        return SystemErrorText(::GetLastError());
    memory.release();  // the clipboard has it now
    return std::string();
}

// As the framework shows an error: a stop sign under the program's name.
void TaskMessageWindow::ShowError(const std::string& message)
{
    ::MessageBoxA(Window(), message.c_str(), ApplicationTitle().c_str(), MB_OK | MB_ICONERROR);
}

void TaskMessageWindow::DrawFooterIcon(TCanvas& canvas, int iconId, bool shield, int x, int y)
{
    const HDC target = DcOf(canvas);
    if (target == nullptr) return;
    constexpr int kSize = 16;
    // Straight onto the surface: the icon's mask and the picture's magenta leave
    // the band or the window showing round it. Without the shield picture the
    // shield's stock icon stands in.
    if (shield && pictures_.DrawInto(target, "TD_SHIELD", x, y, kSize, kSize)) return;
    // Loaded shared: the system keeps it.
    const HICON icon =
        static_cast<HICON>(::LoadImageA(nullptr, MAKEINTRESOURCEA(iconId), IMAGE_ICON, kSize, kSize, LR_SHARED));
    if (icon != nullptr) ::DrawIconEx(target, x, y, icon, kSize, kSize, 0, nullptr, DI_NORMAL);
}

// ---- fonts and brushes, kept for the window's life

// A record whose font was never set (the component's push buttons, the check box)
// shows the window's, as a control with its parent's font does.
TFontState TaskMessageWindow::FontOf(const TControl& record)
{
    return record.Font == TFontState{} ? WindowFont() : record.Font;
}

HFONT TaskMessageWindow::FontFor(const TFontState& font)
{
    for (const auto& f : fonts_)
        if (SameFace(f.first, font)) return f.second.get();
    UniqueFont created;
    if (haveMessageFont_ && font.Name == messageFont_.lfFaceName) {
        // The message font as the system describes it, with only what the state
        // changes changed.
        LOGFONTA lf = messageFont_;
        if (!SameFace(font, WindowFont())) {
            lf.lfHeight = -::MulDiv(font.Size, ScreenPixelsPerInch(), 72);
            lf.lfWeight = (font.Style & fsBold) ? FW_BOLD : FW_NORMAL;
            lf.lfItalic = (font.Style & fsItalic) ? TRUE : FALSE;
            lf.lfUnderline = (font.Style & fsUnderline) ? TRUE : FALSE;
            lf.lfStrikeOut = (font.Style & fsStrikeOut) ? TRUE : FALSE;
            lf.lfEscapement = lf.lfOrientation = font.Escapement;
        }
        created.reset(::CreateFontIndirectA(&lf));
    } else {
        created = CreateFontOf(font, ScreenPixelsPerInch());
    }
    if (!created) return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    fonts_.emplace_back(font, std::move(created));
    return fonts_.back().second.get();
}

HBRUSH TaskMessageWindow::BrushFor(TColor color)
{
    for (const auto& b : brushes_)
        if (b.first == color) return b.second.get();
    UniqueBrush created(::CreateSolidBrush(ColorRefOf(color)));
    if (!created) return static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    brushes_.emplace_back(color, std::move(created));
    return brushes_.back().second.get();
}

// ---- events

// ---- the progress bar

bool TaskMessageWindow::ProgressRange32()
{
    // PBM_SETRANGE32 came with version 4.70; a version that cannot be read counts
    // as a newer one.
    static const bool range32 = [] {
        const std::int32_t version = GetModuleFileVersion("COMCTL32.DLL");
        if (version == -1) return true;
        const auto word = static_cast<std::uint32_t>(version);
        const unsigned major = word >> 16, minor = word & 0xFFFFu;
        return major > 4 || (major == 4 && minor >= 70);
    }();
    return range32;
}

int TaskMessageWindow::ProgressPosition(const TProgressBar& bar)
{
    Child* child = ChildOf(bar);
    if (child == nullptr || child->window == nullptr) return bar.Position;
    return static_cast<int>(::SendMessageA(child->window, PBM_GETPOS, 0, 0));
}

// ---- events

void TaskMessageWindow::ControlClicked(TControl& record)
{
    if (form_ == nullptr) return;
    form_->Click(record);
    // A click may change records (a radio button's tab stop) without a layout.
    ApplyLayout();
}

void TaskMessageWindow::Command(WPARAM wParam, LPARAM lParam)
{
    if (form_ == nullptr || HIWORD(wParam) != BN_CLICKED) return;
    // A child names itself; a command without one (a driver's, an accelerator's)
    // goes by its identifier.
    Child* child = lParam != 0 ? ChildOf(reinterpret_cast<HWND>(lParam)) : ChildById(LOWORD(wParam));
    if (child == nullptr) return;
    TControl& record = *child->record;
    if (record.Kind() == TControlKind::Radio) {
        for (auto& c : children_) {
            if (c.record->Kind() != TControlKind::Radio) continue;
            SetCheckedOf(*c.record, &c == child);
            ::SendMessageA(c.window, BM_SETCHECK, &c == child ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    } else if (record.Kind() == TControlKind::CheckBox) {
        SetCheckedOf(record, ::SendMessageA(child->window, BM_GETCHECK, 0, 0) == BST_CHECKED);
    }
    ControlClicked(record);
}

LRESULT TaskMessageWindow::ControlColor(HDC dc, HWND control)
{
    Child* child = ChildOf(control);
    if (child == nullptr) return 0;
    ::SetTextColor(dc, ColorRefOf(child->record->Font.Color));
    ::SetBkColor(dc, ColorRefOf(child->record->Color));
    return reinterpret_cast<LRESULT>(BrushFor(child->record->Color));
}

// The focus goes back to the control that had it when the dialog was left, or to
// the window itself when one of its links had it.
bool TaskMessageWindow::Activate(WPARAM wParam)
{
    if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = ::GetFocus();
        if (ChildOf(focus) != nullptr || focus == Window()) lastFocus_ = focus;
        return false;
    }
    if (HIWORD(wParam) != 0) return false;  // minimised
    if (lastFocus_ != nullptr && lastFocus_ == Window()) {
        ::SetFocus(Window());
        return true;
    }
    if (lastFocus_ != nullptr && ChildOf(lastFocus_) != nullptr && ::IsWindowVisible(lastFocus_) &&
        ::IsWindowEnabled(lastFocus_)) {
        ::SetFocus(lastFocus_);
        return true;
    }
    return false;
}

void TaskMessageWindow::PaintOn(HDC dc, const RECT& area)
{
    RECT client{};
    ::GetClientRect(Window(), &client);
    BackBuffer buffer(dc, client.right, client.bottom);
    buffer.Fill(RGB(255, 255, 255));
    if (form_ != nullptr) {
        GdiCanvas canvas(buffer.dc());
        canvas.SetFont(WindowFont());
        PaintingOn surface(*this, canvas);
        form_->Paint(canvas);
    }
    buffer.Show(area);
}

void TaskMessageWindow::Paint()
{
    {
        PaintDc paint(Window());
        PaintOn(paint.get(), paint.area());
    }
    if (form_ != nullptr && !firstPaintDone_) {
        firstPaintDone_ = true;
        // The controls paint after the form; a picture taken now should show them.
        ::RedrawWindow(Window(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        ::GdiFlush();
        if (onFirstPaint_) onFirstPaint_(Window());
    }
}

LRESULT TaskMessageWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the paint covers the whole client area
    case WM_PRINTCLIENT: {
        // Themed controls ask for what lies behind them.
        RECT client{};
        ::GetClientRect(Window(), &client);
        PaintOn(reinterpret_cast<HDC>(wParam), client);
        return 0;
    }
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == Window() && LOWORD(lParam) == HTCLIENT) {
            ::SetCursor(cursor_);
            return TRUE;
        }
        return Default(message, wParam, lParam);
    case WM_MOUSEMOVE:
        if (form_ != nullptr) form_->MouseMove(XOf(lParam), YOf(lParam));
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (form_ != nullptr) form_->MouseDown(XOf(lParam), YOf(lParam));
        return 0;
    case WM_COMMAND:
        Command(wParam, lParam);
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        const LRESULT brush = ControlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        return brush != 0 ? brush : Default(message, wParam, lParam);
    }
    case WM_TIMER:
        if (wParam == kTimerId && form_ != nullptr) form_->Timer();
        return 0;
    case WM_ACTIVATE:
        return Activate(wParam) ? 0 : Default(message, wParam, lParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        // A focused link shows its rectangle only while the window has the focus.
        ::InvalidateRect(Window(), nullptr, FALSE);
        return 0;
    case WM_CLOSE:
        // Never destroyed from here: the modal loop ends the dialog.
        if (form_ != nullptr) form_->Close();
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(FontFor(WindowFont()));
    case WM_NCDESTROY:
        // Destroyed from outside (its owner went): the loop sees it gone.
        window_.release();
        return Default(message, wParam, lParam);
    default:
        return Default(message, wParam, lParam);
    }
}

// ---- showing

void TaskMessageWindow::Centre()
{
    const HWND w = Window();
    RECT work{};
    if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
        work = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    RECT around = work;
    if (dialog_.DialogPosition() == dpOwnerFormCenter) {
        const HWND parent = reinterpret_cast<HWND>(dialog_.ParentWindow());
        RECT r{};
        if (parent != nullptr && ::IsWindow(parent) && ::IsWindowVisible(parent) && ::GetWindowRect(parent, &r) &&
            r.right > r.left && r.bottom > r.top)
            around = r;
    }
    RECT frame{};
    ::GetWindowRect(w, &frame);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    int x = around.left + (around.right - around.left - width) / 2;
    int y = around.top + (around.bottom - around.top - height) / 2;
    // Kept on the screen, the top left corner first.
    if (x + width > work.right) x = work.right - width;
    if (y + height > work.bottom) y = work.bottom - height;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;
    ::SetWindowPos(w, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TaskMessageWindow::Preview(TTaskMessageForm& form, const MSG& message)
{
    const HWND w = Window();
    if (message.hwnd != w && !::IsChild(w, message.hwnd)) return false;
    switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        const int key = static_cast<int>(message.wParam);
        TShiftState shift;
        shift.Shift = ::GetKeyState(VK_SHIFT) < 0;
        shift.Ctrl = ::GetKeyState(VK_CONTROL) < 0;
        shift.Alt = ::GetKeyState(VK_MENU) < 0 || (message.message == WM_SYSKEYDOWN && (message.lParam & (1L << 29)));
        if (form.KeyDown(key, shift)) return true;
        // A link opens once for a key held down.
        const bool repeated = (message.lParam & (1L << 30)) != 0;
        if ((key == VK_RETURN || key == VK_SPACE) && repeated && ::GetFocus() == w) return true;
        if (key == VK_RETURN || key == VK_ESCAPE) return form.DialogKey(key);
        if (key == VK_SPACE && !shift.Ctrl && !shift.Alt && form.DialogKey(vk::kSpace)) return true;
        if (shift.Ctrl || shift.Alt) return false;
        switch (key) {
        case VK_TAB:
            form.TabKey(!shift.Shift);
            return true;
        case VK_LEFT:
        case VK_UP:
            MoveFocus(false);
            return true;
        case VK_RIGHT:
        case VK_DOWN:
            MoveFocus(true);
            return true;
        default:
            return false;
        }
    }
    case WM_CHAR:
    case WM_SYSCHAR:
        return form.DialogChar(static_cast<char>(message.wParam));
    default:
        return false;
    }
}

int TaskMessageWindow::RunLoop(TTaskMessageForm& form)
{
    for (;;) {
        if (failure_ || !window_) return 2;
        if (form.ModalResult != 0) {
            if (form.CloseQuery()) return form.ModalResult;
            form.ModalResult = 0;
        }
        MSG message;
        const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            // The program is ending: the quit is for the loop outside.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return 2;
        }
        if (got == -1) return 2;
        if (Preview(form, message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

void TaskMessageWindow::EndModal() noexcept
{
    form_ = nullptr;  // nothing reaches the form any more
    if (window_ && timerRunning_) ::KillTimer(Window(), kTimerId);
    timerRunning_ = false;
    // The owner must be enabled before the window goes, so that it is activated.
    if (ownerDisabled_ && owner_ != nullptr) ::EnableWindow(owner_, TRUE);
    ownerDisabled_ = false;
    window_.reset();
    children_.clear();
}

int TaskMessageWindow::ShowModal(TTaskMessageForm& form)
{
    if (!window_) return -1;
    int result = 2;
    {
        struct Ending {
            TaskMessageWindow& window;
            ~Ending() { window.EndModal(); }
        } ending{*this};

        form_ = &form;
        ApplyLayout();
        Centre();
        if (owner_ != nullptr && ::IsWindowEnabled(owner_)) {
            ::EnableWindow(owner_, FALSE);
            ownerDisabled_ = true;
        }
        ::ShowWindow(Window(), SW_SHOW);
        FocusFirstTabStop();
        form.Shown();
        if (timerInterval_ > 0) StartTimer(timerInterval_);
        result = RunLoop(form);
    }
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
    return result;
}

}  // namespace dupd
