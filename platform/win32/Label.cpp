// The status label's line breaking and painting.
#include "platform/win32/Label.h"

#include <string>

#include "platform/LineBreaking.h"
#include "platform/win32/ControlClass.h"
#include "platform/win32/Handles.h"
#include "platform/win32/MessageLoop.h"

namespace pruvolt::win32 {

namespace {

void Paint(HWND window) {
    const PaintScope paint(window);
    const HDC dc = paint.Dc();
    RECT client;
    ::GetClientRect(window, &client);
    const auto font = reinterpret_cast<HFONT>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    const ScopedSelectObject selectFont(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    TEXTMETRICW metrics;
    ::GetTextMetricsW(dc, &metrics);
    const int lineHeight = metrics.tmHeight + metrics.tmExternalLeading;

    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), length + 1)));
    const auto measure = [dc](const std::wstring& run) {
        SIZE size{};
        ::GetTextExtentPoint32W(dc, run.c_str(), static_cast<int>(run.size()), &size);
        return static_cast<int>(size.cx);
    };
    int y = 0;
    for (const std::wstring& line : linebreaking::WrapLines(text, client.right, measure)) {
        if (y >= client.bottom) {
            break;  // cut off at the bottom: the label neither grows nor scrolls
        }
        RECT row{0, y, client.right, y + lineHeight};
        ::DrawTextW(dc, line.c_str(), static_cast<int>(line.size()), &row,
                    DT_CENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
        y += lineHeight;
    }
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETFONT:
        ::SetWindowLongPtrW(window, GWLP_USERDATA, static_cast<LONG_PTR>(wParam));
        if (LOWORD(lParam) != 0) {
            ::InvalidateRect(window, nullptr, TRUE);
        }
        return 0;
    case WM_GETFONT:
        return ::GetWindowLongPtrW(window, GWLP_USERDATA);
    case WM_SETTEXT: {
        const LRESULT result = ::DefWindowProcW(window, message, wParam, lParam);
        ::InvalidateRect(window, nullptr, TRUE);
        return result;
    }
    case WM_ERASEBKGND: {
        // No background of its own: the parent's shows through.
        RECT rect;
        ::GetClientRect(window, &rect);
        const HWND parent = ::GetParent(window);
        POINT origin{0, 0};
        ::MapWindowPoints(window, parent, &origin, 1);
        const HDC dc = reinterpret_cast<HDC>(wParam);
        POINT previous;
        ::SetWindowOrgEx(dc, origin.x, origin.y, &previous);
        ::SendMessageW(parent, WM_ERASEBKGND, wParam, 0);
        ::SetWindowOrgEx(dc, previous.x, previous.y, nullptr);
        return 1;
    }
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

// Painting allocates (the text, its lines): what it throws is caught here, at the boundary.
LRESULT CALLBACK LabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        return HandleMessage(window, message, wParam, lParam);
    } catch (...) {
        ForwardCaught();
        return 0;
    }
}

}  // namespace

void RegisterLabelClass(HINSTANCE instance) {
    RegisterControlClass(instance, kLabelClass, LabelProc, nullptr);  // draws no background
}

}  // namespace pruvolt::win32
