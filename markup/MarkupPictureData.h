// The byte-level side of markup pictures: recognising a GIF, finding its frames and
// cutting out the frames before the one to show, so that a decoder that shows the
// first frame it finds shows the chosen one; and the HIMETRIC-to-pixel conversion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dupd {

using ByteVector = std::vector<std::uint8_t>;

// At least 5 bytes beginning "GIF8".
bool IsGif(const ByteVector& data);

// Positions of the graphic control extensions that directly precede an image
// descriptor: 21 F9 04, five more bytes, then 2C.
std::vector<std::size_t> GifFrameStarts(const ByteVector& data);

struct GifFrameCut {
    ByteVector bytes;  // what to hand to the decoder
    std::uint16_t offsetX = 0, offsetY = 0;  // the chosen frame inside the logical screen
    std::uint16_t width = 0, height = 0;
    std::uint16_t screenWidth = 0, screenHeight = 0;  // 0 for data that is not a frame-bearing GIF
};

// For a GIF with frame starts: the data without the frames before `frame` (counted
// from 1), with that frame's position and size and the logical screen. Any other
// data comes back whole with zero geometry.
GifFrameCut SelectGifFrame(const ByteVector& data, int frame);

// HIMETRIC (hundredths of a millimetre) to pixels at `pixelsPerInch`, rounded to
// nearest so that a size converted to HIMETRIC and back is unchanged.
int HimetricToPixels(long himetric, int pixelsPerInch);

}  // namespace dupd
