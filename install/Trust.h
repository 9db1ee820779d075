// What the elevated run takes from places that any program of the user may change
// (the staging folder, the log folder, the shell-folder values), and from AppPath:
// each is used only as far as these checks go.
#pragma once

#include <cstdint>
#include <string>

#include "winenv/Platform.h"

namespace dupd {

// AppPath if it names an existing folder on a local drive in full, outside the
// Windows folder, else "".
std::string TrustedAppPath(IFileSystem& fs, const RegString& value);

// The staging folder and the maker's folder above it are real local folders, and
// the staging folder is neither the installation folder (`trustedInstall`, when
// known) nor inside it.
bool StagingTrusted(IFileSystem& fs, const std::string& stagingFolder, const std::string& trustedInstall);

// A staged name that is a link or a folder counts as absent.
bool StagedFileUsable(IFileSystem& fs, const std::string& stagingFolder, const std::string& fileName);

// The log folder and, outside the 9x family, the two folders above it are real
// local folders.
bool LogFolderTrusted(IFileSystem& fs, const std::string& logDir, std::uint32_t platformId);

// A file that is neither a link nor a folder, with no second name; or none at all.
bool Untampered(const FileFacts& file);

}  // namespace dupd
