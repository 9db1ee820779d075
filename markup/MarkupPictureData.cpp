#include "markup/MarkupPictureData.h"

namespace dupd {

namespace {

std::uint16_t Word(const ByteVector& data, std::size_t at)
{
    if (at + 1 >= data.size()) return 0;
    return static_cast<std::uint16_t>(data[at] | (data[at + 1] << 8));
}

}  // namespace

bool IsGif(const ByteVector& data)
{
    return data.size() >= 5 && data[0] == 'G' && data[1] == 'I' && data[2] == 'F' && data[3] == '8';
}

std::vector<std::size_t> GifFrameStarts(const ByteVector& data)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i + 9 < data.size(); ++i) {
        if (data[i] == 0x21 && data[i + 1] == 0xF9 && data[i + 2] == 0x04 && data[i + 8] == 0x2C)
            starts.push_back(i);
    }
    return starts;
}

GifFrameCut SelectGifFrame(const ByteVector& data, int frame)
{
    GifFrameCut cut;
    const std::vector<std::size_t> starts = IsGif(data) ? GifFrameStarts(data) : std::vector<std::size_t>{};
    if (starts.empty()) {
        cut.bytes = data;
        return cut;
    }
    cut.screenWidth = Word(data, 6);
    cut.screenHeight = Word(data, 8);
    cut.bytes.reserve(data.size());

    bool copying = true;
    int n = 0;
    std::size_t nextStart = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (nextStart < starts.size() && starts[nextStart] == i) {
            ++nextStart;
            ++n;
            if (n == frame) {
                const std::size_t descriptor = i + 9;  // after the 8-byte extension and the 2C
                cut.offsetX = Word(data, descriptor);
                cut.offsetY = Word(data, descriptor + 2);
                cut.width = Word(data, descriptor + 4);
                cut.height = Word(data, descriptor + 6);
            }
            copying = !(frame >= n + 1);
        }
        if (copying) cut.bytes.push_back(data[i]);
    }
    return cut;
}

int HimetricToPixels(long himetric, int pixelsPerInch)
{
    const long long scaled = static_cast<long long>(himetric) * pixelsPerInch;
    const long long half = 2540 / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / 2540 : -((-scaled + half) / 2540));
}

}  // namespace dupd
