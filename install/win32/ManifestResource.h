// The package manifest a program carries, read from its resources.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace dupd {

// The resource's text; nullopt when `module` carries none.
std::optional<std::string> ReadManifestResource(HMODULE module);

}  // namespace dupd
