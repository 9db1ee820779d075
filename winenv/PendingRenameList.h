// The system's pending-rename list (the registry value PendingFileRenameOperations)
// from its raw REG_MULTI_SZ bytes: UTF-16LE strings, each ended by a NUL, taken in
// pairs of source and target.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "winenv/Platform.h"

namespace dupd {

// The system's UTF-16 into the program's text, as the adapter decides it.
using Utf16ToText = std::function<std::string(const std::u16string&)>;

// The entries of the list, normalised: the "\??\" prefix and a target's leading "!"
// (which sets replaceExisting) go, an empty target is a deletion. The list ends at
// an empty source string or at the end of the data; a source with no target, an odd
// last byte and a missing last NUL are tolerated, and a pair whose source is nothing
// but prefixes is skipped.
std::vector<PendingRename> ParsePendingRenameList(const unsigned char* data, std::size_t size,
                                                  const Utf16ToText& toText);

}  // namespace dupd
