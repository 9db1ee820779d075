// Plays the user in front of a running program: finds its dialogs by their window
// titles, reads their texts, presses buttons, types keys, clicks, copies the text
// of the emulated task dialog, and can take a picture of each one. Header-only so
// that the end-to-end tests and the demo's Windows tool share it.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "winenv/win32/Imaging.h"

namespace e2e {

// The window class of the task-dialog component's own (emulated) dialog, its
// owner-drawn command links and expand control, and the identifier of its
// instruction label.
inline const std::string kEmulatedClass = "TTaskMessageForm";
inline const std::string kOwnerDrawnButtonClass = "TTaskDialogButton";
inline constexpr int kInstructionId = 303;

struct ChildWindow {
    HWND hwnd = nullptr;
    std::string cls;
    int id = 0;
    std::string text;
    bool visible = false;
    DWORD style = 0;
};

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
inline Answerer UserAnswers(int confirmAnswer)
{
    return [confirmAnswer](const SeenDialog& d) {
        Answer a = [&] {
            if (d.title.find("- Confirm") != std::string::npos) return confirmAnswer;
            const auto ids = d.ButtonIds();
            if (ids.empty() || std::find(ids.begin(), ids.end(), IDOK) != ids.end()) return IDOK;
            return ids.front();
        }();
        if (d.Emulated()) a.CopyingFirst();
        return a;
    };
}

// Called with each dialog before it is answered, while it is still on screen.
using DialogObserver = std::function<void(const SeenDialog&, HWND)>;

struct RunOutcome {
    bool started = false;
    bool ended = false;  // false: it hung and was terminated
    DWORD exitCode = 0;
    std::vector<SeenDialog> dialogs;
    std::string problem;  // why the run is not trustworthy, "" when it is
};

namespace detail {

inline std::string ClassOf(HWND w)
{
    char buf[256] = {};
    GetClassNameA(w, buf, sizeof buf);
    return buf;
}

// WM_GETTEXT reaches the control's own text even for controls that keep it
// themselves; the window manager's copy is the fallback.
inline std::string TextOf(HWND w)
{
    DWORD_PTR len = 0;
    if (SendMessageTimeoutA(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &len) != 0) {
        std::string buf(static_cast<std::size_t>(len) + 1, '\0');
        DWORD_PTR got = 0;
        if (SendMessageTimeoutA(w, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(&buf[0]), SMTO_ABORTIFHUNG,
                                2000, &got) != 0) {
            buf.resize(std::min<std::size_t>(got, buf.size() - 1));
            return buf;
        }
    }
    char buf[4096] = {};
    GetWindowTextA(w, buf, sizeof buf);
    return buf;
}

struct WindowsOfProcess {
    DWORD pid;
    std::vector<HWND> found;
};

inline BOOL CALLBACK CollectTitledWindow(HWND w, LPARAM p)
{
    auto* c = reinterpret_cast<WindowsOfProcess*>(p);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == c->pid && IsWindowVisible(w) && GetWindowTextLengthA(w) > 0) c->found.push_back(w);
    return TRUE;
}

inline BOOL CALLBACK CollectChild(HWND w, LPARAM p)
{
    reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
    return TRUE;
}

}  // namespace detail

// Visible top-level windows of the process that carry a title: its dialogs (the
// program's own hidden windows have none).
inline std::vector<HWND> TitledWindowsOf(DWORD pid)
{
    detail::WindowsOfProcess ctx{pid, {}};
    EnumWindows(detail::CollectTitledWindow, reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

inline std::vector<ChildWindow> ChildrenOf(HWND dialog)
{
    std::vector<HWND> handles;
    EnumChildWindows(dialog, detail::CollectChild, reinterpret_cast<LPARAM>(&handles));
    std::vector<ChildWindow> out;
    for (HWND w : handles)
        out.push_back({w, detail::ClassOf(w), static_cast<int>(static_cast<std::uint16_t>(GetDlgCtrlID(w))),
                       detail::TextOf(w), IsWindowVisible(w) != FALSE,
                       static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE))});
    return out;
}

inline SeenDialog Read(HWND dialog)
{
    SeenDialog d;
    d.title = detail::TextOf(dialog);
    d.cls = detail::ClassOf(dialog);
    d.children = ChildrenOf(dialog);
    return d;
}

inline bool WaitGone(HWND w, DWORD ms)
{
    for (DWORD waited = 0; waited < ms; waited += 20) {
        if (!IsWindow(w) || !IsWindowVisible(w)) return true;
        Sleep(20);
    }
    return !IsWindow(w) || !IsWindowVisible(w);
}

// Presses the button as a click would; the dialog hears of it as BN_CLICKED.
// If the click does not close the dialog, the command is sent to the dialog itself.
inline bool Press(HWND dialog, int controlId)
{
    HWND button = GetDlgItem(dialog, controlId);
    if (button != nullptr) {
        PostMessageA(button, BM_CLICK, 0, 0);
        if (WaitGone(dialog, 3000)) return true;
    }
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return WaitGone(dialog, 3000);
}

// ---------------------------------------------------------------- as a user types

namespace detail {

inline INPUT KeyInput(WORD vk, bool up)
{
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, 0));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return in;
}

// Input reaches the foreground window only; the dialog needs a moment to become it.
inline bool BringToFront(HWND window)
{
    for (int i = 0; i < 50; ++i) {
        if (GetForegroundWindow() == window) return true;
        SetForegroundWindow(window);
        Sleep(10);
    }
    return GetForegroundWindow() == window;
}

}  // namespace detail

// Presses the keys in order and lets them go in reverse, as a chord (VK_MENU,
// VK_F4) or a single key (VK_ESCAPE). False when the window could not be brought
// to the front or the input was refused.
inline bool SendChord(HWND window, const std::vector<WORD>& keys)
{
    if (!detail::BringToFront(window)) return false;
    std::vector<INPUT> in;
    for (WORD k : keys) in.push_back(detail::KeyInput(k, false));
    for (auto k = keys.rbegin(); k != keys.rend(); ++k) in.push_back(detail::KeyInput(*k, true));
    return SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT)) == in.size();
}

// Types one character with the keys (and Shift) that the keyboard layout gives it.
inline bool TypeChar(HWND window, char c)
{
    const SHORT scan = VkKeyScanA(c);
    if (scan == -1) return false;
    std::vector<WORD> keys;
    if (scan & 0x100) keys.push_back(VK_SHIFT);
    if (scan & 0x200) keys.push_back(VK_CONTROL);
    if (scan & 0x400) keys.push_back(VK_MENU);
    keys.push_back(static_cast<WORD>(scan & 0xFF));
    return SendChord(window, keys);
}

// The clipboard's CF_TEXT, "" when it holds none.
inline std::string ClipboardText()
{
    std::string out;
    for (int i = 0; i < 20 && !OpenClipboard(nullptr); ++i) Sleep(10);
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* text = static_cast<const char*>(GlobalLock(data))) {
            out = text;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return out;
}

inline void EmptyTheClipboard()
{
    for (int i = 0; i < 20 && !OpenClipboard(nullptr); ++i) Sleep(10);
    EmptyClipboard();
    CloseClipboard();
}

// Ctrl+C on the window; what it put on the clipboard, "" when nothing came
// within `ms`. The clipboard is emptied first, so that no earlier text passes.
inline std::string CopyWithCtrlC(HWND window, DWORD ms = 2000)
{
    EmptyTheClipboard();
    if (!SendChord(window, {VK_CONTROL, 'C'})) return {};
    // Watched without opening it: the dialog opens the clipboard once, and gives
    // up when someone else holds it open at that moment.
    for (DWORD waited = 0; waited < ms && !IsClipboardFormatAvailable(CF_TEXT); waited += 20) Sleep(20);
    return ClipboardText();
}

// What a click on the close box sends.
inline void PressCloseBox(HWND window) { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

// ---------------------------------------------------------------- the mouse

// A left click at the centre of a child window, reported as "input" (SendInput
// with absolute coordinates, as the mouse does) or "messages" (button messages
// posted to the child, for when the input does not arrive), judged by
// `happened`; "" when neither had an effect within `ms` each.
inline std::string ClickCentre(HWND child, const std::function<bool()>& happened, DWORD ms = 1500)
{
    const auto wait = [&] {
        for (DWORD waited = 0; waited < ms; waited += 20) {
            if (happened()) return true;
            Sleep(20);
        }
        return happened();
    };
    RECT r{};
    GetClientRect(child, &r);
    POINT centre{(r.right - r.left) / 2, (r.bottom - r.top) / 2};
    POINT onScreen = centre;
    ClientToScreen(child, &onScreen);

    HWND top = GetAncestor(child, GA_ROOT);
    if (detail::BringToFront(top != nullptr ? top : child)) {
        const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dx = static_cast<LONG>((onScreen.x * 65535LL + (w - 1) / 2) / (w - 1));
        in.mi.dy = static_cast<LONG>((onScreen.y * 65535LL + (h - 1) / 2) / (h - 1));
        // Moved there first: an owner-drawn button takes a press only while hot.
        in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        SendInput(1, &in, sizeof in);
        Sleep(50);
        in.mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        SendInput(1, &in, sizeof in);
        Sleep(50);
        in.mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        SendInput(1, &in, sizeof in);
        if (wait()) return "input";
    }
    const LPARAM at = MAKELPARAM(centre.x, centre.y);
    PostMessageA(child, WM_MOUSEMOVE, 0, at);
    PostMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(child, WM_LBUTTONUP, 0, at);
    return wait() ? "messages" : "";
}

// Saves a picture of the window as PNG through GDI+ (loaded at run time, so that
// nothing else needs to link it).
inline bool CaptureToPng(HWND window, const std::string& pngPath)
{
    // Another process's window: in front, and painted, before it is copied.
    SetForegroundWindow(window);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(100);
    std::string error;
    return dupd::SaveWindowPng(window, pngPath, error);
}

namespace detail {

inline std::string Act(HWND w, SeenDialog& d);

// Does what d.answer says on the dialog `w`; why it failed, "" when it did not.
inline std::string Carry(HWND w, SeenDialog& d)
{
    const Answer& a = d.answer;
    const std::string name = "\"" + d.title + "\"";
    // A failed copy is told, but the answer is still given: the run goes on.
    std::string problem;
    if (a.copyFirst) {
        d.copied = CopyWithCtrlC(w);
        if (d.copied.empty())
            problem = "Ctrl+C on " + name + " put no text on the clipboard" +
                      (GetForegroundWindow() == w ? "" : " (it did not come to the front)") + "; ";
    }
    const std::string acted = Act(w, d);
    return acted.empty() && problem.empty() ? "" : problem + acted;
}

// Does d.answer's action; why it failed, "" when it did not.
inline std::string Act(HWND w, SeenDialog& d)
{
    const Answer& a = d.answer;
    const std::string name = "\"" + d.title + "\"";
    switch (a.action) {
    case Answer::Action::Press:
        break;
    case Answer::Action::AltF4ThenPress:
        if (!SendChord(w, {VK_MENU, VK_F4})) return "Alt+F4 could not be typed on " + name;
        Sleep(500);
        d.openAfterAltF4 = IsWindow(w) && IsWindowVisible(w);
        break;
    case Answer::Action::Escape:
        if (!SendChord(w, {VK_ESCAPE})) return "Escape could not be typed on " + name;
        return WaitGone(w, 3000) ? "" : "Escape did not close " + name;
    case Answer::Action::CloseBox:
        PressCloseBox(w);
        return WaitGone(w, 3000) ? "" : "the close box did not close " + name;
    case Answer::Action::Click: {
        HWND child = GetDlgItem(w, a.button);
        if (child == nullptr) return "no control " + std::to_string(a.button) + " to click on " + name;
        d.clickedBy = ClickCentre(child, [w] { return !IsWindow(w) || !IsWindowVisible(w); });
        d.pressed = a.button;
        return d.clickedBy.empty() ? "clicking control " + std::to_string(a.button) + " did not close " + name : "";
    }
    }
    d.pressed = a.button;
    if (a.button != 0 && !Press(w, a.button))
        return "pressing button " + std::to_string(a.button) + " did not close " + name;
    return {};
}

}  // namespace detail

// Starts the program, answers every dialog it shows until it ends, and gives up
// (terminating it) after `timeoutMs`: a program that does not end has failed.
inline RunOutcome RunAnswering(const std::string& exePath, const Answerer& answer, DWORD timeoutMs,
                               const DialogObserver& observe = {})
{
    RunOutcome out;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + exePath + "\"";
    if (!CreateProcessA(exePath.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        out.problem = "could not start " + exePath + " (error " + std::to_string(GetLastError()) + ")";
        return out;
    }
    out.started = true;
    const DWORD start = GetTickCount();
    std::vector<HWND> answered;
    bool hung = false;

    while (WaitForSingleObject(pi.hProcess, 50) == WAIT_TIMEOUT) {
        if (GetTickCount() - start > timeoutMs) {
            std::string open;
            for (HWND w : TitledWindowsOf(pi.dwProcessId)) open += " \"" + detail::TextOf(w) + "\"";
            out.problem = "did not end within " + std::to_string(timeoutMs) + " ms; open windows:" +
                          (open.empty() ? std::string(" none") : open);
            TerminateProcess(pi.hProcess, 255);
            WaitForSingleObject(pi.hProcess, 5000);
            hung = true;
            break;
        }
        for (HWND w : TitledWindowsOf(pi.dwProcessId)) {
            if (std::find(answered.begin(), answered.end(), w) != answered.end()) continue;
            Sleep(150);  // let it finish painting before it is read and pictured
            SeenDialog d = Read(w);
            if (observe) observe(d, w);
            if (answer) d.answer = answer(d);
            answered.push_back(w);
            if (const std::string p = detail::Carry(w, d); !p.empty()) out.problem = p;
            out.dialogs.push_back(std::move(d));
        }
    }
    out.ended = !hung;
    GetExitCodeProcess(pi.hProcess, &out.exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return out;
}

}  // namespace e2e
