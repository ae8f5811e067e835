// Row layout and row encoding.
#include "Rows.h"

#include <bit>
#include <limits>

namespace pruvolt::jet4 {
namespace {

std::uint16_t FixedSize(ColumnType type) {
    switch (type) {
    case ColumnType::Boolean:
        return 0;  // the value is its null-mask bit
    case ColumnType::Byte:
        return 1;
    case ColumnType::Integer:
        return 2;
    case ColumnType::Long:
        return 4;
    case ColumnType::DateTime:
        return 8;
    default:
        return 0;
    }
}

void AppendLittleEndian(Bytes& out, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

[[noreturn]] void Reject(const Table& table, const Column& column, const std::string& what) {
    throw WriteError("table " + ToUtf8(table.name) + ", column " + ToUtf8(column.name) + ": " +
                     what);
}

std::int64_t IntegerIn(const Table& table, const Column& column, const Value& value,
                       std::int64_t low, std::int64_t high) {
    const auto* number = std::get_if<std::int64_t>(&value);
    if (number == nullptr) Reject(table, column, "expects a whole number");
    if (*number < low || *number > high) {
        Reject(table, column, std::to_string(*number) + " is out of range");
    }
    return *number;
}

}  // namespace

bool IsFixed(ColumnType type) {
    switch (type) {
    case ColumnType::Boolean:
    case ColumnType::Byte:
    case ColumnType::Integer:
    case ColumnType::Long:
    case ColumnType::DateTime:
        return true;
    default:
        return false;
    }
}

bool IsLongValue(ColumnType type) {
    return type == ColumnType::Memo || type == ColumnType::Ole;
}

RowLayout LayOutRow(const Table& table) {
    RowLayout layout;
    for (const Column& column : table.columns) {
        ColumnLayout c;
        c.fixed = IsFixed(column.type);
        if (c.fixed) {
            // A Boolean is its null-mask bit: it declares offset 0 and takes no room.
            c.fixedOffset = column.type == ColumnType::Boolean ? 0 : layout.fixedSize;
            c.varIndex = layout.variableCount;
            c.length = column.type == ColumnType::Boolean ? 1 : FixedSize(column.type);
            layout.fixedSize =
                static_cast<std::uint16_t>(layout.fixedSize + FixedSize(column.type));
        } else {
            c.varIndex = layout.variableCount++;
            c.length = IsLongValue(column.type) ? 0 : column.length;
        }
        layout.columns.push_back(c);
    }
    return layout;
}

Bytes EncodeRow(const Table& table, const RowLayout& layout, const Row& row) {
    const std::size_t count = table.columns.size();
    if (row.size() != count) {
        throw WriteError("table " + ToUtf8(table.name) + ": a row has " +
                         std::to_string(row.size()) + " values for " + std::to_string(count) +
                         " columns");
    }
    Bytes out;
    AppendLittleEndian(out, count, 2);
    const std::size_t fixedStart = out.size();
    out.resize(fixedStart + layout.fixedSize, 0);  // full size even when values are null
    Bytes mask((count + 7) / 8, 0);
    std::vector<std::uint16_t> varOffsets;

    for (std::size_t i = 0; i < count; ++i) {
        const Column& column = table.columns[i];
        const ColumnLayout& place = layout.columns[i];
        const Value& value = row[i];
        const bool isNull = std::holds_alternative<std::monostate>(value);

        Bytes bytes;
        if (!isNull) {
            switch (column.type) {
            case ColumnType::Boolean: {
                const auto* flag = std::get_if<bool>(&value);
                if (flag == nullptr) Reject(table, column, "expects true or false");
                if (!*flag) continue;  // false: mask bit stays clear
                break;
            }
            case ColumnType::Byte:
                AppendLittleEndian(bytes, IntegerIn(table, column, value, 0, 255), 1);
                break;
            case ColumnType::Integer:
                AppendLittleEndian(bytes, IntegerIn(table, column, value, -32768, 32767), 2);
                break;
            case ColumnType::Long:
                AppendLittleEndian(
                    bytes,
                    IntegerIn(table, column, value, std::numeric_limits<std::int32_t>::min(),
                              std::numeric_limits<std::int32_t>::max()),
                    4);
                break;
            case ColumnType::DateTime: {
                const auto* date = std::get_if<double>(&value);
                if (date == nullptr) Reject(table, column, "expects a date");
                AppendLittleEndian(bytes, std::bit_cast<std::uint64_t>(*date), 8);
                break;
            }
            case ColumnType::Text: {
                const auto* text = std::get_if<std::u16string>(&value);
                if (text == nullptr) Reject(table, column, "expects text");
                if (text->size() * 2 > column.length) {
                    Reject(table, column,
                           "\"" + ToUtf8(*text) + "\" is longer than " +
                               std::to_string(column.length / 2) + " characters");
                }
                for (char16_t c : *text) AppendLittleEndian(bytes, c, 2);  // plain UCS-2
                break;
            }
            case ColumnType::Binary: {
                const auto* data = std::get_if<Bytes>(&value);
                if (data == nullptr) Reject(table, column, "expects binary data");
                if (data->size() > column.length) Reject(table, column, "the value is too long");
                bytes = *data;
                break;
            }
            case ColumnType::Memo:
            case ColumnType::Ole:
                Reject(table, column, "Memo and OLE values are not supported (only null)");
            }
            mask[i / 8] = static_cast<std::uint8_t>(mask[i / 8] | (1u << (i % 8)));
        }

        if (place.fixed) {
            std::copy(bytes.begin(), bytes.end(), out.begin() + fixedStart + place.fixedOffset);
        } else {
            // A null takes the running offset, so its slot has zero length.
            varOffsets.push_back(static_cast<std::uint16_t>(out.size()));
            out.insert(out.end(), bytes.begin(), bytes.end());
        }
    }

    AppendLittleEndian(out, out.size(), 2);  // end of the variable data
    for (auto it = varOffsets.rbegin(); it != varOffsets.rend(); ++it) {
        AppendLittleEndian(out, *it, 2);
    }
    AppendLittleEndian(out, layout.variableCount, 2);
    out.insert(out.end(), mask.begin(), mask.end());
    return out;
}

}  // namespace pruvolt::jet4
