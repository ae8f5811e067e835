// The version text and the probe's connection string chosen from it.
#include <algorithm>

#include "modules/mdlShell.h"
#include "tests/unit/FormHarness.h"

namespace pruvolt::test {
namespace {

const std::wstring kOdbc =
    L"Driver={Microsoft Access Driver (*.mdb, *.accdb)};DBQ=C:\\Tools\\testdb.mdb;";
const std::wstring kOleDb = L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\Tools\\testdb.mdb;";

struct VersionCase {
    std::optional<OsVersionInfoA> reported;  // empty: the query fails
    std::wstring text;
    std::wstring connection;
};

class WindowsVersion : public FormTestWithParam<VersionCase> {};

TEST_P(WindowsVersion, SelectsOdbcOnlyForExactly261) {
    fake.version = GetParam().reported;
    EXPECT_EQ(mdlShell::GetWindowsVersion(fake), GetParam().text);
    mdlCommon::SetConnectionString(fake);
    EXPECT_EQ(mdlCommon::strConnection, GetParam().connection);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, WindowsVersion,
    ::testing::Values(VersionCase{OsVersionInfoA{148, 6, 1, 7601, 2, "Service Pack 1"}, L"2.6.1",
                                  kOdbc},
                      VersionCase{OsVersionInfoA{148, 6, 1, 0, 2, ""}, L"2.6.1", kOdbc},
                      VersionCase{OsVersionInfoA{148, 6, 0, 6002, 2, ""}, L"2.6.0", kOleDb},
                      VersionCase{OsVersionInfoA{148, 5, 1, 2600, 2, ""}, L"2.5.1", kOleDb},
                      VersionCase{OsVersionInfoA{148, 6, 2, 9200, 2, ""}, L"2.6.2", kOleDb},
                      VersionCase{OsVersionInfoA{148, 6, 1, 7601, 1, ""}, L"1.6.1", kOleDb},
                      VersionCase{OsVersionInfoA{148, 6, 10, 1, 2, ""}, L"2.6.10", kOleDb},
                      VersionCase{std::nullopt, L"0.0.0", kOleDb}));

TEST_F(FormTest, VersionRecordIsSizedZeroedAndBlankFilled) {
    mdlShell::GetWindowsVersion(fake);
    ASSERT_EQ(fake.versionRecordsPassed.size(), 1u);
    const OsVersionInfoA& passed = fake.versionRecordsPassed[0];
    EXPECT_EQ(passed.dwOSVersionInfoSize, 148u);
    EXPECT_EQ(
        passed.dwMajorVersion | passed.dwMinorVersion | passed.dwBuildNumber | passed.dwPlatformId,
        0u);
    EXPECT_TRUE(std::all_of(std::begin(passed.szCSDVersion), std::end(passed.szCSDVersion),
                            [](char c) { return c == ' '; }));
}

class ProgramFolder : public FormTestWithParam<std::pair<std::wstring, std::wstring>> {};

TEST_P(ProgramFolder, IsInsertedUnchanged) {
    fake.programFolder = GetParam().first;
    mdlCommon::SetConnectionString(fake);
    EXPECT_EQ(mdlCommon::strConnection, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, ProgramFolder,
    ::testing::Values(std::pair{L"D:\\",
                                L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=D:\\\\testdb.mdb;"},
                      std::pair{L"C:\\Program Files\\測試 工具",
                                L"Provider=Microsoft.Jet.OLEDB.4.0;"
                                L"Data Source=C:\\Program Files\\測試 工具\\testdb.mdb;"}));

}  // namespace
}  // namespace pruvolt::test
