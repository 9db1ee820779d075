#include "install/SafeReplace.h"

#include <algorithm>
#include <vector>

#include "core/Path.h"

namespace dupd {

namespace {

constexpr std::size_t kCopyChunk = 64 * 1024;

// A stale file of the program's own that is in the way of a new one.
void Clear(IFileSystem& fs, const std::string& path)
{
    if (!fs.FileExists(path)) return;
    if (!fs.Delete(path) && fs.SetArchiveOnly(path)) fs.Delete(path);
}

}  // namespace

std::optional<std::uint64_t> StreamWhole(IReadStream& in, const std::function<bool(const char*, std::size_t)>& take)
{
    std::vector<char> buffer(kCopyChunk);
    std::uint64_t total = 0;
    for (;;) {
        std::size_t got = 0;
        if (!in.Read(buffer.data(), buffer.size(), got)) return std::nullopt;
        if (got == 0) return total;
        if (!take(buffer.data(), got)) return std::nullopt;
        total += got;
    }
}

bool CopyWhole(IFileSystem& fs, const std::string& from, const std::string& to, const ManifestEntry* expected)
{
    bool whole = false;
    {
        const auto digest = expected ? fs.NewSha256() : nullptr;
        auto in = fs.OpenRead(from);
        auto out = in && (digest || !expected) ? fs.OpenWrite(to, OpenMode::CreateTruncate) : nullptr;
        // A stale copy of the program's own that will not be written over (read-only).
        if (in && !out) {
            Clear(fs, to);
            out = fs.OpenWrite(to, OpenMode::CreateTruncate);
        }
        if (out) {
            const auto copied = StreamWhole(*in, [&](const char* data, std::size_t size) {
                if (digest) digest->Update(data, size);
                return out->Write(data, size);
            });
            // A read that stopped short of the size is no end of the file.
            const auto size = in->Size();
            whole = copied && size && *copied == *size;
            if (whole && expected) whole = *copied == expected->size && digest->Final() == expected->sha256;
            whole = out->Close() && whole;
        }
    }
    if (!whole) fs.Delete(to);
    return whole;
}

bool WriteWhole(IFileSystem& fs, const std::string& to, const std::string& text)
{
    Clear(fs, to);
    bool whole = false;
    {
        auto out = fs.OpenWrite(to, OpenMode::CreateTruncate);
        if (out) {
            whole = out->Write(text.data(), text.size());
            whole = out->Close() && whole;
        }
    }
    if (!whole) fs.Delete(to);
    return whole;
}

bool RenameOver(IFileSystem& fs, bool nt, const std::string& from, const std::string& to)
{
    if (nt) return fs.Replace(from, to);
    Clear(fs, to);
    return fs.Move(from, to);
}

ReplaceOutcome ReplaceWhole(IFileSystem& fs, bool nt, const std::string& fresh, const std::string& target)
{
    // The one-step replacement refuses a read-only or busy target by itself.
    if (nt) {
        if (fs.Replace(fresh, target)) return ReplaceOutcome::Replaced;
        return fs.FileExists(target) ? ReplaceOutcome::TargetBusy : ReplaceOutcome::Failed;
    }
    const bool targetExists = fs.FileExists(target);
    // A read-only file could not be deleted either: it stays, as a deletion would leave it.
    if (targetExists && fs.IsReadOnly(target)) return ReplaceOutcome::TargetBusy;

    const std::string copy = target + kNewSuffix;
    const bool renamed = fresh != copy;
    if (renamed && !RenameOver(fs, false, fresh, copy)) return ReplaceOutcome::Failed;
    if (targetExists && !fs.Delete(target)) {
        if (renamed) fs.Move(copy, fresh);
        return ReplaceOutcome::TargetBusy;
    }
    if (fs.Move(copy, target)) return ReplaceOutcome::Replaced;
    // With the old file gone, the whole copy is what the next run's recovery renames in.
    if (targetExists) return ReplaceOutcome::Committed;
    if (renamed) fs.Move(copy, fresh);
    return ReplaceOutcome::Failed;
}

void RecoverLeftovers(IFileSystem& fs, const std::string& folder, const std::vector<std::string>& targets,
                      const PendingSourceTest& pendingSource)
{
    const auto found = fs.FindFiles(folder, std::string("*") + kOwnMark + "*");
    if (!found) return;

    std::vector<std::string> wanted;
    for (const auto& t : targets) wanted.push_back(UpperAscii(t));

    // Each target's leftovers in the order of the rules: an old copy first, so that a
    // target restored from it is not replaced by a stale new one.
    for (const char* suffix : {kOldSuffix, kPartSuffix, kNewSuffix}) {
        const std::string ending = suffix;
        for (const std::string& name : *found) {
            if (name.size() <= ending.size() || !EndsWithAscii(name, ending)) continue;
            const std::string base = name.substr(0, name.size() - ending.size());
            const auto known = std::find(wanted.begin(), wanted.end(), UpperAscii(base));
            if (known == wanted.end()) continue;

            const std::string leftover = JoinPath(folder, name);
            const std::string target = JoinPath(folder, targets[static_cast<std::size_t>(known - wanted.begin())]);
            // Not the program's if it is a link: deleting or renaming it could reach
            // what it leads to.
            if (fs.Facts(leftover).reparsePoint) continue;
            if (ending == kPartSuffix) {
                Clear(fs, leftover);
            } else if (ending == kNewSuffix) {
                if (pendingSource && pendingSource(leftover, target)) continue;
                if (fs.FileExists(target))
                    Clear(fs, leftover);
                else
                    fs.Move(leftover, target);
            } else {
                if (fs.FileExists(target))
                    Clear(fs, leftover);
                else
                    fs.Move(leftover, target);
            }
        }
    }
}

}  // namespace dupd
