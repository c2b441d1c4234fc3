// The extended schema script of edition 18 (resources/sql/QTarso.sql), read without a server:
// batch frames, tables and their columns, constraints, indexes and seed rows.
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "resources/Resources.h"
#include "shell/Text.h"

namespace {

using kurdb::text::EqualsNoCase;
using kurdb::text::TrimControl;

struct Expected {
    const char* table;
    int columns;
};

// The eleven tables in the order in which the script creates them.
constexpr std::array<Expected, 11> kTables = {{
    {"FRT", 33}, {"MODEL", 97}, {"ISEMRI", 118}, {"ISCILIK", 29}, {"GUNCEL", 2}, {"FIRKIM", 62},
    {"PARAMSER", 6}, {"RIGHTS", 59}, {"PEROKU", 7}, {"PEROKUM", 14}, {"ISCIUSTA", 39},
}};

struct NamedObject {
    const char* name;
    const char* table;
};

// Every constraint and index the script creates, with its table.
const std::vector<NamedObject> kConstraints = {
    {"DF_MODEL_RADYO_TEYP", "MODEL"}, {"DF_MODEL_CAKMAK", "MODEL"}, {"DF_MODEL_AVANDANLIK", "MODEL"},
    {"DF_MODEL_KRIKO", "MODEL"}, {"DF_MODEL_STEPNE", "MODEL"}, {"DF_MODEL_RUHSAT", "MODEL"},
    {"DF_MODEL_SIP_VERILEBILIR", "MODEL"}, {"DF_MODEL_POQ_VER", "MODEL"},
    {"DF__ISEMRI__MUSOK_1__4707859D", "ISEMRI"}, {"DF__ISEMRI__MUSOK_2__47FBA9D6", "ISEMRI"},
    {"DF__ISEMRI__MUSOK_3__48EFCE0F", "ISEMRI"}, {"DF__ISEMRI__MUSOK_4__49E3F248", "ISEMRI"},
    {"DF__ISEMRI__MUSOK_5__4AD81681", "ISEMRI"}, {"DF__ISEMRI__MUSOK_6__4BCC3ABA", "ISEMRI"},
    {"DF__ISEMRI__MUSOK_7__4CC05EF3", "ISEMRI"}, {"DF__ISEMRI__MUSOK_8__4DB4832C", "ISEMRI"},
    {"DF__ISEMRI__MUSOK_9__4EA8A765", "ISEMRI"}, {"DF__ISEMRI__MUSOK_10__4F9CCB9E", "ISEMRI"},
    {"DF__ISEMRI__INS_DATE__3A235722", "ISEMRI"},
    {"DF_ISEMRI_VURUK", "ISEMRI"}, {"DF_ISEMRI_CIZIK", "ISEMRI"}, {"DF_ISEMRI_PAS", "ISEMRI"},
    {"DF_ISEMRI_BOYA_HATA", "ISEMRI"}, {"DF_ISEMRI_CAKMAK", "ISEMRI"}, {"DF_ISEMRI_RADYO_TEYP", "ISEMRI"},
    {"DF_ISEMRI_AVADANLIK", "ISEMRI"}, {"DF_ISEMRI_KRIKO", "ISEMRI"}, {"DF_ISEMRI_RUHSAT", "ISEMRI"},
    {"DF_ISEMRI_STEPNE", "ISEMRI"},
    {"DF_ISCILIK_FIILIORAN", "ISCILIK"},
    {"PK_GUNCEL", "GUNCEL"}, {"DF_GUNCEL_ID", "GUNCEL"}, {"DF_GUNCEL_STATU", "GUNCEL"},
    {"DF__PEROKU__PORTNO__414EAC47", "PEROKU"}, {"IX_PEROKU", "PEROKU"},
    {"IX_PEROKUM", "PEROKUM"},
};

const std::vector<NamedObject> kUniqueIndexes = {
    {"Frt0", "FRT"}, {"MODEL0", "MODEL"}, {"Isemri0", "ISEMRI"}, {"Iscilik0", "ISCILIK"},
    {"RIGHTS0", "RIGHTS"}, {"Isciusta0", "ISCIUSTA"},
};

const std::vector<NamedObject> kPlainIndexes = {
    {"FRTANA", "FRT"}, {"FRTMODEL", "FRT"}, {"FRTGRUP", "FRT"}, {"FRTAD", "FRT"},
    {"IX_ISEMRI", "ISEMRI"}, {"IX_ISEMRI_1", "ISEMRI"}, {"IX_ISEMRI_2", "ISEMRI"},
    {"IX_ISEMRI_KAPANDI", "ISEMRI"}, {"IX_PEROKUM_1", "PEROKUM"}, {"IX_PEROKUM_IESIRA", "PEROKUM"},
    {"IX_ISCIUSTA", "ISCIUSTA"}, {"IX_ISCIUSTA_1", "ISCIUSTA"}, {"IX_BOLUMU", "ISCIUSTA"},
};

// "YÖNETİCİ" in UTF-8, written with escapes so that the comparison does not depend on how the
// compiler reads this file.
const std::string kYonetici = "Y\xC3\x96NET\xC4\xB0" "C\xC4\xB0";

std::string FrameLine(std::string_view table) {
    return "if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[" + std::string(table) +
           "]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)";
}

bool IsBlank(std::string_view line) { return TrimControl(line).empty(); }
bool IsComment(std::string_view line) { return TrimControl(line).substr(0, 2) == "--"; }
bool IsSeparator(std::string_view line) { return TrimControl(line) == "GO"; }

// The script's lines as the template holds them: cut at LF, the final LF ending the last line.
std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = list.find(',', start);
        std::string item(TrimControl(std::string_view(list).substr(start, comma - start)));
        if (item.size() >= 2 && item.front() == '[' && item.back() == ']') item = item.substr(1, item.size() - 2);
        items.push_back(item);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return items;
}

// Identifier tokens of a line (letters, digits, underscore), in order.
std::vector<std::string> Tokens(std::string_view line) {
    std::vector<std::string> tokens;
    std::string cur;
    for (char c : line) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_') {
            cur += c;
        } else if (!cur.empty()) {
            tokens.push_back(cur);
            cur.clear();
        }
    }
    if (!cur.empty()) tokens.push_back(cur);
    return tokens;
}

struct Column {
    std::string name;
    std::string type;
    bool hasLength = false;
    bool notNull = false;
    bool identity = false;
};

struct Batch {
    std::vector<std::string> lines;  // the lines before its separator line
};

// Decodes one value of a seed row: '...', N'...', a number, or CAST(0x.. AS varchar(n)) whose
// bytes are code page 1254 text. Returns false for anything else.
bool DecodeValue(const std::string& value, std::string& out) {
    static const std::regex quoted(R"(^N?'([^']*)'$)");
    static const std::regex number(R"(^[0-9]+$)");
    static const std::regex binary(R"(^CAST\(0x([0-9A-Fa-f]+) AS varchar\(([0-9]+)\)\)$)");
    std::smatch m;
    if (std::regex_match(value, m, quoted)) {
        out = m[1];
        return true;
    }
    if (std::regex_match(value, m, number)) {
        out = value;
        return true;
    }
    if (std::regex_match(value, m, binary)) {
        const std::string hex = m[1];
        if (hex.size() % 2 != 0) return false;
        std::string bytes;
        for (std::size_t i = 0; i < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        // a shorter varchar would cut the value
        if (std::stoul(m[2].str()) < bytes.size()) return false;
        out = kurdb::text::Cp1254ToUtf8(bytes);
        return true;
    }
    return false;
}

class TarsoScript : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        text = new std::string(kurdb::resources::Find("sql/QTarso.sql"));
        lines = new std::vector<std::string>(SplitLines(*text));
        batches = new std::vector<Batch>();
        Batch cur;
        for (const std::string& line : *lines) {
            if (IsSeparator(line)) {
                batches->push_back(cur);
                cur = Batch();
            } else {
                cur.lines.push_back(line);
            }
        }
    }
    static void TearDownTestSuite() {
        delete text;
        delete lines;
        delete batches;
    }

    // The batch that creates `table`, found by its frame line.
    static const Batch* BatchOf(std::string_view table) {
        for (const Batch& b : *batches)
            for (const std::string& line : b.lines)
                if (line == FrameLine(table)) return &b;
        return nullptr;
    }

    // The columns of the CREATE TABLE of `b`; fails the test on a malformed column line.
    static std::vector<Column> ColumnsOf(const Batch& b, std::string_view table, std::string* closing) {
        static const std::regex columnLine(
            R"(^\t\[([A-Z0-9_]+)\] \[([a-z]+)\]( \([0-9]+(, [0-9]+)?\))?( IDENTITY \(1, 1\))? (NOT NULL|NULL)( ,)?$)");
        const std::string create = "CREATE TABLE [dbo].[" + std::string(table) + "] (";
        std::vector<Column> cols;
        std::size_t i = 0;
        while (i < b.lines.size() && b.lines[i] != create) ++i;
        if (i == b.lines.size()) {
            ADD_FAILURE() << "no CREATE TABLE line for " << table;
            return cols;
        }
        for (++i; i < b.lines.size() && !b.lines[i].starts_with(")"); ++i) {
            std::smatch m;
            if (!std::regex_match(b.lines[i], m, columnLine)) {
                ADD_FAILURE() << table << ": malformed column line \"" << b.lines[i] << "\"";
                continue;
            }
            Column c;
            c.name = m[1];
            c.type = m[2];
            c.hasLength = m[3].matched;
            c.notNull = m[6] == "NOT NULL";
            c.identity = m[5].matched;
            cols.push_back(c);
            // every column line but the last ends with a comma
            const bool last = i + 1 < b.lines.size() && b.lines[i + 1].starts_with(")");
            EXPECT_EQ(m[7].matched, !last) << table << ": comma after \"" << b.lines[i] << "\"";
        }
        if (closing) *closing = i < b.lines.size() ? b.lines[i] : std::string();
        return cols;
    }

    static std::string* text;
    static std::vector<std::string>* lines;
    static std::vector<Batch>* batches;
};

std::string* TarsoScript::text = nullptr;
std::vector<std::string>* TarsoScript::lines = nullptr;
std::vector<Batch>* TarsoScript::batches = nullptr;

TEST_F(TarsoScript, IsUtf8WithLfLinesAndNoColon) {
    ASSERT_FALSE(text->empty());
    EXPECT_EQ(kurdb::text::Utf16ToUtf8(kurdb::text::Utf8ToUtf16(*text)), *text) << "not valid UTF-8";
    EXPECT_EQ(text->find('\r'), std::string::npos);
    // a colon would become a parameter marker of the batch
    EXPECT_EQ(text->find(':'), std::string::npos);
}

TEST_F(TarsoScript, ElevenSeparatorLinesAndTheLastLineIsGo) {
    int separators = 0;
    for (const std::string& line : *lines)
        if (IsSeparator(line)) ++separators;
    EXPECT_EQ(separators, 11);
    ASSERT_FALSE(lines->empty());
    EXPECT_EQ(lines->back(), "GO");
    EXPECT_TRUE(text->ends_with("\nGO\n"));
    EXPECT_FALSE(text->ends_with("\n\n"));
}

TEST_F(TarsoScript, EveryBatchHasItsFrameInTableOrder) {
    ASSERT_EQ(batches->size(), kTables.size());
    for (std::size_t k = 0; k < kTables.size(); ++k) {
        const Batch& b = (*batches)[k];
        std::vector<std::string> significant;
        for (const std::string& line : b.lines)
            if (!IsBlank(line) && !IsComment(line)) significant.push_back(line);
        ASSERT_GE(significant.size(), 4u) << "batch " << k + 1;
        EXPECT_EQ(significant[0], FrameLine(kTables[k].table)) << "batch " << k + 1;
        EXPECT_EQ(significant[1], "BEGIN") << "batch " << k + 1;
        EXPECT_EQ(significant[2], "CREATE TABLE [dbo].[" + std::string(kTables[k].table) + "] (") << "batch " << k + 1;
        ASSERT_FALSE(b.lines.empty());
        EXPECT_EQ(b.lines.back(), "END") << "the line before separator " << k + 1;
        // one frame per batch, one BEGIN and END pair
        int frames = 0, begins = 0, ends = 0;
        for (const std::string& line : b.lines) {
            if (line.starts_with("if not exists")) ++frames;
            if (line == "BEGIN") ++begins;
            if (line == "END") ++ends;
        }
        EXPECT_EQ(frames, 1) << "batch " << k + 1;
        EXPECT_EQ(begins, 1) << "batch " << k + 1;
        EXPECT_EQ(ends, 1) << "batch " << k + 1;
    }
}

TEST_F(TarsoScript, ColumnLinesPerTable) {
    for (const Expected& e : kTables) {
        const Batch* b = BatchOf(e.table);
        ASSERT_NE(b, nullptr) << e.table;
        std::string closing;
        const std::vector<Column> cols = ColumnsOf(*b, e.table, &closing);
        EXPECT_EQ(static_cast<int>(cols.size()), e.columns) << e.table;

        std::set<std::string> names;
        bool blob = false;
        for (const Column& c : cols) {
            EXPECT_TRUE(names.insert(c.name).second) << e.table << ": column " << c.name << " twice";
            static const std::set<std::string> known = {"varchar", "char", "numeric", "float", "smallint",
                                                        "tinyint", "int", "bit", "datetime", "image", "text"};
            EXPECT_TRUE(known.count(c.type)) << e.table << "." << c.name << ": type " << c.type;
            // character and numeric columns carry their size; the others take none
            const bool sized = c.type == "varchar" || c.type == "char" || c.type == "numeric";
            EXPECT_EQ(c.hasLength, sized) << e.table << "." << c.name;
            if (c.type == "text" || c.type == "image") blob = true;
        }
        // text and image data go to the PRIMARY filegroup as well
        EXPECT_EQ(closing, blob ? ") ON [PRIMARY] TEXTIMAGE_ON [PRIMARY]" : ") ON [PRIMARY]") << e.table;
    }
}

TEST_F(TarsoScript, NotNullColumns) {
    const std::map<std::string, std::set<std::string>> want = {
        {"FRT", {"FRT_KODU"}},
        {"MODEL", {"ARC_MODEL_KODU", "ARC_MODEL_ADI", "POQ_VER"}},
        {"ISEMRI", {"IS_EMRI_NO", "MUSOK_1", "MUSOK_2", "MUSOK_3", "MUSOK_4", "MUSOK_5", "MUSOK_6", "MUSOK_7",
                    "MUSOK_8", "MUSOK_9", "MUSOK_10"}},
        {"ISCILIK", {"ISEMRI_NO"}},
        {"GUNCEL", {"ID", "STATU"}},
        {"RIGHTS", {"LOGIN_NAME"}},
        {"PEROKU", {"SIRANO"}},
        {"ISCIUSTA", {"ISCI_KOD", "ISCI_ADI"}},
    };
    std::map<std::string, std::set<std::string>> got;
    for (const Expected& e : kTables) {
        const Batch* b = BatchOf(e.table);
        ASSERT_NE(b, nullptr) << e.table;
        for (const Column& c : ColumnsOf(*b, e.table, nullptr))
            if (c.notNull) got[e.table].insert(c.name);
    }
    EXPECT_EQ(got, want);
}

TEST_F(TarsoScript, OnlyPerokuSiranoIsNumberedByTheServer) {
    int identities = 0;
    for (const Expected& e : kTables) {
        const Batch* b = BatchOf(e.table);
        ASSERT_NE(b, nullptr) << e.table;
        for (const Column& c : ColumnsOf(*b, e.table, nullptr)) {
            if (!c.identity) continue;
            ++identities;
            EXPECT_EQ(std::string(e.table), "PEROKU");
            EXPECT_EQ(c.name, "SIRANO");
            EXPECT_EQ(c.type, "int");
            EXPECT_TRUE(c.notNull);
        }
    }
    EXPECT_EQ(identities, 1);
}

TEST_F(TarsoScript, EveryConstraintAndIndexNameOnceInItsBatch) {
    std::vector<NamedObject> all = kConstraints;
    all.insert(all.end(), kUniqueIndexes.begin(), kUniqueIndexes.end());
    all.insert(all.end(), kPlainIndexes.begin(), kPlainIndexes.end());
    for (const NamedObject& o : all) {
        int inScript = 0;
        for (const std::string& line : *lines)
            for (const std::string& t : Tokens(line))
                if (EqualsNoCase(t, o.name)) ++inScript;
        EXPECT_EQ(inScript, 1) << o.name;
        const Batch* b = BatchOf(o.table);
        ASSERT_NE(b, nullptr) << o.table;
        int inBatch = 0;
        for (const std::string& line : b->lines)
            for (const std::string& t : Tokens(line))
                if (t == o.name) ++inBatch;
        EXPECT_EQ(inBatch, 1) << o.name << " outside the batch of " << o.table;
    }

    // and nothing is created under a name that is not on the lists
    std::set<std::string> expected;
    for (const NamedObject& o : all) expected.insert(o.name);
    std::set<std::string> found;
    for (const std::string& line : *lines) {
        const std::vector<std::string> t = Tokens(line);
        for (std::size_t i = 0; i + 1 < t.size(); ++i)
            if (t[i] == "CONSTRAINT" || t[i] == "INDEX") found.insert(t[i + 1]);
    }
    EXPECT_EQ(found, expected);
}

TEST_F(TarsoScript, IndexesNameTheirTableAndExistingColumns) {
    static const std::regex indexLine(
        R"(^ CREATE  (UNIQUE  )?INDEX \[(\w+)\] ON \[dbo\]\.\[(\w+)\]\(([^()]*)\) ON \[PRIMARY\]$)");
    std::set<std::string> unique, plain;
    for (const Expected& e : kTables) {
        const Batch* b = BatchOf(e.table);
        ASSERT_NE(b, nullptr) << e.table;
        std::set<std::string> columns;
        for (const Column& c : ColumnsOf(*b, e.table, nullptr)) columns.insert(c.name);
        for (const std::string& line : b->lines) {
            if (line.find("INDEX") == std::string::npos) continue;
            std::smatch m;
            ASSERT_TRUE(std::regex_match(line, m, indexLine)) << line;
            EXPECT_EQ(m[3].str(), e.table) << line;
            (m[1].matched ? unique : plain).insert(m[2].str());
            for (const std::string& col : SplitList(m[4].str())) EXPECT_TRUE(columns.count(col)) << line << ": " << col;
        }
    }
    std::set<std::string> wantUnique, wantPlain;
    for (const NamedObject& o : kUniqueIndexes) wantUnique.insert(o.name);
    for (const NamedObject& o : kPlainIndexes) wantPlain.insert(o.name);
    EXPECT_EQ(unique, wantUnique);
    EXPECT_EQ(plain, wantPlain);
}

TEST_F(TarsoScript, ConstraintsBelongToAnAlterOfTheirTable) {
    static const std::regex alterLine(R"(^ALTER TABLE (\[dbo\]\.\[(\w+)\]|(\w+))( WITH NOCHECK)? ADD ?$)");
    static const std::regex constraintLine(R"(^\tCONSTRAINT \[?(\w+)\]? (.*?)(,?)$)");
    static const std::regex defaultBody(R"(^DEFAULT \((0|100|null|getdate\(\))\) FOR \[?(\w+)\]?$)");
    static const std::regex keyBody(R"(^(PRIMARY KEY CLUSTERED|UNIQUE NONCLUSTERED) \(([^()]*)\) ON \[PRIMARY\]$)");
    int nocheck = 0;
    for (const Expected& e : kTables) {
        const Batch* b = BatchOf(e.table);
        ASSERT_NE(b, nullptr) << e.table;
        std::set<std::string> columns;
        for (const Column& c : ColumnsOf(*b, e.table, nullptr)) columns.insert(c.name);
        bool inAlter = false;
        for (std::size_t i = 0; i < b->lines.size(); ++i) {
            const std::string& line = b->lines[i];
            std::smatch m;
            if (std::regex_match(line, m, alterLine)) {
                EXPECT_EQ(m[2].matched ? m[2].str() : m[3].str(), e.table) << line;
                if (m[4].matched) ++nocheck;
                inAlter = true;
                continue;
            }
            if (!line.starts_with("\tCONSTRAINT")) {
                EXPECT_EQ(line.find("CONSTRAINT"), std::string::npos) << line;
                inAlter = false;
                continue;
            }
            EXPECT_TRUE(inAlter) << "constraint outside an ALTER TABLE: " << line;
            ASSERT_TRUE(std::regex_match(line, m, constraintLine)) << line;
            const std::string name = m[1], body = m[2];
            // constraints of one ALTER TABLE are separated by commas, the last has none
            const bool more = i + 1 < b->lines.size() && b->lines[i + 1].starts_with("\tCONSTRAINT");
            EXPECT_EQ(m[3].length() == 1, more) << line;
            std::smatch d;
            if (std::regex_match(body, d, defaultBody)) {
                EXPECT_TRUE(name.starts_with("DF_")) << line;
                EXPECT_TRUE(columns.count(d[2].str())) << line;
                std::string value = "0";
                if (name == "DF_ISCILIK_FIILIORAN") value = "100";
                if (name == "DF__ISEMRI__INS_DATE__3A235722") value = "getdate()";
                if (name == "DF__PEROKU__PORTNO__414EAC47") value = "null";
                EXPECT_EQ(d[1].str(), value) << line;
            } else if (std::regex_match(body, d, keyBody)) {
                EXPECT_EQ(d[1].str() == "PRIMARY KEY CLUSTERED", name.starts_with("PK_")) << line;
                for (const std::string& col : SplitList(d[2].str())) EXPECT_TRUE(columns.count(col)) << line << ": " << col;
            } else {
                ADD_FAILURE() << "unexpected constraint: " << line;
            }
        }
    }
    // only the primary key of GUNCEL skips the check of existing rows
    EXPECT_EQ(nocheck, 1);
}

TEST_F(TarsoScript, FourSeedRowsEachOnceInItsBatch) {
    static const std::regex insertLine(R"(^INSERT INTO (\w+)\(([^()]*)\) VALUES\((.*)\)$)");
    std::map<std::string, std::map<std::string, std::string>> rows;
    int inserts = 0;
    for (const Expected& e : kTables) {
        const Batch* b = BatchOf(e.table);
        ASSERT_NE(b, nullptr) << e.table;
        std::set<std::string> columns;
        for (const Column& c : ColumnsOf(*b, e.table, nullptr)) columns.insert(c.name);
        for (const std::string& line : b->lines) {
            if (line.find("INSERT") == std::string::npos) continue;
            ++inserts;
            std::smatch m;
            ASSERT_TRUE(std::regex_match(line, m, insertLine)) << line;
            EXPECT_EQ(m[1].str(), e.table) << line;
            EXPECT_EQ(rows.count(m[1].str()), 0u) << "second seed row: " << line;
            // values: split at commas outside quotes and parentheses
            std::vector<std::string> values;
            std::string cur;
            int depth = 0;
            bool quoted = false;
            for (char c : m[3].str()) {
                if (c == '\'') quoted = !quoted;
                if (!quoted && c == '(') ++depth;
                if (!quoted && c == ')') --depth;
                if (!quoted && depth == 0 && c == ',') {
                    values.emplace_back(TrimControl(cur));
                    cur.clear();
                } else {
                    cur += c;
                }
            }
            values.emplace_back(TrimControl(cur));
            const std::vector<std::string> cols = SplitList(m[2].str());
            ASSERT_EQ(cols.size(), values.size()) << line;
            auto& row = rows[m[1].str()];
            for (std::size_t i = 0; i < cols.size(); ++i) {
                EXPECT_TRUE(columns.count(cols[i])) << line << ": " << cols[i];
                std::string decoded;
                EXPECT_TRUE(DecodeValue(values[i], decoded)) << line << ": " << values[i];
                row[cols[i]] = decoded;
            }
        }
    }
    EXPECT_EQ(inserts, 4);

    const std::map<std::string, std::map<std::string, std::string>> want = {
        {"FIRKIM", {{"SER_KOD", "0"}, {"EADI", "PERSONEL"}}},
        {"PARAMSER", {{"SERI_NO", "1"}}},
        {"RIGHTS",
         {{"LOGIN_NAME", "3"}, {"USER_NAME", kYonetici}, {"USER_PASS", ""}, {"SUPERVIZOR", "A"}, {"IS_EMRI", "Y"},
          {"DISPOZ", "Y"}, {"PERSONEL", "Y"}, {"PERSONEL_KOD", "3"}}},
        {"ISCIUSTA", {{"ISCI_KOD", "3"}, {"ISCI_ADI", kYonetici}}},
    };
    EXPECT_EQ(rows, want);
    // the first user points at the seeded staff record
    EXPECT_EQ(rows["RIGHTS"]["PERSONEL_KOD"], rows["ISCIUSTA"]["ISCI_KOD"]);
}

}  // namespace
