// The switches for scripts: how the command line is read, /check, the repair sequence and its exit
// codes, and the usage. None of them may touch the window.
#include <new>
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
        // Jet 4.0 as Windows registers it: a machine on which the diagnosis finds nothing.
        fake.SetMachineString(RegistryView::Bits32,
                              L"SOFTWARE\\Classes\\Microsoft.Jet.OLEDB.4.0\\CLSID", L"",
                              L"{dee35070-506b-11cf-b1aa-00aa00b8de95}");
        fake.SetMachineString(RegistryView::Bits32,
                              L"SOFTWARE\\Classes\\CLSID\\{dee35070-506b-11cf-b1aa-00aa00b8de95}\\InprocServer32",
                              L"", L"C:\\Windows\\System32\\msjetoledb40.dll");
        fake.files[L"C:\\Windows\\System32\\msjetoledb40.dll"] = "jet";
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
        {{L"xcheck"}, Switch::Usage},     {{L"+repair"}, Switch::Usage},
        {{L"/chec"}, Switch::Usage},      {{L"--check"}, Switch::Usage},
        {{L"/"}, Switch::Usage},          {{L""}, Switch::Usage},
        {{L"/check", L"/repair"}, Switch::Usage}, {{L"/repair", L"x"}, Switch::Usage},
        {{L"-DIAGNOSE"}, Switch::Diagnose},       {{L"/diagnose", L"-Json"}, Switch::DiagnoseJson},
        {{L"/json"}, Switch::Usage},              {{L"/json", L"/diagnose"}, Switch::Usage},
        {{L"/check", L"/json"}, Switch::Usage},   {{L"/diagnose", L"/json", L"x"}, Switch::Usage},
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

// A number of 0 (a control-facility code with no number of its own) is still a failure.
TEST_F(Switches, CheckFailureExitsWithTheErrorNumbersThirtyTwoBitsNeverZero) {
    const struct {
        std::int32_t number;
        std::uint32_t exitCode;
        const wchar_t* firstLine;
    } rows[] = {{3709, 3709u, L"錯誤代碼 (3709)"},
                {-2147467259, 2147500037u, L"錯誤代碼 (-2147467259)"},
                {0, 1u, L"錯誤代碼 (0)"}};
    for (const auto& row : rows) {
        fake.output.clear();
        fake.openError = PlatformError{row.number, L"第一行\r\n第二行"};
        EXPECT_EQ(Run({L"/check"}), row.exitCode);
        EXPECT_THAT(fake.output, ElementsAre(row.firstLine, L"回報內容：第一行", L"第二行"));
    }
    EXPECT_THAT(fake.LogOf(L"CopyAndHold"), IsEmpty());
}

// The copy is made in a folder of the run's own, never in TMP, where anybody may have put a file of
// that name first; the folder goes, with the copy, when the run ends.
TEST_F(Switches, RepairStagesInItsOwnFolderRunsTheInstallerQuietWaitsProbesAgainAndCleansUp) {
    fake.tempFolder = L"C:\\My Temp";
    fake.files[L"C:\\Temp\\ade.exe"] = "waiting in TMP";
    fake.openError = PlatformError{3706, L"找不到提供者。"};
    fake.whileInstallerRuns = [this] {
        EXPECT_THAT(fake.heldCopies, ElementsAre(L"C:\\My Temp\\Pruvolt-1\\ade.exe"));
        fake.openError.reset();
    };
    EXPECT_EQ(Run({L"/repair"}), 0u);
    const std::wstring staged = L"C:\\My Temp\\Pruvolt-1\\ade.exe";
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
                            L"CreatePrivateFolder(C:\\My Temp\\Pruvolt-1)",
                            L"CopyAndHold(C:\\Tools\\ade.exe|" + staged + L")",
                            L"WriteOutputLine(已將安裝程式 C:\\Tools\\ade.exe 複製到 " + staged + L")",
                            L"Verify(" + staged + L"|C:\\Tools\\ade.exe)",
                            L"VerifySignature(" + staged + L")",
                            L"WriteOutputLine(啟動安裝程式並等候結束：\"" + staged + L"\" /quiet /norestart)",
                            // In its own folder, TMP and TEMP inside it.
                            L"RunAndWait(" + staged + L"|\"" + staged +
                                L"\" /quiet /norestart|1|1800000|C:\\My Temp\\Pruvolt-1|"
                                L"C:\\My Temp\\Pruvolt-1\\Temp)",
                            L"WriteOutputLine(安裝程式已結束，結束代碼 0)", L"Open",
                            L"WriteOutputLine(資料庫正常連線)",
                            L"WriteOutputLine(不需要安裝 Access Database Engine)",
                            L"RemovePrivateFolder(C:\\My Temp\\Pruvolt-1)"));
    EXPECT_THAT(fake.heldCopies, IsEmpty());
    EXPECT_THAT(fake.privateFolders, IsEmpty());
    EXPECT_FALSE(fake.files.contains(staged));
    EXPECT_EQ(fake.files[L"C:\\Temp\\ade.exe"], "waiting in TMP");
}

struct RepairCase {
    bool previousInstance = false;
    bool probeFails = true;
    bool sourceMissing = false;
    std::optional<PlatformError> folderError = std::nullopt, copyError = std::nullopt,
                                 runError = std::nullopt;
    std::uint32_t installerExit = 0;
    bool installerOutlivesLimit = false;
    bool changedBeforeTheRun = false;
    std::optional<PlatformError> signatureError = std::nullopt;
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
    fake.privateFolderError = c.folderError;
    fake.copyError = c.copyError;
    fake.runError = c.runError;
    fake.installerExitCode = c.installerExit;
    fake.installerOutlivesLimit = c.installerOutlivesLimit;
    fake.signatureError = c.signatureError;
    if (c.changedBeforeTheRun) {
        // Whatever copies itself over the staged file is caught before the installer runs.
        fake.whileWriting = [this](const std::wstring& line) {
            if (line.starts_with(L"已將安裝程式")) fake.files[L"C:\\Users\\me\\AppData\\Local\\Temp\\Pruvolt-1\\ade.exe"] = "?";
        };
    }
    fake.whileInstallerRuns = [this, &c] { fake.openError = c.secondProbeError; };
    EXPECT_EQ(Run({L"-REPAIR"}), c.exitCode);
    ASSERT_FALSE(fake.output.empty());
    EXPECT_EQ(fake.output.back(), c.lastLine);
    if (c.changedBeforeTheRun || c.signatureError) {
        EXPECT_THAT(fake.LogOf(L"RunAndWait"), IsEmpty());
    }
    EXPECT_THAT(fake.privateFolders, IsEmpty());
    // What earlier runs left goes at every run that holds the lock, whatever the probe says.
    EXPECT_EQ(fake.leftoverCleanups, c.previousInstance ? 0 : 1);
}

const PlatformError kBadFormat{-2147024703, L"不是有效的 Win32 應用程式。"};
const std::wstring kRestartLine = L"安裝程式要求重新開機，重新開機後安裝才會完成";

INSTANTIATE_TEST_SUITE_P(
    Outcomes, RepairExit,
    ::testing::Values(
        RepairCase{.previousInstance = true, .exitCode = 1618,
                   .lastLine = L"另一個 Pruvolt 正在執行 (視窗或 /repair)，本次不修復"},
        RepairCase{.probeFails = false, .exitCode = 0, .lastLine = kSuccessLines[1]},
        RepairCase{.sourceMissing = true, .exitCode = 2, .lastLine = L"找不到安裝程式：C:\\Tools\\ade.exe"},
        RepairCase{.folderError = PlatformError{-2147024891, L"存取被拒。"}, .exitCode = 2147942405u,
                   .lastLine = L"回報內容：存取被拒。"},
        RepairCase{.copyError = PlatformError{-2147024784, L"磁碟已滿。"}, .exitCode = 2147942512u,
                   .lastLine = L"回報內容：磁碟已滿。"},
        RepairCase{.changedBeforeTheRun = true, .exitCode = 2147942405u,
                   .lastLine = L"回報內容：staged copy changed"},
        // Not Microsoft's, whatever the reason: one code, and the reason on the line.
        RepairCase{.signatureError = PlatformError{-2146762748, L"它的數位簽章不是 Microsoft Corporation 的"},
                   .exitCode = 577,
                   .lastLine = L"不啟動安裝程式 C:\\Users\\me\\AppData\\Local\\Temp\\Pruvolt-1\\ade.exe："
                               L"它的數位簽章不是 Microsoft Corporation 的"},
        RepairCase{.runError = PlatformError{static_cast<std::int32_t>(0x800702E4), L"需要提升權限。"},
                   .exitCode = 740,
                   .lastLine = L"安裝程式需要系統管理員權限，無人值守執行無法回應權限提示：請以系統管理員身分執行 /repair"},
        RepairCase{.runError = kBadFormat, .exitCode = 2147942593u,
                   .lastLine = L"回報內容：不是有效的 Win32 應用程式。"},
        RepairCase{.installerOutlivesLimit = true, .exitCode = 1460,
                   .lastLine = L"安裝程式執行超過 30 分鐘仍未結束，不再等候 (安裝程式仍在執行)"},
        RepairCase{.installerExit = 1603, .secondProbeError = PlatformError{3706, L"仍然失敗"},
                   .exitCode = 1603, .lastLine = L"回報內容：仍然失敗"},
        RepairCase{.installerExit = 0, .secondProbeError = PlatformError{-2147467259, L"仍然失敗"},
                   .exitCode = 2147500037u, .lastLine = L"回報內容：仍然失敗"},
        // An error numbered 0 is a failure all the same.
        RepairCase{.installerExit = 0, .secondProbeError = PlatformError{0, L"仍然失敗"},
                   .exitCode = 1, .lastLine = L"回報內容：仍然失敗"},
        // A restart to come is passed on, whatever the second probe says.
        RepairCase{.installerExit = 3010, .exitCode = 3010, .lastLine = kRestartLine},
        RepairCase{.installerExit = 3010, .secondProbeError = PlatformError{3706, L"仍然失敗"},
                   .exitCode = 3010, .lastLine = kRestartLine},
        RepairCase{.installerExit = 1641, .secondProbeError = PlatformError{3706, L"仍然失敗"},
                   .exitCode = 1641, .lastLine = kRestartLine}));

// Elevated, the program trusts none of its own files that another account can change, nor a
// .local beside it: each switch says which and why, exits 1625, and opens and starts nothing.
TEST_F(Switches, AnElevatedRunRefusesFilesThatAnotherAccountCanChangeBeforeItProbes) {
    const std::wstring me = fake.runningAccount, users = L"S-1-5-11";
    const ObjectSecurity sound{L"S-1-5-32-544", false, {{true, false, 0x001F01FFu, L"S-1-5-18"},
                                                       {true, false, 0x001200A9u, users}}};
    const ObjectSecurity writable{L"S-1-5-32-544", false, {{true, false, 0x001301BFu, users}}};
    const struct {
        std::wstring path;
        ObjectSecurity security;
        std::wstring line;
    } rows[] = {
        {L"C:\\Tools", writable,
         L"C:\\Tools 可由其他帳戶 (S-1-5-11) 更改；以系統管理員或 SYSTEM 身分執行時不予測試也不安裝："
         L"請安裝在 Program Files 之下，或以 icacls 移除繼承的權限 (見 README)"},
        {L"C:\\Tools\\testdb.mdb", writable, L""},
        {L"C:\\Tools\\ade.exe", {L"S-1-5-21-9-9-9-1002", false, {}}, L""},
        {L"C:\\Tools\\pruvolt.exe.local", sound,
         L"C:\\Tools\\pruvolt.exe.local 存在，它會改變本程式載入的 DLL；以系統管理員或 SYSTEM "
         L"身分執行時不予測試也不安裝：請刪除它"},
    };
    for (const auto& row : rows) {
        for (const wchar_t* argument : {L"/check", L"/repair", L"/diagnose"}) {
            fake.log.clear();
            fake.output.clear();
            fake.elevated = true;
            fake.security.clear();
            for (const wchar_t* path : {L"C:\\Tools", L"C:\\Tools\\pruvolt.exe", L"C:\\Tools\\testdb.mdb",
                                        L"C:\\Tools\\ade.exe"}) {
                fake.security[path] = sound;
            }
            fake.security[row.path] = row.security;
            EXPECT_EQ(Run({argument}), 1625u) << argument;
            ASSERT_FALSE(fake.output.empty());
            EXPECT_TRUE(fake.output[0].starts_with(row.path + L" ")) << fake.output[0];
            if (!row.line.empty()) {
                EXPECT_EQ(fake.output[0], row.line);
            }
            EXPECT_THAT(fake.LogOf(L"CreateRecordset"), IsEmpty());
            EXPECT_THAT(fake.LogOf(L"CreatePrivateFolder"), IsEmpty());
            EXPECT_THAT(fake.LogOf(L"RunAndWait"), IsEmpty());
        }
    }
    // Not elevated, the same files are the user's own business: the probe runs.
    fake.elevated = false;
    EXPECT_EQ(Run({L"/check"}), 0u);
    // Elevated, with every file sound, it runs too.
    fake.elevated = true;
    fake.security.erase(L"C:\\Tools\\pruvolt.exe.local");
    fake.security[L"C:\\Tools\\ade.exe"] = sound;
    fake.output.clear();
    EXPECT_EQ(Run({L"/check"}), 0u);
    EXPECT_EQ(fake.output, kSuccessLines);
}

// /diagnose /json: the refusal is the first finding, with its code, and stands in the probe's place.
TEST_F(Switches, AnElevatedDiagnosisReportsTheRefusalAsAFindingWithoutProbing) {
    fake.elevated = true;
    fake.security[L"C:\\Tools"] = {L"S-1-5-32-544", false, {{true, false, 0x001301FFu, L"S-1-1-0"}}};
    EXPECT_EQ(Run({L"/diagnose", L"/json"}), 1625u);
    ASSERT_EQ(fake.output.size(), 1u);
    const std::wstring& json = fake.output[0];
    EXPECT_TRUE(json.starts_with(L"{\"probe\":{\"ok\":false,\"number\":1625,")) << json;
    EXPECT_NE(json.find(L"\"findings\":[{\"code\":\"program-folder-writable\",\"text\":\"C:\\\\Tools "),
              std::wstring::npos);
    EXPECT_THAT(fake.LogOf(L"CreateRecordset"), IsEmpty());
}

// What escapes the run, whatever it is, gives its line and a failure's code.
TEST_F(Switches, AnErrorThatEscapesTheRunIsWrittenAndNeverExitsZero) {
    fake.openError = PlatformError{3706, L"找不到提供者。"};
    fake.whileInstallerRuns = [] { throw std::bad_alloc(); };
    EXPECT_EQ(Run({L"/repair"}), 0x8007000Eu);
    EXPECT_EQ(fake.output.back(), L"執行階段錯誤 (-2147024882)");
    EXPECT_THAT(fake.privateFolders, IsEmpty());
}

TEST_F(Switches, AnythingElseWritesTheUsageAndExits87WithoutProbing) {
    EXPECT_EQ(Run({L"/install"}), 87u);
    ASSERT_FALSE(fake.output.empty());
    EXPECT_TRUE(fake.output[0].starts_with(L"用法：pruvolt.exe [/check | /repair | /diagnose [/json]]"));
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

// In a service's session nobody could dismiss the box, and the tool that started us would wait.
TEST_F(Switches, UsageWhereNobodyCanSeeItOnlyExits87) {
    fake.hasOutput = false;
    fake.interactive = false;
    EXPECT_EQ(Run({L"/chek"}), 87u);
    EXPECT_THAT(fake.messageBoxes, IsEmpty());
}

}  // namespace
}  // namespace pruvolt::test
