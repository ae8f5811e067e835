// The program's exit codes, as the tools that run it read them (Windows Installer's conventions,
// which Intune and Configuration Manager follow): 0 only for success, 1618 to retry later,
// 3010 and 1641 for a restart. The README's table lists each one.
#pragma once

#include <cstdint>

namespace pruvolt::exitcodes {

inline constexpr std::uint32_t kSuccess = 0;
// A failure with no number of its own: an error numbered 0, or one that nothing expected.
inline constexpr std::uint32_t kFailure = 1;
inline constexpr std::uint32_t kFileNotFound = 2;             // ERROR_FILE_NOT_FOUND
inline constexpr std::uint32_t kInvalidParameter = 87;        // ERROR_INVALID_PARAMETER
// The installer is not signed by Microsoft through a chain this machine trusts: not started.
inline constexpr std::uint32_t kInstallerNotGenuine = 577;    // ERROR_INVALID_IMAGE_HASH
inline constexpr std::uint32_t kElevationRequired = 740;      // ERROR_ELEVATION_REQUIRED
inline constexpr std::uint32_t kTimeout = 1460;               // ERROR_TIMEOUT
inline constexpr std::uint32_t kBusy = 1618;                  // ERROR_INSTALL_ALREADY_RUNNING
// An elevated run whose own files another account can change: nothing tested, nothing started.
inline constexpr std::uint32_t kProgramFolderUntrusted = 1625;  // ERROR_INSTALL_PACKAGE_REJECTED
inline constexpr std::uint32_t kInstallPlatformUnsupported = 1633;  // ERROR_INSTALL_PLATFORM_UNSUPPORTED
inline constexpr std::uint32_t kRestartStarted = 1641;        // ERROR_SUCCESS_REBOOT_INITIATED
inline constexpr std::uint32_t kRestartRequired = 3010;       // ERROR_SUCCESS_REBOOT_REQUIRED

// An error's number as an exit code: a negative HRESULT keeps its 32 bits; 0, which would read
// as success, becomes kFailure.
constexpr std::uint32_t ForError(std::int32_t number) {
    return number == 0 ? kFailure : static_cast<std::uint32_t>(number);
}

}  // namespace pruvolt::exitcodes
