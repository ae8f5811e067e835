// Index keys as the engine builds them under the "General (legacy)" sort order, the order of
// every Jet 4 database made with sort order 1033: byte strings its index pages keep sorted as
// unsigned bytes.
#pragma once

#include <string_view>

#include "Model.h"

namespace pruvolt::jet4 {

// The key of one column value: a flag byte (0x7F ascending, 0x80 descending; 0x00 and 0xFF for
// a null), then the encoded value. Throws WriteError for what the writer cannot encode: a type
// other than Integer/Long/Text, a descending Text column, a character IsKeyCharacter rejects.
void AppendColumnKey(Bytes& key, ColumnType type, const Value& value, bool ascending);

// Signed integers stored in `width` bytes: big-endian with the sign bit flipped, so that the
// byte order is the numeric order; descending keys invert the value bytes.
void AppendIntegerKey(Bytes& key, std::int64_t value, int width, bool ascending);

// Text, ascending: one or two code bytes per character (case does not count), 0x01, the
// positions of the characters that sort as "unprintable" (hyphen, apostrophe), then 0x00.
void AppendTextKey(Bytes& key, std::u16string_view text);

// Printable ASCII only: the characters whose collation codes the writer knows.
bool IsKeyCharacter(char16_t c);

}  // namespace pruvolt::jet4
