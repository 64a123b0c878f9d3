// The two windows' positions in the user's profile (organisation
// "TQ400 Application", application "TAVROCAM", group "Setting") and the
// placement rules around them.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

struct ProfilePositionKeys {
  const char* x;
  const char* y;
};

inline constexpr ProfilePositionKeys kMainWindowKeys{"MonX", "MonY"};
inline constexpr ProfilePositionKeys kRemoconKeys{"RemoconX", "RemoconY"};

// A missing or unreadable key reads as 0.
QPoint ReadProfilePosition(ProfilePositionKeys keys);
// True when either key of the pair is in the profile.
bool HasProfilePosition(ProfilePositionKeys keys);
void WriteProfilePosition(ProfilePositionKeys keys, QPoint position);

// The saved position, unless a window of this outer size would lie wholly
// outside every screen there (a monitor that has gone): then (0, 0).
QPoint VisiblePosition(QPoint saved, QSize outerSize);

// Where the panel goes on a first start: just right of the main window's
// frame, top edges level, when the panel's frame fits there on the screen
// area given; else the corner (0, 0).
QPoint FirstStartPanelPosition(const QRect& mainFrame, QSize panelOuterSize, const QRect& screenArea);

// The available area of the screen a window at this frame rectangle is on
// (the primary screen when it is on none); empty without any screen.
QRect ScreenAreaFor(const QRect& frame);

// The window's outer rectangle. Before a window manager has framed it, the
// frame is taken to add `frameAllowance` to the client size.
QRect OuterFrameRect(const QWidget& window, QSize frameAllowance);

// Puts the window's frame (not its client area) at this point, also before a
// window manager has framed it; the profile's positions are frames'.
void MoveFrameTo(QWidget& window, QPoint frameTopLeft);

// The top-left of the window's frame in its normal (restored) state, also
// while it is minimized or maximized.
QPoint RestoredFramePosition(const QWidget& window);
