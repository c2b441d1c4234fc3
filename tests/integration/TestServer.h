#pragma once
// Where the integration tests find their SQL Server:
//  - KURDB_TEST_SERVER ("host,port" or any SQL Server server name), KURDB_TEST_USER and
//    KURDB_TEST_PASSWORD: a real SQL Server (the user needs the right to create databases and
//    logins);
//  - otherwise the stand-in of the CTest fixture: 127.0.0.1, the port from the file
//    KURDB_TEST_READY_FILE, user sa, password KURDB_TEST_STANDIN_PASSWORD.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace kurdb::test {

struct TestServer {
    std::string server, user, password;
    std::string missing;  // why no server is named; empty when one is
};

inline std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

inline TestServer FindTestServer() {
    TestServer s;
    if (!Env("KURDB_TEST_SERVER").empty()) {
        s.server = Env("KURDB_TEST_SERVER");
        s.user = Env("KURDB_TEST_USER");
        s.password = Env("KURDB_TEST_PASSWORD");
        return s;
    }
    std::string ready = Env("KURDB_TEST_READY_FILE");
    if (ready.empty()) {
        s.missing = "neither KURDB_TEST_SERVER nor KURDB_TEST_READY_FILE is set";
        return s;
    }
#ifdef _WIN32
    // Under Wine the fixture hands over a host path; the host's root is drive Z:.
    if (ready.front() == '/') ready = "Z:" + ready;
#endif
    std::ifstream in(ready);
    std::string port;
    if (!(in >> port)) {
        s.missing = "no port in " + ready;
        return s;
    }
    s.server = "127.0.0.1," + port;
    s.user = "sa";
    s.password = Env("KURDB_TEST_STANDIN_PASSWORD");
    return s;
}

// A name no earlier run has used, so a rerun against a real server starts clean:
// prefix + 12 upper-case hex digits.
inline std::string UniqueName(const std::string& prefix) {
    static std::mt19937_64 random{std::random_device{}() ^
                                  static_cast<std::uint64_t>(
                                      std::chrono::steady_clock::now().time_since_epoch().count())};
    std::ostringstream out;
    out << prefix << std::hex << std::uppercase << (random() & 0xFFFFFFFFFFFFull);
    return out.str();
}

}  // namespace kurdb::test
