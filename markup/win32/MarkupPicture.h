// Pictures named by markup texts: the encoded bytes as loaded, decoded by the
// system's OLE picture loader, with a chosen frame of an animated GIF; loaded from
// files, streams, raw-data resources and "RES://" / "FILE://" URLs. And the cache
// of such pictures that a caller of the markup engine may supply.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <functional>
#include <istream>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "markup/Canvas.h"
#include "markup/MarkupPictureData.h"
#include "winenv/win32/Handle.h"

namespace dupd {

class EInvalidGraphic : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TMarkupPicture;

// Started by an asynchronous URL load; downloading is not part of this program, so
// its body does nothing. It frees itself when it ends.
class TDownLoadThread {
public:
    static void Start(TMarkupPicture* picture);

private:
    explicit TDownLoadThread(TMarkupPicture* picture) : picture_(picture) {}
    static DWORD WINAPI Run(LPVOID self);
    TMarkupPicture* picture_;
};

class TMarkupPicture : public IMarkupGraphic, private ICanvasPicture {
public:
    using TNotifyEvent = std::function<void(TMarkupPicture& sender)>;

    TMarkupPicture() = default;
    TMarkupPicture(const TMarkupPicture&) = delete;
    TMarkupPicture& operator=(const TMarkupPicture&) = delete;

    // IMarkupGraphic
    bool Empty() const override { return empty_; }
    int Width() const override;
    int Height() const override;
    int LayoutWidth() const override { return screenWidth_ != 0 ? screenWidth_ : Width(); }
    int LayoutHeight() const override { return screenHeight_ != 0 ? screenHeight_ : Height(); }
    int FrameOffsetX() const override { return frameOffsetX_; }
    int FrameOffsetY() const override { return frameOffsetY_; }
    void SetStretch(bool stretch) override { stretch_ = stretch; }
    // Nothing without a decoded picture or on a canvas without a device.
    void Draw(TCanvas& canvas, const TRect& rect) override;

    // Setting the size does nothing: it follows the picture.
    void SetWidth(int) {}
    void SetHeight(int) {}

    // No source clears the data. A picture source's data is copied and decoded.
    void Assign(const TMarkupPicture* source);
    // A null stream does nothing; decoding errors (EInvalidGraphic) pass on.
    void LoadFromStream(std::istream* stream);
    void ReadData(std::istream* stream);
    void LoadFromBytes(const ByteVector& bytes);
    // Any failure leaves the picture empty and is not passed on.
    void LoadFromFile(const std::string& path);
    // A raw-data (RT_RCDATA) resource of that name, when the module has one.
    void LoadFromResourceName(HMODULE module, const std::string& name);
    // "RES://name": this program's own raw-data resource; "FILE://path": the file;
    // anything else loads nothing (see Asynchronous).
    void LoadFromURL(const std::string& url);
    void SaveToStream(std::ostream& stream) const;

    // Why data did not decode; the loaders above raise EInvalidGraphic with its
    // text, the Try ones answer it. Ok also where there was nothing to decode.
    enum class DecodeResult { Ok, NoMemory, NoStream, EmptyStream, InvalidFormat, NoPicture };
    DecodeResult TryLoadFromURL(const std::string& url);
    void WriteData(std::ostream& stream) const { SaveToStream(stream); }

    int Frame() const { return frame_; }
    // Selects a frame (from 1) of an animated GIF; with data present it is decoded
    // again and OnFrameChange is raised.
    void SetFrame(int frame);
    // The number of frames of a GIF, counted once; -1 for other data.
    int FrameCount();
    int FrameWidth() const { return frameWidth_; }
    int FrameHeight() const { return frameHeight_; }

    bool Stretch() const { return stretch_; }
    bool Asynchronous() const { return asynchronous_; }
    void SetAsynchronous(bool asynchronous) { asynchronous_ = asynchronous; }
    bool DownloadBusy() const { return downloadBusy_; }
    const std::string& RequestedURL() const { return requestedUrl_; }
    const std::string& SourceURL() const { return sourceUrl_; }
    const ByteVector& Data() const { return data_; }
    bool Decoded() const { return static_cast<bool>(picture_); }

    int PixelsPerInchX() const { return ppiX_; }
    int PixelsPerInchY() const { return ppiY_; }
    void SetPixelsPerInch(int x, int y)
    {
        ppiX_ = x;
        ppiY_ = y;
    }

    TNotifyEvent OnChange;
    TNotifyEvent OnFrameChange;
    std::function<void(TMarkupPicture& sender, const std::string& err)> OnDownLoadError;
    TNotifyEvent OnDownLoadComplete;
    std::function<void(TMarkupPicture& sender, bool& cancel)> OnDownLoadCancel;
    std::function<void(TMarkupPicture& sender, DWORD size, DWORD totalSize)> OnDownLoadProgress;

private:
    void Render(std::uintptr_t device, const TRect& rect) override;
    static const char* FaultText(DecodeResult result);
    static void RaiseIfFailed(DecodeResult result);
    void Decode();
    DecodeResult TryDecode();
    DecodeResult TryLoadBytes(const ByteVector& bytes);
    DecodeResult TryLoadResource(HMODULE module, const std::string& name);
    void Changed();
    void Clear();

    ByteVector data_;
    UniqueCom<IPicture> picture_;
    bool empty_ = true;
    bool asynchronous_ = true;
    bool downloadBusy_ = false;
    std::string requestedUrl_;
    std::string sourceUrl_;
    int frame_ = 1;
    int frameCount_ = -1;
    int nextCount_ = -1;
    int timerCount_ = -1;
    int frameOffsetX_ = 0, frameOffsetY_ = 0;
    int frameWidth_ = 0, frameHeight_ = 0;
    int screenWidth_ = 0, screenHeight_ = 0;
    bool stretch_ = false;
    int ppiX_ = 96, ppiY_ = 96;
};

// Pictures by URL, in the order they were added; owns them.
class TPictureCache : public IPictureCache {
public:
    // The first picture whose source URL is exactly `url` (case-sensitive).
    IMarkupGraphic* Find(const std::string& url) override { return FindPicture(url); }
    // Appends a picture, clears its asynchronous flag and loads it from `url`. A
    // picture that fails to decode stays in the cache, empty.
    IMarkupGraphic* AddAndLoad(const std::string& url) override;

    TMarkupPicture* FindPicture(const std::string& url);
    TMarkupPicture& Add();
    std::size_t Count() const { return items_.size(); }
    TMarkupPicture& Item(std::size_t index) { return *items_.at(index); }

private:
    std::vector<std::unique_ptr<TMarkupPicture>> items_;
};

}  // namespace dupd
