// What the program asks of the Windows shell: the version it runs on.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace pruvolt::mdlShell {

// "platform id.major.minor", each in decimal; "0.0.0" when the version query fails.
std::wstring GetWindowsVersion(Platform& platform);

}  // namespace pruvolt::mdlShell
