#include "winenv/PendingRenameList.h"

namespace dupd {

namespace {

const std::string kNtPrefix = "\\??\\";

// The strings of the value; deletions leave empty ones inside it, so it is split by
// its length, not at a double NUL.
std::vector<std::u16string> SplitMultiString(const unsigned char* data, std::size_t size)
{
    std::vector<std::u16string> out;
    const std::size_t units = size / 2;  // an odd last byte is no character
    std::u16string current;
    bool open = false;
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t c = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
        if (c == u'\0') {
            out.push_back(std::move(current));
            current.clear();
            open = false;
        } else {
            current.push_back(c);
            open = true;
        }
    }
    if (open) out.push_back(std::move(current));
    return out;
}

// The list holds NT paths; a doubled prefix would otherwise survive as part of a path.
std::string StripNtPrefix(std::string s)
{
    while (s.compare(0, kNtPrefix.size(), kNtPrefix) == 0) s.erase(0, kNtPrefix.size());
    return s;
}

}  // namespace

std::vector<PendingRename> ParsePendingRenameList(const unsigned char* data, std::size_t size,
                                                  const Utf16ToText& toText)
{
    std::vector<PendingRename> out;
    if (data == nullptr) return out;
    const auto strings = SplitMultiString(data, size);
    for (std::size_t i = 0; i + 1 < strings.size(); i += 2) {
        // The list ends with an empty string; what follows it is padding.
        if (strings[i].empty()) break;
        PendingRename entry;
        entry.from = StripNtPrefix(toText(strings[i]));
        if (entry.from.empty()) continue;
        std::string to = toText(strings[i + 1]);
        // "!" marks MOVEFILE_REPLACE_EXISTING and stands before the prefix.
        while (!to.empty() && (to[0] == '!' || to.compare(0, kNtPrefix.size(), kNtPrefix) == 0)) {
            if (to[0] == '!') {
                to.erase(0, 1);
                entry.replaceExisting = true;
            } else {
                to = StripNtPrefix(to);
            }
        }
        entry.to = std::move(to);
        out.push_back(std::move(entry));
    }
    return out;
}

}  // namespace dupd
