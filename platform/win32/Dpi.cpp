// The display density: user32's per-monitor functions, looked up at run time (Windows 10 1607 and
// later), else what Windows 7 and 8 give a program aware of the system's density.
#include "platform/win32/Dpi.h"

namespace pruvolt::win32 {

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using SystemParametersInfoForDpiFunction = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);

struct PerMonitorFunctions {
    GetDpiForWindowFunction getDpiForWindow;
    GetSystemMetricsForDpiFunction getSystemMetricsForDpi;
    AdjustWindowRectExForDpiFunction adjustWindowRectExForDpi;
    SystemParametersInfoForDpiFunction systemParametersInfoForDpi;
};

template <typename Function>
Function Lookup(HMODULE user32, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(user32, name)));
}

// Looked up once; the window's thread is the only caller.
const PerMonitorFunctions& Functions() {
    static bool looked = false;
    static PerMonitorFunctions functions{};
    if (!looked) {
        const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
        functions.getDpiForWindow = Lookup<GetDpiForWindowFunction>(user32, "GetDpiForWindow");
        functions.getSystemMetricsForDpi =
            Lookup<GetSystemMetricsForDpiFunction>(user32, "GetSystemMetricsForDpi");
        functions.adjustWindowRectExForDpi =
            Lookup<AdjustWindowRectExForDpiFunction>(user32, "AdjustWindowRectExForDpi");
        functions.systemParametersInfoForDpi =
            Lookup<SystemParametersInfoForDpiFunction>(user32, "SystemParametersInfoForDpi");
        looked = true;
    }
    return functions;
}

}  // namespace

int WindowDpi(HWND window) {
    if (const auto getDpiForWindow = Functions().getDpiForWindow) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0) {
            return static_cast<int>(dpi);
        }
    }
    const HDC dc = ::GetDC(window);
    const int dpi = dc != nullptr ? ::GetDeviceCaps(dc, LOGPIXELSX) : 0;
    if (dc != nullptr) {
        ::ReleaseDC(window, dc);
    }
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

int SystemMetric(int index, int dpi) {
    if (const auto getSystemMetricsForDpi = Functions().getSystemMetricsForDpi) {
        return getSystemMetricsForDpi(index, static_cast<UINT>(dpi));
    }
    return ::GetSystemMetrics(index);
}

void AdjustWindowRectForDpi(RECT& rect, DWORD style, int dpi) {
    if (const auto adjust = Functions().adjustWindowRectExForDpi) {
        if (adjust(&rect, style, FALSE, 0, static_cast<UINT>(dpi))) {
            return;
        }
    }
    ::AdjustWindowRectEx(&rect, style, FALSE, 0);
}

bool MessageFont(LOGFONTW& font, int dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    const auto forDpi = Functions().systemParametersInfoForDpi;
    const BOOL got = forDpi != nullptr
                         ? forDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0,
                                  static_cast<UINT>(dpi))
                         : ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics),
                                                   &metrics, 0);
    if (got) {
        font = metrics.lfMessageFont;
    }
    return got != FALSE;
}

}  // namespace pruvolt::win32
