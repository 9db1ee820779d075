// libFuzzer target: the whole input is the raw REG_MULTI_SZ value
// PendingFileRenameOperations as the registry hands it over (UTF-16LE strings, each
// ended by a NUL, in pairs of source and target). It is normalised into the pending
// list with two conversions standing in for the system's: a lossy one to the ANSI
// code page ('?' for what it cannot show, as the system does) and a widening one.
// Built and run by scripts/fuzz.
#include "FuzzCheck.h"
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "winenv/PendingRenameList.h"

namespace {

using namespace dupd;
using fuzzcheck::Check;
using fuzzcheck::Fail;

std::string Lossy(const std::u16string& text)
{
    std::string out;
    for (char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

// UTF-8, so that one unit can become several bytes.
std::string Widening(const std::u16string& text)
{
    std::string out;
    for (char16_t c : text) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// The strings in the value: every NUL ends one, and so does the end of the data.
std::size_t StringCount(const std::uint8_t* data, std::size_t size)
{
    std::size_t count = 0;
    bool open = false;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const bool nul = data[i] == 0 && data[i + 1] == 0;
        if (nul) ++count;
        open = !nul;
    }
    return count + (open ? 1 : 0);
}

bool StartsWith(const std::string& s, const std::string& prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

void CheckEntries(const std::vector<PendingRename>& entries, std::size_t strings)
{
    Check(entries.size() <= strings / 2, "more entries than pairs of strings");
    for (const auto& e : entries) {
        Check(!e.from.empty(), "an entry without a source");
        Check(!StartsWith(e.from, "\\??\\") && !StartsWith(e.to, "\\??\\"), "a path keeps its \\??\\ prefix");
        Check(!StartsWith(e.to, "!"), "a target keeps its ! marker");
    }
}

bool Same(const std::vector<PendingRename>& a, const std::vector<PendingRename>& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].from != b[i].from || a[i].to != b[i].to || a[i].replaceExisting != b[i].replaceExisting)
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A copy of exactly `size` bytes, so that any read past them is caught.
    const std::vector<std::uint8_t> bytes(data, data + size);
    const std::size_t strings = StringCount(bytes.data(), size);

    const auto lossy = ParsePendingRenameList(bytes.data(), size, Lossy);
    CheckEntries(lossy, strings);
    const auto wide = ParsePendingRenameList(bytes.data(), size, Widening);
    CheckEntries(wide, strings);

    // Only whole UTF-16 units count: an odd last byte changes nothing.
    if (size % 2 == 1) {
        const auto even = ParsePendingRenameList(bytes.data(), size - 1, Lossy);
        Check(Same(even, lossy), "an odd last byte changed the list");
    }
    // A value read again gives the same list.
    Check(Same(ParsePendingRenameList(bytes.data(), size, Lossy), lossy), "the same bytes gave another list");
    return 0;
}
