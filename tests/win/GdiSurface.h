// What the GDI tests draw on and how they look at it: a white 32-bit page whose
// pixels they read back, and the fonts and flags they draw with.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>

#include "markup/Canvas.h"
#include "winenv/win32/Imaging.h"

namespace gdi_test {

using namespace dupd;

struct Pixel {
    int r, g, b;
    bool White() const { return r == 255 && g == 255 && b == 255; }
    bool Dark() const { return r < 96 && g < 96 && b < 96; }
    bool Reddish() const { return r > 160 && g < 96 && b < 96; }
    bool Greenish() const { return g > 160 && r < 96 && b < 96; }
    bool Bluish() const { return b > 160 && r < 96 && g < 96; }
};

// The drawing page, filled white, read pixel by pixel.
class Surface {
public:
    Surface(int width, int height) : page_(width, height) { Clear(); }

    HDC dc() const { return page_.dc(); }
    bool ok() const { return page_.ok(); }

    void Clear()
    {
        ::GdiFlush();
        for (int i = 0; i < Size(); ++i) Bits()[i] = 0x00FFFFFF;
    }
    Pixel At(int x, int y) const
    {
        ::GdiFlush();
        const std::uint32_t v = Bits()[y * page_.width() + x];
        return Pixel{static_cast<int>((v >> 16) & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>(v & 0xFF)};
    }
    // Pixels inside [left, right) x [top, bottom) that satisfy `test`.
    int Count(const TRect& r, const std::function<bool(const Pixel&)>& test) const
    {
        int n = 0;
        for (int y = std::max(0, r.Top); y < std::min(page_.height(), r.Bottom); ++y)
            for (int x = std::max(0, r.Left); x < std::min(page_.width(), r.Right); ++x)
                if (test(At(x, y))) ++n;
        return n;
    }
    int NonWhite(const TRect& r) const
    {
        return Count(r, [](const Pixel& p) { return !p.White(); });
    }
    TRect All() const { return TRect{0, 0, page_.width(), page_.height()}; }
    // Pixels that differ from those of a surface of the same size.
    int Differences(const Surface& other) const
    {
        ::GdiFlush();
        int n = 0;
        for (int i = 0; i < Size(); ++i)
            if ((Bits()[i] & 0x00FFFFFF) != (other.Bits()[i] & 0x00FFFFFF)) ++n;
        return n;
    }

private:
    std::uint32_t* Bits() const { return reinterpret_cast<std::uint32_t*>(page_.bits()); }
    int Size() const { return page_.width() * page_.height(); }

    dupd::DibPage page_;
};

inline TRect Outside(const TRect& inner, const TRect& all, int side)
{
    switch (side) {
    case 0: return TRect{all.Left, all.Top, all.Right, inner.Top};      // above
    case 1: return TRect{all.Left, inner.Bottom, all.Right, all.Bottom};  // below
    case 2: return TRect{all.Left, inner.Top, inner.Left, inner.Bottom};  // left
    default: return TRect{inner.Right, inner.Top, all.Right, inner.Bottom};  // right
    }
}

inline int NonWhiteOutside(const Surface& s, const TRect& inner)
{
    int n = 0;
    for (int side = 0; side < 4; ++side) n += s.NonWhite(Outside(inner, s.All(), side));
    return n;
}

inline TFontState TestFont(int size = 12, std::uint8_t style = 0, TColor color = clBlack)
{
    TFontState f;
    f.Name = "Tahoma";
    f.Size = size;
    f.Style = style;
    f.Color = color;
    return f;
}

inline constexpr unsigned kLineFlags = dt::kBottom | dt::kSingleLine | dt::kNoPrefix;

inline std::string WindowsFolder()
{
    char path[MAX_PATH] = {};
    ::GetWindowsDirectoryA(path, MAX_PATH);
    return path;
}

}  // namespace gdi_test
