// Readable names for the rows of a parameterised table. GoogleTest takes only
// letters, digits and underscores in a name, and without one CTest lists the
// row as a dump of its bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dupd {

// The row's position keeps names unique; the text shows what the row is about.
inline std::string CaseName(std::size_t index, std::string_view text)
{
    std::string name = std::to_string(index) + "_";
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if ((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z')) {
            name += c;
            continue;
        }
        switch (c) {
        case ' ': name += "_"; break;
        case '-': name += "minus"; break;
        case '+': name += "plus"; break;
        case '$': name += "dollar"; break;
        case ':': name += "colon"; break;
        case '|': name += "bar"; break;
        default: {
            static const char kHex[] = "0123456789ABCDEF";
            name += "x";
            name += kHex[u >> 4];
            name += kHex[u & 15];
        }
        }
    }
    return name;
}

} // namespace dupd
