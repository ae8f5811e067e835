// The logo's picture: a JPEG among the program's resources, decoded into a bitmap.
#pragma once

#include <windows.h>

#include "platform/win32/Handles.h"

namespace pruvolt::win32 {

// The JPEG stored as resource `id` of type RT_RCDATA, as a 24-bit DIB section of its own size.
// Empty when the resource is missing or does not decode.
UniqueBitmap LoadJpegResource(HINSTANCE instance, int id);

}  // namespace pruvolt::win32
