#include "app/Kurdb.h"

#include <exception>

#include "app/ErrorBox.h"
#include "resources/ControlNames.h"
#include "setup/ServerSetup.h"
#include "shell/Downloader.h"
#include "base/Exception.h"
#include "shell/Files.h"
#include "base/Text.h"

namespace kurdb {
namespace {

constexpr const char* kSettingsFile = "Duranix.ini";
constexpr const char* kSection = "SERVER";

// The engine installer's file beside the program.
constexpr const char* kInstallerFile = "bde.exe";
// Show value of the installer's window: shown normally.
constexpr unsigned short kShowNormal = 5;

// How many times one press of "İleri" may create the companies database and connect again.
// A server that still reports the database missing after that would otherwise be asked
// without end.
constexpr int kMaxCreateRounds = 2;

}  // namespace

TFFirmaDB::TFFirmaDB(FormModel& form, IFormHost& window, const CurrentEdition& edition, SystemServices system)
    : form_(form), window_(window), edition_(edition), system_(system) {
    handlers_ = {
        {controls::cbTerminal, &TFFirmaDB::cbTerminalClick},
        {controls::btnConnect, &TFFirmaDB::btnConnectClick},
        {controls::Btn43, &TFFirmaDB::Btn43Click},
        {controls::BitBtn1, &TFFirmaDB::BitBtn1Click},
        {controls::BitBtn2, &TFFirmaDB::BitBtn2Click},
        {controls::Button1, &TFFirmaDB::Button1Click},
        {controls::BitBtn3, &TFFirmaDB::BitBtn3Click},
        {controls::BitBtn4, &TFFirmaDB::BitBtn4Click},
    };
}

template <typename F>
void TFFirmaDB::RunTopLevel(F&& body) {
    window_.SetBusy(true);
    std::string failure;
    bool failed = false;
    try {
        body();
    } catch (const std::exception& e) {
        failed = true;
        failure = e.what();
    }
    window_.SetBusy(false);
    if (failed) window_.ShowError(ErrorBoxText(failure), ApplicationTitle());
}

std::string TFFirmaDB::ApplicationTitle() const {
    return kurdb::ApplicationTitle(system_.platform.ExecutablePath());
}

std::string TFFirmaDB::SettingsPath() const {
    const PathRules rules = NativePathRules();
    return ProgramDirectory(system_.platform) + rules.Separator() + kSettingsFile;
}

void TFFirmaDB::FormCreate() {
    RunTopLevel([this] {
        if (edition_.number == setup::kSchemaEdition) form_.SetVisible(controls::cbFirmaAc, false);
        form_.SetActivePage(controls::cxPage, 0);
    });
}

void TFFirmaDB::FormShow() {
    RunTopLevel([this] {
        form_.SetText(controls::RxLabel1, "DURANIX " + edition_.brandName + " VERİTABANI KURULUMU");
        ReadServerNameAtShow();
        form_.SetText(controls::editUser, kLoginName);
        if (!rememberedServer_.empty())
            form_.SetText(controls::editServer, rememberedServer_);
        else
            LogLine("Server Bağlantı Parametresi mevcut değil!");
    });
}

void TFFirmaDB::ReadServerNameAtShow() {
    rememberedServer_ = system_.profiles.ReadString(SettingsPath(), kSection, "ServerAdi", rememberedServer_);
}

void TFFirmaDB::Click(std::string_view control) {
    if (handlers_.find(control) == handlers_.end()) return;
    RunTopLevel([this, control] { Fire(control); });
}

void TFFirmaDB::Fire(std::string_view control) {
    const auto it = handlers_.find(control);
    if (it != handlers_.end()) (this->*(it->second))();
}

void TFFirmaDB::cbTerminalClick() {
    const int item = form_.ItemIndex(controls::cbTerminal);
    form_.SetText(controls::editUser, item == kTerminal ? kLoginName : "sa");
    form_.SetChecked(controls::cbFirmalar, item == kMainMachine);
}

void TFFirmaDB::BitBtn1Click() {
    if (!system_.database.dbFirma.IsConnected()) {
        LogLine("Önce Server Bağlantısı yapılmalı!");
        return;
    }
    const std::string path = SettingsPath();
    system_.profiles.WriteString(path, kSection, "ServerAdi", rememberedServer_);
    if (edition_.number == setup::kSchemaEdition)
        system_.profiles.WriteString(path, kSection, "Firmalar", edition_.companiesDatabase);
    LogLine("Server Bağlantı parametresi kaydedildi");
}

void TFFirmaDB::btnConnectClick() {
    db::Components& db = system_.database;
    const std::string& companies = edition_.companiesDatabase;

    // Start from a closed connection.
    db.dbFirma.Disconnect();
    const std::string clientLibrary = setup::ClientLibraryPath(system_.platform);

    // The engine: without it nothing else can run; the installer is offered from the
    // second failing press on.
    bool engineFound = true;
    try {
        LogLine("BDE Versiyon: " + std::to_string(db.dbFirma.EngineVersion()));
    } catch (const Exception&) {
        engineFound = false;
    }
    if (!engineFound) {
        LogLine("BDE Kurulu değil!");
        if (form_.Tag(controls::btnConnect) == 1) OfferEngineInstaller();
        form_.SetTag(controls::btnConnect, 1);
        return;
    }

    // The engine's settings and the client library.
    setup::CorrectEngineSettings(system_.registry);
    if (!setup::PlaceClientLibrary(clientLibrary)) LogLine(setup::kClientLibraryMissing);

    // Connect with the texts as typed, remember the server, save it on request.
    db.dbFirma.Connect(form_.Text(controls::editServer), form_.Text(controls::editUser),
                       form_.Text(controls::editPass));
    rememberedServer_ = form_.Text(controls::editServer);
    LogLine("Server a bağlantı kuruldu.");
    if (form_.Checked(controls::cbKaydet)) Fire(controls::BitBtn1);

    // The companies database, created on request; the creation connects again itself.
    // A database that exists but lacks something the creation makes (a creation cut short)
    // is completed the same way: every creating statement makes only what is missing.
    db.QFirmaDB.SetParam("FirmaDB", companies);
    db.QFirmaDB.OpenRows();
    const bool exists = !db.QFirmaDB.FieldIsNull("name");
    db.QFirmaDB.CloseRows();
    const bool whole = exists && setup::CheckCompaniesDatabase(db, CompaniesTarget(), kLoginName) !=
                                     setup::Completeness::Incomplete;
    if (whole) {
        LogLine("Firmalar (" + companies + ") Veritabanı mevcut.");
    } else {
        LogLine("Firmalar (" + companies + ") Veritabanı " + (exists ? "eksik !!!" : "mevcut değil !!!"));
        if (form_.Checked(controls::cbFirmalar)) {
            if (createRounds_ >= kMaxCreateRounds) {
                LogLine("Firmalar (" + companies + ") Veritabanı oluşturulamadı !!!");
                throw Exception("Firmalar (" + companies +
                                (exists ? ") veritabanı tamamlandı, ancak sunucu onu hâlâ eksik gösteriyor"
                                        : ") veritabanı oluşturuldu, ancak sunucu onu hâlâ göstermiyor"));
            }
            ++createRounds_;
            struct RoundEnd {
                int& rounds;
                ~RoundEnd() { --rounds; }
            } roundEnd{createRounds_};
            Fire(controls::Btn43);
        }
    }

    // Close and move on. The nested step of a creation and the press itself each move
    // one page on, over "Güncelle" to "Bitir"; a further round of completion within the
    // same press moves it no further.
    db.dbFirma.Disconnect();
    if (createRounds_ <= 1) AdvancePage();
}

void TFFirmaDB::OfferEngineInstaller() {
    const std::string installer =
        NativePathRules().IncludeTrailingSeparator(ProgramDirectory(system_.platform)) + kInstallerFile;
    const auto size = files::FileSize(installer);
    if (!size || *size == 0) {
        if (window_.Confirm("BDE Kurulumu indirilsin mi?")) {
            files::RemoveFile(installer);
            Downloader downloader(system_.platform, system_.processes,
                                  [this](std::string_view line) { LogLine(line); });
            downloader.Download(EngineInstallerUrl(), installer);
        }
    }
    if (files::IsFile(installer) && window_.Confirm("BDE Kurulum çalıştırılsın mı?"))
        system_.processes.RunAndWait(installer, kShowNormal);
}

void TFFirmaDB::Btn43Click() {
    if (system_.database.dbFirma.IsConnected()) CreateCompaniesDatabase();
    Fire(controls::btnConnect);
}

setup::CompaniesDatabase TFFirmaDB::CompaniesTarget() const {
    setup::CompaniesDatabase target;
    target.edition = edition_.number;
    target.name = edition_.companiesDatabase;
    target.moduleCount = edition_.moduleCount;
    target.modules = edition_.modules;
    return target;
}

void TFFirmaDB::CreateCompaniesDatabase() {
    setup::CreateCompaniesDatabase(
        system_.database, CompaniesTarget(), [this](std::string_view line) { LogLine(line); },
        [this] { ProvisionLogin(kLoginName, 1); });
}

void TFFirmaDB::ProvisionLogin(const std::string& loginName, std::uint8_t createFlag) {
    Logins().ProvisionLogin(loginName, createFlag);
}

setup::LoginProvisioning TFFirmaDB::Logins() {
    return setup::LoginProvisioning(
        system_.database, [this](std::string_view line) { LogLine(line); }, kLoginName, kLoginPassword);
}

void TFFirmaDB::BitBtn2Click() {
    if (form_.Checked(controls::cbFirmaAc)) Fire(controls::BitBtn3);
    window_.CloseWindow();
}

void TFFirmaDB::LogLine(std::string_view text) {
    // CR LF, LF and CR each end a line; a final break opens no empty line, and an empty text
    // still logs one (empty) line.
    const auto lines =
        kurdb::text::SplitLines(text, kurdb::text::LineBreaks::Any, kurdb::text::FinalBreak::EndsText);
    if (lines.empty()) form_.AppendLine(controls::Memo1, "");
    for (const kurdb::text::TextLine& line : lines) form_.AppendLine(controls::Memo1, std::string(line.text));
}

void TFFirmaDB::AdvancePage() {
    const int pageCount = static_cast<int>(form_.Definition().PagesOf(controls::cxPage).size());
    const int next = form_.ActivePage(controls::cxPage) + 1;
    if (next < pageCount) form_.SetActivePage(controls::cxPage, next);
}

}  // namespace kurdb
