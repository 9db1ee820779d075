#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "winenv/Sha256.h"

namespace dupd {
namespace {

std::string HexOf(const std::string& message, std::size_t piece)
{
    Sha256 digest;
    for (std::size_t at = 0; at < message.size(); at += piece) {
        digest.Update(message.data() + at, std::min(piece, message.size() - at));
    }
    const auto bytes = digest.Final();
    return bytes ? DigestHex(*bytes) : "failed";
}

// The published test vectors, each fed whole and in pieces that cross the
// 64-byte blocks at every offset the buffering must handle.
TEST(Sha256, PublishedVectorsWhateverThePieces)
{
    const struct {
        std::string message;
        const char* hex;
    } vectors[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& v : vectors) {
        for (const std::size_t piece : {std::size_t{1000000}, std::size_t{1}, std::size_t{55}, std::size_t{63},
                                        std::size_t{64}, std::size_t{65}, std::size_t{4096}}) {
            EXPECT_EQ(HexOf(v.message, piece), v.hex) << v.message.size() << " bytes in pieces of " << piece;
        }
    }
}

// Lengths around the padding's edge: 55 bytes still fit the length in the last
// block, 56 need one more. Two ways of feeding must agree at every length.
TEST(Sha256, EveryLengthAroundThePaddingAgreesWhateverThePieces)
{
    std::string message;
    for (int n = 0; n < 200; ++n) {
        EXPECT_EQ(HexOf(message, 1), HexOf(message, 200)) << n << " bytes";
        message += static_cast<char>(n * 7 + 1);
    }
    EXPECT_EQ(HexOf(std::string(56, 'a'), 56), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
}

}  // namespace
}  // namespace dupd
