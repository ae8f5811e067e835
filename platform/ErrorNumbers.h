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
// 0x800A0E7A -> 3706; any other HRESULT as itself, a negative number.
constexpr std::int32_t ErrorNumberFromHresult(std::int32_t hr) {
    constexpr std::uint32_t kFacilityControl = 10;
    const auto bits = static_cast<std::uint32_t>(hr);
    if (((bits >> 16) & 0x1FFFu) == kFacilityControl) {
        return static_cast<std::int32_t>(bits & 0xFFFFu);
    }
    return hr;
}

}  // namespace pruvolt
