// SHA-256, streaming: the program's own, for systems that have none (9x, XP
// before SP3), and the one the tests hold the system's against.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "winenv/Platform.h"

namespace dupd {

class Sha256 final : public IDigest {
public:
    Sha256();
    void Update(const char* data, std::size_t size) override;
    // The digest of everything given; the object is spent afterwards.
    std::optional<DigestBytes> Final() override;

private:
    void Block(const unsigned char* block);

    std::array<std::uint32_t, 8> state_;
    std::array<unsigned char, 64> pending_{};
    std::size_t pendingSize_ = 0;
    std::uint64_t totalBytes_ = 0;
};

// Lower-case hexadecimal, as the package manifest and the stamping tool write it.
std::string DigestHex(const DigestBytes& digest);

}  // namespace dupd
