// Hex notation for the byte strings the tests compare.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "Model.h"

namespace pruvolt::jet4 {

// "7f 80 00" -> bytes; blanks and line breaks are ignored.
inline Bytes Hex(std::string_view text) {
    Bytes out;
    int high = -1;
    for (char c : text) {
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (digit < 0) continue;
        if (high < 0) {
            high = digit;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + digit));
            high = -1;
        }
    }
    return out;
}

inline std::string ToHex(const Bytes& bytes) {
    std::string out;
    char buf[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02x ", b);
        out += buf;
    }
    if (!out.empty()) out.pop_back();
    return out;
}

}  // namespace pruvolt::jet4
