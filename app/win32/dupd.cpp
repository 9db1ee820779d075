// Program entry: an application window that carries the taskbar button (hidden at
// once), the zero-sized main form, and the message loop that runs the update when
// the form is first activated.
#include <windows.h>

#include <exception>
#include <memory>
#include <string>

#include "app/Dupdate.h"
#include "app/win32/Win32UserInterface.h"
#include "install/win32/ManifestResource.h"
#include "taskdialog/TaskDialogPlatform.h"
#include "taskdialog/win32/FormWindow.h"
#include "winenv/win32/Handle.h"
#include "winenv/win32/OsVersionQuery.h"
#include "winenv/win32/Win32Clock.h"
#include "winenv/win32/Win32FileSystem.h"
#include "winenv/win32/Win32Registry.h"

namespace {

constexpr UINT WM_RUN_UPDATE = WM_APP + 1;
constexpr char kApplicationClass[] = "TDupdApplication";
constexpr char kFormClass[] = "TMainForm";

// The form's window: zero-sized, it only starts the run and ends the program.
class MainFormWindow final : private dupd::FormWindow {
public:
    explicit MainFormWindow(dupd::TMainForm& form) : form_(form) {}

    static bool Register()
    {
        return RegisterFormClass(kFormClass, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
                                 LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
    }

    bool Create(HWND owner, int x, int y, int width, int height)
    {
        window_.reset(CreateBound(0, kFormClass, "", WS_POPUP | WS_CLIPSIBLINGS, x, y, width, height, owner, 0));
        return static_cast<bool>(window_);
    }

    HWND Window() const { return FormWindow::Window(); }

private:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_ACTIVATE:
            // The run starts outside the activation message, so that its modal
            // dialogs do not nest inside it; later activations find it done.
            if (LOWORD(wParam) != WA_INACTIVE) PostMessageA(Window(), WM_RUN_UPDATE, 0, 0);
            break;
        case WM_RUN_UPDATE:
            form_.FormActivate();
            return 0;
        case WM_CLOSE:
            PostQuitMessage(0);
            return 0;
        default:
            break;
        }
        return Default(message, wParam, lParam);
    }

    // The run throws nothing but a failed allocation; the program must still end.
    void Failed(std::exception_ptr) noexcept override { PostQuitMessage(1); }

    dupd::TMainForm& form_;
    dupd::UniqueWindow window_;
};

// Everything the form works with, alive for the whole process.
struct Program {
    HINSTANCE instance = nullptr;
    dupd::UniqueWindow applicationWindow;
    dupd::Win32FileSystem fs;
    dupd::Win32Registry registry;
    std::unique_ptr<dupd::Win32Clock> clock;
    std::unique_ptr<dupd::Win32UserInterface> ui;
    std::unique_ptr<dupd::ITaskDialogPlatform> dialogs;
    std::unique_ptr<dupd::TMainForm> form;
    // Last, so that it goes first: its window calls the form.
    std::unique_ptr<MainFormWindow> formWindow;
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

bool RegisterClasses(HINSTANCE instance)
{
    WNDCLASSA application = {};
    application.lpfnWndProc = ApplicationProc;
    application.hInstance = instance;
    application.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    application.lpszClassName = kApplicationClass;
    return RegisterClassA(&application) && MainFormWindow::Register();
}

// The form's creation handler: hide the taskbar window, shrink to nothing, note the
// platform.
void FormCreate(Program& program)
{
    const HWND application = program.applicationWindow.get();
    const HWND form = program.formWindow->Window();
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
        // A release carries its package's manifest; a development build none.
        program->form->SetPackageManifest(dupd::ReadManifestResource(instance));

        // Centred on the screen at its designed size, borderless, owned by the
        // application window as every form is.
        const int width = 131, height = 213;
        program->formWindow = std::make_unique<MainFormWindow>(*program->form);
        if (!program->formWindow->Create(program->applicationWindow.get(), (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                         (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height))
            return 1;
        const HWND formWindow = program->formWindow->Window();
        program->ui->SetMainForm(formWindow);

        FormCreate(*program);

        ShowWindow(formWindow, SW_SHOW);
        SetForegroundWindow(formWindow);
        // Should the window manager never activate a zero-sized window, the run
        // still starts.
        PostMessageA(formWindow, WM_RUN_UPDATE, 0, 0);

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
