#include "taskdialog/TaskMessageForm.h"

#include <algorithm>
#include <cctype>

#include "markup/DrawMarkup.h"
#include "markup/MarkupHelpers.h"

namespace dupd {

namespace {

// The framework's form starts this high; the band sits below it until the first
// arrangement.
constexpr int kInitialWindowHeight = 240;
constexpr int kImageSize = 32;
constexpr int kExpandButtonSize = 19;
constexpr int kFooterIconRoom = 20;  // the footer icon and the space after it
constexpr int kCommonKinds = 6;

int g_buttonWidths[kCommonKinds] = {};

struct CommonKind {
    const char* name;
    const char* caption;
    int result;
};
constexpr CommonKind kCommon[kCommonKinds] = {
    {"OK", "OK", 1},         {"Yes", "&Yes", 6},     {"No", "&No", 7},
    {"Cancel", "Cancel", 2}, {"Retry", "&Retry", 4}, {"Abort", "&Abort", 3},
};

// The platform's MulDiv: the product divided, rounded to the nearest integer.
int MulDiv(int a, int b, int c)
{
    const long long n = static_cast<long long>(a) * b;
    const long long q = (n < 0 ? n - c / 2 : n + c / 2) / c;
    return static_cast<int>(q);
}

std::string ReplaceAll(std::string text, const std::string& what, const std::string& with)
{
    for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += with.size())
        text.replace(at, what.size(), with);
    return text;
}

// Dialog texts write line breaks as the two characters backslash and n.
std::string AsMarkup(const std::string& text) { return ReplaceAll(ReplaceAll(text, "\\n", "<br>"), "\n", "<br>"); }
std::string AsPlain(const std::string& text) { return ReplaceAll(text, "\\n", "\r"); }

// The accelerator character of a caption: the one after a single "&"; 0 for none.
char Accelerator(const std::string& caption)
{
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] != '&') return caption[i + 1];
        ++i;
    }
    return 0;
}

bool IsAccelerator(char c, const std::string& caption)
{
    const char a = Accelerator(caption);
    return a != 0 && std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(c));
}

bool Inside(const TRect& r, int x, int y) { return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom; }

constexpr TRect kNoRect{-1, -1, -1, -1};

class FontScope {
public:
    FontScope(TCanvas& canvas, const TFontState& font) : canvas_(canvas), saved_(canvas.Font()) { canvas.SetFont(font); }
    ~FontScope() { canvas_.SetFont(saved_); }
    FontScope(const FontScope&) = delete;
    FontScope& operator=(const FontScope&) = delete;

private:
    TCanvas& canvas_;
    TFontState saved_;
};

TFontState Heading(const TFontState& windowFont)
{
    TFontState f = windowFont;
    f.Size = 11;
    f.Style = static_cast<std::uint8_t>(f.Style | fsBold);
    return f;
}

int FooterIdOf(TTaskDialogFooterIcon icon)
{
    switch (icon) {
    case tfiWarning: return idi::kExclamation;
    case tfiQuestion: return idi::kQuestion;
    case tfiError: return idi::kHand;
    case tfiInformation: return idi::kAsterisk;
    case tfiShield: return idi::kWinLogo;
    case tfiBlank: break;
    }
    return 0;
}

}  // namespace

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

// ---------------------------------------------------------------- measuring

void TTaskMessageForm::ComputeUnits()
{
    TCanvas& canvas = host_.MeasureCanvas();
    const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    const int charWidth = canvas.TextWidth(letters) / 52;
    const int charHeight = canvas.TextHeight(letters);
    HorzMargin = MulDiv(8, charWidth, 4);
    VertMargin = MulDiv(8, charHeight, 8);
    IconGap = MulDiv(10, charWidth, 4);
    VertGap = MulDiv(10, charHeight, 8);
    ButtonHeight = MulDiv(14, charHeight, 8);
    ButtonGap = MulDiv(4, charWidth, 4);
}

void TTaskMessageForm::MeasureText(const std::string& text, int& width, int& height)
{
    if (text.empty()) {
        width = 0;
        height = 0;
        return;
    }
    TCanvas& canvas = host_.MeasureCanvas();
    FontScope font(canvas, host_.WindowFont());
    TRect r{0, 0, width == 0 ? 1000 : width, 100};
    unsigned flags = dt::kCalcRect | dt::kNoPrefix | dt::kWordBreak | dt::kExpandTabs;
    if (host_.RightToLeft()) flags |= dt::kRtlReading;
    canvas.DrawText(text, r, flags);
    width = r.Right;
    height = r.Bottom;
}

int TTaskMessageForm::MeasureWidth(const std::string& text)
{
    int width = 0, height = 0;
    MeasureText(text, width, height);
    return width;
}

void TTaskMessageForm::MeasureInstruction(int& width, int& height)
{
    TCanvas& canvas = host_.MeasureCanvas();
    FontScope font(canvas, Heading(host_.WindowFont()));
    TRect r{0, 0, host_.ScreenWidth() / 2, 0};
    canvas.DrawText(component_.Instruction(), r, dt::kCalcRect | dt::kWordBreak | dt::kExpandTabs);
    width = r.Width();
    height = r.Height();
}

void TTaskMessageForm::MeasureMarkup(const std::string& text, const TRect& bounds, int pointX, int pointY,
                                     bool measureOnly, int& width, int& height)
{
    TCanvas& canvas = host_.MeasureCanvas();
    FontScope font(canvas, host_.WindowFont());
    TMarkupResult result;
    DrawMarkup(canvas, text, bounds, MarkupHitTestProfile(pointX, pointY, measureOnly), result);
    width = result.Width;
    height = result.Height;
}

void TTaskMessageForm::PlaceInstruction()
{
    if (instruction_ == nullptr) return;
    int left = instructionLeft_;
    // Mirrored against the width the window has now, so it is placed again
    // whenever the width changes.
    if (host_.RightToLeft()) left = ClientWidth - left - instruction_->Width();
    instruction_->SetLeft(left);
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
        progressBar_->Min = c.ProgressBarMin();
        progressBar_->Max = c.ProgressBarMax();
        progressBar_->Position = 0;
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

void TTaskMessageForm::ArrangeControls()
{
    const TTaskDialogEx& c = component_;
    const TTaskDialogOptions options = c.Options();
    const bool markup = options.Contains(doHyperlinks);
    const bool commandLinks = options.Contains(doCommandLinks);
    {
        FontScope font(host_.MeasureCanvas(), host_.WindowFont());
        ComputeUnits();
    }
    int Y = VertMargin;

    const bool hasInstruction = instruction_ != nullptr && !instruction_->Caption.empty();
    if (instruction_ != nullptr) instruction_->Visible = hasInstruction;
    if (hasInstruction) Y += instruction_->Height() + VertGap;

    if (!c.Content().empty()) {
        TRect r = ContentRect();
        r.Top = Y;
        r.Bottom = Y + 26;
        if (markup) {
            MeasureMarkup(AsMarkup(c.Content()), r, 0, 0, true, ContentWidth, ContentHeight);
        } else {
            ContentWidth = r.Width();
            MeasureText(AsPlain(c.Content()), ContentWidth, ContentHeight);
        }
        int h = ContentHeight;
        if (!hasInstruction && image_ != nullptr) h = std::max(image_->Height(), ContentHeight);
        Y += h + VertGap;
    } else {
        if (radioButtons_.empty() && !commandLinks) Y += VertGap;
        if (!hasInstruction && image_ != nullptr) Y += VertGap + VertMargin;
    }

    if (progressBar_ != nullptr) {
        if (image_ != nullptr) Y = std::max(Y, image_->Bounds.Bottom + 3);
        progressBar_->SetTop(Y);
        Y += progressBar_->Height() + VertGap;
    }

    if (!radioButtons_.empty()) {
        for (TRadioButton* radio : radioButtons_) {
            radio->SetTop(Y);
            radio->SetWidth(ClientWidth - radio->Bounds.Left - HorzMargin);
            Y += radio->Height() + 4;
        }
        Y += VertGap - 4;
    }

    ExpandedWidth = ExpandedHeight = 0;
    int expandedTop = 0;
    if (!c.ExpandedText().empty() && expanded_) {
        TRect r = ExpandedRect();
        r.Top = Y;
        r.Bottom = Y + 26;
        if (markup) {
            MeasureMarkup(AsMarkup(c.ExpandedText()), r, 0, 0, true, ExpandedWidth, ExpandedHeight);
        } else {
            ExpandedWidth = r.Width();
            MeasureText(AsPlain(c.ExpandedText()), ExpandedWidth, ExpandedHeight);
        }
        expandedTop = ExpandedTop = Y;
        Y += ExpandedHeight + VertGap;
    }

    int customTotal = 0;
    if (commandLinks) {
        for (TControl* link : customButtons_) {
            // Without an image the links start at the margin, where the
            // instruction starts, rather than at the window's edge.
            link->SetLeft(image_ != nullptr ? ContentLeft : HorzMargin);
            link->SetTop(Y);
            link->SetWidth(ClientWidth - link->Bounds.Left - HorzMargin);
            Y += link->Height() + 2;
        }
        ButtonBandTop = Y;
        Y += VertGap;
    } else if (!customButtons_.empty()) {
        for (TControl* b : customButtons_) customTotal += b->Width();
        customTotal += (static_cast<int>(customButtons_.size()) - 1) * ButtonGap;
    }
    // No common buttons take no room, so that a row of custom buttons alone ends
    // as far from the edge as a row of common ones.
    int commonTotal = 0;
    if (!commonButtons_.empty()) {
        for (TControl* b : commonButtons_) commonTotal += b->Width();
        commonTotal += (static_cast<int>(commonButtons_.size()) - 1) * ButtonGap;
    }

    const int verificationWidth = c.VerificationText().empty() ? 0 : 2 * VertGap + MeasureWidth(c.VerificationText());
    int X = ClientWidth - customTotal - commonTotal - IconGap - 4;
    int T = Y;
    int H = 0;

    if (!c.ExpandedText().empty() && expandButton_ != nullptr) {
        expandButton_->SetBounds(VertMargin, Y, expandButton_->Width(), expandButton_->Height());
        H = std::max(H, expandButton_->Height());
    }
    if (verification_ != nullptr)
        verification_->SetBounds(VertMargin + 3, Y + H, verificationWidth - VertGap, verification_->Height());

    if (!commandLinks) {
        for (TControl* b : customButtons_) {
            b->SetBounds(X, Y, b->Width(), b->Height());
            X += b->Width() + ButtonGap;
            H = std::max(H, b->Height());
        }
        if (!customButtons_.empty()) ButtonBandTop = Y;
    }
    for (TControl* b : commonButtons_) {
        b->SetBounds(X, Y, b->Width(), b->Height());
        X += b->Width() + ButtonGap;
        H = std::max(H, b->Height());
    }
    if (!commonButtons_.empty()) ButtonBandTop = Y;

    if (verification_ != nullptr) {
        T += std::max(H, verification_->Height() + VertGap);
        Y += std::max(H + VertGap, verification_->Height() + VertGap);
    } else {
        T += H;
        if (H > 0) Y += H + VertGap;
    }

    if (!c.Footer().empty()) {
        const int left = footerImage_ != nullptr ? HorzMargin + kFooterIconRoom : HorzMargin;
        // Measured at the width it is painted in (FooterRect), so that the painted
        // footer never wraps into more lines than were measured.
        const TRect r{left, Y, ClientWidth - HorzMargin, Y + 100};
        MeasureMarkup(AsMarkup(c.Footer()), r, 0, 0, false, FooterWidth, FooterHeight);
        int d = FooterHeight;
        if (footerImage_ != nullptr) {
            footerImage_->SetTop(Y);
            d = std::max(d, kFooterIconRoom);
        }
        T += d + VertGap;
    }

    ClientHeight = T + VertMargin;
    if (commonButtons_.empty() && (commandLinks || customButtons_.empty()))
        ButtonBandTop = ClientHeight;  // at the client's bottom: no band
    if (expandedTop > 0 && options.Contains(doExpandedFooter)) ButtonBandTop = expandedTop;
    // The expand control takes the colour of what it stands on.
    if (expandButton_ != nullptr)
        expandButton_->Color = ButtonBandTop < ClientHeight && expandButton_->Bounds.Top >= ButtonBandTop - VertGap / 2
                                   ? formcolor::kBand
                                   : formcolor::kWindow;
}

void TTaskMessageForm::UpdateTexts()
{
    TTaskDialogEx& c = component_;
    const bool commandLinks = c.Options().Contains(doCommandLinks);
    Caption = c.Title();
    int W = Caption.empty() ? 0 : MeasureWidth(Caption) + 50;

    int commonTotal = 0;
    for (TControl* b : commonButtons_) commonTotal += b->Width() + ButtonGap;
    int customTotal = 0;
    if (!commandLinks)
        for (TControl* b : customButtons_) customTotal += b->Width() + ButtonGap;

    int iw = 0, ih = 0;
    MeasureInstruction(iw, ih);
    const int rowWidth = icon_ != tiNotUsed ? IconGap + iw + kImageSize : iw;
    if (instruction_ != nullptr) {
        instruction_->Caption = c.Instruction();
        instruction_->SetWidth(iw);
        instruction_->SetHeight(ih);
    }

    // The radio the user chose stays chosen: a changed text is no new question.
    for (TRadioButton* radio : radioButtons_) {
        const int left = ContentLeft + HorzMargin;
        radio->SetBounds(left, radio->Bounds.Top, ClientWidth - left - 4, ih);
        W = std::max(W, left + MeasureWidth(radio->Caption) + HorzMargin + 20);
    }

    if (verification_ != nullptr) {
        verification_->SetBounds(HorzMargin, verification_->Bounds.Top, iw, ih);
        verification_->Caption = c.VerificationText();
        W = std::max(W, HorzMargin + MeasureWidth(c.VerificationText()));
    }

    FooterWidth = FooterHeight = 0;
    if (!c.Footer().empty())
        MeasureMarkup(AsMarkup(c.Footer()), TRect{HorzMargin, 0, 300, 26}, 0, 0, false, FooterWidth, FooterHeight);

    int row = commonTotal + customTotal;
    if (!c.ExpandedText().empty() && expandButton_ != nullptr)
        row += std::max(MeasureWidth(c.CollapsControlText()), MeasureWidth(c.ExpandControlText())) +
               expandButton_->Width() + 2 * IconGap;

    ClientWidth = std::max({W, std::max({rowWidth, row, FooterWidth}) + 2 * HorzMargin, MinWidth});
    if (progressBar_ != nullptr) progressBar_->SetWidth(ClientWidth - 2 * HorzMargin);
    PlaceInstruction();
    ArrangeControls();
    NotifyHost();
}

TRect TTaskMessageForm::ContentRect() const
{
    if (component_.Content().empty()) return kNoRect;
    TRect r;
    r.Left = image_ != nullptr ? image_->Bounds.Right + IconGap : HorzMargin;
    r.Top = instruction_ != nullptr && !instruction_->Caption.empty() ? instruction_->Bounds.Bottom + VertGap
                                                                      : VertMargin;
    r.Right = ClientWidth - HorzMargin;
    r.Bottom = r.Top + ContentHeight;
    return r;
}

TRect TTaskMessageForm::ExpandedRect() const
{
    if (!expanded_) return kNoRect;
    TRect r;
    r.Left = image_ != nullptr ? image_->Bounds.Right + IconGap : HorzMargin;
    r.Top = ExpandedTop;
    r.Right = ClientWidth - HorzMargin;
    r.Bottom = r.Top + ExpandedHeight;
    return r;
}

TRect TTaskMessageForm::FooterRect() const
{
    if (component_.Footer().empty()) return kNoRect;
    return TRect{HorzMargin, ClientHeight - FooterHeight - 10, ClientWidth - HorzMargin, ClientHeight};
}

std::string TTaskMessageForm::GetDialogText() const
{
    const std::string divider = std::string(27, '-') + "\r\n";
    std::string buttons;
    for (const auto& owned : owned_)
        if (dynamic_cast<const TButton*>(owned.get()) != nullptr) buttons += owned->Caption + "   ";
    buttons.erase(std::remove(buttons.begin(), buttons.end(), '&'), buttons.end());
    const std::string instruction = instruction_ != nullptr ? instruction_->Caption : std::string();
    return divider + Caption + "\r\n" + divider + instruction + "\r\n" + divider + buttons + "\r\n" + divider;
}

// ---------------------------------------------------------------- painting

void TTaskMessageForm::DrawDialogText(TCanvas& canvas, const std::string& text, const TRect& rect)
{
    if (component_.Options().Contains(doHyperlinks)) {
        TMarkupResult result;
        DrawMarkup(canvas, AsMarkup(text), rect, MarkupPaintProfile(), result);
    } else {
        TRect r = rect;
        canvas.DrawText(AsPlain(text), r, dt::kNoPrefix | dt::kExpandTabs | dt::kWordBreak | dt::kVCenter);
    }
}

void TTaskMessageForm::Paint(TCanvas& canvas)
{
    const TTaskDialogEx& c = component_;
    const TFontState savedFont = canvas.Font();
    const TColor savedBrush = canvas.BrushColor();
    const TColor savedPen = canvas.PenColor();
    const int savedPenWidth = canvas.PenWidth();
    canvas.SetFont(host_.WindowFont());

    canvas.SetBrushColor(formcolor::kWindow);
    canvas.FillRect(TRect{0, 0, ClientWidth, ClientHeight});

    // A band that starts below the client area is no band (see ArrangeControls).
    if (ButtonBandTop > 0 && ButtonBandTop < ClientHeight) {
        const int top = ButtonBandTop - VertGap / 2;
        canvas.SetBrushColor(formcolor::kBand);
        canvas.FillRect(TRect{0, top, ClientWidth, ClientHeight});
        canvas.SetPenColor(formcolor::kBandEdge);
        canvas.SetPenWidth(1);
        canvas.MoveTo(0, top);
        canvas.LineTo(ClientWidth, top);
    }
    if (!host_.ModernSystem()) {
        canvas.SetBrushColor(clNone);
        canvas.SetPenColor(formcolor::kOldFrame);
        canvas.FrameRect(TRect{1, 1, ClientWidth - 1, ClientHeight - 1});
    }

    canvas.SetBrushColor(clNone);
    if (!c.Content().empty()) DrawDialogText(canvas, c.Content(), ContentRect());
    if (expanded_ && !c.ExpandedText().empty()) DrawDialogText(canvas, c.ExpandedText(), ExpandedRect());

    if (!c.ExpandedText().empty() && expandButton_ != nullptr) {
        const TControl& b = *expandButton_;
        TRect r{b.Bounds.Left + b.Width() + IconGap - 5, b.Bounds.Top, ClientWidth, b.Bounds.Top + b.Height()};
        canvas.SetBrushColor(clNone);
        canvas.DrawText(expanded_ ? c.ExpandControlText() : c.CollapsControlText(), r, dt::kSingleLine | dt::kVCenter);
    }

    if (!c.Footer().empty()) {
        TRect r = FooterRect();
        const int y = r.Top - VertGap;
        canvas.SetPenColor(formcolor::kBandEdge);
        canvas.MoveTo(2, y);
        canvas.LineTo(ClientWidth - 3, y);
        canvas.SetPenColor(formcolor::kWindow);
        canvas.MoveTo(2, y + 1);
        canvas.LineTo(ClientWidth - 3, y + 1);
        if (footerImage_ != nullptr) {
            host_.DrawFooterIcon(canvas, FooterIconId, c.FooterIcon() == tfiShield, r.Left, r.Top);
            r.Left += kFooterIconRoom;
        }
        canvas.SetBrushColor(clNone);
        TMarkupResult result;
        DrawMarkup(canvas, AsMarkup(c.Footer()), r, MarkupPaintProfile(), result);
    }

    canvas.SetFont(savedFont);
    canvas.SetBrushColor(savedBrush);
    canvas.SetPenColor(savedPen);
    canvas.SetPenWidth(savedPenWidth);
}

// ---------------------------------------------------------------- mouse and keys

std::string TTaskMessageForm::LinkAt(int x, int y)
{
    const TTaskDialogEx& c = component_;
    std::string text;
    TRect r;
    if (Inside(FooterRect(), x, y)) {
        text = c.Footer();
        r = FooterRect();
        if (footerImage_ != nullptr) r.Left += kFooterIconRoom;
    } else if (Inside(ContentRect(), x, y)) {
        text = c.Content();
        r = ContentRect();
    } else if (Inside(ExpandedRect(), x, y)) {
        text = c.ExpandedText();
        r = ExpandedRect();
    } else {
        return std::string();
    }
    text = ReplaceAll(ReplaceAll(ReplaceAll(text, "\\n", "<br>"), "\\N", "<br>"), "\n", "<br>");

    TCanvas& canvas = host_.MeasureCanvas();
    FontScope font(canvas, host_.WindowFont());
    TMarkupResult result;
    if (DrawMarkup(canvas, text, r, MarkupHitTestProfile(x, y, false), result)) return result.AnchorAtPoint;
    return std::string();
}

void TTaskMessageForm::MouseMove(int x, int y)
{
    const std::string link = LinkAt(x, y);
    if (!link.empty() && (!handCursor_ || link != linkUnderMouse_)) {
        linkUnderMouse_ = link;
        handCursor_ = true;
        host_.SetHandCursor(true);
    } else if (link.empty() && handCursor_) {
        handCursor_ = false;
        host_.SetHandCursor(false);
    }
}

void TTaskMessageForm::MouseDown(int x, int y)
{
    const std::string link = LinkAt(x, y);
    if (!link.empty()) component_.HyperlinkClicked(link);
}

bool TTaskMessageForm::KeyDown(int key, TShiftState shift)
{
    if (shift.Alt && key == vk::kF4) return true;
    if (shift.Ctrl && !shift.Shift && !shift.Alt && key == vk::kC) {
        host_.Beep();
        host_.CopyToClipboard(GetDialogText());  // a busy clipboard just ends the copy
    }
    return false;
}

TControl* TTaskMessageForm::Find(const TControl* control) const
{
    for (TControl* c : controls_)
        if (c == control) return c;
    return nullptr;
}

bool TTaskMessageForm::DialogKey(int key)
{
    if (key == vk::kReturn) {
        TControl* focused = Find(host_.FocusedControl());
        if (focused != nullptr &&
            (dynamic_cast<TButton*>(focused) != nullptr || dynamic_cast<TTaskDialogButton*>(focused) != nullptr)) {
            Click(*focused);
            return true;
        }
    }
    if (key != vk::kReturn && key != vk::kEscape) return false;
    for (TControl* c : controls_) {
        auto* b = dynamic_cast<TButton*>(c);
        if (b == nullptr || !b->Visible || !b->Enabled) continue;
        if (key == vk::kReturn ? b->Default : b->Cancel) {
            Click(*b);
            return true;
        }
    }
    return false;
}

bool TTaskMessageForm::DialogChar(char ch)
{
    const TTaskDialogEx& c = component_;
    if (c.Options().Contains(doCommandLinks)) {
        for (TControl* control : customButtons_) {
            if (dynamic_cast<TTaskDialogButton*>(control) == nullptr) continue;
            if (IsAccelerator(ch, control->Caption) && host_.CanFocus(*control)) {
                Click(*control);
                return true;
            }
        }
    }

    if (expandButton_ != nullptr) {
        const bool toggle = expanded_ ? !c.ExpandControlText().empty() && IsAccelerator(ch, c.ExpandControlText())
                                      : !c.CollapsControlText().empty() && IsAccelerator(ch, c.CollapsControlText());
        if (toggle) {
            ToggleExpanded();
            return true;
        }
    }

    for (TControl* control : controls_) {
        if (!control->Visible || !control->Enabled || !IsAccelerator(ch, control->Caption)) continue;
        switch (control->Kind()) {
        case TControlKind::PushButton:
            Click(*control);
            return true;
        case TControlKind::Radio:
            for (TRadioButton* radio : radioButtons_) radio->Checked = radio == control;
            host_.FocusControl(*control);
            Click(*control);
            NotifyHost();
            return true;
        case TControlKind::CheckBox: {
            auto& box = static_cast<TCheckBox&>(*control);
            box.Checked = !box.Checked;
            Click(box);
            NotifyHost();
            return true;
        }
        default: break;
        }
    }

    if (ch == 27 && c.Options().Contains(doAllowDialogCancel)) {
        Close();
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- events

bool TTaskMessageForm::IsCommon(const TControl& control) const
{
    return std::find(commonButtons_.begin(), commonButtons_.end(), &control) != commonButtons_.end();
}

int TTaskMessageForm::CustomIndex(const TControl& control) const
{
    const auto at = std::find(customButtons_.begin(), customButtons_.end(), &control);
    return at == customButtons_.end() ? -1 : static_cast<int>(at - customButtons_.begin());
}

int TTaskMessageForm::RadioIndex(const TControl& control) const
{
    const auto at = std::find(radioButtons_.begin(), radioButtons_.end(), &control);
    return at == radioButtons_.end() ? -1 : static_cast<int>(at - radioButtons_.begin());
}

void TTaskMessageForm::Click(TControl& control)
{
    TTaskDialogEx& c = component_;
    auto resultOf = [&](TControl& b) {
        if (auto* link = dynamic_cast<TTaskDialogButton*>(&b)) return link->ModalResult;
        return c.GetDialogButtonResult(b);
    };
    if (&control == expandButton_) {
        ToggleExpanded();
    } else if (const int n = CustomIndex(control); n >= 0) {
        if (c.OnDialogButtonClick) c.OnDialogButtonClick(c, 100 + n);
        if (const int result = resultOf(control); result != 0) ModalResult = result;
    } else if (IsCommon(control)) {
        if (const int result = resultOf(control); result != 0) ModalResult = result;
    } else if (const int r = RadioIndex(control); r >= 0) {
        for (TRadioButton* radio : radioButtons_) radio->TabStop = radio->Checked;
        c.SetSelectedRadioButton(200 + r);
        if (c.OnDialogRadioClick) c.OnDialogRadioClick(c, 200 + r);
    } else if (&control == verification_) {
        c.SetVerificationChecked(verification_->Checked);
        if (c.OnDialogVerifyClick) c.OnDialogVerifyClick(c, verification_->Checked);
    }
}

void TTaskMessageForm::Timer()
{
    TTaskDialogEx& c = component_;
    if (c.OnDialogTimer) c.OnDialogTimer(c);
    if (c.OnDialogProgress && progressBar_ != nullptr) {
        int pos = progressBar_->Position;
        TTaskDialogProgressState state = psNormal;
        c.OnDialogProgress(c, pos, state);
        progressBar_->Position = pos;
        if (built_) host_.ApplyLayout();
    }
}

void TTaskMessageForm::Shown()
{
    const int n = component_.DefaultButton() - 100;
    if (n >= 0 && n < static_cast<int>(customButtons_.size())) host_.FocusControl(*customButtons_[n]);
}

void TTaskMessageForm::ToggleExpanded()
{
    if (expandButton_ != nullptr) SetExpanded(!expanded_);
}

void TTaskMessageForm::SetExpanded(bool value)
{
    if (value != expanded_ && expandButton_ != nullptr) {
        const char* base = value ? "TD_COLP" : "TD_EXP";
        expandButton_->Picture = base;
        expandButton_->PictureHot = std::string(base) + "HOT";
        expandButton_->PictureDown = std::string(base) + "DOWN";
    }
    expanded_ = value;
    ArrangeControls();
    NotifyHost();
}

void TTaskMessageForm::NotifyHost()
{
    // While the form is being built there are no windows to update yet.
    if (!built_) return;
    host_.ApplyLayout();
    host_.Repaint();
}

// ---------------------------------------------------------------- closing

void TTaskMessageForm::Close() { ModalResult = 2; }

bool TTaskMessageForm::CloseQuery()
{
    bool canClose = true;
    if (component_.OnDialogClose) component_.OnDialogClose(component_, canClose);
    return canClose;
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
