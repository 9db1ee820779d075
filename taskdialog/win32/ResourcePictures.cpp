// The program's own bitmap resources, for the owner-drawn buttons and the footer.
#include "taskdialog/win32/TaskMessageWindow.h"

#include "taskdialog/win32/TaskWindowSupport.h"

namespace dupd {

using namespace taskwindow;

const ResourcePictures::Picture* ResourcePictures::Find(const std::string& name)
{
    if (name.empty()) return nullptr;
    for (const auto& p : pictures_)
        if (p.name == name) return p.bitmap ? &p : nullptr;
    Picture p;
    p.name = name;
    p.bitmap.reset(static_cast<HBITMAP>(
        ::LoadImageA(::GetModuleHandleA(nullptr), name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    BITMAP info{};
    if (p.bitmap && ::GetObjectA(p.bitmap.get(), sizeof info, &info)) {
        p.width = info.bmWidth;
        p.height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    } else {
        p.bitmap.reset();
    }
    pictures_.push_back(std::move(p));
    return pictures_.back().bitmap ? &pictures_.back() : nullptr;
}

int ResourcePictures::Width(const std::string& name)
{
    const Picture* p = Find(name);
    return p ? p->width : 0;
}

int ResourcePictures::Height(const std::string& name)
{
    const Picture* p = Find(name);
    return p ? p->height : 0;
}

bool ResourcePictures::DrawInto(HDC dc, const std::string& name, int x, int y, int width, int height)
{
    const Picture* p = Find(name);
    if (p == nullptr || dc == nullptr) return false;
    UniqueMemoryDc source(::CreateCompatibleDC(dc));
    if (!source) return false;
    SelectObjectGuard selected(source.get(), p->bitmap.get());
    const int oldMode = ::SetStretchBltMode(dc, COLORONCOLOR);
    const bool drawn = ::GdiTransparentBlt(dc, x, y, width, height, source.get(), 0, 0, p->width, p->height,
                                           kTransparent) != FALSE;
    ::SetStretchBltMode(dc, oldMode);
    return drawn;
}

void ResourcePictures::Draw(TCanvas& canvas, const std::string& name, int x, int y)
{
    const Picture* p = Find(name);
    if (p != nullptr) DrawInto(owner_.DcOf(canvas), name, x, y, p->width, p->height);
}

}  // namespace dupd
