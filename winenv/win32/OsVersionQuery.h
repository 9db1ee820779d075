// The system's version record, queried afresh on every call.
#pragma once

#include "winenv/OsVersion.h"

namespace dupd {

OsVersionInfo QueryOsVersion();

// Vista or later as the link opener and the emulated dialog tell it: kernel32
// exports GetLocaleInfoEx. kernel32 is always mapped, so asking loads nothing.
bool KernelHasGetLocaleInfoEx();

}  // namespace dupd
