#pragma once
// The desktop entry that stands for a shell link on Linux, in the freedesktop desktop entry
// format, version 1.5.
#include <string>

#include "shell/Shortcuts.h"

namespace kurdb::posix {

// The Exec value (before the string escapes of the file): the target and each argument of the
// Windows-style argument text, quoted by the Desktop Entry rules when they hold a reserved
// character, "%" doubled.
std::string ExecLine(const std::string& target, const std::string& arguments);

// The whole entry: [Desktop Entry], Type=Application, Name, Comment (the description), Exec,
// Path (the working directory, when there is one).
std::string DesktopEntryText(const ShellLinkData& link, const std::string& name);

}  // namespace kurdb::posix
