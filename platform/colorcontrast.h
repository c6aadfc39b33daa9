#pragma once

#include <QColor>

namespace condora {

/// The WCAG 2 contrast ratio of two colours: from 1 (the same luminance) to 21 (black on white).
double contrastRatio(const QColor &a, const QColor &b);

/// `color` itself when it reads on `background` with at least `minimum` contrast; otherwise the
/// nearest mix of it towards black (on a light background) or white (on a dark one) that does.
/// Keeps the hue as far as the contrast allows.
QColor readableOn(const QColor &color, const QColor &background, double minimum = 4.5);

} // namespace condora
