// The markup pictures and the engine on the GDI canvas against the real API:
// everything is drawn on a white page whose pixels the tests read back.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "markup/DrawMarkup.h"
#include "markup/win32/GdiCanvas.h"
#include "markup/win32/MarkupPicture.h"
#include "tests/support/TinyGif.h"
#include "tests/support/win32/Files.h"
#include "tests/win/GdiSurface.h"
#include "winenv/win32/Handle.h"

namespace {

using namespace dupd;
using namespace gdi_test;

// An uncompressed 24-bit bitmap file of one colour.
ByteVector SolidBmp(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    const int stride = (width * 3 + 3) & ~3;
    const std::uint32_t pixels = static_cast<std::uint32_t>(stride * height);
    ByteVector out;
    auto put16 = [&](std::uint32_t v) {
        out.push_back(v & 0xFF);
        out.push_back((v >> 8) & 0xFF);
    };
    auto put32 = [&](std::uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    out.push_back('B');
    out.push_back('M');
    put32(54 + pixels);
    put32(0);
    put32(54);
    put32(40);
    put32(static_cast<std::uint32_t>(width));
    put32(static_cast<std::uint32_t>(height));
    put16(1);
    put16(24);
    put32(0);
    put32(pixels);
    put32(2835);
    put32(2835);
    put32(0);
    put32(0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            out.push_back(b);
            out.push_back(g);
            out.push_back(r);
        }
        for (int p = width * 3; p < stride; ++p) out.push_back(0);
    }
    return out;
}

const std::vector<testgif::Rgb> kGifPalette = {{255, 255, 255}, {255, 0, 0}, {0, 0, 255}, {0, 160, 0}};

// ---------------------------------------------------------------- pictures

TEST(MarkupPicture, DecodesABitmapAndDrawsItAtNaturalSizeOrStretched)
{
    TMarkupPicture picture;
    int changes = 0;
    picture.OnChange = [&](TMarkupPicture&) { ++changes; };
    EXPECT_TRUE(picture.Empty());
    EXPECT_EQ(picture.Width(), 0);

    const ByteVector bmp = SolidBmp(6, 4, 255, 0, 0);
    std::istringstream in(std::string(bmp.begin(), bmp.end()));
    picture.LoadFromStream(&in);
    EXPECT_EQ(changes, 1);
    ASSERT_FALSE(picture.Empty());
    EXPECT_EQ(picture.Width(), 6);
    EXPECT_EQ(picture.Height(), 4);
    EXPECT_EQ(picture.LayoutWidth(), 6) << "not a GIF: the picture's own size";
    EXPECT_EQ(picture.FrameCount(), -1);

    Surface s(100, 100);
    GdiCanvas canvas(s.dc());
    picture.Draw(canvas, TRect{10, 20, 90, 90});
    EXPECT_EQ(s.Count(s.All(), [](const Pixel& p) { return p.Reddish(); }), 6 * 4);
    EXPECT_TRUE(s.At(10, 20).Reddish());
    EXPECT_TRUE(s.At(15, 23).Reddish());

    s.Clear();
    picture.SetStretch(true);
    picture.Draw(canvas, TRect{10, 20, 40, 40});
    EXPECT_EQ(s.Count(s.All(), [](const Pixel& p) { return p.Reddish(); }), 30 * 20);

    std::ostringstream out;
    picture.SaveToStream(out);
    EXPECT_EQ(out.str(), std::string(bmp.begin(), bmp.end()));
}

TEST(MarkupPicture, PixelsPerInchScaleTheReportedSize)
{
    TMarkupPicture picture;
    picture.LoadFromBytes(SolidBmp(96, 48, 0, 0, 0));
    picture.SetPixelsPerInch(192, 48);
    EXPECT_EQ(picture.Width(), 192);
    EXPECT_EQ(picture.Height(), 24);
}

TEST(MarkupPicture, UndecodableDataRaisesTheLoaderMessage)
{
    TMarkupPicture picture;
    const ByteVector junk = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'};
    try {
        picture.LoadFromBytes(junk);
        FAIL() << "no error for junk";
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "Could not load image. Invalid format");
    }
    EXPECT_FALSE(picture.Decoded());

    std::istream* none = nullptr;
    picture.LoadFromStream(none);  // nothing happens
}

TEST(MarkupPicture, FileLoadsNeverFailButLeaveThePictureEmpty)
{
    support::ScratchDir dir("picture");
    const ByteVector bmp = SolidBmp(3, 3, 0, 0, 255);
    support::WriteWholeFile(dir.File("good.bmp"), std::string(bmp.begin(), bmp.end()));
    support::WriteWholeFile(dir.File("junk.bmp"), "certainly not a picture");

    struct Case {
        std::string path;
        bool loaded;
    };
    const Case cases[] = {
        {dir.File("good.bmp"), true},
        {dir.File("junk.bmp"), false},
        {dir.File("missing.bmp"), false},
    };
    for (const Case& c : cases) {
        TMarkupPicture picture;
        picture.LoadFromBytes(SolidBmp(2, 2, 0, 0, 0));  // a previous picture is dropped on failure
        EXPECT_NO_THROW(picture.LoadFromFile(c.path)) << c.path;
        EXPECT_EQ(!picture.Empty(), c.loaded) << c.path;
        EXPECT_EQ(picture.Decoded(), c.loaded) << c.path;
        if (c.loaded) EXPECT_EQ(picture.Width(), 3);
    }

    TMarkupPicture byUrl;
    byUrl.LoadFromURL("file://" + dir.File("good.bmp"));
    EXPECT_FALSE(byUrl.Empty());
    EXPECT_EQ(byUrl.Width(), 3);
    EXPECT_EQ(byUrl.SourceURL(), "file://" + dir.File("good.bmp"));
}

TEST(MarkupPicture, ShowsTheSelectedFrameOfAnAnimatedGif)
{
    // Frame 1 red, frame 2 blue, both covering the whole 8 x 8 screen.
    const auto gif = testgif::Build(8, 8, kGifPalette, {testgif::Frame{0, 0, 8, 8, 1}, testgif::Frame{0, 0, 8, 8, 2}});
    TMarkupPicture picture;
    int frameChanges = 0;
    picture.OnFrameChange = [&](TMarkupPicture&) { ++frameChanges; };
    picture.LoadFromBytes(gif.bytes);
    EXPECT_EQ(picture.FrameCount(), 2);
    EXPECT_EQ(picture.Width(), 8);
    EXPECT_EQ(picture.LayoutWidth(), 8);

    Surface s(40, 40);
    GdiCanvas canvas(s.dc());
    picture.Draw(canvas, TRect{0, 0, 40, 40});
    EXPECT_EQ(s.Count(s.All(), [](const Pixel& p) { return p.Reddish(); }), 64);
    EXPECT_EQ(s.Count(s.All(), [](const Pixel& p) { return p.Bluish(); }), 0);

    picture.SetFrame(2);
    EXPECT_EQ(frameChanges, 1);
    s.Clear();
    picture.Draw(canvas, TRect{0, 0, 40, 40});
    EXPECT_EQ(s.Count(s.All(), [](const Pixel& p) { return p.Bluish(); }), 64);
    EXPECT_EQ(s.Count(s.All(), [](const Pixel& p) { return p.Reddish(); }), 0);
}

TEST(MarkupPicture, AFrameInsideTheScreenReportsItsPlaceAndTheScreenSize)
{
    const auto gif = testgif::Build(20, 12, kGifPalette,
                                    {testgif::Frame{0, 0, 20, 12, 1}, testgif::Frame{5, 3, 4, 2, 2},
                                     testgif::Frame{0, 0, 20, 12, 3}});
    TMarkupPicture picture;
    picture.LoadFromBytes(gif.bytes);
    EXPECT_EQ(picture.FrameCount(), 3);
    picture.SetFrame(2);
    EXPECT_EQ(picture.FrameOffsetX(), 5);
    EXPECT_EQ(picture.FrameOffsetY(), 3);
    EXPECT_EQ(picture.FrameWidth(), 4);
    EXPECT_EQ(picture.LayoutWidth(), 20);
    EXPECT_EQ(picture.LayoutHeight(), 12);
    EXPECT_TRUE(picture.Decoded());
}

TEST(MarkupPicture, LoadsTheProgramsOwnResourceByUrl)
{
    for (const char* url : {"RES://MARKUP_TEST_BMP", "res://markup_test_bmp"}) {
        TMarkupPicture picture;
        picture.LoadFromURL(url);
        ASSERT_FALSE(picture.Empty()) << url;
        EXPECT_EQ(picture.SourceURL(), url);
        EXPECT_EQ(picture.Width(), 4);
        EXPECT_EQ(picture.Height(), 4);

        Surface s(20, 20);
        GdiCanvas canvas(s.dc());
        picture.Draw(canvas, TRect{2, 2, 20, 20});
        EXPECT_EQ(s.Count(s.All(), [](const Pixel& p) { return p.Greenish(); }), 16) << url;
    }

    TMarkupPicture missing;
    missing.LoadFromURL("RES://NO_SUCH_PICTURE");
    EXPECT_TRUE(missing.Empty());
    EXPECT_EQ(missing.SourceURL(), "RES://NO_SUCH_PICTURE");

    TMarkupPicture junk;
    EXPECT_THROW(junk.LoadFromURL("RES://MARKUP_TEST_JUNK"), EInvalidGraphic);
}

TEST(MarkupPicture, OtherUrlsLoadNothing)
{
    TMarkupPicture synchronous;
    synchronous.SetAsynchronous(false);
    synchronous.LoadFromURL("http://example.invalid/picture.gif");
    EXPECT_TRUE(synchronous.Empty());
    EXPECT_EQ(synchronous.SourceURL(), "http://example.invalid/picture.gif");
    EXPECT_EQ(synchronous.RequestedURL(), "http://example.invalid/picture.gif");
    EXPECT_FALSE(synchronous.DownloadBusy());

    TMarkupPicture asynchronous;
    asynchronous.LoadFromURL("http://example.invalid/picture.gif");
    EXPECT_TRUE(asynchronous.Empty());
    EXPECT_TRUE(asynchronous.DownloadBusy());
    EXPECT_EQ(asynchronous.RequestedURL(), "http://example.invalid/picture.gif");
    EXPECT_EQ(asynchronous.SourceURL(), "");
    asynchronous.LoadFromURL("http://example.invalid/other.gif");
    EXPECT_EQ(asynchronous.RequestedURL(), "http://example.invalid/picture.gif") << "one download at a time";
}

TEST(MarkupPicture, AssignCopiesTheDataAndRestartsAtTheFirstFrame)
{
    const auto gif = testgif::Build(8, 8, kGifPalette, {testgif::Frame{0, 0, 8, 8, 1}, testgif::Frame{0, 0, 8, 8, 2}});
    TMarkupPicture source;
    source.LoadFromBytes(gif.bytes);

    TMarkupPicture copy;
    copy.LoadFromBytes(SolidBmp(2, 2, 0, 0, 0));
    copy.SetFrame(2);
    int changes = 0;
    copy.OnChange = [&](TMarkupPicture&) { ++changes; };
    copy.Assign(&source);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(copy.Frame(), 1);
    EXPECT_EQ(copy.Data(), gif.bytes);
    EXPECT_TRUE(copy.Decoded());
    EXPECT_EQ(copy.FrameCount(), 2);

    copy.Assign(nullptr);
    EXPECT_TRUE(copy.Empty());
    EXPECT_TRUE(copy.Data().empty());
    EXPECT_FALSE(copy.Decoded());
}

TEST(PictureCache, ReusesALoadedPictureAndKeepsUnloadableEntriesEmpty)
{
    TPictureCache cache;
    EXPECT_EQ(cache.Find("RES://MARKUP_TEST_BMP"), nullptr);
    IMarkupGraphic* first = cache.AddAndLoad("RES://MARKUP_TEST_BMP");
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(first->Empty());
    EXPECT_EQ(first->Width(), 4);
    EXPECT_EQ(cache.Find("RES://MARKUP_TEST_BMP"), first);
    EXPECT_EQ(cache.Find("res://MARKUP_TEST_BMP"), nullptr) << "lookups are case-sensitive";

    IMarkupGraphic* web = cache.AddAndLoad("http://example.invalid/logo.gif");
    ASSERT_NE(web, nullptr);
    EXPECT_TRUE(web->Empty());
    EXPECT_FALSE(cache.Item(1).DownloadBusy()) << "the cache loads synchronously";
    EXPECT_EQ(cache.Find("http://example.invalid/logo.gif"), web);

    IMarkupGraphic* junk = nullptr;
    EXPECT_NO_THROW(junk = cache.AddAndLoad("RES://MARKUP_TEST_JUNK"));
    ASSERT_NE(junk, nullptr);
    EXPECT_TRUE(junk->Empty());
    EXPECT_EQ(cache.Find("RES://MARKUP_TEST_JUNK"), junk);
    EXPECT_EQ(cache.Count(), 3u);
    EXPECT_EQ(cache.Find("RES://MARKUP_TEST_BMP"), first);
}

// ---------------------------------------------------------------- the engine on GDI

struct Box {
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;  // inclusive
    int count = 0;
    bool Empty() const { return count == 0; }
};

Box Where(const Surface& s, const TRect& r, const std::function<bool(const Pixel&)>& test)
{
    Box b;
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x)
            if (test(s.At(x, y))) {
                b.left = std::min(b.left, x);
                b.right = std::max(b.right, x);
                b.top = std::min(b.top, y);
                b.bottom = std::max(b.bottom, y);
                ++b.count;
            }
    return b;
}

TEST(DrawMarkupOnGdi, LinksAreDrawnInTheLinkColourAndHitWhereTheyAre)
{
    Surface s(400, 60);
    GdiCanvas canvas(s.dc());
    canvas.SetFont(TestFont(10));
    const TRect bounds{0, 0, 400, 60};
    const std::string text = "Plain words <A HREF=\"help:topic\">the link</A> after";
    const int linkStart = 1 + canvas.TextWidth("Plain words ");
    const int linkEnd = linkStart + canvas.TextWidth("the link");

    TMarkupResult painted;
    EXPECT_FALSE(DrawMarkup(canvas, text, bounds, MarkupPaintProfile(), painted));
    canvas.Flush();
    EXPECT_EQ(painted.AnchorCount, 1);

    const Box link = Where(s, s.All(), [](const Pixel& p) { return p.Bluish(); });
    ASSERT_GT(link.count, 20) << "the link is drawn in the link colour";
    EXPECT_GE(link.left, linkStart - 1);
    EXPECT_LE(link.right, linkEnd + 1);
    EXPECT_GE(link.right - link.left, (linkEnd - linkStart) * 3 / 4) << "underlined across its width";
    EXPECT_GT(s.Count(TRect{0, 0, linkStart - 1, 60}, [](const Pixel& p) { return p.Dark(); }), 10)
        << "plain text keeps the font colour";
    EXPECT_GT(s.Count(TRect{linkEnd + 2, 0, 400, 60}, [](const Pixel& p) { return p.Dark(); }), 10)
        << "the font colour comes back after the link";
    EXPECT_EQ(s.Count(TRect{linkEnd + 2, 0, 400, 60}, [](const Pixel& p) { return p.Bluish(); }), 0);

    // Hit-testing with the same metrics finds the link where it was drawn.
    const int midX = (link.left + link.right) / 2;
    const int midY = (link.top + link.bottom) / 2;
    TMarkupResult onLink;
    EXPECT_TRUE(DrawMarkup(canvas, text, bounds, MarkupHitTestProfile(midX, midY, false), onLink));
    EXPECT_EQ(onLink.AnchorAtPoint, "help:topic");
    EXPECT_EQ(onLink.AnchorNumberAtPoint, 1);
    TMarkupResult offLink;
    EXPECT_FALSE(DrawMarkup(canvas, text, bounds, MarkupHitTestProfile(linkStart / 2, midY, false), offLink));
    EXPECT_EQ(offLink.AnchorAtPoint, "");
}

TEST(DrawMarkupOnGdi, BulletsStandAtTheirListLevel)
{
    Surface s(300, 120);
    GdiCanvas canvas(s.dc());
    canvas.SetFont(TestFont(10));
    const int lineHeight = canvas.TextHeight("gh");
    TMarkupResult painted;
    DrawMarkup(canvas, "<UL><LI>One<UL><LI>Two</UL><LI>Three</UL>", TRect{0, 0, 300, 120}, MarkupPaintProfile(),
               painted);
    canvas.Flush();

    // Line 0 ends at the list tag, line 1 at the nested one; each item has a line.
    struct Case {
        const char* item;
        int line;
        int level;
    };
    const Case cases[] = {{"One", 1, 1}, {"Two", 2, 2}, {"Three", 3, 1}};
    EXPECT_EQ(painted.Height, 4 * lineHeight);
    EXPECT_EQ(s.NonWhite(TRect{0, 0, 300, lineHeight}), 0);
    for (const Case& c : cases) {
        const int top = c.line * lineHeight;
        const int bulletLeft = 1 + (c.level - 1) * 12;
        EXPECT_GT(s.NonWhite(TRect{bulletLeft, top, bulletLeft + 12, top + lineHeight}), 0) << c.item << ": bullet";
        if (c.level > 1) EXPECT_EQ(s.NonWhite(TRect{0, top, bulletLeft, top + lineHeight}), 0) << c.item;
        const Box text = Where(s, TRect{bulletLeft + 12, top, 300, top + lineHeight}, [](const Pixel& p) { return p.Dark(); });
        EXPECT_GT(text.count, 5) << c.item << ": text after the bullet";
        EXPECT_LT(text.right, bulletLeft + 12 + canvas.TextWidth(c.item) + 2) << c.item;
    }
}

TEST(DrawMarkupOnGdi, BodyGradientRunsAcrossTheBounds)
{
    struct Case {
        const char* markup;
        bool horizontal;
    };
    const Case cases[] = {
        {"<BODY BGCOLOR=\"#ff0000\" BGCOLORTO=\"#0000ff\">Text", true},
        {"<BODY BGCOLOR=\"clRed\" BGCOLORTO=\"clBlue\" DIR=\"V\">Text", false},
    };
    for (const Case& c : cases) {
        Surface s(256, 128);
        GdiCanvas canvas(s.dc());
        canvas.SetFont(TestFont(10));
        TMarkupResult painted;
        DrawMarkup(canvas, c.markup, s.All(), MarkupPaintProfile(), painted);
        const Pixel first = c.horizontal ? s.At(1, 100) : s.At(128, 1);
        const Pixel last = c.horizontal ? s.At(254, 100) : s.At(128, 126);
        const Pixel across = c.horizontal ? s.At(128, 126) : s.At(254, 100);
        EXPECT_TRUE(first.Reddish()) << c.markup;
        EXPECT_TRUE(last.Bluish()) << c.markup;
        const Pixel middle = c.horizontal ? s.At(128, 100) : s.At(128, 64);
        EXPECT_GT(middle.r, 64) << c.markup;
        EXPECT_GT(middle.b, 64) << c.markup;
        EXPECT_LT(middle.r, 192) << c.markup;
        // The other axis is uniform.
        EXPECT_EQ(c.horizontal ? s.At(128, 1).r : s.At(1, 64).r, c.horizontal ? across.r : middle.r) << c.markup;
    }

    // Measuring and hit-testing keep the markup's colours out.
    Surface s(256, 64);
    GdiCanvas canvas(s.dc());
    TMarkupResult measured;
    DrawMarkup(canvas, cases[0].markup, s.All(), MarkupHitTestProfile(5, 5, false), measured);
    EXPECT_EQ(s.NonWhite(s.All()), 0);
}

TEST(DrawMarkupOnGdi, ParagraphBackgroundFillsTheBandOfItsLines)
{
    Surface s(200, 60);
    GdiCanvas canvas(s.dc());
    canvas.SetFont(TestFont(10));
    const int lineHeight = canvas.TextHeight("gh");
    TMarkupResult painted;
    DrawMarkup(canvas, "<P BGCOLOR=\"#00ff00\">Green band</P>", s.All(), MarkupPaintProfile(), painted);
    EXPECT_TRUE(s.At(0, lineHeight / 2).Greenish());
    EXPECT_TRUE(s.At(199, lineHeight / 2).Greenish());
    EXPECT_EQ(s.Count(TRect{0, lineHeight + 2, 200, 60}, [](const Pixel& p) { return p.Greenish(); }), 0);
    EXPECT_GT(s.Count(TRect{0, 0, 200, lineHeight}, [](const Pixel& p) { return p.Dark(); }), 10);
}

TEST(DrawMarkupOnGdi, PicturesComeFromTheCacheAndSystemIcons)
{
    Surface s(200, 80);
    GdiCanvas canvas(s.dc());
    canvas.SetFont(TestFont(10));
    TPictureCache cache;
    TMarkupRequest paint = MarkupPaintProfile();
    paint.PictureCache = &cache;
    const std::string text = "<IMG SRC=\"RES://MARKUP_TEST_BMP\"><IMG SRC=\"http://example.invalid/x.gif\">";

    TMarkupResult first;
    DrawMarkup(canvas, text, s.All(), paint, first);
    ASSERT_EQ(cache.Count(), 2u);
    TMarkupPicture* loaded = cache.FindPicture("RES://MARKUP_TEST_BMP");
    ASSERT_NE(loaded, nullptr);
    const Box green = Where(s, s.All(), [](const Pixel& p) { return p.Greenish(); });
    EXPECT_EQ(green.count, 16);
    EXPECT_EQ(green.left, 1);
    EXPECT_EQ(green.top, 0);
    EXPECT_EQ(first.Width, 1 + 4 + 2 - 1) << "the web picture takes no room";

    s.Clear();
    TMarkupResult second;
    DrawMarkup(canvas, text, s.All(), paint, second);
    EXPECT_EQ(cache.Count(), 2u) << "the second call reuses the cached pictures";
    EXPECT_EQ(cache.FindPicture("RES://MARKUP_TEST_BMP"), loaded);
    EXPECT_EQ(s.Count(s.All(), [](const Pixel& p) { return p.Greenish(); }), 16);

    // A system icon named by path is drawn at the picture's place.
    s.Clear();
    TMarkupResult icon;
    DrawMarkup(canvas, "<IMG SRC=\"SSYS:" + WindowsFolder() + "\">", s.All(), paint, icon);
    const int size = canvas.SystemIconSize(false);
    EXPECT_GT(s.NonWhite(TRect{1, 0, 1 + size, size}), size);
    EXPECT_EQ(NonWhiteOutside(s, TRect{1, 0, 1 + size, size}), 0);
}

}  // namespace
