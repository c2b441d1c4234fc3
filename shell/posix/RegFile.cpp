#include "shell/posix/RegFile.h"

#include "base/Text.h"

namespace kurdb::posix {
namespace {

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

// The file's text as UTF-8: regedit writes version 5.00 files in UTF-16LE with a byte-order mark.
std::string Decode(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::u16string wide;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            wide += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          static_cast<unsigned char>(bytes[i + 1]) << 8);
        return text::Utf16ToUtf8(wide);
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return std::string(bytes);
}

// A quoted text at the start of `s` with regedit's two escapes, \\ and \". Moves `s` past it.
std::optional<std::string> TakeQuoted(std::string_view& s) {
    if (s.empty() || s.front() != '"') return std::nullopt;
    std::string out;
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            out += s[++i];
        } else if (s[i] == '"') {
            s.remove_prefix(i + 1);
            return out;
        } else {
            out += s[i];
        }
    }
    return std::nullopt;
}

std::string Quote(std::string_view s) {
    std::string out = "\"";
    for (const char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + '"';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "xx,xx,..." with blanks and line continuations between the bytes.
std::optional<std::string> HexBytes(std::string_view s) {
    std::string out;
    int high = -1;
    for (const char c : s) {
        if (c == ',' || c == ' ' || c == '\t' || c == '\\' || c == '\r' || c == '\n') {
            if (high >= 0) return std::nullopt;  // one digit alone
            continue;
        }
        const int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        if (high < 0) {
            high = d;
        } else {
            out += static_cast<char>(high << 4 | d);
            high = -1;
        }
    }
    if (high >= 0) return std::nullopt;
    return out;
}

std::string UpToZero(std::string s) {
    const auto zero = s.find('\0');
    if (zero != std::string::npos) s.resize(zero);
    return s;
}

bool PathEquals(std::string_view a, std::string_view b) {
    return text::EqualsNoCase(a, b);
}

// True when `section` lies below `key` ("A\B\C" below "a\b").
bool IsBelow(std::string_view section, std::string_view key) {
    return section.size() > key.size() && section[key.size()] == '\\' &&
           text::EqualsNoCase(section.substr(0, key.size()), key);
}

}  // namespace

RegFile RegFile::Parse(std::string_view bytes) {
    RegFile file;
    const std::string all = Decode(bytes);

    std::vector<std::string> lines;
    for (const text::TextLine& textLine :
         text::SplitLines(all, text::LineBreaks::Lf, text::FinalBreak::OpensLine)) {
        std::string line(TrimRight(textLine.text));
        // Hex data goes on over several lines, each but the last ending in "\".
        if (!lines.empty() && !lines.back().empty() && lines.back().back() == '\\' &&
            lines.back().find("=hex") != std::string::npos)
            lines.back() += "\n" + line;
        else
            lines.push_back(std::move(line));
    }

    bool headerSeen = false;
    Section* section = nullptr;
    for (const std::string& line : lines) {
        const std::string_view l = TrimLeft(line);
        if (l.empty()) continue;
        if (!headerSeen) {
            headerSeen = true;
            if (l == "REGEDIT4") {
                file.header_ = line;
                file.unicode_ = false;
                continue;
            }
            if (l.starts_with("Windows Registry Editor")) {
                file.header_ = line;
                continue;
            }
        }
        if (l.front() == '[' && l.back() == ']') {
            file.sections_.push_back(Section{std::string(l.substr(1, l.size() - 2)), {}, {}});
            section = &file.sections_.back();
            continue;
        }
        if (!section) {
            file.preamble_.push_back(line);
            continue;
        }
        Value value;
        value.source = line;
        std::string_view rest = l;
        bool ok = true;
        if (rest.front() == '@') {
            rest.remove_prefix(1);
        } else if (auto name = TakeQuoted(rest)) {
            value.name = std::move(*name);
        } else {
            ok = false;
        }
        rest = TrimLeft(rest);
        if (ok && !rest.empty() && rest.front() == '=') {
            rest = TrimLeft(rest.substr(1));
            if (rest.starts_with("\"")) {
                auto data = TakeQuoted(rest);
                ok = data.has_value();
                value.type = kRegSz;
                if (ok) value.text = UpToZero(std::move(*data));
            } else if (rest.starts_with("dword:")) {
                value.type = kRegDword;
            } else if (rest.starts_with("hex:")) {
                value.type = kRegBinary;
            } else if (rest.starts_with("hex(")) {
                const auto close = rest.find("):");
                std::uint32_t type = 0;
                ok = close != std::string_view::npos && close > 4;
                for (std::size_t i = 4; ok && i < close; ++i) {
                    const int d = HexDigit(rest[i]);
                    ok = d >= 0;
                    type = type * 16 + static_cast<std::uint32_t>(d);
                }
                value.type = type;
                if (ok && (type == kRegSz || type == kRegExpandSz)) {
                    const auto data = HexBytes(rest.substr(close + 2));
                    ok = data.has_value();
                    if (ok && file.unicode_) {
                        std::u16string wide;
                        for (std::size_t i = 0; i + 1 < data->size(); i += 2)
                            wide += static_cast<char16_t>(static_cast<unsigned char>((*data)[i]) |
                                                          static_cast<unsigned char>((*data)[i + 1]) << 8);
                        value.text = UpToZero(text::Utf16ToUtf8(wide));
                    } else if (ok) {
                        value.text = UpToZero(text::Cp1254ToUtf8(*data));
                    }
                }
            } else {
                ok = false;  // "-" (a deletion) and whatever else: kept as it stands
            }
        } else {
            ok = false;
        }
        if (ok)
            section->values.push_back(std::move(value));
        else
            section->otherLines.push_back(line);
    }
    return file;
}

RegFile::Section* RegFile::FindSection(std::string_view path) {
    for (Section& s : sections_)
        if (PathEquals(s.path, path)) return &s;
    return nullptr;
}

const RegFile::Section* RegFile::FindSection(std::string_view path) const {
    for (const Section& s : sections_)
        if (PathEquals(s.path, path)) return &s;
    return nullptr;
}

bool RegFile::HasKey(std::string_view path) const {
    for (const Section& s : sections_)
        if (PathEquals(s.path, path) || IsBelow(s.path, path)) return true;
    return false;
}

const RegFile::Value* RegFile::FindValue(std::string_view path, std::string_view name) const {
    const Section* s = FindSection(path);
    if (!s) return nullptr;
    for (const Value& v : s->values)
        if (text::EqualsNoCase(v.name, name)) return &v;
    return nullptr;
}

void RegFile::AddKey(std::string_view path) {
    if (!FindSection(path)) sections_.push_back(Section{std::string(path), {}, {}});
}

void RegFile::SetString(std::string_view path, std::string_view name, std::string_view value) {
    AddKey(path);
    Section& s = *FindSection(path);
    for (Value& v : s.values) {
        if (text::EqualsNoCase(v.name, name)) {
            v.type = kRegSz;
            v.text = std::string(value);
            v.source.clear();
            return;
        }
    }
    s.values.push_back(Value{std::string(name), kRegSz, std::string(value), {}});
}

std::string RegFile::Text() const {
    std::string out = header_ + "\n\n";
    for (const std::string& line : preamble_) out += line + "\n";
    if (!preamble_.empty()) out += "\n";
    for (const Section& s : sections_) {
        out += "[" + s.path + "]\n";
        for (const Value& v : s.values) {
            if (!v.source.empty()) {
                out += v.source + "\n";
                continue;
            }
            out += v.name.empty() ? std::string("@") : Quote(v.name);
            bool control = false;
            for (const char c : v.text) control = control || static_cast<unsigned char>(c) < 0x20;
            if (!control) {
                out += "=" + Quote(v.text) + "\n";
                continue;
            }
            // Line breaks and tabs have no escape in a quoted .reg string: the hex form of
            // the same string type carries them.
            std::string bytes;
            if (unicode_) {
                for (const char16_t u : text::Utf8ToUtf16(v.text)) {
                    bytes += static_cast<char>(u & 0xFF);
                    bytes += static_cast<char>(u >> 8);
                }
                bytes += std::string(2, '\0');
            } else {
                bytes = text::Utf8ToCp1254(v.text) + '\0';
            }
            static const char digits[] = "0123456789abcdef";
            out += "=hex(1):";
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                const auto b = static_cast<unsigned char>(bytes[i]);
                if (i) out += ',';
                out += digits[b >> 4];
                out += digits[b & 15];
            }
            out += "\n";
        }
        for (const std::string& line : s.otherLines) out += line + "\n";
        out += "\n";
    }
    return out;
}

}  // namespace kurdb::posix
