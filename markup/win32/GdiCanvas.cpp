#include "markup/win32/GdiCanvas.h"

#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "winenv/win32/WideText.h"

namespace dupd {

COLORREF ColorRefOf(TColor color)
{
    if (IsSystemColor(color)) return ::GetSysColor(static_cast<int>(color & 0xFF));
    return static_cast<COLORREF>(color & 0x00FFFFFF);
}

namespace {

static_assert(kDefaultCharset == DEFAULT_CHARSET && kDefaultQuality == DEFAULT_QUALITY,
              "a font state without a description makes the fonts it always made");

RECT ToRect(const TRect& r)
{
    return RECT{r.Left, r.Top, r.Right, r.Bottom};
}

}  // namespace

GdiCanvas::GdiCanvas(HDC dc, Calls calls)
    : dc_(dc),
      plain_(calls == Calls::kPlain),
      entryFont_(::GetCurrentObject(dc, OBJ_FONT)),
      entryBrush_(::GetCurrentObject(dc, OBJ_BRUSH)),
      entryPen_(::GetCurrentObject(dc, OBJ_PEN))
{
    // Placing text ourselves assumes pixels for units, left-to-right and text
    // anchored at its top-left corner; any other DC keeps the drawing call.
    textOut_ = !plain_ && ::GetMapMode(dc_) == MM_TEXT && ::GetGraphicsMode(dc_) == GM_COMPATIBLE &&
               ::GetLayout(dc_) == 0 && ::GetTextAlign(dc_) == (TA_LEFT | TA_TOP | TA_NOUPDATECP);
    RealizeFont();
    textColor_ = ColorRefOf(font_.Color);
    ::SetTextColor(dc_, textColor_);
    SetBrushColor(clNone);
    RealizePen();
}

GdiCanvas::~GdiCanvas()
{
    Flush();
    ClearClip();
    // Our objects must leave the DC before they are deleted.
    if (entryFont_) ::SelectObject(dc_, entryFont_);
    if (entryBrush_) ::SelectObject(dc_, entryBrush_);
    if (entryPen_) ::SelectObject(dc_, entryPen_);
}

UniqueFont CreateFontOf(const TFontState& font, int pixelsPerInch)
{
    LOGFONTA lf{};
    const bool described = font.Height != 0 && font.Size == font.HeightSize;
    lf.lfHeight = described ? font.Height : -::MulDiv(font.Size, pixelsPerInch, 72);
    lf.lfWeight = (font.Style & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (font.Style & fsItalic) ? TRUE : FALSE;
    lf.lfUnderline = (font.Style & fsUnderline) ? TRUE : FALSE;
    lf.lfStrikeOut = (font.Style & fsStrikeOut) ? TRUE : FALSE;
    lf.lfEscapement = font.Escapement;
    lf.lfOrientation = font.Escapement;
    lf.lfCharSet = font.Charset;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = font.Quality;
    lf.lfPitchAndFamily = DEFAULT_PITCH;
    std::strncpy(lf.lfFaceName, font.Name.c_str(), LF_FACESIZE - 1);
    return UniqueFont(::CreateFontIndirectA(&lf));
}

UniqueFont GdiCanvas::CreateFontFor(const TFontState& font) const
{
    return CreateFontOf(font, ::GetDeviceCaps(dc_, LOGPIXELSY));
}

void GdiCanvas::RealizeFont()
{
    if (!plain_) {
        SelectCachedFont();
        return;
    }
    UniqueFont created = CreateFontFor(font_);
    if (!created) return;
    ::SelectObject(dc_, created.get());
    fontHandle_ = std::move(created);  // deletes the previous one, no longer selected
}

// Bold on and off, links and colours switch among very few faces; a face seen
// lately is selected again instead of being created anew.
void GdiCanvas::SelectCachedFont()
{
    const std::size_t kMaxFonts = 8;
    for (std::size_t i = 0; i < fonts_.size(); ++i) {
        if (SameFace(fonts_[i].face, font_)) {
            ::SelectObject(dc_, fonts_[i].handle.get());
            current_ = i;
            return;
        }
    }
    UniqueFont created = CreateFontFor(font_);
    if (!created) return;
    ::SelectObject(dc_, created.get());
    if (fonts_.size() >= kMaxFonts) {
        // The oldest goes; the one selected before this call is no longer selected.
        fonts_.erase(fonts_.begin());
    }
    FontEntry entry;
    entry.face = font_;
    entry.handle = std::move(created);
    fonts_.push_back(std::move(entry));
    current_ = fonts_.size() - 1;
}

void GdiCanvas::SetFont(const TFontState& font)
{
    const bool selected = plain_ ? static_cast<bool>(fontHandle_) : !fonts_.empty();
    const bool recreate = !selected || !SameFace(font_, font);
    const COLORREF color = ColorRefOf(font.Color);
    if (recreate || color != textColor_) Flush();
    font_ = font;
    if (recreate) RealizeFont();
    if (plain_ || color != textColor_) {
        textColor_ = color;
        ::SetTextColor(dc_, color);
    }
}

// As with the framework canvas the markup was written for, a solid brush also
// gives text an opaque background in its colour (how highlighted and hovered text
// shows its background); a transparent brush leaves text transparent.
void GdiCanvas::SetBrushColor(TColor color)
{
    // The engine puts a brush back at every closing tag: one that is already in
    // place changes nothing, and must not break the text held for joining.
    if (!plain_ && brushSet_ && color == brushColor_ && opaque_ == (color != clNone)) return;
    Flush();
    brushColor_ = color;
    brushSet_ = false;
    if (color == clNone) {
        ::SelectObject(dc_, ::GetStockObject(NULL_BRUSH));
        brushHandle_.reset();
        ::SetBkMode(dc_, TRANSPARENT);
        opaque_ = false;
        brushSet_ = true;
        return;
    }
    UniqueBrush created(::CreateSolidBrush(ColorRefOf(color)));
    if (!created) return;
    ::SelectObject(dc_, created.get());
    brushHandle_ = std::move(created);
    ::SetBkColor(dc_, ColorRefOf(color));
    ::SetBkMode(dc_, OPAQUE);
    opaque_ = true;
    brushSet_ = true;
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
    Flush();
    if (color == penColor_ && (penHandle_ || color == clNone)) return;
    penColor_ = color;
    RealizePen();
}

void GdiCanvas::SetPenWidth(int width)
{
    Flush();
    if (width == penWidth_ && penHandle_) return;
    penWidth_ = width;
    RealizePen();
}

void GdiCanvas::SetBackgroundTransparent()
{
    Flush();
    ::SetBkMode(dc_, TRANSPARENT);
    opaque_ = false;
}

int GdiCanvas::Extent(const std::string& text, SIZE& size)
{
    const std::size_t kMaxWidths = 8192;
    FontEntry* entry = plain_ || text.empty() ? nullptr : Current();
    if (entry && entry->height >= 0) {
        const auto known = entry->widths.find(text);
        if (known != entry->widths.end()) {
            size = SIZE{known->second, entry->height};
            return size.cx;
        }
    }
    size = SIZE{};
    ::GetTextExtentPoint32A(dc_, text.c_str(), static_cast<int>(text.size()), &size);
    if (entry) {
        // The extent's height is the font's, whatever the text.
        if (entry->height < 0) entry->height = size.cy;
        if (entry->widths.size() >= kMaxWidths) entry->widths.clear();
        entry->widths.emplace(text, size.cx);
    }
    return size.cx;
}

// A one-line bottom-aligned measurement of text without prefixes, tabs or line
// breaks is the text's extent, placed as the measuring call places every text in
// this font: the edges it moves, it moves by amounts of the font alone, learnt
// from one real call per font and flags.
bool GdiCanvas::MeasureByExtent(const std::string& text, TRect& rect, unsigned flags)
{
    const unsigned allowed = DT_CALCRECT | DT_SINGLELINE | DT_BOTTOM | DT_NOPREFIX | DT_EXPANDTABS |
                             DT_EXTERNALLEADING | DT_END_ELLIPSIS;
    if (plain_ || (flags & ~allowed) || (flags & (DT_CALCRECT | DT_SINGLELINE | DT_BOTTOM)) !=
                                            (DT_CALCRECT | DT_SINGLELINE | DT_BOTTOM))
        return false;
    if (text.empty() || text.find_first_of("&\t\r\n") != std::string::npos) return false;
    FontEntry* entry = Current();
    if (!entry) return false;
    SIZE size;
    const int width = Extent(text, size);
    // An ellipsis would shorten a text too wide for its rectangle.
    if ((flags & DT_END_ELLIPSIS) && static_cast<long long>(rect.Left) + width > rect.Right) return false;

    const CalcShift* shift = nullptr;
    for (const CalcShift& s : entry->shifts)
        if (s.flags == flags) shift = &s;
    if (!shift) {
        RECT probe{0, 0, 1000, 1000};
        ::DrawTextA(dc_, "x", 1, &probe, flags);
        entry->shifts.push_back(CalcShift{flags, probe.top, probe.bottom - 1000});
        shift = &entry->shifts.back();
    }
    rect.Right = static_cast<int>(static_cast<long long>(rect.Left) + width);
    rect.Top += shift->top;
    rect.Bottom += shift->bottom;
    return true;
}

// The drawing call draws a one-line, left- and bottom-aligned text with no
// prefix, tab or line break as one text-out of the text converted from the ANSI
// code page, at the rectangle's left edge and the font's height above its
// bottom, clipped to the rectangle; the background mode does the rest in both.
bool GdiCanvas::PaintByTextOut(const std::string& text, const TRect& rect, unsigned flags)
{
    const unsigned allowed = DT_SINGLELINE | DT_BOTTOM | DT_NOPREFIX | DT_EXPANDTABS | DT_END_ELLIPSIS;
    if (!textOut_ || (flags & ~allowed) || (flags & (DT_SINGLELINE | DT_BOTTOM)) != (DT_SINGLELINE | DT_BOTTOM))
        return false;
    if (text.empty()) return false;
    const bool prefixes = !(flags & DT_NOPREFIX);
    for (char c : text)
        if (c == '\t' || c == '\r' || c == '\n' || c == '\0' || (prefixes && c == '&')) return false;
    if (!Current()) return false;
    SIZE size;
    const int width = Extent(text, size);
    if ((flags & DT_END_ELLIPSIS) && static_cast<long long>(rect.Left) + width > rect.Right) return false;

    const long long y = static_cast<long long>(rect.Bottom) - size.cy;
    if (y < INT_MIN) return false;
    const RECT r = ToRect(rect);
    const Shape* shape = ShapeOf(text, width);
    if (shape) {
        // A piece that starts where the previous one ended, inside the same
        // clipping band, draws as its continuation: its ink must not reach back
        // past its start (its own clip would cut it), and over an opaque
        // background the previous ink must not reach into the cell this piece's
        // background would have covered.
        const bool joins = run_.open && r.left == run_.end && r.top == run_.rect.top &&
                           r.bottom == run_.rect.bottom && r.right == run_.rect.right && r.left < r.right &&
                           r.top < r.bottom && shape->inkAfterStart && (!opaque_ || run_.inkBeforeEnd);
        if (!joins) {
            Flush();
            run_.open = true;
            run_.pieces = 0;
            run_.rect = r;
            run_.y = static_cast<int>(y);
            run_.chars.clear();
        }
        run_.chars.insert(run_.chars.end(), shape->chars.begin(), shape->chars.end());
        run_.end = static_cast<int>(std::min<long long>(INT_MAX, static_cast<long long>(r.left) + width));
        run_.inkBeforeEnd = shape->inkBeforeEnd;
        ++run_.pieces;
        return true;
    }
    Flush();
    const int length = ToWide(text, wide_);
    if (length <= 0) return false;
    ::ExtTextOutW(dc_, r.left, static_cast<int>(y), ETO_CLIPPED, &r, wide_.data(), static_cast<UINT>(length),
                  nullptr);
    return true;
}

// The characters a text-out of the piece draws and where their ink lies: the
// glyphs' black boxes, trusted only where each glyph's widths add up to the
// advance the extent call gave it.
const GdiCanvas::Shape* GdiCanvas::ShapeOf(const std::string& text, int width)
{
    const std::size_t kMaxShapes = 8192;
    FontEntry* entry = Current();
    if (!entry || entry->face.Escapement != 0) return nullptr;
    const auto known = entry->shapes.find(text);
    if (known != entry->shapes.end()) return known->second.chars.empty() ? nullptr : &known->second;
    if (entry->shapes.size() >= kMaxShapes) entry->shapes.clear();
    Shape shape;
    const int n = ToWide(text, shape.chars);
    std::vector<INT> ends(n > 0 ? n : 0);
    SIZE size{};
    bool usable = n > 0 && ::GetTextExtentExPointW(dc_, shape.chars.data(), n, 0, nullptr, ends.data(), &size) &&
                  size.cx == width;
    long long inkLeft = 0, inkRight = 0;
    for (int i = 0; usable && i < n; ++i) {
        const wchar_t c = shape.chars[i];
        auto glyph = entry->glyphs.find(c);
        if (glyph == entry->glyphs.end()) {
            ABC measured{};
            if (!::GetCharABCWidthsW(dc_, c, c, &measured)) {
                usable = false;
                break;
            }
            glyph = entry->glyphs.emplace(c, measured).first;
        }
        const ABC& abc = glyph->second;
        const int start = i ? ends[i - 1] : 0;
        const int advance = ends[i] - start;
        if (static_cast<long long>(abc.abcA) + abc.abcB + abc.abcC != advance) {
            usable = false;
            break;
        }
        const long long left = static_cast<long long>(start) + abc.abcA;
        const long long right = left + abc.abcB;
        inkLeft = i ? std::min(inkLeft, left) : left;
        inkRight = i ? std::max(inkRight, right) : right;
    }
    if (!usable) {
        entry->shapes.emplace(text, Shape{});
        return nullptr;
    }
    shape.width = width;
    shape.inkAfterStart = inkLeft >= 0;
    shape.inkBeforeEnd = inkRight <= width;
    return &entry->shapes.emplace(text, std::move(shape)).first->second;
}

void GdiCanvas::Flush() const
{
    if (!run_.open) return;
    run_.open = false;
    // The text-out neither kerns nor shapes these characters, so each glyph lands
    // where the sum of the advances before it puts it, as the pieces' own calls
    // would have placed it; passing those advances would only slow the call.
    ::ExtTextOutW(dc_, run_.rect.left, run_.y, ETO_CLIPPED, &run_.rect, run_.chars.data(),
                  static_cast<UINT>(run_.chars.size()), nullptr);
}

int GdiCanvas::DrawText(const std::string& text, TRect& rect, unsigned flags)
{
    const bool heightAnswer = (flags & (DT_BOTTOM | DT_VCENTER)) && (flags & DT_SINGLELINE);
    if (MeasureByExtent(text, rect, flags)) return Current()->height;
    if (PaintByTextOut(text, rect, flags)) return Current()->height;
    if (!(flags & DT_CALCRECT)) Flush();
    RECT r = ToRect(rect);
    const int result = ::DrawTextA(dc_, text.c_str(), static_cast<int>(text.size()), &r, flags);
    rect = TRect{r.left, r.top, r.right, r.bottom};
    // Bottom- or centre-aligned, the system call answers the offset of the text's
    // bottom from the rectangle's top (and measuring keeps that bottom), not the
    // text's height.
    if (heightAnswer) return text.empty() ? 0 : TextHeight(text);
    return result;
}

int GdiCanvas::TextHeight(const std::string& text)
{
    const FontEntry* entry = plain_ || text.empty() ? nullptr : Current();
    if (entry && entry->height >= 0) return entry->height;
    SIZE size;
    Extent(text, size);
    return size.cy;
}

int GdiCanvas::TextWidth(const std::string& text)
{
    FontEntry* entry = plain_ || text != " " ? nullptr : Current();
    if (entry && entry->spaceWidth >= 0) return entry->spaceWidth;
    SIZE size;
    const int width = Extent(text, size);
    if (entry) entry->spaceWidth = width;
    return width;
}

void GdiCanvas::MoveTo(int x, int y)
{
    Flush();
    ::MoveToEx(dc_, x, y, nullptr);
}

void GdiCanvas::LineTo(int x, int y)
{
    Flush();
    ::LineTo(dc_, x, y);
}

void GdiCanvas::FillRect(const TRect& rect)
{
    Flush();
    if (!brushHandle_) return;
    const RECT r = ToRect(rect);
    ::FillRect(dc_, &r, brushHandle_.get());
}

void GdiCanvas::FrameRect(const TRect& rect)
{
    Flush();
    SelectObjectGuard hollow(dc_, ::GetStockObject(NULL_BRUSH));
    ::Rectangle(dc_, rect.Left, rect.Top, rect.Right, rect.Bottom);
}

void GdiCanvas::RoundRect(const TRect& rect, int cornerWidth, int cornerHeight)
{
    Flush();
    ::RoundRect(dc_, rect.Left, rect.Top, rect.Right, rect.Bottom, cornerWidth, cornerHeight);
}

void GdiCanvas::DrawFocusRect(const TRect& rect)
{
    Flush();
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
    Flush();
    HIMAGELIST list = SystemImageList(large);
    if (list) ::ImageList_Draw(list, index, dc_, x, y, ILD_TRANSPARENT);
}

void GdiCanvas::DrawSystemIconScaled(int index, bool large, const TRect& rect)
{
    Flush();
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
    Flush();
    if (!clipped_) {
        entryClip_.reset(::CreateRectRgn(0, 0, 0, 0));
        hadClip_ = entryClip_ && ::GetClipRgn(dc_, entryClip_.get()) == 1;
        clipped_ = true;
    }
    ::IntersectClipRect(dc_, rect.Left, rect.Top, rect.Right, rect.Bottom);
}

void GdiCanvas::ClearClip()
{
    Flush();
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

TRect GdiCanvas::ClipBounds() const
{
    RECT r{};
    // A DC that cannot tell its clip is treated as showing nothing.
    if (::GetClipBox(dc_, &r) == ERROR) return TRect{};
    return TRect{r.left, r.top, r.right, r.bottom};
}

void GdiCanvas::DrawPicture(ICanvasPicture& picture, const TRect& rect)
{
    picture.Render(reinterpret_cast<std::uintptr_t>(Handle()), rect);
}

}  // namespace dupd
