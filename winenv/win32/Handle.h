// One owner for every kind of system handle, so that each is released on every
// path. A trait names the handle type, its "no handle" value(s) and how to release it.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <utility>

namespace dupd {

template <class Traits>
class UniqueHandle {
public:
    using pointer = typename Traits::pointer;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(pointer h) noexcept : h_(h) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }

    pointer get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return Traits::IsValid(h_); }

    // Gives up ownership without releasing.
    pointer release() noexcept { return std::exchange(h_, Traits::Invalid()); }

    void reset(pointer h = Traits::Invalid()) noexcept
    {
        pointer old = std::exchange(h_, h);
        if (Traits::IsValid(old)) Traits::Close(old);
    }

    // For out-parameters of the API (RegOpenKeyExA(..., &key.out())): releases the
    // current handle first.
    pointer& out() noexcept
    {
        reset();
        return h_;
    }

private:
    pointer h_ = Traits::Invalid();
};

// CreateFileA and friends: INVALID_HANDLE_VALUE means no handle; a null handle is
// never valid either, so both are treated as empty.
struct FileHandleTraits {
    using pointer = HANDLE;
    static pointer Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(pointer h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(pointer h) noexcept { ::CloseHandle(h); }
};

// CreateEventA, CreateThread, OpenProcess, CreateProcess: null means no handle.
struct KernelHandleTraits {
    using pointer = HANDLE;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(pointer h) noexcept { ::CloseHandle(h); }
};

// FindFirstFileA: INVALID_HANDLE_VALUE means no search; it ends with FindClose.
struct FindHandleTraits {
    using pointer = HANDLE;
    static pointer Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(pointer h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(pointer h) noexcept { ::FindClose(h); }
};

struct RegKeyTraits {
    using pointer = HKEY;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr; }
    static void Close(pointer h) noexcept { ::RegCloseKey(h); }
};

struct ModuleTraits {
    using pointer = HMODULE;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr; }
    static void Close(pointer h) noexcept { ::FreeLibrary(h); }
};

// Fonts, brushes, pens, bitmaps, regions: DeleteObject. Typed per kind so that a
// font owner hands out an HFONT without casts.
template <class H>
struct GdiObjectTraits {
    using pointer = H;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr; }
    static void Close(pointer h) noexcept { ::DeleteObject(h); }
};

// Item identifier lists from the shell are allocated with the task allocator.
struct PidlTraits {
    using pointer = LPITEMIDLIST;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr; }
    static void Close(pointer h) noexcept { ::CoTaskMemFree(h); }
};

// A memory DC from CreateCompatibleDC is deleted, not released.
struct MemoryDcTraits {
    using pointer = HDC;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr; }
    static void Close(pointer h) noexcept { ::DeleteDC(h); }
};

// GlobalAlloc blocks (a stream created on one with delete-on-release takes it over:
// release() the owner then).
struct GlobalMemoryTraits {
    using pointer = HGLOBAL;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr; }
    static void Close(pointer h) noexcept { ::GlobalFree(h); }
};

// A window of our own (top-level; child windows go with their parent).
struct WindowTraits {
    using pointer = HWND;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr; }
    static void Close(pointer h) noexcept { ::DestroyWindow(h); }
};

// Icons loaded without LR_SHARED (shared ones belong to the system: never owned).
struct IconTraits {
    using pointer = HICON;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr; }
    static void Close(pointer h) noexcept { ::DestroyIcon(h); }
};

// A COM interface pointer: one reference, given back with Release.
template <class I>
struct ComTraits {
    using pointer = I*;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer p) noexcept { return p != nullptr; }
    static void Close(pointer p) noexcept { p->Release(); }
};

using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;
using UniqueFont = UniqueHandle<GdiObjectTraits<HFONT>>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits<HGDIOBJ>>;
using UniqueBitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using UniqueBrush = UniqueHandle<GdiObjectTraits<HBRUSH>>;
using UniquePidl = UniqueHandle<PidlTraits>;
using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;
using UniquePen = UniqueHandle<GdiObjectTraits<HPEN>>;
using UniqueRegion = UniqueHandle<GdiObjectTraits<HRGN>>;
using UniqueGlobal = UniqueHandle<GlobalMemoryTraits>;
using UniqueWindow = UniqueHandle<WindowTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
template <class I>
using UniqueCom = UniqueHandle<ComTraits<I>>;

// A window's DC from GetDC must go back to ReleaseDC with the same window, so it
// carries the window along instead of fitting the stateless traits above.
class WindowDc {
public:
    explicit WindowDc(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
    ~WindowDc()
    {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    WindowDc(WindowDc&& other) noexcept
        : window_(other.window_), dc_(std::exchange(other.dc_, nullptr)) {}
    WindowDc& operator=(WindowDc&& other) noexcept
    {
        if (this != &other) {
            if (dc_) ::ReleaseDC(window_, dc_);
            window_ = other.window_;
            dc_ = std::exchange(other.dc_, nullptr);
        }
        return *this;
    }

    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

// BeginPaint's DC goes back to EndPaint with the same window and paint record.
class PaintDc {
public:
    explicit PaintDc(HWND window) noexcept : window_(window), dc_(::BeginPaint(window, &paint_)) {}
    ~PaintDc() { ::EndPaint(window_, &paint_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;

    HDC get() const noexcept { return dc_; }
    const RECT& area() const noexcept { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// GlobalLock's pointer, unlocked on leaving; empty when the block cannot be locked.
class GlobalLockScope {
public:
    explicit GlobalLockScope(HGLOBAL block) noexcept : block_(block), bytes_(::GlobalLock(block)) {}
    ~GlobalLockScope()
    {
        if (bytes_) ::GlobalUnlock(block_);
    }
    GlobalLockScope(const GlobalLockScope&) = delete;
    GlobalLockScope& operator=(const GlobalLockScope&) = delete;

    void* get() const noexcept { return bytes_; }
    explicit operator bool() const noexcept { return bytes_ != nullptr; }

private:
    HGLOBAL block_;
    void* bytes_;
};

// The clipboard, opened for this thread and closed on leaving.
class ClipboardScope {
public:
    // Another program may hold it for a moment: up to `attempts` tries, 10 ms apart.
    explicit ClipboardScope(HWND owner = nullptr, int attempts = 1) noexcept : open_(false)
    {
        for (int i = 0; i < attempts && !open_; ++i) {
            if (i > 0) ::Sleep(10);
            open_ = ::OpenClipboard(owner) != FALSE;
        }
    }
    ~ClipboardScope()
    {
        if (open_) ::CloseClipboard();
    }
    ClipboardScope(const ClipboardScope&) = delete;
    ClipboardScope& operator=(const ClipboardScope&) = delete;

    explicit operator bool() const noexcept { return open_; }

private:
    bool open_;
};

// Selects an object into a DC and puts the previous one back on leaving.
class SelectObjectGuard {
public:
    SelectObjectGuard(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(::SelectObject(dc, obj)) {}
    ~SelectObjectGuard()
    {
        if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
    }
    SelectObjectGuard(const SelectObjectGuard&) = delete;
    SelectObjectGuard& operator=(const SelectObjectGuard&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace dupd
