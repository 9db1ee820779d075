// The system's SHA-256 (CryptoAPI's AES provider: XP SP3 and later).
#pragma once

#include <memory>

#include "winenv/Platform.h"

namespace dupd {

// nullptr where the system offers none (9x, XP before SP3).
std::unique_ptr<IDigest> NewSystemSha256();

}  // namespace dupd
