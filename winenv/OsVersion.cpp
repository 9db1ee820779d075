#include "winenv/OsVersion.h"

namespace dupd {

std::optional<PlatformFamily> PlatformFamilyOf(std::uint32_t platformId)
{
    switch (platformId) {
    case 0: return PlatformFamily::Win32s;
    case 1: return PlatformFamily::Win9x;
    case 2: return PlatformFamily::NT;
    default: return std::nullopt;
    }
}

}  // namespace dupd
