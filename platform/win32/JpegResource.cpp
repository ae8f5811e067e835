// The logo's picture: a JPEG among the program's resources, decoded into a bitmap.
#include "platform/win32/JpegResource.h"

#include <cstddef>
#include <memory>

#include <stb_image.h>

namespace pruvolt::win32 {

namespace {

struct DecodedPixels {
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

}  // namespace

UniqueBitmap LoadJpegResource(HINSTANCE instance, int id) {
    const HRSRC resource = ::FindResourceW(instance, MAKEINTRESOURCEW(id), RT_RCDATA);
    if (resource == nullptr) {
        return {};
    }
    const auto* bytes =
        static_cast<const stbi_uc*>(::LockResource(::LoadResource(instance, resource)));
    const int size = static_cast<int>(::SizeofResource(instance, resource));
    if (bytes == nullptr) {
        return {};
    }
    int width = 0;
    int height = 0;
    int channels = 0;
    const std::unique_ptr<stbi_uc, DecodedPixels> rgb(
        stbi_load_from_memory(bytes, size, &width, &height, &channels, 3));
    if (!rgb) {
        return {};
    }

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as decoded
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr) {
        return {};
    }
    // A DIB's rows hold blue, green, red and are padded to four bytes.
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    for (int y = 0; y < height; ++y) {
        const stbi_uc* from = rgb.get() + static_cast<std::size_t>(y) * width * 3;
        auto* to = static_cast<unsigned char*>(bits) + y * stride;
        for (int x = 0; x < width; ++x, from += 3, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
    return bitmap;
}

}  // namespace pruvolt::win32
