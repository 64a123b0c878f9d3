// The main window's own sizes.
#pragma once

#include <QSize>

// The window is created for a 640 x 480 picture less the frame that its
// outer size of 645 x 500 allowed for, so the picture's last rows stay
// hidden until the camera first reports another mode.
inline constexpr QSize kCreatedClientSize(640, 475);
inline constexpr QSize kCreatedOuterSize(645, 500);
// What a frame adds to a client area before a window manager has framed it.
inline constexpr QSize kFrameAllowance = kCreatedOuterSize - kCreatedClientSize;
// Small enough for any use, large enough to keep the window findable.
inline constexpr QSize kMinimumClientSize(160, 120);
