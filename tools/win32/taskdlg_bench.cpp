// taskdlg_bench: timing figures of the emulated task dialog, in-process, with
// QueryPerformanceCounter:
//   (a) Execute -> first completed paint, the updater's "update is corrupt" message;
//   (b) the same with 2 KB of markup content;
//   (c) one mouse move over that content: the form's LinkAt at points spread over
//       its content rectangle;
// each beside the time of one DrawTextA call measured in the same run, so that
// figures from different machines can be compared. Every dialog closes itself
// from its first paint, so the repetitions run unattended.
//
//   taskdlg_bench.exe [REPETITIONS]     (at least 20; default 25)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "taskdialog/TaskDialog.h"
#include "taskdialog/TaskMessageForm.h"
#include "taskdialog/win32/Win32TaskDialog.h"
#include "tools/win32/ToolSupport.h"
#include "winenv/win32/Handle.h"

namespace {

using namespace dupd;

const int kMinRepetitions = 20;
const int kDrawTextBatches = 20;  // per run
const int kDrawTextBatch = 16;    // calls timed together, for the clock's resolution
const int kPointColumns = 8;      // LinkAt points per run: a grid over the content
const int kPointRows = 6;
// A dialog that never reports its first paint would hang the run.
const UINT kWatchdogMs = 15000;

using tools::Median;
using tools::Now;

// One DrawTextA call as the dialog's measuring makes them: a word in the system
// message font.
class DrawTextProbe {
public:
    DrawTextProbe() : dc_(::CreateCompatibleDC(nullptr))
    {
        NONCLIENTMETRICSA metrics{};
        metrics.cbSize = sizeof metrics;
        if (::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
            font_.reset(::CreateFontIndirectA(&metrics.lfMessageFont));
    }
    bool ok() const { return dc_ && font_; }

    // Per-call times (microseconds) of a few batches, into `out`.
    void Measure(std::vector<double>& out)
    {
        SelectObjectGuard select(dc_.get(), font_.get());
        for (int b = 0; b < kDrawTextBatches; ++b) {
            const double t0 = Now();
            for (int i = 0; i < kDrawTextBatch; ++i) {
                RECT r{0, 0, 0, 0};
                ::DrawTextA(dc_.get(), "Database", -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | DT_BOTTOM);
            }
            out.push_back((Now() - t0) / kDrawTextBatch);
        }
    }

private:
    UniqueMemoryDc dc_;
    UniqueFont font_;
};

// The updater's message B.
void DescribeMessageB(TTaskDialogEx& d)
{
    d.SetTitle("Quellmark Database Updater  - Error");
    d.SetInstruction("Database Update is corrupt");
    d.SetContent(
        "Integrity checks show that this Database Update is corrupt. You should download a new update file from "
        "https://www.ostravane.com/quellmark");
    d.SetIcon(tiError);
    d.SetCommonButtons(TCommonButtons{cbOK});
    d.SetOptions(TTaskDialogOptions{doHyperlinks, doAllowMinimize, doAllowDialogCancel});
    d.SetFooterIcon(tfiInformation);
    d.SetFooter("For support contact: support@ostravane.com");
    d.SetDialogPosition(dpOwnerFormCenter);
    d.SetNonNativeDialog(nndAlways);
}

// About 2 KB of words, bold runs, links and line breaks.
std::string MarkupContent()
{
    static const char* const kWords[] = {"database", "update",  "files",   "placed", "checked", "signature",
                                         "restart",  "product", "folder",  "extra",  "expired", "version"};
    std::string s;
    for (int i = 0; s.size() < 2048; ++i) {
        s += "The ";
        s += kWords[i % 12];
        s += " and the ";
        s += kWords[(i * 5 + 3) % 12];
        s += " are <b>";
        s += kWords[(i * 7 + 1) % 12];
        s += "</b> now; see <a href=\"https://www.ostravane.com/quellmark/help/" + std::to_string(i) + "\">note " +
             std::to_string(i) + "</a> for more. ";
        if (i % 3 == 2) s += "<br>";
    }
    return s;
}

struct Row {
    std::vector<double> firstPaint;  // microseconds
    std::vector<double> linkAt;
    int linkHits = 0;
    std::vector<double> drawText;
    int failures = 0;
};

HWND g_watched = nullptr;
bool g_watchdogFired = false;

void CALLBACK Watchdog(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    g_watchdogFired = true;
    if (HWND w = ::FindWindowA("TTaskMessageForm", nullptr)) ::PostMessageA(w, WM_CLOSE, 0, 0);
}

// One Execute of `dialog`, timed up to its first paint; `withLinks` also times
// LinkAt over the content from inside that paint.
void RunOnce(TTaskDialogEx& dialog, Win32TaskDialogPlatform& platform, DrawTextProbe& probe, bool withLinks,
             Row& row)
{
    double start = 0;
    bool painted = false;
    platform.OnFirstPaint = [&](HWND window) {
        const double paintedAt = Now();
        painted = true;
        row.firstPaint.push_back(paintedAt - start);
        if (withLinks) {
            if (TTaskMessageForm* form = dialog.MessageForm()) {
                const TRect c = form->ContentRect();
                for (int r = 0; r < kPointRows; ++r) {
                    for (int col = 0; col < kPointColumns; ++col) {
                        const int x = c.Left + (2 * col + 1) * c.Width() / (2 * kPointColumns);
                        const int y = c.Top + (2 * r + 1) * c.Height() / (2 * kPointRows);
                        const double t0 = Now();
                        const std::string link = form->LinkAt(x, y);
                        row.linkAt.push_back(Now() - t0);
                        if (!link.empty()) ++row.linkHits;
                    }
                }
            }
        }
        probe.Measure(row.drawText);
        ::PostMessageA(window, WM_CLOSE, 0, 0);
    };
    g_watchdogFired = false;
    const UINT_PTR watchdog = ::SetTimer(nullptr, 0, kWatchdogMs, Watchdog);
    start = Now();
    const int result = dialog.Execute();
    if (watchdog && !g_watchdogFired) ::KillTimer(nullptr, watchdog);
    platform.OnFirstPaint = nullptr;
    if (!painted || result != 2) ++row.failures;
}

void PrintRow(const char* name, const std::vector<double>& times, const std::vector<double>& drawText)
{
    const double median = Median(times);
    const double unit = Median(drawText);
    const double lo = times.empty() ? 0 : *std::min_element(times.begin(), times.end());
    const double hi = times.empty() ? 0 : *std::max_element(times.begin(), times.end());
    std::printf("%-44s %6zu %11.1f %11.1f %11.1f %11.2f %10.0f\n", name, times.size(), median, lo, hi, unit,
                unit > 0 ? median / unit : 0.0);
}

int Bench(int argc, char** argv)
{
    int repetitions = 25;
    if (argc > 2 || (argc == 2 && (repetitions = std::atoi(argv[1])) < kMinRepetitions)) {
        std::fprintf(stderr, "usage: taskdlg_bench.exe [REPETITIONS]   (at least %d)\n", kMinRepetitions);
        return 2;
    }
    if (tools::TicksPerMicrosecond() <= 0) {
        std::fprintf(stderr, "taskdlg_bench: no performance counter\n");
        return 1;
    }

    DrawTextProbe probe;
    if (!probe.ok()) {
        std::fprintf(stderr, "taskdlg_bench: could not set up the message font\n");
        return 1;
    }
    Win32TaskDialogPlatform platform(nullptr);

    TTaskDialogEx plain(platform);
    DescribeMessageB(plain);
    const std::string content = MarkupContent();
    TTaskDialogEx notes(platform);
    DescribeMessageB(notes);
    notes.SetTitle("Quellmark Database Updater  - Notes");
    notes.SetInstruction("Release notes");
    notes.SetContent(content);

    // Taken in turns, so that neither row gets the cold start or the warmer end.
    Row messageB, markup;
    for (int i = 0; i < repetitions; ++i) {
        RunOnce(plain, platform, probe, false, messageB);
        RunOnce(notes, platform, probe, true, markup);
    }

    std::printf("Emulated task dialog, in-process (QueryPerformanceCounter), %d repetitions; times in microseconds\n",
                repetitions);
    std::printf("%-44s %6s %11s %11s %11s %11s %10s\n", "", "n", "median", "min", "max", "DrawTextA", "x DrawText");
    PrintRow("(a) Execute -> first paint, message B", messageB.firstPaint, messageB.drawText);
    const std::string b = "(b) Execute -> first paint, " + std::to_string(content.size()) + " B markup";
    PrintRow(b.c_str(), markup.firstPaint, markup.drawText);
    PrintRow("(c) LinkAt, one mouse move over (b)", markup.linkAt, markup.drawText);
    std::printf("(c) %d of %zu points were on a link. DrawTextA: one call, DT_CALCRECT | DT_SINGLELINE | "
                "DT_NOPREFIX | DT_BOTTOM, one word, the message font.\n",
                markup.linkHits, markup.linkAt.size());
    const int failures = messageB.failures + markup.failures;
    if (failures > 0) {
        std::printf("%d run(s) did not paint or did not close with 2: the figures are incomplete\n", failures);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    // What a handler of the emulated dialog threw comes back out of Execute.
    try {
        return Bench(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "taskdlg_bench: %s\n", e.what());
        return 1;
    }
}
