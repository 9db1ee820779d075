// TTaskDialogButton: the owner-drawn button of the emulated dialog, as command
// link (arrow picture, bold heading line, smaller lines below, a rounded border
// while hovered, pressed or focused) and as the small expand/collapse control.
// The state rules and the painting are here, over the canvas; the window layer
// feeds it the mouse, keyboard and focus, and draws its pictures.
#pragma once

#include <string>

#include "markup/Canvas.h"
#include "taskdialog/DialogControls.h"

namespace dupd {

// Pictures by resource name ("TD_ARW", ...); the window layer draws them
// transparent (magenta) on the surface being painted.
class IButtonPictures {
public:
    virtual ~IButtonPictures() = default;
    virtual int Width(const std::string& name) = 0;  // 0 for an empty name or a missing picture
    virtual int Height(const std::string& name) = 0;
    virtual void Draw(TCanvas& canvas, const std::string& name, int x, int y) = 0;
};

class TTaskDialogButton : public TControl {
public:
    TTaskDialogButton() { SetBounds(0, 0, 22, 23); }
    TControlKind Kind() const override { return TControlKind::CommandLink; }

    TColor BorderColor = clNone;  // stored only
    TColor BorderColorHot = clNone;
    TColor BorderColorDown = clNone;
    TFontState HeadingFont;
    int ModalResult = 0;
    std::string Picture;  // resource names; "" = empty
    std::string PictureHot;
    std::string PictureDown;
    std::string PictureDisabled;

    bool Hot = false;
    bool Down = false;
    bool FocusOnHover = false;

    // The border for the current state; clNone for none.
    TColor CurrentBorder(bool focused) const;
    // The picture for the current state; "" for none.
    const std::string& CurrentPicture() const;
    // Paints the caption, picture and border into the client rectangle (0, 0,
    // width, height); the background is already painted.
    void Paint(TCanvas& canvas, bool focused, IButtonPictures& pictures) const;
};

}  // namespace dupd
