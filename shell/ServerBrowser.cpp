#include "shell/ServerBrowser.h"

#include <vector>

#include "base/Text.h"

namespace kurdb {
namespace {

std::vector<std::string_view> Split(std::string_view s, char sep) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const auto at = s.find(sep, start);
        parts.push_back(s.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos) return parts;
        start = at + 1;
    }
}

}  // namespace

std::string BrowserInstanceRequest(std::string_view instance) {
    std::string request(1, '\x04');
    request += instance;
    request += '\0';
    return request;
}

std::optional<int> TcpPortFromBrowserResponse(std::string_view response, std::string_view instance) {
    if (response.size() < 3 || response[0] != '\x05') return std::nullopt;
    const std::size_t length = static_cast<unsigned char>(response[1]) |
                               (static_cast<std::size_t>(static_cast<unsigned char>(response[2])) << 8);
    std::string_view body = response.substr(3);
    if (length < body.size()) body = body.substr(0, length);
    // Instances are separated by ";;"; within one, keys and values alternate.
    std::size_t start = 0;
    while (start < body.size()) {
        auto end = body.find(";;", start);
        if (end == std::string_view::npos) end = body.size();
        const auto fields = Split(body.substr(start, end - start), ';');
        bool match = false;
        std::optional<int> port;
        for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
            if (text::EqualsNoCase(fields[i], "InstanceName"))
                match = text::EqualsNoCase(fields[i + 1], instance);
            if (text::EqualsNoCase(fields[i], "tcp")) {
                const std::string_view digits = fields[i + 1];
                int value = 0;
                bool ok = !digits.empty() && digits.size() <= 5;
                for (char c : digits) {
                    if (c < '0' || c > '9')
                        ok = false;
                    else
                        value = value * 10 + (c - '0');
                }
                if (ok && value > 0 && value <= 65535) port = value;
            }
        }
        if (match) return port;
        start = end + 2;
    }
    return std::nullopt;
}

std::optional<int> FindInstancePort(const std::string& host, const std::string& instance,
                                    unsigned short browserPort, int waitMs, int tries) {
    const std::string request = BrowserInstanceRequest(instance);
    for (int i = 0; i < tries; ++i) {
        if (const auto answer = UdpExchange(host, browserPort, request, waitMs))
            return TcpPortFromBrowserResponse(*answer, instance);
    }
    return std::nullopt;
}

}  // namespace kurdb
