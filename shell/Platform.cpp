#include "shell/Platform.h"

#include "base/Text.h"

namespace kurdb {

PathRules NativePathRules() {
#ifdef _WIN32
    return PathRules{true};
#else
    return PathRules{false};
#endif
}

std::string PathRules::IncludeTrailingSeparator(std::string_view dir) const {
    std::string out(dir);
    if (out.empty()) return out;
    if (!windows) {
        if (out.back() != '/') out += '/';
        return out;
    }
    const char last = out.back();
    if (last == ':' || last == '\\') return out;
    const bool driveLetter =
        out.size() == 1 && ((last >= 'A' && last <= 'Z') || (last >= 'a' && last <= 'z'));
    out += driveLetter ? ":\\" : "\\";
    return out;
}

std::string PathRules::DirectoryOf(std::string_view path) const {
    std::size_t cut = std::string_view::npos;
    for (std::size_t i = path.size(); i-- > 0;) {
        if (IsSeparator(path[i]) || (windows && path[i] == ':')) {
            cut = i;
            break;
        }
    }
    if (cut == std::string_view::npos) return {};
    if (windows && path[cut] == ':') return std::string(path.substr(0, cut + 1));
    if (cut == 0) return std::string(path.substr(0, 1));  // "/kurdb" lives in "/"
    return std::string(path.substr(0, cut));
}

std::string PathRules::FileNameOf(std::string_view path) const {
    for (std::size_t i = path.size(); i-- > 0;)
        if (IsSeparator(path[i]) || (windows && path[i] == ':')) return std::string(path.substr(i + 1));
    return std::string(path);
}

std::string ProgramDirectory(const IPlatform& platform) {
    return NativePathRules().DirectoryOf(platform.ExecutablePath());
}

std::string ApplicationTitle(std::string_view executablePath) {
    // Both separators count here: the title rule must hold whatever path form reaches it.
    std::string name = PathRules{true}.FileNameOf(executablePath);
    const auto dot = name.find('.');
    if (dot != std::string::npos) name.resize(dot);
    if (name.empty()) return name;
    return name.substr(0, 1) + text::AsciiLower(std::string_view(name).substr(1));
}

}  // namespace kurdb
