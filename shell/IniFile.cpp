#include "shell/IniFile.h"

#include "base/Text.h"

namespace kurdb {
namespace {

std::string_view Trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

// The section name of a "[name]" line, or nullopt for any other line.
std::optional<std::string_view> SectionOf(std::string_view line) {
    const std::string_view t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return std::nullopt;
    const auto close = t.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

// Key and raw value of a "key=value" line; nullopt for comments and other lines.
std::optional<std::pair<std::string_view, std::string_view>> EntryOf(std::string_view line) {
    const std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';') return std::nullopt;
    const auto eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return std::make_pair(Trim(t.substr(0, eq)), Trim(t.substr(eq + 1)));
}

}  // namespace

IniText::IniText(std::string_view text) {
    // Each line keeps its own break ("\r\n", "\n", or none), so the text is written back byte
    // for byte.
    for (const kurdb::text::TextLine& line :
         kurdb::text::SplitLines(text, kurdb::text::LineBreaks::LfWithCr, kurdb::text::FinalBreak::EndsText))
        lines_.push_back({std::string(line.text), std::string(line.end)});
}

std::optional<std::string> IniText::Get(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (const Line& l : lines_) {
        const std::string& line = l.text;
        if (auto s = SectionOf(line)) {
            inSection = text::EqualsNoCase(*s, section);
            continue;
        }
        if (!inSection) continue;
        if (auto e = EntryOf(line); e && text::EqualsNoCase(e->first, key)) {
            std::string_view v = e->second;
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
                v = v.substr(1, v.size() - 2);
            return std::string(v);
        }
    }
    return std::nullopt;
}

void IniText::Set(std::string_view section, std::string_view key, std::string_view value) {
    std::string newLine = std::string(key) + "=" + std::string(value);
    std::optional<std::size_t> sectionEnd;  // index after the last line of the first match
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const std::string& line = lines_[i].text;
        if (auto s = SectionOf(line)) {
            if (inSection) break;
            inSection = text::EqualsNoCase(*s, section);
            if (inSection) sectionEnd = i + 1;
            continue;
        }
        if (!inSection) continue;
        if (auto e = EntryOf(line); e && text::EqualsNoCase(e->first, key)) {
            // keep the key's spelling as the file has it
            lines_[i].text = std::string(e->first) + "=" + std::string(value);
            return;
        }
        if (!Trim(line).empty()) sectionEnd = i + 1;
    }
    // a last line without a line break gets one before anything is added after it
    const auto breakBefore = [this](std::size_t at) {
        if (at > 0 && lines_[at - 1].end.empty()) lines_[at - 1].end = "\r\n";
    };
    if (sectionEnd) {
        breakBefore(*sectionEnd);
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*sectionEnd), {newLine, "\r\n"});
        return;
    }
    breakBefore(lines_.size());
    lines_.push_back({"[" + std::string(section) + "]", "\r\n"});
    lines_.push_back({newLine, "\r\n"});
}

std::string IniText::Text() const {
    std::string out;
    for (const Line& l : lines_) {
        out += l.text;
        out += l.end;
    }
    return out;
}

}  // namespace kurdb
