// The two windows' positions in the user's profile (organisation
// "TQ400 Application", application "TAVROCAM", group "Setting") and the
// placement rules around them.
#pragma once

#include <QPoint>
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
void WriteProfilePosition(ProfilePositionKeys keys, QPoint position);

// The saved position, unless a window of this outer size would lie wholly
// outside every screen there (a monitor that has gone): then (0, 0).
QPoint VisiblePosition(QPoint saved, QSize outerSize);

// The top-left of the window's frame in its normal (restored) state, also
// while it is minimized or maximized.
QPoint RestoredFramePosition(const QWidget& window);
