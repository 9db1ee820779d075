#include "install/Recovery.h"

#include "install/SafeReplace.h"
#include "winenv/PathTrust.h"

namespace dupd {

void RecoverInterruptedRun(IFileSystem& fs, IRestartQueue& queue, const std::string& installFolder,
                           const std::vector<std::string>& names)
{
    RecoverLeftovers(fs, installFolder, names, queue.ReadForRecovery());
}

void RecoverLogLeftovers(IFileSystem& fs, const std::string& logDir)
{
    if (IsDrivePath(logDir) && IsRealLocalFolder(fs, logDir)) RecoverLeftovers(fs, logDir, {"UPDLOG.TXT"}, {});
}

}  // namespace dupd
