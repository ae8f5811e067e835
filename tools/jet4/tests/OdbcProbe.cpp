// Opens "select * from testdata" through an ODBC driver registered under the Access driver's
// name, as the program does on Windows 7, and checks the four rows.
// Usage: jet4_odbc_probe FOLDER   (the folder that holds testdb.mdb)
#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::string out;
    SQLCHAR state[6];
    SQLCHAR text[512];
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    for (SQLSMALLINT i = 1;
         SQLGetDiagRec(type, handle, i, state, &native, text, sizeof text, &length) == SQL_SUCCESS;
         ++i) {
        out += std::string(" [") + reinterpret_cast<char*>(state) + "] " +
               reinterpret_cast<char*>(text);
    }
    return out;
}

bool Ok(SQLRETURN r) {
    return r == SQL_SUCCESS || r == SQL_SUCCESS_WITH_INFO;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: jet4_odbc_probe FOLDER\n");
        return 2;
    }
    const std::string connection =
        std::string("Driver={Microsoft Access Driver (*.mdb, *.accdb)};DBQ=") + argv[1] +
        "/testdb.mdb;";
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);

    SQLCHAR out[1024];
    SQLSMALLINT outLength = 0;
    std::vector<SQLCHAR> in(connection.begin(), connection.end());
    if (!Ok(SQLDriverConnect(dbc, nullptr, in.data(), static_cast<SQLSMALLINT>(in.size()), out,
                             sizeof out, &outLength, SQL_DRIVER_NOPROMPT))) {
        std::fprintf(stderr, "connect failed: %s%s\n", connection.c_str(),
                     Diagnostics(SQL_HANDLE_DBC, dbc).c_str());
        return 1;
    }
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    SQLCHAR query[] = "select * from testdata";
    if (!Ok(SQLExecDirect(stmt, query, SQL_NTS))) {
        std::fprintf(stderr, "query failed:%s\n", Diagnostics(SQL_HANDLE_STMT, stmt).c_str());
        return 1;
    }
    SQLSMALLINT columns = 0;
    SQLNumResultCols(stmt, &columns);

    std::vector<std::pair<long, std::string>> rows;
    SQLRETURN r;
    while (Ok(r = SQLFetch(stmt))) {
        SQLINTEGER id = 0;
        SQLLEN idIndicator = 0;
        SQLCHAR name[256] = {};
        SQLLEN nameIndicator = 0;
        SQLGetData(stmt, 1, SQL_C_SLONG, &id, 0, &idIndicator);
        SQLGetData(stmt, 2, SQL_C_CHAR, name, sizeof name, &nameIndicator);
        rows.emplace_back(
            idIndicator == SQL_NULL_DATA ? -1 : id,
            nameIndicator == SQL_NULL_DATA ? "<null>" : reinterpret_cast<char*>(name));
    }
    if (r != SQL_NO_DATA) {
        std::fprintf(stderr, "fetch failed:%s\n", Diagnostics(SQL_HANDLE_STMT, stmt).c_str());
        return 1;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);

    const std::vector<std::pair<long, std::string>> expected = {
        {1, "Alpha"}, {2, "Beta"}, {3, "Gamma"}, {4, "Delta"}};
    for (const auto& [id, name] : rows) std::printf("%ld|%s\n", id, name.c_str());
    if (columns != 2 || rows != expected) {
        std::fprintf(stderr,
                     "expected 2 columns and rows 1|Alpha 2|Beta 3|Gamma 4|Delta, got %d columns\n",
                     columns);
        return 1;
    }
    return 0;
}
