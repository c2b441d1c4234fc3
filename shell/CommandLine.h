#pragma once
// Windows command lines as one text: how the program that receives one splits it into
// arguments. The Linux process runner uses it so that a line built for Windows means the same
// there.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kurdb {

// Splits `line` the way CommandLineToArgvW does:
// - the first token (the program) ends at the next blank, or, when it starts with a double
//   quote, at the next double quote; backslashes are plain characters in it;
// - in later tokens blanks (space, tab) separate arguments outside double quotes; 2n
//   backslashes before a double quote give n backslashes and the quote opens or closes a quoted
//   part; 2n+1 backslashes before it give n backslashes and a literal quote; backslashes not
//   before a quote are literal; inside a quoted part, "" gives a literal quote and ends it.
// An empty or all-blank line gives no tokens.
std::vector<std::string> SplitCommandLine(std::string_view line);

// The number of characters (code points) of a UTF-8 text.
std::size_t CharacterCount(std::string_view utf8);

}  // namespace kurdb
