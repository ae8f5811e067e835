// The status label: a child window that centres each line, wraps between words or between any two
// Chinese characters, starts at the top and clips at the bottom. It draws no background of its
// own and keeps its text as the window text, so WM_GETTEXT reads it.
#pragma once

#include <windows.h>


namespace pruvolt::win32 {

inline constexpr wchar_t kLabelClass[] = L"PruvoltLabel";

void RegisterLabelClass(HINSTANCE instance);

}  // namespace pruvolt::win32
