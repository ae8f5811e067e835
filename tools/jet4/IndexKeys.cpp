// Index key encoding, "General (legacy)" collation.
#include "IndexKeys.h"

#include <array>
#include <cstdio>
#include <string>

namespace pruvolt::jet4 {
namespace {

// One or two code bytes; hyphen and apostrophe leave no inline code and are listed after the
// text instead (kUnprintable).
struct CharCode {
    std::uint8_t first = 0;  // 0: no code known
    std::uint8_t second = 0;
    bool unprintable = false;
};

constexpr std::array<CharCode, 128> MakeCodeTable() {
    std::array<CharCode, 128> t{};
    constexpr std::uint8_t kLetters[26] = {0x4A, 0x4C, 0x4D, 0x4F, 0x51, 0x53, 0x55, 0x57, 0x59,
                                           0x5B, 0x5C, 0x5E, 0x60, 0x62, 0x64, 0x66, 0x68, 0x69,
                                           0x6B, 0x6D, 0x6F, 0x71, 0x73, 0x75, 0x76, 0x78};
    for (int i = 0; i < 26; ++i) {
        t['A' + i].first = kLetters[i];
        t['a' + i].first = kLetters[i];
    }
    for (int i = 0; i < 10; ++i) t['0' + i].first = static_cast<std::uint8_t>(0x36 + 2 * i);
    constexpr std::pair<char, std::uint8_t> kSingle[] = {
        {' ', 0x07}, {'!', 0x09}, {'"', 0x0A}, {'#', 0x0C}, {'$', 0x0E},  {'%', 0x10},
        {'&', 0x12}, {'(', 0x14}, {')', 0x16}, {'*', 0x18}, {'+', 0x2C},  {',', 0x1A},
        {'.', 0x1C}, {'/', 0x1E}, {':', 0x20}, {';', 0x22}, {'<', 0x2E},  {'=', 0x30},
        {'>', 0x32}, {'?', 0x24}, {'@', 0x26}, {'[', 0x27}, {'\\', 0x29}, {']', 0x2A}};
    for (auto [c, code] : kSingle) t[static_cast<unsigned char>(c)].first = code;
    constexpr std::pair<char, std::uint8_t> kDouble[] = {
        {'^', 0x02}, {'_', 0x03}, {'`', 0x07}, {'{', 0x09}, {'|', 0x0B}, {'}', 0x0D}, {'~', 0x0F}};
    for (auto [c, code] : kDouble) t[static_cast<unsigned char>(c)] = {0x2B, code, false};
    t['\''] = {0x80, 0, true};
    t['-'] = {0x82, 0, true};
    return t;
}

constexpr std::array<CharCode, 128> kCodes = MakeCodeTable();

constexpr std::uint8_t kEndText = 0x01;
constexpr std::uint8_t kEndValue = 0x00;
constexpr std::size_t kMaxKeyCharacters = 255;  // the rest of a longer text does not count

}  // namespace

bool IsKeyCharacter(char16_t c) {
    return c < kCodes.size() && kCodes[c].first != 0;
}

void AppendIntegerKey(Bytes& key, std::int64_t value, int width, bool ascending) {
    const auto bits = static_cast<std::uint64_t>(value);
    for (int i = width - 1; i >= 0; --i) {
        auto byte = static_cast<std::uint8_t>(bits >> (8 * i));
        if (i == width - 1) byte ^= 0x80;
        key.push_back(ascending ? byte : static_cast<std::uint8_t>(~byte));
    }
}

void AppendTextKey(Bytes& key, std::u16string_view text) {
    text = text.substr(0, kMaxKeyCharacters);
    while (!text.empty() && text.back() == u' ') text.remove_suffix(1);

    struct Unprintable {
        std::size_t position;  // inline characters before it
        std::uint8_t code;
    };
    std::vector<Unprintable> unprintables;
    std::size_t position = 0;
    for (char16_t c : text) {
        if (!IsKeyCharacter(c)) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(c));
            throw WriteError(std::string("the character U+") + hex +
                             " has no index code this writer knows (use printable ASCII)");
        }
        const CharCode& code = kCodes[c];
        if (code.unprintable) {
            unprintables.push_back({position, code.first});
            continue;
        }
        key.push_back(code.first);
        if (code.second != 0) key.push_back(code.second);
        ++position;
    }
    key.push_back(kEndText);
    if (!unprintables.empty()) {
        key.insert(key.end(), {0x01, 0x01, 0x01});
        for (const Unprintable& u : unprintables) {
            const auto mark = static_cast<std::uint16_t>(0x8000 | (7 + 4 * u.position));
            key.push_back(static_cast<std::uint8_t>(mark >> 8));
            key.push_back(static_cast<std::uint8_t>(mark));
            key.push_back(0x06);
            key.push_back(u.code);
        }
    }
    key.push_back(kEndValue);
}

void AppendColumnKey(Bytes& key, ColumnType type, const Value& value, bool ascending) {
    if (std::holds_alternative<std::monostate>(value)) {
        key.push_back(ascending ? 0x00 : 0xFF);
        return;
    }
    key.push_back(ascending ? 0x7F : 0x80);
    switch (type) {
    case ColumnType::Long:
        AppendIntegerKey(key, std::get<std::int64_t>(value), 4, ascending);
        return;
    case ColumnType::Integer:
        AppendIntegerKey(key, std::get<std::int64_t>(value), 2, ascending);
        return;
    case ColumnType::Text:
        // Descending text keys were never seen in a file the engine wrote.
        if (!ascending) throw WriteError("descending Text indexes are not supported");
        AppendTextKey(key, std::get<std::u16string>(value));
        return;
    default:
        throw WriteError("index keys of this column type are not supported");
    }
}

}  // namespace pruvolt::jet4
