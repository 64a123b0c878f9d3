// The camera's picture size for each resolution mode it reports, as the
// camera link's frame layouts give it.
#pragma once

#include <optional>

#include <QSize>

#include "camera/frame_layout.h"

// The picture of a mode; nothing for a mode the camera never reports.
inline std::optional<QSize> PictureSizeForMode(int mode) {
  const camera::FrameLayout* layout = camera::FindFrameLayout(mode);
  if (!layout) return std::nullopt;
  return QSize(layout->width, layout->height);
}
