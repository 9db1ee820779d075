#include "install/RestartQueue.h"

#include "core/Path.h"
#include "dbversion/TextLines.h"
#include "install/Wininit.h"

namespace dupd {

namespace {

constexpr std::uint32_t kErrorInvalidData = 13;  // ERROR_INVALID_DATA
constexpr const char* kWininitName = "wininit.ini";

// The system's own list; it keeps full paths, so entries are compared as the
// system resolves them.
class PendingRenameQueue : public IRestartQueue {
public:
    explicit PendingRenameQueue(IFileSystem& fs) : fs_(fs) {}

    Waiting Awaits(const std::string& source, const std::string& target) override
    {
        const auto list = fs_.PendingRenames();
        if (!list) return Waiting::Unknown;
        return Has(*list, source, target) ? Waiting::Yes : Waiting::No;
    }

    Waiting LeftByEarlierRun(const std::string&, const std::string& source, const std::string& target) override
    {
        // Earlier versions of the program deleted the target and moved the staged file
        // itself at the restart. Without the list only such a pair is at stake: this
        // version's own entries do nothing once their copy is placed.
        return Awaits(source, target) == Waiting::Yes ? Waiting::Yes : Waiting::No;
    }

    bool Add(const std::string& copy, const std::string& target) override
    {
        if (Awaits(copy, target) == Waiting::Yes || fs_.ScheduleReplaceAtRestart(copy, target)) return true;
        error_ = fs_.LastError();
        return false;
    }

    PendingSourceTest ReadForRecovery() override
    {
        const auto list = fs_.PendingRenames();
        return [this, list](const std::string& copy, const std::string& target) {
            return !list || Has(*list, copy, target);
        };
    }

private:
    std::string Key(const std::string& path)
    {
        const std::string full = fs_.FullPath(path);
        return PathKey(full.empty() ? path : full);
    }
    bool Has(const std::vector<PendingRename>& list, const std::string& from, const std::string& to)
    {
        const auto fromKey = Key(from);
        const auto toKey = Key(to);
        for (const PendingRename& entry : list)
            if (Key(entry.from) == fromKey && Key(entry.to) == toKey) return true;
        return false;
    }

    IFileSystem& fs_;
};

// wininit.ini's [rename] section, whose "nul=" lines delete whatever stands under
// the name at the restart.
class WininitQueue : public IRestartQueue {
public:
    explicit WininitQueue(IFileSystem& fs) : fs_(fs) {}

    Waiting Awaits(const std::string& source, const std::string& target) override
    {
        const auto lines = Read();
        if (!lines) return Waiting::Unknown;
        return Renames(*lines, target, source) ? Waiting::Yes : Waiting::No;
    }

    Waiting LeftByEarlierRun(const std::string& copy, const std::string& source, const std::string& target) override
    {
        // Any pair for the file, this version's or an earlier one's, would delete a
        // file placed now.
        const auto lines = Read();
        if (!lines) return Waiting::Unknown;
        return Renames(*lines, target, copy) || Renames(*lines, target, source) ? Waiting::Yes : Waiting::No;
    }

    bool Add(const std::string& copy, const std::string& target) override
    {
        const std::string path = JoinPath(GetWinDir(fs_), kWininitName);
        const std::string shortTarget = ShortName(fs_, target);
        const std::string shortCopy = ShortName(fs_, copy);

        auto lines = Read();
        if (!lines) return false;
        if (HasWininitRename(*lines, shortTarget, shortCopy)) return true;
        std::string text;
        for (const auto& line : WithWininitRename(std::move(*lines), shortTarget, shortCopy)) text += line + "\r\n";

        // Written whole beside the old file before it is replaced, so that a failure
        // never leaves the system's file half-written.
        const std::string part = path + kPartSuffix;
        if (WriteWhole(fs_, part, text)) {
            switch (ReplaceWhole(fs_, false, part, path)) {
            case ReplaceOutcome::Replaced:
                return true;
            case ReplaceOutcome::Committed:
                // In place once the next run renames it in; until then the copy must wait.
                return true;
            case ReplaceOutcome::TargetBusy:
            case ReplaceOutcome::Failed:
                break;
            }
        }
        error_ = fs_.LastError();
        fs_.Delete(part);
        return false;
    }

    PendingSourceTest ReadForRecovery() override
    {
        // wininit.ini first: the database copies that it names are kept.
        RecoverLeftovers(fs_, GetWinDir(fs_), {kWininitName}, {});
        const auto lines = Read();
        return [this, lines](const std::string& copy, const std::string& target) {
            return !lines || Renames(*lines, target, copy);
        };
    }

private:
    // The lines (none when the file does not exist); nullopt when it cannot be read whole.
    std::optional<std::vector<std::string>> Read()
    {
        const std::string folder = GetWinDir(fs_);
        std::vector<std::string> lines;
        // Only a listing tells a missing file from a failed look: taking the system's
        // file for absent would drop its other lines, or the copies it awaits.
        const auto found = fs_.FindFiles(folder, kWininitName);
        if (!found) {
            error_ = fs_.LastError();
            return std::nullopt;
        }
        if (found->empty()) return lines;
        auto in = fs_.OpenRead(JoinPath(folder, kWininitName));
        if (!in) {
            error_ = fs_.LastError();
            return std::nullopt;
        }
        // A file that could not be read whole is left as it is rather than cut short.
        if (!ReadWholeLines(*in, lines)) {
            error_ = kErrorInvalidData;
            return std::nullopt;
        }
        return lines;
    }

    bool Renames(const std::vector<std::string>& lines, const std::string& target, const std::string& source)
    {
        return HasWininitRename(lines, ShortName(fs_, target), ShortName(fs_, source)) ||
               HasWininitRename(lines, target, source);
    }

    IFileSystem& fs_;
};

}  // namespace

std::unique_ptr<IRestartQueue> MakeRestartQueue(IFileSystem& fs, bool nt)
{
    if (nt) return std::make_unique<PendingRenameQueue>(fs);
    return std::make_unique<WininitQueue>(fs);
}

std::string ShortName(IFileSystem& fs, const std::string& path)
{
    // Without a short form the long one is better than nothing in wininit.ini.
    const std::string shortName = fs.ShortPathName(path);
    return shortName.empty() ? path : shortName;
}

std::string GetWinDir(IFileSystem& fs) { return TrimWindowsDir(fs.WindowsDirectory()); }

}  // namespace dupd
