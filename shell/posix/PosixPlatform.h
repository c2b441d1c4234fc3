#pragma once
#include "shell/Platform.h"

namespace kurdb {

// The running process on Linux: the program path from /proc/self/exe; there is no system
// directory, so the steps that write into one skip.
class PosixPlatform final : public IPlatform {
public:
    std::string ExecutablePath() const override;
    std::string SystemDirectory() const override;
};

}  // namespace kurdb
