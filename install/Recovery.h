// Every run begins by putting right what an earlier run, killed or without power
// half-way, left beside the files it was replacing (the rules are RecoverLeftovers').
#pragma once

#include <string>
#include <vector>

#include "install/RestartQueue.h"
#include "winenv/Platform.h"

namespace dupd {

// Beside `names` in the installation folder; the copies that the restart queue
// awaits are kept, and on 9x wininit.ini is put right first.
void RecoverInterruptedRun(IFileSystem& fs, IRestartQueue& queue, const std::string& installFolder,
                           const std::vector<std::string>& names);

// Beside UPDLOG.TXT, where the log folder is a real local folder.
void RecoverLogLeftovers(IFileSystem& fs, const std::string& logDir);

}  // namespace dupd
