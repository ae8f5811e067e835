// Index keys and row images against byte strings the engine itself wrote.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "Catalog.h"
#include "Description.h"
#include "IndexKeys.h"
#include "Rows.h"
#include "TestBytes.h"

namespace pruvolt::jet4 {
namespace {

struct KeyCase {
    const char* what;
    ColumnType type;
    Value value;
    bool ascending;
    const char* expected;  // flag byte and value
};

void PrintTo(const KeyCase& c, std::ostream* out) {
    *out << c.what;
}

class IndexKey : public testing::TestWithParam<KeyCase> {};

TEST_P(IndexKey, MatchesTheEnginesBytes) {
    const KeyCase& c = GetParam();
    Bytes key;
    AppendColumnKey(key, c.type, c.value, c.ascending);
    EXPECT_EQ(ToHex(key), ToHex(Hex(c.expected))) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Jet4, IndexKey,
    testing::Values(
        KeyCase{"Long 2", ColumnType::Long, std::int64_t{2}, true, "7f 80 00 00 02"},
        KeyCase{"Long 0", ColumnType::Long, std::int64_t{0}, true, "7f 80 00 00 00"},
        KeyCase{"Long minus 1", ColumnType::Long, std::int64_t{-1}, true, "7f 7f ff ff ff"},
        KeyCase{"Tables container", ColumnType::Long, std::int64_t{0x0F000001}, true,
                "7f 8f 00 00 01"},
        KeyCase{"MSysDb", ColumnType::Long, std::int64_t{0x10000000}, true, "7f 90 00 00 00"},
        KeyCase{"Long 2 descending", ColumnType::Long, std::int64_t{2}, false, "80 7f ff ff fd"},
        KeyCase{"Long 4813 descending", ColumnType::Long, std::int64_t{4813}, false,
                "80 7f ff ed 32"},
        KeyCase{"null ascending", ColumnType::Long, std::monostate{}, true, "00"},
        KeyCase{"Databases", ColumnType::Text, std::u16string(u"Databases"), true,
                "7f 4f 4a 6d 4a 4c 4a 6b 51 6b 01 00"},
        KeyCase{"MSysObjects", ColumnType::Text, std::u16string(u"MSysObjects"), true,
                "7f 60 6b 76 6b 64 4c 5b 51 4d 6d 6b 01 00"},
        KeyCase{"testdata", ColumnType::Text, std::u16string(u"testdata"), true,
                "7f 6d 51 6b 6d 4f 4a 6d 4a 01 00"},
        KeyCase{"case does not count", ColumnType::Text, std::u16string(u"TESTDATA"), true,
                "7f 6d 51 6b 6d 4f 4a 6d 4a 01 00"},
        KeyCase{"trailing blanks do not count", ColumnType::Text, std::u16string(u"Tables  "), true,
                "7f 6d 4a 4c 5e 51 6b 01 00"},
        KeyCase{"blank inside", ColumnType::Text, std::u16string(u"another row"), true,
                "7f 4a 62 64 6d 57 51 69 07 69 64 73 01 00"},
        KeyCase{"hyphen goes after the text", ColumnType::Text, std::u16string(u"-1"), true,
                "7f 38 01 01 01 01 80 07 06 82 00"},
        KeyCase{"underscore has two bytes", ColumnType::Text, std::u16string(u"a_b"), true,
                "7f 4a 2b 03 4c 01 00"}),
    [](const testing::TestParamInfo<KeyCase>& instance) {
        std::string name;  // "Long 2 descending" -> Long2descending
        for (const char* c = instance.param.what; *c; ++c) {
            if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
        }
        return name;
    });

TEST(IndexKey, RejectsWhatItCannotEncode) {
    Bytes key;
    EXPECT_THROW(AppendColumnKey(key, ColumnType::Text, std::u16string(u"Caf\u00e9"), true),
                 WriteError);
    EXPECT_THROW(AppendColumnKey(key, ColumnType::Text, std::u16string(u"abc"), false), WriteError);
    EXPECT_THROW(AppendColumnKey(key, ColumnType::Binary, Bytes{1}, true), WriteError);
}

Table Testdata() {
    return ParseDescription(kSampleDescription).front();
}

Bytes Encode(const Table& table, const Row& row) {
    return EncodeRow(table, LayOutRow(table), row);
}

TEST(RowImage, SystemRowsMatchTheEnginesBytes) {
    const std::vector<Table> system = SystemTables();
    // MSysObjects "Tables": fixed area in full, 11 variable slots of which 9 trailing nulls.
    EXPECT_EQ(ToHex(Encode(system[kMSysObjects], system[kMSysObjects].rows[0])),
              ToHex(Hex("11 00 01 00 00 0f 00 00 00 0f 03 00 81 af d4 6b 4f ec e4 40"
                        "81 af d4 6b 4f ec e4 40 00 00 00 80"
                        "54 00 61 00 62 00 6c 00 65 00 73 00 06 ea 2e 00"
                        "2e 00 2e 00 2e 00 2e 00 2e 00 2e 00 2e 00 2e 00 2e 00 2c 00 20 00"
                        "0b 00 ff 00 00")));
    // MSysACEs: the Boolean lives in the null mask (07 false, 0f true).
    EXPECT_EQ(ToHex(Encode(system[kMSysACEs], system[kMSysACEs].rows[0])),
              ToHex(Hex("04 00 02 00 00 00 00 00 06 00 07 e8 0c 00 0a 00 01 00 07")));
    EXPECT_EQ(Encode(system[kMSysACEs], system[kMSysACEs].rows[4]).back(), 0x0f);
}

TEST(RowImage, NullsKeepTheFixedAreaAndTakeTheRunningOffset) {
    const Table table = Testdata();
    EXPECT_EQ(ToHex(Encode(table, table.rows[0])),
              ToHex(Hex("02 00 01 00 00 00 41 00 6c 00 70 00 68 00 61 00 10 00 06 00 01 00 03")));
    EXPECT_EQ(ToHex(Encode(table, {std::int64_t{5}, std::monostate{}})),
              ToHex(Hex("02 00 05 00 00 00 06 00 06 00 01 00 01")));
    EXPECT_EQ(ToHex(Encode(table, {std::monostate{}, std::u16string(u"Hi")})),
              ToHex(Hex("02 00 00 00 00 00 48 00 69 00 0a 00 06 00 01 00 02")));
}

TEST(RowImage, RejectsValuesThatDoNotSuitTheColumn) {
    const Table table = Testdata();
    const Row cases[] = {
        {std::int64_t{1}, std::u16string(51, u'x')},         // longer than Text(50)
        {std::int64_t{0x80000000LL}, std::u16string(u"x")},  // beyond Long Integer
        {std::u16string(u"1"), std::u16string(u"x")},        // text in a number column
        {std::int64_t{1}},                                   // a value short
    };
    for (const Row& row : cases) EXPECT_THROW(Encode(table, row), WriteError);
}

}  // namespace
}  // namespace pruvolt::jet4
