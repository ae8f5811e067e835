// Whole numbers as decimal text, without the C library's printf family (which std::to_wstring
// brings into the Windows program, about 28 KB of it for a few numbers).
#pragma once

#include <cstdint>
#include <string>

namespace pruvolt {

// Signed decimal: a leading minus for negative numbers, no blanks, no digit grouping.
inline std::wstring DecimalText(std::int64_t value) {
    // Counted as unsigned so that the most negative value has a magnitude too.
    std::uint64_t magnitude =
        value < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    wchar_t digits[21];
    std::size_t start = sizeof(digits) / sizeof(digits[0]);
    do {
        digits[--start] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) {
        digits[--start] = L'-';
    }
    return std::wstring(digits + start, digits + sizeof(digits) / sizeof(digits[0]));
}

}  // namespace pruvolt
