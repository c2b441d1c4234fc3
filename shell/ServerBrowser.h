#pragma once
// The SQL Server Browser's answer to "which TCP port does instance X listen on?" (the SQL Server
// Resolution Protocol over UDP): what the Microsoft drivers ask before they connect to
// "host\instance".
#include <optional>
#include <string>
#include <string_view>

namespace kurdb {

// The UDP port every Browser answers on.
inline constexpr unsigned short kBrowserPort = 1434;

// CLNT_UCAST_INST: 0x04, the instance name, a zero byte.
std::string BrowserInstanceRequest(std::string_view instance);

// The TCP port that a SVR_RESP (0x05, a 16-bit little-endian length, then
// "ServerName;S;InstanceName;I;...;tcp;PORT;;" for one or more instances) gives for `instance`
// (letter case ignored); nullopt when the answer is malformed, names another instance or gives
// no TCP port.
std::optional<int> TcpPortFromBrowserResponse(std::string_view response, std::string_view instance);

// One request to host:port over UDP and its answer, waiting at most `waitMs` milliseconds;
// nullopt when nothing came (no Browser, a closed port, an unknown host). Never throws.
// Implemented per platform (shell/posix, shell/win32).
std::optional<std::string> UdpExchange(const std::string& host, unsigned short port,
                                       const std::string& request, int waitMs);

// Asks the Browser on `host` for the TCP port of `instance`: `tries` requests, each waited for
// `waitMs` milliseconds. nullopt when none was answered for that instance. A Browser does not
// answer for an instance it does not serve, so an unknown instance and a silent Browser look
// the same.
std::optional<int> FindInstancePort(const std::string& host, const std::string& instance,
                                    unsigned short browserPort = kBrowserPort, int waitMs = 1000,
                                    int tries = 2);

}  // namespace kurdb
