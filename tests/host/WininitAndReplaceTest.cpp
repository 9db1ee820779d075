#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "install/SafeReplace.h"
#include "install/Wininit.h"

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
    const std::string fresh = "C:\\qm\\a.dta.dupd-part";
    const std::string target = "C:\\qm\\a.dta";
    void SetUp() override { fs.AddFile(fresh, "new"); }
};

TEST_F(ReplaceFileTest, ReplacesOrCreatesTheTargetOnBothPlatformsAndLeavesNothingBeside)
{
    for (bool nt : {true, false}) {
        for (bool existed : {true, false}) {
            SetUp();
            if (existed) fs.AddFile(target, "old");
            EXPECT_EQ(ReplaceWhole(fs, nt, fresh, target), ReplaceOutcome::Replaced) << nt << existed;
            EXPECT_EQ(fs.Content(target), "new");
            EXPECT_EQ(fs.files.size(), 1u) << nt << existed;
        }
    }
}

TEST_F(ReplaceFileTest, BusyOrReadOnlyTargetIsLeftUntouchedWithTheNewFileUnderItsName)
{
    for (bool nt : {true, false}) {
        for (bool readOnly : {false, true}) {
            auto& old = fs.AddFile(target, "old");
            old.inUse = !readOnly;
            old.readOnly = readOnly;
            EXPECT_EQ(ReplaceWhole(fs, nt, fresh, target), ReplaceOutcome::TargetBusy) << nt << readOnly;
            EXPECT_EQ(fs.Content(target), "old");
            EXPECT_EQ(fs.Content(fresh), "new");
            EXPECT_EQ(fs.files.size(), 2u);
        }
    }
}

// A copy is whole or absent: a read that stops short, a failed write or a failed
// flush leaves nothing under the copy's name.
TEST(CopyWhole, LeavesNothingWhenTheCopyIsNotWhole)
{
    struct ShortReads : fake::FakeFileSystem {
        std::unique_ptr<IReadStream> OpenRead(const std::string&) override
        {
            struct Cut : IReadStream {
                bool given = false;
                bool Read(char* b, std::size_t, std::size_t& got) override
                {
                    got = given ? 0 : 1;
                    if (!given) b[0] = 'n';
                    given = true;
                    return true;
                }
                std::optional<std::uint64_t> Size() override { return 3; }
            };
            return std::make_unique<Cut>();
        }
    } cut;
    cut.AddFile("C:\\s\\a.dta", "new");
    cut.AddFolder("C:\\qm");
    EXPECT_FALSE(CopyWhole(cut, "C:\\s\\a.dta", "C:\\qm\\a.dta.dupd-part"));
    EXPECT_FALSE(cut.Has("C:\\qm\\a.dta.dupd-part"));

    fake::FakeFileSystem fs;
    fs.AddFile("C:\\s\\a.dta", "new");
    fs.AddFolder("C:\\qm");
    fs.failWritesTo.insert(fake::NormalPath("C:\\qm\\a.dta.dupd-part"));
    EXPECT_FALSE(CopyWhole(fs, "C:\\s\\a.dta", "C:\\qm\\a.dta.dupd-part"));
    EXPECT_FALSE(fs.Has("C:\\qm\\a.dta.dupd-part"));
    fs.failWritesTo.clear();
    EXPECT_TRUE(CopyWhole(fs, "C:\\s\\a.dta", "C:\\qm\\a.dta.dupd-part"));
    EXPECT_EQ(fs.Content("C:\\qm\\a.dta.dupd-part"), "new");
}

// Each leftover of an interrupted replacement, with and without its target: what
// the next run makes of it.
TEST(RecoverLeftovers, PutsEveryLeftoverRightByItsRule)
{
    struct Case {
        const char* suffix;
        bool targetThere;
        bool pending;
        const char* targetAfter;  // nullptr: absent
        bool leftoverStays;
    };
    const Case cases[] = {
        {".dupd-part", true, false, "old", false},  {".dupd-part", false, false, nullptr, false},
        {".dupd-new", true, false, "old", false},   {".dupd-new", false, false, "left", false},
        {".dupd-new", true, true, "old", true},     {".dupd-new", false, true, nullptr, true},
        {".dupd-old", true, false, "old", false},   {".dupd-old", false, false, "left", false},
        {".DUPD-NEW", false, false, "left", false},
    };
    for (const Case& c : cases) {
        fake::FakeFileSystem fs;
        const std::string target = "C:\\qm\\Qlmlist23.dta";
        const std::string leftover = "C:\\qm\\QLMLIST23.DTA" + std::string(c.suffix);
        fs.AddFile(leftover, "left");
        fs.AddFile("C:\\qm\\other.dta.dupd-new", "not ours");
        if (c.targetThere) fs.AddFile(target, "old");
        RecoverLeftovers(fs, "C:\\qm", {"Qlmlist23.dta"},
                         [&](const std::string&, const std::string&) { return c.pending; });
        const std::string label = std::string(c.suffix) + (c.targetThere ? " beside" : " alone") +
                                  (c.pending ? " pending" : "");
        if (c.targetAfter)
            EXPECT_EQ(fs.files.count(fake::NormalPath(target)) ? fs.Content(target) : "(none)", c.targetAfter)
                << label;
        else
            EXPECT_FALSE(fs.Has(target)) << label;
        EXPECT_EQ(fs.Has(leftover), c.leftoverStays) << label;
        EXPECT_TRUE(fs.Has("C:\\qm\\other.dta.dupd-new")) << label;
    }
}

}  // namespace
}  // namespace dupd
