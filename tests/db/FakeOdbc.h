#pragma once
// A driver manager in memory, handed to OdbcEngine as its entry-point table. ODBC's C entry
// points carry no context, so the table's functions reach the FakeOdbc that the running test
// made current (Scope). It counts live handles and answers each batch with a scripted list of
// results, each ok or failing with its records. Rows are not simulated: the integration tests
// read rows through the real stack.
#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "db/Errors.h"
#include "db/OdbcApi.h"
#include "shell/Text.h"

namespace kurdb::test {

namespace odbc = db::odbc;
using namespace db::odbc;

class FakeOdbc {
public:
    using Result = std::vector<db::DiagRecord>;  // empty: a result that succeeds

    std::vector<std::string> drivers{"FreeTDS"};
    std::string odbcVersion = "03.52";
    SQLRETURN allocEnvResult = SQL_SUCCESS;
    std::vector<db::DiagRecord> connectErrors;  // non-empty: SQLDriverConnectW fails
    std::function<std::vector<Result>(const std::string&)> answer = [](const std::string&) {
        return std::vector<Result>{Result{}};
    };

    std::vector<std::string> connectionStrings;
    std::vector<SQLUSMALLINT> completions;
    std::vector<std::string> batches;
    std::intptr_t odbcVersionAttr = 0;
    int disconnects = 0;
    int moreResultsCalls = 0;
    std::size_t LiveHandles() const { return live_.size(); }

    class Scope {
    public:
        explicit Scope(FakeOdbc& fake) { Current() = &fake; }
        ~Scope() { Current() = nullptr; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

    static odbc::Api Table() {
        odbc::Api api;
        api.SQLAllocHandle = [](SQLSMALLINT type, SQLHANDLE, SQLHANDLE* out) -> SQLRETURN {
            *out = nullptr;
            if (type == SQL_HANDLE_ENV && F().allocEnvResult != SQL_SUCCESS) return F().allocEnvResult;
            *out = *F().live_.insert(new Handle()).first;
            return SQL_SUCCESS;
        };
        api.SQLFreeHandle = [](SQLSMALLINT, SQLHANDLE h) -> SQLRETURN {
            if (!F().live_.erase(H(h))) return SQL_INVALID_HANDLE;
            delete H(h);
            return SQL_SUCCESS;
        };
        api.SQLSetEnvAttr = [](SQLHENV, SQLINTEGER attr, SQLPOINTER value, SQLINTEGER) -> SQLRETURN {
            if (attr == SQL_ATTR_ODBC_VERSION) F().odbcVersionAttr = reinterpret_cast<std::intptr_t>(value);
            return SQL_SUCCESS;
        };
        api.SQLDriversW = [](SQLHENV h, SQLUSMALLINT direction, SQLWCHAR* name, SQLSMALLINT room,
                             SQLSMALLINT* length, SQLWCHAR*, SQLSMALLINT, SQLSMALLINT*) -> SQLRETURN {
            std::size_t& next = H(h)->position;
            if (direction == SQL_FETCH_FIRST) next = 0;
            if (next >= F().drivers.size()) return SQL_NO_DATA;
            *length = Copy(F().drivers[next++], name, room);
            return SQL_SUCCESS;
        };
        api.SQLGetInfoW = [](SQLHDBC, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT bytes,
                             SQLSMALLINT* length) -> SQLRETURN {
            if (type != SQL_ODBC_VER) return SQL_ERROR;
            *length = static_cast<SQLSMALLINT>(
                2 * Copy(F().odbcVersion, static_cast<SQLWCHAR*>(value), bytes / 2));
            return SQL_SUCCESS;
        };
        api.SQLDriverConnectW = [](SQLHDBC h, SQLHWND, SQLWCHAR* in, SQLSMALLINT inLength, SQLWCHAR*,
                                   SQLSMALLINT, SQLSMALLINT*, SQLUSMALLINT completion) -> SQLRETURN {
            F().connectionStrings.push_back(text::Utf16ToUtf8(std::u16string_view(in, static_cast<std::size_t>(inLength))));
            F().completions.push_back(completion);
            H(h)->diag = F().connectErrors;
            return F().connectErrors.empty() ? SQL_SUCCESS : SQL_ERROR;
        };
        api.SQLDisconnect = [](SQLHDBC) -> SQLRETURN {
            ++F().disconnects;
            return SQL_SUCCESS;
        };
        // Like unixODBC, a statement whose SQLExecDirectW failed is closed: SQLMoreResults then
        // says SQL_NO_DATA at once.
        api.SQLExecDirectW = [](SQLHSTMT h, SQLWCHAR* sql, SQLINTEGER length) -> SQLRETURN {
            Handle* s = H(h);
            F().batches.push_back(text::Utf16ToUtf8(std::u16string_view(sql, static_cast<std::size_t>(length))));
            s->results = F().answer(F().batches.back());
            s->position = 0;
            const SQLRETURN rc = Enter(*s);
            if (rc == SQL_ERROR) s->results.clear();
            return rc;
        };
        api.SQLMoreResults = [](SQLHSTMT h) -> SQLRETURN {
            ++F().moreResultsCalls;
            ++H(h)->position;
            return Enter(*H(h));
        };
        api.SQLNumResultCols = [](SQLHSTMT, SQLSMALLINT* count) -> SQLRETURN {
            *count = 0;
            return SQL_SUCCESS;
        };
        api.SQLDescribeColW = [](SQLHSTMT, SQLUSMALLINT, SQLWCHAR*, SQLSMALLINT, SQLSMALLINT*,
                                 SQLSMALLINT*, SQLULEN*, SQLSMALLINT*, SQLSMALLINT*) -> SQLRETURN {
            return SQL_ERROR;
        };
        api.SQLFetch = [](SQLHSTMT) -> SQLRETURN { return SQL_ERROR; };
        api.SQLGetData = [](SQLHSTMT, SQLUSMALLINT, SQLSMALLINT, SQLPOINTER, SQLLEN, SQLLEN*) -> SQLRETURN {
            return SQL_ERROR;
        };
        api.SQLGetDiagRecW = [](SQLSMALLINT, SQLHANDLE h, SQLSMALLINT record, SQLWCHAR* state,
                                SQLINTEGER* native, SQLWCHAR* message, SQLSMALLINT room,
                                SQLSMALLINT* length) -> SQLRETURN {
            const auto& diag = H(h)->diag;
            if (record < 1 || static_cast<std::size_t>(record) > diag.size()) return SQL_NO_DATA;
            const db::DiagRecord& d = diag[static_cast<std::size_t>(record) - 1];
            Copy(d.sqlState, state, 6);
            *native = d.nativeError;
            *length = Copy(d.text, message, room);
            return SQL_SUCCESS;
        };
        return api;
    }

private:
    struct Handle {
        std::vector<db::DiagRecord> diag;
        std::vector<Result> results;
        std::size_t position = 0;  // next driver, or current result
    };

    static FakeOdbc*& Current() {
        static FakeOdbc* current = nullptr;
        return current;
    }
    static FakeOdbc& F() { return *Current(); }
    static Handle* H(SQLHANDLE h) { return static_cast<Handle*>(h); }

    // Copies as much as fits, with the terminating zero; returns the full length in characters.
    static SQLSMALLINT Copy(const std::string& utf8, SQLWCHAR* out, std::size_t room) {
        const std::u16string w = text::Utf8ToUtf16(utf8);
        const std::size_t n = std::min(w.size(), room - 1);
        std::copy_n(w.data(), n, out);
        out[n] = u'\0';
        return static_cast<SQLSMALLINT>(w.size());
    }

    static SQLRETURN Enter(Handle& s) {
        if (s.position >= s.results.size()) return SQL_NO_DATA;
        s.diag = s.results[s.position];
        return s.diag.empty() ? SQL_SUCCESS : SQL_ERROR;
    }

    std::set<Handle*> live_;
};

}  // namespace kurdb::test
