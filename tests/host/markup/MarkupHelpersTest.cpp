#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <vector>

#include "TestCanvas.h"
#include "markup/MarkupHelpers.h"

namespace dupd {
namespace {

// --- named entities ---------------------------------------------------------------

// The rule as written: sweeps of first-occurrence replacements, repeated until a
// sweep changes nothing. Slow, but obviously right; the real routine must agree.
std::string SweepReference(std::string s)
{
    static const std::pair<std::string, std::string> kTable[] = {
        {"&AMP;", "&&"},     {"&QUOT;", "\""},    {"&SECT;", "\xA7"},
        {"&PERMIL;", "\x89"}, {"&REG;", "\xAE"},   {"&COPY;", "\xA9"},
        {"&PARA;", "\xB6"},  {"&TRADE;", "\x99"}, {"&EURO;", "\x80"},
    };
    auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
    for (bool changed = true; changed;) {
        changed = false;
        for (const auto& [name, replacement] : kTable) {
            auto it = std::search(s.begin(), s.end(), name.begin(), name.end(),
                                  [&](char a, char b) { return upper(a) == b; });
            if (it == s.end()) continue;
            s.replace(static_cast<std::size_t>(it - s.begin()), name.size(), replacement);
            changed = true;
        }
    }
    return s;
}

struct TextCase {
    const char* in;
    const char* out;
};

TEST(NamedEntities, ReplacesEachEntityWithoutRegardToCase)
{
    const TextCase cases[] = {
        {"Tom &amp; Jerry", "Tom && Jerry"},
        {"&AMP;", "&&"},
        {"say &quot;hi&QUOT;", "say \"hi\""},
        {"&sect;&permil;&reg;&copy;&para;&trade;&euro;", "\xA7\x89\xAE\xA9\xB6\x99\x80"},
        {"&Euro;5", "\x80" "5"},
        {"&euro 5 &amp", "&euro 5 &amp"},      // no semicolon, no entity
        {"&nbsp;&lt;", "&nbsp;&lt;"},          // piece entities wait for layout
        {"", ""},
        {"no ampersand", "no ampersand"},
    };
    for (const auto& c : cases) EXPECT_EQ(ReplaceNamedEntities(c.in), c.out) << c.in;
}

TEST(NamedEntities, AmpersandEntityExposesAnEntityBehindIt)
{
    // The sweep that turns "&amp;" into "&&" also replaces the quote entity the
    // second ampersand now begins.
    EXPECT_EQ(ReplaceNamedEntities("&amp;quot;"), "&\"");
    EXPECT_EQ(ReplaceNamedEntities("&amp;amp;"), "&&&");
    EXPECT_EQ(ReplaceNamedEntities("&amp;amp;amp;copy;"), "&&&\xA9");
    // An exposed ampersand that begins nothing stays.
    EXPECT_EQ(ReplaceNamedEntities("&amp;x;"), "&&x;");
}

TEST(NamedEntities, AgreesWithRepeatedSweepsOnRandomTexts)
{
    // Pieces that build entities, broken entities and neighbours of both.
    const std::vector<std::string> bits = {"&", "amp;", "AMP;", "quot;", "&quot", "euro;", "Reg;", ";",
                                           "a", "&amp;", "&trade;", " ", "\xE9", "permil;", "&&", "copy"};
    std::mt19937 rng(12345);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int n = static_cast<int>(rng() % 12);
        for (int i = 0; i < n; ++i) text += bits[rng() % bits.size()];
        ASSERT_EQ(ReplaceNamedEntities(text), SweepReference(text)) << text;
    }
}

TEST(NamedEntities, ManyEntitiesInALongTextFinishQuickly)
{
    // Replaced one sweep at a time this would take 200000 passes over a megabyte.
    std::string text, expected;
    for (int i = 0; i < 200000; ++i) {
        text += "&amp;";
        expected += "&&";
    }
    EXPECT_EQ(ReplaceNamedEntities(text), expected);

    std::string chain = "&";
    for (int i = 0; i < 200000; ++i) chain += "amp;";
    EXPECT_EQ(ReplaceNamedEntities(chain), std::string(200001, '&'));
}

TEST(PieceEntities, ReplacesTheThreeWithTheirCaseAsWritten)
{
    const TextCase cases[] = {
        {"a&nbsp;b", "a b"},
        {"&lt;B&gt;", "<B>"},
        {"&nbsp;&nbsp;&lt;&lt;", "  <<"},
        {"&NBSP;&Lt;", "&NBSP;&Lt;"},
        {"&&lt;", "&<"},
        {"&lt;lt;", "<lt;"},  // the "<" does not begin a new entity
        {"&nbsp", "&nbsp"},
    };
    for (const auto& c : cases) EXPECT_EQ(ReplacePieceEntities(c.in), c.out) << c.in;
}

// --- hash tags and line ends -------------------------------------------------------

TEST(TextRules, HashTagRule)
{
    const TextCase cases[] = {
        {"a<#b>c", "a#bc"},
        {"text<#", "text#"},
        {"<#1><#2>", "#1<#2>"},       // only the first one
        {"x>y<#z", "x>y#z"},          // a ">" before it stays
        {"a<#b c", "a#b c"},
        {"<b>no hash</b>", "<b>no hash</b>"},
    };
    for (const auto& c : cases) EXPECT_EQ(ApplyHashTagRule(c.in), c.out) << c.in;
}

TEST(TextRules, LineEndRule)
{
    EXPECT_EQ(ApplyLineEndRule("\r\n", true), "<BR>");
    EXPECT_EQ(ApplyLineEndRule("a\nb", true), "ab");
    EXPECT_EQ(ApplyLineEndRule("a\r\rb\n", true), "a<BR><BR>b");
    EXPECT_EQ(ApplyLineEndRule("a\r\nb", false), "ab");
    EXPECT_EQ(ApplyLineEndRule("plain", true), "plain");
}

// --- searching ---------------------------------------------------------------------

TEST(Searching, FindNoCaseIsOneBased)
{
    EXPECT_EQ(FindNoCase("<Font color=red>", "COLOR"), 7);
    EXPECT_EQ(FindNoCase("abc", "ABC"), 1);
    EXPECT_EQ(FindNoCase("abc", "abcd"), 0);
    EXPECT_EQ(FindNoCase("abc", "x"), 0);
    EXPECT_EQ(FindNoCase("abc", ""), 0);
    EXPECT_EQ(FindNoCase("", "a"), 0);
}

TEST(Searching, FindAndReportHonoursCaseAndStoresThePosition)
{
    int where = -5;
    EXPECT_EQ(FindAndReport("SRC", "<IMG src=x SRC=y>", where), 12);
    EXPECT_EQ(where, 12);
    EXPECT_EQ(FindAndReport("ALT", "<IMG src=x>", where), 0);
    EXPECT_EQ(where, 0);
}

TEST(Searching, ReplaceFirstNoCase)
{
    std::string text = "one TWO two";
    EXPECT_TRUE(ReplaceFirstNoCase("two", "2", text));
    EXPECT_EQ(text, "one 2 two");
    EXPECT_FALSE(ReplaceFirstNoCase("three", "3", text));
    EXPECT_EQ(text, "one 2 two");
}

// --- numbers and colours -----------------------------------------------------------

struct NumberCase {
    std::string text;
    int value;
    bool valid;
};

TEST(Numbers, ReadsTheLeadingNumber)
{
    const NumberCase cases[] = {
        {"12", 12, true},
        {"  -7", -7, true},
        {"+5", 5, true},
        {"12px", 12, false},
        {" 12 ", 12, false},
        {"-3x9", -3, false},
        {"", 0, false},
        {"-", 0, false},
        {"abc", 0, false},
        {"--5", 0, false},
        {"2147483647", INT_MAX, true},
        {"-2147483648", INT_MIN, true},
        {"2147483648", INT_MAX, false},
        {"-99999999999999999999999", INT_MIN, false},
        {std::string(100000, '9') + "z", INT_MAX, false},
    };
    for (const auto& c : cases) {
        bool valid = !c.valid;
        EXPECT_EQ(ReadNumber(c.text, &valid), c.value) << c.text.substr(0, 30);
        EXPECT_EQ(valid, c.valid) << c.text.substr(0, 30);
    }
    EXPECT_EQ(ReadNumber("42"), 42);  // validity not asked for
}

TEST(Colours, HexPairsAndHexColours)
{
    EXPECT_EQ(HexPair("00"), 0);
    EXPECT_EQ(HexPair("FF"), 255);
    EXPECT_EQ(HexPair("7B"), 0x7B);
    EXPECT_EQ(HexPair("F"), 0);
    EXPECT_EQ(HexPair(""), 0);

    EXPECT_EQ(HexColor("#FF0000"), 0x000000FFu);
    EXPECT_EQ(HexColor("#00FF00"), 0x0000FF00u);
    EXPECT_EQ(HexColor("#0000FF"), 0x00FF0000u);
    EXPECT_EQ(HexColor("#123456"), 0x00563412u);
    EXPECT_EQ(HexColor("#FF00F"), 0x000000FFu);  // a short pair reads 0
    EXPECT_EQ(HexColor("#AB"), 0x000000ABu);
    EXPECT_EQ(HexColor("#"), 0u);
}

TEST(Colours, LowerCaseHexWorksOnceTheTagIsUpperCased)
{
    std::string tag = "<font color=\"#ff0000\">";
    std::transform(tag.begin(), tag.end(), tag.begin(), [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
    EXPECT_EQ(ColorValue(AttributeValue(tag, " COLOR")), 0x000000FFu);
    // Read as written, lower-case letters are not hex digits.
    EXPECT_NE(ColorValue("#ff0000"), 0x000000FFu);
}

TEST(Colours, NamesTable)
{
    const std::pair<const char*, TColor> cases[] = {
        {"clRed", 0x000000FF},       {"CLBLUE", 0x00FF0000},         {"clGreen", 0x00008000},
        {"clAqua", 0x00FFFF00},      {"clSilver", 0x00C0C0C0},       {"clNavy", 0x00800000},
        {"clMaroon", 0x00000080},    {"clWhite", 0x00FFFFFF},        {"clBlack", 0x00000000},
        {"clBackground", 0xFF000001}, {"clWindow", 0xFF000005},      {"clWindowText", 0xFF000008},
        {"clHighlight", 0xFF00000D}, {"clHighlightText", 0xFF00000E}, {"clBtnFace", 0xFF00000F},
        {"clInactiveCaptionText", 0xFF000013}, {"cl3DDkShadow", 0xFF000015}, {"clInfoBk", 0xFF000018},
        {"red", 0x00000000},          // not a name of the table
        {"clred ", 0x00000000},       // exact match only
        {"clwindowtex", 0x00000000},
    };
    for (const auto& [name, value] : cases) EXPECT_EQ(ColorValue(name), value) << name;
    EXPECT_EQ(ColorValue(""), clNone);
    EXPECT_EQ(ColorValue("#00FF00"), 0x0000FF00u);
}

// --- attributes --------------------------------------------------------------------

TEST(Attributes, ValueBetweenTheFirstQuotesAfterTheName)
{
    struct Case {
        const char* tag;
        const char* name;
        const char* value;
    };
    const Case cases[] = {
        {"<A HREF=\"http://x.test/a\">", "HREF", "http://x.test/a"},
        {"<a href=\"Mixed Case\">", "HREF", "Mixed Case"},
        {"<P ALIGN=RIGHT>", "ALIGN", ""},              // without quotes: empty
        {"<P ALIGN=\"RIGHT>", "ALIGN", ""},            // no closing quote
        {"<P ALIGN=X INDENT=\"5\">", "ALIGN", "5"},    // the first quotes after the name
        {"<IMG SRC=\"a\">", "WIDTH", ""},              // absent
        {"<IN x=\"40\">", "X", "40"},
        {"<IMG SRC=\"\">", "SRC", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(AttributeValue(c.tag, c.name), c.value) << c.tag;
}

TEST(Attributes, SizeTakesTheNumberWithOrWithoutQuotes)
{
    EXPECT_EQ(SizeAttribute("<FONT SIZE=3>"), 3);
    EXPECT_EQ(SizeAttribute("<FONT SIZE=\"14\">"), 14);
    EXPECT_EQ(SizeAttribute("<font face=\"Arial\" size=5 color=\"clRed\">"), 5);
    EXPECT_EQ(SizeAttribute("<FONT SIZE>"), 0);
    EXPECT_EQ(SizeAttribute("<FONT COLOR=\"clRed\">"), 0);
    EXPECT_EQ(SizeAttribute("<FONT SIZE=\"x\">"), 0);
}

TEST(Attributes, TrimSpacesOnlyTrimsSpaces)
{
    EXPECT_EQ(TrimSpaces("  a b  "), "a b");
    EXPECT_EQ(TrimSpaces("\ta\t"), "\ta\t");
    EXPECT_EQ(TrimSpaces("    "), "");
    EXPECT_EQ(TrimSpaces(""), "");
}

// --- split and measure lines ------------------------------------------------------

using Lines = std::vector<std::string>;

TEST(SplitLines, Separators)
{
    struct Case {
        std::string text;
        Lines lines;
    };
    const Case cases[] = {
        {"Yes\\nNo", {"Yes", "No"}},
        {"  Yes  \\n  No  ", {"Yes", "No"}},
        {"  plain  ", {"  plain  "}},                 // no separator: as it is
        {"a\r\nb", {"a", "b"}},
        {"a\rb", {"a"}},                              // a CR takes the next character along
        {"one\\ntwo\\nthree", {"one", "two", "three"}},
        {"a\\n\\nb", {"a", "", "b"}},
        {"a\\n", {"a"}},
        {"\\n", {""}},
        {"a\rb\\nc", {"a\rb", "c"}},                  // backslash-n goes first
        {"", {""}},
    };
    for (const auto& c : cases) {
        Lines lines;
        SplitLines(c.text, lines);
        EXPECT_EQ(lines, c.lines) << c.text;
    }
}

TEST(SplitLines, AppendsToTheList)
{
    Lines lines = {"kept"};
    SplitLines("x\\ny", lines);
    EXPECT_EQ(lines, (Lines{"kept", "x", "y"}));
}

class MeasureLinesTest : public ::testing::Test {
protected:
    MeasureLinesTest()
    {
        first.Size = 12;  // 17 high
        first.Style = fsBold;  // 7 wide a character
        other.Size = 8;   // 13 high, 6 wide
        canvas.SetFont(entry);
        entry = canvas.Font();
    }
    TestCanvas canvas;
    TFontState entry, first, other;
    int width = -1, height = -1;
};

TEST_F(MeasureLinesTest, SingleLineGetsNoMargins)
{
    MeasureLines(canvas, "Hello", first, other, dt::kNoPrefix, width, height, true);
    EXPECT_EQ(width, 35);
    EXPECT_EQ(height, 17);
    const auto measured = canvas.Of(TCanvasCall::kMeasure);
    ASSERT_EQ(measured.size(), 1u);
    EXPECT_EQ(measured[0].Flags, dt::kNoPrefix | 0x420u);
    EXPECT_EQ(measured[0].Font, first);
    EXPECT_EQ(canvas.Font(), entry);
}

TEST_F(MeasureLinesTest, TwoLinesWithAndWithoutMargins)
{
    // "Hello" bold: 35 x 17; "World!!": 42 x 13.
    MeasureLines(canvas, "Hello\\nWorld!!", first, other, 0, width, height, true);
    EXPECT_EQ(width, 50);            // max(35 + 8, 42 + 8)
    EXPECT_EQ(height, 17 + 10 + 13 + 2);
    const auto measured = canvas.Of(TCanvasCall::kMeasure);
    ASSERT_EQ(measured.size(), 2u);
    EXPECT_EQ(measured[0].Font, first);
    EXPECT_EQ(measured[1].Font, other);
    EXPECT_EQ(canvas.Font(), entry);

    MeasureLines(canvas, "Hello\\nWorld!!", first, other, 0, width, height, false);
    EXPECT_EQ(width, 42);
    EXPECT_EQ(height, 30);

    // A wide first line keeps its width; an empty middle line adds nothing.
    MeasureLines(canvas, "Hello world\\n\\nab", first, other, 0, width, height, true);
    EXPECT_EQ(width, 77 + 8);
    EXPECT_EQ(height, 17 + 10 + 13 + 2);
}

TEST_F(MeasureLinesTest, EmptyFirstLineMeasuresAsNothing)
{
    MeasureLines(canvas, "\\nab", first, other, 0, width, height, true);
    EXPECT_EQ(width, 12 + 8);
    EXPECT_EQ(height, 10 + 13 + 2);
}

// --- canvas helpers ---------------------------------------------------------------

std::vector<TRect> FillRects(const TestCanvas& canvas)
{
    std::vector<TRect> rects;
    for (const auto& c : canvas.Of(TCanvasCall::kFill)) rects.push_back(c.Rect);
    return rects;
}

TEST(Gradient, HorizontalBandsAndColours)
{
    TestCanvas canvas;
    // To the system highlight colour, 0x00D77800 on the test canvas.
    GradientFill(canvas, 0x00204060, 0xFF00000D, true, TRect{10, 5, 110, 25}, 3, clNone);
    const auto fills = canvas.Of(TCanvasCall::kFill);
    ASSERT_EQ(fills.size(), 3u);
    EXPECT_EQ(FillRects(canvas), (std::vector<TRect>{{10, 5, 44, 25}, {43, 5, 77, 25}, {77, 5, 110, 25}}));
    const TColor colours[] = {0x00204060, 0x005D5340, 0x009A6520};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(fills[i].Brush, colours[i]) << i;
        EXPECT_EQ(fills[i].Pen, colours[i]) << i;
    }
    EXPECT_TRUE(canvas.Of(TCanvasCall::kFrame).empty());
}

TEST(Gradient, VerticalWithBorder)
{
    TestCanvas canvas;
    GradientFill(canvas, 0x00000000, 0x00FFFFFF, false, TRect{0, 0, 50, 10}, 3, 0x000000FF);
    EXPECT_EQ(FillRects(canvas), (std::vector<TRect>{{0, 0, 50, 4}, {0, 3, 50, 7}, {0, 7, 50, 10}}));
    const auto frames = canvas.Of(TCanvasCall::kFrame);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].Rect, (TRect{0, 0, 50, 10}));
    EXPECT_EQ(frames[0].Pen, 0x000000FFu);
    EXPECT_EQ(frames[0].Brush, clNone);
    EXPECT_EQ(canvas.Calls.back().What, TCanvasCall::kFrame);
}

TEST(Gradient, NoBandsMeansOne)
{
    TestCanvas canvas;
    GradientFill(canvas, 0xFF000005, 0x00000000, true, TRect{0, 0, 20, 5}, 0, clNone);
    const auto fills = canvas.Of(TCanvasCall::kFill);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].Rect, (TRect{0, 0, 20, 5}));
    EXPECT_EQ(fills[0].Brush, 0x00FFFFFFu);  // the window colour, resolved
}

TEST(RotatedFont, SelectsEscapementAndReturnsThePreviousFont)
{
    TestCanvas canvas;
    TFontState font;
    font.Name = "Arial";
    font.Style = fsBold;
    canvas.SetFont(font);
    const TFontState previous = SelectRotatedFont(canvas, 45);
    EXPECT_EQ(previous, font);
    TFontState expected = font;
    expected.Escapement = 450;
    EXPECT_EQ(canvas.Font(), expected);
    SelectRotatedFont(canvas, INT_MAX);  // absurd angles saturate
    EXPECT_EQ(canvas.Font().Escapement, INT_MAX);
}

TEST(SystemIcons, NumberPathOrEmptyText)
{
    TestCanvas canvas;
    canvas.IconIndexes["C:\\Windows"] = 7;
    int size = 0;
    SystemIcon(canvas, 4, 5, size, 1.0, false, true, false, "12");
    SystemIcon(canvas, 4, 5, size, 1.0, false, true, true, "C:\\Windows");
    SystemIcon(canvas, 4, 5, size, 1.0, false, true, false, "");
    SystemIcon(canvas, 4, 5, size, 1.0, false, true, false, "x.doc");
    const auto icons = canvas.Of(TCanvasCall::kIcon);
    ASSERT_EQ(icons.size(), 4u);
    EXPECT_EQ(icons[0].Index, 12);
    EXPECT_EQ(icons[1].Index, 7);
    EXPECT_TRUE(icons[1].Large);
    EXPECT_EQ(icons[2].Index, 0);
    EXPECT_EQ(icons[3].Index, TestCanvas::kDefaultIconIndex);
    EXPECT_EQ(icons[3].X, 4);
    EXPECT_EQ(icons[3].Y, 5);
    EXPECT_EQ(size, TestCanvas::kSmallIcon);
}

TEST(SystemIcons, ScaledOrOnlySized)
{
    TestCanvas canvas;
    int size = 0;
    SystemIcon(canvas, 10, 20, size, 1.5, true, true, true, "3");
    const auto scaled = canvas.Of(TCanvasCall::kIconScaled);
    ASSERT_EQ(scaled.size(), 1u);
    EXPECT_EQ(scaled[0].Rect, (TRect{10, 20, 58, 68}));
    EXPECT_EQ(size, TestCanvas::kLargeIcon);

    canvas.Clear();
    size = 0;
    SystemIcon(canvas, 0, 0, size, 1.0, false, false, false, "3");
    EXPECT_TRUE(canvas.Calls.empty());
    EXPECT_EQ(size, TestCanvas::kSmallIcon);
}

}  // namespace
}  // namespace dupd
