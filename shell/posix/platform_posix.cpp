#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "base/Exception.h"
#include "shell/Platform.h"
#include "shell/posix/PosixPlatform.h"

namespace kurdb {

std::string PosixPlatform::ExecutablePath() const {
    std::string buf(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0) throw EPlatformError(std::string("/proc/self/exe: ") + std::strerror(errno));
    buf.resize(static_cast<std::size_t>(n));
    return buf;
}

std::string PosixPlatform::SystemDirectory() const {
    return {};
}

std::unique_ptr<IPlatform> MakeNativePlatform() {
    return std::make_unique<PosixPlatform>();
}

}  // namespace kurdb
