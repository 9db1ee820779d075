// The emulated task dialog as real windows, in this process: Execute runs on the
// test thread while a second thread, the person in front of it, reads the windows
// and works them with messages, keys and the clipboard.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "markup/win32/GdiCanvas.h"
#include "taskdialog/TaskDialog.h"
#include "taskdialog/win32/TaskWindowSupport.h"
#include "taskdialog/win32/Win32TaskDialog.h"
#include "tests/support/win32/Desktop.h"
#include "tests/support/win32/Files.h"
#include "winenv/win32/Handle.h"

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

HWND FocusOf(HWND dialog)
{
    GUITHREADINFO gui{sizeof gui};
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &gui);
    return gui.hwndFocus;
}

// The form's own painting of its client area, without the child windows, as
// RGB pixels row by row.
std::vector<COLORREF> PaintedPixels(HWND dialog, int& width, int& height)
{
    RECT client{};
    ::GetClientRect(dialog, &client);
    width = client.right;
    height = client.bottom;
    std::vector<COLORREF> pixels;
    WindowDc screen(nullptr);
    UniqueMemoryDc dc(::CreateCompatibleDC(screen.get()));
    UniqueBitmap bitmap(::CreateCompatibleBitmap(screen.get(), width, height));
    if (!dc || !bitmap) return pixels;
    SelectObjectGuard selected(dc.get(), bitmap.get());
    ::SendMessageA(dialog, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels.push_back(::GetPixel(dc.get(), x, y));
    return pixels;
}

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
        LONG style = 0, exStyle = 0;
        const int result = ExecuteActing([&](HWND w) {
            style = ::GetWindowLongA(w, GWL_STYLE);
            exStyle = ::GetWindowLongA(w, GWL_EXSTYLE);
            sent = support::SendChord(w, {VK_MENU, VK_F4});
            openAfterAltF4 = !Within(500, [&] { return !::IsWindow(w); });
            support::SendChord(w, {VK_ESCAPE});
        });
        const bool minimizable = options.Contains(doAllowMinimize);
        SCOPED_TRACE(minimizable ? "with system menu" : "dialog frame");
        // A single-line border with the minimise box, or a dialog frame without
        // border icons.
        EXPECT_EQ((exStyle & WS_EX_DLGMODALFRAME) != 0, !minimizable);
        EXPECT_EQ((style & WS_MINIMIZEBOX) != 0, minimizable);
        EXPECT_EQ((style & WS_SYSMENU) != 0, minimizable);
        EXPECT_FALSE(style & WS_THICKFRAME);
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

// A user without a mouse: Tab reaches the links among the controls, the focused
// one shows a focus rectangle, Enter or Space opens it.
TEST_F(TaskMessageWindowTest, TabReachesEveryLinkAndEnterOrSpaceOpensIt)
{
    dlg.SetOptions({doHyperlinks, doExpandedDefault, doAllowDialogCancel});
    dlg.SetContent("Get it from <A href=\"http://a.example/\">the site</A> or <A href=\"http://b.example/\">a "
                   "mirror</A>.");
    dlg.SetExpandedText("Notes: <A href=\"http://c.example/\">what is new</A>");
    dlg.SetFooter("Help: <A href=\"http://d.example/\">support</A>");
    std::vector<std::string> opened;
    std::atomic<int> openings{0};
    dlg.OnDialogHyperlinkClick = [&](TTaskDialogEx&, const std::string& href) {
        opened.push_back(href);
        ++openings;
    };
    std::vector<std::string> focus;  // after each Tab: a control's id, or "link"
    bool linkDrawsFocus = false;
    const int result = ExecuteActing([&](HWND w) {
        int width = 0, height = 0;
        const std::vector<COLORREF> onButton = PaintedPixels(w, width, height);
        const std::vector<WORD> opens[] = {{VK_RETURN}, {VK_SPACE}, {VK_RETURN}, {VK_SPACE}};
        std::size_t link = 0;
        for (int tab = 0; tab < 6; ++tab) {
            const HWND before = FocusOf(w);
            support::SendChord(w, {VK_TAB});
            // From one link to the next the focus stays on the dialog.
            Within(500, [&] { return FocusOf(w) != before; });
            const HWND now = FocusOf(w);
            focus.push_back(now == w ? "link" : std::to_string(::GetDlgCtrlID(now)));
            if (now != w || link >= 4) continue;
            if (link == 0) linkDrawsFocus = PaintedPixels(w, width, height) != onButton;
            const int had = openings;
            support::SendChord(w, opens[link++]);
            Within(1000, [&] { return openings > had; });
        }
        support::SendChord(w, {VK_ESCAPE});
    });
    EXPECT_FALSE(leftOpen);
    EXPECT_EQ(result, IDNO) << "Escape, not a link's Enter, ends the dialog";
    // Yes has the focus first; No, then the footer's link, round to the content's
    // and the details' links, and Yes again.
    EXPECT_EQ(focus, (std::vector<std::string>{std::to_string(IDNO), "link", "link", "link", "link",
                                               std::to_string(IDYES)}));
    EXPECT_EQ(opened, (std::vector<std::string>{"http://d.example/", "http://a.example/", "http://b.example/",
                                                "http://c.example/"}));
    EXPECT_TRUE(linkDrawsFocus) << "the focused link looks no different";
}

TEST_F(TaskMessageWindowTest, ABusyClipboardIsReportedAndTheDialogStaysOpen)
{
    std::string text;
    bool owner = false, openAfterwards = false;
    const int result = ExecuteActing([&](HWND w) {
        // A window of a third thread holds the clipboard, as another program's
        // might; the thread answers its messages meanwhile.
        std::atomic<DWORD> holderThread{0};
        std::atomic<bool> holding{false};
        std::thread holder([&] {
            MSG m;
            ::PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE);  // a queue for the quit
            UniqueWindow window(::CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                                  ::GetModuleHandleA(nullptr), nullptr));
            holding = window && ::OpenClipboard(window.get());
            holderThread = ::GetCurrentThreadId();
            while (::GetMessageA(&m, nullptr, 0, 0) > 0) ::DispatchMessageA(&m);
            if (holding) ::CloseClipboard();
        });
        Within(2000, [&] { return holderThread != 0; });
        HWND box = nullptr;
        if (holding) {
            support::SendChord(w, {VK_CONTROL, 'C'});
            // The framework's way: a message box under the program's name.
            Within(3000, [&] { return (box = support::FindTitledWindow("dupd_win_tests")) != nullptr; });
        }
        ::PostThreadMessageA(holderThread, WM_QUIT, 0, 0);
        holder.join();
        if (box == nullptr) return;
        owner = ::GetWindow(box, GW_OWNER) == w;
        text = support::TextOf(::GetDlgItem(box, 0xFFFF));
        ::PostMessageA(box, WM_CLOSE, 0, 0);
        Within(2000, [&] { return !::IsWindow(box); });
        openAfterwards = ::IsWindow(w) && ::IsWindowVisible(w);
        ::PostMessageA(w, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(text, "Cannot open clipboard");
    EXPECT_TRUE(owner) << "the message box belongs to the dialog";
    EXPECT_TRUE(openAfterwards);
    EXPECT_EQ(result, 2);
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

TEST_F(TaskMessageWindowTest, WindowFontIsTheMessageFontAsTheSystemDescribesIt)
{
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = 340;
    ASSERT_TRUE(::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, 340, &metrics, 0));
    LOGFONTA window{}, button{};
    ExecuteActing([&](HWND w) {
        ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(w, WM_GETFONT, 0, 0)), sizeof window, &window);
        ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(::GetDlgItem(w, IDYES), WM_GETFONT, 0, 0)),
                     sizeof button, &button);
        ::PostMessageA(w, WM_CLOSE, 0, 0);
    });
    const LOGFONTA& message = metrics.lfMessageFont;
    for (const LOGFONTA* f : {&window, &button}) {
        EXPECT_STREQ(f->lfFaceName, message.lfFaceName);
        EXPECT_EQ(f->lfHeight, message.lfHeight);
        EXPECT_EQ(f->lfCharSet, message.lfCharSet);
        EXPECT_EQ(f->lfQuality, message.lfQuality);
        EXPECT_EQ(f->lfWeight, message.lfWeight);
    }
}

// The texts the form paints (content, expanded text, footer) are drawn on the
// canvas in the window's font state: the font the canvas makes of it is the
// message font as the system describes it, in character set, quality and height,
// and its bold and link variants keep them. The description is made unlike the
// defaults, so that a field the canvas dropped would show.
TEST(TaskMessageWindowFonts, PaintedTextIsInTheMessageFontAsTheSystemDescribesIt)
{
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = taskwindow::kNonClientMetricsSize;
    ASSERT_TRUE(::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0));
    LOGFONTA message = metrics.lfMessageFont;
    message.lfCharSet = ANSI_CHARSET;
    message.lfQuality = ANTIALIASED_QUALITY;
    message.lfHeight = -14;  // 10.5 points at 96 pixels an inch: rounded and back, 15

    UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc);
    const int ppi = ::GetDeviceCaps(dc.get(), LOGPIXELSY);
    const TFontState described = taskwindow::FontStateOf(message, ppi);
    TFontState bold = described;
    bold.Style = fsBold;
    TFontState link = described;
    link.Style = fsUnderline;
    link.Color = 0x00FF0000;
    TFontState larger = described;
    larger.Size += 3;
    const struct {
        const char* name;
        const TFontState& font;
        LONG height;
    } rows[] = {{"as described", described, message.lfHeight},
                {"bold", bold, message.lfHeight},
                {"link", link, message.lfHeight},
                {"another size", larger, -::MulDiv(larger.Size, ppi, 72)}};
    for (const auto calls : {GdiCanvas::Calls::kShortcuts, GdiCanvas::Calls::kPlain}) {
        GdiCanvas canvas(dc.get(), calls);
        for (const auto& row : rows) {
            canvas.SetFont(row.font);
            TRect r{0, 0, 200, 40};
            canvas.DrawText("Painted text", r, dt::kSingleLine | dt::kCalcRect);
            LOGFONTA made{};
            ASSERT_NE(::GetObjectA(::GetCurrentObject(dc.get(), OBJ_FONT), sizeof made, &made), 0) << row.name;
            EXPECT_STREQ(made.lfFaceName, message.lfFaceName) << row.name;
            EXPECT_EQ(made.lfCharSet, message.lfCharSet) << row.name;
            EXPECT_EQ(made.lfQuality, message.lfQuality) << row.name;
            EXPECT_EQ(made.lfHeight, row.height) << row.name;
        }
    }
}

// The footer icon is drawn through its transparency: on white, with no band
// behind it, no grey square shows round it.
TEST_F(TaskMessageWindowTest, FooterIconShowsWhatLiesBehindIt)
{
    dlg.SetCommonButtons({});
    dlg.SetCustomButtons({"Install now"});
    dlg.SetOptions({doCommandLinks, doAllowDialogCancel});
    dlg.SetFooter("Signed by the publisher");
    for (const auto icon : {tfiInformation, tfiShield}) {
        dlg.SetFooterIcon(icon);
        int width = 0, height = 0, grey = 0;
        std::vector<COLORREF> pixels;
        ExecuteActing([&](HWND w) {
            pixels = PaintedPixels(w, width, height);
            ::PostMessageA(w, WM_CLOSE, 0, 0);
        });
        // Left of the footer's text, in the lower half: only the icon stands there.
        for (int y = height / 2; y < height; ++y)
            for (int x = 0; x < 30 && x < width; ++x)
                grey += pixels[static_cast<std::size_t>(y * width + x)] == RGB(240, 240, 240);
        ASSERT_FALSE(pixels.empty());
        EXPECT_LT(grey, 8) << (icon == tfiShield ? "shield" : "information");
    }
}

// The bar keeps its position within its range; the progress event starts from
// what it shows.
TEST_F(TaskMessageWindowTest, ProgressStartsFromWhatTheBarShows)
{
    dlg.SetOptions({doProgressBar, doAllowDialogCancel});
    dlg.SetProgressBarMin(10);
    dlg.SetProgressBarMax(60);
    std::vector<int> seen;
    std::atomic<int> events{0};
    dlg.OnDialogProgress = [&](TTaskDialogEx&, int& pos, TTaskDialogProgressState&) {
        seen.push_back(pos);
        pos = 1000;
        ++events;
    };
    ExecuteActing([&](HWND w) {
        Within(3000, [&] { return events >= 2; });
        ::PostMessageA(w, WM_CLOSE, 0, 0);
    });
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0], 10);
    EXPECT_EQ(seen[1], 60);
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
