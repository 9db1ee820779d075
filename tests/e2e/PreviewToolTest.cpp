// The dialog-preview tool with the gallery's dialogs, used as a user uses it
// while its standard output is read through a pipe: each event reaches the
// component with its values, and the results come out at the end. Every run also
// pictures its dialog under build\screenshots with the tool's --screenshot.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "Expectations.h"
#include "Scenario.h"
#include "winenv/win32/Handle.h"

namespace e2e {
namespace {

using dupd::UniqueKernelHandle;

// The source tree: this program is built in <source>\build\<folder>\.
std::string SourceDir()
{
    std::string dir = BesideMe("");
    for (int up = 0; up < 2; ++up) dir = dir.substr(0, dir.find_last_of('\\', dir.size() - 2) + 1);
    return dir;
}

std::string Gallery(const std::string& name) { return SourceDir() + "tools\\preview\\" + name; }
std::string OwnGallery(const std::string& name) { return SourceDir() + "tests\\e2e\\preview\\" + name; }

int ClientHeight(HWND w)
{
    RECT r{};
    GetClientRect(w, &r);
    return r.bottom - r.top;
}

// One run of taskdlg-preview.exe with its standard output in a pipe.
class Preview {
public:
    explicit Preview(const std::string& ini, const std::string& screenshot = "") : screenshot_(screenshot)
    {
        const std::string exe = BesideMe("taskdlg-preview.exe");
        if (!screenshot.empty()) DeleteFileA(screenshot.c_str());
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
            ADD_FAILURE() << "no pipe (error " << GetLastError() << ")";
            return;
        }
        read_.reset(readEnd);
        UniqueKernelHandle write(writeEnd);
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = nullptr;
        si.hStdOutput = writeEnd;
        si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION pi{};
        std::string cmd = "\"" + exe + "\"";
        if (!screenshot.empty()) cmd += " --screenshot \"" + screenshot + "\"";
        cmd += " \"" + ini + "\"";
        if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
            ADD_FAILURE() << "could not start " << cmd << " (error " << GetLastError() << ")";
            return;
        }
        process_.reset(pi.hProcess);
        UniqueKernelHandle thread(pi.hThread);
        pid_ = pi.dwProcessId;
        // Only the tool holds the writing end now: its end is the pipe's end.
    }
    ~Preview()
    {
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.get(), 255);
            WaitForSingleObject(process_.get(), 5000);
        }
    }
    Preview(const Preview&) = delete;
    Preview& operator=(const Preview&) = delete;

    // The dialog once it is shown (and pictured, with a screenshot asked for);
    // null when none came.
    HWND Window(DWORD ms = 10000)
    {
        HWND w = nullptr;
        Within(ms, [&] {
            const auto windows = pid_ != 0 ? TitledWindowsOf(pid_) : std::vector<HWND>{};
            w = windows.empty() ? nullptr : windows.front();
            return w != nullptr && (screenshot_.empty() || PathIsFile(screenshot_));
        });
        if (w == nullptr) ADD_FAILURE() << "no dialog appeared; output:\n" << Output();
        Sleep(100);  // the picture is written whole, and the dialog takes input
        return w;
    }

    // True once `line` has been printed.
    bool WaitFor(const std::string& line, DWORD ms = 3000)
    {
        return Within(ms, [&] {
            Pump();
            return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
        });
    }

    // Waits for the tool to end; its exit code, -1 when it did not end.
    int Finish(DWORD ms = 5000)
    {
        if (!process_ || WaitForSingleObject(process_.get(), ms) != WAIT_OBJECT_0) return -1;
        Pump();
        DWORD code = 0;
        GetExitCodeProcess(process_.get(), &code);
        return static_cast<int>(code);
    }

    const std::vector<std::string>& Lines()
    {
        Pump();
        return lines_;
    }
    std::string Output()
    {
        std::string s;
        for (const auto& l : Lines()) s += "  " + l + "\n";
        return s.empty() ? "  (nothing)\n" : s;
    }
    // The lines that begin with `prefix`, without it.
    std::vector<std::string> Values(const std::string& prefix)
    {
        std::vector<std::string> out;
        for (const auto& l : Lines())
            if (l.compare(0, prefix.size(), prefix) == 0) out.push_back(l.substr(prefix.size()));
        return out;
    }

private:
    // Takes what the pipe holds without waiting for more.
    void Pump()
    {
        DWORD available = 0;
        while (read_ && PeekNamedPipe(read_.get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            std::string buf(available, '\0');
            DWORD got = 0;
            if (!ReadFile(read_.get(), &buf[0], available, &got, nullptr) || got == 0) break;
            pending_.append(buf, 0, got);
        }
        for (std::size_t nl; (nl = pending_.find('\n')) != std::string::npos; pending_.erase(0, nl + 1)) {
            std::string line = pending_.substr(0, nl);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines_.push_back(line);
        }
    }

    std::string screenshot_;
    UniqueKernelHandle process_;
    UniqueKernelHandle read_;
    DWORD pid_ = 0;
    std::string pending_;
    std::vector<std::string> lines_;
};

std::string Shot(const std::string& name) { return ScreenshotDir() + "\\preview-" + name + ".png"; }

void ExpectPng(const std::string& path)
{
    const std::string bytes = ReadFileBytes(path).value_or("");
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8)) << path;
}

// Posted as a click of the button itself would be.
void PostClick(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

bool Checked(HWND dialog, int id)
{
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

TEST(PreviewTool, RadioButtonsAndTheVerificationBoxReachTheComponent)
{
    Preview p(Gallery("radio-verification.ini"), Shot("radio-buttons"));
    HWND w = p.Window();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(Checked(w, 201)) << "DefaultRadioButton=201";
    EXPECT_TRUE(Checked(w, 301)) << "doVerifyChecked";

    PostClick(w, 202);
    EXPECT_TRUE(p.WaitFor("OnDialogRadioClick: 202")) << p.Output();
    PostClick(w, 201);
    EXPECT_TRUE(p.WaitFor("OnDialogRadioClick: 201")) << p.Output();
    EXPECT_TRUE(Checked(w, 201));
    EXPECT_FALSE(Checked(w, 202)) << "one radio button at a time";
    PostClick(w, 301);
    EXPECT_TRUE(p.WaitFor("OnDialogVerifyClick: false")) << p.Output();
    PostClick(w, 301);
    EXPECT_TRUE(p.WaitFor("OnDialogVerifyClick: true")) << p.Output();
    EXPECT_TRUE(Press(w, IDOK));

    EXPECT_EQ(p.Finish(), 0);
    EXPECT_EQ(p.Lines(), (std::vector<std::string>{"OnDialogCreated", "OnDialogRadioClick: 202",
                                                   "OnDialogRadioClick: 201", "OnDialogVerifyClick: false",
                                                   "OnDialogVerifyClick: true", "Result: 1",
                                                   "SelectedRadioButton: 201", "VerificationChecked: true"}));
    ExpectPng(Shot("radio-buttons"));
}

TEST(PreviewTool, CommandLinkClickedWithTheMouseClosesWithItsResult)
{
    Preview p(Gallery("command-links.ini"), Shot("command-links"));
    HWND w = p.Window();
    ASSERT_NE(w, nullptr);
    const SeenDialog d = Read(w);
    EXPECT_EQ(d.OwnerDrawnCaptions(),
              (std::vector<std::string>{"&Install the update now\\nThe database files are replaced at once.\\nFiles in "
                                        "use are replaced at the next restart.",
                                        "&Remind me tomorrow", "&Skip this update"}));
    EXPECT_EQ(d.PushButtonCaptions(), std::vector<std::string>{"Cancel"});

    HWND link = GetDlgItem(w, 101);
    ASSERT_NE(link, nullptr);
    const std::string by = ClickCentre(link, [&] { return p.WaitFor("Result: 101", 0); }, 3000);
    EXPECT_NE(by, "") << "neither the mouse input nor the posted button messages clicked it\n" << p.Output();
    RecordProperty("command_link_clicked_by", by);
    std::printf("the command link took the click by %s\n", by.empty() ? "nothing" : by.c_str());

    EXPECT_EQ(p.Finish(), 0);
    const auto lines = p.Lines();
    ASSERT_GE(lines.size(), 3u) << p.Output();
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3),
              (std::vector<std::string>{"OnDialogCreated", "OnDialogButtonClick: 101", "Result: 101"}));
    ExpectPng(Shot("command-links"));
}

// "&Less information" while the details are shown, "&More information" while
// they are hidden; each letter does nothing in the other state.
TEST(PreviewTool, DetailsCollapseAndExpandByTheirAccelerators)
{
    Preview p(Gallery("expanded.ini"), Shot("expanded"));
    HWND w = p.Window();
    ASSERT_NE(w, nullptr);
    ASSERT_NE(GetDlgItem(w, 300), nullptr) << "no expand control";
    const int expanded = ClientHeight(w);

    ASSERT_TRUE(TypeChar(w, 'm'));
    Sleep(300);
    EXPECT_EQ(ClientHeight(w), expanded) << "M while the details are shown";
    ASSERT_TRUE(TypeChar(w, 'l'));
    EXPECT_TRUE(Within(2000, [&] { return ClientHeight(w) < expanded; })) << "L did not hide the details";
    const int collapsed = ClientHeight(w);
    ASSERT_TRUE(TypeChar(w, 'l'));
    Sleep(300);
    EXPECT_EQ(ClientHeight(w), collapsed) << "L while the details are hidden";
    ASSERT_TRUE(TypeChar(w, 'm'));
    EXPECT_TRUE(Within(2000, [&] { return ClientHeight(w) == expanded; }))
        << "M did not show the details again: " << ClientHeight(w) << " high, was " << expanded;

    ASSERT_TRUE(SendChord(w, {VK_ESCAPE}));
    EXPECT_EQ(p.Finish(), 0);
    EXPECT_TRUE(p.WaitFor("Result: 1", 0)) << "Escape presses OK\n" << p.Output();
    ExpectPng(Shot("expanded"));
}

TEST(PreviewTool, RefusedCloseKeepsTheWindowOpen)
{
    Preview p(Gallery("footer-warning.ini"), Shot("footer-warning"));
    HWND w = p.Window();
    ASSERT_NE(w, nullptr);

    PostClick(w, IDOK);
    EXPECT_TRUE(p.WaitFor("OnDialogClose: false")) << p.Output();
    Sleep(500);
    EXPECT_TRUE(IsWindow(w) && IsWindowVisible(w)) << "closed although refused";
    EXPECT_TRUE(Press(w, IDOK));

    EXPECT_EQ(p.Finish(), 0);
    const auto lines = p.Lines();
    ASSERT_GE(lines.size(), 4u) << p.Output();
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4),
              (std::vector<std::string>{"OnDialogCreated", "OnDialogClose: false", "OnDialogClose: true",
                                        "Result: 1"}));
    ExpectPng(Shot("footer-warning"));
}

// Each tick raises the timer event and then the progress event, which moves the
// bar by the gallery's step of 5.
TEST(PreviewTool, TimerTicksMoveTheProgressBar)
{
    Preview p(Gallery("progress.ini"), Shot("progress"));
    HWND w = p.Window();
    ASSERT_NE(w, nullptr);
    HWND bar = GetDlgItem(w, 302);
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(p.WaitFor("OnDialogProgress: 25")) << p.Output();
    const int shown = static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0));
    ASSERT_TRUE(SendChord(w, {VK_ESCAPE}));
    EXPECT_EQ(p.Finish(), 0);

    const auto progress = p.Values("OnDialogProgress: ");
    ASSERT_GE(progress.size(), 5u) << p.Output();
    for (std::size_t i = 0; i < progress.size(); ++i) EXPECT_EQ(progress[i], std::to_string(5 * (i + 1)));
    EXPECT_GE(shown, 20) << "the bar's position follows the events";
    EXPECT_EQ(shown % 5, 0) << shown;
    std::string ticks;  // T for a timer line, P for a progress line
    for (const auto& l : p.Lines()) {
        if (l == "OnDialogTimer") ticks += 'T';
        if (l.rfind("OnDialogProgress: ", 0) == 0) ticks += 'P';
    }
    std::string pairs;
    while (pairs.size() < ticks.size()) pairs += "TP";
    EXPECT_EQ(ticks, pairs);
    EXPECT_TRUE(p.WaitFor("Result: 2", 0)) << p.Output();
    ExpectPng(Shot("progress"));
}

// A range the progress bar refuses fails Execute: the tool says so on standard
// error and ends with 1, before any window was shown or pictured.
TEST(PreviewTool, ARefusedProgressRangeEndsWithoutAWindow)
{
    Preview p(OwnGallery("refused-range.ini"), Shot("refused-range"));
    EXPECT_EQ(p.Finish(), 1);
    EXPECT_EQ(p.Lines(), std::vector<std::string>{}) << "no event, no result";
    EXPECT_FALSE(PathIsFile(Shot("refused-range"))) << "a window was painted";
}

// The rest of the gallery, pictured only: the footer icons and the details in
// the footer area.
TEST(PreviewTool, GalleryPictures)
{
    struct Case {
        std::string ini;
        const char* shot;
    };
    const Case cases[] = {
        {Gallery("footer-information.ini"), "footer-icon"},
        {Gallery("footer-shield.ini"), "footer-shield"},
        {OwnGallery("expanded-footer.ini"), "expanded-footer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shot);
        Preview p(c.ini, Shot(c.shot));
        HWND w = p.Window();
        ASSERT_NE(w, nullptr);
        PressCloseBox(w);
        EXPECT_EQ(p.Finish(), 0) << p.Output();
        ExpectPng(Shot(c.shot));
    }
}

}  // namespace
}  // namespace e2e
