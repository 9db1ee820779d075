// Plays the user in front of a running program: finds its dialogs by their window
// titles, reads their texts, presses buttons, and can take a picture of each one.
// Header-only so that the end-to-end tests and the demo's Windows tool share it.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

struct ChildWindow {
    HWND hwnd = nullptr;
    std::string cls;
    int id = 0;
    std::string text;
    bool visible = false;
};

struct SeenDialog {
    std::string title;
    std::string cls;
    std::vector<ChildWindow> children;
    int pressed = 0;  // control id of the button pressed, 0 when none

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
};

// Which button the user presses on a dialog: a control id, or 0 to leave it open.
using Answerer = std::function<int(const SeenDialog&)>;
// The user of the updater: `confirmAnswer` (IDYES or IDNO) to the same-version
// question, OK or the only button everywhere else.
inline Answerer UserAnswers(int confirmAnswer)
{
    return [confirmAnswer](const SeenDialog& d) {
        if (d.title.find("- Confirm") != std::string::npos) return confirmAnswer;
        const auto ids = d.ButtonIds();
        if (ids.empty() || std::find(ids.begin(), ids.end(), IDOK) != ids.end()) return IDOK;
        return ids.front();
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
                       detail::TextOf(w), IsWindowVisible(w) != FALSE});
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

// Saves a picture of the window as PNG through GDI+ (loaded at run time, so that
// nothing else needs to link it).
inline bool CaptureToPng(HWND window, const std::string& pngPath)
{
    RECT r{};
    if (!GetWindowRect(window, &r)) return false;
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return false;

    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    // Copied from the screen: under Wine, PrintWindow gives an empty picture of
    // another process's window.
    SetForegroundWindow(window);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(100);
    const bool drawn = BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY) != FALSE;
    SelectObject(mem, old);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);

    bool saved = false;
    HMODULE gdiplus = drawn ? LoadLibraryA("gdiplus.dll") : nullptr;
    if (gdiplus != nullptr) {
        struct StartupInput {
            UINT32 version = 1;
            void* callback = nullptr;
            BOOL noThread = FALSE;
            BOOL noCodecs = FALSE;
        } input;
        using Startup = int(WINAPI*)(ULONG_PTR*, const StartupInput*, void*);
        using Shutdown = void(WINAPI*)(ULONG_PTR);
        using FromHbitmap = int(WINAPI*)(HBITMAP, HPALETTE, void**);
        using Save = int(WINAPI*)(void*, const WCHAR*, const CLSID*, const void*);
        using Dispose = int(WINAPI*)(void*);
        auto startup = reinterpret_cast<Startup>(reinterpret_cast<void*>(GetProcAddress(gdiplus, "GdiplusStartup")));
        auto shutdown =
            reinterpret_cast<Shutdown>(reinterpret_cast<void*>(GetProcAddress(gdiplus, "GdiplusShutdown")));
        auto fromHbitmap = reinterpret_cast<FromHbitmap>(
            reinterpret_cast<void*>(GetProcAddress(gdiplus, "GdipCreateBitmapFromHBITMAP")));
        auto save = reinterpret_cast<Save>(reinterpret_cast<void*>(GetProcAddress(gdiplus, "GdipSaveImageToFile")));
        auto dispose = reinterpret_cast<Dispose>(reinterpret_cast<void*>(GetProcAddress(gdiplus, "GdipDisposeImage")));
        ULONG_PTR token = 0;
        if (startup && shutdown && fromHbitmap && save && dispose && startup(&token, &input, nullptr) == 0) {
            // The PNG encoder of GDI+.
            const CLSID png = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
            void* image = nullptr;
            if (fromHbitmap(bmp, nullptr, &image) == 0) {
                std::wstring wide(pngPath.size() + 1, L'\0');
                const int n = MultiByteToWideChar(CP_ACP, 0, pngPath.c_str(), -1, &wide[0],
                                                  static_cast<int>(wide.size()));
                wide.resize(n > 0 ? n - 1 : 0);
                saved = save(image, wide.c_str(), &png, nullptr) == 0;
                dispose(image);
            }
            shutdown(token);
        }
        FreeLibrary(gdiplus);
    }
    DeleteObject(bmp);
    return saved;
}

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
            d.pressed = answer ? answer(d) : 0;
            answered.push_back(w);
            if (d.pressed != 0 && !Press(w, d.pressed))
                out.problem = "pressing button " + std::to_string(d.pressed) + " did not close \"" + d.title + "\"";
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
