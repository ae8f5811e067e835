// How the numbers users see are made from what the system reports. No Windows header: the rules
// are the same on every build, and the unit tests check them.
#pragma once

#include <cstdint>

namespace pruvolt {

// HRESULT_FROM_WIN32: a Win32 error code as an HRESULT of FACILITY_WIN32; 0 (and anything that
// already reads as an HRESULT) stays as it is.
constexpr std::int32_t HresultFromWin32(std::uint32_t code) {
    if (static_cast<std::int32_t>(code) <= 0) {
        return static_cast<std::int32_t>(code);
    }
    return static_cast<std::int32_t>((code & 0xFFFFu) | (7u << 16) | 0x80000000u);
}

// ADO's own codes (facility FACILITY_CONTROL) as users and support articles know them, e.g.
// 0x800A0E7A -> 3706; any other HRESULT as itself, a negative number. A control-facility code
// without a number of its own stays the HRESULT: a failure never reads as error 0.
constexpr std::int32_t ErrorNumberFromHresult(std::int32_t hr) {
    constexpr std::uint32_t kFacilityControl = 10;
    const auto bits = static_cast<std::uint32_t>(hr);
    if (((bits >> 16) & 0x1FFFu) == kFacilityControl && (bits & 0xFFFFu) != 0) {
        return static_cast<std::int32_t>(bits & 0xFFFFu);
    }
    return hr;
}

// E_FAIL, "unspecified error": what a call that failed without leaving a code reports, so that no
// failure shows as error 0, which reads as success.
inline constexpr std::int32_t kUnspecifiedFailure = static_cast<std::int32_t>(0x80004005u);

// ERROR_DISK_FULL and ERROR_WRITE_FAULT.
inline constexpr std::uint32_t kErrorDiskFull = 112;
inline constexpr std::uint32_t kErrorWriteFault = 29;

// The Win32 code of one write of `asked` bytes that wrote `written`: 0 when it wrote them all;
// ERROR_DISK_FULL when it wrote less without failing, as a volume answers once it is full; the
// call's last error when it failed, ERROR_WRITE_FAULT when it left none.
constexpr std::uint32_t WriteFailureCode(bool succeeded, std::uint32_t lastError,
                                         std::uint32_t asked, std::uint32_t written) {
    if (!succeeded) {
        return lastError != 0 ? lastError : kErrorWriteFault;
    }
    return written < asked ? kErrorDiskFull : 0;
}

}  // namespace pruvolt
