// The progress animation: the dots' cycle, the highlight's slide and wrap, and the counter's life.
#include "tests/unit/FormHarness.h"

namespace pruvolt::test {
namespace {

using ::testing::ElementsAre;

std::wstring Installing(int dots) {
    return L"驅動程式安裝中，請稍候" + std::wstring(static_cast<std::size_t>(dots), L'.');
}

TEST_F(FormTest, TickMovesTheHighlightThenWritesTheLabel) {
    EXPECT_FALSE(Tick());
    EXPECT_THAT(fake.log,
                ElementsAre(L"SetControlLeft(imgProgressFlash,230)", L"ProcessPendingEvents",
                            L"SetLabelText(" + Installing(1) + L")", L"ProcessPendingEvents",
                            L"ProcessPendingEvents"));
}

TEST_F(FormTest, TickArrivingInsideATickIsDropped) {
    fake.OnProcessEvents(1, [this] { form.tmrEvents_Timer(); });
    EXPECT_FALSE(Tick());
    EXPECT_EQ(fake.left[Control::imgProgressFlash], 230.0f);
    EXPECT_THAT(fake.LogOf(L"SetLabelText"), ElementsAre(L"SetLabelText(" + Installing(1) + L")"));
    EXPECT_FALSE(Tick());  // the next tick runs, one step on
    EXPECT_EQ(fake.left[Control::imgProgressFlash], 430.0f);
}

TEST_F(FormTest, DotsFollowAHundredTickCycle) {
    const std::map<int, int> dotsAfterTick{{1, 1}, {10, 1}, {11, 2}, {91, 10}, {100, 10}, {101, 1}};
    for (int tick = 1; tick <= 101; ++tick) {
        ASSERT_FALSE(Tick());
        if (const auto expected = dotsAfterTick.find(tick); expected != dotsAfterTick.end()) {
            EXPECT_EQ(fake.label, Installing(expected->second)) << "tick " << tick;
        }
    }
}

class HighlightStep : public FormTestWithParam<std::pair<float, float>> {};

// picProgress is 5250 wide, picProgressInner 5220, the highlight 1215.
TEST_P(HighlightStep, AdvancesAndWrapsAtTheOuterFrameWidth) {
    fake.left[Control::imgProgressFlash] = GetParam().first;
    EXPECT_FALSE(Tick());
    EXPECT_EQ(fake.left[Control::imgProgressFlash], GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Lefts, HighlightStep,
                         ::testing::Values(std::pair{30.0f, 230.0f},
                                           std::pair{5030.0f, 5230.0f},  // past the inner width
                                           std::pair{5049.5f, 5249.5f},
                                           std::pair{5050.0f, -1215.0f},  // exactly the width
                                           std::pair{5230.0f, -1215.0f},
                                           std::pair{-1215.0f, -1015.0f}));

TEST_F(FormTest, HighlightWrapsOnTheTwentySeventhTickFromItsDesignPlace) {
    for (int tick = 1; tick <= 26; ++tick) ASSERT_FALSE(Tick());
    EXPECT_EQ(fake.left[Control::imgProgressFlash], 5230.0f);
    EXPECT_FALSE(Tick());
    EXPECT_EQ(fake.left[Control::imgProgressFlash], -1215.0f);
}

TEST_F(FormTest, MissingInstallerStopsTheDotsWithoutResettingTheCounter) {
    // Eleven ticks arrive while the install click first processes events; the installer is absent.
    fake.openError = PlatformError{3706, L"找不到提供者。"};
    ASSERT_FALSE(Load());
    fake.processEventsCalls = 0;
    fake.OnProcessEvents(1, [this] {
        for (int tick = 1; tick <= 11; ++tick) form.tmrEvents_Timer();
    });
    EXPECT_TRUE(Click(0));
    EXPECT_FALSE(fake.timerEnabled[Timer::tmrEvents]);
    EXPECT_EQ(fake.label, Installing(2));
    for (int tick = 12; tick <= 21; ++tick) ASSERT_FALSE(Tick());
    EXPECT_EQ(fake.label, Installing(3));
}

}  // namespace
}  // namespace pruvolt::test
