#include "winenv/win32/Win32Registry.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "winenv/win32/Handle.h"
#include "winenv/win32/SystemText.h"

namespace dupd {

namespace {

class Win32RegistryKey : public IRegistryKey {
public:
    Win32RegistryKey(UniqueRegKey key, TextMode mode) : key_(std::move(key)), mode_(mode) {}

    RegString ReadString(const std::string& valueName) override
    {
        if (mode_ == TextMode::Utf8) return Read<wchar_t>(SystemWide(valueName, mode_));
        return Read<char>(valueName);
    }

private:
    LONG Query(const std::string& name, DWORD* type, BYTE* data, DWORD* size)
    {
        return ::RegQueryValueExA(key_.get(), name.c_str(), nullptr, type, data, size);
    }
    LONG Query(const std::wstring& name, DWORD* type, BYTE* data, DWORD* size)
    {
        return ::RegQueryValueExW(key_.get(), name.c_str(), nullptr, type, data, size);
    }
    std::string Text(const char* text, std::size_t length) { return std::string(text, length); }
    std::string Text(const wchar_t* text, std::size_t length) { return FromSystemWide(text, length, mode_); }

    // C is the call's character: the ANSI or the UTF-16 one.
    template <class C>
    RegString Read(const std::basic_string<C>& valueName)
    {
        RegString result;
        DWORD type = 0;
        DWORD size = 0;
        LONG rc = Query(valueName, &type, nullptr, &size);
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
        // The value may change between the size query and the read; the extra
        // character ends data that was stored without its NUL.
        std::vector<C> data;
        for (int attempt = 0; attempt < 3; ++attempt) {
            data.assign(size / sizeof(C) + 2, C(0));
            DWORD got = size;
            rc = Query(valueName, &type, reinterpret_cast<BYTE*>(data.data()), &got);
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
            const std::size_t limit = std::min<std::size_t>(size / sizeof(C), data.size());
            std::size_t end = 0;
            while (end < limit && data[end] != C(0)) ++end;
            result.status = RegReadStatus::Ok;
            result.text = Text(data.data(), end);
            for (std::size_t i = end; i < limit; ++i)
                if (data[i] != C(0)) result.cutAtNul = true;
        }
        return result;
    }

    UniqueRegKey key_;
    TextMode mode_;
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
    const LONG rc = mode_ == TextMode::Utf8
                        ? ::RegOpenKeyExW(RootKey(root), SystemWide(path, mode_).c_str(), 0, sam, &key.out())
                        : ::RegOpenKeyExA(RootKey(root), path.c_str(), 0, sam, &key.out());
    if (rc != ERROR_SUCCESS) return nullptr;
    return std::make_unique<Win32RegistryKey>(std::move(key), mode_);
}

std::string Win32Registry::SpecialFolderPath(int csidl)
{
    UniquePidl pidl;
    if (::SHGetSpecialFolderLocation(nullptr, csidl, &pidl.out()) != S_OK) return {};
    std::string path;
    if (mode_ == TextMode::Utf8) {
        wchar_t buffer[MAX_PATH + 1] = {};
        if (!::SHGetPathFromIDListW(pidl.get(), buffer)) return {};
        buffer[MAX_PATH] = L'\0';
        path = FromSystemWide(buffer, mode_);
    } else {
        char buffer[MAX_PATH + 1] = {};
        if (!::SHGetPathFromIDListA(pidl.get(), buffer)) return {};
        buffer[MAX_PATH] = '\0';
        path = buffer;
    }
    // Wine gives folders that link to a Unix directory with a trailing backslash;
    // callers add their own before a sub-path, as for the shell's usual answer.
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

}  // namespace dupd
