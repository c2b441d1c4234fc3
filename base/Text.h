#pragma once
// Text conversions. Inside the program all text is UTF-8; the platform layers convert at their
// edges (UTF-16 for the W entry points of Windows and ODBC, code page 1254 where bytes must match
// what the suite's Windows programs store).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kurdb::text {

// UTF-8 to UTF-16. Invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
// UTF-16 to UTF-8. Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// Windows-1254 (Turkish) to UTF-8 and back. Characters without a 1254 byte become "?".
std::string Cp1254ToUtf8(std::string_view bytes);
std::string Utf8ToCp1254(std::string_view utf8);

// The code point of the last character of a UTF-8 text; 0 for an empty text.
std::uint32_t LastCodePoint(std::string_view utf8);

// ASCII-only case folding: what "without regard to case" means for names of sections, keys,
// parameters and columns (all of them ASCII in this program).
std::string AsciiUpper(std::string_view s);
std::string AsciiLower(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);

// Removes leading and trailing characters with codes 0 to 32.
std::string_view TrimControl(std::string_view s);

// What ends a line for SplitLines.
enum class LineBreaks {
    // "\n" only; a CR anywhere stays in the line (embedded resources, Qt's plain text).
    Lf,
    // "\n", and a CR just before it or as the text's last byte belongs to the break, so no line
    // ends in CR; any other CR stays in the line (settings files, the window definition).
    LfWithCr,
    // CR LF, LF and a lone CR each end a line (an edit control's text, the report log).
    Any,
};
// Whether a break at the very end of the text opens one more, empty, line.
enum class FinalBreak {
    OpensLine,  // as an edit control shows it: "a\n" is "a" and ""
    EndsText,   // as a file's last line: "a\n" is "a" alone
};

// One line of a text: its characters and the break that ended it ("" for a last line without
// one). Both are views into the text that was split; text + end of every line, in order, give
// back that text byte for byte.
struct TextLine {
    std::string_view text;
    std::string_view end;
};

// The lines of `text` under `breaks` and `final`; an empty text has no lines.
std::vector<TextLine> SplitLines(std::string_view text, LineBreaks breaks, FinalBreak final);

}  // namespace kurdb::text
