#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "winenv/SafeReplace.h"
#include "winenv/Wininit.h"

namespace dupd {
namespace {

using Lines = std::vector<std::string>;

TEST(WininitRename, EntriesGoDirectlyBelowTheFirstHeaderWhateverItsCase)
{
    const Lines before{"; made by setup", "[Settings]", "[Rename]", "NUL=C:\\OLD.TXT", "C:\\A.DTA=C:\\B.DTA", "[rename]"};
    const Lines after = WithWininitRename(before, "C:\\QM\\QLM_LIST.DTA", "C:\\STAGE\\QLM_LIST.DTA");

    const Lines expected{"; made by setup",
                         "[Settings]",
                         "[Rename]",
                         "nul=C:\\QM\\QLM_LIST.DTA",
                         "C:\\QM\\QLM_LIST.DTA=C:\\STAGE\\QLM_LIST.DTA",
                         "NUL=C:\\OLD.TXT",
                         "C:\\A.DTA=C:\\B.DTA",
                         "[rename]"};
    EXPECT_EQ(after, expected);
}

TEST(WininitRename, HeaderWithBlanksIsNotAHeaderSoTheSectionIsAppended)
{
    const Lines before{" [rename]", "[rename] ", "x=y"};
    const Lines after = WithWininitRename(before, "T", "S");
    EXPECT_EQ(after, (Lines{" [rename]", "[rename] ", "x=y", "[rename]", "nul=T", "T=S"}));
}

TEST(WininitRename, EmptyFileGetsTheWholeSection)
{
    EXPECT_EQ(WithWininitRename({}, "T", "S"), (Lines{"[rename]", "nul=T", "T=S"}));
}

TEST(WininitRename, SecondFileStandsAboveTheFirst)
{
    Lines lines = WithWininitRename({}, "T1", "S1");
    lines = WithWininitRename(lines, "T2", "S2");
    EXPECT_EQ(lines, (Lines{"[rename]", "nul=T2", "T2=S2", "nul=T1", "T1=S1"}));
}

TEST(WininitRename, KnowsAPendingMoveOnlyInsideARenameSection)
{
    const Lines lines{"[boot]", "C:\\T=C:\\S", "[RENAME]", "nul=c:\\t", "c:\\t=c:\\s"};
    EXPECT_TRUE(HasWininitRename(lines, "C:\\T", "C:\\S"));
    EXPECT_FALSE(HasWininitRename(lines, "C:\\T", "C:\\OTHER"));
    EXPECT_FALSE(HasWininitRename({"[boot]", "C:\\T=C:\\S"}, "C:\\T", "C:\\S"));
}

TEST(WininitRename, WindowsFolderAtADriveRootLosesItsBackslash)
{
    EXPECT_EQ(TrimWindowsDir("C:\\"), "C:");
    EXPECT_EQ(TrimWindowsDir("C:\\WINDOWS"), "C:\\WINDOWS");
    EXPECT_EQ(TrimWindowsDir(""), "");
}

class ReplaceFileTest : public ::testing::Test {
protected:
    fake::FakeFileSystem fs;
    const std::string source = "C:\\stage\\a.dta";
    const std::string target = "C:\\qm\\a.dta";
    void SetUp() override
    {
        fs.AddFile(source, "new");
        fs.AddFolder("C:\\qm");
    }
};

TEST_F(ReplaceFileTest, ReplacesAnExistingFileAndLeavesNoBackup)
{
    fs.AddFile(target, "old");
    EXPECT_EQ(ReplaceFileKeepingOld(fs, source, target), ReplaceOutcome::Replaced);
    EXPECT_EQ(fs.Content(target), "new");
    EXPECT_FALSE(fs.Has(source));
    EXPECT_EQ(fs.files.size(), 1u);
}

TEST_F(ReplaceFileTest, MissingTargetIsSimplyCreated)
{
    EXPECT_EQ(ReplaceFileKeepingOld(fs, source, target), ReplaceOutcome::Replaced);
    EXPECT_EQ(fs.Content(target), "new");
}

TEST_F(ReplaceFileTest, FailedMoveBringsTheOldFileBack)
{
    fs.AddFile(target, "old");
    fs.failMovesFrom.insert(fake::NormalPath(source));
    EXPECT_EQ(ReplaceFileKeepingOld(fs, source, target), ReplaceOutcome::MoveFailed);
    EXPECT_EQ(fs.Content(target), "old");
    EXPECT_EQ(fs.Content(source), "new");
    EXPECT_EQ(fs.files.size(), 2u);
}

TEST_F(ReplaceFileTest, BusyOrReadOnlyTargetIsLeftUntouched)
{
    for (bool readOnly : {false, true}) {
        auto& old = fs.AddFile(target, "old");
        old.inUse = !readOnly;
        old.readOnly = readOnly;
        EXPECT_EQ(ReplaceFileKeepingOld(fs, source, target), ReplaceOutcome::TargetBusy) << readOnly;
        EXPECT_EQ(fs.Content(target), "old");
        EXPECT_EQ(fs.Content(source), "new");
        EXPECT_EQ(fs.files.size(), 2u);
    }
}

TEST_F(ReplaceFileTest, StaleBackupFromAnInterruptedRunIsNoObstacle)
{
    fs.AddFile(target, "old");
    fs.AddFile(target + ".dupd-old", "stale").inUse = true;
    EXPECT_EQ(ReplaceFileKeepingOld(fs, source, target), ReplaceOutcome::Replaced);
    EXPECT_EQ(fs.Content(target), "new");
    EXPECT_TRUE(fs.Has(target + ".dupd-old"));
    EXPECT_FALSE(fs.Has(target + ".dupd-old1"));
}

}  // namespace
}  // namespace dupd
