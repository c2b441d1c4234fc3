// A server that never completes the login, whatever it does instead, ends Connect with the
// message that it did not answer in time. The faults come from tests/support/faultserver.py,
// which the CTest fixture starts; their ports are in the file KURDB_TEST_FAULTS_FILE.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "db/Components.h"
#include "tests/support/TestServer.h"

using namespace kurdb;

namespace {

std::map<std::string, std::string> FaultPorts() {
    std::string path = test::Env("KURDB_TEST_FAULTS_FILE");
#ifdef _WIN32
    if (!path.empty() && path.front() == '/') path = "Z:" + path;  // the host's root under Wine
#endif
    std::map<std::string, std::string> ports;
    std::ifstream in(path);
    std::string fault, port;
    while (in >> fault >> port) ports[fault] = port;
    return ports;
}

}  // namespace

// Every fault at once, each on a connection of its own: the drivers keep the login timeout for
// some of them and not for others.
TEST(UnansweredServer, EveryFaultEndsWithTheNoAnswerMessage) {
    const auto ports = FaultPorts();
    ASSERT_EQ(ports.size(), 4u) << "no fault server: KURDB_TEST_FAULTS_FILE";
    struct Outcome {
        std::string fault, server, message;
        bool connected = false;
    };
    std::vector<Outcome> outcomes;
    for (const auto& [fault, port] : ports) outcomes.push_back({fault, "127.0.0.1," + port, "", false});
    std::vector<std::thread> attempts;
    for (Outcome& o : outcomes)
        attempts.emplace_back([&o] {
            db::Components database;
            try {
                database.dbFirma.Connect(o.server, "sa", "Kurdb#Fault7");
                o.connected = true;
            } catch (const std::exception& e) {
                o.message = e.what();
            }
        });
    for (std::thread& t : attempts) t.join();
    for (const Outcome& o : outcomes) {
        EXPECT_FALSE(o.connected) << o.fault;
        EXPECT_EQ(o.message, db::Format(db::Format(db::texts::kServerNoAnswer, o.server), "15")) << o.fault;
    }
}
