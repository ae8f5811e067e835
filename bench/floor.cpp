// The benchmark's floor: the least a Win32 program can do to show a window like the main window.
// One top-level window of the same style, client size and caption, centred, on a white
// background, with one child "label" that draws its text centred line by line in the label's
// font. It registers the main window's and the label's class names, so that the driver finds and
// waits on it exactly as on the real program.
//
// What it does, in order: registers its two classes, creates the window hidden, centres it,
// shows it and paints it at once (UpdateWindow), with the probing text in the label. When the
// label has painted for the first time it posts itself a message; on that message it puts the
// verdict text in the label, which paints again. So its "verdict" is a second paint of the same
// window with nothing between the two: no probe, no component loaded.
//
// Built with FLOOR_BUTTONS (floor-buttons.exe, whose manifest asks for the common controls 6), it
// also makes the main window's two push buttons, in their places and the system's message font,
// before the window is shown: the least that a window with those buttons costs, which the
// benchmark reports beside the floor.
#include <windows.h>

namespace {

constexpr wchar_t kMainClass[] = L"PruvoltMain";
constexpr wchar_t kLabelClass[] = L"PruvoltLabel";
constexpr wchar_t kCaption[] = L"Pruvolt & Installer";
constexpr wchar_t kProbing[] = L"\r\n正在測試連線資料中...\r\n請稍候...";
constexpr wchar_t kVerdict[] = L"錯誤代碼 (3709)\r\n回報內容：";
constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr UINT kShowVerdict = WM_APP + 1;

HFONT g_font = nullptr;
bool g_painted = false;

LRESULT CALLBACK LabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETTEXT: {
        const LRESULT result = ::DefWindowProcW(window, message, wParam, lParam);
        ::InvalidateRect(window, nullptr, TRUE);
        return result;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        const HDC dc = ::BeginPaint(window, &paint);
        RECT client;
        ::GetClientRect(window, &client);
        const HGDIOBJ oldFont = ::SelectObject(dc, g_font);
        ::SetBkMode(dc, TRANSPARENT);
        wchar_t text[256];
        const int length = ::GetWindowTextW(window, text, 256);
        ::DrawTextW(dc, text, length, &client, DT_CENTER | DT_NOPREFIX);
        ::SelectObject(dc, oldFont);
        ::EndPaint(window, &paint);
        if (!g_painted) {
            g_painted = true;
            ::PostMessageW(::GetParent(window), kShowVerdict, 0, 0);
        }
        return 0;
    }
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kShowVerdict:
        ::SetWindowTextW(::GetDlgItem(window, 1), kVerdict);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSEXW mainClass{};
    mainClass.cbSize = sizeof(mainClass);
    mainClass.lpfnWndProc = MainProc;
    mainClass.hInstance = instance;
    mainClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    mainClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    mainClass.lpszClassName = kMainClass;
    ::RegisterClassExW(&mainClass);

    WNDCLASSEXW labelClass{};
    labelClass.cbSize = sizeof(labelClass);
    labelClass.lpfnWndProc = LabelProc;
    labelClass.hInstance = instance;
    labelClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    labelClass.lpszClassName = kLabelClass;
    ::RegisterClassExW(&labelClass);

    // The same client area as the main window's: 270 x 246 pixels.
    RECT frame{0, 0, 270, 246};
    ::AdjustWindowRectEx(&frame, kMainStyle, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const HWND window = ::CreateWindowExW(
        0, kMainClass, kCaption, kMainStyle, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
        (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr, nullptr, instance,
        nullptr);
    g_font = ::CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_SWISS, L"Arial");
    ::CreateWindowExW(0, kLabelClass, kProbing, WS_CHILD | WS_VISIBLE, 6, 104, 255, 61, window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(1)), instance, nullptr);
#ifdef FLOOR_BUTTONS
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    const HFONT buttonFont = ::CreateFontIndirectW(&metrics.lfMessageFont);
    const struct {
        const wchar_t* caption;
        int top;
    } buttons[] = {{L"安裝資料庫驅動程式", 172}, {L"結束程式", 206}};
    for (const auto& button : buttons) {
        const HWND control = ::CreateWindowExW(
            0, L"BUTTON", button.caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 14,
            button.top, 241, 27, window, nullptr, instance, nullptr);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont), FALSE);
    }
#endif
    ::ShowWindow(window, SW_SHOW);
    ::UpdateWindow(window);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
