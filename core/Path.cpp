#include "core/Path.h"

namespace dupd {

std::string UpperAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool SameTextAscii(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && UpperAscii(a) == UpperAscii(b);
}

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
