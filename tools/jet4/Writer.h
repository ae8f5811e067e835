// Writes a Jet 4 database (Access 2000-2003 format, 4096-byte pages): the system tables the
// engine creates for a new, empty database, and user tables entered in its catalogue so that a
// lookup by name through the catalogue's indexes finds them.
#pragma once

#include "Model.h"

namespace pruvolt::jet4 {

inline constexpr std::size_t kPageSize = 4096;

// The whole file, built in memory. Pages: 0 header, 1 global usage map, 2-5 the system tables'
// definitions, then per system table its usage-map page and one index page per index, then the
// system tables' data pages, then per user table its definition, usage-map page, index pages and
// one data page. Throws WriteError for a table it cannot write.
Bytes WriteDatabase(const std::vector<Table>& userTables);

}  // namespace pruvolt::jet4
