#include "winenv/win32/Win32FileSystem.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <limits>

#include "winenv/PendingRenameList.h"
#include "winenv/win32/Handle.h"
#include "winenv/win32/Win32Sha256.h"
#include "winenv/win32/WideText.h"

namespace dupd {

namespace {

constexpr std::uint32_t kPathBuffer = MAX_PATH;  // 260
constexpr const char* kSessionManagerKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const wchar_t* kPendingRenamesValue = L"PendingFileRenameOperations";

HANDLE OpenPath(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD flags, TextMode mode)
{
    return mode == TextMode::Utf8
               ? ::CreateFileW(SystemWide(path, mode).c_str(), access, share, nullptr, disposition, flags, nullptr)
               : ::CreateFileA(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

class Win32ReadStream : public IReadStream {
public:
    explicit Win32ReadStream(UniqueFile file) : file_(std::move(file)) {}

    bool Read(char* buffer, std::size_t capacity, std::size_t& got) override
    {
        got = 0;
        const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(capacity, std::numeric_limits<DWORD>::max()));
        DWORD n = 0;
        if (!::ReadFile(file_.get(), buffer, ask, &n, nullptr)) return false;
        got = n;
        return true;
    }

    std::optional<std::uint64_t> Size() override
    {
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(file_.get(), &size)) return std::nullopt;
        return static_cast<std::uint64_t>(size.QuadPart);
    }

private:
    UniqueFile file_;
};

class Win32WriteStream : public IWriteStream {
public:
    explicit Win32WriteStream(UniqueFile file) : file_(std::move(file)) {}

    bool Write(const char* data, std::size_t size) override
    {
        if (!file_) return false;
        while (size > 0) {
            const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
            DWORD n = 0;
            if (!::WriteFile(file_.get(), data, ask, &n, nullptr) || n == 0) {
                failed_ = true;
                return false;
            }
            data += n;
            size -= n;
        }
        return true;
    }

    bool Close() override
    {
        if (!file_) return false;
        // A file that is renamed into place next must be on the disk first: after a
        // power failure the name would otherwise stand for an empty file.
        const bool flushed = ::FlushFileBuffers(file_.get()) != 0;
        const bool closed = ::CloseHandle(file_.release()) != 0;
        return flushed && closed && !failed_;
    }

private:
    UniqueFile file_;
    bool failed_ = false;
};

template <class C>
std::basic_string<C> FixedPath(const std::function<std::uint32_t(std::uint32_t, C*)>& query, std::uint32_t capacity)
{
    std::vector<C> buffer(capacity + 1, C(0));
    const std::uint32_t n = query(capacity, buffer.data());
    if (n == 0 || n >= capacity) return {};
    return std::basic_string<C>(buffer.data(), n);
}

template <class C>
std::basic_string<C> GrowingPath(const std::function<std::uint32_t(std::uint32_t, C*)>& query,
                                 std::uint32_t firstCapacity)
{
    std::uint32_t capacity = firstCapacity;
    // The needed size may change between the two calls (another thread setting TMP),
    // so one retry is allowed, not a loop.
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::vector<C> buffer(capacity + 1, C(0));
        const std::uint32_t n = query(capacity, buffer.data());
        if (n == 0) return {};
        if (n < capacity) return std::basic_string<C>(buffer.data(), n);
        capacity = n;
    }
    return {};
}

}  // namespace

namespace win32detail {

std::string QueryFixedPath(const PathQuery& query, std::uint32_t capacity) { return FixedPath(query, capacity); }

std::string QueryGrowingPath(const PathQuery& query, std::uint32_t firstCapacity)
{
    return GrowingPath(query, firstCapacity);
}

std::wstring QueryFixedWidePath(const WidePathQuery& query, std::uint32_t capacity)
{
    return FixedPath(query, capacity);
}

std::wstring QueryGrowingWidePath(const WidePathQuery& query, std::uint32_t firstCapacity)
{
    return GrowingPath(query, firstCapacity);
}

}  // namespace win32detail

DWORD Win32FileSystem::Attributes(const std::string& path) const
{
    return Wide() ? ::GetFileAttributesW(W(path).c_str()) : ::GetFileAttributesA(path.c_str());
}

HANDLE Win32FileSystem::Open(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                             DWORD flags) const
{
    return OpenPath(path, access, share, disposition, flags, mode_);
}

bool Win32FileSystem::MoveEx(const std::string& from, const std::string& to, DWORD flags) const
{
    return (Wide() ? ::MoveFileExW(W(from).c_str(), W(to).c_str(), flags)
                   : ::MoveFileExA(from.c_str(), to.c_str(), flags)) != FALSE;
}

bool Win32FileSystem::Failed()
{
    lastError_ = ::GetLastError();
    return false;
}

// Windows refuses to open a read-only file for writing, but Wine run as root lets
// the Unix permissions through; the updater relies on the refusal (a read-only log
// is left alone), so it is made explicit.
bool Win32FileSystem::ReadOnlyRefused(const std::string& path)
{
    const DWORD attrs = Attributes(path);
    if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_DIRECTORY) || !(attrs & FILE_ATTRIBUTE_READONLY))
        return false;
    lastError_ = ERROR_ACCESS_DENIED;
    ::SetLastError(ERROR_ACCESS_DENIED);
    return true;
}

bool Win32FileSystem::FileExists(const std::string& path)
{
    const DWORD attrs = Attributes(path);
    if (attrs == INVALID_FILE_ATTRIBUTES) return Failed();
    return (attrs & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32FileSystem::IsReadOnly(const std::string& path)
{
    const DWORD attrs = Attributes(path);
    if (attrs == INVALID_FILE_ATTRIBUTES) return Failed();
    return (attrs & FILE_ATTRIBUTE_READONLY) != 0;
}

bool Win32FileSystem::SetArchiveOnly(const std::string& path)
{
    const BOOL done = Wide() ? ::SetFileAttributesW(W(path).c_str(), FILE_ATTRIBUTE_ARCHIVE)
                             : ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_ARCHIVE);
    return done ? true : Failed();
}

bool Win32FileSystem::Delete(const std::string& path)
{
    const BOOL done = Wide() ? ::DeleteFileW(W(path).c_str()) : ::DeleteFileA(path.c_str());
    return done ? true : Failed();
}

bool Win32FileSystem::Move(const std::string& from, const std::string& to)
{
    const BOOL done = Wide() ? ::MoveFileW(W(from).c_str(), W(to).c_str()) : ::MoveFileA(from.c_str(), to.c_str());
    return done ? true : Failed();
}

bool Win32FileSystem::Replace(const std::string& from, const std::string& to)
{
    if (ReadOnlyRefused(to)) return false;
    return MoveEx(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? true : Failed();
}

bool Win32FileSystem::RemoveFolder(const std::string& path)
{
    const BOOL done = Wide() ? ::RemoveDirectoryW(W(path).c_str()) : ::RemoveDirectoryA(path.c_str());
    return done ? true : Failed();
}

std::unique_ptr<IReadStream> Win32FileSystem::OpenRead(const std::string& path)
{
    UniqueFile file(Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN));
    if (!file) {
        Failed();
        return nullptr;
    }
    return std::make_unique<Win32ReadStream>(std::move(file));
}

std::unique_ptr<IWriteStream> Win32FileSystem::OpenWrite(const std::string& path, OpenMode mode)
{
    const auto open = [this, &path](DWORD disposition) {
        return UniqueFile(Open(path, GENERIC_WRITE, FILE_SHARE_READ, disposition, FILE_ATTRIBUTE_NORMAL));
    };
    // A file that is created anew cannot be read-only: the look for the attribute,
    // which costs a system most where the name is missing, is only needed when it
    // is not.
    UniqueFile file;
    if (mode != OpenMode::Append) file = open(CREATE_NEW);
    if (!file) {
        const DWORD error = ::GetLastError();
        if (ReadOnlyRefused(path)) return nullptr;
        ::SetLastError(error);
        if (mode != OpenMode::CreateNew) file = open(mode == OpenMode::CreateTruncate ? CREATE_ALWAYS : OPEN_EXISTING);
    }
    if (!file) {
        Failed();
        return nullptr;
    }
    if (mode == OpenMode::Append) {
        LARGE_INTEGER zero{};
        if (!::SetFilePointerEx(file.get(), zero, nullptr, FILE_END)) {
            Failed();
            return nullptr;
        }
    }
    return std::make_unique<Win32WriteStream>(std::move(file));
}

std::optional<std::vector<std::string>> Win32FileSystem::FindFiles(const std::string& folder,
                                                                   const std::string& pattern)
{
    std::string wildcard = folder;
    if (!wildcard.empty() && wildcard.back() != '\\') wildcard += '\\';
    wildcard += pattern;
    WIN32_FIND_DATAA found{};
    WIN32_FIND_DATAW foundWide{};
    const UniqueFindHandle search(Wide() ? ::FindFirstFileW(W(wildcard).c_str(), &foundWide)
                                         : ::FindFirstFileA(wildcard.c_str(), &found));
    if (!search) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return std::vector<std::string>{};
        lastError_ = error;
        return std::nullopt;
    }
    std::vector<std::string> names;
    do {
        if (Wide()) {
            if (!(foundWide.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(FromSystemWide(foundWide.cFileName, mode_));
        } else if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            names.emplace_back(found.cFileName);
        }
    } while (Wide() ? ::FindNextFileW(search.get(), &foundWide) : ::FindNextFileA(search.get(), &found));
    const DWORD error = ::GetLastError();
    if (error != ERROR_NO_MORE_FILES) {
        lastError_ = error;
        return std::nullopt;
    }
    return names;
}

std::string Win32FileSystem::FullPath(const std::string& path)
{
    if (path.empty() || path.find('\0') != std::string::npos) return {};
    const std::wstring wide = Wide() ? W(path) : std::wstring();
    return RecordingPathQuery(
        [&path](std::uint32_t capacity, char* buffer) {
            return static_cast<std::uint32_t>(::GetFullPathNameA(path.c_str(), capacity, buffer, nullptr));
        },
        [&wide](std::uint32_t capacity, wchar_t* buffer) {
            return static_cast<std::uint32_t>(::GetFullPathNameW(wide.c_str(), capacity, buffer, nullptr));
        },
        true);
}

namespace {

using GetFinalPathFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

// The path the system reached a file or folder by; "" where it cannot tell
// (before Vista there are no links to files to tell, and no 9x system has the call).
std::string FinalPath(HANDLE handle, TextMode mode)
{
    static const auto getFinal = reinterpret_cast<GetFinalPathFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleW")));
    if (!getFinal) return {};
    wchar_t buffer[MAX_PATH * 4] = {};
    const DWORD capacity = MAX_PATH * 4;
    const DWORD n = getFinal(handle, buffer, capacity, 0 /* FILE_NAME_NORMALIZED | VOLUME_NAME_DOS */);
    if (n == 0 || n >= capacity) return {};
    std::string out = FromSystemWide(buffer, n, mode);
    while (out.size() > 1 && out.back() == '\\') out.pop_back();
    return out;
}

// Case aside, as the file system compares names: in UTF-16 where the program's
// text is UTF-8, whose letters outside ASCII the ANSI comparison cannot read.
bool SameText(const std::string& a, const std::string& b, TextMode mode)
{
    if (mode == TextMode::Ansi)
        return a.size() == b.size() && ::CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.data(),
                                                        static_cast<int>(a.size()), b.data(),
                                                        static_cast<int>(b.size())) == CSTR_EQUAL;
    const std::wstring wa = SystemWide(a, mode);
    const std::wstring wb = SystemWide(b, mode);
    return wa.size() == wb.size() && ::CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, wa.data(),
                                                      static_cast<int>(wa.size()), wb.data(),
                                                      static_cast<int>(wb.size())) == CSTR_EQUAL;
}

// A file reached through a link lies elsewhere than its folder and name say. Wine
// shows a Unix link to a file with no reparse attribute, and deleting or renaming
// it acts on what it leads to, so this is the one way to tell it there. A link to
// a folder carries the attribute everywhere. The folders' own final paths are
// kept: the run asks about many files of one folder, and each look costs.
bool ReachedThroughLink(HANDLE handle, const std::string& fullPath, std::map<std::string, std::string>& folders,
                        TextMode mode)
{
    const std::string final = FinalPath(handle, mode);
    const auto cut = fullPath.find_last_of('\\');
    if (final.empty() || cut == std::string::npos || cut + 1 >= fullPath.size()) return false;
    const std::string folder = fullPath.substr(0, cut == 2 ? 3 : cut);
    auto known = folders.find(folder);
    if (known == folders.end()) {
        UniqueFile parent(OpenPath(folder, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, mode));
        if (!parent) return false;
        known = folders.emplace(folder, FinalPath(parent.get(), mode)).first;
    }
    if (known->second.empty()) return false;
    // A name given short would differ from the long final one too: refused all the
    // same, which costs nothing here, since the program names its files in full.
    return !SameText(final, known->second + (known->second.back() == '\\' ? "" : "\\") + fullPath.substr(cut + 1),
                     mode);
}

bool LocalDrive(char letter)
{
    // Asked once per drive: the question is slow and the answer does not change.
    static std::map<char, bool> known;
    const char key = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    auto it = known.find(key);
    if (it == known.end()) {
        const char root[] = {key, ':', '\\', '\0'};
        const UINT type = ::GetDriveTypeA(root);
        it = known.emplace(key, type == DRIVE_FIXED || type == DRIVE_REMOVABLE || type == DRIVE_RAMDISK ||
                                    type == DRIVE_CDROM).first;
    }
    return it->second;
}

}  // namespace

FileFacts Win32FileSystem::Facts(const std::string& path)
{
    FileFacts facts;
    if (path.empty() || path.find('\0') != std::string::npos) return facts;
    const DWORD attrs = Attributes(path);
    if (attrs == INVALID_FILE_ATTRIBUTES) {
        Failed();
        return facts;
    }
    // No access asked: only the file's identity, which no holder's sharing denies.
    UniqueFile file(Open(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !::GetFileInformationByHandle(file.get(), &info)) {
        Failed();
        return facts;
    }
    facts.exists = true;
    facts.folder = (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.reparsePoint = (attrs & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    facts.readOnly = (attrs & FILE_ATTRIBUTE_READONLY) != 0;
    facts.links = info.nNumberOfLinks;
    facts.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    facts.volume = info.dwVolumeSerialNumber;
    facts.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    const std::string full = FullPath(path);
    if (!facts.reparsePoint && !facts.folder && !full.empty())
        facts.reparsePoint = ReachedThroughLink(file.get(), full, finalFolders_, mode_);
    facts.local = full.size() >= 3 && full[1] == ':' && full[2] == '\\' && LocalDrive(full[0]);
    return facts;
}

bool Win32FileSystem::IsPlainFile(const std::string& path)
{
    if (path.empty() || path.find('\0') != std::string::npos) return false;
    const DWORD attrs = Attributes(path);
    if (attrs == INVALID_FILE_ATTRIBUTES) return Failed();
    if (attrs & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    UniqueFile file(Open(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS));
    if (!file) return Failed();
    const std::string full = FullPath(path);
    return full.empty() || !ReachedThroughLink(file.get(), full, finalFolders_, mode_);
}

bool Win32FileSystem::ScheduleReplaceAtRestart(const std::string& from, const std::string& to)
{
    return MoveEx(from, to, MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) ? true : Failed();
}

std::optional<std::vector<PendingRename>> Win32FileSystem::PendingRenames()
{
    UniqueRegKey key;
    LONG rc = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE, &key.out());
    if (rc != ERROR_SUCCESS) {
        lastError_ = static_cast<std::uint32_t>(rc);
        return std::nullopt;
    }
    // The system keeps the list in UTF-16 and deletions leave empty strings inside
    // it, so it is read whole and split by its byte count, not by a double NUL.
    std::vector<BYTE> data;
    DWORD type = 0;
    DWORD size = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        rc = ::RegQueryValueExW(key.get(), kPendingRenamesValue, nullptr, &type, nullptr, &size);
        if (rc != ERROR_SUCCESS) break;
        data.assign(size + sizeof(wchar_t), 0);
        DWORD got = size;
        rc = ::RegQueryValueExW(key.get(), kPendingRenamesValue, nullptr, &type, data.data(), &got);
        if (rc == ERROR_MORE_DATA) continue;  // grew between the calls
        size = got;
        break;
    }
    if (rc == ERROR_FILE_NOT_FOUND) return std::vector<PendingRename>{};
    if (rc != ERROR_SUCCESS) {
        lastError_ = static_cast<std::uint32_t>(rc);
        return std::nullopt;
    }
    if (type != REG_MULTI_SZ) return std::nullopt;
    return ParsePendingRenameList(data.data(), size, [this](const std::u16string& text) {
        return FromSystemWide(reinterpret_cast<const wchar_t*>(text.data()), text.size(), mode_);
    });
}

std::uint32_t Win32FileSystem::LastError()
{
    return lastError_;
}

std::string Win32FileSystem::ErrorText(std::uint32_t code)
{
    // In the program's text, as the message box that shows it takes it.
    std::string text;
    if (Wide()) {
        wchar_t buffer[1024] = {};
        const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                         buffer, 1024, nullptr);
        if (n == 0 || n >= 1024) return {};
        text = FromSystemWide(buffer, n, mode_);
    } else {
        char buffer[1024] = {};
        const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                         buffer, sizeof buffer, nullptr);
        if (n == 0 || n >= sizeof buffer) return {};
        text.assign(buffer, n);
    }
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return text;
}

std::string Win32FileSystem::ShortPathName(const std::string& path)
{
    const std::wstring wide = Wide() ? W(path) : std::wstring();
    return RecordingPathQuery(
        [&path](std::uint32_t capacity, char* buffer) {
            return static_cast<std::uint32_t>(::GetShortPathNameA(path.c_str(), buffer, capacity));
        },
        [&wide](std::uint32_t capacity, wchar_t* buffer) {
            return static_cast<std::uint32_t>(::GetShortPathNameW(wide.c_str(), buffer, capacity));
        },
        false);
}

std::string Win32FileSystem::WindowsDirectory()
{
    return RecordingPathQuery(
        [](std::uint32_t capacity, char* buffer) {
            return static_cast<std::uint32_t>(::GetWindowsDirectoryA(buffer, capacity));
        },
        [](std::uint32_t capacity, wchar_t* buffer) {
            return static_cast<std::uint32_t>(::GetWindowsDirectoryW(buffer, capacity));
        },
        true);
}

std::string Win32FileSystem::TempPath()
{
    return RecordingPathQuery(
        [](std::uint32_t capacity, char* buffer) {
            return static_cast<std::uint32_t>(::GetTempPathA(capacity, buffer));
        },
        [](std::uint32_t capacity, wchar_t* buffer) {
            return static_cast<std::uint32_t>(::GetTempPathW(capacity, buffer));
        },
        true);
}

std::unique_ptr<IDigest> Win32FileSystem::NewSha256()
{
    if (auto system = NewSystemSha256()) return system;
    return IFileSystem::NewSha256();
}

std::string Win32FileSystem::RecordingPathQuery(const win32detail::PathQuery& ansi,
                                               const win32detail::WidePathQuery& wide, bool mayGrow)
{
    // GetLastError is only meaningful right after a call that answered 0; an answer
    // that does not fit sets no error of its own.
    bool callFailed = false;
    const auto record = [&](std::uint32_t n) {
        if (n == 0) {
            lastError_ = ::GetLastError();
            callFailed = true;
        }
        return n;
    };
    std::string out;
    if (Wide()) {
        const auto recording = [&](std::uint32_t capacity, wchar_t* buffer) { return record(wide(capacity, buffer)); };
        const std::wstring got = mayGrow ? win32detail::QueryGrowingWidePath(recording, kPathBuffer)
                                         : win32detail::QueryFixedWidePath(recording, kPathBuffer);
        out = FromSystemWide(got.data(), got.size(), mode_);
    } else {
        const auto recording = [&](std::uint32_t capacity, char* buffer) { return record(ansi(capacity, buffer)); };
        out = mayGrow ? win32detail::QueryGrowingPath(recording, kPathBuffer)
                      : win32detail::QueryFixedPath(recording, kPathBuffer);
    }
    if (out.empty() && !callFailed) lastError_ = ERROR_INSUFFICIENT_BUFFER;
    return out;
}

}  // namespace dupd
