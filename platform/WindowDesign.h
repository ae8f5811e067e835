// What the platform needs to know to make the main window: where each control stands, in twips, and
// what it shows. The window's own folder fills it in; the platform is handed it when it makes the
// window, so that the platform never reaches up for the window's layout.
#pragma once

namespace pruvolt {

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kDesignDpi = 96;  // the design's density: 15 twips a pixel

// Twips to device pixels at `dpi` dots per inch, rounded to the nearest pixel (halves away from
// zero, as MulDiv rounds).
constexpr int ToPixels(double twips, int dpi) {
    const double pixels = twips * dpi / kTwipsPerInch;
    return static_cast<int>(pixels < 0 ? pixels - 0.5 : pixels + 0.5);
}

// Device pixels at `dpi` dots per inch to twips.
constexpr float ToTwips(int pixels, int dpi) {
    return static_cast<float>(static_cast<double>(pixels) * kTwipsPerInch / dpi);
}

struct Box {
    int left, top, width, height;  // twips, in the container's client coordinates
};

struct WindowDesign {
    const wchar_t* caption;
    int clientWidth, clientHeight;  // twips
    // One box for each control, in the order of the Control enumeration (platform/Platform.h).
    Box lblMessage, cmdInstall0, cmdInstall2, picProgress, picProgressInner, imgProgressFlash;
    Box imgLogo;  // the logic never touches it
    const wchar_t* installCaption;
    const wchar_t* exitCaption;
    // The label's font; the buttons use the system's user-interface font.
    const wchar_t* labelFontFace;
    int labelFontPoints;
    unsigned tmrEventsInterval, tmrEndInterval;  // ms
};

}  // namespace pruvolt
