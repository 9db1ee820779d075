// The size units, measuring, and where everything goes: arranging, texts
// changed while open, the three text rectangles.
#include "taskdialog/TaskMessageForm.h"

#include <algorithm>
#include <cctype>

#include "markup/DrawMarkup.h"
#include "markup/MarkupHelpers.h"
#include "taskdialog/TaskMessageFormHelpers.h"

namespace dupd {

using namespace taskform;

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

}  // namespace dupd
