#include "install/Trust.h"

#include "core/Path.h"
#include "install/RestartQueue.h"
#include "winenv/OsVersion.h"
#include "winenv/PathTrust.h"

namespace dupd {

std::string TrustedAppPath(IFileSystem& fs, const RegString& value)
{
    if (value.status != RegReadStatus::Ok || value.cutAtNul) return "";
    const std::string& path = value.text;
    // Only an existing folder on a local drive, named in full: a relative path would
    // resolve against whatever the current folder is, a network one could neither
    // be trusted nor renamed into at the restart. Not the Windows folder either,
    // whose files the run would read and delete under the database's names.
    if (!IsDrivePath(path)) return "";
    const FileFacts facts = fs.Facts(path);
    if (!facts.exists || !facts.folder || !facts.local) return "";
    const std::string windows = GetWinDir(fs);
    // "C:" is the drive's current folder, "C:\" its root.
    if (!windows.empty() && IsSameOrInside(fs, path, windows.size() == 2 ? windows + '\\' : windows)) return "";
    return path;
}

bool StagingTrusted(IFileSystem& fs, const std::string& stagingFolder, const std::string& trustedInstall)
{
    // The staging folder lies where any program of the user may write: it must be
    // the folder it seems, not a junction into the installation that abandoning the
    // package would empty.
    if (!IsDrivePath(stagingFolder) || !IsRealLocalFolder(fs, stagingFolder) ||
        !IsRealLocalFolder(fs, ParentFolder(stagingFolder)))
        return false;
    return trustedInstall.empty() || !IsSameOrInside(fs, stagingFolder, trustedInstall);
}

bool StagedFileUsable(IFileSystem& fs, const std::string& stagingFolder, const std::string& fileName)
{
    return fs.IsPlainFile(JoinPath(stagingFolder, fileName));
}

bool LogFolderTrusted(IFileSystem& fs, const std::string& logDir, std::uint32_t platformId)
{
    std::string folder = logDir;
    if (!IsDrivePath(folder)) return false;
    // The documents or temporary folder and the product's two folders below it; on
    // the 9x family the installation folder alone.
    const int depth = IsWin9xFamily(platformId) ? 1 : 3;
    for (int i = 0; i < depth && !folder.empty(); ++i, folder = ParentFolder(folder))
        if (!IsRealLocalFolder(fs, folder)) return false;
    return true;
}

bool Untampered(const FileFacts& file)
{
    // A link would carry what is written elsewhere, another name of the same file
    // would let it be read or replaced there.
    return !file.exists || (!file.folder && !file.reparsePoint && file.links <= 1);
}

}  // namespace dupd
