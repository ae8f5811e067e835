// The probe's ODBC connection string, as the program builds it for Windows 7, opened by a real
// ODBC stack: unixODBC with the mdbtools driver registered under the Access driver's name. A
// program folder whose name holds characters that are ordinary in a value is written unquoted and
// reaches testdb.mdb. (The mdbtools driver reads DBQ's value up to the first ";" and knows no
// braces, so it cannot open a folder with ";" through any string; the Access driver on Windows
// reads the braced value.)
#include <sql.h>
#include <sqlext.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modules/mdlCommon.h"
#include "tests/unit/FakePlatform.h"

namespace pruvolt::test {
namespace {

namespace fs = std::filesystem;

// The folder names here are ASCII: one character is one code unit either way.
std::wstring Widened(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string Narrowed(const std::wstring& text) {
    std::string narrow;
    for (const wchar_t c : text) narrow += static_cast<char>(c);
    return narrow;
}

// The rows of testdata through the connection string; empty, with the driver's diagnostics in
// `error`, when it cannot be opened.
std::vector<long> SelectIds(const std::string& connection, std::string& error) {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    std::vector<SQLCHAR> in(connection.begin(), connection.end());
    SQLCHAR out[1024];
    SQLSMALLINT outLength = 0;
    std::vector<long> ids;
    const SQLRETURN connected =
        SQLDriverConnect(dbc, nullptr, in.data(), static_cast<SQLSMALLINT>(in.size()), out,
                         sizeof out, &outLength, SQL_DRIVER_NOPROMPT);
    if (SQL_SUCCEEDED(connected)) {
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
        SQLCHAR query[] = "select * from testdata";
        if (SQL_SUCCEEDED(SQLExecDirect(stmt, query, SQL_NTS))) {
            while (SQL_SUCCEEDED(SQLFetch(stmt))) {
                SQLINTEGER id = 0;
                SQLLEN indicator = 0;
                SQLGetData(stmt, 1, SQL_C_SLONG, &id, 0, &indicator);
                ids.push_back(id);
            }
        }
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        SQLDisconnect(dbc);
    } else {
        SQLCHAR state[6];
        SQLCHAR text[512];
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        if (SQLGetDiagRec(SQL_HANDLE_DBC, dbc, 1, state, &native, text, sizeof text, &length) ==
            SQL_SUCCESS) {
            error = reinterpret_cast<char*>(text);
        }
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return ids;
}

class OdbcConnection : public ::testing::TestWithParam<std::string> {};

TEST_P(OdbcConnection, OpensTestdbInAProgramFolderOfThatName) {
    const fs::path folder = fs::path(PRUVOLT_ODBC_WORK) / GetParam();
    fs::create_directories(folder);
    fs::copy_file(PRUVOLT_TESTDB, folder / "testdb.mdb", fs::copy_options::overwrite_existing);

    FakePlatform fake;
    fake.version = OsVersionInfoA{148, 6, 1, 7601, 2, ""};
    fake.programFolder = Widened(folder.string());
    mdlCommon::SetConnectionString(fake);
    std::string connection = Narrowed(mdlCommon::strConnection);
    // The one Windows separator that the program writes before the file's name, as this system
    // spells it; the rest of the string is the program's, character for character.
    const std::size_t separator = connection.rfind("\\testdb.mdb");
    ASSERT_NE(separator, std::string::npos) << connection;
    connection[separator] = '/';

    std::string error;
    EXPECT_EQ(SelectIds(connection, error), (std::vector<long>{1, 2, 3, 4}))
        << connection << ": " << error;
}

INSTANTIATE_TEST_SUITE_P(Folders, OdbcConnection,
                         ::testing::Values("Tools", "Program Files", "A=B,C'D (x) [y] !@"));

}  // namespace
}  // namespace pruvolt::test
