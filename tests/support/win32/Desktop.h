// Windows of this or another process as a user meets them: found by their
// titles, their controls read, worked with the keyboard, the mouse and the
// clipboard, and pictured.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace dupd::support {

struct ChildWindow {
    HWND window = nullptr;
    std::string cls;
    int id = 0;  // the control id's low word, as a dialog numbers its controls
    std::string text;
    bool visible = false;
    DWORD style = 0;
};

std::string ClassOf(HWND window);
// WM_GETTEXT reaches the text of controls that keep it themselves, and does not
// hang on a window that stopped answering.
std::string TextOf(HWND window);
// Visible top-level windows of the process that carry a title: its dialogs.
std::vector<HWND> TitledWindowsOf(DWORD pid);
HWND FindTitledWindow(const std::string& title, DWORD pid = ::GetCurrentProcessId());
std::vector<ChildWindow> ChildrenOf(HWND window);  // every descendant, in window order

// True once `done` is; false when it still is not after `ms`.
bool Within(DWORD ms, const std::function<bool()>& done);
// True once the window is gone or hidden.
bool WaitGone(HWND window, DWORD ms);
// Presses the button as a click would; when that does not close the dialog, the
// command is sent to the dialog itself. True when the dialog went away.
bool Press(HWND dialog, int controlId);

// Presses the keys in order and lets them go in reverse, as a chord (VK_MENU,
// VK_F4) or a single key (VK_ESCAPE), with SendInput. False when the window could
// not be brought to the front or the input was refused.
bool SendChord(HWND window, const std::vector<WORD>& keys);
// One character with the keys (and Shift) that the keyboard layout gives it.
bool TypeChar(HWND window, char c);
std::string ClipboardText();  // CF_TEXT, "" when there is none
void EmptyTheClipboard();
// Ctrl+C on the window; what it put on the clipboard, "" when nothing came
// within `ms`. The clipboard is emptied first, so that no earlier text passes.
std::string CopyWithCtrlC(HWND window, DWORD ms = 2000);
void PressCloseBox(HWND window);  // what a click on the close box sends
// A left click at the centre of a child window: "input" (SendInput, as the mouse
// does), "messages" (button messages posted to the child, for when the input does
// not arrive), judged by `happened`; "" when neither had an effect within `ms` each.
std::string ClickCentre(HWND child, const std::function<bool()>& happened, DWORD ms = 1500);

// The window as it stands on the screen, brought to the front and painted first.
bool CaptureToPng(HWND window, const std::string& pngPath);

struct DialogSnapshot {
    bool found = false;
    std::string title;
    std::string className;
    std::vector<std::string> childTexts;  // every descendant window's text
    bool pressed = false;                 // the button was there and was pressed
    bool closedAfterPress = false;        // the window went away afterwards

    bool HasChildText(const std::string& text) const;
};

// Watches, on its own thread, for a top-level window of this process with the exact
// title; reads its children's texts and presses the child button with control id
// `buttonId`. If the window stays open, it is asked to close so a test never hangs.
class DialogPresser {
public:
    DialogPresser(std::string title, int buttonId, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    ~DialogPresser();
    DialogPresser(const DialogPresser&) = delete;
    DialogPresser& operator=(const DialogPresser&) = delete;

    // Waits for the watcher to finish and gives what it saw.
    const DialogSnapshot& Result();

private:
    void Run();

    std::string title_;
    int buttonId_;
    std::chrono::milliseconds timeout_;
    DialogSnapshot snapshot_;
    std::thread thread_;
};

}  // namespace dupd::support
