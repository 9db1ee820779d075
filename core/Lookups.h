// Folder and registry look-ups shared with the product: each answers "" instead of
// failing, so that its caller can fall back to the next source.
#pragma once

#include <string>

#include "winenv/Platform.h"

namespace dupd {

inline constexpr int CSIDL_PERSONAL_ID = 5;
inline constexpr int CSIDL_APPDATA_ID = 26;
inline constexpr const char* kShellFoldersKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string GetSpecialFolder(IRegistry& registry, int csidl);
std::string GetShellFolder(IRegistry& registry, const std::string& valueName);
std::string GetTempDir(IFileSystem& fs);
std::string GetRegString(IRegistry& registry, RegRoot root, const std::string& keyPath, const std::string& valueName);

}  // namespace dupd
