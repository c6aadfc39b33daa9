#pragma once

#include <QImage>

namespace condora {

/// The control's picture on its window: a 32 x 32 magnifying glass drawn in dark grey on a
/// transparent background.
QImage magnifyingGlassPicture();

/// The 16 x 15 toolbox image for design environments: a magnifying glass in colour (a light
/// blue lens in a dark rim, a brown handle) on a transparent background.
QImage magnifyingGlassToolboxImage();

} // namespace condora
