// The hidden updater form: the order of the update run's steps, and what each
// outcome tells the user and the log; the work on files is install/'s. Win32
// reaches it only through the platform interfaces, so the whole run is tested on the
// host with doubles; app/win32/dupd.cpp gives it its window and message loop.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/Messages.h"
#include "core/RunState.h"
#include "dbversion/DbVersion.h"
#include "install/PackageManifest.h"
#include "install/Placement.h"
#include "install/RestartQueue.h"
#include "log/UpdateLog.h"
#include "taskdialog/TaskDialog.h"
#include "winenv/OsVersion.h"
#include "winenv/Platform.h"

namespace dupd {

inline constexpr const char* kProductKey = "SOFTWARE\\Ostravane\\Quellmark";
inline constexpr const char* kStagingSubFolder = "\\Ostravane\\Dbinst";

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
    // Places one staged file; tells the user what went wrong and logs a deferral.
    void DoCopy(const std::string& destinationFolder, const std::string& fileName);
    void AbortInstall();
    VersionGateResult BadVersion();
    unsigned ShowDlg(int iconCode, int buttonsCode, int beepCode, const std::string& titleSuffix,
                     const std::string& instruction, const std::string& content, const std::string& expandedText,
                     const std::string& footer);
    unsigned ShowDlg(const DialogMessage& message);

    // The text of the package manifest this program carries (its resource), or
    // nullopt for a development build, which checks no digest. A text that cannot
    // be read as a manifest vouches for no package.
    void SetPackageManifest(const std::optional<std::string>& text);

    RunState& State() { return state_; }
    TTaskDialogEx& MsgDlg() { return msgDlg_; }

private:
    void RequestTerminate();
    void RecoverInterruptedRun();
    void LogDeferred(const std::string& fileName);
    bool PackageVouchedFor();
    const ManifestEntry* Expected(const std::string& fileName) const;

    IFileSystem& fs_;
    IRegistry& registry_;
    IUserInterface& ui_;
    RunState state_;
    TUpdateLog log_;
    TTaskDialogEx msgDlg_;
    std::unique_ptr<IRestartQueue> queue_;  // chosen by FormCreate
    std::unique_ptr<TPlacement> placement_;
    std::string trustedInstall_;  // the installation folder as read at the start, or ""
    std::string appPath_;         // AppPath as the run read it
    bool manifestCarried_ = false;
    std::optional<PackageManifest> manifest_;  // nullopt while carried: a broken one
    bool ran_ = false;
    bool terminateRequested_ = false;
};

}  // namespace dupd
