#include <gtest/gtest.h>

#include <string>

#include "winenv/Sha256.h"
#include "winenv/win32/Win32FileSystem.h"
#include "winenv/win32/Win32Sha256.h"

namespace dupd {
namespace {

std::string HexOf(IDigest& digest, const std::string& bytes)
{
    digest.Update(bytes.data(), bytes.size());
    const auto result = digest.Final();
    return result ? DigestHex(*result) : "failed";
}

// The system's hashing and the program's own must agree, at the padding's
// edges and beyond the system call's buffering, or a stamped package would be
// refused on one kind of system and not on another.
TEST(SystemSha256, AgreesWithTheProgramsOwn)
{
    ASSERT_NE(NewSystemSha256(), nullptr) << "this system offers SHA-256";
    Win32FileSystem fs;
    std::string bytes;
    unsigned seed = 6935;
    for (const std::size_t size : {0u, 1u, 55u, 56u, 64u, 1000u, (1u << 20) + 3}) {
        while (bytes.size() < size) {
            seed = seed * 1103515245u + 12345u;
            bytes += static_cast<char>(seed >> 16);
        }
        const std::string message = bytes.substr(0, size);
        Sha256 own;
        const std::string expected = HexOf(own, message);
        EXPECT_EQ(HexOf(*NewSystemSha256(), message), expected) << size << " bytes";
        EXPECT_EQ(HexOf(*fs.NewSha256(), message), expected) << size << " bytes";
    }
}

}  // namespace
}  // namespace dupd
