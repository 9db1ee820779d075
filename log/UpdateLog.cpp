#include "log/UpdateLog.h"

#include <memory>

#include "core/Lookups.h"
#include "core/Path.h"
#include "dbversion/TextLines.h"
#include "install/SafeReplace.h"
#include "install/Trust.h"
#include "winenv/OsVersion.h"

namespace dupd {

namespace {

const char* const kTmpName = "UPDLOG.TMP";
const char* const kTxtName = "UPDLOG.TXT";
const char* const kLogSubFolder = "Ostravane\\Quellmark Logfiles\\";
constexpr std::size_t kWriteChunk = 64 * 1024;

const std::string& DashLine()
{
    static const std::string line(60, '-');
    return line;
}

const std::string& StarLine()
{
    static const std::string line(40, '*');
    return line;
}

// Collects lines and hands them to the stream in large pieces: a log of many short
// lines would otherwise cost one system call per line.
class LineWriter {
public:
    explicit LineWriter(IWriteStream& out) : out_(out) { buffer_.reserve(kWriteChunk + 256); }

    bool Line(const std::string& text)
    {
        buffer_ += text;
        buffer_ += "\r\n";
        return buffer_.size() < kWriteChunk || Flush();
    }
    bool Flush()
    {
        if (buffer_.empty()) return true;
        const bool ok = out_.Write(buffer_.data(), buffer_.size());
        buffer_.clear();
        return ok;
    }
    // Everything reached the file only when the last piece and the close succeed:
    // an unflushed tail would leave a cut-off copy.
    bool Finish() { return Flush() && out_.Close(); }

private:
    IWriteStream& out_;
    std::string buffer_;
};

// Copies the lines of `in` to `out`, each with CR LF; with `keepLines` > 0 stops
// after that many lines and marks the cut. false on any read or write error.
bool CopyLines(IReadStream& in, LineWriter& out, int keepLines)
{
    TextLineReader reader(in, kLogLineCap);
    std::string line;
    int count = 0;
    while (reader.Next(line)) {
        if (!out.Line(line)) return false;
        if (keepLines > 0 && ++count >= keepLines) {
            return out.Line("") && out.Line(StarLine()) && out.Line("Logfile auto-truncated by Quellmark") &&
                   out.Line(StarLine());
        }
    }
    return !reader.Failed();
}

}  // namespace

std::string FormatLogLine(const std::string& stamp, const std::string& message)
{
    return "[" + stamp + "] " + message;
}

bool TUpdateLog::StartLogFile()
{
    if (state_.LogStarted) {
        CloseLogFile();
        RewriteLog();
    }
    logFile_.reset();
    unmerged_ = false;
    state_.LogStarted = false;
    // Any program of the user can write the log folder: where it or the log is not
    // what it seems, this run keeps no log and touches nothing there.
    if (!LogFolderTrusted(fs_, state_.LogDir, state_.PlatformId) ||
        !Untampered(fs_.Facts(JoinPath(state_.LogDir, kTxtName))))
        return false;
    logFile_ = CreateAnew(JoinPath(state_.LogDir, kTmpName));
    unmerged_ = logFile_ != nullptr;
    state_.LogStarted = logFile_ != nullptr;
    return state_.LogStarted;
}

void TUpdateLog::WriteToLog(const std::string& message)
{
    if (!state_.LogStarted || !logFile_) return;
    // A lost line never stops the update.
    const std::string line = FormatLogLine(clock_.LogTimestamp(), message) + "\r\n";
    logFile_->Write(line.data(), line.size());
}

void TUpdateLog::CloseLogFile()
{
    state_.LogStarted = false;
    if (!logFile_) return;
    const std::string end = DashLine() + "\r\n\r\n";
    // The file stays open for the merge, which appends to it: opened again by name,
    // it could be another file by then.
    if (!logFile_->Write(end.data(), end.size())) logFile_.reset();
}

void TUpdateLog::RewriteLog()
{
    if (!logFile_) return;  // nothing of this run to merge
    const std::unique_ptr<IWriteStream> out = std::move(logFile_);
    const std::string tmp = JoinPath(state_.LogDir, kTmpName);
    const std::string txt = JoinPath(state_.LogDir, kTxtName);
    const FileFacts log = fs_.Facts(txt);
    if (!log.exists) {
        // A plain move, which fails where a log stands after all.
        if (out->Close() && fs_.Move(tmp, txt)) unmerged_ = false;
        return;
    }
    if (!Untampered(log)) return;
    {
        auto in = fs_.OpenRead(txt);
        if (!in) return;
        LineWriter writer(*out);
        if (!CopyLines(*in, writer, 0) || !writer.Finish()) return;
    }
    // The accumulated log stands whole under its name at every instant: a read-only
    // one is kept, with this run's merged copy beside it.
    const ReplaceOutcome outcome = ReplaceWhole(fs_, state_.IsNTPlatform, tmp, txt);
    if (outcome == ReplaceOutcome::Replaced || outcome == ReplaceOutcome::Committed) unmerged_ = false;
}

void TUpdateLog::CheckLogFile()
{
    // After a failed merge UPDLOG.TMP still holds this run's lines: the cut, which
    // writes its copy under that name, would empty it.
    if (unmerged_) return;
    const std::string tmp = JoinPath(state_.LogDir, kTmpName);
    const std::string txt = JoinPath(state_.LogDir, kTxtName);
    // A read-only log is never cut.
    const FileFacts log = fs_.Facts(txt);
    if (!log.exists || log.readOnly || !Untampered(log) || log.size <= kLogSizeLimit) return;
    if (!LogFolderTrusted(fs_, state_.LogDir, state_.PlatformId)) return;
    {
        auto in = fs_.OpenRead(txt);
        if (!in) return;
        auto out = CreateAnew(tmp);
        if (!out) return;
        LineWriter writer(*out);
        if (!CopyLines(*in, writer, kLogLinesKept) || !writer.Finish()) return;
    }
    ReplaceWhole(fs_, state_.IsNTPlatform, tmp, txt);
}

std::unique_ptr<IWriteStream> TUpdateLog::CreateAnew(const std::string& path)
{
    // A link is left as it stands (where Wine deletes a Unix link to a file, it
    // deletes what the link leads to); CreateNew then fails where anything stands
    // under the name, a link that leads nowhere included.
    const FileFacts facts = fs_.Facts(path);
    if (facts.exists && (facts.reparsePoint || facts.folder)) return nullptr;
    if (facts.exists && !fs_.Delete(path)) return nullptr;
    return fs_.OpenWrite(path, OpenMode::CreateNew);
}

std::string GetLogfileDir(IRegistry& registry, IFileSystem& fs, const RunState& state)
{
    // An unknown platform is no 9x system: the log goes to the user's folders.
    if (IsWin9xFamily(state.PlatformId)) return state.InstallDir;

    std::string folder = GetSpecialFolder(registry, CSIDL_PERSONAL_ID);
    if (!folder.empty()) return JoinPath(folder, kLogSubFolder);
    folder = GetShellFolder(registry, "Personal");
    if (!folder.empty()) return JoinPath(folder, kLogSubFolder);
    return JoinPath(GetTempDir(fs), kLogSubFolder);
}

}  // namespace dupd
