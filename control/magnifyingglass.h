#pragma once

#include <QColor>
#include <QImage>

namespace condora {

/// The dark grey the control's picture is drawn in.
inline const QColor MagnifyingGlassInk(64, 64, 64);

/// The control's picture on its window: a 32 x 32 magnifying glass drawn in `ink` (dark grey
/// unless the window is too dark for it) on a transparent background.
QImage magnifyingGlassPicture(const QColor &ink = MagnifyingGlassInk);

/// The 16 x 15 toolbox image for design environments: a magnifying glass in colour (a light
/// blue lens in a dark rim, a brown handle) on a transparent background.
QImage magnifyingGlassToolboxImage();

} // namespace condora
