// What the Jet 4 writer writes: tables as data (columns, indexes, rows), and the one error it
// raises for anything it cannot write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pruvolt::jet4 {

using Bytes = std::vector<std::uint8_t>;

// Anything the writer refuses; what() is a sentence for the person who ran the tool.
struct WriteError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The type codes the engine stores in a column record.
enum class ColumnType : std::uint8_t {
    Boolean = 1,
    Byte = 2,
    Integer = 3,
    Long = 4,
    DateTime = 8,
    Binary = 9,
    Text = 10,
    Ole = 11,
    Memo = 12,
};

struct Column {
    std::u16string name;
    ColumnType type;
    std::uint16_t length = 0;  // bytes, for Text (2 per character) and Binary; ignored otherwise
    bool holdsSid = false;     // the engine flags its security-identifier columns (bit 0x20)
};

// A null is std::monostate. Integers of every width are int64_t, dates are days since
// 1899-12-30, Booleans are bool, Text and Memo are UTF-16, Binary and OLE are bytes.
using Value = std::variant<std::monostate, std::int64_t, double, bool, std::u16string, Bytes>;
using Row = std::vector<Value>;  // one value per column, in column order

enum IndexFlags : std::uint8_t {
    kIndexUnique = 0x01,
    kIndexIgnoreNulls = 0x02,
    kIndexRequired = 0x08,
};

struct IndexColumn {
    std::size_t column;
    bool ascending = true;
};

struct Index {
    std::u16string name;
    std::vector<IndexColumn> columns;
    std::uint8_t flags = 0;  // IndexFlags
    bool primaryKey = false;
};

struct Table {
    std::u16string name;
    bool system = false;
    std::vector<Column> columns;
    std::vector<Index> indexes;
    std::vector<Row> rows;
};

// Limits the engine sets on names and text columns.
inline constexpr std::size_t kMaxNameLength = 64;
inline constexpr std::size_t kMaxTextCharacters = 255;
inline constexpr std::size_t kMaxColumns = 255;

// UTF-8 for messages and descriptions; FromUtf8 throws WriteError on malformed input.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

}  // namespace pruvolt::jet4
