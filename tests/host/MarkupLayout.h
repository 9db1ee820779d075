// What the markup engine's host tests share: the test canvas's line height, the
// bounds they lay out in, one layout call and the texts it drew.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestCanvas.h"
#include "markup/DrawMarkup.h"

namespace dupd {

// Test canvas metrics: 6 px a character (7 bold), 13 px a line in the 8 pt font.
inline constexpr int kLine = 13;
inline const TRect kBounds{0, 0, 200, 1000};

struct Outcome {
    bool hit = false;
    TMarkupResult result;
};

inline Outcome Layout(TestCanvas& canvas, const std::string& text, const TMarkupRequest& request, const TRect& bounds = kBounds)
{
    Outcome o;
    o.hit = DrawMarkup(canvas, text, bounds, request, o.result);
    return o;
}

inline std::vector<TCanvasCall> Drawn(const TestCanvas& canvas) { return canvas.Of(TCanvasCall::kText); }

// The one drawn text call showing `text`; fails the test when there is not exactly one.
inline TCanvasCall DrawnText(const TestCanvas& canvas, const std::string& text)
{
    std::vector<TCanvasCall> found;
    for (const auto& c : Drawn(canvas))
        if (c.Text == text) found.push_back(c);
    EXPECT_EQ(found.size(), 1u) << "text '" << text << "' in\n" << canvas.Log();
    return found.empty() ? TCanvasCall{} : found.front();
}

}  // namespace dupd
