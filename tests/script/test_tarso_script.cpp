// The extended schema script of edition 18 (resources/sql/QTarso.sql), read without a server:
// batch frames, tables and their columns, constraints, indexes, defaults and seed rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "resources/Resources.h"
#include "base/Text.h"

namespace {

// The eleven tables in the order in which the script creates them, with their column counts.
const std::vector<std::pair<std::string, int>> kTables = {
    {"FRT", 33},     {"MODEL", 97},  {"ISEMRI", 118}, {"ISCILIK", 29}, {"GUNCEL", 2},    {"FIRKIM", 62},
    {"PARAMSER", 6}, {"RIGHTS", 59}, {"PEROKU", 7},   {"PEROKUM", 14}, {"ISCIUSTA", 39},
};

// Every constraint and index the script creates, by table, and those of them that are unique.
const std::map<std::string, std::vector<std::string>> kNamed = {
    {"FRT", {"Frt0", "FRTANA", "FRTMODEL", "FRTGRUP", "FRTAD"}},
    {"MODEL",
     {"DF_MODEL_RADYO_TEYP", "DF_MODEL_CAKMAK", "DF_MODEL_AVANDANLIK", "DF_MODEL_KRIKO", "DF_MODEL_STEPNE",
      "DF_MODEL_RUHSAT", "DF_MODEL_SIP_VERILEBILIR", "DF_MODEL_POQ_VER", "MODEL0"}},
    {"ISEMRI",
     {"DF__ISEMRI__MUSOK_1__4707859D",
      "DF__ISEMRI__MUSOK_2__47FBA9D6",
      "DF__ISEMRI__MUSOK_3__48EFCE0F",
      "DF__ISEMRI__MUSOK_4__49E3F248",
      "DF__ISEMRI__MUSOK_5__4AD81681",
      "DF__ISEMRI__MUSOK_6__4BCC3ABA",
      "DF__ISEMRI__MUSOK_7__4CC05EF3",
      "DF__ISEMRI__MUSOK_8__4DB4832C",
      "DF__ISEMRI__MUSOK_9__4EA8A765",
      "DF__ISEMRI__MUSOK_10__4F9CCB9E",
      "DF__ISEMRI__INS_DATE__3A235722",
      "DF_ISEMRI_VURUK",
      "DF_ISEMRI_CIZIK",
      "DF_ISEMRI_PAS",
      "DF_ISEMRI_BOYA_HATA",
      "DF_ISEMRI_CAKMAK",
      "DF_ISEMRI_RADYO_TEYP",
      "DF_ISEMRI_AVADANLIK",
      "DF_ISEMRI_KRIKO",
      "DF_ISEMRI_RUHSAT",
      "DF_ISEMRI_STEPNE",
      "Isemri0",
      "IX_ISEMRI",
      "IX_ISEMRI_1",
      "IX_ISEMRI_2",
      "IX_ISEMRI_KAPANDI"}},
    {"ISCILIK", {"DF_ISCILIK_FIILIORAN", "Iscilik0"}},
    {"GUNCEL", {"PK_GUNCEL", "DF_GUNCEL_ID", "DF_GUNCEL_STATU"}},
    {"RIGHTS", {"RIGHTS0"}},
    {"PEROKU", {"DF__PEROKU__PORTNO__414EAC47", "IX_PEROKU"}},
    {"PEROKUM", {"IX_PEROKUM", "IX_PEROKUM_1", "IX_PEROKUM_IESIRA"}},
    {"ISCIUSTA", {"Isciusta0", "IX_ISCIUSTA", "IX_ISCIUSTA_1", "IX_BOLUMU"}},
};
const std::set<std::string> kUnique = {"Frt0",    "MODEL0",    "Isemri0",   "Iscilik0",
                                       "RIGHTS0", "Isciusta0", "IX_PEROKU", "IX_PEROKUM"};

// "YÖNETİCİ" in UTF-8, written with escapes so that the comparison does not depend on how the
// compiler reads this file, and as the code page 1254 bytes the seed rows carry.
const std::string kYonetici =
    "Y\xC3\x96NET\xC4\xB0"
    "C\xC4\xB0";
const std::string kYoneticiCast = "CAST(0x59D64E4554DD43DD AS varchar(8))";

std::string FrameLine(const std::string& table) {
    return "if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[" + table +
           "]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)";
}

// Identifier tokens of a line (letters, digits, underscore), in order.
std::vector<std::string> Tokens(const std::string& line) {
    std::vector<std::string> tokens;
    static const std::regex word(R"(\w+)");
    for (std::sregex_iterator it(line.begin(), line.end(), word), end; it != end; ++it)
        tokens.push_back(it->str());
    return tokens;
}

class TarsoScript : public ::testing::Test {
protected:
    // The script's lines cut at LF, and its batches: the lines before each separator line.
    static void SetUpTestSuite() {
        lines.clear();
        batches.clear();
        text = std::string(kurdb::resources::Find("sql/QTarso.sql"));
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        if (start < text.size()) lines.push_back(text.substr(start));
        batches.emplace_back();
        for (const std::string& line : lines) {
            if (kurdb::text::TrimControl(line) == "GO")
                batches.emplace_back();
            else
                batches.back().push_back(line);
        }
    }
    // The batch that creates `table`; the test fails if there is none.
    static const std::vector<std::string>& BatchOf(const std::string& table) {
        for (const auto& b : batches)
            for (const std::string& line : b)
                if (line == FrameLine(table)) return b;
        ADD_FAILURE() << "no batch for " << table;
        return batches.back();
    }

    static inline std::string text;
    static inline std::vector<std::string> lines;
    static inline std::vector<std::vector<std::string>> batches;
};

TEST_F(TarsoScript, ElevenSeparatorsTheLastLineGoAndNoColon) {
    // the lines after the last separator form an empty twelfth batch
    ASSERT_EQ(batches.size(), 12u);
    EXPECT_TRUE(batches.back().empty());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "GO");
    EXPECT_EQ(text.find('\r'), std::string::npos);
    // a colon would become a parameter marker of the batch
    EXPECT_EQ(text.find(':'), std::string::npos);
}

TEST_F(TarsoScript, EachBatchCreatesItsTableInItsFrame) {
    static const std::regex column(
        R"(^\t\[[A-Z0-9_]+\] \[[a-z]+\]( \([0-9]+(, [0-9]+)?\))?( IDENTITY \(1, 1\))? (NOT )?NULL( ,)?$)");
    ASSERT_GE(batches.size(), kTables.size());
    for (std::size_t k = 0; k < kTables.size(); ++k) {
        const auto& [table, columns] = kTables[k];
        const std::vector<std::string>& b = batches[k];
        std::size_t i = 0;  // the frame comes first after blank and comment lines
        while (i < b.size() && (kurdb::text::TrimControl(b[i]).empty() || b[i].starts_with("--"))) ++i;
        ASSERT_LT(i + 2, b.size()) << table;
        EXPECT_EQ(b[i], FrameLine(table));
        EXPECT_EQ(b[i + 1], "BEGIN") << table;
        EXPECT_EQ(b[i + 2], "CREATE TABLE [dbo].[" + table + "] (");
        EXPECT_EQ(b.back(), "END") << table;
        int counted = 0;
        for (i += 3; i < b.size() && !b[i].starts_with(")"); ++i, ++counted) {
            std::smatch m;
            ASSERT_TRUE(std::regex_match(b[i], m, column)) << table << ": \"" << b[i] << "\"";
            // every column but the last is followed by a comma
            EXPECT_EQ(m[5].matched, i + 1 < b.size() && !b[i + 1].starts_with(")")) << b[i];
        }
        EXPECT_EQ(counted, columns) << table;
    }
}

TEST_F(TarsoScript, FourSeedRowsEachOnceInItsBatch) {
    const std::map<std::string, std::string> want = {
        {"FIRKIM", "INSERT INTO FIRKIM(SER_KOD, EADI) VALUES('0', 'PERSONEL')"},
        {"PARAMSER", "INSERT INTO PARAMSER(SERI_NO) VALUES(1)"},
        {"RIGHTS",
         "INSERT INTO RIGHTS(LOGIN_NAME, USER_NAME, USER_PASS, SUPERVIZOR, IS_EMRI, DISPOZ, PERSONEL, "
         "PERSONEL_KOD) VALUES('3', " +
             kYoneticiCast + ", '', 'A', 'Y', 'Y', 'Y', '3')"},
        {"ISCIUSTA", "INSERT INTO ISCIUSTA(ISCI_KOD, ISCI_ADI) VALUES('3', " + kYoneticiCast + ")"},
    };
    int inserts = 0;
    for (const std::string& line : lines) inserts += line.find("INSERT") != std::string::npos;
    EXPECT_EQ(inserts, 4);
    for (const auto& [table, row] : want) {
        const std::vector<std::string>& b = BatchOf(table);
        EXPECT_EQ(std::count(b.begin(), b.end(), row), 1) << row;
    }
    // the seed name's bytes are YÖNETİCİ in code page 1254, and the varchar holds them all
    static const std::regex cast(R"(CAST\(0x([0-9A-F]+) AS varchar\(([0-9]+)\)\))");
    int names = 0;
    for (const std::string& line : lines) {
        for (std::sregex_iterator it(line.begin(), line.end(), cast), end; it != end; ++it, ++names) {
            std::string bytes;
            const std::string hex = (*it)[1];
            for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
                bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
            EXPECT_EQ(kurdb::text::Cp1254ToUtf8(bytes), kYonetici) << line;
            EXPECT_EQ(std::stoul((*it)[2]), bytes.size()) << line;
        }
    }
    EXPECT_EQ(names, 2);
}

TEST_F(TarsoScript, EveryConstraintAndIndexOnceInItsBatchUniqueWhereItShouldBe) {
    std::vector<std::vector<std::string>> tokens;
    std::set<std::string> expected, found;
    for (const std::string& line : lines) {
        tokens.push_back(Tokens(line));
        const std::vector<std::string>& t = tokens.back();
        for (std::size_t i = 0; i + 1 < t.size(); ++i)
            if (t[i] == "CONSTRAINT" || t[i] == "INDEX") found.insert(t[i + 1]);
    }
    for (const auto& [table, names] : kNamed) {
        const std::vector<std::string>& batch = BatchOf(table);
        for (const std::string& name : names) {
            expected.insert(name);
            int inScript = 0, inBatch = 0;
            for (std::size_t i = 0; i < lines.size(); ++i) {
                for (const std::string& t : tokens[i]) inScript += kurdb::text::EqualsNoCase(t, name);
                if (std::find(tokens[i].begin(), tokens[i].end(), name) == tokens[i].end()) continue;
                inBatch += std::count(batch.begin(), batch.end(), lines[i]) > 0;
                EXPECT_EQ(lines[i].find("UNIQUE") != std::string::npos, kUnique.count(name) == 1) << lines[i];
            }
            EXPECT_EQ(inScript, 1) << name;
            EXPECT_EQ(inBatch, 1) << name << " outside the batch of " << table;
        }
    }
    // and nothing is created under a name that is not on the list
    EXPECT_EQ(found, expected);
}

TEST_F(TarsoScript, OneIdentityAndTheDefaults) {
    std::vector<std::string> identities;
    for (const std::string& line : lines)
        if (line.find("IDENTITY") != std::string::npos) identities.push_back(line);
    ASSERT_EQ(identities, std::vector<std::string>{"\t[SIRANO] [int] IDENTITY (1, 1) NOT NULL"});
    EXPECT_EQ(std::count(BatchOf("PEROKU").begin(), BatchOf("PEROKU").end(), identities.front()), 1);

    static const std::regex defaultLine(R"(^\tCONSTRAINT \[?(\w+)\]? DEFAULT \((.*)\) FOR \[?\w+\]?,?$)");
    std::map<std::string, std::string> got, want;
    for (const auto& [table, names] : kNamed)
        for (const std::string& name : names)
            if (name.starts_with("DF_")) want[name] = "0";
    want["DF_ISCILIK_FIILIORAN"] = "100";
    want["DF__ISEMRI__INS_DATE__3A235722"] = "getdate()";
    want["DF__PEROKU__PORTNO__414EAC47"] = "null";
    for (const std::string& line : lines) {
        std::smatch m;
        if (std::regex_match(line, m, defaultLine))
            got[m[1]] = m[2];
        else
            EXPECT_EQ(line.find("DEFAULT"), std::string::npos) << line;
    }
    EXPECT_EQ(got, want);
}

}  // namespace