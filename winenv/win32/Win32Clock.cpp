#include "winenv/win32/Win32Clock.h"

#include <windows.h>

#include <vector>

namespace dupd {

namespace {

constexpr LCID kSystemDefaultLocale = 0x0800;  // LOCALE_SYSTEM_DEFAULT

std::string LocaleText(LCTYPE type)
{
    const int size = ::GetLocaleInfoA(kSystemDefaultLocale, type, nullptr, 0);
    if (size <= 0) return {};
    std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
    if (::GetLocaleInfoA(kSystemDefaultLocale, type, buffer.data(), size) <= 0) return {};
    return buffer.data();
}

// An empty pattern (the locale could not be read) leaves the choice to the locale's
// own default format.
const char* PatternOrDefault(const std::string& pattern)
{
    return pattern.empty() ? nullptr : pattern.c_str();
}

template <class Format>
std::string Formatted(Format format)
{
    const int size = format(nullptr, 0);
    if (size <= 0) return {};
    std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
    if (format(buffer.data(), size) <= 0) return {};
    return buffer.data();
}

}  // namespace

Win32Clock::Win32Clock()
    : shortDate_(LocaleText(LOCALE_SSHORTDATE)), longTime_(LocaleText(LOCALE_STIMEFORMAT))
{
}

std::string Win32Clock::LogTimestamp()
{
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const std::string date = Formatted([&](char* out, int size) {
        return ::GetDateFormatA(kSystemDefaultLocale, 0, &now, PatternOrDefault(shortDate_), out, size);
    });
    const std::string time = Formatted([&](char* out, int size) {
        return ::GetTimeFormatA(kSystemDefaultLocale, 0, &now, PatternOrDefault(longTime_), out, size);
    });
    return date + " " + time;
}

}  // namespace dupd
