#pragma once
// The text of a profile file, read and changed the way the Windows profile functions do it:
// section and key names match without regard to case, blanks around names and values are
// ignored, a value in matching quotes loses them, and a change touches only its own line.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kurdb {

class IniText {
public:
    explicit IniText(std::string_view text = {});

    // The value of [section] key; nullopt when the section or the key is missing.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // Replaces the value of the first matching key, or adds the key at the end of the first
    // matching section, or adds the section at the end of the text.
    void Set(std::string_view section, std::string_view key, std::string_view value);
    // The whole text: the lines read keep their own line ends byte for byte (CR LF, LF or none
    // after the last), lines added end in CR LF.
    std::string Text() const;

private:
    struct Line {
        std::string text;
        std::string end;  // "\r\n", "\n" or "" (the last line of a text without a final break)
    };
    std::vector<Line> lines_;
};

}  // namespace kurdb
