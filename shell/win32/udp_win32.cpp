#include <winsock2.h>
#include <ws2tcpip.h>

#include "shell/ServerBrowser.h"

namespace kurdb {
namespace {

// Winsock, started once for the process and left running until it ends.
bool WinsockReady() {
    static const bool ready = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
}

}  // namespace

std::optional<std::string> UdpExchange(const std::string& host, unsigned short port,
                                       const std::string& request, int waitMs) {
    if (!WinsockReady()) return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found)
        return std::nullopt;
    std::optional<std::string> answer;
    const SOCKET s = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    if (s != INVALID_SOCKET) {
        if (::connect(s, found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0 &&
            ::send(s, request.data(), static_cast<int>(request.size()), 0) ==
                static_cast<int>(request.size())) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(s, &readable);
            timeval wait{waitMs / 1000, (waitMs % 1000) * 1000};
            if (::select(0, &readable, nullptr, nullptr, &wait) == 1) {
                std::string buffer(65535, '\0');
                const int n = ::recv(s, buffer.data(), static_cast<int>(buffer.size()), 0);
                if (n > 0) {
                    buffer.resize(static_cast<std::size_t>(n));
                    answer = std::move(buffer);
                }
            }
        }
        ::closesocket(s);
    }
    ::freeaddrinfo(found);
    return answer;
}

}  // namespace kurdb
