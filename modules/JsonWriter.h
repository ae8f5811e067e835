// One JSON value written as text, for reports that scripts read. Every character outside printable
// ASCII goes as a \u escape (of UTF-16 code units), so the text reads the same whatever encoding
// or code page its reader assumes: Windows PowerShell 5.1 reads a file without a byte-order mark
// in the ANSI code page.
#pragma once

#include <cstdint>
#include <string>

#include "platform/DecimalText.h"

namespace pruvolt {

class JsonWriter {
public:
    JsonWriter& BeginObject() { return Open(L'{'); }
    JsonWriter& EndObject() { return Close(L'}'); }
    JsonWriter& BeginArray() { return Open(L'['); }
    JsonWriter& EndArray() { return Close(L']'); }

    // A member's name; its value is written next.
    JsonWriter& Key(const wchar_t* name) {
        Separate();
        Quote(name);
        text_ += L':';
        afterKey_ = true;
        return *this;
    }

    JsonWriter& String(const std::wstring& value) {
        Separate();
        Quote(value);
        return *this;
    }
    JsonWriter& Number(std::int64_t value) { return Literal(DecimalText(value)); }
    JsonWriter& Bool(bool value) { return Literal(value ? L"true" : L"false"); }
    JsonWriter& Null() { return Literal(L"null"); }

    const std::wstring& Text() const { return text_; }

private:
    // A comma before every member and element but an object's or array's first.
    void Separate() {
        if (!afterKey_ && needsComma_) text_ += L',';
        afterKey_ = false;
        needsComma_ = true;
    }
    JsonWriter& Open(wchar_t bracket) {
        Separate();
        text_ += bracket;
        needsComma_ = false;
        return *this;
    }
    JsonWriter& Close(wchar_t bracket) {
        text_ += bracket;
        needsComma_ = true;
        return *this;
    }
    JsonWriter& Literal(const std::wstring& literal) {
        Separate();
        text_ += literal;
        return *this;
    }

    void Escape(std::uint32_t unit) {
        static constexpr wchar_t kHex[] = L"0123456789abcdef";
        text_ += L"\\u";
        for (int shift = 12; shift >= 0; shift -= 4) text_ += kHex[(unit >> shift) & 0xF];
    }

    void Quote(const std::wstring& value) {
        text_ += L'"';
        for (const wchar_t c : value) {
            const auto code = static_cast<std::uint32_t>(c);
            if (c == L'"' || c == L'\\') {
                text_ += L'\\';
                text_ += c;
            } else if (code >= 0x20 && code < 0x7F) {
                text_ += c;
            } else if (code > 0xFFFF) {
                // A 4-byte wchar_t (not on Windows) holds a whole code point: as its surrogate
                // pair.
                Escape(0xD800 + ((code - 0x10000) >> 10));
                Escape(0xDC00 + ((code - 0x10000) & 0x3FF));
            } else {
                Escape(code);
            }
        }
        text_ += L'"';
    }

    std::wstring text_;
    bool needsComma_ = false;
    bool afterKey_ = false;
};

}  // namespace pruvolt
