// Security descriptors from their SDDL text, and the account this process runs as.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/SecurityDescriptors.h"

#include "platform/win32/Handles.h"

namespace pruvolt::win32 {

// A self-relative security descriptor; raises when the text does not describe one.
UniqueLocal SecurityDescriptorFromSddl(const std::wstring& sddl);

// A token's SID of the class asked for (TokenUser or TokenOwner), copied out; empty when unknown.
std::vector<BYTE> TokenSid(HANDLE token, TOKEN_INFORMATION_CLASS kind);

// The SID of the account this process runs as, as text ("S-1-5-18" for SYSTEM).
std::wstring RunningAccountSid();

// True when this process's token is elevated: SYSTEM, or an administrator's full token.
bool TokenIsElevated();

// The owner and DACL of the file or folder at the path; empty when nothing is there.
std::optional<ObjectSecurity> ReadObjectSecurity(const std::wstring& path);

}  // namespace pruvolt::win32
