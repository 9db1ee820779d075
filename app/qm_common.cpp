#include "app/qm_common.h"

namespace dupd {

std::string GetSpecialFolder(IRegistry& registry, int csidl)
{
    try {
        return registry.SpecialFolderPath(csidl);
    } catch (...) {
        return "";
    }
}

std::string GetShellFolder(IRegistry& registry, const std::string& valueName)
{
    return GetRegString(registry, RegRoot::CurrentUser, kShellFoldersKey, valueName);
}

std::string GetTempDir(IFileSystem& fs)
{
    try {
        return fs.TempPath();
    } catch (...) {
        return "";
    }
}

std::string GetRegString(IRegistry& registry, RegRoot root, const std::string& keyPath, const std::string& valueName)
{
    try {
        auto key = registry.OpenKey(root, keyPath, RegAccess::Read);
        if (!key) return "";
        const RegString value = key->ReadString(valueName);
        return value.status == RegReadStatus::Ok ? value.text : std::string();
    } catch (...) {
        return "";
    }
}

}  // namespace dupd
