// What the emulated dialog's windows share: the class names, the timer, the
// helpers over window text and geometry, the back buffer and the class
// registration. Internal to taskdialog/win32/.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>

#include "markup/Canvas.h"
#include "taskdialog/DialogControls.h"
#include "taskdialog/win32/FormWindow.h"
#include "winenv/win32/Handle.h"

namespace dupd {
namespace taskwindow {

constexpr char kFormClass[] = "TTaskMessageForm";
constexpr char kButtonClass[] = "TTaskDialogButton";
constexpr UINT_PTR kTimerId = 1;
constexpr COLORREF kTransparent = RGB(255, 0, 255);
constexpr COLORREF kFooterIconBackground = RGB(240, 240, 240);
// The size the program asks for: the pre-Vista structure, which every version
// accepts.
constexpr UINT kNonClientMetricsSize = 340;

inline int ScreenPixelsPerInch()
{
    WindowDc screen(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : 96;
}

// The size in points of a font the system describes: a negative height is the
// character height, a positive one the cell height, which includes the internal
// leading.
inline int PointSizeOf(const LOGFONTA& lf, int pixelsPerInch)
{
    int height = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
    if (lf.lfHeight > 0) {
        WindowDc screen(nullptr);
        UniqueFont font(::CreateFontIndirectA(&lf));
        TEXTMETRICA metrics{};
        if (screen && font) {
            SelectObjectGuard selected(screen.get(), font.get());
            if (::GetTextMetricsA(screen.get(), &metrics)) height = metrics.tmHeight - metrics.tmInternalLeading;
        }
    }
    return height == 0 ? TFontState{}.Size : ::MulDiv(height, 72, pixelsPerInch);
}

inline std::string SystemErrorText(DWORD code)
{
    char* buffer = nullptr;
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = n > 0 && buffer != nullptr ? std::string(buffer, n) : std::string();
    if (buffer != nullptr) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text.empty() ? "System error " + std::to_string(code) : text;
}

// The framework's application title: the program's file name without its
// extension.
inline std::string ApplicationTitle()
{
    char path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name(path, n < MAX_PATH ? n : 0);
    name = name.substr(name.find_last_of("\\/") + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// The font state of a font the system describes: face, size and style, and the
// rest of the description as it is (character set, quality, its own height).
inline TFontState FontStateOf(const LOGFONTA& lf, int pixelsPerInch)
{
    TFontState font;
    font.Name = lf.lfFaceName;
    font.Size = PointSizeOf(lf, pixelsPerInch);
    font.Style = 0;
    if (lf.lfWeight >= FW_BOLD) font.Style |= fsBold;
    if (lf.lfItalic) font.Style |= fsItalic;
    if (lf.lfUnderline) font.Style |= fsUnderline;
    if (lf.lfStrikeOut) font.Style |= fsStrikeOut;
    font.Charset = lf.lfCharSet;
    font.Quality = lf.lfQuality;
    font.Height = lf.lfHeight;
    font.HeightSize = font.Size;
    return font;
}

inline std::string TextOf(HWND window)
{
    const int length = ::GetWindowTextLengthA(window);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int got = ::GetWindowTextA(window, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

inline RECT ChildRect(HWND child)
{
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

inline int XOf(LPARAM lParam) { return static_cast<short>(LOWORD(lParam)); }
inline int YOf(LPARAM lParam) { return static_cast<short>(HIWORD(lParam)); }

inline bool TakesFocus(TControlKind kind)
{
    return kind != TControlKind::Label && kind != TControlKind::Image;
}

inline bool CheckedOf(TControl& record)
{
    if (record.Kind() == TControlKind::Radio) return static_cast<TRadioButton&>(record).Checked;
    return static_cast<TCheckBox&>(record).Checked;
}

inline void SetCheckedOf(TControl& record, bool checked)
{
    if (record.Kind() == TControlKind::Radio)
        static_cast<TRadioButton&>(record).Checked = checked;
    else
        static_cast<TCheckBox&>(record).Checked = checked;
}

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

inline bool RegisterClasses()
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

inline void InitProgressClass()
{
    static const bool done = [] {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
        return ::InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)done;
}

}  // namespace taskwindow
}  // namespace dupd
