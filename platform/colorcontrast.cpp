#include "platform/colorcontrast.h"

#include <algorithm>
#include <cmath>

namespace condora {

namespace {

double channel(double value)
{
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

QColor mix(const QColor &from, const QColor &to, double t)
{
    const QColor a = from.toRgb();
    const QColor b = to.toRgb();
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t), float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t), float(a.alphaF()));
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor &color, const QColor &background, double minimum)
{
    if (contrastRatio(color, background) >= minimum) {
        return color;
    }
    // Black reads best on a background whose luminance is above the crossing point of the
    // two ratios (about 0.18), white below it.
    const QColor target = luminance(background) > 0.179 ? QColor(Qt::black) : QColor(Qt::white);
    for (int step = 1; step <= 20; ++step) {
        const QColor candidate = mix(color, target, step / 20.0);
        if (contrastRatio(candidate, background) >= minimum) {
            return candidate;
        }
    }
    return target;
}

} // namespace condora
