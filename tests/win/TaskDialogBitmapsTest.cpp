// The emulated task dialog's pictures as the programs embed them: loaded from this
// executable's resources the way the dialog loads them, and read back pixel by pixel.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "winenv/win32/Handle.h"

namespace {

using namespace dupd;

constexpr std::uint32_t kMagenta = 0xFF00FF;  // 0xRRGGBB

struct Loaded {
    bool ok = false;
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;  // top-down, 0xRRGGBB

    std::uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

Loaded LoadPicture(const char* name)
{
    Loaded out;
    UniqueBitmap bitmap(static_cast<HBITMAP>(
        ::LoadImageA(::GetModuleHandleA(nullptr), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!bitmap) return out;
    BITMAP info{};
    if (::GetObjectA(bitmap.get(), sizeof info, &info) != sizeof info) return out;
    out.width = info.bmWidth;
    out.height = info.bmHeight;

    BITMAPINFO request{};
    request.bmiHeader.biSize = sizeof request.bmiHeader;
    request.bmiHeader.biWidth = out.width;
    request.bmiHeader.biHeight = -out.height;
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 32;
    request.bmiHeader.biCompression = BI_RGB;
    out.pixels.resize(size_t(out.width) * out.height);
    UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    const int rows = ::GetDIBits(dc.get(), bitmap.get(), 0, UINT(out.height), out.pixels.data(), &request,
                                 DIB_RGB_COLORS);
    for (auto& p : out.pixels) p &= 0xFFFFFF;
    out.ok = rows == out.height;
    return out;
}

// A colour that only a blend with the transparent magenta would give.
bool MagentaTinted(std::uint32_t p)
{
    const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return p != kMagenta && r > 160 && b > 160 && g < r - 80 && g < b - 80;
}

TEST(TaskDialogBitmaps, EachPictureIsEmbeddedSizedAndCleanlyTransparent)
{
    struct Case {
        const char* name;
        int size;
        const char* control;  // the pictures of one control's states share it
    };
    const Case cases[] = {
        {"TD_ARW", 16, "arrow"},      {"TD_ARWHOT", 16, "arrow"},     {"TD_ARWDOWN", 16, "arrow"},
        {"TD_EXP", 19, "expand"},     {"TD_EXPHOT", 19, "expand"},    {"TD_EXPDOWN", 19, "expand"},
        {"TD_COLP", 19, "collapse"},  {"TD_COLPHOT", 19, "collapse"}, {"TD_COLPDOWN", 19, "collapse"},
        {"TD_SHIELD", 32, "shield"},
    };
    std::map<std::string, std::vector<Loaded>> byControl;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Loaded picture = LoadPicture(c.name);
        ASSERT_TRUE(picture.ok);
        ASSERT_EQ(picture.width, c.size);
        ASSERT_EQ(picture.height, c.size);

        const int last = c.size - 1;
        EXPECT_EQ(picture.At(0, 0), kMagenta);
        EXPECT_EQ(picture.At(last, 0), kMagenta);
        EXPECT_EQ(picture.At(0, last), kMagenta);
        EXPECT_EQ(picture.At(last, last), kMagenta);

        int opaque = 0, tinted = 0;
        for (std::uint32_t p : picture.pixels) {
            if (p != kMagenta) ++opaque;
            if (MagentaTinted(p)) ++tinted;
        }
        // Something substantial is drawn, and no edge was smoothed into the
        // transparent colour (it would show as a pink fringe).
        EXPECT_GT(opaque * 4, c.size * c.size);
        EXPECT_EQ(tinted, 0);
        byControl[c.control].push_back(std::move(picture));
    }

    for (const auto& [control, states] : byControl) {
        SCOPED_TRACE(control);
        for (size_t i = 0; i < states.size(); ++i) {
            for (size_t j = i + 1; j < states.size(); ++j) {
                // Each state looks different, yet the outline stays put so that
                // hovering or pressing does not make the control jump.
                EXPECT_TRUE(states[i].pixels != states[j].pixels) << "states " << i << " and " << j << " are the same";
                int silhouetteDiffers = 0;
                for (size_t k = 0; k < states[i].pixels.size(); ++k)
                    if ((states[i].pixels[k] == kMagenta) != (states[j].pixels[k] == kMagenta)) ++silhouetteDiffers;
                EXPECT_EQ(silhouetteDiffers, 0) << "states " << i << " and " << j;
            }
        }
    }
    // Showing and hiding the details are told apart by the chevron.
    ASSERT_FALSE(byControl["expand"].empty());
    ASSERT_FALSE(byControl["collapse"].empty());
    EXPECT_TRUE(byControl["expand"][0].pixels != byControl["collapse"][0].pixels);
}

}  // namespace
