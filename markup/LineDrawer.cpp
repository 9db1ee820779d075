// Drawing and hit-testing a fitted line: text with its shadow and error mark,
// rules, bullets, backgrounds and pictures, anchors with their hover styles, the
// focus rectangle and the anchor found under the point.
#include <algorithm>
#include <climits>
#include <string>

#include "markup/MarkupEngine.h"
#include "markup/MarkupHelpers.h"

namespace dupd {
namespace markup_engine {

void Engine::LineBackground(const TRect& rect)
{
    if (draw_.paraBackground && !pass_.measure && c_.BrushColor() != clNone) {
        c_.SetPenColor(c_.BrushColor());
        Fill(SatRect(bounds_.Left, rect.Top, bounds_.Right, static_cast<long long>(rect.Top) + measures_.height));
    }
}

void Engine::DrawPiece(const std::string& piece)
{
    const TRect& line = pass_.line;
    TRect r{pass_.x, line.Top, line.Right, line.Bottom};
    long long bottom = r.Bottom;
    if (state_.superscript) bottom -= measures_.supAllowance;
    if (state_.subscript) bottom += measures_.subAllowance;
    bottom -= measures_.shift;
    r.Bottom = Sat(bottom);
    if (state_.shadow) {
        const TColor color = c_.Font().Color;
        SetFontColor(req_.ShadowColor);
        TRect s = SatRect(static_cast<long long>(r.Left) + shadowOffset_,
                          static_cast<long long>(r.Top) + shadowOffset_,
                          static_cast<long long>(r.Right) + shadowOffset_,
                          static_cast<long long>(r.Bottom) + shadowOffset_);
        c_.DrawText(piece, s, drawFlags_);
        SetFontColor(color);
    }
    TRect d = r;
    c_.DrawText(piece, d, drawFlags_);
    TRect m = r;
    c_.DrawText(piece, m, measureFlags_);
    const int right = Clamp(m.Right, r.Left, kMaxCoord);
    if (state_.inAnchor && req_.FocusAnchor >= 0 && state_.anchorCounter - 1 == req_.FocusAnchor)
        res_.FocusAnchorHref = *state_.anchorRef;
    if (draw_.errorMark) {
        c_.SetPenColor(kErrorMarkColor);
        c_.SetPenWidth(1);
        int x = (r.Left / 2) * 2;
        int phase = (x % 4 == 0) ? 2 : 0;
        const long long y = line.Bottom;
        c_.MoveTo(x, Sat(y + phase - 1));
        while (x < right) {
            phase = phase == 2 ? 0 : 2;
            c_.LineTo(x + 2, Sat(y + phase - 1));
            x += 2;
        }
    }
    pass_.x = right;
}

// The piece of an anchor just measured, `w` wide, ends the line's width so far.
void Engine::HitTestPiece(int w)
{
    const long long x = static_cast<long long>(req_.PointX) - pass_.line.Left;
    if (x >= static_cast<long long>(pass_.width) - w && x <= pass_.width) {
        pass_.textHit = true;
        if (req_.PointY > pass_.line.Top) {
            res_.AnchorAtPoint = *state_.anchorRef;
            capture_.pending = true;
        }
    }
}

// The picture about to be placed at the end of the line's width so far.
void Engine::HitTestPicture(int pw, int ph)
{
    if (state_.inAnchor) {
        const long long x = static_cast<long long>(req_.PointX) - pass_.line.Left;
        if (x > pass_.width && x < static_cast<long long>(pass_.width) + pw && req_.PointY > pass_.line.Top &&
            req_.PointY < static_cast<long long>(pass_.line.Top) + ph) {
            pass_.pictureHit = true;
            res_.AnchorAtPoint = *state_.anchorRef;
            capture_.hoveredPicture = state_.pictureCounter;
        }
    }
}

void Engine::EndOfLineFocus()
{
    TRect& focus = draw_.focus;
    if (!pass_.measure && state_.inAnchor && req_.FocusAnchor >= 0 && state_.anchorCounter - 1 == req_.FocusAnchor) {
        focus.Right = Sat(static_cast<long long>(pass_.x) + 1);
        focus.Bottom = pass_.line.Bottom;
        focus.Left = Sat(static_cast<long long>(focus.Left) - 1);
        c_.DrawFocusRect(focus);
        focus.Left = Sat(static_cast<long long>(pass_.line.Left) + 1);
        focus.Top = focus.Bottom;
    }
}

void Engine::AnchorTag(const std::string& tag)
{
    const bool drawing = !pass_.measure;
    if (drawing && state_.anchorCounter == req_.FocusAnchor) {
        draw_.focus.Left = pass_.x;
        draw_.focus.Top = pass_.line.Top;
    }
    if (state_.anchorCounter < INT_MAX) ++state_.anchorCounter;
    const bool hovered = req_.HoverAnchor == state_.anchorCounter;
    if ((!req_.HoverStyle || hovered) && drawing) {
        SetStyle(fsUnderline, true);
        if (req_.HoverBrushColor != clNone) {
            draw_.hoverSavedBrush = c_.BrushColor();
            c_.SetBrushColor(req_.HoverBrushColor);
        }
        if (req_.HoverFontColor != clNone) {
            draw_.hoverSavedFont = c_.Font().Color;
            SetFontColor(req_.HoverFontColor);
        }
    }
    if (!req_.KeepColours && (req_.HoverFontColor == clNone || !hovered || !req_.HoverStyle))
        SetFontColor(req_.LinkColor);
    // The reference is the first double-quoted value of the tag, whatever the name.
    state_.anchorRef = std::make_shared<const std::string>(AttributeValue(tag, tag.substr(0, 2)));
    state_.inAnchor = true;
    capture_.startX = Sat(static_cast<long long>(pass_.line.Left) + pass_.width);
    capture_.startY = pass_.line.Top;
    capture_.startLine = lineIndex_;
}

void Engine::AnchorEnd()
{
    const bool drawing = !pass_.measure;
    const TRect& line = pass_.line;
    const bool hovered = req_.HoverAnchor == state_.anchorCounter;
    if ((!req_.HoverStyle || hovered) && drawing) {
        SetStyle(fsUnderline, false);
        if (req_.HoverBrushColor != clNone) c_.SetBrushColor(draw_.hoverSavedBrush);
        if (req_.HoverFontColor != clNone) SetFontColor(draw_.hoverSavedFont);
    }
    if (!req_.KeepColours) SetFontColor(baseFont_.Color);
    state_.inAnchor = false;
    if (capture_.pending) {
        if (capture_.startLine != lineIndex_) {
            capture_.startX = line.Left;
            capture_.startY = line.Top;
        }
        res_.AnchorRect = TRect{capture_.startX, capture_.startY,
                                Sat(static_cast<long long>(line.Left) + pass_.width), line.Bottom};
        res_.AnchorNumberAtPoint = state_.anchorCounter;
        capture_.pending = false;
    }
    // The focus rectangle only exists while drawing.
    if (drawing && req_.FocusAnchor >= 0 && state_.anchorCounter - 1 == req_.FocusAnchor) {
        TRect& focus = draw_.focus;
        focus.Right = Sat(static_cast<long long>(pass_.x) + 1);
        focus.Bottom = Sat(static_cast<long long>(line.Bottom) - measures_.shift);
        focus.Top = Sat(static_cast<long long>(focus.Bottom) - GhHeight());
        focus.Left = Sat(static_cast<long long>(focus.Left) - 1);
        c_.DrawFocusRect(focus);
    }
}

void Engine::HighlightTag()
{
    draw_.highlightSavedFont = c_.Font().Color;
    draw_.highlightSavedBrush = c_.BrushColor();
    c_.SetBrushColor(kHighlight);
    SetFontColor(kHighlightText);
}

void Engine::HighlightEnd()
{
    SetFontColor(draw_.highlightSavedFont);
    c_.SetBrushColor(draw_.highlightSavedBrush);
}

void Engine::HorizontalRule()
{
    const TColor pen = c_.PenColor();
    c_.SetPenColor(clBlack);
    c_.SetPenWidth(1);
    const int y = Sat(static_cast<long long>(pass_.line.Bottom) + 1);
    c_.MoveTo(pass_.line.Left, y);
    c_.LineTo(pass_.line.Right, y);
    c_.SetPenColor(pen);
}

void Engine::ParagraphBackground(const std::string& up)
{
    if (!FindNoCase(up, "BGCOLOR") || pass_.measure) return;
    const TRect& line = pass_.line;
    const std::string fromText = AttributeValue(up, "BGCOLOR");
    if (fromText.empty()) return;
    const TColor from = ColorValue(fromText);
    const std::string toText = FindNoCase(up, "BGCOLORTO") ? AttributeValue(up, "BGCOLORTO") : std::string();
    draw_.paraBackground = true;
    if (toText.empty()) {
        draw_.paraSavedBrush = c_.BrushColor();
        c_.SetBrushColor(from);
        c_.SetPenColor(from);
        Fill(TRect{bounds_.Left, line.Top, bounds_.Right, line.Bottom});
    } else {
        c_.SetPenColor(from);
        GradientFill(c_, from, ColorValue(toText), true,
                     SatRect(bounds_.Left, line.Top, bounds_.Right, static_cast<long long>(line.Bottom) + 2),
                     kGradientBands, clNone);
        c_.SetBrushColor(clNone);
    }
}

void Engine::DrawBullet(long long level)
{
    const std::string name = c_.Font().Name;
    ChangeFont([](TFontState& f) { f.Name = "Symbol"; });
    TRect r{pass_.x, pass_.line.Top, pass_.line.Right, pass_.line.Bottom};
    c_.DrawText(level % 2 ? "\xB7" : "o", r, drawFlags_);
    ChangeFont([&](TFontState& f) { f.Name = name; });
}

// Draws at (x, y); `width`/`height` are the tag's WIDTH and HEIGHT.
void Engine::DrawPictureAt(const Picture& p, int x, int y, int width, int height)
{
    switch (p.kind) {
    case Picture::kList:
        if (req_.ScaleImages) {
            const int w = RoundScaled(PictureWidth(p, 0, 0), imageScale_);
            const int h = RoundScaled(PictureHeight(p, 0, 0), imageScale_);
            req_.ImageList->DrawScaled(c_, SatRect(x, y, static_cast<long long>(x) + w, static_cast<long long>(y) + h),
                                       p.index);
        } else {
            req_.ImageList->Draw(c_, x, y, p.index);
        }
        break;
    case Picture::kIcon: {
        int size = 0;
        SystemIcon(c_, x, y, size, imageScale_, req_.ScaleImages, true, p.large, p.iconText);
        break;
    }
    case Picture::kGraphic:
        if (width < 1 || height < 1) {
            const long long left = static_cast<long long>(x) + Sat(p.graphic->FrameOffsetX());
            const long long top = static_cast<long long>(y) + Sat(p.graphic->FrameOffsetY());
            p.graphic->Draw(c_, SatRect(left, top, left + Sat(p.graphic->Width()), top + Sat(p.graphic->Height())));
        } else {
            p.graphic->SetStretch(true);
            p.graphic->Draw(c_, SatRect(x, y, static_cast<long long>(x) + width, static_cast<long long>(y) + height));
        }
        break;
    default: break;
    }
}

void Engine::BodyTag(const std::string& tag, const std::string& up, std::size_t close)
{
    const std::string attrs = close > 5 ? tag.substr(5, close - 5) : std::string();
    const std::string attrsUp = close > 5 ? up.substr(5, close - 5) : std::string();

    // A picture source with its case as written.
    auto source = [&](const char* name) {
        const std::size_t at = attrsUp.find(name);
        return at == std::string::npos ? std::string()
                                       : AttributeValue(attrs.substr(at), attrs.substr(at, std::char_traits<char>::length(name)));
    };
    auto naturalWidth = [&](const Picture& p) {
        switch (p.kind) {
        case Picture::kList: return Clamp(req_.ImageList->Width(), 0, kMaxCoord);
        case Picture::kIcon: return p.iconSize;
        case Picture::kGraphic: return Clamp(p.graphic->Width(), 0, kMaxCoord);
        default: return 0;
        }
    };
    auto drawClipped = [&](const Picture& p, int x, int y) {
        c_.SetClipRect(bounds_);
        DrawPictureAt(p, x, y, 0, 0);
        c_.ClearClip();
    };

    if (Contains(attrsUp, "BACKGROUND")) {
        const Picture p = Resolve(source("BACKGROUND"));
        if (p.kind == Picture::kGraphic) {
            const long long w = Clamp(p.graphic->Width(), 0, kMaxCoord);
            const long long h = Clamp(p.graphic->Height(), 0, kMaxCoord);
            // Only the tiles that reach into the visible part of the bounds are drawn,
            // on the grid that starts at the bounds' corner.
            const TRect clip = c_.ClipBounds();
            const long long left = std::max(bounds_.Left, clip.Left), right = std::min(bounds_.Right, clip.Right);
            const long long top = std::max(bounds_.Top, clip.Top), bottom = std::min(bounds_.Bottom, clip.Bottom);
            if (w > 0 && h > 0 && left < right && top < bottom) {
                const long long x0 = bounds_.Left + (left - bounds_.Left) / w * w;
                const long long y0 = bounds_.Top + (top - bounds_.Top) / h * h;
                c_.SetClipRect(bounds_);
                for (long long y = y0; y < bottom; y += h)
                    for (long long x = x0; x < right; x += w)
                        DrawPictureAt(p, static_cast<int>(x), static_cast<int>(y), 0, 0);
                c_.ClearClip();
            }
        } else if (p.kind != Picture::kNone) {
            DrawPictureAt(p, pass_.x, pass_.line.Top, 0, 0);
        }
    }
    if (Contains(attrsUp, "BGTOPLEFT")) {
        const Picture p = Resolve(source("BGTOPLEFT"));
        if (p.kind != Picture::kNone) drawClipped(p, bounds_.Left, bounds_.Top);
    }
    if (Contains(attrsUp, "BGTOPRIGHT")) {
        const Picture p = Resolve(source("BGTOPRIGHT"));
        if (p.kind != Picture::kNone)
            drawClipped(p, Sat(static_cast<long long>(bounds_.Right) - naturalWidth(p)), bounds_.Top);
    }
    if (Contains(attrsUp, "BGCOLOR")) {
        const std::string fromText = AttributeValue(attrsUp, "BGCOLOR");
        const std::string toText = Contains(attrsUp, "BGCOLORTO") ? AttributeValue(attrsUp, "BGCOLORTO") : std::string();
        if (!fromText.empty()) {
            const TColor from = ColorValue(fromText);
            if (toText.empty()) {
                draw_.fontSavedBrush = c_.BrushColor();
                c_.SetBrushColor(from);
                const TColor pen = c_.PenColor();
                c_.SetPenColor(from);
                Fill(SatRect(static_cast<long long>(bounds_.Left) - 2, bounds_.Top, bounds_.Right, bounds_.Bottom));
                c_.SetPenColor(pen);
            } else {
                const std::string dir = AttributeValue(attrsUp, "DIR");
                GradientFill(c_, from, ColorValue(toText), dir.empty() || dir == "H", bounds_, kGradientBands, clNone);
                c_.SetBrushColor(clNone);
            }
        }
    }
}

}  // namespace markup_engine
}  // namespace dupd
