#include "winenv/win32/Win32FileSystem.h"

#include <algorithm>
#include <limits>

#include "winenv/win32/Handle.h"

namespace dupd {

namespace {

constexpr std::uint32_t kPathBuffer = MAX_PATH;  // 260
constexpr const char* kSessionManagerKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const wchar_t* kPendingRenamesValue = L"PendingFileRenameOperations";

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
        const bool closed = ::CloseHandle(file_.release()) != 0;
        return closed && !failed_;
    }

private:
    UniqueFile file_;
    bool failed_ = false;
};

std::string WideToAnsi(const std::wstring& text)
{
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::string StripPrefix(std::string s, const std::string& prefix)
{
    if (s.compare(0, prefix.size(), prefix) == 0) s.erase(0, prefix.size());
    return s;
}

}  // namespace

namespace win32detail {

std::string QueryFixedPath(const PathQuery& query, std::uint32_t capacity)
{
    std::vector<char> buffer(capacity + 1, '\0');
    const std::uint32_t n = query(capacity, buffer.data());
    if (n == 0 || n >= capacity) return {};
    return std::string(buffer.data(), n);
}

std::string QueryGrowingPath(const PathQuery& query, std::uint32_t firstCapacity)
{
    std::uint32_t capacity = firstCapacity;
    // The needed size may change between the two calls (another thread setting TMP),
    // so one retry is allowed, not a loop.
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::vector<char> buffer(capacity + 1, '\0');
        const std::uint32_t n = query(capacity, buffer.data());
        if (n == 0) return {};
        if (n < capacity) return std::string(buffer.data(), n);
        capacity = n;
    }
    return {};
}

std::vector<std::wstring> SplitMultiString(const wchar_t* data, std::size_t count)
{
    std::vector<std::wstring> out;
    std::size_t pos = 0;
    while (pos < count) {
        std::size_t end = pos;
        while (end < count && data[end] != L'\0') ++end;
        out.emplace_back(data + pos, end - pos);
        pos = end + 1;
    }
    return out;
}

std::vector<PendingRename> ParsePendingRenames(const std::vector<std::string>& strings)
{
    static const std::string kNtPrefix = "\\??\\";
    std::vector<PendingRename> out;
    for (std::size_t i = 0; i + 1 < strings.size(); i += 2) {
        // The list ends with an empty string; what follows it is padding.
        if (strings[i].empty()) break;
        PendingRename entry;
        entry.from = StripPrefix(strings[i], kNtPrefix);
        std::string to = strings[i + 1];
        if (!to.empty() && to[0] == '!') to.erase(0, 1);  // "replace existing" marker
        entry.to = StripPrefix(to, kNtPrefix);
        out.push_back(std::move(entry));
    }
    return out;
}

}  // namespace win32detail

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
    const DWORD attrs = ::GetFileAttributesA(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_DIRECTORY) || !(attrs & FILE_ATTRIBUTE_READONLY))
        return false;
    lastError_ = ERROR_ACCESS_DENIED;
    ::SetLastError(ERROR_ACCESS_DENIED);
    return true;
}

bool Win32FileSystem::FileExists(const std::string& path)
{
    const DWORD attrs = ::GetFileAttributesA(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) return Failed();
    return (attrs & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32FileSystem::IsReadOnly(const std::string& path)
{
    const DWORD attrs = ::GetFileAttributesA(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) return Failed();
    return (attrs & FILE_ATTRIBUTE_READONLY) != 0;
}

bool Win32FileSystem::SetArchiveOnly(const std::string& path)
{
    return ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_ARCHIVE) ? true : Failed();
}

bool Win32FileSystem::Delete(const std::string& path)
{
    return ::DeleteFileA(path.c_str()) ? true : Failed();
}

bool Win32FileSystem::Move(const std::string& from, const std::string& to)
{
    return ::MoveFileA(from.c_str(), to.c_str()) ? true : Failed();
}

bool Win32FileSystem::RemoveFolder(const std::string& path)
{
    return ::RemoveDirectoryA(path.c_str()) ? true : Failed();
}

std::unique_ptr<IReadStream> Win32FileSystem::OpenRead(const std::string& path)
{
    UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        Failed();
        return nullptr;
    }
    return std::make_unique<Win32ReadStream>(std::move(file));
}

std::unique_ptr<IWriteStream> Win32FileSystem::OpenWrite(const std::string& path, OpenMode mode)
{
    if (ReadOnlyRefused(path)) return nullptr;
    const DWORD disposition = mode == OpenMode::CreateTruncate ? CREATE_ALWAYS : OPEN_EXISTING;
    UniqueFile file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
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

std::optional<std::uint64_t> Win32FileSystem::WritableFileSize(const std::string& path)
{
    if (ReadOnlyRefused(path)) return std::nullopt;
    UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        Failed();
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) {
        Failed();
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(size.QuadPart);
}

bool Win32FileSystem::ScheduleDeleteAtRestart(const std::string& path)
{
    return ::MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? true : Failed();
}

bool Win32FileSystem::ScheduleMoveAtRestart(const std::string& from, const std::string& to)
{
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT) ? true : Failed();
}

std::vector<PendingRename> Win32FileSystem::PendingRenames()
{
    UniqueRegKey key;
    LONG rc = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE, &key.out());
    if (rc != ERROR_SUCCESS) {
        lastError_ = static_cast<std::uint32_t>(rc);
        return {};
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
    if (rc != ERROR_SUCCESS) {
        if (rc != ERROR_FILE_NOT_FOUND) lastError_ = static_cast<std::uint32_t>(rc);
        return {};
    }
    if (type != REG_MULTI_SZ) return {};

    const auto wide = win32detail::SplitMultiString(reinterpret_cast<const wchar_t*>(data.data()),
                                                    size / sizeof(wchar_t));
    std::vector<std::string> strings;
    strings.reserve(wide.size());
    for (const auto& w : wide) strings.push_back(WideToAnsi(w));
    return win32detail::ParsePendingRenames(strings);
}

std::uint32_t Win32FileSystem::LastError()
{
    return lastError_;
}

std::string Win32FileSystem::ErrorText(std::uint32_t code)
{
    char buffer[1024] = {};
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                     buffer, sizeof buffer, nullptr);
    if (n == 0 || n >= sizeof buffer) return {};
    std::string text(buffer, n);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return text;
}

std::string Win32FileSystem::ShortPathName(const std::string& path)
{
    return RecordingPathQuery(
        [&path](std::uint32_t capacity, char* buffer) {
            return static_cast<std::uint32_t>(::GetShortPathNameA(path.c_str(), buffer, capacity));
        },
        false);
}

std::string Win32FileSystem::WindowsDirectory()
{
    return RecordingPathQuery(
        [](std::uint32_t capacity, char* buffer) {
            return static_cast<std::uint32_t>(::GetWindowsDirectoryA(buffer, capacity));
        },
        true);
}

std::string Win32FileSystem::TempPath()
{
    return RecordingPathQuery(
        [](std::uint32_t capacity, char* buffer) {
            return static_cast<std::uint32_t>(::GetTempPathA(capacity, buffer));
        },
        true);
}

std::string Win32FileSystem::RecordingPathQuery(const win32detail::PathQuery& query, bool mayGrow)
{
    // GetLastError is only meaningful right after a call that answered 0; an answer
    // that does not fit sets no error of its own.
    bool callFailed = false;
    const auto recording = [&](std::uint32_t capacity, char* buffer) {
        const std::uint32_t n = query(capacity, buffer);
        if (n == 0) {
            lastError_ = ::GetLastError();
            callFailed = true;
        }
        return n;
    };
    std::string out = mayGrow ? win32detail::QueryGrowingPath(recording, kPathBuffer)
                              : win32detail::QueryFixedPath(recording, kPathBuffer);
    if (out.empty() && !callFailed) lastError_ = ERROR_INSUFFICIENT_BUFFER;
    return out;
}

}  // namespace dupd
