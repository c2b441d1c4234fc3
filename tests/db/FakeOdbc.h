#pragma once
// A driver manager in memory, handed to OdbcEngine as its entry-point table. ODBC's C entry
// points carry no context of their own, so the table's functions reach the one FakeOdbc that
// the running test made current (Scope). It counts handles, so a test can see that every
// handle it caused was freed, and it answers batches from a script with results and errors.
#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "db/Errors.h"
#include "db/OdbcApi.h"
#include "shell/Text.h"

namespace kurdb::test {

namespace odbc = db::odbc;

class FakeOdbc {
public:
    // One result of a batch as the driver would deliver it.
    struct Result {
        std::vector<std::string> columns;  // none: a statement without rows
        std::vector<std::vector<std::optional<std::string>>> rows;
        std::vector<db::DiagRecord> errors;  // non-empty: this result fails
    };

    // What the "driver manager" is configured with.
    std::vector<std::string> drivers{"FreeTDS"};
    std::string odbcVersion = "03.52";
    odbc::SQLRETURN allocEnvResult = odbc::SQL_SUCCESS;
    std::vector<db::DiagRecord> connectErrors;  // non-empty: SQLDriverConnectW fails
    // Answers a batch; by default one result without rows.
    std::function<std::vector<Result>(const std::string&)> answer = [](const std::string&) {
        return std::vector<Result>{Result{}};
    };
    // Like unixODBC, the statement is closed after SQLExecDirectW fails: SQLMoreResults then
    // says SQL_NO_DATA at once.
    bool closeAfterExecError = true;

    // What the code under test did.
    std::vector<std::string> connectionStrings;
    std::vector<std::string> batches;
    int disconnects = 0;
    int moreResultsCalls = 0;
    std::size_t liveHandles() const { return live_.size(); }
    std::map<int, int> allocated;  // handle type -> count

    class Scope {
    public:
        explicit Scope(FakeOdbc& fake) { Current() = &fake; }
        ~Scope() { Current() = nullptr; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

    static odbc::Api Table() {
        odbc::Api api;
        api.SQLAllocHandle = &AllocHandle;
        api.SQLFreeHandle = &FreeHandle;
        api.SQLSetEnvAttr = &SetEnvAttr;
        api.SQLDriversW = &DriversW;
        api.SQLGetInfoW = &GetInfoW;
        api.SQLDriverConnectW = &DriverConnectW;
        api.SQLDisconnect = &Disconnect;
        api.SQLExecDirectW = &ExecDirectW;
        api.SQLMoreResults = &MoreResults;
        api.SQLNumResultCols = &NumResultCols;
        api.SQLDescribeColW = &DescribeColW;
        api.SQLFetch = &Fetch;
        api.SQLGetData = &GetData;
        api.SQLGetDiagRecW = &GetDiagRecW;
        return api;
    }

private:
    struct Handle {
        odbc::SQLSMALLINT type = 0;
        std::vector<db::DiagRecord> diag;
        std::size_t driverIndex = 0;
        // statement state
        std::vector<Result> results;
        std::size_t current = 0;
        bool open = false;
        long row = -1;
        std::map<int, std::size_t> offsets;  // column -> characters already delivered
    };

    static FakeOdbc*& Current() {
        static FakeOdbc* current = nullptr;
        return current;
    }
    static FakeOdbc& F() { return *Current(); }
    static Handle* H(odbc::SQLHANDLE h) {
        auto& live = F().live_;
        return live.count(h) ? static_cast<Handle*>(h) : nullptr;
    }
    static std::string Narrow(const odbc::SQLWCHAR* s, std::size_t n) {
        return text::Utf16ToUtf8(std::u16string_view(s, n));
    }
    static void Copy(const std::string& utf8, odbc::SQLWCHAR* out, std::size_t room) {
        const std::u16string w = text::Utf8ToUtf16(utf8);
        const std::size_t n = std::min(w.size(), room - 1);
        std::copy_n(w.data(), n, out);
        out[n] = u'\0';
    }

    static odbc::SQLRETURN AllocHandle(odbc::SQLSMALLINT type, odbc::SQLHANDLE, odbc::SQLHANDLE* out) {
        if (type == odbc::SQL_HANDLE_ENV && F().allocEnvResult != odbc::SQL_SUCCESS) {
            *out = nullptr;
            return F().allocEnvResult;
        }
        auto* h = new Handle();
        h->type = type;
        F().live_.insert(h);
        ++F().allocated[type];
        *out = h;
        return odbc::SQL_SUCCESS;
    }
    static odbc::SQLRETURN FreeHandle(odbc::SQLSMALLINT, odbc::SQLHANDLE h) {
        Handle* handle = H(h);
        if (!handle) return odbc::SQL_INVALID_HANDLE;
        F().live_.erase(h);
        delete handle;
        return odbc::SQL_SUCCESS;
    }
    static odbc::SQLRETURN SetEnvAttr(odbc::SQLHENV h, odbc::SQLINTEGER attr, odbc::SQLPOINTER value,
                                      odbc::SQLINTEGER) {
        if (!H(h)) return odbc::SQL_INVALID_HANDLE;
        if (attr == odbc::SQL_ATTR_ODBC_VERSION)
            F().odbcVersionAttr = reinterpret_cast<std::intptr_t>(value);
        return odbc::SQL_SUCCESS;
    }
    static odbc::SQLRETURN DriversW(odbc::SQLHENV h, odbc::SQLUSMALLINT direction, odbc::SQLWCHAR* desc,
                                    odbc::SQLSMALLINT descMax, odbc::SQLSMALLINT* descLen,
                                    odbc::SQLWCHAR* attr, odbc::SQLSMALLINT attrMax,
                                    odbc::SQLSMALLINT* attrLen) {
        Handle* env = H(h);
        if (!env) return odbc::SQL_INVALID_HANDLE;
        if (direction == odbc::SQL_FETCH_FIRST) env->driverIndex = 0;
        if (env->driverIndex >= F().drivers.size()) return odbc::SQL_NO_DATA;
        const std::string& name = F().drivers[env->driverIndex++];
        Copy(name, desc, static_cast<std::size_t>(descMax));
        *descLen = static_cast<odbc::SQLSMALLINT>(text::Utf8ToUtf16(name).size());
        Copy("UsageCount=1", attr, static_cast<std::size_t>(attrMax));
        *attrLen = 12;
        return odbc::SQL_SUCCESS;
    }
    static odbc::SQLRETURN GetInfoW(odbc::SQLHDBC h, odbc::SQLUSMALLINT type, odbc::SQLPOINTER value,
                                    odbc::SQLSMALLINT bytes, odbc::SQLSMALLINT* length) {
        if (!H(h)) return odbc::SQL_INVALID_HANDLE;
        if (type != odbc::SQL_ODBC_VER) {
            H(h)->diag = {{"HY096", 0, "[Fake]Information type out of range"}};
            return odbc::SQL_ERROR;
        }
        Copy(F().odbcVersion, static_cast<odbc::SQLWCHAR*>(value),
             static_cast<std::size_t>(bytes) / sizeof(odbc::SQLWCHAR));
        *length = static_cast<odbc::SQLSMALLINT>(F().odbcVersion.size() * 2);
        return odbc::SQL_SUCCESS;
    }
    static odbc::SQLRETURN DriverConnectW(odbc::SQLHDBC h, odbc::SQLHWND, odbc::SQLWCHAR* in,
                                          odbc::SQLSMALLINT inLength, odbc::SQLWCHAR*,
                                          odbc::SQLSMALLINT, odbc::SQLSMALLINT*,
                                          odbc::SQLUSMALLINT completion) {
        Handle* dbc = H(h);
        if (!dbc) return odbc::SQL_INVALID_HANDLE;
        const std::size_t n = inLength == odbc::SQL_NTS ? std::char_traits<char16_t>::length(in)
                                                       : static_cast<std::size_t>(inLength);
        F().connectionStrings.push_back(Narrow(in, n));
        F().completions.push_back(completion);
        if (!F().connectErrors.empty()) {
            dbc->diag = F().connectErrors;
            return odbc::SQL_ERROR;
        }
        return odbc::SQL_SUCCESS;
    }
    static odbc::SQLRETURN Disconnect(odbc::SQLHDBC h) {
        if (!H(h)) return odbc::SQL_INVALID_HANDLE;
        ++F().disconnects;
        return odbc::SQL_SUCCESS;
    }
    // The statement's current result after a move; SQL_ERROR with its records when it fails.
    static odbc::SQLRETURN Enter(Handle& s) {
        s.row = -1;
        s.offsets.clear();
        if (s.current >= s.results.size()) {
            s.open = false;
            return odbc::SQL_NO_DATA;
        }
        const Result& r = s.results[s.current];
        if (!r.errors.empty()) {
            s.diag = r.errors;
            return odbc::SQL_ERROR;
        }
        return odbc::SQL_SUCCESS;
    }
    static odbc::SQLRETURN ExecDirectW(odbc::SQLHSTMT h, odbc::SQLWCHAR* sql, odbc::SQLINTEGER length) {
        Handle* s = H(h);
        if (!s) return odbc::SQL_INVALID_HANDLE;
        s->diag.clear();
        const std::string text = Narrow(sql, static_cast<std::size_t>(length));
        F().batches.push_back(text);
        s->results = F().answer(text);
        s->current = 0;
        s->open = true;
        const odbc::SQLRETURN rc = Enter(*s);
        if (rc == odbc::SQL_ERROR && F().closeAfterExecError) s->open = false;
        return rc;
    }
    static odbc::SQLRETURN MoreResults(odbc::SQLHSTMT h) {
        Handle* s = H(h);
        if (!s) return odbc::SQL_INVALID_HANDLE;
        ++F().moreResultsCalls;
        s->diag.clear();
        if (!s->open) return odbc::SQL_NO_DATA;
        ++s->current;
        return Enter(*s);
    }
    static const Result* Now(Handle* s) {
        return s && s->open && s->current < s->results.size() ? &s->results[s->current] : nullptr;
    }
    static odbc::SQLRETURN NumResultCols(odbc::SQLHSTMT h, odbc::SQLSMALLINT* count) {
        const Result* r = Now(H(h));
        *count = r ? static_cast<odbc::SQLSMALLINT>(r->columns.size()) : 0;
        return odbc::SQL_SUCCESS;
    }
    static odbc::SQLRETURN DescribeColW(odbc::SQLHSTMT h, odbc::SQLUSMALLINT column,
                                        odbc::SQLWCHAR* name, odbc::SQLSMALLINT room,
                                        odbc::SQLSMALLINT* length, odbc::SQLSMALLINT* type,
                                        odbc::SQLULEN* size, odbc::SQLSMALLINT* digits,
                                        odbc::SQLSMALLINT* nullable) {
        const Result* r = Now(H(h));
        if (!r || column < 1 || column > r->columns.size()) return odbc::SQL_ERROR;
        const std::string& n = r->columns[column - 1];
        Copy(n, name, static_cast<std::size_t>(room));
        *length = static_cast<odbc::SQLSMALLINT>(text::Utf8ToUtf16(n).size());
        *type = odbc::SQL_C_WCHAR;
        *size = 255;
        *digits = 0;
        *nullable = 1;
        return odbc::SQL_SUCCESS;
    }
    static odbc::SQLRETURN Fetch(odbc::SQLHSTMT h) {
        Handle* s = H(h);
        const Result* r = Now(s);
        if (!r) return odbc::SQL_ERROR;
        s->offsets.clear();
        if (static_cast<std::size_t>(s->row + 1) >= r->rows.size()) return odbc::SQL_NO_DATA;
        ++s->row;
        return odbc::SQL_SUCCESS;
    }
    // SQLGetData for SQL_C_WCHAR in pieces, as drivers do: each call fills the buffer, ends it
    // with a zero, reports the characters still to come, and says SQL_NO_DATA after the last.
    static odbc::SQLRETURN GetData(odbc::SQLHSTMT h, odbc::SQLUSMALLINT column, odbc::SQLSMALLINT type,
                                   odbc::SQLPOINTER buffer, odbc::SQLLEN bytes,
                                   odbc::SQLLEN* indicator) {
        Handle* s = H(h);
        const Result* r = Now(s);
        if (!r || s->row < 0 || type != odbc::SQL_C_WCHAR) return odbc::SQL_ERROR;
        const auto& value = r->rows[static_cast<std::size_t>(s->row)][column - 1];
        if (!value) {
            *indicator = odbc::SQL_NULL_DATA;
            return odbc::SQL_SUCCESS;
        }
        const std::u16string w = text::Utf8ToUtf16(*value);
        std::size_t& done = s->offsets[column];
        if (done > 0 && done >= w.size()) return odbc::SQL_NO_DATA;
        const std::size_t left = w.size() - done;
        const std::size_t room = static_cast<std::size_t>(bytes) / 2 - 1;
        const std::size_t n = std::min(left, room);
        auto* out = static_cast<odbc::SQLWCHAR*>(buffer);
        std::copy_n(w.data() + done, n, out);
        out[n] = u'\0';
        *indicator = static_cast<odbc::SQLLEN>(left * 2);
        done += n;
        if (n < left) {
            s->diag = {{"01004", 0, "[Fake]String data, right truncated"}};
            return odbc::SQL_SUCCESS_WITH_INFO;
        }
        if (done == 0) done = 1;  // an empty value: the next call says SQL_NO_DATA
        return odbc::SQL_SUCCESS;
    }
    static odbc::SQLRETURN GetDiagRecW(odbc::SQLSMALLINT, odbc::SQLHANDLE h, odbc::SQLSMALLINT record,
                                       odbc::SQLWCHAR* state, odbc::SQLINTEGER* native,
                                       odbc::SQLWCHAR* message, odbc::SQLSMALLINT room,
                                       odbc::SQLSMALLINT* length) {
        Handle* handle = H(h);
        if (!handle) return odbc::SQL_INVALID_HANDLE;
        if (record < 1 || static_cast<std::size_t>(record) > handle->diag.size()) return odbc::SQL_NO_DATA;
        const db::DiagRecord& d = handle->diag[static_cast<std::size_t>(record) - 1];
        Copy(d.sqlState, state, 6);
        *native = d.nativeError;
        Copy(d.text, message, static_cast<std::size_t>(room));
        *length = static_cast<odbc::SQLSMALLINT>(text::Utf8ToUtf16(d.text).size());
        return static_cast<std::size_t>(*length) >= static_cast<std::size_t>(room)
                   ? odbc::SQL_SUCCESS_WITH_INFO
                   : odbc::SQL_SUCCESS;
    }

    std::set<void*> live_;

public:
    std::intptr_t odbcVersionAttr = 0;
    std::vector<odbc::SQLUSMALLINT> completions;
};

}  // namespace kurdb::test
