#include "core/Path.h"

namespace dupd {

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty() || folder.back() == '\\') return folder + name;
    return folder + '\\' + name;
}

std::string PathKey(const std::string& path)
{
    std::string key;
    for (char c : path) {
        if (c == '/') c = '\\';
        if (c == '\\' && !key.empty() && key.back() == '\\') continue;
        key.push_back(c);
    }
    return UpperAscii(key);
}

bool EndsWithAscii(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && SameTextAscii(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace dupd
