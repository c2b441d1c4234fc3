#include "app/Options.h"

#include <string_view>

#include "base/Text.h"

namespace kurdb {
namespace {

enum class Takes { Nothing, Value, MaybeValue, YesNo };

struct Option {
    const char* name;  // upper case; GNU style writes it in lower case
    Takes takes;
    const char* values;  // as the help shows the value
    const char* help;
    void (*apply)(UnattendedOptions&, const std::string& value, bool yes);
};

// The one table of both styles.
const Option kOptions[] = {
    {"SILENT", Takes::Nothing, "",
     "Sihirbaz penceresini gösterir; pencere sayfaları kendisi geçer, soru sormaz. Ekran yoksa pencere "
     "açılmaz.",
     [](UnattendedOptions& o, const std::string&, bool) { o.showWindow = true; }},
    {"VERYSILENT", Takes::Nothing, "", "Pencere açmadan çalışır (bir seçenek verildiğinde zaten böyledir).",
     [](UnattendedOptions& o, const std::string&, bool) { o.showWindow = false; }},
    {"MACHINE", Takes::Value, "main|terminal",
     "Kurulum yeri: main = Ana Makine (sa, veritabanı kurulur), terminal = Terminal (DURANIX). Varsayılan: "
     "terminal.",
     nullptr},
    {"SERVER", Takes::Value, "ad",
     "Server adı (host, host,port, host\\instance). Varsayılan: kayıtlı server.",
     [](UnattendedOptions& o, const std::string& v, bool) { o.server = v; }},
    {"USER", Takes::Value, "ad", "Kullanıcı adı. Varsayılan: main için sa, terminal için DURANIX.",
     [](UnattendedOptions& o, const std::string& v, bool) { o.user = v; }},
    {"PASSWORD", Takes::Value, "şifre",
     "Şifre. Komut satırı makinenin diğer kullanıcılarınca görülebilir: PASSWORDFILE ya da KURDB_PASSWORD "
     "ortam değişkeni daha güvenlidir.",
     [](UnattendedOptions& o, const std::string& v, bool) { o.password = v; }},
    {"PASSWORDFILE", Takes::Value, "dosya",
     "Şifreyi dosyanın ilk satırından okur (GNU biçiminde \"-\": standart girdi).",
     [](UnattendedOptions& o, const std::string& v, bool) { o.passwordFile = v; }},
    {"SAVE", Takes::YesNo, "yes|no", "Server adını Duranix.ini dosyasına kaydeder. Varsayılan: yes.",
     [](UnattendedOptions& o, const std::string&, bool yes) { o.save = yes; }},
    {"CREATE", Takes::YesNo, "yes|no",
     "Firmalar veritabanını kurar. Varsayılan: main için yes, terminal için no.",
     [](UnattendedOptions& o, const std::string&, bool yes) { o.create = yes; }},
    {"SHORTCUTS", Takes::YesNo, "yes|no", "Kısayolları oluşturur. Varsayılan: yes.",
     [](UnattendedOptions& o, const std::string&, bool yes) { o.shortcuts = yes; }},
    {"UPDATER", Takes::YesNo, "yes|no", "Güncelleme programını başlatır. Varsayılan: yes.",
     [](UnattendedOptions& o, const std::string&, bool yes) { o.updater = yes; }},
    {"OPENCOMPANY", Takes::YesNo, "yes|no", "Sonunda firma açma programını başlatır. Varsayılan: no.",
     [](UnattendedOptions& o, const std::string&, bool yes) { o.openCompany = yes; }},
    {"ENGINEINSTALL", Takes::YesNo, "yes|no",
     "BDE kurulu değilse kurulumunu indirip çalıştırır (iki sorunun cevabı). Varsayılan: no.",
     [](UnattendedOptions& o, const std::string&, bool yes) { o.engineInstall = yes; }},
    {"LOG", Takes::MaybeValue, "dosya",
     "Rapor satırlarını zaman damgasıyla dosyanın sonuna ekler; dosya verilmezse geçici klasörde Kurdb.log.",
     [](UnattendedOptions& o, const std::string& v, bool) { o.log = v; }},
    {"HELP", Takes::Nothing, "", "Bu yardımı gösterir.",
     [](UnattendedOptions& o, const std::string&, bool) { o.help = true; }},
};

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string Written(const Option& option, OptionStyle style) {
    return style == OptionStyle::Windows ? "/" + std::string(option.name) : "--" + Lower(option.name);
}

const Option* Find(std::string_view name, OptionStyle style) {
    for (const Option& option : kOptions)
        if (style == OptionStyle::Windows ? text::EqualsNoCase(name, option.name)
                                          : name == Lower(option.name))
            return &option;
    return nullptr;
}

// Applies one argument; returns the error, or "" when it was understood.
std::string Apply(UnattendedOptions& out, const std::string& arg, OptionStyle style) {
    const bool windows = style == OptionStyle::Windows;
    if (windows ? arg == "/?" : arg == "-h") {
        out.help = true;
        return "";
    }
    const std::string_view prefix = windows ? "/" : "--";
    if (arg.compare(0, prefix.size(), prefix) != 0 || arg.size() == prefix.size())
        return "Tanınmayan bağımsız değişken: " + arg;
    const std::string_view body = std::string_view(arg).substr(prefix.size());
    const auto equals = body.find('=');
    const std::string_view name = body.substr(0, equals);
    const Option* option = Find(name, style);
    if (!option) return "Bilinmeyen seçenek: " + arg;
    const bool hasValue = equals != std::string_view::npos;
    const std::string value = hasValue ? std::string(body.substr(equals + 1)) : std::string();
    switch (option->takes) {
        case Takes::Nothing:
            if (hasValue) return Written(*option, style) + " değer almaz";
            break;
        case Takes::Value:
            if (!hasValue || value.empty())
                return Written(*option, style) + " bir değer ister: " + option->values;
            break;
        case Takes::MaybeValue:
            break;
        case Takes::YesNo:
            if (!(text::EqualsNoCase(value, "yes") || text::EqualsNoCase(value, "no")))
                return Written(*option, style) + " için yes ya da no verilmeli";
            break;
    }
    if (option->apply) {
        option->apply(out, value, text::EqualsNoCase(value, "yes"));
        return "";
    }
    // MACHINE
    if (text::EqualsNoCase(value, "main"))
        out.machine = MachineKind::Main;
    else if (text::EqualsNoCase(value, "terminal"))
        out.machine = MachineKind::Terminal;
    else
        return Written(*option, style) + " için main ya da terminal verilmeli";
    return "";
}

}  // namespace

OptionStyle NativeOptionStyle() {
#ifdef _WIN32
    return OptionStyle::Windows;
#else
    return OptionStyle::Gnu;
#endif
}

ParsedOptions ParseOptions(const std::vector<std::string>& args, OptionStyle style) {
    ParsedOptions parsed;
    for (const std::string& arg : args) {
        parsed.error = Apply(parsed.options, arg, style);
        if (!parsed.error.empty()) break;
    }
    if (parsed.error.empty() && parsed.options.password && parsed.options.passwordFile)
        parsed.error = "PASSWORD ile PASSWORDFILE birlikte verilemez";
    return parsed;
}

std::string OptionsHelp(OptionStyle style) {
    const bool windows = style == OptionStyle::Windows;
    std::string help = std::string("Gözetimsiz kurulum: ") + (windows ? "Kurdb.exe" : "kurdb") +
                       " [seçenekler]\nBir seçenek verildiğinde sihirbaz pencere açmadan, soru sormadan "
                       "çalışır ve çıkış koduyla biter.\n\n";
    for (const Option& option : kOptions) {
        std::string written = Written(option, style);
        if (option.takes == Takes::MaybeValue)
            written += "[=" + std::string(option.values) + "]";
        else if (option.takes != Takes::Nothing)
            written += "=" + std::string(option.values);
        help += "  " + written + "\n      " + option.help + "\n";
    }
    help +=
        "\nŞifre başka yerden verilmezse " + std::string(kPasswordVariable) +
        " ortam değişkeninden okunur.\n"
        "\nÇıkış kodları: 0 tamam, 1 hatalı seçenek, 2 BDE kurulu değil, 3 server bağlantısı kurulamadı,\n"
        "4 firmalar veritabanı tamamlanamadı, 5 bağlantı parametresi kaydedilemedi,\n"
        "6 kısayol, güncelleme ya da firma açma programı hatası, 7 cevaplanamayan soru,\n"
        "8 beklenmeyen hata.\n";
    return help;
}

}  // namespace kurdb
