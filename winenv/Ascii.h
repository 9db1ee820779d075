// Case for ASCII letters only, the one way: file names, markup tags and
// accelerators are compared as the system compares them, whatever the locale,
// and a high character never turns into one of them.
#pragma once

#include <string>

namespace dupd {

inline char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string UpperAscii(std::string text)
{
    for (char& c : text) c = UpperAscii(c);
    return text;
}

inline bool SameTextAscii(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

}  // namespace dupd
