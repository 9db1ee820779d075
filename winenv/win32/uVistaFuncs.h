// The simple native task dialog: title, main instruction and content with common
// buttons, falling back to a plain message box on systems before Vista.
#pragma once

#include <windows.h>

#include <string>

#include "winenv/OsVersion.h"

namespace dupd {

// Returns the pressed button in the numbering of dialog results (1 OK, 2 Cancel,
// 3 Close, 4 Retry, 6 Yes, 7 No); 0 when no task dialog could be shown on Vista or
// later; the message box's own result on older systems. Before Vista the message box
// is owned by `owner` (the application's window), which it disables while open.
int SimpleTaskDialog(HWND owner, const std::string& title, const std::string& instruction,
                     const std::string& content, DWORD buttons, int icon, UINT messageBoxFlags);

// The same for a given version record rather than the running system's.
int SimpleTaskDialog(const OsVersionInfo& os, HWND owner, const std::string& title,
                     const std::string& instruction, const std::string& content, DWORD buttons, int icon,
                     UINT messageBoxFlags);

}  // namespace dupd
