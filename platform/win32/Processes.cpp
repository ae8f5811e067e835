// Starting programs: the window's two launch attempts, and the run-and-wait of a run with a switch,
// which waits for everything the program it starts starts in turn.
#include "platform/win32/Win32Platform.h"

#include <shellapi.h>

#include <cwchar>

#include "platform/win32/Errors.h"

namespace pruvolt::win32 {

namespace {

// A process started, with both the handles that CreateProcessW hands back owned at once.
struct Started {
    UniqueHandle process;
    UniqueHandle thread;
};

// Starts `applicationPath` with `commandLine` and the window style given; `flags` as CreateProcessW
// takes them (CREATE_SUSPENDED); in `currentFolder` and with `environment` (a UTF-16 block) when
// they are given. Raises when it cannot be started.
Started StartProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                     int windowStyle, DWORD flags = 0, const wchar_t* currentFolder = nullptr,
                     std::wstring* environment = nullptr) {
    std::wstring mutableCommandLine = commandLine;  // CreateProcessW may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION info{};
    if (environment != nullptr) {
        flags |= CREATE_UNICODE_ENVIRONMENT;
    }
    if (!::CreateProcessW(applicationPath.c_str(), mutableCommandLine.data(), nullptr, nullptr,
                          FALSE, flags, environment != nullptr ? environment->data() : nullptr,
                          currentFolder, &startup, &info)) {
        throw ErrorFromWin32(::GetLastError(), applicationPath);
    }
    return {UniqueHandle{info.hProcess}, UniqueHandle{info.hThread}};
}

// Upper case for ASCII letters: environment names compare without regard to case.
wchar_t UpperAscii(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// How the name of the entry "NAME=value" sorts against `name` (upper case): below 0, 0 or above.
int CompareName(const wchar_t* entry, const wchar_t* name) {
    for (;; ++entry, ++name) {
        const wchar_t c = *entry == L'=' ? L'\0' : UpperAscii(*entry);
        if (c != *name || c == L'\0') {
            return c < *name ? -1 : c > *name ? 1 : 0;
        }
    }
}

// This process's environment with TMP and TEMP naming `tempFolder`, as a block for CreateProcessW,
// in the order by name, without regard to case, in which Windows keeps its own.
std::wstring EnvironmentWithTemp(const std::wstring& tempFolder) {
    std::wstring block;
    const wchar_t* const names[] = {L"TEMP", L"TMP"};
    std::size_t added = 0;
    const auto addUpTo = [&](const wchar_t* entry) {
        for (; added < 2 && (entry == nullptr || CompareName(entry, names[added]) >= 0); ++added) {
            block += names[added];
            block += L'=';
            block += tempFolder;
            block += L'\0';
        }
    };
    if (wchar_t* strings = ::GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
            addUpTo(entry);
            if (CompareName(entry, L"TEMP") != 0 && CompareName(entry, L"TMP") != 0) {
                block += entry;
                block += L'\0';
            }
        }
        ::FreeEnvironmentStringsW(strings);
    }
    addUpTo(nullptr);
    block += L'\0';
    return block;
}

// A job whose completion port says when the last of its processes has ended. Empty when the
// system gives none.
struct Job {
    UniqueHandle job;
    UniqueHandle port;
};

Job CreateJobWithPort() {
    Job result{UniqueHandle(::CreateJobObjectW(nullptr, nullptr)),
               UniqueHandle(::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1))};
    if (!result.job || !result.port) {
        return {};
    }
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association{};
    association.CompletionKey = result.job.Get();
    association.CompletionPort = result.port.Get();
    if (!::SetInformationJobObject(result.job.Get(), JobObjectAssociateCompletionPortInformation,
                                   &association, sizeof(association))) {
        return {};
    }
    return result;
}

// Waits until the job's last process has ended; false when `limitMs` passed first.
bool WaitForJob(const Job& job, std::uint32_t limitMs) {
    const ULONGLONG deadline = ::GetTickCount64() + limitMs;
    while (true) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) {
            return false;
        }
        DWORD message = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED overlapped = nullptr;
        if (!::GetQueuedCompletionStatus(job.port.Get(), &message, &key, &overlapped,
                                         static_cast<DWORD>(deadline - now))) {
            if (overlapped == nullptr && ::GetLastError() == WAIT_TIMEOUT) {
                return false;
            }
            throw ErrorFromWin32(::GetLastError());
        }
        if (key == reinterpret_cast<ULONG_PTR>(job.job.Get()) &&
            message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO) {
            return true;
        }
    }
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
        throw ErrorFromWin32(::GetLastError(), file);
    }
}

RunResult Win32Platform::RunAndWait(const std::wstring& applicationPath,
                                    const std::wstring& commandLine, int windowStyle,
                                    std::uint32_t limitMs, const std::wstring& currentFolder,
                                    const std::wstring& tempFolder) {
    // Started held, so that it is in the job before it can start anything of its own: an
    // installer that hands the work to a second process and ends is waited for to the end of both.
    // Processes left running at the limit go on: the job does not end them when it is closed.
    const Job job = CreateJobWithPort();
    std::wstring environment = EnvironmentWithTemp(tempFolder);
    const Started started = StartProcess(applicationPath, commandLine, windowStyle, CREATE_SUSPENDED,
                                         currentFolder.c_str(), &environment);
    // Windows 7 puts no job in another: where the tool that started us holds us in one, only the
    // installer's own process is waited for.
    const bool inJob = job.job && ::AssignProcessToJobObject(job.job.Get(), started.process.Get());
    if (::ResumeThread(started.thread.Get()) == static_cast<DWORD>(-1)) {
        const DWORD error = ::GetLastError();
        ::TerminateProcess(started.process.Get(), error);
        throw ErrorFromWin32(error);
    }
    // No window of ours needs its messages meanwhile: a run with a switch creates none.
    bool ended = false;
    if (inJob) {
        ended = WaitForJob(job, limitMs);
    } else {
        const DWORD waited = ::WaitForSingleObject(started.process.Get(), limitMs);
        if (waited == WAIT_FAILED) {
            throw ErrorFromWin32(::GetLastError());
        }
        ended = waited == WAIT_OBJECT_0;
    }
    if (!ended) {
        return {0, true};
    }
    DWORD exitCode = 0;
    if (!::GetExitCodeProcess(started.process.Get(), &exitCode)) {
        throw ErrorFromWin32(::GetLastError());
    }
    return {exitCode, false};
}

}  // namespace pruvolt::win32
