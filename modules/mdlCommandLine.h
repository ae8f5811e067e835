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

// How long /repair waits for the installer and everything it starts: well past the minutes an
// installation of the engine takes, and under the hour that deployment tools give an installation
// by default (Intune's Win32 apps: 60 minutes), so that the tool reads our line, not its own
// time-out.
inline constexpr std::uint32_t kInstallerLimitMinutes = 30;

// "/check", "/repair" or "/diagnose" (each also with "-"), in any case, as the only argument, or
// "/diagnose /json"; anything else asks for the usage.
Switch ReadSwitch(const std::vector<std::wstring>& arguments);

// Runs what the arguments (at least one) ask for and returns the process's exit code (ExitCodes.h).
// An error that escapes the run is written as a line and ends it with a failure's code.
std::uint32_t RunSwitch(Platform& platform, const std::vector<std::wstring>& arguments);

}  // namespace pruvolt::mdlCommandLine
