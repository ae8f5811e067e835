// Security descriptors and the running account, through advapi32.
#include "platform/win32/Security.h"

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

std::wstring RunningAccountSid() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        throw ErrorFromWin32(::GetLastError());
    }
    const UniqueHandle ownedToken(token);
    DWORD size = 0;
    (void)::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        throw ErrorFromWin32(::GetLastError());
    }
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        throw ErrorFromWin32(::GetLastError());
    }
    const UniqueLocal ownedText(text);
    return text;
}

}  // namespace pruvolt::win32
