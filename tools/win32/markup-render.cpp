// markup-render: lays out a markup text the way the emulated task dialog does (the
// real GDI canvas, the system message font, one of the dialog's argument
// profiles), prints what the engine reports and optionally saves the painting as
// a PNG. For people who write dialog texts.
//
//   markup-render.exe --width W --profile paint|hit|measure [--point X,Y] [--out FILE.png] FILE
#include <windows.h>
#include <objidl.h>  // the imaging header needs the property types it leaves out
#include <gdiplus.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "markup/DrawMarkup.h"
#include "markup/win32/GdiCanvas.h"
#include "winenv/win32/Handle.h"

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

bool ReadMarkup(const std::string& path, std::string& text)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
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

// A white 32-bit bitmap selected into a memory DC.
class Page {
public:
    Page(int width, int height) : width_(width), height_(height), dc_(::CreateCompatibleDC(nullptr))
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        if (dc_) bitmap_.reset(::CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        bits_ = static_cast<BYTE*>(bits);
        if (bitmap_) old_ = ::SelectObject(dc_.get(), bitmap_.get());
    }
    ~Page()
    {
        if (old_) ::SelectObject(dc_.get(), old_);
    }
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    bool ok() const { return bits_ != nullptr; }
    HDC dc() const { return dc_.get(); }
    int width() const { return width_; }
    int height() const { return height_; }
    BYTE* bits() const { return bits_; }

private:
    int width_, height_;
    UniqueMemoryDc dc_;
    UniqueBitmap bitmap_;
    BYTE* bits_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

bool RunMarkup(Page& page, const std::string& text, int width, const TMarkupRequest& request, TMarkupResult& result)
{
    GdiCanvas canvas(page.dc());
    canvas.SetFont(MessageFont(page.dc()));
    // The dialog paints on a window-coloured background; here it is white.
    canvas.SetBrushColor(0x00FFFFFF);
    canvas.FillRect(TRect{0, 0, page.width(), page.height()});
    return DrawMarkup(canvas, text, TRect{0, 0, width, kBoundsHeight}, request, result);
}

std::wstring Wide(const std::string& text)
{
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? n : 1, L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &out[0], n);
    out.resize(out.size() - 1);
    return out;
}

// PNG through the system's imaging library; false with a message on failure.
bool SavePng(const Page& page, const std::string& path)
{
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) {
        std::fprintf(stderr, "markup-render: the imaging library (GDI+) did not start\n");
        return false;
    }
    bool saved = false;
    {
        UINT count = 0, size = 0;
        Gdiplus::DllExports::GdipGetImageEncodersSize(&count, &size);
        std::vector<BYTE> buffer(size);
        auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
        CLSID png{};
        bool found = false;
        if (size > 0 && Gdiplus::DllExports::GdipGetImageEncoders(count, size, codecs) == Gdiplus::Ok) {
            for (UINT i = 0; i < count && !found; ++i) {
                if (codecs[i].MimeType && std::wcscmp(codecs[i].MimeType, L"image/png") == 0) {
                    png = codecs[i].Clsid;
                    found = true;
                }
            }
        }
        Gdiplus::GpBitmap* bitmap = nullptr;
        if (!found) {
            std::fprintf(stderr, "markup-render: the imaging library has no PNG encoder\n");
        } else if (Gdiplus::DllExports::GdipCreateBitmapFromScan0(page.width(), page.height(), page.width() * 4,
                                                                   PixelFormat32bppRGB, page.bits(),
                                                                   &bitmap) != Gdiplus::Ok) {
            std::fprintf(stderr, "markup-render: could not hand the picture to the imaging library\n");
        } else {
            ::GdiFlush();
            const std::wstring file = Wide(path);
            saved = Gdiplus::DllExports::GdipSaveImageToFile(bitmap, file.c_str(), &png, nullptr) == Gdiplus::Ok;
            if (!saved) std::fprintf(stderr, "markup-render: could not write %s\n", path.c_str());
            Gdiplus::DllExports::GdipDisposeImage(bitmap);
        }
    }
    Gdiplus::GdiplusShutdown(token);
    return saved;
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
    if (!ReadMarkup(options.file, text)) {
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
        Page probe(options.width, 1);
        if (!probe.ok()) {
            std::fprintf(stderr, "markup-render: could not create a drawing surface\n");
            return 1;
        }
        TMarkupResult measured;
        RunMarkup(probe, text, options.width, MarkupHitTestProfile(0, 0, true), measured);
        if (measured.Height > pageHeight) pageHeight = measured.Height;
    }

    Page page(options.width, pageHeight);
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
        if (!SavePng(page, options.out)) return 1;
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
