// The controls of the emulated task dialog as plain records: what each one is,
// where it stands and what it shows. The portable form (TaskMessageForm) decides
// every value; the window layer (taskdialog/win32/) makes one child window per
// record and copies the values onto it, and reports clicks back to the form.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "markup/Canvas.h"

namespace dupd {

enum class TControlKind { PushButton, CommandLink, Radio, CheckBox, ProgressBar, Label, Image };

class TControl {
public:
    virtual ~TControl() = default;
    virtual TControlKind Kind() const = 0;

    std::string Name;
    std::string Caption;
    TRect Bounds;  // in the form's client area
    bool Visible = true;
    bool Enabled = true;
    bool TabStop = true;
    TFontState Font;
    TColor Color = 0x00FFFFFF;  // background
    // Child-window identifier the window layer gives the control: push buttons and
    // command links carry their result, so that a driver finds "Yes" as IDYES.
    int Id = 0;

    int Width() const { return Bounds.Width(); }
    int Height() const { return Bounds.Height(); }
    void SetBounds(int left, int top, int width, int height) { Bounds = {left, top, left + width, top + height}; }
    void SetLeft(int left) { SetBounds(left, Bounds.Top, Width(), Height()); }
    void SetTop(int top) { SetBounds(Bounds.Left, top, Width(), Height()); }
    void SetWidth(int width) { Bounds.Right = Bounds.Left + width; }
    void SetHeight(int height) { Bounds.Bottom = Bounds.Top + height; }
};

// The framework's standard push button ("BUTTON" window).
class TButton : public TControl {
public:
    TControlKind Kind() const override { return TControlKind::PushButton; }
    bool Default = false;  // Enter presses it
    bool Cancel = false;   // Escape presses it
    int ModalResult = 0;   // closes the dialog with this result when clicked
};

class TRadioButton : public TControl {
public:
    TControlKind Kind() const override { return TControlKind::Radio; }
    bool Checked = false;
};

class TCheckBox : public TControl {
public:
    TControlKind Kind() const override { return TControlKind::CheckBox; }
    bool Checked = false;
};

// What the progress bar refuses: a range whose Max lies below its Min, or, on a bar
// without the 32-bit range, a value outside 0 to 65535.
class ERangeError : public std::out_of_range {
public:
    ERangeError() : std::out_of_range("TProgressBar property out of range") {}
};

class TProgressBar : public TControl {
public:
    TControlKind Kind() const override { return TControlKind::ProgressBar; }
    static constexpr int kDefaultWidth = 150;
    static constexpr int kLimit16 = 65535;
    int Min = 0;
    int Max = 100;
    int Position = 0;
    int Step = 10;
    bool Range32 = true;  // the common controls take 32-bit values

    // Throw ERangeError where the bar would refuse the values, so that no dialog
    // shows a bar that cannot show them.
    void SetRange(int min, int max)
    {
        if (max < min || !Fits(min) || !Fits(max)) throw ERangeError();
        Min = min;
        Max = max;
    }
    void SetPosition(int position)
    {
        if (!Fits(position)) throw ERangeError();
        Position = position;
    }

private:
    bool Fits(int value) const { return Range32 || (value >= 0 && value <= kLimit16); }
};

class TLabel : public TControl {
public:
    TControlKind Kind() const override { return TControlKind::Label; }
    bool WordWrap = true;
    bool RightToLeft = false;
};

// The main icon: a stock icon, a picture resource, the component's own icon, or a
// white square.
class TImage : public TControl {
public:
    TControlKind Kind() const override { return TControlKind::Image; }
    enum class Source { White, StockIcon, Bitmap, IconHandle };
    Source Picture = Source::White;
    int StockIconId = 0;             // IDI_* value
    std::string BitmapName;          // a bitmap resource of the program
    std::uintptr_t IconHandle = 0;   // the component's CustomIcon
};

}  // namespace dupd
