// Files in use: what dupd.exe schedules for the restart (checked while this Wine
// session is still running), and what the installation holds after the restart
// (the "AfterRestart" tests run in a new session, after `wineserver -k`; Wine
// then carries out the pending-rename list and wininit.ini as Windows does at a
// restart).
#include <gtest/gtest.h>

#include "Expectations.h"
#include "Scenario.h"

namespace e2e {
namespace {

class Restart : public ::testing::Test {
protected:
    void TearDown() override { SetDupdWindowsVersion(nullptr); }

    static void InstallProduct(Scenario& s, const std::vector<std::string>& oldFiles)
    {
        s.RegisterProduct();
        s.InstallVersion("6934");
        s.Install(oldFiles);
        s.CreateLogFolder();
    }

    // The delete-then-move pair that replaces `name` at the restart, as the
    // system's list holds it.
    static std::vector<std::pair<std::string, std::string>> ExpectedPair(const Scenario& s, const std::string& name)
    {
        return {{Lowered(s.Installed(name)), ""}, {Lowered(s.Staged(name)), Lowered(s.Installed(name))}};
    }
    static std::vector<std::pair<std::string, std::string>> Scheduled(const Scenario& s)
    {
        std::vector<std::pair<std::string, std::string>> out;
        for (const auto& p : PendingRenamesUnder(s.root)) out.emplace_back(Lowered(p.from), Lowered(p.to));
        return out;
    }
};

class AfterRestart : public Restart {};

// Wine's task dialog on the Windows 7 setting; the others are installed.
TEST_F(Restart, FileInUseIsReplacedAtTheRestart)
{
    Scenario s("InUse");
    InstallProduct(s, {"Qlm_list.dta", "Qlmlist2.dta", "epack.dta"});
    s.Stage({"Qlm_list.dta", "Qlmlist2.dta", "Reflist.dta", "epack.dta"});
    RunOutcome run;
    {
        HeldFile held(s.Installed("Qlmlist2.dta"));
        ASSERT_TRUE(held.Held());
        run = s.Run();
        EXPECT_EQ(ReadFileBytes(s.Installed("Qlmlist2.dta")), InstalledContent("Qlmlist2.dta"));
    }

    EXPECT_RUN_ENDED(run);
    ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
    EXPECT_EQ(run.dialogs[0].title, kRebootTitle);
    EXPECT_TRUE(run.dialogs[0].HasText("Reboot Required")) << Describe(run);
    EXPECT_TRUE(run.dialogs[0].HasText(kRebootContent)) << Describe(run);
    for (const char* n : {"Qlm_list.dta", "Reflist.dta", "epack.dta"})
        EXPECT_EQ(ReadFileBytes(s.Installed(n)), StagedContent(n)) << n;
    EXPECT_EQ(s.StagingFiles(), std::vector<std::string>{"qlmlist2.dta"}) << "the source of the pending move stays";
    EXPECT_EQ(Scheduled(s), ExpectedPair(s, "Qlmlist2.dta"));
    const auto log = CrLfLines(s.Log().value_or(""));
    EXPECT_EQ(RunBlock(log, 0),
              (std::vector<std::string>{StartLine(), InstallLine("qlm_list.dta"), InstallLine("qlmlist2.dta"),
                                        DeferredLine("Qlmlist2.dta"), InstallLine("reflist.dta"),
                                        InstallLine("epack.dta")}));
}

TEST_F(AfterRestart, FileInUseIsReplacedAtTheRestart)
{
    Scenario s("InUse", false);
    EXPECT_EQ(ReadFileBytes(s.Installed("Qlmlist2.dta")), StagedContent("Qlmlist2.dta"));
    EXPECT_EQ(ReadFileBytes(s.Installed("Qlm_list.dta")), StagedContent("Qlm_list.dta"));
    EXPECT_TRUE(s.StagingFiles().empty());
    EXPECT_TRUE(Scheduled(s).empty());
}

// A second run before the restart, the file still in use: the same log line and
// notice, but the pair is not queued again (its second deletion would remove the
// file that the first move put in place).
TEST_F(Restart, TwoRunsBeforeOneRestartScheduleTheReplacementOnce)
{
    Scenario s("TwoRuns");
    InstallProduct(s, {"Qlm_list.dta", "epack.dta"});
    s.Stage({"Qlm_list.dta", "Reflist.dta", "epack.dta"});
    RunOutcome first, second;
    {
        HeldFile held(s.Installed("Qlm_list.dta"));
        ASSERT_TRUE(held.Held());
        first = s.Run();
        EXPECT_EQ(Scheduled(s), ExpectedPair(s, "Qlm_list.dta"));
        second = s.Run(IDYES);  // reflist.dta is 6935 now: the same-version question
    }

    EXPECT_RUN_ENDED(first);
    EXPECT_RUN_ENDED(second);
    ASSERT_EQ(first.dialogs.size(), 1u) << Describe(first);
    EXPECT_EQ(first.dialogs[0].title, kRebootTitle);
    ASSERT_EQ(second.dialogs.size(), 2u) << Describe(second);
    EXPECT_EQ(second.dialogs[0].title, kConfirmTitle);
    EXPECT_EQ(second.dialogs[1].title, kRebootTitle);
    EXPECT_EQ(Scheduled(s), ExpectedPair(s, "Qlm_list.dta"));
    EXPECT_EQ(s.StagingFiles(), std::vector<std::string>{"qlm_list.dta"});
    const auto log = CrLfLines(s.Log().value_or(""));
    std::size_t next = 0;
    EXPECT_EQ(RunBlock(log, 0, &next), (std::vector<std::string>{StartLine(), InstallLine("qlm_list.dta"),
                                                                  DeferredLine("Qlm_list.dta")}));
    EXPECT_EQ(RunBlock(log, next), (std::vector<std::string>{StartLine(), InstallLine("qlm_list.dta"),
                                                             DeferredLine("Qlm_list.dta"),
                                                             InstallLine("reflist.dta"), InstallLine("epack.dta")}));
}

TEST_F(AfterRestart, TwoRunsBeforeOneRestartScheduleTheReplacementOnce)
{
    Scenario s("TwoRuns", false);
    EXPECT_EQ(ReadFileBytes(s.Installed("Qlm_list.dta")), StagedContent("Qlm_list.dta")) << "not lost";
    EXPECT_TRUE(s.StagingFiles().empty());
    EXPECT_TRUE(Scheduled(s).empty());
}

// The Windows 98 setting: wininit.ini carries the replacement, the log lies in the
// installation folder, and every message is a message box.
TEST_F(Restart, Windows98UsesWininitAndLogsBesideTheDatabase)
{
    Scenario s("Win98");
    InstallProduct(s, {"Qlm_list.dta", "Qlmlist3.dta"});
    s.Stage({"Qlm_list.dta", "Qlmlist3.dta", "Reflist.dta"});
    const std::string wininit = WindowsDir() + "\\wininit.ini";
    // This prefix belongs to the tests: a wininit.ini left from an earlier run of
    // them would be carried out at the restart on top of this one.
    DeleteFileA(wininit.c_str());
    SetDupdWindowsVersion("win98");
    std::string target, source;
    RunOutcome run;
    {
        HeldFile held(s.Installed("Qlmlist3.dta"));
        ASSERT_TRUE(held.Held());
        target = ShortPath(s.Installed("Qlmlist3.dta"));
        source = ShortPath(s.Staged("Qlmlist3.dta"));
        run = s.Run();
    }
    SetDupdWindowsVersion(nullptr);

    EXPECT_RUN_ENDED(run);
    ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
    ExpectPlainMessageBox(run.dialogs[0], kRebootTitle, kRebootContent);
    ASSERT_FALSE(target.empty());
    ASSERT_FALSE(source.empty());
    bool crlf = false;
    EXPECT_EQ(CrLfLines(ReadFileBytes(wininit).value_or(""), &crlf),
              (std::vector<std::string>{"[rename]", "nul=" + target, target + "=" + source}));
    EXPECT_TRUE(crlf);
    EXPECT_TRUE(Scheduled(s).empty()) << "nothing in the NT list";
    EXPECT_EQ(s.StagingFiles(), std::vector<std::string>{"qlmlist3.dta"});
    EXPECT_EQ(ReadFileBytes(s.Installed("Qlm_list.dta")), StagedContent("Qlm_list.dta"));
    EXPECT_FALSE(s.Log().has_value()) << "no log in the documents folder";
    const auto log = CrLfLines(ReadFileBytes(s.Installed("UPDLOG.TXT")).value_or(""));
    EXPECT_EQ(RunBlock(log, 0),
              (std::vector<std::string>{StartLine(), InstallLine("qlm_list.dta"), InstallLine("qlmlist3.dta"),
                                        DeferredLine("Qlmlist3.dta"), InstallLine("reflist.dta")}));
}

TEST_F(AfterRestart, Windows98UsesWininitAndLogsBesideTheDatabase)
{
    Scenario s("Win98", false);
    EXPECT_EQ(ReadFileBytes(s.Installed("Qlmlist3.dta")), StagedContent("Qlmlist3.dta"));
    EXPECT_TRUE(s.StagingFiles().empty());
    EXPECT_FALSE(FileExists(WindowsDir() + "\\wininit.ini")) << "carried out and put aside";
}

// The Windows XP setting: the NT pending-rename list, and the restart notice as a
// message box with the content alone.
TEST_F(Restart, WindowsXpUsesThePendingListAndAMessageBox)
{
    Scenario s("WinXp");
    InstallProduct(s, {"Qlm_list.dta", "epack.dta"});
    s.Stage({"Qlm_list.dta", "epack.dta", "qmweb.dta"});
    SetDupdWindowsVersion("winxp");
    RunOutcome run;
    {
        HeldFile held(s.Installed("epack.dta"));
        ASSERT_TRUE(held.Held());
        run = s.Run();
    }
    SetDupdWindowsVersion(nullptr);

    EXPECT_RUN_ENDED(run);
    ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
    ExpectPlainMessageBox(run.dialogs[0], kRebootTitle, kRebootContent);
    EXPECT_EQ(Scheduled(s), ExpectedPair(s, "epack.dta"));
    EXPECT_EQ(s.StagingFiles(), std::vector<std::string>{"epack.dta"});
    EXPECT_EQ(ReadFileBytes(s.Installed("qmweb.dta")), StagedContent("qmweb.dta"));
    const auto log = CrLfLines(s.Log().value_or(""));
    EXPECT_EQ(RunBlock(log, 0), (std::vector<std::string>{StartLine(), InstallLine("qlm_list.dta"),
                                                          InstallLine("epack.dta"), DeferredLine("epack.dta"),
                                                          ServerLine()}));
}

TEST_F(AfterRestart, WindowsXpUsesThePendingListAndAMessageBox)
{
    Scenario s("WinXp", false);
    EXPECT_EQ(ReadFileBytes(s.Installed("epack.dta")), StagedContent("epack.dta"));
    EXPECT_TRUE(s.StagingFiles().empty());
    EXPECT_TRUE(Scheduled(s).empty());
}

}  // namespace
}  // namespace e2e
