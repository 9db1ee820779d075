// The program's strings and the system's UTF-16 names on the NT platform. Names
// are carried as UTF-8 generalised so that a lone surrogate, which NTFS and the
// registry accept in a name, is written as its own three bytes: every name the
// system gives comes back to it unchanged, so every file it names stays reachable.
#pragma once

#include <cstddef>
#include <string>

namespace dupd {

std::string Utf16ToUtf8(const char16_t* text, std::size_t length);
inline std::string Utf16ToUtf8(const std::u16string& text) { return Utf16ToUtf8(text.data(), text.size()); }

// A byte that begins no character (or a sequence cut short, overlong or beyond
// U+10FFFF) becomes U+FFFD, which names no file the program made.
std::u16string Utf8ToUtf16(const std::string& text);

}  // namespace dupd
