// The mouse, the keys and the events of the emulated dialog, and closing it.
#include "taskdialog/TaskMessageForm.h"

#include <algorithm>
#include <cctype>

#include "markup/DrawMarkup.h"
#include "markup/MarkupHelpers.h"
#include "taskdialog/TaskMessageFormHelpers.h"

namespace dupd {

using namespace taskform;

namespace {

// Lays markup out as painting does, without drawing anything: the engine tells
// which link it would draw with a focus rectangle, and that link's target.
class LayoutOnlyCanvas final : public TCanvas {
public:
    explicit LayoutOnlyCanvas(TCanvas& measure) : measure_(measure) {}

    TFontState Font() const override { return measure_.Font(); }
    void SetFont(const TFontState& font) override { measure_.SetFont(font); }
    TColor BrushColor() const override { return brush_; }
    void SetBrushColor(TColor color) override { brush_ = color; }
    TColor PenColor() const override { return pen_; }
    void SetPenColor(TColor color) override { pen_ = color; }
    int PenWidth() const override { return penWidth_; }
    void SetPenWidth(int width) override { penWidth_ = width; }
    void SetBackgroundTransparent() override {}
    int DrawText(const std::string& text, TRect& rect, unsigned flags) override
    {
        if (flags & dt::kCalcRect) return measure_.DrawText(text, rect, flags);
        TRect r = rect;
        return measure_.DrawText(text, r, flags | dt::kCalcRect);
    }
    int TextHeight(const std::string& text) override { return measure_.TextHeight(text); }
    int TextWidth(const std::string& text) override { return measure_.TextWidth(text); }
    void MoveTo(int, int) override {}
    void LineTo(int, int) override {}
    void FillRect(const TRect&) override {}
    void FrameRect(const TRect&) override {}
    void RoundRect(const TRect&, int, int) override {}
    void DrawFocusRect(const TRect&) override {}
    int SystemIconIndex(const std::string& path, bool large) override { return measure_.SystemIconIndex(path, large); }
    int SystemIconSize(bool large) override { return measure_.SystemIconSize(large); }
    void DrawSystemIcon(int, bool, int, int) override {}
    void DrawSystemIconScaled(int, bool, const TRect&) override {}
    void SetClipRect(const TRect&) override {}
    void ClearClip() override {}
    TRect ClipBounds() const override { return measure_.ClipBounds(); }
    int PixelsPerInchX() const override { return measure_.PixelsPerInchX(); }
    int PixelsPerInchY() const override { return measure_.PixelsPerInchY(); }
    TColor ToRGB(TColor color) const override { return measure_.ToRGB(color); }

private:
    TCanvas& measure_;
    TColor brush_ = clNone;
    TColor pen_ = clBlack;
    int penWidth_ = 1;
};

}  // namespace

// ---------------------------------------------------------------- links and the keyboard

bool TTaskMessageForm::LinkText(LinkArea area, std::string& markup, TRect& rect) const
{
    const TTaskDialogEx& c = component_;
    // Without the option content and expanded text are painted as plain text,
    // where no link can show that it has the focus.
    const bool hyperlinks = c.Options().Contains(doHyperlinks);
    switch (area) {
    case LinkArea::Content:
        if (!hyperlinks || c.Content().empty()) return false;
        markup = AsMarkup(c.Content());
        rect = ContentRect();
        return true;
    case LinkArea::Expanded:
        if (!hyperlinks || !expanded_ || c.ExpandedText().empty()) return false;
        markup = AsMarkup(c.ExpandedText());
        rect = ExpandedRect();
        return true;
    case LinkArea::Footer:
        if (c.Footer().empty()) return false;
        markup = AsMarkup(c.Footer());
        rect = FooterRect();
        if (footerImage_ != nullptr) rect.Left += kFooterIconRoom;
        return true;
    }
    return false;
}

std::vector<std::pair<TTaskMessageForm::LinkStop, std::string>> TTaskMessageForm::LinksOf(LinkArea area)
{
    std::vector<std::pair<LinkStop, std::string>> links;
    std::string markup;
    TRect rect;
    if (!LinkText(area, markup, rect)) return links;
    TCanvas& measure = host_.MeasureCanvas();
    FontScope font(measure, host_.WindowFont());
    LayoutOnlyCanvas canvas(measure);
    TMarkupResult all;
    DrawMarkup(canvas, markup, rect, MarkupPaintProfile(), all);
    for (int anchor = 0; anchor < all.AnchorCount; ++anchor) {
        TMarkupRequest request = MarkupPaintProfile();
        request.FocusAnchor = anchor;
        TMarkupResult one;
        DrawMarkup(canvas, markup, rect, request, one);
        // An anchor without a target, or one that shows no text, is no stop.
        if (!one.FocusAnchorHref.empty()) links.push_back({LinkStop{area, anchor}, one.FocusAnchorHref});
    }
    return links;
}

bool TTaskMessageForm::IsTabStop(const TControl& control)
{
    return control.TabStop && control.Visible && control.Enabled && host_.CanFocus(control);
}

// The native dialog's order: the links of the texts above the controls, the
// controls, the links of the footer. Every control is listed, so that the focus
// is found also on one that is no tab stop (a radio button reached by an arrow).
std::vector<TTaskMessageForm::TabStop> TTaskMessageForm::TabOrder()
{
    std::vector<TabStop> order;
    auto addLinks = [&](LinkArea area) {
        for (const auto& link : LinksOf(area)) order.push_back(TabStop{nullptr, link.first});
    };
    addLinks(LinkArea::Content);
    addLinks(LinkArea::Expanded);
    for (TControl* control : controls_) order.push_back(TabStop{control, {}});
    addLinks(LinkArea::Footer);
    return order;
}

bool TTaskMessageForm::LinkWithFocus(std::string& href)
{
    if (!hasLinkFocus_ || !host_.FormFocused()) return false;
    for (const auto& link : LinksOf(linkFocus_.area)) {
        if (link.first.anchor == linkFocus_.anchor) {
            href = link.second;
            return true;
        }
    }
    return false;
}

std::string TTaskMessageForm::FocusedLink()
{
    std::string href;
    return LinkWithFocus(href) ? href : std::string();
}

int TTaskMessageForm::FocusAnchorOf(LinkArea area)
{
    return hasLinkFocus_ && linkFocus_.area == area && host_.FormFocused() ? linkFocus_.anchor : -1;
}

bool TTaskMessageForm::TabKey(bool forward)
{
    const std::vector<TabStop> order = TabOrder();
    std::string href;
    const bool onLink = LinkWithFocus(href);
    const TControl* focused = host_.FocusedControl();
    const int n = static_cast<int>(order.size());
    int at = -1;
    for (int i = 0; i < n; ++i) {
        const TabStop& s = order[static_cast<std::size_t>(i)];
        if (s.control != nullptr ? s.control == focused && focused != nullptr
                                 : onLink && s.link.area == linkFocus_.area && s.link.anchor == linkFocus_.anchor)
            at = i;
    }
    for (int step = 1; step <= n; ++step) {
        const int i = at < 0 ? (forward ? step - 1 : n - step) : ((at + (forward ? step : -step)) % n + n) % n;
        if (i == at) break;
        const TabStop& s = order[static_cast<std::size_t>(i)];
        if (s.control == nullptr) {
            linkFocus_ = s.link;
            hasLinkFocus_ = true;
            host_.FocusForm();
            host_.Repaint();
            return true;
        }
        if (IsTabStop(*s.control)) {
            const bool hadLink = hasLinkFocus_;
            hasLinkFocus_ = false;
            host_.FocusControl(*s.control);
            if (hadLink) host_.Repaint();
            return true;
        }
    }
    return false;
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
        // As the framework shows an error raised in a key handler; the dialog
        // stays open.
        const std::string error = host_.CopyToClipboard(GetDialogText());
        if (!error.empty()) host_.ShowError(error);
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
    if (key == vk::kReturn || key == vk::kSpace) {
        std::string href;
        if (LinkWithFocus(href)) {
            component_.HyperlinkClicked(href);
            return true;
        }
    }
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
        // The result first, as a button click sets it: a handler may take it back.
        if (const int result = resultOf(control); result != 0) ModalResult = result;
        if (c.OnDialogButtonClick) c.OnDialogButtonClick(c, 100 + n);
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
        // What the bar shows, which it has kept within its range.
        if (built_) progressBar_->Position = host_.ProgressPosition(*progressBar_);
        int pos = progressBar_->Position;
        TTaskDialogProgressState state = psNormal;
        c.OnDialogProgress(c, pos, state);
        progressBar_->SetPosition(pos);
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

}  // namespace dupd
