// The installer's copy that the program starts: made new by this run, held against writers until
// the launch and checked just before it, and for /repair made in a folder of the run's own.
#include "platform/win32/Win32Platform.h"

#include <objbase.h>
#include <softpub.h>
#include <wintrust.h>

#include <cstring>
#include <vector>

#include "platform/ErrorNumbers.h"
#include "platform/Paths.h"
#include "platform/SecurityDescriptors.h"
#include "platform/Signatures.h"
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

// wintrust and crypt32, loaded when a signature is first checked, from the system folder by full
// path (their own imports searched there first): neither is a KnownDLL, and linking them would
// let a DLL of their name beside the program be loaded in their place.
struct TrustFunctions {
    decltype(&::WinVerifyTrust) winVerifyTrust = nullptr;
    decltype(&::WTHelperProvDataFromStateData) provDataFromStateData = nullptr;
    decltype(&::WTHelperGetProvSignerFromChain) provSignerFromChain = nullptr;
    decltype(&::CertGetNameStringW) certGetNameString = nullptr;
};

HMODULE LoadSystemLibrary(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    const std::wstring path = std::wstring(folder, length) + L"\\" + name;
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <typename Function>
void Find(HMODULE module, const char* name, Function& function) {
    function = module == nullptr ? nullptr
                                 : reinterpret_cast<Function>(
                                       reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

const TrustFunctions& Trust() {
    static const TrustFunctions functions = [] {
        TrustFunctions found;
        const HMODULE wintrust = LoadSystemLibrary(L"wintrust.dll");
        const HMODULE crypt32 = LoadSystemLibrary(L"crypt32.dll");
        Find(wintrust, "WinVerifyTrust", found.winVerifyTrust);
        Find(wintrust, "WTHelperProvDataFromStateData", found.provDataFromStateData);
        Find(wintrust, "WTHelperGetProvSignerFromChain", found.provSignerFromChain);
        Find(crypt32, "CertGetNameStringW", found.certGetNameString);
        return found;
    }();
    if (functions.winVerifyTrust == nullptr || functions.provDataFromStateData == nullptr ||
        functions.provSignerFromChain == nullptr || functions.certGetNameString == nullptr) {
        throw ErrorFromWin32(ERROR_PROC_NOT_FOUND);
    }
    return functions;
}

// One attribute of a certificate's subject, e.g. its organisation (szOID_ORGANIZATION_NAME).
std::wstring SubjectAttribute(const TrustFunctions& trust, PCCERT_CONTEXT certificate,
                              const char* oid) {
    wchar_t text[256];
    const DWORD length = trust.certGetNameString(certificate, CERT_NAME_ATTR_TYPE, 0,
                                                 const_cast<char*>(oid), text, 256);
    return length > 1 ? std::wstring(text, length - 1) : std::wstring();
}

// What the system says of the signature of the file open at `file`: WinVerifyTrust on the handle
// itself (the file held, whatever its path names now), revocation neither checked nor fetched:
// a PC being repaired is often offline, and SYSTEM follows no URL that a certificate names.
SignatureFacts ReadSignature(HANDLE file, const std::wstring& path) {
    const TrustFunctions& trust = Trust();
    WINTRUST_FILE_INFO fileInfo{};
    fileInfo.cbStruct = sizeof(fileInfo);
    fileInfo.pcwszFilePath = path.c_str();
    fileInfo.hFile = file;
    WINTRUST_DATA data{};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL | WTD_REVOCATION_CHECK_NONE;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    ::SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    SignatureFacts facts;
    facts.trustResult = static_cast<std::int32_t>(
        trust.winVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data));
    // The signer's own chain, as the check built it: the system's result alone is not enough.
    if (CRYPT_PROVIDER_DATA* provider = trust.provDataFromStateData(data.hWVTStateData)) {
        const CRYPT_PROVIDER_SGNR* signer = trust.provSignerFromChain(provider, 0, FALSE, 0);
        if (signer != nullptr && signer->pChainContext != nullptr &&
            signer->pChainContext->cChain > 0 &&
            signer->pChainContext->rgpChain[0]->cElement > 0) {
            facts.haveChain = true;
            facts.chainErrors = signer->pChainContext->TrustStatus.dwErrorStatus;
            const PCCERT_CONTEXT leaf =
                signer->pChainContext->rgpChain[0]->rgpElement[0]->pCertContext;
            facts.organization = SubjectAttribute(trust, leaf, szOID_ORGANIZATION_NAME);
            facts.commonName = SubjectAttribute(trust, leaf, szOID_COMMON_NAME);
        }
    }
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    (void)trust.winVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return facts;
}

// The error of an installer that is not started for its signature: the system's own result when
// it had one, and why in words.
PlatformError SignatureRefused(const SignatureFacts& facts, SignatureVerdict verdict) {
    switch (verdict) {
    case SignatureVerdict::NotTrusted:
        return {facts.trustResult, texts::kSignatureNotTrusted};
    case SignatureVerdict::UntrustedChain:
        return {static_cast<std::int32_t>(CERT_E_UNTRUSTEDROOT), texts::kSignatureUntrustedChain};
    case SignatureVerdict::OtherPublisher:
    case SignatureVerdict::Genuine:
        break;
    }
    return {static_cast<std::int32_t>(TRUST_E_SUBJECT_NOT_TRUSTED), texts::kSignatureOtherPublisher};
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

    void VerifySignature() override {
        const SignatureFacts facts = ReadSignature(held_.Get(), path_);
        const SignatureVerdict verdict = DecideSignature(facts);
        if (verdict != SignatureVerdict::Genuine) {
            throw SignatureRefused(facts, verdict);
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
    Win32PrivateFolder(std::wstring path, std::wstring tempPath)
        : path_(std::move(path)), tempPath_(std::move(tempPath)) {}
    Win32PrivateFolder(const Win32PrivateFolder&) = delete;
    Win32PrivateFolder& operator=(const Win32PrivateFolder&) = delete;

    // Everything in it goes, then the folder: only this run, and the installer it started, could
    // write there. What cannot be removed now (a program that still runs from it) goes at the next
    // restart, or at the next /repair.
    ~Win32PrivateFolder() override { RemoveFolderOrScheduleRemoval(path_); }

    const std::wstring& Path() const override { return path_; }
    const std::wstring& TempPath() const override { return tempPath_; }

private:
    std::wstring path_;
    std::wstring tempPath_;
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
    const UniqueLocal descriptor =
        SecurityDescriptorFromSddl(PrivateFolderSddl(RunningAccountSid(), TokenIsElevated()));
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.Get(), FALSE};
    // A folder that exists already is somebody else's, whatever its rights: another name.
    for (int attempt = 0; attempt < 10; ++attempt) {
        const std::wstring path = base + L"\\" + UniqueName();
        if (::CreateDirectoryW(path.c_str(), &attributes)) {
            // The installer's TMP and TEMP, with the same rights (inherited from the folder).
            auto folder = std::make_unique<Win32PrivateFolder>(path, path + L"\\Temp");
            if (!::CreateDirectoryW(folder->TempPath().c_str(), nullptr)) {
                throw ErrorFromWin32(::GetLastError());
            }
            return folder;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS) {
            throw ErrorFromWin32(::GetLastError());
        }
    }
    throw ErrorFromWin32(ERROR_ALREADY_EXISTS);
}

}  // namespace pruvolt::win32
