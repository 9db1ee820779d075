// A canvas with fixed, simple metrics that records every drawing call, for the
// markup engine's host tests, and small fakes of the picture collaborators.
//
// Metrics: every shown character is 6 px wide (7 when bold); a line of text is
// font size + 5 px high (8 pt -> 13); "Symbol" is measured like any other font.
// Text calls follow the system text call: without dt::kNoPrefix "&&" shows one
// "&" and a single "&" is not shown (it underlines the next character); with
// dt::kCalcRect nothing is drawn and the rectangle is fitted to the text. With
// dt::kWordBreak (and not dt::kSingleLine) the text breaks at CR, LF and CR LF and
// wraps at spaces to the rectangle's width (a longer word stays whole on its own
// line): the height is lines x line height, the fitted width the widest line.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "markup/Canvas.h"

namespace dupd {

struct TCanvasCall {
    enum Kind {
        kText,         // DrawText drawing
        kMeasure,      // DrawText with dt::kCalcRect
        kFill,         // FillRect
        kFrame,        // FrameRect
        kRoundRect,
        kMove,         // MoveTo
        kLine,         // LineTo: from (X, Y) to (X2, Y2)
        kFocus,        // DrawFocusRect
        kIcon,         // system icon at (X, Y)
        kIconScaled,   // system icon into Rect
        kClip,         // SetClipRect
        kClearClip,
        kImage,        // image list entry at (X, Y)
        kImageScaled,  // image list entry into Rect
        kGraphic,      // a fake graphic drawn into Rect
    };
    Kind What = kText;
    std::string Text;   // as passed (text calls), or the graphic's name
    std::string Shown;  // what a text call shows after the ampersand rule
    TRect Rect;
    unsigned Flags = 0;
    TFontState Font;
    TColor Brush = clNone;
    TColor Pen = clBlack;
    int X = 0, Y = 0, X2 = 0, Y2 = 0;
    int Index = -1;
    bool Large = false;
    bool Stretch = false;

    std::string Describe() const
    {
        char buf[160];
        auto rect = [&] {
            std::snprintf(buf, sizeof buf, "(%d,%d,%d,%d)", Rect.Left, Rect.Top, Rect.Right, Rect.Bottom);
            return std::string(buf);
        };
        auto hex = [&](TColor c) {
            std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(c));
            return std::string(buf);
        };
        auto style = [&] {
            std::string s;
            if (Font.Style & fsBold) s += "/bold";
            if (Font.Style & fsItalic) s += "/italic";
            if (Font.Style & fsUnderline) s += "/underline";
            if (Font.Style & fsStrikeOut) s += "/strike";
            return s;
        };
        auto num = [](int v) { return std::to_string(v); };
        switch (What) {
        case kText:
        case kMeasure: {
            std::snprintf(buf, sizeof buf, "0x%X", Flags);
            std::string flags = buf;
            return std::string(What == kText ? "text '" : "measure '") + Text + "' at " + rect() + " flags " +
                   flags + " font " + Font.Name + "/" + num(Font.Size) + style() + " color " + hex(Font.Color) +
                   " brush " + hex(Brush);
        }
        case kFill: return "fill " + rect() + " brush " + hex(Brush);
        case kFrame: return "frame " + rect() + " pen " + hex(Pen);
        case kRoundRect: return "roundrect " + rect() + " pen " + hex(Pen) + " brush " + hex(Brush);
        case kMove: return "move (" + num(X) + "," + num(Y) + ")";
        case kLine:
            return "line (" + num(X) + "," + num(Y) + ")-(" + num(X2) + "," + num(Y2) + ") pen " + hex(Pen);
        case kFocus: return "focus " + rect();
        case kIcon:
            return "icon " + num(Index) + (Large ? " large" : " small") + " at (" + num(X) + "," + num(Y) + ")";
        case kIconScaled: return "icon " + num(Index) + (Large ? " large" : " small") + " into " + rect();
        case kClip: return "clip " + rect();
        case kClearClip: return "clip off";
        case kImage: return "image " + num(Index) + " at (" + num(X) + "," + num(Y) + ")";
        case kImageScaled: return "image " + num(Index) + " into " + rect();
        case kGraphic: return "graphic '" + Text + "' into " + rect() + (Stretch ? " stretched" : "");
        }
        return "?";
    }
};

class TestCanvas : public TCanvas {
public:
    static constexpr int kCharWidth = 6;
    static constexpr int kSmallIcon = 16;
    static constexpr int kLargeIcon = 32;
    static constexpr int kDefaultIconIndex = 3;

    std::vector<TCanvasCall> Calls;
    int PpiX = 96;
    int PpiY = 96;
    bool BackgroundTransparent = false;
    // Icon indexes the shell would give for paths; others get kDefaultIconIndex.
    std::map<std::string, int> IconIndexes;

    // --- what the engine sees -------------------------------------------------
    TFontState Font() const override { return font_; }
    void SetFont(const TFontState& font) override { font_ = font; }
    TColor BrushColor() const override { return brush_; }
    void SetBrushColor(TColor color) override { brush_ = color; }
    TColor PenColor() const override { return pen_; }
    void SetPenColor(TColor color) override { pen_ = color; }
    int PenWidth() const override { return penWidth_; }
    void SetPenWidth(int width) override { penWidth_ = width; }
    void SetBackgroundTransparent() override { BackgroundTransparent = true; }

    int DrawText(const std::string& text, TRect& rect, unsigned flags) override
    {
        const std::string shown = (flags & dt::kNoPrefix) ? text : WithoutPrefixes(text);
        int width = WidthOf(shown);
        int height = text.empty() ? 0 : LineHeight();
        if ((flags & dt::kWordBreak) && !(flags & dt::kSingleLine) && !text.empty()) {
            const std::vector<std::string> lines = WrappedLines(shown, rect.Right - rect.Left);
            width = 0;
            for (const auto& line : lines) width = std::max(width, WidthOf(line));
            height = static_cast<int>(lines.size()) * LineHeight();
        }
        TCanvasCall call = Snapshot((flags & dt::kCalcRect) ? TCanvasCall::kMeasure : TCanvasCall::kText);
        call.Text = text;
        call.Shown = shown;
        call.Flags = flags;
        if (flags & dt::kCalcRect) {
            rect.Right = rect.Left + width;
            rect.Bottom = rect.Top + height;
        }
        call.Rect = rect;
        Calls.push_back(std::move(call));
        return height;
    }
    int TextHeight(const std::string&) override { return LineHeight(); }
    int TextWidth(const std::string& text) override { return WidthOf(text); }

    void MoveTo(int x, int y) override
    {
        penX_ = x;
        penY_ = y;
        TCanvasCall call = Snapshot(TCanvasCall::kMove);
        call.X = x;
        call.Y = y;
        Calls.push_back(std::move(call));
    }
    void LineTo(int x, int y) override
    {
        TCanvasCall call = Snapshot(TCanvasCall::kLine);
        call.X = penX_;
        call.Y = penY_;
        call.X2 = x;
        call.Y2 = y;
        Calls.push_back(std::move(call));
        penX_ = x;
        penY_ = y;
    }
    void FillRect(const TRect& rect) override { AddRect(TCanvasCall::kFill, rect); }
    void FrameRect(const TRect& rect) override { AddRect(TCanvasCall::kFrame, rect); }
    void RoundRect(const TRect& rect, int, int) override { AddRect(TCanvasCall::kRoundRect, rect); }
    void DrawFocusRect(const TRect& rect) override { AddRect(TCanvasCall::kFocus, rect); }

    int SystemIconIndex(const std::string& path, bool) override
    {
        auto it = IconIndexes.find(path);
        return it == IconIndexes.end() ? kDefaultIconIndex : it->second;
    }
    int SystemIconSize(bool large) override { return large ? kLargeIcon : kSmallIcon; }
    void DrawSystemIcon(int index, bool large, int x, int y) override
    {
        TCanvasCall call = Snapshot(TCanvasCall::kIcon);
        call.Index = index;
        call.Large = large;
        call.X = x;
        call.Y = y;
        Calls.push_back(std::move(call));
    }
    void DrawSystemIconScaled(int index, bool large, const TRect& rect) override
    {
        TCanvasCall call = Snapshot(TCanvasCall::kIconScaled);
        call.Index = index;
        call.Large = large;
        call.Rect = rect;
        Calls.push_back(std::move(call));
    }

    void SetClipRect(const TRect& rect) override { AddRect(TCanvasCall::kClip, rect); }
    void ClearClip() override { Calls.push_back(Snapshot(TCanvasCall::kClearClip)); }
    // The visible area the canvas reports, whatever SetClipRect was asked.
    TRect VisibleArea{0, 0, 4096, 4096};
    TRect ClipBounds() const override { return VisibleArea; }

    int PixelsPerInchX() const override { return PpiX; }
    int PixelsPerInchY() const override { return PpiY; }

    TColor ToRGB(TColor color) const override
    {
        if (!IsSystemColor(color)) return color & 0x00FFFFFF;
        switch (color & 0xFF) {
        case 0x05: return 0x00FFFFFF;  // window
        case 0x08: return 0x00000000;  // window text
        case 0x0D: return 0x00D77800;  // highlight
        case 0x0E: return 0x00FFFFFF;  // highlight text
        case 0x0F: return 0x00F0F0F0;  // button face
        default: return 0x00808080;
        }
    }

    // --- for tests and fakes ----------------------------------------------------
    void Record(TCanvasCall call) { Calls.push_back(std::move(call)); }
    TCanvasCall Snapshot(TCanvasCall::Kind what) const
    {
        TCanvasCall call;
        call.What = what;
        call.Font = font_;
        call.Brush = brush_;
        call.Pen = pen_;
        return call;
    }

    int LineHeight() const { return HeightFor(font_); }
    static int HeightFor(const TFontState& font) { return (font.Size < 0 ? -font.Size : font.Size) + 5; }
    int CharWidth() const { return kCharWidth + ((font_.Style & fsBold) ? 1 : 0); }
    int WidthOf(const std::string& shown) const { return static_cast<int>(shown.size()) * CharWidth(); }

    // "&&" -> "&", a single "&" dropped (the character after it is the mnemonic).
    static std::string WithoutPrefixes(const std::string& text)
    {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '&') {
                if (i + 1 < text.size() && text[i + 1] == '&') {
                    out += '&';
                    ++i;
                }
                continue;
            }
            out += text[i];
        }
        return out;
    }

    // The lines a word-breaking text call lays out within `width` pixels.
    std::vector<std::string> WrappedLines(const std::string& shown, int width) const
    {
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (true) {
            std::size_t end = shown.find_first_of("\r\n", start);
            const std::string paragraph = shown.substr(start, end == std::string::npos ? std::string::npos : end - start);
            std::string line;
            bool first = true;
            std::size_t at = 0;
            while (true) {
                const std::size_t space = paragraph.find(' ', at);
                const std::string word = paragraph.substr(at, space == std::string::npos ? std::string::npos : space - at);
                if (first) {
                    line = word;
                    first = false;
                } else if (WidthOf(line + " " + word) <= width) {
                    line += " " + word;
                } else {
                    lines.push_back(line);
                    line = word;
                }
                if (space == std::string::npos) break;
                at = space + 1;
            }
            lines.push_back(line);
            if (end == std::string::npos) break;
            if (shown[end] == '\r' && end + 1 < shown.size() && shown[end + 1] == '\n') ++end;
            start = end + 1;
        }
        return lines;
    }

    std::vector<TCanvasCall> Of(TCanvasCall::Kind what) const
    {
        std::vector<TCanvasCall> out;
        for (const auto& c : Calls)
            if (c.What == what) out.push_back(c);
        return out;
    }
    // The drawn texts in order (as passed to the text call).
    std::vector<std::string> DrawnTexts() const
    {
        std::vector<std::string> out;
        for (const auto& c : Calls)
            if (c.What == TCanvasCall::kText) out.push_back(c.Text);
        return out;
    }
    std::string Log() const
    {
        std::string out;
        for (const auto& c : Calls) out += c.Describe() + "\n";
        return out;
    }
    void Clear() { Calls.clear(); }

private:
    void AddRect(TCanvasCall::Kind what, const TRect& rect)
    {
        TCanvasCall call = Snapshot(what);
        call.Rect = rect;
        Calls.push_back(std::move(call));
    }

    TFontState font_;
    TColor brush_ = 0xFF000005;  // window
    TColor pen_ = clBlack;
    int penWidth_ = 1;
    int penX_ = 0;
    int penY_ = 0;
};

// An image list of `count` entries of a fixed size; draws are recorded on a
// TestCanvas.
class FakeImageList : public IImageList {
public:
    FakeImageList(int count, int width, int height) : count_(count), width_(width), height_(height) {}
    int Count() const override { return count_; }
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void Draw(TCanvas& canvas, int x, int y, int index) override
    {
        if (auto* test = dynamic_cast<TestCanvas*>(&canvas)) {
            TCanvasCall call = test->Snapshot(TCanvasCall::kImage);
            call.X = x;
            call.Y = y;
            call.Index = index;
            test->Record(std::move(call));
        }
    }
    void DrawScaled(TCanvas& canvas, const TRect& rect, int index) override
    {
        if (auto* test = dynamic_cast<TestCanvas*>(&canvas)) {
            TCanvasCall call = test->Snapshot(TCanvasCall::kImageScaled);
            call.Rect = rect;
            call.Index = index;
            test->Record(std::move(call));
        }
    }

private:
    int count_, width_, height_;
};

// A picture of a fixed size (width 0 = empty); layout size and frame offset can
// differ from the picture's own size, as for a GIF frame.
class FakeGraphic : public IMarkupGraphic {
public:
    FakeGraphic(std::string name, int width, int height) : Name(std::move(name)), W(width), H(height), LW(width), LH(height) {}
    std::string Name;
    int W, H, LW, LH;
    int OffsetX = 0, OffsetY = 0;
    bool Stretch = false;

    bool Empty() const override { return W <= 0 || H <= 0; }
    int Width() const override { return W; }
    int Height() const override { return H; }
    int LayoutWidth() const override { return LW; }
    int LayoutHeight() const override { return LH; }
    int FrameOffsetX() const override { return OffsetX; }
    int FrameOffsetY() const override { return OffsetY; }
    void SetStretch(bool stretch) override { Stretch = stretch; }
    void Draw(TCanvas& canvas, const TRect& rect) override
    {
        if (auto* test = dynamic_cast<TestCanvas*>(&canvas)) {
            TCanvasCall call = test->Snapshot(TCanvasCall::kGraphic);
            call.Text = Name;
            call.Rect = rect;
            call.Stretch = Stretch;
            test->Record(std::move(call));
        }
    }
};

// Named pictures.
class FakePictureContainer : public IPictureContainer {
public:
    std::map<std::string, std::unique_ptr<FakeGraphic>> Pictures;
    std::vector<std::string> Asked;
    FakeGraphic& Add(const std::string& name, int width, int height)
    {
        auto& slot = Pictures[name];
        slot = std::make_unique<FakeGraphic>(name, width, height);
        return *slot;
    }
    IMarkupGraphic* FindPicture(const std::string& name) override
    {
        Asked.push_back(name);
        auto it = Pictures.find(name);
        return it == Pictures.end() ? nullptr : it->second.get();
    }
};

// A picture cache: URLs listed in `Loadable` load to a picture of that size, any
// other URL gives an empty picture (as a web address would). Every load is counted.
class FakePictureCache : public IPictureCache {
public:
    std::map<std::string, std::pair<int, int>> Loadable;
    std::vector<std::unique_ptr<FakeGraphic>> Entries;
    std::vector<std::string> Loads;

    IMarkupGraphic* Find(const std::string& url) override
    {
        for (auto& e : Entries)
            if (e->Name == url) return e.get();
        return nullptr;
    }
    IMarkupGraphic* AddAndLoad(const std::string& url) override
    {
        Loads.push_back(url);
        auto it = Loadable.find(url);
        const auto size = it == Loadable.end() ? std::make_pair(0, 0) : it->second;
        Entries.push_back(std::make_unique<FakeGraphic>(url, size.first, size.second));
        return Entries.back().get();
    }
};

}  // namespace dupd
