// TTaskMessageForm: the emulated task dialog, the component's own window for
// systems without the native one. Everything it decides lives here, over the
// canvas and the control records of DialogControls.h: how it is built from the
// component's properties, the size units, the width rule and every position, the
// painting, the link under the mouse, the keyboard rules, expanding, the timer,
// clicks and closing. The window layer (taskdialog/win32/TaskMessageWindow) makes
// the windows, runs the modal loop and hands every event to the methods below.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "markup/Canvas.h"
#include "taskdialog/DialogControls.h"
#include "taskdialog/TaskDialog.h"
#include "taskdialog/TaskDialogButton.h"

namespace dupd {

// What the form needs of its window and of the system.
class ITaskFormHost {
public:
    virtual ~ITaskFormHost() = default;

    // A canvas for measuring, holding the window font.
    virtual TCanvas& MeasureCanvas() = 0;
    // The system's message font; the window's font.
    virtual TFontState WindowFont() = 0;
    virtual int ScreenWidth() = 0;
    virtual int ScreenHeight() = 0;
    virtual int EdgeHeight() = 0;  // GetSystemMetrics(SM_CYEDGE)
    // Systems of major version 6 or later (kernel32 exports "GetLocaleInfoEx");
    // older ones get a frame round the client area.
    virtual bool ModernSystem() = 0;
    virtual bool RightToLeft() = 0;

    // Copies the records (bounds, captions, visibility, checks, progress) and the
    // client size onto the windows.
    virtual void ApplyLayout() = 0;
    virtual void Repaint() = 0;
    virtual void StartTimer(int intervalMs) = 0;
    virtual void SetHandCursor(bool hand) = 0;
    virtual void Beep() = 0;
    // "" when copied; else what went wrong, "Cannot open clipboard" when it could
    // not be opened.
    virtual std::string CopyToClipboard(const std::string& text) = 0;
    // An error the user must see, in a message box over the dialog; the dialog
    // stays open.
    virtual void ShowError(const std::string& message) = 0;
    virtual bool CanFocus(const TControl& control) = 0;
    virtual void FocusControl(TControl& control) = 0;
    // The control with the keyboard focus; null when it is elsewhere, also on the
    // form window itself.
    virtual const TControl* FocusedControl() = 0;
    // The keyboard focus to the form window itself, off every control: a link of
    // its texts has it then.
    virtual void FocusForm() = 0;
    virtual bool FormFocused() = 0;
    // The common controls' progress bar takes 32-bit values (version 4.70 on).
    virtual bool ProgressRange32() = 0;
    // The position the bar shows, which it has kept within its range.
    virtual int ProgressPosition(const TProgressBar& bar) = 0;
    // The footer icon: `iconId` (IDI_*) 16 x 16, or the "TD_SHIELD" picture when
    // `shield`, at (x, y) of the surface that `canvas` paints; transparent, so
    // that the band or the window shows round it.
    virtual void DrawFooterIcon(TCanvas& canvas, int iconId, bool shield, int x, int y) = 0;
    virtual IButtonPictures& Pictures() = 0;

    // Shows the built form modally and returns its modal result.
    virtual int ShowModal(class TTaskMessageForm& form) = 0;
};

// Stock icon identifiers (IDI_*).
namespace idi {
inline constexpr int kHand = 32513;
inline constexpr int kQuestion = 32514;
inline constexpr int kExclamation = 32515;
inline constexpr int kAsterisk = 32516;
inline constexpr int kWinLogo = 32517;
}  // namespace idi

// Key codes the form reacts to.
namespace vk {
inline constexpr int kReturn = 13;
inline constexpr int kEscape = 27;
inline constexpr int kSpace = 32;
inline constexpr int kC = 67;
inline constexpr int kF4 = 115;
}  // namespace vk

struct TShiftState {
    bool Shift = false;
    bool Ctrl = false;
    bool Alt = false;
};

// Colours of the window (0x00BBGGRR).
namespace formcolor {
inline constexpr TColor kWindow = 0x00FFFFFF;
inline constexpr TColor kBand = 0x00F0F0F0;
inline constexpr TColor kBandEdge = 0x00DFDFDF;
inline constexpr TColor kOldFrame = 0x00808080;
inline constexpr TColor kInstruction = 0x00C45300;  // RGB(0, 83, 196)
inline constexpr TColor kCommandLinkBorder = 0x00FFE16C;  // RGB(108, 225, 255)
}  // namespace formcolor

class TTaskMessageForm {
public:
    TTaskMessageForm(TTaskDialogEx& component, ITaskFormHost& host);
    ~TTaskMessageForm();
    TTaskMessageForm(const TTaskMessageForm&) = delete;
    TTaskMessageForm& operator=(const TTaskMessageForm&) = delete;

    TTaskDialogEx& Component() const { return component_; }

    // ---- construction and layout
    void BuildDialog();
    void ArrangeControls();
    void UpdateTexts();
    // Plain text measured with word breaks in (0, 0, width, 100); width 0 means 1000.
    void MeasureText(const std::string& text, int& width, int& height);
    TRect ContentRect() const;
    TRect ExpandedRect() const;
    TRect FooterRect() const;
    std::string GetDialogText() const;

    // Takes a control into the form's ownership (the component's button hook uses
    // it) and appends it to Controls().
    TControl& Adopt(std::unique_ptr<TControl> control);
    // Every control in creation order, except that the default common button is
    // moved to the front: the order is also the tab order.
    const std::vector<TControl*>& Controls() const { return controls_; }
    const std::vector<TControl*>& CommonButtons() const { return commonButtons_; }
    const std::vector<TControl*>& CustomButtons() const { return customButtons_; }
    const std::vector<TRadioButton*>& RadioButtons() const { return radioButtons_; }
    TLabel* Instruction() const { return instruction_; }
    TImage* Image() const { return image_; }
    TImage* FooterImage() const { return footerImage_; }
    TTaskDialogButton* ExpandButton() const { return expandButton_; }
    TCheckBox* Verification() const { return verification_; }
    TProgressBar* ProgressBar() const { return progressBar_; }
    bool HasTimer() const { return timer_; }

    // ---- painting and interaction
    void Paint(TCanvas& canvas);
    std::string LinkAt(int x, int y);
    void MouseMove(int x, int y);
    void MouseDown(int x, int y);
    // Key down, seen before the focused control; true: the key is discarded.
    bool KeyDown(int key, TShiftState shift);
    // Enter, Space and Escape as the dialog's keys: Enter or Space on a focused
    // link opens it as a click does; Enter presses the focused button or command
    // link, else the default one; Escape the cancel-marked one. True when the key
    // was used.
    bool DialogKey(int key);
    // Tab (forward) and Shift+Tab: the focus to the next stop round the links of
    // the content and the expanded text, the controls that are tab stops, and the
    // links of the footer. True when a stop took it.
    bool TabKey(bool forward);
    // The target of the link that has the keyboard focus; "" when none has.
    std::string FocusedLink();
    // A character (accelerator key); true when it was used.
    bool DialogChar(char c);
    void Click(TControl& control);
    void Timer();
    void Shown();
    void ToggleExpanded();
    void SetExpanded(bool value);
    bool Expanded() const { return expanded_; }

    // ---- closing
    // The close box or the system menu: the modal result becomes 2.
    void Close();
    // OnDialogClose; false when the handler refused.
    bool CloseQuery();
    int ModalResult = 0;

    // ---- state the window layer and the tests read
    int ClientWidth = 0;
    int ClientHeight = 0;
    int HorzMargin = 0;
    int VertMargin = 0;
    int IconGap = 0;
    int VertGap = 0;
    int ButtonHeight = 0;
    int ButtonGap = 0;
    int ContentLeft = 0;
    int ButtonBandTop = 0;
    int ContentWidth = 0;
    int ContentHeight = 0;
    int ExpandedWidth = 0;
    int ExpandedHeight = 0;
    int ExpandedTop = 0;
    int FooterWidth = 0;
    int FooterHeight = 0;
    int MinWidth = 350;
    int FooterIconId = 0;
    std::string Caption;  // the window title

    // The measured caption widths of the six common-button kinds, for the process.
    static int CachedButtonWidth(TCommonButton kind);
    static void ForgetButtonWidths();  // tests only

private:
    // Texts whose links Tab reaches, in reading order.
    enum class LinkArea { Content, Expanded, Footer };
    struct LinkStop {
        LinkArea area;
        int anchor;  // from 0, as the markup engine counts them
    };
    // A tab stop: a control, or a link when `control` is null.
    struct TabStop {
        TControl* control = nullptr;
        LinkStop link{LinkArea::Content, -1};
    };
    // The area's text as markup and where it is painted; false when it shows no
    // links (empty, collapsed, or plain text without doHyperlinks).
    bool LinkText(LinkArea area, std::string& markup, TRect& rect) const;
    // The links of an area that have a target, each with it.
    std::vector<std::pair<LinkStop, std::string>> LinksOf(LinkArea area);
    std::vector<TabStop> TabOrder();
    bool IsTabStop(const TControl& control);
    // The link that has the keyboard focus, if it is still there, and its target.
    bool LinkWithFocus(std::string& href);
    // The anchor to draw with a focus rectangle in an area; -1 for none.
    int FocusAnchorOf(LinkArea area);
    void ComputeUnits();
    void PlaceInstruction();
    void MeasureInstruction(int& width, int& height);
    int MeasureWidth(const std::string& text);
    void MeasureMarkup(const std::string& text, const TRect& bounds, int pointX, int pointY, bool measureOnly,
                       int& width, int& height);
    void DrawDialogText(TCanvas& canvas, const std::string& text, const TRect& rect, int focusAnchor);
    void NotifyHost();
    TControl* Find(const TControl* control) const;
    bool IsCommon(const TControl& control) const;
    int CustomIndex(const TControl& control) const;
    int RadioIndex(const TControl& control) const;

    TTaskDialogEx& component_;
    ITaskFormHost& host_;
    std::vector<std::unique_ptr<TControl>> owned_;
    std::vector<TControl*> controls_;
    std::vector<TControl*> commonButtons_;
    std::vector<TControl*> customButtons_;
    std::vector<TRadioButton*> radioButtons_;
    TLabel* instruction_ = nullptr;
    TImage* image_ = nullptr;
    TImage* footerImage_ = nullptr;
    TTaskDialogButton* expandButton_ = nullptr;
    TCheckBox* verification_ = nullptr;
    TProgressBar* progressBar_ = nullptr;
    bool timer_ = false;
    bool expanded_ = true;
    bool built_ = false;        // the host is told of changes only once the form is built
    int instructionLeft_ = 0;   // the label's left edge before mirroring
    std::string linkUnderMouse_;
    bool handCursor_ = false;
    bool hasLinkFocus_ = false;  // valid while the form window has the focus
    LinkStop linkFocus_{LinkArea::Content, -1};
    // Copies taken at BuildDialog.
    std::string instructionText_;
    TTaskDialogIcon icon_ = tiBlank;
    TCommonButtons buttons_;
};

// The emulated branch of Execute: builds the form in `host`, tells the component,
// raises OnDialogCreated and shows it; the modal result. The component's
// MessageForm is cleared on every way out.
int ShowTaskMessageForm(TTaskDialogEx& component, ITaskFormHost& host);

}  // namespace dupd
