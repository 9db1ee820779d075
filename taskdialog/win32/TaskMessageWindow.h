// The emulated task dialog's window: the "TTaskMessageForm" window with one child
// window per control record of the portable form, its modal loop, and the system
// services the form asks of its host. It decides nothing about the dialog: every
// real event goes to the form, and after each change the form's records are
// copied back onto the windows.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "markup/win32/GdiCanvas.h"
#include "taskdialog/TaskMessageForm.h"
#include "taskdialog/win32/FormWindow.h"
#include "winenv/win32/Handle.h"

namespace dupd {

class TaskMessageWindow;

// The program's own bitmap resources by name, loaded once per window and drawn
// with magenta as the transparent colour.
class ResourcePictures final : public IButtonPictures {
public:
    explicit ResourcePictures(TaskMessageWindow& owner) : owner_(owner) {}

    int Width(const std::string& name) override;
    int Height(const std::string& name) override;
    void Draw(TCanvas& canvas, const std::string& name, int x, int y) override;

    // Draws `name` into (x, y, width, height) of `dc`, stretched; false when the
    // resource is missing.
    bool DrawInto(HDC dc, const std::string& name, int x, int y, int width, int height);

private:
    struct Picture {
        std::string name;
        UniqueBitmap bitmap;  // empty when the resource is missing
        int width = 0;
        int height = 0;
    };
    const Picture* Find(const std::string& name);

    TaskMessageWindow& owner_;
    std::vector<Picture> pictures_;
};

class DialogButtonWindow;

class TaskMessageWindow final : public ITaskFormHost, private FormWindow {
public:
    // Creates the window hidden, owned by `owner` (may be null); `onFirstPaint`
    // (may be empty) is called after the first completed paint of the shown dialog.
    TaskMessageWindow(TTaskDialogEx& dialog, HWND owner, std::function<void(HWND)> onFirstPaint);
    ~TaskMessageWindow() override;

    HWND Window() const { return FormWindow::Window(); }

    // ---- ITaskFormHost
    TCanvas& MeasureCanvas() override;
    TFontState WindowFont() override;
    int ScreenWidth() override;
    int ScreenHeight() override;
    int EdgeHeight() override;
    bool ModernSystem() override;
    bool RightToLeft() override { return false; }
    void ApplyLayout() override;
    void Repaint() override;
    void StartTimer(int intervalMs) override;
    void SetHandCursor(bool hand) override;
    void Beep() override;
    std::string CopyToClipboard(const std::string& text) override;
    void ShowError(const std::string& message) override;
    bool CanFocus(const TControl& control) override;
    void FocusControl(TControl& control) override;
    const TControl* FocusedControl() override;
    void FocusForm() override;
    bool FormFocused() override;
    bool ProgressRange32() override;
    int ProgressPosition(const TProgressBar& bar) override;
    void DrawFooterIcon(TCanvas& canvas, int iconId, bool shield, int x, int y) override;
    IButtonPictures& Pictures() override { return pictures_; }
    int ShowModal(TTaskMessageForm& form) override;

    // ---- for the owner-drawn buttons
    // The DC behind a canvas this window made (the one being painted, or the
    // measuring one); null for any other canvas.
    HDC DcOf(const TCanvas& canvas) const;
    // Marks `canvas` over `dc` as the surface being painted until the guard goes.
    class PaintingOn {
    public:
        PaintingOn(TaskMessageWindow& window, GdiCanvas& canvas);
        ~PaintingOn();
        PaintingOn(const PaintingOn&) = delete;
        PaintingOn& operator=(const PaintingOn&) = delete;

    private:
        TaskMessageWindow& window_;
        GdiCanvas* previous_;
    };
    void ControlClicked(TControl& record);
    void HandlerFailed(std::exception_ptr error) noexcept;

private:
    struct Child {
        TControl* record = nullptr;
        HWND window = nullptr;  // destroyed with the form window
        std::unique_ptr<DialogButtonWindow> button;  // command links and the expand control
        TFontState font;
        bool fontSet = false;
        bool rangeSet = false;
        int rangeMin = 0;
        int rangeMax = 0;
        int step = 0;
    };

    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Failed(std::exception_ptr error) noexcept override { HandlerFailed(error); }

    void Paint();
    void PaintOn(HDC dc, const RECT& area);
    void Command(WPARAM wParam, LPARAM lParam);
    LRESULT ControlColor(HDC dc, HWND control);
    bool Activate(WPARAM wParam);

    Child& CreateChild(TControl& record);
    void SetPicture(Child& child, const TImage& image);
    void Update(Child& child);
    Child* ChildOf(HWND window);
    Child* ChildOf(const TControl& record);
    Child* ChildById(int id);

    void Centre();
    void FocusFirstTabStop();
    int RunLoop(TTaskMessageForm& form);
    bool Preview(TTaskMessageForm& form, const MSG& message);
    void MoveFocus(bool forward);
    void EndModal() noexcept;

    TFontState FontOf(const TControl& record);
    HFONT FontFor(const TFontState& font);
    HBRUSH BrushFor(TColor color);

    TTaskDialogEx& dialog_;
    HWND owner_;
    std::function<void(HWND)> onFirstPaint_;
    TTaskMessageForm* form_ = nullptr;  // while ShowModal runs

    // Declared before the window so that they outlive it.
    std::vector<std::pair<TFontState, UniqueFont>> fonts_;
    std::vector<std::pair<TColor, UniqueBrush>> brushes_;
    std::vector<UniqueBitmap> images_;  // the main image's bitmaps
    ResourcePictures pictures_{*this};
    UniqueMemoryDc measureDc_;
    std::unique_ptr<GdiCanvas> measureCanvas_;
    bool haveWindowFont_ = false;
    TFontState windowFont_;
    // The system's message font as it describes it; fonts of the window font's
    // face keep its character set and quality.
    bool haveMessageFont_ = false;
    LOGFONTA messageFont_{};

    std::vector<Child> children_;
    UniqueWindow window_;

    GdiCanvas* painting_ = nullptr;
    HCURSOR cursor_ = nullptr;
    HWND lastFocus_ = nullptr;
    int timerInterval_ = 0;
    bool timerRunning_ = false;
    bool ownerDisabled_ = false;
    bool firstPaintDone_ = false;
    std::exception_ptr failure_;
};

}  // namespace dupd
