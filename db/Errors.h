#pragma once
// The two error kinds of the database layer.
//
// EDBEngineError: the driver manager, the SQL Server driver or the server refused an operation.
// Its message is composed from the diagnostic records (ComposeEngineMessage) and the records are
// kept for inspection.
// EDatabaseError: a check of the layer itself failed; message = component name + ": " + text.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exception.h"

namespace kurdb::db {

// One diagnostic record as SQLGetDiagRecW gave it (text converted to UTF-8, untouched).
struct DiagRecord {
    std::string sqlState;      // five characters, "42S02"
    std::int32_t nativeError;  // the server's error number; 0 for the client's own records
    std::string text;          // "[FreeTDS][SQL Server]Invalid object name 'x'."

    bool operator==(const DiagRecord&) const = default;
};

// The client's general description of an SQLSTATE: a few frequent codes have their own, every
// other code gets the description of its class (the first two characters); an unknown class
// gets "Genel SQL hatası.".
std::string GeneralDescription(std::string_view sqlState);

// A record's text without the "[vendor][component]" prefixes that drivers and driver managers
// put in front ("[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]", "[FreeTDS][SQL Server]",
// "[unixODBC][Driver Manager]"), and without blanks and control characters at either end.
std::string StripDriverPrefixes(std::string_view text);

// The message of a database error:
//  1. the general description of the reported error (the first record that is not a warning,
//     class "01"; the first record when all are warnings);
//  2. for each record in order: when it carries no server error number (native 0), the general
//     description of its own SQLSTATE; then its text, prefixes stripped (StripDriverPrefixes);
//  empty lines and lines equal to an earlier one (ignoring letter case) are left out; the lines
// are joined by CR LF, with none after the last. With no lines at all the message is
// "BDE hatası $XXXX", `code` as four upper-case hex digits (the ODBC return code as 16 bits).
std::string ComposeEngineMessage(const std::vector<DiagRecord>& records, std::int16_t code);

class EDBEngineError : public Exception {
public:
    // An error reported by ODBC: records from SQLGetDiagRecW, `code` the failing call's return.
    EDBEngineError(std::vector<DiagRecord> records, std::int16_t code);
    // An error found by the client itself before ODBC could report anything (driver manager
    // not loadable, an entry point missing, no SQL Server driver registered).
    explicit EDBEngineError(std::string message);

    const std::vector<DiagRecord>& Records() const noexcept { return records_; }

private:
    std::vector<DiagRecord> records_;
};

class EDatabaseError : public Exception {
public:
    EDatabaseError(std::string_view component, std::string_view text);

    const std::string& Component() const noexcept { return component_; }
    // The message without the component's name.
    const std::string& Text() const noexcept { return text_; }

private:
    std::string component_;
    std::string text_;
};

// The texts of EDatabaseError, "%s" where a name goes.
namespace texts {
inline constexpr std::string_view kParameterNotFound = "Parameter '%s' not found";
inline constexpr std::string_view kNoValueForParameter = "'%s' parametresi için değer yok";
inline constexpr std::string_view kNoParameterType = "No parameter type for parameter '%s'";
inline constexpr std::string_view kNoSqlStatement = "Sql cümlesi mevcut değil";
inline constexpr std::string_view kDataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr std::string_view kDataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr std::string_view kFieldNotFound = "Field '%s' not found";
inline constexpr std::string_view kDatabaseOpen = "Bu işlem açık veritabanında gerçekleştirilemez";
// A statement run while its connection is closed, or on a component bound to no connection.
inline constexpr std::string_view kNotConnected = "Veritabanı bağlantısı açık değil";
// A named instance whose port no SQL Server Browser gave; first the instance, then the server.
inline constexpr std::string_view kInstanceNotFound =
    "'%s' SQL Server örneği '%s' sunucusunda bulunamadı: SQL Server Browser (UDP 1434) bu örneğin "
    "portunu bildirmedi.\r\nÖrnek adını, sunucunun açık ve erişilebilir olduğunu, SQL Server Browser "
    "hizmetinin çalıştığını denetleyin ya da portu sunucu adının sonuna yazın (sunucu\\örnek,port).";
// A server that did not complete the login in time, whatever it did meanwhile (nothing at all,
// a pre-login and then nothing, a stalled TLS handshake, answers too slow); first the server as
// typed, then the seconds.
inline constexpr std::string_view kServerNoAnswer =
    "'%s' sunucusu %s saniye içinde cevap vermedi; bağlantı kurulamadı.\r\nSunucu adını, sunucunun "
    "açık ve ağdan erişilebilir olduğunu denetleyin.";
}  // namespace texts

// `pattern` with its "%s" replaced by `name`.
std::string Format(std::string_view pattern, std::string_view name);

}  // namespace kurdb::db
