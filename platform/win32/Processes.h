// Starting the installers, for the window's launch and for /repair, which waits for them.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/Handles.h"

namespace pruvolt::win32 {

// Starts `applicationPath` with `commandLine` and the window style given, and returns the owner of
// its process handle (the thread handle is closed). Raises Win32Error when it cannot be started.
UniqueHandle StartProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                          int windowStyle);

}  // namespace pruvolt::win32
