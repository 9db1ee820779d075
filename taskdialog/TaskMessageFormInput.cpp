// The mouse, the keys and the events of the emulated dialog, and closing it.
#include "taskdialog/TaskMessageForm.h"

#include <algorithm>
#include <cctype>

#include "markup/DrawMarkup.h"
#include "markup/MarkupHelpers.h"
#include "taskdialog/TaskMessageFormHelpers.h"

namespace dupd {

using namespace taskform;

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

}  // namespace dupd
