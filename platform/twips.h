#pragma once

#include <QtGlobal>

#include <cmath>

/// Sizes and positions are kept in twips, as the layout rules are written, and converted
/// to device-independent pixels at the widget boundary (Qt's logical DPI is 96).
namespace condora::twips {

inline constexpr int PerPixel = 15;

/// Twips to pixels, rounded to the nearest pixel.
inline int toPixels(double twips)
{
    return int(std::lround(twips / PerPixel));
}

inline constexpr int fromPixels(int pixels)
{
    return pixels * PerPixel;
}

} // namespace condora::twips
