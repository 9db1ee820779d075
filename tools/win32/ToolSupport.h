// What the project's Windows tools share: a file read whole, and the clock and the
// median of the benchmarks.
#pragma once

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace dupd::tools {

// The whole file; false for a folder or a file that cannot be read.
inline bool ReadWholeFile(const std::string& path, std::string& text)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// The performance counter's ticks per microsecond; 0 where the system has none.
inline double TicksPerMicrosecond()
{
    static const double ticks = [] {
        LARGE_INTEGER frequency;
        return ::QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0
                   ? static_cast<double>(frequency.QuadPart) / 1e6
                   : 0.0;
    }();
    return ticks;
}

// Microseconds on the performance counter (from an arbitrary start).
inline double Now()
{
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    const double ticks = TicksPerMicrosecond();
    return ticks > 0 ? static_cast<double>(t.QuadPart) / ticks : 0.0;
}

// 0 for none.
inline double Median(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace dupd::tools
