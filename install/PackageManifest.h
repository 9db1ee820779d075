// What a package holds, fixed in the program when its update is built: the name,
// size and SHA-256 of each file of the staged set. A program that carries such a
// manifest installs nothing that differs from it by one byte.
//
// `set` is the staged set's names in install order, as the program spells them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "winenv/Platform.h"

namespace dupd {

// The program carries its manifest as this RCDATA resource; a program without
// one is a development build and checks nothing.
inline constexpr const char* kManifestResource = "PACKAGE_MANIFEST";

struct ManifestEntry {
    std::string name;  // a name of the staged set, spelt as the set spells it
    std::uint64_t size = 0;
    DigestBytes sha256{};
};

using PackageManifest = std::vector<ManifestEntry>;

// The entry for `name` as the set spells it; nullptr when it is not listed.
const ManifestEntry* FindEntry(const PackageManifest& manifest, const std::string& name);

// One line per file, "NAME SIZE SHA256" with the digest in lower-case hex, each
// ended by CR LF: the text the program carries and the stamping tool prints.
std::string FormatManifest(const PackageManifest& manifest);
// nullopt for anything but what FormatManifest writes: a name outside the set
// or repeated, a size that is not a plain decimal, a digest that is not 64
// lower-case hex digits. An empty text is an empty manifest.
std::optional<PackageManifest> ParseManifest(std::string_view text, const std::vector<std::string>& set);

// The name, size and digest of a file, read as it streams; nullopt when it
// cannot be read whole.
std::optional<ManifestEntry> DescribeFile(IFileSystem& fs, const std::string& path, const std::string& name);

// The manifest of the set files present in `folder`, in the set's order;
// nullopt when one of them cannot be read whole.
std::optional<PackageManifest> DescribePackage(IFileSystem& fs, const std::string& folder,
                                               const std::vector<std::string>& set);

// Whether what is staged in `folder` is exactly the package the manifest
// describes: every listed file present with its size and digest, and no file
// of the set present that it does not list.
bool PackageMatchesManifest(IFileSystem& fs, const std::string& folder, const PackageManifest& manifest,
                            const std::vector<std::string>& set);

}  // namespace dupd
