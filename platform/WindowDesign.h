// What the platform needs to know to make the main window: where each control stands, in twips, and
// what it shows. The window's own folder fills it in; the platform is handed it when it makes the
// window, so that the platform never reaches up for the window's layout.
#pragma once

namespace pruvolt {

inline constexpr int kTwipsPerPixel = 15;  // the design density, 96 dots per inch

// Twips to device pixels at the design density, rounded to the nearest pixel.
constexpr int ToPixels(float twips) {
    const float pixels = twips / kTwipsPerPixel;
    return static_cast<int>(pixels < 0 ? pixels - 0.5f : pixels + 0.5f);
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
