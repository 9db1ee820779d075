// What another program of the user can plant where the elevated dupd.exe reads and
// writes: links in the log and staging folders, a staged file swapped before the
// restart, an AppPath that names the Windows folder. Unix symbolic links stand in
// for junctions and links.
#include <gtest/gtest.h>

#include "Expectations.h"
#include "Scenario.h"

namespace e2e {
namespace {

const std::string kEarlierLog = "[01/02/2020 10:00:00] an earlier run\r\n" + kDashLine + "\r\n\r\n";

class Trust : public ::testing::Test {
protected:
    void TearDown() override { SetDupdWindowsVersion(nullptr); }

    // Scenario's own clean-up would follow the links that an earlier run of the
    // tests left there.
    static Scenario Fresh(const std::string& name)
    {
        EXPECT_TRUE(RemoveFromUnix("C:\\e2e\\" + name, "C:\\e2e"));
        return Scenario(name);
    }

    static void InstallProduct(Scenario& s, const std::vector<std::string>& oldFiles)
    {
        s.RegisterProduct();
        s.InstallVersion("6934");
        s.Install(oldFiles);
        s.CreateLogFolder();
    }

};

class TrustAfterRestart : public Trust {};

// UPDLOG.TMP leads to a file that the user may not write: the run neither writes
// through the link nor removes it (Wine would remove what it leads to), and keeps
// no log this time.
TEST_F(Trust, LogTmpLinkedElsewhereLeavesThatFileAlone)
{
    Scenario s = Fresh("LogTmpLinked");
    InstallProduct(s, {"Qlm_list.dta", "epack.dta"});
    s.WriteLog(kEarlierLog);
    const std::string victim = s.root + "\\victim.ini";
    const std::string victimBytes = "[boot]\r\nshell=explorer.exe\r\n";
    WriteFileBytes(victim, victimBytes);
    ASSERT_TRUE(MakeUnixSymlink(s.logDir + "\\UPDLOG.TMP", victim));
    ASSERT_EQ(ReadFileBytes(s.logDir + "\\UPDLOG.TMP"), victimBytes) << "the link leads to the file";
    s.Stage({"Qlm_list.dta", "epack.dta"});

    const RunOutcome run = s.Run();

    EXPECT_RUN_ENDED(run);
    EXPECT_TRUE(run.dialogs.empty()) << Describe(run);
    EXPECT_EQ(ReadFileBytes(victim), victimBytes) << "the file the link led to";
    for (const char* n : {"Qlm_list.dta", "epack.dta"}) EXPECT_EQ(ReadFileBytes(s.Installed(n)), StagedContent(n)) << n;
    EXPECT_EQ(s.Log(), kEarlierLog) << "no log this time";
    EXPECT_EQ(ReadFileBytes(s.logDir + "\\UPDLOG.TMP"), victimBytes) << "the link stands as it was";
}

// UPDLOG.TXT is a second name of a file that the user may not read: the run
// neither copies that file into its log nor replaces it, and keeps no log this time.
TEST_F(Trust, LogWithASecondNameIsNeitherReadNorReplaced)
{
    Scenario s = Fresh("LogHardLinked");
    InstallProduct(s, {"Qlm_list.dta"});
    const std::string secret = s.root + "\\secret.ini";
    const std::string secretBytes = "[account]\r\npassword=hunter2\r\n";
    WriteFileBytes(secret, secretBytes);
    ASSERT_TRUE(CreateHardLinkA((s.logDir + "\\UPDLOG.TXT").c_str(), secret.c_str(), nullptr)) << GetLastError();
    s.Stage({"Qlm_list.dta"});

    const RunOutcome run = s.Run();

    EXPECT_RUN_ENDED(run);
    EXPECT_TRUE(run.dialogs.empty()) << Describe(run);
    EXPECT_EQ(ReadFileBytes(s.Installed("Qlm_list.dta")), StagedContent("Qlm_list.dta"));
    EXPECT_EQ(ReadFileBytes(secret), secretBytes);
    EXPECT_EQ(s.Log(), secretBytes) << "still the other file's second name";
    EXPECT_EQ(FilesIn(s.logDir), std::vector<std::string>{"updlog.txt"});
}

// The staging folder, or the folder above it, is a link. Into the installation
// folder: the installed reflist.dta is newer than the update, so that the run once
// said "too old" and threw the "package" away, which were the installed files.
// Elsewhere: a package there is not this user's package. Either way the package
// counts as absent, and nothing is deleted anywhere.
TEST_F(Trust, LinkedStagingFolderCountsAsNoPackage)
{
    enum class Linked { StagingToInstall, ParentElsewhere };
    for (const Linked linked : {Linked::StagingToInstall, Linked::ParentElsewhere}) {
        const bool toInstall = linked == Linked::StagingToInstall;
        SCOPED_TRACE(toInstall ? "staging folder linked to the installation" : "folder above it linked elsewhere");
        Scenario s = Fresh(toInstall ? "StagingLinkedToInstall" : "StagingParentLinked");
        InstallProduct(s, kPackage);
        s.InstallVersion("6936");
        const std::string elsewhere = s.root + "\\Elsewhere";
        ASSERT_TRUE(RemoveDirectoryA(s.staging.c_str()));
        if (toInstall) {
            ASSERT_TRUE(MakeUnixSymlink(s.staging, s.install));
        } else {
            const std::string parent = s.staging.substr(0, s.staging.find_last_of('\\'));
            ASSERT_TRUE(RemoveDirectoryA(parent.c_str()));
            MakeDirs(elsewhere + "\\Dbinst");
            for (const auto& n : kPackage) WriteFileBytes(elsewhere + "\\Dbinst\\" + n, StagedContent(n));
            ASSERT_TRUE(MakeUnixSymlink(parent, elsewhere));
        }
        ASSERT_TRUE(PathIsFile(s.Staged("Qlm_list.dta"))) << "the link leads to a package";
        const auto installBefore = FolderSnapshot(s.install);
        const auto elsewhereBefore = FolderSnapshot(elsewhere + "\\Dbinst");

        const RunOutcome run = s.Run();

        EXPECT_RUN_ENDED(run);
        ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
        ExpectComponentMessage(run.dialogs[0], kErrorTitle, "Database Update is corrupt", kAbortButton);
        EXPECT_EQ(FolderSnapshot(s.install), installBefore);
        EXPECT_EQ(FolderSnapshot(elsewhere + "\\Dbinst"), elsewhereBefore);
        EXPECT_TRUE(PathIsFile(s.Staged("Qlm_list.dta"))) << "the link stays as it was";
        EXPECT_FALSE(s.Log().has_value());
    }
}

// A staged name that leads to another file: neither installed (it would carry that
// file's content into the product) nor deleted (Wine would delete that file).
TEST_F(Trust, StagedLinkToAnotherFileCountsAsAbsent)
{
    Scenario s = Fresh("StagedLink");
    InstallProduct(s, {"Qlm_list.dta", "epack.dta"});
    s.Stage({"Qlm_list.dta"});
    const std::string victim = s.root + "\\system.ini";
    const std::string victimBytes = "[drivers]\r\nwave=mmdrv.dll\r\n";
    WriteFileBytes(victim, victimBytes);
    ASSERT_TRUE(MakeUnixSymlink(s.Staged("epack.dta"), victim));

    const RunOutcome run = s.Run();

    EXPECT_RUN_ENDED(run);
    EXPECT_TRUE(run.dialogs.empty()) << Describe(run);
    EXPECT_EQ(ReadFileBytes(victim), victimBytes);
    EXPECT_EQ(ReadFileBytes(s.Installed("epack.dta")), InstalledContent("epack.dta"));
    EXPECT_EQ(ReadFileBytes(s.Installed("Qlm_list.dta")), StagedContent("Qlm_list.dta"));
    EXPECT_EQ(ReadFileBytes(s.Staged("epack.dta")), victimBytes) << "the link stands as it was";
    const auto log = CrLfLines(s.Log().value_or(""));
    EXPECT_EQ(RunBlock(log, 0), (std::vector<std::string>{StartLine(), InstallLine("qlm_list.dta")}));
}

// Between a run that defers a file in use and the restart, the staged file is
// overwritten: the restart installs what the run copied, never what lies staged.
const std::string kSwapped = "planted after the run\r\n";

TEST_F(Trust, StagedFileSwappedBeforeTheRestartIsNotInstalled)
{
    Scenario s = Fresh("SwappedBeforeRestart");
    InstallProduct(s, {"Qlm_list.dta", "Qlmlist2.dta"});
    s.Stage({"Qlm_list.dta", "Qlmlist2.dta", "Reflist.dta"});
    RunOutcome run;
    {
        HeldFile held(s.Installed("Qlmlist2.dta"));
        ASSERT_TRUE(held.Held());
        run = s.Run();
    }
    s.Stage("Qlmlist2.dta", kSwapped);

    EXPECT_RUN_ENDED(run);
    ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
    EXPECT_EQ(run.dialogs[0].title, kRebootTitle);
    const auto pending = PendingRenamesUnder(s.root);
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(Lowered(pending[0].from), Lowered(s.Installed("Qlmlist2.dta.dupd-new")));
    EXPECT_EQ(Lowered(pending[0].to), Lowered(s.Installed("Qlmlist2.dta")));
    EXPECT_EQ(ReadFileBytes(s.Installed("Qlmlist2.dta.dupd-new")), StagedContent("Qlmlist2.dta"));
    EXPECT_EQ(ReadFileBytes(s.Installed("Qlmlist2.dta")), InstalledContent("Qlmlist2.dta"));
}

TEST_F(TrustAfterRestart, StagedFileSwappedBeforeTheRestartIsNotInstalled)
{
    Scenario s("SwappedBeforeRestart", false);
    EXPECT_EQ(ReadFileBytes(s.Installed("Qlmlist2.dta")), StagedContent("Qlmlist2.dta"));
    EXPECT_EQ(ReadFileBytes(s.Staged("Qlmlist2.dta")), kSwapped) << "left where it was planted";
    EXPECT_EQ(s.OwnInstallFiles(), kNoFiles);
    EXPECT_TRUE(PendingRenamesUnder(s.root).empty());
}

// AppPath that names the Windows folder, a folder inside it, a path without a
// drive, or a folder followed by more text after a NUL: like an unreadable value,
// the package is thrown away, and nothing in the folder named is read, put right
// or deleted.
TEST_F(Trust, UntrustedAppPathIsNoInstallationDirectory)
{
    const std::string windows = WindowsDir();
    struct Case {
        const char* name;
        std::string appPath;
        std::string planted;  // where an expired extra and a half copy lie, "" for none
    };
    const Case cases[] = {
        {"WindowsFolder", windows, windows},
        {"InsideWindows", windows + "\\system32", windows + "\\system32"},
        {"Relative", "e2e\\AppPathRelative\\Quellmark", ""},
        {"TextAfterNul", std::string("C:\\e2e\\AppPathTextAfterNul\\Quellmark") + '\0' + "\\..\\..\\windows", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scenario s = Fresh(std::string("AppPath") + c.name);
        InstallProduct(s, {"Qlm_list.dta", "Qlmlist2.dta"});
        s.InstallExtra(37, "6930");
        s.RegisterProduct(c.appPath);
        s.Stage(kPackage);
        s.Stage("readme.txt", "not part of the database\r\n");
        const std::string extra = c.planted + "\\extra37.dta", half = c.planted + "\\Qlm_list.dta.dupd-part";
        // Gone again however the case ends, and so is what a faulty run put there.
        struct Planted {
            std::vector<std::string> paths;
            ~Planted()
            {
                for (const auto& p : paths) DeleteFileA(p.c_str());
            }
        } planted;
        if (!c.planted.empty()) {
            planted.paths = {extra, half};
            for (const auto& n : kPackage) planted.paths.push_back(c.planted + "\\" + n);
            WriteFileBytes(extra, ExtraWithExpiry("6930"));
            WriteFileBytes(half, "half a copy\r\n");
        }
        const auto installBefore = FolderSnapshot(s.install);

        const RunOutcome run = s.Run();

        EXPECT_RUN_ENDED(run);
        ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
        ExpectComponentMessage(run.dialogs[0], kErrorTitle, "Unable to locate installation directory",
                               kAbortButton);
        EXPECT_EQ(s.StagingFiles(), std::vector<std::string>{"readme.txt"});
        EXPECT_EQ(FolderSnapshot(s.install), installBefore);
        EXPECT_FALSE(s.Log().has_value());
        if (!c.planted.empty()) {
            EXPECT_EQ(ReadFileBytes(extra), ExtraWithExpiry("6930"));
            EXPECT_EQ(ReadFileBytes(half), "half a copy\r\n");
            EXPECT_FALSE(PathIsFile(c.planted + "\\Qlm_list.dta"));
        }
    }
}

}  // namespace
}  // namespace e2e
