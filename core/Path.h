// Paths as the program spells and compares them: joined with one backslash, and
// taken for the same file whatever the case of their ASCII letters, the kind of
// separator or a doubled one.
#pragma once

#include <string>

#include "winenv/Ascii.h"

namespace dupd {

// `folder` and `name` with one backslash between, none added where `folder`
// already ends with one; `name` alone where there is no folder.
std::string JoinPath(const std::string& folder, const std::string& name);

// A key under which every spelling of a path that names the same file compares
// equal: "/" is "\", a doubled separator is one, case does not matter.
std::string PathKey(const std::string& path);

bool EndsWithAscii(const std::string& text, const std::string& suffix);

}  // namespace dupd
