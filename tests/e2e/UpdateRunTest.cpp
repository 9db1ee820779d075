// The real dupd.exe, run as a user runs it, on every way a run can end that needs
// no restart: refusals, the same-version question, complete installations, extras
// and the log.
#include <gtest/gtest.h>

#include "Expectations.h"
#include "Scenario.h"

namespace e2e {
namespace {

class UpdateRun : public ::testing::Test {
protected:
    static std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }
    void TearDown() override { SetDupdWindowsVersion(nullptr); }

    // An installed 6934 database with a few old files and a log folder.
    static void InstallProduct(Scenario& s)
    {
        s.RegisterProduct();
        s.InstallVersion("6934");
        s.Install({"Qlm_list.dta", "Qlmlist2.dta", "epack.dta"});
        s.CreateLogFolder();
    }

    // The installation folder's file names and contents, to prove a refused run
    // left it alone.
};


TEST_F(UpdateRun, PackageWithoutMainFileIsRefusedAndLeftAlone)
{
    Scenario s(TestName());
    InstallProduct(s);
    s.Stage({"Qlmlist2.dta", "Reflist.dta", "epack.dta"});
    const auto before = FolderSnapshot(s.install);

    const RunOutcome run = s.Run();

    EXPECT_RUN_ENDED(run);
    ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
    ExpectComponentMessage(run.dialogs[0], kErrorTitle, "Database Update is corrupt", kAbortButton);
    EXPECT_EQ(s.StagingFiles(), (std::vector<std::string>{"epack.dta", "qlmlist2.dta", "reflist.dta"}));
    EXPECT_EQ(FolderSnapshot(s.install), before);
    EXPECT_FALSE(s.Log().has_value());
}

// Key missing, or AppPath of a number type: the package is thrown away, and only
// the names of the staged file set go.
TEST_F(UpdateRun, UnreadableInstallationDirectoryDeletesThePackage)
{
    struct Case {
        const char* name;
        bool removeKey;
    };
    for (const Case c : {Case{"KeyMissing", true}, Case{"AppPathNotString", false}}) {
        SCOPED_TRACE(c.name);
        Scenario s(TestName() + c.name);
        InstallProduct(s);
        if (c.removeKey)
            s.RemoveProductKey();
        else
            s.RegisterProductDword(1);
        s.Stage(kPackage);
        s.Stage({"Qlmlist50.dta", "qmweb.dta"});
        s.Stage("readme.txt", "not part of the database\r\n");
        const auto before = FolderSnapshot(s.install);

        const RunOutcome run = s.Run();

        EXPECT_RUN_ENDED(run);
        ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
        ExpectComponentMessage(run.dialogs[0], kErrorTitle, "Unable to locate installation directory",
                               kAbortButton);
        EXPECT_EQ(s.StagingFiles(), std::vector<std::string>{"readme.txt"});
        EXPECT_EQ(FolderSnapshot(s.install), before);
        EXPECT_FALSE(s.Log().has_value());
    }
}

TEST_F(UpdateRun, PackageOnlyOfTheSetLeavesNoStagingFolderWhenKeyIsMissing)
{
    Scenario s(TestName());
    InstallProduct(s);
    s.RemoveProductKey();
    s.Stage(kPackage);

    const RunOutcome run = s.Run();

    EXPECT_RUN_ENDED(run);
    EXPECT_EQ(run.dialogs.size(), 1u) << Describe(run);
    EXPECT_FALSE(PathIsDirectory(s.staging)) << "left: " << s.StagingFiles().size() << " files";
}

// Wine's own task dialog on the Windows 7 setting: its texts are child windows.
TEST_F(UpdateRun, EmptyAppPathKeepsThePackageForCopyingByHand)
{
    Scenario s(TestName());
    InstallProduct(s);
    s.RegisterProduct("");
    s.Stage(kPackage);
    const auto before = FolderSnapshot(s.install);

    const RunOutcome run = s.Run();

    EXPECT_RUN_ENDED(run);
    ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
    const SeenDialog& d = run.dialogs[0];
    EXPECT_EQ(d.title, kSimpleErrorTitle);
    EXPECT_TRUE(d.HasText("Unable to locate installation directory")) << Describe(run);
    EXPECT_TRUE(d.HasText(ManualCopyContent(s.staging))) << Describe(run);
    EXPECT_EQ(d.pressed, IDOK);
    EXPECT_EQ(s.StagingFiles(), (std::vector<std::string>{"epack.dta", "qlm_list.dta", "qlmlist2.dta", "reflist.dta"}));
    EXPECT_EQ(FolderSnapshot(s.install), before);
    EXPECT_FALSE(s.Log().has_value());
}

// Before Vista there is no task dialog: the message box shows the content alone.
TEST_F(UpdateRun, EmptyAppPathOnXpIsAPlainMessageBox)
{
    Scenario s(TestName());
    InstallProduct(s);
    s.RegisterProduct("");
    s.Stage(kPackage);
    SetDupdWindowsVersion("winxp");

    const RunOutcome run = s.Run();

    EXPECT_RUN_ENDED(run);
    ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
    ExpectPlainMessageBox(run.dialogs[0], kSimpleErrorTitle, ManualCopyContent(s.staging));
    EXPECT_EQ(s.StagingFiles().size(), kPackage.size());
}

TEST_F(UpdateRun, UpdateOlderThanTheInstalledDatabaseIsRefused)
{
    Scenario s(TestName());
    InstallProduct(s);
    s.InstallVersion("6936");
    s.Stage(kPackage);
    const auto before = FolderSnapshot(s.install);

    const RunOutcome run = s.Run();

    EXPECT_RUN_ENDED(run);
    ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
    ExpectComponentMessage(run.dialogs[0], kErrorTitle, "Update is too old", kAbortButton);
    EXPECT_FALSE(PathIsDirectory(s.staging));
    EXPECT_EQ(FolderSnapshot(s.install), before);
    EXPECT_FALSE(s.Log().has_value());
}

TEST_F(UpdateRun, SameVersionDeclinedThrowsThePackageAwayAndLogsNothing)
{
    Scenario s(TestName());
    InstallProduct(s);
    s.InstallVersion("6935");
    s.InstallExtra(1, "6930");
    s.Stage(kPackage);
    const auto before = FolderSnapshot(s.install);

    const RunOutcome run = s.Run(IDNO);

    EXPECT_RUN_ENDED(run);
    ASSERT_EQ(run.dialogs.size(), 2u) << Describe(run);
    ExpectComponentMessage(run.dialogs[0], kConfirmTitle, "Re-install this Update?", kYesNoButtons);
    const auto buttons = run.dialogs[0].ButtonIds();
    EXPECT_NE(std::find(buttons.begin(), buttons.end(), IDYES), buttons.end()) << Describe(run);
    EXPECT_NE(std::find(buttons.begin(), buttons.end(), IDNO), buttons.end()) << Describe(run);
    ExpectComponentMessage(run.dialogs[1], kInformationTitle, "Update Aborted", kOkButton);
    EXPECT_FALSE(PathIsDirectory(s.staging));
    EXPECT_EQ(FolderSnapshot(s.install), before) << "nothing copied, no extra deleted";
    EXPECT_FALSE(s.Log().has_value());
    EXPECT_FALSE(PathIsFile(s.logDir + "\\UPDLOG.TMP"));
}

TEST_F(UpdateRun, SameVersionAcceptedInstalls)
{
    Scenario s(TestName());
    InstallProduct(s);
    s.InstallVersion("6935");
    s.Stage(kPackage);

    const RunOutcome run = s.Run(IDYES);

    EXPECT_RUN_ENDED(run);
    ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
    EXPECT_EQ(run.dialogs[0].title, kConfirmTitle);
    for (const auto& n : kPackage) EXPECT_EQ(ReadFileBytes(s.Installed(n)), StagedContent(n)) << n;
    EXPECT_EQ(s.OwnInstallFiles(), kNoFiles);
    EXPECT_FALSE(PathIsDirectory(s.staging));
    const auto log = CrLfLines(s.Log().value_or(""));
    EXPECT_EQ(RunBlock(log, 0), (std::vector<std::string>{StartLine(), InstallLine("qlm_list.dta"),
                                                          InstallLine("qlmlist2.dta"), InstallLine("reflist.dta"),
                                                          InstallLine("epack.dta")}));
}

// Staged in reverse order, with a read-only old file and files new to the folder:
// installed in the fixed order (Qlmlist10 after Qlmlist2), logged, and the
// emptied staging folder removed.
TEST_F(UpdateRun, CompleteRunInstallsInTheFixedOrderAndRemovesTheStagingFolder)
{
    Scenario s(TestName());
    InstallProduct(s);
    SetFileAttributesA(s.Installed("Qlmlist2.dta").c_str(), FILE_ATTRIBUTE_READONLY);
    const std::vector<std::string> staged = {"qmweb.dta", "epack.dta", "Reflist.dta", "Qlmlist10.dta", "Qlmlist2.dta",
                                             "Qlm_list.dta"};
    s.Stage(staged);

    const RunOutcome run = s.Run();

    EXPECT_RUN_ENDED(run);
    EXPECT_TRUE(run.dialogs.empty()) << Describe(run);
    for (const auto& n : staged) EXPECT_EQ(ReadFileBytes(s.Installed(n)), StagedContent(n)) << n;
    EXPECT_EQ(s.InstallFiles(), (std::vector<std::string>{"epack.dta", "qlm_list.dta", "qlmlist10.dta",
                                                          "qlmlist2.dta", "qmweb.dta", "reflist.dta"}));
    EXPECT_FALSE(PathIsDirectory(s.staging));

    bool crlf = false;
    const auto log = CrLfLines(s.Log().value_or(""), &crlf);
    EXPECT_TRUE(crlf) << "every log line ends with CR LF";
    std::size_t next = 0;
    EXPECT_EQ(RunBlock(log, 0, &next),
              (std::vector<std::string>{StartLine(), InstallLine("qlm_list.dta"), InstallLine("qlmlist2.dta"),
                                        InstallLine("qlmlist10.dta"), InstallLine("reflist.dta"),
                                        InstallLine("epack.dta"), ServerLine()}));
    EXPECT_EQ(next, log.size()) << "nothing after the run's block";
    EXPECT_FALSE(PathIsFile(s.logDir + "\\UPDLOG.TMP"));
}

TEST_F(UpdateRun, NamesOutsideTheSetAreNeverInstalledAndKeepTheStagingFolder)
{
    Scenario s(TestName());
    InstallProduct(s);
    s.Stage({"Qlmlist51.dta", "Qlmlist1.dta", "Qlmlist50.dta", "Qlm_list.dta"});

    const RunOutcome run = s.Run();

    EXPECT_RUN_ENDED(run);
    EXPECT_TRUE(run.dialogs.empty()) << Describe(run);
    EXPECT_EQ(ReadFileBytes(s.Installed("Qlmlist50.dta")), StagedContent("Qlmlist50.dta"));
    EXPECT_FALSE(PathIsFile(s.Installed("Qlmlist1.dta")));
    EXPECT_FALSE(PathIsFile(s.Installed("Qlmlist51.dta")));
    EXPECT_EQ(s.StagingFiles(), (std::vector<std::string>{"qlmlist1.dta", "qlmlist51.dta"}));
    EXPECT_EQ(s.OwnInstallFiles(), kNoFiles);
    const auto log = CrLfLines(s.Log().value_or(""));
    EXPECT_EQ(RunBlock(log, 0), (std::vector<std::string>{StartLine(), InstallLine("qlm_list.dta"),
                                                          InstallLine("qlmlist50.dta")}));
}

// Expiry numbers scrambled as the product stores them: reached ones go, in
// ascending order, each logged; -1, later numbers, unusable lines and names
// outside 1..50 stay.
TEST_F(UpdateRun, ExpiredExtrasAreDeletedAndLoggedInOrder)
{
    Scenario s(TestName());
    InstallProduct(s);
    const struct {
        int n;
        const char* expiry;
        bool expired;
    } extras[] = {
        {50, "6935", true},  {3, "6936", false}, {2, "6935", true},  {1, "6930", true},   {5, "-1", false},
        {7, "0", true},      {12, " 6935", true}, {20, "$1B17", true}, {30, "69x5", false}, {31, "6935 ", false},
        {0, "6930", false},  {51, "6930", false}, {9, "-7", true},
    };
    for (const auto& e : extras) s.InstallExtra(e.n, e.expiry);
    s.Stage({"Qlm_list.dta"});

    const RunOutcome run = s.Run();

    EXPECT_RUN_ENDED(run);
    EXPECT_TRUE(run.dialogs.empty()) << Describe(run);
    for (const auto& e : extras)
        EXPECT_EQ(PathIsFile(s.Installed("extra" + std::to_string(e.n) + ".dta")), !e.expired)
            << "extra" << e.n << " with expiry \"" << e.expiry << "\"";
    const auto log = CrLfLines(s.Log().value_or(""));
    EXPECT_EQ(RunBlock(log, 0),
              (std::vector<std::string>{StartLine(), InstallLine("qlm_list.dta"), ExtraLine(1), ExtraLine(2),
                                        ExtraLine(7), ExtraLine(9), ExtraLine(12), ExtraLine(20), ExtraLine(50)}));
    EXPECT_TRUE(PathIsDirectory(s.install));
    EXPECT_EQ(s.OwnInstallFiles(), kNoFiles);
}

// Two runs: the second one's block stands in front of the first, which follows
// unchanged to the byte.
TEST_F(UpdateRun, SecondRunIsMergedInFrontOfTheLog)
{
    Scenario s(TestName());
    InstallProduct(s);
    s.Stage({"Qlm_list.dta", "Reflist.dta"});
    const RunOutcome first = s.Run();
    EXPECT_RUN_ENDED(first);
    const std::string afterFirst = s.Log().value_or("");
    ASSERT_FALSE(afterFirst.empty());

    MakeDirs(s.staging);
    s.Stage({"epack.dta", "Qlm_list.dta"});
    const RunOutcome second = s.Run(IDYES);  // reflist.dta is 6935 now

    EXPECT_RUN_ENDED(second);
    ASSERT_EQ(second.dialogs.size(), 1u) << Describe(second);
    EXPECT_EQ(second.dialogs[0].title, kConfirmTitle);
    const std::string merged = s.Log().value_or("");
    ASSERT_GT(merged.size(), afterFirst.size());
    EXPECT_EQ(merged.substr(merged.size() - afterFirst.size()), afterFirst);
    const auto lines = CrLfLines(merged);
    std::size_t next = 0;
    EXPECT_EQ(RunBlock(lines, 0, &next), (std::vector<std::string>{StartLine(), InstallLine("qlm_list.dta"),
                                                                    InstallLine("epack.dta")}));
    EXPECT_EQ(RunBlock(lines, next), (std::vector<std::string>{StartLine(), InstallLine("qlm_list.dta"),
                                                               InstallLine("reflist.dta")}));
    EXPECT_EQ(s.OwnInstallFiles(), kNoFiles);
}

// An accumulated log just above 16384 bytes: after the merge it is cut to its
// first 101 lines and the banner, 105 lines in all.
TEST_F(UpdateRun, LogAboveTheLimitIsCutWithTheBanner)
{
    Scenario s(TestName());
    InstallProduct(s);
    std::string old;
    std::vector<std::string> oldLines;
    for (int i = 0; old.size() <= 16384; ++i) {
        oldLines.push_back("[01/02/2020 10:00:00] earlier entry " + std::to_string(i) + std::string(30, '.'));
        old += oldLines.back() + "\r\n";
    }
    ASSERT_LT(old.size(), 16384u + 80u);
    s.WriteLog(old);
    s.Stage({"Qlm_list.dta"});

    const RunOutcome run = s.Run();

    EXPECT_RUN_ENDED(run);
    bool crlf = false;
    const auto lines = CrLfLines(s.Log().value_or(""), &crlf);
    EXPECT_TRUE(crlf);
    ASSERT_EQ(lines.size(), 105u);
    std::size_t next = 0;
    EXPECT_EQ(RunBlock(lines, 0, &next), (std::vector<std::string>{StartLine(), InstallLine("qlm_list.dta")}));
    ASSERT_EQ(next, 4u);
    for (std::size_t i = next; i < 101; ++i) EXPECT_EQ(lines[i], oldLines[i - next]) << "line " << i;
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 101, lines.end()),
              (std::vector<std::string>{"", std::string(40, '*'), "Logfile auto-truncated by Quellmark",
                                        std::string(40, '*')}));
    EXPECT_FALSE(PathIsFile(s.logDir + "\\UPDLOG.TMP"));
    EXPECT_EQ(s.OwnInstallFiles(), kNoFiles);
}

// A read-only accumulated log cannot be replaced: it keeps its content, and this
// run's lines wait beside it in the merged copy.
TEST_F(UpdateRun, ReadOnlyLogIsKeptAndTheMergedCopyStaysBesideIt)
{
    Scenario s(TestName());
    InstallProduct(s);
    const std::string old = "[01/02/2020 10:00:00] an earlier run\r\n" + kDashLine + "\r\n\r\n";
    s.WriteLog(old);
    SetFileAttributesA((s.logDir + "\\UPDLOG.TXT").c_str(), FILE_ATTRIBUTE_READONLY);
    s.Stage({"Qlm_list.dta"});

    const RunOutcome run = s.Run();

    EXPECT_RUN_ENDED(run);
    EXPECT_EQ(s.Log(), old);
    const std::string merged = ReadFileBytes(s.logDir + "\\UPDLOG.TMP").value_or("");
    const auto lines = CrLfLines(merged);
    std::size_t next = 0;
    EXPECT_EQ(RunBlock(lines, 0, &next), (std::vector<std::string>{StartLine(), InstallLine("qlm_list.dta")}));
    ASSERT_GE(merged.size(), old.size());
    EXPECT_EQ(merged.substr(merged.size() - old.size()), old);
    EXPECT_EQ(ReadFileBytes(s.Installed("Qlm_list.dta")), StagedContent("Qlm_list.dta"));
    EXPECT_EQ(s.OwnInstallFiles(), kNoFiles);
    SetFileAttributesA((s.logDir + "\\UPDLOG.TXT").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The program never creates the log folder; the update goes on without a log.
TEST_F(UpdateRun, WithoutALogFolderTheUpdateStillInstalls)
{
    Scenario s(TestName());
    s.RegisterProduct();
    s.InstallVersion("6934");
    s.Stage(kPackage);

    const RunOutcome run = s.Run();

    EXPECT_RUN_ENDED(run);
    EXPECT_TRUE(run.dialogs.empty()) << Describe(run);
    for (const auto& n : kPackage) EXPECT_EQ(ReadFileBytes(s.Installed(n)), StagedContent(n)) << n;
    EXPECT_FALSE(PathIsDirectory(s.documents + "\\Ostravane"));
    EXPECT_FALSE(PathIsFile(s.Installed("UPDLOG.TXT")));
    EXPECT_EQ(s.OwnInstallFiles(), kNoFiles);
}

// The staged file cannot be read (another program locks it): the user is told,
// and the product keeps the file it had. A staged file that is only held for
// reading is still copied in, but stays in the staging folder.
TEST_F(UpdateRun, FailedMoveKeepsTheInstalledFile)
{
    struct Case {
        const char* name;
        DWORD share;
        bool placed;
    };
    for (const Case c : {Case{"Locked", 0, false}, Case{"ReadShared", FILE_SHARE_READ, true}}) {
        SCOPED_TRACE(c.name);
        Scenario s(TestName() + c.name);
        InstallProduct(s);
        s.Stage(kPackage);
        const auto installedBefore = s.InstallFiles();
        RunOutcome run;
        {
            HeldFile held(s.Staged("epack.dta"), c.share);
            ASSERT_TRUE(held.Held());
            run = s.Run();
        }

        EXPECT_RUN_ENDED(run);
        if (c.placed) {
            EXPECT_TRUE(run.dialogs.empty()) << Describe(run);
            EXPECT_EQ(ReadFileBytes(s.Installed("epack.dta")), StagedContent("epack.dta"));
        } else {
            ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
            EXPECT_EQ(run.dialogs[0].title, "Error");
            EXPECT_EQ(run.dialogs[0].MessageText(), "Unable to move epack.dta from " + s.staging + " to " +
                                                        s.install +
                                                        ". You should manually move this file to complete the "
                                                        "Update installation.");
            EXPECT_EQ(ReadFileBytes(s.Installed("epack.dta")), InstalledContent("epack.dta"));
        }
        EXPECT_EQ(ReadFileBytes(s.Installed("Qlm_list.dta")), StagedContent("Qlm_list.dta"));
        EXPECT_EQ(s.InstallFiles(), installedBefore) << "no file lost, none left over";
        EXPECT_EQ(s.StagingFiles(), std::vector<std::string>{"epack.dta"});
        const auto log = CrLfLines(s.Log().value_or(""));
        EXPECT_EQ(RunBlock(log, 0), (std::vector<std::string>{StartLine(), InstallLine("qlm_list.dta"),
                                                              InstallLine("qlmlist2.dta"), InstallLine("reflist.dta"),
                                                              InstallLine("epack.dta")}));
        EXPECT_TRUE(PendingRenamesUnder(s.root).empty());
    }
}


// Where a message names a folder outside the ANSI code page, the user reads its
// real name: the simple task dialog and the message box are given UTF-16.
TEST_F(UpdateRun, MessagesNameFoldersOutsideTheCodePageAsTheyAre)
{
    {
        SCOPED_TRACE("message C");
        Scenario s(TestName() + "EmptyAppPath", true, Layout{"王伟", "Quellmark"});
        InstallProduct(s);
        s.RegisterProduct("");
        s.Stage(kPackage);

        const RunOutcome run = s.Run();

        EXPECT_RUN_ENDED(run);
        ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
        EXPECT_EQ(run.dialogs[0].title, kSimpleErrorTitle);
        EXPECT_TRUE(run.dialogs[0].HasText(ManualCopyContent(s.staging))) << Describe(run);
        EXPECT_EQ(s.StagingFiles().size(), kPackage.size());
    }
    {
        SCOPED_TRACE("Unable to move");
        Scenario s(TestName() + "Locked", true, Layout{"Иван", "Программы"});
        InstallProduct(s);
        s.Stage(kPackage);
        RunOutcome run;
        {
            HeldFile held(s.Staged("epack.dta"), 0);
            ASSERT_TRUE(held.Held());
            run = s.Run();
        }

        EXPECT_RUN_ENDED(run);
        ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
        EXPECT_EQ(run.dialogs[0].MessageText(), "Unable to move epack.dta from " + s.staging + " to " + s.install +
                                                    ". You should manually move this file to complete the "
                                                    "Update installation.");
        EXPECT_EQ(ReadFileBytes(s.Installed("Qlm_list.dta")), StagedContent("Qlm_list.dta"));
        EXPECT_EQ(s.StagingFiles(), std::vector<std::string>{"epack.dta"});
    }
}

}  // namespace
}  // namespace e2e
