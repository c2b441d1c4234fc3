#pragma once
// One registry hive as a .reg text file, the format regedit exports:
//   Windows Registry Editor Version 5.00      (or REGEDIT4)
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Borland\Database Engine\Settings\System\INIT]
//   "MAXBUFSIZE"="32768"
//   "Path"=hex(2):25,00,...          expandable string (UTF-16LE; REGEDIT4: 8-bit)
//   "Count"=dword:00000080
//   @="default value"
// Key paths and value names compare without regard to letter case. Reading and writing back
// keeps every section, value and comment it does not change, as it was written.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kurdb::posix {

// Registry value types as Windows numbers them.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

class RegFile {
public:
    struct Value {
        std::string name;  // "" for the default value "@"
        std::uint32_t type = 0;
        std::string text;    // string types: the data as UTF-8, up to its first zero
        std::string source;  // the lines as read; empty once the value was changed
    };
    struct Section {
        std::string path;  // "HKEY_LOCAL_MACHINE\SOFTWARE\..."
        std::vector<Value> values;
        std::vector<std::string> otherLines;  // comments and lines this parser does not know
    };

    RegFile() = default;
    // Reads a file's bytes: UTF-8 (with or without a byte-order mark) or UTF-16LE with one.
    static RegFile Parse(std::string_view bytes);

    // True when `path` is a section or the parent of one.
    bool HasKey(std::string_view path) const;
    const Value* FindValue(std::string_view path, std::string_view name) const;
    // Adds the section when missing.
    void AddKey(std::string_view path);
    // Sets a plain string value, adding the section when missing.
    void SetString(std::string_view path, std::string_view name, std::string_view text);

    // The file's text (UTF-8), in the order read, new sections and values last.
    std::string Text() const;

private:
    Section* FindSection(std::string_view path);
    const Section* FindSection(std::string_view path) const;

    std::string header_ = "Windows Registry Editor Version 5.00";
    bool unicode_ = true;  // version 5.00: hex(1)/hex(2) data is UTF-16LE
    std::vector<std::string> preamble_;
    std::vector<Section> sections_;
};

}  // namespace kurdb::posix
