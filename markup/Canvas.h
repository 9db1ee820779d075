// What the markup engine needs of a drawing surface: fonts, brushes, pens, single-
// line text with the system text call's flags, lines, fills, focus rectangles,
// icons, image lists, pictures, clipping and the device's resolution. The GDI
// canvas in markup/win32/ draws; tests/host/TestCanvas.h has fixed metrics and
// records every call. No call of a canvas, a graphic or an image list throws.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace dupd {

// 0x00BBGGRR for RGB, 0xFF0000nn for system colour nn, clNone for none.
using TColor = std::uint32_t;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clBlack = 0x00000000;
inline constexpr bool IsSystemColor(TColor c) { return (c & 0xFF000000u) == 0xFF000000u; }

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    friend bool operator==(const TRect& a, const TRect& b)
    {
        return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
    }
};

// The system's "any character set" and "default quality", which a font state has
// unless a system description says otherwise.
inline constexpr std::uint8_t kDefaultCharset = 1;
inline constexpr std::uint8_t kDefaultQuality = 0;

enum TFontStyle : std::uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

struct TFontState {
    std::string Name = "MS Sans Serif";
    int Size = 8;            // points
    TColor Color = 0xFF000008;  // window text
    std::uint8_t Style = 0;  // TFontStyle bits
    int Escapement = 0;      // tenths of a degree; orientation follows it
    // What a system font description adds to face, size and style, carried as it
    // is to the font a canvas makes: its character set and quality, and its own
    // height for as long as Size is the size it was described at (a size derived
    // from a height in pixels, and back, can land a pixel off).
    std::uint8_t Charset = kDefaultCharset;
    std::uint8_t Quality = kDefaultQuality;
    int Height = 0;      // the description's, by the system's sign rule; 0: from Size
    int HeightSize = 0;  // the Size that Height describes
};

// Whether two states make the same font, the colour aside.
inline bool SameFace(const TFontState& a, const TFontState& b)
{
    return a.Name == b.Name && a.Size == b.Size && a.Style == b.Style && a.Escapement == b.Escapement &&
           a.Charset == b.Charset && a.Quality == b.Quality && a.Height == b.Height && a.HeightSize == b.HeightSize;
}

inline bool operator==(const TFontState& a, const TFontState& b) { return a.Color == b.Color && SameFace(a, b); }

// The system text call's flags the engine uses (same values as the platform's).
namespace dt {
inline constexpr unsigned kVCenter = 0x0004;
inline constexpr unsigned kBottom = 0x0008;
inline constexpr unsigned kWordBreak = 0x0010;
inline constexpr unsigned kSingleLine = 0x0020;
inline constexpr unsigned kExpandTabs = 0x0040;
inline constexpr unsigned kExternalLeading = 0x0200;
inline constexpr unsigned kCalcRect = 0x0400;
inline constexpr unsigned kNoPrefix = 0x0800;
inline constexpr unsigned kEndEllipsis = 0x8000;
inline constexpr unsigned kRtlReading = 0x20000;
}  // namespace dt

class TCanvas;

// A decoded picture that renders itself on a canvas's own device, which only the
// canvas knows: `device` is its native drawing surface (a device context).
class ICanvasPicture {
public:
    virtual ~ICanvasPicture() = default;
    virtual void Render(std::uintptr_t device, const TRect& rect) = 0;
};

// A graphic the engine can place: pictures from a cache or container.
class IMarkupGraphic {
public:
    virtual ~IMarkupGraphic() = default;
    virtual bool Empty() const = 0;
    virtual int Width() const = 0;  // pixels
    virtual int Height() const = 0;
    // The size used for layout (an animated GIF's logical screen) and the position
    // of the shown frame inside it.
    virtual int LayoutWidth() const = 0;
    virtual int LayoutHeight() const = 0;
    virtual int FrameOffsetX() const = 0;
    virtual int FrameOffsetY() const = 0;
    virtual void SetStretch(bool stretch) = 0;
    virtual void Draw(TCanvas& canvas, const TRect& rect) = 0;
};

class IImageList {
public:
    virtual ~IImageList() = default;
    virtual int Count() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void Draw(TCanvas& canvas, int x, int y, int index) = 0;
    virtual void DrawScaled(TCanvas& canvas, const TRect& rect, int index) = 0;
};

// Pictures named by URL ("RES://", "FILE://", others stay empty), found or loaded.
class IPictureCache {
public:
    virtual ~IPictureCache() = default;
    virtual IMarkupGraphic* Find(const std::string& url) = 0;
    // Appends a new picture for `url`, loads it synchronously and returns it.
    virtual IMarkupGraphic* AddAndLoad(const std::string& url) = 0;
};

class IPictureContainer {
public:
    virtual ~IPictureContainer() = default;
    virtual IMarkupGraphic* FindPicture(const std::string& name) = 0;
};

class TCanvas {
public:
    virtual ~TCanvas() = default;

    virtual TFontState Font() const = 0;
    virtual void SetFont(const TFontState& font) = 0;

    virtual TColor BrushColor() const = 0;  // clNone when the brush is transparent
    virtual void SetBrushColor(TColor color) = 0;  // clNone makes it transparent
    virtual TColor PenColor() const = 0;
    virtual void SetPenColor(TColor color) = 0;
    virtual int PenWidth() const = 0;
    virtual void SetPenWidth(int width) = 0;
    virtual void SetBackgroundTransparent() = 0;

    // The system text call on one line of text: with dt::kCalcRect it only measures,
    // widening or narrowing `rect` to the text; returns the text's height.
    virtual int DrawText(const std::string& text, TRect& rect, unsigned flags) = 0;
    virtual int TextHeight(const std::string& text) = 0;
    virtual int TextWidth(const std::string& text) = 0;

    virtual void MoveTo(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;
    virtual void FillRect(const TRect& rect) = 0;      // with the brush
    virtual void FrameRect(const TRect& rect) = 0;     // outline with the pen, nothing inside
    virtual void RoundRect(const TRect& rect, int cornerWidth, int cornerHeight) = 0;
    virtual void DrawFocusRect(const TRect& rect) = 0;

    // Icons of the system image list: the index for a path or file type (no file
    // access when `path` names nothing that exists), the list's icon size, drawing.
    virtual int SystemIconIndex(const std::string& path, bool large) = 0;
    virtual int SystemIconSize(bool large) = 0;
    virtual void DrawSystemIcon(int index, bool large, int x, int y) = 0;
    virtual void DrawSystemIconScaled(int index, bool large, const TRect& rect) = 0;

    // Clipping to a rectangle until ClearClip.
    virtual void SetClipRect(const TRect& rect) = 0;
    virtual void ClearClip() = 0;
    // The bounding box of what drawing can reach now (the clip and the device's
    // visible area); empty when nothing can be drawn.
    virtual TRect ClipBounds() const = 0;

    virtual int PixelsPerInchX() const = 0;
    virtual int PixelsPerInchY() const = 0;
    // An RGB value for any colour number (system colours resolved).
    virtual TColor ToRGB(TColor color) const = 0;

    // A decoded picture into `rect`; a canvas without a device draws nothing.
    virtual void DrawPicture(ICanvasPicture&, const TRect&) {}
};

}  // namespace dupd
