// The system tables the engine creates for a new, empty database, with their rows, and the
// catalogue rows and access-control entries it adds for each new table.
#pragma once

#include <bit>

#include "Model.h"

namespace pruvolt::jet4 {

// 2017-04-25 11:33:57 as the engine stores dates. The header, every catalogue row and the
// security identifiers below come from one database the engine created at that moment; the
// identifiers are obfuscated per database, so they are valid only together with this date.
inline constexpr double kCreationDate = std::bit_cast<double>(std::uint64_t{0x40E4EC4F6BD4AF81});

// Positions in the list SystemTables returns; their definitions sit on pages 2, 3, 4 and 5.
enum SystemTable : std::size_t {
    kMSysObjects = 0,
    kMSysACEs = 1,
    kMSysQueries = 2,
    kMSysRelationships = 3,
    kSystemTableCount = 4,
};

std::vector<Table> SystemTables();

// Enters a user table whose definition is on `tdefPage` (that page number is its object id):
// its catalogue row under the Tables container, and its access-control entries.
void AddToCatalog(std::vector<Table>& systemTables, const std::u16string& name,
                  std::uint32_t tdefPage);

}  // namespace pruvolt::jet4
