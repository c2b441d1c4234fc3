#include "db/ProcedureCall.h"

#include "db/Errors.h"
#include "db/SqlTemplate.h"
#include "base/Text.h"

namespace kurdb::db {

ProcedureCall::ProcedureCall(std::string name, IStatementConnection* connection, std::string procedureName,
                             std::vector<ProcParam> params)
    : name_(std::move(name)),
      connection_(connection),
      procedureName_(std::move(procedureName)),
      params_(std::move(params)) {
    if (connection_) connection_->Attach(*this);
}

ProcedureCall::~ProcedureCall() {
    if (connection_) connection_->Detach(*this);
}

ProcParam* ProcedureCall::Find(std::string_view param) {
    for (auto& p : params_)
        if (text::EqualsNoCase(p.name, param)) return &p;
    return nullptr;
}

void ProcedureCall::SetParam(std::string_view param, std::string value) {
    ProcParam* p = Find(param);
    if (!p) throw EDatabaseError(name_, Format(texts::kParameterNotFound, param));
    p->value = std::move(value);
}

const std::optional<std::string>& ProcedureCall::ParamValue(std::string_view param) const {
    for (const auto& p : params_)
        if (text::EqualsNoCase(p.name, param)) return p.value;
    throw EDatabaseError(name_, Format(texts::kParameterNotFound, param));
}

void ProcedureCall::FetchParams() {
    // "owner.procedure" (or "db.owner.procedure"): sp_sproc_columns wants the parts apart.
    std::vector<std::string> parts{""};
    for (char c : text::TrimControl(procedureName_)) {
        if (c == '.')
            parts.emplace_back();
        else
            parts.back() += c;
    }
    const std::string procedure = parts.back();
    const std::string owner = parts.size() >= 2 ? parts[parts.size() - 2] : std::string();
    std::string sql = "EXEC sp_sproc_columns @procedure_name = " + SqlLiteral(procedure);
    if (!owner.empty()) sql += ", @procedure_owner = " + SqlLiteral(owner);
    const auto results = connection_->RunBatch(sql, true);
    if (results.empty()) return;
    const ResultSet& rs = results.front();
    std::size_t nameColumn = rs.columns.size(), typeColumn = rs.columns.size();
    for (std::size_t i = 0; i < rs.columns.size(); ++i) {
        if (text::EqualsNoCase(rs.columns[i], "COLUMN_NAME")) nameColumn = i;
        if (text::EqualsNoCase(rs.columns[i], "COLUMN_TYPE")) typeColumn = i;
    }
    if (nameColumn == rs.columns.size() || typeColumn == rs.columns.size()) return;
    for (const auto& row : rs.rows) {
        const std::string kind = row[typeColumn].value_or("");
        const std::string column = row[nameColumn].value_or("");
        if (kind == "5")  // SQL_RETURN_VALUE
            params_.push_back({"Result", ProcParam::DataType::Int32, ProcParam::Direction::Result, {}});
        else if (kind == "1" || kind == "2" || kind == "4")  // input, input/output, output
            params_.push_back({column, ProcParam::DataType::String, ProcParam::Direction::Input, {}});
    }
}

void ProcedureCall::Prepare() {
    if (prepared_) return;
    if (!connection_ || !connection_->IsConnected()) throw EDatabaseError(name_, texts::kNotConnected);
    if (params_.empty()) FetchParams();
    for (const auto& p : params_) {
        if (p.type == ProcParam::DataType::Unknown)
            throw EDatabaseError(name_, Format(texts::kNoValueForParameter, p.name));
        if (p.direction == ProcParam::Direction::Unknown)
            throw EDatabaseError(name_, Format(texts::kNoParameterType, p.name));
    }
    prepared_ = true;
}

std::string ProcedureCall::CallText() const {
    std::string sql = "DECLARE @RETURN_VALUE int\r\nEXEC @RETURN_VALUE = ";
    sql += text::TrimControl(procedureName_);
    bool first = true;
    for (const auto& p : params_) {
        if (p.direction != ProcParam::Direction::Input) continue;
        sql += first ? " " : ", ";
        first = false;
        if (p.name.empty() || p.name.front() != '@') sql += '@';
        sql += p.name;
        sql += " = ";
        sql += p.value ? SqlLiteral(*p.value) : "NULL";
    }
    sql += "\r\nSELECT @RETURN_VALUE AS Result";
    return sql;
}

void ProcedureCall::Execute() {
    Prepare();
    const auto results = connection_->RunBatch(CallText(), true);
    // The last result that carries "Result" is ours; a procedure may return rows of its own.
    for (auto it = results.rbegin(); it != results.rend(); ++it)
        for (std::size_t i = 0; i < it->columns.size(); ++i)
            if (text::EqualsNoCase(it->columns[i], "Result") && !it->rows.empty()) {
                for (auto& p : params_)
                    if (p.direction == ProcParam::Direction::Result) p.value = it->rows.front()[i];
                return;
            }
}

}  // namespace kurdb::db
