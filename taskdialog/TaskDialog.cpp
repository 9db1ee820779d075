#include "taskdialog/TaskDialog.h"

#include <memory>

#include "taskdialog/DialogControls.h"
#include "taskdialog/TaskDialogPlatform.h"
#include "taskdialog/TaskMessageForm.h"

namespace dupd {

namespace {

constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 2;
constexpr int kVersionRelease = 7;
constexpr int kVersionBuild = 0;

// Integer resource identifiers of the system's task-dialog pictures; 0 = none.
int MainIconId(TTaskDialogIcon icon)
{
    switch (icon) {
    case tiBlank: return 17;
    case tiWarning: return 84;
    case tiQuestion: return 99;
    case tiError: return 98;
    case tiInformation: return 81;
    case tiNotUsed: return 0;
    case tiShield: return 78;
    }
    return 0;
}

int FooterIconId(TTaskDialogFooterIcon icon)
{
    switch (icon) {
    case tfiBlank: return 0;
    case tfiWarning: return 84;
    case tfiQuestion: return 99;
    case tfiError: return 98;
    case tfiInformation: return td::kInformationIcon;
    case tfiShield: return td::kShieldIcon;
    }
    return 0;
}

std::uint32_t OptionFlags(TTaskDialogOptions o, TTaskDialogPosition position)
{
    std::uint32_t flags = 0;
    if (o.Contains(doCommandLinks)) flags = td::kUseCommandLinks;
    // The icon-less variant wins when both are asked for.
    if (o.Contains(doCommandLinksNoIcon)) flags = td::kUseCommandLinksNoIcon;
    if (o.Contains(doHyperlinks)) flags |= td::kEnableHyperlinks;
    if (o.Contains(doExpandedDefault)) flags |= td::kExpandedByDefault;
    if (o.Contains(doExpandedFooter)) flags |= td::kExpandFooterArea;
    if (o.Contains(doAllowMinimize)) flags |= td::kCanBeMinimized;
    if (o.Contains(doVerifyChecked)) flags |= td::kVerificationFlagChecked;
    if (o.Contains(doProgressBar)) flags |= td::kShowProgressBar;
    if (o.Contains(doProgressBarMarquee)) flags |= td::kShowMarqueeProgressBar;
    // Progress is fed from the timer notification.
    if (o.Contains(doProgressBarMarquee) || o.Contains(doProgressBar) || o.Contains(doTimer))
        flags |= td::kCallbackTimer;
    if (position == dpOwnerFormCenter) flags |= td::kPositionRelativeToWindow;
    if (o.Contains(doNoDefaultRadioButton)) flags |= td::kNoDefaultRadioButton;
    if (o.Contains(doAllowDialogCancel)) flags |= td::kAllowDialogCancellation;
    return flags;
}

std::vector<NativeTaskDialogButton> NumberedButtons(const std::vector<std::string>& captions, int firstId)
{
    std::vector<NativeTaskDialogButton> out;
    out.reserve(captions.size());
    for (std::size_t i = 0; i < captions.size(); ++i)
        out.push_back({firstId + static_cast<int>(i), ExpandLineBreaks(captions[i])});
    return out;
}

unsigned ProgressBarState(TTaskDialogProgressState state)
{
    switch (state) {
    case psNormal: return 1;  // PBST_NORMAL
    case psError: return 2;   // PBST_ERROR
    case psPaused: return 3;  // PBST_PAUSED
    }
    return 1;
}

}  // namespace

std::string ExpandLineBreaks(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out.push_back('\n');
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

TTaskDialogEx::TTaskDialogEx(ITaskDialogPlatform& platform) : platform_(platform) {}

TTaskDialogEx::~TTaskDialogEx() = default;

void TTaskDialogEx::HyperlinkClicked(const std::string& href)
{
    if (OnDialogHyperlinkClick)
        OnDialogHyperlinkClick(*this, href);
    else if (href.find("://") != std::string::npos)
        platform_.OpenLink(0, kLinkProgram, href);
}

TControl* TTaskDialogEx::CreateDialogButton(TTaskMessageForm& owner)
{
    return &owner.Adopt(std::make_unique<TButton>());
}

void TTaskDialogEx::SetDialogButtonCaption(TControl& control, const std::string& text)
{
    if (auto* button = dynamic_cast<TButton*>(&control)) button->Caption = text;
}

void TTaskDialogEx::SetDialogButtonCancel(TControl& control, bool value)
{
    if (auto* button = dynamic_cast<TButton*>(&control)) button->Cancel = value;
}

void TTaskDialogEx::SetDialogButtonDefault(TControl& control, bool value)
{
    if (auto* button = dynamic_cast<TButton*>(&control)) button->Default = value;
}

void TTaskDialogEx::SetDialogButtonResult(TControl& control, int value)
{
    if (auto* button = dynamic_cast<TButton*>(&control)) button->ModalResult = value;
}

int TTaskDialogEx::GetDialogButtonResult(const TControl& control)
{
    const auto* button = dynamic_cast<const TButton*>(&control);
    return button ? button->ModalResult : 0;
}

std::string TTaskDialogEx::Version() const
{
    return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRelease) + "." + std::to_string(kVersionBuild);
}

void TTaskDialogEx::SetDialogText(std::string& field, const std::string& value, td::Element element)
{
    if (field == value) return;
    field = value;
    if (dialogHandle_ != 0) platform_.UpdateElementText(dialogHandle_, element, value);
    if (messageForm_ != nullptr) messageForm_->UpdateTexts();
}

int TTaskDialogEx::Execute()
{
    const OsVersionInfo os = platform_.SystemVersion();
    // A failed query (-1) has 0xFF in that byte and so reads as version 6 or later.
    const auto controlsMajor = (static_cast<std::uint32_t>(platform_.CommonControlsVersion()) >> 16) & 0xFFu;
    if (os.majorVersion < 6 || controlsMajor < 6 || nonNativeDialog_ == nndAlways)
        return platform_.RunEmulated(*this);
    return ExecuteNative();
}

int TTaskDialogEx::ExecuteNative()
{
    const NativeTaskDialogConfig config = BuildNativeConfig();
    dialogHandle_ = 0;
    progressPos_ = progressBarMin_;
    const int result = platform_.RunNative(*this, config);
    dialogHandle_ = 0;
    return result;
}

NativeTaskDialogConfig TTaskDialogEx::BuildNativeConfig() const
{
    NativeTaskDialogConfig c;
    // Without an owner form the application's window owns the dialog, whatever
    // ApplicationIsParent says.
    c.parentWindow = parentWindow_;
    c.ownerIsApplication = parentWindow_ == 0;

    c.flags = OptionFlags(options_, dialogPosition_);
    for (int b = cbOK; b <= cbClose; ++b)
        if (commonButtons_.Contains(static_cast<TCommonButton>(b))) c.commonButtons |= 1u << b;

    if (customIcon_ != 0) {
        c.useMainIconHandle = true;
        c.mainIconHandle = customIcon_;
        c.flags |= td::kUseHIconMain;
    } else {
        c.mainIcon = MainIconId(icon_);
    }
    c.footerIcon = FooterIconId(footerIcon_);

    c.windowTitle = ExpandLineBreaks(title_);
    c.mainInstruction = ExpandLineBreaks(instruction_);
    c.content = ExpandLineBreaks(content_);
    c.footer = ExpandLineBreaks(footer_);
    // These go to the dialog as written.
    c.verificationText = verificationText_;
    c.expandedInformation = expandedText_;
    c.expandedControlText = expandControlText_;
    c.collapsedControlText = collapsControlText_;

    c.buttons = NumberedButtons(customButtons_, td::kFirstCustomButtonId);
    c.radioButtons = NumberedButtons(radioButtons_, td::kFirstRadioButtonId);
    c.defaultButton = defaultButton_;
    c.defaultRadioButton = defaultRadioButton_;
    return c;
}

int TTaskDialogEx::HandleNotification(unsigned notification, std::uintptr_t window, std::uintptr_t wParam,
                                      const std::string& hrefAnsi)
{
    dialogHandle_ = window;
    switch (notification) {
    case td::kCreated:
        if (OnDialogCreated) OnDialogCreated(*this);
        if (options_.Contains(doProgressBar)) {
            const auto range = static_cast<std::uint32_t>(progressBarMin_ & 0xFFFF) |
                               (static_cast<std::uint32_t>(progressBarMax_ & 0xFFFF) << 16);
            platform_.SendToDialog(dialogHandle_, td::kSetProgressBarRange, 0, static_cast<std::intptr_t>(range));
        }
        return 0;

    case td::kButtonClicked: {
        if (OnDialogButtonClick) OnDialogButtonClick(*this, static_cast<int>(wParam));
        bool canClose = true;
        if (OnDialogClose) OnDialogClose(*this, canClose);
        return canClose ? 0 : 1;
    }

    case td::kHyperlinkClicked:
        HyperlinkClicked(hrefAnsi);
        return 0;

    case td::kTimer:
        if (OnDialogTimer) OnDialogTimer(*this);
        if (OnDialogProgress) {
            int pos = progressPos_;
            TTaskDialogProgressState state = psNormal;
            OnDialogProgress(*this, pos, state);
            progressPos_ = pos;
            platform_.SendToDialog(dialogHandle_, td::kSetProgressBarPos, static_cast<std::uintptr_t>(pos), 0);
            platform_.SendToDialog(dialogHandle_, td::kSetProgressBarState, ProgressBarState(state), 0);
        }
        return 0;

    case td::kRadioButtonClicked:
        if (OnDialogRadioClick) OnDialogRadioClick(*this, static_cast<int>(wParam));
        return 0;

    case td::kVerificationClicked:
        if (OnDialogVerifyClick) OnDialogVerifyClick(*this, wParam != 0);
        return 0;

    default:
        return 0;
    }
}

}  // namespace dupd
