// Builds small but valid GIF files in memory for the picture tests (host and
// Windows side): a global palette, optional looping extension, and frames that
// each fill a rectangle with one palette colour. The image data is real LZW: a
// clear code before every pixel keeps the code width at its minimum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dupd::testgif {

struct Rgb {
    std::uint8_t r, g, b;
};

struct Frame {
    std::uint16_t left = 0, top = 0, width = 1, height = 1;
    std::uint8_t colorIndex = 0;
    std::uint16_t delay = 10;
};

struct Gif {
    std::vector<std::uint8_t> bytes;
    std::vector<std::size_t> frameStart;  // offset of each frame's control extension
    std::vector<std::size_t> frameEnd;    // offset just after each frame's image data
};

inline void PutWord(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// Four palette entries at most (2-bit codes); `loop` adds the application extension
// that animated GIFs carry before their first frame.
inline Gif Build(std::uint16_t screenWidth, std::uint16_t screenHeight, const std::vector<Rgb>& palette,
                 const std::vector<Frame>& frames, bool loop = true)
{
    Gif gif;
    auto& out = gif.bytes;
    for (char c : std::string("GIF89a")) out.push_back(static_cast<std::uint8_t>(c));
    PutWord(out, screenWidth);
    PutWord(out, screenHeight);
    out.push_back(0x91);  // global table of 4 entries
    out.push_back(0);     // background index
    out.push_back(0);     // aspect
    for (std::size_t i = 0; i < 4; ++i) {
        const Rgb c = i < palette.size() ? palette[i] : Rgb{0, 0, 0};
        out.push_back(c.r);
        out.push_back(c.g);
        out.push_back(c.b);
    }
    if (loop) {
        const std::uint8_t app[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0',
                                    0x03, 0x01, 0x00, 0x00, 0x00};
        out.insert(out.end(), std::begin(app), std::end(app));
    }
    for (const Frame& f : frames) {
        gif.frameStart.push_back(out.size());
        out.insert(out.end(), {0x21, 0xF9, 0x04, 0x00});
        PutWord(out, f.delay);
        out.push_back(0);  // transparent index (unused)
        out.push_back(0);  // block terminator
        out.push_back(0x2C);
        PutWord(out, f.left);
        PutWord(out, f.top);
        PutWord(out, f.width);
        PutWord(out, f.height);
        out.push_back(0);  // no local table, not interlaced

        // Codes of 3 bits: clear (4), then the pixel, for every pixel; end (5).
        std::vector<std::uint8_t> packed;
        std::uint32_t acc = 0;
        int bits = 0;
        auto code = [&](std::uint32_t c) {
            acc |= c << bits;
            bits += 3;
            while (bits >= 8) {
                packed.push_back(static_cast<std::uint8_t>(acc & 0xFF));
                acc >>= 8;
                bits -= 8;
            }
        };
        for (std::size_t p = 0; p < static_cast<std::size_t>(f.width) * f.height; ++p) {
            code(4);
            code(f.colorIndex & 3u);
        }
        code(5);
        if (bits > 0) packed.push_back(static_cast<std::uint8_t>(acc & 0xFF));

        out.push_back(2);  // minimum code size
        for (std::size_t at = 0; at < packed.size(); at += 255) {
            const std::size_t n = packed.size() - at < 255 ? packed.size() - at : 255;
            out.push_back(static_cast<std::uint8_t>(n));
            out.insert(out.end(), packed.begin() + static_cast<std::ptrdiff_t>(at),
                       packed.begin() + static_cast<std::ptrdiff_t>(at + n));
        }
        out.push_back(0);
        gif.frameEnd.push_back(out.size());
    }
    out.push_back(0x3B);
    return gif;
}

}  // namespace dupd::testgif
