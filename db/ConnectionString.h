#pragma once
// The ODBC connection string for the one SQL Server connection.
#include <string>
#include <string_view>

namespace kurdb::db {

// Whether `driver` is FreeTDS, whose connection-string rules differ from Microsoft's.
bool IsFreeTdsDriver(std::string_view driver);

// A server name as SQL Server writes it, taken apart: "computer", "computer,port",
// "computer\instance", "computer\instance,port", with an optional "tcp:" in front. The computer
// is a DNS name, an IP address, "." or "(local)".
struct ServerName {
    std::string computer;  // "(local)" and "." stay as typed here
    std::string instance;  // empty when none
    std::string port;      // digits, empty when none
};
ServerName ParseServerName(std::string_view typed);

// Refuses, before any connection, a server name that has none of the forms SQL Server's clients
// accept: ["tcp:"] host ["\" instance] ["," port], where the host is a DNS name (letters,
// digits, "-" and "_" in dot-separated labels; all-digit labels make an IPv4 address of four
// numbers up to 255), a bracketed IPv6 address, "." or "(local)"; the instance is 1 to 16
// letters, digits, "_" or "$" led by a letter or "_"; the port is 1 to 65535. The empty name
// (this machine) passes. Throws kurdb::Exception with a Turkish text that names the fault.
void CheckServerName(std::string_view typed);

// The host FreeTDS is given for a typed computer: "(local)", "." and "" are this machine, 127.0.0.1.
std::string FreeTdsHost(std::string_view typedComputer);

// "DRIVER={...};Server=...;UID=...;PWD=...;" plus the driver's encryption keywords.
//
// Microsoft drivers ("ODBC Driver 17/18 for SQL Server", "SQL Server Native Client 11.0",
// "SQL Server") understand every SQL Server server-name form, so the typed name goes in
// unchanged; every value is brace-quoted with "}" doubled. Driver 17/18 and Native Client get
// "Encrypt=yes;TrustServerCertificate=yes" (dealer servers mostly have only SQL Server's
// self-signed certificate); the old "SQL Server" driver knows no TrustServerCertificate and
// gets no encryption keywords.
//
// FreeTDS: "(local)" and "." (and an empty name) become 127.0.0.1; "host,port" becomes
// Server=host;Port=port (a port makes an instance name pointless, as with SQL Server's own
// clients); "host\instance" stays (FreeTDS asks the SQL Server Browser); "tcp:" is dropped;
// "Encryption=request". FreeTDS 1.3 takes a braced value verbatim up to the first "};" and does
// not undo doubled "}}", so a value is braced only when it must be (it holds ";" or starts with
// "{"), never doubled, and a value holding "};" cannot be passed at all: EDBEngineError.
std::string BuildConnectionString(std::string_view driver, std::string_view server, std::string_view user,
                                  std::string_view password);

}  // namespace kurdb::db
