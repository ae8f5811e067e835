// Starting programs: the window's two launch attempts, and the run-and-wait of a run with a switch.
#include "platform/win32/Win32Platform.h"

#include <shellapi.h>

#include "platform/win32/Errors.h"

namespace pruvolt::win32 {

namespace {

// Starts `applicationPath` with `commandLine` and the window style given, and returns the owner of
// its process handle (the thread handle is closed). Raises when it cannot be started.
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
        throw ErrorFromWin32(::GetLastError());
    }
    UniqueHandle process{info.hProcess};
    UniqueHandle thread{info.hThread};
    return process;
}

}  // namespace

void Win32Platform::LaunchCommandLine(const std::wstring& applicationPath,
                                      const std::wstring& commandLine, int windowStyle) {
    // Not waited for: the installer runs on by itself.
    (void)StartProcess(applicationPath, commandLine, windowStyle);
}

void Win32Platform::ShellExecuteWide(WindowHandle window, const std::wstring& operation,
                                     const std::wstring& file, const std::wstring& parameters,
                                     const std::wstring& directory, int showCommand) {
    // shell32 is loaded only when this attempt runs: it is large, and linking it would slow every
    // start of the program. The installers ask for elevation, which the first attempt cannot
    // give, so on most PCs this is the attempt that starts them.
    static const HMODULE shell32 = ::LoadLibraryW(L"shell32.dll");
    using ShellExecuteExFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
    const auto shellExecuteEx = shell32 == nullptr
                                    ? nullptr
                                    : reinterpret_cast<ShellExecuteExFunction>(reinterpret_cast<void*>(
                                          ::GetProcAddress(shell32, "ShellExecuteExW")));
    if (shellExecuteEx == nullptr) {
        throw ErrorFromWin32(::GetLastError());
    }
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // The program reports a failure in its own message box; the shell shows none of its own.
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = reinterpret_cast<HWND>(window);
    info.lpVerb = operation.c_str();
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = directory.c_str();
    info.nShow = showCommand;
    if (!shellExecuteEx(&info)) {
        throw ErrorFromWin32(::GetLastError());
    }
}

std::uint32_t Win32Platform::RunAndWait(const std::wstring& applicationPath,
                                        const std::wstring& commandLine, int windowStyle) {
    const UniqueHandle process = StartProcess(applicationPath, commandLine, windowStyle);
    // No window of ours needs its messages meanwhile: a run with a switch creates none.
    DWORD exitCode = 0;
    if (::WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(process.Get(), &exitCode)) {
        throw ErrorFromWin32(::GetLastError());
    }
    return exitCode;
}

}  // namespace pruvolt::win32
