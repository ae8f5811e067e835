// /repair's own folders that an earlier run could not remove: its installer outlived the limit
// and still ran from it, or the run was ended from outside.
#include "platform/win32/Leftovers.h"

#include <windows.h>

#include <aclapi.h>

#include <vector>

#include "platform/win32/Handles.h"
#include "platform/win32/Security.h"

namespace pruvolt::win32 {

namespace {

// "Pruvolt-" and a GUID without its braces, as the run names its folder.
bool IsPrivateFolderName(const std::wstring& name) {
    constexpr std::size_t kPrefix = 8;
    if (name.size() != kPrefix + 36 || name.compare(0, kPrefix, L"Pruvolt-") != 0) return false;
    for (std::size_t i = 0; i < 36; ++i) {
        const wchar_t c = name[kPrefix + i];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const bool hex =
            (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f');
        if (dash ? c != L'-' : !hex) return false;
    }
    return true;
}

bool SameSid(PSID sid, std::vector<BYTE>& known) {
    return !known.empty() && ::EqualSid(sid, known.data());
}

// This account, as the folder's owner may name it: the account itself, or the default owner of
// what it makes (for an elevated administrator, the Administrators group).
struct Account {
    std::vector<BYTE> user, owner;
};

Account RunningAccount() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    const UniqueHandle owned(token);
    return {TokenSid(token, TokenUser), TokenSid(token, TokenOwner)};
}

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
    return ::IsWellKnownSid(sid, type) != FALSE;
}

// The folder, opened without following a link, is owned by this account and every entry of its
// DACL allows SYSTEM, the Administrators or this account, nobody else: nobody else can have put
// anything in it. (Which of the three, and what the entries pass on, is left to the folder's maker:
// an elevated run's folder may let in fewer.)
bool IsOwnPrivateFolder(const std::wstring& path, Account& account) {
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const UniqueFile folder(::CreateFileW(
        path.c_str(), READ_CONTROL, kShareAll, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(folder.Get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return false;
    }
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(folder.Get(), SE_FILE_OBJECT,
                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                          &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const UniqueLocal ownedDescriptor(descriptor);
    // No DACL at all would let everyone in.
    if (owner == nullptr || dacl == nullptr ||
        !(SameSid(owner, account.user) || SameSid(owner, account.owner))) {
        return false;
    }
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!::GetAce(dacl, i, &entry)) return false;
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;
        const PSID sid = &static_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart;
        if (!IsWellKnown(sid, WinLocalSystemSid) && !IsWellKnown(sid, WinBuiltinAdministratorsSid) &&
            !SameSid(sid, account.user)) {
            return false;
        }
    }
    return true;
}

// Removes the file or the empty folder now, else at the next restart.
void RemoveNowOrAtRestart(const std::wstring& path, bool isFolder) {
    if (isFolder ? ::RemoveDirectoryW(path.c_str()) : ::DeleteFileW(path.c_str())) return;
    // Only an administrator may schedule it; for anyone else it stays.
    (void)::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace

void RemoveFolderOrScheduleRemoval(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                RemoveNowOrAtRestart(path, false);
            } else if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
                // A link to elsewhere is removed as a link, never followed.
                RemoveNowOrAtRestart(path, true);
            } else {
                RemoveFolderOrScheduleRemoval(path);
            }
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    // Scheduled after what it holds, so that it is empty when its turn comes at the restart.
    RemoveNowOrAtRestart(folder, true);
}

void RemoveLeftoverPrivateFolders(const std::wstring& base) {
    Account account = RunningAccount();
    if (account.user.empty()) return;
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileExW((base + L"\\Pruvolt-*").c_str(), FindExInfoBasic,
                                             &found, FindExSearchLimitToDirectories, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return;
    std::vector<std::wstring> leftovers;
    do {
        const std::wstring name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
            (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && IsPrivateFolderName(name) &&
            IsOwnPrivateFolder(base + L"\\" + name, account)) {
            leftovers.push_back(base + L"\\" + name);
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    for (const auto& folder : leftovers) {
        RemoveFolderOrScheduleRemoval(folder);
    }
}

}  // namespace pruvolt::win32
