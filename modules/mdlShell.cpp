// The Windows version as a short text of three numbers.
#include "modules/mdlShell.h"

#include <cstring>

#include "platform/DecimalText.h"

namespace pruvolt::mdlShell {

std::wstring GetWindowsVersion(Platform& platform) {
    OsVersionInfoA info{};
    info.dwOSVersionInfoSize = sizeof(OsVersionInfoA);
    std::memset(info.szCSDVersion, ' ', sizeof(info.szCSDVersion));
    // A failed query leaves the fields at 0, which reads as "0.0.0".
    (void)platform.GetVersionExA(info);
    return DecimalText(info.dwPlatformId) + L"." + DecimalText(info.dwMajorVersion) + L"." +
           DecimalText(info.dwMinorVersion);
}

}  // namespace pruvolt::mdlShell
