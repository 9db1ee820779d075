#include "core/Lookups.h"

namespace dupd {

std::string GetSpecialFolder(IRegistry& registry, int csidl) { return registry.SpecialFolderPath(csidl); }

std::string GetShellFolder(IRegistry& registry, const std::string& valueName)
{
    return GetRegString(registry, RegRoot::CurrentUser, kShellFoldersKey, valueName);
}

std::string GetTempDir(IFileSystem& fs) { return fs.TempPath(); }

std::string GetRegString(IRegistry& registry, RegRoot root, const std::string& keyPath, const std::string& valueName)
{
    auto key = registry.OpenKey(root, keyPath, RegAccess::Read);
    if (!key) return "";
    const RegString value = key->ReadString(valueName);
    return value.status == RegReadStatus::Ok ? value.text : std::string();
}

}  // namespace dupd
