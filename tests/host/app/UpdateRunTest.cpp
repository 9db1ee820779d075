// The whole update run against the platform doubles: every end of the run, the
// file set and its order, deferred replacement on both platform families, the
// dialogs with their texts, beeps and order.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <optional>

#include "FakePlatform.h"
#include "FakeDialogPlatform.h"
#include "FakeFormHost.h"
#include "app/Dupdate.h"
#include "app/StagedFiles.h"
#include "core/Lookups.h"
#include "dbversion/DbVersion.h"
#include "dbversion/TextLines.h"
#include "install/PackageManifest.h"
#include "taskdialog/TaskDialogPlatform.h"

namespace dupd {
namespace {

using fake::FakeFileSystem;
using fake::FakeRegistry;
using fake::FakeUserInterface;
using fake::FakeDialogPlatform;

const std::string kAppData = "C:\\Users\\ann\\AppData\\Roaming";
const std::string kStaging = kAppData + "\\Ostravane\\Dbinst";
const std::string kAppPath = "C:\\Program Files\\Quellmark";
const std::string kDocs = "C:\\Users\\ann\\Documents";
const std::string kLogDir = kDocs + "\\Ostravane\\Quellmark Logfiles\\";
const std::string kStamp = "08.12.2026 20:43:11";

class UpdateRun : public ::testing::Test {
protected:
    FakeFileSystem fs;
    FakeRegistry registry;
    FakeUserInterface ui;
    fake::FakeClock clock;
    FakeDialogPlatform dialogs;
    std::unique_ptr<TMainForm> form;
    std::optional<std::string> manifest;  // the program's, as stamped; none by default

    void SetUp() override
    {
        dialogs.timeline = &ui.events;
        registry.specialFolders[26] = kAppData;
        registry.specialFolders[5] = kDocs;
        registry.Set(RegRoot::LocalMachine, "SOFTWARE\\Ostravane\\Quellmark", "AppPath", kAppPath);
        fs.AddFolder(kAppPath);
        fs.AddFolder(kLogDir);
        fs.AddFolder(kStaging);
        Stage("Qlm_list.dta");
        Install("reflist.dta", EnCrypt("Q::6934||Quellmark reference list") + "\r\n");
    }

    // A fresh machine for the next case of a table.
    void Reset()
    {
        fs = FakeFileSystem();
        registry = FakeRegistry();
        ui = FakeUserInterface();
        dialogs = FakeDialogPlatform();
        manifest.reset();
        SetUp();
    }

    void Stage(const std::string& name) { fs.AddFile(kStaging + "\\" + name, "new " + name); }
    FakeFileSystem::File& Install(const std::string& name, const std::string& content)
    {
        return fs.AddFile(kAppPath + "\\" + name, content);
    }
    std::string Installed(const std::string& name) const { return fs.Content(kAppPath + "\\" + name); }
    bool Staged(const std::string& name) const { return fs.Has(kStaging + "\\" + name); }

    void Run(std::uint32_t platformId = 2)
    {
        form = std::make_unique<TMainForm>(fs, registry, ui, clock, dialogs);
        form->SetPackageManifest(manifest);
        form->FormCreate({true, platformId == 2 ? 6u : 4u, 1, platformId});
        form->FormActivate();
    }

    std::vector<std::string> LogLines(const std::string& dir = kLogDir) const
    {
        if (!fs.Has(dir + "UPDLOG.TXT")) return {};
        return SplitTextLines(fs.Content(dir + "UPDLOG.TXT"));
    }
    static std::string Entry(const std::string& text) { return "[" + kStamp + "] " + text; }
};

// ---------------------------------------------------------------- refusals

TEST_F(UpdateRun, PackageWithoutMainFileIsRefusedAndKept)
{
    fs.files.erase(fake::NormalPath(kStaging + "\\Qlm_list.dta"));
    Stage("Qlmlist2.dta");
    Stage("Reflist.dta");
    Run();

    ASSERT_EQ(dialogs.seen.size(), 1u);
    const auto& a = dialogs.seen[0];
    EXPECT_EQ(a.title, "Quellmark Database Updater  - Error");
    EXPECT_EQ(a.instruction, "Database Update is corrupt");
    EXPECT_EQ(a.content, "Integrity checks show that this Database Update is corrupt. You should download a new "
                         "update file from <a href=\"https://www.ostravane.com/quellmark\">"
                         "https://www.ostravane.com/quellmark</a>");
    EXPECT_EQ(a.footer, "For support contact: support@ostravane.com");
    EXPECT_EQ(a.icon, tiError);
    EXPECT_EQ(a.buttons, TCommonButtons{cbClose});
    EXPECT_EQ(a.parent, 0x1234u);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"beep 16", "dialog Quellmark Database Updater  - Error", "terminate"}));
    EXPECT_TRUE(Staged("Qlmlist2.dta"));
    EXPECT_TRUE(Staged("Reflist.dta"));
    EXPECT_TRUE(registry.openedForWriting.empty());
}

// Messages A and B name an address as a link: it reads as the address, and a click
// opens it, in the emulated window (built from what the run put on the dialog) and
// in the native dialog.
TEST_F(UpdateRun, TheAddressesInMessagesAAndBAreLinksThatOpen)
{
    for (bool native : {false, true}) {
        for (const std::string address : {kProductWebSite, kDownloadPage}) {
            Reset();
            if (address == kProductWebSite) fs.files.erase(fake::NormalPath(kStaging + "\\Qlm_list.dta"));
            if (address == kDownloadPage) registry.keys.clear();
            std::string shown, href;
            dialogs.decide = [&](const FakeDialogPlatform::Seen&) {
                fake::FakeFormHost host;
                TTaskMessageForm f(form->MsgDlg(), host);
                f.BuildDialog();
                TestCanvas painted;
                f.Paint(painted);
                for (const auto& call : painted.Of(TCanvasCall::kText)) shown += call.Shown;
                for (int y = 0; y < f.ClientHeight && href.empty(); y += 2)
                    for (int x = 0; x < f.ClientWidth && href.empty(); x += 3)
                        if (!(href = f.LinkAt(x, y)).empty()) f.MouseDown(x, y);
                return 1;
            };
            if (native) {
                dialogs.version = {true, 6, 0, 2};
                dialogs.controls = 0x00060000;
                dialogs.nativeScript = [&](TTaskDialogEx& d) {
                    const std::string link = "<a href=\"" + address + "\">" + address + "</a>";
                    if (d.Content().find(link) != std::string::npos)
                        d.HandleNotification(td::kHyperlinkClicked, 1, 0, address);
                };
            }
            Run();
            if (native) EXPECT_TRUE(dialogs.nativeRuns.at(0).flags & td::kEnableHyperlinks);
            if (!native) EXPECT_NE(shown.find("from " + address), std::string::npos) << shown;
            if (!native) EXPECT_EQ(shown.find("href"), std::string::npos) << shown;
            EXPECT_EQ(dialogs.links, (std::vector<fake::OpenedLink>{{0, TTaskDialogEx::kLinkProgram, address}}))
                << native << address;
        }
    }
}

TEST_F(UpdateRun, UnreadableProductKeyOrValueThrowsThePackageAway)
{
    struct Case {
        const char* name;
        std::function<void(FakeRegistry&)> spoil;
    };
    const std::vector<Case> cases{
        {"key missing", [](FakeRegistry& r) { r.keys.clear(); }},
        {"key not writable by this user",
         [](FakeRegistry& r) { r.keys.begin()->second.readOnlyForUser = true; }},
        {"AppPath is a number",
         [](FakeRegistry& r) {
             r.Set(RegRoot::LocalMachine, "SOFTWARE\\Ostravane\\Quellmark", "AppPath", "", RegReadStatus::NotString);
         }},
        {"AppPath read fails",
         [](FakeRegistry& r) {
             r.Set(RegRoot::LocalMachine, "SOFTWARE\\Ostravane\\Quellmark", "AppPath", "", RegReadStatus::Failed);
         }},
        {"AppPath is no existing folder",
         [](FakeRegistry& r) { r.Set(RegRoot::LocalMachine, "SOFTWARE\\Ostravane\\Quellmark", "AppPath", "C:\\Nowhere"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        Stage("Qlmlist7.dta");
        Stage("Qlmlist51.dta");  // not of the set: stays, and keeps the folder
        c.spoil(registry);
        Run();

        ASSERT_EQ(dialogs.seen.size(), 1u);
        EXPECT_EQ(dialogs.seen[0].instruction, "Unable to locate installation directory");
        EXPECT_EQ(dialogs.seen[0].content,
                  "Unable to locate your Quellmark installation directory. You should download and install a new "
                  "FULL copy of Quellmark from <a href=\"https://www.ostravane.com/quellmark/download\">"
                  "https://www.ostravane.com/quellmark/download</a>");
        EXPECT_FALSE(Staged("Qlm_list.dta"));
        EXPECT_FALSE(Staged("Qlmlist7.dta"));
        EXPECT_TRUE(Staged("Qlmlist51.dta"));
        EXPECT_TRUE(fs.HasFolder(kStaging));
        EXPECT_EQ(Installed("reflist.dta").substr(0, 1), EnCrypt("Q"));
        EXPECT_TRUE(LogLines().empty());
        EXPECT_EQ(ui.terminateRequests, 1);
    }
}

TEST_F(UpdateRun, EmptyOrMissingAppPathKeepsThePackageForCopyingByHand)
{
    for (bool missing : {false, true}) {
        SCOPED_TRACE(missing ? "missing" : "empty");
        ui = FakeUserInterface();
        if (missing)
            registry.keys.begin()->second.values.clear();
        else
            registry.Set(RegRoot::LocalMachine, "SOFTWARE\\Ostravane\\Quellmark", "AppPath", "");
        Run();

        ASSERT_EQ(ui.shown.size(), 1u);
        const auto& c = ui.shown[0];
        EXPECT_EQ(c.kind, "simple");
        EXPECT_EQ(c.caption, "Quellmark Database Updater - Error");
        EXPECT_EQ(c.instruction, "Unable to locate installation directory");
        EXPECT_EQ(c.text, "Unable to locate your Quellmark installation directory. You should manually copy "
                          "QLM_LIST.DTA, QLMLIST2.DTA and REFLIST.DTA from the " +
                              kStaging + " directory to your Quellmark directory.");
        EXPECT_EQ(c.icon, 98);
        EXPECT_EQ(c.flags, 16u);
        EXPECT_TRUE(dialogs.seen.empty());
        EXPECT_TRUE(Staged("Qlm_list.dta"));
        EXPECT_EQ(ui.events.back(), "terminate");
    }
}

TEST_F(UpdateRun, OlderUpdateThanInstalledIsRefusedWithoutQuestion)
{
    Install("reflist.dta", EnCrypt("Q::6936||") + "\r\n");
    Run();

    ASSERT_EQ(dialogs.seen.size(), 1u);
    EXPECT_EQ(dialogs.seen[0].instruction, "Update is too old");
    EXPECT_EQ(dialogs.seen[0].content, "This database update is earlier than the Quellmark Database you already have "
                                       "installed - this installation will be aborted.");
    EXPECT_FALSE(Staged("Qlm_list.dta"));
    EXPECT_FALSE(fs.HasFolder(kStaging));
    EXPECT_FALSE(fs.Has(kAppPath + "\\Qlm_list.dta"));
    EXPECT_TRUE(LogLines().empty());
}

TEST_F(UpdateRun, SameVersionDeclinedRemovesThePackageBeforeSayingSo)
{
    Install("reflist.dta", EnCrypt("Q::$1B17||hex is the same number") + "\r\n");
    Install("extra1.dta", EnCrypt("6000") + "\r\n");
    dialogs.answers = {7};
    dialogs.probe = [this] { return Staged("Qlm_list.dta"); };
    Run();

    ASSERT_EQ(dialogs.seen.size(), 2u);
    EXPECT_EQ(dialogs.seen[0].title, "Quellmark Database Updater  - Confirm");
    EXPECT_EQ(dialogs.seen[0].instruction, "Re-install this Update?");
    EXPECT_EQ(dialogs.seen[0].content, "The Database Update you are installing is the same as the version already "
                                       "installed. Are you sure you wish to continue with the installation?");
    EXPECT_EQ(dialogs.seen[0].icon, tiQuestion);
    EXPECT_EQ(dialogs.seen[0].buttons, (TCommonButtons{cbYes, cbNo}));
    EXPECT_EQ(dialogs.seen[1].title, "Quellmark Database Updater  - Information");
    EXPECT_EQ(dialogs.seen[1].instruction, "Update Aborted");
    EXPECT_EQ(dialogs.seen[1].content, "The Database Update has been aborted.");
    EXPECT_EQ(dialogs.seen[1].icon, tiInformation);
    EXPECT_EQ(dialogs.seen[1].buttons, TCommonButtons{cbOK});
    EXPECT_EQ(ui.events, (std::vector<std::string>{"beep 64", "dialog Quellmark Database Updater  - Confirm", "beep 0",
                                                   "dialog Quellmark Database Updater  - Information", "terminate"}));

    EXPECT_EQ(dialogs.probed, (std::vector<bool>{true, false}));
    EXPECT_FALSE(Staged("Qlm_list.dta"));
    EXPECT_TRUE(fs.Has(kAppPath + "\\extra1.dta"));
    EXPECT_FALSE(fs.Has(kAppPath + "\\Qlm_list.dta"));
    EXPECT_TRUE(LogLines().empty());
    EXPECT_FALSE(fs.Has(kLogDir + "UPDLOG.TMP"));
}

TEST_F(UpdateRun, NoDialogAtAllIsNeverTakenForYes)
{
    Install("reflist.dta", EnCrypt("Q::6935||") + "\r\n");
    dialogs.answers = {-1, -1};
    Run();
    EXPECT_FALSE(Staged("Qlm_list.dta"));
    EXPECT_FALSE(fs.Has(kAppPath + "\\Qlm_list.dta"));
    EXPECT_EQ(ui.terminateRequests, 1);
}

TEST_F(UpdateRun, SameVersionConfirmedInstalls)
{
    Install("reflist.dta", EnCrypt("Q::6935||") + "\r\n");
    dialogs.answers = {6};
    Run();
    ASSERT_EQ(dialogs.seen.size(), 1u);
    EXPECT_EQ(Installed("Qlm_list.dta"), "new Qlm_list.dta");
    EXPECT_FALSE(fs.HasFolder(kStaging));
}

// ---------------------------------------------------------------- a completed run

TEST_F(UpdateRun, InstallsTheSetInItsOrderAndLogsEachFile)
{
    for (const char* name : {"Qlmlist10.dta", "Qlmlist2.dta", "qmweb.dta", "epack.dta", "Reflist.dta"}) Stage(name);
    Install("extra2.dta", EnCrypt("6935") + "\r\n");
    Install("extra7.dta", EnCrypt("-5") + "\r\n");
    Install("extra9.dta", EnCrypt("6936") + "\r\n");
    fs.AddFile(kLogDir + "UPDLOG.TXT", "[earlier] run\r\n");
    Run();

    // Each file is put in place by its copy, which replaces the installed one in one step.
    std::vector<std::string> moves;
    const std::string intoInstall = "replace " + kAppPath + "\\";
    for (const auto& j : fs.journal)
        if (j.rfind(intoInstall, 0) == 0 && j.find(".dupd-new -> ") != std::string::npos)
            moves.push_back(j.substr(intoInstall.size(), j.find(".dupd-new") - intoInstall.size()));
    EXPECT_EQ(moves, (std::vector<std::string>{"Qlm_list.dta", "Qlmlist2.dta", "Qlmlist10.dta", "Reflist.dta",
                                               "epack.dta", "qmweb.dta"}));
    EXPECT_EQ(Installed("qmweb.dta"), "new qmweb.dta");
    EXPECT_FALSE(fs.HasFolder(kStaging));
    EXPECT_FALSE(fs.Has(kAppPath + "\\extra2.dta"));
    EXPECT_FALSE(fs.Has(kAppPath + "\\extra7.dta"));
    EXPECT_TRUE(fs.Has(kAppPath + "\\extra9.dta"));
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_TRUE(dialogs.seen.empty());

    EXPECT_EQ(LogLines(), (std::vector<std::string>{
                              Entry("Database Update 6935 installation program started"),
                              Entry("Installing Database file qlm_list.dta 6935"),
                              Entry("Installing Database file qlmlist2.dta 6935"),
                              Entry("Installing Database file qlmlist10.dta 6935"),
                              Entry("Installing Database file reflist.dta 6935"),
                              Entry("Installing Database file epack.dta 6935"),
                              Entry("Installing Database server file qmweb.dta 1.3.4"),
                              Entry("Expired EXTRA.DAT file extra2.dta deleted."),
                              Entry("Expired EXTRA.DAT file extra7.dta deleted."),
                              std::string(60, '-'),
                              "",
                              "[earlier] run",
                          }));
    EXPECT_FALSE(fs.Has(kLogDir + "UPDLOG.TMP"));
}

// A program stamped with its package installs that package and nothing else:
// anything else gets message A before the version gate, with nothing placed,
// nothing deleted and no log. A development build (no manifest) checks nothing.
TEST_F(UpdateRun, AStampedProgramInstallsOnlyThePackageItCarries)
{
    const struct {
        const char* what;
        std::function<void()> change;  // after stamping
        bool installs;
    } cases[] = {
        {"as stamped", [] {}, true},
        {"one byte off", [this] { fs.AddFile(kStaging + "\\Qlmlist2.dta", "new Qlmlist2.dtb"); }, false},
        {"cut short", [this] { fs.AddFile(kStaging + "\\Qlmlist2.dta", "new Qlm"); }, false},
        {"listed file missing", [this] { fs.files.erase(fake::NormalPath(kStaging + "\\Qlmlist2.dta")); },
         false},
        {"unlisted Reflist.dta planted",
         [this] { fs.AddFile(kStaging + "\\Reflist.dta", EnCrypt("Q::2147483647||") + "\r\n"); }, false},
        {"the program's manifest unreadable", [this] { manifest = "Qlm_list.dta x\r\n"; }, false},
        {"no manifest, anything goes",
         [this] {
             manifest.reset();
             fs.AddFile(kStaging + "\\Qlmlist2.dta", "new Qlmlist2.dtb");
         },
         true},
    };
    for (const auto& c : cases) {
        Reset();
        Stage("Qlmlist2.dta");
        Install("extra2.dta", EnCrypt("6935") + "\r\n");
        manifest = FormatManifest(*DescribePackage(fs, kStaging, StagedFileNames()));
        c.change();
        const std::string stagedList = fs.Content(kStaging + "\\Qlm_list.dta");
        Run();

        if (c.installs) {
            EXPECT_TRUE(dialogs.seen.empty()) << c.what;
            EXPECT_EQ(Installed("Qlm_list.dta"), stagedList) << c.what;
            EXPECT_FALSE(fs.Has(kAppPath + "\\extra2.dta")) << c.what;
            EXPECT_FALSE(LogLines().empty()) << c.what;
            continue;
        }
        ASSERT_EQ(dialogs.seen.size(), 1u) << c.what;
        EXPECT_EQ(dialogs.seen[0].instruction, "Database Update is corrupt") << c.what;
        EXPECT_FALSE(fs.Has(kAppPath + "\\Qlm_list.dta")) << c.what;
        EXPECT_EQ(Installed("reflist.dta"), EnCrypt("Q::6934||Quellmark reference list") + "\r\n") << c.what;
        EXPECT_TRUE(fs.Has(kAppPath + "\\extra2.dta")) << c.what;
        EXPECT_TRUE(Staged("Qlm_list.dta")) << c.what;
        EXPECT_TRUE(LogLines().empty()) << c.what;
        EXPECT_TRUE(registry.openedForWriting.empty()) << c.what;
    }
}

TEST_F(UpdateRun, NamesOutsideTheSetStayAndKeepTheStagingFolder)
{
    Stage("Qlmlist1.dta");
    Stage("Qlmlist51.dta");
    Run();
    EXPECT_EQ(Installed("Qlm_list.dta"), "new Qlm_list.dta");
    EXPECT_FALSE(fs.Has(kAppPath + "\\Qlmlist1.dta"));
    EXPECT_FALSE(fs.Has(kAppPath + "\\Qlmlist51.dta"));
    EXPECT_TRUE(fs.HasFolder(kStaging));
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(UpdateRun, WithoutALogFolderTheFilesAreStillInstalled)
{
    fs.folders.erase(fake::NormalPath(kLogDir));
    Run();
    EXPECT_EQ(Installed("Qlm_list.dta"), "new Qlm_list.dta");
    EXPECT_FALSE(fs.Has(kLogDir + "UPDLOG.TXT"));
    EXPECT_FALSE(fs.HasFolder(kLogDir));
}

TEST_F(UpdateRun, StagingFolderFallsBackToTheRegistryThenTheTemporaryFolder)
{
    registry.specialFolders.erase(26);
    registry.Set(RegRoot::CurrentUser, kShellFoldersKey, "AppData", "D:\\Roaming");
    Run();
    EXPECT_EQ(form->State().StagingDir, "D:\\Roaming\\Ostravane\\Dbinst");

    registry.keys.erase(FakeRegistry::KeyName(RegRoot::CurrentUser, kShellFoldersKey));
    Run();
    EXPECT_EQ(form->State().StagingDir, "C:\\TEMP\\\\Ostravane\\Dbinst");

    // The doubled separator is harmless: the package there is found and installed.
    fs.AddFile("C:\\TEMP\\Ostravane\\Dbinst\\Qlm_list.dta", "from temp");
    ui = FakeUserInterface();
    dialogs.seen.clear();
    Run();
    EXPECT_TRUE(dialogs.seen.empty());
    EXPECT_EQ(Installed("Qlm_list.dta"), "from temp");
}

// ---------------------------------------------------------------- files in use and failed moves

TEST_F(UpdateRun, FileInUseIsReplacedAtRestartAndTheOthersNow)
{
    Stage("Qlmlist2.dta");
    Install("Qlm_list.dta", "old").inUse = true;
    Run();

    // One entry, from the program's own copy beside the target: no deletion that
    // could stand without its move.
    const std::string target = kAppPath + "\\Qlm_list.dta";
    ASSERT_EQ(fs.pending.size(), 1u);
    EXPECT_EQ(fs.pending[0].from, target + ".dupd-new");
    EXPECT_EQ(fs.pending[0].to, target);
    EXPECT_TRUE(fs.pending[0].replaceExisting);
    EXPECT_EQ(Installed("Qlm_list.dta.dupd-new"), "new Qlm_list.dta");
    EXPECT_EQ(Installed("Qlm_list.dta"), "old");
    EXPECT_EQ(Installed("Qlmlist2.dta"), "new Qlmlist2.dta");
    EXPECT_TRUE(Staged("Qlm_list.dta"));

    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].caption, "Quellmark Database Updater - Reboot required");
    EXPECT_EQ(ui.shown[0].instruction, "Reboot Required");
    EXPECT_EQ(ui.shown[0].text, "Some files were in use by Windows. You will need to restart Windows to complete "
                                "this Update.");
    EXPECT_EQ(ui.shown[0].icon, 81);
    EXPECT_EQ(ui.shown[0].flags, 64u);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"beep 48", "simple Quellmark Database Updater - Reboot required",
                                                   "terminate"}));
    const auto log = LogLines();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[1], Entry("Installing Database file qlm_list.dta 6935"));
    EXPECT_EQ(log[2], Entry("Qlm_list.dta will be installed after a reboot"));

    fs.Restart();
    EXPECT_EQ(Installed("Qlm_list.dta"), "new Qlm_list.dta");
}

// The file in use at the first run and free at the second: placed now, and the
// first run's entry, whose copy went into place, does nothing at the restart.
// A declined second run leaves the entry and its copy alone.
TEST_F(UpdateRun, SecondRunBeforeTheRestartNeverUndoesTheFirst)
{
    for (bool declined : {false, true}) {
        Reset();
        Install("Qlm_list.dta", "old").inUse = true;
        Run();
        ASSERT_EQ(fs.pending.size(), 1u);
        fs.files[fake::NormalPath(kAppPath + "\\Qlm_list.dta")].inUse = false;
        Install("reflist.dta", EnCrypt("Q::6935||") + "\r\n");
        dialogs.answers = {declined ? 7 : 6};
        Run();
        fs.Restart();
        EXPECT_EQ(Installed("Qlm_list.dta"), "new Qlm_list.dta") << declined;
        EXPECT_FALSE(fs.Has(kAppPath + "\\Qlm_list.dta.dupd-new")) << declined;
    }
}

// An earlier version replaced a file in use by deleting it and moving the staged
// file itself at the restart. A run before that restart must neither place the
// file now (the deletion would take it) nor, declined, delete that staged file.
TEST_F(UpdateRun, AnEarlierVersionsPendingPairIsLeftToTheRestart)
{
    for (bool declined : {false, true}) {
        Reset();
        Install("Qlm_list.dta", "old");
        fs.pending = {{kAppPath + "\\Qlm_list.dta", ""}, {kStaging + "\\Qlm_list.dta", kAppPath + "\\Qlm_list.dta"}};
        if (declined) Install("reflist.dta", EnCrypt("Q::6935||") + "\r\n");
        dialogs.answers = {7};
        Run();
        EXPECT_EQ(Installed("Qlm_list.dta"), "old") << declined;
        EXPECT_TRUE(Staged("Qlm_list.dta")) << declined;
        EXPECT_EQ(fs.pending.size(), 2u) << declined;
        fs.Restart();
        EXPECT_EQ(Installed("Qlm_list.dta"), "new Qlm_list.dta") << declined;
    }
}

// A run killed while the earlier version had the installed file put aside left it
// only under its backup name; the next run restores it even when it ends at once.
TEST_F(UpdateRun, LeftoversOfAKilledRunArePutRightBeforeAnyEnd)
{
    fs.files.erase(fake::NormalPath(kStaging + "\\Qlm_list.dta"));
    Install("Qlmlist23.dta.dupd-old", "old 23");
    Install("Qlmlist24.dta.dupd-part", "half");
    Install("Qlmlist24.dta", "old 24");
    Install("Qlmlist25.dta.dupd-new", "whole new 25");
    Run();
    ASSERT_EQ(dialogs.seen.size(), 1u);
    EXPECT_EQ(dialogs.seen[0].instruction, "Database Update is corrupt");
    EXPECT_EQ(Installed("Qlmlist23.dta"), "old 23");
    EXPECT_EQ(Installed("Qlmlist24.dta"), "old 24");
    EXPECT_EQ(Installed("Qlmlist25.dta"), "whole new 25");
    for (const auto& f : fs.files) EXPECT_EQ(f.first.find(".dupd-"), std::string::npos) << f.first;
}

TEST_F(UpdateRun, RefusedSchedulingShowsTheSystemErrorAndStillCountsAsDeferred)
{
    Install("Qlm_list.dta", "old").inUse = true;
    fs.refuseScheduling = true;
    Run();

    ASSERT_EQ(ui.shown.size(), 2u);
    EXPECT_EQ(ui.shown[0].kind, "box");
    EXPECT_EQ(ui.shown[0].caption, "dupd");
    EXPECT_EQ(ui.shown[0].text, "System Error.  Code: 5.\r\nAccess is denied.");
    EXPECT_EQ(ui.shown[0].flags, 0u);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"box dupd", "beep 16", "beep 48",
                                                   "simple Quellmark Database Updater - Reboot required", "terminate"}));
    EXPECT_EQ(LogLines()[2], Entry("Qlm_list.dta will be installed after a reboot"));
    EXPECT_EQ(SystemErrorMessage(0, ""), "A call to an OS function failed");
}

TEST_F(UpdateRun, FailedMoveKeepsTheInstalledFileAndTellsTheUser)
{
    Stage("Qlmlist2.dta");
    Install("Qlm_list.dta", "old");
    // The disk fills up while the copy is written.
    fs.failWritesTo.insert(fake::NormalPath(kAppPath + "\\Qlm_list.dta.dupd-part"));
    Run();

    EXPECT_EQ(Installed("Qlm_list.dta"), "old");
    EXPECT_EQ(Installed("Qlmlist2.dta"), "new Qlmlist2.dta");
    EXPECT_TRUE(Staged("Qlm_list.dta"));
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].caption, "Error");
    EXPECT_EQ(ui.shown[0].text, "Unable to move Qlm_list.dta from " + kStaging + " to " + kAppPath +
                                    ". You should manually move this file to complete the Update installation.");
    EXPECT_EQ(ui.shown[0].flags, 0x10u);
    EXPECT_EQ(ui.events.front(), "beep 64");
    EXPECT_TRUE(fs.HasFolder(kStaging));
    EXPECT_TRUE(fs.pending.empty());
    EXPECT_FALSE(fs.Has(kAppPath + "\\Qlm_list.dta.dupd-part"));
}

// ---------------------------------------------------------------- what another program of the user may plant

// The run is elevated; the staging folder, the log folder and the shell-folder
// values are the user's. Each case plants one thing and checks that the run
// refuses it and touches nothing beyond.
TEST_F(UpdateRun, RefusesWhatAnotherProgramOfTheUserPlanted)
{
    const std::string victims = "C:\\WINDOWS\\victims";
    struct Case {
        const char* name;
        std::function<void()> plant;
        const char* expectedInstruction;  // the run's one dialog, or "" for none
        bool logKept;
    };
    const Case cases[] = {
        {"log folder is a junction",
         [this, &victims] {
             fs.folders.erase(fake::NormalPath(kLogDir));
             fs.AddFolder(victims);
             fs.folderLinks[fake::NormalPath(kLogDir)] = victims;
         },
         "", false},
        {"log folder on the network",
         [this] { registry.specialFolders[5] = "\\\\server\\home\\ann"; }, "", false},
        {"log with a second hard link", [this] { fs.AddFile(kLogDir + "UPDLOG.TXT", "old\r\n").links = 2; },
         "", false},
        {"log is a link", [this] { fs.AddFile(kLogDir + "UPDLOG.TXT", "old\r\n").reparsePoint = true; }, "",
         false},
        {"UPDLOG.TMP is a link",
         [this] { fs.AddFile(kLogDir + "UPDLOG.TMP", "planted").reparsePoint = true; }, "", false},
        {"staging folder is a junction into the installation",
         [this] {
             fs.files.clear();
             Install("Qlm_list.dta", "old");
             Install("reflist.dta", EnCrypt("Q::6936||") + "\r\n");
             fs.folders.erase(fake::NormalPath(kStaging));
             fs.folderLinks[fake::NormalPath(kStaging)] = kAppPath;
         },
         "Database Update is corrupt", false},
        {"staging folder inside the installation",
         [this] {
             fs.files.clear();
             registry.specialFolders[26] = kAppPath + "\\data";
             fs.AddFile(kAppPath + "\\data\\Ostravane\\Dbinst\\Qlm_list.dta", "planted");
             Install("reflist.dta", EnCrypt("Q::6936||") + "\r\n");
         },
         "Database Update is corrupt", false},
        {"main file is a link", [this] { fs.files[fake::NormalPath(kStaging + "\\Qlm_list.dta")].reparsePoint = true; },
         "Database Update is corrupt", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        c.plant();
        const auto before = fs.files;
        Run();
        const auto& seen = dialogs.seen;
        if (*c.expectedInstruction) {
            ASSERT_EQ(seen.size(), 1u) << c.name;
            EXPECT_EQ(seen[0].instruction, c.expectedInstruction) << c.name;
            for (const auto& [path, file] : before)
                EXPECT_TRUE(fs.files.count(path) && fs.files.at(path).content == file.content) << c.name << ": " << path;
        } else {
            EXPECT_TRUE(seen.empty()) << c.name;
            EXPECT_EQ(Installed("Qlm_list.dta"), "new Qlm_list.dta") << c.name;
        }
        EXPECT_EQ(fs.Has(kLogDir + "UPDLOG.TXT") && fs.Content(kLogDir + "UPDLOG.TXT") != "old\r\n", c.logKept) << c.name;
        for (const auto& [path, file] : fs.files)
            EXPECT_NE(path.rfind(fake::NormalPath(victims), 0), 0u) << c.name << ": " << path;
        // A link is neither written through nor removed: either may reach what it leads to.
        for (const auto& [path, file] : before)
            if (file.reparsePoint)
                EXPECT_TRUE(fs.files.count(path) && fs.files.at(path).content == file.content) << c.name << ": " << path;
    }
}

// ---------------------------------------------------------------- the 9x family

TEST_F(UpdateRun, On9xFilesInUseGoToWininitAndTheLogBesideTheDatabase)
{
    Install("Qlm_list.dta", "old").inUse = true;
    fs.AddFile("C:\\WINDOWS\\wininit.ini", "[Settings]\r\n[Rename]\r\nNUL=C:\\X.TMP\r\n");
    Run(1);

    const std::string t = fs.ShortPathName(kAppPath + "\\Qlm_list.dta");
    const std::string s = fs.ShortPathName(kAppPath + "\\Qlm_list.dta.dupd-new");
    const auto expected = std::vector<std::string>{"[Settings]", "[Rename]", "nul=" + t, t + "=" + s, "NUL=C:\\X.TMP"};
    EXPECT_EQ(SplitTextLines(fs.Content("C:\\WINDOWS\\wininit.ini")), expected);
    EXPECT_TRUE(fs.pending.empty());
    EXPECT_EQ(Installed("Qlm_list.dta.dupd-new"), "new Qlm_list.dta");
    EXPECT_FALSE(fs.Has("C:\\WINDOWS\\wininit.ini.dupd-new"));
    EXPECT_FALSE(LogLines(kAppPath + "\\").empty());
    EXPECT_TRUE(LogLines().empty());

    // Once is enough, also when the update runs again before the restart, the file
    // free by then: placing it now would let the "nul=" line delete it.
    fs.files[fake::NormalPath(kAppPath + "\\Qlm_list.dta")].inUse = false;
    Run(1);
    EXPECT_EQ(SplitTextLines(fs.Content("C:\\WINDOWS\\wininit.ini")), expected);
    fs.Restart();
    EXPECT_EQ(Installed("Qlm_list.dta"), "new Qlm_list.dta");
    EXPECT_FALSE(fs.Has(kAppPath + "\\Qlm_list.dta.dupd-new"));
}

// ---------------------------------------------------------------- the form and ShowDlg

TEST_F(UpdateRun, RunsOnceHoweverOftenTheFormIsActivated)
{
    Run();
    form->FormActivate();
    form->FormActivate();
    EXPECT_EQ(ui.terminateRequests, 1);
}

TEST(ShowDlgTables, CodesMapToIconsButtonsAndBeeps)
{
    EXPECT_EQ(IconForCode(81), tiInformation);
    EXPECT_EQ(IconForCode(84), tiWarning);
    EXPECT_EQ(IconForCode(98), tiError);
    EXPECT_EQ(IconForCode(99), tiQuestion);
    EXPECT_EQ(IconForCode(106), tiShield);
    for (int other : {0, 1, 17, 78, 100, -1}) EXPECT_EQ(IconForCode(other), tiBlank) << other;

    EXPECT_EQ(ButtonsForCode(0), TCommonButtons{cbOK});
    EXPECT_EQ(ButtonsForCode(1), (TCommonButtons{cbOK, cbCancel}));
    EXPECT_EQ(ButtonsForCode(2), (TCommonButtons{cbYes, cbCancel}));
    EXPECT_EQ(ButtonsForCode(3), (TCommonButtons{cbYes, cbNo}));
    EXPECT_EQ(ButtonsForCode(4), TCommonButtons{cbOK});
    EXPECT_EQ(ButtonsForCode(5), TCommonButtons{cbClose});
    for (int other : {-1, 6, 99}) EXPECT_EQ(ButtonsForCode(other), TCommonButtons{cbOK}) << other;

    for (int beep : {0, 16, 48, 64}) EXPECT_TRUE(IsBeepCode(beep)) << beep;
    for (int quiet : {-1, 1, 32, 65}) EXPECT_FALSE(IsBeepCode(quiet)) << quiet;
}

TEST_F(UpdateRun, ShowDlgSetsEveryTextAnewAndKeepsTheStoredDesign)
{
    form = std::make_unique<TMainForm>(fs, registry, ui, clock, dialogs);
    dialogs.answers = {1, 6};
    EXPECT_EQ(form->ShowDlg(0, 0, 32, " - One", "First", "Body one", "More", "Custom footer"), 1u);
    EXPECT_EQ(form->ShowDlg(0, 0, 0, " - Two", "Second", "Body two", "", ""), 6u);

    ASSERT_EQ(dialogs.seen.size(), 2u);
    EXPECT_EQ(dialogs.seen[0].footer, "Custom footer");
    EXPECT_EQ(dialogs.seen[0].expanded, "More");
    EXPECT_EQ(dialogs.seen[0].icon, tiBlank);
    EXPECT_EQ(dialogs.seen[1].title, "Quellmark Database Updater  - Two");
    EXPECT_EQ(dialogs.seen[1].content, "Body two");
    EXPECT_EQ(dialogs.seen[1].expanded, "");
    EXPECT_EQ(dialogs.seen[1].footer, "For support contact: support@ostravane.com");
    EXPECT_EQ(ui.events, (std::vector<std::string>{"dialog Quellmark Database Updater  - One", "beep 0",
                                                   "dialog Quellmark Database Updater  - Two"}));

    const TTaskDialogEx& d = form->MsgDlg();
    EXPECT_EQ(d.Options(), (TTaskDialogOptions{doHyperlinks, doAllowMinimize, doAllowDialogCancel}));
    EXPECT_EQ(d.FooterIcon(), tfiInformation);
    EXPECT_EQ(d.DialogPosition(), dpOwnerFormCenter);
    EXPECT_EQ(d.ExpandControlText(), "Less information");
    EXPECT_EQ(d.CollapsControlText(), "More information");
    EXPECT_EQ(d.DefaultRadioButton(), 200);
    EXPECT_TRUE(d.CustomButtons().empty());
}

TEST(StagedFileSet, FiftyThreeNamesInInstallOrder)
{
    const auto& set = StagedFileSet();
    ASSERT_EQ(set.size(), 53u);
    EXPECT_EQ(set[0].name, "Qlm_list.dta");
    EXPECT_EQ(set[1].name, "Qlmlist2.dta");
    EXPECT_EQ(set[8].name, "Qlmlist9.dta");
    EXPECT_EQ(set[9].name, "Qlmlist10.dta");
    EXPECT_EQ(set[49].name, "Qlmlist50.dta");
    EXPECT_EQ(set[49].logLine, "Installing Database file qlmlist50.dta 6935");
    EXPECT_EQ(set[50].logLine, "Installing Database file reflist.dta 6935");
    EXPECT_EQ(set[51].name, "epack.dta");
    EXPECT_EQ(set[52].logLine, "Installing Database server file qmweb.dta 1.3.4");
}

}  // namespace
}  // namespace dupd

namespace dupd {
namespace {

// On the NT platform the adapters hand the run UTF-8 (lone surrogates kept as
// their own three bytes): the run must carry such names through to the byte, in
// the files it places and schedules, the log folder, the comparisons with the
// pending list (a folder that differs in one non-ASCII letter is another), and
// the message that names a folder.
TEST(UpdateRunNames, FoldersOutsideTheCodePageKeepTheirNamesThroughTheRun)
{
    const struct {
        const char* name;
        std::string profile;
        std::string appPath;
    } cases[] = {
        {"cyrillic", "C:\\Users\\\xd0\x98\xd0\xb2\xd0\xb0\xd0\xbd", "C:\\\xd0\x9f\xd1\x80\xd0\xbe\xd0\xb3"},
        {"chinese installation", "C:\\Users\\ann", "D:\\\xe7\x8e\x8b\xe4\xbc\x9f\\Quellmark"},
        {"lone surrogate in both", "C:\\Users\\a\xed\xa0\x80", "C:\\Q\xed\xa0\x80"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFileSystem fs;
        FakeRegistry registry;
        FakeUserInterface ui;
        fake::FakeClock clock;
        FakeDialogPlatform dialogs;
        const std::string staging = c.profile + "\\AppData\\Roaming\\Ostravane\\Dbinst";
        const std::string logDir = c.profile + "\\Documents\\Ostravane\\Quellmark Logfiles\\";
        const auto installed = [&](const std::string& n) { return c.appPath + "\\" + n; };
        registry.specialFolders[26] = c.profile + "\\AppData\\Roaming";
        registry.specialFolders[5] = c.profile + "\\Documents";
        registry.Set(RegRoot::LocalMachine, "SOFTWARE\\Ostravane\\Quellmark", "AppPath", c.appPath);
        fs.AddFolder(logDir);
        for (const char* n : {"Qlm_list.dta", "Qlmlist2.dta", "epack.dta"}) fs.AddFile(staging + "\\" + n, n);
        fs.AddFile(installed("reflist.dta"), EnCrypt("Q::6934||") + "\r\n");
        fs.AddFile(installed("Qlm_list.dta"), "old").inUse = true;
        fs.failWritesTo.insert(fake::NormalPath(installed("epack.dta.dupd-part")));
        // Another installation's entry, its folder one letter apart.
        std::string other = c.appPath;
        const auto lead = std::find_if(other.begin(), other.end(), [](char b) { return (b & 0x80) != 0; });
        ASSERT_NE(lead, other.end());
        *(lead + 1) = static_cast<char>(*(lead + 1) ^ 1);  // still a continuation byte
        fs.pending.push_back({other + "\\Qlm_list.dta.dupd-new", other + "\\Qlm_list.dta", true});
        const auto run = [&] {
            TMainForm form(fs, registry, ui, clock, dialogs);
            form.FormCreate({true, 6, 1, 2});
            form.FormActivate();
        };

        run();
        run();  // the file still in use: its entry is found again, not doubled

        ASSERT_EQ(fs.pending.size(), 2u);
        EXPECT_EQ(fs.pending[1].from, installed("Qlm_list.dta.dupd-new"));
        EXPECT_EQ(fs.pending[1].to, installed("Qlm_list.dta"));
        EXPECT_EQ(fs.Content(installed("Qlmlist2.dta")), "Qlmlist2.dta");
        ASSERT_FALSE(ui.shown.empty());
        EXPECT_EQ(ui.shown[0].text, "Unable to move epack.dta from " + staging + " to " + c.appPath +
                                        ". You should manually move this file to complete the Update installation.");
        EXPECT_TRUE(fs.Has(logDir + "UPDLOG.TXT"));
        fs.Restart();
        EXPECT_EQ(fs.Content(installed("Qlm_list.dta")), "Qlm_list.dta");
    }
}

}  // namespace
}  // namespace dupd
