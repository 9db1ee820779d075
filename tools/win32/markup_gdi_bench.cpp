// markup_gdi_bench: the markup engine on the real GDI canvas, in-process, against a
// floor measured in the same process: one DrawTextA(DT_CALCRECT | DT_SINGLELINE |
// DT_NOPREFIX | DT_BOTTOM) per word in the system message font. For plain and mixed
// texts of 1 KB to 1 MB it times one measuring pass, one painting pass (on a white
// 32-bit page 10000 pixels tall, where painting stops) and one hit-testing pass,
// and prints the median time per laid-out word and its ratio to the floor; the
// painting pass is timed again on a canvas that makes only the system calls the
// engine names (no shortcuts), for comparison.
//
//   markup_gdi_bench.exe [RUNS]     (default 5)
//   markup_gdi_bench.exe --text plain|mixed BYTES FILE   writes such a text, for
//                                                         timing markup-render
#include <windows.h>

#include <algorithm>
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

const int kWidth = 400;
const int kPageHeight = 10000;

using tools::Median;
using tools::Now;

const char* const kWords[] = {"the",     "update",  "of",     "Quellmark", "databases", "needs",   "a",
                              "restart", "before",  "files",  "can",       "be",        "replaced", "while",
                              "another", "program", "holds",  "them",      "open",      "so",      "close",
                              "every",   "window",  "first",  "and",       "then",      "retry",   "now"};
const int kWordCount = sizeof kWords / sizeof kWords[0];

// Words separated by single spaces, `bytes` long; mixed text wraps some words in
// the tags a dialog text uses.
std::string Text(std::size_t bytes, bool mixed)
{
    std::string out;
    unsigned n = 0;
    while (out.size() < bytes) {
        const std::string word = kWords[(n * 7 + n / kWordCount) % kWordCount];
        if (!mixed) {
            out += word;
        } else {
            switch (n % 11) {
            case 3: out += "<B>" + word + "</B>"; break;
            case 5: out += "<A HREF=\"http://example.org/" + word + "\">" + word + "</A>"; break;
            case 7: out += "<I>" + word + "</I>"; break;
            case 9: out += "<FONT COLOR=\"#C00000\">" + word + "</FONT>"; break;
            default: out += word;
            }
        }
        out += ' ';
        ++n;
    }
    return out;
}

int WordsIn(const std::string& plain)
{
    int n = 0;
    bool inWord = false;
    for (char c : plain) {
        const bool space = c == ' ' || c == '\r' || c == '\n';
        if (!space && !inWord) ++n;
        inWord = !space;
    }
    return n;
}

TFontState MessageFont(HDC dc, LOGFONTA* logFont)
{
    TFontState font;
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (!::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return font;
    const LOGFONTA& lf = metrics.lfMessageFont;
    if (logFont) *logFont = lf;
    font.Name = lf.lfFaceName;
    const int pixels = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
    if (pixels > 0) font.Size = ::MulDiv(pixels, 72, ::GetDeviceCaps(dc, LOGPIXELSY));
    font.Style = lf.lfWeight >= FW_BOLD ? fsBold : 0;
    return font;
}

// Microseconds per word of one DrawTextA measuring call in the message font.
double FloorPerWord(HDC dc, const std::string& text)
{
    LOGFONTA lf{};
    MessageFont(dc, &lf);
    UniqueFont font(::CreateFontIndirectA(&lf));
    SelectObjectGuard selected(dc, font.get());
    std::vector<std::string> words;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t space = text.find(' ', at);
        const std::size_t end = space == std::string::npos ? text.size() : space + 1;
        words.push_back(text.substr(at, end - at));
        at = end;
    }
    const double t0 = Now();
    for (const std::string& w : words) {
        RECT r{0, 0, kWidth, kPageHeight};
        ::DrawTextA(dc, w.c_str(), static_cast<int>(w.size()), &r,
                    DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | DT_BOTTOM);
    }
    return (Now() - t0) / static_cast<double>(words.size());
}

// Microseconds per laid-out word of one DrawMarkup call.
double PassPerWord(HDC dc, const std::string& text, const TMarkupRequest& request,
                   GdiCanvas::Calls calls = GdiCanvas::Calls::kShortcuts)
{
    GdiCanvas canvas(dc, calls);
    canvas.SetFont(MessageFont(dc, nullptr));
    canvas.SetBrushColor(0x00FFFFFF);
    TMarkupResult result;
    const double t0 = Now();
    DrawMarkup(canvas, text, TRect{0, 0, kWidth, kPageHeight}, request, result);
    canvas.Flush();
    const double t = Now() - t0;
    return t / std::max(1, WordsIn(result.PlainText));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == "--text") {
        const std::string text = Text(std::strtoul(argv[3], nullptr, 10), std::string(argv[2]) == "mixed");
        FILE* out = std::fopen(argv[4], "wb");
        if (!out || std::fwrite(text.data(), 1, text.size(), out) != text.size() || std::fclose(out) != 0) {
            std::fprintf(stderr, "markup_gdi_bench: cannot write %s\n", argv[4]);
            return 1;
        }
        return 0;
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    DibPage page(kWidth, kPageHeight);
    RECT all{0, 0, kWidth, kPageHeight};
    ::FillRect(page.dc(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    std::printf("%-6s %-6s %10s %10s %8s %10s %8s %10s %8s %10s %8s\n", "text", "size", "floor us", "measure",
                "x floor", "paint", "x floor", "hit", "x floor", "sys paint", "x floor");
    const std::size_t sizes[] = {1024, 10 * 1024, 100 * 1024, 1024 * 1024};
    for (int mixed = 0; mixed < 2; ++mixed) {
        for (std::size_t bytes : sizes) {
            const std::string text = Text(bytes, mixed != 0);
            // Small texts repeat inside a run so that each figure covers enough words.
            const int inner = static_cast<int>(std::max<std::size_t>(1, 64 * 1024 / bytes));
            std::vector<double> floor, measure, paint, plainCalls, hit;
            for (int run = 0; run < runs; ++run) {
                double f = 0, m = 0, p = 0, sys = 0, h = 0;
                for (int i = 0; i < inner; ++i) {
                    f += FloorPerWord(page.dc(), text);
                    m += PassPerWord(page.dc(), text, MarkupHitTestProfile(0, 0, true));
                    p += PassPerWord(page.dc(), text, MarkupPaintProfile());
                    sys += PassPerWord(page.dc(), text, MarkupPaintProfile(), GdiCanvas::Calls::kPlain);
                    h += PassPerWord(page.dc(), text, MarkupHitTestProfile(kWidth / 2, kPageHeight / 2, false));
                }
                floor.push_back(f / inner);
                measure.push_back(m / inner);
                paint.push_back(p / inner);
                plainCalls.push_back(sys / inner);
                hit.push_back(h / inner);
            }
            const double fl = Median(floor);
            const double m = Median(measure), p = Median(paint), s = Median(plainCalls), h = Median(hit);
            char size[16];
            if (bytes >= 1024 * 1024)
                std::snprintf(size, sizeof size, "%zuMB", bytes / (1024 * 1024));
            else
                std::snprintf(size, sizeof size, "%zuKB", bytes / 1024);
            std::printf("%-6s %-6s %10.2f %10.2f %8.2f %10.2f %8.2f %10.2f %8.2f %10.2f %8.2f\n",
                        mixed ? "mixed" : "plain", size, fl, m, m / fl, p, p / fl, h, h / fl, s, s / fl);
            std::fflush(stdout);
        }
    }
    return 0;
}
