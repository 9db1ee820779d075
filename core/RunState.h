// The program-wide state that the update run, file placement, the version gate and
// the log share for the life of the process.
#pragma once

#include <cstdint>
#include <string>

namespace dupd {

struct RunState {
    std::string StagingDir;   // no trailing backslash
    std::string InstallDir;   // with trailing backslash
    std::string LogDir;       // with trailing backslash, or empty
    bool LogStarted = false;
    bool RebootRequired = false;
    bool IsNTPlatform = false;
    std::uint32_t PlatformId = 2;  // from the version query at start
};

}  // namespace dupd
