// How the status label breaks its text into lines. Kept apart from the label's window so that it
// compiles and is tested anywhere.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace pruvolt::linebreaking {

namespace detail {

// Ideographs, kana, full-width forms and CJK punctuation: a line may break before or after any.
inline bool IsCjk(wchar_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFFEF);
}

// Punctuation that must not begin a line.
inline bool IsClosingPunctuation(wchar_t c) {
    static constexpr wchar_t kClosing[] = L"，。、：；！？）」』】》〉.,:;!?)]}";
    for (const wchar_t k : kClosing) {
        if (k != 0 && k == c) {
            return true;
        }
    }
    return false;
}

// True when a line may end between text[i - 1] and text[i].
inline bool CanBreakBefore(const std::wstring& text, std::size_t i) {
    if (i == 0 || i >= text.size() || IsClosingPunctuation(text[i])) {
        return false;
    }
    const wchar_t before = text[i - 1];
    const wchar_t here = text[i];
    if (here == L' ') {
        return false;  // trailing blanks stay on the line they end
    }
    return before == L' ' || IsCjk(before) || IsCjk(here);
}

template <typename Measure>
void WrapParagraph(const std::wstring& paragraph, int maxWidth, const Measure& measure,
                   std::vector<std::wstring>& lines) {
    std::size_t start = 0;
    while (start < paragraph.size()) {
        std::size_t end = start + 1;
        std::size_t lastBreak = 0;
        while (end < paragraph.size()) {
            if (CanBreakBefore(paragraph, end)) {
                lastBreak = end;
            }
            // A blank may hang past the edge: it goes at the break.
            if (paragraph[end] != L' ' && measure(paragraph.substr(start, end + 1 - start)) > maxWidth) {
                break;
            }
            ++end;
        }
        if (end < paragraph.size() && lastBreak > start) {
            end = lastBreak;
        }
        std::wstring line = paragraph.substr(start, end - start);
        while (!line.empty() && line.back() == L' ') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        start = end;
        while (start < paragraph.size() && paragraph[start] == L' ') {
            ++start;
        }
    }
    if (paragraph.empty()) {
        lines.emplace_back();
    }
}

}  // namespace detail

// Splits text at its line breaks ("\r\n"), then wraps each paragraph to lines no wider than
// maxWidth as `measure` (the width of a run of text) reports it: between words, or between any two
// Chinese characters; a word wider than a line is cut where it overflows. Blanks at a break go.
template <typename Measure>
std::vector<std::wstring> WrapLines(const std::wstring& text, int maxWidth, const Measure& measure) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(L"\r\n", start);
        detail::WrapParagraph(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start),
                      maxWidth, measure, lines);
        if (end == std::wstring::npos) {
            break;
        }
        start = end + 2;
    }
    return lines;
}

}  // namespace pruvolt::linebreaking
