// The system's version record, queried afresh on every call.
#pragma once

#include "winenv/OsVersion.h"

namespace dupd {

OsVersionInfo QueryOsVersion();

}  // namespace dupd
