// Turns what Windows and COM report into the one error the logic knows.
#pragma once

#include <windows.h>

#include <string>

#include "platform/PlatformError.h"

namespace pruvolt::win32 {

// The system's message text for a code, without the trailing line break; empty when it has none.
std::wstring SystemMessage(DWORD code);

// From a failed COM call: the description of the thread's error info when the component left
// one, else the system's message text for the HRESULT.
PlatformError ErrorFromHresult(HRESULT hr);

// From a failed Win32 call's last-error code; a call that left none is E_FAIL, never error 0.
PlatformError ErrorFromWin32(DWORD code);

// The same, for a call about one file: the inserts of the system's text name it
// ("%1 is not a valid Win32 application." names the file).
PlatformError ErrorFromWin32(DWORD code, const std::wstring& file);

// Throws ErrorFromHresult(hr) when hr reports failure.
void ThrowIfFailed(HRESULT hr);

}  // namespace pruvolt::win32
