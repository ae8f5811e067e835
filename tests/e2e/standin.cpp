// A stand-in for the database engine's installers in the end-to-end tests. Each start appends a
// record of how it was started (command line, working folder, TMP, TEMP and the temporary folder
// the system names, start time; "started" last) to its
// log, UTF-8: the file named by the environment value PRUVOLT_STANDIN_LOG, else "<its own
// path>.log". It exits with the code in PRUVOLT_STANDIN_EXIT (decimal; 0 when not set).
// With PRUVOLT_STANDIN_CHILD set, it first starts a copy of itself that waits until this process
// has ended and then appends "child-ended=<time>": a second process of the installation that
// outlives the first, as an installer's that hands the work on.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "Utf8.h"

using e2e::ToUtf8;

namespace {

// Unix time in milliseconds, comparable with the test's own clock.
unsigned long long UnixMs() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const unsigned long long ticks =
        (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return (ticks - 116444736000000000ULL) / 10000ULL;
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH * 4];
    const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH * 4);
    return length == 0 || length >= MAX_PATH * 4 ? std::wstring() : std::wstring(value, length);
}

bool Append(const std::wstring& logPath, const std::string& text) {
    FILE* log = _wfopen(logPath.c_str(), L"ab");
    if (log == nullptr) return false;
    std::fputs(text.c_str(), log);
    return std::fclose(log) == 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    wchar_t self[MAX_PATH * 4];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    std::wstring logPath = Environment(L"PRUVOLT_STANDIN_LOG");
    if (logPath.empty()) logPath = std::wstring(self, length) + L".log";

    if (argc == 3 && std::wcscmp(argv[1], L"--child") == 0) {
        const HANDLE parent = ::OpenProcess(SYNCHRONIZE, FALSE, std::wcstoul(argv[2], nullptr, 10));
        if (parent != nullptr) {
            ::WaitForSingleObject(parent, INFINITE);
            ::CloseHandle(parent);
        }
        return Append(logPath, "child-ended=" + std::to_string(UnixMs()) + "\n") ? 0 : 1;
    }

    if (!Environment(L"PRUVOLT_STANDIN_CHILD").empty()) {
        std::wstring commandLine = L"\"" + std::wstring(self, length) + L"\" --child " +
                                   std::to_wstring(::GetCurrentProcessId());
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &info)) {
            return 1;
        }
        ::CloseHandle(info.hThread);
        ::CloseHandle(info.hProcess);
    }

    wchar_t folder[MAX_PATH * 4];
    ::GetCurrentDirectoryW(MAX_PATH * 4, folder);
    wchar_t tempPath[MAX_PATH + 1];
    const DWORD tempLength = ::GetTempPathW(MAX_PATH + 1, tempPath);
    const std::string record = "commandline=" + ToUtf8(::GetCommandLineW()) + "\nfolder=" +
                               ToUtf8(folder) + "\ntmp=" + ToUtf8(Environment(L"TMP")) +
                               "\ntemp=" + ToUtf8(Environment(L"TEMP")) + "\ntemppath=" +
                               ToUtf8(std::wstring(tempPath, tempLength)) + "\nstarted=" +
                               std::to_string(UnixMs()) + "\n";
    if (!Append(logPath, record)) return 1;
    const std::wstring exitCode = Environment(L"PRUVOLT_STANDIN_EXIT");
    return static_cast<int>(std::wcstoul(exitCode.empty() ? L"0" : exitCode.c_str(), nullptr, 10));
}
