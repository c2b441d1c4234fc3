#include "app/WindowDef.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "resources/Resources.h"
#include "base/Exception.h"
#include "base/Text.h"

namespace kurdb {
namespace {

const std::map<std::string, ControlKind, std::less<>> kKinds = {
    {"form", ControlKind::Form},      {"label", ControlKind::Label},   {"pages", ControlKind::PageControl},
    {"page", ControlKind::Page},      {"edit", ControlKind::Edit},     {"radio", ControlKind::RadioGroup},
    {"check", ControlKind::CheckBox}, {"button", ControlKind::Button}, {"action", ControlKind::Action},
    {"memo", ControlKind::Memo},
};

// Splits a line into words; a word may hold key="quoted value" with blanks inside the quotes.
std::vector<std::string> Words(std::string_view line, int lineNo) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        std::string word;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            if (line[i] == '"')
                quoted = !quoted;
            else
                word += line[i];
            ++i;
        }
        if (quoted) throw EProgramFault("window.def:" + std::to_string(lineNo) + ": open quote");
        words.push_back(word);
    }
    return words;
}

int ToInt(const std::string& v, int lineNo) {
    try {
        std::size_t used = 0;
        const int n = std::stoi(v, &used);
        if (used != v.size()) throw std::invalid_argument(v);
        return n;
    } catch (const std::exception&) {
        throw EProgramFault("window.def:" + std::to_string(lineNo) + ": not a number: " + v);
    }
}

std::vector<std::string> SplitItems(const std::string& v) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        const auto bar = v.find('|', start);
        items.push_back(v.substr(start, bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return items;
}

}  // namespace

WindowDef WindowDef::Parse(std::string_view text) {
    WindowDef def;
    int lineNo = 0;
    for (const kurdb::text::TextLine& textLine : kurdb::text::SplitLines(
             text, kurdb::text::LineBreaks::LfWithCr, kurdb::text::FinalBreak::EndsText)) {
        const std::string_view line = textLine.text;
        ++lineNo;
        const auto words = Words(line, lineNo);
        if (words.empty() || words[0][0] == '#') continue;
        const auto where = "window.def:" + std::to_string(lineNo) + ": ";
        const auto kind = kKinds.find(words[0]);
        if (kind == kKinds.end()) throw EProgramFault(where + "unknown kind " + words[0]);
        if (words.size() < 2) throw EProgramFault(where + "control without a name");
        ControlDef c;
        c.kind = kind->second;
        c.name = words[1];
        for (std::size_t w = 2; w < words.size(); ++w) {
            const std::string& word = words[w];
            const auto eq = word.find('=');
            const std::string key = word.substr(0, eq);
            const std::string value = eq == std::string::npos ? std::string() : word.substr(eq + 1);
            if (eq == std::string::npos) {
                if (key == "bold")
                    c.font.bold = true;
                else if (key == "password")
                    c.password = true;
                else
                    throw EProgramFault(where + "unknown flag " + key);
            } else if (key == "parent")
                c.parent = value;
            else if (key == "caption")
                c.caption = value;
            else if (key == "text")
                c.text = value;
            else if (key == "left")
                c.left = ToInt(value, lineNo);
            else if (key == "top")
                c.top = ToInt(value, lineNo);
            else if (key == "width")
                c.width = ToInt(value, lineNo);
            else if (key == "height")
                c.height = ToInt(value, lineNo);
            else if (key == "font")
                c.font.face = value;
            else if (key == "size")
                c.font.pixelHeight = ToInt(value, lineNo);
            else if (key == "tab")
                c.tabOrder = ToInt(value, lineNo);
            else if (key == "checked")
                c.checked = ToInt(value, lineNo) != 0;
            else if (key == "index")
                c.itemIndex = ToInt(value, lineNo);
            else if (key == "columns")
                c.columns = ToInt(value, lineNo);
            else if (key == "items")
                c.items = SplitItems(value);
            else if (key == "tag")
                c.tag = ToInt(value, lineNo);
            else if (key == "active")
                c.activePage = ToInt(value, lineNo);
            else if (key == "align")
                c.centred = value == "center";
            else if (key == "scroll") { /* the memo always scrolls both ways */
            } else
                throw EProgramFault(where + "unknown key " + key);
        }
        if (def.controls_.empty() != (c.kind == ControlKind::Form))
            throw EProgramFault(where + "the form must come first, and only once");
        if (c.kind != ControlKind::Form) {
            const bool parentKnown = std::any_of(def.controls_.begin(), def.controls_.end(),
                                                 [&](const ControlDef& p) { return p.name == c.parent; });
            if (!parentKnown) throw EProgramFault(where + "unknown parent " + c.parent);
        }
        def.controls_.push_back(std::move(c));
    }
    if (def.controls_.empty()) throw EProgramFault("window.def: no form");
    return def;
}

const WindowDef& WindowDef::Embedded() {
    static const WindowDef def = Parse(resources::Find("window.def"));
    return def;
}

const ControlDef& WindowDef::Find(std::string_view name) const {
    for (const ControlDef& c : controls_)
        if (c.name == name) return c;
    throw EProgramFault("no control named " + std::string(name));
}

std::vector<const ControlDef*> WindowDef::ChildrenOf(std::string_view parent) const {
    std::vector<const ControlDef*> out;
    for (const ControlDef& c : controls_)
        if (c.parent == parent) out.push_back(&c);
    return out;
}

std::vector<const ControlDef*> WindowDef::TabOrderOf(std::string_view parent) const {
    std::vector<const ControlDef*> out;
    for (const ControlDef* c : ChildrenOf(parent))
        if (c->tabOrder >= 0 && c->kind != ControlKind::Action) out.push_back(c);
    std::stable_sort(out.begin(), out.end(),
                     [](const ControlDef* a, const ControlDef* b) { return a->tabOrder < b->tabOrder; });
    return out;
}

std::vector<const ControlDef*> WindowDef::PagesOf(std::string_view pageControl) const {
    std::vector<const ControlDef*> out;
    for (const ControlDef* c : ChildrenOf(pageControl))
        if (c->kind == ControlKind::Page) out.push_back(c);
    return out;
}

std::string StripAccessKey(std::string_view caption) {
    std::string out;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        out += caption[i];
    }
    return out;
}

char AccessKeyOf(std::string_view caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return text::AsciiUpper(caption.substr(i + 1, 1))[0];
    }
    return 0;
}

}  // namespace kurdb
