// The program's entry, where its parts are put together: prepares the process, then hands it to the
// main window made from the window's design, or, when it was started with arguments, runs the
// switch they name without any window and ends with its code.
#include <windows.h>
#include <objbase.h>

#include "modules/mdlCommandLine.h"
#include "platform/win32/Win32Platform.h"
#include "window/Layout.h"
#include "window/frmStartup.h"

// Annotated as the SDK declares it, so that MSVC's code analysis finds the two alike.
int WINAPI wWinMain(_In_ HINSTANCE instance, _In_opt_ HINSTANCE, _In_ PWSTR, _In_ int) {
    // The current folder leaves the DLL search. Nothing stricter: database drivers and providers
    // load their own dependencies from their own folders.
    ::SetDllDirectoryW(L"");
    // Never uninitialised: the program ends by ending the process.
    (void)::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    pruvolt::win32::Win32Platform platform(instance, pruvolt::layout::kWindowDesign);
    const auto arguments = platform.CommandLineArguments();
    if (!arguments.empty()) {
        ::ExitProcess(pruvolt::mdlCommandLine::RunSwitch(platform, arguments));
    }
    pruvolt::frmStartup form(platform);
    platform.Run(form);
}
