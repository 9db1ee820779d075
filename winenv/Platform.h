// The narrow interfaces through which the portable rules reach Windows: files,
// registry and shell folders, dialogs and beeps, time and locale. winenv/win32/
// holds the real adapters; tests/host/FakePlatform.h the test doubles.
//
// No call of these interfaces throws: every failure is in its answer (false,
// nullptr, nullopt, "", a status), for the caller to decide on. Only running out
// of memory may throw, and that ends at the program's outermost catch.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dupd {

// ---------------------------------------------------------------- files

class IReadStream {
public:
    virtual ~IReadStream() = default;
    // Reads up to `capacity` bytes into `buffer`. true with `got` == 0 is the end of
    // the file; false is an I/O error.
    virtual bool Read(char* buffer, std::size_t capacity, std::size_t& got) = 0;
    // The file's size when it was opened, so that a reader can tell the end of the
    // file from a read that stopped short; nullopt when the system cannot tell.
    virtual std::optional<std::uint64_t> Size() = 0;
};

class IWriteStream {
public:
    virtual ~IWriteStream() = default;
    virtual bool Write(const char* data, std::size_t size) = 0;
    // Flushes to the disk and closes; false when something did not reach it.
    // Destroying an open stream closes it too, ignoring the outcome.
    virtual bool Close() = 0;
};

// CreateNew fails where any file, or a link, stands under the name already.
enum class OpenMode { CreateTruncate, CreateNew, Append };

// What a path names. `reparsePoint` is of the entry itself (a junction, a symbolic
// link); the rest is of what it leads to. `volume` and `index` identify that file
// or folder however its path is spelt.
struct FileFacts {
    bool exists = false;
    bool folder = false;
    bool reparsePoint = false;
    bool local = false;  // on a local drive, not a network one
    bool readOnly = false;
    std::uint32_t links = 0;  // hard links of a file
    std::uint64_t size = 0;
    std::uint32_t volume = 0;
    std::uint64_t index = 0;
};

// One entry of the system's pending-rename list, as the adapter normalised it:
// plain paths, `to` empty for a deletion.
struct PendingRename {
    std::string from;
    std::string to;
    bool replaceExisting = false;  // MOVEFILE_REPLACE_EXISTING: `to` may exist
};

using DigestBytes = std::array<std::uint8_t, 32>;

// A SHA-256 over bytes given piece by piece, so that a file of any size is
// hashed as it streams past.
class IDigest {
public:
    virtual ~IDigest() = default;
    virtual void Update(const char* data, std::size_t size) = 0;
    // nullopt when the system's hashing failed: nothing can be vouched for.
    virtual std::optional<DigestBytes> Final() = 0;
};

class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // A file, not a folder; also one that another process holds open.
    virtual bool FileExists(const std::string& path) = 0;
    virtual bool IsReadOnly(const std::string& path) = 0;
    // Sets FILE_ATTRIBUTE_ARCHIVE alone (clears read-only, hidden, system).
    virtual bool SetArchiveOnly(const std::string& path) = 0;
    virtual bool Delete(const std::string& path) = 0;
    // MoveFileA: fails when `to` exists; moves across volumes by copying.
    virtual bool Move(const std::string& from, const std::string& to) = 0;
    // MoveFileExA with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH, within one
    // folder: `to` names the old file or the new one at every instant. Fails,
    // changing nothing, when `to` is read-only or in use. The NT platform only.
    virtual bool Replace(const std::string& from, const std::string& to) = 0;
    virtual bool RemoveFolder(const std::string& path) = 0;

    // nullptr when the file cannot be opened.
    virtual std::unique_ptr<IReadStream> OpenRead(const std::string& path) = 0;
    virtual std::unique_ptr<IWriteStream> OpenWrite(const std::string& path, OpenMode mode) = 0;

    // Names (not paths) of the files in `folder` that match `pattern`, with the
    // system's wildcards; nullopt when the folder cannot be listed.
    virtual std::optional<std::vector<std::string>> FindFiles(const std::string& folder,
                                                              const std::string& pattern) = 0;
    // GetFullPathNameA: absolute, with "." and ".." resolved; "" on failure.
    virtual std::string FullPath(const std::string& path) = 0;
    // exists is false when the path names nothing or cannot be looked at.
    virtual FileFacts Facts(const std::string& path) = 0;
    // An existing file, not a folder, reached by its own name (no link on the
    // way): what Facts says of it, without the identity, whose volume query costs
    // a system far more than the rest where a run asks it for every staged file.
    virtual bool IsPlainFile(const std::string& path)
    {
        const FileFacts facts = Facts(path);
        return facts.exists && !facts.folder && !facts.reparsePoint;
    }

    // One entry of the system's pending-rename list (MoveFileExA with
    // MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING): at the restart `from`
    // replaces `to`; nothing happens if `from` is gone by then.
    virtual bool ScheduleReplaceAtRestart(const std::string& from, const std::string& to) = 0;
    // nullopt when the list cannot be read; no list is an empty one.
    virtual std::optional<std::vector<PendingRename>> PendingRenames() = 0;

    // The error code of the last failed call on this thread (GetLastError) and the
    // system's text for a code ("" when it has none).
    virtual std::uint32_t LastError() = 0;
    virtual std::string ErrorText(std::uint32_t code) = 0;

    // GetShortPathNameA; "" when the system gives no short form.
    virtual std::string ShortPathName(const std::string& path) = 0;
    // GetWindowsDirectoryA, as the system gives it.
    virtual std::string WindowsDirectory() = 0;
    // GetTempPathA, whole (never a cut or unfilled buffer); "" on failure.
    virtual std::string TempPath() = 0;

    // A new SHA-256: the system's where it has one, else the program's own.
    virtual std::unique_ptr<IDigest> NewSha256();
};

// ---------------------------------------------------------------- registry and shell folders

enum class RegRoot { LocalMachine, CurrentUser };
enum class RegAccess { Read, AllAccess };  // KEY_READ, KEY_ALL_ACCESS

enum class RegReadStatus { Ok, Missing, NotString, Failed };

struct RegString {
    RegReadStatus status = RegReadStatus::Missing;
    std::string text;  // REG_SZ or REG_EXPAND_SZ as stored, up to the first NUL
    bool cutAtNul = false;  // more text followed that NUL
};

class IRegistryKey {
public:
    virtual ~IRegistryKey() = default;  // closes the key
    virtual RegString ReadString(const std::string& valueName) = 0;
};

class IRegistry {
public:
    virtual ~IRegistry() = default;
    // Opens an existing key (never creates it); nullptr when it cannot be opened.
    virtual std::unique_ptr<IRegistryKey> OpenKey(RegRoot root, const std::string& path, RegAccess access) = 0;
    // SHGetSpecialFolderLocation + SHGetPathFromIDListA; "" when the shell has no path.
    virtual std::string SpecialFolderPath(int csidl) = 0;
};

// ---------------------------------------------------------------- dialogs and beeps

// The seven arguments of the simple native task dialog; the owner is the
// application's own hidden window, supplied by the adapter.
struct SimpleTaskDialogArgs {
    std::string title;
    std::string instruction;
    std::string content;
    std::uint32_t buttons = 1;        // TDCBF_* flags
    int icon = 0;                     // 81, 84, 98, 99, 106
    std::uint32_t messageBoxFlags = 0;  // MB_* flags for systems without a task dialog
};

class IUserInterface {
public:
    virtual ~IUserInterface() = default;
    virtual void Beep(std::uint32_t type) = 0;
    // MessageBoxA owned by the program's window; returns the pressed button's ID.
    virtual int ShowMessageBox(const std::string& caption, const std::string& text, std::uint32_t flags) = 0;
    // The framework's default title, derived from the executable's name.
    virtual std::string ApplicationTitle() = 0;
    virtual int SimpleTaskDialog(const SimpleTaskDialogArgs& args) = 0;
    // The hidden main form's window handle, created on first use.
    virtual std::uintptr_t MainWindowHandle() = 0;
    // Posts the quit message; the run returns to the message loop right after.
    virtual void RequestTerminate() = 0;
};

// ---------------------------------------------------------------- time and locale

class IClock {
public:
    virtual ~IClock() = default;
    // The current local date and time as "ddddd tt": short date, a blank, long time,
    // in the formats of the system default locale loaded at program start.
    virtual std::string LogTimestamp() = 0;
};

}  // namespace dupd
