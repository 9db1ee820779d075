// Log time stamps in the system default locale's formats (not the user's), loaded
// once so that every line of a run is stamped alike.
#pragma once

#include <string>

#include "winenv/Platform.h"

namespace dupd {

class Win32Clock : public IClock {
public:
    Win32Clock();
    std::string LogTimestamp() override;

    const std::string& ShortDatePattern() const { return shortDate_; }
    const std::string& LongTimePattern() const { return longTime_; }

private:
    std::string shortDate_;
    std::string longTime_;
};

}  // namespace dupd
