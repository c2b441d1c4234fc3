#pragma once
// The part of the ODBC 3 API that the database layer uses, declared here instead of taken from
// <sql.h>/<sqlext.h>: those pull in windows.h under mingw-w64, and the driver manager is loaded at
// run time anyway, so only types, constants and pointer signatures are needed.
//
// Sizes follow the 64-bit ABIs we run on: Win64 odbc32.dll and Debian's unixODBC (built with
// SQLLEN as a 64-bit long and SQLWCHAR as 16-bit UTF-16).
#include <cstdint>

namespace kurdb::db::odbc {

using SQLHANDLE = void*;
using SQLHENV = SQLHANDLE;
using SQLHDBC = SQLHANDLE;
using SQLHSTMT = SQLHANDLE;
using SQLHWND = void*;
using SQLPOINTER = void*;
using SQLSMALLINT = std::int16_t;
using SQLUSMALLINT = std::uint16_t;
using SQLINTEGER = std::int32_t;
using SQLLEN = std::intptr_t;
using SQLULEN = std::uintptr_t;
using SQLWCHAR = char16_t;
using SQLRETURN = std::int16_t;

// The pointer's width, as ODBC 3.8 defines them for Windows and unixODBC (64-bit SQLLEN builds).
static_assert(sizeof(SQLLEN) == sizeof(void*), "SQLLEN has the width of a pointer");

// Return codes.
inline constexpr SQLRETURN SQL_SUCCESS = 0;
inline constexpr SQLRETURN SQL_SUCCESS_WITH_INFO = 1;
inline constexpr SQLRETURN SQL_STILL_EXECUTING = 2;
inline constexpr SQLRETURN SQL_NEED_DATA = 99;
inline constexpr SQLRETURN SQL_NO_DATA = 100;
inline constexpr SQLRETURN SQL_ERROR = -1;
inline constexpr SQLRETURN SQL_INVALID_HANDLE = -2;

inline constexpr bool Succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// Handle types.
inline constexpr SQLSMALLINT SQL_HANDLE_ENV = 1;
inline constexpr SQLSMALLINT SQL_HANDLE_DBC = 2;
inline constexpr SQLSMALLINT SQL_HANDLE_STMT = 3;

// Environment attribute: the ODBC version the application follows.
inline constexpr SQLINTEGER SQL_ATTR_ODBC_VERSION = 200;
inline constexpr std::intptr_t SQL_OV_ODBC3 = 3;

// Lengths and indicators.
inline constexpr SQLSMALLINT SQL_NTS = -3;
inline constexpr SQLLEN SQL_NULL_DATA = -1;
inline constexpr SQLLEN SQL_NO_TOTAL = -4;

// SQLDrivers directions.
inline constexpr SQLUSMALLINT SQL_FETCH_NEXT = 1;
inline constexpr SQLUSMALLINT SQL_FETCH_FIRST = 2;

// Connection attribute: seconds to wait for a login before giving up (0 waits without limit).
inline constexpr SQLINTEGER SQL_ATTR_LOGIN_TIMEOUT = 103;

// SQLDriverConnect completion: never show a dialog.
inline constexpr SQLUSMALLINT SQL_DRIVER_NOPROMPT = 0;

// SQLGetInfo types answered by the driver manager itself, also on an unconnected handle.
inline constexpr SQLUSMALLINT SQL_ODBC_VER = 10;

// C data type for SQLGetData: UTF-16 text.
inline constexpr SQLSMALLINT SQL_C_WCHAR = -8;

// On 32-bit Windows the entry points are __stdcall; on x86_64 there is only one convention.
#if defined(_WIN32) && !defined(_WIN64)
#define KURDB_ODBC_CALL __stdcall
#else
#define KURDB_ODBC_CALL
#endif

// The entry points used, one pointer each. Only plain and W names: Wine's odbc32.dll aborts the
// process in most of its "A" stubs (SQLDriversA, SQLDriverConnectA, ...).
#define KURDB_ODBC_ENTRY_POINTS(X)                                                                         \
    X(SQLAllocHandle, SQLRETURN, (SQLSMALLINT, SQLHANDLE, SQLHANDLE*))                                     \
    X(SQLFreeHandle, SQLRETURN, (SQLSMALLINT, SQLHANDLE))                                                  \
    X(SQLSetEnvAttr, SQLRETURN, (SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER))                             \
    X(SQLDriversW, SQLRETURN,                                                                              \
      (SQLHENV, SQLUSMALLINT, SQLWCHAR*, SQLSMALLINT, SQLSMALLINT*, SQLWCHAR*, SQLSMALLINT, SQLSMALLINT*)) \
    X(SQLGetInfoW, SQLRETURN, (SQLHDBC, SQLUSMALLINT, SQLPOINTER, SQLSMALLINT, SQLSMALLINT*))              \
    X(SQLSetConnectAttrW, SQLRETURN, (SQLHDBC, SQLINTEGER, SQLPOINTER, SQLINTEGER))                        \
    X(SQLDriverConnectW, SQLRETURN,                                                                        \
      (SQLHDBC, SQLHWND, SQLWCHAR*, SQLSMALLINT, SQLWCHAR*, SQLSMALLINT, SQLSMALLINT*, SQLUSMALLINT))      \
    X(SQLDisconnect, SQLRETURN, (SQLHDBC))                                                                 \
    X(SQLExecDirectW, SQLRETURN, (SQLHSTMT, SQLWCHAR*, SQLINTEGER))                                        \
    X(SQLMoreResults, SQLRETURN, (SQLHSTMT))                                                               \
    X(SQLNumResultCols, SQLRETURN, (SQLHSTMT, SQLSMALLINT*))                                               \
    X(SQLDescribeColW, SQLRETURN,                                                                          \
      (SQLHSTMT, SQLUSMALLINT, SQLWCHAR*, SQLSMALLINT, SQLSMALLINT*, SQLSMALLINT*, SQLULEN*, SQLSMALLINT*, \
       SQLSMALLINT*))                                                                                      \
    X(SQLFetch, SQLRETURN, (SQLHSTMT))                                                                     \
    X(SQLGetData, SQLRETURN, (SQLHSTMT, SQLUSMALLINT, SQLSMALLINT, SQLPOINTER, SQLLEN, SQLLEN*))           \
    X(SQLGetDiagRecW, SQLRETURN,                                                                           \
      (SQLSMALLINT, SQLHANDLE, SQLSMALLINT, SQLWCHAR*, SQLINTEGER*, SQLWCHAR*, SQLSMALLINT, SQLSMALLINT*))

// One table of entry points. A real one comes from the loaded driver manager (OdbcLoader.h);
// tests fill one with their own functions.
struct Api {
#define KURDB_ODBC_MEMBER(name, ret, params) ret(KURDB_ODBC_CALL* name) params = nullptr;
    KURDB_ODBC_ENTRY_POINTS(KURDB_ODBC_MEMBER)
#undef KURDB_ODBC_MEMBER
};

}  // namespace kurdb::db::odbc
