#pragma once
#include "shell/Platform.h"

namespace kurdb {

// The running process on Windows: GetModuleFileNameW and GetSystemDirectoryW.
class Win32Platform final : public IPlatform {
public:
    std::string ExecutablePath() const override;
    std::string SystemDirectory() const override;
};

}  // namespace kurdb
