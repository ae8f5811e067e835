// Shared routines: the WOW64 question, the file-existence test and the probe's connection string.
#include "modules/mdlCommon.h"

#include <cstdint>

#include "modules/mdlShell.h"

namespace pruvolt::mdlCommon {

bool Is64BitWindows(Platform& platform) {
    // Resolved at run time: Windows before XP SP2 has no IsWow64Process.
    const ModuleHandle kernel32 = platform.GetModuleHandleA("kernel32");
    const ProcAddress isWow64Process = platform.GetProcAddress(kernel32, "IsWow64Process");
    std::int32_t wow64Flag = 0;
    if (isWow64Process != 0) {
        (void)platform.IsWow64Process(isWow64Process, platform.GetCurrentProcess(), wow64Flag);
    }
    return wow64Flag != 0;
}

bool FileExist(Platform& platform, const std::wstring& path) {
    const auto fileSystem = platform.CreateFileSystemObject();
    return fileSystem->FileExists(path);
}

void SetConnectionString(Platform& platform) {
    const std::wstring version = mdlShell::GetWindowsVersion(platform);
    // Compared as text, exactly: "2.6.10" or " 2.6.1" is another version.
    std::wstring connection = version == L"2.6.1"
                                  ? L"Driver={Microsoft Access Driver (*.mdb, *.accdb)};DBQ="
                                  : L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";
    connection += platform.ProgramFolder();
    connection += L"\\testdb.mdb;";
    strConnection = connection;
}

}  // namespace pruvolt::mdlCommon
