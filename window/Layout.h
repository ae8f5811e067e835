// The main window's design: where every control stands when the window is created, in twips.
#pragma once

namespace pruvolt::layout {

inline constexpr int kTwipsPerPixel = 15;  // the design density, 96 dots per inch

struct Box {
    int left, top, width, height;  // twips, in the container's client coordinates
};

inline constexpr int kClientWidth = 4050;   // 270 px
inline constexpr int kClientHeight = 3690;  // 246 px

inline constexpr Box kImgLogo{1320, 240, 1380, 1365};
inline constexpr Box kLblMessage{90, 1560, 3825, 915};
inline constexpr Box kCmdInstall0{210, 2580, 3615, 405};
inline constexpr Box kCmdInstall2{210, 3090, 3615, 405};
// The strip overhangs the client area by 150 twips on the left and 1050 on the right.
inline constexpr Box kPicProgress{-150, 2670, 5250, 225};
inline constexpr Box kPicProgressInner{10, 15, 5220, 195};  // inside picProgress
inline constexpr Box kImgProgressFlash{30, 0, 1215, 195};   // inside picProgressInner

inline constexpr unsigned kTmrEventsInterval = 30;    // ms
inline constexpr unsigned kTmrEndInterval = 10000;    // ms

// The label's font; the buttons use the system's user-interface font.
inline constexpr wchar_t kLabelFontFace[] = L"Arial";
inline constexpr int kLabelFontPoints = 9;

// Twips to device pixels at the design density, rounded to the nearest pixel.
constexpr int ToPixels(float twips) {
    const float pixels = twips / kTwipsPerPixel;
    return static_cast<int>(pixels < 0 ? pixels - 0.5f : pixels + 0.5f);
}

}  // namespace pruvolt::layout
