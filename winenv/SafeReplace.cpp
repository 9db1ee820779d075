#include "winenv/SafeReplace.h"

namespace dupd {

namespace {

// A backup name beside the target that is free (a stale one from an interrupted run
// is removed first).
std::string FreeBackupName(IFileSystem& fs, const std::string& target)
{
    for (int i = 0; i < 10; ++i) {
        std::string name = target + ".dupd-old" + (i ? std::to_string(i) : std::string());
        if (!fs.FileExists(name) || fs.Delete(name)) return name;
    }
    return "";
}

}  // namespace

ReplaceOutcome ReplaceFileKeepingOld(IFileSystem& fs, const std::string& source, const std::string& target)
{
    if (!fs.FileExists(target)) return fs.Move(source, target) ? ReplaceOutcome::Replaced : ReplaceOutcome::MoveFailed;

    // A read-only file could not be deleted either: it stays, as a deletion would leave it.
    if (fs.IsReadOnly(target)) return ReplaceOutcome::TargetBusy;
    const std::string backup = FreeBackupName(fs, target);
    if (backup.empty() || !fs.Move(target, backup)) return ReplaceOutcome::TargetBusy;

    if (!fs.Move(source, target)) {
        fs.Move(backup, target);
        return ReplaceOutcome::MoveFailed;
    }
    fs.Delete(backup);
    return ReplaceOutcome::Replaced;
}

}  // namespace dupd
