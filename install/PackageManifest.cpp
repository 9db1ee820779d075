#include "install/PackageManifest.h"

#include <algorithm>

#include "core/Path.h"
#include "install/SafeReplace.h"
#include "winenv/Sha256.h"

namespace dupd {

namespace {

std::optional<std::uint64_t> ParseSize(std::string_view text)
{
    if (text.empty() || text.size() > 19) return std::nullopt;  // below 10^19, so no overflow
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

std::optional<DigestBytes> ParseDigest(std::string_view hex)
{
    if (hex.size() != 64) return std::nullopt;
    DigestBytes out{};
    for (std::size_t i = 0; i < 64; ++i) {
        const char c = hex[i];
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else return std::nullopt;
        out[i / 2] = static_cast<std::uint8_t>(out[i / 2] * 16 + v);
    }
    return out;
}

}  // namespace

const ManifestEntry* FindEntry(const PackageManifest& manifest, const std::string& name)
{
    for (const ManifestEntry& entry : manifest) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

std::string FormatManifest(const PackageManifest& manifest)
{
    std::string text;
    for (const ManifestEntry& entry : manifest) {
        text += entry.name + " " + std::to_string(entry.size) + " " + DigestHex(entry.sha256) + "\r\n";
    }
    return text;
}

std::optional<PackageManifest> ParseManifest(std::string_view text, const std::vector<std::string>& set)
{
    PackageManifest manifest;
    while (!text.empty()) {
        const std::size_t end = text.find("\r\n");
        if (end == std::string_view::npos) return std::nullopt;
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 2);

        const std::size_t first = line.find(' ');
        const std::size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
        if (second == std::string_view::npos) return std::nullopt;
        const std::string name(line.substr(0, first));
        const auto size = ParseSize(line.substr(first + 1, second - first - 1));
        const auto digest = ParseDigest(line.substr(second + 1));
        const bool inSet = std::find(set.begin(), set.end(), name) != set.end();
        if (!inSet || !size || !digest || FindEntry(manifest, name)) return std::nullopt;
        manifest.push_back({name, *size, *digest});
    }
    return manifest;
}

std::optional<ManifestEntry> DescribeFile(IFileSystem& fs, const std::string& path, const std::string& name)
{
    const auto in = fs.OpenRead(path);
    const auto digest = fs.NewSha256();
    if (!in || !digest) return std::nullopt;
    const auto read = StreamWhole(*in, [&](const char* data, std::size_t size) {
        digest->Update(data, size);
        return true;
    });
    // A file that changed size while it was read was not read whole.
    const auto size = in->Size();
    if (!read || (size && *size != *read)) return std::nullopt;
    const auto bytes = digest->Final();
    if (!bytes) return std::nullopt;
    return ManifestEntry{name, *read, *bytes};
}

std::optional<PackageManifest> DescribePackage(IFileSystem& fs, const std::string& folder,
                                               const std::vector<std::string>& set)
{
    PackageManifest manifest;
    for (const std::string& name : set) {
        const std::string path = JoinPath(folder, name);
        if (!fs.Facts(path).exists) continue;
        auto entry = DescribeFile(fs, path, name);
        if (!entry) return std::nullopt;
        manifest.push_back(std::move(*entry));
    }
    return manifest;
}

bool PackageMatchesManifest(IFileSystem& fs, const std::string& folder, const PackageManifest& manifest,
                            const std::vector<std::string>& set)
{
    for (const std::string& name : set) {
        const std::string path = JoinPath(folder, name);
        const ManifestEntry* listed = FindEntry(manifest, name);
        if (!listed) {
            if (fs.Facts(path).exists) return false;
            continue;
        }
        if (!fs.IsPlainFile(path)) return false;
        const auto staged = DescribeFile(fs, path, name);
        if (!staged || staged->size != listed->size || staged->sha256 != listed->sha256) return false;
    }
    return true;
}

}  // namespace dupd
