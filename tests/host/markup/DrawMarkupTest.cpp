#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MarkupLayout.h"
#include "TestCanvas.h"
#include "markup/DrawMarkup.h"

namespace dupd {
namespace {

TEST(DrawMarkup, EmptyTextHasTheHeightOfOneLineAndNoHit)
{
    TestCanvas canvas;
    const Outcome o = Layout(canvas, "", MarkupHitTestProfile(5, 5, false));
    EXPECT_FALSE(o.hit);
    EXPECT_EQ(o.result.Width, 0);
    EXPECT_EQ(o.result.Height, kLine);
    EXPECT_EQ(o.result.AnchorCount, 0);
    EXPECT_EQ(o.result.AnchorNumberAtPoint, -1);
    EXPECT_TRUE(canvas.Calls.empty());
}

TEST(DrawMarkup, CanvasFontAndBrushAreRestoredAndBackgroundLeftTransparent)
{
    TestCanvas canvas;
    const TFontState entryFont = canvas.Font();
    canvas.SetBrushColor(0x00123456);
    Layout(canvas, "<B><I><FONT size=\"5\" color=\"clred\" bgcolor=\"clblue\">never closed <A href=\"x\">link",
        MarkupPaintProfile());
    EXPECT_EQ(canvas.Font(), entryFont);
    EXPECT_EQ(canvas.BrushColor(), 0x00123456u);
    EXPECT_TRUE(canvas.BackgroundTransparent);
}

TEST(DrawMarkup, AmpersandEntityAndThePrefixRule)
{
    {
        // Without " & " the text call treats "&&" as one shown ampersand.
        TestCanvas canvas;
        Layout(canvas, "Tom&amp;Jerry", MarkupPaintProfile());
        const TCanvasCall c = DrawnText(canvas, "Tom&&Jerry");
        EXPECT_EQ(c.Shown, "Tom&Jerry");
        EXPECT_EQ(c.Flags, dt::kBottom | dt::kSingleLine | dt::kExpandTabs);
    }
    {
        // A text with " & " is drawn without prefixes: the same entity shows two.
        TestCanvas canvas;
        Layout(canvas, "Cats & Tom&amp;Jerry", MarkupPaintProfile());
        const TCanvasCall c = DrawnText(canvas, "Tom&&Jerry");
        EXPECT_EQ(c.Shown, "Tom&&Jerry");
        EXPECT_EQ(DrawnText(canvas, "& ").Shown, "& ");
        EXPECT_EQ(c.Flags, dt::kBottom | dt::kSingleLine | dt::kExpandTabs | dt::kNoPrefix);
    }
    {
        // Piece entities become the characters they stand for, and named ones too.
        TestCanvas canvas;
        const Outcome o = Layout(canvas, "&lt;b&gt;&nbsp;&copy;", MarkupPaintProfile());
        EXPECT_EQ(o.result.PlainText, "<b> \xA9");
    }
}

TEST(DrawMarkup, CrLfBreaksOnceAndALoneLfDoesNot)
{
    struct Case {
        const char* text;
        const char* plain;
        int height;
    } cases[] = {
        {"one\r\ntwo", "one\rtwo", 2 * kLine},
        {"one\ntwo", "onetwo", kLine},
        {"one<BR>two", "one\rtwo", 2 * kLine},
    };
    for (const Case& c : cases) {
        TestCanvas canvas;
        const Outcome o = Layout(canvas, c.text, MarkupPaintProfile());
        EXPECT_EQ(o.result.PlainText, c.plain) << c.text;
        EXPECT_EQ(o.result.Height, c.height) << c.text;
    }
}

TEST(DrawMarkup, HiddenSpanIsInPlainTextButNeitherDrawnNorMeasured)
{
    TestCanvas canvas;
    const Outcome o = Layout(canvas, "ab <Z>secret words </Z>cd", MarkupPaintProfile());
    EXPECT_EQ(o.result.PlainText, "ab secret words cd");
    EXPECT_EQ(canvas.DrawnTexts(), (std::vector<std::string>{"ab ", "cd"}));
    EXPECT_EQ(DrawnText(canvas, "cd").Rect.Left, 1 + 18);
    EXPECT_EQ(o.result.Width, 30 + 2);
}

TEST(DrawMarkup, WrapsAtSpacesButNeverSplitsAWordContinuedAcrossATag)
{
    {
        TestCanvas canvas;  // room for "aaaa bbbb" (60 px with its space) but not "cccc"
        Layout(canvas, "aaaa bbbb cccc", MarkupPaintProfile(), TRect{0, 0, 62, 100});
        EXPECT_EQ(DrawnText(canvas, "bbbb ").Rect.Top, 0);
        EXPECT_EQ(DrawnText(canvas, "cccc").Rect.Top, kLine);
        EXPECT_EQ(DrawnText(canvas, "cccc").Rect.Left, 1);
    }
    {
        // "bb" fits, its bold continuation does not, yet the word stays together;
        // the next word wraps.
        TestCanvas canvas;
        const Outcome o = Layout(canvas, "aaaa bb<B>bbbb</B> cc", MarkupPaintProfile(), TRect{0, 0, 46, 100});
        EXPECT_EQ(DrawnText(canvas, "bbbb").Rect.Top, 0);
        EXPECT_EQ(DrawnText(canvas, "bbbb").Rect.Left, 1 + 30 + 12);
        EXPECT_EQ(DrawnText(canvas, "cc").Rect.Top, kLine);
        EXPECT_EQ(o.result.Height, 2 * kLine);
        EXPECT_EQ(o.result.PlainText, "aaaa bbbbbb cc");  // the wrapped word only once
    }
    {
        // A word wider than the whole line stands whole on a line of its own, and
        // what follows it begins the next line.
        TestCanvas canvas;
        const Outcome o = Layout(canvas, "ab cdefghijklmnop qr", MarkupPaintProfile(), TRect{0, 0, 41, 100});
        EXPECT_EQ(DrawnText(canvas, "ab ").Rect.Top, 0);
        EXPECT_EQ(DrawnText(canvas, "cdefghijklmnop ").Rect.Left, 1);
        EXPECT_EQ(DrawnText(canvas, "cdefghijklmnop ").Rect.Top, kLine);
        EXPECT_EQ(DrawnText(canvas, "qr").Rect.Top, 2 * kLine);
        EXPECT_EQ(o.result.Width, 84 + 2);
        EXPECT_EQ(o.result.Height, 3 * kLine);
        // An anchor on such a word is found on its own line, not beside "ab ".
        const std::string anchored = "ab <A href=\"w\">cdefghijklmnop</A> qr";
        TestCanvas beside, below;
        EXPECT_FALSE(Layout(beside, anchored, MarkupHitTestProfile(1 + 18 + 6, 7, false), TRect{0, 0, 41, 100}).hit);
        const Outcome b = Layout(below, anchored, MarkupHitTestProfile(1 + 6, kLine + 7, false), TRect{0, 0, 41, 100});
        EXPECT_TRUE(b.hit);
        EXPECT_EQ(b.result.AnchorAtPoint, "w");
    }
    {
        // Beside a bullet it is still the line's first word and stays there.
        TestCanvas canvas;
        Layout(canvas, "<UL><LI>cdefghijklmnop</UL>", MarkupPaintProfile(), TRect{0, 0, 41, 100});
        EXPECT_EQ(DrawnText(canvas, "\xB7").Rect.Top, kLine);
        EXPECT_EQ(DrawnText(canvas, "cdefghijklmnop").Rect.Top, kLine);
        EXPECT_EQ(DrawnText(canvas, "cdefghijklmnop").Rect.Left, 1 + 12);
    }
}

TEST(DrawMarkup, TagsLateInALineDoNotChangeHowItsEarlierTextIsDrawn)
{
    {
        // A hidden span that runs over a break: the visible text before it is drawn.
        TestCanvas canvas;
        const std::string text = "abc <Z>hid<BR>den</Z> xyz";
        const Outcome o = Layout(canvas, text, MarkupPaintProfile());
        EXPECT_EQ(canvas.DrawnTexts(), (std::vector<std::string>{"abc ", " ", "xyz"}));
        EXPECT_EQ(DrawnText(canvas, "abc ").Rect.Top, 0);
        EXPECT_EQ(DrawnText(canvas, "xyz").Rect.Top, kLine);
        EXPECT_EQ(DrawnText(canvas, "xyz").Rect.Left, 1 + 6);
        EXPECT_EQ(o.result.PlainText, "abc hid\rden xyz");
    }
    {
        // A subscript begun before a wrap lowers only what follows it.
        TestCanvas canvas;
        Layout(canvas, "aaaa <SUB>bbbb cccc", MarkupPaintProfile(), TRect{0, 0, 60, 100});
        const TCanvasCall before = DrawnText(canvas, "aaaa ");
        const TCanvasCall after = DrawnText(canvas, "bbbb ");
        EXPECT_EQ(before.Rect.Top, 0);
        EXPECT_EQ(before.Rect.Bottom - before.Rect.Top, kLine);
        EXPECT_GT(after.Rect.Top, 0);
        EXPECT_EQ(after.Rect.Bottom - after.Rect.Top, kLine + kLine / 4);
    }
    {
        // So does a shadow.
        TestCanvas canvas;
        Layout(canvas, "abc <SH>x<BR>y</SH> z", MarkupPaintProfile());
        EXPECT_EQ(canvas.DrawnTexts(), (std::vector<std::string>{"abc ", "x", "x", "y", "y", " ", "z"}));
    }
}

TEST(DrawMarkup, IndentTagNeverMovesTextBackOverTheLine)
{
    const std::string text = "abcdefghijk <IN x=\"10\">g";
    TestCanvas canvas;
    const Outcome o = Layout(canvas, text, MarkupPaintProfile());
    EXPECT_EQ(DrawnText(canvas, "g").Rect.Left, 1 + 72);
    EXPECT_EQ(o.result.Width, 72 + 6 + 2);
    TestCanvas measuring;
    EXPECT_EQ(Layout(measuring, text, MarkupHitTestProfile(0, 0, true)).result.Width, o.result.Width);
}

TEST(DrawMarkup, WordWrapOffDrawsEachRunWholeWithAnEllipsis)
{
    TestCanvas canvas;
    TMarkupRequest request = MarkupPaintProfile();
    request.WordWrap = false;
    const Outcome o = Layout(canvas, "a run far too long for the line<B>x</B>", request, TRect{0, 0, 60, 100});
    const TCanvasCall c = DrawnText(canvas, "a run far too long for the line");
    EXPECT_TRUE(c.Flags & dt::kEndEllipsis);
    EXPECT_EQ(c.Rect.Right, 60);
    EXPECT_EQ(o.result.Height, kLine);
}

TEST(DrawMarkup, ParagraphAlignmentAndIndent)
{
    const std::string wide(40, 'w');  // 240 px, wider than the 199 px line
    struct Case {
        std::string text;
        std::string piece;
        int left;
    } cases[] = {
        {"<P align=\"right\">abc ", "abc ", 200 - 18},  // the trailing space takes no room
        {"<P align=\"center\">abc", "abc", 1 + (199 - 18) / 2},
        {"<P align=\"left\">abc", "abc", 1},
        {"<P align=\"right\">" + wide, wide, 1},
        {"<P align=\"center\">" + wide, wide, 1},
        {"<P indent=\"20\">abc", "abc", 21},
        {"<P align=\"right\" indent=\"5\">abc", "abc", 200 - 18 + 5},
    };
    for (const Case& c : cases) {
        TestCanvas canvas;
        Layout(canvas, c.text, MarkupPaintProfile());
        EXPECT_EQ(DrawnText(canvas, c.piece).Rect.Left, c.left) << c.text;
    }
    // Alignment stays for the following lines.
    TestCanvas canvas;
    Layout(canvas, "<P align=\"right\">ab<BR>abcd", MarkupPaintProfile());
    EXPECT_EQ(DrawnText(canvas, "abcd").Rect.Left, 200 - 24);
}

TEST(DrawMarkup, HeightIsCutAtBoundsWhenDrawingButCoversAllWhenMeasuring)
{
    std::string text;
    for (int i = 0; i < 10; ++i) text += "line<BR>";
    const TRect small{0, 0, 200, 40};
    {
        TestCanvas canvas;
        const Outcome o = Layout(canvas, text, MarkupPaintProfile(), small);
        EXPECT_EQ(o.result.Height, 3 * kLine);
        EXPECT_EQ(Drawn(canvas).size(), 3u);
    }
    {
        TestCanvas canvas;
        const Outcome o = Layout(canvas, text, MarkupHitTestProfile(0, 0, false), small);
        EXPECT_EQ(o.result.Height, 3 * kLine);
    }
    {
        TestCanvas canvas;
        const Outcome o = Layout(canvas, text, MarkupHitTestProfile(0, 0, true), small);
        EXPECT_EQ(o.result.Height, 10 * kLine);
        EXPECT_EQ(o.result.Width, 24 + 2);
        EXPECT_TRUE(Drawn(canvas).empty());
    }
}

// Line 1: "aaaa <A>top</A>"; line 2: "bbbb <A>link</A>" -- both anchors start at x 31.
const char* const kTwoLines = "aaaa <A href=\"one\">top</A><BR>bbbb <A href=\"http://two\">link</A>";

TEST(DrawMarkup, HitTestOnTheRightHalfOfASecondLineAnchor)
{
    TestCanvas canvas;
    const Outcome o = Layout(canvas, kTwoLines, MarkupHitTestProfile(31 + 20, kLine + 7, false));
    EXPECT_TRUE(o.hit);
    EXPECT_EQ(o.result.AnchorAtPoint, "http://two");
    EXPECT_EQ(o.result.AnchorNumberAtPoint, 2);
    EXPECT_EQ(o.result.AnchorRect, (TRect{31, kLine, 31 + 24, 2 * kLine}));
    EXPECT_EQ(o.result.AnchorCount, 2);
    EXPECT_TRUE(Drawn(canvas).empty());
}

TEST(DrawMarkup, HitTestMisses)
{
    struct Case {
        const char* what;
        int x, y;
        int lineSpacing;
    } cases[] = {
        {"on the border between the lines", 35, kLine, 0},
        {"in the spacing above the second line's text", 35, 17 + 2, 4},
        {"right of the anchor", 31 + 24 + 3, kLine + 7, 0},
        {"on plain text", 10, 7, 0},
    };
    for (const Case& c : cases) {
        TestCanvas canvas;
        TMarkupRequest request = MarkupHitTestProfile(c.x, c.y, false);
        request.LineSpacing = c.lineSpacing;
        const Outcome o = Layout(canvas, kTwoLines, request);
        EXPECT_FALSE(o.hit) << c.what;
    }
    // Measuring only never reports a hit.
    TestCanvas canvas;
    EXPECT_FALSE(Layout(canvas, kTwoLines, MarkupHitTestProfile(31 + 20, kLine + 7, true)).hit);
}

TEST(DrawMarkup, SecondPassReplaysTheWholeLineWhenAligned)
{
    // The last anchor of a right-aligned line, and the numbering of the anchors
    // after it, must not depend on which pass looks at them.
    const std::string text = "<P align=\"right\"><A href=\"a\">aa</A> <A href=\"b\">bb</A> <BR><A href=\"c\">cc</A>";
    {
        TestCanvas canvas;  // "bb" is 12 px wide and ends at the line's right edge
        const Outcome o = Layout(canvas, text, MarkupHitTestProfile(200 - 3, 7, false));
        EXPECT_TRUE(o.hit);
        EXPECT_EQ(o.result.AnchorAtPoint, "b");
        EXPECT_EQ(o.result.AnchorNumberAtPoint, 2);
    }
    {
        TestCanvas canvas;
        const Outcome o = Layout(canvas, text, MarkupHitTestProfile(200 - 3, kLine + 7, false));
        EXPECT_TRUE(o.hit);
        EXPECT_EQ(o.result.AnchorAtPoint, "c");
        EXPECT_EQ(o.result.AnchorNumberAtPoint, 3);
        EXPECT_EQ(o.result.AnchorCount, 3);
    }
}

TEST(DrawMarkup, TwoAnchorsFocusAndNumbers)
{
    const std::string text = "<A href=\"one\">first</A> <A href=\"two\">second</A>";
    {
        TestCanvas canvas;
        TMarkupRequest request = MarkupPaintProfile();
        request.FocusAnchor = 1;
        const Outcome o = Layout(canvas, text, request);
        EXPECT_EQ(o.result.FocusAnchorHref, "two");
        EXPECT_EQ(o.result.AnchorCount, 2);
        const auto focus = canvas.Of(TCanvasCall::kFocus);
        ASSERT_EQ(focus.size(), 1u);
        // "first " is 36 px from x 1; "second" runs from 37 to 73.
        EXPECT_EQ(focus[0].Rect, (TRect{36, 0, 74, kLine}));
        // Anchor text is drawn underlined in the link colour; the rest is not.
        const TCanvasCall second = DrawnText(canvas, "second");
        EXPECT_EQ(second.Font.Color, 0x00FF0000u);
        EXPECT_TRUE(second.Font.Style & fsUnderline);
        EXPECT_FALSE(DrawnText(canvas, " ").Font.Style & fsUnderline);
    }
    {
        TestCanvas canvas;
        const Outcome o = Layout(canvas, text, MarkupHitTestProfile(37 + 30, 5, false));
        EXPECT_TRUE(o.hit);
        EXPECT_EQ(o.result.AnchorAtPoint, "two");
        EXPECT_EQ(o.result.AnchorNumberAtPoint, 2);
    }
}

TEST(DrawMarkup, FocusRectangleFollowsAnAnchorOverTwoLines)
{
    TestCanvas canvas;
    TMarkupRequest request = MarkupPaintProfile();
    request.FocusAnchor = 0;
    Layout(canvas, "xx <A href=\"f\">aaaa bbbb</A>", request, TRect{0, 0, 50, 100});
    const auto focus = canvas.Of(TCanvasCall::kFocus);
    ASSERT_EQ(focus.size(), 2u) << canvas.Log();
    EXPECT_EQ(focus[0].Rect, (TRect{18, 0, 1 + 18 + 30 + 1, kLine}));
    EXPECT_EQ(focus[1].Rect, (TRect{1, kLine, 1 + 24 + 1, 2 * kLine}));
}

TEST(DrawMarkup, HoverStyleMarksOnlyTheHoveredAnchor)
{
    TestCanvas canvas;
    TMarkupRequest request = MarkupPaintProfile();
    request.HoverStyle = true;
    request.HoverAnchor = 2;
    request.HoverFontColor = 0x0000FF00;
    request.HoverBrushColor = 0x00FFFF00;
    Layout(canvas, "<A href=\"1\">one</A> <A href=\"2\">two</A> after", request);
    const TCanvasCall one = DrawnText(canvas, "one");
    const TCanvasCall two = DrawnText(canvas, "two");
    const TCanvasCall after = DrawnText(canvas, "after");
    EXPECT_FALSE(one.Font.Style & fsUnderline);
    EXPECT_EQ(one.Font.Color, 0x00FF0000u);
    EXPECT_TRUE(two.Font.Style & fsUnderline);
    EXPECT_EQ(two.Font.Color, 0x0000FF00u);
    EXPECT_EQ(two.Brush, 0x00FFFF00u);
    EXPECT_EQ(after.Brush, clNone);
    EXPECT_EQ(after.Font.Color, canvas.Font().Color);
}

TEST(DrawMarkup, NestedListBulletsAndText)
{
    const std::string text = "<UL><LI>one<UL><LI>two</UL></UL>";
    TestCanvas canvas;
    const Outcome o = Layout(canvas, text, MarkupPaintProfile());
    const TCanvasCall bullet = DrawnText(canvas, "\xB7");
    const TCanvasCall circle = DrawnText(canvas, "o");
    EXPECT_EQ(bullet.Font.Name, "Symbol");
    EXPECT_EQ(circle.Font.Name, "Symbol");
    EXPECT_EQ(bullet.Rect.Left - 1, 0);
    EXPECT_EQ(DrawnText(canvas, "one").Rect.Left - 1, 12);
    EXPECT_EQ(DrawnText(canvas, "one").Font.Name, "MS Sans Serif");
    EXPECT_EQ(circle.Rect.Left - 1, 12);
    EXPECT_EQ(DrawnText(canvas, "two").Rect.Left - 1, 24);
    EXPECT_EQ(DrawnText(canvas, "two").Rect.Top, 2 * kLine);  // "<UL>" ends its own line
    EXPECT_EQ(o.result.Width, 24 + 18 + 2);

    // Measuring lays the same list out the same way.
    TestCanvas measuring;
    const Outcome m = Layout(measuring, text, MarkupHitTestProfile(0, 0, true));
    EXPECT_EQ(m.result.Width, o.result.Width);
    EXPECT_EQ(m.result.Height, o.result.Height);
}

TEST(DrawMarkup, SecondListItemOnALineBeginsTheNextLine)
{
    TestCanvas canvas;
    const Outcome o = Layout(canvas, "<UL><LI>a<LI>b</UL>", MarkupPaintProfile());
    EXPECT_EQ(DrawnText(canvas, "a").Rect.Top, kLine);
    EXPECT_EQ(DrawnText(canvas, "b").Rect.Top, 2 * kLine);
    EXPECT_EQ(DrawnText(canvas, "b").Rect.Left, 13);
    EXPECT_EQ(o.result.Width, 12 + 6 + 2);
}

TEST(DrawMarkup, FontTagFaceSizeAndColour)
{
    const std::string text = "<FONT face=\"arial\" size=\"3\" color=\"#ff0000\">x</FONT>y";
    {
        TestCanvas canvas;
        const Outcome o = Layout(canvas, text, MarkupPaintProfile());
        const TCanvasCall x = DrawnText(canvas, "x");
        EXPECT_EQ(x.Font.Name, "ARIAL");
        EXPECT_EQ(x.Font.Size, 12);
        EXPECT_EQ(x.Font.Color, 0x000000FFu);
        const TCanvasCall y = DrawnText(canvas, "y");
        EXPECT_EQ(y.Font.Name, "MS Sans Serif");
        EXPECT_EQ(y.Font.Size, 8);
        EXPECT_EQ(y.Font.Color, canvas.Font().Color);
        EXPECT_EQ(o.result.Height, 12 + 5);  // the line is as high as its tallest piece
    }
    {
        struct Case {
            const char* size;
            int points;
        } sizes[] = {{"1", 8}, {"2", 10}, {"4", 14}, {"5", 16}, {"20", 20}, {"\"7\"", 7}};
        for (const Case& c : sizes) {
            TestCanvas canvas;
            Layout(canvas, std::string("<FONT size=") + c.size + ">x", MarkupPaintProfile());
            EXPECT_EQ(DrawnText(canvas, "x").Font.Size, c.points) << c.size;
        }
    }
    {
        // KeepColours ignores the markup's colours, the link colour included.
        TestCanvas canvas;
        TMarkupRequest request = MarkupPaintProfile();
        request.KeepColours = true;
        Layout(canvas, "<FONT color=\"clred\" bgcolor=\"clyellow\">x</FONT><A href=\"l\">y</A>", request);
        EXPECT_EQ(DrawnText(canvas, "x").Font.Color, canvas.Font().Color);
        EXPECT_EQ(DrawnText(canvas, "x").Brush, clNone);
        EXPECT_EQ(DrawnText(canvas, "y").Font.Color, canvas.Font().Color);
        EXPECT_TRUE(DrawnText(canvas, "y").Font.Style & fsUnderline);
    }
}

TEST(DrawMarkup, StylesShadowAndErrorMark)
{
    TestCanvas canvas;
    Layout(canvas, "<B>b</B><I>i</I><U>u</U><S>s</S><SH>sh</SH><E>ab</E>", MarkupPaintProfile());
    EXPECT_EQ(DrawnText(canvas, "b").Font.Style, fsBold);
    EXPECT_EQ(DrawnText(canvas, "i").Font.Style, fsItalic);
    EXPECT_EQ(DrawnText(canvas, "u").Font.Style, fsUnderline);
    EXPECT_EQ(DrawnText(canvas, "s").Font.Style, fsStrikeOut);

    // The shadow first, offset by one in grey, then the text itself.
    std::vector<TCanvasCall> shadow;
    for (const auto& c : Drawn(canvas))
        if (c.Text == "sh") shadow.push_back(c);
    ASSERT_EQ(shadow.size(), 2u);
    EXPECT_EQ(shadow[0].Font.Color, 0x00808080u);
    EXPECT_EQ(shadow[0].Rect.Left, shadow[1].Rect.Left + 1);
    EXPECT_EQ(shadow[0].Rect.Bottom, shadow[1].Rect.Bottom + 1);
    EXPECT_EQ(shadow[1].Font.Color, canvas.Font().Color);

    // "ab" runs from x 38 (1 + 7 + 6 + 6 + 6 + 12) to 50: a red zigzag one pixel
    // above and below the line bottom.
    const int left = DrawnText(canvas, "ab").Rect.Left;
    ASSERT_EQ(left, 38);
    const auto lines = canvas.Of(TCanvasCall::kLine);
    ASSERT_EQ(lines.size(), 6u) << canvas.Log();
    EXPECT_EQ(lines[0].X, 38);
    EXPECT_EQ(lines.back().X2, 50);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].Pen, 0x000000FFu);
        EXPECT_EQ(lines[i].X2, lines[i].X + 2);
        EXPECT_NE(lines[i].Y, lines[i].Y2);
        EXPECT_TRUE(lines[i].Y2 == kLine - 1 || lines[i].Y2 == kLine + 1);
    }
}

TEST(DrawMarkup, HighlightBlinkAndRotation)
{
    TestCanvas canvas;
    canvas.SetBrushColor(0x00ABCDEF);
    const TColor text = canvas.Font().Color;
    Layout(canvas, "<HI>h</HI>a<BL>b</BL>c<R a=\"90\">r</R>d", MarkupPaintProfile());
    EXPECT_EQ(DrawnText(canvas, "h").Font.Color, 0xFF00000Eu);
    EXPECT_EQ(DrawnText(canvas, "h").Brush, 0xFF00000Du);
    EXPECT_EQ(DrawnText(canvas, "a").Font.Color, text);
    EXPECT_EQ(DrawnText(canvas, "a").Brush, clNone);
    // Blinking text in its hidden phase takes the background's colour.
    EXPECT_EQ(DrawnText(canvas, "b").Font.Color, 0x00ABCDEFu);
    EXPECT_EQ(DrawnText(canvas, "c").Font.Color, text);
    EXPECT_EQ(DrawnText(canvas, "r").Font.Escapement, 900);
    EXPECT_EQ(DrawnText(canvas, "d").Font.Escapement, 0);

    TestCanvas visible;
    TMarkupRequest request = MarkupPaintProfile();
    request.BlinkVisible = true;
    Layout(visible, "<BL>b", request);
    EXPECT_EQ(DrawnText(visible, "b").Font.Color, text);
}

TEST(DrawMarkup, SubscriptAddsItsAllowanceToTheLine)
{
    TestCanvas canvas;
    const Outcome o = Layout(canvas, "a<SUB>b</SUB><BR>c", MarkupPaintProfile());
    const int allowance = kLine / 4;
    EXPECT_EQ(o.result.Height, 2 * kLine + allowance);
    EXPECT_EQ(DrawnText(canvas, "a").Rect.Bottom, kLine);
    EXPECT_EQ(DrawnText(canvas, "b").Rect.Bottom, kLine + allowance);
    EXPECT_EQ(DrawnText(canvas, "c").Rect.Top, kLine + allowance);
}

TEST(DrawMarkup, RuleAndMalformedTags)
{
    {
        TestCanvas canvas;
        const Outcome o = Layout(canvas, "above<HR>below", MarkupPaintProfile());
        const auto lines = canvas.Of(TCanvasCall::kLine);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].Pen, clBlack);
        EXPECT_EQ(lines[0].Y, kLine + 1);
        EXPECT_EQ(lines[0].X2, 200);
        EXPECT_EQ(o.result.PlainText, "abovebelow");
        EXPECT_EQ(DrawnText(canvas, "below").Rect.Top, kLine);
    }
    struct Case {
        const char* text;
        const char* plain;
    } cases[] = {
        {"abc<", "abc"},              // a lone "<" at the end is dropped
        {"abc<b", "abc"},             // and one with a single character
        {"abc<FONT color=\"red\" x", "abc"},  // no ">": the rest is swallowed
        {"a<QQ>b</Q>c", "abc"},       // unknown tags have no effect
        {"a</B", "a"},
    };
    for (const Case& c : cases) {
        TestCanvas canvas;
        const Outcome o = Layout(canvas, c.text, MarkupPaintProfile());
        EXPECT_EQ(o.result.PlainText, c.plain) << c.text;
    }
}

}  // namespace
}  // namespace dupd
