#pragma once
// What the program asks of the operating system about itself: where it lives and what it is
// called. One implementation per platform (shell/win32, shell/posix); tests hand in their own.
#include <memory>
#include <string>
#include <string_view>

namespace kurdb {

class IPlatform {
public:
    virtual ~IPlatform() = default;
    // Full path of the running program file.
    virtual std::string ExecutablePath() const = 0;
    // The system directory of 32-bit programs, where the suite's engine finds its libraries
    // (Windows: SysWOW64 on 64-bit Windows, System32 on 32-bit Windows); empty where the
    // platform has none.
    virtual std::string SystemDirectory() const = 0;
};

// The running process's platform (shell/win32 or shell/posix).
std::unique_ptr<IPlatform> MakeNativePlatform();

// The program directory: the directory of the executable's path, without a trailing separator.
std::string ProgramDirectory(const IPlatform& platform);

// The application title: the program file's name without directory, cut at its first ".", first
// letter kept, every later letter in lower case ("C:\Kurdb\KURDB.EXE" -> "Kurdb").
std::string ApplicationTitle(std::string_view executablePath);

// Path rules of one platform family. Windows: "\" and "/" separate, a directory name gets a
// trailing "\" unless it is empty or ends in ":" or "\", a lone drive letter gets ":\". Posix: "/".
struct PathRules {
    bool windows;
    char Separator() const { return windows ? '\\' : '/'; }
    bool IsSeparator(char c) const { return c == '/' || (windows && c == '\\'); }
    std::string IncludeTrailingSeparator(std::string_view dir) const;
    // The directory part of a path, without trailing separator ("C:\a\b.exe" -> "C:\a").
    std::string DirectoryOf(std::string_view path) const;
    // The file name part of a path.
    std::string FileNameOf(std::string_view path) const;
};

// The rules of the platform this program was built for.
PathRules NativePathRules();

}  // namespace kurdb
