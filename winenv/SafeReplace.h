// Putting a new file in place of an old one so that, whatever fails, the old file
// stays until the new one is in place: the old file is first put aside under a
// backup name, and put back when the new one cannot be moved in.
#pragma once

#include <string>

#include "winenv/Platform.h"

namespace dupd {

enum class ReplaceOutcome {
    Replaced,    // the new file stands under the target name; the old one is gone
    TargetBusy,  // the old file could not be taken away (read-only, in use): nothing changed
    MoveFailed,  // the new file could not be moved in; the old one, if any, is back
};

ReplaceOutcome ReplaceFileKeepingOld(IFileSystem& fs, const std::string& source, const std::string& target);

}  // namespace dupd
