// The GDI canvas against the real API: what it draws, measured on a white page
// whose pixels the tests read back, and its shortcuts against the plain system
// calls they stand for.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "markup/DrawMarkup.h"
#include "markup/win32/GdiCanvas.h"
#include "tests/win/GdiSurface.h"
#include "winenv/win32/Handle.h"

namespace {

using namespace dupd;
using namespace gdi_test;

// ---------------------------------------------------------------- canvas: text

TEST(GdiCanvas, DrawsTextOnlyInsideItsRectangle)
{
    Surface s(300, 100);
    ASSERT_TRUE(s.ok());
    GdiCanvas canvas(s.dc());
    canvas.SetFont(TestFont());
    canvas.SetBackgroundTransparent();

    const int width = canvas.TextWidth("Markup text");
    const int height = canvas.TextHeight("Markup text");
    ASSERT_GT(width, 20);
    ASSERT_GT(height, 8);

    TRect r{40, 20, 40 + width, 20 + height};
    canvas.DrawText("Markup text", r, kLineFlags);
    canvas.Flush();
    EXPECT_GT(s.Count(r, [](const Pixel& p) { return p.Dark(); }), 20);
    EXPECT_EQ(NonWhiteOutside(s, r), 0);
}

TEST(GdiCanvas, CalculatingARectangleMeasuresWithoutDrawing)
{
    Surface s(300, 100);
    GdiCanvas canvas(s.dc());
    canvas.SetFont(TestFont());
    TRect r{10, 10, 290, 90};
    const int height = canvas.DrawText("Measured only", r, kLineFlags | dt::kCalcRect);
    EXPECT_EQ(r.Left, 10);
    EXPECT_EQ(r.Width(), canvas.TextWidth("Measured only"));
    EXPECT_EQ(height, canvas.TextHeight("Measured only"));
    EXPECT_EQ(s.NonWhite(s.All()), 0);

    // Drawn bottom-aligned, the answer is still the text's height.
    TRect drawn{10, 10, 290, 90};
    EXPECT_EQ(canvas.DrawText("Drawn", drawn, kLineFlags), canvas.TextHeight("Drawn"));
}

TEST(GdiCanvas, EndEllipsisCutsTextToItsRectangle)
{
    Surface s(300, 60);
    GdiCanvas canvas(s.dc());
    canvas.SetFont(TestFont());
    const std::string text = "A rather long piece of text that cannot fit";
    ASSERT_GT(canvas.TextWidth(text), 100);
    TRect r{0, 0, 100, 40};
    canvas.DrawText(text, r, kLineFlags | dt::kEndEllipsis);
    EXPECT_GT(s.NonWhite(TRect{0, 0, 100, 40}), 0);
    EXPECT_EQ(s.NonWhite(TRect{100, 0, 300, 60}), 0);
}

TEST(GdiCanvas, FontStateChangesTheMetrics)
{
    Surface s(10, 10);
    GdiCanvas canvas(s.dc());
    canvas.SetFont(TestFont(10));
    const int baseWidth = canvas.TextWidth("Wide words");
    const int baseHeight = canvas.TextHeight("gh");

    canvas.SetFont(TestFont(20));
    EXPECT_GT(canvas.TextHeight("gh"), baseHeight * 3 / 2) << "size in points";
    canvas.SetFont(TestFont(10, fsBold));
    EXPECT_GT(canvas.TextWidth("Wide words"), baseWidth) << "bold";
    canvas.SetFont(TestFont(10));
    EXPECT_EQ(canvas.TextWidth("Wide words"), baseWidth) << "back to the plain font";

    // The font tag's sizes follow the device's resolution: 72 points are one inch.
    canvas.SetFont(TestFont(72));
    const int inch = canvas.PixelsPerInchY();
    EXPECT_GE(canvas.TextHeight("gh"), inch * 9 / 10);
    EXPECT_EQ(canvas.Font().Size, 72);
}

TEST(GdiCanvas, TextTakesTheFontColourAndSolidBrushesGiveItABackground)
{
    Surface s(300, 120);
    GdiCanvas canvas(s.dc());
    canvas.SetFont(TestFont(14, fsBold, 0x000000FF));
    canvas.SetBackgroundTransparent();
    TRect red{5, 5, 295, 40};
    canvas.DrawText("RED TEXT", red, kLineFlags);
    canvas.Flush();
    EXPECT_GT(s.Count(red, [](const Pixel& p) { return p.Reddish(); }), 10);
    EXPECT_EQ(s.Count(s.All(), [](const Pixel& p) { return p.Bluish(); }), 0);

    // A system colour number draws in the system's colour.
    canvas.SetFont(TestFont(14, fsBold, 0xFF000008));
    const COLORREF windowText = ::GetSysColor(COLOR_WINDOWTEXT);
    TRect sys{5, 45, 295, 80};
    canvas.DrawText("SYSTEM", sys, kLineFlags);
    canvas.Flush();
    EXPECT_GT(s.Count(sys,
                      [&](const Pixel& p) {
                          return p.r == GetRValue(windowText) && p.g == GetGValue(windowText) &&
                                 p.b == GetBValue(windowText);
                      }),
              10);

    // With a solid brush the text cell is filled; transparent again without one.
    canvas.SetBrushColor(0x00FF0000);
    TRect highlighted{5, 85, 295, 118};
    canvas.DrawText("HI", highlighted, kLineFlags);
    canvas.Flush();
    EXPECT_GT(s.Count(highlighted, [](const Pixel& p) { return p.Bluish(); }), 100);
    canvas.SetBrushColor(clNone);
    EXPECT_EQ(canvas.BrushColor(), clNone);
    s.Clear();
    canvas.DrawText("HI", highlighted, kLineFlags);
    canvas.Flush();
    EXPECT_EQ(s.Count(s.All(), [](const Pixel& p) { return p.Bluish(); }), 0);
}

// ---------------------------------------------------------------- canvas: shapes

TEST(GdiCanvas, FillFrameAndLinesUseTheBrushAndThePen)
{
    Surface s(100, 100);
    GdiCanvas canvas(s.dc());

    canvas.SetBrushColor(clNone);
    canvas.FillRect(TRect{0, 0, 100, 100});
    EXPECT_EQ(s.NonWhite(s.All()), 0) << "a transparent brush fills nothing";

    canvas.SetBrushColor(0x0000FF00);
    canvas.FillRect(TRect{10, 10, 30, 20});
    EXPECT_EQ(s.Count(s.All(), [](const Pixel& p) { return p.Greenish(); }), 20 * 10);
    EXPECT_TRUE(s.At(10, 10).Greenish());
    EXPECT_TRUE(s.At(29, 19).Greenish());

    s.Clear();
    canvas.SetPenColor(0x000000FF);
    canvas.SetPenWidth(1);
    canvas.FrameRect(TRect{40, 40, 60, 60});
    EXPECT_TRUE(s.At(40, 40).Reddish());
    EXPECT_TRUE(s.At(59, 50).Reddish());
    EXPECT_TRUE(s.At(50, 50).White()) << "a frame leaves the inside alone, whatever the brush";

    s.Clear();
    canvas.MoveTo(0, 90);
    canvas.LineTo(100, 90);
    EXPECT_EQ(s.Count(TRect{0, 90, 100, 91}, [](const Pixel& p) { return p.Reddish(); }), 100);
    canvas.SetPenWidth(3);
    canvas.MoveTo(50, 0);
    canvas.LineTo(50, 80);
    EXPECT_TRUE(s.At(49, 40).Reddish());
    EXPECT_TRUE(s.At(51, 40).Reddish());
    EXPECT_EQ(canvas.PenWidth(), 3);
    EXPECT_EQ(canvas.PenColor(), 0x000000FFu);
}

TEST(GdiCanvas, ClippingLimitsDrawingUntilCleared)
{
    Surface s(100, 100);
    GdiCanvas canvas(s.dc());
    canvas.SetBrushColor(0x00FF0000);
    canvas.SetClipRect(TRect{20, 20, 40, 40});
    canvas.FillRect(s.All());
    EXPECT_EQ(s.NonWhite(s.All()), 20 * 20);
    EXPECT_EQ(NonWhiteOutside(s, TRect{20, 20, 40, 40}), 0);

    canvas.ClearClip();
    s.Clear();
    canvas.FillRect(s.All());
    EXPECT_EQ(s.NonWhite(s.All()), 100 * 100);
}

TEST(GdiCanvas, ClearingTheClipGivesBackTheRegionTheDcHad)
{
    Surface s(100, 100);
    UniqueRegion outer(::CreateRectRgn(0, 0, 50, 100));
    ::SelectClipRgn(s.dc(), outer.get());
    {
        GdiCanvas canvas(s.dc());
        canvas.SetBrushColor(0x00FF0000);
        canvas.SetClipRect(TRect{10, 10, 20, 20});
        canvas.ClearClip();
        canvas.FillRect(s.All());
    }
    EXPECT_EQ(s.NonWhite(TRect{0, 0, 50, 100}), 50 * 100);
    EXPECT_EQ(s.NonWhite(TRect{50, 0, 100, 100}), 0);
}

TEST(GdiCanvas, FocusRectangleAndRoundedRectangleDraw)
{
    Surface s(100, 100);
    GdiCanvas canvas(s.dc());
    canvas.DrawFocusRect(TRect{10, 10, 40, 40});
    EXPECT_GT(s.NonWhite(TRect{10, 10, 40, 11}), 5);
    EXPECT_EQ(s.NonWhite(TRect{12, 12, 38, 38}), 0);

    s.Clear();
    canvas.SetPenColor(0x000000FF);
    canvas.SetBrushColor(0x0000FF00);
    canvas.RoundRect(TRect{50, 50, 90, 90}, 10, 10);
    EXPECT_TRUE(s.At(70, 70).Greenish());
    EXPECT_TRUE(s.At(70, 50).Reddish());
    EXPECT_TRUE(s.At(50, 50).White()) << "the corner is rounded off";
}

TEST(GdiCanvas, ResolutionAndColourNumbers)
{
    Surface s(10, 10);
    GdiCanvas canvas(s.dc());
    EXPECT_EQ(canvas.PixelsPerInchX(), ::GetDeviceCaps(s.dc(), LOGPIXELSX));
    EXPECT_EQ(canvas.PixelsPerInchY(), ::GetDeviceCaps(s.dc(), LOGPIXELSY));
    EXPECT_GT(canvas.PixelsPerInchY(), 0);

    struct Case {
        TColor in;
        TColor out;
    };
    const Case cases[] = {
        {0x00123456, 0x00123456},
        {0x00000000, 0x00000000},
        {0xFF00000D, static_cast<TColor>(::GetSysColor(COLOR_HIGHLIGHT))},
        {0xFF000005, static_cast<TColor>(::GetSysColor(COLOR_WINDOW))},
        {0xFF00000F, static_cast<TColor>(::GetSysColor(COLOR_BTNFACE))},
    };
    for (const Case& c : cases) EXPECT_EQ(canvas.ToRGB(c.in), c.out) << std::hex << c.in;
}

TEST(GdiCanvas, PutsTheDcsOwnObjectsBack)
{
    Surface s(10, 10);
    HGDIOBJ font = ::GetCurrentObject(s.dc(), OBJ_FONT);
    HGDIOBJ brush = ::GetCurrentObject(s.dc(), OBJ_BRUSH);
    HGDIOBJ pen = ::GetCurrentObject(s.dc(), OBJ_PEN);
    {
        GdiCanvas canvas(s.dc());
        canvas.SetFont(TestFont(20, fsItalic));
        canvas.SetBrushColor(0x00FF0000);
        canvas.SetPenColor(0x000000FF);
        EXPECT_NE(::GetCurrentObject(s.dc(), OBJ_FONT), font);
    }
    EXPECT_EQ(::GetCurrentObject(s.dc(), OBJ_FONT), font);
    EXPECT_EQ(::GetCurrentObject(s.dc(), OBJ_BRUSH), brush);
    EXPECT_EQ(::GetCurrentObject(s.dc(), OBJ_PEN), pen);
}

// ---------------------------------------------------------------- canvas: system icons


TEST(GdiCanvas, SystemIconsByPathDraw)
{
    struct Case {
        const char* what;
        std::string path;
    };
    const Case cases[] = {
        {"an existing folder", WindowsFolder()},
        {"a missing file, by its type", "C:\\no such folder\\missing file.txt"},
    };
    for (bool large : {false, true}) {
        Surface s(100, 100);
        GdiCanvas canvas(s.dc());
        const int size = canvas.SystemIconSize(large);
        EXPECT_EQ(size, ::GetSystemMetrics(large ? SM_CXICON : SM_CXSMICON));
        for (const Case& c : cases) {
            s.Clear();
            const int index = canvas.SystemIconIndex(c.path, large);
            EXPECT_GE(index, 0) << c.what;
            canvas.DrawSystemIcon(index, large, 10, 10);
            const TRect icon{10, 10, 10 + size, 10 + size};
            EXPECT_GT(s.NonWhite(icon), size) << c.what << (large ? " (large)" : " (small)");
            EXPECT_EQ(NonWhiteOutside(s, icon), 0) << c.what;
        }
    }
}

TEST(GdiCanvas, ScaledSystemIconFillsTheLargerRectangle)
{
    Surface s(100, 100);
    GdiCanvas canvas(s.dc());
    const int index = canvas.SystemIconIndex(WindowsFolder(), false);
    const int size = canvas.SystemIconSize(false);
    const TRect target{0, 0, size * 3, size * 3};
    canvas.DrawSystemIconScaled(index, false, target);
    // Stretched three times: part of the icon lies beyond its natural size.
    EXPECT_GT(s.NonWhite(TRect{size, size, size * 3, size * 3}), size);
    EXPECT_EQ(NonWhiteOutside(s, target), 0);
}

// ---------------------------------------------------------------- shortcuts against the plain calls

// The canvas's cached fonts and metrics and its extent-call measuring must answer
// exactly what the system calls they stand for answer.
TEST(GdiCanvasShortcuts, MeasureExactlyAsThePlainSystemCalls)
{
    Surface fastSurface(64, 64), plainSurface(64, 64);
    GdiCanvas fast(fastSurface.dc());
    GdiCanvas plain(plainSurface.dc(), GdiCanvas::Calls::kPlain);

    // More faces than the canvas keeps, so that fonts also leave its cache and come back.
    std::vector<TFontState> fonts;
    for (const char* name : {"Tahoma", "Arial", "Courier New", "Times New Roman", "MS Sans Serif"})
        for (int size : {7, 12, 19})
            for (std::uint8_t style : {std::uint8_t{0}, std::uint8_t{fsBold}, std::uint8_t{fsItalic | fsUnderline}}) {
                TFontState f = TestFont(size, style);
                f.Name = name;
                fonts.push_back(f);
            }
    TFontState turned = TestFont(11, fsBold);
    turned.Escapement = 900;
    fonts.push_back(turned);

    const std::vector<std::string> texts = {"a", "word ", " ", "Quellmark", "W", "iii", "two words",
                                            "\xC4\xF6\xFC\xE9\xDF", "x,y.", "(the) ", "a&b", "&&", "tab\there",
                                            "line\r\nbreak", "end\n", "", std::string(300, 'm')};
    const unsigned base = dt::kBottom | dt::kSingleLine | dt::kExpandTabs | dt::kExternalLeading;
    const std::vector<unsigned> flagSets = {base | dt::kCalcRect,
                                            base | dt::kCalcRect | dt::kNoPrefix,
                                            base | dt::kCalcRect | dt::kEndEllipsis,
                                            (base & ~dt::kExternalLeading) | dt::kCalcRect | dt::kNoPrefix,
                                            dt::kVCenter | dt::kSingleLine | dt::kCalcRect,
                                            dt::kCalcRect | dt::kWordBreak};
    const std::vector<TRect> rects = {{1, 0, 400, 10000}, {10, -5, 30, 7}, {-100, 50, -120, 40}, {0, 300, 5000, 319}};

    int compared = 0, differing = 0;
    for (int round = 0; round < 2; ++round) {  // the second round answers from what the first one cached
        for (const std::string& text : texts) {
            for (const TFontState& font : fonts) {
                fast.SetFont(font);
                plain.SetFont(font);
                const int h = fast.TextHeight(text), ph = plain.TextHeight(text);
                const int sw = fast.TextWidth(" "), psw = plain.TextWidth(" ");
                const int w = fast.TextWidth(text), pw = plain.TextWidth(text);
                bool same = h == ph && sw == psw && w == pw;
                for (unsigned flags : flagSets) {
                    for (const TRect& rect : rects) {
                        TRect r = rect, pr = rect;
                        const int answer = fast.DrawText(text, r, flags);
                        const int plainAnswer = plain.DrawText(text, pr, flags);
                        if (answer != plainAnswer || !(r == pr)) {
                            same = false;
                            if (differing < 10)
                                ADD_FAILURE() << font.Name << " " << font.Size << " style " << int(font.Style)
                                              << " flags " << flags << " \"" << text << "\": " << answer << " ["
                                              << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom
                                              << "] against " << plainAnswer << " [" << pr.Left << "," << pr.Top
                                              << "," << pr.Right << "," << pr.Bottom << "]";
                        }
                        ++compared;
                    }
                }
                if (!same) ++differing;
            }
        }
    }
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(compared, 2 * static_cast<int>(texts.size() * fonts.size() * flagSets.size() * rects.size()));
}

std::string ResultText(bool answer, const TMarkupResult& r)
{
    std::ostringstream out;
    out << answer << " " << r.Width << "x" << r.Height << " anchors " << r.AnchorCount << " at point \""
        << r.AnchorAtPoint << "\" #" << r.AnchorNumberAtPoint << " focus \"" << r.FocusAnchorHref << "\" plain \""
        << r.PlainText << "\"";
    return out.str();
}

// Whole layouts: every profile gives the same results and paints the same pixels.
TEST(GdiCanvasShortcuts, LayoutAndPaintingAreThoseOfThePlainCalls)
{
    const std::vector<std::string> texts = {
        "Plain words that wrap across several lines of the narrow bounds given to them here",
        "Some <B>bold</B> and <I>italic</I> words, <A HREF=\"help:a\">a link</A> and <U>more</U>",
        "<FONT SIZE=\"14\" COLOR=\"#C00000\">Large red</FONT> then <B><I>both</I></B> &amp; plain <SUB>low</SUB>",
        "Tab\tand &lt;entities&gt; with a & in it<BR>and a break, <SHADOW>shadowed</SHADOW> text",
        "<P ALIGN=\"CENTER\">centred <A HREF=\"x\">one</A> <A HREF=\"y\">two</A></P><P ALIGN=\"RIGHT\">right</P>",
        "<LI>first item</LI><LI>second <B>item</B></LI> Quellmark Quellmark Quellmark",
        "Words & more <A HREF=\"h\">link &amp; words</A> <S>struck</S> <I>slanted</I>f",
        "<P BGCOLOR=\"#FFFF00\">yellow <I>italic</I> band</P> and <FONT BGCOLOR=\"#00FFFF\">cyan</FONT> words"};
    const int width = 160, height = 120;
    Surface fastSurface(width, height), plainSurface(width, height);
    for (const std::string& text : texts) {
        for (int profile = 0; profile < 4; ++profile) {
            TMarkupRequest request = profile == 0   ? MarkupPaintProfile()
                                     : profile == 1 ? MarkupHitTestProfile(0, 0, true)
                                     : profile == 2 ? MarkupHitTestProfile(60, 8, false)
                                                    : MarkupHitTestProfile(100, 30, false);
            fastSurface.Clear();
            plainSurface.Clear();
            TMarkupResult fastResult, plainResult;
            bool fastAnswer, plainAnswer;
            {
                GdiCanvas fast(fastSurface.dc());
                fast.SetFont(TestFont(9));
                fastAnswer = DrawMarkup(fast, text, TRect{0, 0, width, height}, request, fastResult);
            }
            {
                GdiCanvas plain(plainSurface.dc(), GdiCanvas::Calls::kPlain);
                plain.SetFont(TestFont(9));
                plainAnswer = DrawMarkup(plain, text, TRect{0, 0, width, height}, request, plainResult);
            }
            EXPECT_EQ(ResultText(fastAnswer, fastResult), ResultText(plainAnswer, plainResult))
                << "profile " << profile << ": " << text;
            int differentPixels = 0;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const Pixel a = fastSurface.At(x, y), b = plainSurface.At(x, y);
                    if (a.r != b.r || a.g != b.g || a.b != b.b) ++differentPixels;
                }
            EXPECT_EQ(differentPixels, 0) << "profile " << profile << ": " << text;
            if (profile == 0) EXPECT_GT(plainSurface.NonWhite(plainSurface.All()), 50) << text;
        }
    }
}

// Drawn text: the same pixels and answers as the drawing call, over faces and
// styles whose glyphs reach past their cells, opaque and transparent backgrounds
// and rectangles that cut the text or lie partly off the surface.
TEST(GdiCanvasShortcuts, PaintExactlyAsThePlainSystemCalls)
{
    const int width = 160, height = 48;
    Surface fastSurface(width, height), plainSurface(width, height), blank(width, height);
    GdiCanvas fast(fastSurface.dc());
    GdiCanvas plain(plainSurface.dc(), GdiCanvas::Calls::kPlain);

    struct Face {
        const char* name;
        int size;
        std::uint8_t style;
        int escapement;
    };
    const Face faces[] = {{"Tahoma", 9, 0, 0},
                          {"Tahoma", 12, fsBold, 0},
                          {"Times New Roman", 16, fsItalic, 0},
                          {"Arial", 10, fsUnderline, 0},
                          {"Courier New", 11, fsStrikeOut, 0},
                          {"Times New Roman", 14, fsBold | fsItalic | fsUnderline | fsStrikeOut, 0},
                          {"MS Sans Serif", 8, 0, 0},
                          {"Symbol", 12, 0, 0},
                          {"Tahoma", 11, fsBold, 900}};
    const TColor colours[] = {clBlack, 0x000000FF, 0xFF000008};
    const std::vector<std::string> texts = {"Quellmark", "a word ", " ", "\xC4\xF6\xFC\xE9\xDF\xA9 ", "fj/ff",
                                            "a&b", "&&x", "tab\there", "line\r\nbreak", "x", "",
                                            std::string(40, 'W')};
    const unsigned line = dt::kBottom | dt::kSingleLine | dt::kExpandTabs;
    const std::vector<unsigned> flagSets = {line,
                                            line | dt::kNoPrefix,
                                            line | dt::kEndEllipsis,
                                            line | dt::kNoPrefix | dt::kEndEllipsis,
                                            line | dt::kExternalLeading,
                                            dt::kVCenter | dt::kSingleLine | dt::kNoPrefix,
                                            dt::kWordBreak};
    const std::vector<TRect> rects = {{2, 2, 158, 40},   {10, 5, 40, 20},    {20, 30, 150, 34}, {-30, -10, 60, 12},
                                      {100, 10, 400, 46}, {50, 40, 30, 10}, {5, 0, 5, 30}};
    enum Background { kTransparent, kOpaque, kOpaqueSystem, kBrushButTransparent };

    int compared = 0, drawn = 0, failures = 0;
    for (std::size_t f = 0; f < sizeof faces / sizeof faces[0]; ++f) {
        TFontState font = TestFont(faces[f].size, faces[f].style, colours[f % 3]);
        font.Name = faces[f].name;
        font.Escapement = faces[f].escapement;
        fast.SetFont(font);
        plain.SetFont(font);
        for (int background = kTransparent; background <= kBrushButTransparent; ++background) {
            const TColor brush = background == kTransparent      ? clNone
                                 : background == kOpaqueSystem ? 0xFF00000D
                                                               : 0x00FF0000;
            fast.SetBrushColor(brush);
            plain.SetBrushColor(brush);
            if (background == kBrushButTransparent) {
                fast.SetBackgroundTransparent();
                plain.SetBackgroundTransparent();
            }
            for (const std::string& text : texts)
                for (unsigned flags : flagSets)
                    for (const TRect& rect : rects) {
                        fastSurface.Clear();
                        plainSurface.Clear();
                        TRect r = rect, pr = rect;
                        const int answer = fast.DrawText(text, r, flags);
                        const int plainAnswer = plain.DrawText(text, pr, flags);
                        fast.Flush();
                        const int differences = fastSurface.Differences(plainSurface);
                        if ((answer != plainAnswer || !(r == pr) || differences != 0) && failures++ < 10)
                            ADD_FAILURE() << font.Name << " " << font.Size << " style " << int(font.Style)
                                          << " background " << background << " flags " << flags << " \"" << text
                                          << "\" in [" << rect.Left << "," << rect.Top << "," << rect.Right << ","
                                          << rect.Bottom << "]: " << differences << " pixels differ, answer "
                                          << answer << " against " << plainAnswer;
                        if (plainSurface.Differences(blank) > 0) ++drawn;
                        ++compared;
                    }
        }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(compared, static_cast<int>(sizeof faces / sizeof faces[0]) * 4 *
                            static_cast<int>(texts.size() * flagSets.size() * rects.size()));
    EXPECT_GT(drawn, compared / 2) << "most cases draw something to compare";
}

// Pieces drawn one after another along a line, as the engine draws a line's words,
// joined into fewer text-outs: the same pixels as one drawing call per piece, with
// glyphs that reach back before their origin or past their advance, opaque and
// transparent backgrounds, and pieces that leave the line's band or its place.
TEST(GdiCanvasShortcuts, JoinedPiecesPaintAsThePlainCalls)
{
    const int width = 240, height = 40;
    Surface fastSurface(width, height), plainSurface(width, height), blank(width, height);
    GdiCanvas fast(fastSurface.dc(), GdiCanvas::Calls::kShortcuts);
    GdiCanvas plain(plainSurface.dc(), GdiCanvas::Calls::kPlain);

    struct Face {
        const char* name;
        int size;
        std::uint8_t style;
    };
    const Face faces[] = {{"Tahoma", 9, 0},
                          {"Times New Roman", 18, fsItalic},
                          {"Times New Roman", 15, fsBold | fsItalic | fsUnderline},
                          {"Arial", 12, fsStrikeOut},
                          {"Courier New", 10, fsBold},
                          {"MS Sans Serif", 8, 0},
                          {"Tahoma", 14, fsBold | fsItalic}};
    const std::vector<std::vector<std::string>> lines = {
        {"the ", "update ", "of ", "Quellmark ", "databases ", "needs ", "a ", "restart"},
        {"fjord", "j", "f", "Wolf", "/", "ff", "y", "(j)", "V", "A", "f"},
        {"jiffy ", " ", "fj", " ", "\xC4\xF6\xFC ", "\xA9\x80", "W", "W", "W", "W", "W", "W", "W", "W"}};
    enum Break { kNone, kLower, kGap, kNarrow, kBack };

    int compared = 0, failures = 0, drawn = 0;
    for (const Face& face : faces) {
        TFontState font = TestFont(face.size, face.style, 0x00000080);
        font.Name = face.name;
        fast.SetFont(font);
        plain.SetFont(font);
        for (TColor brush : {clNone, TColor{0x0000FFFF}}) {
            fast.SetBrushColor(brush);
            plain.SetBrushColor(brush);
            for (std::size_t l = 0; l < lines.size(); ++l)
                for (int breakAt = kNone; breakAt <= kBack; ++breakAt) {
                    fastSurface.Clear();
                    plainSurface.Clear();
                    int x = -3 + static_cast<int>(l);
                    int bottom = 30;
                    int right = width - 10;
                    for (std::size_t i = 0; i < lines[l].size(); ++i) {
                        // One piece in the middle leaves the band or its place.
                        if (i == 3) {
                            if (breakAt == kLower) bottom += 3;
                            if (breakAt == kGap) x += 2;
                            if (breakAt == kNarrow) right = x + 4;
                            if (breakAt == kBack) x -= 5;
                        }
                        const std::string& piece = lines[l][i];
                        TRect r{x, 2, right, bottom}, pr = r;
                        const int answer = fast.DrawText(piece, r, kLineFlags);
                        const int plainAnswer = plain.DrawText(piece, pr, kLineFlags);
                        if ((answer != plainAnswer || !(r == pr)) && failures++ < 10)
                            ADD_FAILURE() << face.name << " answers " << answer << " against " << plainAnswer;
                        TRect m{x, 2, right, bottom};
                        plain.DrawText(piece, m, kLineFlags | dt::kCalcRect);
                        x = m.Right;
                    }
                    fast.Flush();
                    const int differences = fastSurface.Differences(plainSurface);
                    if (differences != 0 && failures++ < 10)
                        ADD_FAILURE() << face.name << " " << face.size << " style " << int(face.style)
                                      << " brush " << brush << " line " << l << " break " << breakAt << ": "
                                      << differences << " pixels differ";
                    if (plainSurface.Differences(blank) > 0) ++drawn;
                    ++compared;
                }
        }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(compared, static_cast<int>(sizeof faces / sizeof faces[0]) * 2 * static_cast<int>(lines.size()) * 5);
    EXPECT_EQ(drawn, compared);
}

// Joined text waits, but never past anything that could draw over it or change
// how it would be drawn, nor past the DC being handed out or the canvas going.
TEST(GdiCanvasShortcuts, JoinedTextReachesTheDcBeforeAnythingElse)
{
    const int width = 120, height = 30;
    Surface fastSurface(width, height), plainSurface(width, height), blank(width, height);
    struct Step {
        std::function<void(GdiCanvas&)> before, after;
    };
    const auto nothing = [](GdiCanvas&) {};
    const std::vector<Step> steps = {
        {[](GdiCanvas& c) { c.SetBrushColor(0x00FF0000); }, [](GdiCanvas& c) { c.FillRect(TRect{0, 0, 60, 30}); }},
        {nothing, [](GdiCanvas& c) { c.SetFont(TestFont(12, fsBold, 0x000000FF)); }},
        {nothing, [](GdiCanvas& c) { c.SetFont(TestFont(12, 0, 0x0000FF00)); }},
        {nothing, [](GdiCanvas& c) { c.SetBrushColor(0x0000FFFF); }},
        {[](GdiCanvas& c) { c.SetBrushColor(0x0000FFFF); }, [](GdiCanvas& c) { c.SetBackgroundTransparent(); }},
        {[](GdiCanvas& c) {
             c.SetPenColor(0x0000FF00);
             c.SetPenWidth(9);
             c.MoveTo(0, 15);
         },
         [](GdiCanvas& c) { c.LineTo(120, 15); }},
        {[](GdiCanvas& c) { c.SetPenColor(0x0000FF00); },
         [](GdiCanvas& c) { c.RoundRect(TRect{10, 5, 50, 25}, 6, 6); }},
        {[](GdiCanvas& c) { c.SetPenColor(0x0000FF00); }, [](GdiCanvas& c) { c.FrameRect(TRect{10, 5, 50, 25}); }},
        {nothing, [](GdiCanvas& c) { c.DrawFocusRect(TRect{10, 5, 50, 25}); }},
        {nothing, [](GdiCanvas& c) { c.SetClipRect(TRect{0, 0, 30, 30}); }},
        {[](GdiCanvas& c) { c.SetClipRect(TRect{0, 0, 30, 30}); }, [](GdiCanvas& c) { c.ClearClip(); }},
        {nothing,
         [](GdiCanvas& c) {
             RECT r{20, 0, 40, 30};
             ::FillRect(c.Handle(), &r, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
         }},
        {nothing,
         [](GdiCanvas& c) {
             TRect r{40, 0, 120, 30};
             c.DrawText("a&b\tc", r, dt::kBottom | dt::kSingleLine | dt::kExpandTabs);
         }},
        {nothing, [](GdiCanvas& c) { c.DrawSystemIcon(c.SystemIconIndex(WindowsFolder(), false), false, 20, 5); }}};
    for (std::size_t i = 0; i < steps.size(); ++i) {
        fastSurface.Clear();
        plainSurface.Clear();
        {
            GdiCanvas fast(fastSurface.dc(), GdiCanvas::Calls::kShortcuts);
            GdiCanvas plain(plainSurface.dc(), GdiCanvas::Calls::kPlain);
            for (GdiCanvas* c : {&fast, &plain}) {
                c->SetFont(TestFont(12));
                steps[i].before(*c);
                TRect first{2, 0, 118, 28};
                c->DrawText("Quell", first, kLineFlags);
                TRect second{2 + c->TextWidth("Quell"), 0, 118, 28};
                c->DrawText("mark words", second, kLineFlags);
                steps[i].after(*c);
                TRect after{2, 0, 118, 28};
                c->DrawText("x", after, kLineFlags);
            }
        }
        EXPECT_EQ(fastSurface.Differences(plainSurface), 0) << "step " << i;
        EXPECT_GT(plainSurface.Differences(blank), 0) << "step " << i;
    }

    // Until then it has not been drawn; Flush draws it.
    fastSurface.Clear();
    GdiCanvas fast(fastSurface.dc(), GdiCanvas::Calls::kShortcuts);
    fast.SetFont(TestFont(12));
    TRect r{2, 0, 118, 28};
    fast.DrawText("waiting", r, kLineFlags);
    EXPECT_EQ(fastSurface.Differences(blank), 0);
    fast.Flush();
    EXPECT_GT(fastSurface.Differences(blank), 20);
}

// A canvas that keeps fonts still hands the DC its own font back and leaves none
// of its own selected.
TEST(GdiCanvasShortcuts, CachedFontsLeaveTheDc)
{
    Surface s(32, 32);
    HGDIOBJ own = ::GetCurrentObject(s.dc(), OBJ_FONT);
    {
        GdiCanvas canvas(s.dc());
        for (int i = 0; i < 20; ++i) {
            canvas.SetFont(TestFont(6 + i % 12, i % 2 ? fsBold : 0));
            EXPECT_GT(canvas.TextWidth("abc"), 0);
        }
        canvas.SetFont(TestFont(12, fsBold));
        const int bold = canvas.TextWidth("Quellmark");
        canvas.SetFont(TestFont(12));
        EXPECT_LT(canvas.TextWidth("Quellmark"), bold) << "switching back selects the other face";
    }
    EXPECT_EQ(::GetCurrentObject(s.dc(), OBJ_FONT), own);
}

}  // namespace
