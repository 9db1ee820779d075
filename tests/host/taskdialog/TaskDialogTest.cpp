#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "FakeDialogPlatform.h"
#include "winenv/OpenLink.h"
#include "taskdialog/TaskDialog.h"
#include "taskdialog/TaskDialogPlatform.h"

namespace dupd {
namespace {

using fake::ElementUpdate;
using fake::FakeDialogPlatform;
using fake::OpenedLink;
using fake::SentMessage;

constexpr std::uintptr_t kWindow = 0x1234;

class TaskDialog : public ::testing::Test {
protected:
    // A modern system, on which Execute takes the native way.
    TaskDialog()
    {
        platform.version.majorVersion = 6;
        platform.controls = 0x0006000A;
        platform.emulatedResult = 2;
    }

    FakeDialogPlatform platform;
    TTaskDialogEx dlg{platform};

    int Notify(unsigned notification, std::uintptr_t wParam = 0, const std::string& href = "")
    {
        return dlg.HandleNotification(notification, kWindow, wParam, href);
    }
};

// ---------------------------------------------------------------- choosing the way

struct WayCase {
    std::uint32_t major;
    std::int32_t controls;
    TNonNativeDialog mode;
    bool native;
};

TEST_F(TaskDialog, ChoosesTheWayFromSystemAndCommonControlsVersions)
{
    const WayCase cases[] = {
        {5, 0x0006000A, nndAuto, false},   // XP with version 6 controls
        {6, 0x0006000A, nndAuto, true},    // Vista, 6.10
        {10, 0x0006000A, nndAuto, true},
        {6, 0x00050051, nndAuto, false},   // 5.81: no task dialog in that library
        {10, 0x00050051, nndAuto, false},
        {6, 0x00060000, nndAuto, true},
        {6, 0x01050000, nndAuto, false},   // only the low byte of the high word counts
        {6, -1, nndAuto, true},            // an unreadable version does not block the native way
        {5, -1, nndAuto, false},
        {6, 0x0006000A, nndAlways, false},
        {10, -1, nndAlways, false},
    };
    for (const auto& c : cases) {
        FakeDialogPlatform p;
        p.version.majorVersion = c.major;
        p.controls = c.controls;
        p.nativeResult = 7;
        p.emulatedResult = 3;
        TTaskDialogEx d(p);
        d.SetNonNativeDialog(c.mode);
        const int result = d.Execute();
        SCOPED_TRACE(testing::Message() << "major " << c.major << " controls " << std::hex << c.controls);
        EXPECT_EQ(result, c.native ? 7 : 3);
        EXPECT_EQ(p.nativeRuns.size(), c.native ? 1u : 0u);
        EXPECT_EQ(p.seen.size(), c.native ? 0u : 1u);
    }
}

TEST_F(TaskDialog, AFailedVersionQueryTakesTheEmulatedWay)
{
    platform.version = OsVersionInfo{};
    EXPECT_EQ(dlg.Execute(), platform.emulatedResult);
}

TEST_F(TaskDialog, NoNativeDialogOnAModernSystemGivesMinusOne)
{
    platform.nativeResult = -1;
    EXPECT_EQ(dlg.Execute(), -1);
    EXPECT_TRUE(platform.seen.empty());
}

// ---------------------------------------------------------------- properties

TEST_F(TaskDialog, ConstructionDefaults)
{
    EXPECT_EQ(dlg.Title(), "");
    EXPECT_EQ(dlg.Icon(), tiBlank);
    EXPECT_EQ(dlg.FooterIcon(), tfiBlank);
    EXPECT_EQ(dlg.CustomIcon(), 0u);
    EXPECT_TRUE(dlg.CommonButtons().Empty());
    EXPECT_TRUE(dlg.CustomButtons().empty());
    EXPECT_TRUE(dlg.RadioButtons().empty());
    EXPECT_EQ(dlg.DefaultButton(), 0);
    EXPECT_EQ(dlg.DefaultRadioButton(), 200);
    EXPECT_TRUE(dlg.Options().Empty());
    EXPECT_EQ(dlg.DialogPosition(), dpScreenCenter);
    EXPECT_TRUE(dlg.ApplicationIsParent());
    EXPECT_EQ(dlg.NonNativeDialog(), nndAuto);
    EXPECT_EQ(dlg.NonNativeMinFormWidth(), 350);
    EXPECT_EQ(dlg.ProgressBarMin(), 0);
    EXPECT_EQ(dlg.ProgressBarMax(), 100);
    EXPECT_EQ(dlg.ParentWindow(), 0u);
    EXPECT_EQ(dlg.DialogHandle(), 0u);
}

TEST_F(TaskDialog, VersionIsFixed)
{
    EXPECT_EQ(dlg.Version(), "1.2.7.0");
    dlg.SetVersion("9.9.9.9");
    EXPECT_EQ(dlg.Version(), "1.2.7.0");
}

TEST(TaskDialogSets, BitNIsOrdinalN)
{
    static_assert(sizeof(TCommonButtons) == 1);
    EXPECT_EQ((TCommonButtons{cbYes, cbNo}).Bits(), 0x06);
    EXPECT_EQ((TCommonButtons{cbClose}).Bits(), 0x20);
    EXPECT_EQ((TTaskDialogOptions{doHyperlinks, doAllowMinimize, doAllowDialogCancel}).Bits(), 0x0821);

    TCommonButtons b{cbOK};
    b.Include(cbCancel).Exclude(cbOK);
    EXPECT_FALSE(b.Contains(cbOK));
    EXPECT_TRUE(b.Contains(cbCancel));
    EXPECT_EQ(b, TCommonButtons{cbCancel});
    EXPECT_NE(b, (TCommonButtons{cbCancel, cbRetry}));
}

// ---------------------------------------------------------------- the native configuration

struct FlagCase {
    TTaskDialogOptions options;
    std::uint32_t flags;
};

TEST_F(TaskDialog, OptionsBecomeDialogFlags)
{
    const FlagCase cases[] = {
        {{}, 0},
        {{doCommandLinks}, 0x0010},
        {{doCommandLinksNoIcon}, 0x0020},
        {{doCommandLinks, doCommandLinksNoIcon}, 0x0020},
        {{doHyperlinks}, 0x0001},
        {{doExpandedDefault}, 0x0080},
        {{doExpandedFooter}, 0x0040},
        {{doAllowMinimize}, 0x8000},
        {{doVerifyChecked}, 0x0100},
        {{doProgressBar}, 0x0200 | 0x0800},
        {{doProgressBarMarquee}, 0x0400 | 0x0800},
        {{doTimer}, 0x0800},
        {{doProgressBar, doTimer}, 0x0200 | 0x0800},
        {{doNoDefaultRadioButton}, 0x4000},
        {{doAllowDialogCancel}, 0x0008},
        {{doHyperlinks, doAllowMinimize, doAllowDialogCancel}, 0x8009},
        {{doCommandLinks, doHyperlinks}, 0x0011},
    };
    for (const auto& c : cases) {
        dlg.SetOptions(c.options);
        EXPECT_EQ(dlg.BuildNativeConfig().flags, c.flags) << "options " << c.options.Bits();
    }
}

TEST_F(TaskDialog, OwnerCentredPositionAddsTheRelativeFlag)
{
    dlg.SetOptions({doHyperlinks});
    dlg.SetDialogPosition(dpOwnerFormCenter);
    EXPECT_EQ(dlg.BuildNativeConfig().flags, 0x1001u);
}

TEST_F(TaskDialog, CustomIconWinsOverIcon)
{
    dlg.SetIcon(tiError);
    dlg.SetOptions({doHyperlinks});
    dlg.SetCustomIcon(0xBEEF);
    const auto c = dlg.BuildNativeConfig();
    EXPECT_TRUE(c.useMainIconHandle);
    EXPECT_EQ(c.mainIconHandle, 0xBEEFu);
    EXPECT_EQ(c.mainIcon, 0);
    EXPECT_EQ(c.flags, 0x0003u);
}

TEST_F(TaskDialog, IconTables)
{
    const std::pair<TTaskDialogIcon, int> main[] = {{tiBlank, 17},      {tiWarning, 84}, {tiQuestion, 99},
                                                    {tiError, 98},      {tiInformation, 81},
                                                    {tiNotUsed, 0},     {tiShield, 78}};
    for (const auto& [icon, id] : main) {
        dlg.SetIcon(icon);
        const auto c = dlg.BuildNativeConfig();
        EXPECT_EQ(c.mainIcon, id) << "icon " << icon;
        EXPECT_FALSE(c.useMainIconHandle);
        EXPECT_EQ(c.flags & td::kUseHIconMain, 0u);
    }
    const std::pair<TTaskDialogFooterIcon, int> footer[] = {{tfiBlank, 0},         {tfiWarning, 84},
                                                            {tfiQuestion, 99},     {tfiError, 98},
                                                            {tfiInformation, 0xFFFD}, {tfiShield, 0xFFFC}};
    for (const auto& [icon, id] : footer) {
        dlg.SetFooterIcon(icon);
        EXPECT_EQ(dlg.BuildNativeConfig().footerIcon, id) << "footer icon " << icon;
    }
}

TEST_F(TaskDialog, CommonButtonFlags)
{
    const std::pair<TCommonButton, std::uint32_t> cases[] = {{cbOK, 0x01},     {cbYes, 0x02},   {cbNo, 0x04},
                                                             {cbCancel, 0x08}, {cbRetry, 0x10}, {cbClose, 0x20}};
    for (const auto& [button, flag] : cases) {
        dlg.SetCommonButtons(TCommonButtons{button});
        EXPECT_EQ(dlg.BuildNativeConfig().commonButtons, flag) << "button " << button;
    }
    dlg.SetCommonButtons(TCommonButtons{cbYes, cbNo, cbCancel});
    EXPECT_EQ(dlg.BuildNativeConfig().commonButtons, 0x0Eu);
}

TEST_F(TaskDialog, ButtonsAndRadiosAreNumberedAndTheirLineBreaksExpanded)
{
    dlg.SetCustomButtons({"Install\\nnow", "Later"});
    dlg.SetRadioButtons({"One", "Two\\nlines", "Three"});
    dlg.SetDefaultButton(101);
    dlg.SetDefaultRadioButton(202);
    const auto c = dlg.BuildNativeConfig();
    const std::vector<NativeTaskDialogButton> buttons{{100, "Install\nnow"}, {101, "Later"}};
    const std::vector<NativeTaskDialogButton> radios{{200, "One"}, {201, "Two\nlines"}, {202, "Three"}};
    EXPECT_EQ(c.buttons, buttons);
    EXPECT_EQ(c.radioButtons, radios);
    EXPECT_EQ(c.defaultButton, 101);
    EXPECT_EQ(c.defaultRadioButton, 202);
}

TEST_F(TaskDialog, OnlySomeTextsHaveTheirLineBreaksExpanded)
{
    dlg.SetTitle("T\\n1");
    dlg.SetInstruction("First\\nSecond");
    dlg.SetContent("C\\n2");
    dlg.SetFooter("F\\n3");
    dlg.SetVerificationText("V\\n4");
    dlg.SetExpandedText("E\\n5");
    dlg.SetExpandControlText("Less\\n");
    dlg.SetCollapsControlText("More\\n");
    const auto c = dlg.BuildNativeConfig();
    EXPECT_EQ(c.windowTitle, "T\n1");
    EXPECT_EQ(c.mainInstruction, "First\nSecond");
    EXPECT_EQ(c.content, "C\n2");
    EXPECT_EQ(c.footer, "F\n3");
    EXPECT_EQ(c.verificationText, "V\\n4");
    EXPECT_EQ(c.expandedInformation, "E\\n5");
    EXPECT_EQ(c.expandedControlText, "Less\\n");
    EXPECT_EQ(c.collapsedControlText, "More\\n");
}

TEST_F(TaskDialog, OwnerIsTheParentWindowOrElseTheApplication)
{
    auto c = dlg.BuildNativeConfig();
    EXPECT_TRUE(c.ownerIsApplication);
    dlg.SetParentWindow(0x777);
    c = dlg.BuildNativeConfig();
    EXPECT_FALSE(c.ownerIsApplication);
    EXPECT_EQ(c.parentWindow, 0x777u);
}

TEST(ExpandLineBreaks, ReplacesEveryBackslashN)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"a\\nb", "a\nb"},
        {"\\n\\n", "\n\n"},
        {"end\\", "end\\"},
        {"a\\\\nb", "a\\\nb"},
        {"\\N", "\\N"},
        {"a\nb", "a\nb"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(ExpandLineBreaks(in), out) << in;
}

// ---------------------------------------------------------------- texts of an open dialog

TEST_F(TaskDialog, SettersUpdateAnOpenNativeDialogWhenTheTextChanges)
{
    dlg.SetContent("before");
    platform.nativeScript = [&](TTaskDialogEx& d) {
        d.HandleNotification(td::kCreated, kWindow, 0, "");
        d.SetContent("before");  // unchanged: nothing sent
        d.SetContent("now");
        d.SetExpandedText("details");
        d.SetFooter("foot\\n");
        d.SetInstruction("main");
        d.SetTitle("title");  // not a live text
    };
    dlg.ExecuteNative();
    const std::vector<ElementUpdate> expected{
        {kWindow, 0, "now"}, {kWindow, 1, "details"}, {kWindow, 2, "foot\\n"}, {kWindow, 3, "main"}};
    EXPECT_EQ(platform.updates, expected);
    EXPECT_EQ(dlg.Content(), "now");

    // Closed again: the texts are only stored.
    EXPECT_EQ(dlg.DialogHandle(), 0u);
    dlg.SetContent("after");
    EXPECT_EQ(platform.updates.size(), expected.size());
    EXPECT_EQ(dlg.Content(), "after");
}

// ---------------------------------------------------------------- notifications

TEST_F(TaskDialog, EveryNotificationRemembersTheWindow)
{
    EXPECT_EQ(dlg.HandleNotification(7, 0x55, 0, ""), 0);
    EXPECT_EQ(dlg.DialogHandle(), 0x55u);
}

TEST_F(TaskDialog, ButtonClickClosesUnlessTheCloseHandlerVetoes)
{
    std::vector<int> clicked;
    EXPECT_EQ(Notify(td::kButtonClicked, 1), 0);

    dlg.OnDialogButtonClick = [&](TTaskDialogEx& s, int id) {
        EXPECT_EQ(&s, &dlg);
        clicked.push_back(id);
    };
    bool allow = false;
    int asked = 0;
    dlg.OnDialogClose = [&](TTaskDialogEx&, bool& canClose) {
        EXPECT_TRUE(canClose);
        ++asked;
        canClose = allow;
    };
    EXPECT_EQ(Notify(td::kButtonClicked, 8), 1);
    allow = true;
    EXPECT_EQ(Notify(td::kButtonClicked, 101), 0);
    EXPECT_EQ(clicked, (std::vector<int>{8, 101}));
    EXPECT_EQ(asked, 2);
}

struct LinkCase {
    bool handler;
    std::string href;
    bool opened;
};

TEST_F(TaskDialog, HyperlinksOpenOnlyWithoutAHandlerAndWithAScheme)
{
    const LinkCase cases[] = {
        {false, "https://www.example.com/x", true},
        {false, "mailto:someone@example.com", false},
        {false, "", false},
        {true, "https://www.example.com/x", false},
        {true, "local", false},
    };
    for (const auto& c : cases) {
        FakeDialogPlatform p;
        TTaskDialogEx d(p);
        std::vector<std::string> handled;
        if (c.handler) d.OnDialogHyperlinkClick = [&](TTaskDialogEx&, const std::string& h) { handled.push_back(h); };
        EXPECT_EQ(d.HandleNotification(td::kHyperlinkClicked, kWindow, 0, c.href), 0);
        if (c.opened)
            EXPECT_EQ(p.links, (std::vector<OpenedLink>{{0, "iexplore.exe", c.href}})) << c.href;
        else
            EXPECT_TRUE(p.links.empty()) << c.href;
        EXPECT_EQ(handled, c.handler ? std::vector<std::string>{c.href} : std::vector<std::string>{});
    }
}

TEST_F(TaskDialog, CreatedSetsTheProgressRangeWhenABarIsShown)
{
    int created = 0;
    dlg.OnDialogCreated = [&](TTaskDialogEx&) { ++created; };
    dlg.SetProgressBarMin(10);
    dlg.SetProgressBarMax(500);
    EXPECT_EQ(Notify(td::kCreated), 0);
    EXPECT_TRUE(platform.sent.empty());  // no bar

    dlg.SetOptions({doProgressBar});
    EXPECT_EQ(Notify(td::kCreated), 0);
    dlg.SetProgressBarMin(-1);
    dlg.SetProgressBarMax(0x12345);  // only 16 bits of each end fit
    Notify(td::kCreated);
    const std::vector<SentMessage> expected{
        {kWindow, td::kSetProgressBarRange, 0, 10 | (500 << 16)},
        {kWindow, td::kSetProgressBarRange, 0, static_cast<std::intptr_t>(0x2345FFFFu)},
    };
    EXPECT_EQ(platform.sent, expected);
    EXPECT_EQ(created, 3);
}

TEST_F(TaskDialog, TimerFeedsTheProgressHandlerIntoTheBar)
{
    int timers = 0;
    dlg.OnDialogTimer = [&](TTaskDialogEx&) { ++timers; };
    Notify(td::kTimer);
    EXPECT_EQ(timers, 1);
    EXPECT_TRUE(platform.sent.empty());

    const std::pair<TTaskDialogProgressState, unsigned> states[] = {{psNormal, 1}, {psError, 2}, {psPaused, 3}};
    for (const auto& [state, barState] : states) {
        platform.sent.clear();
        dlg.OnDialogProgress = [&, state = state](TTaskDialogEx&, int& pos, TTaskDialogProgressState& s) {
            pos = 42;
            s = state;
        };
        EXPECT_EQ(Notify(td::kTimer), 0);
        const std::vector<SentMessage> expected{{kWindow, td::kSetProgressBarPos, 42, 0},
                                                {kWindow, td::kSetProgressBarState, barState, 0}};
        EXPECT_EQ(platform.sent, expected);
    }
    EXPECT_EQ(timers, 4);
}

TEST_F(TaskDialog, ProgressHandlerStartsFromTheLastPosition)
{
    dlg.SetProgressBarMin(5);
    std::vector<int> seen;
    dlg.OnDialogProgress = [&](TTaskDialogEx&, int& pos, TTaskDialogProgressState& state) {
        seen.push_back(pos);
        EXPECT_EQ(state, psNormal);
        pos += 10;
        state = psPaused;
    };
    platform.nativeScript = [&](TTaskDialogEx& d) {
        d.HandleNotification(td::kTimer, kWindow, 0, "");
        d.HandleNotification(td::kTimer, kWindow, 0, "");
    };
    dlg.ExecuteNative();
    EXPECT_EQ(seen, (std::vector<int>{5, 15}));
}

TEST_F(TaskDialog, RadioAndVerificationClicksReachTheirHandlers)
{
    std::vector<int> radios;
    std::vector<bool> checks;
    Notify(td::kRadioButtonClicked, 201);  // no handler: nothing to do
    dlg.OnDialogRadioClick = [&](TTaskDialogEx&, int id) { radios.push_back(id); };
    dlg.OnDialogVerifyClick = [&](TTaskDialogEx&, bool checked) { checks.push_back(checked); };
    EXPECT_EQ(Notify(td::kRadioButtonClicked, 202), 0);
    EXPECT_EQ(Notify(td::kVerificationClicked, 1), 0);
    EXPECT_EQ(Notify(td::kVerificationClicked, 0), 0);
    EXPECT_EQ(radios, std::vector<int>{202});
    EXPECT_EQ(checks, (std::vector<bool>{true, false}));
}

// ---------------------------------------------------------------- opening links

TEST(OpenLink, VistaStartsTheProgramElevatedOlderSystemsOpenTheLink)
{
    LinkOpenCall vista;
    vista.call = LinkOpenCall::Call::ShellExecuteEx;
    vista.verb = "runas";
    vista.file = "iexplore.exe";
    vista.parameters = "\"https://x.example/a b\"";
    vista.show = 1;
    vista.parent = 0x99;
    EXPECT_EQ(PlanOpenLink(true, 0x99, "iexplore.exe", "https://x.example/a b"), vista);

    const auto old = PlanOpenLink(false, 0, "iexplore.exe", "HTTP://x.example/");
    ASSERT_TRUE(old.has_value());
    EXPECT_EQ(old->call, LinkOpenCall::Call::ShellExecute);
    EXPECT_EQ(old->verb, "open");
    EXPECT_EQ(old->file, "HTTP://x.example/");
    EXPECT_EQ(old->parameters, "");
    EXPECT_EQ(old->show, 1);
}

// The program runs elevated and the link becomes its command line.
TEST(OpenLink, OnlyPlainWebLinksAreHandedOn)
{
    for (const char* link : {"file://C:/Windows/system32/cmd.exe", "ftp://x.example/", "javascript://x%0Aalert(1)",
                             "https://x.example/\" -nohome \"c:\\x", "https://x.example/\r\nx", "https://",
                             "http:/x.example/", "res://dupd.exe/x", "https://x.example/\x7F"})
        for (bool vista : {true, false}) EXPECT_FALSE(PlanOpenLink(vista, 0, "iexplore.exe", link)) << link;
}

}  // namespace
}  // namespace dupd
