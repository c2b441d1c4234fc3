#include "db/ConnectionString.h"

#include <algorithm>

#include "db/Errors.h"
#include "base/Exception.h"
#include "base/Text.h"

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

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) {
    return IsAsciiDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// A DNS or computer name, or an IPv4 address in dotted form.
bool IsHostName(std::string_view host) {
    if (host.empty() || host.size() > 253) return false;
    std::size_t labels = 0;
    bool allNumeric = true, numbersInRange = true;
    std::size_t start = 0;
    while (start <= host.size()) {
        const auto dot = std::min(host.find('.', start), host.size());
        const std::string_view label = host.substr(start, dot - start);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
        for (const char c : label)
            if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != '-' && c != '_') return false;
        if (AllDigits(label))
            numbersInRange = numbersInRange && label.size() <= 3 && std::stoi(std::string(label)) <= 255;
        else
            allNumeric = false;
        ++labels;
        start = dot + 1;
    }
    return !allNumeric || (labels == 4 && numbersInRange);
}

// "[" IPv6 address "]": hexadecimal groups and colons, an IPv4 tail allowed.
bool IsBracketedIpv6(std::string_view host) {
    if (host.size() < 4 || host.front() != '[' || host.back() != ']') return false;
    const std::string_view inner = host.substr(1, host.size() - 2);
    if (std::count(inner.begin(), inner.end(), ':') < 2) return false;
    return std::all_of(inner.begin(), inner.end(),
                       [](char c) { return IsHexDigit(c) || c == ':' || c == '.'; });
}

bool IsInstanceName(std::string_view instance) {
    if (instance.empty() || instance.size() > 16) return false;
    if (!IsAsciiLetter(instance.front()) && instance.front() != '_') return false;
    return std::all_of(instance.begin(), instance.end(),
                       [](char c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_' || c == '$'; });
}

[[noreturn]] void RefuseServerName(std::string_view typed, const std::string& fault) {
    throw Exception("Server adı \"" + std::string(typed) + "\" kullanılamaz: " + fault);
}

}  // namespace

void CheckServerName(std::string_view typed) {
    if (typed.empty()) return;
    for (const char c : std::string_view(";{}='\""))
        if (typed.find(c) != std::string_view::npos)
            RefuseServerName(typed, std::string("'") + c + "' karakteri bir server adında olamaz");
    if (typed.front() == ' ' || typed.back() == ' ' || typed.front() == '\t' || typed.back() == '\t')
        RefuseServerName(typed, "başında ya da sonunda boşluk var");

    std::string_view rest = typed;
    if (rest.size() >= 4 && text::EqualsNoCase(rest.substr(0, 4), "tcp:")) rest.remove_prefix(4);
    const auto comma = rest.find(',');
    if (comma != std::string_view::npos) {
        const std::string_view port = rest.substr(comma + 1);
        if (!AllDigits(port) || port.size() > 5 || std::stoi(std::string(port)) < 1 ||
            std::stoi(std::string(port)) > 65535)
            RefuseServerName(typed, "port 1 ile 65535 arasında bir sayı olmalı");
        rest = rest.substr(0, comma);
    }
    const auto slash = rest.find('\\');
    if (slash != std::string_view::npos) {
        if (!IsInstanceName(rest.substr(slash + 1)))
            RefuseServerName(
                typed,
                "SQL Server örnek adı 1 ile 16 arasında harf, rakam, '_' ya da '$' olmalı ve bir "
                "harfle başlamalı");
        rest = rest.substr(0, slash);
    }
    if (rest.empty()) RefuseServerName(typed, "makine adı eksik");
    if (rest != "." && !text::EqualsNoCase(rest, "(local)") && !IsHostName(rest) && !IsBracketedIpv6(rest))
        RefuseServerName(typed,
                         "makine adı \"" + std::string(rest) + "\" bir makine adı ya da IP adresi değil");
}

std::string FreeTdsHost(std::string_view typedComputer) {
    return IsLocal(typedComputer) ? "127.0.0.1" : std::string(typedComputer);
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
    out.computer = std::string(rest);
    return out;
}

std::string BuildConnectionString(std::string_view driver, std::string_view server, std::string_view user,
                                  std::string_view password) {
    std::string out = "DRIVER=" + MicrosoftValue(driver) + ";";
    if (IsFreeTdsDriver(driver)) {
        const ServerName name = ParseServerName(server);
        std::string host = FreeTdsHost(name.computer);
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
