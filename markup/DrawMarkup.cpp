#include "markup/DrawMarkup.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "markup/MarkupEngine.h"

namespace dupd {

namespace markup_engine {

Engine::Engine(TCanvas& canvas, const TRect& bounds, const TMarkupRequest& request, TMarkupResult& result)
    : c_(canvas), req_(request), res_(result)
{
    bounds_ = SatRect(bounds.Left, bounds.Top, bounds.Right, bounds.Bottom);
    shadowOffset_ = Sat(request.ShadowOffset);
    lineSpacing_ = Sat(request.LineSpacing);
    imageScale_ = std::isfinite(request.ImageScale) ? std::min(std::max(request.ImageScale, 0.0), 1000.0) : 1.0;
    ppiX_ = Clamp(canvas.PixelsPerInchX(), 1, 10000);
    ppiY_ = Clamp(canvas.PixelsPerInchY(), 1, 10000);
}

bool Engine::Run(const std::string& text)
{
    baseFont_ = c_.Font();
    fonts_[0].font = baseFont_;
    fonts_[1].font = baseFont_;
    entryBrush_ = c_.BrushColor();
    c_.SetBrushColor(clNone);
    c_.SetBackgroundTransparent();
    draw_.highlightSavedFont = baseFont_.Color;
    draw_.hoverSavedFont = baseFont_.Color;

    unsigned flags = dt::kBottom | dt::kSingleLine | dt::kExpandTabs | dt::kExternalLeading;
    if (Contains(text, " & ")) flags |= dt::kNoPrefix;
    if (!req_.WordWrap) flags |= dt::kEndEllipsis;
    drawFlags_ = flags & ~dt::kExternalLeading;
    measureFlags_ = flags | dt::kCalcRect;

    const std::string markup = PrepareMarkup(text);

    TRect lineRect = bounds_;
    lineRect.Left = Sat(static_cast<long long>(lineRect.Left) + 1);
    Cursor main(markup);
    while (!main.AtEnd()) {
        c_.SetFont(fonts_[0].font);
        const int h0 = GhHeight();

        const LineState saved = state_;
        measures_.height = h0;
        measures_.subAllowance = measures_.supAllowance = measures_.shift = 0;
        const std::size_t before = main.Pos();
        std::string source = LineRoutine(main, lineRect, true, true);
        if (main.Pos() == before) {
            // Cannot happen by the rules (the first element always finds room); never
            // loop on the same markup even so.
            const std::size_t close = markup.find('>', before);
            main.Advance(close == std::string::npos ? markup.size() : close + 1);
        }
        fonts_[0].font = c_.Font();

        measures_.height = Sat(static_cast<long long>(measures_.height) + lineSpacing_);

        TRect drawRect = lineRect;
        if (state_.align == 1) {
            if (static_cast<long long>(drawRect.Right) - pass_.width > drawRect.Left)
                drawRect.Left = Sat(static_cast<long long>(drawRect.Right) - pass_.width);
        } else if (state_.align == 2) {
            const long long spare = static_cast<long long>(drawRect.Right) - drawRect.Left - pass_.width;
            if (spare > 0) drawRect.Left = Sat(drawRect.Left + spare / 2);
        }
        drawRect.Left = Sat(static_cast<long long>(drawRect.Left) + state_.indent);
        drawRect.Bottom = Sat(static_cast<long long>(drawRect.Top) + measures_.height + measures_.subAllowance +
                              measures_.supAllowance);

        if (!req_.MeasureOnly) {
            state_ = saved;
            c_.SetFont(fonts_[1].font);
            Cursor replay(source);
            LineRoutine(replay, drawRect, req_.HitTestOnly, false);
            fonts_[1].font = c_.Font();
            if (pass_.textHit) {
                const long long bottom = static_cast<long long>(drawRect.Bottom) - measures_.shift;
                if (bottom - GhHeight() < req_.PointY && req_.PointY < bottom) result_ = true;
            } else if (pass_.pictureHit) {
                result_ = true;
            }
        }

        const long long advance =
            static_cast<long long>(measures_.height) + measures_.subAllowance + measures_.supAllowance;
        lineRect.Top = Sat(lineRect.Top + advance);
        res_.Height = Sat(res_.Height + advance);
        ++lineIndex_;
        if (!req_.MeasureOnly && static_cast<long long>(h0) + lineRect.Top > bounds_.Bottom) break;
    }

    if (res_.Height == 0) res_.Height = GhHeight();
    res_.AnchorCount = state_.anchorCounter;
    c_.SetBrushColor(entryBrush_);
    c_.SetFont(baseFont_);
    return result_ && !req_.MeasureOnly;
}

}  // namespace markup_engine

bool DrawMarkup(TCanvas& canvas, const std::string& text, const TRect& bounds, const TMarkupRequest& request,
                TMarkupResult& result)
{
    result.Width = 0;
    result.Height = 0;
    result.AnchorCount = 0;
    result.AnchorNumberAtPoint = -1;
    result.PlainText.clear();
    result.FocusAnchorHref.clear();
    markup_engine::Engine engine(canvas, bounds, request, result);
    return engine.Run(text);
}

TMarkupRequest MarkupPaintProfile()
{
    TMarkupRequest r;
    r.PointX = 0;
    r.PointY = 0;
    r.HitTestOnly = false;
    r.MeasureOnly = false;
    r.KeepColours = false;
    r.BlinkVisible = false;
    return r;
}

TMarkupRequest MarkupHitTestProfile(int pointX, int pointY, bool measureOnly)
{
    TMarkupRequest r;
    r.PointX = pointX;
    r.PointY = pointY;
    r.HitTestOnly = true;
    r.MeasureOnly = measureOnly;
    r.KeepColours = true;
    r.BlinkVisible = true;
    return r;
}

}  // namespace dupd
