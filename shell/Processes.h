#pragma once
// Starting other programs: one that the wizard waits for (the downloader, the engine installer)
// and the suite's programs that it only starts (the updater, the company-opening program).
#include <memory>
#include <string>

namespace kurdb {

// The longest command line RunAndWait accepts, in characters.
inline constexpr std::size_t kMaxCommandLine = 512;

class IProcesses {
public:
    virtual ~IProcesses() = default;

    // Starts `commandLine` as a new process in a console of its own, its window shown with
    // `show` (5: normally), in the wizard's current directory, and waits for it without a time
    // limit. The first token names the program; the program's own directory is searched first.
    // 0: started and ended, whatever its exit code. 1: not started (no such program, not
    // executable, a line longer than kMaxCommandLine characters). Never throws.
    virtual int RunAndWait(const std::string& commandLine, unsigned short show) = 0;

    // Asks the shell to "open" `file`, a bare program name without directory or extension, with
    // `parameters`, shown normally; not waited for. A program that cannot start goes unreported.
    virtual void ShellOpen(const std::string& file, const std::string& parameters) = 0;

    // Removes `url` from the system's internet cache, so a download fetches it afresh.
    // Nothing to do where the platform keeps no such cache. Never throws.
    virtual void DeleteUrlCacheEntry(const std::string& url) = 0;
};

// The platform's implementation: CreateProcessW / ShellExecuteW / WinINet on Windows,
// posix_spawn with Windows quoting rules and a lookup in the program directory, then PATH, on
// Linux.
std::unique_ptr<IProcesses> MakeNativeProcesses();

}  // namespace kurdb
