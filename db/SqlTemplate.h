#pragma once
// A statement held as text lines with named markers (":Name"), e.g. `QFirmaDB`.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/StatementConnection.h"

namespace kurdb::db {

// The text split at its markers: pieces.size() == names.size() + 1, and the text sent is
// pieces[0] + value of names[0] + pieces[1] + ... Markers:
//  - a flag tells whether the scan is inside a literal; each of ' " ` toggles it;
//  - outside a literal "::" is an escaped colon (one ":" in the text sent, no marker);
//  - outside a literal any other ":" begins a marker; its name runs up to, not including, the
//    end of the text, a blank, ",", ";", ")", CR or LF, none of which ends it while a quote
//    inside the name has the literal flag on; a name that starts with a quote is the quoted
//    text without its first and last quote characters.
struct ParsedSql {
    std::vector<std::string> pieces;
    std::vector<std::string> names;
};
ParsedSql ParseMarkers(std::string_view text);

// A character string as a T-SQL literal: N'...' with every ' doubled (N so that text outside
// the database's code page arrives intact and is converted only where it is stored).
std::string SqlLiteral(std::string_view value);

// One marker's parameter. An unbound parameter has no value; `typed` says it has a value type
// (bound by SetParam, or typed by the component's definition) and so may be sent, as NULL
// when it has no value.
struct SqlParam {
    std::string name;
    std::optional<std::string> value;
    bool typed = false;
};

// A result column that the component declares; only these can be read.
struct ColumnDef {
    enum class Type { String, Int16, Int32 };
    std::string name;
    Type type = Type::String;
    int size = 0;  // characters, for strings
};

class SqlTemplate final : private ISessionMember {
public:
    // `connection` is the one the template runs on, nullptr for a template that only holds lines.
    // `typedParams` names parameters that the definition types as strings (sent as NULL until bound).
    // Registers with `connection`, which must outlive the template.
    SqlTemplate(std::string name, IStatementConnection* connection, std::vector<std::string> lines,
                std::vector<ColumnDef> columns = {}, std::vector<std::string> typedParams = {});
    ~SqlTemplate();
    SqlTemplate(const SqlTemplate&) = delete;
    SqlTemplate& operator=(const SqlTemplate&) = delete;

    const std::string& Name() const { return name_; }

    // Lines, indexed from 0. GetLine/SetLine throw EListError for an index outside the lines.
    // SetLine, ClearLines and AddLine release held rows and re-derive the parameters: a fresh
    // list from the markers, the k-th marker of a name taking the value and type of the k-th
    // old parameter of that name (letter case ignored), so a value bound before a line change
    // survives while its marker stays in the text.
    int LineCount() const { return static_cast<int>(lines_.size()); }
    const std::string& GetLine(int index) const;
    void SetLine(int index, std::string text);
    void ClearLines();
    void AddLine(std::string text);
    const std::vector<std::string>& Lines() const { return lines_; }

    // The lines joined, each followed by CR LF.
    std::string Text() const;

    const std::vector<SqlParam>& Params() const { return params_; }

    // Binds the first parameter of that name (letter case ignored) to `value` as a string.
    // Throws EDatabaseError "<name>: Parameter '<param>' not found".
    void SetParam(std::string_view param, std::string value);

    // The batch that Execute would send: the text with every marker replaced by its value as a
    // literal (NULL for a typed, unbound one). Throws EDatabaseError "Sql cümlesi mevcut
    // değil" without lines, "'<param>' parametresi için değer yok" for an untyped parameter.
    std::string BatchText() const;

    // Runs the text as one batch and keeps no rows. Throws EDatabaseError "Cannot perform this
    // operation on an open dataset" while rows are held, the errors of BatchText, "Veritabanı
    // bağlantısı açık değil" when the connection is closed or there is none; EDBEngineError
    // when the server reports an error.
    void Execute();

    // As Execute, then keeps the rows of the batch's first result that has columns, the first
    // row current. Does nothing while rows are held: the text is not run again. Throws
    // EDatabaseError "Field '<column>' not found" when the result lacks a declared column.
    void OpenRows();
    void CloseRows() { held_.reset(); }
    bool HoldsRows() const { return held_.has_value(); }

    // Number of held rows. Throws EDatabaseError "Cannot perform this operation on a closed
    // dataset" when none are held.
    int RowCount() const;

    // A declared column of the current row. Without a current row (no rows came back) and for
    // NULL: true / 0 / "". Throw EDatabaseError "Field '<column>' not found" for a column that
    // is not declared, "Cannot perform this operation on a closed dataset" when no rows are
    // held; FieldAsInteger throws kurdb::Exception for text that is not a 32-bit integer.
    bool FieldIsNull(std::string_view column) const;
    std::int32_t FieldAsInteger(std::string_view column) const;
    std::string FieldAsString(std::string_view column) const;

private:
    struct Held {
        std::vector<std::size_t> columnIndex;  // per declared column, its index in the result
        std::vector<ResultSet::Row> rows;
    };

    void ReleaseOnDisconnect() override { CloseRows(); }
    void Rederive();
    void RequireConnection() const;
    const std::optional<std::string>& Field(std::string_view column) const;

    std::string name_;
    IStatementConnection* connection_;
    std::vector<std::string> lines_;
    std::vector<ColumnDef> columns_;
    std::vector<SqlParam> params_;
    std::optional<Held> held_;
};

}  // namespace kurdb::db
