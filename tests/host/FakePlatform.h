// Small deterministic doubles of the platform interfaces for the host tests: an
// in-memory file system with Windows' rules (case-insensitive names, doubled
// separators accepted, open files that cannot be deleted), a registry, scripted
// dialogs and a fixed clock.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "winenv/Platform.h"

namespace dupd::fake {

inline std::string NormalPath(const std::string& path)
{
    std::string out;
    for (char c : path) {
        if (c == '/') c = '\\';
        if (c == '\\' && !out.empty() && out.back() == '\\') continue;
        out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    // "." and ".." are resolved, as the system does for every path it is given.
    for (std::size_t at; (at = out.find("\\.\\")) != std::string::npos || (out.size() > 2 && out.compare(out.size() - 2, 2, "\\.") == 0);) {
        if (at == std::string::npos) out.erase(out.size() - 2);
        else out.erase(at, 2);
    }
    for (std::size_t at; (at = out.find("\\..")) != std::string::npos && (at + 3 == out.size() || out[at + 3] == '\\');) {
        const auto up = out.rfind('\\', at == 0 ? 0 : at - 1);
        if (up == std::string::npos) break;
        out.erase(up, at + 3 - up);
    }
    while (out.size() > 3 && out.back() == '\\') out.pop_back();
    return out;
}

inline std::string ParentOf(const std::string& path)
{
    const auto n = NormalPath(path);
    const auto cut = n.find_last_of('\\');
    return cut == std::string::npos ? std::string() : n.substr(0, cut);
}

// Windows' error codes that the doubles report.
inline constexpr std::uint32_t kErrFileNotFound = 2;
inline constexpr std::uint32_t kErrPathNotFound = 3;
inline constexpr std::uint32_t kErrAccessDenied = 5;
inline constexpr std::uint32_t kErrSharingViolation = 32;
inline constexpr std::uint32_t kErrAlreadyExists = 183;
inline constexpr std::uint32_t kErrDiskFull = 112;
inline constexpr std::uint32_t kErrFileExists = 80;

class FakeFileSystem : public IFileSystem {
public:
    struct File {
        std::string content;
        bool readOnly = false;
        bool inUse = false;  // held open by another process without delete sharing
        bool reparsePoint = false;  // a symbolic link to a file elsewhere
        std::uint32_t links = 1;    // hard links
    };

    std::map<std::string, File> files;        // by NormalPath
    std::set<std::string> folders;            // by NormalPath
    // A folder that is a junction: its path (NormalPath) leads to another folder's.
    std::map<std::string, std::string> folderLinks;
    std::vector<PendingRename> pending;       // the system's list, in order
    std::set<std::string> failMovesFrom;      // Move of these sources fails (disk full)
    std::set<std::string> failReadsOf;        // reads of these files fail after opening
    std::set<std::string> failWritesTo;       // writes into these files fail
    bool refuseScheduling = false;            // MoveFileEx(DELAY_UNTIL_REBOOT) refused
    std::string currentDir = "C:\\WORK";     // what relative paths resolve against
    std::string windowsDir = "C:\\WINDOWS";
    std::string tempPath = "C:\\TEMP\\";
    std::uint32_t lastError = 0;
    std::vector<std::string> journal;        // every mutating call, for order checks

    // The path as the system reaches it: through any junction on its way.
    std::string Key(const std::string& path) const
    {
        std::string p = NormalPath(path);
        for (int hops = 0; hops < 8; ++hops) {
            bool followed = false;
            for (const auto& [link, target] : folderLinks)
                if (p == link || (p.size() > link.size() && p.compare(0, link.size(), link) == 0 && p[link.size()] == '\\')) {
                    p = NormalPath(target) + p.substr(link.size());
                    followed = true;
                    break;
                }
            if (!followed) break;
        }
        return p;
    }

    // --- set-up helpers
    void AddFolder(const std::string& path)
    {
        std::string p = Key(path);
        while (!p.empty() && p.size() > 2) {
            folders.insert(p);
            const auto cut = p.find_last_of('\\');
            if (cut == std::string::npos) break;
            p = p.substr(0, cut);
        }
    }
    File& AddFile(const std::string& path, const std::string& content = "")
    {
        AddFolder(ParentOf(path));
        File& f = files[Key(path)];
        f.content = content;
        return f;
    }
    bool Has(const std::string& path) const { return files.count(Key(path)) != 0; }
    const std::string& Content(const std::string& path) const { return files.at(Key(path)).content; }
    bool HasFolder(const std::string& path) const { return folders.count(Key(path)) != 0; }

    // --- IFileSystem
    bool FileExists(const std::string& path) override { return Has(path); }
    bool IsReadOnly(const std::string& path) override
    {
        auto it = files.find(Key(path));
        return it != files.end() && it->second.readOnly;
    }
    bool SetArchiveOnly(const std::string& path) override
    {
        journal.push_back("attrib " + path);
        auto it = files.find(Key(path));
        if (it == files.end()) return Fail(kErrFileNotFound);
        it->second.readOnly = false;
        return true;
    }
    bool Delete(const std::string& path) override
    {
        journal.push_back("delete " + path);
        auto it = files.find(Key(path));
        if (it == files.end()) return Fail(kErrFileNotFound);
        if (it->second.readOnly) return Fail(kErrAccessDenied);
        if (it->second.inUse) return Fail(kErrSharingViolation);
        files.erase(it);
        return true;
    }
    bool Move(const std::string& from, const std::string& to) override
    {
        journal.push_back("move " + from + " -> " + to);
        auto it = files.find(Key(from));
        if (it == files.end()) return Fail(kErrFileNotFound);
        if (it->second.inUse) return Fail(kErrSharingViolation);
        if (Has(to)) return Fail(kErrAlreadyExists);
        if (!HasFolder(ParentOf(to))) return Fail(kErrPathNotFound);
        if (failMovesFrom.count(Key(from))) return Fail(kErrDiskFull);
        File moved = it->second;
        files.erase(it);
        files[Key(to)] = moved;
        return true;
    }
    bool Replace(const std::string& from, const std::string& to) override
    {
        journal.push_back("replace " + from + " -> " + to);
        auto it = files.find(Key(from));
        if (it == files.end()) return Fail(kErrFileNotFound);
        if (it->second.inUse) return Fail(kErrSharingViolation);
        auto old = files.find(Key(to));
        if (old != files.end() && old->second.readOnly) return Fail(kErrAccessDenied);
        if (old != files.end() && old->second.inUse) return Fail(kErrSharingViolation);
        if (!HasFolder(ParentOf(to))) return Fail(kErrPathNotFound);
        File moved = it->second;
        files.erase(it);
        files[Key(to)] = moved;
        return true;
    }
    bool RemoveFolder(const std::string& path) override
    {
        journal.push_back("rmdir " + path);
        const auto p = Key(path);
        if (!folders.count(p)) return Fail(kErrPathNotFound);
        const auto prefix = p + "\\";
        for (const auto& f : files)
            if (f.first.compare(0, prefix.size(), prefix) == 0) return Fail(145);  // not empty
        for (const auto& d : folders)
            if (d.compare(0, prefix.size(), prefix) == 0) return Fail(145);
        folders.erase(p);
        return true;
    }

    class Reader : public IReadStream {
    public:
        Reader(std::string data, bool fail) : data_(std::move(data)), fail_(fail) {}
        std::optional<std::uint64_t> Size() override { return data_.size(); }
        bool Read(char* buffer, std::size_t capacity, std::size_t& got) override
        {
            got = 0;
            if (fail_) return false;
            got = std::min(capacity, data_.size() - pos_);
            std::memcpy(buffer, data_.data() + pos_, got);
            pos_ += got;
            return true;
        }

    private:
        std::string data_;
        bool fail_;
        std::size_t pos_ = 0;
    };
    class Writer : public IWriteStream {
    public:
        Writer(FakeFileSystem& fs, std::string key, bool fail) : fs_(fs), key_(std::move(key)), fail_(fail) {}
        bool Write(const char* data, std::size_t size) override
        {
            if (fail_ || closed_ || fs_.failWritesTo.count(key_)) return false;
            auto it = fs_.files.find(key_);
            if (it == fs_.files.end()) return false;
            it->second.content.append(data, size);
            return true;
        }
        bool Close() override
        {
            closed_ = true;
            return !fail_;
        }

    private:
        FakeFileSystem& fs_;
        std::string key_;
        bool fail_;
        bool closed_ = false;
    };

    std::unique_ptr<IReadStream> OpenRead(const std::string& path) override
    {
        auto it = files.find(Key(path));
        if (it == files.end()) {
            Fail(kErrFileNotFound);
            return nullptr;
        }
        return std::make_unique<Reader>(it->second.content, failReadsOf.count(Key(path)) != 0);
    }
    std::unique_ptr<IWriteStream> OpenWrite(const std::string& path, OpenMode mode) override
    {
        journal.push_back(std::string(mode == OpenMode::Append ? "append " : "create ") + path);
        const auto key = Key(path);
        if (!HasFolder(ParentOf(path))) {
            Fail(kErrPathNotFound);
            return nullptr;
        }
        auto it = files.find(key);
        if (it != files.end() && mode == OpenMode::CreateNew) {
            Fail(kErrFileExists);
            return nullptr;
        }
        if (it != files.end() && (it->second.readOnly || it->second.inUse)) {
            Fail(kErrAccessDenied);
            return nullptr;
        }
        File& f = files[key];
        if (mode == OpenMode::CreateTruncate) f.content.clear();
        return std::make_unique<Writer>(*this, key, failWritesTo.count(key) != 0);
    }

    std::optional<std::vector<std::string>> FindFiles(const std::string& folder, const std::string& pattern) override
    {
        const auto dir = Key(folder);
        if (!folders.count(dir)) {
            Fail(kErrPathNotFound);
            return std::nullopt;
        }
        std::vector<std::string> names;
        for (const auto& f : files)
            if (ParentOf(f.first) == dir) {
                const std::string name = f.first.substr(dir.size() + 1);
                if (Matches(Key(pattern), name)) names.push_back(name);
            }
        return names;
    }
    FileFacts Facts(const std::string& path) override
    {
        FileFacts facts;
        const std::string key = Key(path);
        const auto file = files.find(key);
        if (file == files.end() && !folders.count(key)) {
            Fail(kErrFileNotFound);
            return facts;
        }
        facts.exists = true;
        facts.folder = file == files.end();
        facts.reparsePoint = folderLinks.count(NormalPath(path)) || (!facts.folder && file->second.reparsePoint);
        facts.local = key.size() > 1 && key[1] == ':';
        facts.readOnly = !facts.folder && file->second.readOnly;
        facts.links = facts.folder ? 1 : file->second.links;
        facts.size = facts.folder ? 0 : file->second.content.size();
        facts.volume = static_cast<std::uint32_t>(key.empty() ? 0 : key[0]);
        facts.index = std::hash<std::string>{}(key);
        return facts;
    }
    // Relative paths resolve against currentDir; "." and ".." are resolved.
    std::string FullPath(const std::string& path) override
    {
        if (path.empty()) return "";
        std::string p = path;
        for (auto& c : p)
            if (c == '/') c = '\\';
        if (!(p.size() >= 2 && p[1] == ':')) p = currentDir + "\\" + p;
        std::vector<std::string> parts;
        std::size_t start = 0;
        while (start <= p.size()) {
            const auto end = std::min(p.find('\\', start), p.size());
            const std::string part = p.substr(start, end - start);
            if (part == "..") {
                if (parts.size() > 1) parts.pop_back();
            } else if (!part.empty() && part != ".")
                parts.push_back(part);
            start = end + 1;
        }
        std::string out;
        for (const auto& part : parts) out += (out.empty() ? "" : "\\") + part;
        return parts.size() == 1 ? out + "\\" : out;
    }
    bool ScheduleReplaceAtRestart(const std::string& from, const std::string& to) override
    {
        journal.push_back("schedule replace " + from + " -> " + to);
        if (refuseScheduling) return Fail(kErrAccessDenied);
        // The system keeps full paths, however the caller spelt them.
        pending.push_back({FullPath(from), FullPath(to), true});
        return true;
    }
    bool failPendingRead = false;
    std::optional<std::vector<PendingRename>> PendingRenames() override
    {
        if (failPendingRead) return std::nullopt;
        return pending;
    }

    std::uint32_t LastError() override { return lastError; }
    std::string ErrorText(std::uint32_t code) override
    {
        switch (code) {
        case kErrAccessDenied: return "Access is denied.";
        case kErrSharingViolation: return "The process cannot access the file because it is being used by another process.";
        case 0: return "";
        default: return "Error " + std::to_string(code) + ".";
        }
    }
    // Short names are the long ones upper-cased, enough to tell them apart in tests.
    std::string ShortPathName(const std::string& path) override
    {
        if (!Has(path) && !HasFolder(path)) return "";
        std::string s = path;
        for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
    }
    std::string WindowsDirectory() override { return windowsDir; }
    std::string TempPath() override { return tempPath; }

    // Carries out the pending list, then wininit.ini's [rename] section (renamed
    // WININIT.BAK afterwards), as Windows does at a restart, each in its order.
    void Restart()
    {
        for (auto& f : files) f.second.inUse = false;
        for (const auto& p : pending) {
            if (p.to.empty())
                files.erase(Key(p.from));
            else if (Has(p.from) && (p.replaceExisting || !Has(p.to)))
                MoveAtBoot(p.from, p.to);
        }
        pending.clear();

        const std::string wininit = windowsDir + "\\wininit.ini";
        if (!Has(wininit)) return;
        bool inRename = false;
        std::string text = Content(wininit);
        std::size_t start = 0;
        while (start < text.size()) {
            auto end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            start = end + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty() && line[0] == '[') {
                inRename = Key(line) == "[rename]";
                continue;
            }
            const auto eq = line.find('=');
            if (!inRename || eq == std::string::npos) continue;
            const std::string to = line.substr(0, eq);
            const std::string from = line.substr(eq + 1);
            if (Key(to) == "nul")
                files.erase(Key(from));
            else if (Has(from))
                MoveAtBoot(from, to);
        }
        files[Key(windowsDir + "\\WININIT.BAK")] = files[Key(wininit)];
        files.erase(Key(wininit));
    }

private:
    void MoveAtBoot(const std::string& from, const std::string& to)
    {
        File moved = files[Key(from)];
        files.erase(Key(from));
        files[Key(to)] = moved;
    }
    // "*" stands for any run of characters; names are already lower-case.
    static bool Matches(const std::string& pattern, const std::string& name)
    {
        if (pattern.empty()) return name.empty();
        if (pattern[0] == '*') {
            for (std::size_t i = 0; i <= name.size(); ++i)
                if (Matches(pattern.substr(1), name.substr(i))) return true;
            return false;
        }
        return !name.empty() && pattern[0] == name[0] && Matches(pattern.substr(1), name.substr(1));
    }

    bool Fail(std::uint32_t code)
    {
        lastError = code;
        return false;
    }
};

class FakeRegistry : public IRegistry {
public:
    struct Value {
        RegReadStatus status = RegReadStatus::Ok;  // NotString for a REG_DWORD, Failed for a read error
        std::string text;
    };
    struct Key {
        std::map<std::string, Value> values;
        bool readOnlyForUser = false;  // opening with full access is refused
    };
    std::map<std::string, Key> keys;  // "HKLM\\path" or "HKCU\\path", lower-case
    std::map<int, std::string> specialFolders;
    std::vector<std::string> opened;  // every successful open, for checks
    std::vector<std::string> openedForWriting;  // those with full access

    static std::string KeyName(RegRoot root, const std::string& path)
    {
        return (root == RegRoot::LocalMachine ? "hklm\\" : "hkcu\\") + NormalPath(path);
    }
    void Set(RegRoot root, const std::string& path, const std::string& name, const std::string& text,
             RegReadStatus status = RegReadStatus::Ok)
    {
        keys[KeyName(root, path)].values[name] = {status, text};
    }

    class OpenKeyImpl : public IRegistryKey {
    public:
        explicit OpenKeyImpl(Key& key) : key_(key) {}
        RegString ReadString(const std::string& name) override
        {
            auto it = key_.values.find(name);
            if (it == key_.values.end()) return {RegReadStatus::Missing, ""};
            if (it->second.status != RegReadStatus::Ok) return {it->second.status, ""};
            const std::string& text = it->second.text;
            const auto nul = text.find('\0');
            return {RegReadStatus::Ok, text.substr(0, nul),
                    nul != std::string::npos && text.find_first_not_of('\0', nul) != std::string::npos};
        }

    private:
        Key& key_;
    };

    std::unique_ptr<IRegistryKey> OpenKey(RegRoot root, const std::string& path, RegAccess access) override
    {
        auto it = keys.find(KeyName(root, path));
        if (it == keys.end()) return nullptr;
        if (access == RegAccess::AllAccess && it->second.readOnlyForUser) return nullptr;
        opened.push_back(it->first);
        if (access == RegAccess::AllAccess) openedForWriting.push_back(it->first);
        return std::make_unique<OpenKeyImpl>(it->second);
    }
    std::string SpecialFolderPath(int csidl) override
    {
        auto it = specialFolders.find(csidl);
        return it == specialFolders.end() ? std::string() : it->second;
    }
};

// Records every dialog and beep; message boxes and simple task dialogs answer from
// a script (OK when the script is empty).
class FakeUserInterface : public IUserInterface {
public:
    struct Shown {
        std::string kind;  // "box", "simple"
        std::string caption;
        std::string instruction;
        std::string text;
        std::uint32_t flags = 0;
        int icon = 0;
    };
    std::vector<std::string> events;  // beeps and dialogs in order: "beep 16", "box Error", ...
    std::vector<Shown> shown;
    std::deque<int> answers;
    bool terminateRequested = false;
    int terminateRequests = 0;

    void Beep(std::uint32_t type) override { events.push_back("beep " + std::to_string(type)); }
    int ShowMessageBox(const std::string& caption, const std::string& text, std::uint32_t flags) override
    {
        events.push_back("box " + caption);
        shown.push_back({"box", caption, "", text, flags, 0});
        return Next(1);
    }
    std::string ApplicationTitle() override { return "dupd"; }
    int SimpleTaskDialog(const SimpleTaskDialogArgs& a) override
    {
        events.push_back("simple " + a.title);
        shown.push_back({"simple", a.title, a.instruction, a.content, a.messageBoxFlags, a.icon});
        return Next(1);
    }
    std::uintptr_t MainWindowHandle() override { return 0x1234; }
    void RequestTerminate() override
    {
        terminateRequested = true;
        ++terminateRequests;
        events.push_back("terminate");
    }

private:
    int Next(int fallback)
    {
        if (answers.empty()) return fallback;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
};

class FakeClock : public IClock {
public:
    std::string stamp = "08.12.2026 20:43:11";
    std::string LogTimestamp() override { return stamp; }
};

}  // namespace dupd::fake
