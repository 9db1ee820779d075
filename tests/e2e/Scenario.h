// One prepared Windows environment for a run of the real dupd.exe: an installed
// product (registry, installation folder, database version, extras), a staged
// package in the staging folder, and optionally a log folder; plus what the tests
// look at afterwards (files, the pending-rename list, wininit.ini, the log).
//
// Each scenario lives under C:\e2e\<name>\ and gets its own application-data and
// documents folders through the per-user shell folder settings, so the staging
// folder (application data + "\Ostravane\Dbinst") and the log folder are its own:
// what one scenario leaves for the restart stays while the next scenario runs, and
// no log reaches the real home folder that Wine links in.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/win32/DialogBot.h"
#include "tests/support/win32/Files.h"

namespace e2e {

// The users of the program, its windows and its files: tests/support/win32.
using namespace dupd::support;

// ---------------------------------------------------------------- files

std::optional<std::string> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
void MakeDirs(const std::string& path);
void RemoveTree(const std::string& path);  // fails the test when anything stays
// Names of the files (not folders) in a folder, in lower case (names are
// case-blind) and sorted.
std::vector<std::string> FilesIn(const std::string& dir);
// Each file of a folder with its bytes, to tell that a run left the folder as it was.
std::vector<std::pair<std::string, std::string>> FolderSnapshot(const std::string& dir);
// Those of FilesIn that carry the updater's own ".dupd-" mark: copies it left behind.
std::vector<std::string> OwnFilesIn(const std::string& dir);
std::string ShortPath(const std::string& path);

// Lines of a text whose every line must end in CR LF; `wellFormed` is false when
// one does not (a bare LF, or a last line without end).
std::vector<std::string> CrLfLines(const std::string& text, bool* wellFormed = nullptr);
// Lines of a dialog text, wherever its line ends came from.
std::vector<std::string> TextLines(const std::string& text);

// ---------------------------------------------------------------- the system

// As the shell gives it (UTF-8), "" when it gives none.
std::string ShellFolderPath(int csidl);
std::string WindowsDir();
std::string DupdExe();  // the dupd.exe built beside this test program
std::string BesideMe(const std::string& name);  // a file beside this test program
// build\screenshots: beside the build folder of this test program; created when
// missing.
std::string ScreenshotDir();

// Wine's per-application Windows version for dupd.exe ("win98", "winxp"); nullptr
// removes the setting.
void SetDupdWindowsVersion(const char* version);

// Keeps the user's shell-folder settings and puts them back when the tests end;
// meanwhile dupd.exe's windows are not handed to a window manager (there is none).
class EnvironmentGuard {
public:
    EnvironmentGuard();
    ~EnvironmentGuard();
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;
};

// ---------------------------------------------------------------- sample contents

// A small package: the main file, a list, the reference list and a special file.
inline const std::vector<std::string> kPackage = {"Qlm_list.dta", "Qlmlist2.dta", "Reflist.dta", "epack.dta"};

// reflist.dta of an installed database: the scrambled version line, then more data.
std::string ReflistWithVersion(const std::string& version);
// An extra database whose first line is the scrambled expiry number.
std::string ExtraWithExpiry(const std::string& expiry);
std::string StagedContent(const std::string& name);     // recognisably the new file
std::string InstalledContent(const std::string& name);  // recognisably the old one

// ---------------------------------------------------------------- a scenario

// Where a scenario's folders lie below its root, named (in UTF-8) as a user or an
// installer may name them: by default AppData, Documents and Quellmark; with a
// `profile`, the application-data and documents folders of that user's profile.
struct Layout {
    std::string profile;
    std::string installFolder = "Quellmark";
};

class Scenario {
public:
    // `fresh`: wipe and rebuild the folders and point the shell folders at them;
    // otherwise only name them (for checks after a restart).
    explicit Scenario(const std::string& name, bool fresh = true, const Layout& layout = {});

    std::string root;       // C:\e2e\<name>
    std::string install;    // installation folder, no trailing backslash (AppPath)
    std::string appData;    // the scenario's application-data folder
    std::string documents;  // the scenario's documents folder
    std::string staging;    // appData + "\Ostravane\Dbinst", as the shell reports it
    std::string logDir;     // documents + "\Ostravane\Quellmark Logfiles"

    std::string Installed(const std::string& name) const { return install + "\\" + name; }
    std::string Staged(const std::string& name) const { return staging + "\\" + name; }

    // The product's key with AppPath = install (or the given text).
    void RegisterProduct();
    void RegisterProduct(const std::string& appPath);
    void RegisterProductDword(DWORD value);
    void RemoveProductKey();

    void Stage(const std::string& name, const std::string& bytes);
    void Stage(const std::vector<std::string>& names);  // with StagedContent
    void Install(const std::string& name, const std::string& bytes);
    void Install(const std::vector<std::string>& names);  // with InstalledContent
    void InstallVersion(const std::string& version) { Install("reflist.dta", ReflistWithVersion(version)); }
    void InstallExtra(int n, const std::string& expiry);

    void CreateLogFolder();
    void WriteLog(const std::string& bytes);
    std::optional<std::string> Log() const { return ReadFileBytes(logDir + "\\UPDLOG.TXT"); }

    std::vector<std::string> StagingFiles() const { return FilesIn(staging); }
    std::vector<std::string> InstallFiles() const { return FilesIn(install); }
    std::vector<std::string> OwnInstallFiles() const { return OwnFilesIn(install); }

    // Runs dupd.exe; the user presses `confirmAnswer` on the same-version question
    // and the only or default button everywhere else.
    RunOutcome Run(int confirmAnswer = IDYES, const DialogObserver& observe = {});
    // Runs dupd.exe; `answer` says what the user does on each dialog.
    RunOutcome Run(const Answerer& answer, const DialogObserver& observe = {});
    // Runs dupd.exe and ends it outright (TerminateProcess, as a crash or a power
    // failure would) as soon as `killNow` says so; polled without pause. true when
    // it was killed, false when it ended first or did not start.
    bool RunKilledWhen(const std::function<bool()>& killNow, DWORD timeoutMs = 30000);
};

// A file held open in this process; failing to hold it fails the test.
class HeldFile : public dupd::support::HeldFile {
public:
    explicit HeldFile(const std::string& path, DWORD share = FILE_SHARE_READ);
};

}  // namespace e2e
