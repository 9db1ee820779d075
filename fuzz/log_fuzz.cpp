// libFuzzer target: the input is an accumulated UPDLOG.TXT. A run of the log (start,
// a few lines, close, merge, cut) goes over it in the in-memory file system, with a
// leftover UPDLOG.TMP of other bytes beside it; how many lines, which messages,
// whether the files exist and whether the old log is made long enough to be cut are
// drawn from the input. The result must be this run's lines, then every old line as
// the text-line rule reads it, in order, each ended by CR LF, cut only above the
// size limit and only as the cut rule says. Built and run by scripts/fuzz.
#include "FuzzCheck.h"
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "core/RunState.h"
#include "log/UpdateLog.h"

namespace {

using namespace dupd;
using fuzzcheck::Check;
using fuzzcheck::Fail;

const std::string kDir = "C:\\Users\\u\\Documents\\Ostravane\\Quellmark Logfiles\\";
const std::string kTxt = kDir + "UPDLOG.TXT";
const std::string kTmp = kDir + "UPDLOG.TMP";

std::uint32_t Hash(const std::string& text)
{
    std::uint32_t h = 2166136261u;
    for (unsigned char c : text) h = (h ^ c) * 16777619u;
    return h;
}

// The old log's lines by the text-line rule, each cut to the copy's cap.
std::vector<std::string> OldLines(const std::string& data)
{
    std::vector<std::string> lines;
    std::string line;
    bool started = false;
    for (char c : data) {
        if (c == '\x1A') break;
        started = true;
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
            started = false;
        } else if (c != '\r' && line.size() < kLogLineCap) {
            line.push_back(c);
        }
    }
    if (started) lines.push_back(line);
    return lines;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string out;
    for (const auto& l : lines) out += l + "\r\n";
    return out;
}

// Where the result first leaves the expected lines, for the report.
void ShowDifference(const std::string& got, const std::vector<std::string>& expected)
{
    std::size_t at = 0, line = 0;
    for (; line < expected.size(); ++line) {
        const std::string want = expected[line] + "\r\n";
        if (got.compare(at, want.size(), want) != 0) break;
        at += want.size();
    }
    std::fprintf(stderr, "log_fuzz: %zu bytes, %zu lines expected (%zu bytes); first difference in line %zu at byte %zu\n",
                 got.size(), expected.size(), Joined(expected).size(), line, at);
    if (line < expected.size())
        std::fprintf(stderr, "  expected: \"%.80s\" (%zu bytes)\n", expected[line].c_str(), expected[line].size());
    const std::string rest = got.substr(at, std::min<std::size_t>(80, got.size() - at));
    std::fprintf(stderr, "  got:      \"%s\"\n", rest.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::uint32_t h = Hash(input);
    const bool haveTxt = (h & 7) != 0;
    const bool haveTmp = (h & 8) != 0;

    // Short inputs repeated past the size limit, so that the cut is reached often.
    std::string txt = input;
    if (!input.empty() && ((h >> 4) & 3) == 0)
        while (txt.size() <= kLogSizeLimit) txt += input;

    // This run's messages as the program writes them: no line-end bytes, short.
    const int count = static_cast<int>((h >> 6) % 5);
    std::vector<std::string> messages;
    for (int i = 0; i < count; ++i) {
        const std::size_t from = input.empty() ? 0 : (h >> (i + 9)) % input.size();
        std::string m = input.substr(from, (h >> (i + 3)) % 120);
        for (auto& c : m)
            if (c == '\r' || c == '\n' || c == '\x1A') c = ' ';
        messages.push_back(m);
    }

    fake::FakeFileSystem fs;
    fake::FakeClock clock;
    fs.AddFolder(kDir);
    if (haveTxt) fs.AddFile(kTxt, txt);
    if (haveTmp) fs.AddFile(kTmp, "[01.01.2001 00:00:00] left by an interrupted run\r\n" + input.substr(h % (size + 1)));

    RunState state;
    state.LogDir = kDir;
    state.IsNTPlatform = (h & 0x10000) != 0;
    state.PlatformId = state.IsNTPlatform ? 2 : 1;

    std::vector<std::string> expected;
    {
        TUpdateLog log(fs, clock, state);
        Check(log.StartLogFile(), "the log does not start");
        for (int i = 0; i < count; ++i) {
            clock.stamp = "08.12.2026 20:43:1" + std::to_string(i);
            log.WriteToLog(messages[static_cast<std::size_t>(i)]);
            expected.push_back(FormatLogLine(clock.stamp, messages[static_cast<std::size_t>(i)]));
        }
        log.CloseLogFile();
        log.RewriteLog();
        log.CheckLogFile();
    }
    Check(!state.LogStarted, "the log is still marked started");
    expected.push_back(std::string(60, '-'));
    expected.push_back("");

    if (haveTxt)
        for (auto& l : OldLines(txt)) expected.push_back(std::move(l));
    // Above the limit the first 101 lines are kept and marked; a log of fewer lines
    // is rewritten whole and unmarked.
    if (Joined(expected).size() > kLogSizeLimit && expected.size() >= static_cast<std::size_t>(kLogLinesKept)) {
        expected.resize(kLogLinesKept);
        const std::string stars(40, '*');
        expected.insert(expected.end(), {"", stars, "Logfile auto-truncated by Quellmark", stars});
    }

    Check(fs.Has(kTxt), "UPDLOG.TXT is gone");
    const std::string& got = fs.Content(kTxt);
    for (std::size_t i = 0; i < got.size(); ++i) {
        if (got[i] == '\n' && (i == 0 || got[i - 1] != '\r')) Fail("a line ends with LF alone");
        if (got[i] == '\r' && (i + 1 == got.size() || got[i + 1] != '\n')) Fail("a CR stands without its LF");
    }
    Check(!got.empty() && got.size() >= 2 && got.compare(got.size() - 2, 2, "\r\n") == 0,
          "the last line has no CR LF");
    if (got != Joined(expected)) {
        ShowDifference(got, expected);
        Fail("the log is not this run's lines followed by the old lines, cut by the rule");
    }
    return 0;
}
