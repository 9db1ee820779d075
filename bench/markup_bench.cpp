// The markup engine's measuring pass (the dialog's layout call: hit-testing
// profile with MeasureOnly) over texts of 1 KB to 1 MB on the recording test
// canvas. Bytes per second should stay about the same at every size: the engine
// consumes the markup by position, so its cost grows with the text.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "markup/DrawMarkup.h"
#include "tests/host/TestCanvas.h"

namespace {

using namespace dupd;

// Words, tags, entities, line breaks and anchors in a fixed pseudo-random mix.
std::string MixedMarkup(std::size_t bytes)
{
    static const char* const kWords[] = {"database", "update", "the", "of", "Quellmark", "installed",
                                         "version", "files", "restart", "a", "signature", "package"};
    static const char* const kPieces[] = {
        "<B>bold words</B> ",
        "<I>slanted</I> ",
        "<A href=\"http://example.test/page\">a link</A> ",
        "&amp; ",
        "&copy;&nbsp;2024 ",
        "&quot;quoted&quot; ",
        "<BR>",
        "\r\n",
        "<FONT COLOR=\"clRed\" SIZE=\"2\">red</FONT> ",
        "<U>under</U>lined ",
        "&lt;angle&gt; ",
        "<P ALIGN=\"CENTER\">centred</P>",
    };
    std::string text;
    text.reserve(bytes + 64);
    std::uint32_t state = 2463534242u;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    while (text.size() < bytes) {
        const std::uint32_t r = next();
        if (r % 4 == 0) {
            text += kPieces[(r >> 8) % (sizeof kPieces / sizeof kPieces[0])];
        } else {
            text += kWords[(r >> 8) % (sizeof kWords / sizeof kWords[0])];
            text += ' ';
        }
    }
    return text;
}

void BM_MeasureMarkup(benchmark::State& state)
{
    const std::string text = MixedMarkup(static_cast<std::size_t>(state.range(0)));
    const TRect bounds{0, 0, 400, 10000};
    const TMarkupRequest request = MarkupHitTestProfile(0, 0, true);
    TestCanvas canvas;
    int height = 0;
    for (auto _ : state) {
        canvas.Clear();
        TMarkupResult result;
        DrawMarkup(canvas, text, bounds, request, result);
        height = result.Height;
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
    state.counters["lines"] = static_cast<double>(height) / TestCanvas::HeightFor(canvas.Font());
}

BENCHMARK(BM_MeasureMarkup)->Arg(1 << 10)->Arg(10 << 10)->Arg(100 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
