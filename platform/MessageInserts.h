// The system's message texts name their subject by inserts ("%1 is not a valid Win32
// application."). The program asks for the texts with their inserts left in, and fills them here
// with the file the failed call was about. No Windows header: unit-tested natively.
#pragma once

#include <string>

namespace pruvolt {

// The text with each insert %1 to %99 (and the !format! that may follow it) replaced by
// `subject`, in one pass: what `subject` brings in is never read as an insert. "%%" is a percent
// sign; any other "%" stays as written.
inline std::wstring FillMessageInserts(const std::wstring& text, const std::wstring& subject) {
    std::wstring filled;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c != L'%' || i + 1 >= text.size()) {
            filled += c;
            continue;
        }
        const wchar_t next = text[i + 1];
        if (next == L'%') {
            filled += L'%';
            ++i;
        } else if (next >= L'1' && next <= L'9') {
            i += 1;
            if (i + 1 < text.size() && text[i + 1] >= L'0' && text[i + 1] <= L'9') ++i;
            // An insert with its format: "%1!s!".
            if (i + 1 < text.size() && text[i + 1] == L'!') {
                const std::size_t end = text.find(L'!', i + 2);
                if (end != std::wstring::npos) i = end;
            }
            filled += subject;
        } else {
            filled += c;
        }
    }
    return filled;
}

}  // namespace pruvolt
