// Delivery of the window's events to the logic's handlers, for the window procedure and the loop.
#pragma once

#include <windows.h>

#include <exception>

#include "platform/win32/Win32Platform.h"

namespace pruvolt::win32 {

// Runs a handler of the logic. Nothing may cross the window procedure (the i686 unwinder cannot
// unwind through user32), so what the handler let through is reported here, and the program ends.
// Once that report is open, no handler runs any more.
template <typename Handler>
void Deliver(Win32Platform& platform, Handler&& handler) noexcept {
    if (platform.Reporting()) {
        return;
    }
    try {
        handler();
    } catch (...) {
        platform.ReportUnexpected(std::current_exception());
    }
}

// Hands a message to the dialog handling of the top-level window it belongs to, else to its
// window: a message box opened under a running timer keeps its keys (Enter, Escape, Tab) even
// when a tick's own processing of events takes them from the queue.
void Dispatch(MSG& msg);

// For a control's window procedure, inside its catch block: what was caught is reported, as a
// handler's would be, and the program ends. Under a report already open it is let go: that report
// ends the program, and a control that fails each time it paints would otherwise stack report upon
// report. Nothing may unwind into the window system.
void ForwardCaught() noexcept;

}  // namespace pruvolt::win32
