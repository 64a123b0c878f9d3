// The camera's picture size for each resolution mode it reports.
#pragma once

#include <optional>

#include <QSize>

// The picture of a mode; nothing for a mode the camera never reports.
inline std::optional<QSize> PictureSizeForMode(int mode) {
  switch (mode) {
    case 0: return QSize(640, 480);
    case 1: return QSize(800, 600);
    case 2: return QSize(1024, 768);
    case 4: return QSize(320, 240);
    case 5: return QSize(400, 300);
    case 6: return QSize(512, 384);
    default: return std::nullopt;
  }
}
