// The access rules of what the program makes for a run, as security descriptor strings (SDDL):
// plain text, so that the rules themselves are checked by the unit tests; Windows turns them into
// security descriptors (and Wine keeps them but does not enforce them on files).
#pragma once

#include <string>

namespace pruvolt {

// A folder that only SYSTEM, the Administrators and the running account may use, with full
// control, passed on to every file and folder made in it (OICI). P: nothing is inherited from the
// folder above, which, for a service, is C:\Windows\Temp, where every user may create files.
inline std::wstring PrivateFolderSddl(const std::wstring& runningAccountSid) {
    std::wstring sddl = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    if (runningAccountSid != L"S-1-5-18" && runningAccountSid != L"S-1-5-32-544") {
        sddl += L"(A;OICI;FA;;;" + runningAccountSid + L")";
    }
    return sddl;
}

// The machine-wide lock that one copy of the program holds: every account may open it to see that
// it exists (SYNCHRONIZE, MUTANT_QUERY_STATE), so that a copy run by another account (SYSTEM's
// /repair, a user's window) finds it; SYSTEM and the Administrators have full control.
inline constexpr wchar_t kInstanceLockSddl[] = L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100001;;;WD)";

}  // namespace pruvolt
