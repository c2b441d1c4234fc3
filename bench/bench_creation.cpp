// The creation benchmark's client, in three modes (tools/bench.py drives them):
//   wizard SERVER USER PASSWORD EDITION DATABASE  one "İleri" press on the main machine through the
//                                                  wizard's own controller, headless; prints ms
//   replay SERVER USER PASSWORD FILE              the same batches sent by a minimal ODBC client
//                                                  over the same driver; prints ms
//   sql SERVER USER PASSWORD STATEMENT            runs one batch (clean-up between runs)
// FILE holds "SESSION" lines, each followed by its batches as "BATCH <bytes>" and the bytes.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/Kurdb.h"
#include "base/Text.h"
#include "db/ConnectionString.h"
#include "fakes/Fakes.h"
#include "resources/ControlNames.h"

using namespace kurdb;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

int Wizard(const std::string& server, const std::string& user, const std::string& password, int number,
           const std::string& database) {
    fakes::FakePlatform platform;
    platform.exe = "/nonexistent/kurdb-bench/kurdb";
    fakes::MemoryProfiles profiles;
    fakes::MemoryRegistry registry;
    fakes::RecordingProcesses processes;
    fakes::RecordingShellLinks links;
    fakes::ScriptedWindow window;
    CurrentEdition edition = EditionFor(number);
    edition.companiesDatabase = database;
    const auto start = Clock::now();
    db::Components components;
    FormModel form(WindowDef::Embedded());
    TFFirmaDB ctl(form, window, edition, {platform, profiles, components, registry, processes, links});
    form.SetItemIndex(controls::cbTerminal, 0);
    ctl.Click(controls::cbTerminal);
    form.SetText(controls::editServer, server);
    form.SetText(controls::editUser, user);
    form.SetText(controls::editPass, password);
    ctl.Click(controls::btnConnect);
    const double ms = Ms(start);
    if (!window.errors.empty() || form.ActivePage(controls::cxPage) != 2) {
        std::cerr << "the creation did not land on Bitir: "
                  << (window.errors.empty() ? "" : window.errors[0].text) << "\n";
        return 1;
    }
    std::printf("%.3f\n", ms);
    return 0;
}

// The smallest client: one connection handle per session, one SQLExecDirectW per batch, every
// result drained.
class RawClient {
public:
    RawClient(db::OdbcEngine& engine, const std::string& server, const std::string& user,
              const std::string& password)
        : engine_(engine), api_(engine.Api()) {
        dbc_ = engine_.Allocate(db::odbc::SQL_HANDLE_DBC, engine_.Environment());
        std::u16string in =
            text::Utf8ToUtf16(db::BuildConnectionString(engine_.SqlServerDriver(), server, user, password));
        db::odbc::SQLSMALLINT outLength = 0;
        std::u16string out(1024, u'\0');
        const auto rc = api_.SQLDriverConnectW(
            dbc_.Get(), nullptr, in.data(), static_cast<db::odbc::SQLSMALLINT>(in.size()), out.data(),
            static_cast<db::odbc::SQLSMALLINT>(out.size()), &outLength, db::odbc::SQL_DRIVER_NOPROMPT);
        if (rc != 0 && rc != 1) engine_.Raise(db::odbc::SQL_HANDLE_DBC, dbc_.Get(), rc);
    }
    ~RawClient() { api_.SQLDisconnect(dbc_.Get()); }

    void Run(const std::string& sql) {
        db::OdbcHandle stmt = engine_.Allocate(db::odbc::SQL_HANDLE_STMT, dbc_.Get());
        std::u16string text = text::Utf8ToUtf16(sql);
        auto rc =
            api_.SQLExecDirectW(stmt.Get(), text.data(), static_cast<db::odbc::SQLINTEGER>(text.size()));
        // 100: no rows; errors of a batch the wizard ran too are its own (a guarded step)
        while (rc == 0 || rc == 1 || rc == -1) {
            db::odbc::SQLSMALLINT columns = 0;
            if (rc != -1 && api_.SQLNumResultCols(stmt.Get(), &columns) == 0 && columns > 0)
                while (api_.SQLFetch(stmt.Get()) == 0) {
                }
            rc = api_.SQLMoreResults(stmt.Get());
        }
    }

private:
    db::OdbcEngine& engine_;
    const db::odbc::Api& api_;
    db::OdbcHandle dbc_;
};

int Replay(const std::string& server, const std::string& user, const std::string& password,
           const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::vector<std::string>> sessions;
    std::string word;
    while (in >> word) {
        if (word == "SESSION") {
            sessions.emplace_back();
        } else if (word == "BATCH") {
            std::size_t bytes = 0;
            in >> bytes;
            in.get();
            std::string batch(bytes, '\0');
            in.read(batch.data(), static_cast<std::streamsize>(bytes));
            sessions.back().push_back(std::move(batch));
        }
    }
    const auto start = Clock::now();
    db::OdbcEngine engine;
    engine.EngineVersion();  // the wizard asks for it before it connects
    for (const auto& batches : sessions) {
        RawClient client(engine, server, user, password);
        for (const auto& batch : batches) client.Run(batch);
    }
    std::printf("%.3f\n", Ms(start));
    return 0;
}

int Sql(const std::string& server, const std::string& user, const std::string& password,
        const std::string& statement) {
    db::Components c;
    c.dbFirma.Connect(server, user, password);
    db::SqlTemplate t("QBench", &c.dbFirma, {statement});
    t.Execute();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> a(argv + 1, argv + argc);
    try {
        if (a.size() == 6 && a[0] == "wizard") return Wizard(a[1], a[2], a[3], std::stoi(a[4]), a[5]);
        if (a.size() == 5 && a[0] == "replay") return Replay(a[1], a[2], a[3], a[4]);
        if (a.size() == 5 && a[0] == "sql") return Sql(a[1], a[2], a[3], a[4]);
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    std::cerr << "usage: kurdb_bench_creation wizard|replay|sql SERVER USER PASSWORD ...\n";
    return 2;
}
