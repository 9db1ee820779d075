#include "tests/support/win32/DialogBot.h"

namespace dupd::support {

Answerer UserAnswers(int confirmAnswer)
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

SeenDialog Read(HWND dialog)
{
    SeenDialog d;
    d.title = TextOf(dialog);
    d.cls = ClassOf(dialog);
    d.children = ChildrenOf(dialog);
    return d;
}

namespace {

std::string Act(HWND w, SeenDialog& d);

// Does what d.answer says on the dialog `w`; why it failed, "" when it did not.
std::string Carry(HWND w, SeenDialog& d)
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
std::string Act(HWND w, SeenDialog& d)
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

}  // namespace

RunOutcome RunAnswering(const std::string& exePath, const Answerer& answer, DWORD timeoutMs,
                        const DialogObserver& observe)
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
            for (HWND w : TitledWindowsOf(pi.dwProcessId)) open += " \"" + TextOf(w) + "\"";
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
            if (const std::string p = Carry(w, d); !p.empty()) out.problem = p;
            out.dialogs.push_back(std::move(d));
        }
    }
    out.ended = !hung;
    GetExitCodeProcess(pi.hProcess, &out.exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return out;
}

}  // namespace dupd::support
