#include "dbversion/ValidInt.h"

namespace dupd {

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::int32_t> ParseValidInt(const std::string& text)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ') ++i;

    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    bool hex = false;
    if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        i += 1;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == n) return std::nullopt;  // nothing, a bare sign or a bare prefix

    if (hex) {
        std::uint64_t value = 0;
        for (; i < n; ++i) {
            const int d = HexDigit(text[i]);
            if (d < 0) return std::nullopt;
            value = value * 16 + static_cast<std::uint64_t>(d);
            if (value > 0xFFFFFFFFull) return std::nullopt;
        }
        // The digits give a 32-bit pattern; a sign negates that pattern.
        std::uint32_t bits = static_cast<std::uint32_t>(value);
        if (negative) bits = 0u - bits;
        return static_cast<std::int32_t>(bits);
    }

    // Magnitude limit: 2^31 for a negative number, 2^31 - 1 otherwise.
    const std::uint64_t limit = negative ? 0x80000000ull : 0x7FFFFFFFull;
    std::uint64_t value = 0;
    for (; i < n; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > limit) return std::nullopt;
    }
    const std::int64_t signedValue = negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
    return static_cast<std::int32_t>(signedValue);
}

}  // namespace dupd
