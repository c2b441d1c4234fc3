// The SQL Server Browser's question and answer, and one exchange over UDP on this machine.
#include <gtest/gtest.h>

#include "shell/ServerBrowser.h"

using namespace kurdb;

namespace {

std::string Response(const std::string& body) {
    std::string r(1, '\x05');
    r += static_cast<char>(body.size() & 0xFF);
    r += static_cast<char>(body.size() >> 8);
    return r + body;
}

}  // namespace

TEST(ServerBrowser, TheQuestionNamesTheInstance) {
    EXPECT_EQ(BrowserInstanceRequest("SQLEXPRESS"), std::string("\x04SQLEXPRESS\0", 12));
}

TEST(ServerBrowser, ThePortOfTheNamedInstanceIsTakenFromTheAnswer) {
    const std::string two =
        "ServerName;SUNUCU;InstanceName;MSSQLSERVER;IsClustered;No;Version;16.0.1000.6;tcp;1433;;"
        "ServerName;SUNUCU;InstanceName;SQLEXPRESS;IsClustered;No;Version;16.0.1000.6;tcp;49733;np;"
        "\\\\SUNUCU\\pipe\\MSSQL$SQLEXPRESS\\sql\\query;;";
    EXPECT_EQ(TcpPortFromBrowserResponse(Response(two), "SQLEXPRESS"), 49733);
    EXPECT_EQ(TcpPortFromBrowserResponse(Response(two), "sqlexpress"), 49733) << "names ignore case";
    EXPECT_EQ(TcpPortFromBrowserResponse(Response(two), "MSSQLSERVER"), 1433);
    EXPECT_EQ(TcpPortFromBrowserResponse(Response(two), "SQLEXPRES"), std::nullopt) << "no prefix match";
}

TEST(ServerBrowser, AnswersWithoutAUsablePortGiveNone) {
    // named pipes only
    EXPECT_EQ(
        TcpPortFromBrowserResponse(
            Response("ServerName;S;InstanceName;X;IsClustered;No;Version;16.0;np;\\\\S\\pipe\\sql\\query;;"),
            "X"),
        std::nullopt);
    EXPECT_EQ(TcpPortFromBrowserResponse(Response("ServerName;S;InstanceName;X;tcp;70000;;"), "X"),
              std::nullopt);
    EXPECT_EQ(TcpPortFromBrowserResponse(Response("ServerName;S;InstanceName;X;tcp;14a3;;"), "X"),
              std::nullopt);
    EXPECT_EQ(TcpPortFromBrowserResponse("\x04SQLEXPRESS", "SQLEXPRESS"), std::nullopt) << "not an answer";
    EXPECT_EQ(TcpPortFromBrowserResponse("\x05", "X"), std::nullopt);
    // the length field cuts what follows it
    const std::string cut = Response("ServerName;S;InstanceName;X;tcp;1") + "433;;";
    EXPECT_EQ(TcpPortFromBrowserResponse(cut, "X"), 1);
}

TEST(ServerBrowser, NoBrowserMeansNoPortAndNoError) {
    // an address of this machine where nothing listens on UDP 1434
    EXPECT_EQ(FindInstancePort("127.255.255.254", "SQLEXPRESS", kBrowserPort, 200, 1), std::nullopt);
    EXPECT_EQ(FindInstancePort("no-such-host.invalid", "SQLEXPRESS", kBrowserPort, 200, 1), std::nullopt);
}
