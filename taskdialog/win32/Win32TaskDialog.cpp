#include "taskdialog/win32/Win32TaskDialog.h"

#include <commctrl.h>

#include <array>
#include <vector>

#include "winenv/win32/Win32OpenLink.h"
#include "taskdialog/TaskMessageForm.h"
#include "taskdialog/win32/TaskMessageWindow.h"
#include "winenv/win32/OsVersionQuery.h"
#include "winenv/win32/WideText.h"

namespace dupd {

// The system reads these structures byte-packed, as its headers declare them.
#ifdef _WIN64
static_assert(sizeof(TASKDIALOGCONFIG) == 160, "the x86-64 layout the dialog expects");
static_assert(sizeof(TASKDIALOG_BUTTON) == 12, "the x86-64 layout the dialog expects");
#else
static_assert(sizeof(TASKDIALOGCONFIG) == 96, "the 32-bit layout the dialog expects");
static_assert(sizeof(TASKDIALOG_BUTTON) == 8, "the 32-bit layout the dialog expects");
#endif
static_assert(TDM_SET_PROGRESS_BAR_STATE == td::kSetProgressBarState);
static_assert(TDM_SET_PROGRESS_BAR_RANGE == td::kSetProgressBarRange);
static_assert(TDM_SET_PROGRESS_BAR_POS == td::kSetProgressBarPos);
static_assert(TDM_UPDATE_ELEMENT_TEXT == td::kUpdateElementText);
static_assert(TDF_USE_COMMAND_LINKS_NO_ICON == td::kUseCommandLinksNoIcon);
static_assert(TDF_CAN_BE_MINIMIZED == td::kCanBeMinimized);
static_assert(TDN_VERIFICATION_CLICKED == td::kVerificationClicked);

namespace {

// Button captions go into fixed buffers of 1024 characters, so a longer caption
// is cut after 1023.
using CaptionBuffer = std::array<wchar_t, 1024>;

void FillCaption(CaptionBuffer& buffer, const std::string& caption)
{
    const std::wstring wide = ToWide(caption);
    const std::size_t n = wide.size() < buffer.size() - 1 ? wide.size() : buffer.size() - 1;
    wide.copy(buffer.data(), n);
    buffer[n] = L'\0';
}

struct WideButtons {
    std::vector<CaptionBuffer> captions;
    std::vector<TASKDIALOG_BUTTON> entries;

    explicit WideButtons(const std::vector<NativeTaskDialogButton>& buttons)
        : captions(buttons.size()), entries(buttons.size())
    {
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            FillCaption(captions[i], buttons[i].caption);
            entries[i].nButtonID = buttons[i].id;
            entries[i].pszButtonText = captions[i].data();
        }
    }
    UINT Count() const { return static_cast<UINT>(entries.size()); }
    const TASKDIALOG_BUTTON* Data() const { return entries.empty() ? nullptr : entries.data(); }
};

const wchar_t* OrNull(const std::wstring& s) { return s.empty() ? nullptr : s.c_str(); }

HRESULT CALLBACK TaskDialogCallback(HWND window, UINT notification, WPARAM wParam, LPARAM lParam,
                                    LONG_PTR callbackData)
{
    auto* dialog = reinterpret_cast<TTaskDialogEx*>(callbackData);
    if (dialog == nullptr) return S_OK;
    // An exception must not unwind through the system's frames.
    try {
        std::string href;
        if (notification == TDN_HYPERLINK_CLICKED) href = ToAnsi(reinterpret_cast<const wchar_t*>(lParam));
        return dialog->HandleNotification(notification, reinterpret_cast<std::uintptr_t>(window),
                                          static_cast<std::uintptr_t>(wParam), href);
    } catch (...) {
        return S_OK;
    }
}

using TaskDialogIndirectFn = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

}  // namespace

std::int32_t GetModuleFileVersion(const char* fileName)
{
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(fileName, &handle);
    if (size == 0) return -1;
    std::vector<char> data(size);
    if (!::GetFileVersionInfoA(fileName, 0, size, data.data())) return -1;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    char root[] = "\\";
    if (!::VerQueryValueA(data.data(), root, reinterpret_cast<void**>(&info), &length) || info == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO))
        return -1;
    return static_cast<std::int32_t>(info->dwFileVersionMS);
}

Win32TaskDialogPlatform::Win32TaskDialogPlatform(HWND applicationWindow) : applicationWindow_(applicationWindow) {}

std::unique_ptr<ITaskDialogPlatform> MakeSystemTaskDialogPlatform(std::uintptr_t ownerWindow)
{
    return std::make_unique<Win32TaskDialogPlatform>(reinterpret_cast<HWND>(ownerWindow));
}

HWND Win32TaskDialogPlatform::OwnerFor(std::uintptr_t parentWindow) const
{
    return parentWindow != 0 ? reinterpret_cast<HWND>(parentWindow) : applicationWindow_;
}

OsVersionInfo Win32TaskDialogPlatform::SystemVersion() { return QueryOsVersion(); }

std::int32_t Win32TaskDialogPlatform::CommonControlsVersion() { return GetModuleFileVersion("COMCTL32.DLL"); }

int Win32TaskDialogPlatform::RunNative(TTaskDialogEx& dialog, const NativeTaskDialogConfig& config)
{
    if (!commonControls_) {
        const HMODULE module = ::LoadLibraryA("comctl32.dll");
        if (reinterpret_cast<std::uintptr_t>(module) < 32) return -1;
        commonControls_.reset(module);
    }
    const auto taskDialogIndirect = reinterpret_cast<TaskDialogIndirectFn>(
        reinterpret_cast<void*>(::GetProcAddress(commonControls_.get(), "TaskDialogIndirect")));
    if (taskDialogIndirect == nullptr) return -1;

    const std::wstring title = ToWide(config.windowTitle);
    const std::wstring instruction = ToWide(config.mainInstruction);
    const std::wstring content = ToWide(config.content);
    const std::wstring verification = ToWide(config.verificationText);
    const std::wstring expanded = ToWide(config.expandedInformation);
    const std::wstring expandedControl = ToWide(config.expandedControlText);
    const std::wstring collapsedControl = ToWide(config.collapsedControlText);
    const std::wstring footer = ToWide(config.footer);
    const WideButtons buttons(config.buttons);
    const WideButtons radios(config.radioButtons);

    TASKDIALOGCONFIG c{};
    c.cbSize = sizeof c;
    c.hwndParent = config.ownerIsApplication ? applicationWindow_ : reinterpret_cast<HWND>(config.parentWindow);
    c.hInstance = nullptr;
    c.dwFlags = config.flags;
    c.dwCommonButtons = config.commonButtons;
    c.pszWindowTitle = OrNull(title);
    if (config.useMainIconHandle)
        c.hMainIcon = reinterpret_cast<HICON>(config.mainIconHandle);
    else if (config.mainIcon != 0)
        c.pszMainIcon = MAKEINTRESOURCEW(config.mainIcon);
    c.pszMainInstruction = OrNull(instruction);
    c.pszContent = OrNull(content);
    c.cButtons = buttons.Count();
    c.pButtons = buttons.Data();
    c.nDefaultButton = config.defaultButton;
    c.cRadioButtons = radios.Count();
    c.pRadioButtons = radios.Data();
    c.nDefaultRadioButton = config.defaultRadioButton;
    c.pszVerificationText = OrNull(verification);
    c.pszExpandedInformation = OrNull(expanded);
    c.pszExpandedControlText = OrNull(expandedControl);
    c.pszCollapsedControlText = OrNull(collapsedControl);
    if (config.footerIcon != 0) c.pszFooterIcon = MAKEINTRESOURCEW(config.footerIcon);
    c.pszFooter = OrNull(footer);
    c.pfCallback = TaskDialogCallback;
    c.lpCallbackData = reinterpret_cast<LONG_PTR>(&dialog);
    c.cxWidth = 0;

    // The call's own result is not examined: a dialog that reports no button
    // answers 0.
    int button = 0;
    int radio = 0;
    BOOL verified = FALSE;
    taskDialogIndirect(&c, &button, &radio, &verified);
    dialog.SetSelectedRadioButton(radio);
    dialog.SetVerificationChecked(verified != FALSE);
    return button;
}

int Win32TaskDialogPlatform::RunEmulated(TTaskDialogEx& dialog)
{
    // The application window owns the dialog unless the component asks for its
    // parent window instead.
    const HWND owner = dialog.ApplicationIsParent() ? applicationWindow_ : OwnerFor(dialog.ParentWindow());
    TaskMessageWindow window(dialog, owner, OnFirstPaint);
    return ShowTaskMessageForm(dialog, window);
}

void Win32TaskDialogPlatform::SendToDialog(std::uintptr_t window, unsigned message, std::uintptr_t wParam,
                                           std::intptr_t lParam)
{
    ::SendMessageW(reinterpret_cast<HWND>(window), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

void Win32TaskDialogPlatform::UpdateElementText(std::uintptr_t window, int element, const std::string& text)
{
    const std::wstring wide = ToWide(text);
    ::SendMessageW(reinterpret_cast<HWND>(window), TDM_UPDATE_ELEMENT_TEXT, static_cast<WPARAM>(element),
                   reinterpret_cast<LPARAM>(wide.c_str()));
}

void Win32TaskDialogPlatform::OpenLink(std::uintptr_t window, const std::string& program, const std::string& link)
{
    ShellOpenLink(reinterpret_cast<HWND>(window), program, link);
}

}  // namespace dupd
