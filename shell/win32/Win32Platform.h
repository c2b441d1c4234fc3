#pragma once
#include "shell/Platform.h"

namespace kurdb {

// The running process on Windows: GetModuleFileNameW and the 32-bit system directory.
class Win32Platform final : public IPlatform {
public:
    std::string ExecutablePath() const override;
    std::string SystemDirectory() const override;
};

}  // namespace kurdb
