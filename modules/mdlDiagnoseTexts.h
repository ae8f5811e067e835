// How the diagnosis puts values into its texts: the placeholders of texts/Texts.h, bitnesses, the
// installer's name and a finding's line. Shared by the diagnosis's files.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "modules/mdlDiagnose.h"
#include "texts/Texts.h"

namespace pruvolt::mdlDiagnose {

// The text with {1} ... {9} replaced by the values, in one pass over the text: what a value brings
// in (registry data among it) is never read as a placeholder.
inline std::wstring Fill(const wchar_t* text, std::initializer_list<std::wstring_view> values) {
    std::wstring result;
    for (const wchar_t* c = text; *c != L'\0'; ++c) {
        if (c[0] == L'{' && c[1] >= L'1' && c[1] <= L'9' && c[2] == L'}') {
            const auto index = static_cast<std::size_t>(c[1] - L'1');
            if (index < values.size()) result += values.begin()[index];
            c += 2;
        } else {
            result += *c;
        }
    }
    return result;
}

// A bitness as a number in the texts: 32 or 64, the only ones there are.
inline const wchar_t* BitsNumber(int bits) {
    return bits == 64 ? L"64" : L"32";
}

// A bitness in words.
inline const wchar_t* BitsText(int bits) {
    return bits == 64 ? texts::kBits64 : bits == 32 ? texts::kBits32 : texts::kBitsUnknown;
}

// The installer's file name, without its folder.
inline std::wstring InstallerName(const Installer& installer) {
    return installer.file.substr(installer.file.rfind(L'\\') + 1);
}

// "[code] text", as the lines of /diagnose and /repair give a finding.
inline std::wstring FindingLine(const Finding& finding) {
    return L"[" + std::wstring(CodeName(finding.code)) + L"] " + finding.text;
}

}  // namespace pruvolt::mdlDiagnose
