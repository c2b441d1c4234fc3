#include "app/Unattended.h"

#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>

#include "app/Program.h"
#include "resources/ControlNames.h"
#include "base/Text.h"

namespace kurdb {
namespace {

// The report lines by which a failed first-page press tells how far it came.
constexpr std::string_view kEngineMissingLine = "BDE Kurulu değil!";
constexpr std::string_view kConnectedLine = "Server a bağlantı kuruldu.";
constexpr std::string_view kSavedLine = "Server Bağlantı parametresi kaydedildi";
// Both of the engine installer's questions (download, run) begin so.
constexpr std::string_view kEngineQuestion = "BDE Kurulum";

#ifdef _WIN32
constexpr const char* kNewLine = "\r\n";
constexpr const char* kDefaultLogName = "Kurdb.log";
#else
constexpr const char* kNewLine = "\n";
constexpr const char* kDefaultLogName = "kurdb.log";
#endif

const char* OutcomeText(ExitCode code) {
    switch (code) {
        case ExitCode::Done:
            return "Kurulum tamamlandı.";
        case ExitCode::BadOptions:
            return "Hatalı seçenek.";
        case ExitCode::EngineMissing:
            return "BDE kurulu değil.";
        case ExitCode::ConnectionFailed:
            return "Server bağlantısı kurulamadı.";
        case ExitCode::CreationIncomplete:
            return "Firmalar veritabanı tamamlanamadı.";
        case ExitCode::SettingsNotSaved:
            return "Bağlantı parametresi kaydedilemedi.";
        case ExitCode::WorkstationFailed:
            return "Kısayol, güncelleme ya da firma açma programı adımı hata verdi.";
        case ExitCode::UnansweredQuestion:
            return "Gözetimsiz çalışmada cevaplanamayan bir soru soruldu.";
        case ExitCode::Unexpected:
            break;
    }
    return "Beklenmeyen hata.";
}

std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The first line of a file, without a UTF-8 byte-order mark and the line's end.
std::optional<std::string> FirstLine(std::istream& in) {
    std::string line;
    if (!std::getline(in, line) && line.empty()) return std::nullopt;
    if (line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// Replaces every occurrence of `secret` in `line` (a secret too short to be told from ordinary
// text is left alone; no line the wizard writes holds a password anyway).
std::string Masked(std::string line, const std::string& secret) {
    if (secret.size() < 4) return line;
    for (auto at = line.find(secret); at != std::string::npos; at = line.find(secret, at + 4))
        line.replace(at, secret.size(), "****");
    return line;
}

bool Holds(const std::vector<std::string>& lines, std::size_t from, std::string_view wanted) {
    for (std::size_t i = from; i < lines.size(); ++i)
        if (lines[i] == wanted) return true;
    return false;
}

class Run {
public:
    Run(const UnattendedOptions& options, const UnattendedEnvironment& environment)
        : options_(options), environment_(environment) {}

    ExitCode Execute() {
        if (const ExitCode opened = OpenLog(); opened != ExitCode::Done) return opened;
        const std::optional<std::string> password = Password();
        if (!password) {
            Write("Şifre dosyası okunamadı: " + *options_.passwordFile);
            return Finish(ExitCode::BadOptions);
        }
        password_ = *password;
        try {
            return Finish(Walk());
        } catch (const std::exception& e) {
            Write(std::string("Hata: ") + e.what());
            return Finish(ExitCode::Unexpected);
        }
    }

private:
    ExitCode OpenLog() {
        if (!options_.log) return ExitCode::Done;
        std::string path = *options_.log;
        if (path.empty()) path = TempDirectory() + "/" + kDefaultLogName;
        log_.open(PathOf(path), std::ios::binary | std::ios::app);
        if (!log_) {
            Print("Günlük dosyası açılamadı: " + path);
            return ExitCode::BadOptions;
        }
#ifdef _WIN32
        // Notepad reads a file without the mark in the ANSI code page.
        log_.seekp(0, std::ios::end);
        if (log_.tellp() == 0) log_ << "\xEF\xBB\xBF";
#endif
        return ExitCode::Done;
    }

    std::string TempDirectory() const {
#ifdef _WIN32
        for (const char* name : {"TEMP", "TMP"})
            if (auto v = environment_.variable(name); v && !v->empty()) return *v;
        return ".";
#else
        if (auto v = environment_.variable("TMPDIR"); v && !v->empty()) return *v;
        return "/tmp";
#endif
    }

    std::optional<std::string> Password() const {
        if (options_.password) return options_.password;
        if (options_.passwordFile) {
            if (*options_.passwordFile == "-" && environment_.readStandardInput)
                return environment_.readStandardInput();
            std::ifstream in(PathOf(*options_.passwordFile), std::ios::binary);
            if (!in) return std::nullopt;
            return FirstLine(in);
        }
        return environment_.variable(kPasswordVariable).value_or("");
    }

    void Print(const std::string& text) const {
        if (environment_.print) environment_.print(text);
    }

    // Writes `text` stamped, one log line per line of it (a server's error has several).
    void Write(std::string_view text) {
        const std::lock_guard lock(writing_);  // a shown window's questions come from its thread
        const std::string stamp = LogTimeStamp() + " ";
        auto lines = text::SplitLines(text, text::LineBreaks::Any, text::FinalBreak::EndsText);
        if (lines.empty()) lines.push_back({});  // an empty report line stays a line
        for (const text::TextLine& line : lines) {
            const std::string stamped = stamp + Masked(std::string(line.text), password_);
            if (log_.is_open()) log_ << stamped << kNewLine;
            if (environment_.echo) environment_.echo(stamped);
        }
        log_.flush();
    }

    ExitCode Finish(ExitCode code) {
        Write("Sonuç: " + std::to_string(static_cast<int>(code)) + " - " + OutcomeText(code));
        return code;
    }

    ExitCode Walk() {
        UnattendedHost host(options_.engineInstall, [this](std::string_view line) { Write(line); });
        std::unique_ptr<IWalkingWindow> window;
        if (options_.showWindow && environment_.window) window = environment_.window(host);
        std::unique_ptr<Program> windowless;
        if (!window) windowless = std::make_unique<Program>(host);
        Program& program = window ? window->Root() : *windowless;
        FormModel& form = program.Form();
        std::size_t written = 0;
        form.Subscribe([&](const std::string& control, Property what) {
            if (control != controls::Memo1 || what != Property::Lines) return;
            const auto& lines = form.Lines(controls::Memo1);
            if (lines.size() < written) written = 0;
            for (; written < lines.size(); ++written) Write(lines[written]);
        });

        Write("Gözetimsiz kurulum başladı.");  // where each run begins in an appended log
        ExitCode code = ExitCode::Unexpected;
        if (window) {
            Write("Sihirbaz penceresi gösteriliyor.");
            window->Walk([&] { code = WalkOpened(program, host); });
        } else {
            program.Open([] {});
            code = WalkOpened(program, host);
        }
        // "Son" closes the window; in a shown window, when the walk's run has ended.
        if (code == ExitCode::Done && !host.Closed()) code = ExitCode::Unexpected;
        return code;
    }

    // The pages' presses, in the window's order, after its create and show events.
    ExitCode WalkOpened(Program& program, UnattendedHost& host) {
        if (host.TakeError()) return ExitCode::Unexpected;
        FormModel& form = program.Form();
        TFFirmaDB& ctl = program.Controller();
        Fill(form, ctl);

        // Page 1, "İleri". With consent, a missing engine's installer is offered by the second
        // press and the third looks for the engine again.
        for (int press = 0;; ++press) {
            const std::size_t before = form.Lines(controls::Memo1).size();
            ctl.Click(controls::btnConnect);
            if (host.Unanswered()) return ExitCode::UnansweredQuestion;
            if (host.TakeError()) return FirstPageFailure(form, before);
            if (form.ActivePage(controls::cxPage) != 0) break;
            if (form.Tag(controls::btnConnect) != 1 || !options_.engineInstall || press == 2)
                return ExitCode::EngineMissing;
        }

        // Page 2, "İleri". A creation lands on "Bitir" directly; as a person would, select
        // "Güncelle" first.
        form.SetActivePage(controls::cxPage, 1);
        ctl.Click(controls::Button1);
        if (host.Unanswered()) return ExitCode::UnansweredQuestion;
        if (host.TakeError()) return ExitCode::WorkstationFailed;
        if (form.ActivePage(controls::cxPage) != 2) return ExitCode::Unexpected;

        // "Son".
        ctl.Click(controls::BitBtn2);
        if (host.Unanswered()) return ExitCode::UnansweredQuestion;
        if (host.TakeError()) return ExitCode::WorkstationFailed;
        return ExitCode::Done;
    }

    // The form as a person fills it: the kind of machine first (which sets the user and the
    // companies-database box), then what the options give.
    void Fill(FormModel& form, TFFirmaDB& ctl) {
        const bool onMain = options_.machine == MachineKind::Main;
        form.SetItemIndex(controls::cbTerminal, onMain ? 0 : 1);
        ctl.Click(controls::cbTerminal);
        if (options_.server) form.SetText(controls::editServer, *options_.server);
        if (options_.user) form.SetText(controls::editUser, *options_.user);
        form.SetText(controls::editPass, password_);
        form.SetChecked(controls::cbKaydet, options_.save);
        if (options_.create) form.SetChecked(controls::cbFirmalar, *options_.create);
        form.SetChecked(controls::cbKisayol, options_.shortcuts);
        form.SetChecked(controls::cbGuncel, options_.updater);
        form.SetChecked(controls::cbFirmaAc, options_.openCompany && form.Visible(controls::cbFirmaAc));
        Write(std::string("Kurulum Yeri: ") + (onMain ? "Ana Makine" : "Terminal") + ", Server: \"" +
              form.Text(controls::editServer) + "\", Kullanıcı: \"" + form.Text(controls::editUser) + "\"");
    }

    // How far a failed first-page press came, from the report lines it wrote.
    ExitCode FirstPageFailure(FormModel& form, std::size_t before) const {
        const auto& lines = form.Lines(controls::Memo1);
        if (Holds(lines, before, kEngineMissingLine)) return ExitCode::EngineMissing;
        if (!Holds(lines, before, kConnectedLine)) return ExitCode::ConnectionFailed;
        if (form.Checked(controls::cbKaydet) && !Holds(lines, before, kSavedLine))
            return ExitCode::SettingsNotSaved;
        return ExitCode::CreationIncomplete;
    }

    const UnattendedOptions& options_;
    const UnattendedEnvironment& environment_;
    std::mutex writing_;
    std::ofstream log_;
    std::string password_;
};

}  // namespace

bool UnattendedHost::Confirm(const std::string& question) {
    if (question.compare(0, kEngineQuestion.size(), kEngineQuestion) == 0) {
        log_("Soru: " + question + " Cevap: " + (engineInstall_ ? "Evet" : "Hayır"));
        return engineInstall_;
    }
    log_("Soru: " + question + " Gözetimsiz çalışmada cevaplanamaz.");
    unanswered_ = true;
    return false;
}

void UnattendedHost::ShowError(const std::string& text, const std::string&) {
    log_("Hata kutusu: " + text);
    error_ = text;
}

std::optional<std::string> UnattendedHost::TakeError() {
    std::optional<std::string> error;
    error.swap(error_);
    return error;
}

std::string LogTimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    return stamp;
}

ExitCode RunUnattended(const UnattendedOptions& options, const UnattendedEnvironment& environment) {
    return Run(options, environment).Execute();
}

int UnattendedMain(const std::vector<std::string>& args, OptionStyle style,
                   const UnattendedEnvironment& environment,
                   const std::function<void(const std::string& help)>& showHelp) {
    const ParsedOptions parsed = ParseOptions(args, style);
    if (!parsed.error.empty()) {
        if (environment.print)
            environment.print(parsed.error + " (" + (style == OptionStyle::Windows ? "/?" : "--help") + ")");
        return static_cast<int>(ExitCode::BadOptions);
    }
    if (parsed.options.help) {
        showHelp(OptionsHelp(style));
        return static_cast<int>(ExitCode::Done);
    }
    try {
        return static_cast<int>(RunUnattended(parsed.options, environment));
    } catch (const std::exception& e) {  // never a box that waits for a click
        if (environment.print) environment.print(e.what());
        return static_cast<int>(ExitCode::Unexpected);
    }
}

}  // namespace kurdb
