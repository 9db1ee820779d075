#include "winenv/win32/Win32Sha256.h"

#include <windows.h>
#include <wincrypt.h>

#include "winenv/win32/Handle.h"

namespace dupd {

namespace {

struct CryptProviderTraits {
    using pointer = HCRYPTPROV;
    static pointer Invalid() noexcept { return 0; }
    static bool IsValid(pointer h) noexcept { return h != 0; }
    static void Close(pointer h) noexcept { ::CryptReleaseContext(h, 0); }
};

struct CryptHashTraits {
    using pointer = HCRYPTHASH;
    static pointer Invalid() noexcept { return 0; }
    static bool IsValid(pointer h) noexcept { return h != 0; }
    static void Close(pointer h) noexcept { ::CryptDestroyHash(h); }
};

// One provider for the process: acquiring it costs far more than hashing a
// small database file, and a run hashes each file twice.
HCRYPTPROV Provider()
{
    static const UniqueHandle<CryptProviderTraits> provider = [] {
        UniqueHandle<CryptProviderTraits> p;
        if (!::CryptAcquireContextA(&p.out(), nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) p.reset();
        return p;
    }();
    return provider.get();
}

class CryptoApiSha256 final : public IDigest {
public:
    explicit CryptoApiSha256(UniqueHandle<CryptHashTraits> hash) : hash_(std::move(hash)) {}

    void Update(const char* data, std::size_t size) override
    {
        // The call takes a DWORD length; a failure spoils the whole digest.
        while (size > 0 && !failed_) {
            const DWORD piece = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
            failed_ = !::CryptHashData(hash_.get(), reinterpret_cast<const BYTE*>(data), piece, 0);
            data += piece;
            size -= piece;
        }
    }

    std::optional<DigestBytes> Final() override
    {
        DigestBytes out{};
        DWORD size = static_cast<DWORD>(out.size());
        if (failed_ || !::CryptGetHashParam(hash_.get(), HP_HASHVAL, out.data(), &size, 0) || size != out.size()) {
            return std::nullopt;
        }
        return out;
    }

private:
    UniqueHandle<CryptHashTraits> hash_;
    bool failed_ = false;
};

}  // namespace

std::unique_ptr<IDigest> NewSystemSha256()
{
    const HCRYPTPROV provider = Provider();
    UniqueHandle<CryptHashTraits> hash;
    if (!provider || !::CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash.out())) return nullptr;
    return std::make_unique<CryptoApiSha256>(std::move(hash));
}

}  // namespace dupd
