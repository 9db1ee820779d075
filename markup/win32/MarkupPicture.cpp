#include "markup/win32/MarkupPicture.h"

#include "winenv/Ascii.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace dupd {

namespace {

// IPicture, spelled out so that decoding depends on no import library's copy.
const IID kIidPicture = {0x7BF80980, 0xBF32, 0x101A, {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};

bool StartsWithUpper(const std::string& text, const char* prefix)
{
    const std::size_t n = std::strlen(prefix);
    if (text.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (UpperAscii(text[i]) != prefix[i]) return false;
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------- download thread

void TDownLoadThread::Start(TMarkupPicture* picture)
{
    auto* thread = new TDownLoadThread(picture);
    UniqueKernelHandle handle(::CreateThread(nullptr, 0, &TDownLoadThread::Run, thread, 0, nullptr));
    if (!handle) delete thread;
}

DWORD WINAPI TDownLoadThread::Run(LPVOID self)
{
    delete static_cast<TDownLoadThread*>(self);
    return 0;
}

// ---------------------------------------------------------------- picture

int TMarkupPicture::Width() const
{
    if (!picture_) return 0;
    OLE_XSIZE_HIMETRIC width = 0;
    picture_.get()->get_Width(&width);
    return HimetricToPixels(width, ppiX_);
}

int TMarkupPicture::Height() const
{
    if (!picture_) return 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture_.get()->get_Height(&height);
    return HimetricToPixels(height, ppiY_);
}

void TMarkupPicture::Draw(TCanvas& canvas, const TRect& rect)
{
    if (empty_ || !picture_) return;
    canvas.DrawPicture(*this, rect);
}

void TMarkupPicture::Render(std::uintptr_t device, const TRect& rect)
{
    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    picture_.get()->get_Width(&hmWidth);
    picture_.get()->get_Height(&hmHeight);
    HDC dc = reinterpret_cast<HDC>(device);
    int width = rect.Width();
    int height = rect.Height();
    if (!stretch_) {
        width = ::MulDiv(hmWidth, ::GetDeviceCaps(dc, LOGPIXELSX), 2540);
        height = ::MulDiv(hmHeight, ::GetDeviceCaps(dc, LOGPIXELSY), 2540);
    }
    // HIMETRIC runs bottom-up: start at the source's bottom edge with a negative
    // height to render upright.
    picture_.get()->Render(dc, rect.Left, rect.Top, width, height, 0, hmHeight, hmWidth, -hmHeight, nullptr);
}

const char* TMarkupPicture::FaultText(DecodeResult result)
{
    switch (result) {
    case DecodeResult::Ok: break;
    case DecodeResult::NoMemory: return "Could not allocate memory for image";
    case DecodeResult::NoStream: return "Could not create image stream";
    case DecodeResult::EmptyStream: return "Empty image stream created";
    case DecodeResult::InvalidFormat: return "Could not load image. Invalid format";
    case DecodeResult::NoPicture: return "Could not load image";
    }
    return "";
}

void TMarkupPicture::RaiseIfFailed(DecodeResult result)
{
    if (result != DecodeResult::Ok) throw EInvalidGraphic(FaultText(result));
}

void TMarkupPicture::Decode() { RaiseIfFailed(TryDecode()); }

TMarkupPicture::DecodeResult TMarkupPicture::TryDecode()
{
    picture_.reset();
    const GifFrameCut cut = SelectGifFrame(data_, frame_);
    frameOffsetX_ = cut.offsetX;
    frameOffsetY_ = cut.offsetY;
    frameWidth_ = cut.width;
    frameHeight_ = cut.height;
    screenWidth_ = cut.screenWidth;
    screenHeight_ = cut.screenHeight;
    const ByteVector& bytes = cut.bytes;

    UniqueGlobal block(::GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
    if (!block) return DecodeResult::NoMemory;
    if (!bytes.empty()) {
        GlobalLockScope target(block.get());
        if (!target) return DecodeResult::NoMemory;
        std::memcpy(target.get(), bytes.data(), bytes.size());
    }

    IStream* rawStream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(block.get(), TRUE, &rawStream))) return DecodeResult::NoStream;
    if (!rawStream) return DecodeResult::EmptyStream;
    block.release();  // the stream frees it
    UniqueCom<IStream> stream(rawStream);

    IPicture* rawPicture = nullptr;
    if (FAILED(::OleLoadPicture(stream.get(), static_cast<LONG>(bytes.size()), FALSE, kIidPicture,
                                reinterpret_cast<void**>(&rawPicture))))
        return DecodeResult::InvalidFormat;
    if (!rawPicture) return DecodeResult::NoPicture;
    picture_.reset(rawPicture);
    return DecodeResult::Ok;
}

void TMarkupPicture::Changed()
{
    if (OnChange) OnChange(*this);
}

void TMarkupPicture::Clear()
{
    picture_.reset();
    data_.clear();
    empty_ = true;
    frameCount_ = -1;
}

void TMarkupPicture::Assign(const TMarkupPicture* source)
{
    picture_.reset();
    empty_ = true;
    frameCount_ = nextCount_ = timerCount_ = -1;
    SetFrame(1);
    if (!source) {
        data_.clear();
        return;
    }
    data_ = source->data_;
    if (!data_.empty()) {
        empty_ = false;
        Decode();
    }
    Changed();
}

void TMarkupPicture::ReadData(std::istream* stream)
{
    if (!stream) return;
    data_.assign(std::istreambuf_iterator<char>(*stream), std::istreambuf_iterator<char>());
    empty_ = false;
    frameCount_ = -1;
    Decode();
}

void TMarkupPicture::LoadFromStream(std::istream* stream)
{
    if (!stream) return;
    ReadData(stream);
    Changed();
}

void TMarkupPicture::LoadFromBytes(const ByteVector& bytes) { RaiseIfFailed(TryLoadBytes(bytes)); }

TMarkupPicture::DecodeResult TMarkupPicture::TryLoadBytes(const ByteVector& bytes)
{
    data_ = bytes;
    empty_ = false;
    frameCount_ = -1;
    const DecodeResult result = TryDecode();
    if (result == DecodeResult::Ok) Changed();
    return result;
}

void TMarkupPicture::LoadFromFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        Clear();
        return;
    }
    data_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    empty_ = false;
    frameCount_ = -1;
    if (TryDecode() != DecodeResult::Ok) {
        Clear();
        return;
    }
    Changed();
}

void TMarkupPicture::LoadFromResourceName(HMODULE module, const std::string& name)
{
    RaiseIfFailed(TryLoadResource(module, name));
}

TMarkupPicture::DecodeResult TMarkupPicture::TryLoadResource(HMODULE module, const std::string& name)
{
    HRSRC resource = ::FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(10));  // RT_RCDATA
    if (!resource) return DecodeResult::Ok;
    HGLOBAL loaded = ::LoadResource(module, resource);
    const auto* bytes = loaded ? static_cast<const std::uint8_t*>(::LockResource(loaded)) : nullptr;
    if (!bytes) return DecodeResult::Ok;
    return TryLoadBytes(ByteVector(bytes, bytes + ::SizeofResource(module, resource)));
}

void TMarkupPicture::LoadFromURL(const std::string& url) { RaiseIfFailed(TryLoadFromURL(url)); }

TMarkupPicture::DecodeResult TMarkupPicture::TryLoadFromURL(const std::string& url)
{
    if (StartsWithUpper(url, "RES://")) {
        sourceUrl_ = url;
        return TryLoadResource(::GetModuleHandleA(nullptr), url.substr(6));
    } else if (StartsWithUpper(url, "FILE://")) {
        sourceUrl_ = url;
        LoadFromFile(url.substr(7));
    } else if (!asynchronous_) {
        requestedUrl_ = url;
        sourceUrl_ = url;
    } else if (!downloadBusy_) {
        requestedUrl_ = url;
        downloadBusy_ = true;
        TDownLoadThread::Start(this);
    }
    return DecodeResult::Ok;
}

void TMarkupPicture::SaveToStream(std::ostream& stream) const
{
    stream.write(reinterpret_cast<const char*>(data_.data()), static_cast<std::streamsize>(data_.size()));
}

void TMarkupPicture::SetFrame(int frame)
{
    frame_ = frame;
    if (empty_) return;
    Decode();
    if (OnFrameChange) OnFrameChange(*this);
}

int TMarkupPicture::FrameCount()
{
    if (!IsGif(data_)) return -1;
    if (frameCount_ == -1) frameCount_ = static_cast<int>(GifFrameStarts(data_).size());
    return frameCount_;
}

// ---------------------------------------------------------------- cache

TMarkupPicture* TPictureCache::FindPicture(const std::string& url)
{
    for (const auto& item : items_) {
        if (item->SourceURL() == url) return item.get();
    }
    return nullptr;
}

TMarkupPicture& TPictureCache::Add()
{
    items_.push_back(std::make_unique<TMarkupPicture>());
    return *items_.back();
}

IMarkupGraphic* TPictureCache::AddAndLoad(const std::string& url)
{
    TMarkupPicture& picture = Add();
    picture.SetAsynchronous(false);
    // The engine never fails on a text: data that does not decode leaves the entry
    // empty, so it takes no room and is not loaded again.
    if (picture.TryLoadFromURL(url) != TMarkupPicture::DecodeResult::Ok) picture.Assign(nullptr);
    return &picture;
}

}  // namespace dupd
