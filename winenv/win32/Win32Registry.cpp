#include "winenv/win32/Win32Registry.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "winenv/win32/Handle.h"

namespace dupd {

namespace {

class Win32RegistryKey : public IRegistryKey {
public:
    explicit Win32RegistryKey(UniqueRegKey key) : key_(std::move(key)) {}

    RegString ReadString(const std::string& valueName) override
    {
        RegString result;
        DWORD type = 0;
        DWORD size = 0;
        LONG rc = ::RegQueryValueExA(key_.get(), valueName.c_str(), nullptr, &type, nullptr, &size);
        if (rc == ERROR_FILE_NOT_FOUND) {
            result.status = RegReadStatus::Missing;
            return result;
        }
        if (rc != ERROR_SUCCESS) {
            result.status = RegReadStatus::Failed;
            return result;
        }
        if (type != REG_SZ && type != REG_EXPAND_SZ) {
            result.status = RegReadStatus::NotString;
            return result;
        }
        // The value may change between the size query and the read; the extra byte
        // ends data that was stored without its NUL.
        std::vector<char> data;
        for (int attempt = 0; attempt < 3; ++attempt) {
            data.assign(size + 1, '\0');
            DWORD got = size;
            rc = ::RegQueryValueExA(key_.get(), valueName.c_str(), nullptr, &type,
                                    reinterpret_cast<BYTE*>(data.data()), &got);
            if (rc == ERROR_MORE_DATA) {
                size = got;
                continue;
            }
            size = got;
            break;
        }
        if (rc == ERROR_FILE_NOT_FOUND) {
            result.status = RegReadStatus::Missing;
        } else if (rc != ERROR_SUCCESS) {
            result.status = RegReadStatus::Failed;
        } else if (type != REG_SZ && type != REG_EXPAND_SZ) {
            result.status = RegReadStatus::NotString;
        } else {
            const std::size_t limit = std::min<std::size_t>(size, data.size());
            std::size_t end = 0;
            while (end < limit && data[end] != '\0') ++end;
            result.status = RegReadStatus::Ok;
            result.text.assign(data.data(), end);
            for (std::size_t i = end; i < limit; ++i)
                if (data[i] != '\0') result.cutAtNul = true;
        }
        return result;
    }

private:
    UniqueRegKey key_;
};

HKEY RootKey(RegRoot root)
{
    return root == RegRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

}  // namespace

std::unique_ptr<IRegistryKey> Win32Registry::OpenKey(RegRoot root, const std::string& path, RegAccess access)
{
    const REGSAM sam = access == RegAccess::Read ? KEY_READ : KEY_ALL_ACCESS;
    UniqueRegKey key;
    if (::RegOpenKeyExA(RootKey(root), path.c_str(), 0, sam, &key.out()) != ERROR_SUCCESS) return nullptr;
    return std::make_unique<Win32RegistryKey>(std::move(key));
}

std::string Win32Registry::SpecialFolderPath(int csidl)
{
    UniquePidl pidl;
    if (::SHGetSpecialFolderLocation(nullptr, csidl, &pidl.out()) != S_OK) return {};
    char buffer[MAX_PATH + 1] = {};
    if (!::SHGetPathFromIDListA(pidl.get(), buffer)) return {};
    buffer[MAX_PATH] = '\0';
    std::string path = buffer;
    // Wine gives folders that link to a Unix directory with a trailing backslash;
    // callers add their own before a sub-path, as for the shell's usual answer.
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

}  // namespace dupd
