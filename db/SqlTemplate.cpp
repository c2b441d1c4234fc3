#include "db/SqlTemplate.h"

#include <charconv>
#include <limits>

#include "db/Errors.h"
#include "base/Text.h"

namespace kurdb::db {
namespace {

bool IsQuote(char c) {
    return c == '\'' || c == '"' || c == '`';
}

bool EndsName(char c) {
    return c == ' ' || c == ',' || c == ';' || c == ')' || c == '\r' || c == '\n';
}

}  // namespace

ParsedSql ParseMarkers(std::string_view text) {
    ParsedSql out;
    std::string piece;
    bool literal = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ':' && !literal) {
            if (i + 1 < text.size() && text[i + 1] == ':') {
                piece += ':';
                i += 2;
                continue;
            }
            const std::size_t start = i + 1;
            const bool quotedName = start < text.size() && IsQuote(text[start]);
            std::size_t end = start;
            // The literal flag is shared with the rest of the text: a quote left open in a name
            // stays open after it, as the scan has always worked.
            while (end < text.size() && (literal || !EndsName(text[end]))) {
                if (IsQuote(text[end])) literal = !literal;
                ++end;
            }
            std::string name(text.substr(start, end - start));
            if (quotedName) {
                name.erase(0, 1);
                if (!name.empty() && IsQuote(name.back())) name.pop_back();
            }
            out.pieces.push_back(std::move(piece));
            piece.clear();
            out.names.push_back(std::move(name));
            i = end;
            continue;
        }
        if (IsQuote(c)) literal = !literal;
        piece += c;
        ++i;
    }
    out.pieces.push_back(std::move(piece));
    return out;
}

std::string SqlLiteral(std::string_view value) {
    std::string out = "N'";
    for (char c : value) {
        out += c;
        if (c == '\'') out += '\'';
    }
    out += '\'';
    return out;
}

SqlTemplate::SqlTemplate(std::string name, IStatementConnection* connection, std::vector<std::string> lines,
                         std::vector<ColumnDef> columns, std::vector<std::string> typedParams)
    : name_(std::move(name)),
      connection_(connection),
      lines_(std::move(lines)),
      columns_(std::move(columns)) {
    Rederive();
    for (const auto& typed : typedParams)
        for (auto& p : params_)
            if (text::EqualsNoCase(p.name, typed)) p.typed = true;
    if (connection_) connection_->Attach(*this);
}

SqlTemplate::~SqlTemplate() {
    if (connection_) connection_->Detach(*this);
}

const std::string& SqlTemplate::GetLine(int index) const {
    if (index < 0 || index >= LineCount()) throw EListError(index);
    return lines_[static_cast<std::size_t>(index)];
}

void SqlTemplate::SetLine(int index, std::string text) {
    if (index < 0 || index >= LineCount()) throw EListError(index);
    lines_[static_cast<std::size_t>(index)] = std::move(text);
    Rederive();
}

void SqlTemplate::ClearLines() {
    lines_.clear();
    Rederive();
}

void SqlTemplate::AddLine(std::string text) {
    lines_.push_back(std::move(text));
    Rederive();
}

std::string SqlTemplate::Text() const {
    std::string out;
    for (const auto& line : lines_) {
        out += line;
        out += "\r\n";
    }
    return out;
}

void SqlTemplate::Rederive() {
    held_.reset();
    const ParsedSql parsed = ParseMarkers(Text());
    std::vector<SqlParam> fresh;
    fresh.reserve(parsed.names.size());
    for (const auto& n : parsed.names) fresh.push_back({n, std::nullopt, false});
    // The k-th marker of a name takes the value of the k-th old marker of that name. For names
    // that occur once (every statement of the wizard) that is simply "by name"; for a repeated
    // name it keeps a bound first marker from being overwritten by an unbound second one.
    auto occurrence = [](const std::vector<SqlParam>& list, std::size_t index) {
        std::size_t k = 0;
        for (std::size_t i = 0; i < index; ++i)
            if (text::EqualsNoCase(list[i].name, list[index].name)) ++k;
        return k;
    };
    for (std::size_t i = 0; i < fresh.size(); ++i) {
        const std::size_t wanted = occurrence(fresh, i);
        std::size_t seen = 0;
        for (const auto& old : params_) {
            if (!text::EqualsNoCase(old.name, fresh[i].name)) continue;
            if (seen++ == wanted) {
                fresh[i].value = old.value;
                fresh[i].typed = old.typed;
                break;
            }
        }
    }
    params_ = std::move(fresh);
}

void SqlTemplate::SetParam(std::string_view param, std::string value) {
    for (auto& p : params_)
        if (text::EqualsNoCase(p.name, param)) {
            p.value = std::move(value);
            p.typed = true;
            return;
        }
    throw EDatabaseError(name_, Format(texts::kParameterNotFound, param));
}

std::string SqlTemplate::BatchText() const {
    const std::string text = Text();
    if (lines_.empty() || text.size() < 2) throw EDatabaseError(name_, texts::kNoSqlStatement);
    for (const auto& p : params_)
        if (!p.typed) throw EDatabaseError(name_, Format(texts::kNoValueForParameter, p.name));
    const ParsedSql parsed = ParseMarkers(text);
    std::string out = parsed.pieces.front();
    for (std::size_t i = 0; i < parsed.names.size(); ++i) {
        const auto& value = params_[i].value;
        out += value ? SqlLiteral(*value) : "NULL";
        out += parsed.pieces[i + 1];
    }
    return out;
}

void SqlTemplate::RequireConnection() const {
    if (!connection_ || !connection_->IsConnected()) throw EDatabaseError(name_, texts::kNotConnected);
}

void SqlTemplate::Execute() {
    if (held_) throw EDatabaseError(name_, texts::kDataSetOpen);
    const std::string sql = BatchText();
    RequireConnection();
    connection_->RunBatch(sql, false);
}

void SqlTemplate::OpenRows() {
    if (held_) return;
    const std::string sql = BatchText();
    RequireConnection();
    auto results = connection_->RunBatch(sql, true);
    ResultSet result = results.empty() ? ResultSet{} : std::move(results.front());
    Held held;
    for (const auto& column : columns_) {
        std::size_t found = result.columns.size();
        for (std::size_t i = 0; i < result.columns.size(); ++i)
            if (text::EqualsNoCase(result.columns[i], column.name)) {
                found = i;
                break;
            }
        if (found == result.columns.size())
            throw EDatabaseError(name_, Format(texts::kFieldNotFound, column.name));
        held.columnIndex.push_back(found);
    }
    held.rows = std::move(result.rows);
    held_ = std::move(held);
}

int SqlTemplate::RowCount() const {
    if (!held_) throw EDatabaseError(name_, texts::kDataSetClosed);
    return static_cast<int>(held_->rows.size());
}

const std::optional<std::string>& SqlTemplate::Field(std::string_view column) const {
    static const std::optional<std::string> kNull;
    std::size_t declared = columns_.size();
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (text::EqualsNoCase(columns_[i].name, column)) {
            declared = i;
            break;
        }
    if (declared == columns_.size()) throw EDatabaseError(name_, Format(texts::kFieldNotFound, column));
    if (!held_) throw EDatabaseError(name_, texts::kDataSetClosed);
    if (held_->rows.empty()) return kNull;
    const auto& row = held_->rows.front();
    const std::size_t index = held_->columnIndex[declared];
    return index < row.size() ? row[index] : kNull;
}

bool SqlTemplate::FieldIsNull(std::string_view column) const {
    return !Field(column).has_value();
}

std::int32_t SqlTemplate::FieldAsInteger(std::string_view column) const {
    const auto& value = Field(column);
    if (!value) return 0;
    const std::string_view digits = text::TrimControl(*value);
    std::int64_t n = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
        n < std::numeric_limits<std::int32_t>::min() || n > std::numeric_limits<std::int32_t>::max())
        throw Exception("'" + *value + "' is not a valid integer value");
    return static_cast<std::int32_t>(n);
}

std::string SqlTemplate::FieldAsString(std::string_view column) const {
    const auto& value = Field(column);
    return value ? *value : std::string();
}

}  // namespace kurdb::db
