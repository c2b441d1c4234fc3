#include <gtest/gtest.h>

#include "app/ErrorBox.h"
#include "shell/Platform.h"
#include "base/Text.h"

using namespace kurdb;

TEST(ErrorBoxText, FullStopOnlyAfterCharactersAboveTheFullStop) {
    struct Case {
        const char* message;
        const char* shown;
    } cases[] = {
        {"Login failed for user sa", "Login failed for user sa."},
        {"Login failed for user 'sa'", "Login failed for user 'sa'"},  // "'" is 39
        {"Sunucu bulunamadı", "Sunucu bulunamadı."},                   // Turkish letter at the end
        {"Hata 42", "Hata 42."},                                       // digit
        {"Firmalar Veritabanı mevcut değil !!!", "Firmalar Veritabanı mevcut değil !!!"},
        {"Already ends.", "Already ends."},
        {"(in brackets)", "(in brackets)"},
        {"trailing blank ", "trailing blank "},
        {"dash-", "dash-"},     // code 45, below "."
        {"slash/", "slash/."},  // code 47, above "."
        {"", ""},
        {"first line\r\nsecond line", "first line\r\nsecond line."},
    };
    for (const auto& c : cases) EXPECT_EQ(ErrorBoxText(c.message), c.shown) << c.message;
}

TEST(ApplicationTitle, FileNameCutAtFirstDotWithLaterLettersLowered) {
    EXPECT_EQ(ApplicationTitle("C:\\Program Files\\Duranix\\Kurdb.exe"), "Kurdb");
    EXPECT_EQ(ApplicationTitle("C:\\DURANIX\\KURDB.EXE"), "Kurdb");
    EXPECT_EQ(ApplicationTitle("/opt/kurdb/kurdb"), "kurdb");
    EXPECT_EQ(ApplicationTitle("D:\\x\\Kurdb.v2.exe"), "Kurdb");
    EXPECT_EQ(ApplicationTitle("kurulum"), "kurulum");
}

TEST(PathRules, TrailingSeparatorOnWindows) {
    const PathRules w{true};
    EXPECT_EQ(w.IncludeTrailingSeparator(""), "");
    EXPECT_EQ(w.IncludeTrailingSeparator("C"), "C:\\");
    EXPECT_EQ(w.IncludeTrailingSeparator("C:"), "C:");
    EXPECT_EQ(w.IncludeTrailingSeparator("C:\\"), "C:\\");
    EXPECT_EQ(w.IncludeTrailingSeparator("C:\\Windows\\system32"), "C:\\Windows\\system32\\");
    EXPECT_EQ(w.IncludeTrailingSeparator("ab"), "ab\\");
    EXPECT_EQ(w.DirectoryOf("C:\\Duranix\\Kurdb.exe"), "C:\\Duranix");
    EXPECT_EQ(w.DirectoryOf("C:\\Kurdb.exe"), "C:");
    EXPECT_EQ(w.FileNameOf("C:\\Duranix\\Kurdb.exe"), "Kurdb.exe");
}

TEST(PathRules, TrailingSeparatorOnPosix) {
    const PathRules p{false};
    EXPECT_EQ(p.IncludeTrailingSeparator(""), "");
    EXPECT_EQ(p.IncludeTrailingSeparator("/usr/bin"), "/usr/bin/");
    EXPECT_EQ(p.IncludeTrailingSeparator("/"), "/");
    EXPECT_EQ(p.IncludeTrailingSeparator("C"), "C/");  // no drive letters here
    EXPECT_EQ(p.DirectoryOf("/opt/kurdb/kurdb"), "/opt/kurdb");
    EXPECT_EQ(p.DirectoryOf("/kurdb"), "/");
    EXPECT_EQ(p.FileNameOf("/opt/a\\b"), "a\\b");  // a backslash is part of a Linux name
}

TEST(Text, Cp1254RoundTripOfTurkishLetters) {
    const std::string utf8 = "YÖNETİCİ ğüşıöçĞÜŞİÖÇ";
    const std::string bytes = text::Utf8ToCp1254(utf8);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x59\xD6\x4E\x45\x54\xDD\x43\xDD", 8));
    EXPECT_EQ(text::Cp1254ToUtf8(bytes), utf8);
    EXPECT_EQ(text::Utf8ToCp1254("€ ✓"), std::string("\x80 ?"));
}

TEST(Text, Utf16RoundTripIncludingSurrogatesAndBadInput) {
    const std::string s = "Bağlan 𝄞";
    EXPECT_EQ(text::Utf16ToUtf8(text::Utf8ToUtf16(s)), s);
    EXPECT_EQ(text::Utf8ToUtf16("\xC3").size(), 1u);         // truncated sequence
    EXPECT_EQ(text::Utf8ToUtf16("\xC0\xAF")[0], u'\xFFFD');  // overlong "/"
    EXPECT_EQ(text::LastCodePoint("Şifre ı"), 0x131u);
    EXPECT_EQ(text::TrimControl("\t GO \r"), "GO");
}
