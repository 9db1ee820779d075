// taskdlg-preview: shows the dialog that an INI file describes with the task-dialog
// component (native or emulated, as Execute chooses) and prints every event as it
// is raised and the results, one line each. For people who design dialogs.
//
//   taskdlg-preview.exe [--screenshot FILE.png] FILE.ini
//
// Exit code: 0 after a dialog was shown, 1 when Execute returned -1 or failed (a
// progress range the bar refuses fails it before any window shows), 2 on bad
// arguments, an unreadable file or a fault in it (FILE:LINE: ... on stderr).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "taskdialog/DialogDescription.h"
#include "taskdialog/TaskDialog.h"
#include "taskdialog/win32/Win32TaskDialog.h"
#include "tools/win32/ToolSupport.h"
#include "winenv/win32/Handle.h"
#include "winenv/win32/Imaging.h"

namespace {

using namespace dupd;

struct Arguments {
    std::string screenshot;
    std::string file;
};

void Usage() { std::fprintf(stderr, "usage: taskdlg-preview.exe [--screenshot FILE.png] FILE.ini\n"); }

bool ParseArguments(int argc, char** argv, Arguments& args)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--screenshot") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                std::fprintf(stderr, "taskdlg-preview: --screenshot needs a file name\n");
                return false;
            }
            args.screenshot = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "taskdlg-preview: unknown option \"%s\"\n", arg.c_str());
            return false;
        } else if (args.file.empty()) {
            args.file = arg;
        } else {
            std::fprintf(stderr, "taskdlg-preview: only one dialog file, but \"%s\" follows \"%s\"\n", arg.c_str(),
                         args.file.c_str());
            return false;
        }
    }
    if (args.file.empty()) std::fprintf(stderr, "taskdlg-preview: the dialog file is missing\n");
    return !args.file.empty();
}

// A relative CustomIcon is taken from the INI file's folder.
std::string BesideFile(const std::string& iniPath, const std::string& path)
{
    const bool absolute = (!path.empty() && (path[0] == '\\' || path[0] == '/')) ||
                          (path.size() > 1 && path[1] == ':');
    if (absolute) return path;
    const std::size_t cut = iniPath.find_last_of("\\/");
    return cut == std::string::npos ? path : iniPath.substr(0, cut + 1) + path;
}

// The tests read the output through a pipe while the dialog is still open.
void Say(const std::string& line)
{
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

const char* YesNo(bool v) { return v ? "true" : "false"; }

// Standard output carries only the dialog's own lines; this goes to stderr.
void SaveShot(HWND window, const std::string& path)
{
    std::string error;
    if (SaveWindowPng(window, path, error))
        std::fprintf(stderr, "taskdlg-preview: saved %s\n", path.c_str());
    else
        std::fprintf(stderr, "taskdlg-preview: %s\n", error.c_str());
}

// The native dialog reports TDN_CREATED before it is shown and painted, and tells
// nothing afterwards: its picture is taken from a timer a moment later, which the
// dialog's own message loop dispatches.
const UINT kNativeShotDelayMs = 500;
HWND g_nativeWindow = nullptr;
std::string g_nativeShot;

void CALLBACK NativeShotTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    try {
        if (g_nativeWindow && ::IsWindow(g_nativeWindow)) SaveShot(g_nativeWindow, g_nativeShot);
    } catch (...) {
        // Nothing may unwind through the system's dispatching.
    }
}

int Preview(int argc, char** argv)
{
    Arguments args;
    if (!ParseArguments(argc, argv, args)) {
        Usage();
        return 2;
    }
    std::string text;
    if (!tools::ReadWholeFile(args.file, text)) {
        std::fprintf(stderr, "%s: cannot read this file\n", args.file.c_str());
        return 2;
    }

    Win32TaskDialogPlatform platform(nullptr);
    TTaskDialogEx dialog(platform);
    DialogDescription description;
    DescriptionError error;
    if (!ReadDialogDescription(text, dialog, description, error)) {
        std::fprintf(stderr, "%s:%d: %s\n", args.file.c_str(), error.Line, error.Message.c_str());
        return 2;
    }

    UniqueIcon customIcon;
    if (!description.CustomIconPath.empty()) {
        const std::string path = BesideFile(args.file, description.CustomIconPath);
        customIcon.reset(static_cast<HICON>(::LoadImageA(nullptr, path.c_str(), IMAGE_ICON, 32, 32, LR_LOADFROMFILE)));
        if (!customIcon) {
            std::fprintf(stderr, "%s:%d: CustomIcon: cannot load the icon \"%s\"\n", args.file.c_str(),
                         description.CustomIconLine, path.c_str());
            return 2;
        }
        dialog.SetCustomIcon(reinterpret_cast<std::uintptr_t>(customIcon.get()));
    }

    dialog.OnDialogCreated = [&](TTaskDialogEx& d) {
        Say("OnDialogCreated");
        // Only the native dialog has a DialogHandle; the emulated one reports its
        // first paint through the platform.
        if (!args.screenshot.empty() && d.DialogHandle() != 0) {
            g_nativeWindow = reinterpret_cast<HWND>(d.DialogHandle());
            g_nativeShot = args.screenshot;
            ::SetTimer(nullptr, 0, kNativeShotDelayMs, NativeShotTimer);
        }
    };
    dialog.OnDialogButtonClick = [](TTaskDialogEx&, int id) { Say("OnDialogButtonClick: " + std::to_string(id)); };
    dialog.OnDialogRadioClick = [](TTaskDialogEx&, int id) { Say("OnDialogRadioClick: " + std::to_string(id)); };
    dialog.OnDialogVerifyClick = [](TTaskDialogEx&, bool checked) {
        Say(std::string("OnDialogVerifyClick: ") + YesNo(checked));
    };

    const DialogEvents& events = description.Events;
    if (events.Hyperlink)
        dialog.OnDialogHyperlinkClick = [](TTaskDialogEx&, const std::string& href) {
            Say("OnDialogHyperlinkClick: " + href);
        };
    if (events.VetoClose) {
        int refusalsLeft = *events.VetoClose;
        dialog.OnDialogClose = [refusalsLeft](TTaskDialogEx&, bool& canClose) mutable {
            canClose = refusalsLeft == 0;
            if (refusalsLeft > 0) --refusalsLeft;
            Say(std::string("OnDialogClose: ") + YesNo(canClose));
        };
    }
    if (events.Timer) dialog.OnDialogTimer = [](TTaskDialogEx&) { Say("OnDialogTimer"); };
    if (events.ProgressStep) {
        const int step = *events.ProgressStep;
        dialog.OnDialogProgress = [step](TTaskDialogEx&, int& pos, TTaskDialogProgressState&) {
            pos += step;
            Say("OnDialogProgress: " + std::to_string(pos));
        };
    }

    if (!args.screenshot.empty()) {
        const std::string shot = args.screenshot;
        platform.OnFirstPaint = [shot](HWND window) { SaveShot(window, shot); };
    }

    const int result = dialog.Execute();
    Say("Result: " + std::to_string(result));
    Say("SelectedRadioButton: " + std::to_string(dialog.SelectedRadioButton()));
    Say(std::string("VerificationChecked: ") + YesNo(dialog.VerificationChecked()));
    return result == -1 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    // What a handler of the emulated dialog threw, and the progress bar's range
    // error, come back out of Execute.
    try {
        return Preview(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "taskdlg-preview: %s\n", e.what());
        return 1;
    }
}
