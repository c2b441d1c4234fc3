#pragma once
// The SQL Server of the integration tests: a real one when KURDB_TEST_SERVER (any server-name
// form), KURDB_TEST_USER and KURDB_TEST_PASSWORD name it (the user may create databases and
// logins); otherwise the stand-in of the CTest fixture on 127.0.0.1, its port in the file
// KURDB_TEST_READY_FILE, user sa, password KURDB_TEST_STANDIN_PASSWORD.
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
    if (!Env("KURDB_TEST_SERVER").empty())
        return {Env("KURDB_TEST_SERVER"), Env("KURDB_TEST_USER"), Env("KURDB_TEST_PASSWORD"), ""};
    std::string ready = Env("KURDB_TEST_READY_FILE");
    if (ready.empty()) return {"", "", "", "neither KURDB_TEST_SERVER nor KURDB_TEST_READY_FILE is set"};
#ifdef _WIN32
    if (ready.front() == '/') ready = "Z:" + ready;  // under Wine the host's root is drive Z:
#endif
    std::ifstream in(ready);
    std::string port;
    if (!(in >> port)) return {"", "", "", "no port in " + ready};
    return {"127.0.0.1," + port, "sa", Env("KURDB_TEST_STANDIN_PASSWORD"), ""};
}

// A named instance reached through the SQL Server Browser: a real one when KURDB_TEST_SERVER is
// set and KURDB_TEST_INSTANCE_SERVER names it ("host\\instance", same user and password);
// otherwise the instance stand-in of the CTest fixture, its address in the file
// KURDB_TEST_INSTANCE_HOST_FILE, its TCP port in KURDB_TEST_INSTANCE_READY_FILE, its instance
// name in KURDB_TEST_INSTANCE.
struct TestInstance {
    std::string host, instance, port;  // port: empty for a real server
    std::string user, password;
    std::string missing;  // why there is none
    bool skip = false;    // a real server without a named instance to test
};

inline std::string ReadWord(std::string path) {
#ifdef _WIN32
    if (!path.empty() && path.front() == '/') path = "Z:" + path;
#endif
    std::ifstream in(path);
    std::string word;
    in >> word;
    return word;
}

inline TestInstance FindTestInstance() {
    TestInstance t;
    if (!Env("KURDB_TEST_SERVER").empty()) {
        const std::string named = Env("KURDB_TEST_INSTANCE_SERVER");
        const auto slash = named.find('\\');
        if (slash == std::string::npos) {
            t.skip = true;
            t.missing = "KURDB_TEST_INSTANCE_SERVER names no host\\instance of the real server";
            return t;
        }
        return {named.substr(0, slash),
                named.substr(slash + 1),
                "",
                Env("KURDB_TEST_USER"),
                Env("KURDB_TEST_PASSWORD"),
                "",
                false};
    }
    t.host = ReadWord(Env("KURDB_TEST_INSTANCE_HOST_FILE"));
    t.port = ReadWord(Env("KURDB_TEST_INSTANCE_READY_FILE"));
    t.instance = Env("KURDB_TEST_INSTANCE");
    t.user = "sa";
    t.password = Env("KURDB_TEST_STANDIN_PASSWORD");
    if (t.host.empty() || t.port.empty() || t.instance.empty())
        t.missing =
            "no instance stand-in: KURDB_TEST_INSTANCE_HOST_FILE, KURDB_TEST_INSTANCE_READY_FILE "
            "and KURDB_TEST_INSTANCE must name it";
    return t;
}

// A name no earlier run has used, so a rerun against a real server starts clean.
inline std::string UniqueName(const std::string& prefix) {
    static std::mt19937_64 random{
        std::random_device{}() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    std::ostringstream out;
    out << prefix << std::hex << std::uppercase << (random() & 0xFFFFFFFFFFFFull);
    return out.str();
}

}  // namespace kurdb::test
