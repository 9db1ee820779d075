// Registry reads and shell-folder look-ups through advapi32 and shell32.
#pragma once

#include <memory>
#include <string>

#include "winenv/Platform.h"

namespace dupd {

class Win32Registry : public IRegistry {
public:
    std::unique_ptr<IRegistryKey> OpenKey(RegRoot root, const std::string& path, RegAccess access) override;
    std::string SpecialFolderPath(int csidl) override;
};

}  // namespace dupd
