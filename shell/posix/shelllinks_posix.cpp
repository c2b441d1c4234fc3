// Links on Linux: freedesktop desktop entries. The link's target and arguments become the Exec
// key, its description the Comment, its working directory the Path.
#include <sys/stat.h>

#include <fstream>

#include "shell/CommandLine.h"
#include "shell/Shortcuts.h"
#include "shell/posix/DesktopEntry.h"

namespace kurdb {
namespace posix {
namespace {

// A string value of a desktop entry: backslash and control characters escaped.
std::string EscapeValue(std::string_view s) {
    std::string out;
    for (const char c : s) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// One argument of Exec: quoted when it holds a reserved character, with ", `, $ and \ escaped
// inside the quotes; "%" doubled so it is not read as a field code.
std::string QuoteArgument(std::string_view arg) {
    static constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
    bool quote = arg.empty();
    for (const char c : arg) quote = quote || reserved.find(c) != std::string_view::npos;
    std::string out;
    if (quote) out += '"';
    for (const char c : arg) {
        if (c == '%') {
            out += "%%";
            continue;
        }
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
        out += c;
    }
    if (quote) out += '"';
    return out;
}

}  // namespace

std::string ExecLine(const std::string& target, const std::string& arguments) {
    std::string exec = QuoteArgument(target);
    // The stored arguments are a Windows-style argument text: split it the same way Windows
    // would hand it to the program.
    const std::vector<std::string> args = SplitCommandLine("x " + arguments);
    for (std::size_t i = 1; i < args.size(); ++i) exec += " " + QuoteArgument(args[i]);
    return exec;
}

std::string DesktopEntryText(const ShellLinkData& link, const std::string& name) {
    std::string out = "[Desktop Entry]\n";
    out += "Type=Application\n";
    out += "Name=" + EscapeValue(name) + "\n";
    out += "Comment=" + EscapeValue(link.description) + "\n";
    out += "Exec=" + EscapeValue(ExecLine(link.target, link.arguments)) + "\n";
    if (!link.workingDirectory.empty()) out += "Path=" + EscapeValue(link.workingDirectory) + "\n";
    return out;
}

}  // namespace posix

namespace {

class DesktopEntryLinks final : public IShellLinks {
public:
    std::string Extension() const override { return ".desktop"; }

    void Save(const ShellLinkData& link, const std::string& linkPath) override {
        // The entry's name is the file's, as a .lnk file shows its own name.
        std::string name = linkPath.substr(linkPath.rfind('/') + 1);
        if (name.ends_with(".desktop")) name.resize(name.size() - 8);
        std::ofstream out(linkPath, std::ios::binary | std::ios::trunc);
        if (!out) return;  // a link that cannot be written goes unreported
        out << posix::DesktopEntryText(link, name);
        out.close();
        if (out) ::chmod(linkPath.c_str(), 0755);
    }
};

}  // namespace

std::unique_ptr<IShellLinks> MakeNativeShellLinks() {
    return std::make_unique<DesktopEntryLinks>();
}

}  // namespace kurdb
