// User tables described as text, and the sample table the program probes.
//
//   # a comment
//   table testdata
//   column ID long
//   column Name text 50
//   row 1 | Alpha
//
// Column types are "long" (Long Integer) and "text N" (Text of N characters). A row's values
// are separated by "|" and trimmed of blanks; an empty value is null. The text is UTF-8.
#pragma once

#include <string_view>

#include "Model.h"

namespace pruvolt::jet4 {

// Throws WriteError naming the line for a description it cannot read.
std::vector<Table> ParseDescription(std::string_view text);

// testdata: ID (Long Integer) and Name (Text 50), rows 1 Alpha, 2 Beta, 3 Gamma, 4 Delta.
extern const std::string_view kSampleDescription;

}  // namespace pruvolt::jet4
