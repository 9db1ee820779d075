// The floor of the update benchmark: the bare start of a GUI program that loads the
// system DLLs the updater imports, creates one hidden window, runs its message loop
// once and quits. Whatever the update run costs beyond this is its own work.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <winver.h>

#include "winenv/win32/Handle.h"

namespace {

constexpr char kClass[] = "TGuiFloor";

// One import from each DLL the updater links, so that the loader maps every one of
// them at start-up; none is called.
using AnyFunction = void (*)();
volatile AnyFunction keepImports[] = {
    reinterpret_cast<AnyFunction>(&::RegCloseKey),          reinterpret_cast<AnyFunction>(&::InitCommonControlsEx),
    reinterpret_cast<AnyFunction>(&::GetStockObject),       reinterpret_cast<AnyFunction>(&::CoTaskMemFree),
    reinterpret_cast<AnyFunction>(&::SHGetPathFromIDListA), reinterpret_cast<AnyFunction>(&::GetFileVersionInfoSizeA),
};

LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = FloorProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClass;
    if (!RegisterClassA(&windowClass)) return 1;
    const dupd::UniqueWindow window(
        CreateWindowExA(0, kClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr));
    if (!window) return 1;
    PostMessageA(window.get(), WM_APP, 0, 0);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return keepImports[0] ? 0 : 1;
}
