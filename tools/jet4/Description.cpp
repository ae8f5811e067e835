// The table-description reader.
#include "Description.h"

#include <charconv>
#include <string>

namespace pruvolt::jet4 {

const std::string_view kSampleDescription =
    "# The table the program opens to probe the database drivers.\n"
    "table testdata\n"
    "column ID long\n"
    "column Name text 50\n"
    "row 1 | Alpha\n"
    "row 2 | Beta\n"
    "row 3 | Gamma\n"
    "row 4 | Delta\n";

namespace {

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// Splits off the first blank-separated word of `rest`.
std::string_view NextWord(std::string_view& rest) {
    rest = Trim(rest);
    const auto end = rest.find_first_of(" \t");
    const std::string_view word = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
    return word;
}

bool ParseInteger(std::string_view text, std::int64_t& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc{} && ptr == end && !text.empty();
}

[[noreturn]] void Fail(std::size_t line, const std::string& what) {
    throw WriteError("line " + std::to_string(line) + ": " + what);
}

}  // namespace

std::vector<Table> ParseDescription(std::string_view text) {
    std::vector<Table> tables;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const auto newline = text.find('\n');
        std::string_view rest = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);

        const auto fail = [lineNumber](const std::string& what) { Fail(lineNumber, what); };
        const auto utf16 = [lineNumber](std::string_view s) {
            try {
                return FromUtf8(s);
            } catch (const WriteError& e) {
                Fail(lineNumber, e.what());
            }
        };
        const std::string_view keyword = NextWord(rest);
        if (keyword.empty() || keyword.front() == '#') continue;
        if (keyword == "table") {
            const std::string_view name = Trim(rest);
            tables.push_back(Table{utf16(name), false, {}, {}, {}});
            continue;
        }
        if (tables.empty()) fail("\"" + std::string(keyword) + "\" before any \"table\"");
        Table& table = tables.back();
        if (keyword == "column") {
            if (!table.rows.empty()) fail("columns must come before the rows");
            const std::string_view name = NextWord(rest);
            const std::string_view type = NextWord(rest);
            const std::string_view size = NextWord(rest);
            if (name.empty()) fail("a column needs a name and a type");
            Column column{utf16(name), ColumnType::Long, 0, false};
            std::int64_t characters = 0;
            if (type == "long" && size.empty()) {
                column.type = ColumnType::Long;
            } else if (type == "text" && ParseInteger(size, characters) && characters > 0 &&
                       characters <= static_cast<std::int64_t>(kMaxTextCharacters)) {
                column.type = ColumnType::Text;
                column.length = static_cast<std::uint16_t>(2 * characters);
            } else if (type == "text") {
                fail("a text column takes 1 to " + std::to_string(kMaxTextCharacters) +
                     " characters, as in \"text 50\"");
            } else {
                fail("unsupported column type \"" + std::string(type) +
                     "\" (this writer takes \"long\" and \"text N\")");
            }
            if (!Trim(rest).empty()) fail("unexpected \"" + std::string(Trim(rest)) + "\"");
            table.columns.push_back(std::move(column));
            continue;
        }
        if (keyword == "row") {
            Row row;
            std::string_view values = rest;
            for (std::size_t i = 0;; ++i) {
                const auto bar = values.find('|');
                const std::string_view field = Trim(values.substr(0, bar));
                if (i >= table.columns.size()) {
                    fail("the row has more values than the table has columns");
                }
                if (field.empty()) {
                    row.emplace_back(std::monostate{});
                } else if (table.columns[i].type == ColumnType::Long) {
                    std::int64_t number = 0;
                    if (!ParseInteger(field, number)) {
                        fail("\"" + std::string(field) + "\" is not a whole number");
                    }
                    row.emplace_back(number);
                } else {
                    row.emplace_back(utf16(field));
                }
                if (bar == std::string_view::npos) break;
                values = values.substr(bar + 1);
            }
            if (row.size() != table.columns.size()) {
                fail("the row has fewer values than the table has columns");
            }
            table.rows.push_back(std::move(row));
            continue;
        }
        fail("unknown keyword \"" + std::string(keyword) + "\"");
    }
    if (tables.empty()) throw WriteError("the description holds no table");
    return tables;
}

}  // namespace pruvolt::jet4
