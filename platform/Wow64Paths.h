// Where this process finds a file that a registration of either bitness names, on 64-bit Windows,
// where 32-bit and 64-bit processes see different folders under the same names. Plain decisions
// on text: the unit tests check them on any machine.
#pragma once

#include <string>

#include "platform/AsciiText.h"

namespace pruvolt {

// A REG_EXPAND_SZ path written for `viewBits`, before this process (of `processBits`) expands it:
// the names that would expand to this process's own Program Files folders are replaced by the
// names of the registration's. Under WOW64, ProgramFiles and CommonProgramFiles name the x86
// folders and ProgramW6432 and CommonProgramW6432 the 64-bit ones; a 64-bit process has
// ProgramFiles(x86) and CommonProgramFiles(x86) for the x86 folders
// (learn.microsoft.com/windows/win32/winprog64/wow64-implementation-details, "Environment
// variables").
inline std::wstring EnvironmentNamesForBitness(const std::wstring& text, int viewBits,
                                               int processBits) {
    if (viewBits == processBits) return text;
    const bool toNative = viewBits == 64;
    const struct {
        const wchar_t* name;
        const wchar_t* native;
        const wchar_t* x86;
    } kNames[] = {
        {L"%ProgramFiles%", L"%ProgramW6432%", L"%ProgramFiles(x86)%"},
        {L"%CommonProgramFiles%", L"%CommonProgramW6432%", L"%CommonProgramFiles(x86)%"},
    };
    std::wstring result;
    std::size_t i = 0;
    while (i < text.size()) {
        bool replaced = false;
        for (const auto& entry : kNames) {
            const std::wstring name = entry.name;
            if (StartsWithAsciiCaseless(text.substr(i, name.size()), name)) {
                result += toNative ? entry.native : entry.x86;
                i += name.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) result += text[i++];
    }
    return result;
}

// A path in the system folder, as written for `viewBits`, where this process (of `processBits`)
// finds that file. The file-system redirector shows a 32-bit process SysWOW64 for System32, and
// lets it reach the native System32 as Sysnative; a 64-bit process sees System32 as it is
// (learn.microsoft.com/windows/win32/winprog64/file-system-redirector). `systemRoot` is the
// Windows folder, e.g. C:\Windows; a path outside its System32 comes back as it is.
inline std::wstring SystemPathForBitness(const std::wstring& path, const std::wstring& systemRoot,
                                         int viewBits, int processBits) {
    if (viewBits == processBits || systemRoot.empty()) return path;
    const std::wstring system32 = systemRoot + L"\\System32\\";
    if (!StartsWithAsciiCaseless(path, system32)) return path;
    return systemRoot + (viewBits == 64 ? L"\\Sysnative\\" : L"\\SysWOW64\\") +
           path.substr(system32.size());
}

// True for a full path on a drive letter ("C:\..."). Anything else is not looked at: a UNC path
// ("\\server\share\..."), which would make the system connect to that server with this process's
// credentials (the program runs as SYSTEM under deployment tools), a device path ("\\?\",
// "\\.\"), or a relative one.
inline bool IsLocalDrivePath(const std::wstring& path) {
    if (path.size() < 3 || path[1] != L':' || path[2] != L'\\') return false;
    const wchar_t drive = AsciiLower(path[0]);
    return drive >= L'a' && drive <= L'z';
}

}  // namespace pruvolt
