// The status label: its line breaking, its painting, and what screen readers are told of it.
#include "platform/win32/Label.h"

#include <oleacc.h>

#include <string>
#include <string_view>

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

// The accessibility services' identifiers, as the SDK's oleacc.h and UIAutomationCoreApi.h give
// them; spelled out here so that no import library is needed for them.
constexpr CLSID kAccPropServicesClass{
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr IID kAccPropServicesInterface{
    0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr GUID kRoleProperty{  // PROPID_ACC_ROLE
    0xcb905ff2, 0x7bd1, 0x4c05, {0xb3, 0xc8, 0xe6, 0xc2, 0x41, 0x36, 0x4d, 0x70}};
constexpr GUID kLiveSettingProperty{  // LiveSetting_Property_GUID
    0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr LONG kLiveSettingPolite = 1;
constexpr DWORD kLiveRegionChanged = 0x8019;  // EVENT_OBJECT_LIVEREGIONCHANGED, from Windows 8

VARIANT Int32Variant(LONG value) {
    VARIANT variant;
    ::VariantInit(&variant);
    variant.vt = VT_I4;
    variant.lVal = value;
    return variant;
}

std::wstring_view WithoutFinalStops(std::wstring_view text) {
    const std::size_t end = text.find_last_not_of(L'.');
    return text.substr(0, end == std::wstring_view::npos ? 0 : end + 1);
}

}  // namespace

void DescribeLabelToScreenReaders(HWND label) {
    IAccPropServices* services = nullptr;
    if (FAILED(::CoCreateInstance(kAccPropServicesClass, nullptr, CLSCTX_INPROC_SERVER,
                                  kAccPropServicesInterface, reinterpret_cast<void**>(&services)))) {
        return;
    }
    // Annotations of the system's own proxy for the window, which names it by its window text.
    // Each answer is let go: a refusal leaves the label readable by that text.
    (void)services->SetHwndProp(label, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                kRoleProperty, Int32Variant(ROLE_SYSTEM_STATICTEXT));
    (void)services->SetHwndProp(label, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                kLiveSettingProperty, Int32Variant(kLiveSettingPolite));
    services->Release();
}

void AnnounceLabelText(HWND label, const std::wstring& text, std::wstring& announced) {
    if (!announced.empty() && WithoutFinalStops(text) == WithoutFinalStops(announced)) {
        return;
    }
    announced = text;
    ::NotifyWinEvent(kLiveRegionChanged, label, OBJID_CLIENT, CHILDID_SELF);
}

void RegisterLabelClass(HINSTANCE instance) {
    RegisterControlClass(instance, kLabelClass, LabelProc, nullptr);  // draws no background
}

}  // namespace pruvolt::win32
