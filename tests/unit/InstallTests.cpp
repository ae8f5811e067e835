// The two buttons, the launch of the staged installer with its fallback, and the end timer. The
// installer is staged as the window stages it, by a load whose probe fails.
#include "tests/unit/FormHarness.h"

namespace pruvolt::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::wstring kSource = L"C:\\Tools\\ade64.exe";
const std::wstring kStaged = L"C:\\Users\\王 小明\\Temp\\ade64.exe";
const std::wstring kLaunch = L"LaunchCommandLine(" + kStaged + L"|\"" + kStaged + L"\" /passive|1)";
const std::wstring kLaunchFailed =
    L"啟動安裝資料庫驅動程式時發生無法預期錯誤\r\n\r\n"
    L"請您直接選擇 [Orvandel > Pruvolt > 直接安裝資料庫驅動程式] 進行安裝";

class Install : public FormTest {
   protected:
    Install() {
        fake.openError = PlatformError{3706, L"找不到提供者。"};
        fake.environment[L"TMP"] = L"C:\\Users\\王 小明\\Temp";
        fake.wow64Flag = 1;
        fake.files[kSource] = "x64";
    }

    // The window as the load leaves it after a failed probe; what follows is logged afresh.
    void LoadAndStage() {
        ASSERT_FALSE(Load());
        fake.log.clear();
        fake.processEventsCalls = 0;
    }

    bool LaunchedAnything() const {
        return !fake.LogOf(L"LaunchCommandLine").empty() || !fake.LogOf(L"ShellExecuteWide").empty();
    }
};

class OtherIndex : public FormTestWithParam<std::int16_t> {};

TEST_P(OtherIndex, ChangesNothing) {
    EXPECT_FALSE(Click(GetParam()));
    EXPECT_THAT(fake.log, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Indices, OtherIndex, ::testing::Values(1, -1, 3, 32767, -32768));

TEST_F(Install, ExitButtonEndsAtOnce) {
    LoadAndStage();
    EXPECT_TRUE(Click(2));
    EXPECT_THAT(fake.log, ElementsAre(L"EndProgram"));
    EXPECT_EQ(fake.exitCode, 0u);
}

TEST_F(Install, EndTimerEndsTheProgram) {
    EXPECT_TRUE(EndsProgram(fake, [this] { form.tmrEnd_Timer(); }));
    EXPECT_THAT(fake.log, ElementsAre(L"EndProgram"));
    EXPECT_EQ(fake.exitCode, 0u);
}

TEST_F(Install, HeldCopyIsCheckedThenLaunchedByQuotedCommandLineOffScreen) {
    LoadAndStage();
    EXPECT_FALSE(Click(0));
    EXPECT_THAT(fake.log,
                ElementsAre(L"SetVisible(cmdInstall0,false)", L"SetVisible(cmdInstall2,false)",
                            L"SetVisible(picProgress,true)", L"SetTimerEnabled(tmrEvents,true)",
                            L"ProcessPendingEvents", L"SetWindowLeft(0)", L"SetWindowTop(0)",
                            L"FileExists(" + kStaged + L")", L"SetWindowLeft(-20000)",
                            L"ProcessPendingEvents", L"SetTimerEnabled(tmrEnd,true)",
                            L"Verify(" + kStaged + L"|" + kSource + L")",
                            L"VerifySignature(" + kStaged + L")", kLaunch));
    EXPECT_THAT(fake.heldCopies, ElementsAre(kStaged));
}

TEST_F(Install, FailedCommandLineFallsBackToShellExecute) {
    LoadAndStage();
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
// The end timer stops before the message opens: the message stays until it is dismissed.
TEST_F(Install, BothLaunchesFailingShowTheLaunchFailedMessageUntilDismissedThenEnd) {
    LoadAndStage();
    fake.launchError = PlatformError{-2147024156, L""};       // elevation required
    fake.shellExecuteError = PlatformError{-2147024703, L""};  // not a valid application
    bool endTimerRanUnderTheMessage = true;
    fake.whileMessageBoxOpen = [&] { endTimerRanUnderTheMessage = fake.timerEnabled[Timer::tmrEnd]; };
    EXPECT_TRUE(Click(0));
    ASSERT_EQ(fake.messageBoxes.size(), 1u);
    EXPECT_EQ(fake.messageBoxes[0].prompt, kLaunchFailed);
    EXPECT_EQ(fake.messageBoxes[0].buttons, 0x1030u);
    EXPECT_EQ(fake.messageBoxes[0].title, L"Pruvolt & Installer");
    EXPECT_FALSE(endTimerRanUnderTheMessage);
    EXPECT_EQ(fake.log.back(), L"EndProgram");
    EXPECT_EQ(fake.exitCode, 1u);
}

// Anything outside the system's sharing rules that puts another file at the staged path after
// the copy (a rename over it, a write): that file is not started, by either attempt.
TEST_F(Install, ChangedCopyIsNeverStarted) {
    LoadAndStage();
    fake.files[kStaged] = "somebody else's program";
    EXPECT_TRUE(Click(0));
    EXPECT_FALSE(LaunchedAnything());
    ASSERT_EQ(fake.messageBoxes.size(), 1u);
    EXPECT_EQ(fake.messageBoxes[0].prompt, kLaunchFailed);
    EXPECT_FALSE(fake.timerEnabled[Timer::tmrEnd]);
    EXPECT_EQ(fake.exitCode, 1u);
}

struct NotStagedCase {
    const char* name;
    bool sourcePresent;
    std::optional<PlatformError> copyError;
    std::wstring prompt;
    std::uint32_t exitCode;
};

class NotStaged : public Install, public ::testing::WithParamInterface<NotStagedCase> {};

// Nothing was copied this run, and a file waits at the staged path (left by an earlier run, or
// put there by anybody): it is never started. The message says what the user can put right (the
// installer missing beside the program, or the copy and why it failed), then the program ends.
TEST_P(NotStaged, StaleFileAtTheStagedPathIsNeverStarted) {
    const NotStagedCase& c = GetParam();
    if (!c.sourcePresent) fake.files.erase(kSource);
    fake.copyError = c.copyError;
    LoadAndStage();
    fake.files[kStaged] = "left by an earlier run";
    EXPECT_TRUE(Click(0));
    EXPECT_FALSE(LaunchedAnything());
    const std::vector<std::wstring> afterTest(fake.log.begin() + 8, fake.log.end());
    EXPECT_THAT(afterTest,
                ElementsAre(L"SetVisible(picProgress,false)", L"SetTimerEnabled(tmrEvents,false)",
                            L"SetWindowLeft(5610)", L"SetWindowTop(3712.5)", L"ProcessPendingEvents",
                            L"ShowMessageBox(" + c.prompt + L")", L"EndProgram"));
    EXPECT_EQ(fake.messageBoxes[0].buttons, 0x1030u);
    EXPECT_EQ(fake.messageBoxes[0].title, L"Pruvolt & Installer");
    EXPECT_FALSE(fake.visible[Control::cmdInstall0] || fake.visible[Control::cmdInstall2]);
    EXPECT_EQ(fake.exitCode, c.exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Stale, NotStaged,
    ::testing::Values(NotStagedCase{"SourceMissing", false, std::nullopt,
                                    L"找不到預設的" + kSource + L"安裝程式", 2},
                      NotStagedCase{"CopyFailed", true, PlatformError{70, L"沒有使用權限"},
                                    L"無法將安裝程式 " + kSource + L" 複製到 " + kStaged +
                                        L"\r\n錯誤代碼 (70)\r\n回報內容：沒有使用權限",
                                    1}),
    [](const auto& instance) { return std::string(instance.param.name); });

// A second click, queued behind the first, reaches the handler while the first one processes
// events: one installer is started, not two.
TEST_F(Install, InstallClickDuringTheFirstClicksEventsStartsNothingMore) {
    LoadAndStage();
    fake.OnProcessEvents(1, [this] { form.cmdInstall_Click(0); });
    fake.OnProcessEvents(2, [this] { form.cmdInstall_Click(0); });
    EXPECT_FALSE(Click(0));
    EXPECT_THAT(fake.LogOf(L"LaunchCommandLine"), ElementsAre(kLaunch));
    EXPECT_EQ(fake.LogOf(L"SetVisible(picProgress,true)").size(), 1u);
    EXPECT_FALSE(Click(0));  // and after it returned, too
    EXPECT_EQ(fake.LogOf(L"LaunchCommandLine").size(), 1u);
}

TEST_F(Install, AnimationTickDuringTheFirstEventsUpdatesTheLabel) {
    LoadAndStage();
    fake.OnProcessEvents(1, [this] { form.tmrEvents_Timer(); });
    EXPECT_FALSE(Click(0));
    EXPECT_EQ(fake.label, L"驅動程式安裝中，請稍候.");
    EXPECT_EQ(fake.left[Control::imgProgressFlash], 230.0f);
}

TEST_F(Install, EndTickDuringALaterAnimationTickEndsTheProgram) {
    LoadAndStage();
    EXPECT_FALSE(Click(0));  // processes events twice
    fake.OnProcessEvents(3, [this] { form.tmrEnd_Timer(); });
    fake.log.clear();
    EXPECT_TRUE(Tick());
    EXPECT_EQ(fake.log.back(), L"EndProgram");
    EXPECT_THAT(fake.LogOf(L"SetLabelText"), IsEmpty());
}

}  // namespace
}  // namespace pruvolt::test
