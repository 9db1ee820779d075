// How the program's strings cross into the system's calls, decided once per
// process: on the NT platform they are UTF-8 (Utf16Text.h) and every adapter
// calls the UTF-16 ("W") entry points, so that a name outside the ANSI code page
// reaches its file; on the 9x family, which has no UTF-16 entry points, they are
// ANSI and the adapters call the "A" ones. The portable code never asks which.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>

namespace dupd {

enum class TextMode { Ansi, Utf8 };

// From the version query, at the first call.
TextMode ProcessTextMode();

// The program's text for a UTF-16 call: UTF-8 or the ANSI code page, by `mode`.
std::wstring SystemWide(const std::string& text, TextMode mode);
// `length` units of the system's UTF-16 text, NULs included, as the program's text.
std::string FromSystemWide(const wchar_t* text, std::size_t length, TextMode mode);
inline std::string FromSystemWide(const wchar_t* text, TextMode mode)
{
    return text == nullptr ? std::string() : FromSystemWide(text, std::wcslen(text), mode);
}

}  // namespace dupd
