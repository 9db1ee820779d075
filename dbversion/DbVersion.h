// The installed database version, the gate that compares it with this update, and
// the expired extra databases.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "winenv/Platform.h"

namespace dupd {

inline constexpr unsigned char kKeyOffset = 0x3B;

// Unscrambles one line: first character minus 0x3B is the key k, every later one
// minus k (mod 256). An empty line stays empty.
std::string DeCrypt(const std::string& line);
// The inverse, for the sample-data tool and the tests: `key` is the unscrambled
// first character.
std::string EnCrypt(const std::string& plain);

// Cuts the version out of an unscrambled version line ("Q::6935||..." gives
// "6935"); "" when there is no usable number.
std::string CutVersion(const std::string& unscrambledLine);

// The installed version from InstallDir + "reflist.dta": "" or a valid integer.
// A missing, unreadable or empty file gives "".
std::string GetDbaseVer(IFileSystem& fs, const std::string& installDir);

enum class VersionGateResult { Proceed, TooOld, Declined };
enum class VersionComparison { Proceed, TooOld, AskSame };
// The gate's decision before any question: an empty version proceeds.
VersionComparison CompareWithUpdate(const std::string& installedVersion);

// The expiry number of an extra file; -1 when it is not usable (not a valid integer,
// unreadable, empty).
std::int32_t GetExtraVersion(IFileSystem& fs, const std::string& fileName);

// Deletes extra1.dta .. extra50.dta in installDir whose expiry number this update
// has reached; `log` receives "Expired EXTRA.DAT file extraN.dta deleted." for each.
void DeleteExtras(IFileSystem& fs, const std::string& installDir,
                  const std::function<void(const std::string&)>& log);

}  // namespace dupd
