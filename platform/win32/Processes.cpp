// Starting the installers.
#include "platform/win32/Processes.h"

#include "platform/win32/Errors.h"

namespace pruvolt::win32 {

UniqueHandle StartProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                          int windowStyle) {
    std::wstring mutableCommandLine = commandLine;  // CreateProcessW may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(applicationPath.c_str(), mutableCommandLine.data(), nullptr, nullptr,
                          FALSE, 0, nullptr, nullptr, &startup, &info)) {
        throw Win32Error(::GetLastError());
    }
    UniqueHandle process{info.hProcess};
    UniqueHandle thread{info.hThread};
    return process;
}

}  // namespace pruvolt::win32
