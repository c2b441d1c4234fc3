#include "db/Errors.h"

#include <array>
#include <cstdio>
#include <utility>

#include "base/Text.h"

namespace kurdb::db {
namespace {

struct Description {
    std::string_view code;  // a full SQLSTATE, or a two-character class
    std::string_view text;
};

// Codes that deserve their own words. "42000" is what SQL Server drivers report for most server
// errors (FreeTDS maps every server error of class above 10 without a table entry to it), so it
// reads as a general SQL error rather than "syntax error or access violation".
constexpr std::array kByState{
    Description{"01000", "Genel uyarı."},
    Description{"01004", "Veri kesildi."},
    Description{"08001", "Sunucuya bağlanılamadı."},
    Description{"08004", "Sunucu isteği reddetti."},
    Description{"08S01", "Sunucu ile iletişim koptu."},
    Description{"22001", "Metin sütuna sığmıyor."},
    Description{"23000", "Bütünlük kısıtlaması ihlali."},
    Description{"28000", "Geçersiz kullanıcı adı veya şifre."},
    Description{"42000", "Genel SQL hatası."},
    Description{"42S01", "Tablo ya da görünüm zaten var."},
    Description{"42S02", "Tablo ya da görünüm bulunamadı."},
    Description{"42S22", "Sütun bulunamadı."},
    Description{"HYT00", "Zaman aşımı."},
    Description{"HYT01", "Bağlantı zaman aşımı."},
    Description{"IM002", "Veri kaynağı ya da sürücü bulunamadı."},
    Description{"IM003", "Sürücü yüklenemedi."},
};

constexpr std::array kByClass{
    Description{"01", "Genel uyarı."},
    Description{"07", "Dinamik SQL hatası."},
    Description{"08", "Bağlantı hatası."},
    Description{"21", "Sütun sayısı uyuşmuyor."},
    Description{"22", "Veri hatası."},
    Description{"23", "Bütünlük kısıtlaması ihlali."},
    Description{"24", "Geçersiz imleç durumu."},
    Description{"25", "Geçersiz işlem durumu."},
    Description{"28", "Geçersiz yetki bilgisi."},
    Description{"34", "Geçersiz imleç adı."},
    Description{"3D", "Geçersiz veritabanı adı."},
    Description{"3F", "Geçersiz şema adı."},
    Description{"40", "İşlem geri alındı."},
    Description{"42", "Sözdizimi hatası veya erişim ihlali."},
    Description{"44", "WITH CHECK OPTION ihlali."},
    Description{"HY", "Genel ODBC hatası."},
    Description{"IM", "ODBC sürücü yöneticisi hatası."},
};

constexpr std::string_view kGeneral = "Genel SQL hatası.";

bool IsWarning(const DiagRecord& r) {
    return r.sqlState.rfind("01", 0) == 0;
}

// Letters folded for "equal without regard to case". Texts here are English (server, driver)
// or Turkish (our descriptions), so the Turkish pairs fold too, and the four i's are one letter:
// "GENEL SQL HATASI." then equals "Genel SQL hatası.".
std::u16string FoldCase(std::string_view s) {
    std::u16string out = text::Utf8ToUtf16(s);
    for (auto& c : out) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        switch (c) {
            case u'\u0130':
            case u'\u0131':
                c = u'i';
                break;  // İ ı
            case u'\u011E':
                c = u'\u011F';
                break;  // Ğ
            case u'\u00DC':
                c = u'\u00FC';
                break;  // Ü
            case u'\u015E':
                c = u'\u015F';
                break;  // Ş
            case u'\u00D6':
                c = u'\u00F6';
                break;  // Ö
            case u'\u00C7':
                c = u'\u00E7';
                break;  // Ç
            default:
                break;
        }
    }
    return out;
}

class Lines {
public:
    void Add(std::string_view line) {
        if (line.empty()) return;
        const std::u16string folded = FoldCase(line);
        for (const auto& existing : folded_)
            if (existing == folded) return;
        lines_.emplace_back(line);
        folded_.push_back(folded);
    }
    bool Empty() const { return lines_.empty(); }
    std::string Join() const {
        std::string out;
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            if (i) out += "\r\n";
            out += lines_[i];
        }
        return out;
    }

private:
    std::vector<std::string> lines_;
    std::vector<std::u16string> folded_;
};

}  // namespace

std::string GeneralDescription(std::string_view sqlState) {
    for (const auto& d : kByState)
        if (text::EqualsNoCase(d.code, sqlState)) return std::string(d.text);
    if (sqlState.size() >= 2)
        for (const auto& d : kByClass)
            if (text::EqualsNoCase(d.code, sqlState.substr(0, 2))) return std::string(d.text);
    return std::string(kGeneral);
}

std::string StripDriverPrefixes(std::string_view s) {
    s = text::TrimControl(s);
    // Only whole bracketed groups at the very start; a message that merely contains brackets
    // ("Invalid object name '[dbo].[X]'") keeps them.
    while (!s.empty() && s.front() == '[') {
        const auto close = s.find(']');
        if (close == std::string_view::npos) break;
        s.remove_prefix(close + 1);
    }
    return std::string(text::TrimControl(s));
}

std::string ComposeEngineMessage(const std::vector<DiagRecord>& records, std::int16_t code) {
    Lines lines;
    if (!records.empty()) {
        const DiagRecord* reported = &records.front();
        for (const auto& r : records)
            if (!IsWarning(r)) {
                reported = &r;
                break;
            }
        lines.Add(GeneralDescription(reported->sqlState));
    }
    for (const auto& r : records) {
        if (r.nativeError == 0) lines.Add(GeneralDescription(r.sqlState));
        lines.Add(StripDriverPrefixes(r.text));
    }
    if (lines.Empty()) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "BDE hatası $%.4X",
                      static_cast<unsigned>(static_cast<std::uint16_t>(code)));
        return buf;
    }
    return lines.Join();
}

EDBEngineError::EDBEngineError(std::vector<DiagRecord> records, std::int16_t code)
    : Exception(ComposeEngineMessage(records, code)), records_(std::move(records)) {}

EDBEngineError::EDBEngineError(std::string message) : Exception(std::move(message)) {}

std::string Format(std::string_view pattern, std::string_view name) {
    std::string out(pattern);
    const auto at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, name);
    return out;
}

EDatabaseError::EDatabaseError(std::string_view component, std::string_view text)
    : Exception(std::string(component) + ": " + std::string(text)), component_(component), text_(text) {}

}  // namespace kurdb::db
