// Staging after a failed probe: which installer, where it goes, and what a failed copy shows.
#include "tests/unit/FormHarness.h"

namespace pruvolt::test {
namespace {

using ::testing::ElementsAre;

class Staging : public FormTest {
   protected:
    Staging() {
        fake.openError = PlatformError{-2147467259, L"probe"};
        fake.environment[L"TMP"] = L"C:\\Temp";
        fake.files[L"C:\\Tools\\ade.exe"] = "x86";
        fake.files[L"C:\\Tools\\ade64.exe"] = "x64";
    }
};

struct Wow64Case {
    ProcAddress isWow64Address;
    std::int32_t flag;
    const wchar_t* name;
};

class InstallerChoice : public Staging, public ::testing::WithParamInterface<Wow64Case> {};

TEST_P(InstallerChoice, FollowsTheWow64Flag) {
    fake.isWow64Address = GetParam().isWow64Address;
    fake.wow64Flag = GetParam().flag;
    EXPECT_FALSE(Load());
    const std::wstring name = GetParam().name;
    EXPECT_EQ(mdlCommon::strSetupSource, L"C:\\Tools" + name);
    EXPECT_EQ(mdlCommon::strSetupFile, L"C:\\Temp" + name);
    EXPECT_EQ(fake.files[L"C:\\Temp" + name], fake.files[L"C:\\Tools" + name]);
    EXPECT_THAT(fake.procNamesLookedUp, ElementsAre("kernel32!IsWow64Process"));
    EXPECT_EQ(fake.LogOf(L"IsWow64Process").size(), GetParam().isWow64Address ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Flags, InstallerChoice,
                         ::testing::Values(Wow64Case{0x7c801234, 0, L"\\ade.exe"},
                                           Wow64Case{0x7c801234, 1, L"\\ade64.exe"},
                                           Wow64Case{0x7c801234, 0x7fffffff, L"\\ade64.exe"},
                                           Wow64Case{0x7c801234, -1, L"\\ade64.exe"},
                                           // A Windows without IsWow64Process: never called.
                                           Wow64Case{0, 1, L"\\ade.exe"}));

struct PathCase {
    std::optional<std::wstring> tmp;  // empty: TMP is not set
    std::wstring programFolder;
    std::wstring source, staged;
};

class StagingPaths : public Staging, public ::testing::WithParamInterface<PathCase> {};

TEST_P(StagingPaths, JoinFoldersAndNameUnchanged) {
    const PathCase& c = GetParam();
    fake.environment.erase(L"TMP");
    if (c.tmp) fake.environment[L"TMP"] = *c.tmp;
    fake.programFolder = c.programFolder;
    fake.files[c.source] = "x86";
    EXPECT_FALSE(Load());
    EXPECT_EQ(mdlCommon::strTempFolder, c.tmp.value_or(fake.tempFolder));
    EXPECT_EQ(mdlCommon::strSetupSource, c.source);
    EXPECT_EQ(mdlCommon::strSetupFile, c.staged);
    EXPECT_THAT(fake.LogOf(L"CopyAndHold"),
                ElementsAre(L"CopyAndHold(" + c.source + L"|" + c.staged + L")"));
}

INSTANTIATE_TEST_SUITE_P(
    Folders, StagingPaths,
    // Without TMP, the folder the system names for temporary files, never the drive's root.
    ::testing::Values(PathCase{std::nullopt, L"C:\\Tools", L"C:\\Tools\\ade.exe",
                               L"C:\\Users\\me\\AppData\\Local\\Temp\\ade.exe"},
                      PathCase{L"C:\\Temp\\", L"C:\\Tools", L"C:\\Tools\\ade.exe",
                               L"C:\\Temp\\\\ade.exe"},
                      PathCase{L"C:\\Temp", L"D:\\", L"D:\\\\ade.exe", L"C:\\Temp\\ade.exe"},
                      PathCase{L"C:\\Users\\王 小明\\Temp", L"C:\\Tools", L"C:\\Tools\\ade.exe",
                               L"C:\\Users\\王 小明\\Temp\\ade.exe"}));

TEST_F(Staging, ReadsTmpOnlyNeverTemp) {
    fake.environment.erase(L"TMP");
    fake.environment[L"TEMP"] = L"C:\\Other";
    EXPECT_FALSE(Load());
    EXPECT_THAT(fake.LogOf(L"EnvironmentVariable"), ElementsAre(L"EnvironmentVariable(TMP)"));
    EXPECT_EQ(mdlCommon::strSetupFile, fake.tempFolder + L"\\ade.exe");
}

TEST_F(Staging, OlderStagedCopyIsReplacedWhenTheSourceExists) {
    fake.files[L"C:\\Temp\\ade.exe"] = "old";
    EXPECT_FALSE(Load());
    EXPECT_EQ(fake.files[L"C:\\Temp\\ade.exe"], "x86");
}

TEST_F(Staging, OlderStagedCopyStaysWhenTheSourceIsMissing) {
    fake.files.erase(L"C:\\Tools\\ade.exe");
    fake.files[L"C:\\Temp\\ade.exe"] = "old";
    EXPECT_FALSE(Load());
    EXPECT_EQ(fake.files[L"C:\\Temp\\ade.exe"], "old");
    EXPECT_TRUE(fake.LogOf(L"CopyAndHold").empty());
    EXPECT_EQ(fake.label, L"錯誤代碼 (-2147467259)\r\n回報內容：probe");
}

TEST_F(Staging, CopyFailureReplacesTheProbeReportAndKeepsTheOffer) {
    fake.copyError = PlatformError{70, L"沒有使用權限"};
    EXPECT_FALSE(Load());
    EXPECT_EQ(fake.label, L"錯誤代碼 (70)\r\n回報內容：沒有使用權限");
    EXPECT_EQ(fake.log.back(), L"ProcessPendingEvents");
    EXPECT_TRUE(fake.visible[Control::cmdInstall0]);
    EXPECT_TRUE(fake.visible[Control::cmdInstall2]);
    EXPECT_EQ(fake.LogOf(L"CopyAndHold").size(), 1u);
    EXPECT_EQ(mdlCommon::strTempFolder, L"C:\\Temp");
    EXPECT_EQ(mdlCommon::strSetupSource, L"C:\\Tools\\ade.exe");
    EXPECT_EQ(mdlCommon::strSetupFile, L"C:\\Temp\\ade.exe");
}

TEST_F(Staging, WithoutTheFileSystemObjectTheFileSystemAnswersAndTheInstallStarts) {
    fake.createFileSystemError = PlatformError{429, L"ActiveX 元件無法產生物件"};
    EXPECT_FALSE(Load());
    EXPECT_EQ(fake.label, L"錯誤代碼 (-2147467259)\r\n回報內容：probe");
    EXPECT_EQ(fake.files[L"C:\\Temp\\ade.exe"], "x86");
    EXPECT_FALSE(Click(0));
    EXPECT_THAT(fake.messageBoxes, ::testing::IsEmpty());
    EXPECT_EQ(fake.LogOf(L"LaunchCommandLine").size(), 1u);
    // Nor is a missing installer taken for a present one.
    fake.files.erase(L"C:\\Tools\\ade.exe");
    EXPECT_FALSE(mdlCommon::FileExist(fake, L"C:\\Tools\\ade.exe"));
}

}  // namespace
}  // namespace pruvolt::test
