#include "winenv/win32/SystemText.h"

#include "winenv/Utf16Text.h"
#include "winenv/win32/OsVersionQuery.h"
#include "winenv/win32/WideText.h"

namespace dupd {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the system's wide characters are UTF-16 units");

TextMode ProcessTextMode()
{
    // A failed query is taken for 9x, as everywhere: the ANSI calls exist on both.
    static const TextMode mode = IsWinNTPlatform(QueryOsVersion()) ? TextMode::Utf8 : TextMode::Ansi;
    return mode;
}

std::wstring SystemWide(const std::string& text, TextMode mode)
{
    if (mode == TextMode::Ansi) return ToWide(text);
    const std::u16string wide = Utf8ToUtf16(text);
    return std::wstring(reinterpret_cast<const wchar_t*>(wide.data()), wide.size());
}

std::string FromSystemWide(const wchar_t* text, std::size_t length, TextMode mode)
{
    if (mode == TextMode::Ansi) return ToAnsi(text, length);
    return text == nullptr ? std::string() : Utf16ToUtf8(reinterpret_cast<const char16_t*>(text), length);
}

}  // namespace dupd
