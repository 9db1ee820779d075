// GIF recognition, frame scanning and frame selection on GIFs built in memory.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/TinyGif.h"
#include "markup/MarkupPictureData.h"

namespace {

using namespace dupd;
using testgif::Frame;

const std::vector<testgif::Rgb> kPalette = {{255, 255, 255}, {255, 0, 0}, {0, 0, 255}, {0, 255, 0}};

ByteVector Bytes(const std::string& s)
{
    return ByteVector(s.begin(), s.end());
}

TEST(MarkupPictureData, GifNeedsFiveBytesStartingGif8)
{
    struct Case {
        const char* name;
        ByteVector data;
        bool gif;
    };
    const Case cases[] = {
        {"empty", {}, false},
        {"four bytes only", Bytes("GIF8"), false},
        {"five bytes", Bytes("GIF89"), true},
        {"gif87a header", Bytes("GIF87a"), true},
        {"lower case", Bytes("gif89a"), false},
        {"bitmap", Bytes("BM\x10\0\0\0"), false},
        {"gif7", Bytes("GIF7a"), false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsGif(c.data), c.gif) << c.name;
}

TEST(MarkupPictureData, FrameStartsAreTheControlBlocksBeforeImageDescriptors)
{
    const auto gif = testgif::Build(8, 8, kPalette, {Frame{}, Frame{}, Frame{}});
    EXPECT_EQ(GifFrameStarts(gif.bytes), gif.frameStart);
    EXPECT_EQ(GifFrameStarts(gif.bytes).size(), 3u);
}

TEST(MarkupPictureData, LookalikeBytesAreNotFrameStarts)
{
    // 21 F9 04 not followed by an image descriptor eight bytes on, and a complete
    // pattern whose last byte is the last byte of the data.
    ByteVector data = Bytes("GIF89a");
    const ByteVector noDescriptor = {0x21, 0xF9, 0x04, 0, 0, 0, 0, 0, 0x21, 0, 0};
    data.insert(data.end(), noDescriptor.begin(), noDescriptor.end());
    const ByteVector wrongSize = {0x21, 0xF9, 0x05, 0, 0, 0, 0, 0, 0x2C, 0, 0};
    data.insert(data.end(), wrongSize.begin(), wrongSize.end());
    EXPECT_TRUE(GifFrameStarts(data).empty());

    const ByteVector atEnd = {0x21, 0xF9, 0x04, 0, 0, 0, 0, 0, 0x2C};
    ByteVector tight = Bytes("GIF89a");
    tight.insert(tight.end(), atEnd.begin(), atEnd.end());
    EXPECT_TRUE(GifFrameStarts(tight).empty()) << "the descriptor must not be the last byte";
    tight.push_back(0);
    EXPECT_EQ(GifFrameStarts(tight), std::vector<std::size_t>{6});
}

TEST(MarkupPictureData, SelectingAFrameLeavesOutOnlyTheFramesBeforeIt)
{
    const auto gif = testgif::Build(20, 10, kPalette,
                                    {Frame{0, 0, 20, 10, 1}, Frame{3, 4, 5, 6, 2}, Frame{7, 1, 2, 3, 3}});
    const ByteVector& all = gif.bytes;
    auto range = [&](std::size_t from, std::size_t to) { return ByteVector(all.begin() + from, all.begin() + to); };
    auto concat = [](ByteVector a, const ByteVector& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };

    struct Case {
        int frame;
        ByteVector expected;
        std::uint16_t x, y, w, h;
    };
    const Case cases[] = {
        {1, all, 0, 0, 20, 10},
        {2, concat(range(0, gif.frameStart[0]), range(gif.frameStart[1], all.size())), 3, 4, 5, 6},
        {3, concat(range(0, gif.frameStart[0]), range(gif.frameStart[2], all.size())), 7, 1, 2, 3},
        // Past the last frame: only what precedes the first frame is left.
        {4, range(0, gif.frameStart[0]), 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const GifFrameCut cut = SelectGifFrame(all, c.frame);
        EXPECT_EQ(cut.bytes, c.expected) << "frame " << c.frame;
        EXPECT_EQ(cut.offsetX, c.x) << "frame " << c.frame;
        EXPECT_EQ(cut.offsetY, c.y) << "frame " << c.frame;
        EXPECT_EQ(cut.width, c.w) << "frame " << c.frame;
        EXPECT_EQ(cut.height, c.h) << "frame " << c.frame;
        EXPECT_EQ(cut.screenWidth, 20) << "frame " << c.frame;
        EXPECT_EQ(cut.screenHeight, 10) << "frame " << c.frame;
    }
}

TEST(MarkupPictureData, DataWithoutFramesIsPassedWholeWithoutGeometry)
{
    const ByteVector bitmap = {'B', 'M', 0x21, 0xF9, 0x04, 0, 0, 0, 0, 0, 0x2C, 1, 2, 3};
    const auto stillGif = testgif::Build(5, 5, kPalette, {}, false);
    for (const ByteVector& data : {bitmap, stillGif.bytes, ByteVector{}}) {
        const GifFrameCut cut = SelectGifFrame(data, 2);
        EXPECT_EQ(cut.bytes, data);
        EXPECT_EQ(cut.screenWidth, 0);
        EXPECT_EQ(cut.screenHeight, 0);
        EXPECT_EQ(cut.width, 0);
    }
}

TEST(MarkupPictureData, HimetricConvertsBackToTheOriginalPixels)
{
    struct Case {
        long himetric;
        int ppi;
        int pixels;
    };
    const Case cases[] = {
        {0, 96, 0},      {423, 96, 16},    {2540, 96, 96},  {2646, 96, 100},
        {423, 120, 20},  {26, 96, 1},      {13, 96, 0},     {-423, 96, -16},
    };
    for (const Case& c : cases) EXPECT_EQ(HimetricToPixels(c.himetric, c.ppi), c.pixels) << c.himetric << "@" << c.ppi;
}

}  // namespace
