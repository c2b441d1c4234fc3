#pragma once
// The command line of an unattended run: one table of option names for both platforms, written
// as Windows installers take them (`/NAME=value`, any case, `/?`) or GNU style (`--name=value`,
// `--help`).
#include <optional>
#include <string>
#include <vector>

namespace kurdb {

enum class OptionStyle { Windows, Gnu };

// The platform's own style: Windows on Windows, GNU elsewhere.
OptionStyle NativeOptionStyle();

enum class MachineKind { Main, Terminal };

struct UnattendedOptions {
    bool help = false;
    MachineKind machine = MachineKind::Terminal;
    std::optional<std::string> server;    // none: the remembered server (or this machine)
    std::optional<std::string> user;      // none: what the machine's kind puts there
    std::optional<std::string> password;  // from the option itself
    std::optional<std::string> passwordFile;
    bool save = true;
    std::optional<bool> create;  // none: on the main machine only
    bool shortcuts = true;
    bool updater = true;
    bool openCompany = false;
    bool engineInstall = false;      // the answer to the engine's download and run questions
    std::optional<std::string> log;  // "" for the default log file
    bool showWindow = false;         // the wizard's window walks itself; else no window at all
};

struct ParsedOptions {
    UnattendedOptions options;
    std::string error;  // empty when every argument was understood
};

// Parses the arguments after the program's name. An argument that is not in the table, a value
// that is not one of the option's values, a value on a flag or a missing value is an error.
ParsedOptions ParseOptions(const std::vector<std::string>& args, OptionStyle style);

// The table as `/?` and `--help` print it, in the style given.
std::string OptionsHelp(OptionStyle style);

// The environment variable that holds the password when neither PASSWORD nor PASSWORDFILE is given.
inline constexpr const char* kPasswordVariable = "KURDB_PASSWORD";

}  // namespace kurdb
