#include "install/Wininit.h"

#include <algorithm>

#include "core/Path.h"

namespace dupd {

namespace {

std::string Trimmed(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::vector<std::string> WithWininitRename(std::vector<std::string> lines, const std::string& target,
                                           const std::string& source)
{
    const auto header =
        std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return UpperAscii(l) == "[RENAME]"; });
    if (header == lines.end()) {
        lines.push_back("[rename]");
        lines.push_back("nul=" + target);
        lines.push_back(target + "=" + source);
        return lines;
    }
    const auto at = lines.insert(header + 1, "nul=" + target);
    lines.insert(at + 1, target + "=" + source);
    return lines;
}

bool HasWininitRename(const std::vector<std::string>& lines, const std::string& target, const std::string& source)
{
    const std::string wanted = UpperAscii(target + "=" + source);
    bool inRename = false;
    for (const auto& line : lines) {
        const std::string t = UpperAscii(Trimmed(line));
        if (!t.empty() && t.front() == '[') {
            inRename = t == "[RENAME]";
            continue;
        }
        if (inRename && t == wanted) return true;
    }
    return false;
}

std::string TrimWindowsDir(const std::string& windowsDir)
{
    return windowsDir.size() == 3 ? windowsDir.substr(0, 2) : windowsDir;
}

}  // namespace dupd
