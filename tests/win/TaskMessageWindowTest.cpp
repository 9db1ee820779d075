// The emulated task dialog as real windows, in this process: Execute runs on the
// test thread while a second thread, the person in front of it, reads the windows
// and works them with messages, keys and the clipboard.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "taskdialog/TaskDialog.h"
#include "taskdialog/win32/Win32TaskDialog.h"
#include "tests/support/win32/Desktop.h"
#include "tests/support/win32/Files.h"

namespace dupd {
namespace {

using Seen = support::ChildWindow;
using support::ChildrenOf;

Seen ById(const std::vector<Seen>& children, int id)
{
    for (const auto& c : children)
        if (c.id == id) return c;
    return {};
}

LONG ButtonType(const Seen& s) { return s.style & BS_TYPEMASK; }

using support::Within;

// Pictures for a look by eye, when DUPD_TD_SHOTS names a folder.
void Capture(HWND dialog, const char* name)
{
    const char* folder = std::getenv("DUPD_TD_SHOTS");
    if (folder != nullptr && *folder != '\0') support::CaptureToPng(dialog, std::string(folder) + "\\" + name + ".png");
}

class TaskMessageWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dlg.SetNonNativeDialog(nndAlways);
        dlg.SetTitle(support::UniqueName("Emulated dialog "));
        dlg.SetInstruction("Replace the database?");
        dlg.SetContent("The copy on this computer is older.");
        dlg.SetCommonButtons(TCommonButtons{cbYes, cbNo});
        dlg.SetOptions({doAllowDialogCancel});
        platform.OnFirstPaint = [this](HWND w) {
            painted = w;
            ++firstPaints;
        };
    }

    // Execute on this thread; `act` on the other once the dialog is on screen.
    // Whatever `act` leaves open is closed, and reported in `leftOpen`.
    int ExecuteActing(const std::function<void(HWND)>& act)
    {
        std::atomic<bool> returned{false};
        firstPaints = 0;
        const std::string title = dlg.Title();
        std::thread person([&] {
            HWND w = nullptr;
            Within(10000, [&] { return returned || (w = support::FindTitledWindow(title)) != nullptr; });
            if (w == nullptr) return;
            shown = w;
            Within(2000, [&] { return firstPaints > 0; });
            act(w);
            if (!Within(3000, [&] { return returned || !::IsWindow(w); })) {
                leftOpen = true;
                while (!returned) {
                    ::PostMessageA(w, WM_CLOSE, 0, 0);
                    ::Sleep(100);
                }
            }
        });
        struct Joining {
            std::atomic<bool>& returned;
            std::thread& person;
            ~Joining()
            {
                returned = true;
                person.join();
            }
        } joining{returned, person};
        return dlg.Execute();
    }

    Win32TaskDialogPlatform platform{nullptr};
    TTaskDialogEx dlg{platform};
    HWND shown = nullptr;
    bool leftOpen = false;
    std::atomic<int> firstPaints{0};
    HWND painted = nullptr;
};

TEST_F(TaskMessageWindowTest, ControlsAreRealWindowsWithTheAgreedClassesIdsAndStyles)
{
    dlg.SetIcon(tiQuestion);
    dlg.SetFooter("Footer text");
    dlg.SetFooterIcon(tfiInformation);
    dlg.SetRadioButtons({"Keep both", "Replace"});
    dlg.SetVerificationText("Do not ask again");
    std::string cls;
    std::vector<Seen> children;
    HWND focus = nullptr;
    std::vector<UINT> checksAfterClick;
    std::vector<Seen> radiosAfterClick;
    const int result = ExecuteActing([&](HWND w) {
        cls = support::ClassOf(w);
        children = ChildrenOf(w);
        GUITHREADINFO gui{sizeof gui};
        if (::GetGUIThreadInfo(::GetWindowThreadProcessId(w, nullptr), &gui)) focus = gui.hwndFocus;
        Capture(w, "question");
        // A radio button is not the automatic kind: the dialog moves the check.
        ::SendMessageA(::GetDlgItem(w, 201), BM_CLICK, 0, 0);
        ::SendMessageA(::GetDlgItem(w, 301), BM_CLICK, 0, 0);
        for (int id : {200, 201, 301})
            checksAfterClick.push_back(static_cast<UINT>(::SendMessageA(::GetDlgItem(w, id), BM_GETCHECK, 0, 0)));
        radiosAfterClick = ChildrenOf(w);
        ::PostMessageA(::GetDlgItem(w, IDYES), BM_CLICK, 0, 0);
    });

    ASSERT_NE(shown, nullptr);
    EXPECT_FALSE(leftOpen);
    EXPECT_EQ(result, IDYES);
    EXPECT_FALSE(::IsWindow(shown)) << "the window outlived Execute";
    EXPECT_EQ(cls, "TTaskMessageForm");
    EXPECT_EQ(firstPaints, 1);
    EXPECT_EQ(painted, shown);

    const Seen yes = ById(children, IDYES), no = ById(children, IDNO);
    EXPECT_EQ(yes.cls, "Button");
    EXPECT_EQ(yes.text, "&Yes");
    EXPECT_EQ(ButtonType(yes), BS_DEFPUSHBUTTON);
    EXPECT_TRUE(yes.style & WS_TABSTOP);
    EXPECT_EQ(no.text, "&No");
    EXPECT_EQ(ButtonType(no), BS_PUSHBUTTON);
    EXPECT_TRUE(no.style & WS_TABSTOP);
    EXPECT_EQ(focus, yes.window) << "the default button is first in the tab order";

    const Seen instruction = ById(children, 303);
    EXPECT_EQ(instruction.cls, "Static");
    EXPECT_EQ(instruction.text, "Replace the database?");
    EXPECT_TRUE(instruction.style & SS_NOPREFIX);
    const Seen image = ById(children, 304);
    EXPECT_EQ(image.cls, "Static");
    EXPECT_EQ(image.style & SS_TYPEMASK, SS_ICON);
    EXPECT_TRUE(image.style & WS_VISIBLE);

    EXPECT_EQ(ButtonType(ById(children, 200)), BS_RADIOBUTTON);
    // Only the checked radio button is a tab stop, before and after the click.
    EXPECT_TRUE(ById(children, 200).style & WS_TABSTOP);
    EXPECT_FALSE(ById(children, 201).style & WS_TABSTOP);
    EXPECT_FALSE(ById(radiosAfterClick, 200).style & WS_TABSTOP);
    EXPECT_TRUE(ById(radiosAfterClick, 201).style & WS_TABSTOP);
    EXPECT_EQ(ById(children, 201).text, "Replace");
    const Seen box = ById(children, 301);
    EXPECT_EQ(ButtonType(box), BS_AUTOCHECKBOX);
    EXPECT_EQ(box.text, "Do not ask again");
    EXPECT_FALSE(ById(children, 305).style & WS_VISIBLE) << "the footer icon is painted, not shown";
    EXPECT_EQ(checksAfterClick, (std::vector<UINT>{BST_UNCHECKED, BST_CHECKED, BST_CHECKED}));
    EXPECT_EQ(dlg.SelectedRadioButton(), 201);
    EXPECT_TRUE(dlg.VerificationChecked());
}

TEST_F(TaskMessageWindowTest, CommandLinksExpandControlAndProgressBar)
{
    dlg.SetCommonButtons({});
    dlg.SetCustomButtons({"Install now\\nThe old copy is kept as a backup", "Later"});
    dlg.SetExpandedText("Version 7 replaces version 6.");
    dlg.SetExpandControlText("&Less information");
    dlg.SetCollapsControlText("&More information");
    dlg.SetOptions({doCommandLinks, doProgressBar, doAllowDialogCancel});
    dlg.SetProgressBarMin(10);
    dlg.SetProgressBarMax(60);
    dlg.SetIcon(tiShield);
    dlg.SetFooter("Signed by the publisher");
    dlg.SetFooterIcon(tfiShield);
    std::vector<Seen> children;
    PBRANGE range{};
    HANDLE shield = nullptr;
    RECT collapsed{}, expanded{};
    std::vector<int> clicked;
    std::string clickedBy;
    dlg.OnDialogButtonClick = [&](TTaskDialogEx&, int id) { clicked.push_back(id); };
    const int result = ExecuteActing([&](HWND w) {
        children = ChildrenOf(w);
        ::SendMessageA(::GetDlgItem(w, 302), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
        shield = reinterpret_cast<HANDLE>(::SendMessageA(::GetDlgItem(w, 304), STM_GETIMAGE, IMAGE_BITMAP, 0));
        Capture(w, "commandlinks");
        ::GetClientRect(w, &collapsed);
        ::SendMessageA(::GetDlgItem(w, 300), BM_CLICK, 0, 0);
        ::GetClientRect(w, &expanded);
        Capture(w, "expanded");
        clickedBy = support::ClickCentre(::GetDlgItem(w, 101), [w] { return !::IsWindow(w); });
    });

    EXPECT_FALSE(leftOpen);
    EXPECT_NE(clickedBy, "") << "a mouse click on the command link did nothing";
    EXPECT_EQ(result, 101);
    EXPECT_EQ(clicked, std::vector<int>{101});
    const Seen first = ById(children, 100), second = ById(children, 101), expand = ById(children, 300);
    EXPECT_EQ(first.cls, "TTaskDialogButton");
    EXPECT_EQ(first.text, "Install now\\nThe old copy is kept as a backup");
    EXPECT_TRUE(first.style & WS_TABSTOP);
    EXPECT_EQ(second.text, "Later");
    EXPECT_EQ(expand.cls, "TTaskDialogButton");
    EXPECT_EQ(expand.text, "");
    EXPECT_EQ(ById(children, 302).cls, "msctls_progress32");
    EXPECT_EQ(range.iLow, 10);
    EXPECT_EQ(range.iHigh, 60);
    EXPECT_EQ(ById(children, 304).style & SS_TYPEMASK, SS_BITMAP);
    EXPECT_NE(shield, nullptr);
    EXPECT_GT(expanded.bottom, collapsed.bottom) << "the window did not grow for the details";
    EXPECT_EQ(expanded.right, collapsed.right);
}

// ---------------------------------------------------------------- closing and keys

TEST_F(TaskMessageWindowTest, CloseBoxAnswersTwoAndAQuitEndsTheDialogAndIsPassedOn)
{
    EXPECT_EQ(ExecuteActing([](HWND w) { ::PostMessageA(w, WM_CLOSE, 0, 0); }), 2);
    EXPECT_FALSE(leftOpen);

    EXPECT_EQ(ExecuteActing([](HWND w) {
                  ::PostThreadMessageA(::GetWindowThreadProcessId(w, nullptr), WM_QUIT, 5, 0);
              }),
              2);
    EXPECT_FALSE(leftOpen);
    MSG quit{};
    ASSERT_TRUE(::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit was swallowed";
    EXPECT_EQ(quit.wParam, 5u);
}

TEST_F(TaskMessageWindowTest, AltF4IsIgnoredAndEscapePressesTheCancelButton)
{
    // With and without a system menu, which letting go of Alt alone would open.
    for (const auto options : {TTaskDialogOptions{doAllowDialogCancel},
                               TTaskDialogOptions{doAllowDialogCancel, doAllowMinimize}}) {
        dlg.SetOptions(options);
        bool sent = false, openAfterAltF4 = false;
        const int result = ExecuteActing([&](HWND w) {
            sent = support::SendChord(w, {VK_MENU, VK_F4});
            openAfterAltF4 = !Within(500, [&] { return !::IsWindow(w); });
            support::SendChord(w, {VK_ESCAPE});
        });
        SCOPED_TRACE(options.Contains(doAllowMinimize) ? "with system menu" : "dialog frame");
        ASSERT_TRUE(sent) << "the dialog never came to the front";
        EXPECT_TRUE(openAfterAltF4);
        EXPECT_FALSE(leftOpen);
        EXPECT_EQ(result, IDNO);  // the Escape button of a Yes/No question
        leftOpen = false;
    }
}

TEST_F(TaskMessageWindowTest, TabAndArrowKeysMoveTheFocusRoundTheControls)
{
    dlg.SetVerificationText("Do not ask again");
    std::vector<int> focused;  // control ids after each key
    ExecuteActing([&](HWND w) {
        const auto focusId = [w] {
            GUITHREADINFO gui{sizeof gui};
            ::GetGUIThreadInfo(::GetWindowThreadProcessId(w, nullptr), &gui);
            return gui.hwndFocus != nullptr ? ::GetDlgCtrlID(gui.hwndFocus) : 0;
        };
        const std::vector<std::vector<WORD>> keys = {
            {VK_TAB}, {VK_TAB}, {VK_TAB}, {VK_SHIFT, VK_TAB}, {VK_LEFT}, {VK_LEFT}, {VK_RIGHT}};
        for (const auto& chord : keys) {
            const int before = focusId();
            support::SendChord(w, chord);
            Within(500, [&] { return focusId() != before; });
            focused.push_back(focusId());
        }
        ::PostMessageA(w, WM_CLOSE, 0, 0);
    });
    // Yes (default, first), No, the check box, and round again; the labels and the
    // picture never take the focus.
    EXPECT_EQ(focused, (std::vector<int>{IDNO, 301, IDYES, 301, IDNO, IDYES, IDNO}));
}

TEST_F(TaskMessageWindowTest, CtrlCCopiesCaptionInstructionAndButtons)
{
    dlg.SetTitle(support::UniqueName("Copy test "));
    std::string copied;
    EXPECT_EQ(ExecuteActing([&](HWND w) {
                  copied = support::CopyWithCtrlC(w);
                  ::PostMessageA(w, WM_CLOSE, 0, 0);
              }),
              2);
    const std::string divider = std::string(27, '-') + "\r\n";
    EXPECT_EQ(copied, divider + dlg.Title() + "\r\n" + divider + "Replace the database?\r\n" + divider +
                          "Yes   No   \r\n" + divider);
}

TEST_F(TaskMessageWindowTest, OwnerIsDisabledWhileShownAndTheDialogIsCentredOnIt)
{
    UniqueWindow owner(::CreateWindowExA(0, "Static", "owner", WS_POPUP | WS_VISIBLE, 200, 150, 500, 400, nullptr,
                                         nullptr, ::GetModuleHandleA(nullptr), nullptr));
    ASSERT_TRUE(owner);
    dlg.SetApplicationIsParent(false);
    dlg.SetParentWindow(reinterpret_cast<std::uintptr_t>(owner.get()));
    dlg.SetDialogPosition(dpOwnerFormCenter);
    HWND ownerSeen = nullptr;
    bool enabledWhileShown = true;
    RECT frame{};
    ExecuteActing([&](HWND w) {
        ownerSeen = ::GetWindow(w, GW_OWNER);
        enabledWhileShown = ::IsWindowEnabled(owner.get()) != FALSE;
        ::GetWindowRect(w, &frame);
        ::PostMessageA(w, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(ownerSeen, owner.get());
    EXPECT_FALSE(enabledWhileShown);
    EXPECT_TRUE(::IsWindowEnabled(owner.get())) << "the owner stays disabled";
    EXPECT_NEAR((frame.left + frame.right) / 2, 450, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, 350, 1);
}

TEST_F(TaskMessageWindowTest, AnErrorInAnEventHandlerEndsTheDialogAndReachesTheCaller)
{
    dlg.SetCommonButtons({});
    dlg.SetCustomButtons({"Go"});
    dlg.OnDialogButtonClick = [](TTaskDialogEx&, int) { throw std::runtime_error("handler failed"); };
    EXPECT_THROW(ExecuteActing([](HWND w) { ::PostMessageA(::GetDlgItem(w, 100), BM_CLICK, 0, 0); }),
                 std::runtime_error);
    EXPECT_FALSE(leftOpen);
    ASSERT_NE(shown, nullptr);
    EXPECT_FALSE(::IsWindow(shown));
    EXPECT_EQ(dlg.MessageForm(), nullptr);
}

TEST_F(TaskMessageWindowTest, TimerTicksWhileShown)
{
    dlg.SetOptions({doTimer});
    std::atomic<int> ticks{0};
    dlg.OnDialogTimer = [&](TTaskDialogEx&) { ++ticks; };
    bool ticked = false;
    ExecuteActing([&](HWND w) {
        ticked = Within(3000, [&] { return ticks >= 3; });
        ::PostMessageA(w, WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(ticked);
}

}  // namespace
}  // namespace dupd
