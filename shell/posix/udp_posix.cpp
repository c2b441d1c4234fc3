#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "shell/ServerBrowser.h"

namespace kurdb {

std::optional<std::string> UdpExchange(const std::string& host, unsigned short port,
                                       const std::string& request, int waitMs) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found)
        return std::nullopt;
    std::optional<std::string> answer;
    const int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
    if (fd >= 0) {
        // connect() makes the socket take datagrams from that address only
        if (::connect(fd, found->ai_addr, found->ai_addrlen) == 0 &&
            ::send(fd, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
            for (;;) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      deadline - std::chrono::steady_clock::now())
                                      .count();
                if (left <= 0) break;
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
                std::string buffer(65535, '\0');
                const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
                if (n > 0) {
                    buffer.resize(static_cast<std::size_t>(n));
                    answer = std::move(buffer);
                    break;
                }
                if (n < 0) break;  // e.g. the port is closed (ICMP unreachable)
            }
        }
        ::close(fd);
    }
    ::freeaddrinfo(found);
    return answer;
}

}  // namespace kurdb
