// The program's switches for scripts and deployment tools: /check runs the probe, /repair runs the
// probe and, when it fails, the installer unattended and the probe again, /diagnose runs the probe
// and reports the Access engines, Office and the installer. None creates a window; each answers
// with an exit code and writes what the window would show, one line a step.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace pruvolt::mdlCommandLine {

enum class Switch { Check, Repair, Diagnose, DiagnoseJson, Usage };

// Exit codes other than the probe's error numbers: Windows' own codes for the same conditions.
inline constexpr std::uint32_t kExitFileNotFound = 2;          // ERROR_FILE_NOT_FOUND
inline constexpr std::uint32_t kExitInvalidParameter = 87;     // ERROR_INVALID_PARAMETER
inline constexpr std::uint32_t kExitAlreadyRunning = 183;      // ERROR_ALREADY_EXISTS
inline constexpr std::uint32_t kExitElevationRequired = 740;   // ERROR_ELEVATION_REQUIRED

// "/check", "/repair" or "/diagnose" (each also with "-"), in any case, as the only argument, or
// "/diagnose /json"; anything else asks for the usage.
Switch ReadSwitch(const std::vector<std::wstring>& arguments);

// Runs what the arguments (at least one) ask for and returns the process's exit code.
std::uint32_t RunSwitch(Platform& platform, const std::vector<std::wstring>& arguments);

}  // namespace pruvolt::mdlCommandLine
