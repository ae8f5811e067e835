// The window class of one of the program's own controls (the label, the picture box).
#pragma once

#include <windows.h>

#include "platform/win32/Errors.h"

namespace pruvolt::win32 {

// Registers the class with the arrow cursor and the background given (none: the control paints
// all of itself); raises when the system refuses it.
inline void RegisterControlClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure,
                                 HBRUSH background) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    if (::RegisterClassExW(&windowClass) == 0) {
        throw ErrorFromWin32(::GetLastError());
    }
}

}  // namespace pruvolt::win32
