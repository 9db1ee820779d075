// The update log: this run's lines go to UPDLOG.TMP, which is merged in front of the
// accumulated UPDLOG.TXT at the end, and the result is cut down above 16384 bytes.
// Every failure here is silent.
#pragma once

#include <string>

#include "core/RunState.h"
#include "winenv/Platform.h"

namespace dupd {

inline constexpr std::uint64_t kLogSizeLimit = 16384;
inline constexpr int kLogLinesKept = 101;
// The longest line that the merge and the cut copy; the rest of a longer line
// (which this program never writes) is dropped. Keeps both in flat memory.
inline constexpr std::size_t kLogLineCap = 1024;

// "[" + stamp + "] " + message.
std::string FormatLogLine(const std::string& stamp, const std::string& message);

class TUpdateLog {
public:
    TUpdateLog(IFileSystem& fs, IClock& clock, RunState& state) : fs_(fs), clock_(clock), state_(state) {}

    bool StartLogFile();
    void WriteToLog(const std::string& message);
    void CloseLogFile();
    void RewriteLog();
    // Cuts UPDLOG.TXT down above the size limit; never while this run's lines wait in
    // UPDLOG.TMP after a failed merge.
    void CheckLogFile();

private:
    std::unique_ptr<IWriteStream> CreateAnew(const std::string& path);

    IFileSystem& fs_;
    IClock& clock_;
    RunState& state_;
    std::unique_ptr<IWriteStream> logFile_;
    bool unmerged_ = false;  // UPDLOG.TMP holds lines of this run not yet in UPDLOG.TXT
};

// The log folder, ending with a backslash: InstallDir on the 9x family, else the
// documents folder (shell, then registry) or the temporary folder, followed by the
// product's log sub-folder.
std::string GetLogfileDir(IRegistry& registry, IFileSystem& fs, const RunState& state);

}  // namespace dupd
