// Text between the program's ANSI strings and the system's UTF-16 calls, in the
// ANSI code page: the one converter of the adapters.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

namespace dupd {

inline std::wstring ToWide(const std::string& text)
{
    if (text.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

// Into `out`, whose storage is kept for the next text (the canvas converts every
// piece it draws): the number of units, 0 when nothing converts.
inline int ToWide(const std::string& text, std::vector<wchar_t>& out)
{
    out.resize(text.size());  // an ANSI character never takes more than one unit
    const int n = text.empty() ? 0
                               : ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                                       out.data(), static_cast<int>(out.size()));
    out.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    return n > 0 ? n : 0;
}

// `length` units from `text`, NULs included.
inline std::string ToAnsi(const wchar_t* text, std::size_t length)
{
    if (text == nullptr || length == 0) return {};
    const int units = static_cast<int>(length);
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, units, &out[0], n, nullptr, nullptr);
    return out;
}

// Up to the first NUL.
inline std::string ToAnsi(const wchar_t* text)
{
    return text == nullptr ? std::string() : ToAnsi(text, std::wcslen(text));
}

}  // namespace dupd
