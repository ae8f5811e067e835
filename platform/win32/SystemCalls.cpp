// The platform's calls into the system that need no window: the instance lock, the program's and
// the temporary folder, the environment, the version and WOW64 questions, and copying a file.
#include "platform/win32/Win32Platform.h"

#include "platform/Paths.h"
#include "platform/SecurityDescriptors.h"
#include "platform/win32/Errors.h"
#include "platform/win32/Security.h"

namespace pruvolt::win32 {

namespace {

// Names this program's copies on the whole PC, in every session: a /repair run by SYSTEM in
// session 0 and a user's window see each other.
constexpr wchar_t kInstanceMutexName[] = L"Global\\Pruvolt.Instance.6f1d2c84-3b7e-4a59-9e0d-5c2a71b8e413";

}  // namespace

bool Win32Platform::PreviousInstanceRunning() {
    const UniqueLocal descriptor = SecurityDescriptorFromSddl(kInstanceLockSddl);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.Get(), FALSE};
    // Only the right to wait on it is asked for, which every account has: a lock that another
    // account made opens all the same.
    const HANDLE mutex = ::CreateMutexExW(&attributes, kInstanceMutexName, 0, SYNCHRONIZE);
    const DWORD error = ::GetLastError();
    if (mutex == nullptr) {
        // A lock that cannot be opened at all belongs to a copy that runs; so does a name that
        // another kind of object holds (ERROR_INVALID_HANDLE), which any account may create.
        if (error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_HANDLE) {
            return true;
        }
        throw ErrorFromWin32(error);
    }
    // Held, not released, until the process ends.
    instanceMutex_.Reset(mutex);
    return error == ERROR_ALREADY_EXISTS;
}

bool Win32Platform::InteractiveSession() {
    USEROBJECTFLAGS flags{};
    return ::GetUserObjectInformationW(::GetProcessWindowStation(), UOI_FLAGS, &flags,
                                       sizeof(flags), nullptr) &&
           (flags.dwFlags & WSF_VISIBLE) != 0;
}

std::wstring Win32Platform::ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    while (true) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            throw ErrorFromWin32(::GetLastError());
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring Win32Platform::ProgramFolder() {
    return FolderOfPath(ProgramPath());
}

bool Win32Platform::IsElevated() {
    return TokenIsElevated();
}

std::wstring Win32Platform::RunningAccount() {
    return RunningAccountSid();
}

std::optional<ObjectSecurity> Win32Platform::ReadSecurity(const std::wstring& path) {
    return ReadObjectSecurity(path);
}

std::wstring Win32Platform::TempFolder() {
    std::wstring path(MAX_PATH + 1, L'\0');
    while (true) {
        const DWORD length = ::GetTempPathW(static_cast<DWORD>(path.size()), path.data());
        if (length == 0) {
            throw ErrorFromWin32(::GetLastError());
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(length + 1);
    }
    return WithoutTrailingSeparator(path);
}

std::wstring Win32Platform::EnvironmentVariable(const std::wstring& name) {
    std::wstring value(256, L'\0');
    while (true) {
        const DWORD length = ::GetEnvironmentVariableW(name.c_str(), value.data(),
                                                       static_cast<DWORD>(value.size()));
        if (length == 0) {
            return {};
        }
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length);
    }
}

bool Win32Platform::GetVersionExA(OsVersionInfoA& info) {
    static_assert(sizeof(OsVersionInfoA) == sizeof(OSVERSIONINFOA));
    // Deprecated; the program wants exactly what it reports. MSVC's suppress takes the next line.
#ifdef _MSC_VER
#pragma warning(push)
#pragma warning(disable : 4996)
#endif
    return ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info)) != FALSE;
#ifdef _MSC_VER
#pragma warning(pop)
#endif
}

ModuleHandle Win32Platform::GetModuleHandleA(const char* moduleName) {
    return reinterpret_cast<ModuleHandle>(::GetModuleHandleA(moduleName));
}

ProcAddress Win32Platform::GetProcAddress(ModuleHandle module, const char* procName) {
    return reinterpret_cast<ProcAddress>(
        ::GetProcAddress(reinterpret_cast<HMODULE>(module), procName));
}

ProcessHandle Win32Platform::GetCurrentProcess() {
    return reinterpret_cast<ProcessHandle>(::GetCurrentProcess());
}

bool Win32Platform::IsWow64Process(ProcAddress function, ProcessHandle process,
                                   std::int32_t& wow64Flag) {
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, BOOL*);
    static_assert(sizeof(BOOL) == sizeof(std::int32_t));
    BOOL flag = wow64Flag;
    const BOOL result = reinterpret_cast<IsWow64ProcessFunction>(function)(
        reinterpret_cast<HANDLE>(process), &flag);
    wow64Flag = flag;
    return result != FALSE;
}

}  // namespace pruvolt::win32
