// Building the emulated dialog from the component's properties, and showing it.
#include "taskdialog/TaskMessageForm.h"

#include <algorithm>
#include <cctype>

#include "markup/DrawMarkup.h"
#include "markup/MarkupHelpers.h"
#include "taskdialog/TaskMessageFormHelpers.h"

namespace dupd {

using namespace taskform;

TTaskMessageForm::TTaskMessageForm(TTaskDialogEx& component, ITaskFormHost& host)
    : component_(component), host_(host)
{
    ButtonBandTop = kInitialWindowHeight;
    MinWidth = component.NonNativeMinFormWidth();
}

TTaskMessageForm::~TTaskMessageForm() = default;

int TTaskMessageForm::CachedButtonWidth(TCommonButton kind) { return g_buttonWidths[kind]; }

void TTaskMessageForm::ForgetButtonWidths() { std::fill(std::begin(g_buttonWidths), std::end(g_buttonWidths), 0); }

TControl& TTaskMessageForm::Adopt(std::unique_ptr<TControl> control)
{
    TControl& c = *control;
    owned_.push_back(std::move(control));
    controls_.push_back(&c);
    return c;
}

// ---------------------------------------------------------------- construction

void TTaskMessageForm::BuildDialog()
{
    TTaskDialogEx& c = component_;
    TCanvas& canvas = host_.MeasureCanvas();
    const TFontState windowFont = host_.WindowFont();
    FontScope canvasFont(canvas, windowFont);
    const TTaskDialogOptions options = c.Options();
    const int defaultButton = c.DefaultButton();
    const bool noDefault = defaultButton == -1;
    const bool allowCancel = options.Contains(doAllowDialogCancel);

    instructionText_ = c.Instruction();
    icon_ = c.Icon();
    buttons_ = c.CommonButtons();

    ComputeUnits();
    Caption = c.Title();
    int W = Caption.empty() ? 0 : MeasureWidth(Caption) + 50;

    // Common buttons.
    commonButtons_.clear();
    TCommonButton defaultKind = cbOK;
    TCommonButton escapeKind = cbOK;
    switch (defaultButton) {
    case 0:
        defaultKind = buttons_.Contains(cbOK) ? cbOK : buttons_.Contains(cbYes) ? cbYes : cbRetry;
        escapeKind = buttons_.Contains(cbCancel) ? cbCancel : buttons_.Contains(cbNo) ? cbNo : cbOK;
        break;
    case 1: defaultKind = buttons_.Contains(cbOK) ? cbOK : cbYes; break;
    case 2: defaultKind = buttons_.Contains(cbCancel) ? cbCancel : cbNo; break;
    default: break;
    }
    auto measureSingle = [&](const std::string& text) {
        TRect r{0, 0, 0, 0};
        canvas.DrawText(text, r, dt::kCalcRect | dt::kSingleLine);
        return r.Width();
    };
    auto newCommon = [&](TCommonButton kind) -> TControl* {
        TControl* b = c.CreateDialogButton(*this);
        if (b == nullptr) return nullptr;
        commonButtons_.push_back(b);
        b->Name = kCommon[kind].name;
        b->Id = kCommon[kind].result;
        c.SetDialogButtonCaption(*b, kCommon[kind].caption);
        c.SetDialogButtonResult(*b, kCommon[kind].result);
        return b;
    };
    int commonTotal = 0;
    int customTotal = 0;
    for (int k = cbOK; k <= cbClose; ++k) {
        const auto kind = static_cast<TCommonButton>(k);
        if (!buttons_.Contains(kind)) continue;
        if (g_buttonWidths[kind] == 0) g_buttonWidths[kind] = measureSingle(kCommon[kind].caption) + 16;
        TControl* b = newCommon(kind);
        if (b == nullptr) continue;
        if (c.GetDialogButtonResult(*b) == 2 && allowCancel) c.SetDialogButtonCancel(*b, true);
        if (!noDefault && kind == defaultKind) {
            c.SetDialogButtonDefault(*b, true);
            // First in the tab order.
            auto at = std::find(controls_.begin(), controls_.end(), b);
            if (at != controls_.end()) std::rotate(controls_.begin(), at, at + 1);
        }
        if (kind == escapeKind && allowCancel) c.SetDialogButtonCancel(*b, true);
        const int width = std::max(60, g_buttonWidths[kind]);
        b->SetBounds(0, 0, width, ButtonHeight);
        commonTotal += width + ButtonGap;
        if (noDefault) b->TabStop = false;
    }

    // Custom buttons.
    customButtons_.clear();
    const std::vector<std::string>& captions = c.CustomButtons();
    if (options.Contains(doCommandLinks)) {
        const bool noIcon = options.Contains(doCommandLinksNoIcon);
        const TFontState heading = Heading(windowFont);
        int widest = 0;
        for (std::size_t n = 0; n < captions.size(); ++n) {
            int cw = 0, ch = 0;
            MeasureLines(canvas, captions[n], heading, windowFont, 0, cw, ch, true);
            widest = std::max(widest, cw + 26);
            W = noIcon ? std::max(W, widest + HorzMargin) : std::max(W, 2 * HorzMargin + widest + IconGap + kImageSize);
            auto& link = static_cast<TTaskDialogButton&>(Adopt(std::make_unique<TTaskDialogButton>()));
            link.Name = "Button" + std::to_string(n);
            link.Id = 100 + static_cast<int>(n);
            link.Caption = captions[n];
            link.Font = windowFont;
            link.Font.Color = formcolor::kInstruction;
            link.HeadingFont = heading;
            link.HeadingFont.Color = formcolor::kInstruction;
            link.ModalResult = 100 + static_cast<int>(n);
            link.BorderColorHot = formcolor::kCommandLinkBorder;
            link.BorderColorDown = formcolor::kCommandLinkBorder;
            link.FocusOnHover = !noDefault;
            canvas.SetFont(link.Font);
            const int gh = canvas.TextHeight("gh");
            canvas.SetFont(windowFont);
            link.SetWidth(std::max(60, widest));
            link.SetHeight(std::max(std::max(ButtonHeight, gh + 20), ch));
            if (!noIcon) {
                link.Picture = "TD_ARW";
                link.PictureHot = "TD_ARWHOT";
                link.PictureDown = "TD_ARWDOWN";
            }
            link.TabStop = !noDefault;
            customButtons_.push_back(&link);
        }
    } else {
        for (std::size_t n = 0; n < captions.size(); ++n) {
            const int w = measureSingle(captions[n]) + 16;
            TControl* b = c.CreateDialogButton(*this);
            if (b == nullptr) continue;
            customButtons_.push_back(b);
            const int result = 100 + static_cast<int>(n);
            b->Name = "Button" + std::to_string(n);
            b->Id = result;
            c.SetDialogButtonCaption(*b, captions[n]);
            c.SetDialogButtonResult(*b, result);
            c.SetDialogButtonDefault(*b, result == defaultButton);
            const int width = std::max(60, w);
            b->SetBounds(0, 0, width, ButtonHeight);
            customTotal += width + ButtonGap;
            if (noDefault) b->TabStop = false;
        }
    }

    // A dialog always has a button.
    if (commonButtons_.empty() && customButtons_.empty()) {
        g_buttonWidths[cbOK] = measureSingle(kCommon[cbOK].caption) + 8;
        if (TControl* b = newCommon(cbOK)) {
            c.SetDialogButtonDefault(*b, true);
            if (allowCancel) c.SetDialogButtonCancel(*b, true);
            const int width = std::max(60, g_buttonWidths[cbOK]);
            b->SetBounds(0, 0, width, ButtonHeight);
            commonTotal += width + ButtonGap;
            if (noDefault) b->TabStop = false;
        }
    }

    // Instruction row.
    int iw = 0, ih = 0;
    MeasureInstruction(iw, ih);
    const bool iconColumn = icon_ != tiNotUsed;
    const int rowWidth = iconColumn ? IconGap + iw + kImageSize : iw;

    if (iconColumn || c.CustomIcon() != 0) {
        image_ = static_cast<TImage*>(&Adopt(std::make_unique<TImage>()));
        image_->Name = "Image";
        image_->Id = 304;
        image_->TabStop = false;
        if (c.CustomIcon() != 0) {
            image_->Picture = TImage::Source::IconHandle;
            image_->IconHandle = c.CustomIcon();
        } else {
            switch (icon_) {
            case tiWarning: image_->Picture = TImage::Source::StockIcon; image_->StockIconId = idi::kExclamation; break;
            case tiQuestion: image_->Picture = TImage::Source::StockIcon; image_->StockIconId = idi::kQuestion; break;
            case tiError: image_->Picture = TImage::Source::StockIcon; image_->StockIconId = idi::kHand; break;
            case tiInformation: image_->Picture = TImage::Source::StockIcon; image_->StockIconId = idi::kAsterisk; break;
            case tiShield: image_->Picture = TImage::Source::Bitmap; image_->BitmapName = "TD_SHIELD"; break;
            case tiBlank:
            case tiNotUsed: image_->Picture = TImage::Source::White; break;
            }
        }
        image_->SetBounds(HorzMargin, VertMargin, kImageSize, kImageSize);
    }

    instruction_ = static_cast<TLabel*>(&Adopt(std::make_unique<TLabel>()));
    instruction_->Name = "Instr";
    instruction_->Id = 303;
    instruction_->TabStop = false;
    instruction_->WordWrap = true;
    instruction_->Caption = instructionText_;
    instruction_->Font = Heading(windowFont);
    instruction_->Font.Color = formcolor::kInstruction;
    instruction_->RightToLeft = host_.RightToLeft();
    instructionLeft_ = rowWidth + HorzMargin - iw;
    instruction_->SetBounds(instructionLeft_, VertMargin, iw, ih);
    PlaceInstruction();
    int Y = VertMargin + instruction_->Height() + VertGap;
    ContentLeft = instructionLeft_;

    if (options.Contains(doTimer)) {
        timer_ = true;
        host_.StartTimer(100);
    }

    if (options.Contains(doProgressBar)) {
        progressBar_ = static_cast<TProgressBar*>(&Adopt(std::make_unique<TProgressBar>()));
        progressBar_->Name = "ProgressBar";
        progressBar_->Id = 302;
        progressBar_->TabStop = false;
        progressBar_->SetBounds(HorzMargin, Y, TProgressBar::kDefaultWidth - 2 * HorzMargin, 12);
        // A range the bar would refuse ends the showing here, before any window
        // is shown.
        progressBar_->Range32 = host_.ProgressRange32();
        progressBar_->SetRange(c.ProgressBarMin(), c.ProgressBarMax());
        progressBar_->SetPosition(0);
        if (!timer_) {
            timer_ = true;
            host_.StartTimer(100);
        }
    }

    const std::vector<std::string>& radios = c.RadioButtons();
    if (!radios.empty()) {
        const bool noDefaultRadio = options.Contains(doNoDefaultRadioButton);
        c.SetSelectedRadioButton(noDefaultRadio ? 0 : c.DefaultRadioButton());
        TFontState radioFont = windowFont;
        radioFont.Size = 8;
        for (std::size_t n = 0; n < radios.size(); ++n) {
            auto& radio = static_cast<TRadioButton&>(Adopt(std::make_unique<TRadioButton>()));
            radioButtons_.push_back(&radio);
            radio.Name = "Radio" + std::to_string(n);
            radio.Id = 200 + static_cast<int>(n);
            radio.Font = radioFont;
            radio.SetBounds(0, 0, iw, ih);
            radio.Caption = radios[n];
            if (!noDefaultRadio)
                radio.Checked = c.DefaultRadioButton() < 1 ? n == 0 : 200 + static_cast<int>(n) == c.DefaultRadioButton();
            radio.TabStop = radio.Checked;
            const int left = ContentLeft + HorzMargin;
            radio.SetBounds(left, Y, ClientWidth - left - 4, radio.Height());
            W = std::max(W, left + MeasureWidth(radios[n]) + HorzMargin + 20);
        }
    }

    const std::string& expandedText = c.ExpandedText();
    if (!expandedText.empty()) {
        ExpandedWidth = ExpandedHeight = 0;
        if (options.Contains(doHyperlinks)) {
            MeasureMarkup(AsMarkup(expandedText), TRect{HorzMargin, Y, 300, Y + 26}, 0, Y, false, ExpandedWidth,
                          ExpandedHeight);
        } else {
            ExpandedWidth = 300 - HorzMargin;
            MeasureText(AsPlain(expandedText), ExpandedWidth, ExpandedHeight);
        }
        expandButton_ = static_cast<TTaskDialogButton*>(&Adopt(std::make_unique<TTaskDialogButton>()));
        expandButton_->Name = "ExpandButton";
        expandButton_->Id = 300;
        expandButton_->TabStop = false;
        expandButton_->Color = formcolor::kBand;
        expandButton_->ModalResult = 0;
        expandButton_->SetBounds(0, 0, kExpandButtonSize, kExpandButtonSize);
        expandButton_->Picture = "TD_COLP";
        expandButton_->PictureHot = "TD_COLPHOT";
        expandButton_->PictureDown = "TD_COLPDOWN";
    }

    int verificationWidth = 0;
    if (!c.VerificationText().empty()) {
        verification_ = static_cast<TCheckBox*>(&Adopt(std::make_unique<TCheckBox>()));
        verification_->Name = "Verification";
        verification_->Id = 301;
        verification_->SetBounds(HorzMargin, Y, iw, ih);
        verification_->Caption = c.VerificationText();
        verification_->Color = formcolor::kBand;
        verification_->Checked = options.Contains(doVerifyChecked);
        const int vw = MeasureWidth(c.VerificationText());
        verificationWidth = 2 * VertGap + vw;
        W = std::max(W, verification_->Bounds.Left + vw);
    }

    FooterWidth = FooterHeight = 0;
    if (!c.Footer().empty())
        MeasureMarkup(AsMarkup(c.Footer()), TRect{HorzMargin, Y, 300, Y + 26}, 0, Y, false, FooterWidth, FooterHeight);
    if (c.FooterIcon() != tfiBlank) {
        footerImage_ = static_cast<TImage*>(&Adopt(std::make_unique<TImage>()));
        footerImage_->Name = "FooterImage";
        footerImage_->Id = 305;
        footerImage_->TabStop = false;
        footerImage_->Visible = false;
        footerImage_->SetBounds(HorzMargin, Y, 16, 16);
        FooterIconId = FooterIdOf(c.FooterIcon());
    }

    // Width.
    int row = commonTotal + customTotal + verificationWidth;
    if (expandButton_ != nullptr)
        row += expandButton_->Width() + IconGap +
               std::max(MeasureWidth(c.CollapsControlText()), MeasureWidth(c.ExpandControlText())) + IconGap;
    int W2 = std::max({rowWidth, row, FooterWidth}) + 2 * HorzMargin;
    W2 = std::max(W2, 2 * HorzMargin + ExpandedWidth);
    W = std::max({W, W2, MinWidth});
    const int screenRoom = host_.ScreenWidth() - 2 * host_.EdgeHeight();
    if (W > screenRoom) W = screenRoom;
    ClientWidth = W;
    if (progressBar_ != nullptr) progressBar_->SetWidth(ClientWidth - 2 * HorzMargin);
    PlaceInstruction();

    ArrangeControls();
    if (!expandedText.empty()) SetExpanded(options.Contains(doExpandedDefault));

    c.SetVerificationChecked(options.Contains(doVerifyChecked));
    built_ = true;
}

namespace {

// The component knows its emulated dialog only while it is shown.
class MessageFormScope {
public:
    MessageFormScope(TTaskDialogEx& component, TTaskMessageForm& form) : component_(component)
    {
        component.SetMessageForm(&form);
    }
    ~MessageFormScope() { component_.SetMessageForm(nullptr); }
    MessageFormScope(const MessageFormScope&) = delete;
    MessageFormScope& operator=(const MessageFormScope&) = delete;

private:
    TTaskDialogEx& component_;
};

}  // namespace

int ShowTaskMessageForm(TTaskDialogEx& component, ITaskFormHost& host)
{
    TTaskMessageForm form(component, host);
    form.BuildDialog();
    MessageFormScope scope(component, form);
    if (component.OnDialogCreated) component.OnDialogCreated(component);
    return host.ShowModal(form);
}


}  // namespace dupd
