// Replacements that wait for the next start of Windows: the system's pending-rename
// list on the NT platform, the [rename] section of wininit.ini on the 9x family.
// One of the two is chosen once per run; the rest of the program asks it the same
// questions either way.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "install/SafeReplace.h"
#include "winenv/Platform.h"

namespace dupd {

enum class Waiting { No, Yes, Unknown };

class IRestartQueue {
public:
    virtual ~IRestartQueue() = default;

    // Does the restart replace `target` by `source`? Unknown, with Error() telling
    // why, when the queue cannot be read.
    virtual Waiting Awaits(const std::string& source, const std::string& target) = 0;
    // Does a replacement that an earlier run left for the restart stand in the way of
    // placing `target` now (by the run's `copy`, from the staged `source`)?
    virtual Waiting LeftByEarlierRun(const std::string& copy, const std::string& source,
                                     const std::string& target) = 0;
    // Lets the restart replace `target` by `copy`, once however often it is asked;
    // false, with Error() telling why, when that cannot be done.
    virtual bool Add(const std::string& copy, const std::string& target) = 0;
    // What the queue awaits, read once for the recovery of leftovers; a queue that
    // cannot be read awaits every copy. 9x: an interrupted rewrite of wininit.ini
    // is put right first.
    virtual PendingSourceTest ReadForRecovery() = 0;

    // The system error of the last question that failed.
    std::uint32_t Error() const { return error_; }

protected:
    std::uint32_t error_ = 0;
};

std::unique_ptr<IRestartQueue> MakeRestartQueue(IFileSystem& fs, bool nt);

// The short form of `path` for wininit.ini; without one the long form.
std::string ShortName(IFileSystem& fs, const std::string& path);
// The Windows folder, never with a trailing backslash.
std::string GetWinDir(IFileSystem& fs);

}  // namespace dupd
