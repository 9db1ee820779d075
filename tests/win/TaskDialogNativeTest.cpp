// The task-dialog component against the system's real task dialog and message
// box. The native way is called directly: this system's common controls report a
// version below 6, so Execute itself takes the message-box way.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "taskdialog/TaskDialog.h"
#include "taskdialog/win32/Win32TaskDialog.h"
#include "tests/support/win32/Desktop.h"

namespace dupd {
namespace {

using Child = support::ChildWindow;
using support::ChildrenOf;
using support::TextOf;

bool HasChildText(const std::vector<Child>& children, const std::string& text)
{
    for (const auto& c : children)
        if (c.text == text) return true;
    return false;
}

bool HasButton(const std::vector<Child>& children, const std::string& caption)
{
    for (const auto& c : children)
        if (_stricmp(c.cls.c_str(), "Button") == 0 && c.text == caption) return true;
    return false;
}

// A dialog that nobody closes would hang the whole run: end it loudly instead.
class Watchdog {
public:
    explicit Watchdog(int seconds = 20)
        : thread_([this, seconds] {
              const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
              while (!done_) {
                  if (std::chrono::steady_clock::now() > until) {
                      std::fprintf(stderr, "dialog test hung: a dialog stayed open\n");
                      std::fflush(stderr);
                      ::ExitProcess(99);
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              }
          })
    {
    }
    ~Watchdog()
    {
        done_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

std::string WithoutAccelerators(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
    return text;
}

class NativeTaskDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        HMODULE controls = ::LoadLibraryA("comctl32.dll");
        if (controls == nullptr || ::GetProcAddress(controls, "TaskDialogIndirect") == nullptr)
            GTEST_SKIP() << "this system's common controls have no TaskDialogIndirect";
    }

    Win32TaskDialogPlatform platform{nullptr};
    TTaskDialogEx dlg{platform};
    Watchdog watchdog;

    // What the dialog showed when it was created.
    std::string shownTitle;
    std::vector<Child> shown;
    // Raised on the dialog's own thread after the snapshot.
    TNotifyEvent onCreated;

    // Shows the native dialog; once it is on screen, `act` works it from a second
    // thread, as a person would.
    int RunActing(std::function<void(HWND)> act)
    {
        std::thread person;
        dlg.OnDialogCreated = [&](TTaskDialogEx& d) {
            const HWND window = reinterpret_cast<HWND>(d.DialogHandle());
            shownTitle = TextOf(window);
            shown = ChildrenOf(window);
            if (onCreated) onCreated(d);
            person = std::thread([window, act] {
                for (int i = 0; i < 1000 && !::IsWindowVisible(window); ++i) ::Sleep(10);
                act(window);
            });
        };
        const int result = dlg.ExecuteNative();
        if (person.joinable()) person.join();
        return result;
    }

    int RunPressing(int button)
    {
        return RunActing([button](HWND w) { ::SendMessageW(w, TDM_CLICK_BUTTON, button, 0); });
    }
};

TEST_F(NativeTaskDialog, CommonOkButtonAndTheTextsReachTheDialog)
{
    dlg.SetTitle("Native test - OK");
    dlg.SetInstruction("First line\\nSecond line");
    dlg.SetContent("Body text");
    dlg.SetFooter("Footer text");
    dlg.SetCommonButtons(TCommonButtons{cbOK});
    std::vector<int> clicked;
    dlg.OnDialogButtonClick = [&](TTaskDialogEx&, int id) { clicked.push_back(id); };

    EXPECT_EQ(RunPressing(IDOK), 1);
    EXPECT_EQ(shownTitle, "Native test - OK");
    EXPECT_TRUE(HasChildText(shown, "First line\nSecond line"));
    EXPECT_TRUE(HasChildText(shown, "Body text"));
    EXPECT_TRUE(HasChildText(shown, "Footer text"));
    EXPECT_TRUE(HasButton(shown, "OK"));
    EXPECT_EQ(clicked, std::vector<int>{1});
    EXPECT_EQ(dlg.DialogHandle(), 0u);
}

TEST_F(NativeTaskDialog, CloseButtonAnswersEight)
{
    dlg.SetTitle("Native test - Close");
    dlg.SetCommonButtons(TCommonButtons{cbClose});
    std::vector<int> clicked;
    dlg.OnDialogButtonClick = [&](TTaskDialogEx&, int id) { clicked.push_back(id); };
    EXPECT_EQ(RunPressing(IDCLOSE), 8);
    EXPECT_EQ(clicked, std::vector<int>{8});
    bool hasClose = false;
    for (const auto& c : shown) hasClose |= WithoutAccelerators(c.text) == "Close";
    EXPECT_TRUE(hasClose);
}

TEST_F(NativeTaskDialog, CustomButtonsAnswerHundredPlusIndex)
{
    dlg.SetTitle("Native test - custom");
    dlg.SetCustomButtons({"Alpha", "Beta\\nsecond line"});
    std::vector<int> clicked;
    dlg.OnDialogButtonClick = [&](TTaskDialogEx&, int id) { clicked.push_back(id); };
    EXPECT_EQ(RunPressing(101), 101);
    EXPECT_EQ(clicked, std::vector<int>{101});
    EXPECT_TRUE(HasButton(shown, "Alpha"));
    EXPECT_TRUE(HasButton(shown, "Beta\nsecond line"));
}

TEST_F(NativeTaskDialog, RadioSelectionIsReportedAfterTheDialog)
{
    dlg.SetTitle("Native test - radio");
    dlg.SetCommonButtons(TCommonButtons{cbOK});
    dlg.SetRadioButtons({"Zero", "One", "Two"});
    dlg.SetDefaultRadioButton(201);
    std::vector<int> radios;
    dlg.OnDialogRadioClick = [&](TTaskDialogEx&, int id) { radios.push_back(id); };

    EXPECT_EQ(RunPressing(IDOK), 1);
    EXPECT_EQ(dlg.SelectedRadioButton(), 201);
    EXPECT_TRUE(HasButton(shown, "Two"));

    // Wine's TDM_CLICK_RADIO_BUTTON does not reach the dialog, so click the way the
    // radio button itself reports a click.
    radios.clear();
    EXPECT_EQ(RunActing([](HWND w) {
                  ::SendMessageW(w, WM_COMMAND, MAKEWPARAM(202, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(::GetDlgItem(w, 202)));
                  ::SendMessageW(w, TDM_CLICK_BUTTON, IDOK, 0);
              }),
              1);
    EXPECT_EQ(dlg.SelectedRadioButton(), 202);
    ASSERT_FALSE(radios.empty());
    EXPECT_EQ(radios.back(), 202);
}

TEST_F(NativeTaskDialog, VerificationCheckBox)
{
    dlg.SetTitle("Native test - verification");
    dlg.SetCommonButtons(TCommonButtons{cbOK});
    dlg.SetVerificationText("Do not ask\\nagain");
    std::vector<bool> checks;
    dlg.OnDialogVerifyClick = [&](TTaskDialogEx&, bool checked) { checks.push_back(checked); };

    EXPECT_EQ(RunPressing(IDOK), 1);
    EXPECT_FALSE(dlg.VerificationChecked());
    EXPECT_TRUE(HasButton(shown, "Do not ask\\nagain"));  // passed as written

    EXPECT_EQ(RunActing([](HWND w) {
                  ::SendMessageW(w, TDM_CLICK_VERIFICATION, TRUE, FALSE);
                  ::SendMessageW(w, TDM_CLICK_BUTTON, IDOK, 0);
              }),
              1);
    EXPECT_TRUE(dlg.VerificationChecked());
    EXPECT_EQ(checks, std::vector<bool>{true});
}

TEST_F(NativeTaskDialog, CloseHandlerKeepsTheDialogOpenAfterAVetoedPress)
{
    dlg.SetTitle("Native test - veto");
    dlg.SetCommonButtons(TCommonButtons{cbOK, cbCancel});
    std::vector<int> clicked;
    int asked = 0;
    dlg.OnDialogButtonClick = [&](TTaskDialogEx&, int id) { clicked.push_back(id); };
    dlg.OnDialogClose = [&](TTaskDialogEx&, bool& canClose) {
        if (++asked == 1) canClose = false;
    };
    EXPECT_EQ(RunActing([](HWND w) {
                  ::SendMessageW(w, TDM_CLICK_BUTTON, IDOK, 0);
                  ::SendMessageW(w, TDM_CLICK_BUTTON, IDCANCEL, 0);
              }),
              2);
    EXPECT_EQ(clicked, (std::vector<int>{1, 2}));
    EXPECT_EQ(asked, 2);
}

TEST_F(NativeTaskDialog, ContentSetWhileOpenReplacesTheShownText)
{
    dlg.SetTitle("Native test - update");
    dlg.SetContent("Old content");
    dlg.SetCommonButtons(TCommonButtons{cbOK});
    onCreated = [](TTaskDialogEx& d) { d.SetContent("New content"); };
    std::vector<Child> onScreen;
    EXPECT_EQ(RunActing([&](HWND w) {
                  onScreen = ChildrenOf(w);
                  ::SendMessageW(w, TDM_CLICK_BUTTON, IDOK, 0);
              }),
              1);
    EXPECT_TRUE(HasChildText(shown, "Old content"));
    EXPECT_TRUE(HasChildText(onScreen, "New content"));
    EXPECT_FALSE(HasChildText(onScreen, "Old content"));
}

TEST_F(NativeTaskDialog, TimerDrivesTheProgressBar)
{
    dlg.SetTitle("Native test - progress");
    dlg.SetCommonButtons(TCommonButtons{cbOK});
    dlg.SetOptions({doProgressBar});
    dlg.SetProgressBarMin(10);
    dlg.SetProgressBarMax(60);
    int timers = 0;
    PBRANGE range{};
    LRESULT pos = -1;
    dlg.OnDialogProgress = [](TTaskDialogEx&, int& p, TTaskDialogProgressState& state) {
        p = 35;
        state = psNormal;
    };
    dlg.OnDialogTimer = [&](TTaskDialogEx& d) {
        // The first tick's position is set after this handler; read it on the second.
        if (++timers != 2) return;
        const HWND bar = ::FindWindowExW(reinterpret_cast<HWND>(d.DialogHandle()), nullptr, PROGRESS_CLASSW, nullptr);
        if (bar != nullptr) {
            ::SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
            pos = ::SendMessageW(bar, PBM_GETPOS, 0, 0);
        }
        ::PostMessageW(reinterpret_cast<HWND>(d.DialogHandle()), TDM_CLICK_BUTTON, IDOK, 0);
    };
    EXPECT_EQ(RunActing([](HWND) {}), 1);
    EXPECT_GE(timers, 2);
    EXPECT_EQ(range.iLow, 10);
    EXPECT_EQ(range.iHigh, 60);
    EXPECT_EQ(pos, 35);
}

// ---------------------------------------------------------------- the emulated way

struct EmulatedCase {
    TCommonButtons buttons;
    int press;   // the button's control id
    int result;  // what Execute reports
};

using support::DialogPresser;

TEST(EmulatedDialog, ButtonsAnswerInTheDialogsNumbering)
{
    const EmulatedCase cases[] = {
        {TCommonButtons{cbClose}, 3, 3},
        {TCommonButtons{cbYes, cbNo}, IDNO, 7},
        {TCommonButtons{cbYes, cbNo}, IDYES, 6},
        {TCommonButtons{cbYes, cbCancel}, IDCANCEL, 2},
        {TCommonButtons{cbYes, cbNo, cbCancel}, IDCANCEL, 2},
        {TCommonButtons{cbOK, cbCancel}, IDCANCEL, 2},
        {TCommonButtons{cbRetry, cbCancel}, IDRETRY, 4},
        {TCommonButtons{}, IDOK, 1},
    };
    Watchdog watchdog(60);
    Win32TaskDialogPlatform platform(nullptr);
    int n = 0;
    for (const auto& c : cases) {
        TTaskDialogEx dlg(platform);
        const std::string title = "Emulated buttons test " + std::to_string(++n);
        dlg.SetTitle(title);
        dlg.SetInstruction("Question");
        dlg.SetCommonButtons(c.buttons);
        DialogPresser presser(title, c.press);
        const int result = platform.RunEmulated(dlg);
        const auto& seen = presser.Result();
        SCOPED_TRACE(title);
        ASSERT_TRUE(seen.found);
        EXPECT_TRUE(seen.pressed);
        EXPECT_EQ(result, c.result);
    }
}

TEST(EmulatedDialog, TitleKeepsItsBackslashNAndTheInstructionIsAWindow)
{
    Watchdog watchdog;
    Win32TaskDialogPlatform platform(nullptr);
    TTaskDialogEx dlg(platform);
    dlg.SetTitle("Emulated text\\ntest");
    dlg.SetInstruction("Update is too old");
    dlg.SetContent("Line one\\nLine two");
    dlg.SetFooter("For support contact: someone");
    dlg.SetIcon(tiError);
    dlg.SetCommonButtons(TCommonButtons{cbClose});

    DialogPresser presser("Emulated text\\ntest", 3);
    EXPECT_EQ(platform.RunEmulated(dlg), 3);
    const auto& seen = presser.Result();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.className, "TTaskMessageForm");
    EXPECT_TRUE(seen.HasChildText("Update is too old"));
    EXPECT_TRUE(seen.HasChildText("&Abort"));
}

TEST(EmulatedDialog, ExecuteTakesItWhereTheCommonControlsAreOld)
{
    Win32TaskDialogPlatform platform(nullptr);
    const std::int32_t controls = platform.CommonControlsVersion();
    if (((static_cast<std::uint32_t>(controls) >> 16) & 0xFF) >= 6 && platform.SystemVersion().majorVersion >= 6)
        GTEST_SKIP() << "this system shows the native dialog";
    Watchdog watchdog;
    TTaskDialogEx dlg(platform);
    dlg.SetTitle("Execute chooses the emulated dialog");
    dlg.SetCommonButtons(TCommonButtons{cbYes, cbNo});
    DialogPresser presser("Execute chooses the emulated dialog", IDYES);
    EXPECT_EQ(dlg.Execute(), 6);
    EXPECT_TRUE(presser.Result().found);
    EXPECT_EQ(presser.Result().className, "TTaskMessageForm");
}

TEST(ModuleFileVersion, ReadsTheCommonControlsVersion)
{
    const std::int32_t v = GetModuleFileVersion("COMCTL32.DLL");
    ASSERT_NE(v, -1);
    EXPECT_GE((static_cast<std::uint32_t>(v) >> 16) & 0xFF, 5u);
    EXPECT_EQ(GetModuleFileVersion("no-such-module-here.dll"), -1);
}

}  // namespace
}  // namespace dupd
