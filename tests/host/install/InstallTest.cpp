// The installing room against the in-memory file system: the [rename] edit and
// the two restart queues, placing one file, replacing a file whole, the recovery
// of leftovers, and what the elevated run trusts.
#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "dbversion/TextLines.h"
#include "install/PackageManifest.h"
#include "install/Placement.h"
#include "install/Recovery.h"
#include "install/RestartQueue.h"
#include "install/SafeReplace.h"
#include "install/Trust.h"
#include "install/Wininit.h"

namespace dupd {
namespace {

using Lines = std::vector<std::string>;
const std::string kStaging = "C:\\Users\\ann\\AppData\\Roaming\\Ostravane\\Dbinst";
const std::string kAppPath = "C:\\Program Files\\Quellmark";
const std::string kTarget = kAppPath + "\\Qlm_list.dta";
const std::string kCopy = kTarget + ".dupd-new";
const std::string kWininit = "C:\\WINDOWS\\wininit.ini";

// ---------------------------------------------------------------- what waits for the restart

TEST(WininitRename, EntriesGoDirectlyBelowTheFirstHeaderWhateverItsCase)
{
    const Lines before{"; made by setup", "[Settings]", "[Rename]", "NUL=C:\\OLD.TXT", "C:\\A.DTA=C:\\B.DTA", "[rename]"};
    const Lines after = WithWininitRename(before, "C:\\QM\\QLM_LIST.DTA", "C:\\STAGE\\QLM_LIST.DTA");

    const Lines expected{"; made by setup", "[Settings]", "[Rename]", "nul=C:\\QM\\QLM_LIST.DTA",
                         "C:\\QM\\QLM_LIST.DTA=C:\\STAGE\\QLM_LIST.DTA", "NUL=C:\\OLD.TXT", "C:\\A.DTA=C:\\B.DTA",
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

// The system keeps full paths: a target spelt with dots is the same file, and is
// queued once.
TEST(PendingRenameQueue, AnEntryIsKnownAgainHoweverThePathWasSpelt)
{
    fake::FakeFileSystem fs;
    fs.AddFile(kCopy, "new");
    const auto queue = MakeRestartQueue(fs, true);
    const std::string dotted = "C:\\Program Files\\.\\x\\..\\Quellmark\\Qlm_list.dta";
    EXPECT_TRUE(queue->Add(dotted + ".dupd-new", dotted));
    ASSERT_EQ(fs.pending.size(), 1u);
    EXPECT_EQ(fs.pending[0].to, kTarget);
    EXPECT_TRUE(queue->Add(kCopy, kTarget));
    EXPECT_EQ(fs.pending.size(), 1u);
    EXPECT_EQ(queue->Awaits(kCopy, dotted), Waiting::Yes);
}

TEST(WininitQueue, AWininitOfManyLinesKeepsEveryLine)
{
    fake::FakeFileSystem fs;
    std::string text;
    for (int i = 0; i < 70000; ++i) text += "k" + std::to_string(i) + "=v\r\n";
    fs.AddFile(kWininit, text);
    EXPECT_TRUE(MakeRestartQueue(fs, false)->Add(kCopy, kTarget));
    const auto lines = SplitTextLines(fs.Content(kWininit));
    ASSERT_EQ(lines.size(), 70003u);
    EXPECT_EQ(lines[69999], "k69999=v");
    EXPECT_EQ(lines[70000], "[rename]");
}

// ---------------------------------------------------------------- placing one file

// A machine with the installation folder and the staged main file.
fake::FakeFileSystem Machine(const std::string& staged = "new")
{
    fake::FakeFileSystem fs;
    fs.AddFolder(kAppPath);
    fs.AddFolder("C:\\WINDOWS");
    fs.AddFile(kStaging + "\\Qlm_list.dta", staged);
    return fs;
}

PlaceOutcome Place(fake::FakeFileSystem& fs, bool nt)
{
    const auto queue = MakeRestartQueue(fs, nt);
    return TPlacement(fs, *queue, nt).Place(kAppPath, kStaging, "Qlm_list.dta");
}

TEST(Placement, ReadOnlyInstalledFileIsReplacedInPlace)
{
    for (bool nt : {true, false}) {
        auto fs = Machine();
        fs.AddFile(kTarget, "old").readOnly = true;
        EXPECT_EQ(Place(fs, nt).kind, PlaceOutcome::Placed) << nt;
        EXPECT_EQ(fs.Content(kTarget), "new") << nt;
        EXPECT_FALSE(fs.IsReadOnly(kTarget)) << nt;
        EXPECT_FALSE(fs.Has(kStaging + "\\Qlm_list.dta")) << nt;
    }
}

TEST(Placement, SecondRunBeforeTheRestartRenewsTheCopyAndKeepsOneEntry)
{
    auto fs = Machine();
    fs.AddFile(kTarget, "old").inUse = true;
    EXPECT_EQ(Place(fs, true).kind, PlaceOutcome::Deferred);
    fs.AddFile(kStaging + "\\Qlm_list.dta", "newer");
    EXPECT_EQ(Place(fs, true).kind, PlaceOutcome::Deferred);
    EXPECT_EQ(fs.pending.size(), 1u);
    EXPECT_EQ(fs.Content(kCopy), "newer");
    fs.Restart();
    EXPECT_EQ(fs.Content(kTarget), "newer");
}

// A wininit.ini that cannot be read whole is left as it is, and the file is not
// placed: a pair in it may delete whatever stands at the restart. A 0x1A byte ends
// the text for the line reader, so a rewrite would drop every line after it.
TEST(Placement, On9xAWininitThatCannotBeReadWholeIsLeftAlone)
{
    for (bool failedRead : {true, false}) {
        auto fs = Machine();
        fs.AddFile(kTarget, "old").inUse = true;
        const std::string text = failedRead ? "[rename]\r\n" + std::string(70000 * 4, 'x')
                                            : "[rename]\r\nnul=C:\\A.TMP\r\n\x1A\r\nnul=C:\\B.TMP\r\n";
        fs.AddFile(kWininit, text);
        if (failedRead) fs.failReadsOf.insert(fake::NormalPath(kWininit));
        const PlaceOutcome outcome = Place(fs, false);
        EXPECT_EQ(outcome.kind, PlaceOutcome::NotQueued) << failedRead;
        EXPECT_EQ(outcome.error, 13u) << failedRead;  // ERROR_INVALID_DATA
        EXPECT_EQ(outcome.errorText, "Error 13.") << failedRead;
        EXPECT_EQ(fs.Content(kWininit), text) << failedRead;
        EXPECT_FALSE(fs.Has(kCopy)) << failedRead;
    }
}

// A stamped program checks the package, then copies each file: a staged file
// swapped in between gives a copy that is not the checked bytes, which is never
// renamed on, now or at the restart. The checked bytes still go through.
TEST(Placement, ACopyThatIsNotTheCheckedBytesIsNeverMovedOn)
{
    for (const bool nt : {true, false}) {
        for (const bool inUse : {false, true}) {
            auto fs = Machine("checked");
            const ManifestEntry checked = *DescribeFile(fs, kStaging + "\\Qlm_list.dta", "Qlm_list.dta");
            fs.AddFile(kTarget, "old").inUse = inUse;
            fs.AddFile(kStaging + "\\Qlm_list.dta", "swapped");
            const auto queue = MakeRestartQueue(fs, nt);
            TPlacement placement(fs, *queue, nt);
            const std::string what = std::string(nt ? "NT" : "9x") + (inUse ? ", in use" : "");

            EXPECT_EQ(placement.Place(kAppPath, kStaging, "Qlm_list.dta", &checked).kind, PlaceOutcome::NotMoved)
                << what;
            EXPECT_EQ(fs.Content(kTarget), "old") << what;
            EXPECT_FALSE(fs.Has(kCopy) || fs.Has(kTarget + ".dupd-part")) << what;
            EXPECT_TRUE(fs.pending.empty() && !fs.Has(kWininit)) << what;
            EXPECT_TRUE(fs.Has(kStaging + "\\Qlm_list.dta")) << what;

            fs.AddFile(kStaging + "\\Qlm_list.dta", "checked");
            EXPECT_EQ(placement.Place(kAppPath, kStaging, "Qlm_list.dta", &checked).kind,
                      inUse ? PlaceOutcome::Deferred : PlaceOutcome::Placed)
                << what;
            EXPECT_EQ(fs.Content(inUse ? kCopy : kTarget), "checked") << what;
        }
    }
}

// ---------------------------------------------------------------- replacing a file whole

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

// ---------------------------------------------------------------- leftovers of an interrupted run

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

// The copies that the restart queue awaits are kept on both families; on 9x an
// interrupted rewrite of wininit.ini is put right first, so that its pairs count.
TEST(RecoverInterruptedRun, KeepsTheCopiesTheRestartQueueAwaits)
{
    for (bool nt : {true, false}) {
        auto fs = Machine();
        for (const char* name : {"a.dta", "b.dta"}) fs.AddFile(kAppPath + "\\" + name, "old");
        fs.AddFile(kAppPath + "\\a.dta.dupd-new", "awaited");
        fs.AddFile(kAppPath + "\\b.dta.dupd-new", "stale");
        const std::string a = kAppPath + "\\a.dta";
        if (nt) fs.pending = {{a + ".dupd-new", a, true}};
        if (!nt) fs.AddFile(kWininit + ".dupd-new", "[rename]\r\n" + a + "=" + a + ".dupd-new\r\n");
        RecoverInterruptedRun(fs, *MakeRestartQueue(fs, nt), kAppPath, {"a.dta", "b.dta"});
        EXPECT_EQ(fs.Content(a + ".dupd-new"), "awaited") << nt;
        EXPECT_FALSE(fs.Has(kAppPath + "\\b.dta.dupd-new")) << nt;
        EXPECT_EQ(fs.Content(kAppPath + "\\b.dta"), "old") << nt;
        EXPECT_EQ(fs.Has(kWininit), !nt) << nt;
    }
}

// ---------------------------------------------------------------- trust

// AppPath must name an existing local folder in full, and not the Windows folder
// or one inside it, whose files the run would read and delete.
TEST(TrustedAppPath, AnAppPathThatIsNotAnExistingLocalFolderIsUnreadable)
{
    auto fs = Machine();
    fs.currentDir = kAppPath;
    fs.AddFolder("C:\\WINDOWS\\system32");
    const RegString cases[] = {
        {RegReadStatus::Ok, "Quellmark"},       {RegReadStatus::Ok, "\\\\server\\qm"},
        {RegReadStatus::Ok, "C:\\WINDOWS"},     {RegReadStatus::Ok, "C:\\WINDOWS\\system32"},
        {RegReadStatus::Ok, "C:\\Nowhere"},     {RegReadStatus::Ok, kAppPath, true},
        {RegReadStatus::NotString, kAppPath},
    };
    for (const RegString& value : cases) EXPECT_EQ(TrustedAppPath(fs, value), "") << value.text;
    EXPECT_EQ(TrustedAppPath(fs, {RegReadStatus::Ok, kAppPath}), kAppPath);
}

}  // namespace
}  // namespace dupd
