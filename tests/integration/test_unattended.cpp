// The program `kurdb` run unattended, as an administrator runs it: a copy of it in a folder of its
// own (its settings file goes beside it), a home of its own (registry files, shortcuts), the
// options on the command line, against the SQL Server of the tests. The companies database of the
// shipped edition and the login DURANIX are server-wide: these tests drop them before and after.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "db/Components.h"
#include "db/SqlTemplate.h"
#include "tests/support/TestServer.h"

namespace kurdb {
namespace {

namespace fs = std::filesystem;

constexpr const char* kCompanies = "FIRMADORVA";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string Quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// The number of lines of a log; each must begin with its time stamp.
int StampedLines(const std::string& log) {
    std::istringstream lines(log);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        EXPECT_TRUE(std::regex_match(line, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d .*)"))) << line;
    }
    return count;
}

struct Outcome {
    int code = -1;
    std::string out, err;
};

class Unattended : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = test::FindTestServer();
        ASSERT_TRUE(server_.missing.empty()) << server_.missing;
        dir_ = fs::temp_directory_path() / test::UniqueName("kurdb-unattended-");
        fs::create_directories(dir_ / "home/Desktop");
        fs::copy_file(KURDB_PROGRAM, dir_ / "kurdb");
        admin_.dbFirma.Connect(server_.server, server_.user, server_.password);
        DropAll();
    }
    void TearDown() override {
        if (server_.missing.empty()) DropAll();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // Runs the copy with `args` and the environment assignments `env`, in a home of its own and
    // without a display.
    Outcome Run(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
        const fs::path home = dir_ / "home";
        std::string command = "cd " + Quoted(dir_.string()) + " && env -u DISPLAY -u WAYLAND_DISPLAY -u " +
                              kPasswordVariableName + " HOME=" + Quoted(home.string()) +
                              " XDG_CONFIG_HOME=" + Quoted((home / ".config").string()) +
                              " XDG_DATA_HOME=" + Quoted((home / ".local/share").string());
        for (const auto& e : env) command += " " + Quoted(e);
        command += " ./kurdb";
        for (const auto& a : args) command += " " + Quoted(a);
        command += " >out.txt 2>err.txt </dev/null";
        const int status = std::system(command.c_str());
        Outcome o;
        o.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        o.out = ReadFile(dir_ / "out.txt");
        o.err = ReadFile(dir_ / "err.txt");
        return o;
    }

    std::string Log() const { return ReadFile(dir_ / "kurdb.log"); }
    std::string LogOption() const { return "--log=" + (dir_ / "kurdb.log").string(); }

    std::string Scalar(const std::string& sql) {
        db::SqlTemplate t("QTest", &admin_.dbFirma, {sql}, {{"V", db::ColumnDef::Type::String, 255}});
        t.OpenRows();
        return t.FieldAsString("V");
    }
    bool DatabaseExists() {
        return Scalar(std::string("select count(*) as V from master..sysdatabases where name = N'") +
                      kCompanies + "'") == "1";
    }
    bool LoginExists() {
        return Scalar("select count(*) as V from master..syslogins where name = N'DURANIX'") == "1";
    }
    void DropAll() {
        try {
            if (DatabaseExists())
                db::SqlTemplate("QTest", &admin_.dbFirma, {"use master", "DROP DATABASE FIRMADORVA"})
                    .Execute();
            if (LoginExists()) db::SqlTemplate("QTest", &admin_.dbFirma, {"DROP LOGIN [DURANIX]"}).Execute();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "cleaning up: " << e.what();
        }
    }

    static constexpr const char* kPasswordVariableName = "KURDB_PASSWORD";
    test::TestServer server_;
    fs::path dir_;
    db::Components admin_;
};

TEST_F(Unattended, MainMachineCreatesEverythingTheRerunOnlyChecksAndATerminalFollows) {
    const std::vector<std::string> mainMachine = {"--machine=main", "--server=" + server_.server,
                                                  "--user=" + server_.user, "--updater=no", LogOption()};
    const std::string password = "KURDB_PASSWORD=" + server_.password;

    const Outcome first = Run(mainMachine, {password});
    EXPECT_EQ(first.code, 0) << first.out << first.err;
    const std::string log = Log();
    // Every line stamped, the report's lines in order, then the outcome.
    EXPECT_GT(StampedLines(log), 20);
    const auto at = [&](const std::string& part) { return log.find(part); };
    EXPECT_EQ(log.find(" Gözetimsiz kurulum başladı.\n"), 19u) << log;
    EXPECT_LT(at("Server Bağlantı Parametresi mevcut değil!"), at("Server a bağlantı kuruldu."));
    EXPECT_LT(at("Server a bağlantı kuruldu."), at("Firmalar (FIRMADORVA) Veritabanı mevcut değil !!!"));
    EXPECT_LT(at("Firmalar (FIRMADORVA) Veritabanı mevcut değil !!!"),
              at("DURANIX kullanıcısına sysadmin rolü verildi"));
    EXPECT_LT(at("DURANIX kullanıcısına sysadmin rolü verildi"),
              at("Firmalar (FIRMADORVA) Veritabanı mevcut."));
    EXPECT_NE(at("Sonuç: 0 - Kurulum tamamlandı."), std::string::npos);
    EXPECT_EQ(log.find(server_.password), std::string::npos);
    // The same lines on standard output.
    EXPECT_EQ(first.out, log);
    EXPECT_TRUE(DatabaseExists());
    EXPECT_TRUE(LoginExists());
    EXPECT_NE(ReadFile(dir_ / "Duranix.ini").find("ServerAdi=" + server_.server), std::string::npos);
    EXPECT_EQ(ReadFile(dir_ / "Duranix.ini").find(server_.password), std::string::npos);
    EXPECT_TRUE(fs::exists(dir_ / "home/Desktop/Duranix Satış.desktop"));

    // The same command again, with the window walking itself: a check that finds everything, and
    // the log keeps both runs.
    std::vector<std::string> shown = mainMachine;
    shown.push_back("--silent");
    const Outcome second = Run(shown, {password, "QT_QPA_PLATFORM=offscreen"});
    EXPECT_EQ(second.code, 0) << second.out << second.err;
    const std::string both = Log();
    ASSERT_EQ(both.compare(0, log.size(), log), 0);
    const std::string rerun = both.substr(log.size());
    EXPECT_NE(rerun.find("Sihirbaz penceresi gösteriliyor."), std::string::npos) << rerun;
    EXPECT_NE(rerun.find("Firmalar (FIRMADORVA) Veritabanı mevcut."), std::string::npos);
    EXPECT_EQ(rerun.find("mevcut değil"), std::string::npos) << rerun;
    EXPECT_EQ(rerun.find("tablosu oluşturuldu"), std::string::npos) << rerun;
    EXPECT_EQ(rerun.find("rolü verildi"), std::string::npos) << rerun;
    EXPECT_EQ(Count(both, "Sonuç: 0 - Kurulum tamamlandı."), 2u);

    // A workstation: the remembered server, the login DURANIX, one short line; without a display
    // the window is not shown, and the run goes on without it.
    const Outcome terminal = Run({"--updater=no", "--shortcuts=no", "--silent", LogOption()});
    EXPECT_EQ(terminal.code, 0) << terminal.out << terminal.err;
    const std::string third = Log().substr(both.size());
    EXPECT_NE(
        third.find("Kurulum Yeri: Terminal, Server: \"" + server_.server + "\", Kullanıcı: \"DURANIX\""),
        std::string::npos)
        << third;
    EXPECT_NE(third.find("Firmalar (FIRMADORVA) Veritabanı mevcut."), std::string::npos) << third;
    EXPECT_EQ(third.find("Sihirbaz penceresi"), std::string::npos) << third;
}

TEST_F(Unattended, AWrongPasswordEndsWithItsCodeAndSaysWhyAndSavesNothing) {
    std::ofstream(dir_ / "password.txt") << "Yanlis#Sifre1\n";
    const Outcome o = Run({"--machine=main", "--server=" + server_.server, "--user=" + server_.user,
                           "--passwordfile=password.txt", LogOption()});
    EXPECT_EQ(o.code, 3) << o.out << o.err;
    const std::string log = Log();
    EXPECT_NE(log.find("Hata kutusu: "), std::string::npos) << log;
    StampedLines(log);  // the server's message has several lines
    EXPECT_NE(log.find("Login failed for user '" + server_.user + "'"), std::string::npos) << log;
    EXPECT_NE(log.find("Sonuç: 3 - Server bağlantısı kurulamadı."), std::string::npos) << log;
    EXPECT_EQ(log.find("Server a bağlantı kuruldu."), std::string::npos);
    EXPECT_EQ(log.find("Yanlis#Sifre1"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "Duranix.ini"));
    EXPECT_FALSE(DatabaseExists());
}

TEST_F(Unattended, APasswordOptionIsOverwrittenInTheProcessListWhileTheRunWaitsForTheServer) {
    // A server that takes the connection and never answers: the run waits in its login.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);

    const std::string program = (dir_ / "kurdb").string();
    const std::string server = "--server=127.0.0.1," + std::to_string(ntohs(address.sin_port));
    const std::string log = LogOption();
    std::vector<std::string> args = {program, "--machine=main", server, "--password=Gizli#Sifre9", log};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ), 0);

    // Once the run has written its first report line it has its copy of the arguments.
    for (int i = 0; i < 200 && Log().find("BDE Versiyon") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::string shown = ReadFile("/proc/" + std::to_string(pid) + "/cmdline");
    std::replace(shown.begin(), shown.end(), '\0', ' ');
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ::close(listener);
    EXPECT_NE(Log().find("BDE Versiyon"), std::string::npos) << Log();
    EXPECT_EQ(shown.find("Gizli#Sifre9"), std::string::npos) << shown;
    EXPECT_NE(shown.find("--password=xxxxxxxxxxxx " + log), std::string::npos) << shown;
    EXPECT_EQ(Log().find("Gizli#Sifre9"), std::string::npos);
}

TEST_F(Unattended, BadOptionsAndHelpNeedNoServer) {
    const Outcome bad = Run({"--server"});
    EXPECT_EQ(bad.code, 1);
    EXPECT_NE(bad.err.find("--server bir değer ister"), std::string::npos) << bad.err;
    const Outcome help = Run({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("--passwordfile=dosya"), std::string::npos) << help.out;
    const Outcome none = Run({});
    EXPECT_EQ(none.code, 1);
    EXPECT_NE(none.err.find("Ekran yok"), std::string::npos) << none.err;
}

}  // namespace
}  // namespace kurdb
