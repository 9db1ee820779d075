// Times the end of a run's log work on a large accumulated UPDLOG.TXT: the merge of
// this run's lines in front of it and the cut to size, with the real file system
// and clock, and reports the process's peak working set before and after, which
// must not grow with the log.
//
//   log_bench DIR MEGABYTES
//
// Writes DIR\UPDLOG.TXT of that size first (DIR is a Windows path and must exist).
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/RunState.h"
#include "log/UpdateLog.h"
#include "winenv/win32/Win32Clock.h"
#include "winenv/win32/Win32FileSystem.h"

namespace {

SIZE_T PeakWorkingSet()
{
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    return GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc) ? pmc.PeakWorkingSetSize : 0;
}

double Millis(const LARGE_INTEGER& from, const LARGE_INTEGER& to, const LARGE_INTEGER& freq)
{
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(freq.QuadPart);
}

// Earlier runs' lines, written in 64 KB pieces so that making the log costs no
// memory of its own.
bool WriteAccumulatedLog(const std::string& path, unsigned long long bytes)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::string chunk;
    unsigned long long written = 0;
    bool ok = true;
    for (unsigned long run = 0; ok && written < bytes; ++run) {
        chunk += "[01/02/2024 09:00:00] Database Update 6934 installation program started\r\n";
        chunk += "[01/02/2024 09:00:01] Installing Database file qlm_list.dta 6934\r\n";
        chunk += "[01/02/2024 09:00:02] Installing Database file reflist.dta 6934\r\n";
        chunk += std::string(60, '-') + "\r\n\r\n";
        if (chunk.size() >= 65536 || written + chunk.size() >= bytes) {
            if (written + chunk.size() > bytes) chunk.resize(static_cast<std::size_t>(bytes - written));
            DWORD put = 0;
            ok = WriteFile(h, chunk.data(), static_cast<DWORD>(chunk.size()), &put, nullptr) && put == chunk.size();
            written += chunk.size();
            chunk.clear();
        }
    }
    CloseHandle(h);
    return ok;
}

unsigned long long FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

int CountLines(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    char buf[65536];
    DWORD got = 0;
    int lines = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0)
        for (DWORD i = 0; i < got; ++i) lines += buf[i] == '\n';
    CloseHandle(h);
    return lines;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: log_bench DIR MEGABYTES\n");
        return 2;
    }
    std::string dir = argv[1];
    if (dir.empty() || dir.back() != '\\') dir += '\\';
    const unsigned long long bytes = std::strtoull(argv[2], nullptr, 10) * 1024ull * 1024ull;

    DeleteFileA((dir + "UPDLOG.TMP").c_str());
    if (!WriteAccumulatedLog(dir + "UPDLOG.TXT", bytes)) {
        std::fprintf(stderr, "log_bench: cannot write %sUPDLOG.TXT\n", dir.c_str());
        return 1;
    }
    const SIZE_T peakBefore = PeakWorkingSet();

    dupd::Win32FileSystem fs;
    dupd::Win32Clock clock;
    dupd::RunState state;
    state.LogDir = dir;
    dupd::TUpdateLog log(fs, clock, state);

    LARGE_INTEGER freq, t0, t1, t2, t3;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    const bool started = log.StartLogFile();
    state.LogStarted = started;
    log.WriteToLog("Database Update 6935 installation program started");
    log.WriteToLog("Installing Database file qlm_list.dta 6935");
    log.WriteToLog("Installing Database file reflist.dta 6935");
    log.CloseLogFile();
    QueryPerformanceCounter(&t1);
    log.RewriteLog();
    const unsigned long long merged = FileSize(dir + "UPDLOG.TXT");
    QueryPerformanceCounter(&t2);
    log.CheckLogFile();
    QueryPerformanceCounter(&t3);
    const SIZE_T peakAfter = PeakWorkingSet();

    std::printf("log_mb=%s log_started=%d merge_ms=%.1f cut_ms=%.1f merged_bytes=%llu result_bytes=%llu "
                "result_lines=%d tmp_left=%d peak_kb_before=%lu peak_kb_after=%lu\n",
                argv[2], started ? 1 : 0, Millis(t1, t2, freq),
                Millis(t2, t3, freq), merged, FileSize(dir + "UPDLOG.TXT"), CountLines(dir + "UPDLOG.TXT"),
                GetFileAttributesA((dir + "UPDLOG.TMP").c_str()) != INVALID_FILE_ATTRIBUTES ? 1 : 0,
                static_cast<unsigned long>(peakBefore / 1024), static_cast<unsigned long>(peakAfter / 1024));
    return 0;
}
