// The hidden updater form: the update run and the operations it is made of. Win32
// reaches it only through the platform interfaces, so the whole run is tested on the
// host with doubles; app/win32/dupd.cpp gives it its window and message loop.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/RunState.h"
#include "dbversion/DbVersion.h"
#include "log/UpdateLog.h"
#include "taskdialog/TaskDialog.h"
#include "winenv/OsVersion.h"
#include "winenv/Platform.h"

namespace dupd {

inline constexpr const char* kProductKey = "SOFTWARE\\Ostravane\\Quellmark";
inline constexpr const char* kStagingSubFolder = "\\Ostravane\\Dbinst";
inline constexpr const char* kProductWebSite = "https://www.ostravane.com/quellmark";
inline constexpr const char* kDownloadPage = "https://www.ostravane.com/quellmark/download";
inline constexpr const char* kSupportEmail = "support@ostravane.com";
inline constexpr const char* kTitlePrefix = "Quellmark Database Updater ";

// Message-box and beep codes the run uses (the values of the system's MB_* flags).
inline constexpr std::uint32_t kMbOk = 0x00;
inline constexpr std::uint32_t kMbIconHand = 0x10;
inline constexpr std::uint32_t kMbIconExclamation = 0x30;
inline constexpr std::uint32_t kMbIconAsterisk = 0x40;

// "System Error.  Code: N.\r\n<text>", or the generic line when there is no code.
std::string SystemErrorMessage(std::uint32_t code, const std::string& description);

// The tables that turn ShowDlg's codes into the component's values.
TTaskDialogIcon IconForCode(int iconCode);
TCommonButtons ButtonsForCode(int buttonsCode);
bool IsBeepCode(int beepCode);

class TMainForm {
public:
    TMainForm(IFileSystem& fs, IRegistry& registry, IUserInterface& ui, IClock& clock,
              ITaskDialogPlatform& dialogPlatform);

    // The platform-independent part of the form's creation: which way files in use
    // are replaced, from the version query made at start.
    void FormCreate(const OsVersionInfo& version);
    // Runs the update the first time the form is activated, never again; whatever
    // happens inside, the application is asked to terminate.
    void FormActivate();

    void UpdateRun();
    void DoCopy(const std::string& destinationFolder, const std::string& fileName);
    // Adds the pair that replaces the file by its waiting copy at the next start of a
    // 9x system; false, with wininit.ini as it was, when that cannot be done.
    bool WriteWininit(const std::string& destinationFolder, const std::string& fileName);
    std::string ShortName(const std::string& path);
    std::string GetWinDir();
    void AbortInstall();
    VersionGateResult BadVersion();
    unsigned ShowDlg(int iconCode, int buttonsCode, int beepCode, const std::string& titleSuffix,
                     const std::string& instruction, const std::string& content, const std::string& expandedText,
                     const std::string& footer);

    RunState& State() { return state_; }
    TTaskDialogEx& MsgDlg() { return msgDlg_; }

private:
    void RequestTerminate();
    void ShowInstallDirNotFound();
    void ShowUnableToMove(const std::string& destinationFolder, const std::string& fileName);
    void LogDeferred(const std::string& fileName);
    void RemoveStaged(const std::string& source);

    // Puts right what a run that was killed or lost its power left half done.
    void RecoverInterruptedRun();
    // AppPath if it names an existing local folder in full, else "".
    std::string TrustedAppPath(const RegString& value);
    bool StagingTrusted();
    bool StagedFileUsable(const std::string& fileName);
    enum class Pending { No, Yes, Unknown };
    Pending EarlierReplacementPending(const std::string& destinationFolder, const std::string& fileName);
    void ShowSchedulingError(std::uint32_t code);
    bool StagedFilePending(const std::string& fileName);
    // Paths compared as the system resolves them: full, case and separators aside.
    std::string PathKey(const std::string& path);
    bool PendingReplacement(const std::string& from, const std::string& to);
    bool ListHas(const std::vector<PendingRename>& list, const std::string& from, const std::string& to);
    // wininit.ini's lines (none when it does not exist); nullopt when it cannot be
    // read whole.
    std::optional<std::vector<std::string>> ReadWininit();
    bool WininitRenames(const std::vector<std::string>& lines, const std::string& target, const std::string& source);

    IFileSystem& fs_;
    IRegistry& registry_;
    IUserInterface& ui_;
    RunState state_;
    TUpdateLog log_;
    TTaskDialogEx msgDlg_;
    std::string trustedInstall_;  // the installation folder as read at the start, or ""
    std::uint32_t scheduleError_ = 0;  // the system error of the last failed scheduling
    bool ran_ = false;
    bool terminateRequested_ = false;
};

}  // namespace dupd
