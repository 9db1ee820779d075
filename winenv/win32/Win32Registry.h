// Registry reads and shell-folder look-ups through advapi32 and shell32, in the
// process's text mode (SystemText.h).
#pragma once

#include <memory>
#include <string>

#include "winenv/Platform.h"
#include "winenv/win32/SystemText.h"

namespace dupd {

class Win32Registry : public IRegistry {
public:
    explicit Win32Registry(TextMode mode = ProcessTextMode()) : mode_(mode) {}
    std::unique_ptr<IRegistryKey> OpenKey(RegRoot root, const std::string& path, RegAccess access) override;
    std::string SpecialFolderPath(int csidl) override;

private:
    TextMode mode_;
};

}  // namespace dupd
