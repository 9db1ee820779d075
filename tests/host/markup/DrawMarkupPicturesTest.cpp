// The markup engine's pictures, backgrounds, offsets and the agreement of its
// profiles, on the recording test canvas.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MarkupLayout.h"
#include "TestCanvas.h"
#include "markup/DrawMarkup.h"

namespace dupd {
namespace {

class PictureTest : public ::testing::Test {
protected:
    TestCanvas canvas;
    FakeImageList list{3, 16, 16};
    TMarkupRequest Paint()
    {
        TMarkupRequest r = MarkupPaintProfile();
        r.ImageList = &list;
        return r;
    }
};

TEST_F(PictureTest, ListPictureIsPlacedAndRaisesTheLine)
{
    const Outcome o = Layout(canvas, "ab<IMG src=\"idx:1\">cd", Paint());
    const auto images = canvas.Of(TCanvasCall::kImage);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].Index, 1);
    EXPECT_EQ(images[0].X, 1 + 12);
    EXPECT_EQ(images[0].Y, 0);
    EXPECT_EQ(DrawnText(canvas, "cd").Rect.Left, 1 + 12 + 16);
    EXPECT_EQ(DrawnText(canvas, "cd").Rect.Bottom, 16);
    EXPECT_EQ(o.result.Height, 16);
    EXPECT_EQ(o.result.Width, 12 + 16 + 12 + 2);
}

TEST_F(PictureTest, PictureThatDoesNotFitBesideTextBeginsTheNextLine)
{
    const Outcome o = Layout(canvas, "aaaaa<IMG src=\"IDX:0\">", Paint(), TRect{0, 0, 41, 100});
    const auto images = canvas.Of(TCanvasCall::kImage);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].X, 1);
    EXPECT_EQ(images[0].Y, kLine);
    EXPECT_EQ(o.result.Height, kLine + 16);
}

TEST_F(PictureTest, PictureWiderThanTheLineStaysOnTheCurrentLine)
{
    FakeImageList wide(1, 50, 20);
    TMarkupRequest request = Paint();
    request.ImageList = &wide;
    const Outcome o = Layout(canvas, "aa<IMG src=\"IDX:0\">", request, TRect{0, 0, 41, 100});
    const auto images = canvas.Of(TCanvasCall::kImage);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].X, 13);
    EXPECT_EQ(images[0].Y, 0);
    EXPECT_EQ(o.result.Height, 20);
}

TEST_F(PictureTest, AlignTopRaisesTheTextAndWrapLetsThePictureOverlap)
{
    FakeImageList big(1, 32, 32);
    TMarkupRequest request = Paint();
    request.ImageList = &big;
    {
        Layout(canvas, "<IMG src=\"IDX:0\" align=\"top\">text", request);
        EXPECT_EQ(DrawnText(canvas, "text").Rect.Bottom, kLine);
    }
    {
        TestCanvas plain;
        Layout(plain, "<IMG src=\"IDX:0\">text", request);
        EXPECT_EQ(DrawnText(plain, "text").Rect.Bottom, 32);
    }
    {
        TestCanvas middle;
        Layout(middle, "<IMG src=\"IDX:0\" align=\"middle\">text", request);
        EXPECT_EQ(DrawnText(middle, "text").Rect.Bottom, 32 - (32 - kLine) / 2);
    }
    TMarkupRequest measuring = MarkupHitTestProfile(0, 0, true);
    measuring.ImageList = &big;
    for (bool measureOnly : {false, true}) {
        TestCanvas wrap;
        const Outcome o = Layout(wrap, "<IMG src=\"IDX:0\" wrap>text<BR>next", measureOnly ? measuring : request);
        EXPECT_EQ(o.result.Height, 2 * kLine) << measureOnly;
        if (!measureOnly) EXPECT_EQ(DrawnText(wrap, "next").Rect.Top, kLine);
    }
}

TEST_F(PictureTest, SizesFollowThePixelsPerInch)
{
    canvas.PpiX = 144;
    canvas.PpiY = 192;
    const Outcome o = Layout(canvas, "<IMG src=\"IDX:0\">x", Paint());
    EXPECT_EQ(DrawnText(canvas, "x").Rect.Left, 1 + 24);
    EXPECT_EQ(o.result.Height, 32);
}

TEST_F(PictureTest, UnresolvedSourcesTakeNoRoom)
{
    for (const char* text : {"a<IMG src=\"IDX:3\">b", "a<IMG src=\"logo\">b", "a<IMG src=\"http://x/y.gif\">b",
                             "a<IMG>b", "a<IMG src=logo>b"}) {
        TestCanvas c;
        const Outcome o = Layout(c, text, Paint());
        EXPECT_EQ(DrawnText(c, "b").Rect.Left, 7) << text;
        EXPECT_EQ(o.result.Height, kLine) << text;
        EXPECT_TRUE(c.Of(TCanvasCall::kImage).empty()) << text;
    }
}

TEST_F(PictureTest, SystemIconsSmallAndLarge)
{
    canvas.IconIndexes["C:\\Windows"] = 7;
    Layout(canvas, "<IMG src=\"SSYS:C:\\Windows\"><IMG src=\"LSYS:12\">x", Paint());
    const auto icons = canvas.Of(TCanvasCall::kIcon);
    ASSERT_EQ(icons.size(), 2u);
    EXPECT_EQ(icons[0].Index, 7);
    EXPECT_FALSE(icons[0].Large);
    EXPECT_EQ(icons[0].X, 1);
    EXPECT_EQ(icons[1].Index, 12);
    EXPECT_TRUE(icons[1].Large);
    EXPECT_EQ(icons[1].X, 1 + 16);
    EXPECT_EQ(DrawnText(canvas, "x").Rect.Left, 1 + 16 + 32);
}

TEST_F(PictureTest, CacheLoadsOnceAndContainerPicturesStretch)
{
    FakePictureCache cache;
    cache.Loadable["RES://LOGO"] = {40, 20};
    FakePictureContainer container;
    container.Add("banner", 30, 10);
    TMarkupRequest request = Paint();
    request.PictureCache = &cache;
    request.PictureContainer = &container;
    const std::string text =
        "<IMG src=\"RES://LOGO\"><IMG src=\"RES://LOGO\"><IMG src=\"http://web/x.png\">"
        "<IMG src=\"banner\" width=\"60\" height=\"5\">x";
    const Outcome o = Layout(canvas, text, request);
    EXPECT_EQ(cache.Loads, (std::vector<std::string>{"RES://LOGO", "http://web/x.png"}));
    const auto graphics = canvas.Of(TCanvasCall::kGraphic);
    ASSERT_EQ(graphics.size(), 3u) << canvas.Log();
    EXPECT_EQ(graphics[0].Rect, (TRect{1, 0, 41, 20}));
    EXPECT_EQ(graphics[1].Rect, (TRect{41, 0, 81, 20}));
    EXPECT_EQ(graphics[2].Text, "banner");
    EXPECT_TRUE(graphics[2].Stretch);
    EXPECT_EQ(graphics[2].Rect, (TRect{81, 0, 141, 5}));
    EXPECT_EQ(DrawnText(canvas, "x").Rect.Left, 141);
    EXPECT_EQ(o.result.Height, 20);
}

TEST_F(PictureTest, AnchoredPictureIsHitInBothProfiles)
{
    const std::string text = "ab <A href=\"pic\"><IMG src=\"IDX:0\"></A> cd <A href=\"after\">x</A>";
    TMarkupRequest request = MarkupHitTestProfile(1 + 18 + 8, 8, false);
    request.ImageList = &list;
    const Outcome o = Layout(canvas, text, request);
    EXPECT_TRUE(o.hit);
    EXPECT_EQ(o.result.AnchorAtPoint, "pic");

    TMarkupRequest after = MarkupHitTestProfile(1 + 18 + 16 + 6 + 18 + 3, 8, false);
    after.ImageList = &list;
    TestCanvas second;
    const Outcome a = Layout(second, text, after);
    EXPECT_TRUE(a.hit);
    EXPECT_EQ(a.result.AnchorAtPoint, "after");
    EXPECT_EQ(a.result.AnchorNumberAtPoint, 2);
}

TEST_F(PictureTest, HoveredPictureShowsItsAltSource)
{
    // The first pass finds the point on the picture; the drawing pass of the same
    // line then shows the ALT picture, and pictures after it keep their own.
    const std::string text =
        "<A href=\"p\"><IMG src=\"IDX:0\" alt=\"idx:2\"></A><IMG src=\"IDX:1\" alt=\"IDX:2\">";
    TMarkupRequest request = Paint();
    request.PointX = 8;
    request.PointY = 8;
    const Outcome o = Layout(canvas, text, request);
    EXPECT_TRUE(o.hit);
    const auto images = canvas.Of(TCanvasCall::kImage);
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].Index, 2);
    EXPECT_EQ(images[1].Index, 1);

    TestCanvas away;
    request.PointX = 100;
    Layout(away, text, request);
    ASSERT_EQ(away.Of(TCanvasCall::kImage).size(), 2u);
    EXPECT_EQ(away.Of(TCanvasCall::kImage)[0].Index, 0);
}

TEST(DrawMarkup, ParagraphBackgroundOnEveryLineUntilItCloses)
{
    TestCanvas canvas;
    Layout(canvas, "<P bgcolor=\"clred\">one<BR>two<BR>three</P>four", MarkupPaintProfile());
    const auto fills = canvas.Of(TCanvasCall::kFill);
    ASSERT_EQ(fills.size(), 3u) << canvas.Log();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(fills[i].Brush, 0x000000FFu);
        EXPECT_EQ(fills[i].Rect, (TRect{0, i * kLine, 200, (i + 1) * kLine}));
    }
    EXPECT_EQ(DrawnText(canvas, "four").Brush, clNone);
    EXPECT_EQ(DrawnText(canvas, "four").Rect.Top, 3 * kLine);

    // Measuring and hit-testing paint nothing.
    TestCanvas measuring;
    Layout(measuring, "<P bgcolor=\"clred\">one<BR>two</P>", MarkupHitTestProfile(0, 0, false));
    EXPECT_TRUE(measuring.Of(TCanvasCall::kFill).empty());
}

TEST(DrawMarkup, BodyGradientIn64Bands)
{
    struct Case {
        const char* dir;
        bool horizontal;
    } cases[] = {{"", true}, {" dir=\"H\"", true}, {" dir=\"V\"", false}};
    const TRect bounds{0, 0, 128, 64};
    for (const Case& c : cases) {
        TestCanvas canvas;
        Layout(canvas, std::string("<BODY bgcolor=\"#000000\" bgcolorto=\"#FF0000\"") + c.dir + ">x",
            MarkupPaintProfile(), bounds);
        const auto fills = canvas.Of(TCanvasCall::kFill);
        ASSERT_EQ(fills.size(), 64u) << c.dir;
        EXPECT_EQ(fills.front().Brush, 0x00000000u);
        EXPECT_EQ(fills.back().Brush, 0x000000FBu);  // 63/64 of the way to red
        if (c.horizontal) {
            EXPECT_EQ(fills[1].Rect, (TRect{2, 0, 5, 64})) << c.dir;
        } else {
            EXPECT_EQ(fills[1].Rect, (TRect{0, 1, 128, 3})) << c.dir;
        }
        // The text is drawn over the gradient with a transparent brush.
        EXPECT_EQ(DrawnText(canvas, "x").Brush, clNone);
    }
    // Plain body colour fills the rectangle from 2 px left of it; KeepColours keeps it off.
    TestCanvas plain;
    Layout(plain, "<BODY bgcolor=\"clyellow\">x", MarkupPaintProfile(), bounds);
    const auto fills = plain.Of(TCanvasCall::kFill);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].Rect, (TRect{-2, 0, 128, 64}));
    EXPECT_EQ(DrawnText(plain, "x").Brush, 0x0000FFFFu);
    TestCanvas kept;
    TMarkupRequest request = MarkupPaintProfile();
    request.KeepColours = true;
    Layout(kept, "<BODY bgcolor=\"clyellow\" bgcolorto=\"clred\">x", request, bounds);
    EXPECT_TRUE(kept.Of(TCanvasCall::kFill).empty());
}

TEST(DrawMarkup, BodyPicturesAreClippedToTheBounds)
{
    TestCanvas canvas;
    FakePictureContainer container;
    container.Add("tile", 50, 40);
    container.Add("corner", 10, 10);
    TMarkupRequest request = MarkupPaintProfile();
    request.PictureContainer = &container;
    Layout(canvas, "<BODY background=\"tile\" bgtopright=\"corner\">x", request, TRect{0, 0, 120, 60});
    const auto graphics = canvas.Of(TCanvasCall::kGraphic);
    ASSERT_EQ(graphics.size(), 3u * 2u + 1u);
    EXPECT_EQ(graphics[5].Rect, (TRect{100, 40, 150, 80}));
    EXPECT_EQ(graphics[6].Rect, (TRect{110, 0, 120, 10}));
    EXPECT_EQ(canvas.Of(TCanvasCall::kClip).size(), 2u);
    EXPECT_EQ(canvas.Of(TCanvasCall::kClearClip).size(), 2u);
}

TEST(DrawMarkup, BodyTilesCoverWhatIsVisibleOfTheBoundsAndNoMore)
{
    FakePictureContainer container;
    container.Add("dot", 1, 1);
    container.Add("tile", 50, 40);
    TMarkupRequest request = MarkupPaintProfile();
    request.PictureContainer = &container;
    {
        // More tiles than any fixed limit would allow: the last row and column too.
        TestCanvas canvas;
        Layout(canvas, "<BODY background=\"dot\">x", request, TRect{0, 0, 400, 300});
        const auto graphics = canvas.Of(TCanvasCall::kGraphic);
        ASSERT_EQ(graphics.size(), 400u * 300u);
        EXPECT_EQ(graphics.back().Rect, (TRect{399, 299, 400, 300}));
    }
    {
        // A paint of part of the window draws the tiles of that part, on the grid
        // that starts at the bounds' corner.
        TestCanvas canvas;
        canvas.VisibleArea = TRect{120, 50, 180, 70};
        Layout(canvas, "<BODY background=\"tile\">x", request, TRect{0, 0, 400, 300});
        const auto graphics = canvas.Of(TCanvasCall::kGraphic);
        ASSERT_EQ(graphics.size(), 2u) << canvas.Log();
        EXPECT_EQ(graphics[0].Rect, (TRect{100, 40, 150, 80}));
        EXPECT_EQ(graphics[1].Rect, (TRect{150, 40, 200, 80}));
    }
}

TEST(DrawMarkup, OffsetAndIndentTags)
{
    TestCanvas canvas;
    Layout(canvas, "<OF x=\"30\">ab<BR>cd</OF><BR>ef<IN x=\"50\">gh", MarkupPaintProfile());
    EXPECT_EQ(DrawnText(canvas, "ab").Rect.Left, 30);   // its own line: the bare value
    EXPECT_EQ(DrawnText(canvas, "cd").Rect.Left, 31);   // following lines: from their left
    EXPECT_EQ(DrawnText(canvas, "ef").Rect.Left, 1);
    EXPECT_EQ(DrawnText(canvas, "gh").Rect.Left, 50);
}

TEST(DrawMarkup, ProfilesAgreeOnLayout)
{
    // The same text measured, hit-tested and painted must come out equally wide
    // and high, and count its anchors the same.
    const std::string text =
        "Start <B>bold <A href=\"a\">anchor one</A></B> and <I>italic</I> words that wrap "
        "<UL><LI>item <A href=\"b\">two</A><UL><LI>nested</UL><LI>three</UL><P align=\"center\">centred "
        "<A href=\"c\">three</A> text <Z>hidden <A href=\"z\">z</A></Z>end</P><HR>tail";
    TestCanvas measure, hit, paint;
    const Outcome m = Layout(measure, text, MarkupHitTestProfile(0, 0, true), TRect{0, 0, 120, 1000});
    const Outcome h = Layout(hit, text, MarkupHitTestProfile(0, 0, false), TRect{0, 0, 120, 1000});
    const Outcome p = Layout(paint, text, MarkupPaintProfile(), TRect{0, 0, 120, 1000});
    EXPECT_EQ(m.result.Width, p.result.Width);
    EXPECT_EQ(m.result.Height, p.result.Height);
    EXPECT_EQ(h.result.Height, p.result.Height);
    EXPECT_EQ(m.result.AnchorCount, 4);
    EXPECT_EQ(h.result.AnchorCount, 4);
    EXPECT_EQ(p.result.AnchorCount, 4);
    EXPECT_EQ(m.result.PlainText, p.result.PlainText);
}

}  // namespace
}  // namespace dupd
