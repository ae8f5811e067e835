// Security descriptors from their SDDL text, and the account this process runs as.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/Handles.h"

namespace pruvolt::win32 {

// A self-relative security descriptor; raises when the text does not describe one.
UniqueLocal SecurityDescriptorFromSddl(const std::wstring& sddl);

// The SID of the account this process runs as, as text ("S-1-5-18" for SYSTEM).
std::wstring RunningAccountSid();

}  // namespace pruvolt::win32
