// A stand-in for the database engine's installers in the end-to-end tests: it records how it was
// started (command line, working folder, start time) in "<its own path>.log", UTF-8, and exits with
// the code in the environment value PRUVOLT_STANDIN_EXIT (decimal; 0 when it is not set).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "Utf8.h"

using e2e::ToUtf8;

int main() {
    wchar_t self[MAX_PATH * 4];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    wchar_t folder[MAX_PATH * 4];
    ::GetCurrentDirectoryW(MAX_PATH * 4, folder);
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const unsigned long long ticks =
        (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // Unix time in milliseconds, comparable with the test's own clock.
    const unsigned long long unixMs = (ticks - 116444736000000000ULL) / 10000ULL;

    const std::wstring logPath = std::wstring(self, length) + L".log";
    FILE* log = _wfopen(logPath.c_str(), L"wb");
    if (log == nullptr) return 1;
    std::fprintf(log, "commandline=%s\nfolder=%s\nstarted=%llu\n",
                 ToUtf8(::GetCommandLineW()).c_str(), ToUtf8(folder).c_str(), unixMs);
    std::fclose(log);
    wchar_t exitCode[16] = L"0";
    ::GetEnvironmentVariableW(L"PRUVOLT_STANDIN_EXIT", exitCode, 16);
    return static_cast<int>(std::wcstoul(exitCode, nullptr, 10));
}
