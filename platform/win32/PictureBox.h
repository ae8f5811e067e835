// The picture box: a child window that draws its bitmap at its top left corner on the
// window-background colour, clipped to the box: unscaled at 96 dpi, at another density scaled to
// it, smoothly. It lets the mouse through to what lies beneath.
#pragma once

#include <windows.h>

namespace pruvolt::win32 {

inline constexpr wchar_t kPictureClass[] = L"PruvoltPicture";

// Raises when the system refuses the class.
void RegisterPictureClass(HINSTANCE instance);

// The bitmap a picture box draws; not owned by the box.
void SetPicture(HWND pictureBox, HBITMAP bitmap);

}  // namespace pruvolt::win32
