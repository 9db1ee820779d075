// markup-render: lays out a markup text the way the emulated task dialog does (the
// real GDI canvas, the system message font, one of the dialog's argument
// profiles), prints what the engine reports and optionally saves the painting as
// a PNG. For people who write dialog texts.
//
//   markup-render.exe --width W --profile paint|hit|measure [--point X,Y] [--out FILE.png] FILE
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "markup/DrawMarkup.h"
#include "markup/win32/GdiCanvas.h"
#include "tools/win32/ToolSupport.h"
#include "winenv/win32/Handle.h"
#include "winenv/win32/Imaging.h"

namespace {

using namespace dupd;

const int kBoundsHeight = 10000;

struct Options {
    int width = 0;
    std::string profile;
    bool hasPoint = false;
    int pointX = 0, pointY = 0;
    std::string out;
    std::string file;
};

void Usage()
{
    std::fprintf(stderr,
                 "usage: markup-render.exe --width W --profile paint|hit|measure [--point X,Y] [--out FILE.png] FILE\n");
}

bool ParseInt(const std::string& text, int& value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < -1000000 || v > 1000000) return false;
    value = static_cast<int>(v);
    return true;
}

// Fills `options`, or explains what is wrong and returns false.
bool ParseArguments(int argc, char** argv, Options& options)
{
    bool haveWidth = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "markup-render: %s needs a value\n", arg.c_str());
                return false;
            }
            into = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--width") {
            if (!value(v)) return false;
            if (!ParseInt(v, options.width) || options.width < 1) {
                std::fprintf(stderr, "markup-render: --width must be a whole number of pixels above 0, not \"%s\"\n",
                             v.c_str());
                return false;
            }
            haveWidth = true;
        } else if (arg == "--profile") {
            if (!value(options.profile)) return false;
            if (options.profile != "paint" && options.profile != "hit" && options.profile != "measure") {
                std::fprintf(stderr, "markup-render: --profile must be paint, hit or measure, not \"%s\"\n",
                             options.profile.c_str());
                return false;
            }
        } else if (arg == "--point") {
            if (!value(v)) return false;
            const std::size_t comma = v.find(',');
            if (comma == std::string::npos || !ParseInt(v.substr(0, comma), options.pointX) ||
                !ParseInt(v.substr(comma + 1), options.pointY)) {
                std::fprintf(stderr, "markup-render: --point must be X,Y, not \"%s\"\n", v.c_str());
                return false;
            }
            options.hasPoint = true;
        } else if (arg == "--out") {
            if (!value(options.out)) return false;
            if (options.out.empty()) {
                std::fprintf(stderr, "markup-render: --out needs a file name\n");
                return false;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "markup-render: unknown option \"%s\"\n", arg.c_str());
            return false;
        } else if (options.file.empty()) {
            options.file = arg;
        } else {
            std::fprintf(stderr, "markup-render: only one markup file, but \"%s\" follows \"%s\"\n", arg.c_str(),
                         options.file.c_str());
            return false;
        }
    }
    if (!haveWidth) std::fprintf(stderr, "markup-render: --width is missing\n");
    if (options.profile.empty()) std::fprintf(stderr, "markup-render: --profile is missing\n");
    if (options.file.empty()) std::fprintf(stderr, "markup-render: the markup file is missing\n");
    return haveWidth && !options.profile.empty() && !options.file.empty();
}

// The font the emulated dialog uses: the system message font.
TFontState MessageFont(HDC dc)
{
    TFontState font;
    font.Color = 0xFF000008;  // window text
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (!::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return font;
    const LOGFONTA& lf = metrics.lfMessageFont;
    font.Name = lf.lfFaceName;
    const int pixels = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
    if (pixels > 0) font.Size = ::MulDiv(pixels, 72, ::GetDeviceCaps(dc, LOGPIXELSY));
    font.Style = 0;
    if (lf.lfWeight >= FW_BOLD) font.Style |= fsBold;
    if (lf.lfItalic) font.Style |= fsItalic;
    if (lf.lfUnderline) font.Style |= fsUnderline;
    if (lf.lfStrikeOut) font.Style |= fsStrikeOut;
    return font;
}

bool RunMarkup(DibPage& page, const std::string& text, int width, const TMarkupRequest& request, TMarkupResult& result)
{
    // Only the engine draws here, and the canvas is gone (its text on the page)
    // before the page is saved: pieces of a line may be drawn as one.
    GdiCanvas canvas(page.dc());
    canvas.SetFont(MessageFont(page.dc()));
    // The dialog paints on a window-coloured background; here it is white.
    canvas.SetBrushColor(0x00FFFFFF);
    canvas.FillRect(TRect{0, 0, page.width(), page.height()});
    return DrawMarkup(canvas, text, TRect{0, 0, width, kBoundsHeight}, request, result);
}

std::string Escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseArguments(argc, argv, options)) {
        Usage();
        return 2;
    }
    std::string text;
    if (!tools::ReadWholeFile(options.file, text)) {
        std::fprintf(stderr, "markup-render: cannot read the markup file \"%s\"\n", options.file.c_str());
        return 1;
    }

    TMarkupRequest request;
    if (options.profile == "paint")
        request = MarkupPaintProfile();
    else
        request = MarkupHitTestProfile(options.pointX, options.pointY, options.profile == "measure");

    // The picture's page is as tall as the whole text measures (at least one
    // pixel); without a picture nothing needs that height.
    int pageHeight = 1;
    if (!options.out.empty()) {
        DibPage probe(options.width, 1);
        if (!probe.ok()) {
            std::fprintf(stderr, "markup-render: could not create a drawing surface\n");
            return 1;
        }
        TMarkupResult measured;
        RunMarkup(probe, text, options.width, MarkupHitTestProfile(0, 0, true), measured);
        if (measured.Height > pageHeight) pageHeight = measured.Height;
    }

    DibPage page(options.width, pageHeight);
    if (!page.ok()) {
        std::fprintf(stderr, "markup-render: could not create a %d x %d drawing surface\n", options.width, pageHeight);
        return 1;
    }
    TMarkupResult result;
    const bool hit = RunMarkup(page, text, options.width, request, result);

    if (!options.out.empty()) {
        // The picture is always the painting, whichever profile was reported.
        if (options.profile != "paint") {
            TMarkupResult painted;
            RunMarkup(page, text, options.width, MarkupPaintProfile(), painted);
        }
        std::string error;
        if (!SavePng(page, options.out, error)) {
            std::fprintf(stderr, "markup-render: %s\n", error.c_str());
            return 1;
        }
    }

    // On a console the runtime leaves standard output unbuffered and would write
    // the plain text a character at a time.
    std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    std::printf("Result: %s\n", hit ? "true" : "false");
    std::printf("Width: %d\n", result.Width);
    std::printf("Height: %d\n", result.Height);
    std::printf("AnchorCount: %d\n", result.AnchorCount);
    std::printf("AnchorAtPoint: %s\n", Escaped(result.AnchorAtPoint).c_str());
    const std::string plain = Escaped(result.PlainText);
    std::fputs("PlainText: ", stdout);
    std::fwrite(plain.data(), 1, plain.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    return 0;
}
