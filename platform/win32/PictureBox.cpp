// The picture box's painting.
#include "platform/win32/PictureBox.h"

#include "platform/win32/ControlClass.h"
#include "platform/win32/Dpi.h"
#include "platform/win32/Handles.h"
#include "platform/win32/MessageLoop.h"

namespace pruvolt::win32 {

namespace {

// The bitmap travels in GWLP_USERDATA.
void Paint(HWND window) {
    const PaintScope paint(window);
    const auto bitmap = reinterpret_cast<HBITMAP>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (bitmap == nullptr) {
        return;
    }
    BITMAP info{};
    ::GetObjectW(bitmap, sizeof(info), &info);
    const UniqueMemoryDc memory(::CreateCompatibleDC(paint.Dc()));
    if (!memory) {
        return;  // nothing to draw with; the box keeps its background
    }
    const ScopedSelectObject select(memory.Get(), bitmap);
    // The pictures are made for 96 dpi: at another density they are drawn at its scale, smoothed.
    const int dpi = WindowDpi(window);
    const int width = ::MulDiv(info.bmWidth, dpi, USER_DEFAULT_SCREEN_DPI);
    const int height = ::MulDiv(info.bmHeight, dpi, USER_DEFAULT_SCREEN_DPI);
    if (width == info.bmWidth && height == info.bmHeight) {
        ::BitBlt(paint.Dc(), 0, 0, width, height, memory.Get(), 0, 0, SRCCOPY);
        return;
    }
    ::SetStretchBltMode(paint.Dc(), HALFTONE);
    ::SetBrushOrgEx(paint.Dc(), 0, 0, nullptr);
    ::StretchBlt(paint.Dc(), 0, 0, width, height, memory.Get(), 0, 0, info.bmWidth, info.bmHeight,
                 SRCCOPY);
}

LRESULT CALLBACK PictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        switch (message) {
        case WM_PAINT:
            Paint(window);
            return 0;
        case WM_NCHITTEST:
            return HTTRANSPARENT;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
        }
    } catch (...) {
        ForwardCaught();
        return 0;
    }
}

}  // namespace

void RegisterPictureClass(HINSTANCE instance) {
    RegisterControlClass(instance, kPictureClass, PictureProc,
                         reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
}

void SetPicture(HWND pictureBox, HBITMAP bitmap) {
    ::SetWindowLongPtrW(pictureBox, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(bitmap));
}

}  // namespace pruvolt::win32
