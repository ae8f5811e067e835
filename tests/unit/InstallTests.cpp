// The two buttons, the launch of the staged installer with its fallback, and the end timer.
#include "tests/unit/FormHarness.h"

namespace pruvolt::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::wstring kStaged = L"C:\\Users\\王 小明\\Temp\\ade64.exe";
const std::wstring kLaunch = L"LaunchCommandLine(" + kStaged + L"|\"" + kStaged + L"\" /passive|1)";

class Install : public FormTest {
   protected:
    Install() {
        mdlCommon::strSetupFile = kStaged;
        fake.files[kStaged] = "x64";
    }
};

class OtherIndex : public FormTestWithParam<std::int16_t> {};

TEST_P(OtherIndex, ChangesNothing) {
    EXPECT_FALSE(Click(GetParam()));
    EXPECT_THAT(fake.log, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Indices, OtherIndex, ::testing::Values(1, -1, 3, 32767, -32768));

TEST_F(Install, ExitButtonEndsAtOnce) {
    EXPECT_TRUE(Click(2));
    EXPECT_THAT(fake.log, ElementsAre(L"EndProgram"));
}

TEST_F(Install, EndTimerEndsTheProgram) {
    EXPECT_TRUE(EndsProgram(fake, [this] { form.tmrEnd_Timer(); }));
    EXPECT_THAT(fake.log, ElementsAre(L"EndProgram"));
}

TEST_F(Install, PresentInstallerIsLaunchedByQuotedCommandLineOffScreen) {
    EXPECT_FALSE(Click(0));
    EXPECT_THAT(fake.log,
                ElementsAre(L"SetVisible(cmdInstall0,false)", L"SetVisible(cmdInstall2,false)",
                            L"SetVisible(picProgress,true)", L"SetTimerEnabled(tmrEvents,true)",
                            L"ProcessPendingEvents", L"SetWindowLeft(0)", L"SetWindowTop(0)",
                            L"FileExists(" + kStaged + L")", L"SetWindowLeft(-20000)",
                            L"ProcessPendingEvents", L"SetTimerEnabled(tmrEnd,true)", kLaunch));
}

TEST_F(Install, FailedCommandLineFallsBackToShellExecute) {
    fake.launchError = PlatformError{53, L"File not found"};
    EXPECT_FALSE(Click(0));
    EXPECT_THAT(fake.LogOf(L"SetTimerEnabled(tmrEnd"),
                ElementsAre(L"SetTimerEnabled(tmrEnd,true)"));
    const auto launches = std::vector(fake.log.end() - 2, fake.log.end());
    EXPECT_THAT(launches, ElementsAre(kLaunch, L"ShellExecuteWide(65670|Open|" + kStaged +
                                                   L"|/passive|C:\\|1)"));
    EXPECT_THAT(fake.messageBoxes, IsEmpty());
}

// The second attempt failing covers both ways: the shell cannot be called, or it reports that the
// file could not be started (not a program for this PC, elevation declined, no association).
TEST_F(Install, BothLaunchesFailingShowTheUnexpectedErrorAndEnd) {
    fake.launchError = PlatformError{-2147024156, L""};       // elevation required
    fake.shellExecuteError = PlatformError{-2147024703, L""};  // not a valid application
    EXPECT_TRUE(Click(0));
    ASSERT_EQ(fake.messageBoxes.size(), 1u);
    EXPECT_EQ(fake.messageBoxes[0].prompt,
              L"啟動安裝資料庫驅動程式時發生無法預期錯誤\r\n\r\n"
              L"請您直接選擇 [Orvandel > Pruvolt > 直接安裝資料庫驅動程式] 進行安裝");
    EXPECT_EQ(fake.messageBoxes[0].buttons, 0x1030u);
    EXPECT_EQ(fake.messageBoxes[0].title, L"Pruvolt & Installer");
    EXPECT_EQ(fake.log.back(), L"EndProgram");
}

TEST_F(Install, MissingInstallerReturnsToTheCentreReportsAndEnds) {
    fake.files.clear();
    EXPECT_TRUE(Click(0));
    const std::vector<std::wstring> afterTest(fake.log.begin() + 7, fake.log.end());
    EXPECT_THAT(afterTest,
                ElementsAre(L"FileExists(" + kStaged + L")", L"SetVisible(picProgress,false)",
                            L"SetTimerEnabled(tmrEvents,false)", L"SetWindowLeft(5610)",
                            L"SetWindowTop(3712.5)", L"ProcessPendingEvents",
                            L"ShowMessageBox(找不到預設的" + kStaged + L"安裝程式)", L"EndProgram"));
    EXPECT_EQ(fake.messageBoxes[0].buttons, 0x1030u);
    EXPECT_EQ(fake.messageBoxes[0].title, L"Pruvolt & Installer");
    EXPECT_FALSE(fake.visible[Control::cmdInstall0] || fake.visible[Control::cmdInstall2]);
}

TEST_F(Install, AnimationTickDuringTheFirstEventsUpdatesTheLabel) {
    fake.OnProcessEvents(1, [this] { form.tmrEvents_Timer(); });
    EXPECT_FALSE(Click(0));
    EXPECT_EQ(fake.label, L"驅動程式安裝中，請稍候.");
    EXPECT_EQ(fake.left[Control::imgProgressFlash], 230.0f);
}

TEST_F(Install, EndTickDuringALaterAnimationTickEndsTheProgram) {
    EXPECT_FALSE(Click(0));  // processes events twice
    fake.OnProcessEvents(3, [this] { form.tmrEnd_Timer(); });
    EXPECT_TRUE(Tick());
    EXPECT_EQ(fake.log.back(), L"EndProgram");
    EXPECT_THAT(fake.LogOf(L"SetLabelText"), IsEmpty());
}

}  // namespace
}  // namespace pruvolt::test
