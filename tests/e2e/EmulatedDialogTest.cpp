// The updater's messages in the task-dialog component's own window, on each
// Windows version that Wine can pretend to be (its common controls are older than
// the native task dialog needs, so every version gets this window): what the user
// sees of it, the keys it ignores, and what each way of answering the
// same-version question does to the run. The default version's messages are also
// pictured under build\screenshots.
#include <gtest/gtest.h>

#include "Expectations.h"
#include "Scenario.h"

namespace e2e {
namespace {

struct Mode {
    const char* name;
    const char* version;  // Wine's setting for dupd.exe, nullptr for the default
};
const Mode kModes[] = {{"Default", nullptr}, {"Xp", "winxp"}, {"Win98", "win98"}};

// The updater's user (UserAnswers), except that on the dialogs titled `title`
// the user does `how` instead of pressing the button.
Answerer UserDoing(Answer::Action how, const std::vector<std::string>& titles, int confirmAnswer = IDNO)
{
    const Answerer user = UserAnswers(confirmAnswer);
    return [=](const SeenDialog& d) {
        Answer a = user(d);
        if (std::find(titles.begin(), titles.end(), d.title) != titles.end()) a.action = how;
        return a;
    };
}

// Saves each dialog as build\screenshots\updater-<name>.png, the name chosen by
// its instruction; nothing when `enabled` is false.
DialogObserver Pictures(bool enabled)
{
    return [enabled](const SeenDialog& d, HWND window) {
        if (!enabled) return;
        static const std::pair<const char*, const char*> kNames[] = {
            {"Database Update is corrupt", "corrupt"},
            {"Unable to locate installation directory", "noinstall"},
            {"Update is too old", "tooold"},
            {"Re-install this Update?", "confirm"},
            {"Update Aborted", "aborted"},
        };
        for (const auto& n : kNames) {
            if (d.Instruction() != n.first) continue;
            const std::string path = ScreenshotDir() + "\\updater-" + n.second + ".png";
            DeleteFileA(path.c_str());
            EXPECT_TRUE(CaptureToPng(window, path)) << path;
        }
    };
}

class EmulatedDialog : public ::testing::Test {
protected:
    static std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }
    void TearDown() override { SetDupdWindowsVersion(nullptr); }

    static Scenario Prepared(const std::string& name, const Mode& mode)
    {
        Scenario s(name + mode.name);
        s.RegisterProduct();
        s.InstallVersion("6934");
        s.Install({"Qlm_list.dta", "Qlmlist2.dta", "epack.dta"});
        s.CreateLogFolder();
        SetDupdWindowsVersion(mode.version);
        return s;
    }

    // The same-version question, declined: "Update Aborted" follows, the package
    // is thrown away and nothing is installed or logged.
    static void ExpectDeclined(const Scenario& s, const RunOutcome& run,
                               const std::vector<std::pair<std::string, std::string>>& installedBefore)
    {
        EXPECT_RUN_ENDED(run);
        ASSERT_EQ(run.dialogs.size(), 2u) << Describe(run);
        ExpectComponentMessage(run.dialogs[0], kConfirmTitle, "Re-install this Update?", kYesNoButtons);
        ExpectComponentMessage(run.dialogs[1], kInformationTitle, "Update Aborted", kOkButton);
        EXPECT_FALSE(PathIsDirectory(s.staging));
        EXPECT_EQ(FolderSnapshot(s.install), installedBefore);
        EXPECT_FALSE(s.Log().has_value());
    }
};

// The buttons of each message as the user meets them: results as identifiers,
// Enter on Yes and on OK, every button reached with Tab.
void ExpectButtons(const SeenDialog& d, const std::vector<int>& ids, int defaultId)
{
    std::vector<int> seen;
    for (const auto& b : d.PushButtons()) {
        seen.push_back(b.id);
        EXPECT_TRUE(b.tabStop) << b.caption;
        if (defaultId != 0) {
            EXPECT_EQ(b.isDefault, b.id == defaultId) << b.caption;
        }
    }
    EXPECT_EQ(seen, ids) << "\"" << d.title << "\"";
}

TEST_F(EmulatedDialog, EveryMessageOfTheUpdaterInEveryWindowsVersion)
{
    for (const Mode& mode : kModes) {
        SCOPED_TRACE(mode.name);
        const bool pictured = mode.version == nullptr;
        {
            SCOPED_TRACE("corrupt, Alt+F4 first");
            Scenario s = Prepared("Corrupt", mode);
            s.Stage({"Qlmlist2.dta", "Reflist.dta", "epack.dta"});
            const auto stagedBefore = FolderSnapshot(s.staging);
            const auto installedBefore = FolderSnapshot(s.install);

            const RunOutcome run = s.Run(UserDoing(Answer::Action::AltF4ThenPress, {kErrorTitle}), Pictures(pictured));

            EXPECT_RUN_ENDED(run);
            ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
            ExpectComponentMessage(run.dialogs[0], kErrorTitle, "Database Update is corrupt", kAbortButton);
            ExpectButtons(run.dialogs[0], {IDABORT}, 0);
            EXPECT_TRUE(run.dialogs[0].openAfterAltF4) << "Alt+F4 closed the message";
            EXPECT_EQ(run.dialogs[0].pressed, IDABORT);
            EXPECT_EQ(FolderSnapshot(s.staging), stagedBefore);
            EXPECT_EQ(FolderSnapshot(s.install), installedBefore);
        }
        {
            // Escape closes it although no button is marked for Escape.
            SCOPED_TRACE("no installation directory, Escape");
            Scenario s = Prepared("NoInstallDir", mode);
            s.RemoveProductKey();
            s.Stage(kPackage);
            const auto installedBefore = FolderSnapshot(s.install);

            const RunOutcome run = s.Run(UserDoing(Answer::Action::Escape, {kErrorTitle}), Pictures(pictured));

            EXPECT_RUN_ENDED(run);
            ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
            ExpectComponentMessage(run.dialogs[0], kErrorTitle, "Unable to locate installation directory",
                                   kAbortButton);
            EXPECT_FALSE(PathIsDirectory(s.staging));
            EXPECT_EQ(FolderSnapshot(s.install), installedBefore);
        }
        {
            SCOPED_TRACE("too old, close box");
            Scenario s = Prepared("TooOld", mode);
            s.InstallVersion("6936");
            s.Stage(kPackage);
            const auto installedBefore = FolderSnapshot(s.install);

            const RunOutcome run = s.Run(UserDoing(Answer::Action::CloseBox, {kErrorTitle}), Pictures(pictured));

            EXPECT_RUN_ENDED(run);
            ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
            ExpectComponentMessage(run.dialogs[0], kErrorTitle, "Update is too old", kAbortButton);
            EXPECT_FALSE(PathIsDirectory(s.staging));
            EXPECT_EQ(FolderSnapshot(s.install), installedBefore);
        }
        {
            SCOPED_TRACE("same version, Yes");
            Scenario s = Prepared("SameVersionYes", mode);
            s.InstallVersion("6935");
            s.Stage(kPackage);

            const RunOutcome run = s.Run(IDYES);

            EXPECT_RUN_ENDED(run);
            ASSERT_EQ(run.dialogs.size(), 1u) << Describe(run);
            ExpectComponentMessage(run.dialogs[0], kConfirmTitle, "Re-install this Update?", kYesNoButtons);
            for (const auto& n : kPackage) EXPECT_EQ(ReadFileBytes(s.Installed(n)), StagedContent(n)) << n;
            EXPECT_FALSE(PathIsDirectory(s.staging));
        }
        {
            SCOPED_TRACE("same version, No");
            Scenario s = Prepared("SameVersionNo", mode);
            s.InstallVersion("6935");
            s.Stage(kPackage);
            const auto installedBefore = FolderSnapshot(s.install);

            const RunOutcome run = s.Run(UserAnswers(IDNO), Pictures(pictured));

            ExpectDeclined(s, run, installedBefore);
            if (run.dialogs.size() == 2) {
                ExpectButtons(run.dialogs[0], {IDYES, IDNO}, IDYES);
                EXPECT_EQ(run.dialogs[0].pressed, IDNO);
                ExpectButtons(run.dialogs[1], {IDOK}, IDOK);
            }
        }
    }
}

// Escape presses the button marked for it (No, then OK); the close box closes
// without a button (result 2). The updater takes both as anything but Yes.
TEST_F(EmulatedDialog, EscapeAndTheCloseBoxDeclineTheQuestion)
{
    const Mode& mode = kModes[0];
    for (const Answer::Action how : {Answer::Action::Escape, Answer::Action::CloseBox}) {
        SCOPED_TRACE(how == Answer::Action::Escape ? "Escape" : "close box");
        Scenario s = Prepared(how == Answer::Action::Escape ? "QuestionEscape" : "QuestionCloseBox", mode);
        s.InstallVersion("6935");
        s.Stage(kPackage);
        const auto installedBefore = FolderSnapshot(s.install);

        const RunOutcome run = s.Run(UserDoing(how, {kConfirmTitle, kInformationTitle}, IDYES));

        ExpectDeclined(s, run, installedBefore);
        for (const auto& d : run.dialogs) EXPECT_EQ(d.pressed, 0) << "no button was pressed on " << d.title;
    }
}

}  // namespace
}  // namespace e2e
