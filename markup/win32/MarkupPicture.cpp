#include "markup/win32/MarkupPicture.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>

#include "markup/win32/GdiCanvas.h"

namespace dupd {

namespace {

// IPicture, spelled out so that decoding depends on no import library's copy.
const IID kIidPicture = {0x7BF80980, 0xBF32, 0x101A, {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};

bool StartsWithUpper(const std::string& text, const char* prefix)
{
    const std::size_t n = std::strlen(prefix);
    if (text.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
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
    auto* gdi = dynamic_cast<GdiCanvas*>(&canvas);
    if (!gdi) return;
    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    picture_.get()->get_Width(&hmWidth);
    picture_.get()->get_Height(&hmHeight);
    HDC dc = gdi->Handle();
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

void TMarkupPicture::Decode()
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
    if (!block) throw EInvalidGraphic("Could not allocate memory for image");
    if (!bytes.empty()) {
        void* target = ::GlobalLock(block.get());
        if (!target) throw EInvalidGraphic("Could not allocate memory for image");
        std::memcpy(target, bytes.data(), bytes.size());
        ::GlobalUnlock(block.get());
    }

    IStream* rawStream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(block.get(), TRUE, &rawStream)))
        throw EInvalidGraphic("Could not create image stream");
    if (!rawStream) throw EInvalidGraphic("Empty image stream created");
    block.release();  // the stream frees it
    UniqueCom<IStream> stream(rawStream);

    IPicture* rawPicture = nullptr;
    if (FAILED(::OleLoadPicture(stream.get(), static_cast<LONG>(bytes.size()), FALSE, kIidPicture,
                                reinterpret_cast<void**>(&rawPicture))))
        throw EInvalidGraphic("Could not load image. Invalid format");
    if (!rawPicture) throw EInvalidGraphic("Could not load image");
    picture_.reset(rawPicture);
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

void TMarkupPicture::LoadFromBytes(const ByteVector& bytes)
{
    data_ = bytes;
    empty_ = false;
    frameCount_ = -1;
    Decode();
    Changed();
}

void TMarkupPicture::LoadFromFile(const std::string& path)
{
    try {
        std::ifstream file(path, std::ios::binary);
        if (!file) throw EInvalidGraphic("Could not open " + path);
        ReadData(&file);
        Changed();
    } catch (const std::exception&) {
        Clear();
    }
}

void TMarkupPicture::LoadFromResourceName(HMODULE module, const std::string& name)
{
    HRSRC resource = ::FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(10));  // RT_RCDATA
    if (!resource) return;
    HGLOBAL loaded = ::LoadResource(module, resource);
    const auto* bytes = loaded ? static_cast<const std::uint8_t*>(::LockResource(loaded)) : nullptr;
    if (!bytes) return;
    LoadFromBytes(ByteVector(bytes, bytes + ::SizeofResource(module, resource)));
}

void TMarkupPicture::LoadFromURL(const std::string& url)
{
    if (StartsWithUpper(url, "RES://")) {
        sourceUrl_ = url;
        LoadFromResourceName(::GetModuleHandleA(nullptr), url.substr(6));
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
    try {
        picture.LoadFromURL(url);
    } catch (const EInvalidGraphic&) {
        picture.Assign(nullptr);
    }
    return &picture;
}

}  // namespace dupd
