// What the elevated run takes from folders that any program of the user may
// change: a path is trusted only as far as these tests go.
#pragma once

#include <string>

#include "winenv/Platform.h"

namespace dupd {

// "X:\..." with a drive letter: absolute, on a drive, neither relative nor UNC.
bool IsDrivePath(const std::string& path);

// An existing folder on a local drive that is no junction or link itself.
bool IsRealLocalFolder(IFileSystem& fs, const std::string& path);

// True when `path`, or a folder above it, is `folder` itself, compared by volume
// and file identity rather than by spelling.
bool IsSameOrInside(IFileSystem& fs, const std::string& path, const std::string& folder);

// The folder above `path` ("C:\a" for "C:\a\b" and "C:\a\b\"); "" at a root.
std::string ParentFolder(const std::string& path);

}  // namespace dupd
