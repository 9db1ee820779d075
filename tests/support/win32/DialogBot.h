// Plays the user in front of a running program: finds its dialogs by their window
// titles, reads their texts, presses buttons, types keys, clicks, copies the text
// of the emulated task dialog, and can take a picture of each one. The end-to-end
// tests and the demo's Windows tool share it.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/win32/Desktop.h"

namespace dupd::support {

// The window class of the task-dialog component's own (emulated) dialog, its
// owner-drawn command links and expand control, and the identifier of its
// instruction label.
inline const std::string kEmulatedClass = "TTaskMessageForm";
inline const std::string kOwnerDrawnButtonClass = "TTaskDialogButton";
inline constexpr int kInstructionId = 303;

struct PushButton {
    int id = 0;
    std::string caption;
    bool isDefault = false;  // BS_DEFPUSHBUTTON: Enter presses it
    bool tabStop = false;
};

// What the user does with a dialog. An Answerer that returns a control id presses
// that button (0 leaves the dialog open), as it always did.
struct Answer {
    enum class Action {
        Press,           // the button `button` (BM_CLICK), 0 = none
        Click,           // the mouse on the centre of the child `button`
        Escape,          // the Escape key
        CloseBox,        // the close box of the title bar
        AltF4ThenPress,  // Alt+F4, 500 ms to see that it stays open, then Press
    };
    // Not explicit: an Answerer's control id is the press of that button.
    Answer(int buttonId = 0) : button(buttonId) {}
    static Answer Do(Action a, int buttonId = 0)
    {
        Answer r(buttonId);
        r.action = a;
        return r;
    }
    Answer& CopyingFirst()
    {
        copyFirst = true;
        return *this;
    }

    Action action = Action::Press;
    int button = 0;
    bool copyFirst = false;  // Ctrl+C first, and the clipboard read into SeenDialog::copied
};

struct SeenDialog {
    std::string title;
    std::string cls;
    std::vector<ChildWindow> children;
    int pressed = 0;  // control id of the button pressed, 0 when none
    Answer answer;
    std::string copied;            // the clipboard's text after Ctrl+C, when the answer asked for it
    bool openAfterAltF4 = false;   // still shown 500 ms after Alt+F4
    std::string clickedBy;         // "input", "messages" or "" for the Click answer

    bool Emulated() const { return cls == kEmulatedClass; }

    // The message box's text (static control 0xFFFF), "" when there is none.
    std::string MessageText() const
    {
        for (const auto& c : children)
            if ((c.id & 0xFFFF) == 0xFFFF && c.cls == "Static") return c.text;
        return {};
    }
    // Every non-empty text that is not a button caption, in window order.
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> out;
        for (const auto& c : children)
            if (c.cls != "Button" && !c.text.empty()) out.push_back(c.text);
        return out;
    }
    bool HasText(const std::string& text) const
    {
        const auto t = Texts();
        return std::find(t.begin(), t.end(), text) != t.end();
    }
    std::vector<int> ButtonIds() const
    {
        std::vector<int> out;
        for (const auto& c : children)
            if (c.cls == "Button" && c.visible) out.push_back(c.id);
        return out;
    }
    // The visible push buttons (not radio buttons, check boxes or command links),
    // in window order, which is their creation order.
    std::vector<PushButton> PushButtons() const
    {
        std::vector<PushButton> out;
        for (const auto& c : children) {
            const DWORD type = c.style & BS_TYPEMASK;
            if (c.cls == "Button" && c.visible && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON))
                out.push_back({c.id, c.text, type == BS_DEFPUSHBUTTON, (c.style & WS_TABSTOP) != 0});
        }
        return out;
    }
    std::vector<std::string> PushButtonCaptions() const
    {
        std::vector<std::string> out;
        for (const auto& b : PushButtons()) out.push_back(b.caption);
        return out;
    }
    // The emulated dialog's instruction label; "" when it has none.
    std::string Instruction() const
    {
        for (const auto& c : children)
            if (c.cls == "Static" && c.id == kInstructionId) return c.text;
        return {};
    }
    // Captions of the command links and the expand control (whose caption is empty).
    std::vector<std::string> OwnerDrawnCaptions() const
    {
        std::vector<std::string> out;
        for (const auto& c : children)
            if (c.cls == kOwnerDrawnButtonClass) out.push_back(c.text);
        return out;
    }
};

// What the user does on a dialog; see Answer.
using Answerer = std::function<Answer(const SeenDialog&)>;
// The user of the updater: `confirmAnswer` (IDYES or IDNO) to the same-version
// question, OK or the only button everywhere else. The text of the emulated
// dialog is painted, so its reader copies it with Ctrl+C first.
Answerer UserAnswers(int confirmAnswer);

// Called with each dialog before it is answered, while it is still on screen.
using DialogObserver = std::function<void(const SeenDialog&, HWND)>;

struct RunOutcome {
    bool started = false;
    bool ended = false;  // false: it hung and was terminated
    DWORD exitCode = 0;
    std::vector<SeenDialog> dialogs;
    std::string problem;  // why the run is not trustworthy, "" when it is
};

SeenDialog Read(HWND dialog);

// Starts the program, answers every dialog it shows until it ends, and gives up
// (terminating it) after `timeoutMs`: a program that does not end has failed.
RunOutcome RunAnswering(const std::string& exePath, const Answerer& answer, DWORD timeoutMs,
                        const DialogObserver& observe = {});

}  // namespace dupd::support
