#include "install/win32/ManifestResource.h"

#include "install/PackageManifest.h"

namespace dupd {

std::optional<std::string> ReadManifestResource(HMODULE module)
{
    HRSRC found = ::FindResourceA(module, kManifestResource, RT_RCDATA);
    if (!found) return std::nullopt;
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes) return std::nullopt;
    return std::string(static_cast<const char*>(bytes), ::SizeofResource(module, found));
}

}  // namespace dupd
