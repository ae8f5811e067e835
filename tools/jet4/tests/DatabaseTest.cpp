// The written file as a reader finds it: a walker that starts from the header and the catalogue
// and checks every page's bookkeeping on its own, the figures the engine's own file has, the
// catalogue lookup of testdata by name, and what the writer refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

#include "Description.h"
#include "IndexKeys.h"
#include "TestBytes.h"
#include "Writer.h"

namespace pruvolt::jet4 {
namespace {

constexpr std::size_t kPage = 4096;

const Bytes& Sample() {
    static const Bytes file = WriteDatabase(ParseDescription(kSampleDescription));
    return file;
}

std::uint32_t Get(const Bytes& file, std::size_t at, int width) {
    std::uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i) v = (v << 8) | file.at(at + i);
    return v;
}

struct TableInfo {
    std::uint32_t page = 0;
    std::uint32_t rows = 0;
    std::size_t columnCount = 0;
    std::size_t variableCount = 0;
    std::uint32_t ownedMap = 0;
    std::uint32_t freeMap = 0;
    struct Col {
        std::uint8_t type;
        std::uint16_t number, varIndex, fixedOffset;
        bool fixed;
    };
    std::vector<Col> columns;  // by column number
    struct Idx {
        std::vector<std::pair<std::uint16_t, bool>> columns;  // number, ascending
        std::uint32_t map, root, unique;
        std::uint8_t flags;
    };
    std::vector<Idx> indexes;
    std::vector<std::uint32_t> longValueMaps;
};

// Reads a definition page on its own terms, checking its length and free space.
TableInfo ReadTdef(const Bytes& f, std::uint32_t page) {
    const std::size_t p = page * kPage;
    TableInfo t;
    t.page = page;
    EXPECT_EQ(f[p], 0x02) << "page " << page;
    t.rows = Get(f, p + 16, 4);
    t.variableCount = Get(f, p + 43, 2);
    t.columnCount = Get(f, p + 45, 2);
    const std::size_t logical = Get(f, p + 47, 4);
    const std::size_t real = Get(f, p + 51, 4);
    t.ownedMap = Get(f, p + 55, 4);
    t.freeMap = Get(f, p + 59, 4);
    std::size_t at = p + 63;
    for (std::size_t i = 0; i < real; ++i, at += 12) {
        t.indexes.push_back({{}, 0, 0, Get(f, at + 4, 4), 0});
    }
    for (std::size_t i = 0; i < t.columnCount; ++i, at += 25) {
        const bool fixed = f[at + 15] & 0x01;
        t.columns.push_back({f[at], static_cast<std::uint16_t>(Get(f, at + 5, 2)),
                             static_cast<std::uint16_t>(Get(f, at + 7, 2)),
                             static_cast<std::uint16_t>(Get(f, at + 21, 2)), fixed});
    }
    for (std::size_t i = 0; i < t.columnCount; ++i) at += 2 + Get(f, at, 2);  // names
    std::sort(t.columns.begin(), t.columns.end(),
              [](const auto& a, const auto& b) { return a.number < b.number; });
    for (std::size_t i = 0; i < real; ++i, at += 52) {
        for (std::size_t s = 0; s < 10; ++s) {
            const auto column = static_cast<std::uint16_t>(Get(f, at + 4 + 3 * s, 2));
            if (column != 0xFFFF) t.indexes[i].columns.emplace_back(column, f[at + 6 + 3 * s] == 1);
        }
        t.indexes[i].map = Get(f, at + 34, 4);
        t.indexes[i].root = Get(f, at + 38, 4);
        t.indexes[i].flags = f[at + 46];
    }
    at += 28 * logical;
    for (std::size_t i = 0; i < logical; ++i) at += 2 + Get(f, at, 2);
    for (const auto& c : t.columns) {
        if (c.type == 11 || c.type == 12) {
            t.longValueMaps.push_back(Get(f, at + 2, 4));
            t.longValueMaps.push_back(Get(f, at + 6, 4));
            at += 10;
        }
    }
    EXPECT_EQ(Get(f, at, 2), 0xFFFFu) << "terminator of page " << page;
    const std::size_t length = at + 2 - p;
    EXPECT_EQ(Get(f, p + 8, 4), length) << "page " << page;
    EXPECT_EQ(Get(f, p + 2, 2), kPage - length - 8) << "page " << page;
    return t;
}

// A row of a data page, by (page << 8 | row); checks the page's offsets and free space.
Bytes ReadRow(const Bytes& f, std::uint32_t page, std::size_t row) {
    const std::size_t p = page * kPage;
    EXPECT_EQ(f[p], 0x01);
    const std::size_t count = Get(f, p + 12, 2);
    std::size_t end = kPage;
    std::size_t used = 0;
    Bytes wanted;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t start = Get(f, p + 14 + 2 * i, 2);
        EXPECT_LT(start, end);
        if (i == row) wanted.assign(f.begin() + p + start, f.begin() + p + end);
        used += end - start + 2;
        end = start;
    }
    EXPECT_EQ(Get(f, p + 2, 2), kPage - 14 - used) << "free space of page " << page;
    EXPECT_LT(row, count) << "page " << page;
    return wanted;
}

std::set<std::uint32_t> ReadMap(const Bytes& f, std::uint32_t pointer) {
    const Bytes map = ReadRow(f, pointer >> 8, pointer & 0xFF);
    EXPECT_EQ(map.size(), 69u);
    EXPECT_EQ(map[0], 0x00);  // inline map starting at page 0
    EXPECT_EQ(Get(map, 1, 4), 0u);
    std::set<std::uint32_t> pages;
    for (std::uint32_t bit = 0; bit < 512; ++bit) {
        if (map[5 + bit / 8] & (1u << (bit % 8))) pages.insert(bit);
    }
    return pages;
}

// Decodes one column of a row: Long, Integer, Text and the rest as raw bytes; null if absent.
Value ReadValue(const TableInfo& t, const Bytes& row, std::size_t column) {
    const auto& c = t.columns[column];
    EXPECT_EQ(Get(row, 0, 2), t.columnCount);
    const std::size_t maskAt = row.size() - (t.columnCount + 7) / 8;
    if (!(row[maskAt + column / 8] & (1u << (column % 8)))) return std::monostate{};
    if (c.fixed) {
        if (c.type == 4) {
            return static_cast<std::int64_t>(
                static_cast<std::int32_t>(Get(row, 2 + c.fixedOffset, 4)));
        }
        if (c.type == 3) {
            return static_cast<std::int64_t>(
                static_cast<std::int16_t>(Get(row, 2 + c.fixedOffset, 2)));
        }
        return Bytes(row.begin() + 2 + c.fixedOffset, row.begin() + 2 + c.fixedOffset + 8);
    }
    const std::size_t nvarAt = maskAt - 2;
    EXPECT_EQ(Get(row, nvarAt, 2), t.variableCount);
    const std::size_t slotAt = nvarAt - 2 * (c.varIndex + 1);
    const std::size_t start = Get(row, slotAt, 2);
    const std::size_t end = Get(row, slotAt - 2, 2);  // next slot, or end of data
    if (c.type == 10) {
        std::u16string text;
        for (std::size_t i = start; i < end; i += 2) text += static_cast<char16_t>(Get(row, i, 2));
        return text;
    }
    return Bytes(row.begin() + start, row.begin() + end);
}

// Walks the file from page 0: every table in the catalogue, its rows, maps and indexes.
struct Walk {
    std::map<std::uint32_t, std::string> owner;  // page -> what it holds
    std::map<std::u16string, TableInfo> tables;
};

void Claim(Walk& w, std::uint32_t page, const std::string& what) {
    const auto [it, fresh] = w.owner.emplace(page, what);
    EXPECT_TRUE(fresh || it->second == what)
        << "page " << page << " is both " << it->second << " and " << what;
}

void CheckTable(const Bytes& f, Walk& w, const std::u16string& name, std::uint32_t tdef) {
    const TableInfo t = ReadTdef(f, tdef);
    const std::string label = ToUtf8(name);
    w.tables[name] = t;
    Claim(w, tdef, label + " definition");
    Claim(w, t.ownedMap >> 8, "usage maps");
    Claim(w, t.freeMap >> 8, "usage maps");
    EXPECT_EQ(Get(f, (t.ownedMap >> 8) * kPage + 4, 4), 0u)
        << label << ": usage maps are owned by none";

    const std::set<std::uint32_t> owned = ReadMap(f, t.ownedMap);
    const std::set<std::uint32_t> roomy = ReadMap(f, t.freeMap);
    EXPECT_TRUE(std::includes(owned.begin(), owned.end(), roomy.begin(), roomy.end())) << label;
    for (std::uint32_t pointer : t.longValueMaps) EXPECT_TRUE(ReadMap(f, pointer).empty()) << label;

    std::vector<std::pair<std::uint32_t, Bytes>> rows;  // (page << 8 | row), row
    for (std::uint32_t page : owned) {
        Claim(w, page, label + " data");
        EXPECT_EQ(Get(f, page * kPage + 4, 4), tdef) << "owner of page " << page;
        const std::size_t count = Get(f, page * kPage + 12, 2);
        for (std::size_t r = 0; r < count; ++r) {
            rows.emplace_back(page << 8 | r, ReadRow(f, page, r));
        }
    }
    EXPECT_EQ(rows.size(), t.rows) << label << ": row count in the definition";

    for (const auto& index : t.indexes) {
        EXPECT_EQ(ReadMap(f, index.map), std::set<std::uint32_t>{index.root}) << label;
        Claim(w, index.root, label + " index");
        const std::size_t p = index.root * kPage;
        EXPECT_EQ(f[p], 0x04);
        EXPECT_EQ(Get(f, p + 4, 4), tdef);
        // Entries end where the boundary bitmap says; free space counts their bytes.
        std::vector<Bytes> entries;
        std::size_t start = 0;
        for (std::size_t bit = 1; bit < 453 * 8; ++bit) {
            if (f[p + 27 + bit / 8] & (1u << (bit % 8))) {
                entries.emplace_back(f.begin() + p + 480 + start, f.begin() + p + 480 + bit);
                start = bit;
            }
        }
        EXPECT_EQ(Get(f, p + 2, 2), kPage - 480 - start) << label << " index page";
        EXPECT_TRUE(std::is_sorted(entries.begin(), entries.end()) &&
                    std::adjacent_find(entries.begin(), entries.end()) == entries.end())
            << label << ": index entries out of order";

        std::set<Bytes> distinct;
        std::size_t expected = 0;
        for (const auto& [pointer, row] : rows) {
            Bytes key;
            bool allNull = true;
            for (const auto& [column, ascending] : index.columns) {
                const Value v = ReadValue(t, row, column);
                allNull = allNull && std::holds_alternative<std::monostate>(v);
                AppendColumnKey(key, static_cast<ColumnType>(t.columns[column].type), v, ascending);
            }
            if (allNull && (index.flags & kIndexIgnoreNulls)) continue;
            ++expected;
            distinct.insert(key);
            key.push_back(static_cast<std::uint8_t>(pointer >> 24));
            key.push_back(static_cast<std::uint8_t>(pointer >> 16));
            key.push_back(static_cast<std::uint8_t>(pointer >> 8));
            key.push_back(static_cast<std::uint8_t>(pointer));
            EXPECT_TRUE(std::binary_search(entries.begin(), entries.end(), key))
                << label << ": no index entry " << ToHex(key);
        }
        EXPECT_EQ(entries.size(), expected) << label;
        EXPECT_EQ(index.unique, distinct.size()) << label << ": unique-entry count";
    }

    if (name == u"MSysObjects") {
        for (const auto& [pointer, row] : rows) {
            if (ReadValue(t, row, 3) != Value{std::int64_t{1}}) continue;  // tables only
            const auto id = std::get<std::int64_t>(ReadValue(t, row, 0));
            const auto child = std::get<std::u16string>(ReadValue(t, row, 2));
            if (child != u"MSysObjects") CheckTable(f, w, child, static_cast<std::uint32_t>(id));
        }
    }
}

Walk WalkFile(const Bytes& f) {
    Walk w;
    EXPECT_EQ(f.size() % kPage, 0u);
    Claim(w, 0, "header");
    Claim(w, 1, "global map");
    EXPECT_EQ(Get(f, kPage + 4, 4), 1u);  // the global map page owns itself
    const std::uint32_t pages = static_cast<std::uint32_t>(f.size() / kPage);
    const std::set<std::uint32_t> free = ReadMap(f, 1 << 8);
    for (std::uint32_t p = 0; p < 512; ++p) {
        EXPECT_EQ(free.count(p) == 1, p >= pages) << "global map, page " << p;
    }
    CheckTable(f, w, u"MSysObjects", 2);
    for (std::uint32_t p = 0; p < pages; ++p) {
        EXPECT_TRUE(w.owner.count(p)) << "page " << p << " unaccounted";
    }
    return w;
}

TEST(Database, EveryPageIsAccountedForAndConsistent) {
    const Walk w = WalkFile(Sample());
    EXPECT_EQ(w.owner.size(), 22u);
    EXPECT_EQ(w.tables.size(), 5u);
    EXPECT_EQ(w.tables.at(u"testdata").rows, 4u);
}

TEST(Database, SeveralTablesStayConsistent) {
    const Bytes file = WriteDatabase(
        ParseDescription("table First\ncolumn A long\ncolumn B text 10\nrow 7 | x-y\nrow | \n"
                         "table Second table\ncolumn Label text 255\n"));
    const Walk w = WalkFile(file);
    EXPECT_EQ(w.tables.at(u"First").rows, 2u);
    EXPECT_EQ(w.tables.at(u"Second table").rows, 0u);
}

// Figures the engine's own file has: a new database (pages 1-18) after the engine added
// testdata. Each is computed by the writer, not stored.
struct PageFigures {
    std::uint32_t page;
    std::uint8_t type;
    std::uint32_t owner;  // data and index pages
    std::uint16_t free;
};

TEST(Database, PagesHaveTheEnginesFigures) {
    const PageFigures expected[] = {
        {1, 1, 1, 3940},  {2, 2, 0, 3038},  {3, 2, 0, 3753},  {4, 2, 0, 3563},  {5, 2, 0, 3275},
        {6, 1, 0, 2804},  {7, 4, 2, 3419},  {8, 4, 2, 3535},  {9, 1, 0, 3869},  {10, 4, 3, 3454},
        {11, 1, 0, 3727}, {12, 4, 4, 3616}, {13, 1, 0, 3727}, {14, 4, 5, 3616}, {15, 4, 5, 3616},
        {16, 4, 5, 3616}, {17, 1, 2, 3319}, {18, 1, 3, 3704}, {19, 2, 0, 3957}, {20, 1, 0, 3940},
        {21, 1, 19, 3984}};
    const Bytes& f = Sample();
    ASSERT_EQ(f.size(), 22 * kPage);
    for (const PageFigures& e : expected) {
        const std::size_t p = e.page * kPage;
        EXPECT_EQ(f[p], e.type) << "page " << e.page;
        EXPECT_EQ(Get(f, p + 2, 2), e.free) << "page " << e.page;
        if (e.type != 2) {
            EXPECT_EQ(Get(f, p + 4, 4), e.owner) << "page " << e.page;
        }
    }
}

TEST(Database, DefinitionsMatchTheEnginesBytes) {
    const Bytes& f = Sample();
    // MSysACEs as the engine wrote it (18 rows, 9 distinct object ids after testdata).
    const Bytes aces =
        Hex("02 01 a9 0e 00 00 00 00 4f 01 00 00 59 06 00 00 12 00 00 00 00 00 00 00 01"
            "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 53 04 00 01 00 04 00"
            "01 00 00 00 01 00 00 00 00 09 00 00 01 09 00 00 00 00 00 00 09 00 00 00 00 00 00 00"
            "04 59 06 00 00 02 00 01 00 00 00 09 04 00 00 13 00 00 00 00 00 04 00 04 00"
            "01 59 06 00 00 03 00 01 00 00 00 09 04 00 00 13 00 00 00 00 00 00 00 01 00"
            "04 59 06 00 00 00 00 00 00 00 00 09 04 00 00 13 00 00 00 00 00 00 00 04 00"
            "09 59 06 00 00 01 00 00 00 00 00 09 04 00 00 32 00 00 00 00 00 00 00 fe 01"
            "06 00 41 00 43 00 4d 00 18 00 46 00 49 00 6e 00 68 00 65 00 72 00 69 00 74 00"
            "61 00 62 00 6c 00 65 00 10 00 4f 00 62 00 6a 00 65 00 63 00 74 00 49 00 64 00"
            "06 00 53 00 49 00 44 00"
            "83 07 00 00 00 00 01 ff ff 00 ff ff 00 ff ff 00 ff ff 00 ff ff 00 ff ff 00 ff ff 00"
            "ff ff 00 ff ff 00 02 09 00 00 0a 00 00 00 00 00 00 00 88 00 00 00 00 00"
            "59 06 00 00 00 00 00 00 00 00 00 00 00 ff ff ff ff 00 00 00 00 04 04 00 00 00 00 00"
            "10 00 4f 00 62 00 6a 00 65 00 63 00 74 00 49 00 64 00 ff ff");
    EXPECT_EQ(ToHex(Bytes(f.begin() + 3 * kPage, f.begin() + 3 * kPage + aces.size())),
              ToHex(aces));
    const Bytes testdata =
        Hex("02 01 75 0f 00 00 00 00 83 00 00 00 59 06 00 00 04 00 00 00 00 00 00 00 01"
            "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 4e 02 00 01 00 02 00 00 00 00 00"
            "00 00 00 00 00 14 00 00 01 14 00 00"
            "04 59 06 00 00 00 00 00 00 00 00 09 04 00 00 03 00 00 00 00 00 00 00 04 00"
            "0a 59 06 00 00 01 00 00 00 01 00 09 04 00 00 02 00 00 00 00 00 00 00 64 00"
            "04 00 49 00 44 00 08 00 4e 00 61 00 6d 00 65 00 ff ff");
    EXPECT_EQ(ToHex(Bytes(f.begin() + 19 * kPage, f.begin() + 19 * kPage + testdata.size())),
              ToHex(testdata));
    EXPECT_EQ(Get(f, 2 * kPage + 8, 4), 1050u);  // MSysObjects
    EXPECT_EQ(Get(f, 4 * kPage + 8, 4), 525u);   // MSysQueries
    EXPECT_EQ(Get(f, 5 * kPage + 8, 4), 813u);   // MSysRelationships
}

// Finds the leaf entry that starts with `key` and returns its row pointer.
std::vector<std::uint32_t> Lookup(const Bytes& f, std::uint32_t leaf, const Bytes& key) {
    std::vector<std::uint32_t> found;
    const std::size_t p = leaf * kPage;
    std::size_t start = 0;
    for (std::size_t bit = 1; bit < 453 * 8; ++bit) {
        if (!(f[p + 27 + bit / 8] & (1u << (bit % 8)))) continue;
        const Bytes entry(f.begin() + p + 480 + start, f.begin() + p + 480 + bit);
        if (entry.size() == key.size() + 4 && std::equal(key.begin(), key.end(), entry.begin())) {
            std::uint32_t pointer = 0;  // big-endian page, then row: read as (page << 8 | row)
            for (std::size_t i = entry.size() - 4; i < entry.size(); ++i) {
                pointer = pointer << 8 | entry[i];
            }
            found.push_back(pointer);
        }
        start = bit;
    }
    return found;
}

TEST(Database, CatalogueIndexesFindTestdataByName) {
    const Bytes& f = Sample();
    const TableInfo objects = ReadTdef(f, 2);
    Bytes byName;
    AppendColumnKey(byName, ColumnType::Long, std::int64_t{0x0F000001}, true);  // Tables
    AppendColumnKey(byName, ColumnType::Text, std::u16string(u"TestData"), true);
    const auto hits = Lookup(f, objects.indexes[0].root, byName);
    ASSERT_EQ(hits.size(), 1u);
    const Bytes row = ReadRow(f, hits[0] >> 8, hits[0] & 0xFF);
    EXPECT_EQ(ReadValue(objects, row, 2), Value{std::u16string(u"testdata")});
    const Value id = ReadValue(objects, row, 0);
    EXPECT_EQ(id, Value{std::int64_t{19}});

    Bytes byId;
    AppendColumnKey(byId, ColumnType::Long, id, true);
    EXPECT_EQ(Lookup(f, objects.indexes[1].root, byId), hits);
    const TableInfo aces = ReadTdef(f, 3);
    EXPECT_EQ(Lookup(f, aces.indexes[0].root, byId).size(), 2u);  // Users and Admin

    const TableInfo testdata = ReadTdef(f, 19);
    EXPECT_EQ(f[19 * kPage + 40], 'N');  // a user table
    EXPECT_EQ(testdata.rows, 4u);
}

TEST(Database, HeaderUnmasksToAnUnprotectedJet4Database) {
    // RC4 keyed with 0x6B39DAC7, the mask over bytes 0x18..0x97.
    std::array<std::uint8_t, 256> s{};
    const std::uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    for (int i = 0; i < 256; ++i) s[i] = static_cast<std::uint8_t>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    Bytes mask;
    for (int n = 0, i = 0, j = 0; n < 128; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        mask.push_back(s[(s[i] + s[j]) & 0xFF]);
    }
    // The keystream as the engine's files show it.
    EXPECT_EQ(ToHex(Bytes(mask.begin(), mask.begin() + 4)), "b5 6f 03 62");
    EXPECT_EQ(ToHex(Bytes(mask.end() - 4, mask.end())), "e9 2d 62 d4");

    Bytes header(Sample().begin(), Sample().begin() + kPage);
    for (std::size_t n = 0; n < mask.size(); ++n) header[0x18 + n] ^= mask[n];
    // The mask covers exactly 0x18..0x97: the global map pointer first, zeros at the end.
    EXPECT_EQ(Get(header, 0x18, 4), 0x100u);
    EXPECT_TRUE(
        std::all_of(header.begin() + 0x7A, header.begin() + 0x98, [](auto b) { return b == 0; }));
    EXPECT_EQ(header[0x14], 0x01);        // Jet 4
    EXPECT_EQ(Get(header, 0x3E, 4), 0u);  // no page encryption
    EXPECT_EQ(Get(header, 0x3C, 2), 1252u);
    EXPECT_EQ(Get(header, 0x6E, 2), 1033u);
    double created = 0;
    std::memcpy(&created, header.data() + 0x72, 8);
    const auto days = static_cast<std::uint32_t>(std::trunc(created));
    for (int i = 0; i < 10; ++i) EXPECT_EQ(Get(header, 0x42 + 4 * i, 4), days) << "password";
    for (std::uint32_t t = 0; t < 4; ++t) EXPECT_EQ(Get(header, 0x20 + 4 * t, 4), 2 + t);
}

struct Refusal {
    const char* description;
    const char* message;  // part of the error
};

TEST(Database, RefusesWhatItCannotWrite) {
    std::string manyRows = "table Many\ncolumn Note text 1\n";
    for (int i = 0; i < 255; ++i) manyRows += "row\n";
    EXPECT_NO_THROW(WriteDatabase(ParseDescription(manyRows)));
    std::string tooManyRows = manyRows + "row\n";
    std::string tooMuchData = "table Big\ncolumn Note text 255\n";
    for (int i = 0; i < 9; ++i) tooMuchData += "row " + std::string(255, 'x') + "\n";

    const Refusal cases[] = {
        {"table T23456789012345678901234567890123456789012345678901234567890123456789\n"
         "column A text 1\n",
         "longer than 64"},
        {"table T\ncolumn Notes memo\n", "unsupported column type \"memo\""},
        {"table T\ncolumn Name text 256\n", "1 to 255 characters"},
        {"table T\ncolumn ID long\n", "at least one Text column"},
        {"table T\ncolumn Id long\ncolumn ID text 5\n", "two columns named"},
        {"table msysobjects\ncolumn A text 1\n", "already a table named"},
        {"table Caf\xC3\xA9\ncolumn A text 1\n", "printable ASCII"},
        {"table T.1\ncolumn A text 1\n", "may not start with a blank nor hold"},
        {"table T\ncolumn A text 3\nrow abcd\n", "longer than 3 characters"},
        {"table T\ncolumn A long\ncolumn B text 3\nrow 2147483648 | x\n", "out of range"},
        {"table T\ncolumn A long\ncolumn B text 3\nrow one | x\n", "line 4"},
        {"table T\ncolumn A long\ncolumn B text 3\nrow 1 | x | y\n", "more values"},
        {tooManyRows.c_str(), "do not fit on one data page"},
        {tooMuchData.c_str(), "do not fit on one data page"},
    };
    for (const Refusal& c : cases) {
        try {
            WriteDatabase(ParseDescription(c.description));
            ADD_FAILURE() << "accepted: " << c.description;
        } catch (const WriteError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << e.what() << "\nexpected: " << c.message;
        }
    }
}

}  // namespace
}  // namespace pruvolt::jet4
