// The switches for scripts: how the command line is read, /check, the repair sequence and its exit
// codes, and the usage. None of them may touch the window.
#include <string>
#include <vector>

#include "modules/mdlCommandLine.h"
#include "tests/unit/FormHarness.h"

namespace pruvolt::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using mdlCommandLine::Switch;

const std::vector<std::wstring> kSuccessLines{L"資料庫正常連線", L"不需要安裝 Access Database Engine"};

class Switches : public FormTest {
   protected:
    Switches() {
        fake.environment[L"TMP"] = L"C:\\Temp";
        fake.files[L"C:\\Tools\\ade.exe"] = "x86";
    }

    // Runs the program with the arguments; the window is never touched.
    std::uint32_t Run(std::vector<std::wstring> arguments) {
        fake.arguments = std::move(arguments);
        const std::uint32_t code = mdlCommandLine::RunSwitch(fake, fake.CommandLineArguments());
        for (const auto& entry : fake.log) {
            for (const wchar_t* windowStep :
                 {L"SetWindow", L"ShowWindow", L"ProcessPendingEvents", L"SetLabelText", L"SetVisible",
                  L"SetControlLeft", L"SetTimerEnabled", L"EndProgram"}) {
                EXPECT_FALSE(entry.starts_with(windowStep)) << "window step " << entry;
            }
        }
        return code;
    }
};

TEST(ReadSwitch, OneSwitchInAnyCaseWithSlashOrDashElseUsage) {
    const std::vector<std::pair<std::vector<std::wstring>, Switch>> rows{
        {{L"/check"}, Switch::Check},     {{L"-CHECK"}, Switch::Check},
        {{L"/Repair"}, Switch::Repair},   {{L"-repair"}, Switch::Repair},
        {{L"check"}, Switch::Usage},      {{L"/checks"}, Switch::Usage},
        {{L"/chec"}, Switch::Usage},      {{L"--check"}, Switch::Usage},
        {{L"/"}, Switch::Usage},          {{L""}, Switch::Usage},
        {{L"/check", L"/repair"}, Switch::Usage}, {{L"/repair", L"x"}, Switch::Usage},
    };
    for (const auto& [arguments, expected] : rows) {
        // GoogleTest prints wide strings itself; a narrowing copy of their characters would not
        // compile cleanly with MSVC (a warning on every wchar_t it narrows).
        SCOPED_TRACE(testing::PrintToString(arguments));
        EXPECT_EQ(mdlCommandLine::ReadSwitch(arguments), expected);
    }
}

TEST_F(Switches, CheckSuccessWritesTheLabelsLinesAndExitsZeroWithoutLockOrStaging) {
    EXPECT_EQ(Run({L"/check"}), 0u);
    EXPECT_EQ(fake.output, kSuccessLines);
    EXPECT_THAT(fake.LogOf(L"Open("),
                ElementsAre(L"Open(select * from testdata|"
                            L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\Tools\\testdb.mdb;)"));
    EXPECT_THAT(fake.LogOf(L"PreviousInstanceRunning"), IsEmpty());
    EXPECT_THAT(fake.LogOf(L"EnvironmentVariable"), IsEmpty());
}

TEST_F(Switches, CheckFailureExitsWithTheErrorNumbersThirtyTwoBits) {
    const struct {
        std::int32_t number;
        std::uint32_t exitCode;
        const wchar_t* firstLine;
    } rows[] = {{3709, 3709u, L"錯誤代碼 (3709)"},
                {-2147467259, 2147500037u, L"錯誤代碼 (-2147467259)"}};
    for (const auto& row : rows) {
        fake.output.clear();
        fake.openError = PlatformError{row.number, L"第一行\r\n第二行"};
        EXPECT_EQ(Run({L"/check"}), row.exitCode);
        EXPECT_THAT(fake.output, ElementsAre(row.firstLine, L"回報內容：第一行", L"第二行"));
    }
    EXPECT_THAT(fake.LogOf(L"CopyFileTo"), IsEmpty());
}

TEST_F(Switches, RepairStagesRunsTheInstallerQuietWaitsAndProbesAgain) {
    fake.environment[L"TMP"] = L"C:\\My Temp";
    fake.openError = PlatformError{3706, L"找不到提供者。"};
    fake.whileInstallerRuns = [this] { fake.openError.reset(); };
    EXPECT_EQ(Run({L"/repair"}), 0u);
    const std::wstring staged = L"C:\\My Temp\\ade.exe";
    std::vector<std::wstring> steps;
    for (const auto& entry : fake.log) {
        if (!entry.starts_with(L"FileExists") && !entry.starts_with(L"Environment") &&
            !entry.starts_with(L"IsWow64") && !entry.starts_with(L"GetVersion") &&
            !entry.starts_with(L"CreateRecordset") && !entry.starts_with(L"Open("))
            steps.push_back(entry);
        else if (entry.starts_with(L"Open("))
            steps.push_back(L"Open");
    }
    EXPECT_THAT(steps,
                ElementsAre(L"PreviousInstanceRunning", L"Open", L"WriteOutputLine(錯誤代碼 (3706))",
                            L"WriteOutputLine(回報內容：找不到提供者。)",
                            L"CopyFileTo(C:\\Tools\\ade.exe|" + staged + L")",
                            L"WriteOutputLine(已將安裝程式 C:\\Tools\\ade.exe 複製到 " + staged + L")",
                            L"WriteOutputLine(啟動安裝程式並等候結束：\"" + staged + L"\" /quiet)",
                            L"RunAndWait(" + staged + L"|\"" + staged + L"\" /quiet|1)",
                            L"WriteOutputLine(安裝程式已結束，結束代碼 0)", L"Open",
                            L"WriteOutputLine(資料庫正常連線)",
                            L"WriteOutputLine(不需要安裝 Access Database Engine)"));
}

struct RepairCase {
    bool previousInstance = false;
    bool probeFails = true;
    bool sourceMissing = false;
    std::optional<PlatformError> copyError = std::nullopt, runError = std::nullopt;
    std::uint32_t installerExit = 0;
    std::optional<PlatformError> secondProbeError = std::nullopt;
    std::uint32_t exitCode = 0;
    std::wstring lastLine = L"";
};

class RepairExit : public Switches, public ::testing::WithParamInterface<RepairCase> {};

TEST_P(RepairExit, IsTheFirstFailureThatDecides) {
    const RepairCase& c = GetParam();
    fake.previousInstance = c.previousInstance;
    if (c.probeFails) fake.openError = PlatformError{3706, L"找不到提供者。"};
    if (c.sourceMissing) fake.files.clear();
    fake.copyError = c.copyError;
    fake.runError = c.runError;
    fake.installerExitCode = c.installerExit;
    fake.whileInstallerRuns = [this, &c] { fake.openError = c.secondProbeError; };
    EXPECT_EQ(Run({L"-REPAIR"}), c.exitCode);
    ASSERT_FALSE(fake.output.empty());
    EXPECT_EQ(fake.output.back(), c.lastLine);
}

const PlatformError kBadFormat{-2147024703, L"不是有效的 Win32 應用程式。"};

INSTANTIATE_TEST_SUITE_P(
    Outcomes, RepairExit,
    ::testing::Values(
        RepairCase{.previousInstance = true, .exitCode = 183,
                   .lastLine = L"另一個 Pruvolt 正在執行 (視窗或 /repair)，本次不修復"},
        RepairCase{.probeFails = false, .exitCode = 0, .lastLine = kSuccessLines[1]},
        RepairCase{.sourceMissing = true, .exitCode = 2, .lastLine = L"找不到安裝程式：C:\\Tools\\ade.exe"},
        RepairCase{.copyError = PlatformError{-2147024784, L"磁碟已滿。"}, .exitCode = 2147942512u,
                   .lastLine = L"回報內容：磁碟已滿。"},
        RepairCase{.runError = PlatformError{static_cast<std::int32_t>(0x800702E4), L"需要提升權限。"},
                   .exitCode = 740,
                   .lastLine = L"安裝程式需要系統管理員權限，無人值守執行無法回應權限提示：請以系統管理員身分執行 /repair"},
        RepairCase{.runError = kBadFormat, .exitCode = 2147942593u,
                   .lastLine = L"回報內容：不是有效的 Win32 應用程式。"},
        RepairCase{.installerExit = 1603, .secondProbeError = PlatformError{3706, L"仍然失敗"},
                   .exitCode = 1603, .lastLine = L"回報內容：仍然失敗"},
        RepairCase{.installerExit = 0, .secondProbeError = PlatformError{-2147467259, L"仍然失敗"},
                   .exitCode = 2147500037u, .lastLine = L"回報內容：仍然失敗"},
        RepairCase{.installerExit = 3010, .exitCode = 0, .lastLine = kSuccessLines[1]}));

TEST_F(Switches, AnythingElseWritesTheUsageAndExits87WithoutProbing) {
    EXPECT_EQ(Run({L"/install"}), 87u);
    ASSERT_FALSE(fake.output.empty());
    EXPECT_TRUE(fake.output[0].starts_with(L"用法：pruvolt.exe [/check | /repair]"));
    EXPECT_THAT(fake.messageBoxes, IsEmpty());
    EXPECT_THAT(fake.LogOf(L"CreateRecordset"), IsEmpty());
}

TEST_F(Switches, UsageWithNowhereToWriteIsAMessageBoxWithTheWindowsCaption) {
    fake.hasOutput = false;
    fake.caption = L"not read: there is no window";
    EXPECT_EQ(Run({L"/check", L"/repair"}), 87u);
    EXPECT_THAT(fake.output, IsEmpty());
    ASSERT_EQ(fake.messageBoxes.size(), 1u);
    EXPECT_EQ(fake.messageBoxes[0].title, L"Pruvolt & Installer");
    EXPECT_EQ(fake.messageBoxes[0].buttons, 0x1030u);
    EXPECT_TRUE(fake.messageBoxes[0].prompt.starts_with(L"用法："));
}

}  // namespace
}  // namespace pruvolt::test
