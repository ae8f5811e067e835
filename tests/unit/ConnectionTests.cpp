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

struct FolderCase {
    std::wstring folder;
    std::wstring database;  // as both strings name it
    std::wstring odbcDatabase;  // when it differs in the ODBC string
};

class ProgramFolder : public FormTestWithParam<FolderCase> {};

TEST_P(ProgramFolder, KeepsTheWholePathAndOnlyQuotesWhereTheGrammarNeedsIt) {
    const FolderCase& c = GetParam();
    fake.programFolder = c.folder;
    mdlCommon::SetConnectionString(fake);
    EXPECT_EQ(mdlCommon::strConnection,
              L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + c.database + L";");
    fake.version = OsVersionInfoA{148, 6, 1, 7601, 2, ""};
    mdlCommon::SetConnectionString(fake);
    EXPECT_EQ(mdlCommon::strConnection,
              L"Driver={Microsoft Access Driver (*.mdb, *.accdb)};DBQ=" +
                  (c.odbcDatabase.empty() ? c.database : c.odbcDatabase) + L";");
}

INSTANTIATE_TEST_SUITE_P(
    Folders, ProgramFolder,
    ::testing::Values(
        // Inserted unchanged: a drive root's own separator, blanks, characters beyond ASCII,
        // and characters that are ordinary inside a value of both grammars.
        FolderCase{L"D:\\", L"D:\\\\testdb.mdb", L""},
        FolderCase{L"C:\\Program Files\\測試 工具", L"C:\\Program Files\\測試 工具\\testdb.mdb", L""},
        FolderCase{L"C:\\A=B,C'D (x) [y] !@", L"C:\\A=B,C'D (x) [y] !@\\testdb.mdb", L""},
        // A semicolon would end the value: quoted in OLE DB, braced in ODBC.
        FolderCase{L"C:\\Tools;Old\\Pruvolt", L"\"C:\\Tools;Old\\Pruvolt\\testdb.mdb\"",
                   L"{C:\\Tools;Old\\Pruvolt\\testdb.mdb}"},
        // Braces are ODBC's own: braced there, a closing one doubled; plain in OLE DB.
        FolderCase{L"C:\\{x}", L"C:\\{x}\\testdb.mdb", L"{C:\\{x}}\\testdb.mdb}"},
        FolderCase{L"C:\\a;}b", L"\"C:\\a;}b\\testdb.mdb\"", L"{C:\\a;}}b\\testdb.mdb}"}));

}  // namespace
}  // namespace pruvolt::test
