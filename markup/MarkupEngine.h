// The markup engine behind DrawMarkup, shared by its three rooms: reading the
// text (MarkupReader.cpp), fitting a line (LineFitter.cpp) and drawing or
// hit-testing the fitted line (LineDrawer.cpp). DrawMarkup.cpp runs the lines.
// Internal to markup/.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "markup/DrawMarkup.h"
#include "markup/MarkupReader.h"

namespace dupd {
namespace markup_engine {

// Every coordinate and size is kept within this range, so that absurd numbers in
// a text (or a huge rectangle) can never overflow the sums below.
constexpr long long kMaxCoord = 1LL << 26;
constexpr int kListStep = 12;
constexpr int kMaxListLevel = 100000;
constexpr int kMaxFontSize = 1000;
constexpr int kGradientBands = 64;
constexpr TColor kErrorMarkColor = 0x000000FF;
constexpr TColor kHighlight = 0xFF00000D;
constexpr TColor kHighlightText = 0xFF00000E;

inline int Sat(long long v)
{
    if (v > kMaxCoord) return static_cast<int>(kMaxCoord);
    if (v < -kMaxCoord) return static_cast<int>(-kMaxCoord);
    return static_cast<int>(v);
}

inline int Clamp(long long v, long long lo, long long hi) { return static_cast<int>(std::min(std::max(v, lo), hi)); }

inline TRect SatRect(long long l, long long t, long long r, long long b) { return TRect{Sat(l), Sat(t), Sat(r), Sat(b)}; }

// Integer multiply-divide with rounding, as the platform's MulDiv.
inline int MulDivRound(long long a, long long b, long long c)
{
    if (c == 0) return 0;
    const long long n = a * b;
    const long long q = (n >= 0) == (c > 0) ? (std::llabs(n) + std::llabs(c) / 2) / std::llabs(c)
                                            : -((std::llabs(n) + std::llabs(c) / 2) / std::llabs(c));
    return Sat(q);
}

inline int RoundScaled(int v, double scale) { return Sat(std::llround(static_cast<double>(v) * scale)); }

// What a line starts from. Both passes of a line start from the same value: the
// drawing pass is handed back, whole, the value the measuring pass began with,
// so a tag late in a line can never reach back to the pieces before it when the
// line is drawn. The next line starts from what the last pass left.
struct LineState {
    bool inAnchor = false;
    std::shared_ptr<const std::string> anchorRef = std::make_shared<const std::string>();
    int anchorCounter = 0;
    int listLevel = 0;
    int pictureCounter = 0;
    bool hidden = false;
    bool subscript = false;
    bool superscript = false;
    bool shadow = false;
    int align = 0;   // 0 left, 1 right, 2 centre
    int indent = 0;
    int offset = 0;  // what the line was left by the one before; then what it leaves to the next
};

// The font a kind of pass carries from line to line. The measuring pass never
// sees the drawing pass's colours and underlines, so each kind keeps its own.
struct PassFont {
    TFontState font;
    TFontState beforeRotation;
    bool rotated = false;
};

// What only the drawing pass changes, carried from line to line: the colours to
// go back to, the marks that are on, the focus rectangle being built.
struct DrawState {
    bool paraBackground = false;
    TColor paraSavedBrush = clNone;
    bool errorMark = false;
    TColor fontSavedBrush = clNone;
    TColor highlightSavedFont = clNone, highlightSavedBrush = clNone;
    TColor hoverSavedBrush = clNone, hoverSavedFont = clNone;
    TRect focus;
};

// The anchor found under the point: it is known once its end tag is met, which
// may be in a later pass or line than its start.
struct AnchorCapture {
    bool pending = false;
    int startX = 0, startY = 0;
    long long startLine = -1;
    int hoveredPicture = -1;
};

// Per line, found by the measuring pass and carried into the drawing pass.
struct LineMeasures {
    int height = 0;
    int subAllowance = 0;
    int supAllowance = 0;
    int shift = 0;
    // Whether each indent tag of the line moved the text, as the first pass found;
    // the second pass follows it, since its own line width leaves the text out.
    std::vector<bool> indentMoves;
};

// Per pass, begun afresh by each.
struct PassState {
    TRect line;
    bool measure = true;
    bool first = true;
    bool second = false;
    int carried = 0;  // the offset the line was left by the one before
    int width = 0;
    int x = 0;
    bool placedEndsWithSpace = false;
    int trailingSpace = 0;
    bool listSeen = false;
    bool done = false;
    bool full = false;
    bool textHit = false;
    bool pictureHit = false;
    std::size_t indentNext = 0;
};

// A picture resolved from a source text.
struct Picture {
    enum Kind { kNone, kList, kIcon, kGraphic } kind = kNone;
    int index = 0;          // image list entry
    bool large = false;     // system icon size
    std::string iconText;   // system icon path or number
    IMarkupGraphic* graphic = nullptr;
    int iconSize = 0;
};

class Engine {
public:
    Engine(TCanvas& canvas, const TRect& bounds, const TMarkupRequest& request, TMarkupResult& result);

    bool Run(const std::string& text);

private:
    // --- reading: pieces and tags (MarkupReader.cpp) ----------------------------------
    void TagStep(Cursor& markup, bool firstPass, std::string& source);
    void OpeningTag(const std::string& tag, const std::string& up, bool hasClose, bool firstPass);
    void ClosingTag(const std::string& up);
    void FontTag(const std::string& up, std::size_t close);
    void ParagraphTag(const std::string& up);

    // --- fitting a line (LineFitter.cpp) ------------------------------------------------
    std::string LineRoutine(Cursor& markup, TRect rect, bool measure, bool firstPass);
    void CutPiece(Cursor& markup, bool measure, bool firstPass, std::string& source);
    void EndOfLine();
    void IndentTag(const std::string& up, bool firstPass);
    void OffsetTag(const std::string& up);
    void RotationTag(const std::string& up);
    void RotationEnd();
    void ListItem();
    void PictureTag(const std::string& tag, const std::string& up, bool firstPass);
    Picture Resolve(const std::string& source);
    int PictureWidth(const Picture& p, int width, int height) const;
    int PictureHeight(const Picture& p, int width, int height) const;

    // --- drawing and hit-testing a fitted line (LineDrawer.cpp) ---------------------------
    void LineBackground(const TRect& rect);
    void DrawPiece(const std::string& piece);
    void HitTestPiece(int w);
    void HitTestPicture(int pw, int ph);
    void EndOfLineFocus();
    void AnchorTag(const std::string& tag);
    void AnchorEnd();
    void HighlightTag();
    void HighlightEnd();
    void HorizontalRule();
    void ParagraphBackground(const std::string& up);
    void DrawBullet(long long level);
    void DrawPictureAt(const Picture& p, int x, int y, int width, int height);
    void BodyTag(const std::string& tag, const std::string& up, std::size_t close);

    // --- canvas helpers --------------------------------------------------------------
    int Height(const std::string& text) { return Clamp(c_.TextHeight(text), 0, kMaxCoord); }
    int GhHeight() { return Height("gh"); }
    template <class F>
    void ChangeFont(F change)
    {
        TFontState f = c_.Font();
        change(f);
        c_.SetFont(f);
    }
    void SetStyle(std::uint8_t bit, bool on)
    {
        ChangeFont([&](TFontState& f) {
            f.Style = static_cast<std::uint8_t>(on ? (f.Style | bit) : (f.Style & ~bit));
        });
    }
    void SetFontColor(TColor color)
    {
        ChangeFont([&](TFontState& f) { f.Color = color; });
    }
    void Fill(const TRect& rect)
    {
        // A transparent brush paints nothing.
        if (c_.BrushColor() != clNone) c_.FillRect(rect);
    }
    // The second pass of a line may only raise the line's vertical measures.
    void SetMeasure(int& slot, int value) { slot = pass_.second ? std::max(slot, value) : value; }

    TCanvas& c_;
    const TMarkupRequest& req_;
    TMarkupResult& res_;
    TRect bounds_;
    int shadowOffset_ = 1;
    int lineSpacing_ = 0;
    double imageScale_ = 1.0;
    int ppiX_ = 96;
    int ppiY_ = 96;

    unsigned drawFlags_ = 0;
    unsigned measureFlags_ = 0;
    TFontState baseFont_;
    TColor entryBrush_ = clNone;
    bool result_ = false;
    long long lineIndex_ = 0;

    LineState state_;
    PassFont fonts_[2];  // the measuring pass's, the drawing pass's
    DrawState draw_;
    AnchorCapture capture_;
    LineMeasures measures_;
    PassState pass_;
};

}  // namespace markup_engine
}  // namespace dupd
