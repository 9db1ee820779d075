// Decisions taken from the system's version record (GetVersionExA with a 148-byte
// OSVERSIONINFOA). The record is queried by winenv/win32/OsVersionQuery.cpp.
#pragma once

#include <cstdint>
#include <optional>

namespace dupd {

struct OsVersionInfo {
    bool queried = false;  // the query succeeded
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t platformId = 0;  // 0 Win32s, 1 Windows 9x, 2 NT
};

enum class PlatformFamily { NT, Win9x, Win32s };

// A failed query answers false: the program then takes the older, safer way.
inline bool IsVistaOrLater(const OsVersionInfo& v) { return v.queried && v.majorVersion >= 6; }
inline bool IsWinNTPlatform(const OsVersionInfo& v) { return v.queried && v.platformId == 2; }

// nullopt for an identifier the program does not know.
std::optional<PlatformFamily> PlatformFamilyOf(std::uint32_t platformId);
// An unknown platform is no 9x system.
inline bool IsWin9xFamily(std::uint32_t platformId) { return PlatformFamilyOf(platformId) == PlatformFamily::Win9x; }

}  // namespace dupd
