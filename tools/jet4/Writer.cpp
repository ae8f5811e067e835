// Page planning and page building for the Jet 4 writer.
#include "Writer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "Catalog.h"
#include "IndexKeys.h"
#include "Rows.h"

namespace pruvolt::jet4 {
namespace {

enum PageType : std::uint8_t {
    kHeaderPage = 0x00,
    kDataPage = 0x01,
    kTdefPage = 0x02,
    kLeafPage = 0x04,
};

constexpr std::uint32_t kFormatMark = 1625;     // in every definition and column record
constexpr std::uint32_t kRealIndexMark = 1923;  // opens every real-index record
constexpr std::uint16_t kSortOrder = 1033;      // "General", sort-order version 0 (legacy)
constexpr std::uint16_t kCodePage = 1252;

constexpr std::size_t kDataHeaderSize = 14;
constexpr std::size_t kIndexHeaderSize = 480;  // header and the entry-boundary bitmap
constexpr std::size_t kBoundaryBitmapOffset = 27;
constexpr std::size_t kMaxRowsPerPage = 255;  // row numbers are one byte in pointers
constexpr std::size_t kUsageMapSize = 69;     // type byte, start page, 64-byte bitmap
constexpr std::size_t kUsageMapPages = 512;   // pages one inline map covers from page 0
constexpr std::size_t kIndexColumnSlots = 10;

constexpr std::uint32_t kGlobalMapPage = 1;

void Put(Bytes& out, std::size_t at, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void Append(Bytes& out, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void AppendName(Bytes& out, const std::u16string& name) {
    Append(out, name.size() * 2, 2);
    for (char16_t c : name) Append(out, c, 2);
}

// Usage-map and definition pointers: row in the low byte, page above it.
std::uint32_t RowRef(std::uint32_t page, std::size_t row) {
    return (page << 8) | static_cast<std::uint32_t>(row);
}

char16_t Upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// The engine orders system columns and index names this way.
bool NameLess(const std::u16string& a, const std::u16string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char16_t x, char16_t y) { return Upper(x) < Upper(y); });
}

bool NameEquals(const std::u16string& a, const std::u16string& b) {
    return !NameLess(a, b) && !NameLess(b, a);
}

std::string Quoted(const std::u16string& name) {
    return "\"" + ToUtf8(name) + "\"";
}

Bytes UsageMap(const std::vector<std::uint32_t>& pages) {
    Bytes map(kUsageMapSize, 0);  // type 0 (inline), start page 0
    for (std::uint32_t page : pages) {
        map[5 + page / 8] |= static_cast<std::uint8_t>(1u << (page % 8));
    }
    return map;
}

std::size_t RowsSpace(const std::vector<Bytes>& rows) {
    std::size_t used = 0;
    for (const Bytes& row : rows) used += row.size() + 2;  // the row and its offset entry
    return used;
}

Bytes DataPage(std::uint32_t owner, const std::vector<Bytes>& rows, const std::string& what) {
    const std::size_t used = RowsSpace(rows);
    if (rows.size() > kMaxRowsPerPage || kDataHeaderSize + used > kPageSize) {
        throw WriteError(what + " do not fit on one data page (" + std::to_string(rows.size()) +
                         " rows, " + std::to_string(used) + " bytes; a page takes " +
                         std::to_string(kMaxRowsPerPage) + " rows in " +
                         std::to_string(kPageSize - kDataHeaderSize) + " bytes)");
    }
    Bytes page(kPageSize, 0);
    page[0] = kDataPage;
    page[1] = 0x01;
    Put(page, 2, kPageSize - kDataHeaderSize - used, 2);
    Put(page, 4, owner, 4);
    Put(page, 12, rows.size(), 2);
    // Rows are packed downwards from the end of the page, row 0 last.
    std::size_t end = kPageSize;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::size_t start = end - rows[i].size();
        std::copy(rows[i].begin(), rows[i].end(), page.begin() + start);
        Put(page, kDataHeaderSize + 2 * i, start, 2);
        end = start;
    }
    return page;
}

Bytes LeafPage(std::uint32_t owner, const std::vector<Bytes>& entries, const std::string& what) {
    std::size_t used = 0;
    for (const Bytes& entry : entries) used += entry.size();
    if (kIndexHeaderSize + used > kPageSize) {
        throw WriteError(what + " does not fit on one index page (" + std::to_string(used) +
                         " bytes of entries)");
    }
    Bytes page(kPageSize, 0);
    page[0] = kLeafPage;
    page[1] = 0x01;
    Put(page, 2, kPageSize - kIndexHeaderSize - used, 2);
    Put(page, 4, owner, 4);
    // No neighbours, no prefix compression; the bitmap marks where each entry ends.
    std::size_t at = 0;
    for (const Bytes& entry : entries) {
        std::copy(entry.begin(), entry.end(), page.begin() + kIndexHeaderSize + at);
        at += entry.size();
        page[kBoundaryBitmapOffset + at / 8] |= static_cast<std::uint8_t>(1u << (at % 8));
    }
    return page;
}

// Where one table's pages go.
struct TablePages {
    std::uint32_t tdef = 0;
    std::uint32_t maps = 0;
    std::uint32_t data = 0;             // 0: the table has no rows and no data page
    std::vector<std::uint32_t> leaves;  // one per index
};

// Rows on a table's usage-map page: owned pages, pages with free space, then an owned/free
// pair per Memo or OLE column in column order, then one per index.
struct MapRows {
    std::size_t owned = 0;
    std::size_t free = 1;
    std::vector<std::size_t> longValueOwned;  // by column; unused for other columns
    std::size_t firstIndex = 2;
};

MapRows PlanMapRows(const Table& table) {
    MapRows rows;
    rows.longValueOwned.assign(table.columns.size(), 0);
    std::size_t next = 2;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        if (IsLongValue(table.columns[i].type)) {
            rows.longValueOwned[i] = next;
            next += 2;
        }
    }
    rows.firstIndex = next;
    return rows;
}

Bytes TdefPage(const Table& table, const RowLayout& layout, const TablePages& at,
               const std::vector<std::uint32_t>& uniqueCounts) {
    const MapRows mapRows = PlanMapRows(table);
    const std::size_t columnCount = table.columns.size();
    const std::size_t indexCount = table.indexes.size();

    Bytes t(63, 0);
    t[0] = kTdefPage;
    t[1] = 0x01;
    Put(t, 12, kFormatMark, 4);
    Put(t, 16, table.rows.size(), 4);
    t[24] = 0x01;
    t[40] = table.system ? 'S' : 'N';
    Put(t, 41, columnCount, 2);  // no column was ever deleted: the maximum is the count
    Put(t, 43, layout.variableCount, 2);
    Put(t, 45, columnCount, 2);
    Put(t, 47, indexCount, 4);  // logical indexes, each backed by its own real index
    Put(t, 51, indexCount, 4);
    Put(t, 55, RowRef(at.maps, mapRows.owned), 4);
    Put(t, 59, RowRef(at.maps, mapRows.free), 4);
    for (std::uint32_t unique : uniqueCounts) {
        Append(t, 0, 4);
        Append(t, unique, 4);
        Append(t, 0, 4);
    }

    // The engine lists system columns by name, user columns in column order.
    std::vector<std::size_t> order(columnCount);
    for (std::size_t i = 0; i < columnCount; ++i) order[i] = i;
    if (table.system) {
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return NameLess(table.columns[a].name, table.columns[b].name);
        });
    }
    for (std::size_t i : order) {
        const Column& column = table.columns[i];
        const ColumnLayout& place = layout.columns[i];
        t.push_back(static_cast<std::uint8_t>(column.type));
        Append(t, kFormatMark, 4);
        Append(t, i, 2);
        Append(t, place.varIndex, 2);
        Append(t, table.system ? 0 : i, 2);
        Append(t, kSortOrder, 2);
        Append(t, 0, 2);  // then sort-order version 0
        std::uint8_t flags = 0x02;
        if (place.fixed) flags |= 0x01;
        if (table.system) flags |= 0x10;
        if (column.holdsSid) flags |= 0x20;
        t.push_back(flags);
        t.push_back(0);  // no Unicode compression: text is stored as plain UCS-2
        Append(t, 0, 4);
        Append(t, place.fixed ? place.fixedOffset : 0, 2);
        Append(t, place.length, 2);
    }
    for (std::size_t i : order) AppendName(t, table.columns[i].name);

    for (std::size_t i = 0; i < indexCount; ++i) {
        const Index& index = table.indexes[i];
        Append(t, kRealIndexMark, 4);
        for (std::size_t slot = 0; slot < kIndexColumnSlots; ++slot) {
            if (slot < index.columns.size()) {
                Append(t, index.columns[slot].column, 2);
                t.push_back(index.columns[slot].ascending ? 0x01 : 0x00);
            } else {
                Append(t, 0xFFFF, 2);
                t.push_back(0);
            }
        }
        Append(t, RowRef(at.maps, mapRows.firstIndex + i), 4);
        Append(t, at.leaves[i], 4);  // the only leaf is the root
        Append(t, 0, 4);
        t.push_back(static_cast<std::uint8_t>(0x80 | index.flags));
        Append(t, 0, 5);
    }

    std::vector<std::size_t> byName(indexCount);
    for (std::size_t i = 0; i < indexCount; ++i) byName[i] = i;
    std::stable_sort(byName.begin(), byName.end(), [&](std::size_t a, std::size_t b) {
        return NameLess(table.indexes[a].name, table.indexes[b].name);
    });
    for (std::size_t i : byName) {
        Append(t, kFormatMark, 4);
        Append(t, i, 4);  // logical number
        Append(t, i, 4);  // the real index behind it
        t.push_back(0);
        Append(t, 0xFFFFFFFF, 4);  // not a foreign key
        Append(t, 0, 4);
        t.push_back(0x04);  // the engine's values on every index that is not a foreign key
        t.push_back(0x04);
        t.push_back(table.indexes[i].primaryKey ? 1 : 0);
        Append(t, 0, 4);
    }
    for (std::size_t i : byName) AppendName(t, table.indexes[i].name);

    for (std::size_t i : order) {
        if (!IsLongValue(table.columns[i].type)) continue;
        Append(t, i, 2);
        Append(t, RowRef(at.maps, mapRows.longValueOwned[i]), 4);
        Append(t, RowRef(at.maps, mapRows.longValueOwned[i] + 1), 4);
    }
    Append(t, 0xFFFF, 2);

    if (t.size() + 8 > kPageSize) {
        throw WriteError("the definition of table " + Quoted(table.name) +
                         " does not fit on one page");
    }
    Put(t, 2, kPageSize - t.size() - 8, 2);
    Put(t, 8, t.size(), 4);
    t.resize(kPageSize, 0);
    return t;
}

// Builds the definition, usage-map, index and data pages of one table into `file`.
void BuildTable(const Table& table, const TablePages& at, std::vector<Bytes>& file) {
    const RowLayout layout = LayOutRow(table);
    std::vector<Bytes> rows;
    std::size_t largestRow = 0;
    for (const Row& row : table.rows) {
        rows.push_back(EncodeRow(table, layout, row));
        largestRow = std::max(largestRow, rows.back().size());
    }
    if (!rows.empty()) {
        file[at.data] = DataPage(at.tdef, rows, "the rows of table " + Quoted(table.name));
    }

    std::vector<std::uint32_t> uniqueCounts;
    for (std::size_t i = 0; i < table.indexes.size(); ++i) {
        const Index& index = table.indexes[i];
        std::vector<std::pair<Bytes, std::size_t>> keys;  // key, row number
        for (std::size_t r = 0; r < table.rows.size(); ++r) {
            const Row& row = table.rows[r];
            const bool allNull =
                std::all_of(index.columns.begin(), index.columns.end(), [&](const IndexColumn& c) {
                    return std::holds_alternative<std::monostate>(row[c.column]);
                });
            if (allNull && (index.flags & kIndexIgnoreNulls)) continue;
            Bytes key;
            try {
                for (const IndexColumn& c : index.columns) {
                    AppendColumnKey(key, table.columns[c.column].type, row[c.column], c.ascending);
                }
            } catch (const WriteError& e) {
                throw WriteError("index " + Quoted(index.name) + " of table " + Quoted(table.name) +
                                 ": " + e.what());
            }
            keys.emplace_back(std::move(key), r);
        }
        std::vector<Bytes> entries;
        for (const auto& [key, r] : keys) {
            Bytes entry = key;
            // Page number big-endian, then the row number: entries compare as plain bytes.
            entry.push_back(static_cast<std::uint8_t>(at.data >> 16));
            entry.push_back(static_cast<std::uint8_t>(at.data >> 8));
            entry.push_back(static_cast<std::uint8_t>(at.data));
            entry.push_back(static_cast<std::uint8_t>(r));
            entries.push_back(std::move(entry));
        }
        std::sort(entries.begin(), entries.end());
        std::sort(keys.begin(), keys.end());
        std::uint32_t unique = 0;
        for (std::size_t k = 0; k < keys.size(); ++k) {
            if (k > 0 && keys[k].first == keys[k - 1].first) {
                if (index.flags & kIndexUnique) {
                    throw WriteError("table " + Quoted(table.name) +
                                     ": two rows share a key of the unique index " +
                                     Quoted(index.name));
                }
                continue;
            }
            ++unique;
        }
        uniqueCounts.push_back(unique);
        file[at.leaves[i]] = LeafPage(
            at.tdef, entries, "index " + Quoted(index.name) + " of table " + Quoted(table.name));
    }

    // The free-space map lists the owned pages that could take another row like these.
    std::vector<std::uint32_t> owned;
    std::vector<std::uint32_t> roomy;
    if (!rows.empty()) {
        owned.push_back(at.data);
        if (kDataHeaderSize + RowsSpace(rows) + largestRow + 2 <= kPageSize) {
            roomy.push_back(at.data);
        }
    }
    const MapRows mapRows = PlanMapRows(table);
    std::vector<Bytes> maps(mapRows.firstIndex + table.indexes.size(), UsageMap({}));
    maps[mapRows.owned] = UsageMap(owned);
    maps[mapRows.free] = UsageMap(roomy);
    for (std::size_t i = 0; i < table.indexes.size(); ++i) {
        maps[mapRows.firstIndex + i] = UsageMap({at.leaves[i]});
    }
    file[at.maps] = DataPage(0, maps, "the usage maps of table " + Quoted(table.name));
    file[at.tdef] = TdefPage(table, layout, at, uniqueCounts);
}

// 0x18..0x97 of the header are stored XOR-ed with this RC4 keystream.
std::array<std::uint8_t, 128> HeaderMask() {
    constexpr std::array<std::uint8_t, 4> kKey = {0xC7, 0xDA, 0x39, 0x6B};
    std::array<std::uint8_t, 256> s{};
    for (int i = 0; i < 256; ++i) s[i] = static_cast<std::uint8_t>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + kKey[i % kKey.size()]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    std::array<std::uint8_t, 128> mask{};
    for (int n = 0, i = 0, j = 0; n < 128; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        mask[n] = s[(s[i] + s[j]) & 0xFF];
    }
    return mask;
}

Bytes HeaderPage(const std::vector<TablePages>& systemPages) {
    Bytes page(kPageSize, 0);
    page[0] = kHeaderPage;
    page[1] = 0x01;
    const std::string engine = "Standard Jet DB";
    std::copy(engine.begin(), engine.end(), page.begin() + 4);
    page[0x14] = 0x01;  // Jet 4
    Put(page, 0x18, RowRef(kGlobalMapPage, 0), 4);
    Put(page, 0x1C, RowRef(kGlobalMapPage, 1), 4);
    for (std::size_t i = 0; i < systemPages.size(); ++i) {
        Put(page, 0x20 + 4 * i, systemPages[i].tdef, 4);
    }
    Put(page, 0x3C, kCodePage, 2);
    Put(page, 0x3E, 0, 4);  // no encryption key: pages are stored plain
    // An empty password, stored XOR-ed with the whole days of the creation date.
    const auto days = static_cast<std::uint32_t>(std::trunc(kCreationDate));
    for (std::size_t i = 0; i < 10; ++i) Put(page, 0x42 + 4 * i, days, 4);
    Put(page, 0x6A, 4518, 4);  // as the engine that made the reference database wrote it
    Put(page, 0x6E, kSortOrder, 2);
    Put(page, 0x72, std::bit_cast<std::uint64_t>(kCreationDate), 8);
    Put(page, 0x98, 1620, 4);
    const std::string version = "4.0";
    std::copy(version.begin(), version.end(), page.begin() + 0x9C);
    // 256 words as a freshly created database has them.
    Put(page, 0xE00, 0x0101, 2);
    for (std::size_t i = 1; i < 256; ++i) Put(page, 0xE00 + 2 * i, 0x0100, 2);

    const auto mask = HeaderMask();
    for (std::size_t i = 0; i < mask.size(); ++i) page[0x18 + i] ^= mask[i];
    return page;
}

bool IsNameCharacter(char16_t c) {
    return c >= 0x20 && c != u'.' && c != u'!' && c != u'`' && c != u'[' && c != u']';
}

void CheckName(const std::u16string& name, const std::string& what) {
    if (name.empty()) throw WriteError(what + " has no name");
    if (name.size() > kMaxNameLength) {
        throw WriteError(what + " name " + Quoted(name) + " is longer than " +
                         std::to_string(kMaxNameLength) + " characters");
    }
    if (name.front() == u' ' || !std::all_of(name.begin(), name.end(), IsNameCharacter)) {
        throw WriteError(what + " name " + Quoted(name) +
                         " may not start with a blank nor hold . ! ` [ ] or control characters");
    }
}

void CheckUserTable(const Table& table) {
    CheckName(table.name, "a table");
    // The name is a key of the catalogue's name index.
    if (!std::all_of(table.name.begin(), table.name.end(), IsKeyCharacter)) {
        throw WriteError("table name " + Quoted(table.name) +
                         " must be printable ASCII (the catalogue indexes it)");
    }
    if (table.system) throw WriteError("table " + Quoted(table.name) + " cannot be a system table");
    if (table.columns.empty() || table.columns.size() > kMaxColumns) {
        throw WriteError("table " + Quoted(table.name) + " needs 1 to " +
                         std::to_string(kMaxColumns) + " columns");
    }
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const Column& column = table.columns[i];
        CheckName(column.name, "a column of table " + Quoted(table.name));
        for (std::size_t j = 0; j < i; ++j) {
            if (NameEquals(table.columns[j].name, column.name)) {
                throw WriteError("table " + Quoted(table.name) + " has two columns named " +
                                 Quoted(column.name));
            }
        }
        const bool sized = column.type == ColumnType::Text || column.type == ColumnType::Binary;
        if (sized && (column.length == 0 || column.length > 2 * kMaxTextCharacters ||
                      (column.type == ColumnType::Text && column.length % 2 != 0))) {
            throw WriteError("column " + Quoted(column.name) + " of table " + Quoted(table.name) +
                             " must hold 1 to " + std::to_string(kMaxTextCharacters) +
                             " characters");
        }
    }
    if (std::all_of(table.columns.begin(), table.columns.end(),
                    [](const Column& c) { return IsFixed(c.type); })) {
        throw WriteError("table " + Quoted(table.name) + " needs at least one Text column");
    }
    for (const Index& index : table.indexes) {
        CheckName(index.name, "an index of table " + Quoted(table.name));
        if (index.columns.empty() || index.columns.size() > kIndexColumnSlots ||
            std::any_of(index.columns.begin(), index.columns.end(),
                        [&](const IndexColumn& c) { return c.column >= table.columns.size(); })) {
            throw WriteError("index " + Quoted(index.name) + " of table " + Quoted(table.name) +
                             " needs 1 to 10 columns of its table");
        }
    }
}

}  // namespace

Bytes WriteDatabase(const std::vector<Table>& userTables) {
    std::vector<Table> system = SystemTables();
    for (std::size_t i = 0; i < userTables.size(); ++i) {
        CheckUserTable(userTables[i]);
        for (std::size_t j = 0; j < i + system.size(); ++j) {
            const Table& other = j < system.size() ? system[j] : userTables[j - system.size()];
            if (NameEquals(other.name, userTables[i].name)) {
                throw WriteError("there is already a table named " + Quoted(other.name));
            }
        }
    }

    // Page plan; a table's object id is the page of its definition.
    std::uint32_t next = 2;
    std::vector<TablePages> systemPages(system.size());
    for (TablePages& pages : systemPages) pages.tdef = next++;
    for (std::size_t i = 0; i < system.size(); ++i) {
        systemPages[i].maps = next++;
        for (std::size_t k = 0; k < system[i].indexes.size(); ++k) {
            systemPages[i].leaves.push_back(next++);
        }
    }
    for (std::size_t i = 0; i < system.size(); ++i) {
        if (!system[i].rows.empty()) systemPages[i].data = next++;
    }
    std::vector<TablePages> userPages(userTables.size());
    for (std::size_t i = 0; i < userTables.size(); ++i) {
        userPages[i].tdef = next++;
        userPages[i].maps = next++;
        for (std::size_t k = 0; k < userTables[i].indexes.size(); ++k) {
            userPages[i].leaves.push_back(next++);
        }
        if (!userTables[i].rows.empty()) userPages[i].data = next++;
        AddToCatalog(system, userTables[i].name, userPages[i].tdef);
    }
    const std::uint32_t pageCount = next;
    if (pageCount > kUsageMapPages) {
        throw WriteError("the database would need " + std::to_string(pageCount) +
                         " pages; this writer keeps to " + std::to_string(kUsageMapPages));
    }

    std::vector<Bytes> file(pageCount);
    for (std::size_t i = 0; i < system.size(); ++i) BuildTable(system[i], systemPages[i], file);
    for (std::size_t i = 0; i < userTables.size(); ++i) {
        BuildTable(userTables[i], userPages[i], file);
    }

    // The global map marks the pages that are free to use: here every page past the end.
    Bytes globalMap = UsageMap({});
    for (std::uint32_t p = pageCount; p < kUsageMapPages; ++p) {
        globalMap[5 + p / 8] |= static_cast<std::uint8_t>(1u << (p % 8));
    }
    file[kGlobalMapPage] = DataPage(kGlobalMapPage, {globalMap, UsageMap({})}, "the global map");
    file[0] = HeaderPage(systemPages);

    Bytes out;
    out.reserve(pageCount * kPageSize);
    for (const Bytes& page : file) out.insert(out.end(), page.begin(), page.end());
    return out;
}

}  // namespace pruvolt::jet4
