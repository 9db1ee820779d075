#include "markup/win32/GdiCanvas.h"

#include <shellapi.h>

#include <cstring>

namespace dupd {

COLORREF ColorRefOf(TColor color)
{
    if (IsSystemColor(color)) return ::GetSysColor(static_cast<int>(color & 0xFF));
    return static_cast<COLORREF>(color & 0x00FFFFFF);
}

namespace {

bool SameFace(const TFontState& a, const TFontState& b)
{
    return a.Name == b.Name && a.Size == b.Size && a.Style == b.Style && a.Escapement == b.Escapement;
}

RECT ToRect(const TRect& r)
{
    return RECT{r.Left, r.Top, r.Right, r.Bottom};
}

}  // namespace

GdiCanvas::GdiCanvas(HDC dc)
    : dc_(dc),
      entryFont_(::GetCurrentObject(dc, OBJ_FONT)),
      entryBrush_(::GetCurrentObject(dc, OBJ_BRUSH)),
      entryPen_(::GetCurrentObject(dc, OBJ_PEN))
{
    RealizeFont();
    ::SetTextColor(dc_, ColorRefOf(font_.Color));
    SetBrushColor(clNone);
    RealizePen();
}

GdiCanvas::~GdiCanvas()
{
    ClearClip();
    // Our objects must leave the DC before they are deleted.
    if (entryFont_) ::SelectObject(dc_, entryFont_);
    if (entryBrush_) ::SelectObject(dc_, entryBrush_);
    if (entryPen_) ::SelectObject(dc_, entryPen_);
}

void GdiCanvas::RealizeFont()
{
    LOGFONTA lf{};
    lf.lfHeight = -::MulDiv(font_.Size, ::GetDeviceCaps(dc_, LOGPIXELSY), 72);
    lf.lfWeight = (font_.Style & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (font_.Style & fsItalic) ? TRUE : FALSE;
    lf.lfUnderline = (font_.Style & fsUnderline) ? TRUE : FALSE;
    lf.lfStrikeOut = (font_.Style & fsStrikeOut) ? TRUE : FALSE;
    lf.lfEscapement = font_.Escapement;
    lf.lfOrientation = font_.Escapement;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH;
    std::strncpy(lf.lfFaceName, font_.Name.c_str(), LF_FACESIZE - 1);

    UniqueFont created(::CreateFontIndirectA(&lf));
    if (!created) return;
    ::SelectObject(dc_, created.get());
    fontHandle_ = std::move(created);  // deletes the previous one, no longer selected
}

void GdiCanvas::SetFont(const TFontState& font)
{
    const bool recreate = !fontHandle_ || !SameFace(font_, font);
    font_ = font;
    if (recreate) RealizeFont();
    ::SetTextColor(dc_, ColorRefOf(font_.Color));
}

// As with the framework canvas the markup was written for, a solid brush also
// gives text an opaque background in its colour (how highlighted and hovered text
// shows its background); a transparent brush leaves text transparent.
void GdiCanvas::SetBrushColor(TColor color)
{
    brushColor_ = color;
    if (color == clNone) {
        ::SelectObject(dc_, ::GetStockObject(NULL_BRUSH));
        brushHandle_.reset();
        ::SetBkMode(dc_, TRANSPARENT);
        return;
    }
    UniqueBrush created(::CreateSolidBrush(ColorRefOf(color)));
    if (!created) return;
    ::SelectObject(dc_, created.get());
    brushHandle_ = std::move(created);
    ::SetBkColor(dc_, ColorRefOf(color));
    ::SetBkMode(dc_, OPAQUE);
}

void GdiCanvas::RealizePen()
{
    if (penColor_ == clNone) {
        ::SelectObject(dc_, ::GetStockObject(NULL_PEN));
        penHandle_.reset();
        return;
    }
    UniquePen created(::CreatePen(PS_SOLID, penWidth_, ColorRefOf(penColor_)));
    if (!created) return;
    ::SelectObject(dc_, created.get());
    penHandle_ = std::move(created);
}

void GdiCanvas::SetPenColor(TColor color)
{
    if (color == penColor_ && (penHandle_ || color == clNone)) return;
    penColor_ = color;
    RealizePen();
}

void GdiCanvas::SetPenWidth(int width)
{
    if (width == penWidth_ && penHandle_) return;
    penWidth_ = width;
    RealizePen();
}

void GdiCanvas::SetBackgroundTransparent()
{
    ::SetBkMode(dc_, TRANSPARENT);
}

int GdiCanvas::DrawText(const std::string& text, TRect& rect, unsigned flags)
{
    RECT r = ToRect(rect);
    const int result = ::DrawTextA(dc_, text.c_str(), static_cast<int>(text.size()), &r, flags);
    rect = TRect{r.left, r.top, r.right, r.bottom};
    // Bottom- or centre-aligned, the system call answers the offset of the text's
    // bottom from the rectangle's top (and measuring keeps that bottom), not the
    // text's height.
    if ((flags & (DT_BOTTOM | DT_VCENTER)) && (flags & DT_SINGLELINE)) return text.empty() ? 0 : TextHeight(text);
    return result;
}

int GdiCanvas::TextHeight(const std::string& text)
{
    SIZE size{};
    ::GetTextExtentPoint32A(dc_, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cy;
}

int GdiCanvas::TextWidth(const std::string& text)
{
    SIZE size{};
    ::GetTextExtentPoint32A(dc_, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

void GdiCanvas::MoveTo(int x, int y)
{
    ::MoveToEx(dc_, x, y, nullptr);
}

void GdiCanvas::LineTo(int x, int y)
{
    ::LineTo(dc_, x, y);
}

void GdiCanvas::FillRect(const TRect& rect)
{
    if (!brushHandle_) return;
    const RECT r = ToRect(rect);
    ::FillRect(dc_, &r, brushHandle_.get());
}

void GdiCanvas::FrameRect(const TRect& rect)
{
    SelectObjectGuard hollow(dc_, ::GetStockObject(NULL_BRUSH));
    ::Rectangle(dc_, rect.Left, rect.Top, rect.Right, rect.Bottom);
}

void GdiCanvas::RoundRect(const TRect& rect, int cornerWidth, int cornerHeight)
{
    ::RoundRect(dc_, rect.Left, rect.Top, rect.Right, rect.Bottom, cornerWidth, cornerHeight);
}

void GdiCanvas::DrawFocusRect(const TRect& rect)
{
    const RECT r = ToRect(rect);
    ::DrawFocusRect(dc_, &r);
}

HIMAGELIST GdiCanvas::SystemImageList(bool large)
{
    SHFILEINFOA info{};
    const UINT size = large ? SHGFI_LARGEICON : SHGFI_SMALLICON;
    return reinterpret_cast<HIMAGELIST>(::SHGetFileInfoA("C:\\", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info,
                                                         SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | size));
}

int GdiCanvas::SystemIconIndex(const std::string& path, bool large)
{
    if (path.empty()) return 0;
    SHFILEINFOA info{};
    UINT flags = SHGFI_SYSICONINDEX | (large ? SHGFI_LARGEICON : SHGFI_SMALLICON);
    DWORD attributes = 0;
    // A name that does not exist is looked up by its type alone, without touching the disk.
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        flags |= SHGFI_USEFILEATTRIBUTES;
        attributes = FILE_ATTRIBUTE_NORMAL;
    }
    if (!::SHGetFileInfoA(path.c_str(), attributes, &info, sizeof info, flags)) return 0;
    return info.iIcon;
}

int GdiCanvas::SystemIconSize(bool large)
{
    int cx = 0, cy = 0;
    HIMAGELIST list = SystemImageList(large);
    if (!list || !::ImageList_GetIconSize(list, &cx, &cy)) return large ? 32 : 16;
    return cx;
}

void GdiCanvas::DrawSystemIcon(int index, bool large, int x, int y)
{
    HIMAGELIST list = SystemImageList(large);
    if (list) ::ImageList_Draw(list, index, dc_, x, y, ILD_TRANSPARENT);
}

void GdiCanvas::DrawSystemIconScaled(int index, bool large, const TRect& rect)
{
    HIMAGELIST list = SystemImageList(large);
    if (!list) return;
    int cx = 0, cy = 0;
    if (!::ImageList_GetIconSize(list, &cx, &cy) || cx <= 0 || cy <= 0) return;

    UniqueMemoryDc memory(::CreateCompatibleDC(dc_));
    UniqueBitmap bitmap(::CreateCompatibleBitmap(dc_, cx, cy));
    if (!memory || !bitmap) return;
    SelectObjectGuard selected(memory.get(), bitmap.get());
    const int oldMode = ::SetStretchBltMode(dc_, COLORONCOLOR);
    ::SetStretchBltMode(memory.get(), COLORONCOLOR);
    // The bitmap starts as the background it will cover, so the icon's transparent
    // parts stay transparent after stretching.
    ::StretchBlt(memory.get(), 0, 0, cx, cy, dc_, rect.Left, rect.Top, rect.Width(), rect.Height(), SRCCOPY);
    ::ImageList_Draw(list, index, memory.get(), 0, 0, ILD_TRANSPARENT);
    ::StretchBlt(dc_, rect.Left, rect.Top, rect.Width(), rect.Height(), memory.get(), 0, 0, cx, cy, SRCCOPY);
    ::SetStretchBltMode(dc_, oldMode);
}

void GdiCanvas::SetClipRect(const TRect& rect)
{
    if (!clipped_) {
        entryClip_.reset(::CreateRectRgn(0, 0, 0, 0));
        hadClip_ = entryClip_ && ::GetClipRgn(dc_, entryClip_.get()) == 1;
        clipped_ = true;
    }
    ::IntersectClipRect(dc_, rect.Left, rect.Top, rect.Right, rect.Bottom);
}

void GdiCanvas::ClearClip()
{
    if (!clipped_) return;
    ::SelectClipRgn(dc_, hadClip_ ? entryClip_.get() : nullptr);
    entryClip_.reset();
    clipped_ = hadClip_ = false;
}

int GdiCanvas::PixelsPerInchX() const
{
    return ::GetDeviceCaps(dc_, LOGPIXELSX);
}

int GdiCanvas::PixelsPerInchY() const
{
    return ::GetDeviceCaps(dc_, LOGPIXELSY);
}

TColor GdiCanvas::ToRGB(TColor color) const
{
    return static_cast<TColor>(ColorRefOf(color));
}

}  // namespace dupd
