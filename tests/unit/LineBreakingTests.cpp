// The status label's line breaking, with a measure of one unit a Latin character and two a
// Chinese one, as the label's fonts roughly draw them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/LineBreaking.h"

namespace {

using pruvolt::linebreaking::WrapLines;
using Lines = std::vector<std::wstring>;

int Measure(const std::wstring& run) {
    int width = 0;
    for (const wchar_t c : run) {
        width += c >= 0x2E80 ? 2 : 1;
    }
    return width;
}

Lines Wrap(const std::wstring& text, int width) {
    return WrapLines(text, width, Measure);
}

TEST(LineBreaking, KeepsLineBreaksAndEmptyLines) {
    EXPECT_EQ(Wrap(L"\r\n正在測試\r\n請稍候...", 40), (Lines{L"", L"正在測試", L"請稍候..."}));
    EXPECT_EQ(Wrap(L"錯誤代碼 (3709)\r\n回報內容：", 40), (Lines{L"錯誤代碼 (3709)", L"回報內容："}));
}

TEST(LineBreaking, WrapsBetweenWordsAndDropsTheBlankAtTheBreak) {
    EXPECT_EQ(Wrap(L"Provider cannot be found.", 12), (Lines{L"Provider", L"cannot be", L"found."}));
}

TEST(LineBreaking, WrapsBetweenAnyTwoChineseCharacters) {
    EXPECT_EQ(Wrap(L"回報內容：找不到提供者", 10), (Lines{L"回報內容：", L"找不到提供", L"者"}));
}

TEST(LineBreaking, NeverStartsALineWithClosingPunctuation) {
    // "：" would start the second line: the break moves one character back.
    EXPECT_EQ(Wrap(L"回報內容：描述", 8), (Lines{L"回報內", L"容：描述"}));
}

TEST(LineBreaking, CutsAWordWiderThanTheLine) {
    EXPECT_EQ(Wrap(L"abcdefghij", 4), (Lines{L"abcd", L"efgh", L"ij"}));
}

TEST(LineBreaking, MixedTextBreaksAtTheLastOpportunityThatFits) {
    EXPECT_EQ(Wrap(L"錯誤 ODBC driver", 9), (Lines{L"錯誤 ODBC", L"driver"}));
}

}  // namespace
