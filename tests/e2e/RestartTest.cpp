// Files in use: what dupd.exe schedules for the restart (checked while this Wine
// session is still running), and what the installation holds after the restart
// (the "AfterRestart" tests run in a new session, after `wineserver -k`; Wine
// then carries out the pending-rename list and wininit.ini as Windows does at a
// restart).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <tuple>

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

    using Entry = std::tuple<std::string, std::string, bool>;  // from, to, may replace

    // The one entry that replaces `name` at the restart by the copy waiting beside
    // it, as the system's list holds it.
    static std::vector<Entry> ExpectedEntry(const Scenario& s, const std::string& name)
    {
        return {{Lowered(Copy(s, name)), Lowered(s.Installed(name)), true}};
    }
    static std::vector<Entry> Scheduled(const Scenario& s)
    {
        std::vector<Entry> out;
        for (const auto& p : PendingRenamesUnder(s.root))
            out.emplace_back(Lowered(p.from), Lowered(p.to), p.replaceExisting);
        return out;
    }
    static std::string Copy(const Scenario& s, const std::string& name) { return s.Installed(name) + ".dupd-new"; }
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
    EXPECT_EQ(s.StagingFiles(), std::vector<std::string>{"qlmlist2.dta"}) << "the deferred file stays staged";
    EXPECT_EQ(Scheduled(s), ExpectedEntry(s, "Qlmlist2.dta"));
    EXPECT_EQ(s.OwnInstallFiles(), std::vector<std::string>{"qlmlist2.dta.dupd-new"});
    EXPECT_EQ(ReadFileBytes(Copy(s, "Qlmlist2.dta")), StagedContent("Qlmlist2.dta"));
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
    EXPECT_EQ(s.StagingFiles(), std::vector<std::string>{"qlmlist2.dta"});
    EXPECT_EQ(s.OwnInstallFiles(), kNoFiles);
    EXPECT_TRUE(Scheduled(s).empty());
}

// A user's profile and an installation folder named outside the prefix's ANSI code
// page (1252): only the UTF-16 calls reach them. Each goes through a whole update:
// a leftover of an interrupted run put right, files placed, one deferred, an
// expired extra deleted, the log kept in that user's documents.
struct NamedPlaces {
    const char* name;
    Layout layout;
};
const NamedPlaces kNamedPlaces[] = {
    {"CyrillicUser", {"Иван Петров", "Quellmark"}},
    {"ChineseInstallation", {"", "王伟 Quellmark"}},
    {"ChineseUserCyrillicInstallation", {"王伟", "Программы"}},
};

TEST_F(Restart, NamesOutsideTheCodePageAreReached)
{
    for (const NamedPlaces& c : kNamedPlaces) {
        SCOPED_TRACE(c.name);
        Scenario s(std::string("Named") + c.name, true, c.layout);
        InstallProduct(s, {"Qlm_list.dta", "Qlmlist2.dta", "epack.dta"});
        s.InstallExtra(37, "6930");
        s.Install("Qlm_list.dta.dupd-part", "half a copy");
        s.Stage({"Qlm_list.dta", "Qlmlist2.dta", "Reflist.dta", "epack.dta"});
        RunOutcome run;
        {
            HeldFile held(s.Installed("Qlmlist2.dta"));
            ASSERT_TRUE(held.Held());
            run = s.Run();
        }

        EXPECT_RUN_ENDED(run);
        ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
        EXPECT_EQ(run.dialogs[0].title, kRebootTitle);
        for (const char* n : {"Qlm_list.dta", "Reflist.dta", "epack.dta"})
            EXPECT_EQ(ReadFileBytes(s.Installed(n)), StagedContent(n)) << n;
        EXPECT_FALSE(PathIsFile(s.Installed("extra37.dta")));
        EXPECT_EQ(s.StagingFiles(), std::vector<std::string>{"qlmlist2.dta"});
        EXPECT_EQ(Scheduled(s), ExpectedEntry(s, "Qlmlist2.dta"));
        EXPECT_EQ(s.OwnInstallFiles(), std::vector<std::string>{"qlmlist2.dta.dupd-new"});
        const auto log = CrLfLines(s.Log().value_or(""));
        EXPECT_EQ(RunBlock(log, 0),
                  (std::vector<std::string>{StartLine(), InstallLine("qlm_list.dta"), InstallLine("qlmlist2.dta"),
                                            DeferredLine("Qlmlist2.dta"), InstallLine("reflist.dta"),
                                            InstallLine("epack.dta"), ExtraLine(37)}));
    }
}

TEST_F(AfterRestart, NamesOutsideTheCodePageAreReached)
{
    for (const NamedPlaces& c : kNamedPlaces) {
        SCOPED_TRACE(c.name);
        Scenario s(std::string("Named") + c.name, false, c.layout);
        EXPECT_EQ(ReadFileBytes(s.Installed("Qlmlist2.dta")), StagedContent("Qlmlist2.dta"));
        EXPECT_EQ(s.OwnInstallFiles(), kNoFiles);
        EXPECT_TRUE(Scheduled(s).empty());
    }
}

// The file a second run brings when it was unpacked again in between.
std::string Renewed(const std::string& name) { return StagedContent(name) + "unpacked again\r\n"; }

// A second run before the restart, the file still in use: the same log line and
// notice, the waiting copy renewed from the package unpacked again, and no second
// entry queued.
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
        EXPECT_EQ(Scheduled(s), ExpectedEntry(s, "Qlm_list.dta"));
        s.Stage("Qlm_list.dta", Renewed("Qlm_list.dta"));
        second = s.Run(IDYES);  // reflist.dta is 6935 now: the same-version question
    }

    EXPECT_RUN_ENDED(first);
    EXPECT_RUN_ENDED(second);
    ASSERT_EQ(first.dialogs.size(), 1u) << Describe(first);
    EXPECT_EQ(first.dialogs[0].title, kRebootTitle);
    ASSERT_EQ(second.dialogs.size(), 2u) << Describe(second);
    EXPECT_EQ(second.dialogs[0].title, kConfirmTitle);
    EXPECT_EQ(second.dialogs[1].title, kRebootTitle);
    EXPECT_EQ(Scheduled(s), ExpectedEntry(s, "Qlm_list.dta"));
    EXPECT_EQ(s.StagingFiles(), std::vector<std::string>{"qlm_list.dta"});
    EXPECT_EQ(s.OwnInstallFiles(), std::vector<std::string>{"qlm_list.dta.dupd-new"});
    EXPECT_EQ(ReadFileBytes(Copy(s, "Qlm_list.dta")), Renewed("Qlm_list.dta"));
    EXPECT_EQ(ReadFileBytes(s.Installed("Qlm_list.dta")), InstalledContent("Qlm_list.dta"));
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
    EXPECT_EQ(ReadFileBytes(s.Installed("Qlm_list.dta")), Renewed("Qlm_list.dta")) << "the second run's copy";
    EXPECT_EQ(ReadFileBytes(s.Installed("epack.dta")), StagedContent("epack.dta"));
    EXPECT_EQ(s.StagingFiles(), std::vector<std::string>{"qlm_list.dta"});
    EXPECT_EQ(s.OwnInstallFiles(), kNoFiles);
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
        run = s.Run();
    }
    SetDupdWindowsVersion(nullptr);
    // The copy's short name exists only while the copy does: until the restart.
    source = ShortPath(Copy(s, "Qlmlist3.dta"));

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
    EXPECT_EQ(s.OwnInstallFiles(), std::vector<std::string>{"qlmlist3.dta.dupd-new"});
    EXPECT_EQ(ReadFileBytes(Copy(s, "Qlmlist3.dta")), StagedContent("Qlmlist3.dta"));
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
    EXPECT_EQ(s.StagingFiles(), std::vector<std::string>{"qlmlist3.dta"});
    EXPECT_EQ(s.OwnInstallFiles(), kNoFiles);
    EXPECT_FALSE(PathIsFile(WindowsDir() + "\\wininit.ini")) << "carried out and put aside";
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
    EXPECT_EQ(Scheduled(s), ExpectedEntry(s, "epack.dta"));
    EXPECT_EQ(s.StagingFiles(), std::vector<std::string>{"epack.dta"});
    EXPECT_EQ(s.OwnInstallFiles(), std::vector<std::string>{"epack.dta.dupd-new"});
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
    EXPECT_EQ(s.StagingFiles(), std::vector<std::string>{"epack.dta"});
    EXPECT_EQ(s.OwnInstallFiles(), kNoFiles);
    EXPECT_TRUE(Scheduled(s).empty());
}

// Two runs before one restart, the file in use at the first and free at the
// second: the second places it at once, and the earlier entry, whose copy is gone
// then, does nothing at the restart.
TEST_F(Restart, FileFreedBeforeTheSecondRunIsPlacedAtOnce)
{
    Scenario s("FreedBeforeSecondRun");
    InstallProduct(s, {"Qlm_list.dta", "epack.dta"});
    s.Stage({"Qlm_list.dta", "Reflist.dta", "epack.dta"});
    RunOutcome first;
    {
        HeldFile held(s.Installed("Qlm_list.dta"));
        ASSERT_TRUE(held.Held());
        first = s.Run();
    }
    EXPECT_EQ(Scheduled(s), ExpectedEntry(s, "Qlm_list.dta"));
    const RunOutcome second = s.Run(IDYES);

    EXPECT_RUN_ENDED(first);
    EXPECT_RUN_ENDED(second);
    ASSERT_EQ(first.dialogs.size(), 1u) << Describe(first);
    EXPECT_EQ(first.dialogs[0].title, kRebootTitle);
    ASSERT_EQ(second.dialogs.size(), 1u) << "no restart notice\n" << Describe(second);
    EXPECT_EQ(second.dialogs[0].title, kConfirmTitle);
    EXPECT_EQ(ReadFileBytes(s.Installed("Qlm_list.dta")), StagedContent("Qlm_list.dta"));
    EXPECT_EQ(s.InstallFiles(), (std::vector<std::string>{"epack.dta", "qlm_list.dta", "reflist.dta"}));
    EXPECT_FALSE(PathIsDirectory(s.staging));
    const auto log = CrLfLines(s.Log().value_or(""));
    std::size_t next = 0;
    EXPECT_EQ(RunBlock(log, 0, &next), (std::vector<std::string>{StartLine(), InstallLine("qlm_list.dta")}));
    EXPECT_EQ(RunBlock(log, next), (std::vector<std::string>{StartLine(), InstallLine("qlm_list.dta"),
                                                             DeferredLine("Qlm_list.dta"),
                                                             InstallLine("reflist.dta"), InstallLine("epack.dta")}));
}

TEST_F(AfterRestart, FileFreedBeforeTheSecondRunIsPlacedAtOnce)
{
    Scenario s("FreedBeforeSecondRun", false);
    for (const char* n : {"Qlm_list.dta", "Reflist.dta", "epack.dta"})
        EXPECT_EQ(ReadFileBytes(s.Installed(n)), StagedContent(n)) << n;
    EXPECT_EQ(s.InstallFiles(), (std::vector<std::string>{"epack.dta", "qlm_list.dta", "reflist.dta"}));
    EXPECT_FALSE(PathIsDirectory(s.staging));
    EXPECT_TRUE(Scheduled(s).empty());
}

// A second run before the restart that the user declines throws the package away,
// but not the copy that waits for the restart beside the file held at the first
// run. On the Windows 98 setting this runs after the test above that starts
// wininit.ini afresh, and adds to it.
struct DeclinedCase {
    const char* scenario;
    const char* version;  // Wine's setting for dupd.exe, nullptr for the default
};
const DeclinedCase kDeclined[] = {{"DeclinedSecondRun", nullptr}, {"DeclinedSecondRun98", "win98"}};

TEST_F(Restart, DeclinedSecondRunKeepsTheWaitingCopy)
{
    for (const DeclinedCase& c : kDeclined) {
        SCOPED_TRACE(c.scenario);
        const bool win98 = c.version != nullptr;
        Scenario s(c.scenario);
        InstallProduct(s, {"Qlm_list.dta", "epack.dta"});
        s.Stage({"Qlm_list.dta", "Reflist.dta", "epack.dta"});
        SetDupdWindowsVersion(c.version);
        RunOutcome first;
        {
            HeldFile held(s.Installed("Qlm_list.dta"));
            ASSERT_TRUE(held.Held());
            first = s.Run();
        }
        const std::string target = ShortPath(s.Installed("Qlm_list.dta"));
        const std::string copy = ShortPath(Copy(s, "Qlm_list.dta"));
        const RunOutcome second = s.Run(IDNO);  // reflist.dta is 6935 now
        SetDupdWindowsVersion(nullptr);

        EXPECT_RUN_ENDED(first);
        EXPECT_RUN_ENDED(second);
        ASSERT_EQ(first.dialogs.size(), 1u) << Describe(first);
        EXPECT_EQ(first.dialogs[0].title, kRebootTitle);
        ASSERT_EQ(second.dialogs.size(), 2u) << Describe(second);
        EXPECT_EQ(second.dialogs[0].title, kConfirmTitle);
        ExpectComponentMessage(second.dialogs[1], kInformationTitle, "Update Aborted", kOkButton);
        EXPECT_FALSE(PathIsDirectory(s.staging));
        EXPECT_EQ(ReadFileBytes(s.Installed("Qlm_list.dta")), InstalledContent("Qlm_list.dta"));
        EXPECT_EQ(ReadFileBytes(Copy(s, "Qlm_list.dta")), StagedContent("Qlm_list.dta"));
        if (win98) {
            ASSERT_FALSE(target.empty());
            ASSERT_FALSE(copy.empty());
            const auto lines = CrLfLines(ReadFileBytes(WindowsDir() + "\\wininit.ini").value_or(""));
            const auto deletion = std::find(lines.begin(), lines.end(), "nul=" + target);
            ASSERT_NE(deletion, lines.end()) << "no deletion of " << target << " in wininit.ini";
            ASSERT_NE(deletion + 1, lines.end());
            EXPECT_EQ(deletion[1], target + "=" + copy);
            EXPECT_TRUE(Scheduled(s).empty());
        } else {
            EXPECT_EQ(Scheduled(s), ExpectedEntry(s, "Qlm_list.dta"));
        }
        const auto log = CrLfLines(ReadFileBytes(win98 ? s.Installed("UPDLOG.TXT") : s.logDir + "\\UPDLOG.TXT")
                                       .value_or(""));
        std::size_t next = 0;
        EXPECT_EQ(RunBlock(log, 0, &next),
                  (std::vector<std::string>{StartLine(), InstallLine("qlm_list.dta"), DeferredLine("Qlm_list.dta"),
                                            InstallLine("reflist.dta"), InstallLine("epack.dta")}));
        EXPECT_EQ(next, log.size()) << "the declined run logs nothing";
    }
}

TEST_F(AfterRestart, DeclinedSecondRunKeepsTheWaitingCopy)
{
    for (const DeclinedCase& c : kDeclined) {
        SCOPED_TRACE(c.scenario);
        Scenario s(c.scenario, false);
        for (const char* n : {"Qlm_list.dta", "Reflist.dta", "epack.dta"})
            EXPECT_EQ(ReadFileBytes(s.Installed(n)), StagedContent(n)) << n;
        EXPECT_EQ(s.OwnInstallFiles(), kNoFiles);
        EXPECT_TRUE(Scheduled(s).empty());
        EXPECT_FALSE(PathIsDirectory(s.staging));
    }
}

// ---------------------------------------------------------------- a run killed midway

// Every name of the staged set, in the order of placement.
std::vector<std::string> WholeSet()
{
    std::vector<std::string> names = {"Qlm_list.dta"};
    for (int n = 2; n <= 50; ++n) names.push_back("Qlmlist" + std::to_string(n) + ".dta");
    for (const char* n : {"Reflist.dta", "epack.dta", "qmweb.dta"}) names.push_back(n);
    return names;
}

// A few hundred KB per file, so that placing the whole set takes long enough to be
// cut off in the middle of a copy.
std::string Large(const std::string& head)
{
    static const std::string filler = [] {
        std::string f;
        for (int i = 0; f.size() < 300 * 1024; ++i) f += "database record " + std::to_string(i) + "\r\n";
        return f;
    }();
    return head + filler;
}

enum class Content { Old, New, Other };

Content WholeContentOf(const Scenario& s, const std::string& name)
{
    const auto bytes = ReadFileBytes(s.Installed(name));
    if (bytes == Large(InstalledContent(name))) return Content::Old;
    if (bytes == Large(StagedContent(name))) return Content::New;
    return Content::Other;
}

// Every file that the installation had stands under its own name, whole, with
// its old or its new content (or the new one alone with `allNew`); beside the
// updater's own files nothing else is there. Gives the number of new files.
std::size_t ExpectEveryFileWhole(const Scenario& s, bool allNew)
{
    std::vector<std::string> names, found;
    for (const auto& n : WholeSet()) names.push_back(Lowered(n));
    std::sort(names.begin(), names.end());
    for (const auto& n : s.InstallFiles())
        if (n.find(".dupd-") == std::string::npos) found.push_back(n);
    EXPECT_EQ(found, names);
    std::size_t fresh = 0;
    for (const auto& n : WholeSet()) {
        const Content c = WholeContentOf(s, n);
        if (c == Content::New) ++fresh;
        if (allNew)
            EXPECT_EQ(c, Content::New) << n;
        else
            EXPECT_NE(c, Content::Other) << n << " is neither the whole old file nor the whole new one";
    }
    return fresh;
}

const std::string kEarlierLog = "[01/02/2020 10:00:00] an earlier run\r\n" + kDashLine + "\r\n\r\n";

struct KilledCase {
    const char* scenario;
    // The next run gets the package unpacked afresh, rather than what the killed run
    // left of it in the staging folder.
    bool freshPackage;
    // Killed once a copy of this file of the set, or of a later one, shows up.
    std::size_t killFrom;
};
const KilledCase kKilled[] = {{"KilledRunLeftovers", false, 25}, {"KilledRunFreshPackage", true, 0}};

// Where in the set the placement has got to by the updater's own files: the
// furthest one's position, or nothing.
std::optional<std::size_t> PlacingNow(const Scenario& s)
{
    std::optional<std::size_t> at;
    const auto names = WholeSet();
    for (const auto& own : s.OwnInstallFiles())
        for (std::size_t i = 0; i < names.size(); ++i)
            if (own.rfind(Lowered(names[i]) + ".", 0) == 0 && (!at || i > *at)) at = i;
    return at;
}

// dupd.exe ended outright while it places a large package, then run again: at the
// instant of the kill and after the next run every installed file is whole, old or
// new, and the next run removes whatever the killed one left beside them, also
// when it ends at once because the killed run had already placed Qlm_list.dta
// (the package counts as corrupt without it).
TEST_F(Restart, RunKilledMidwayIsPutRightByTheNextRun)
{
    for (const KilledCase& c : kKilled) {
        SCOPED_TRACE(c.scenario);
        const auto reachedKillPoint = [&c](const Scenario& s) {
            const auto at = PlacingNow(s);
            return at && *at >= c.killFrom;
        };
        Scenario s(c.scenario);
        std::vector<std::string> landed;
        for (int attempt = 1; attempt <= 4; ++attempt) {
            if (attempt > 1) s = Scenario(c.scenario);
            s.RegisterProduct();
            s.CreateLogFolder();
            s.WriteLog(kEarlierLog);
            for (const auto& n : WholeSet()) {
                s.Install(n, Large(InstalledContent(n)));
                s.Stage(n, Large(StagedContent(n)));
            }
            ASSERT_TRUE(s.RunKilledWhen([&] { return reachedKillPoint(s); })) << "it ended before the kill";
            landed = s.OwnInstallFiles();
            const std::size_t fresh = ExpectEveryFileWhole(s, false);
            std::string seen;
            for (const auto& n : landed) seen += " " + n;
            std::printf("[ killed   ] %s, try %d: %zu of %zu files new, beside them:%s\n", c.scenario, attempt,
                        fresh, WholeSet().size(), seen.empty() ? " nothing" : seen.c_str());
            // Mid-copy is where it should land; between two files it is worth less.
            if (!landed.empty()) break;
        }
        EXPECT_EQ(s.Log(), kEarlierLog) << "the killed run never merged its lines";

        if (c.freshPackage) {
            MakeDirs(s.staging);
            for (const auto& n : WholeSet()) s.Stage(n, Large(StagedContent(n)));
        }
        const RunOutcome run = s.Run(IDYES);

        EXPECT_RUN_ENDED(run);
        ExpectEveryFileWhole(s, c.freshPackage);
        EXPECT_EQ(s.OwnInstallFiles(), kNoFiles) << "left by the killed run";
        EXPECT_TRUE(Scheduled(s).empty());
        const std::string log = s.Log().value_or("");
        ASSERT_GE(log.size(), kEarlierLog.size());
        EXPECT_EQ(log.substr(log.size() - kEarlierLog.size()), kEarlierLog);
        if (c.freshPackage) {
            for (const auto& d : run.dialogs) EXPECT_EQ(d.title, kConfirmTitle) << Describe(run);
            std::vector<std::string> block = {StartLine()};
            for (const auto& n : WholeSet())
                block.push_back(n == "qmweb.dta" ? ServerLine() : InstallLine(Lowered(n)));
            EXPECT_EQ(RunBlock(CrLfLines(log), 0), block);
            EXPECT_FALSE(PathIsDirectory(s.staging));
        } else {
            ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
            ExpectComponentMessage(run.dialogs[0], kErrorTitle, "Database Update is corrupt", kAbortButton);
            EXPECT_EQ(log, kEarlierLog);
        }
    }
}

TEST_F(AfterRestart, RunKilledMidwayIsPutRightByTheNextRun)
{
    for (const KilledCase& c : kKilled) {
        SCOPED_TRACE(c.scenario);
        Scenario s(c.scenario, false);
        ExpectEveryFileWhole(s, c.freshPackage);
        EXPECT_EQ(s.OwnInstallFiles(), kNoFiles);
        EXPECT_TRUE(Scheduled(s).empty());
    }
}

}  // namespace
}  // namespace e2e
