#include "tests/support/win32/Desktop.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "tests/support/win32/Files.h"
#include "winenv/win32/Handle.h"
#include "winenv/win32/Imaging.h"

namespace dupd::support {

namespace {

struct WindowsOfProcess {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTitledWindow(HWND w, LPARAM p)
{
    auto* c = reinterpret_cast<WindowsOfProcess*>(p);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(w, &owner);
    if (owner == c->pid && ::IsWindowVisible(w) && ::GetWindowTextLengthA(w) > 0) c->found.push_back(w);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND w, LPARAM p)
{
    reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
    return TRUE;
}

INPUT KeyInput(WORD vk, bool up)
{
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(::MapVirtualKeyA(vk, 0));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return in;
}

// Input reaches the foreground window only; the dialog needs a moment to become it.
bool BringToFront(HWND window)
{
    for (int i = 0; i < 50; ++i) {
        if (::GetForegroundWindow() == window) return true;
        ::SetForegroundWindow(window);
        ::Sleep(10);
    }
    return ::GetForegroundWindow() == window;
}

}  // namespace

std::string ClassOf(HWND w)
{
    char buf[256] = {};
    ::GetClassNameA(w, buf, sizeof buf);
    return buf;
}

// In UTF-8, as the user reads it: a path outside the ANSI code page is shown whole.
std::string TextOf(HWND w)
{
    DWORD_PTR len = 0;
    if (::SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &len) != 0) {
        std::wstring buf(static_cast<std::size_t>(len) + 1, L'\0');
        DWORD_PTR got = 0;
        if (::SendMessageTimeoutW(w, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(&buf[0]), SMTO_ABORTIFHUNG,
                                  2000, &got) != 0) {
            buf.resize(std::min<std::size_t>(got, buf.size() - 1));
            return Utf8(buf.c_str());
        }
    }
    wchar_t buf[4096] = {};
    ::GetWindowTextW(w, buf, 4096);
    return Utf8(buf);
}

std::vector<HWND> TitledWindowsOf(DWORD pid)
{
    WindowsOfProcess ctx{pid, {}};
    ::EnumWindows(CollectTitledWindow, reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

HWND FindTitledWindow(const std::string& title, DWORD pid)
{
    for (HWND w : TitledWindowsOf(pid))
        if (TextOf(w) == title) return w;
    return nullptr;
}

std::vector<ChildWindow> ChildrenOf(HWND window)
{
    std::vector<HWND> handles;
    ::EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&handles));
    std::vector<ChildWindow> out;
    for (HWND w : handles)
        out.push_back({w, ClassOf(w), static_cast<int>(static_cast<std::uint16_t>(::GetDlgCtrlID(w))), TextOf(w),
                       ::IsWindowVisible(w) != FALSE, static_cast<DWORD>(::GetWindowLongA(w, GWL_STYLE))});
    return out;
}

bool Within(DWORD ms, const std::function<bool()>& done)
{
    for (DWORD waited = 0; waited < ms; waited += 20) {
        if (done()) return true;
        ::Sleep(20);
    }
    return done();
}

bool WaitGone(HWND w, DWORD ms)
{
    return Within(ms, [w] { return !::IsWindow(w) || !::IsWindowVisible(w); });
}

bool Press(HWND dialog, int controlId)
{
    HWND button = ::GetDlgItem(dialog, controlId);
    if (button != nullptr) {
        ::PostMessageA(button, BM_CLICK, 0, 0);
        if (WaitGone(dialog, 3000)) return true;
    }
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return WaitGone(dialog, 3000);
}

// ---------------------------------------------------------------- as a user types

bool SendChord(HWND window, const std::vector<WORD>& keys)
{
    if (!BringToFront(window)) return false;
    std::vector<INPUT> in;
    for (WORD k : keys) in.push_back(KeyInput(k, false));
    for (auto k = keys.rbegin(); k != keys.rend(); ++k) in.push_back(KeyInput(*k, true));
    return ::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT)) == in.size();
}

bool TypeChar(HWND window, char c)
{
    const SHORT scan = ::VkKeyScanA(c);
    if (scan == -1) return false;
    std::vector<WORD> keys;
    if (scan & 0x100) keys.push_back(VK_SHIFT);
    if (scan & 0x200) keys.push_back(VK_CONTROL);
    if (scan & 0x400) keys.push_back(VK_MENU);
    keys.push_back(static_cast<WORD>(scan & 0xFF));
    return SendChord(window, keys);
}

std::string ClipboardText()
{
    const ClipboardScope clipboard(nullptr, 20);
    if (!clipboard) return {};
    const GlobalLockScope text(::GetClipboardData(CF_TEXT));
    return text ? std::string(static_cast<const char*>(text.get())) : std::string();
}

void EmptyTheClipboard()
{
    const ClipboardScope clipboard(nullptr, 20);
    if (clipboard) ::EmptyClipboard();
}

std::string CopyWithCtrlC(HWND window, DWORD ms)
{
    EmptyTheClipboard();
    if (!SendChord(window, {VK_CONTROL, 'C'})) return {};
    // Watched without opening it: the dialog opens the clipboard once, and gives
    // up when someone else holds it open at that moment.
    for (DWORD waited = 0; waited < ms && !::IsClipboardFormatAvailable(CF_TEXT); waited += 20) ::Sleep(20);
    return ClipboardText();
}

void PressCloseBox(HWND window) { ::PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

// ---------------------------------------------------------------- the mouse

std::string ClickCentre(HWND child, const std::function<bool()>& happened, DWORD ms)
{
    const auto wait = [&] { return Within(ms, happened); };
    RECT r{};
    ::GetClientRect(child, &r);
    POINT centre{(r.right - r.left) / 2, (r.bottom - r.top) / 2};
    POINT onScreen = centre;
    ::ClientToScreen(child, &onScreen);

    HWND top = ::GetAncestor(child, GA_ROOT);
    if (BringToFront(top != nullptr ? top : child)) {
        const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dx = static_cast<LONG>((onScreen.x * 65535LL + (w - 1) / 2) / (w - 1));
        in.mi.dy = static_cast<LONG>((onScreen.y * 65535LL + (h - 1) / 2) / (h - 1));
        // Moved there first: an owner-drawn button takes a press only while hot.
        in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        ::SendInput(1, &in, sizeof in);
        ::Sleep(50);
        in.mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        ::SendInput(1, &in, sizeof in);
        ::Sleep(50);
        in.mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        ::SendInput(1, &in, sizeof in);
        if (wait()) return "input";
    }
    const LPARAM at = MAKELPARAM(centre.x, centre.y);
    ::PostMessageA(child, WM_MOUSEMOVE, 0, at);
    ::PostMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageA(child, WM_LBUTTONUP, 0, at);
    return wait() ? "messages" : "";
}

bool CaptureToPng(HWND window, const std::string& pngPath)
{
    // Another process's window: in front, and painted, before it is copied.
    ::SetForegroundWindow(window);
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ::Sleep(100);
    std::string error;
    return SaveWindowPng(window, pngPath, error);
}

// ---------------------------------------------------------------- a dialog of this process

bool DialogSnapshot::HasChildText(const std::string& text) const
{
    return std::find(childTexts.begin(), childTexts.end(), text) != childTexts.end();
}

DialogPresser::DialogPresser(std::string title, int buttonId, std::chrono::milliseconds timeout)
    : title_(std::move(title)), buttonId_(buttonId), timeout_(timeout), thread_([this] { Run(); })
{
}

DialogPresser::~DialogPresser()
{
    if (thread_.joinable()) thread_.join();
}

const DialogSnapshot& DialogPresser::Result()
{
    if (thread_.joinable()) thread_.join();
    return snapshot_;
}

void DialogPresser::Run()
{
    const auto deadline = std::chrono::steady_clock::now() + timeout_;
    HWND dialog = nullptr;
    while (!dialog && std::chrono::steady_clock::now() < deadline) {
        dialog = FindTitledWindow(title_);
        if (!dialog) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!dialog) return;
    // Give the dialog a moment to finish creating its controls.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    snapshot_.found = true;
    snapshot_.title = TextOf(dialog);
    snapshot_.className = ClassOf(dialog);
    HWND button = nullptr;
    for (const ChildWindow& child : ChildrenOf(dialog)) {
        snapshot_.childTexts.push_back(child.text);
        if (!button && child.id == buttonId_ && _stricmp(child.cls.c_str(), "Button") == 0) button = child.window;
    }
    if (button) {
        snapshot_.pressed = true;
        ::PostMessageA(button, BM_CLICK, 0, 0);
    }
    for (int i = 0; i < 100 && ::IsWindow(dialog); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    snapshot_.closedAfterPress = !::IsWindow(dialog);
    if (!snapshot_.closedAfterPress) {
        // Never leave a modal loop behind: the test reports the failure instead.
        ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        ::PostMessageA(dialog, WM_CLOSE, 0, 0);
        for (int i = 0; i < 40 && ::IsWindow(dialog); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (::IsWindow(dialog)) ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId_, BN_CLICKED), 0);
    }
}

}  // namespace dupd::support
