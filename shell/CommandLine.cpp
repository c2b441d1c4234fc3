#include "shell/CommandLine.h"

namespace kurdb {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> out;
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n && IsBlank(line[i])) ++i;
    if (i == n) return out;

    // The program token: no escapes, a quote only delimits.
    std::string program;
    if (line[i] == '"') {
        ++i;
        while (i < n && line[i] != '"') program += line[i++];
        if (i < n) ++i;
    } else {
        while (i < n && !IsBlank(line[i])) program += line[i++];
    }
    out.push_back(std::move(program));

    while (i < n && IsBlank(line[i])) ++i;
    std::string arg;
    bool inArg = false;
    int quotes = 0;  // quote state: 0 outside, 1 inside; a third quote in a row is literal
    std::size_t backslashes = 0;
    while (i < n) {
        const char c = line[i];
        if (IsBlank(c) && quotes == 0) {
            arg.append(backslashes, '\\');
            backslashes = 0;
            out.push_back(std::move(arg));
            arg.clear();
            inArg = false;
            while (i < n && IsBlank(line[i])) ++i;
            continue;
        }
        inArg = true;
        if (c == '\\') {
            ++backslashes;
            ++i;
            continue;
        }
        if (c == '"') {
            arg.append(backslashes / 2, '\\');
            if (backslashes % 2 == 1) {
                arg += '"';
            } else {
                ++quotes;
            }
            backslashes = 0;
            ++i;
            // Quotes that follow: every third one in a row counts as a literal quote.
            while (i < n && line[i] == '"') {
                if (++quotes == 3) {
                    arg += '"';
                    quotes = 0;
                }
                ++i;
            }
            if (quotes == 2) quotes = 0;
            continue;
        }
        arg.append(backslashes, '\\');
        backslashes = 0;
        arg += c;
        ++i;
    }
    if (inArg) {
        arg.append(backslashes, '\\');
        out.push_back(std::move(arg));
    }
    return out;
}

std::size_t CharacterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (const char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    return count;
}

}  // namespace kurdb
