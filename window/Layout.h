// The main window's design: where every control stands when the window is created, in twips, and
// what the window and its buttons say. Handed to the platform when it makes the window.
#pragma once

#include "platform/WindowDesign.h"
#include "texts/Texts.h"

namespace pruvolt::layout {

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

inline constexpr WindowDesign kWindowDesign{
    texts::kCaption,
    kClientWidth, kClientHeight,
    kLblMessage, kCmdInstall0, kCmdInstall2, kPicProgress, kPicProgressInner, kImgProgressFlash,
    kImgLogo,
    texts::kInstallCaption, texts::kExitCaption,
    L"Arial", 9,
    kTmrEventsInterval, kTmrEndInterval,
};

}  // namespace pruvolt::layout
