#include "db/ConnectionString.h"

#include <algorithm>

#include "db/Errors.h"
#include "shell/Text.h"

namespace kurdb::db {
namespace {

bool AllDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Microsoft's rule: always braced, "}" doubled.
std::string MicrosoftValue(std::string_view value) {
    std::string out = "{";
    for (char c : value) {
        out += c;
        if (c == '}') out += '}';
    }
    out += '}';
    return out;
}

// FreeTDS 1.3's rule (see the header).
std::string FreeTdsValue(std::string_view value) {
    const bool needsBraces =
        value.find(';') != std::string_view::npos || (!value.empty() && value.front() == '{');
    if (!needsBraces) return std::string(value);
    if (value.find("};") != std::string_view::npos)
        throw EDBEngineError("FreeTDS sürücüsü \"};\" içeren bir bağlantı değerini iletemez");
    return "{" + std::string(value) + "}";
}

bool IsLocal(std::string_view host) {
    return host.empty() || host == "." || text::EqualsNoCase(host, "(local)");
}

}  // namespace

std::string FreeTdsHost(std::string_view typedHost) {
    return IsLocal(typedHost) ? "127.0.0.1" : std::string(typedHost);
}

bool IsFreeTdsDriver(std::string_view driver) {
    return text::EqualsNoCase(driver, "FreeTDS");
}

ServerName ParseServerName(std::string_view typed) {
    ServerName out;
    std::string_view rest = typed;
    if (rest.size() >= 4 && text::EqualsNoCase(rest.substr(0, 4), "tcp:")) rest.remove_prefix(4);
    const auto comma = rest.rfind(',');
    if (comma != std::string_view::npos && AllDigits(rest.substr(comma + 1))) {
        out.port = std::string(rest.substr(comma + 1));
        rest = rest.substr(0, comma);
    }
    const auto slash = rest.find('\\');
    if (slash != std::string_view::npos) {
        out.instance = std::string(rest.substr(slash + 1));
        rest = rest.substr(0, slash);
    }
    out.host = std::string(rest);
    return out;
}

std::string BuildConnectionString(std::string_view driver, std::string_view server, std::string_view user,
                                  std::string_view password) {
    std::string out = "DRIVER=" + MicrosoftValue(driver) + ";";
    if (IsFreeTdsDriver(driver)) {
        const ServerName name = ParseServerName(server);
        std::string host = FreeTdsHost(name.host);
        if (name.port.empty() && !name.instance.empty()) host += "\\" + name.instance;
        out += "Server=" + FreeTdsValue(host) + ";";
        if (!name.port.empty()) out += "Port=" + name.port + ";";
        out += "UID=" + FreeTdsValue(user) + ";";
        out += "PWD=" + FreeTdsValue(password) + ";";
        out += "Encryption=request;";
        return out;
    }
    out += "Server=" + MicrosoftValue(server) + ";";
    out += "UID=" + MicrosoftValue(user) + ";";
    out += "PWD=" + MicrosoftValue(password) + ";";
    if (!text::EqualsNoCase(driver, "SQL Server")) out += "Encrypt=yes;TrustServerCertificate=yes;";
    return out;
}

}  // namespace kurdb::db
