// The [rename] section of wininit.ini, through which the 9x family replaces files
// at its next start: "nul=<target>" deletes the old file, "<target>=<source>" moves
// the new one in.
#pragma once

#include <string>
#include <vector>

namespace dupd {

// The lines with the two entries for (target, source) put directly after the first
// line that reads exactly "[RENAME]" in upper case, or, without such a header, the
// section appended at the end. Every other line keeps its text and order.
std::vector<std::string> WithWininitRename(std::vector<std::string> lines, const std::string& target,
                                           const std::string& source);

// True when a [rename] section already moves `source` to `target` (names compared
// without regard to case), so that a second run before the restart adds nothing.
bool HasWininitRename(const std::vector<std::string>& lines, const std::string& target, const std::string& source);

// The Windows folder as the program uses it: never with a trailing backslash, so a
// drive root "C:\" becomes "C:".
std::string TrimWindowsDir(const std::string& windowsDir);

}  // namespace dupd
