// Files as the tests arrange and inspect them, straight through the API and
// independent of the adapters: scratch folders, files held open, Unix links
// and the system's pending-rename list.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "winenv/win32/Handle.h"

namespace dupd::support {

// Paths here are UTF-8, as the updater carries them on the NT platform, and reach
// the system through its UTF-16 calls: a test may name folders outside the ANSI
// code page.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const wchar_t* text);

std::string UniqueName(const std::string& tag);  // tag + process id + counter
std::string ThisExecutable();
bool PathIsFile(const std::string& path);
bool PathIsDirectory(const std::string& path);
// Throw when the file cannot be written or opened.
void WriteWholeFile(const std::string& path, const std::string& content);
std::string ReadWholeFile(const std::string& path);
// Deletes a tree, read-only files included; false when anything stayed.
bool RemoveTree(const std::string& path);

// A fresh folder under the temporary folder, removed with its contents at the end.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& tag);
    ~ScratchDir() { RemoveTree(path_); }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }  // no trailing backslash
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Holds a file open the way a running program does: others may read it, but
// neither write, delete nor rename it. With `share` 0 not even reading is let
// through, as a scanner that locks a file does.
class HeldFile {
public:
    explicit HeldFile(const std::string& path, DWORD share = FILE_SHARE_READ);
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool Held() const { return static_cast<bool>(file_); }
    DWORD OpenError() const { return error_; }  // why it could not be opened
    void Release() { file_.reset(); }

private:
    UniqueFile file_;
    DWORD error_ = 0;
};

// The same, held by a second process (this executable started with --hold), so
// that the holder is not the process that tries to replace the file.
class HeldByAnotherProcess {
public:
    explicit HeldByAnotherProcess(const std::string& path);
    ~HeldByAnotherProcess() { Release(); }  // lets the holder go and waits for it to end
    HeldByAnotherProcess(const HeldByAnotherProcess&) = delete;
    HeldByAnotherProcess& operator=(const HeldByAnotherProcess&) = delete;

    bool Held() const { return holding_; }
    void Release();

private:
    UniqueKernelHandle ready_;
    UniqueKernelHandle release_;
    UniqueKernelHandle process_;
    bool holding_ = false;
};

// The holder's side: `argv` is this executable, --hold, the path and the two events.
int RunFileHolder(int argc, char** argv);

// A Unix symbolic link, made by the Unix tool: under Wine one that leads to a folder
// shows as a reparse point, one that leads to a file as that file, and deleting or
// renaming a link through Wine reaches what it leads to. `target` must exist; false
// when the link did not appear.
bool MakeUnixSymlink(const std::string& link, const std::string& target);
// Removes a link or a tree as Unix does (rm -rf: links go, never what they lead
// to); only below `onlyBelow`. False when it is still there.
bool RemoveFromUnix(const std::string& path, const std::string& onlyBelow);

// The pending-rename list, read from the registry value itself so that it checks
// the file-system adapter rather than repeats it.
struct ScheduledRename {
    std::string from;
    std::string to;                // "" for a deletion
    bool replaceExisting = false;  // stored with the "!" mark: `to` may already exist
};
std::vector<ScheduledRename> PendingRenames();
// The entries whose source or target lies below `folder`.
std::vector<ScheduledRename> PendingRenamesUnder(const std::string& folder);
// Removes those entries, e.g. what an earlier run of the tests left scheduled.
bool DropPendingRenamesUnder(const std::string& folder);

// The value as stored, to be put back as it was.
struct PendingValue {
    bool present = false;
    DWORD type = REG_MULTI_SZ;
    std::vector<BYTE> bytes;
};
std::optional<PendingValue> ReadPendingValue();  // nullopt when the key cannot be opened
bool WritePendingValue(const PendingValue& value);  // an absent value is deleted

}  // namespace dupd::support
