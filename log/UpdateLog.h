// The update log: this run's lines go to UPDLOG.TMP, which is merged in front of the
// accumulated UPDLOG.TXT at the end, and the result is cut down above 16384 bytes.
// Every failure here is silent.
#pragma once

#include <string>

#include "app/RunState.h"
#include "winenv/Platform.h"

namespace dupd {

inline constexpr std::uint64_t kLogSizeLimit = 16384;
inline constexpr int kLogLinesKept = 101;

// "[" + stamp + "] " + message.
std::string FormatLogLine(const std::string& stamp, const std::string& message);

class TUpdateLog {
public:
    TUpdateLog(IFileSystem& fs, IClock& clock, RunState& state) : fs_(fs), clock_(clock), state_(state) {}

    bool StartLogFile();
    void WriteToLog(const std::string& message);
    void CloseLogFile();
    void RewriteLog();
    void CheckLogFile();

private:
    IFileSystem& fs_;
    IClock& clock_;
    RunState& state_;
    std::unique_ptr<IWriteStream> logFile_;
};

// The log folder, ending with a backslash: InstallDir on the 9x family, else the
// documents folder (shell, then registry) or the temporary folder, followed by the
// product's log sub-folder.
std::string GetLogfileDir(IRegistry& registry, IFileSystem& fs, const RunState& state);

}  // namespace dupd
