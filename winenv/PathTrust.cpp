#include "winenv/PathTrust.h"

#include <cctype>

namespace dupd {

bool IsDrivePath(const std::string& path)
{
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
           path[2] == '\\' && path.find('\0') == std::string::npos;
}

bool IsRealLocalFolder(IFileSystem& fs, const std::string& path)
{
    const FileFacts facts = fs.Facts(path);
    return facts.exists && facts.folder && facts.local && !facts.reparsePoint;
}

std::string ParentFolder(const std::string& path)
{
    std::string p = path;
    while (p.size() > 3 && p.back() == '\\') p.pop_back();
    const auto cut = p.find_last_of('\\');
    if (cut == std::string::npos || p.size() <= 3) return "";
    return cut == 2 ? p.substr(0, 3) : p.substr(0, cut);
}

bool IsSameOrInside(IFileSystem& fs, const std::string& path, const std::string& folder)
{
    const FileFacts wanted = fs.Facts(folder);
    if (!wanted.exists) return false;
    for (std::string p = path; !p.empty(); p = ParentFolder(p)) {
        const FileFacts facts = fs.Facts(p);
        if (facts.exists && facts.volume == wanted.volume && facts.index == wanted.index) return true;
    }
    return false;
}

}  // namespace dupd
