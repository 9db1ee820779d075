// The task-dialog component: one modal dialog with title, main instruction,
// content, expandable details, footer, icons, common and custom buttons, radio
// buttons, a verification check box, a progress bar, a timer and links. Execute
// shows the system's native task dialog where the system has one and the
// emulated window otherwise; both report the same button identifiers.
//
// Everything that decides something lives here; the system calls are behind
// ITaskDialogPlatform (taskdialog/TaskDialogPlatform.h).
//
// Nothing here throws of its own. What an event handler throws stops where the
// system called in: the emulated window hands it back out of Execute, the native
// dialog's callback drops it.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace dupd {

class ITaskDialogPlatform;
class TControl;
class TTaskMessageForm;

// ---------------------------------------------------------------- enumerations

enum TTaskDialogIcon { tiBlank, tiWarning, tiQuestion, tiError, tiInformation, tiNotUsed, tiShield };
enum TTaskDialogFooterIcon { tfiBlank, tfiWarning, tfiQuestion, tfiError, tfiInformation, tfiShield };
enum TCommonButton { cbOK, cbYes, cbNo, cbCancel, cbRetry, cbClose };
enum TTaskDialogPosition { dpScreenCenter, dpOwnerFormCenter };
enum TNonNativeDialog { nndAuto, nndAlways };
enum TTaskDialogProgressState { psNormal, psError, psPaused };
enum TTaskDialogOption {
    doHyperlinks,
    doCommandLinks,
    doCommandLinksNoIcon,
    doExpandedDefault,
    doExpandedFooter,
    doAllowMinimize,
    doVerifyChecked,
    doProgressBar,
    doProgressBarMarquee,
    doTimer,
    doNoDefaultRadioButton,
    doAllowDialogCancel,
};

// A set of enumeration values, bit n standing for ordinal n, stored in `Storage`
// (so a set of common buttons is one byte, as it is stored).
template <class E, class Storage>
class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> items)
    {
        for (E e : items) bits_ = static_cast<Storage>(bits_ | Bit(e));
    }
    constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    TSet& Include(E e)
    {
        bits_ = static_cast<Storage>(bits_ | Bit(e));
        return *this;
    }
    TSet& Exclude(E e)
    {
        bits_ = static_cast<Storage>(bits_ & ~Bit(e));
        return *this;
    }
    constexpr Storage Bits() const { return bits_; }

    friend constexpr bool operator==(TSet a, TSet b) { return a.bits_ == b.bits_; }
    friend constexpr bool operator!=(TSet a, TSet b) { return a.bits_ != b.bits_; }

private:
    static constexpr Storage Bit(E e) { return static_cast<Storage>(Storage{1} << static_cast<unsigned>(e)); }
    Storage bits_ = 0;
};

using TCommonButtons = TSet<TCommonButton, std::uint8_t>;
using TTaskDialogOptions = TSet<TTaskDialogOption, std::uint16_t>;

// ---------------------------------------------------------------- native dialog values

// Notifications and messages of the system's task dialog, as the component
// handles and sends them.
namespace td {
inline constexpr unsigned kCreated = 0;
inline constexpr unsigned kButtonClicked = 2;
inline constexpr unsigned kHyperlinkClicked = 3;
inline constexpr unsigned kTimer = 4;
inline constexpr unsigned kRadioButtonClicked = 6;
inline constexpr unsigned kVerificationClicked = 8;

inline constexpr unsigned kUserMessage = 0x0400;  // WM_USER
inline constexpr unsigned kSetProgressBarState = kUserMessage + 104;
inline constexpr unsigned kSetProgressBarRange = kUserMessage + 105;
inline constexpr unsigned kSetProgressBarPos = kUserMessage + 106;
inline constexpr unsigned kUpdateElementText = kUserMessage + 114;

enum Element { kContent = 0, kExpandedInformation = 1, kFooter = 2, kMainInstruction = 3 };

// Flags of the configuration.
inline constexpr std::uint32_t kEnableHyperlinks = 0x0001;
inline constexpr std::uint32_t kUseHIconMain = 0x0002;
inline constexpr std::uint32_t kAllowDialogCancellation = 0x0008;
inline constexpr std::uint32_t kUseCommandLinks = 0x0010;
inline constexpr std::uint32_t kUseCommandLinksNoIcon = 0x0020;
inline constexpr std::uint32_t kExpandFooterArea = 0x0040;
inline constexpr std::uint32_t kExpandedByDefault = 0x0080;
inline constexpr std::uint32_t kVerificationFlagChecked = 0x0100;
inline constexpr std::uint32_t kShowProgressBar = 0x0200;
inline constexpr std::uint32_t kShowMarqueeProgressBar = 0x0400;
inline constexpr std::uint32_t kCallbackTimer = 0x0800;
inline constexpr std::uint32_t kPositionRelativeToWindow = 0x1000;
inline constexpr std::uint32_t kNoDefaultRadioButton = 0x4000;
inline constexpr std::uint32_t kCanBeMinimized = 0x8000;

inline constexpr int kInformationIcon = 0xFFFD;  // TD_INFORMATION_ICON
inline constexpr int kShieldIcon = 0xFFFC;       // TD_SHIELD_ICON

inline constexpr int kFirstCustomButtonId = 100;
inline constexpr int kFirstRadioButtonId = 200;
}  // namespace td

struct NativeTaskDialogButton {
    int id = 0;
    std::string caption;  // ANSI

    friend bool operator==(const NativeTaskDialogButton& a, const NativeTaskDialogButton& b)
    {
        return a.id == b.id && a.caption == b.caption;
    }
};

// What the native dialog is given, still in ANSI text; the adapter converts it to
// the system's structure. An empty text stands for "not given".
struct NativeTaskDialogConfig {
    std::uint32_t flags = 0;
    std::uint32_t commonButtons = 0;  // TDCBF_* bits

    int mainIcon = 0;  // integer resource identifier; 0 = none
    bool useMainIconHandle = false;
    std::uintptr_t mainIconHandle = 0;
    int footerIcon = 0;  // 0 = none

    std::string windowTitle;
    std::string mainInstruction;
    std::string content;
    std::string verificationText;
    std::string expandedInformation;
    std::string expandedControlText;
    std::string collapsedControlText;
    std::string footer;

    std::vector<NativeTaskDialogButton> buttons;
    std::vector<NativeTaskDialogButton> radioButtons;
    int defaultButton = 0;
    int defaultRadioButton = 0;

    // The owner: parentWindow, or the application's window when ownerIsApplication.
    std::uintptr_t parentWindow = 0;
    bool ownerIsApplication = true;
};

// Every backslash followed by "n" becomes a line feed: dialog texts are written
// with the two characters.
std::string ExpandLineBreaks(const std::string& text);

// ---------------------------------------------------------------- the component

class TTaskDialogEx;

using TNotifyEvent = std::function<void(TTaskDialogEx& sender)>;
using TTaskDialogCloseEvent = std::function<void(TTaskDialogEx& sender, bool& canClose)>;
using TTaskDialogButtonClickEvent = std::function<void(TTaskDialogEx& sender, int buttonId)>;
using TTaskDialogHyperlinkClickEvent = std::function<void(TTaskDialogEx& sender, const std::string& href)>;
using TTaskDialogVerifyClickEvent = std::function<void(TTaskDialogEx& sender, bool checked)>;
using TTaskDialogProgressEvent =
    std::function<void(TTaskDialogEx& sender, int& pos, TTaskDialogProgressState& state)>;

class TTaskDialogEx {
public:
    // Links that no handler takes are opened with this program.
    static constexpr const char* kLinkProgram = "iexplore.exe";

    explicit TTaskDialogEx(ITaskDialogPlatform& platform);
    virtual ~TTaskDialogEx();
    TTaskDialogEx(const TTaskDialogEx&) = delete;
    TTaskDialogEx& operator=(const TTaskDialogEx&) = delete;

    // The ID of the button that closed the dialog; -1 when no dialog could be shown.
    int Execute();
    // The native way alone, without the choice Execute makes.
    int ExecuteNative();
    NativeTaskDialogConfig BuildNativeConfig() const;

    // The native dialog's callback: raises the events and answers the value the
    // dialog expects (1 keeps it open after a button click).
    int HandleNotification(unsigned notification, std::uintptr_t window, std::uintptr_t wParam,
                           const std::string& hrefAnsi);

    // A clicked link: raised as OnDialogHyperlinkClick when a handler is assigned,
    // else opened when it holds "://".
    void HyperlinkClicked(const std::string& href);

    // ---- the emulated dialog's push buttons, made and configured only through
    // these, so that a descendant can use a button class of its own. The setters
    // and the getter act on TButton records and ignore other controls.
    virtual TControl* CreateDialogButton(TTaskMessageForm& owner);
    virtual void SetDialogButtonCaption(TControl& control, const std::string& text);
    virtual void SetDialogButtonCancel(TControl& control, bool value);
    virtual void SetDialogButtonDefault(TControl& control, bool value);
    virtual void SetDialogButtonResult(TControl& control, int value);
    virtual int GetDialogButtonResult(const TControl& control);

    // ---- published properties
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& v) { title_ = v; }
    const std::string& Instruction() const { return instruction_; }
    void SetInstruction(const std::string& v) { SetDialogText(instruction_, v, td::kMainInstruction); }
    const std::string& Content() const { return content_; }
    void SetContent(const std::string& v) { SetDialogText(content_, v, td::kContent); }
    const std::string& ExpandedText() const { return expandedText_; }
    void SetExpandedText(const std::string& v) { SetDialogText(expandedText_, v, td::kExpandedInformation); }
    const std::string& ExpandControlText() const { return expandControlText_; }
    void SetExpandControlText(const std::string& v) { expandControlText_ = v; }
    const std::string& CollapsControlText() const { return collapsControlText_; }
    void SetCollapsControlText(const std::string& v) { collapsControlText_ = v; }
    const std::string& Footer() const { return footer_; }
    void SetFooter(const std::string& v) { SetDialogText(footer_, v, td::kFooter); }
    const std::string& VerificationText() const { return verificationText_; }
    void SetVerificationText(const std::string& v) { verificationText_ = v; }

    TTaskDialogIcon Icon() const { return icon_; }
    void SetIcon(TTaskDialogIcon v) { icon_ = v; }
    TTaskDialogFooterIcon FooterIcon() const { return footerIcon_; }
    void SetFooterIcon(TTaskDialogFooterIcon v) { footerIcon_ = v; }
    // An icon handle; 0 = empty. When not empty it replaces Icon.
    std::uintptr_t CustomIcon() const { return customIcon_; }
    void SetCustomIcon(std::uintptr_t v) { customIcon_ = v; }

    TCommonButtons CommonButtons() const { return commonButtons_; }
    void SetCommonButtons(TCommonButtons v) { commonButtons_ = v; }
    const std::vector<std::string>& CustomButtons() const { return customButtons_; }
    void SetCustomButtons(const std::vector<std::string>& v) { customButtons_ = v; }
    const std::vector<std::string>& RadioButtons() const { return radioButtons_; }
    void SetRadioButtons(const std::vector<std::string>& v) { radioButtons_ = v; }
    int DefaultButton() const { return defaultButton_; }
    void SetDefaultButton(int v) { defaultButton_ = v; }
    int DefaultRadioButton() const { return defaultRadioButton_; }
    void SetDefaultRadioButton(int v) { defaultRadioButton_ = v; }

    TTaskDialogOptions Options() const { return options_; }
    void SetOptions(TTaskDialogOptions v) { options_ = v; }
    TTaskDialogPosition DialogPosition() const { return dialogPosition_; }
    void SetDialogPosition(TTaskDialogPosition v) { dialogPosition_ = v; }
    bool ApplicationIsParent() const { return applicationIsParent_; }
    void SetApplicationIsParent(bool v) { applicationIsParent_ = v; }
    TNonNativeDialog NonNativeDialog() const { return nonNativeDialog_; }
    void SetNonNativeDialog(TNonNativeDialog v) { nonNativeDialog_ = v; }
    int NonNativeMinFormWidth() const { return nonNativeMinFormWidth_; }
    void SetNonNativeMinFormWidth(int v) { nonNativeMinFormWidth_ = v; }
    int ProgressBarMin() const { return progressBarMin_; }
    void SetProgressBarMin(int v) { progressBarMin_ = v; }
    int ProgressBarMax() const { return progressBarMax_; }
    void SetProgressBarMax(int v) { progressBarMax_ = v; }

    std::string Version() const;
    void SetVersion(const std::string&) {}  // read-only in effect

    // ---- run-time state
    int SelectedRadioButton() const { return selectedRadioButton_; }
    void SetSelectedRadioButton(int v) { selectedRadioButton_ = v; }
    bool VerificationChecked() const { return verificationChecked_; }
    void SetVerificationChecked(bool v) { verificationChecked_ = v; }
    // When not 0 the dialog is owned by this window rather than the application's.
    std::uintptr_t ParentWindow() const { return parentWindow_; }
    void SetParentWindow(std::uintptr_t v) { parentWindow_ = v; }
    // The open native dialog's window; 0 while none is open.
    std::uintptr_t DialogHandle() const { return dialogHandle_; }
    // The open emulated dialog; null while none is open.
    TTaskMessageForm* MessageForm() const { return messageForm_; }
    void SetMessageForm(TTaskMessageForm* form) { messageForm_ = form; }

    // ---- events
    TNotifyEvent OnDialogCreated;
    TTaskDialogCloseEvent OnDialogClose;
    TTaskDialogButtonClickEvent OnDialogButtonClick;
    TTaskDialogButtonClickEvent OnDialogRadioClick;
    TTaskDialogHyperlinkClickEvent OnDialogHyperlinkClick;
    TNotifyEvent OnDialogTimer;
    TTaskDialogVerifyClickEvent OnDialogVerifyClick;
    TTaskDialogProgressEvent OnDialogProgress;

private:
    void SetDialogText(std::string& field, const std::string& value, td::Element element);

    ITaskDialogPlatform& platform_;

    std::string title_;
    std::string instruction_;
    std::string content_;
    std::string expandedText_;
    std::string expandControlText_;
    std::string collapsControlText_;
    std::string footer_;
    std::string verificationText_;
    TTaskDialogIcon icon_ = tiBlank;
    TTaskDialogFooterIcon footerIcon_ = tfiBlank;
    std::uintptr_t customIcon_ = 0;
    TCommonButtons commonButtons_;
    std::vector<std::string> customButtons_;
    std::vector<std::string> radioButtons_;
    int defaultButton_ = 0;
    int defaultRadioButton_ = 200;
    TTaskDialogOptions options_;
    TTaskDialogPosition dialogPosition_ = dpScreenCenter;
    bool applicationIsParent_ = true;
    TNonNativeDialog nonNativeDialog_ = nndAuto;
    int nonNativeMinFormWidth_ = 350;
    int progressBarMin_ = 0;
    int progressBarMax_ = 100;

    int selectedRadioButton_ = 0;
    bool verificationChecked_ = false;
    std::uintptr_t parentWindow_ = 0;
    std::uintptr_t dialogHandle_ = 0;
    TTaskMessageForm* messageForm_ = nullptr;
    int progressPos_ = 0;  // what the progress handler last reported
};

}  // namespace dupd
