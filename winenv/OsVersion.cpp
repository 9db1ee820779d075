#include "winenv/OsVersion.h"

namespace dupd {

PlatformFamily PlatformFamilyOf(std::uint32_t platformId)
{
    switch (platformId) {
    case 0: return PlatformFamily::Win32s;
    case 1: return PlatformFamily::Win9x;
    case 2: return PlatformFamily::NT;
    default: throw EOSError("Unrecognized operating system platform");
    }
}

}  // namespace dupd
