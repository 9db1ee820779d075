// Replacing a file so that, whatever fails and wherever the power goes, its name
// stands for the whole old file or the whole new one, and whatever an interrupted
// replacement left behind can be put right by the next run.
//
// The program's own files beside a target carry ".dupd-" in their names:
//   TARGET.dupd-part  a copy being written: never taken to be whole;
//   TARGET.dupd-new   a whole copy: it gets this name only once flushed and closed;
//   TARGET.dupd-old   the old file put aside by earlier versions of the program.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "install/PackageManifest.h"
#include "winenv/Platform.h"

namespace dupd {

inline constexpr const char* kOwnMark = ".dupd-";
inline constexpr const char* kPartSuffix = ".dupd-part";
inline constexpr const char* kNewSuffix = ".dupd-new";
inline constexpr const char* kOldSuffix = ".dupd-old";

// Reads `in` to its end, handing each piece to `take`: the number of bytes read,
// or nullopt when a read or `take` failed. Whether that is the whole file is the
// caller's to judge against the stream's size.
std::optional<std::uint64_t> StreamWhole(IReadStream& in, const std::function<bool(const char*, std::size_t)>& take);

// Copies `from` to the new file `to`, flushed and closed; false, with nothing left
// under `to`, when the copy is not whole. With `expected`, also false unless the
// bytes written had its size and SHA-256: they are hashed as they are copied, so
// what the copy holds is what was checked, whatever changes `from` meanwhile.
bool CopyWhole(IFileSystem& fs, const std::string& from, const std::string& to,
               const ManifestEntry* expected = nullptr);

// Writes `text` to the new file `to`, flushed and closed; false, with nothing left
// under `to`, when it did not all reach the file.
bool WriteWhole(IFileSystem& fs, const std::string& to, const std::string& text);

// Renames `from` to `to`, putting aside a stale file of the program's own there: on
// NT in one step, elsewhere by deleting it first.
bool RenameOver(IFileSystem& fs, bool nt, const std::string& from, const std::string& to);

enum class ReplaceOutcome {
    Replaced,    // `fresh` now stands under the target's name; the old file is gone
    TargetBusy,  // the old file is read-only or could not be taken away: nothing changed
    Failed,      // the new file could not be put in; the old one, if any, is still there
    Committed,   // 9x: the old file is gone and the whole new one waits as TARGET.dupd-new,
                 // which the next run's recovery renames in
};

// Puts the whole file `fresh` in the place of `target`, which may not exist yet.
// On the NT platform one atomic rename. Without it (the 9x family), `fresh` is
// first renamed TARGET.dupd-new, the old file deleted and the copy renamed in;
// `fresh` gets its own name back when the old file cannot be deleted.
ReplaceOutcome ReplaceWhole(IFileSystem& fs, bool nt, const std::string& fresh, const std::string& target);

// Puts right what an interrupted replacement left in `folder` beside the files
// named in `targets` (case does not matter), by rules that follow from the order
// of the steps above:
//   TARGET.dupd-part is deleted;
//   TARGET.dupd-new is kept when `pendingSource` says that a replacement pending
//     for the restart takes it as its source; otherwise it is deleted where the
//     target exists (the target is then still whole and untouched) and renamed to
//     the target where it does not (the copy is whole: the target is deleted only
//     after the copy got its name);
//   TARGET.dupd-old is renamed back where the target is missing, else deleted.
// Other names are not the program's and are left alone.
using PendingSourceTest = std::function<bool(const std::string& copy, const std::string& target)>;
void RecoverLeftovers(IFileSystem& fs, const std::string& folder, const std::vector<std::string>& targets,
                      const PendingSourceTest& pendingSource);

}  // namespace dupd
