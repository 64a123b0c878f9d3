// The artwork of the picture buttons, drawn as vectors so it stays crisp at
// any size.
#pragma once

#include <QRectF>

#include "panel/panel_layout.h"

class QPainter;

// Draws `picture` centred in `box`, keeping its proportions.
void DrawPanelPicture(QPainter& painter, PanelPicture picture, const QRectF& box);
