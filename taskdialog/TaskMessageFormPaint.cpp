// Painting the emulated dialog: the window, the band, the frame, the texts and
// the footer.
#include "taskdialog/TaskMessageForm.h"

#include <algorithm>
#include <cctype>

#include "markup/DrawMarkup.h"
#include "markup/MarkupHelpers.h"
#include "taskdialog/TaskMessageFormHelpers.h"

namespace dupd {

using namespace taskform;

// ---------------------------------------------------------------- painting

void TTaskMessageForm::DrawDialogText(TCanvas& canvas, const std::string& text, const TRect& rect, int focusAnchor)
{
    if (component_.Options().Contains(doHyperlinks)) {
        TMarkupRequest request = MarkupPaintProfile();
        request.FocusAnchor = focusAnchor;
        TMarkupResult result;
        DrawMarkup(canvas, AsMarkup(text), rect, request, result);
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
    if (!c.Content().empty()) DrawDialogText(canvas, c.Content(), ContentRect(), FocusAnchorOf(LinkArea::Content));
    if (expanded_ && !c.ExpandedText().empty())
        DrawDialogText(canvas, c.ExpandedText(), ExpandedRect(), FocusAnchorOf(LinkArea::Expanded));

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
        TMarkupRequest request = MarkupPaintProfile();
        request.FocusAnchor = FocusAnchorOf(LinkArea::Footer);
        TMarkupResult result;
        DrawMarkup(canvas, AsMarkup(c.Footer()), r, request, result);
    }

    canvas.SetFont(savedFont);
    canvas.SetBrushColor(savedBrush);
    canvas.SetPenColor(savedPen);
    canvas.SetPenWidth(savedPenWidth);
}

}  // namespace dupd
