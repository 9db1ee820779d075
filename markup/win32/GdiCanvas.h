// The markup canvas over a GDI device context (a window's paint DC or a memory DC).
// It creates the font, brush and pen its state asks for, keeps each until the
// state changes, and on destruction puts the DC's own objects back and deletes its
// own.
//
// The engine asks the same few questions over and over, so by default the canvas
// keeps the last few fonts with their height, the width of a space and the
// measuring call's vertical answer, measures plain pieces with the cheaper
// extent call, which gives the same rectangle, and draws them with the text-out
// call the drawing call ends in, at the place it would choose. Pieces drawn one
// after another on one line, in one font and colour, are joined into one
// text-out where that draws the same pixels: the system's cost is mostly per
// call. Calls::kPlain makes every call the system call it names, for comparison.
//
// Joined text reaches the DC at the canvas's next call that draws or changes
// what drawing uses, at Handle, at Flush, or when the canvas goes: whoever draws
// on the DC or reads its pixels in between takes it from Handle or calls Flush.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "markup/Canvas.h"
#include "winenv/win32/Handle.h"

namespace dupd {

class GdiCanvas : public TCanvas {
public:
    enum class Calls { kShortcuts, kPlain };
    explicit GdiCanvas(HDC dc, Calls calls = Calls::kShortcuts);
    ~GdiCanvas() override;
    GdiCanvas(const GdiCanvas&) = delete;
    GdiCanvas& operator=(const GdiCanvas&) = delete;

    HDC Handle() const
    {
        Flush();
        return dc_;
    }
    void Flush() const;

    TFontState Font() const override { return font_; }
    void SetFont(const TFontState& font) override;

    TColor BrushColor() const override { return brushColor_; }
    void SetBrushColor(TColor color) override;
    TColor PenColor() const override { return penColor_; }
    void SetPenColor(TColor color) override;
    int PenWidth() const override { return penWidth_; }
    void SetPenWidth(int width) override;
    void SetBackgroundTransparent() override;

    int DrawText(const std::string& text, TRect& rect, unsigned flags) override;
    int TextHeight(const std::string& text) override;
    int TextWidth(const std::string& text) override;

    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void FillRect(const TRect& rect) override;
    void FrameRect(const TRect& rect) override;
    void RoundRect(const TRect& rect, int cornerWidth, int cornerHeight) override;
    void DrawFocusRect(const TRect& rect) override;

    int SystemIconIndex(const std::string& path, bool large) override;
    int SystemIconSize(bool large) override;
    void DrawSystemIcon(int index, bool large, int x, int y) override;
    void DrawSystemIconScaled(int index, bool large, const TRect& rect) override;

    void SetClipRect(const TRect& rect) override;
    void ClearClip() override;
    TRect ClipBounds() const override;

    int PixelsPerInchX() const override;
    int PixelsPerInchY() const override;
    TColor ToRGB(TColor color) const override;
    void DrawPicture(ICanvasPicture& picture, const TRect& rect) override;

private:
    // What one font answers the same whatever the text (-1 while not yet known).
    struct CalcShift {
        unsigned flags;
        int top, bottom;  // the measuring call's change to the rectangle's edges
    };
    // A piece as a text-out draws it: its characters, and whether its glyphs' ink
    // stays right of its origin and left of its advance's end.
    struct Shape {
        std::vector<wchar_t> chars;
        int width = 0;
        bool inkAfterStart = false;
        bool inkBeforeEnd = false;
    };
    struct FontEntry {
        TFontState face;
        UniqueFont handle;
        int height = -1;
        int spaceWidth = -1;
        std::vector<CalcShift> shifts;
        std::unordered_map<std::string, int> widths;  // a dialog's texts repeat their words
        std::unordered_map<std::string, Shape> shapes;
        std::unordered_map<wchar_t, ABC> glyphs;  // absent where the font cannot tell
    };
    // Pieces waiting to be drawn as one text-out.
    struct Run {
        bool open = false;
        RECT rect{};
        int y = 0;
        int end = 0;  // where the next piece must start to join
        int pieces = 0;
        bool inkBeforeEnd = false;
        std::vector<wchar_t> chars;
    };

    UniqueFont CreateFontFor(const TFontState& font) const;
    void RealizeFont();
    void SelectCachedFont();
    FontEntry* Current() { return fonts_.empty() ? nullptr : &fonts_[current_]; }
    bool MeasureByExtent(const std::string& text, TRect& rect, unsigned flags);
    bool PaintByTextOut(const std::string& text, const TRect& rect, unsigned flags);
    const Shape* ShapeOf(const std::string& text, int width);
    int Extent(const std::string& text, SIZE& size);
    void RealizePen();
    static HIMAGELIST SystemImageList(bool large);

    HDC dc_;
    bool plain_;
    bool textOut_ = false;  // the DC places text as the drawing call expects
    bool opaque_ = false;  // the DC's background mode
    std::vector<wchar_t> wide_;
    mutable Run run_;
    HGDIOBJ entryFont_;
    HGDIOBJ entryBrush_;
    HGDIOBJ entryPen_;

    TFontState font_;
    UniqueFont fontHandle_;  // plain calls only
    std::vector<FontEntry> fonts_;  // shortcuts only: a few, oldest first
    std::size_t current_ = 0;
    COLORREF textColor_ = CLR_INVALID;
    TColor brushColor_ = clNone;
    UniqueBrush brushHandle_;
    bool brushSet_ = false;  // the DC holds brushColor_'s brush and background
    TColor penColor_ = clBlack;
    int penWidth_ = 1;
    UniquePen penHandle_;

    // The clip region the DC had before SetClipRect (none when `hadClip_` is false),
    // so that ClearClip gives a paint DC its update region back.
    bool clipped_ = false;
    bool hadClip_ = false;
    UniqueRegion entryClip_;
};

// The font the canvas makes for a font state at a resolution; the window layer
// makes its controls' fonts the same way.
UniqueFont CreateFontOf(const TFontState& font, int pixelsPerInch);

// A COLORREF for a colour number: system colours resolved, clNone as white.
COLORREF ColorRefOf(TColor color);

}  // namespace dupd
