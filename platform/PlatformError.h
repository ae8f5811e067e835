// The error every platform operation raises: a number as users and support articles know it, and
// the description the failing component gave.
#pragma once

#include <cstdint>
#include <string>

namespace pruvolt {

struct PlatformError {
    std::int32_t number;       // ADO's own codes for FACILITY_CONTROL, else the HRESULT itself
    std::wstring description;  // as the platform delivered it; may be empty
};

}  // namespace pruvolt
