// Linux process runner: the command line is split as Windows would split it, so the lines the
// wizard builds for Windows programs mean the same here.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "shell/CommandLine.h"
#include "shell/Platform.h"
#include "shell/Processes.h"
#include "shell/posix/PosixPlatform.h"

extern char** environ;

namespace kurdb {
namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// A name with a "/" is taken as it stands; a bare name is looked up in the program's own
// directory first, as Windows does, then along PATH. Empty when nothing is found.
std::string FindProgram(const std::string& name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return name;
    try {
        const std::string own = ProgramDirectory(PosixPlatform());
        if (!own.empty() && IsExecutableFile(own + "/" + name)) return own + "/" + name;
    } catch (const std::exception&) {
        // no /proc: PATH alone
    }
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        const auto end = dirs.find(':', start);
        std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (dir.empty()) dir = ".";
        if (IsExecutableFile(dir + "/" + name)) return dir + "/" + name;
        if (end == std::string::npos) return {};
        start = end + 1;
    }
}

std::vector<char*> Argv(std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return argv;
}

class PosixProcesses final : public IProcesses {
public:
    int RunAndWait(const std::string& commandLine, unsigned short /*show: no console here*/) override {
        if (CharacterCount(commandLine) > kMaxCommandLine) return 1;
        std::vector<std::string> args = SplitCommandLine(commandLine);
        if (args.empty()) return 1;
        const std::string program = FindProgram(args.front());
        if (program.empty()) return 1;
        std::vector<char*> argv = Argv(args);
        pid_t pid = 0;
        if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return 1;
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return 0;
    }

    void ShellOpen(const std::string& file, const std::string& parameters) override {
        const std::string program = FindProgram(file);
        if (program.empty()) return;
        std::vector<std::string> args = SplitCommandLine("\"" + file + "\" " + parameters);
        std::vector<char*> argv = Argv(args);
        // Detached: a child starts the program in a session of its own and leaves at once, so
        // the program is adopted by init and never waits as a zombie of the wizard.
        const pid_t child = ::fork();
        if (child < 0) return;
        if (child == 0) {
            // Only async-signal-safe calls between fork and exec: the wizard may have threads.
            ::setsid();
            if (::fork() == 0) {
                ::execve(program.c_str(), argv.data(), environ);
                ::_exit(127);
            }
            ::_exit(0);
        }
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }

    void DeleteUrlCacheEntry(const std::string& /*url*/) override {
        // wget keeps no cache between runs: nothing to remove
    }
};

}  // namespace

std::unique_ptr<IProcesses> MakeNativeProcesses() {
    return std::make_unique<PosixProcesses>();
}

}  // namespace kurdb
