// The parts of the simple native task dialog that do not need the system.
#pragma once

#include <cstddef>

namespace dupd {

// Each text reaches the dialog through a buffer of 1025 wide characters.
inline constexpr std::size_t kSimpleTaskDialogTextLimit = 1024;

// The pressed button in the numbering of dialog results: Close (8) becomes 3 like
// the emulated dialog's Close; Cancel, Retry, Yes and No keep theirs; anything else
// counts as OK.
int MapTaskDialogButton(int pressed);

}  // namespace dupd
