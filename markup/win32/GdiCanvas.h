// The markup canvas over a GDI device context (a window's paint DC or a memory DC).
// It creates the font, brush and pen its state asks for, keeps each until the
// state changes, and on destruction puts the DC's own objects back and deletes its
// own.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "markup/Canvas.h"
#include "winenv/win32/Handle.h"

namespace dupd {

class GdiCanvas : public TCanvas {
public:
    explicit GdiCanvas(HDC dc);
    ~GdiCanvas() override;
    GdiCanvas(const GdiCanvas&) = delete;
    GdiCanvas& operator=(const GdiCanvas&) = delete;

    HDC Handle() const { return dc_; }

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

    int PixelsPerInchX() const override;
    int PixelsPerInchY() const override;
    TColor ToRGB(TColor color) const override;

private:
    void RealizeFont();
    void RealizePen();
    static HIMAGELIST SystemImageList(bool large);

    HDC dc_;
    HGDIOBJ entryFont_;
    HGDIOBJ entryBrush_;
    HGDIOBJ entryPen_;

    TFontState font_;
    UniqueFont fontHandle_;
    TColor brushColor_ = clNone;
    UniqueBrush brushHandle_;
    TColor penColor_ = clBlack;
    int penWidth_ = 1;
    UniquePen penHandle_;

    // The clip region the DC had before SetClipRect (none when `hadClip_` is false),
    // so that ClearClip gives a paint DC its update region back.
    bool clipped_ = false;
    bool hadClip_ = false;
    UniqueRegion entryClip_;
};

// A COLORREF for a colour number: system colours resolved, clNone as white.
COLORREF ColorRefOf(TColor color);

}  // namespace dupd
