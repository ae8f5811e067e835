// The platform's operations for runs with a switch: the command line, the lines for the script
// that started the program, and waiting for the installer. None of them needs the window.
#include "platform/win32/Win32Platform.h"

#include <stdlib.h>

#include "platform/win32/Errors.h"
#include "platform/win32/Processes.h"

namespace pruvolt::win32 {

std::vector<std::wstring> Win32Platform::CommandLineArguments() {
    // The C run-time has already split the command line by Windows' rules; taking its split saves
    // loading shell32 (CommandLineToArgvW) on every start.
    std::vector<std::wstring> arguments;
    if (__wargv != nullptr) {
        for (int i = 1; i < __argc; ++i) {
            arguments.emplace_back(__wargv[i]);
        }
    }
    return arguments;
}

void Win32Platform::DecideOutput() {
    if (output_ != Output::Undecided) {
        return;
    }
    output_ = Output::None;
    // Redirected by the caller (a pipe of a deployment tool, a file): bytes, in UTF-8.
    const HANDLE standard = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (standard != nullptr && standard != INVALID_HANDLE_VALUE) {
        const DWORD type = ::GetFileType(standard);
        if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) {
            standardOutput_ = standard;
            output_ = Output::File;
            return;
        }
    }
    // A GUI program gets no console of its own: it borrows the one it was started from.
    if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
        const HANDLE console = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, 0, nullptr);
        if (console != INVALID_HANDLE_VALUE) {
            console_.Reset(console);
            output_ = Output::Console;
        }
    }
}

bool Win32Platform::HasOutput() {
    DecideOutput();
    return output_ != Output::None;
}

void Win32Platform::WriteOutputLine(const std::wstring& line) {
    DecideOutput();
    const std::wstring text = line + L"\r\n";
    DWORD written = 0;
    if (output_ == Output::Console) {
        // UTF-16 straight to the console: no code page can lose a character.
        (void)::WriteConsoleW(console_.Get(), text.data(), static_cast<DWORD>(text.size()),
                              &written, nullptr);
    } else if (output_ == Output::File) {
        const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                               nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<std::size_t>(size), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                              size, nullptr, nullptr);
        // A reader that has gone away loses the line; the run goes on.
        (void)::WriteFile(standardOutput_, utf8.data(), static_cast<DWORD>(utf8.size()), &written,
                          nullptr);
    }
}

std::uint32_t Win32Platform::RunAndWait(const std::wstring& applicationPath,
                                        const std::wstring& commandLine, int windowStyle) {
    const UniqueHandle process = StartProcess(applicationPath, commandLine, windowStyle);
    // No window of ours needs its messages meanwhile: a run with a switch creates none.
    DWORD exitCode = 0;
    if (::WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(process.Get(), &exitCode)) {
        throw Win32Error(::GetLastError());
    }
    return exitCode;
}

}  // namespace pruvolt::win32
