#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "FakeDialogPlatform.h"
#include "FakeFormHost.h"
#include "TestCanvas.h"
#include "taskdialog/TaskMessageForm.h"

// Expected numbers follow from the test canvas (6 px a character, 7 bold; 13 px a
// line at 8 pt, 16 at 11 pt), which makes the units HorzMargin 12, VertMargin 13,
// IconGap 15, VertGap 16, ButtonHeight 23 and ButtonGap 6.

namespace dupd {
namespace {

using fake::FakeFormHost;
using fake::FakePictures;

class EmulatedDialog : public ::testing::Test {
protected:
    void SetUp() override { TTaskMessageForm::ForgetButtonWidths(); }

    TTaskMessageForm& Build()
    {
        form = std::make_unique<TTaskMessageForm>(dialog, host);
        form->BuildDialog();
        return *form;
    }
    TControl& Named(const std::string& name)
    {
        for (TControl* c : form->Controls())
            if (c->Name == name) return *c;
        throw std::runtime_error("no control " + name);
    }
    TButton& Button(const std::string& name) { return dynamic_cast<TButton&>(Named(name)); }
    void UpdaterQuestion()
    {
        dialog.SetTitle("Quellmark Database Updater  - Confirm");
        dialog.SetIcon(tiQuestion);
        dialog.SetCommonButtons({cbYes, cbNo});
        dialog.SetOptions({doHyperlinks, doAllowMinimize, doAllowDialogCancel});
        dialog.SetFooterIcon(tfiInformation);
        dialog.SetFooter("For support contact: support@ostravane.com");
        dialog.SetInstruction("Re-install this Update?");
        dialog.SetContent("The Database Update you are installing is the same as the version already installed. "
                          "Are you sure you wish to continue with the installation?");
    }

    fake::FakeDialogPlatform platform;
    TTaskDialogEx dialog{platform};
    FakeFormHost host;
    std::unique_ptr<TTaskMessageForm> form;
};

const std::string kDivider = std::string(27, '-') + "\r\n";

// ---------------------------------------------------------------- buttons

TEST_F(EmulatedDialog, WithoutButtonsOneOkIsDefaultAndCancelsOnlyWhenAllowed)
{
    for (bool allowCancel : {false, true}) {
        TTaskMessageForm::ForgetButtonWidths();
        dialog.SetOptions(allowCancel ? TTaskDialogOptions{doAllowDialogCancel} : TTaskDialogOptions{});
        TTaskMessageForm& f = Build();
        ASSERT_EQ(f.CommonButtons().size(), 1u);
        TButton& ok = Button("OK");
        EXPECT_EQ(ok.Caption, "OK");
        EXPECT_EQ(ok.ModalResult, 1);
        EXPECT_EQ(ok.Id, 1);
        EXPECT_TRUE(ok.Default);
        EXPECT_EQ(ok.Cancel, allowCancel);
        EXPECT_EQ(TTaskMessageForm::CachedButtonWidth(cbOK), 12 + 8);  // measured anew: text + 8
        // Blank icon column, no instruction: the row lies two gaps and a margin
        // below the top margin, right-aligned 19 px before the minimum width.
        EXPECT_EQ(f.ClientWidth, 350);
        EXPECT_EQ(ok.Bounds, (TRect{271, 58, 331, 81}));
        EXPECT_EQ(f.ButtonBandTop, 58);
        EXPECT_EQ(f.ClientHeight, 94);
        EXPECT_EQ(f.DialogKey(vk::kEscape), allowCancel);
    }
}

TEST_F(EmulatedDialog, CloseButtonIsAbortReturningThree)
{
    dialog.SetCommonButtons({cbClose});
    dialog.SetOptions({doAllowDialogCancel});
    TTaskMessageForm& f = Build();
    TButton& abort = Button("Abort");
    EXPECT_EQ(abort.Caption, "&Abort");
    EXPECT_EQ(abort.Id, 3);
    EXPECT_FALSE(abort.Default);  // the automatic default kind is Retry, absent here
    EXPECT_FALSE(abort.Cancel);   // the Escape kind stays OK, absent here
    EXPECT_EQ(TTaskMessageForm::CachedButtonWidth(cbClose), 30 + 16);
    EXPECT_EQ(abort.Width(), 60);
    f.Click(abort);
    EXPECT_EQ(f.ModalResult, 3);
}

TEST_F(EmulatedDialog, DefaultButtonRules)
{
    {
        dialog.SetCommonButtons({cbOK, cbCancel});
        dialog.SetCustomButtons({"Custom"});
        dialog.SetDefaultButton(-1);
        TTaskMessageForm& f = Build();
        for (TControl* c : f.Controls()) {
            if (auto* b = dynamic_cast<TButton*>(c)) {
                EXPECT_FALSE(b->Default) << b->Name;
                EXPECT_FALSE(b->TabStop) << b->Name;
            }
        }
        EXPECT_FALSE(f.DialogKey(vk::kReturn));
    }
    {
        // The default kind stays OK for any other value, so both are marked.
        dialog.SetCommonButtons({cbOK});
        dialog.SetCustomButtons({"Go"});
        dialog.SetDefaultButton(100);
        TTaskMessageForm& f = Build();
        EXPECT_TRUE(Button("OK").Default);
        EXPECT_TRUE(Button("Button0").Default);
        EXPECT_EQ(Button("Button0").ModalResult, 100);
        EXPECT_EQ(Button("Button0").Id, 100);
        // Custom buttons stand left of the common ones; the row ends 13 px before
        // the edge (19 less the gap that follows the custom buttons).
        EXPECT_EQ(Button("Button0").Bounds, (TRect{211, 58, 271, 81}));
        EXPECT_EQ(Button("OK").Bounds, (TRect{277, 58, 337, 81}));
        EXPECT_EQ(f.Controls().front(), &Named("OK"));  // first in the tab order
        f.Shown();
        ASSERT_EQ(host.focusCalls.size(), 1u);
        EXPECT_EQ(host.focusCalls[0], &Named("Button0"));
    }
    {
        // DefaultButton 2: Cancel is default and moves to the front of the tab order.
        dialog.SetCommonButtons({cbOK, cbCancel});
        dialog.SetCustomButtons({});
        dialog.SetDefaultButton(2);
        TTaskMessageForm& f = Build();
        EXPECT_FALSE(Button("OK").Default);
        EXPECT_TRUE(Button("Cancel").Default);
        EXPECT_EQ(f.Controls().front(), &Named("Cancel"));
    }
}

TEST_F(EmulatedDialog, CustomButtonClickRaisesItsIdThenCloses)
{
    std::vector<int> clicked;
    std::vector<int> resultSeen;  // the modal result while the handler runs
    dialog.OnDialogButtonClick = [&](TTaskDialogEx&, int id) {
        clicked.push_back(id);
        resultSeen.push_back(form->ModalResult);
    };
    dialog.SetCommonButtons({cbOK});
    dialog.SetCustomButtons({"A", "B"});
    TTaskMessageForm& f = Build();
    f.Click(Named("Button1"));
    EXPECT_EQ(clicked, std::vector<int>{101});
    EXPECT_EQ(resultSeen, std::vector<int>{101}) << "the result is set before the event, so a handler can undo it";
    EXPECT_EQ(f.ModalResult, 101);
    // A handler that takes the result back keeps the dialog open.
    dialog.OnDialogButtonClick = [&](TTaskDialogEx&, int) { form->ModalResult = 0; };
    f.ModalResult = 0;
    f.Click(Named("Button0"));
    EXPECT_EQ(f.ModalResult, 0);
    f.ModalResult = 0;
    f.Click(Named("OK"));  // common buttons raise no event
    EXPECT_EQ(clicked.size(), 1u);
    EXPECT_EQ(f.ModalResult, 1);
}

// ---------------------------------------------------------------- width and rows

TEST_F(EmulatedDialog, TitleWidensTheWindowWithinTheScreen)
{
    struct Case {
        std::size_t titleLength;
        int width;
    } cases[] = {
        {10, 350},             // 60 + 50 stays below the minimum
        {100, 600 + 50},       // the measured width + 50
        {200, 1024 - 2 * 2},   // clamped to the screen less two edges
    };
    for (const Case& c : cases) {
        dialog.SetTitle(std::string(c.titleLength, 'x'));
        EXPECT_EQ(Build().ClientWidth, c.width) << c.titleLength;
        EXPECT_EQ(form->Caption, dialog.Title());
    }
}

TEST_F(EmulatedDialog, IconColumnPlacesTheInstruction)
{
    dialog.SetInstruction("Hello");
    dialog.SetIcon(tiNotUsed);
    TTaskMessageForm& f = Build();
    EXPECT_EQ(f.Image(), nullptr);
    EXPECT_EQ(f.Instruction()->Bounds, (TRect{12, 13, 12 + 35, 13 + 16}));
    EXPECT_EQ(f.ContentLeft, 12);

    dialog.SetIcon(tiQuestion);
    TTaskMessageForm& g = Build();
    ASSERT_NE(g.Image(), nullptr);
    EXPECT_EQ(g.Image()->Picture, TImage::Source::StockIcon);
    EXPECT_EQ(g.Image()->StockIconId, idi::kQuestion);
    EXPECT_EQ(g.Image()->Bounds, (TRect{12, 13, 44, 45}));
    EXPECT_EQ(g.Instruction()->Bounds.Left, 12 + 15 + 32);

    // A custom icon is shown even without the column, which stays unreserved.
    dialog.SetIcon(tiNotUsed);
    dialog.SetCustomIcon(0x1234);
    TTaskMessageForm& h = Build();
    ASSERT_NE(h.Image(), nullptr);
    EXPECT_EQ(h.Image()->Picture, TImage::Source::IconHandle);
    EXPECT_EQ(h.Instruction()->Bounds.Left, 12);
}

TEST_F(EmulatedDialog, ContentBesideAnImageIsAtLeastImageHighWithoutInstruction)
{
    dialog.SetIcon(tiInformation);
    dialog.SetCommonButtons({cbOK});
    struct Case {
        std::string content;
        int rowTop;
    } cases[] = {
        {"Short", 13 + 32 + 16},                 // one 13 px line, raised to the image
        {"one\\ntwo\\nthree", 13 + 39 + 16},     // three lines are taller than the image
    };
    for (const Case& c : cases) {
        dialog.SetContent(c.content);
        TTaskMessageForm& f = Build();
        EXPECT_EQ(Named("OK").Bounds.Top, c.rowTop) << c.content;
        EXPECT_EQ(f.ContentRect().Left, 44 + 15);
        EXPECT_EQ(f.ContentRect().Top, 13);
    }
    // With an instruction the block is only as high as the text.
    dialog.SetInstruction("Note");
    dialog.SetContent("Short");
    Build();
    EXPECT_EQ(Named("OK").Bounds.Top, 13 + 16 + 16 + 13 + 16);
}

TEST_F(EmulatedDialog, ExpandedFooterPutsTheBandAtTheDetails)
{
    dialog.SetIcon(tiNotUsed);
    dialog.SetInstruction("Title");
    dialog.SetCommonButtons({cbOK});
    dialog.SetExpandedText("Details here");
    dialog.SetExpandControlText("Less");
    dialog.SetCollapsControlText("More");
    for (bool inFooter : {false, true}) {
        dialog.SetOptions(inFooter ? TTaskDialogOptions{doExpandedDefault, doExpandedFooter}
                                   : TTaskDialogOptions{doExpandedDefault});
        TTaskMessageForm& f = Build();
        EXPECT_TRUE(f.Expanded());
        EXPECT_EQ(f.ExpandedTop, 61);
        EXPECT_EQ(f.ExpandedRect(), (TRect{12, 61, 338, 74}));
        EXPECT_EQ(f.ExpandButton()->Bounds, (TRect{13, 90, 32, 109}));
        EXPECT_EQ(Named("OK").Bounds, (TRect{271, 90, 331, 113}));
        EXPECT_EQ(f.ClientHeight, 126);
        EXPECT_EQ(f.ButtonBandTop, inFooter ? 61 : 90);
        EXPECT_EQ(f.ExpandButton()->Color, formcolor::kBand);  // it stands in the band
    }
    TestCanvas paint;
    form->Paint(paint);
    bool bandFromDetails = false;
    for (const auto& c : paint.Of(TCanvasCall::kFill))
        bandFromDetails |= c.Brush == formcolor::kBand && c.Rect == TRect{0, 61 - 8, 350, 126};
    EXPECT_TRUE(bandFromDetails) << paint.Log();
}

TEST_F(EmulatedDialog, CommandLinkOfThreeLines)
{
    dialog.SetIcon(tiInformation);
    dialog.SetInstruction("Choose");
    dialog.SetOptions({doCommandLinks});
    dialog.SetCustomButtons({"Heading\\nline two\\nline three"});
    form = std::make_unique<TTaskMessageForm>(dialog, host);
    form->BuildDialog();
    TTaskMessageForm& f = *form;
    EXPECT_TRUE(f.CommonButtons().empty());  // a command link is a button: no OK added
    auto& link = dynamic_cast<TTaskDialogButton&>(Named("Button0"));
    EXPECT_EQ(link.ModalResult, 100);
    EXPECT_EQ(link.HeadingFont.Size, 11);
    EXPECT_TRUE(link.HeadingFont.Style & fsBold);
    EXPECT_EQ(link.HeadingFont.Color, formcolor::kInstruction);
    EXPECT_EQ(link.Font.Size, 8);
    EXPECT_EQ(link.Picture, "TD_ARW");
    EXPECT_TRUE(link.FocusOnHover);
    // Heading 49 + 8 wide and 16 + 10 high, then 13 + 2 for each further line;
    // the widest line "line three" is 60 + 8.
    EXPECT_EQ(link.Bounds, (TRect{59, 45, 59 + 279, 45 + 56}));
    // The band would start under the links, but without common buttons there is
    // none: it moves to the window's bottom.
    EXPECT_EQ(f.ClientHeight, 45 + 56 + 2 + 16 + 13);
    EXPECT_EQ(f.ButtonBandTop, f.ClientHeight);
    TestCanvas paint;
    f.Paint(paint);
    for (const auto& c : paint.Of(TCanvasCall::kFill)) EXPECT_NE(c.Brush, formcolor::kBand) << paint.Log();

    TestCanvas canvas;
    link.Paint(canvas, false, host.pictures);
    EXPECT_EQ(host.pictures.drawn, std::vector<std::string>{"TD_ARW at 4,20"});
    const auto texts = canvas.Of(TCanvasCall::kText);
    ASSERT_EQ(texts.size(), 3u) << canvas.Log();
    EXPECT_EQ(texts[0].Text, "Heading");
    EXPECT_EQ(texts[0].Font, link.HeadingFont);
    EXPECT_EQ(texts[0].Rect, (TRect{23, 2, 279, 56}));
    EXPECT_EQ(texts[1].Text, "line two");
    EXPECT_EQ(texts[1].Font, link.Font);
    EXPECT_EQ(texts[1].Rect.Top, 2 + 16 + 4);
    EXPECT_EQ(texts[2].Text, "line three");
    EXPECT_EQ(texts[2].Rect.Top, 22 + 13 + 2);
    EXPECT_TRUE(canvas.Of(TCanvasCall::kRoundRect).empty());

    // Without an image the links keep the margin, as the instruction does.
    dialog.SetIcon(tiNotUsed);
    form = std::make_unique<TTaskMessageForm>(dialog, host);
    form->BuildDialog();
    EXPECT_EQ(Named("Button0").Bounds.Left, form->HorzMargin);
    EXPECT_EQ(Named("Button0").Bounds.Right, form->ClientWidth - form->HorzMargin);
}

// ---------------------------------------------------------------- the updater's question

TEST_F(EmulatedDialog, UpdaterQuestionLayoutAndKeys)
{
    UpdaterQuestion();
    TTaskMessageForm& f = Build();
    EXPECT_EQ(f.ClientWidth, 350);  // the footer's 254 and the icon row's 208 stay below it
    EXPECT_EQ(f.Instruction()->Bounds, (TRect{59, 13, 59 + 161, 29}));
    EXPECT_EQ(f.Instruction()->Font.Color, formcolor::kInstruction);
    // The content wraps into four lines of at most 46 characters beside the icon.
    EXPECT_EQ(f.ContentRect(), (TRect{59, 45, 338, 45 + 52}));
    EXPECT_EQ(f.ContentWidth, 270 + 2);
    TButton& yes = Button("Yes");
    TButton& no = Button("No");
    EXPECT_EQ(yes.Bounds, (TRect{205, 113, 265, 136}));
    EXPECT_EQ(no.Bounds, (TRect{271, 113, 331, 136}));
    EXPECT_TRUE(yes.Default);
    EXPECT_FALSE(no.Default);
    EXPECT_TRUE(no.Cancel);
    EXPECT_FALSE(yes.Cancel);
    EXPECT_EQ(f.ButtonBandTop, 113);
    EXPECT_EQ(f.FooterWidth, 252 + 2);
    EXPECT_EQ(f.FooterHeight, 13);
    EXPECT_EQ(f.FooterIconId, idi::kAsterisk);
    ASSERT_NE(f.FooterImage(), nullptr);
    EXPECT_FALSE(f.FooterImage()->Visible);
    EXPECT_EQ(f.ClientHeight, 136 + 20 + 16 + 13);  // the icon's 20 px win over the 13 px line
    EXPECT_EQ(f.FooterRect(), (TRect{12, 185 - 13 - 10, 338, 185}));

    EXPECT_TRUE(f.DialogKey(vk::kEscape));
    EXPECT_EQ(f.ModalResult, 7);
    f.ModalResult = 0;
    EXPECT_TRUE(f.DialogKey(vk::kReturn));
    EXPECT_EQ(f.ModalResult, 6);
    f.ModalResult = 0;
    host.focused = &no;  // Enter presses the focused button first
    EXPECT_TRUE(f.DialogKey(vk::kReturn));
    EXPECT_EQ(f.ModalResult, 7);
    f.ModalResult = 0;
    EXPECT_TRUE(f.DialogChar('y'));  // the caption's accelerator
    EXPECT_EQ(f.ModalResult, 6);
    f.ModalResult = 0;
    EXPECT_TRUE(f.DialogChar(27));  // Escape as a character: closed without a button
    EXPECT_EQ(f.ModalResult, 2);
}

TEST_F(EmulatedDialog, UpdaterQuestionPaint)
{
    UpdaterQuestion();
    TTaskMessageForm& f = Build();
    TestCanvas canvas;
    const TFontState entryFont{"Arial", 9};
    canvas.SetFont(entryFont);
    canvas.SetBrushColor(0x00123456);
    canvas.SetPenColor(0x00654321);
    f.Paint(canvas);

    const auto fills = canvas.Of(TCanvasCall::kFill);
    ASSERT_GE(fills.size(), 2u);
    EXPECT_EQ(fills[0].Rect, (TRect{0, 0, 350, 185}));
    EXPECT_EQ(fills[0].Brush, formcolor::kWindow);
    EXPECT_EQ(fills[1].Rect, (TRect{0, 105, 350, 185}));
    EXPECT_EQ(fills[1].Brush, formcolor::kBand);
    std::vector<std::string> lines;
    for (const auto& c : canvas.Of(TCanvasCall::kLine)) lines.push_back(c.Describe());
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "line (0,105)-(350,105) pen 0x00DFDFDF",
                         "line (2,146)-(347,146) pen 0x00DFDFDF",
                         "line (2,147)-(347,147) pen 0x00FFFFFF",
                     }));
    EXPECT_EQ(host.footerIcons, std::vector<std::string>{"32516 at 12,162"});
    bool footerText = false;
    for (const auto& c : canvas.Of(TCanvasCall::kText))
        footerText |= c.Text.find("support@ostravane.com") != std::string::npos && c.Rect.Left > 32;
    EXPECT_TRUE(footerText) << canvas.Log();
    EXPECT_TRUE(canvas.Of(TCanvasCall::kFrame).empty());  // a modern system has no frame
    EXPECT_EQ(canvas.Font(), entryFont);
    EXPECT_EQ(canvas.BrushColor(), 0x00123456u);
    EXPECT_EQ(canvas.PenColor(), 0x00654321u);

    host.modern = false;
    TestCanvas old;
    f.Paint(old);
    const auto frames = old.Of(TCanvasCall::kFrame);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].Rect, (TRect{1, 1, 349, 184}));
    EXPECT_EQ(frames[0].Pen, formcolor::kOldFrame);
}

TEST_F(EmulatedDialog, DialogTextAndClipboardKeys)
{
    dialog.SetTitle("T");
    dialog.SetInstruction("Do it?");
    dialog.SetContent("not copied");
    dialog.SetCommonButtons({cbYes, cbNo});
    dialog.SetCustomButtons({"&Later"});
    TTaskMessageForm& f = Build();
    const std::string text = kDivider + "T\r\n" + kDivider + "Do it?\r\n" + kDivider + "Yes   No   Later   \r\n" + kDivider;
    EXPECT_EQ(f.GetDialogText(), text);

    struct Case {
        int key;
        TShiftState shift;
        bool discarded;
        bool copies;
    } cases[] = {
        {vk::kF4, {false, false, true}, true, false},
        {vk::kF4, {}, false, false},
        {vk::kC, {true, true, false}, false, false},   // Ctrl+Shift+C
        {vk::kC, {false, true, true}, false, false},   // Ctrl+Alt+C
        {vk::kC, {false, true, false}, false, true},
    };
    for (const Case& c : cases) {
        host.beeps = 0;
        host.clipboard.clear();
        EXPECT_EQ(f.KeyDown(c.key, c.shift), c.discarded) << c.key;
        EXPECT_EQ(host.beeps, c.copies ? 1 : 0) << c.key;
        EXPECT_EQ(host.clipboard, c.copies ? std::vector<std::string>{text} : std::vector<std::string>{}) << c.key;
    }
    // A busy clipboard is reported as the framework reports an error, and the
    // dialog stays open.
    host.clipboardError = "Cannot open clipboard";
    EXPECT_FALSE(f.KeyDown(vk::kC, {false, true, false}));
    EXPECT_EQ(host.errors, std::vector<std::string>{"Cannot open clipboard"});
    EXPECT_EQ(f.ModalResult, 0);

    // Command links are not push buttons.
    dialog.SetOptions({doCommandLinks});
    EXPECT_EQ(Build().GetDialogText(), kDivider + "T\r\n" + kDivider + "Do it?\r\n" + kDivider + "Yes   No   \r\n" + kDivider);
}

// ---------------------------------------------------------------- interaction

TEST_F(EmulatedDialog, ExpandAndCollapseByAccelerator)
{
    dialog.SetCommonButtons({cbOK});
    dialog.SetExpandedText("More details");
    dialog.SetCollapsControlText("&More information");
    dialog.SetExpandControlText("&Less information");
    TTaskMessageForm& f = Build();
    EXPECT_FALSE(f.Expanded());
    EXPECT_EQ(f.ExpandButton()->Picture, "TD_EXP");
    EXPECT_EQ(f.ExpandedRect(), (TRect{-1, -1, -1, -1}));
    const int collapsedHeight = f.ClientHeight;
    EXPECT_EQ(host.applied, 0);  // nothing to tell the window while it is being built

    EXPECT_FALSE(f.DialogChar('l'));
    EXPECT_TRUE(f.DialogChar('m'));
    EXPECT_TRUE(f.Expanded());
    EXPECT_EQ(f.ExpandButton()->Picture, "TD_COLP");
    EXPECT_EQ(f.ExpandButton()->PictureHot, "TD_COLPHOT");
    EXPECT_EQ(f.ClientHeight, collapsedHeight + 13 + 16);
    EXPECT_EQ(host.applied, 1);
    EXPECT_EQ(host.repainted, 1);
    EXPECT_FALSE(f.DialogChar('M'));  // M does nothing while the details are shown
    EXPECT_TRUE(f.Expanded());
    EXPECT_TRUE(f.DialogChar('L'));
    EXPECT_FALSE(f.Expanded());
    EXPECT_EQ(f.ExpandButton()->PictureDown, "TD_EXPDOWN");
    EXPECT_EQ(f.ClientHeight, collapsedHeight);
    f.Click(*f.ExpandButton());
    EXPECT_TRUE(f.Expanded());
}

TEST_F(EmulatedDialog, RadiosAndVerificationReachTheComponent)
{
    std::vector<int> radioClicks;
    std::vector<bool> verifyClicks;
    dialog.OnDialogRadioClick = [&](TTaskDialogEx&, int id) { radioClicks.push_back(id); };
    dialog.OnDialogVerifyClick = [&](TTaskDialogEx&, bool checked) { verifyClicks.push_back(checked); };
    dialog.SetRadioButtons({"&First", "&Second"});
    dialog.SetDefaultRadioButton(201);
    dialog.SetVerificationText("&Remember");
    dialog.SetOptions({doVerifyChecked});
    TTaskMessageForm& f = Build();
    ASSERT_EQ(f.RadioButtons().size(), 2u);
    EXPECT_FALSE(f.RadioButtons()[0]->Checked);
    EXPECT_TRUE(f.RadioButtons()[1]->Checked);
    EXPECT_EQ(dialog.SelectedRadioButton(), 201);
    EXPECT_TRUE(dialog.VerificationChecked());
    EXPECT_EQ(f.RadioButtons()[0]->Id, 200);
    EXPECT_EQ(f.Verification()->Id, 301);

    EXPECT_TRUE(f.DialogChar('f'));
    EXPECT_TRUE(f.RadioButtons()[0]->Checked);
    EXPECT_FALSE(f.RadioButtons()[1]->Checked);
    EXPECT_EQ(host.focused, f.RadioButtons()[0]);
    EXPECT_EQ(dialog.SelectedRadioButton(), 200);
    EXPECT_TRUE(f.DialogChar('r'));
    EXPECT_FALSE(dialog.VerificationChecked());
    EXPECT_EQ(radioClicks, std::vector<int>{200});
    EXPECT_EQ(verifyClicks, std::vector<bool>{false});
    EXPECT_EQ(f.ModalResult, 0);

    // A changed text re-arranges the window but keeps the user's choice.
    dialog.SetMessageForm(&f);
    dialog.SetContent("Changed");
    EXPECT_EQ(dialog.SelectedRadioButton(), 200);
    dialog.SetMessageForm(nullptr);
}

TEST_F(EmulatedDialog, CloseRequestsAndTheirVeto)
{
    bool allow = false;
    int asked = 0;
    dialog.OnDialogClose = [&](TTaskDialogEx&, bool& canClose) {
        ++asked;
        canClose = allow;
    };
    dialog.SetCommonButtons({cbOK});
    TTaskMessageForm& f = Build();
    f.Close();
    EXPECT_EQ(f.ModalResult, 2);
    EXPECT_FALSE(f.CloseQuery());
    allow = true;
    EXPECT_TRUE(f.CloseQuery());
    EXPECT_EQ(asked, 2);
    // Without the option and a cancel-marked button Escape does nothing.
    f.ModalResult = 0;
    EXPECT_FALSE(f.DialogKey(vk::kEscape));
    EXPECT_FALSE(f.DialogChar(27));
    EXPECT_EQ(f.ModalResult, 0);
}

TEST_F(EmulatedDialog, TimerRaisesProgressOnlyWithABar)
{
    int timerEvents = 0, progressEvents = 0;
    dialog.OnDialogTimer = [&](TTaskDialogEx&) { ++timerEvents; };
    dialog.OnDialogProgress = [&](TTaskDialogEx&, int& pos, TTaskDialogProgressState& state) {
        EXPECT_EQ(state, psNormal);
        ++progressEvents;
        pos += 10;
    };
    dialog.SetOptions({doTimer});
    TTaskMessageForm& f = Build();
    EXPECT_EQ(host.timers, std::vector<int>{100});
    f.Timer();
    EXPECT_EQ(timerEvents, 1);
    EXPECT_EQ(progressEvents, 0);

    host.timers.clear();
    dialog.SetOptions({doProgressBar});
    dialog.SetProgressBarMax(50);
    TTaskMessageForm& g = Build();
    EXPECT_EQ(host.timers, std::vector<int>{100});  // the bar brings its own timer
    ASSERT_NE(g.ProgressBar(), nullptr);
    EXPECT_EQ(g.ProgressBar()->Max, 50);
    EXPECT_EQ(g.ProgressBar()->Bounds, (TRect{12, 58, 338, 70}));
    const int applied = host.applied;
    g.Timer();
    g.Timer();
    EXPECT_EQ(progressEvents, 2);
    EXPECT_EQ(g.ProgressBar()->Position, 20);
    EXPECT_EQ(host.applied, applied + 2);
}

TEST_F(EmulatedDialog, ProgressComesBackFromTheBarAndARangeItRefusesFailsTheShowing)
{
    std::vector<int> seen;
    int next = 0;
    dialog.OnDialogProgress = [&](TTaskDialogEx&, int& pos, TTaskDialogProgressState&) {
        seen.push_back(pos);
        pos = next;
    };
    dialog.SetOptions({doProgressBar});
    dialog.SetProgressBarMin(10);
    dialog.SetProgressBarMax(50);
    host.modal = [&](TTaskMessageForm& f) {
        next = 500;
        f.Timer();  // the bar shows its Min, not the 0 it was given
        next = 20;
        f.Timer();  // the bar kept 500 at its Max
        f.Timer();
        return 1;
    };
    EXPECT_EQ(ShowTaskMessageForm(dialog, host), 1);
    EXPECT_EQ(seen, (std::vector<int>{10, 50, 20}));

    // Values the bar cannot take: Execute fails before anything is shown.
    struct Case {
        int min, max;
        bool range32;
        bool refused;
    } cases[] = {
        {50, 10, true, true},     {10, 10, true, false},     {-5, 70000, true, false},
        {-1, 100, false, true},   {0, 65536, false, true},   {0, 65535, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.min) + ".." + std::to_string(c.max) + (c.range32 ? " 32-bit" : " 16-bit"));
        dialog.SetProgressBarMin(c.min);
        dialog.SetProgressBarMax(c.max);
        host.range32 = c.range32;
        bool shown = false;
        bool created = false;
        host.modal = [&](TTaskMessageForm&) {
            shown = true;
            return 1;
        };
        dialog.OnDialogCreated = [&](TTaskDialogEx&) { created = true; };
        if (c.refused) {
            EXPECT_THROW(ShowTaskMessageForm(dialog, host), ERangeError);
        } else {
            EXPECT_EQ(ShowTaskMessageForm(dialog, host), 1);
        }
        EXPECT_EQ(shown, !c.refused);
        EXPECT_EQ(created, !c.refused);
        EXPECT_EQ(dialog.MessageForm(), nullptr);
    }

    // A 16-bit bar refuses a handler's position it cannot show.
    host.range32 = false;
    dialog.SetProgressBarMin(0);
    dialog.SetProgressBarMax(100);
    TTaskMessageForm& f = Build();
    next = 70000;
    EXPECT_THROW(f.Timer(), ERangeError);
}

// Tab goes round the content's and the expanded text's links, the controls in
// their order and the footer's links; Enter or Space on a link does what a click
// does.
TEST_F(EmulatedDialog, TabReachesEveryLinkAmongTheControls)
{
    dialog.SetIcon(tiNotUsed);
    dialog.SetCommonButtons({cbYes, cbNo});
    dialog.SetOptions({doHyperlinks, doExpandedDefault});
    dialog.SetContent("See <A href=\"http://a\">one</A> or <A href=\"http://b\">two</A>\\nand <A>no target</A>");
    dialog.SetExpandedText("More at <A href=\"http://c\">three</A>");
    dialog.SetFooter("Help: <A href=\"http://help\">site</A>");
    dialog.SetVerificationText("Do not ask again");
    TTaskMessageForm& f = Build();
    host.focused = &Named("Yes");  // the window focuses the default button first

    auto where = [&] {
        const std::string link = form->FocusedLink();
        if (!link.empty()) return link;
        return host.focused != nullptr ? host.focused->Name : std::string("nothing");
    };
    std::vector<std::string> forward, backward;
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(f.TabKey(true));
        forward.push_back(where());
    }
    EXPECT_EQ(forward, (std::vector<std::string>{"No", "Verification", "http://help", "http://a", "http://b",
                                                 "http://c", "Yes", "No"}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(f.TabKey(false));
        backward.push_back(where());
    }
    EXPECT_EQ(backward, (std::vector<std::string>{"Yes", "http://c", "http://b"}));

    // The focused link, and only it, is drawn with a focus rectangle.
    TestCanvas painted;
    f.Paint(painted);
    ASSERT_EQ(painted.Of(TCanvasCall::kFocus).size(), 1u);
    EXPECT_GT(painted.Of(TCanvasCall::kFocus)[0].Rect.Left, f.ContentRect().Left + 6 * 7) << "not the first link";
    EXPECT_EQ(painted.Of(TCanvasCall::kFocus)[0].Rect.Bottom, f.ContentRect().Top + 13);

    // Enter and Space open it, or hand it to the handler; the default button
    // stays unpressed.
    EXPECT_TRUE(f.DialogKey(vk::kReturn));
    std::vector<std::string> handled;
    dialog.OnDialogHyperlinkClick = [&](TTaskDialogEx&, const std::string& href) { handled.push_back(href); };
    EXPECT_TRUE(f.DialogKey(vk::kSpace));
    EXPECT_EQ(platform.links, (std::vector<fake::OpenedLink>{{0, TTaskDialogEx::kLinkProgram, "http://b"}}));
    EXPECT_EQ(handled, std::vector<std::string>{"http://b"});
    EXPECT_EQ(f.ModalResult, 0);

    // A window that lost the focus shows no link focus, and Enter presses the
    // default button again.
    host.formFocused = false;
    EXPECT_EQ(f.FocusedLink(), "");
    TestCanvas inactive;
    f.Paint(inactive);
    EXPECT_TRUE(inactive.Of(TCanvasCall::kFocus).empty());
    EXPECT_FALSE(f.DialogKey(vk::kSpace));
    EXPECT_TRUE(f.DialogKey(vk::kReturn));
    EXPECT_EQ(f.ModalResult, 6);

    // Hidden details take their links with them; without the option the content
    // is plain text, and only the footer, always markup, keeps its link.
    f.SetExpanded(false);
    host.focused = &Named("Yes");
    EXPECT_TRUE(f.TabKey(false));
    EXPECT_EQ(where(), "http://b");
    dialog.SetOptions({});
    TTaskMessageForm& g = Build();
    host.focused = &Named("No");
    std::vector<std::string> plain;
    for (int i = 0; i < 4; ++i) {
        g.TabKey(true);
        plain.push_back(where());
    }
    EXPECT_EQ(plain, (std::vector<std::string>{"Verification", "http://help", "Yes", "No"}));
}

TEST_F(EmulatedDialog, LinksUnderTheMouse)
{
    dialog.SetIcon(tiNotUsed);
    dialog.SetOptions({doHyperlinks});
    dialog.SetContent("Click <A href=\"http://a\">here</A> or <A href=\"http://b\">there</A>");
    dialog.SetFooter("Help: <A href=\"http://help\">site</A>");
    TTaskMessageForm& f = Build();
    // Content at (12, 13): "Click " is 36 px, "here" 24, " or " 18 (or 24 with the
    // space), "there" 30.
    EXPECT_EQ(f.LinkAt(60, 18), "http://a");
    EXPECT_EQ(f.LinkAt(105, 18), "http://b");
    EXPECT_EQ(f.LinkAt(80, 18), "");
    f.MouseMove(60, 18);
    f.MouseMove(62, 18);    // the same link: no new cursor
    f.MouseMove(105, 18);   // another link: remembered anew
    f.MouseMove(80, 18);
    f.MouseMove(200, 200);  // still off every link
    EXPECT_EQ(host.cursors, (std::vector<bool>{true, true, false}));

    f.MouseDown(60, 18);  // no handler: opened as a web link
    EXPECT_EQ(platform.links, (std::vector<fake::OpenedLink>{{0, TTaskDialogEx::kLinkProgram, "http://a"}}));

    // The footer is markup also without the option; a handler takes the link.
    dialog.SetOptions({});
    TTaskMessageForm& g = Build();
    std::vector<std::string> clicked;
    dialog.OnDialogHyperlinkClick = [&](TTaskDialogEx&, const std::string& href) { clicked.push_back(href); };
    const TRect footer = g.FooterRect();
    g.MouseDown(footer.Left + 1 + 36 + 12, footer.Top + 5);
    EXPECT_EQ(clicked, std::vector<std::string>{"http://help"});
    EXPECT_EQ(platform.links.size(), 1u);
}

TEST_F(EmulatedDialog, MeasureTextWrapsToTheGivenWidth)
{
    Build();
    int w = 30, h = 0;
    form->MeasureText("aaa bbb", w, h);
    EXPECT_EQ(w, 18);
    EXPECT_EQ(h, 26);
    w = 0;
    form->MeasureText(std::string(200, 'a') + " b", w, h);  // width 0 stands for 1000
    EXPECT_EQ(w, 1200);
    EXPECT_EQ(h, 26);
    w = 7;
    form->MeasureText("", w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);

    host.rtl = true;
    host.canvas.Clear();
    w = 0;
    form->MeasureText("x", w, h);
    ASSERT_EQ(host.canvas.Of(TCanvasCall::kMeasure).size(), 1u);
    EXPECT_TRUE(host.canvas.Of(TCanvasCall::kMeasure)[0].Flags & dt::kRtlReading);
}

TEST_F(EmulatedDialog, ShowingTellsTheComponentOnlyWhileShown)
{
    dialog.SetCommonButtons({cbOK});
    std::vector<std::string> order;
    dialog.OnDialogCreated = [&](TTaskDialogEx& d) { order.push_back(d.MessageForm() ? "created, known" : "created"); };
    host.modal = [&](TTaskMessageForm& f) {
        order.push_back(dialog.MessageForm() == &f ? "shown, known" : "shown");
        dialog.SetInstruction(std::string(60, 'i'));  // re-laid out while shown
        EXPECT_EQ(f.Instruction()->Caption, dialog.Instruction());
        EXPECT_EQ(f.Instruction()->Width(), 420);
        EXPECT_EQ(f.ClientWidth, 15 + 420 + 32 + 2 * 12);
        return 1;
    };
    const int applied = host.applied;
    EXPECT_EQ(ShowTaskMessageForm(dialog, host), 1);
    EXPECT_EQ(order, (std::vector<std::string>{"created, known", "shown, known"}));
    EXPECT_EQ(dialog.MessageForm(), nullptr);
    EXPECT_GT(host.applied, applied);

    host.modal = [](TTaskMessageForm&) -> int { throw std::runtime_error("window failed"); };
    EXPECT_THROW(ShowTaskMessageForm(dialog, host), std::runtime_error);
    EXPECT_EQ(dialog.MessageForm(), nullptr);
}

// ---------------------------------------------------------------- the owner-drawn button

TEST(TaskDialogButton, BorderAndPictureFollowTheState)
{
    constexpr TColor kHot = 0x00000011, kDown = 0x00000022;
    struct Case {
        bool hot, down, enabled, focused;
        TColor border;
        const char* picture;
    } cases[] = {
        {false, false, true, false, clNone, "P"},
        {true, false, true, false, kHot, "PH"},
        {false, true, true, false, kDown, "PD"},
        {true, true, true, false, kDown, "PD"},
        {true, false, false, false, clNone, "PX"},
        {false, false, false, true, kDown, "PX"},  // focus shows even when disabled
        {false, false, true, true, kDown, "P"},
    };
    for (const Case& c : cases) {
        TTaskDialogButton b;
        b.BorderColorHot = kHot;
        b.BorderColorDown = kDown;
        b.Picture = "P";
        b.PictureHot = "PH";
        b.PictureDown = "PD";
        b.PictureDisabled = "PX";
        b.Hot = c.hot;
        b.Down = c.down;
        b.Enabled = c.enabled;
        EXPECT_EQ(b.CurrentBorder(c.focused), c.border) << c.hot << c.down << c.enabled << c.focused;
        EXPECT_EQ(b.CurrentPicture(), c.picture) << c.hot << c.down << c.enabled << c.focused;
    }
    // Missing state pictures fall back to the normal one.
    TTaskDialogButton plain;
    plain.Picture = "P";
    plain.Down = true;
    plain.Enabled = false;
    EXPECT_EQ(plain.CurrentPicture(), "P");
}

TEST(TaskDialogButton, PaintsCaptionPictureAndBorder)
{
    FakePictures pictures;
    {
        TTaskDialogButton b;  // no picture, no border colours
        b.SetBounds(0, 0, 100, 30);
        b.Caption = "Go";
        b.Hot = true;
        TestCanvas canvas;
        b.Paint(canvas, false, pictures);
        const auto texts = canvas.Of(TCanvasCall::kText);
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0].Rect, (TRect{2, 0, 100, 30}));
        EXPECT_EQ(texts[0].Flags, dt::kSingleLine | dt::kVCenter);
        EXPECT_EQ(texts[0].Font, b.HeadingFont);
        EXPECT_TRUE(canvas.Of(TCanvasCall::kRoundRect).empty());
        EXPECT_TRUE(pictures.drawn.empty());
    }
    {
        TTaskDialogButton expand;  // the expand control centres its picture
        expand.SetBounds(0, 0, 40, 19);
        expand.Picture = "TD_COLP";
        expand.BorderColorDown = formcolor::kCommandLinkBorder;
        TestCanvas canvas;
        expand.Paint(canvas, true, pictures);
        EXPECT_EQ(pictures.drawn, std::vector<std::string>{"TD_COLP at 10,0"});
        EXPECT_TRUE(canvas.Of(TCanvasCall::kText).empty());
        const auto borders = canvas.Of(TCanvasCall::kRoundRect);
        ASSERT_EQ(borders.size(), 1u);
        EXPECT_EQ(borders[0].Rect, (TRect{0, 0, 40, 19}));
        EXPECT_EQ(borders[0].Pen, formcolor::kCommandLinkBorder);
        EXPECT_EQ(borders[0].Brush, clNone);
    }
}

}  // namespace
}  // namespace dupd
