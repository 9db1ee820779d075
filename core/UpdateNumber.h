// The number of the database update this program installs: the version gate, the
// extras' expiry, the staged names and the log's first line all go by it.
#pragma once

namespace dupd {

inline constexpr int kUpdateNumber = 6935;
inline constexpr const char* kUpdateNumberText = "6935";

}  // namespace dupd
