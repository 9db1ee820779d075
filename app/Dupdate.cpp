#include "app/Dupdate.h"

#include <algorithm>
#include <cctype>

#include "app/StagedFiles.h"
#include "core/Lookups.h"
#include "core/UpdateNumber.h"
#include "dbversion/TextLines.h"
#include "log/UpdateLog.h"
#include "winenv/PathTrust.h"
#include "winenv/SafeReplace.h"
#include "winenv/Wininit.h"

namespace dupd {

namespace {

constexpr const char* kErrorSuffix = " - Error";
constexpr std::uint32_t kErrorInvalidData = 13;  // ERROR_INVALID_DATA

// Pending-rename entries name the same file however the path was spelt: case and
// doubled separators do not matter to the file system.
std::string SamePathKey(const std::string& path)
{
    std::string key;
    for (char c : path) {
        if (c == '/') c = '\\';
        if (c == '\\' && !key.empty() && key.back() == '\\') continue;
        key.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    return key;
}

}  // namespace

std::string SystemErrorMessage(std::uint32_t code, const std::string& description)
{
    if (code == 0) return "A call to an OS function failed";
    return "System Error.  Code: " + std::to_string(code) + ".\r\n" + description;
}

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
}

void TMainForm::FormCreate(const OsVersionInfo& version)
{
    state_.IsNTPlatform = false;
    if (IsWinNTPlatform(version)) state_.IsNTPlatform = true;
    state_.PlatformId = version.queried ? version.platformId : 2;
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

void TMainForm::ShowInstallDirNotFound()
{
    ShowDlg(98, 5, 16, kErrorSuffix, "Unable to locate installation directory",
            std::string("Unable to locate your Quellmark installation directory. You should download and install a "
                        "new FULL copy of Quellmark from ") +
                kDownloadPage,
            "", "");
}

void TMainForm::UpdateRun()
{
    state_.RebootRequired = false;
    std::string appPath;
    state_.InstallDir.clear();

    // Before any way out of the run: what an interrupted earlier run left half done.
    RecoverInterruptedRun();

    std::string staging = GetSpecialFolder(registry_, CSIDL_APPDATA_ID);
    if (staging.empty()) staging = GetShellFolder(registry_, "AppData");
    if (staging.empty()) staging = GetTempDir(fs_);
    state_.StagingDir = staging + kStagingSubFolder;

    if (!StagingTrusted() || !StagedFileUsable("Qlm_list.dta")) {
        ShowDlg(98, 5, 16, kErrorSuffix, "Database Update is corrupt",
                std::string("Integrity checks show that this Database Update is corrupt. You should download a new "
                            "update file from ") +
                    kProductWebSite,
                "", "");
        RequestTerminate();
        return;
    }

    {
        // Full access on purpose: a user who could not write the installation is
        // refused here, before any file is touched.
        auto key = registry_.OpenKey(RegRoot::LocalMachine, kProductKey, RegAccess::AllAccess);
        if (!key) {
            ShowInstallDirNotFound();
            AbortInstall();
            RequestTerminate();
            return;
        }
        const RegString value = key->ReadString("AppPath");
        const bool present = value.status == RegReadStatus::Ok && !value.text.empty();
        if (value.status == RegReadStatus::NotString || value.status == RegReadStatus::Failed ||
            (present && TrustedAppPath(value).empty())) {
            ShowInstallDirNotFound();
            key.reset();
            AbortInstall();
            RequestTerminate();
            return;
        }
        if (value.status == RegReadStatus::Ok) appPath = value.text;
        state_.InstallDir = appPath + "\\";
    }

    if (appPath.empty()) {
        // The package stays: the message asks the user to copy it by hand.
        SimpleTaskDialogArgs c;
        c.title = "Quellmark Database Updater - Error";
        c.instruction = "Unable to locate installation directory";
        c.content = "Unable to locate your Quellmark installation directory. You should manually copy QLM_LIST.DTA, "
                    "QLMLIST2.DTA and REFLIST.DTA from the " +
                    state_.StagingDir + " directory to your Quellmark directory.";
        c.buttons = 1;
        c.icon = 98;
        c.messageBoxFlags = kMbIconHand;
        ui_.SimpleTaskDialog(c);
        RequestTerminate();
        return;
    }

    state_.LogDir = GetLogfileDir(registry_, fs_, state_);

    switch (BadVersion()) {
    case VersionGateResult::TooOld:
        ShowDlg(98, 5, 16, kErrorSuffix, "Update is too old",
                "This database update is earlier than the Quellmark Database you already have installed - this "
                "installation will be aborted.",
                "", "");
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
        if (!StagedFileUsable(file.name)) continue;
        log_.WriteToLog(file.logLine);
        DoCopy(appPath, file.name);
    }

    DeleteExtras(fs_, state_.InstallDir, [this](const std::string& line) { log_.WriteToLog(line); });

    if (state_.RebootRequired) {
        ui_.Beep(48);
        SimpleTaskDialogArgs e;
        e.title = "Quellmark Database Updater - Reboot required";
        e.instruction = "Reboot Required";
        e.content = "Some files were in use by Windows. You will need to restart Windows to complete this Update.";
        e.buttons = 1;
        e.icon = 81;
        e.messageBoxFlags = kMbIconAsterisk;
        ui_.SimpleTaskDialog(e);
    } else {
        // Fails, harmlessly, while anything is left in it.
        fs_.RemoveFolder(state_.StagingDir);
    }

    if (state_.LogStarted) {
        log_.CloseLogFile();
        log_.RewriteLog();
        log_.CheckLogFile();
    }
    RequestTerminate();
}

void TMainForm::DoCopy(const std::string& destinationFolder, const std::string& fileName)
{
    const std::string target = destinationFolder + "\\" + fileName;
    const std::string source = state_.StagingDir + "\\" + fileName;
    const std::string copy = target + kNewSuffix;
    const std::string part = target + kPartSuffix;

    // A replacement that an earlier run left for the restart is left to it: placing
    // the file now would be undone, or lost, when the restart carries it out.
    switch (EarlierReplacementPending(destinationFolder, fileName)) {
    case Pending::No:
        break;
    case Pending::Yes:
        LogDeferred(fileName);
        return;
    case Pending::Unknown:
        // An unreadable wininit.ini may hold a pair that would delete the file placed now.
        ShowSchedulingError(scheduleError_);
        LogDeferred(fileName);
        return;
    }

    const bool targetExists = fs_.FileExists(target);
    if (targetExists) fs_.SetArchiveOnly(target);

    // The whole new file is copied beside the target before anything is removed, so
    // a full disk leaves the installation as it was. A copy, unlike a moved file,
    // takes the installation folder's access rights.
    if (!CopyWhole(fs_, source, part)) {
        ShowUnableToMove(destinationFolder, fileName);
        return;
    }
    // On NT this also replaces, in one step, a copy that waits for the restart, so
    // that its pending entry now brings in this one.
    if (!RenameOver(fs_, state_.IsNTPlatform, part, copy)) {
        fs_.Delete(part);
        ShowUnableToMove(destinationFolder, fileName);
        return;
    }

    switch (ReplaceWhole(fs_, state_.IsNTPlatform, copy, target)) {
    case ReplaceOutcome::Replaced:
        RemoveStaged(source);
        return;
    case ReplaceOutcome::Failed:
    case ReplaceOutcome::Committed:
        // The whole copy stays; the next run renames it in where the target is missing.
        ShowUnableToMove(destinationFolder, fileName);
        return;
    case ReplaceOutcome::TargetBusy:
        break;
    }

    // The copy waits beside the target: no other program can change or remove it
    // before the restart, and no later run or abort touches it.
    bool scheduled = false;
    if (state_.IsNTPlatform) {
        scheduled = PendingReplacement(copy, target) || fs_.ScheduleReplaceAtRestart(copy, target);
        if (!scheduled) scheduleError_ = fs_.LastError();
    } else {
        scheduled = WriteWininit(destinationFolder, fileName);
    }
    if (!scheduled) {
        fs_.Delete(copy);
        ShowSchedulingError(scheduleError_);
    }
    LogDeferred(fileName);
}

void TMainForm::ShowSchedulingError(std::uint32_t code)
{
    ui_.ShowMessageBox(ui_.ApplicationTitle(), SystemErrorMessage(code, fs_.ErrorText(code)), kMbOk);
    ui_.Beep(16);
}

void TMainForm::LogDeferred(const std::string& fileName)
{
    log_.WriteToLog(fileName + " will be installed after a reboot");
    state_.RebootRequired = true;
}

void TMainForm::ShowUnableToMove(const std::string& destinationFolder, const std::string& fileName)
{
    ui_.Beep(64);
    ui_.ShowMessageBox("Error",
                       "Unable to move " + fileName + " from " + state_.StagingDir + " to " + destinationFolder +
                           ". You should manually move this file to complete the Update installation.",
                       kMbIconHand | kMbOk);
}

void TMainForm::RemoveStaged(const std::string& source)
{
    if (!fs_.Delete(source) && fs_.SetArchiveOnly(source)) fs_.Delete(source);
}

std::string TMainForm::PathKey(const std::string& path)
{
    const std::string full = fs_.FullPath(path);
    return SamePathKey(full.empty() ? path : full);
}

bool TMainForm::PendingReplacement(const std::string& from, const std::string& to)
{
    const auto list = fs_.PendingRenames();
    return list && ListHas(*list, from, to);
}

bool TMainForm::ListHas(const std::vector<PendingRename>& list, const std::string& from, const std::string& to)
{
    const auto fromKey = PathKey(from);
    const auto toKey = PathKey(to);
    for (const PendingRename& entry : list)
        if (PathKey(entry.from) == fromKey && PathKey(entry.to) == toKey) return true;
    return false;
}

std::optional<std::vector<std::string>> TMainForm::ReadWininit()
{
    const std::string folder = GetWinDir();
    const std::string path = folder + "\\wininit.ini";
    std::vector<std::string> lines;
    // Only a listing tells a missing file from a failed look: taking the system's
    // file for absent would drop its other lines, or the copies it awaits.
    const auto found = fs_.FindFiles(folder, "wininit.ini");
    if (!found) {
        scheduleError_ = fs_.LastError();
        return std::nullopt;
    }
    if (found->empty()) return lines;
    auto in = fs_.OpenRead(path);
    if (!in) {
        scheduleError_ = fs_.LastError();
        return std::nullopt;
    }
    // A file that could not be read whole is left as it is rather than cut short.
    if (!ReadWholeLines(*in, lines)) {
        scheduleError_ = kErrorInvalidData;
        return std::nullopt;
    }
    return lines;
}

bool TMainForm::WininitRenames(const std::vector<std::string>& lines, const std::string& target,
                               const std::string& source)
{
    return HasWininitRename(lines, ShortName(target), ShortName(source)) || HasWininitRename(lines, target, source);
}

TMainForm::Pending TMainForm::EarlierReplacementPending(const std::string& destinationFolder,
                                                        const std::string& fileName)
{
    const std::string target = destinationFolder + "\\" + fileName;
    const std::string source = state_.StagingDir + "\\" + fileName;
    if (state_.IsNTPlatform) {
        // Earlier versions of the program deleted the target and moved the staged file
        // itself at the restart. Without the list only such a pair is at stake: this
        // version's own entries do nothing once their copy is placed.
        return PendingReplacement(source, target) ? Pending::Yes : Pending::No;
    }
    // On the 9x family the pair's "nul=" line deletes whatever stands at the restart.
    const auto lines = ReadWininit();
    if (!lines) return Pending::Unknown;
    const bool pending = WininitRenames(*lines, target, target + kNewSuffix) || WininitRenames(*lines, target, source);
    return pending ? Pending::Yes : Pending::No;
}

bool TMainForm::WriteWininit(const std::string& destinationFolder, const std::string& fileName)
{
    const std::string path = GetWinDir() + "\\wininit.ini";
    const std::string target = ShortName(destinationFolder + "\\" + fileName);
    const std::string source = ShortName(destinationFolder + "\\" + fileName + kNewSuffix);

    auto lines = ReadWininit();
    if (!lines) return false;
    if (HasWininitRename(*lines, target, source)) return true;
    std::string text;
    for (const auto& line : WithWininitRename(std::move(*lines), target, source)) text += line + "\r\n";

    // Written whole beside the old file before it is replaced, so that a failure never
    // leaves the system's file half-written.
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
    scheduleError_ = fs_.LastError();
    fs_.Delete(part);
    return false;
}

std::string TMainForm::ShortName(const std::string& path)
{
    // Without a short form the long one is better than nothing in wininit.ini.
    const std::string shortName = fs_.ShortPathName(path);
    return shortName.empty() ? path : shortName;
}

std::string TMainForm::GetWinDir()
{
    return TrimWindowsDir(fs_.WindowsDirectory());
}

void TMainForm::AbortInstall()
{
    // Looked at again right before deleting: the folder may have been swapped since.
    if (!StagingTrusted()) return;
    for (const StagedFile& file : StagedFileSet()) {
        const std::string path = state_.StagingDir + "\\" + file.name;
        if (!StagedFileUsable(file.name)) continue;
        // A staged file that an earlier version's pending replacement takes at the
        // restart must still be there then.
        if (!state_.InstallDir.empty() && StagedFilePending(file.name)) continue;
        fs_.Delete(path);
    }
    fs_.RemoveFolder(state_.StagingDir);
}

bool TMainForm::StagedFilePending(const std::string& fileName)
{
    const std::string appPath = state_.InstallDir.substr(0, state_.InstallDir.size() - 1);
    const std::string target = appPath + "\\" + fileName;
    const std::string source = state_.StagingDir + "\\" + fileName;
    if (state_.IsNTPlatform) return PendingReplacement(source, target);
    const auto lines = ReadWininit();
    return lines && WininitRenames(*lines, target, source);
}

std::string TMainForm::TrustedAppPath(const RegString& value)
{
    if (value.status != RegReadStatus::Ok || value.cutAtNul) return "";
    const std::string& path = value.text;
    // Only an existing folder on a local drive, named in full: a relative path would
    // resolve against whatever the current folder is, a network one could neither
    // be trusted nor renamed into at the restart. Not the Windows folder either,
    // whose files the run would read and delete under the database's names.
    if (!IsDrivePath(path)) return "";
    const FileFacts facts = fs_.Facts(path);
    if (!facts.exists || !facts.folder || !facts.local) return "";
    const std::string windows = GetWinDir();
    if (!windows.empty() && IsSameOrInside(fs_, path, windows.size() == 2 ? windows + "\\" : windows)) return "";
    return path;
}

bool TMainForm::StagingTrusted()
{
    // The staging folder lies where any program of the user may write: it must be
    // the folder it seems, not a junction into the installation that abandoning the
    // package would empty.
    const std::string& staging = state_.StagingDir;
    if (!IsDrivePath(staging) || !IsRealLocalFolder(fs_, staging) || !IsRealLocalFolder(fs_, ParentFolder(staging)))
        return false;
    return trustedInstall_.empty() || !IsSameOrInside(fs_, staging, trustedInstall_);
}

bool TMainForm::StagedFileUsable(const std::string& fileName)
{
    return fs_.IsPlainFile(state_.StagingDir + "\\" + fileName);
}

void TMainForm::RecoverInterruptedRun()
{
    std::string appPath;
    if (auto key = registry_.OpenKey(RegRoot::LocalMachine, kProductKey, RegAccess::Read))
        appPath = TrustedAppPath(key->ReadString("AppPath"));
    trustedInstall_ = appPath;
    if (appPath.empty()) return;

    std::vector<std::string> names;
    for (const StagedFile& file : StagedFileSet()) names.push_back(file.name);

    PendingSourceTest pending;
    if (state_.IsNTPlatform) {
        const auto list = fs_.PendingRenames();
        pending = [this, list](const std::string& copy, const std::string& target) {
            // Without the list every copy may be awaited: none is touched.
            return !list || ListHas(*list, copy, target);
        };
    } else {
        // wininit.ini first: the database copies that it names are kept.
        RecoverLeftovers(fs_, GetWinDir(), {"wininit.ini"}, {});
        const auto lines = ReadWininit();
        pending = [this, lines](const std::string& copy, const std::string& target) {
            return !lines || WininitRenames(*lines, target, copy);
        };
    }
    RecoverLeftovers(fs_, appPath, names, pending);

    RunState where = state_;
    where.InstallDir = appPath + "\\";
    const std::string logDir = GetLogfileDir(registry_, fs_, where);
    if (IsDrivePath(logDir) && IsRealLocalFolder(fs_, logDir)) RecoverLeftovers(fs_, logDir, {"UPDLOG.TXT"}, {});
}

VersionGateResult TMainForm::BadVersion()
{
    switch (CompareWithUpdate(GetDbaseVer(fs_, state_.InstallDir))) {
    case VersionComparison::Proceed: return VersionGateResult::Proceed;
    case VersionComparison::TooOld: return VersionGateResult::TooOld;
    case VersionComparison::AskSame: break;
    }
    const unsigned answer = ShowDlg(99, 3, 64, " - Confirm", "Re-install this Update?",
                                    "The Database Update you are installing is the same as the version already "
                                    "installed. Are you sure you wish to continue with the installation?",
                                    "", "");
    if (answer == 6) return VersionGateResult::Proceed;

    AbortInstall();
    ShowDlg(81, 0, 0, " - Information", "Update Aborted", "The Database Update has been aborted.", "", "");
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

}  // namespace dupd
