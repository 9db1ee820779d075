// The file system as the updater sees it, through kernel32: the UTF-16 entry
// points on the NT platform, the ANSI ones on the 9x family (SystemText.h).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <windows.h>

#include "winenv/Platform.h"
#include "winenv/win32/SystemText.h"

namespace dupd {

class Win32FileSystem : public IFileSystem {
public:
    explicit Win32FileSystem(TextMode mode = ProcessTextMode()) : mode_(mode) {}

    bool FileExists(const std::string& path) override;
    bool IsReadOnly(const std::string& path) override;
    bool SetArchiveOnly(const std::string& path) override;
    bool Delete(const std::string& path) override;
    bool Move(const std::string& from, const std::string& to) override;
    bool Replace(const std::string& from, const std::string& to) override;
    bool RemoveFolder(const std::string& path) override;

    std::unique_ptr<IReadStream> OpenRead(const std::string& path) override;
    std::unique_ptr<IWriteStream> OpenWrite(const std::string& path, OpenMode mode) override;

    std::optional<std::vector<std::string>> FindFiles(const std::string& folder, const std::string& pattern) override;
    std::string FullPath(const std::string& path) override;
    FileFacts Facts(const std::string& path) override;
    bool IsPlainFile(const std::string& path) override;
    bool ScheduleReplaceAtRestart(const std::string& from, const std::string& to) override;
    std::optional<std::vector<PendingRename>> PendingRenames() override;

    std::uint32_t LastError() override;
    std::string ErrorText(std::uint32_t code) override;

    std::string ShortPathName(const std::string& path) override;
    std::string WindowsDirectory() override;
    std::string TempPath() override;
    std::unique_ptr<IDigest> NewSha256() override;

private:
    bool Failed();  // records GetLastError, answers false
    bool ReadOnlyRefused(const std::string& path);
    bool Wide() const { return mode_ == TextMode::Utf8; }
    DWORD Attributes(const std::string& path) const;
    HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD flags) const;
    bool MoveEx(const std::string& from, const std::string& to, DWORD flags) const;
    std::wstring W(const std::string& path) const { return SystemWide(path, mode_); }
    std::string RecordingPathQuery(const std::function<std::uint32_t(std::uint32_t, char*)>& ansi,
                                   const std::function<std::uint32_t(std::uint32_t, wchar_t*)>& wide, bool mayGrow);
    TextMode mode_;
    std::uint32_t lastError_ = 0;
    std::map<std::string, std::string> finalFolders_;  // folder -> its final path, once looked at
};

namespace win32detail {

// A path-returning call in the style of GetTempPathA: given a capacity (in chars,
// NUL included) and a buffer, it answers the length copied without the NUL, the
// size it needs (NUL included) when the buffer is too small, or 0 on failure.
using PathQuery = std::function<std::uint32_t(std::uint32_t capacity, char* buffer)>;

// Asks with `firstCapacity`, then once more with the size asked for; "" when the
// call fails or its answer never fits, so that an unfilled buffer is never taken.
std::string QueryGrowingPath(const PathQuery& query, std::uint32_t firstCapacity);

// Asks once with a fixed capacity; "" on failure or when the answer does not fit.
std::string QueryFixedPath(const PathQuery& query, std::uint32_t capacity);

// The same for the UTF-16 calls, capacities in units.
using WidePathQuery = std::function<std::uint32_t(std::uint32_t capacity, wchar_t* buffer)>;
std::wstring QueryGrowingWidePath(const WidePathQuery& query, std::uint32_t firstCapacity);
std::wstring QueryFixedWidePath(const WidePathQuery& query, std::uint32_t capacity);

}  // namespace win32detail

}  // namespace dupd
