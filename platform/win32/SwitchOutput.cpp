// A run with a switch: its command line, and the lines it writes for the script that started it.
// None of it needs the window.
#include "platform/win32/Win32Platform.h"

#include <stdlib.h>

#include "platform/OutputChoice.h"

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

namespace {

StandardOutputKind KindOf(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return StandardOutputKind::Missing;
    }
    switch (::GetFileType(handle)) {
    case FILE_TYPE_DISK:
        return StandardOutputKind::Disk;
    case FILE_TYPE_PIPE:
        return StandardOutputKind::Pipe;
    case FILE_TYPE_CHAR: {
        DWORD mode = 0;
        return ::GetConsoleMode(handle, &mode) ? StandardOutputKind::Console
                                               : StandardOutputKind::OtherDevice;
    }
    default:
        return StandardOutputKind::Unknown;
    }
}

}  // namespace

void Win32Platform::DecideOutput() {
    if (output_ != Output::Undecided) {
        return;
    }
    output_ = Output::None;
    const HANDLE standard = ::GetStdHandle(STD_OUTPUT_HANDLE);
    switch (ChooseOutput(KindOf(standard))) {
    case OutputChoice::StandardOutput:
        outputHandle_ = standard;
        output_ = Output::File;
        return;
    case OutputChoice::StandardConsole:
        outputHandle_ = standard;
        output_ = Output::Console;
        return;
    case OutputChoice::Nowhere:
        output_ = Output::Discard;
        return;
    case OutputChoice::ParentConsole:
        // A GUI program gets no console of its own: it borrows the one it was started from.
        if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
            const HANDLE console = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                 OPEN_EXISTING, 0, nullptr);
            if (console != INVALID_HANDLE_VALUE) {
                parentConsole_.Reset(console);
                outputHandle_ = console;
                output_ = Output::Console;
            }
        }
        return;
    }
}

// Redirected to NUL, the caller has somewhere for the lines: it chose that they go nowhere.
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
        (void)::WriteConsoleW(outputHandle_, text.data(), static_cast<DWORD>(text.size()),
                              &written, nullptr);
    } else if (output_ == Output::File) {
        const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                               nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<std::size_t>(size), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                              size, nullptr, nullptr);
        // A reader that has gone away loses the line; the run goes on.
        (void)::WriteFile(outputHandle_, utf8.data(), static_cast<DWORD>(utf8.size()), &written,
                          nullptr);
    }
}

}  // namespace pruvolt::win32
