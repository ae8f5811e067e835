// Security descriptors and the running account, through advapi32.
#include "platform/win32/Security.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "platform/win32/Errors.h"

namespace pruvolt::win32 {

UniqueLocal SecurityDescriptorFromSddl(const std::wstring& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                &descriptor, nullptr)) {
        throw ErrorFromWin32(::GetLastError());
    }
    return UniqueLocal(descriptor);
}

std::vector<BYTE> TokenSid(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
    DWORD size = 0;
    (void)::GetTokenInformation(token, kind, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !::GetTokenInformation(token, kind, buffer.data(), size, &size)) return {};
    const PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                       : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
    const DWORD length = ::GetLengthSid(sid);
    const auto* bytes = static_cast<const BYTE*>(sid);
    return std::vector<BYTE>(bytes, bytes + length);
}

namespace {

UniqueHandle ProcessToken() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        throw ErrorFromWin32(::GetLastError());
    }
    return UniqueHandle(token);
}

}  // namespace

std::wstring RunningAccountSid() {
    const UniqueHandle token = ProcessToken();
    std::vector<BYTE> sid = TokenSid(token.Get(), TokenUser);
    wchar_t* text = nullptr;
    // Empty: GetTokenInformation's error stands.
    if (sid.empty() || !::ConvertSidToStringSidW(sid.data(), &text)) {
        throw ErrorFromWin32(::GetLastError());
    }
    const UniqueLocal ownedText(text);
    return text;
}

namespace {

std::wstring SidText(PSID sid) {
    wchar_t* text = nullptr;
    if (sid == nullptr || !::ConvertSidToStringSidW(sid, &text)) {
        return {};
    }
    const UniqueLocal ownedText(text);
    return text;
}

}  // namespace

bool TokenIsElevated() {
    const UniqueHandle token = ProcessToken();
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!::GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size)) {
        throw ErrorFromWin32(::GetLastError());
    }
    return elevation.TokenIsElevated != 0;
}

std::optional<ObjectSecurity> ReadObjectSecurity(const std::wstring& path) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = ::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                                                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                                &owner, nullptr, &dacl, nullptr, &descriptor);
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        return std::nullopt;
    }
    if (error != ERROR_SUCCESS) {
        throw ErrorFromWin32(error);
    }
    const UniqueLocal ownedDescriptor(descriptor);
    ObjectSecurity security;
    security.owner = SidText(owner);
    security.nullDacl = dacl == nullptr;
    for (DWORD index = 0; dacl != nullptr && index < dacl->AceCount; ++index) {
        void* ace = nullptr;
        if (!::GetAce(dacl, index, &ace)) {
            throw ErrorFromWin32(::GetLastError());
        }
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        // These have the same layout: the mask, then the SID. A conditional (callback) entry
        // counts as if its condition held.
        const BYTE type = header->AceType;
        if (type != ACCESS_ALLOWED_ACE_TYPE && type != ACCESS_ALLOWED_CALLBACK_ACE_TYPE &&
            type != ACCESS_DENIED_ACE_TYPE && type != ACCESS_DENIED_CALLBACK_ACE_TYPE) {
            continue;
        }
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        AccessEntry entry;
        entry.allow = type == ACCESS_ALLOWED_ACE_TYPE || type == ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
        entry.inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
        entry.mask = allowed->Mask;
        entry.sid = SidText(&allowed->SidStart);
        security.entries.push_back(std::move(entry));
    }
    return security;
}

}  // namespace pruvolt::win32
