// The display density the window is laid out for: Windows 10's per-monitor functions where the
// system has them, the system's own density and metrics (Windows 7 and 8) where it does not.
#pragma once

#include <windows.h>

namespace pruvolt::win32 {

// The dots per inch of the monitor that shows the window.
int WindowDpi(HWND window);

// GetSystemMetrics at that density.
int SystemMetric(int index, int dpi);

// The outer rectangle of a top-level window of this style around the client rectangle given.
void AdjustWindowRectForDpi(RECT& rect, DWORD style, int dpi);

// The font of message boxes, which the buttons take, at that density; false when the system has
// none to give.
bool MessageFont(LOGFONTW& font, int dpi);

}  // namespace pruvolt::win32
