#include "winenv/win32/Imaging.h"

#include <objidl.h>  // the imaging header needs the property types it leaves out
#include <gdiplus.h>

#include <cwchar>
#include <vector>

#include "winenv/win32/WideText.h"

namespace dupd {

DibPage::DibPage(int width, int height) : width_(width), height_(height), dc_(::CreateCompatibleDC(nullptr))
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    if (dc_ && width > 0 && height > 0)
        bitmap_.reset(::CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bitmap_) {
        bits_ = static_cast<BYTE*>(bits);
        old_ = ::SelectObject(dc_.get(), bitmap_.get());
    }
}

DibPage::~DibPage()
{
    if (old_) ::SelectObject(dc_.get(), old_);
}

namespace {

bool PngEncoder(CLSID& png)
{
    UINT count = 0, size = 0;
    if (Gdiplus::DllExports::GdipGetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::DllExports::GdipGetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType && std::wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            png = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

}  // namespace

bool SavePng(const DibPage& page, const std::string& path, std::string& error)
{
    if (!page.ok()) {
        error = "there is no picture to save";
        return false;
    }
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) {
        error = "the imaging library (GDI+) did not start";
        return false;
    }
    bool saved = false;
    CLSID png{};
    Gdiplus::GpBitmap* bitmap = nullptr;
    ::GdiFlush();
    if (!PngEncoder(png)) {
        error = "the imaging library has no PNG encoder";
    } else if (Gdiplus::DllExports::GdipCreateBitmapFromScan0(page.width(), page.height(), page.width() * 4,
                                                               PixelFormat32bppRGB, page.bits(),
                                                               &bitmap) != Gdiplus::Ok) {
        error = "could not hand the picture to the imaging library";
    } else {
        const std::wstring file = ToWide(path);
        saved = Gdiplus::DllExports::GdipSaveImageToFile(bitmap, file.c_str(), &png, nullptr) == Gdiplus::Ok;
        if (!saved) error = "could not write " + path;
        Gdiplus::DllExports::GdipDisposeImage(bitmap);
    }
    Gdiplus::GdiplusShutdown(token);
    return saved;
}

bool SaveWindowPng(HWND window, const std::string& path, std::string& error)
{
    RECT r{};
    if (!::GetWindowRect(window, &r) || r.right <= r.left || r.bottom <= r.top) {
        error = "the window has no size to take a picture of";
        return false;
    }
    // Children paint after their parent: all of them have to be done first.
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ::GdiFlush();
    DibPage page(r.right - r.left, r.bottom - r.top);
    WindowDc screen(nullptr);
    if (!page.ok() || !screen ||
        !::BitBlt(page.dc(), 0, 0, page.width(), page.height(), screen.get(), r.left, r.top, SRCCOPY)) {
        error = "could not copy the window from the screen";
        return false;
    }
    return SavePng(page, path, error);
}

}  // namespace dupd
