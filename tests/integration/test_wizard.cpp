// The first page's "İleri" end to end: the wizard's own handlers on the real ODBC stack against a
// SQL Server (the stand-in of the CTest fixture, or a real one named by KURDB_TEST_SERVER).
//
// The application login DURANIX is server-wide, so these tests run one at a time and each
// starts without it; every companies database is named afresh for its run and dropped again.
// Do not point them at a server whose DURANIX login is in use.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <sstream>
#include <thread>

#include "ExpectedSchema.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestServer.h"
#include "app/ErrorBox.h"
#include "app/Kurdb.h"
#include "setup/ServerSetup.h"
#include "base/Text.h"
#include "resources/ControlNames.h"

namespace kurdb {
namespace {

namespace fs = std::filesystem;
using test::FindTestServer;
using test::UniqueName;

using Lines = std::vector<std::string>;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The lines the login provisioning writes for DURANIX after `first`.
Lines LoginLines(const std::string& first) {
    Lines lines{first};
    for (const auto role : setup::kServerRoles)
        lines.push_back("DURANIX kullanıcısına " + std::string(role) + " rolü verildi");
    return lines;
}

Lines ModuleLines(const CurrentEdition& e) {
    Lines lines;
    for (int i = 0; i < e.moduleCount; ++i)
        lines.push_back(e.modules[static_cast<std::size_t>(i)] + " tablosu oluşturuldu.");
    return lines;
}

Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class WizardOnServer : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = FindTestServer();
        ASSERT_TRUE(server_.missing.empty()) << server_.missing;
        dir_ = fs::temp_directory_path() / UniqueName("kurdb-wizard-");
        fs::create_directories(dir_);
        platform_.exe = (dir_ / "kurdb").string();
        admin_.dbFirma.Connect(server_.server, server_.user, server_.password);
        DropLogin("DURANIX");
    }

    void TearDown() override {
        wizard_.reset();  // its connection closes first
        if (server_.missing.empty()) {
            try {
                if (!admin_.dbFirma.IsConnected())
                    admin_.dbFirma.Connect(server_.server, server_.user, server_.password);
                for (const auto& db : databases_) DropDatabase(db);
                DropLogin("DURANIX");
                for (const auto& login : logins_) DropLogin(login);
            } catch (const Exception& e) {
                ADD_FAILURE() << "cleaning up: " << e.Message();
            }
        }
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // A wizard of `number` whose companies database has a name of its own for this run.
    struct Wizard {
        Wizard(WizardOnServer& t, CurrentEdition e)
            : edition(std::move(e)),
              ctl(form, window, edition,
                  {t.platform_, *t.profiles_, database, t.registry_, processes, links}) {
            ctl.FormCreate();
            ctl.FormShow();
        }
        CurrentEdition edition;
        db::Components database;
        test::RecordingProcesses processes;
        test::RecordingShellLinks links;
        test::ScriptedWindow window;
        FormModel form{WindowDef::Embedded()};
        TFFirmaDB ctl;

        Lines Log() const { return form.Lines(controls::Memo1); }
        int Page() const { return form.ActivePage(controls::cxPage); }
    };

    Wizard& Open(int number, const std::string& companies = {}) {
        CurrentEdition e = EditionFor(number);
        e.companiesDatabase = companies.empty() ? UniqueName("KURDBF") : companies;
        databases_.push_back(e.companiesDatabase);
        wizard_ = std::make_unique<Wizard>(*this, std::move(e));
        return *wizard_;
    }

    // Types the server and the user as an installer would on the server machine.
    void TypeMainMachine(Wizard& w, const std::string& user, const std::string& password) {
        w.form.SetItemIndex(controls::cbTerminal, 0);
        w.ctl.Click(controls::cbTerminal);
        w.form.SetText(controls::editServer, server_.server);
        w.form.SetText(controls::editUser, user);
        w.form.SetText(controls::editPass, password);
    }

    Lines ConnectLines(const std::string& version) const {
        return {"BDE Versiyon: " + version, "Server a bağlantı kuruldu.",
                "Server Bağlantı parametresi kaydedildi"};
    }
    std::string Version(Wizard& w) { return std::to_string(w.database.dbFirma.EngineVersion()); }

    void Run(const std::string& sql) {
        db::SqlTemplate t("QTest", &admin_.dbFirma, {sql});
        t.Execute();
    }
    std::string Scalar(const std::string& sql) {
        db::SqlTemplate t("QTest", &admin_.dbFirma, {sql}, {{"V", db::ColumnDef::Type::String, 255}});
        t.OpenRows();
        return t.FieldAsString("V");
    }
    // The columns of `table` in the current database, in order, as "NAME type(length) NULL".
    Lines ColumnsOf(const std::string& table) {
        const auto results = admin_.dbFirma.RunBatch(
            "select COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE, NUMERIC_PRECISION, "
            "NUMERIC_SCALE from INFORMATION_SCHEMA.COLUMNS where TABLE_NAME = N'" +
                table + "' order by ORDINAL_POSITION",
            true);
        Lines out;
        for (const auto& r : results.at(0).rows) {
            std::string type = r[1].value_or("?");
            if (type == "numeric") type += "(" + r[4].value_or("?") + "," + r[5].value_or("?") + ")";
            if (r[2]) type += "(" + *r[2] + ")";
            out.push_back(r[0].value_or("?") + " " + type + (r[3] == "YES" ? " NULL" : " NOT NULL"));
        }
        return out;
    }
    static Lines Described(const std::vector<test::ExpectedColumn>& columns) {
        Lines out;
        for (const auto& c : columns)
            out.push_back(std::string(c.name) + " " + c.type +
                          (c.length >= 0 ? "(" + std::to_string(c.length) + ")" : "") +
                          (c.nullable ? " NULL" : " NOT NULL"));
        return out;
    }

    // Drops a database once no session uses it any more: a client that has just closed its
    // connection may still be seen holding it for a moment, on a real server too.
    void DropDatabase(const std::string& name) {
        if (Scalar("select count(*) as V from master..sysdatabases where name = N'" + name + "'") == "0")
            return;
        for (int attempt = 0;; ++attempt) {
            try {
                Run("use master\r\nDROP DATABASE [" + name + "]");
                return;
            } catch (const db::EDBEngineError& e) {
                const auto& r = e.Records();
                const bool inUse = std::any_of(r.begin(), r.end(),
                                               [](const db::DiagRecord& d) { return d.nativeError == 3702; });
                if (!inUse || attempt == 100) throw;
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
    }
    void DropLogin(const std::string& login) {
        if (Scalar("select count(*) as V from master..syslogins where name = N'" + login + "'") != "0")
            Run("DROP LOGIN [" + login + "]");
    }

    // One line per row of each result of `sql` on the admin connection, fields joined by "|".
    Lines Rows(const std::string& sql) {
        Lines out;
        for (const auto& result : admin_.dbFirma.RunBatch(sql, true))
            for (const auto& row : result.rows) {
                std::string line;
                for (const auto& field : row) line += (line.empty() ? "" : "|") + field.value_or("NULL");
                out.push_back(line);
            }
        return out;
    }

    // Everything the creation makes, as lines: the database; each table's columns with type,
    // length, precision, nullability and default; its keys and indexes with their columns in
    // order; the login with its default database, language and server roles.
    Lines Catalogue(const std::string& name) {
        Lines out = Rows("use master\r\nselect name from master..sysdatabases where name = N'" + name + "'");
        if (!out.empty()) {
            out = out +
                  Rows("USE " + name +
                       "\r\nselect TABLE_NAME, COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, "
                       "NUMERIC_PRECISION, NUMERIC_SCALE, IS_NULLABLE, COLUMN_DEFAULT "
                       "from INFORMATION_SCHEMA.COLUMNS order by TABLE_NAME, ORDINAL_POSITION\r\n"
                       "select t.name, i.name, i.type_desc, i.is_unique, i.is_primary_key, "
                       "ic.key_ordinal, c.name from sys.indexes i "
                       "join sys.tables t on t.object_id = i.object_id "
                       "join sys.index_columns ic on ic.object_id = i.object_id and ic.index_id = i.index_id "
                       "join sys.columns c on c.object_id = ic.object_id and c.column_id = ic.column_id "
                       "order by t.name, i.name, ic.key_ordinal\r\n"
                       "select k.name, k.type, t.name from sys.key_constraints k "
                       "join sys.tables t on t.object_id = k.parent_object_id order by k.name\r\n"
                       "use master");
        }
        return out + Rows(
                         "select name, dbname, language, sysadmin, securityadmin, serveradmin, setupadmin, "
                         "processadmin, diskadmin, dbcreator, bulkadmin from master..syslogins "
                         "where name = N'DURANIX'");
    }

    void CutAtEachRequestInTurn(int edition);

    test::TestServer server_;
    fs::path dir_;
    test::FakePlatform platform_;
    std::unique_ptr<IProfileFiles> profiles_ = MakeNativeProfileFiles();
    test::MemoryRegistry registry_;
    db::Components admin_;
    std::unique_ptr<Wizard> wizard_;
    std::vector<std::string> databases_, logins_;
};

TEST_F(WizardOnServer, AFirstRunCreatesEverythingAndLandsOnBitir) {
    Wizard& w = Open(3);
    const std::string name = w.edition.companiesDatabase;
    TypeMainMachine(w, server_.user, server_.password);
    w.ctl.Click(controls::btnConnect);
    ASSERT_TRUE(w.window.errors.empty()) << w.window.errors[0].text;

    const Lines connect = ConnectLines(Version(w));
    EXPECT_EQ(w.Log(), Lines{"Server Bağlantı Parametresi mevcut değil!"} + connect +
                           Lines{"Firmalar (" + name + ") Veritabanı mevcut değil !!!"} +
                           LoginLines("Sql Kullanıcısı Açıldı :DURANIX") + ModuleLines(w.edition) + connect +
                           Lines{"Firmalar (" + name + ") Veritabanı mevcut."});
    EXPECT_EQ(w.Page(), 2) << "\"Güncelle\" is passed over";
    EXPECT_FALSE(w.database.dbFirma.IsConnected());
    EXPECT_EQ(w.ctl.RememberedServerName(), server_.server);
    const std::string ini = ReadFile(dir_ / "Duranix.ini");
    EXPECT_EQ(IniText(ini).Get("SERVER", "ServerAdi"), server_.server);
    EXPECT_EQ(IniText(ini).Get("SERVER", "Firmalar"), std::nullopt) << "edition 3 saves only the server";

    // what the server holds now
    Run("USE " + name);
    EXPECT_EQ(Scalar("select count(*) as V from sysobjects where xtype = 'U' and name = 'FIRMALAR'"), "1");
    EXPECT_EQ(Scalar("select count(*) as V from sysobjects where xtype = 'U'"), "13")
        << "FIRMALAR and twelve module tables";
    for (const std::string& module : w.edition.modules) {
        EXPECT_EQ(
            Scalar("select count(*) as V from sys.indexes i join sys.tables t on t.object_id = i.object_id "
                   "where t.name = '" +
                   module +
                   "' and i.is_primary_key = 1 and i.type_desc = 'NONCLUSTERED' "
                   "and i.name = 'PK_" +
                   module + "'"),
            "1")
            << module << ": a nonclustered primary key named PK_" << module;
    }
    EXPECT_EQ(Scalar("select count(*) as V from FIRMALAR"), "0");
    for (const auto& table : test::kCompaniesTables)
        EXPECT_EQ(ColumnsOf(table.name), Described(table.columns)) << table.name;
    for (const std::string& module : w.edition.modules)
        EXPECT_EQ(ColumnsOf(module), Described(test::kModuleTableColumns)) << module;
    Run("use master");
    EXPECT_EQ(Scalar("select language as V from master..syslogins where name = 'DURANIX'"),
              Scalar("select name as V from master..syslanguages where alias = 'Turkish'"));
    EXPECT_EQ(Scalar("select dbname as V from master..syslogins where name = 'DURANIX'"), "master");
    for (const auto role : setup::kServerRoles)
        EXPECT_EQ(Scalar("select IS_SRVROLEMEMBER('" + std::string(role) + "', 'DURANIX') as V"), "1")
            << role;
}

TEST_F(WizardOnServer, ASecondPressFindsTheDatabaseAndStopsOnGuncelle) {
    Wizard& w = Open(3);
    TypeMainMachine(w, server_.user, server_.password);
    w.ctl.Click(controls::btnConnect);
    ASSERT_EQ(w.Page(), 2);
    w.form.SetActivePage(controls::cxPage, 0);
    w.form.SetLines(controls::Memo1, {});
    w.ctl.Click(controls::btnConnect);
    EXPECT_EQ(w.Log(), ConnectLines(Version(w)) +
                           Lines{"Firmalar (" + w.edition.companiesDatabase + ") Veritabanı mevcut."});
    EXPECT_EQ(w.Page(), 1);
}

TEST_F(WizardOnServer, CreationOverAnExistingDatabaseMakesNothingNewButLogsEveryStep) {
    Wizard& w = Open(3);
    TypeMainMachine(w, server_.user, server_.password);
    w.ctl.Click(controls::btnConnect);
    ASSERT_EQ(w.Page(), 2);
    // an existing login keeps its password but gets Turkish as its language again
    Run("EXEC sp_defaultlanguage 'DURANIX', 'us_english'");
    const std::string tablesBefore =
        Scalar("select count(*) as V from " + w.edition.companiesDatabase + "..sysobjects");

    w.form.SetActivePage(controls::cxPage, 0);
    w.form.SetLines(controls::Memo1, {});
    w.database.dbFirma.Connect(server_.server, server_.user, server_.password);
    w.ctl.Click(controls::Btn43);
    ASSERT_TRUE(w.window.errors.empty()) << w.window.errors[0].text;
    EXPECT_EQ(w.Log(), LoginLines("Sql Kullanıcısı Mevcut :DURANIX") + ModuleLines(w.edition) +
                           ConnectLines(Version(w)) +
                           Lines{"Firmalar (" + w.edition.companiesDatabase + ") Veritabanı mevcut."});
    EXPECT_EQ(Scalar("select count(*) as V from " + w.edition.companiesDatabase + "..sysobjects"),
              tablesBefore);
    EXPECT_EQ(Scalar("select language as V from master..syslogins where name = 'DURANIX'"),
              Scalar("select name as V from master..syslanguages where alias = 'Turkish'"));
    EXPECT_EQ(w.Page(), 1);
}

TEST_F(WizardOnServer, EditionEighteenMakesOneModuleTableAndTheSchema) {
    Wizard& w = Open(18);
    TypeMainMachine(w, server_.user, server_.password);
    w.ctl.Click(controls::btnConnect);
    ASSERT_TRUE(w.window.errors.empty()) << w.window.errors[0].text;
    const std::string name = w.edition.companiesDatabase;
    const Lines connect = ConnectLines(Version(w));
    const Lines expected = Lines{"Server Bağlantı Parametresi mevcut değil!"} + connect +
                           Lines{"Firmalar (" + name + ") Veritabanı mevcut değil !!!"} +
                           LoginLines("Sql Kullanıcısı Açıldı :DURANIX") +
                           Lines{"GUNCELTARSO tablosu oluşturuldu.", "Tablolar oluşturuldu."} + connect +
                           Lines{"Firmalar (" + name + ") Veritabanı mevcut."};
    EXPECT_EQ(w.Log(), expected);
    EXPECT_EQ(w.Page(), 2);
    EXPECT_EQ(IniText(ReadFile(dir_ / "Duranix.ini")).Get("SERVER", "Firmalar"), name);
    Run("USE " + name);
    EXPECT_EQ(Scalar("select count(*) as V from sysobjects where xtype = 'U'"), "13")
        << "FIRMALAR, GUNCELTARSO and the eleven tables of the schema";
    EXPECT_EQ(Scalar("select count(*) as V from RIGHTS"), "1");
    for (const auto& table : test::kExtendedSchemaTables)
        EXPECT_EQ(ColumnsOf(table.name), Described(table.columns)) << table.name;
    EXPECT_EQ(ColumnsOf("GUNCELTARSO"), Described(test::kModuleTableColumns));
}

TEST_F(WizardOnServer, ASchemaBatchRejectedEveryTimeEndsInAnErrorAfterBoundedRounds) {
    // A key that takes the name of ISEMRI: its batch finds no table of that name, and the
    // server refuses the table every time.
    const std::string name = UniqueName("KURDBF");
    Run("CREATE DATABASE " + name);
    Run("USE " + name +
        "\r\nCREATE TABLE [dbo].[ENGEL] ([X] [int] NOT NULL CONSTRAINT [ISEMRI] PRIMARY KEY)");
    Run("use master");
    Wizard& w = Open(18, name);
    TypeMainMachine(w, server_.user, server_.password);
    w.database.dbFirma.Connect(server_.server, server_.user, server_.password);
    w.ctl.Click(controls::Btn43);
    const Lines& log = w.Log();
    const auto failed = std::find_if(log.begin(), log.end(),
                                     [](const std::string& l) { return l.rfind("Tablolar Hata:", 0) == 0; });
    ASSERT_NE(failed, log.end());
    EXPECT_EQ(*(failed - 1), "GUNCELTARSO tablosu oluşturuldu.");
    EXPECT_NE(failed->find("zaten var"), std::string::npos) << *failed;
    EXPECT_EQ(std::count(log.begin(), log.end(), std::string("Tablolar oluşturuldu.")), 0);
    // the nested step runs, finds the schema incomplete and creates again, a bounded number of
    // times, then says so instead of moving on as if the database were whole
    EXPECT_EQ(std::count(log.begin(), log.end(), "Firmalar (" + name + ") Veritabanı eksik !!!"), 3);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Firmalar (" + name + ") Veritabanı mevcut."), 0);
    EXPECT_EQ(log.back(), "Firmalar (" + name + ") Veritabanı oluşturulamadı !!!");
    ASSERT_EQ(w.window.errors.size(), 1u);
    EXPECT_EQ(w.Page(), 0);
    Run("USE " + name);
    EXPECT_EQ(Scalar("select count(*) as V from sysobjects where xtype = 'U' and name = 'FRT'"), "1")
        << "the batch before the failing one stays done";
    EXPECT_EQ(Scalar("select count(*) as V from sysobjects where xtype = 'U' and name = 'ISCIUSTA'"), "0")
        << "the batches after the failing one were not sent";
}

TEST_F(WizardOnServer, ALoginWithoutServerRightsGetsHataLinesAndTheErrorBox) {
    const std::string login = UniqueName("KURDBU");
    Run("CREATE LOGIN [" + login + "] WITH PASSWORD = N'Kurdb#Dusuk1', CHECK_POLICY = OFF");
    logins_.push_back(login);
    Wizard& w = Open(3);
    TypeMainMachine(w, login, "Kurdb#Dusuk1");
    w.ctl.Click(controls::btnConnect);

    const Lines& log = w.Log();
    const Lines hata = [&] {
        Lines h;
        for (const auto& l : log)
            if (l.rfind("Hata:", 0) == 0) h.push_back(l);
        return h;
    }();
    ASSERT_EQ(hata.size(), 2u) << "the database and the login each fail with a line";
    const std::string all = std::accumulate(log.begin(), log.end(), std::string(),
                                            [](std::string a, const std::string& b) { return a + b + "\n"; });
    EXPECT_NE(all.find("CREATE DATABASE permission denied in database 'master'."), std::string::npos) << all;
    EXPECT_EQ(all.find("tablosu oluşturuldu."), std::string::npos) << all;
    EXPECT_EQ(all.find("rolü verildi"), std::string::npos) << all;
    ASSERT_EQ(w.window.errors.size(), 1u);
    EXPECT_NE(w.window.errors[0].text.find("Database '" + w.edition.companiesDatabase + "' does not exist."),
              std::string::npos)
        << w.window.errors[0].text;
    EXPECT_EQ(w.window.errors[0].text.find("bağlantıyı reddetti"), std::string::npos)
        << "a failed USE is no refused connection: " << w.window.errors[0].text;
    EXPECT_EQ(w.Page(), 0);
    EXPECT_EQ(Scalar("select count(*) as V from master..sysdatabases where name = '" +
                     w.edition.companiesDatabase + "'"),
              "0");
    EXPECT_EQ(Scalar("select count(*) as V from master..syslogins where name = 'DURANIX'"), "0");
}

TEST_F(WizardOnServer, ALoginThatMayNotReadTheCatalogueTakesAnExistingDatabaseAsPresent) {
    const std::string login = UniqueName("KURDBU");
    Run("CREATE LOGIN [" + login + "] WITH PASSWORD = N'Kurdb#Dusuk1', CHECK_POLICY = OFF");
    logins_.push_back(login);
    Wizard& w = Open(3);
    Run("CREATE DATABASE " + w.edition.companiesDatabase);  // empty: a sysadmin would find it incomplete
    TypeMainMachine(w, login, "Kurdb#Dusuk1");
    w.ctl.Click(controls::btnConnect);
    ASSERT_TRUE(w.window.errors.empty()) << w.window.errors[0].text;
    EXPECT_EQ(w.Log().back(), "Firmalar (" + w.edition.companiesDatabase + ") Veritabanı mevcut.");
    EXPECT_EQ(w.Page(), 1);
}

TEST_F(WizardOnServer, AWrongPasswordShowsTheServersMessageAndStays) {
    Wizard& w = Open(3);
    TypeMainMachine(w, server_.user, server_.password + "-yanlis");
    w.ctl.Click(controls::btnConnect);
    ASSERT_EQ(w.window.errors.size(), 1u);
    EXPECT_NE(w.window.errors[0].text.find("Login failed for user '" + server_.user + "'."),
              std::string::npos)
        << w.window.errors[0].text;
    EXPECT_EQ(w.Log(), (Lines{"Server Bağlantı Parametresi mevcut değil!", "BDE Versiyon: " + Version(w)}));
    EXPECT_EQ(w.Page(), 0);
    EXPECT_EQ(w.ctl.RememberedServerName(), "");
    EXPECT_FALSE(fs::exists(dir_ / "Duranix.ini"));
    // pressing again starts from the first step
    w.form.SetText(controls::editPass, server_.password);
    w.ctl.Click(controls::btnConnect);
    EXPECT_EQ(w.window.errors.size(), 1u);
    EXPECT_EQ(w.Page(), 2);
}

TEST_F(WizardOnServer, WithoutTheCompaniesBoxNothingIsCreated) {
    Wizard& w = Open(3);
    TypeMainMachine(w, server_.user, server_.password);
    w.form.SetChecked(controls::cbFirmalar, false);
    w.form.SetChecked(controls::cbKaydet, false);
    w.ctl.Click(controls::btnConnect);
    EXPECT_EQ(w.Log(), (Lines{"Server Bağlantı Parametresi mevcut değil!", "BDE Versiyon: " + Version(w),
                              "Server a bağlantı kuruldu.",
                              "Firmalar (" + w.edition.companiesDatabase + ") Veritabanı mevcut değil !!!"}));
    EXPECT_EQ(w.Page(), 1);
    EXPECT_FALSE(fs::exists(dir_ / "Duranix.ini")) << "\"Bağlantı Parametrelerini Kaydet\" was off";
    EXPECT_EQ(w.ctl.RememberedServerName(), server_.server) << "remembered all the same";
    EXPECT_EQ(Scalar("select count(*) as V from master..sysdatabases where name = '" +
                     w.edition.companiesDatabase + "'"),
              "0");
}

TEST_F(WizardOnServer, ADatabaseTheServerNeverShowsEndsAfterABoundedNumberOfRounds) {
    // The brackets make CREATE DATABASE create the plain name, which the look-up by the
    // bracketed name never finds: a server that keeps reporting the database missing.
    const std::string plain = UniqueName("KURDBF");
    databases_.push_back(plain);
    Wizard& w = Open(3, "[" + plain + "]");
    TypeMainMachine(w, server_.user, server_.password);
    w.ctl.Click(controls::btnConnect);
    ASSERT_EQ(w.window.errors.size(), 1u) << "the rounds end with an error, not a loop";
    const Lines& log = w.Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Firmalar ([" + plain + "]) Veritabanı mevcut değil !!!"),
              3);
    EXPECT_EQ(log.back(), "Firmalar ([" + plain + "]) Veritabanı oluşturulamadı !!!");
    EXPECT_EQ(w.Page(), 0);
}

TEST_F(WizardOnServer, AServerNameNoServerHasIsRefusedBeforeConnectingAndNothingIsSaved) {
    Wizard& w = Open(3);
    TypeMainMachine(w, server_.user, server_.password);
    w.form.SetText(controls::editServer, server_.server + ";");  // FreeTDS would connect all the same
    w.ctl.Click(controls::btnConnect);
    ASSERT_EQ(w.window.errors.size(), 1u);
    EXPECT_NE(w.window.errors[0].text.find("';' karakteri"), std::string::npos) << w.window.errors[0].text;
    EXPECT_FALSE(w.database.dbFirma.IsConnected());
    EXPECT_EQ(w.ctl.RememberedServerName(), "");
    EXPECT_FALSE(fs::exists(dir_ / "Duranix.ini"));
    EXPECT_EQ(w.Page(), 0);
}

TEST_F(WizardOnServer, SavingNeedsAnOpenConnectionAndWritesTheRememberedName) {
    Wizard& w = Open(18);
    w.ctl.SetRememberedServerName("DB01");
    w.ctl.Click(controls::BitBtn1);
    EXPECT_FALSE(fs::exists(dir_ / "Duranix.ini"));
    EXPECT_EQ(w.Log().back(), "Önce Server Bağlantısı yapılmalı!");
    w.database.dbFirma.Connect(server_.server, server_.user, server_.password);
    w.form.SetText(controls::editServer, "typed-later");
    w.ctl.Click(controls::BitBtn1);
    const IniText ini(ReadFile(dir_ / "Duranix.ini"));
    EXPECT_EQ(ini.Get("SERVER", "ServerAdi"), "DB01");
    EXPECT_EQ(ini.Get("SERVER", "Firmalar"), w.edition.companiesDatabase);
    EXPECT_EQ(w.Log().back(), "Server Bağlantı parametresi kaydedildi");
}

TEST_F(WizardOnServer, ACreateFlagOtherThanOneOnlyUpdatesEvenAMissingLogin) {
    Wizard& w = Open(3);
    w.database.dbFirma.Connect(server_.server, server_.user, server_.password);
    w.form.SetLines(controls::Memo1, {});
    try {
        w.ctl.ProvisionLogin("DURANIX", 2);
        FAIL() << "the language of a missing login was set";
    } catch (const db::EDBEngineError& e) {
        const auto& r = e.Records();
        EXPECT_TRUE(std::any_of(r.begin(), r.end(), [](const db::DiagRecord& d) {
            return d.nativeError == 15007;
        })) << e.Message();
    }
    EXPECT_TRUE(w.Log().empty()) << "no login line, and no role granted after the failure";
    EXPECT_EQ(Scalar("select count(*) as V from master..syslogins where name = 'DURANIX'"), "0");
}

// The stand-in cuts the connection of the Nth request after the file named here was written.
class CutFile {
public:
    CutFile() : path_(test::Env("KURDB_TEST_CUT_FILE")) {
#ifdef _WIN32
        if (!path_.empty() && path_.front() == '/') path_ = "Z:" + path_;  // the host's root under Wine
#endif
    }
    bool Available() const {
        return !path_.empty() && test::Env("KURDB_TEST_SERVER").empty();
    }
    void CutAt(long request) const {
        std::ofstream(path_, std::ios::trunc) << request << "\n";
    }
    // How many requests are still to come before the cut; 0 once it has come.
    long Left() const {
        std::ifstream in(path_);
        long left = 0;
        return in >> left ? left : 0;
    }
    void Remove() const {
        std::error_code ignored;
        fs::remove(path_, ignored);
    }

private:
    std::string path_;
};

// Cuts the connection of a creation in `edition` at each of its requests in turn (only two under
// Wine, where every press is slow), presses again, and compares the server with the state an
// uninterrupted run leaves.
void WizardOnServer::CutAtEachRequestInTurn(int edition) {
    const CutFile cut;
    const std::string name = UniqueName("KURDBF");
    databases_.push_back(name);
    auto reset = [&] {
        wizard_.reset();
        DropDatabase(name);
        DropLogin("DURANIX");
    };
    auto open = [&]() -> Wizard& {
        wizard_ = std::make_unique<Wizard>(*this, [&] {
            CurrentEdition e = EditionFor(edition);
            e.companiesDatabase = name;
            return e;
        }());
        TypeMainMachine(*wizard_, server_.user, server_.password);
        return *wizard_;
    };

    // An uninterrupted run: what the server must hold at the end, and how many requests it takes.
    constexpr long kNever = 1000000;
    cut.CutAt(kNever);
    open().ctl.Click(controls::btnConnect);
    const long requests = kNever - cut.Left();
    cut.Remove();
    ASSERT_TRUE(wizard_->window.errors.empty()) << wizard_->window.errors[0].text;
    ASSERT_EQ(wizard_->Page(), 2);
    const Lines whole = Catalogue(name);
    ASSERT_GT(requests, 20);

#ifdef _WIN32
    const std::vector<long> points{requests / 4, requests / 2};  // Wine is slow: two points suffice
#else
    std::vector<long> points(static_cast<std::size_t>(requests));
    std::iota(points.begin(), points.end(), 1L);
#endif
    const std::string missing = "Firmalar (" + name + ") Veritabanı mevcut değil !!!";
    const std::string incomplete = "Firmalar (" + name + ") Veritabanı eksik !!!";
    const std::string present = "Firmalar (" + name + ") Veritabanı mevcut.";
    for (const long point : points) {
        SCOPED_TRACE("connection cut at request " + std::to_string(point) + " of " +
                     std::to_string(requests));
        reset();
        Wizard& w = open();
        cut.CutAt(point);
        w.ctl.Click(controls::btnConnect);
        ASSERT_EQ(cut.Left(), 0) << "the cut came";
        if (w.window.errors.empty()) {
            // A cut in edition 18's schema is logged ("Tablolar Hata:"), and the nested look,
            // on a new connection, finds the database incomplete and completes it at once.
            EXPECT_EQ(Catalogue(name), whole);
            EXPECT_EQ(w.Page(), 2);
            continue;
        }
        ASSERT_EQ(w.window.errors.size(), 1u);
        EXPECT_EQ(w.Page(), 0);
        const Lines left = Catalogue(name);

        w.form.SetLines(controls::Memo1, {});
        w.ctl.Click(controls::btnConnect);
        ASSERT_EQ(w.window.errors.size(), 1u) << w.window.errors.back().text;
        EXPECT_EQ(Catalogue(name), whole);
        const Lines& log = w.Log();
        const std::string verdict = left.empty() || left.front() != name ? missing
                                    : left == whole                      ? present
                                                                         : incomplete;
        const auto first = std::find_if(log.begin(), log.end(),
                                        [](const std::string& l) { return l.rfind("Firmalar (", 0) == 0; });
        ASSERT_NE(first, log.end());
        EXPECT_EQ(*first, verdict) << "the first look at the database";
        EXPECT_EQ(log.back(), present) << "the nested look finds it whole";
        EXPECT_EQ(w.Page(), verdict == present ? 1 : 2) << "a creation passes over \"Güncelle\"";
    }
}

TEST_F(WizardOnServer, ACreationCutAtAnyRequestIsCompletedByTheNextPress) {
    if (!CutFile().Available()) GTEST_SKIP() << "only the stand-in cuts a connection at a given request";
    CutAtEachRequestInTurn(3);
}

#ifndef _WIN32
TEST_F(WizardOnServer, AnEditionEighteenCreationCutAnywhereIsCompletedToo) {
    if (!CutFile().Available()) GTEST_SKIP() << "only the stand-in cuts a connection at a given request";
    CutAtEachRequestInTurn(18);
}
#endif

}  // namespace
}  // namespace kurdb
