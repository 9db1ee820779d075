// libFuzzer target: the whole input is a markup text. It goes through every
// helper that reads text and through the markup engine in the dialog's two
// argument profiles (painting; hit-testing with and without MeasureOnly) and once
// more with every optional collaborator given, all on the recording test canvas.
// Built and run by scripts/fuzz.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "TestCanvas.h"
#include "markup/DrawMarkup.h"
#include "markup/MarkupHelpers.h"

namespace {

using namespace dupd;

void Check(bool ok)
{
    if (!ok) std::abort();
}

std::uint32_t Hash(const std::string& text)
{
    std::uint32_t h = 2166136261u;
    for (unsigned char c : text) h = (h ^ c) * 16777619u;
    return h;
}

void FuzzHelpers(const std::string& text)
{
    const std::string named = ReplaceNamedEntities(text);
    Check(ReplaceNamedEntities(named) == named);  // nothing left for another sweep
    Check(named.size() <= text.size());
    Check(ReplacePieceEntities(text).size() <= text.size());
    Check(ApplyHashTagRule(text).size() <= text.size());
    const std::string lines = ApplyLineEndRule(text, true);
    Check(lines.find_first_of("\r\n") == std::string::npos);
    Check(ApplyLineEndRule(text, false).size() <= text.size());

    // Some of the text as a pattern, and the rest as the text to search.
    const std::size_t cut = text.empty() ? 0 : Hash(text) % (text.size() + 1);
    const std::string pattern = text.substr(0, std::min<std::size_t>(cut, 8));
    const std::string rest = text.substr(cut);
    const int found = FindNoCase(rest, pattern);
    Check(found >= 0 && static_cast<std::size_t>(found) <= rest.size());
    int reported = -1;
    Check(FindAndReport(pattern, rest, reported) == reported);
    std::string replaced = rest;
    Check(ReplaceFirstNoCase(pattern, "<>", replaced) == (found > 0));

    bool valid = false;
    ReadNumber(text, &valid);
    HexPair(text);
    HexColor(text);
    ColorValue(text);
    ColorValue(TrimSpaces(text));
    for (const char* name : {"HREF", " COLOR", "x", "SRC", "ALIGN"}) {
        const std::string value = AttributeValue(text, name);
        Check(value.find('"') == std::string::npos);
    }
    SizeAttribute(text);
    const std::string trimmed = TrimSpaces(text);
    Check(trimmed.empty() || (trimmed.front() != ' ' && trimmed.back() != ' '));

    std::vector<std::string> split;
    SplitLines(text, split);
    Check(!split.empty());

    TestCanvas canvas;
    TFontState first = canvas.Font();
    first.Style = fsBold;
    int width = 0, height = 0;
    MeasureLines(canvas, text, first, canvas.Font(), 0, width, height, (cut & 1) != 0);
    Check(width >= 0 && height >= 0);
    int size = 0;
    SystemIcon(canvas, 0, 0, size, 1.5, (cut & 2) != 0, true, (cut & 4) != 0, text);
}

void Draw(const std::string& text, const TRect& bounds, const TMarkupRequest& request)
{
    TestCanvas canvas;
    const TFontState font = canvas.Font();
    const TColor brush = canvas.BrushColor();
    TMarkupResult result;
    const bool hit = DrawMarkup(canvas, text, bounds, request, result);
    Check(!(hit && request.MeasureOnly));
    Check(canvas.Font() == font && canvas.BrushColor() == brush);
    Check(result.Width >= 0 && result.Height >= 0 && result.AnchorCount >= 0);
}

void FuzzEngine(const std::string& text)
{
    const std::uint32_t h = Hash(text);
    // The dialog's width, and a small rectangle that cuts the text.
    const TRect wide{0, 0, 300, 10000};
    const TRect small{5, 5, 5 + static_cast<int>(h % 150), 5 + static_cast<int>((h >> 8) % 120)};
    const int px = static_cast<int>((h >> 4) % 310);
    const int py = static_cast<int>((h >> 12) % 200);

    Draw(text, wide, MarkupPaintProfile());
    Draw(text, small, MarkupPaintProfile());
    Draw(text, wide, MarkupHitTestProfile(px, py, true));
    Draw(text, wide, MarkupHitTestProfile(px, py, false));
    Draw(text, small, MarkupHitTestProfile(px % 160, py % 130, false));

    // Every optional collaborator and switch the dialog leaves alone.
    FakeImageList images(2, 16, 16);
    FakePictureContainer container;
    container.Add("named", 20, 12).OffsetX = 3;
    container.Add("empty", 0, 0);
    FakePictureCache cache;
    cache.Loadable["RES://PIC"] = {24, 24};
    TMarkupRequest all = MarkupPaintProfile();
    all.ImageList = &images;
    all.PictureContainer = &container;
    all.PictureCache = &cache;
    all.PointX = px;
    all.PointY = py;
    all.FocusAnchor = static_cast<int>(h % 3);
    all.HoverAnchor = static_cast<int>((h >> 2) % 3);
    all.HoverStyle = (h & 1) != 0;
    all.WordWrap = (h & 2) != 0;
    all.ScaleImages = true;
    all.ImageScale = 1.5;
    all.HoverBrushColor = 0xFF00000D;
    all.HoverFontColor = 0x000000FF;
    all.LineSpacing = 2;
    all.ShadowOffset = 2;
    Draw(text, wide, all);
    all.HitTestOnly = true;
    Draw(text, small, all);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    FuzzHelpers(text);
    FuzzEngine(text);
    return 0;
}
