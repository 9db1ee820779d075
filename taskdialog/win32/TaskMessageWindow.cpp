#include "taskdialog/win32/TaskMessageWindow.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>

namespace dupd {

namespace {

constexpr char kFormClass[] = "TTaskMessageForm";
constexpr char kButtonClass[] = "TTaskDialogButton";
constexpr UINT_PTR kTimerId = 1;
constexpr COLORREF kTransparent = RGB(255, 0, 255);
constexpr COLORREF kFooterIconBackground = RGB(240, 240, 240);
// The size the program asks for: the pre-Vista structure, which every version
// accepts.
constexpr UINT kNonClientMetricsSize = 340;

int ScreenPixelsPerInch()
{
    WindowDc screen(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : 96;
}

bool SameFace(const TFontState& a, const TFontState& b)
{
    return a.Name == b.Name && a.Size == b.Size && a.Style == b.Style && a.Escapement == b.Escapement;
}

std::string TextOf(HWND window)
{
    const int length = ::GetWindowTextLengthA(window);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int got = ::GetWindowTextA(window, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

RECT ChildRect(HWND child)
{
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

int XOf(LPARAM lParam) { return static_cast<short>(LOWORD(lParam)); }
int YOf(LPARAM lParam) { return static_cast<short>(HIWORD(lParam)); }

bool TakesFocus(TControlKind kind)
{
    return kind != TControlKind::Label && kind != TControlKind::Image;
}

bool CheckedOf(TControl& record)
{
    if (record.Kind() == TControlKind::Radio) return static_cast<TRadioButton&>(record).Checked;
    return static_cast<TCheckBox&>(record).Checked;
}

void SetCheckedOf(TControl& record, bool checked)
{
    if (record.Kind() == TControlKind::Radio)
        static_cast<TRadioButton&>(record).Checked = checked;
    else
        static_cast<TCheckBox&>(record).Checked = checked;
}

// BeginPaint/EndPaint on every path.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window), dc_(::BeginPaint(window, &paint_)) {}
    ~PaintScope() { ::EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC dc() const { return dc_; }
    const RECT& area() const { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// A memory bitmap the size of a client area, blitted onto the paint DC at the end,
// so that the background and what is drawn over it never show one after the other.
class BackBuffer {
public:
    BackBuffer(HDC target, int width, int height)
        : target_(target),
          width_(width),
          height_(height),
          dc_(::CreateCompatibleDC(target)),
          bitmap_(::CreateCompatibleBitmap(target, width > 0 ? width : 1, height > 0 ? height : 1)),
          selected_(dc_ && bitmap_ ? std::make_unique<SelectObjectGuard>(dc_.get(), bitmap_.get()) : nullptr)
    {
    }
    // The DC to draw on: the memory DC, or the target itself when no memory was
    // to be had.
    HDC dc() const { return selected_ ? dc_.get() : target_; }
    void Show(const RECT& area) const
    {
        if (selected_)
            ::BitBlt(target_, area.left, area.top, area.right - area.left, area.bottom - area.top, dc_.get(), area.left,
                     area.top, SRCCOPY);
    }
    void Fill(COLORREF color) const
    {
        UniqueBrush brush(::CreateSolidBrush(color));
        const RECT all{0, 0, width_, height_};
        if (brush) ::FillRect(dc(), &all, brush.get());
    }

private:
    HDC target_;
    int width_;
    int height_;
    UniqueMemoryDc dc_;
    UniqueBitmap bitmap_;
    std::unique_ptr<SelectObjectGuard> selected_;
};

// OpenClipboard pairs with CloseClipboard on every path.
class ClipboardOpen {
public:
    ClipboardOpen() : open_(::OpenClipboard(nullptr) != FALSE) {}
    ~ClipboardOpen()
    {
        if (open_) ::CloseClipboard();
    }
    ClipboardOpen(const ClipboardOpen&) = delete;
    ClipboardOpen& operator=(const ClipboardOpen&) = delete;
    explicit operator bool() const { return open_; }

private:
    bool open_;
};

bool RegisterClasses()
{
    static const bool registered = [] {
        const HCURSOR arrow = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        // The form chooses its cursor itself (WM_SETCURSOR), so its class has none.
        return FormWindow::RegisterFormClass(kFormClass, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)),
                                             nullptr) &&
               FormWindow::RegisterFormClass(kButtonClass, nullptr, arrow);
    }();
    return registered;
}

void InitProgressClass()
{
    static const bool done = [] {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
        return ::InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)done;
}

}  // namespace

// ---------------------------------------------------------------- the owner-drawn button

// The window of a TTaskDialogButton record (command link or expand control): it
// feeds the record the mouse, keyboard and focus and paints it through the record.
class DialogButtonWindow final : private FormWindow {
public:
    DialogButtonWindow(TaskMessageWindow& owner, TTaskDialogButton& record) : owner_(owner), record_(record) {}

    HWND Create(HWND parent, DWORD style)
    {
        return CreateBound(0, kButtonClass, record_.Caption.c_str(), style, record_.Bounds.Left, record_.Bounds.Top,
                           record_.Width(), record_.Height(), parent, record_.Id);
    }

private:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override
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

    void Failed(std::exception_ptr error) noexcept override { owner_.HandlerFailed(error); }

    void Invalidate() { ::InvalidateRect(Window(), nullptr, FALSE); }

    void Paint()
    {
        PaintScope paint(Window());
        RECT client{};
        ::GetClientRect(Window(), &client);
        BackBuffer buffer(paint.dc(), client.right, client.bottom);
        buffer.Fill(ColorRefOf(record_.Color));
        {
            GdiCanvas canvas(buffer.dc());
            canvas.SetFont(record_.Font);
            TaskMessageWindow::PaintingOn surface(owner_, canvas);
            record_.Paint(canvas, ::GetFocus() == Window(), owner_.Pictures());
        }
        buffer.Show(paint.area());
    }

    TaskMessageWindow& owner_;
    TTaskDialogButton& record_;
    bool tracking_ = false;
};

// ---------------------------------------------------------------- pictures

const ResourcePictures::Picture* ResourcePictures::Find(const std::string& name)
{
    if (name.empty()) return nullptr;
    for (const auto& p : pictures_)
        if (p.name == name) return p.bitmap ? &p : nullptr;
    Picture p;
    p.name = name;
    p.bitmap.reset(static_cast<HBITMAP>(
        ::LoadImageA(::GetModuleHandleA(nullptr), name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    BITMAP info{};
    if (p.bitmap && ::GetObjectA(p.bitmap.get(), sizeof info, &info)) {
        p.width = info.bmWidth;
        p.height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    } else {
        p.bitmap.reset();
    }
    pictures_.push_back(std::move(p));
    return pictures_.back().bitmap ? &pictures_.back() : nullptr;
}

int ResourcePictures::Width(const std::string& name)
{
    const Picture* p = Find(name);
    return p ? p->width : 0;
}

int ResourcePictures::Height(const std::string& name)
{
    const Picture* p = Find(name);
    return p ? p->height : 0;
}

bool ResourcePictures::DrawInto(HDC dc, const std::string& name, int x, int y, int width, int height)
{
    const Picture* p = Find(name);
    if (p == nullptr || dc == nullptr) return false;
    UniqueMemoryDc source(::CreateCompatibleDC(dc));
    if (!source) return false;
    SelectObjectGuard selected(source.get(), p->bitmap.get());
    const int oldMode = ::SetStretchBltMode(dc, COLORONCOLOR);
    const bool drawn = ::GdiTransparentBlt(dc, x, y, width, height, source.get(), 0, 0, p->width, p->height,
                                           kTransparent) != FALSE;
    ::SetStretchBltMode(dc, oldMode);
    return drawn;
}

void ResourcePictures::Draw(TCanvas& canvas, const std::string& name, int x, int y)
{
    const Picture* p = Find(name);
    if (p != nullptr) DrawInto(owner_.DcOf(canvas), name, x, y, p->width, p->height);
}

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
    if (dialog.Options().Contains(doAllowMinimize))
        style |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;  // a single border, not sizeable
    else
        style |= WS_CAPTION | WS_DLGFRAME;
    // Hidden until ShowModal: the form measures in it first.
    window_.reset(CreateBound(WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME, kFormClass, dialog.Title().c_str(), style, 0,
                              0, 200, 100, owner, 0));
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
        font.Name = lf.lfFaceName;
        // A positive height is the cell height; it is taken like a character height.
        font.Size = ::MulDiv(std::abs(static_cast<int>(lf.lfHeight)), 72, ScreenPixelsPerInch());
        font.Style = 0;
        if (lf.lfWeight >= FW_BOLD) font.Style |= fsBold;
        if (lf.lfItalic) font.Style |= fsItalic;
        if (lf.lfUnderline) font.Style |= fsUnderline;
        if (lf.lfStrikeOut) font.Style |= fsStrikeOut;
        font.Color = TFontState{}.Color;  // window text
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

bool TaskMessageWindow::ModernSystem()
{
    const HMODULE kernel = ::GetModuleHandleA("kernel32");
    return kernel != nullptr && ::GetProcAddress(kernel, "GetLocaleInfoEx") != nullptr;
}

void TaskMessageWindow::Beep() { ::MessageBeep(0); }

bool TaskMessageWindow::CopyToClipboard(const std::string& text)
{
    ClipboardOpen clipboard;
    if (!clipboard) return false;
    UniqueGlobal memory(::GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, text.size() + 1));
    if (!memory) return false;
    void* bytes = ::GlobalLock(memory.get());
    if (bytes == nullptr) return false;
    std::memcpy(bytes, text.c_str(), text.size() + 1);
    ::GlobalUnlock(memory.get());
    if (!::EmptyClipboard()) return false;
    if (::SetClipboardData(CF_TEXT, memory.get()) == nullptr) return false;
    memory.release();  // the clipboard has it now
    return true;
}

void TaskMessageWindow::DrawFooterIcon(TCanvas& canvas, int iconId, bool shield, int x, int y)
{
    const HDC target = DcOf(canvas);
    if (target == nullptr) return;
    constexpr int kSize = 16;
    UniqueMemoryDc dc(::CreateCompatibleDC(target));
    UniqueBitmap square(::CreateCompatibleBitmap(target, kSize, kSize));
    if (!dc || !square) return;
    {
        SelectObjectGuard selected(dc.get(), square.get());
        UniqueBrush grey(::CreateSolidBrush(kFooterIconBackground));
        const RECT all{0, 0, kSize, kSize};
        if (grey) ::FillRect(dc.get(), &all, grey.get());
        // Without the shield picture the shield's stock icon stands in.
        if (!shield || !pictures_.DrawInto(dc.get(), "TD_SHIELD", 0, 0, kSize, kSize)) {
            // Loaded shared: the system keeps it.
            const HICON icon = static_cast<HICON>(
                ::LoadImageA(nullptr, MAKEINTRESOURCEA(iconId), IMAGE_ICON, kSize, kSize, LR_SHARED));
            if (icon != nullptr) ::DrawIconEx(dc.get(), 0, 0, icon, kSize, kSize, 0, nullptr, DI_NORMAL);
        }
        ::BitBlt(target, x, y, kSize, kSize, dc.get(), 0, 0, SRCCOPY);
    }
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
    UniqueFont created = CreateFontOf(font, ScreenPixelsPerInch());
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
            ::SendMessageA(w, PBM_SETRANGE32, static_cast<WPARAM>(bar.Min), static_cast<LPARAM>(bar.Max));
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

// Tab goes through the tab stops; the arrow keys through every control that can
// take the focus (not the labels and pictures), both round in creation order.
void TaskMessageWindow::MoveFocus(bool forward, bool tabStopsOnly)
{
    const HWND focus = ::GetFocus();
    if (tabStopsOnly) {
        const HWND next = ::GetNextDlgTabItem(Window(), ChildOf(focus) ? focus : nullptr, forward ? FALSE : TRUE);
        if (next != nullptr && next != focus) ::SetFocus(next);
        return;
    }
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

// The focus goes back to the control that had it when the dialog was left.
bool TaskMessageWindow::Activate(WPARAM wParam)
{
    if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = ::GetFocus();
        if (ChildOf(focus) != nullptr) lastFocus_ = focus;
        return false;
    }
    if (HIWORD(wParam) != 0) return false;  // minimised
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
        PaintScope paint(Window());
        PaintOn(paint.dc(), paint.area());
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
        if (key == VK_RETURN || key == VK_ESCAPE) return form.DialogKey(key);
        if (shift.Ctrl || shift.Alt) return false;
        switch (key) {
        case VK_TAB:
            MoveFocus(!shift.Shift, true);
            return true;
        case VK_LEFT:
        case VK_UP:
            MoveFocus(false, false);
            return true;
        case VK_RIGHT:
        case VK_DOWN:
            MoveFocus(true, false);
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
