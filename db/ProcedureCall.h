#pragma once
// A stored procedure with a fixed list of "@" parameters, e.g. `StoredProcAdLog`.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/StatementConnection.h"

namespace kurdb::db {

struct ProcParam {
    enum class DataType { Unknown, Int32, String };
    enum class Direction { Unknown, Input, Result };
    std::string name;  // "@loginame"; the return status is named "Result"
    DataType type = DataType::Unknown;
    Direction direction = Direction::Unknown;
    std::optional<std::string> value;  // NULL until bound
};

class ProcedureCall final : private ISessionMember {
public:
    // `procedureName` as the definition gives it; surrounding blanks are dropped when it is
    // called ("dbo.sp_defaultlanguage " calls dbo.sp_defaultlanguage). Registers with `connection`,
    // which must outlive the call.
    ProcedureCall(std::string name, IStatementConnection* connection, std::string procedureName,
                  std::vector<ProcParam> params);
    ~ProcedureCall();
    ProcedureCall(const ProcedureCall&) = delete;
    ProcedureCall& operator=(const ProcedureCall&) = delete;

    const std::string& Name() const { return name_; }
    const std::string& ProcedureName() const { return procedureName_; }
    const std::vector<ProcParam>& Params() const { return params_; }

    // Binds the first parameter of that name (letter case ignored) to `value`. Throws
    // EDatabaseError "<name>: Parameter '<param>' not found".
    void SetParam(std::string_view param, std::string value);

    // The current value of a parameter ("Result" after Execute); nullopt for NULL. Throws
    // EDatabaseError "Parameter '<param>' not found".
    const std::optional<std::string>& ParamValue(std::string_view param) const;

    // Makes the call ready; nothing when prepared already. Throws EDatabaseError
    // "'<param>' parametresi için değer yok" for a parameter without data type, "No parameter
    // type for parameter '<param>'" for one without direction, "Veritabanı bağlantısı açık
    // değil" without an open connection. A definition without parameters takes its list from
    // the server's description of the procedure (sp_sproc_columns), the return value named
    // "Result".
    void Prepare();
    bool Prepared() const { return prepared_; }

    // The batch Execute sends:
    //   DECLARE @RETURN_VALUE int
    //   EXEC @RETURN_VALUE = <procedure> @a = N'...', @b = NULL
    //   SELECT @RETURN_VALUE AS Result
    // every input given by its name, NULL when unbound.
    std::string CallText() const;

    // Prepares when needed, calls the procedure, waits for it to end and puts its return
    // status into the Result parameter. Throws EDBEngineError when the procedure or the server
    // reports an error; a non-zero return status raises nothing.
    void Execute();

private:
    void ReleaseOnDisconnect() override { prepared_ = false; }
    void FetchParams();
    ProcParam* Find(std::string_view param);

    std::string name_;
    IStatementConnection* connection_;
    std::string procedureName_;
    std::vector<ProcParam> params_;
    bool prepared_ = false;
};

}  // namespace kurdb::db
