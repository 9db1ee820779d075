#include "winenv/win32/OsVersionQuery.h"

#include <windows.h>

namespace dupd {

OsVersionInfo QueryOsVersion()
{
    OSVERSIONINFOA record{};
    record.dwOSVersionInfoSize = 148;  // the plain record, not the EX one
    static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA layout");
    OsVersionInfo info;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    if (!::GetVersionExA(&record)) return info;
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    info.queried = true;
    info.majorVersion = record.dwMajorVersion;
    info.minorVersion = record.dwMinorVersion;
    info.platformId = record.dwPlatformId;
    return info;
}

bool KernelHasGetLocaleInfoEx()
{
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    return kernel != nullptr && ::GetProcAddress(kernel, "GetLocaleInfoEx") != nullptr;
}

}  // namespace dupd
