// The installer's copy that the program starts: made new by this run, held against writers until
// the launch and checked just before it, and for /repair made in a folder of the run's own.
#include "platform/win32/Win32Platform.h"

#include <objbase.h>

#include <cstring>
#include <vector>

#include "platform/ErrorNumbers.h"
#include "platform/Paths.h"
#include "platform/SecurityDescriptors.h"
#include "platform/win32/Errors.h"
#include "platform/win32/Leftovers.h"
#include "platform/win32/Security.h"
#include "texts/Texts.h"

namespace pruvolt::win32 {

namespace {

constexpr DWORD kChunk = 64 * 1024;

UniqueFile OpenForReading(const std::wstring& path) {
    // Others may read it too; nobody may write, rename or delete it while this handle is open.
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        throw ErrorFromWin32(::GetLastError(), path);
    }
    return file;
}

// What tells two files apart on a volume whatever their names: a file renamed over ours has
// another identity.
struct FileIdentity {
    DWORD volume = 0, indexHigh = 0, indexLow = 0;
    bool operator==(const FileIdentity&) const = default;
};

FileIdentity IdentityOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) {
        throw ErrorFromWin32(::GetLastError());
    }
    return {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

using Chunk = std::vector<char>;

// Reads up to a chunk; raises when the read fails.
DWORD ReadChunk(HANDLE file, Chunk& buffer) {
    buffer.resize(kChunk);
    DWORD read = 0;
    if (!::ReadFile(file, buffer.data(), kChunk, &read, nullptr)) {
        throw ErrorFromWin32(::GetLastError());
    }
    return read;
}

// Both files read from their start to their end, byte for byte the same.
bool SameContents(HANDLE first, HANDLE second) {
    ::SetFilePointer(first, 0, nullptr, FILE_BEGIN);
    ::SetFilePointer(second, 0, nullptr, FILE_BEGIN);
    Chunk a, b;
    while (true) {
        const DWORD readA = ReadChunk(first, a);
        const DWORD readB = ReadChunk(second, b);
        if (readA != readB || std::memcmp(a.data(), b.data(), readA) != 0) {
            return false;
        }
        if (readA == 0) {
            return true;
        }
    }
}

// The error of a copy that is no longer the one this run made.
PlatformError CopyChanged() {
    PlatformError error = ErrorFromWin32(ERROR_FILE_INVALID);
    error.description = texts::kStagedCopyChanged;
    return error;
}

class Win32HeldCopy final : public HeldCopy {
public:
    Win32HeldCopy(std::wstring path, UniqueFile held, FileIdentity identity)
        : path_(std::move(path)), held_(std::move(held)), identity_(identity) {}

    void Verify(const std::wstring& source) override {
        // By its path, as the launch will open it: the file there must be the one held.
        const UniqueFile atPath = OpenForReading(path_);
        if (IdentityOf(atPath.Get()) != identity_) {
            throw CopyChanged();
        }
        const UniqueFile original = OpenForReading(source);
        if (!SameContents(atPath.Get(), original.Get())) {
            throw CopyChanged();
        }
    }

private:
    std::wstring path_;
    UniqueFile held_;
    FileIdentity identity_;
};

// Writes the whole of `source` into `destination`; raises when a read or a write fails, and when
// a write takes less than it was given (a full volume).
void CopyContents(HANDLE source, HANDLE destination) {
    Chunk buffer;
    while (const DWORD read = ReadChunk(source, buffer)) {
        DWORD written = 0;
        const bool succeeded = ::WriteFile(destination, buffer.data(), read, &written, nullptr) != 0;
        const DWORD failure =
            WriteFailureCode(succeeded, succeeded ? ERROR_SUCCESS : ::GetLastError(), read, written);
        if (failure != ERROR_SUCCESS) {
            throw ErrorFromWin32(failure);
        }
    }
}

class Win32PrivateFolder final : public PrivateFolder {
public:
    explicit Win32PrivateFolder(std::wstring path) : path_(std::move(path)) {}
    Win32PrivateFolder(const Win32PrivateFolder&) = delete;
    Win32PrivateFolder& operator=(const Win32PrivateFolder&) = delete;

    // The files in it go, then the folder. Only this run could write there; what cannot be removed
    // now (a program that still runs from it) goes at the next restart, or at the next /repair.
    ~Win32PrivateFolder() override { RemoveFolderOrScheduleRemoval(path_); }

    const std::wstring& Path() const override { return path_; }

private:
    std::wstring path_;
};

// The base of the run's own folder: for SYSTEM, the temporary folder that only SYSTEM and the
// Administrators may enter, where Windows has GetTempPath2W (Windows 11, Server 2022, and
// Windows 10 with its updates of 2022); else GetTempPathW's.
std::wstring TemporaryFolderBase() {
    using GetTempPath2Function = DWORD(WINAPI*)(DWORD, LPWSTR);
    const auto getTempPath2 = reinterpret_cast<GetTempPath2Function>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetTempPath2W")));
    wchar_t path[MAX_PATH + 1];
    const DWORD length = getTempPath2 != nullptr ? getTempPath2(MAX_PATH + 1, path)
                                                 : ::GetTempPathW(MAX_PATH + 1, path);
    if (length == 0 || length > MAX_PATH) {
        throw ErrorFromWin32(length == 0 ? ::GetLastError() : ERROR_BUFFER_OVERFLOW);
    }
    return WithoutTrailingSeparator(std::wstring(path, length));
}

// A name nobody can guess ahead of the run.
std::wstring UniqueName() {
    GUID guid{};
    if (FAILED(::CoCreateGuid(&guid))) {
        throw ErrorFromWin32(ERROR_INVALID_FUNCTION);
    }
    wchar_t text[40];
    const int length = ::StringFromGUID2(guid, text, 40);
    // Without its braces: {xxxxxxxx-...} -> xxxxxxxx-...
    return L"Pruvolt-" + std::wstring(text + 1, static_cast<std::size_t>(length > 2 ? length - 3 : 0));
}

}  // namespace

std::unique_ptr<HeldCopy> Win32Platform::CopyAndHold(const std::wstring& source,
                                                     const std::wstring& destination) {
    const UniqueFile input = OpenForReading(source);
    // A file that somebody else made keeps its owner and its rights when it is written over:
    // whatever stands at the destination goes, and the copy is a new file of this run.
    ::SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!::DeleteFileW(destination.c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
        throw ErrorFromWin32(::GetLastError());
    }
    FileIdentity identity;
    {
        UniqueFile output(::CreateFileW(destination.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!output) {
            throw ErrorFromWin32(::GetLastError(), destination);
        }
        try {
            CopyContents(input.Get(), output.Get());
            identity = IdentityOf(output.Get());
        } catch (...) {
            output.Reset();
            ::DeleteFileW(destination.c_str());
            throw;
        }
    }
    // Held for reading only: Windows starts a program only from a file that nobody holds for
    // writing. Between the two handles a swap is possible for a moment; the identity shows it.
    UniqueFile held = OpenForReading(destination);
    if (IdentityOf(held.Get()) != identity) {
        throw CopyChanged();
    }
    return std::make_unique<Win32HeldCopy>(destination, std::move(held), identity);
}

void Win32Platform::RemoveLeftoverPrivateFolders() {
    try {
        win32::RemoveLeftoverPrivateFolders(TemporaryFolderBase());
    } catch (const PlatformError&) {
        // No temporary folder: nothing can have been left in it.
    }
}

std::unique_ptr<PrivateFolder> Win32Platform::CreatePrivateFolder() {
    const std::wstring base = TemporaryFolderBase();
    const UniqueLocal descriptor = SecurityDescriptorFromSddl(PrivateFolderSddl(RunningAccountSid()));
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.Get(), FALSE};
    // A folder that exists already is somebody else's, whatever its rights: another name.
    for (int attempt = 0; attempt < 10; ++attempt) {
        const std::wstring path = base + L"\\" + UniqueName();
        if (::CreateDirectoryW(path.c_str(), &attributes)) {
            return std::make_unique<Win32PrivateFolder>(path);
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS) {
            throw ErrorFromWin32(::GetLastError());
        }
    }
    throw ErrorFromWin32(ERROR_ALREADY_EXISTS);
}

}  // namespace pruvolt::win32
