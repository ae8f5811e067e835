// The load handler: the second-copy test, centring, the probe and its two outcomes, and clicks that
// arrive while the window first processes events.
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/unit/FormHarness.h"

namespace pruvolt::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

const std::wstring kProbing = L"SetLabelText(\r\n正在測試連線資料中...\r\n請稍候...)";
const std::wstring kOpen =
    L"Open(select * from testdata|"
    L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\Tools\\testdb.mdb;)";

// Every load runs these steps, in this order, up to the probe's outcome.
std::vector<std::wstring> UpToTheProbe(std::initializer_list<std::wstring> outcome) {
    std::vector<std::wstring> steps{
        L"PreviousInstanceRunning", L"SetWindowLeft(5610)", L"SetWindowTop(3712.5)", kProbing,
        L"ShowWindow", L"ProcessPendingEvents", L"GetVersionExA",
        L"CreateRecordset(adodb.recordset)", kOpen};
    steps.insert(steps.end(), outcome);
    return steps;
}

TEST_F(FormTest, ProbeSuccessOffersOnlyTheExitButton) {
    EXPECT_FALSE(Load());
    EXPECT_THAT(fake.log,
                ElementsAreArray(UpToTheProbe(
                    {L"SetLabelText(\r\n資料庫正常連線\r\n不需要安裝 Access Database Engine)",
                     L"SetVisible(cmdInstall0,false)", L"SetVisible(cmdInstall2,true)",
                     L"ProcessPendingEvents"})));
    EXPECT_TRUE(mdlCommon::strSetupFile.empty());
}

// Elevated, with a program folder that another account can change: the reason in the label, only
// the exit button, and nothing probed or staged.
TEST_F(FormTest, ElevatedWithAFolderOthersCanChangeShowsWhyAndOffersOnlyTheExitButton) {
    fake.elevated = true;
    fake.files[L"C:\\Tools\\ade.exe"] = "x86";
    fake.security[L"C:\\Tools"] = {L"S-1-5-32-544", false, {{true, false, 0x001301BFu, L"S-1-5-11"}}};
    EXPECT_FALSE(Load());
    EXPECT_THAT(fake.LogOf(L"SetLabelText"),
                ElementsAre(L"SetLabelText(C:\\Tools 可由其他帳戶 (S-1-5-11) 更改；以系統管理員或 SYSTEM "
                            L"身分執行時不予測試也不安裝：請安裝在 Program Files 之下，"
                            L"或以 icacls 移除繼承的權限 (見 README))"));
    EXPECT_FALSE(fake.visible[Control::cmdInstall0]);
    EXPECT_TRUE(fake.visible[Control::cmdInstall2]);
    EXPECT_THAT(fake.LogOf(L"CreateRecordset"), IsEmpty());
    EXPECT_THAT(fake.LogOf(L"CopyAndHold"), IsEmpty());
    EXPECT_THAT(fake.LogOf(L"ShowWindow"), ElementsAre(L"ShowWindow"));
}

TEST_F(FormTest, ProbeFailureReportsThenOffersBothButtonsAndStages) {
    fake.openError = PlatformError{-2147467259, L"[ODBC] 找不到資料來源"};
    fake.environment[L"TMP"] = L"C:\\Temp";
    fake.files[L"C:\\Tools\\ade.exe"] = "x86";
    fake.visible[Control::cmdInstall0] = false;

    EXPECT_FALSE(Load());
    EXPECT_THAT(fake.log,
                ElementsAreArray(UpToTheProbe(
                    {L"SetLabelText(錯誤代碼 (-2147467259)\r\n回報內容：[ODBC] 找不到資料來源)",
                     L"ProcessPendingEvents", L"SetVisible(cmdInstall0,true)",
                     L"SetVisible(cmdInstall2,true)", L"EnvironmentVariable(TMP)",
                     L"IsWow64Process", L"FileExists(C:\\Tools\\ade.exe)",
                     L"CopyAndHold(C:\\Tools\\ade.exe|C:\\Temp\\ade.exe)"})));
}

struct FailureCase {
    bool inCreate;  // else in Open
    PlatformError error;
    std::wstring label;
};

class ProbeFailure : public FormTestWithParam<FailureCase> {};

TEST_P(ProbeFailure, IsReportedInTheLabelWithBothButtonsShown) {
    const FailureCase& c = GetParam();
    (c.inCreate ? fake.createRecordsetError : fake.openError) = c.error;
    EXPECT_FALSE(Load());
    EXPECT_EQ(fake.label, c.label);
    EXPECT_TRUE(fake.visible[Control::cmdInstall0]);
    EXPECT_TRUE(fake.visible[Control::cmdInstall2]);
    EXPECT_EQ(fake.LogOf(L"Open").size(), c.inCreate ? 0u : 1u);
    EXPECT_THAT(fake.messageBoxes, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    CreateOrOpen, ProbeFailure,
    ::testing::Values(
        FailureCase{true,
                    {429, L"ActiveX 元件無法產生物件"},
                    L"錯誤代碼 (429)\r\n回報內容：ActiveX 元件無法產生物件"},
        FailureCase{false, {-2147467259, L""}, L"錯誤代碼 (-2147467259)\r\n回報內容："},
        FailureCase{false, {-2147483647 - 1, L"x"}, L"錯誤代碼 (-2147483648)\r\n回報內容：x"},
        FailureCase{true, {0, L"a\r\nb"}, L"錯誤代碼 (0)\r\n回報內容：a\r\nb"}));

struct CentreCase {
    float screenWidth, screenHeight, windowWidth, windowHeight;
    const wchar_t* left;
    const wchar_t* top;
};

class Centring : public FormTestWithParam<CentreCase> {};

TEST_P(Centring, SetsLeftThenTopUnclampedAndFractional) {
    const CentreCase& c = GetParam();
    fake.screenWidth = c.screenWidth;
    fake.screenHeight = c.screenHeight;
    fake.windowWidth = c.windowWidth;
    fake.windowHeight = c.windowHeight;
    EXPECT_FALSE(Load());
    EXPECT_THAT(fake.LogOf(L"SetWindow"),
                ElementsAre(std::wstring(L"SetWindowLeft(") + c.left + L")",
                            std::wstring(L"SetWindowTop(") + c.top + L")"));
}

INSTANTIATE_TEST_SUITE_P(OddAndNegative, Centring,
                         ::testing::Values(CentreCase{15360, 11520, 4145, 4095, L"5607.5",
                                                      L"3712.5"},
                                           CentreCase{3000, 2001, 4140, 4096, L"-570", L"-1047.5"},
                                           CentreCase{4140, 4095, 4140, 4095, L"0", L"0"}));

TEST_F(FormTest, SecondCopyEndsBeforeAnyWindowIsShown) {
    fake.previousInstance = true;
    EXPECT_TRUE(Load());
    EXPECT_THAT(fake.log, ElementsAre(L"PreviousInstanceRunning", L"EndProgram"));
}

TEST_F(FormTest, ExitClickDuringFirstEventsEndsBeforeTheProbe) {
    fake.OnProcessEvents(1, [this] { form.cmdInstall_Click(2); });
    EXPECT_TRUE(Load());
    EXPECT_EQ(fake.log.back(), L"EndProgram");
    EXPECT_THAT(fake.LogOf(L"CreateRecordset"), IsEmpty());
}

// The load handler processes events twice on each road: first before the probe, then after the
// success text or after the failure's report. An install click in either comes before the staging
// has run.
class EarlyInstallClick : public FormTestWithParam<int> {};

TEST_P(EarlyInstallClick, IsDroppedWhenTheProbeSucceeds) {
    fake.OnProcessEvents(GetParam(), [this] { form.cmdInstall_Click(0); });
    EXPECT_FALSE(Load());
    EXPECT_THAT(fake.messageBoxes, IsEmpty());
    EXPECT_THAT(fake.LogOf(L"Launch"), IsEmpty());
    EXPECT_FALSE(fake.visible[Control::cmdInstall0]);
    EXPECT_TRUE(fake.visible[Control::cmdInstall2]);
    EXPECT_EQ(fake.label, L"\r\n資料庫正常連線\r\n不需要安裝 Access Database Engine");
}

TEST_P(EarlyInstallClick, StartsTheInstallationOnceTheStagingIsDoneWhenTheProbeFails) {
    fake.openError = PlatformError{3706, L"找不到提供者。"};
    fake.environment[L"TMP"] = L"C:\\Temp";
    fake.files[L"C:\\Tools\\ade.exe"] = "x86";
    fake.OnProcessEvents(GetParam(), [this] {
        form.cmdInstall_Click(0);
        form.cmdInstall_Click(0);
    });
    EXPECT_FALSE(Load());
    EXPECT_THAT(fake.messageBoxes, IsEmpty());
    EXPECT_THAT(fake.LogOf(L"Launch"),
                ElementsAre(L"LaunchCommandLine(C:\\Temp\\ade.exe|\"C:\\Temp\\ade.exe\" /passive|1)"));
    EXPECT_FALSE(fake.visible[Control::cmdInstall0]);
    EXPECT_TRUE(fake.timerEnabled[Timer::tmrEnd]);
}

INSTANTIATE_TEST_SUITE_P(EachProcessingOfTheLoad, EarlyInstallClick, ::testing::Values(1, 2));

}  // namespace
}  // namespace pruvolt::test
