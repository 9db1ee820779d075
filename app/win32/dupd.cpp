// Program entry: an application window that carries the taskbar button (hidden at
// once), the zero-sized main form, and the message loop that runs the update when
// the form is first activated.
#include <windows.h>

#include <exception>
#include <memory>
#include <string>

#include "app/Dupdate.h"
#include "app/win32/Win32UserInterface.h"
#include "taskdialog/TaskDialogPlatform.h"
#include "winenv/win32/Handle.h"
#include "winenv/win32/OsVersionQuery.h"
#include "winenv/win32/Win32Clock.h"
#include "winenv/win32/Win32FileSystem.h"
#include "winenv/win32/Win32Registry.h"

namespace {

constexpr UINT WM_RUN_UPDATE = WM_APP + 1;
constexpr char kApplicationClass[] = "TDupdApplication";
constexpr char kFormClass[] = "TMainForm";

// Everything the form works with, alive for the whole process.
struct Program {
    HINSTANCE instance = nullptr;
    dupd::UniqueWindow applicationWindow;
    dupd::UniqueWindow formWindow;
    dupd::Win32FileSystem fs;
    dupd::Win32Registry registry;
    std::unique_ptr<dupd::Win32Clock> clock;
    std::unique_ptr<dupd::Win32UserInterface> ui;
    std::unique_ptr<dupd::ITaskDialogPlatform> dialogs;
    std::unique_ptr<dupd::TMainForm> form;
};

LRESULT CALLBACK ApplicationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* program = reinterpret_cast<Program*>(GetWindowLongPtrA(window, GWLP_USERDATA));

    try {
        switch (message) {
        case WM_ACTIVATE:
            // The run starts outside the activation message, so that its modal
            // dialogs do not nest inside it; later activations find it done.
            if (LOWORD(wParam) != WA_INACTIVE) PostMessageA(window, WM_RUN_UPDATE, 0, 0);
            break;
        case WM_RUN_UPDATE:
            if (program && program->form) program->form->FormActivate();
            return 0;
        case WM_CLOSE:
            PostQuitMessage(0);
            return 0;
        default:
            break;
        }
    } catch (...) {
        // Nothing may cross the window procedure (the run throws nothing but a
        // failed allocation); the program must still end.
        PostQuitMessage(1);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterClasses(HINSTANCE instance)
{
    WNDCLASSA application = {};
    application.lpfnWndProc = ApplicationProc;
    application.hInstance = instance;
    application.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    application.lpszClassName = kApplicationClass;

    WNDCLASSA form = {};
    form.lpfnWndProc = FormProc;
    form.hInstance = instance;
    form.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    form.lpszClassName = kFormClass;
    return RegisterClassA(&application) && RegisterClassA(&form);
}

// The form's creation handler: hide the taskbar window, shrink to nothing, note the
// platform.
void FormCreate(Program& program)
{
    const HWND application = program.applicationWindow.get();
    const HWND form = program.formWindow.get();
    ShowWindow(application, SW_HIDE);
    const LONG exStyle = GetWindowLongA(application, GWL_EXSTYLE);
    SetWindowLongA(application, GWL_EXSTYLE, exStyle | WS_EX_TOOLWINDOW);

    RECT frame = {};
    if (GetWindowRect(form, &frame)) {
        if (SetWindowPos(form, nullptr, 0, 0, frame.right - frame.left, 0, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE))
            SetWindowPos(form, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    program.form->FormCreate(dupd::QueryOsVersion());
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    try {
        auto program = std::make_unique<Program>();
        program->instance = instance;
        if (!RegisterClasses(instance)) return 1;

        program->applicationWindow.reset(
            CreateWindowExA(0, kApplicationClass, "", WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                            GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr,
                            nullptr, instance, nullptr));
        if (!program->applicationWindow) return 1;
        // Never shown: FormCreate would hide it at once, and showing it first only
        // flashes a taskbar button.

        program->ui = std::make_unique<dupd::Win32UserInterface>(program->applicationWindow.get());
        program->dialogs = dupd::MakeSystemTaskDialogPlatform(
            reinterpret_cast<std::uintptr_t>(program->applicationWindow.get()));

        // The system default locale's date and time formats, loaded once for the log.
        program->clock = std::make_unique<dupd::Win32Clock>();
        program->form = std::make_unique<dupd::TMainForm>(program->fs, program->registry, *program->ui,
                                                          *program->clock, *program->dialogs);

        // Centred on the screen at its designed size, borderless, owned by the
        // application window as every form is.
        const int width = 131, height = 213;
        program->formWindow.reset(CreateWindowExA(
            0, kFormClass, "", WS_POPUP | WS_CLIPSIBLINGS, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
            (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, program->applicationWindow.get(), nullptr,
            instance, program.get()));
        if (!program->formWindow) return 1;
        program->ui->SetMainForm(program->formWindow.get());

        FormCreate(*program);

        ShowWindow(program->formWindow.get(), SW_SHOW);
        SetForegroundWindow(program->formWindow.get());
        // Should the window manager never activate a zero-sized window, the run
        // still starts.
        PostMessageA(program->formWindow.get(), WM_RUN_UPDATE, 0, 0);

        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        // The form before the window that owns it, while everything it runs with lives.
        program->formWindow.reset();
        program->applicationWindow.reset();
        return static_cast<int>(message.wParam);
    } catch (...) {
        // The outermost boundary: whatever was thrown while setting up ends here.
        return 1;
    }
}
