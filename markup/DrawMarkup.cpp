#include "markup/DrawMarkup.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>
#include <memory>
#include <utility>
#include <vector>

#include "markup/MarkupHelpers.h"

namespace dupd {

namespace {

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

int Sat(long long v)
{
    if (v > kMaxCoord) return static_cast<int>(kMaxCoord);
    if (v < -kMaxCoord) return static_cast<int>(-kMaxCoord);
    return static_cast<int>(v);
}

int Clamp(long long v, long long lo, long long hi) { return static_cast<int>(std::min(std::max(v, lo), hi)); }

TRect SatRect(long long l, long long t, long long r, long long b) { return TRect{Sat(l), Sat(t), Sat(r), Sat(b)}; }

// Integer multiply-divide with rounding, as the platform's MulDiv.
int MulDivRound(long long a, long long b, long long c)
{
    if (c == 0) return 0;
    const long long n = a * b;
    const long long q = (n >= 0) == (c > 0) ? (std::llabs(n) + std::llabs(c) / 2) / std::llabs(c)
                                            : -((std::llabs(n) + std::llabs(c) / 2) / std::llabs(c));
    return Sat(q);
}

int RoundScaled(int v, double scale) { return Sat(std::llround(static_cast<double>(v) * scale)); }

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string Upper(const std::string& s)
{
    std::string out(s);
    for (char& c : out) c = UpperAscii(c);
    return out;
}

bool Contains(const std::string& text, const char* what) { return text.find(what) != std::string::npos; }

bool StartsNoCase(const std::string& text, const char* prefix)
{
    std::size_t i = 0;
    for (; prefix[i]; ++i)
        if (i >= text.size() || UpperAscii(text[i]) != prefix[i]) return false;
    return true;
}

// The markup being consumed, by position. The next "<" and the next space are
// remembered until the position passes them, so cutting a whole text into pieces
// costs one scan however the pieces fall.
class Cursor {
public:
    explicit Cursor(const std::string& text) : text_(text) {}
    const std::string& Text() const { return text_; }
    std::size_t Pos() const { return pos_; }
    void Advance(std::size_t to) { pos_ = std::min(to, text_.size()); }
    bool AtEnd() const { return pos_ >= text_.size(); }
    std::size_t Remaining() const { return text_.size() - pos_; }
    bool AtTag() const { return !AtEnd() && text_[pos_] == '<'; }
    std::size_t NextLt() { return Next('<', lt_, ltKnown_); }
    std::size_t NextSpace() { return Next(' ', sp_, spKnown_); }

private:
    std::size_t Next(char c, std::size_t& cached, bool& known)
    {
        if (!known || (cached != std::string::npos && cached < pos_)) {
            cached = text_.find(c, pos_);
            known = true;
        }
        return cached;
    }

    const std::string& text_;
    std::size_t pos_ = 0;
    std::size_t lt_ = std::string::npos;
    std::size_t sp_ = std::string::npos;
    bool ltKnown_ = false;
    bool spKnown_ = false;
};

// What the second pass of a line must see exactly as the first pass saw it. The
// text switches are here too: a tag late in a line must not reach back to the
// pieces before it when the line is drawn.
struct LayoutState {
    bool inAnchor = false;
    std::shared_ptr<const std::string> anchorRef = std::make_shared<const std::string>();
    int anchorCounter = 0;
    int listLevel = 0;
    int pictureCounter = 0;
    bool hidden = false;
    bool subscript = false;
    bool superscript = false;
    bool shadow = false;
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
    Engine(TCanvas& canvas, const TRect& bounds, const TMarkupRequest& request, TMarkupResult& result)
        : c_(canvas), req_(request), res_(result)
    {
        bounds_ = SatRect(bounds.Left, bounds.Top, bounds.Right, bounds.Bottom);
        shadowOffset_ = Sat(request.ShadowOffset);
        lineSpacing_ = Sat(request.LineSpacing);
        imageScale_ = std::isfinite(request.ImageScale) ? std::min(std::max(request.ImageScale, 0.0), 1000.0) : 1.0;
        ppiX_ = Clamp(canvas.PixelsPerInchX(), 1, 10000);
        ppiY_ = Clamp(canvas.PixelsPerInchY(), 1, 10000);
    }

    bool Run(const std::string& text);

private:
    // --- the line loop and the line routine ----------------------------------------
    std::string LineRoutine(Cursor& markup, TRect rect, bool measure, bool firstPass);
    void CutPiece(Cursor& markup, bool measure, bool firstPass, std::string& source);
    void TagStep(Cursor& markup, bool firstPass, std::string& source);
    void EndOfLine();

    // --- tags ----------------------------------------------------------------------
    void OpeningTag(const std::string& tag, const std::string& up, bool hasClose, bool firstPass);
    void ClosingTag(const std::string& up);
    void AnchorTag(const std::string& tag);
    void AnchorEnd();
    void FontTag(const std::string& up, std::size_t close);
    void ParagraphTag(const std::string& up);
    void ListItem();
    void PictureTag(const std::string& tag, const std::string& up, bool firstPass);
    void BodyTag(const std::string& tag, const std::string& up, std::size_t close);

    Picture Resolve(const std::string& source);
    int PictureWidth(const Picture& p, int width, int height) const;
    int PictureHeight(const Picture& p, int width, int height) const;
    void DrawPictureAt(const Picture& p, int x, int y, int width, int height);

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
    void SetMeasure(int& slot, int value) { slot = second_ ? std::max(slot, value) : value; }

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

    // Per call.
    LayoutState layout_;
    int carriedOffset_ = 0;
    int lineOffset_ = 0;  // the offset the current line leaves to the next
    int align_ = 0;       // 0 left, 1 right, 2 centre
    int indent_ = 0;
    bool paraBackground_ = false;
    TColor paraSavedBrush_ = clNone;
    bool errorMark_ = false;
    TColor fontSavedBrush_ = clNone;
    TColor highlightSavedFont_ = clNone, highlightSavedBrush_ = clNone;
    TColor hoverSavedBrush_ = clNone, hoverSavedFont_ = clNone;
    TRect focus_;
    bool capturePending_ = false;
    int anchorStartX_ = 0, anchorStartY_ = 0;
    long long anchorStartLine_ = -1;
    int hoveredPicture_ = -1;
    TFontState rotationSaved_[2];  // per pass
    bool rotationActive_[2] = {false, false};
    long long lineIndex_ = 0;

    // Per line, carried from the first pass into the second.
    int lineHeight_ = 0;
    int subAllowance_ = 0;
    int supAllowance_ = 0;
    int shift_ = 0;

    // Per pass.
    TRect line_;
    bool measure_ = true;
    bool first_ = true;
    bool second_ = false;
    int lineWidth_ = 0;
    int curX_ = 0;
    bool placedEndsWithSpace_ = false;
    int trailingSpace_ = 0;
    bool listSeen_ = false;
    bool lineDone_ = false;
    bool lineFull_ = false;
    bool textHit_ = false;
    bool pictureHit_ = false;
    // Whether each indent tag of the line moved the text, as the first pass found;
    // the second pass follows it, since its own line width leaves the text out.
    std::vector<bool> indentMoves_;
    std::size_t indentNext_ = 0;
};

bool Engine::Run(const std::string& text)
{
    baseFont_ = c_.Font();
    TFontState measureFont = baseFont_;
    TFontState drawFont = baseFont_;
    entryBrush_ = c_.BrushColor();
    c_.SetBrushColor(clNone);
    c_.SetBackgroundTransparent();
    highlightSavedFont_ = baseFont_.Color;
    hoverSavedFont_ = baseFont_.Color;

    unsigned flags = dt::kBottom | dt::kSingleLine | dt::kExpandTabs | dt::kExternalLeading;
    if (Contains(text, " & ")) flags |= dt::kNoPrefix;
    if (!req_.WordWrap) flags |= dt::kEndEllipsis;
    drawFlags_ = flags & ~dt::kExternalLeading;
    measureFlags_ = flags | dt::kCalcRect;

    std::string markup = text.find('&') != std::string::npos ? ReplaceNamedEntities(text) : text;
    markup = ApplyLineEndRule(ApplyHashTagRule(markup), true);

    TRect lineRect = bounds_;
    lineRect.Left = Sat(static_cast<long long>(lineRect.Left) + 1);
    Cursor main(markup);
    while (!main.AtEnd()) {
        c_.SetFont(measureFont);
        const int h0 = GhHeight();

        const LayoutState saved = layout_;
        lineHeight_ = h0;
        subAllowance_ = supAllowance_ = shift_ = 0;
        const std::size_t before = main.Pos();
        std::string source = LineRoutine(main, lineRect, true, true);
        if (main.Pos() == before) {
            // Cannot happen by the rules (the first element always finds room); never
            // loop on the same markup even so.
            const std::size_t close = markup.find('>', before);
            main.Advance(close == std::string::npos ? markup.size() : close + 1);
        }
        measureFont = c_.Font();
        if (req_.MeasureOnly) carriedOffset_ = lineOffset_;

        lineHeight_ = Sat(static_cast<long long>(lineHeight_) + lineSpacing_);

        TRect drawRect = lineRect;
        if (align_ == 1) {
            if (static_cast<long long>(drawRect.Right) - lineWidth_ > drawRect.Left)
                drawRect.Left = Sat(static_cast<long long>(drawRect.Right) - lineWidth_);
        } else if (align_ == 2) {
            const long long spare = static_cast<long long>(drawRect.Right) - drawRect.Left - lineWidth_;
            if (spare > 0) drawRect.Left = Sat(drawRect.Left + spare / 2);
        }
        drawRect.Left = Sat(static_cast<long long>(drawRect.Left) + indent_);
        drawRect.Bottom =
            Sat(static_cast<long long>(drawRect.Top) + lineHeight_ + subAllowance_ + supAllowance_);

        if (!req_.MeasureOnly) {
            layout_ = saved;
            c_.SetFont(drawFont);
            Cursor replay(source);
            LineRoutine(replay, drawRect, req_.HitTestOnly, false);
            drawFont = c_.Font();
            if (textHit_) {
                const long long bottom = static_cast<long long>(drawRect.Bottom) - shift_;
                if (bottom - GhHeight() < req_.PointY && req_.PointY < bottom) result_ = true;
            } else if (pictureHit_) {
                result_ = true;
            }
            carriedOffset_ = lineOffset_;
        }

        const long long advance = static_cast<long long>(lineHeight_) + subAllowance_ + supAllowance_;
        lineRect.Top = Sat(lineRect.Top + advance);
        res_.Height = Sat(res_.Height + advance);
        ++lineIndex_;
        if (!req_.MeasureOnly && static_cast<long long>(h0) + lineRect.Top > bounds_.Bottom) break;
    }

    if (res_.Height == 0) res_.Height = GhHeight();
    res_.AnchorCount = layout_.anchorCounter;
    c_.SetBrushColor(entryBrush_);
    c_.SetFont(baseFont_);
    return result_ && !req_.MeasureOnly;
}

std::string Engine::LineRoutine(Cursor& markup, TRect rect, bool measure, bool firstPass)
{
    measure_ = measure;
    first_ = firstPass;
    second_ = !firstPass;
    rect.Bottom = Sat(static_cast<long long>(rect.Bottom) - subAllowance_);
    line_ = rect;
    lineOffset_ = carriedOffset_;
    lineWidth_ = 0;
    curX_ = Sat(static_cast<long long>(rect.Left) + carriedOffset_);
    placedEndsWithSpace_ = false;
    trailingSpace_ = 0;
    listSeen_ = false;
    lineDone_ = false;
    lineFull_ = false;
    textHit_ = false;
    pictureHit_ = false;
    if (firstPass) indentMoves_.clear();
    indentNext_ = 0;

    if (paraBackground_ && !measure && c_.BrushColor() != clNone) {
        c_.SetPenColor(c_.BrushColor());
        Fill(SatRect(bounds_.Left, rect.Top, bounds_.Right, static_cast<long long>(rect.Top) + lineHeight_));
    }

    std::string source;
    while (!markup.AtEnd() && !lineDone_ && !lineFull_) {
        CutPiece(markup, measure, firstPass, source);
        TagStep(markup, firstPass, source);
    }
    EndOfLine();
    return source;
}

void Engine::CutPiece(Cursor& markup, bool measure, bool firstPass, std::string& source)
{
    const std::string& text = markup.Text();
    const std::size_t start = markup.Pos();
    const std::size_t lt = markup.NextLt();
    std::size_t end;
    if (req_.WordWrap) {
        const std::size_t space = markup.NextSpace();
        if (lt == std::string::npos || (space != std::string::npos && space < lt))
            end = space == std::string::npos ? text.size() : space + 1;
        else
            end = lt;
    } else {
        end = lt == std::string::npos ? text.size() : lt;
    }
    if (end <= start) return;

    const std::string raw = text.substr(start, end - start);
    const std::string piece = ReplacePieceEntities(raw);

    const int h = Height(piece);
    if (layout_.subscript) SetMeasure(subAllowance_, std::max(subAllowance_, h / 4));
    if (layout_.superscript) SetMeasure(supAllowance_, std::max(supAllowance_, h / 4));
    lineHeight_ = std::max(lineHeight_, h);

    if (layout_.hidden) {
        if (firstPass) res_.PlainText += piece;
        markup.Advance(end);
        return;
    }

    int w = 0;
    if (measure) {
        TRect r = line_;
        c_.DrawText(piece, r, measureFlags_);
        w = Clamp(static_cast<long long>(r.Right) - r.Left, 0, kMaxCoord);
        lineWidth_ = Sat(static_cast<long long>(lineWidth_) + w);
        if (layout_.inAnchor) {
            const long long x = static_cast<long long>(req_.PointX) - line_.Left;
            if (x >= static_cast<long long>(lineWidth_) - w && x <= lineWidth_) {
                textHit_ = true;
                if (req_.PointY > line_.Top) {
                    res_.AnchorAtPoint = *layout_.anchorRef;
                    capturePending_ = true;
                }
            }
        }
    } else {
        TRect r{curX_, line_.Top, line_.Right, line_.Bottom};
        long long bottom = r.Bottom;
        if (layout_.superscript) bottom -= supAllowance_;
        if (layout_.subscript) bottom += subAllowance_;
        bottom -= shift_;
        r.Bottom = Sat(bottom);
        if (layout_.shadow) {
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
        if (layout_.inAnchor && req_.FocusAnchor >= 0 && layout_.anchorCounter - 1 == req_.FocusAnchor)
            res_.FocusAnchorHref = *layout_.anchorRef;
        if (errorMark_) {
            c_.SetPenColor(kErrorMarkColor);
            c_.SetPenWidth(1);
            int x = (r.Left / 2) * 2;
            int phase = (x % 4 == 0) ? 2 : 0;
            const long long y = line_.Bottom;
            c_.MoveTo(x, Sat(y + phase - 1));
            while (x < right) {
                phase = phase == 2 ? 0 : 2;
                c_.LineTo(x + 2, Sat(y + phase - 1));
                x += 2;
            }
        }
        curX_ = right;
    }

    // Only the first pass decides what makes up the line; the second replays it. A
    // word wider than the whole line is not let in after other words: it begins the
    // next line, where it comes first and so stands on a line of its own.
    const long long available = static_cast<long long>(line_.Right) - line_.Left - carriedOffset_;
    const bool accepted = !firstPass || available > lineWidth_ || !placedEndsWithSpace_;
    if (accepted || !req_.WordWrap) {
        source.append(raw);
        markup.Advance(end);
        if (firstPass) res_.PlainText += piece;
        placedEndsWithSpace_ = piece.back() == ' ';
        trailingSpace_ = (raw.back() == ' ' && piece.size() == raw.size()) ? Clamp(c_.TextWidth(" "), 0, kMaxCoord) : 0;
    } else {
        lineDone_ = true;
        lineWidth_ = Sat(static_cast<long long>(lineWidth_) - w);
    }
}

void Engine::TagStep(Cursor& markup, bool firstPass, std::string& source)
{
    if (!markup.AtTag()) return;
    const std::string& text = markup.Text();
    const std::size_t start = markup.Pos();
    if (markup.Remaining() <= 2) {
        markup.Advance(text.size());
        return;
    }
    if (lineDone_) return;

    const std::size_t close = text.find('>', start);
    const std::size_t length = close == std::string::npos ? text.size() - start : close - start + 1;
    const std::string tag = text.substr(start, length);
    const std::string up = Upper(tag);
    if (up[1] == '/') {
        if (markup.Remaining() > 3) ClosingTag(up);
    } else {
        OpeningTag(tag, up, close != std::string::npos, firstPass);
    }
    if (lineFull_) return;
    if (close == std::string::npos) {
        markup.Advance(text.size());
    } else {
        source.append(tag);
        markup.Advance(close + 1);
    }
}

void Engine::EndOfLine()
{
    lineWidth_ = Sat(static_cast<long long>(lineWidth_) - trailingSpace_);
    if (lineWidth_ > res_.Width) res_.Width = Sat(static_cast<long long>(lineWidth_) + 2);
    if (!measure_ && layout_.inAnchor && req_.FocusAnchor >= 0 && layout_.anchorCounter - 1 == req_.FocusAnchor) {
        focus_.Right = Sat(static_cast<long long>(curX_) + 1);
        focus_.Bottom = line_.Bottom;
        focus_.Left = Sat(static_cast<long long>(focus_.Left) - 1);
        c_.DrawFocusRect(focus_);
        focus_.Left = Sat(static_cast<long long>(line_.Left) + 1);
        focus_.Top = focus_.Bottom;
    }
}

void Engine::OpeningTag(const std::string& tag, const std::string& up, bool hasClose, bool firstPass)
{
    const bool drawing = !measure_;
    const char letter = up[1];
    const char second = up.size() > 2 ? up[2] : '\0';
    switch (letter) {
    case 'A': AnchorTag(tag); break;
    case 'B':
        if (second == '>') {
            SetStyle(fsBold, true);
        } else if (second == 'R') {
            lineDone_ = true;
            if (firstPass) res_.PlainText += '\r';
        } else if (second == 'O') {
            if (drawing && !req_.KeepColours) BodyTag(tag, up, hasClose ? tag.size() - 1 : tag.size());
        } else if (second == 'L') {
            if (!req_.BlinkVisible) SetFontColor(entryBrush_);
        }
        break;
    case 'E':
        if (drawing) errorMark_ = true;
        break;
    case 'F':
        if (hasClose) FontTag(up, tag.size() - 1);
        break;
    case 'H':
        if (second == 'I') {
            if (drawing) {
                highlightSavedFont_ = c_.Font().Color;
                highlightSavedBrush_ = c_.BrushColor();
                c_.SetBrushColor(kHighlight);
                SetFontColor(kHighlightText);
            }
        } else if (second == 'R') {
            lineDone_ = true;
            if (drawing) {
                const TColor pen = c_.PenColor();
                c_.SetPenColor(clBlack);
                c_.SetPenWidth(1);
                const int y = Sat(static_cast<long long>(line_.Bottom) + 1);
                c_.MoveTo(line_.Left, y);
                c_.LineTo(line_.Right, y);
                c_.SetPenColor(pen);
            }
        }
        break;
    case 'I':
        if (second == '>') {
            SetStyle(fsItalic, true);
        } else if (second == 'N') {
            bool valid = false;
            const int value = ReadNumber(AttributeValue(up, "X"), &valid);
            bool move = false;
            if (firstPass) {
                move = valid && value > lineWidth_;
                indentMoves_.push_back(move);
            } else if (indentNext_ < indentMoves_.size()) {
                move = indentMoves_[indentNext_++];
            }
            if (move) {
                lineWidth_ = Sat(value);
                curX_ = Sat(static_cast<long long>(bounds_.Left) + lineWidth_);
            }
        } else if (second == 'M') {
            PictureTag(tag, up, firstPass);
        }
        break;
    case 'L': ListItem(); break;
    case 'O':
        if (second == 'F') {
            bool valid = false;
            const int value = ReadNumber(AttributeValue(up, "X"), &valid);
            if (valid) {
                lineOffset_ = Sat(value);
                lineWidth_ = lineOffset_;
                curX_ = lineOffset_;
            }
        }
        break;
    case 'P':
        if (hasClose) ParagraphTag(up);
        break;
    case 'R': {
        const int angle = ReadNumber(AttributeValue(up, "A"));
        const int pass = first_ ? 0 : 1;
        const TFontState previous = SelectRotatedFont(c_, angle);
        if (!rotationActive_[pass]) rotationSaved_[pass] = previous;
        rotationActive_[pass] = true;
        break;
    }
    case 'S':
        if (second == '>')
            SetStyle(fsStrikeOut, true);
        else if (second == 'H')
            layout_.shadow = true;
        else if (up == "<SUB>")
            layout_.subscript = true;
        else if (up == "<SUP>")
            layout_.superscript = true;
        break;
    case 'U':
        if (second == '>') {
            SetStyle(fsUnderline, true);
        } else {
            layout_.listLevel = std::min(layout_.listLevel + 1, kMaxListLevel);
            lineDone_ = true;
        }
        break;
    case 'Z': layout_.hidden = true; break;
    default: break;
    }
}

void Engine::ClosingTag(const std::string& up)
{
    const bool drawing = !measure_;
    const char letter = up.size() > 2 ? up[2] : '\0';
    const char second = up.size() > 3 ? up[3] : '\0';
    switch (letter) {
    case 'A': AnchorEnd(); break;
    case 'B':
        if (second == '>')
            SetStyle(fsBold, false);
        else
            SetFontColor(baseFont_.Color);
        break;
    case 'E':
        if (drawing) errorMark_ = false;
        break;
    case 'F':
        ChangeFont([&](TFontState& f) {
            f.Name = baseFont_.Name;
            f.Size = baseFont_.Size;
        });
        if (drawing && !req_.KeepColours) {
            SetFontColor(baseFont_.Color);
            c_.SetBrushColor(fontSavedBrush_);
        }
        break;
    case 'H':
        if (drawing) {
            SetFontColor(highlightSavedFont_);
            c_.SetBrushColor(highlightSavedBrush_);
        }
        break;
    case 'I': SetStyle(fsItalic, false); break;
    case 'L': lineDone_ = true; break;
    case 'O': lineOffset_ = 0; break;
    case 'P':
        lineDone_ = true;
        if (drawing) {
            c_.SetBrushColor(paraSavedBrush_);
            paraBackground_ = false;
        }
        break;
    case 'R': {
        const int pass = first_ ? 0 : 1;
        if (rotationActive_[pass]) {
            c_.SetFont(rotationSaved_[pass]);
            rotationActive_[pass] = false;
        }
        break;
    }
    case 'S':
        if (second == 'U') {
            layout_.subscript = layout_.superscript = false;
        } else if (second == 'H') {
            layout_.shadow = false;
        } else {
            SetStyle(fsStrikeOut, false);
        }
        break;
    case 'U':
        if (up == "</U>") {
            SetStyle(fsUnderline, false);
        } else if (layout_.listLevel > 0) {
            --layout_.listLevel;
        } else {
            SetStyle(fsUnderline, false);
        }
        break;
    case 'Z': layout_.hidden = false; break;
    default: break;
    }
}

void Engine::AnchorTag(const std::string& tag)
{
    const bool drawing = !measure_;
    if (drawing && layout_.anchorCounter == req_.FocusAnchor) {
        focus_.Left = curX_;
        focus_.Top = line_.Top;
    }
    if (layout_.anchorCounter < INT_MAX) ++layout_.anchorCounter;
    const bool hovered = req_.HoverAnchor == layout_.anchorCounter;
    if ((!req_.HoverStyle || hovered) && drawing) {
        SetStyle(fsUnderline, true);
        if (req_.HoverBrushColor != clNone) {
            hoverSavedBrush_ = c_.BrushColor();
            c_.SetBrushColor(req_.HoverBrushColor);
        }
        if (req_.HoverFontColor != clNone) {
            hoverSavedFont_ = c_.Font().Color;
            SetFontColor(req_.HoverFontColor);
        }
    }
    if (!req_.KeepColours && (req_.HoverFontColor == clNone || !hovered || !req_.HoverStyle))
        SetFontColor(req_.LinkColor);
    // The reference is the first double-quoted value of the tag, whatever the name.
    layout_.anchorRef = std::make_shared<const std::string>(AttributeValue(tag, tag.substr(0, 2)));
    layout_.inAnchor = true;
    anchorStartX_ = Sat(static_cast<long long>(line_.Left) + lineWidth_);
    anchorStartY_ = line_.Top;
    anchorStartLine_ = lineIndex_;
}

void Engine::AnchorEnd()
{
    const bool drawing = !measure_;
    const bool hovered = req_.HoverAnchor == layout_.anchorCounter;
    if ((!req_.HoverStyle || hovered) && drawing) {
        SetStyle(fsUnderline, false);
        if (req_.HoverBrushColor != clNone) c_.SetBrushColor(hoverSavedBrush_);
        if (req_.HoverFontColor != clNone) SetFontColor(hoverSavedFont_);
    }
    if (!req_.KeepColours) SetFontColor(baseFont_.Color);
    layout_.inAnchor = false;
    if (capturePending_) {
        if (anchorStartLine_ != lineIndex_) {
            anchorStartX_ = line_.Left;
            anchorStartY_ = line_.Top;
        }
        res_.AnchorRect = TRect{anchorStartX_, anchorStartY_, Sat(static_cast<long long>(line_.Left) + lineWidth_),
                                line_.Bottom};
        res_.AnchorNumberAtPoint = layout_.anchorCounter;
        capturePending_ = false;
    }
    // The focus rectangle only exists while drawing.
    if (drawing && req_.FocusAnchor >= 0 && layout_.anchorCounter - 1 == req_.FocusAnchor) {
        focus_.Right = Sat(static_cast<long long>(curX_) + 1);
        focus_.Bottom = Sat(static_cast<long long>(line_.Bottom) - shift_);
        focus_.Top = Sat(static_cast<long long>(focus_.Bottom) - GhHeight());
        focus_.Left = Sat(static_cast<long long>(focus_.Left) - 1);
        c_.DrawFocusRect(focus_);
    }
}

void Engine::FontTag(const std::string& up, std::size_t close)
{
    const std::string attrs = close > 5 ? up.substr(5, close - 5) : std::string();
    if (FindNoCase(attrs, "FACE")) {
        const std::string face = AttributeValue(attrs, "FACE");
        if (!face.empty()) ChangeFont([&](TFontState& f) { f.Name = face; });
    }
    if (FindNoCase(attrs, " COLOR") && !req_.KeepColours) {
        const TColor color = ColorValue(AttributeValue(attrs, " COLOR"));
        if (color != clNone) SetFontColor(color);
    }
    if (FindNoCase(attrs, "BGCOLOR") && !measure_ && !req_.KeepColours) {
        const TColor color = ColorValue(AttributeValue(attrs, "BGCOLOR"));
        if (color != clNone) {
            fontSavedBrush_ = c_.BrushColor();
            c_.SetBrushColor(color);
        }
    }
    if (FindNoCase(attrs, "SIZE")) {
        int size = SizeAttribute(attrs);
        switch (size) {
        case 1: size = 8; break;
        case 2: size = 10; break;
        case 3: size = 12; break;
        case 4: size = 14; break;
        case 5: size = 16; break;
        default: break;
        }
        size = Clamp(size, -kMaxFontSize, kMaxFontSize);
        ChangeFont([&](TFontState& f) { f.Size = size; });
    }
}

void Engine::ParagraphTag(const std::string& up)
{
    if (FindNoCase(up, "ALIGN")) {
        const std::string value = AttributeValue(up, "ALIGN");
        if (Contains(value, "RIGHT")) align_ = 1;
        if (Contains(value, "LEFT")) align_ = 0;
        if (Contains(value, "CENTER")) align_ = 2;
    }
    if (FindNoCase(up, "INDENT")) indent_ = Sat(ReadNumber(AttributeValue(up, "INDENT")));
    if (!FindNoCase(up, "BGCOLOR") || measure_) return;
    const std::string fromText = AttributeValue(up, "BGCOLOR");
    if (fromText.empty()) return;
    const TColor from = ColorValue(fromText);
    const std::string toText = FindNoCase(up, "BGCOLORTO") ? AttributeValue(up, "BGCOLORTO") : std::string();
    paraBackground_ = true;
    if (toText.empty()) {
        paraSavedBrush_ = c_.BrushColor();
        c_.SetBrushColor(from);
        c_.SetPenColor(from);
        Fill(TRect{bounds_.Left, line_.Top, bounds_.Right, line_.Bottom});
    } else {
        c_.SetPenColor(from);
        GradientFill(c_, from, ColorValue(toText), true,
                     SatRect(bounds_.Left, line_.Top, bounds_.Right, static_cast<long long>(line_.Bottom) + 2),
                     kGradientBands, clNone);
        c_.SetBrushColor(clNone);
    }
}

void Engine::ListItem()
{
    // A second item begins the next line and takes no room on this one.
    if (listSeen_) {
        lineFull_ = true;
        return;
    }
    listSeen_ = true;
    const long long level = layout_.listLevel;
    lineWidth_ = Sat(lineWidth_ + level * kListStep);
    curX_ = Sat(curX_ + (level - 1) * kListStep);
    if (!measure_ && !layout_.hidden) {
        const std::string name = c_.Font().Name;
        ChangeFont([](TFontState& f) { f.Name = "Symbol"; });
        TRect r{curX_, line_.Top, line_.Right, line_.Bottom};
        c_.DrawText(level % 2 ? "\xB7" : "o", r, drawFlags_);
        ChangeFont([&](TFontState& f) { f.Name = name; });
    }
    curX_ = Sat(static_cast<long long>(curX_) + kListStep);
}

Picture Engine::Resolve(const std::string& source)
{
    Picture p;
    if (source.empty()) return p;
    if (StartsNoCase(source, "IDX:")) {
        const int n = ReadNumber(source.substr(4));
        if (req_.ImageList && n >= 0 && n < req_.ImageList->Count()) {
            p.kind = Picture::kList;
            p.index = n;
        }
    }
    if (StartsNoCase(source, "SSYS:") || StartsNoCase(source, "LSYS:")) {
        p.kind = Picture::kIcon;
        p.large = UpperAscii(source[0]) == 'L';
        p.iconText = source.substr(5);
        int size = 0;
        SystemIcon(c_, 0, 0, size, imageScale_, req_.ScaleImages, false, p.large, p.iconText);
        p.iconSize = Clamp(size, 0, kMaxCoord);
    }
    IMarkupGraphic* graphic = nullptr;
    if (source.find(':') == std::string::npos && req_.PictureContainer)
        graphic = req_.PictureContainer->FindPicture(source);
    if (source.find("://") != std::string::npos && req_.PictureCache) {
        graphic = req_.PictureCache->Find(source);
        if (!graphic) graphic = req_.PictureCache->AddAndLoad(source);
    }
    if (graphic && !graphic->Empty()) {
        p.kind = Picture::kGraphic;
        p.graphic = graphic;
    }
    return p;
}

// The room a picture takes, in device pixels.
int Engine::PictureWidth(const Picture& p, int width, int height) const
{
    switch (p.kind) {
    case Picture::kList: return MulDivRound(Clamp(req_.ImageList->Width(), 0, kMaxCoord), ppiX_, 96);
    case Picture::kIcon: return MulDivRound(p.iconSize, ppiX_, 96);
    case Picture::kGraphic:
        return MulDivRound(width < 1 || height < 1 ? Clamp(p.graphic->LayoutWidth(), 0, kMaxCoord) : width, ppiX_, 96);
    default: return 0;
    }
}

int Engine::PictureHeight(const Picture& p, int width, int height) const
{
    switch (p.kind) {
    case Picture::kList: return MulDivRound(Clamp(req_.ImageList->Height(), 0, kMaxCoord), ppiY_, 96);
    case Picture::kIcon: return MulDivRound(p.iconSize, ppiY_, 96);
    case Picture::kGraphic:
        return MulDivRound(width < 1 || height < 1 ? Clamp(p.graphic->LayoutHeight(), 0, kMaxCoord) : height, ppiY_,
                           96);
    default: return 0;
    }
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

void Engine::PictureTag(const std::string& tag, const std::string& up, bool firstPass)
{
    if (layout_.pictureCounter < INT_MAX) ++layout_.pictureCounter;
    const std::size_t end = tag.back() == '>' ? tag.size() - 1 : tag.size();
    const std::string inner = end > 2 ? tag.substr(2, end - 2) : std::string();
    const std::string innerUp = end > 2 ? up.substr(2, end - 2) : std::string();

    std::string source;
    const std::size_t src = innerUp.find("SRC");
    if (src != std::string::npos) source = AttributeValue(inner.substr(src), inner.substr(src, 3));
    if (Contains(innerUp, "ALT") && layout_.pictureCounter == hoveredPicture_)
        source = AttributeValue(innerUp, "ALT");
    const int width = Clamp(ReadNumber(AttributeValue(innerUp, "WIDTH")), -kMaxCoord, kMaxCoord);
    const int height = Clamp(ReadNumber(AttributeValue(innerUp, "HEIGHT")), -kMaxCoord, kMaxCoord);

    const Picture picture = Resolve(source);
    if (picture.kind == Picture::kNone) return;  // no picture: no room, nothing drawn, no hit
    const int pw = PictureWidth(picture, width, height);
    const int ph = PictureHeight(picture, width, height);

    if (firstPass) {
        const long long room = static_cast<long long>(line_.Right) - line_.Left;
        if (static_cast<long long>(lineWidth_) + pw > room && pw < room) {
            lineFull_ = true;
            --layout_.pictureCounter;  // counted again where it is placed
            return;
        }
    }
    if (layout_.inAnchor) {
        const long long x = static_cast<long long>(req_.PointX) - line_.Left;
        if (x > lineWidth_ && x < static_cast<long long>(lineWidth_) + pw && req_.PointY > line_.Top &&
            req_.PointY < static_cast<long long>(line_.Top) + ph) {
            pictureHit_ = true;
            res_.AnchorAtPoint = *layout_.anchorRef;
            hoveredPicture_ = layout_.pictureCounter;
        }
    }
    if (!measure_) DrawPictureAt(picture, curX_, line_.Top, width, height);

    const bool wrap = Contains(innerUp, "WRAP");
    lineWidth_ = Sat(static_cast<long long>(lineWidth_) + pw);
    curX_ = Sat(static_cast<long long>(curX_) + pw);
    trailingSpace_ = 0;  // the space before the picture is inside the line
    if (!(second_ && wrap)) lineHeight_ = std::max(lineHeight_, ph);
    if (Contains(innerUp, "ALIGN")) {
        if (Contains(innerUp, "\"TOP"))
            SetMeasure(shift_, lineHeight_ - GhHeight());
        else if (Contains(innerUp, "\"MIDDLE"))
            SetMeasure(shift_, (lineHeight_ - GhHeight()) / 2);
    }
    if (wrap && firstPass) {
        lineHeight_ = GhHeight();
        shift_ = 0;
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
            DrawPictureAt(p, curX_, line_.Top, 0, 0);
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
                fontSavedBrush_ = c_.BrushColor();
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

}  // namespace

bool DrawMarkup(TCanvas& canvas, const std::string& text, const TRect& bounds, const TMarkupRequest& request,
                TMarkupResult& result)
{
    result.Width = 0;
    result.Height = 0;
    result.AnchorCount = 0;
    result.AnchorNumberAtPoint = -1;
    result.PlainText.clear();
    result.FocusAnchorHref.clear();
    Engine engine(canvas, bounds, request, result);
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
