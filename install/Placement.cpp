#include "install/Placement.h"

#include "core/Path.h"
#include "install/SafeReplace.h"
#include "install/Trust.h"

namespace dupd {

namespace {
PlaceOutcome Just(PlaceOutcome::Kind kind)
{
    PlaceOutcome outcome;
    outcome.kind = kind;
    return outcome;
}
}  // namespace

PlaceOutcome TPlacement::Place(const std::string& destinationFolder, const std::string& stagingFolder,
                               const std::string& fileName, const ManifestEntry* expected)
{
    const std::string target = JoinPath(destinationFolder, fileName);
    const std::string source = JoinPath(stagingFolder, fileName);
    const std::string copy = target + kNewSuffix;
    const std::string part = target + kPartSuffix;

    // A replacement that an earlier run left for the restart is left to it: placing
    // the file now would be undone, or lost, when the restart carries it out.
    switch (queue_.LeftByEarlierRun(copy, source, target)) {
    case Waiting::No:
        break;
    case Waiting::Yes:
        return Just(PlaceOutcome::Deferred);
    case Waiting::Unknown:
        // An unreadable wininit.ini may hold a pair that would delete the file placed now.
        return NotQueued(queue_.Error());
    }

    if (fs_.FileExists(target)) fs_.SetArchiveOnly(target);

    // The whole new file is copied beside the target before anything is removed, so
    // a full disk leaves the installation as it was. A copy, unlike a moved file,
    // takes the installation folder's access rights.
    // Only a copy in the installation folder, which no other program of the user
    // can change, is checked and renamed on: a staged file swapped after the check
    // gives a copy that is not whole.
    if (!CopyWhole(fs_, source, part, expected)) return Just(PlaceOutcome::NotMoved);
    // On NT this also replaces, in one step, a copy that waits for the restart, so
    // that its pending entry now brings in this one.
    if (!RenameOver(fs_, nt_, part, copy)) {
        fs_.Delete(part);
        return Just(PlaceOutcome::NotMoved);
    }

    switch (ReplaceWhole(fs_, nt_, copy, target)) {
    case ReplaceOutcome::Replaced:
        RemoveStaged(source);
        return Just(PlaceOutcome::Placed);
    case ReplaceOutcome::Failed:
    case ReplaceOutcome::Committed:
        // The whole copy stays; the next run renames it in where the target is missing.
        return Just(PlaceOutcome::NotMoved);
    case ReplaceOutcome::TargetBusy:
        break;
    }

    // The copy waits beside the target: no other program can change or remove it
    // before the restart, and no later run or abort touches it.
    if (queue_.Add(copy, target)) return Just(PlaceOutcome::Deferred);
    const std::uint32_t code = queue_.Error();
    fs_.Delete(copy);
    return NotQueued(code);
}

void TPlacement::DeletePackage(const std::string& stagingFolder, const std::string& trustedInstall,
                               const std::string& installFolder, const std::vector<std::string>& names)
{
    if (!StagingTrusted(fs_, stagingFolder, trustedInstall)) return;
    for (const std::string& name : names) {
        if (!StagedFileUsable(fs_, stagingFolder, name)) continue;
        const std::string staged = JoinPath(stagingFolder, name);
        if (!installFolder.empty() && queue_.Awaits(staged, JoinPath(installFolder, name)) == Waiting::Yes) continue;
        fs_.Delete(staged);
    }
    RemoveStagingFolder(stagingFolder);
}

void TPlacement::RemoveStagingFolder(const std::string& stagingFolder) { fs_.RemoveFolder(stagingFolder); }

PlaceOutcome TPlacement::NotQueued(std::uint32_t code)
{
    PlaceOutcome outcome = Just(PlaceOutcome::NotQueued);
    outcome.error = code;
    outcome.errorText = fs_.ErrorText(code);
    return outcome;
}

void TPlacement::RemoveStaged(const std::string& source)
{
    if (!fs_.Delete(source) && fs_.SetArchiveOnly(source)) fs_.Delete(source);
}

}  // namespace dupd
