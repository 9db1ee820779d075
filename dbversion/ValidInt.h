// The one rule by which version and expiry texts become numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace dupd {

// Leading spaces, one optional sign, then decimal digits within the signed 32-bit
// range or hexadecimal digits after "$", "x", "X", "0x" or "0X" fitting 32 bits (read
// as a signed pattern, so $FFFFFFFF is -1); nothing may follow.
std::optional<std::int32_t> ParseValidInt(const std::string& text);

}  // namespace dupd
