// Pictures for people to look at: a 32-bit drawing page and PNG files written by
// the platform's imaging component (GDI+).
#pragma once

#include <windows.h>

#include <string>

#include "winenv/win32/Handle.h"

namespace dupd {

// A top-down 32-bit DIB section selected into a memory DC.
class DibPage {
public:
    DibPage(int width, int height);
    ~DibPage();
    DibPage(const DibPage&) = delete;
    DibPage& operator=(const DibPage&) = delete;

    bool ok() const { return bits_ != nullptr; }
    HDC dc() const { return dc_.get(); }
    int width() const { return width_; }
    int height() const { return height_; }
    BYTE* bits() const { return bits_; }

private:
    int width_, height_;
    UniqueMemoryDc dc_;
    UniqueBitmap bitmap_;
    BYTE* bits_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

// False with the reason in `error` when the file could not be written.
bool SavePng(const DibPage& page, const std::string& path, std::string& error);

// A window with its frame, as it stands on the screen (copied from the screen:
// under Wine, PrintWindow gives an empty picture of another process's window).
bool SaveWindowPng(HWND window, const std::string& path, std::string& error);

}  // namespace dupd
