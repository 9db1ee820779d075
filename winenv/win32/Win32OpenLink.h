// Opens a clicked link through the system shell; failures are ignored.
#pragma once

#include <windows.h>

#include <string>

namespace dupd {

void ShellOpenLink(HWND window, const std::string& program, const std::string& link);

}  // namespace dupd
