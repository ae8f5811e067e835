// The engine's row format: where each column lives in a row, and the bytes of one row.
#pragma once

#include "Model.h"

namespace pruvolt::jet4 {

struct ColumnLayout {
    bool fixed = false;
    std::uint16_t fixedOffset = 0;  // fixed columns: position in the fixed area
    std::uint16_t varIndex = 0;     // variable: its slot; fixed: variable columns before it
    std::uint16_t length = 0;       // the length the column record declares
};

struct RowLayout {
    std::vector<ColumnLayout> columns;  // in column order
    std::uint16_t fixedSize = 0;
    std::uint16_t variableCount = 0;
};

bool IsFixed(ColumnType type);
bool IsLongValue(ColumnType type);  // Memo and OLE: values live on long-value pages

RowLayout LayOutRow(const Table& table);

// Column count, the full fixed area, the variable values, the end-of-data offset, one offset
// per variable slot (last slot first), the slot count and the null mask. Throws WriteError for
// a value that does not suit its column. Tables without variable columns have a shorter row
// form that the engine was never seen to write; the writer refuses such tables beforehand.
Bytes EncodeRow(const Table& table, const RowLayout& layout, const Row& row);

}  // namespace pruvolt::jet4
