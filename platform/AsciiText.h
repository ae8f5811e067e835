// Comparisons of names that the registry and the file system treat alike in any case. Only ASCII
// letters are folded: every name the program compares is ASCII where it matters.
#pragma once

#include <string>

namespace pruvolt {

constexpr wchar_t AsciiLower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

inline bool StartsWithAsciiCaseless(const std::wstring& text, const std::wstring& prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (AsciiLower(text[i]) != AsciiLower(prefix[i])) return false;
    }
    return true;
}

inline bool EqualsAsciiCaseless(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && StartsWithAsciiCaseless(a, b);
}

inline bool ContainsAsciiCaseless(const std::wstring& text, const std::wstring& part) {
    for (std::size_t start = 0; start + part.size() <= text.size(); ++start) {
        if (StartsWithAsciiCaseless(text.substr(start, part.size()), part)) return true;
    }
    return false;
}

}  // namespace pruvolt
