#include "app/Kurdb.h"

#include <exception>

#include "app/ErrorBox.h"
#include "shell/Exception.h"

namespace kurdb {
namespace {

constexpr const char* kPages = "cxPage";
constexpr const char* kLog = "Memo1";
constexpr const char* kSettingsFile = "Duranix.ini";
constexpr const char* kSection = "SERVER";

// Item 0 of the radio group: the machine that hosts the database server.
constexpr int kMainMachine = 0;
constexpr int kTerminal = 1;

}  // namespace

TFFirmaDB::TFFirmaDB(FormModel& form, IWindowServices& window, const CurrentEdition& edition,
                     Services services)
    : form_(form), window_(window), edition_(edition), services_(services) {
    handlers_ = {
        {"cbTerminal", &TFFirmaDB::cbTerminalClick},
        {"BitBtn1", &TFFirmaDB::BitBtn1Click},
        {"BitBtn2", &TFFirmaDB::BitBtn2Click},
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
    return kurdb::ApplicationTitle(services_.platform.ExecutablePath());
}

std::string TFFirmaDB::SettingsPath() const {
    const PathRules rules = NativePathRules();
    return ProgramDirectory(services_.platform) + rules.Separator() + kSettingsFile;
}

void TFFirmaDB::FormCreate() {
    RunTopLevel([this] {
        if (edition_.number == 18) form_.SetVisible("cbFirmaAc", false);
        form_.SetActivePage(kPages, 0);
    });
}

void TFFirmaDB::FormShow() {
    RunTopLevel([this] {
        form_.SetText("RxLabel1", "DURANIX " + edition_.brandName + " VERİTABANI KURULUMU");
        ReadServerNameAtShow();
        form_.SetText("editUser", kLoginName);
        if (!rememberedServer_.empty())
            form_.SetText("editServer", rememberedServer_);
        else
            LogLine("Server Bağlantı Parametresi mevcut değil!");
    });
}

std::string TFFirmaDB::ReadServerNameAtShow() {
    rememberedServer_ =
        services_.profiles.ReadString(SettingsPath(), kSection, "ServerAdi", rememberedServer_);
    return rememberedServer_;
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
    const int item = form_.ItemIndex("cbTerminal");
    form_.SetText("editUser", item == kTerminal ? kLoginName : "sa");
    form_.SetChecked("cbFirmalar", item == kMainMachine);
}

void TFFirmaDB::BitBtn1Click() {
    if (!services_.connection.IsConnected()) {
        LogLine("Önce Server Bağlantısı yapılmalı!");
        return;
    }
    const std::string path = SettingsPath();
    services_.profiles.WriteString(path, kSection, "ServerAdi", rememberedServer_);
    if (edition_.number == 18)
        services_.profiles.WriteString(path, kSection, "Firmalar", edition_.companiesDatabase);
    LogLine("Server Bağlantı parametresi kaydedildi");
}

void TFFirmaDB::BitBtn2Click() {
    if (form_.Checked("cbFirmaAc")) Fire("BitBtn3");
    window_.CloseWindow();
}

void TFFirmaDB::LogLine(std::string_view text) {
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            form_.AppendLine(kLog, std::string(text.substr(start)));
            return;
        }
        form_.AppendLine(kLog, std::string(text.substr(start, end - start)));
        if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        start = end + 1;
        if (start == text.size()) return;  // a final line break opens no empty line
    }
}

void TFFirmaDB::AdvancePage() {
    const int pageCount = static_cast<int>(form_.Definition().PagesOf(kPages).size());
    const int next = form_.ActivePage(kPages) + 1;
    if (next < pageCount) form_.SetActivePage(kPages, next);
}

}  // namespace kurdb
