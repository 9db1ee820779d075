// Placing one staged file in the installation folder, and what the run needs to
// know of it afterwards: placed now, left to the restart, or not placed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "install/PackageManifest.h"
#include "install/RestartQueue.h"
#include "winenv/Platform.h"

namespace dupd {

struct PlaceOutcome {
    enum Kind {
        Placed,     // the staged file is in place and gone from the staging folder
        Deferred,   // the restart puts it in place; the staged file stays
        NotQueued,  // it should wait for the restart, but the queue refused it (`error`)
        NotMoved,   // the installed file, if any, is as it was; the staged file stays
    };
    Kind kind = Placed;
    std::uint32_t error = 0;  // NotQueued: the system error, and its text
    std::string errorText;
};

class TPlacement {
public:
    TPlacement(IFileSystem& fs, IRestartQueue& queue, bool nt) : fs_(fs), queue_(queue), nt_(nt) {}

    // Places `fileName` from `stagingFolder` in `destinationFolder`: a whole copy is
    // made beside the target first, then put in its place in one step, or, where the
    // target is in use, left waiting for the restart. With `expected` (a program
    // that carries its package's manifest) a copy whose bytes differ from it is not
    // moved.
    PlaceOutcome Place(const std::string& destinationFolder, const std::string& stagingFolder,
                       const std::string& fileName, const ManifestEntry* expected = nullptr);

    // Throws the package away: the staged `names` and then the folder, once empty.
    // Nothing where the staging folder is not what it seems (looked at again right
    // before deleting); a staged file that a replacement an earlier version left
    // takes at the restart stays.
    void DeletePackage(const std::string& stagingFolder, const std::string& trustedInstall,
                       const std::string& installFolder, const std::vector<std::string>& names);
    // Fails, harmlessly, while anything is left in it.
    void RemoveStagingFolder(const std::string& stagingFolder);

private:
    PlaceOutcome NotQueued(std::uint32_t code);
    void RemoveStaged(const std::string& source);

    IFileSystem& fs_;
    IRestartQueue& queue_;
    bool nt_;
};

}  // namespace dupd
