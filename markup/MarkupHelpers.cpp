#include "markup/MarkupHelpers.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "winenv/Ascii.h"

namespace dupd {

namespace {

// Only the ASCII letters change case: every name and attribute the markup knows
// is ASCII, and high characters must never turn into one of them.
bool SameNoCase(char a, char b) { return UpperAscii(a) == UpperAscii(b); }

// 0-based position of `pattern` in `text` from `from`, ignoring case; npos when absent.
std::size_t FindNoCaseFrom(const std::string& text, const std::string& pattern, std::size_t from)
{
    if (pattern.empty() || from > text.size() || text.size() - from < pattern.size()) return std::string::npos;
    const auto it = std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), pattern.begin(),
                                pattern.end(), SameNoCase);
    return it == text.end() ? std::string::npos : static_cast<std::size_t>(it - text.begin());
}

struct NamedEntity {
    const char* name;  // upper case, for the comparison
    std::size_t length;
    const char* replacement;
};

// In the order each sweep applies them.
constexpr NamedEntity kNamedEntities[] = {
    {"&AMP;", 5, "&&"},     {"&QUOT;", 6, "\""},    {"&SECT;", 6, "\xA7"},
    {"&PERMIL;", 8, "\x89"}, {"&REG;", 5, "\xAE"},   {"&COPY;", 6, "\xA9"},
    {"&PARA;", 6, "\xB6"},  {"&TRADE;", 7, "\x99"}, {"&EURO;", 6, "\x80"},
};

// Which named entity starts at `text[pos]`, with `text[pos]` taken to be "&"
// whatever it is (the second ampersand of a replaced "&amp;" stands there).
const NamedEntity* NamedEntityAt(const std::string& text, std::size_t pos)
{
    for (const NamedEntity& e : kNamedEntities) {
        if (text.size() - pos < e.length) continue;
        bool match = true;
        for (std::size_t k = 1; k < e.length && match; ++k) match = UpperAscii(text[pos + k]) == e.name[k];
        if (match) return &e;
    }
    return nullptr;
}

struct ColorName {
    const char* name;
    TColor value;
};

constexpr ColorName kColorNames[] = {
    {"clred", 0x000000FF},
    {"clblack", 0x00000000},
    {"clblue", 0x00FF0000},
    {"clgreen", 0x00008000},
    {"claqua", 0x00FFFF00},
    {"clyellow", 0x0000FFFF},
    {"clfuchsia", 0x00FF00FF},
    {"clwhite", 0x00FFFFFF},
    {"cllime", 0x0000FF00},
    {"clsilver", 0x00C0C0C0},
    {"clgray", 0x00808080},
    {"clolive", 0x00008080},
    {"clnavy", 0x00800000},
    {"clpurple", 0x00800080},
    {"clteal", 0x00808000},
    {"clmaroon", 0x00000080},
    {"clbackground", 0xFF000001},
    {"clactivecaption", 0xFF000002},
    {"clinactivecaption", 0xFF000003},
    {"clmenu", 0xFF000004},
    {"clwindow", 0xFF000005},
    {"clwindowframe", 0xFF000006},
    {"clmenutext", 0xFF000007},
    {"clwindowtext", 0xFF000008},
    {"clcaptiontext", 0xFF000009},
    {"clactiveborder", 0xFF00000A},
    {"clinactiveborder", 0xFF00000B},
    {"clappworkspace", 0xFF00000C},
    {"clhighlight", 0xFF00000D},
    {"clhighlighttext", 0xFF00000E},
    {"clbtnface", 0xFF00000F},
    {"clbtnshadow", 0xFF000010},
    {"clgraytext", 0xFF000011},
    {"clbtntext", 0xFF000012},
    {"clinactivecaptiontext", 0xFF000013},
    {"clbtnhighlight", 0xFF000014},
    {"cl3ddkshadow", 0xFF000015},
    {"cl3dlight", 0xFF000016},
    {"clinfotext", 0xFF000017},
    {"clinfobk", 0xFF000018},
};

int ClampToInt(long long value)
{
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

int RoundToInt(double value)
{
    if (!(value == value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(std::lround(value));
}

}  // namespace

// A sweep may expose a new entity only right behind an "&amp;" it replaced (the
// second "&" of "&&" followed by the letters after it); everything else it leaves
// stands. So the sweeps end where a single left-to-right pass ends that treats the
// second "&" of every replaced "&amp;" as the start of a possible entity: one
// pass instead of one sweep per occurrence.
std::string ReplaceNamedEntities(const std::string& text)
{
    const std::size_t first = text.find('&');
    if (first == std::string::npos) return text;
    std::string out(text, 0, first);
    out.reserve(text.size());
    std::size_t i = first;
    bool pendingAmp = false;  // a "&" from a replaced "&amp;" stands at text[i]
    while (i < text.size() || pendingAmp) {
        const bool amp = pendingAmp || text[i] == '&';
        const NamedEntity* e = amp && i < text.size() ? NamedEntityAt(text, i) : nullptr;
        if (e && e->replacement[0] == '&') {
            out += '&';
            i += e->length - 1;  // onto the ";", which the second "&" replaces
            pendingAmp = true;
            continue;
        }
        if (e) {
            out += e->replacement;
            i += e->length;
        } else if (pendingAmp) {
            out += '&';
            ++i;  // past the ";" the "&" stood in for
        } else {
            const std::size_t next = text.find('&', i + 1);
            const std::size_t stop = next == std::string::npos ? text.size() : next;
            out.append(text, i, stop - i);
            i = stop;
        }
        pendingAmp = false;
    }
    return out;
}

// The three replacements can never build a new occurrence of one another, so a
// single pass leaves none of them.
std::string ReplacePieceEntities(const std::string& piece)
{
    if (piece.find('&') == std::string::npos) return piece;
    std::string out;
    out.reserve(piece.size());
    for (std::size_t i = 0; i < piece.size();) {
        if (piece.compare(i, 6, "&nbsp;") == 0) {
            out += ' ';
            i += 6;
        } else if (piece.compare(i, 4, "&lt;") == 0) {
            out += '<';
            i += 4;
        } else if (piece.compare(i, 4, "&gt;") == 0) {
            out += '>';
            i += 4;
        } else {
            out += piece[i++];
        }
    }
    return out;
}

std::string ApplyHashTagRule(const std::string& text)
{
    const std::size_t start = text.find("<#");
    if (start == std::string::npos) return text;
    std::string out;
    out.reserve(text.size());
    out.append(text, 0, start);
    const std::size_t close = text.find('>', start + 1);
    if (close == std::string::npos) {
        out.append(text, start + 1, std::string::npos);
    } else {
        out.append(text, start + 1, close - start - 1);
        out.append(text, close + 1, std::string::npos);
    }
    return out;
}

std::string ApplyLineEndRule(const std::string& text, bool crToBreak)
{
    if (text.find_first_of("\r\n") == std::string::npos) return text;
    std::string out;
    out.reserve(text.size() + 16);
    for (char c : text) {
        if (c == '\n') continue;
        if (c == '\r') {
            if (crToBreak) out += "<BR>";
            continue;
        }
        out += c;
    }
    return out;
}

int FindNoCase(const std::string& text, const std::string& pattern)
{
    const std::size_t pos = FindNoCaseFrom(text, pattern, 0);
    return pos == std::string::npos ? 0 : ClampToInt(static_cast<long long>(pos) + 1);
}

int FindAndReport(const std::string& pattern, const std::string& text, int& position)
{
    const std::size_t pos = pattern.empty() ? std::string::npos : text.find(pattern);
    position = pos == std::string::npos ? 0 : ClampToInt(static_cast<long long>(pos) + 1);
    return position;
}

bool ReplaceFirstNoCase(const std::string& pattern, const std::string& replacement, std::string& text)
{
    const std::size_t pos = FindNoCaseFrom(text, pattern, 0);
    if (pos == std::string::npos) return false;
    text.replace(pos, pattern.size(), replacement);
    return true;
}

// Digits beyond what an int holds saturate (and make the number not valid), so
// that a tag with a thousand digits reads as a huge value, not as garbage.
int ReadNumber(const std::string& text, bool* valid)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ') ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t digitsStart = i;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long magnitude = 0;
    bool overflow = false;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (overflow) continue;
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > limit) {
            magnitude = limit;
            overflow = true;
        }
    }
    if (valid) *valid = i > digitsStart && i == n && !overflow;
    return ClampToInt(negative ? -magnitude : magnitude);
}

int HexPair(const std::string& pair)
{
    if (pair.size() < 2) return 0;
    auto digit = [](char ch) {
        const int c = static_cast<unsigned char>(ch);
        return c < 'A' ? c - 48 : c - 55;
    };
    // Letters other than A-F read as out-of-range digits; the result wraps to a byte.
    return (16 * digit(pair[0]) + digit(pair[1])) & 0xFF;
}

TColor HexColor(const std::string& text)
{
    auto pair = [&](std::size_t at) { return at < text.size() ? HexPair(text.substr(at, 2)) : 0; };
    const TColor red = static_cast<TColor>(pair(1));
    const TColor green = static_cast<TColor>(pair(3));
    const TColor blue = static_cast<TColor>(pair(5));
    return red + green * 256u + blue * 65536u;
}

TColor ColorValue(const std::string& text)
{
    if (text.empty()) return clNone;
    if (text[0] == '#') return HexColor(text);
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), LowerAscii);
    for (const ColorName& c : kColorNames)
        if (lower == c.name) return c.value;
    return clBlack;
}

std::string AttributeValue(const std::string& tag, const std::string& name)
{
    const std::size_t at = FindNoCaseFrom(tag, name, 0);
    if (at == std::string::npos) return std::string();
    const std::size_t open = tag.find('"', at + name.size());
    if (open == std::string::npos) return std::string();
    const std::size_t close = tag.find('"', open + 1);
    if (close == std::string::npos) return std::string();
    return tag.substr(open + 1, close - open - 1);
}

int SizeAttribute(const std::string& tag)
{
    const std::size_t at = FindNoCaseFrom(tag, "SIZE", 0);
    if (at == std::string::npos) return 0;
    std::size_t pos = tag.find('=', at + 4);
    if (pos == std::string::npos) return 0;
    ++pos;
    if (pos < tag.size() && tag[pos] == '"') ++pos;
    return ReadNumber(tag.substr(pos));
}

std::string TrimSpaces(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

void GradientFill(TCanvas& canvas, TColor from, TColor to, bool horizontal, const TRect& rect, int bands,
                  TColor border)
{
    const int count = bands < 1 ? 1 : bands;
    const TColor a = canvas.ToRGB(from);
    const TColor b = canvas.ToRGB(to);
    auto channel = [](TColor c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
    const double extent = horizontal ? static_cast<double>(rect.Right) - rect.Left
                                     : static_cast<double>(rect.Bottom) - rect.Top;
    const double bandWidth = extent / count;
    const long long bandTrunc = static_cast<long long>(bandWidth);
    const int origin = horizontal ? rect.Left : rect.Top;
    const int limit = horizontal ? rect.Right : rect.Bottom;
    for (int n = 0; n < count; ++n) {
        TColor color = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            const int start = channel(a, shift);
            const int end = channel(b, shift);
            const int value = start + RoundToInt(static_cast<double>(n) * (end - start) / count);
            color |= static_cast<TColor>(value & 0xFF) << shift;
        }
        canvas.SetPenColor(color);
        canvas.SetBrushColor(color);
        const int bandStart = ClampToInt(static_cast<long long>(origin) + RoundToInt(n * bandWidth));
        const int bandEnd = ClampToInt(std::min<long long>(static_cast<long long>(bandStart) + bandTrunc + 1, limit));
        TRect band = rect;
        if (horizontal) {
            band.Left = bandStart;
            band.Right = bandEnd;
        } else {
            band.Top = bandStart;
            band.Bottom = bandEnd;
        }
        canvas.FillRect(band);
    }
    if (border != clNone) {
        canvas.SetBrushColor(clNone);
        canvas.SetPenColor(border);
        canvas.FrameRect(rect);
    }
}

TFontState SelectRotatedFont(TCanvas& canvas, int angle)
{
    const TFontState previous = canvas.Font();
    TFontState rotated = previous;
    rotated.Escapement = ClampToInt(static_cast<long long>(angle) * 10);
    canvas.SetFont(rotated);
    return previous;
}

void SystemIcon(TCanvas& canvas, int x, int y, int& size, double scale, bool scaled, bool draw, bool large,
                const std::string& iconText)
{
    bool isNumber = false;
    const int number = ReadNumber(iconText, &isNumber);
    int index = 0;
    if (isNumber)
        index = number;
    else if (!iconText.empty())
        index = canvas.SystemIconIndex(iconText, large);
    size = canvas.SystemIconSize(large);
    if (!draw) return;
    if (!scaled) {
        canvas.DrawSystemIcon(index, large, x, y);
        return;
    }
    const int side = RoundToInt(size * scale);
    const TRect target{x, y, ClampToInt(static_cast<long long>(x) + side), ClampToInt(static_cast<long long>(y) + side)};
    canvas.DrawSystemIconScaled(index, large, target);
}

// Works on positions, not by cutting the front off the text, and remembers where
// the next separators stand, so a long caption costs one pass.
void SplitLines(const std::string& text, std::vector<std::string>& lines)
{
    const std::size_t firstPair = text.find("\\n");
    const std::size_t firstCr = text.find('\r');
    if (firstPair == std::string::npos && firstCr == std::string::npos) {
        lines.push_back(text);
        return;
    }
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return;
    const std::size_t end = text.find_last_not_of(' ') + 1;
    std::size_t pos = first;
    std::size_t nextPair = firstPair;
    std::size_t nextCr = firstCr;
    while (pos < end) {
        if (nextPair != std::string::npos && nextPair < pos) nextPair = text.find("\\n", pos);
        if (nextCr != std::string::npos && nextCr < pos) nextCr = text.find('\r', pos);
        // A separator counts only inside the trimmed text.
        const std::size_t pair = nextPair != std::string::npos && nextPair + 2 <= end ? nextPair : std::string::npos;
        const std::size_t cr = nextCr != std::string::npos && nextCr < end ? nextCr : std::string::npos;
        const std::size_t sep = pair != std::string::npos ? pair : cr;
        const std::size_t partEnd = sep == std::string::npos ? end : sep;
        lines.push_back(TrimSpaces(text.substr(pos, partEnd - pos)));
        pos = std::min(end, partEnd + 2);
        while (pos < end && text[pos] == ' ') ++pos;
    }
}

void MeasureLines(TCanvas& canvas, const std::string& text, const TFontState& firstLineFont,
                  const TFontState& otherLinesFont, unsigned flags, int& width, int& height, bool margins)
{
    const TFontState saved = canvas.Font();
    const unsigned measureFlags = flags | dt::kCalcRect | dt::kSingleLine;
    auto measure = [&](const std::string& line, int& w, int& h) {
        TRect r{0, 0, 0, 0};
        canvas.DrawText(line, r, measureFlags);
        w = r.Right - r.Left;
        h = r.Bottom - r.Top;
    };
    width = 0;
    height = 0;
    if (text.find("\\n") == std::string::npos && text.find('\r') == std::string::npos) {
        canvas.SetFont(firstLineFont);
        measure(text, width, height);
        canvas.SetFont(saved);
        return;
    }
    std::vector<std::string> lines;
    SplitLines(text, lines);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        int w = 0, h = 0;
        if (i == 0) {
            canvas.SetFont(firstLineFont);
            if (!lines[0].empty()) measure(lines[0], w, h);
            width = w + (margins ? 8 : 0);
            height = h + (margins ? 10 : 0);
            continue;
        }
        if (lines[i].empty()) continue;
        canvas.SetFont(otherLinesFont);
        measure(lines[i], w, h);
        width = std::max(width, w + (margins ? 8 : 0));
        height += h + (margins ? 2 : 0);
    }
    canvas.SetFont(saved);
}

}  // namespace dupd
