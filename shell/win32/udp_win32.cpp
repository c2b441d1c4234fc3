#include <winsock2.h>
#include <ws2tcpip.h>

#include "shell/ServerBrowser.h"
#include "shell/win32/SystemLibrary.h"

namespace kurdb {
namespace {

// The Winsock functions the exchange uses, from ws2_32.dll, which is loaded with the first
// exchange (only a named instance without a port needs one), not at the program's start.
//   X(name)
#define KURDB_WINSOCK_FUNCTIONS(X) \
    X(WSAStartup)                  \
    X(getaddrinfo)                 \
    X(freeaddrinfo)                \
    X(socket)                      \
    X(connect)                     \
    X(send)                        \
    X(select)                      \
    X(recv)                        \
    X(closesocket)

struct Winsock {
#define KURDB_WINSOCK_MEMBER(name) decltype(::name)* name = nullptr;
    KURDB_WINSOCK_FUNCTIONS(KURDB_WINSOCK_MEMBER)
#undef KURDB_WINSOCK_MEMBER
    bool started = false;
};

// Winsock, resolved and started once for the process and left running until it ends; null when
// the DLL, one of its functions or the start is missing.
const Winsock* Started() {
    static const Winsock api = [] {
        Winsock w;
        bool complete = true;
#define KURDB_WINSOCK_RESOLVE(name)                                         \
    w.name = win32::SystemFunction<decltype(::name)>(L"ws2_32.dll", #name); \
    complete = complete && w.name;
        KURDB_WINSOCK_FUNCTIONS(KURDB_WINSOCK_RESOLVE)
#undef KURDB_WINSOCK_RESOLVE
        WSADATA data;
        w.started = complete && w.WSAStartup(MAKEWORD(2, 2), &data) == 0;
        return w;
    }();
    return api.started ? &api : nullptr;
}

}  // namespace

std::optional<std::string> UdpExchange(const std::string& host, unsigned short port,
                                       const std::string& request, int waitMs) {
    const Winsock* ws = Started();
    if (!ws) return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (ws->getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found)
        return std::nullopt;
    std::optional<std::string> answer;
    const SOCKET s = ws->socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    if (s != INVALID_SOCKET) {
        if (ws->connect(s, found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0 &&
            ws->send(s, request.data(), static_cast<int>(request.size()), 0) ==
                static_cast<int>(request.size())) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(s, &readable);
            timeval wait{waitMs / 1000, (waitMs % 1000) * 1000};
            if (ws->select(0, &readable, nullptr, nullptr, &wait) == 1) {
                std::string buffer(65535, '\0');
                const int n = ws->recv(s, buffer.data(), static_cast<int>(buffer.size()), 0);
                if (n > 0) {
                    buffer.resize(static_cast<std::size_t>(n));
                    answer = std::move(buffer);
                }
            }
        }
        ws->closesocket(s);
    }
    ws->freeaddrinfo(found);
    return answer;
}

}  // namespace kurdb
