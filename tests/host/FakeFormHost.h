// The emulated dialog's window as the form sees it, for the host: fixed screen and
// fonts on the test canvas, and every call the form makes recorded.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "TestCanvas.h"
#include "taskdialog/TaskMessageForm.h"

namespace dupd::fake {

class FakePictures : public IButtonPictures {
public:
    std::map<std::string, std::pair<int, int>> sizes{
        {"TD_ARW", {16, 16}}, {"TD_ARWHOT", {16, 16}}, {"TD_COLP", {19, 19}}, {"TD_EXP", {19, 19}}};
    std::vector<std::string> drawn;  // "name at x,y"
    int Width(const std::string& name) override { return sizes.count(name) ? sizes[name].first : 0; }
    int Height(const std::string& name) override { return sizes.count(name) ? sizes[name].second : 0; }
    void Draw(TCanvas&, const std::string& name, int x, int y) override
    {
        drawn.push_back(name + " at " + std::to_string(x) + "," + std::to_string(y));
    }
};

class FakeFormHost : public ITaskFormHost {
public:
    TestCanvas canvas;
    FakePictures pictures;
    bool modern = true;
    bool rtl = false;
    std::string clipboardError;  // "" copies
    bool range32 = true;
    bool formFocused = false;
    int applied = 0, repainted = 0, beeps = 0;
    std::vector<std::string> errors;
    std::vector<int> timers;
    std::vector<bool> cursors;
    std::vector<std::string> clipboard;
    std::vector<const TControl*> focusCalls;
    const TControl* focused = nullptr;
    std::vector<std::string> footerIcons;
    std::function<int(TTaskMessageForm&)> modal;

    TCanvas& MeasureCanvas() override { return canvas; }
    TFontState WindowFont() override { return TFontState{}; }
    int ScreenWidth() override { return 1024; }
    int ScreenHeight() override { return 768; }
    int EdgeHeight() override { return 2; }
    bool ModernSystem() override { return modern; }
    bool RightToLeft() override { return rtl; }
    void ApplyLayout() override { ++applied; }
    void Repaint() override { ++repainted; }
    void StartTimer(int ms) override { timers.push_back(ms); }
    void SetHandCursor(bool hand) override { cursors.push_back(hand); }
    void Beep() override { ++beeps; }
    std::string CopyToClipboard(const std::string& text) override
    {
        if (clipboardError.empty()) clipboard.push_back(text);
        return clipboardError;
    }
    void ShowError(const std::string& message) override { errors.push_back(message); }
    bool CanFocus(const TControl& c) override { return c.Visible && c.Enabled; }
    void FocusControl(TControl& c) override
    {
        focused = &c;
        formFocused = false;
        focusCalls.push_back(&c);
    }
    const TControl* FocusedControl() override { return focused; }
    void FocusForm() override
    {
        focused = nullptr;
        formFocused = true;
    }
    bool FormFocused() override { return formFocused; }
    bool ProgressRange32() override { return range32; }
    // The platform's bar keeps its position within its range.
    int ProgressPosition(const TProgressBar& bar) override { return std::clamp(bar.Position, bar.Min, bar.Max); }
    void DrawFooterIcon(TCanvas&, int id, bool shield, int x, int y) override
    {
        footerIcons.push_back(std::to_string(id) + (shield ? " shield" : "") + " at " + std::to_string(x) + "," +
                              std::to_string(y));
    }
    IButtonPictures& Pictures() override { return pictures; }
    int ShowModal(TTaskMessageForm& form) override { return modal ? modal(form) : 0; }
};

}  // namespace dupd::fake
