// The access rules of what the program makes for a run, as security descriptor strings (SDDL):
// plain text, so that the rules themselves are checked by the unit tests; Windows turns them into
// security descriptors (and Wine keeps them but does not enforce them on files). And the rule by
// which an elevated run judges the files it would trust: who besides the system's own accounts
// may change them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pruvolt {

// Accounts that may change what an elevated run trusts: the system itself, the Administrators and
// TrustedInstaller (which owns Windows' own files).
inline constexpr wchar_t kSystemSid[] = L"S-1-5-18";
inline constexpr wchar_t kAdministratorsSid[] = L"S-1-5-32-544";
inline constexpr wchar_t kTrustedInstallerSid[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// A folder that only SYSTEM and the Administrators may use (and, in an unelevated run, the running
// account), with full control, passed on to every file and folder made in it (OICI). P: nothing
// is inherited from the folder above, which, for a service, is C:\Windows\Temp, where every user
// may create files. Elevated, the running account gets no entry of its own: an administrator's
// unelevated programs run as the same account, and the label (High, no write up) keeps anything
// below high integrity from writing there, the same account's malware included.
inline std::wstring PrivateFolderSddl(const std::wstring& runningAccountSid, bool elevated) {
    std::wstring sddl = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    if (elevated) {
        return sddl + L"S:(ML;OICI;NW;;;HI)";
    }
    if (runningAccountSid != kSystemSid && runningAccountSid != kAdministratorsSid) {
        sddl += L"(A;OICI;FA;;;" + runningAccountSid + L")";
    }
    return sddl;
}

// One entry of a DACL, as the system reads it.
struct AccessEntry {
    bool allow = true;         // an access-allowed entry; deny entries take nothing away here
    bool inheritOnly = false;  // applies only to what is made below the object, not to it
    std::uint32_t mask = 0;
    std::wstring sid;  // as text, "S-1-5-11"
};

// Who owns an object and who may do what to it.
struct ObjectSecurity {
    std::wstring owner;  // as text
    bool nullDacl = false;  // no DACL at all: everybody may do everything
    std::vector<AccessEntry> entries;
};

// The rights that let an account change a file or a folder, or what is in it: write and append
// (for a folder, add a file and add a folder), delete, delete a child, change the rights or the
// owner, and the generic rights that include writing.
inline constexpr std::uint32_t kChangingRights = 0x00000002u |  // FILE_WRITE_DATA, FILE_ADD_FILE
                                                 0x00000004u |  // FILE_APPEND_DATA, FILE_ADD_SUBDIRECTORY
                                                 0x00000040u |  // FILE_DELETE_CHILD
                                                 0x00010000u |  // DELETE
                                                 0x00040000u |  // WRITE_DAC
                                                 0x00080000u |  // WRITE_OWNER
                                                 0x10000000u |  // GENERIC_ALL
                                                 0x40000000u;   // GENERIC_WRITE

inline bool IsTrustedSid(const std::wstring& sid, const std::wstring& runningAccountSid) {
    return sid == kSystemSid || sid == kAdministratorsSid || sid == kTrustedInstallerSid ||
           sid == runningAccountSid;
}

// The account other than SYSTEM, the Administrators, TrustedInstaller and the running one that
// owns the object or may change it; "S-1-1-0" (Everyone) for a missing DACL; empty when there is
// none.
inline std::wstring OtherAccountThatCanChange(const ObjectSecurity& security,
                                              const std::wstring& runningAccountSid) {
    if (!IsTrustedSid(security.owner, runningAccountSid)) {
        return security.owner;
    }
    if (security.nullDacl) {
        return L"S-1-1-0";
    }
    for (const AccessEntry& entry : security.entries) {
        if (entry.allow && !entry.inheritOnly && (entry.mask & kChangingRights) != 0 &&
            !IsTrustedSid(entry.sid, runningAccountSid)) {
            return entry.sid;
        }
    }
    return {};
}

// The machine-wide lock that one copy of the program holds: every account may open it to see that
// it exists (SYNCHRONIZE, MUTANT_QUERY_STATE), so that a copy run by another account (SYSTEM's
// /repair, a user's window) finds it; SYSTEM and the Administrators have full control.
inline constexpr wchar_t kInstanceLockSddl[] = L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100001;;;WD)";

}  // namespace pruvolt
