#include "app/Dupdate.h"

#include "app/StagedFiles.h"
#include "core/Lookups.h"
#include "core/UpdateNumber.h"
#include "install/Recovery.h"
#include "install/Trust.h"
#include "log/UpdateLog.h"

namespace dupd {

TTaskDialogIcon IconForCode(int iconCode)
{
    switch (iconCode) {
    case 81: return tiInformation;
    case 84: return tiWarning;
    case 98: return tiError;
    case 99: return tiQuestion;
    case 106: return tiShield;
    default: return tiBlank;
    }
}

TCommonButtons ButtonsForCode(int buttonsCode)
{
    switch (buttonsCode) {
    case 1: return TCommonButtons{cbOK, cbCancel};
    case 2: return TCommonButtons{cbYes, cbCancel};
    case 3: return TCommonButtons{cbYes, cbNo};
    case 5: return TCommonButtons{cbClose};
    default: return TCommonButtons{cbOK};  // 0, 4 and anything unknown
    }
}

bool IsBeepCode(int beepCode) { return beepCode == 0 || beepCode == 16 || beepCode == 48 || beepCode == 64; }

TMainForm::TMainForm(IFileSystem& fs, IRegistry& registry, IUserInterface& ui, IClock& clock,
                     ITaskDialogPlatform& dialogPlatform)
    : fs_(fs), registry_(registry), ui_(ui), log_(fs, clock, state_), msgDlg_(dialogPlatform)
{
    // The stored design of the form's one task-dialog component.
    msgDlg_.SetCommonButtons(TCommonButtons{});
    msgDlg_.SetDefaultButton(0);
    msgDlg_.SetDefaultRadioButton(200);
    msgDlg_.SetDialogPosition(dpOwnerFormCenter);
    msgDlg_.SetFooterIcon(tfiInformation);
    msgDlg_.SetIcon(tiBlank);
    msgDlg_.SetExpandControlText("Less information");
    msgDlg_.SetCollapsControlText("More information");
    msgDlg_.SetOptions(TTaskDialogOptions{doHyperlinks, doAllowMinimize, doAllowDialogCancel});
    FormCreate(OsVersionInfo{});
}

void TMainForm::FormCreate(const OsVersionInfo& version)
{
    state_.IsNTPlatform = false;
    if (IsWinNTPlatform(version)) state_.IsNTPlatform = true;
    state_.PlatformId = version.queried ? version.platformId : 2;
    // The way files in use wait for the restart, chosen once.
    queue_ = MakeRestartQueue(fs_, state_.IsNTPlatform);
    placement_ = std::make_unique<TPlacement>(fs_, *queue_, state_.IsNTPlatform);
}

void TMainForm::FormActivate()
{
    if (ran_) return;
    ran_ = true;
    // Nothing in the run throws; running out of memory ends at the window
    // procedure, which ends the program.
    UpdateRun();
    if (!terminateRequested_) RequestTerminate();
}

void TMainForm::RequestTerminate()
{
    terminateRequested_ = true;
    ui_.RequestTerminate();
}

void TMainForm::UpdateRun()
{
    state_.RebootRequired = false;
    appPath_.clear();
    state_.InstallDir.clear();

    // Before any way out of the run: what an interrupted earlier run left half done.
    RecoverInterruptedRun();

    std::string staging = GetSpecialFolder(registry_, CSIDL_APPDATA_ID);
    if (staging.empty()) staging = GetShellFolder(registry_, "AppData");
    if (staging.empty()) staging = GetTempDir(fs_);
    state_.StagingDir = staging + kStagingSubFolder;

    if (!StagingTrusted(fs_, state_.StagingDir, trustedInstall_) ||
        !StagedFileUsable(fs_, state_.StagingDir, "Qlm_list.dta") || !PackageVouchedFor()) {
        ShowDlg(kPackageCorrupt);
        RequestTerminate();
        return;
    }

    {
        // Full access on purpose: a user who could not write the installation is
        // refused here, before any file is touched.
        auto key = registry_.OpenKey(RegRoot::LocalMachine, kProductKey, RegAccess::AllAccess);
        if (!key) {
            ShowDlg(kInstallDirUnreadable);
            AbortInstall();
            RequestTerminate();
            return;
        }
        const RegString value = key->ReadString("AppPath");
        const bool present = value.status == RegReadStatus::Ok && !value.text.empty();
        if (value.status == RegReadStatus::NotString || value.status == RegReadStatus::Failed ||
            (present && TrustedAppPath(fs_, value).empty())) {
            ShowDlg(kInstallDirUnreadable);
            key.reset();
            AbortInstall();
            RequestTerminate();
            return;
        }
        if (value.status == RegReadStatus::Ok) appPath_ = value.text;
        // Appended whether or not AppPath ends with one.
        state_.InstallDir = appPath_ + '\\';
    }

    if (appPath_.empty()) {
        // The package stays: the message asks the user to copy it by hand.
        ui_.SimpleTaskDialog(InstallDirEmpty(state_.StagingDir));
        RequestTerminate();
        return;
    }

    state_.LogDir = GetLogfileDir(registry_, fs_, state_);

    switch (BadVersion()) {
    case VersionGateResult::TooOld:
        ShowDlg(kUpdateTooOld);
        AbortInstall();
        RequestTerminate();
        return;
    case VersionGateResult::Declined:
        return;
    case VersionGateResult::Proceed:
        break;
    }

    state_.LogStarted = log_.StartLogFile();
    log_.WriteToLog(std::string("Database Update ") + kUpdateNumberText + " installation program started");

    for (const StagedFile& file : StagedFileSet()) {
        // A staged name that is a link or a folder counts as absent.
        if (!StagedFileUsable(fs_, state_.StagingDir, file.name)) continue;
        // One staged after the package was checked is no part of it.
        if (manifestCarried_ && !Expected(file.name)) continue;
        log_.WriteToLog(file.logLine);
        DoCopy(appPath_, file.name);
    }

    DeleteExtras(fs_, state_.InstallDir, [this](const std::string& line) { log_.WriteToLog(line); });

    if (state_.RebootRequired) {
        ui_.Beep(kMbIconExclamation);
        ui_.SimpleTaskDialog(RebootRequired());
    } else {
        placement_->RemoveStagingFolder(state_.StagingDir);
    }

    if (state_.LogStarted) {
        log_.CloseLogFile();
        log_.RewriteLog();
        log_.CheckLogFile();
    }
    RequestTerminate();
}

void TMainForm::SetPackageManifest(const std::optional<std::string>& text)
{
    manifestCarried_ = text.has_value();
    manifest_ = text ? ParseManifest(*text, StagedFileNames()) : std::nullopt;
}

bool TMainForm::PackageVouchedFor()
{
    if (!manifestCarried_) return true;
    return manifest_ && PackageMatchesManifest(fs_, state_.StagingDir, *manifest_, StagedFileNames());
}

const ManifestEntry* TMainForm::Expected(const std::string& fileName) const
{
    return manifest_ ? FindEntry(*manifest_, fileName) : nullptr;
}

void TMainForm::DoCopy(const std::string& destinationFolder, const std::string& fileName)
{
    const PlaceOutcome outcome = placement_->Place(destinationFolder, state_.StagingDir, fileName, Expected(fileName));
    switch (outcome.kind) {
    case PlaceOutcome::Placed:
        return;
    case PlaceOutcome::NotQueued:
        ui_.ShowMessageBox(ui_.ApplicationTitle(), SystemErrorMessage(outcome.error, outcome.errorText), kMbOk);
        ui_.Beep(kMbIconHand);
        LogDeferred(fileName);
        return;
    case PlaceOutcome::Deferred:
        LogDeferred(fileName);
        return;
    case PlaceOutcome::NotMoved:
        ui_.Beep(kMbIconAsterisk);
        ui_.ShowMessageBox("Error", UnableToMoveText(fileName, state_.StagingDir, destinationFolder),
                           kMbIconHand | kMbOk);
        return;
    }
}

void TMainForm::LogDeferred(const std::string& fileName)
{
    log_.WriteToLog(fileName + " will be installed after a reboot");
    state_.RebootRequired = true;
}

void TMainForm::AbortInstall()
{
    placement_->DeletePackage(state_.StagingDir, trustedInstall_, appPath_, StagedFileNames());
}

void TMainForm::RecoverInterruptedRun()
{
    std::string appPath;
    if (auto key = registry_.OpenKey(RegRoot::LocalMachine, kProductKey, RegAccess::Read))
        appPath = TrustedAppPath(fs_, key->ReadString("AppPath"));
    trustedInstall_ = appPath;
    if (appPath.empty()) return;

    dupd::RecoverInterruptedRun(fs_, *queue_, appPath, StagedFileNames());

    RunState where = state_;
    where.InstallDir = appPath + '\\';
    RecoverLogLeftovers(fs_, GetLogfileDir(registry_, fs_, where));
}

VersionGateResult TMainForm::BadVersion()
{
    switch (CompareWithUpdate(GetDbaseVer(fs_, state_.InstallDir))) {
    case VersionComparison::Proceed: return VersionGateResult::Proceed;
    case VersionComparison::TooOld: return VersionGateResult::TooOld;
    case VersionComparison::AskSame: break;
    }
    const unsigned answer = ShowDlg(kConfirmReinstall);
    if (answer == 6) return VersionGateResult::Proceed;

    AbortInstall();
    ShowDlg(kUpdateAborted);
    RequestTerminate();
    return VersionGateResult::Declined;
}

unsigned TMainForm::ShowDlg(int iconCode, int buttonsCode, int beepCode, const std::string& titleSuffix,
                            const std::string& instruction, const std::string& content,
                            const std::string& expandedText, const std::string& footer)
{
    msgDlg_.SetTitle(kTitlePrefix + titleSuffix);
    msgDlg_.SetIcon(IconForCode(iconCode));
    msgDlg_.SetCommonButtons(ButtonsForCode(buttonsCode));
    msgDlg_.SetInstruction(instruction);
    msgDlg_.SetContent(content);
    msgDlg_.SetExpandedText(expandedText);
    if (IsBeepCode(beepCode)) ui_.Beep(static_cast<std::uint32_t>(beepCode));
    msgDlg_.SetFooter(footer.empty() ? std::string("For support contact: ") + kSupportEmail : footer);
    msgDlg_.SetParentWindow(ui_.MainWindowHandle());
    // -1 (no dialog at all) becomes a large unsigned value, never Yes.
    return static_cast<unsigned>(msgDlg_.Execute());
}

unsigned TMainForm::ShowDlg(const DialogMessage& m)
{
    return ShowDlg(m.iconCode, m.buttonsCode, m.beepCode, m.titleSuffix, m.instruction, m.content, "", "");
}

}  // namespace dupd
