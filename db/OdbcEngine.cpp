#include "db/OdbcEngine.h"

#include <charconv>

#include "base/Text.h"

namespace kurdb::db {

using namespace odbc;

namespace {

// The UTF-8 text of a buffer that a W function filled: up to its first NUL, never past its
// `capacity` characters (a driver that fills the whole buffer leaves no NUL).
std::string BufferText(const SQLWCHAR* buffer, std::size_t capacity) {
    const std::u16string_view all(buffer, capacity);
    return text::Utf16ToUtf8(all.substr(0, all.find(u'\0')));
}

}  // namespace

OdbcHandle& OdbcHandle::operator=(OdbcHandle&& other) noexcept {
    if (this != &other) {
        Reset();
        api_ = other.api_;
        type_ = other.type_;
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

void OdbcHandle::Reset() {
    if (handle_ && api_ && api_->SQLFreeHandle) api_->SQLFreeHandle(type_, handle_);
    handle_ = nullptr;
}

odbc::Api ResolveOdbcApi(const std::function<void*(const char*)>& lookup, const std::string& libraryName) {
    odbc::Api api;
#define KURDB_ODBC_RESOLVE(name, ret, params)                                                         \
    if (void* address = lookup(#name)) {                                                              \
        api.name = reinterpret_cast<ret(KURDB_ODBC_CALL*) params>(address);                           \
    } else {                                                                                          \
        throw EDBEngineError("ODBC sürücü yöneticisinde " #name " bulunamadı (" + libraryName + ")"); \
    }
    KURDB_ODBC_ENTRY_POINTS(KURDB_ODBC_RESOLVE)
#undef KURDB_ODBC_RESOLVE
    return api;
}

std::string DefaultDriverManagerLibrary() {
#ifdef _WIN32
    return "odbc32.dll";
#else
    return "libodbc.so.2";
#endif
}

OdbcEngine::OdbcEngine(std::string driverManagerLibrary) : libraryName_(std::move(driverManagerLibrary)) {}

OdbcEngine::OdbcEngine(const odbc::Api& api) : api_(api), haveApi_(true) {}

OdbcEngine::~OdbcEngine() {
    if (keepLoaded_) {
        // Left to the process's end on purpose: an abandoned call still runs in them.
        environment_.Release();
        static_cast<void>(library_.release());
        return;
    }
    environment_.Reset();  // before the library that holds SQLFreeHandle goes
}

const odbc::Api& OdbcEngine::Api() {
    if (!haveApi_) {
        std::unique_ptr<SharedLibrary> library;
        try {
            library = SharedLibrary::Load(libraryName_);
        } catch (const ELibraryLoadError& e) {
            throw EDBEngineError("ODBC sürücü yöneticisi yüklenemedi (" + libraryName_ + ")" +
                                 (e.Reason().empty() ? "" : ": " + e.Reason()));
        }
        api_ = ResolveOdbcApi([&](const char* name) { return library->Symbol(name); }, library->Name());
        library_ = std::move(library);
        haveApi_ = true;
    }
    return api_;
}

SQLHENV OdbcEngine::Environment() {
    if (!environment_) {
        const auto& api = Api();
        SQLHANDLE env = nullptr;
        const SQLRETURN rc = api.SQLAllocHandle(SQL_HANDLE_ENV, nullptr, &env);
        if (!Succeeded(rc) || !env)
            throw EDBEngineError("ODBC ortamı oluşturulamadı (" + std::to_string(rc) + ")");
        OdbcHandle handle(api, SQL_HANDLE_ENV, env);
        const SQLRETURN set =
            api.SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        if (!Succeeded(set)) Raise(SQL_HANDLE_ENV, env, set);
        environment_ = std::move(handle);
    }
    return environment_.Get();
}

OdbcHandle OdbcEngine::Allocate(SQLSMALLINT type, SQLHANDLE parent) {
    const auto& api = Api();
    SQLHANDLE h = nullptr;
    const SQLRETURN rc = api.SQLAllocHandle(type, parent, &h);
    if (!Succeeded(rc) || !h) {
        const SQLSMALLINT parentType = type == SQL_HANDLE_STMT ? SQL_HANDLE_DBC : SQL_HANDLE_ENV;
        Raise(parentType, parent, rc);
    }
    return OdbcHandle(api, type, h);
}

std::vector<std::string> OdbcEngine::RegisteredDrivers() {
    const auto& api = Api();
    SQLHENV env = Environment();
    std::vector<std::string> names;
    std::u16string description(512, u'\0');
    std::u16string attributes(2048, u'\0');
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLSMALLINT descLen = 0, attrLen = 0;
        const SQLRETURN rc = api.SQLDriversW(
            env, direction, description.data(), static_cast<SQLSMALLINT>(description.size()), &descLen,
            attributes.data(), static_cast<SQLSMALLINT>(attributes.size()), &attrLen);
        if (rc == SQL_NO_DATA) break;
        if (!Succeeded(rc)) Raise(SQL_HANDLE_ENV, env, rc);
        // A name longer than the buffer comes back truncated (01004); no SQL Server driver name
        // is anywhere near 511 characters, so a truncated one cannot match and is kept as is.
        names.push_back(BufferText(description.data(), description.size()));
        direction = SQL_FETCH_NEXT;
        if (names.size() > 10000) break;  // a driver manager that never says SQL_NO_DATA
    }
    return names;
}

std::string OdbcEngine::SqlServerDriver() {
    const auto registered = RegisteredDrivers();
    for (const auto wanted : kSqlServerDrivers)
        for (const auto& name : registered)
            if (text::EqualsNoCase(name, wanted)) return name;
    std::string list;
    for (const auto wanted : kSqlServerDrivers) {
        if (!list.empty()) list += ", ";
        list += wanted;
    }
    throw EDBEngineError("SQL Server ODBC sürücüsü kurulu değil (" + list + ")");
}

std::uint16_t OdbcEngine::EngineVersion() {
    const auto& api = Api();
    SQLHENV env = Environment();
    SqlServerDriver();
    OdbcHandle dbc = Allocate(SQL_HANDLE_DBC, env);
    std::u16string buffer(64, u'\0');
    SQLSMALLINT bytes = 0;
    const SQLRETURN rc = api.SQLGetInfoW(dbc.Get(), SQL_ODBC_VER, buffer.data(),
                                         static_cast<SQLSMALLINT>(buffer.size() * sizeof(SQLWCHAR)), &bytes);
    if (!Succeeded(rc)) Raise(SQL_HANDLE_DBC, dbc.Get(), rc);
    const std::string textual = BufferText(buffer.data(), buffer.size());
    const std::uint16_t version = ParseOdbcVersion(textual);
    if (version == 0) throw EDBEngineError("ODBC sürümü okunamadı: \"" + textual + "\"");
    return version;
}

std::vector<DiagRecord> OdbcEngine::Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::vector<DiagRecord> records;
    if (!handle || !haveApi_) return records;
    const auto& api = api_;
    for (SQLSMALLINT i = 1; i < 1000; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::u16string message(1024, u'\0');
        SQLSMALLINT length = 0;
        SQLRETURN rc = api.SQLGetDiagRecW(type, handle, i, state, &native, message.data(),
                                          static_cast<SQLSMALLINT>(message.size()), &length);
        if (!Succeeded(rc)) break;
        if (length >= static_cast<SQLSMALLINT>(message.size())) {
            message.assign(static_cast<std::size_t>(length) + 1, u'\0');
            rc = api.SQLGetDiagRecW(type, handle, i, state, &native, message.data(),
                                    static_cast<SQLSMALLINT>(message.size()), &length);
            if (!Succeeded(rc)) break;
        }
        records.push_back({BufferText(state, 5), native, BufferText(message.data(), message.size())});
    }
    return records;
}

void OdbcEngine::Raise(SQLSMALLINT type, SQLHANDLE handle, SQLRETURN rc) {
    throw EDBEngineError(Diagnostics(type, handle), rc);
}

std::uint16_t ParseOdbcVersion(std::string_view text) {
    const auto dot = text.find('.');
    if (dot == std::string_view::npos || dot == 0) return 0;
    unsigned major = 0, minor = 0;
    const auto majorPart = text.substr(0, dot);
    auto rest = text.substr(dot + 1);
    const auto end = rest.find('.');
    const auto minorPart = rest.substr(0, end);
    if (minorPart.empty() || minorPart.size() > 2) return 0;
    auto r1 = std::from_chars(majorPart.data(), majorPart.data() + majorPart.size(), major);
    auto r2 = std::from_chars(minorPart.data(), minorPart.data() + minorPart.size(), minor);
    if (r1.ec != std::errc() || r1.ptr != majorPart.data() + majorPart.size()) return 0;
    if (r2.ec != std::errc() || r2.ptr != minorPart.data() + minorPart.size()) return 0;
    const unsigned value = major * 100 + minor;
    if (value == 0 || value > 0xFFFF) return 0;
    return static_cast<std::uint16_t>(value);
}

}  // namespace kurdb::db
