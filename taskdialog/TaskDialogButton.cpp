#include "taskdialog/TaskDialogButton.h"

#include <vector>

#include "markup/MarkupHelpers.h"

namespace dupd {

TColor TTaskDialogButton::CurrentBorder(bool focused) const
{
    TColor border = clNone;
    if (Down)
        border = BorderColorDown;
    else if (Hot)
        border = BorderColorHot;
    if (!Enabled) border = clNone;
    // The focus shows even where the mouse is not.
    if (focused) border = BorderColorDown;
    return border;
}

const std::string& TTaskDialogButton::CurrentPicture() const
{
    const std::string* picture = &Picture;
    if (Down && !PictureDown.empty())
        picture = &PictureDown;
    else if (Hot && !PictureHot.empty())
        picture = &PictureHot;
    if (!Enabled && !PictureDisabled.empty()) picture = &PictureDisabled;
    return *picture;
}

void TTaskDialogButton::Paint(TCanvas& canvas, bool focused, IButtonPictures& pictures) const
{
    const TFontState savedFont = canvas.Font();
    const TColor savedBrush = canvas.BrushColor();
    const TColor savedPen = canvas.PenColor();

    TRect r{0, 0, Width(), Height()};
    const std::string& picture = CurrentPicture();
    const int pictureWidth = picture.empty() ? 0 : pictures.Width(picture);
    if (pictureWidth == 0) {
        r.Left += 2;
    } else {
        const int x = Caption.empty() ? (Width() - pictureWidth) / 2 : 4;
        const int y = (Height() - pictures.Height(picture)) / 2;
        pictures.Draw(canvas, picture, x, y);
        r.Left = x + pictureWidth + 3;
    }

    if (!Caption.empty()) {
        canvas.SetBrushColor(clNone);
        if (Caption.find("\\n") == std::string::npos && Caption.find('\r') == std::string::npos) {
            canvas.SetFont(HeadingFont);
            canvas.DrawText(Caption, r, dt::kSingleLine | dt::kVCenter);
        } else {
            std::vector<std::string> lines;
            SplitLines(Caption, lines);
            int w = 0, h = 0;
            MeasureLines(canvas, Caption, HeadingFont, Font, 0, w, h, true);
            int top = (Height() - h) / 2 + 2;
            if (!lines.empty() && !lines[0].empty()) {
                canvas.SetFont(HeadingFont);
                TRect line{r.Left, top, r.Right, r.Bottom};
                canvas.DrawText(lines[0], line, dt::kSingleLine);
                top += canvas.TextHeight("gh") + 4;
            }
            canvas.SetFont(Font);
            for (std::size_t i = 1; i < lines.size(); ++i) {
                TRect line{r.Left, top, r.Right, r.Bottom};
                canvas.DrawText(lines[i], line, dt::kSingleLine);
                top += canvas.TextHeight("gh") + 2;
            }
        }
    }

    const TColor border = CurrentBorder(focused);
    if (border != clNone) {
        canvas.SetPenColor(border);
        canvas.SetBrushColor(clNone);
        canvas.RoundRect(TRect{0, 0, Width(), Height()}, 2, 2);
    }

    canvas.SetFont(savedFont);
    canvas.SetBrushColor(savedBrush);
    canvas.SetPenColor(savedPen);
}

}  // namespace dupd
