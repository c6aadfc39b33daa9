#pragma once

#include "condora_export.h"

#include <QColor>
#include <QMetaType>
#include <QPalette>

namespace condora {

/// A 32-bit colour value as hosts store it: either an RGB value laid out as 0x00BBGGRR,
/// or 0x80000000 plus a system colour index, which is resolved through the application
/// palette when the colour is used (so it follows the user's current colours).
class CONDORA_EXPORT OleColor
{
public:
    /// The bit that marks a system colour.
    static constexpr quint32 SystemFlag = 0x80000000u;
    ///@{
    /// A system colour: SystemFlag plus the colour's index, resolved through the palette.
    static constexpr quint32 ScrollBars = SystemFlag | 0;
    static constexpr quint32 Desktop = SystemFlag | 1;
    static constexpr quint32 ActiveTitleBar = SystemFlag | 2;
    static constexpr quint32 InactiveTitleBar = SystemFlag | 3;
    static constexpr quint32 MenuBar = SystemFlag | 4;
    static constexpr quint32 WindowBackground = SystemFlag | 5;
    static constexpr quint32 WindowFrame = SystemFlag | 6;
    static constexpr quint32 MenuText = SystemFlag | 7;
    static constexpr quint32 WindowText = SystemFlag | 8;
    static constexpr quint32 TitleBarText = SystemFlag | 9;
    static constexpr quint32 ActiveBorder = SystemFlag | 10;
    static constexpr quint32 InactiveBorder = SystemFlag | 11;
    static constexpr quint32 ApplicationWorkspace = SystemFlag | 12;
    static constexpr quint32 Highlight = SystemFlag | 13;
    static constexpr quint32 HighlightText = SystemFlag | 14;
    static constexpr quint32 ButtonFace = SystemFlag | 15;
    static constexpr quint32 ButtonShadow = SystemFlag | 16;
    static constexpr quint32 GrayText = SystemFlag | 17;
    static constexpr quint32 ButtonText = SystemFlag | 18;
    static constexpr quint32 InactiveCaptionText = SystemFlag | 19;
    static constexpr quint32 ThreeDHighlight = SystemFlag | 20;
    static constexpr quint32 ThreeDDKShadow = SystemFlag | 21;
    static constexpr quint32 ThreeDLight = SystemFlag | 22;
    static constexpr quint32 InfoText = SystemFlag | 23;
    static constexpr quint32 InfoBackground = SystemFlag | 24;
    ///@}

    /// Black (RGB 0).
    constexpr OleColor() = default;
    /// The colour of a stored 32-bit value.
    constexpr OleColor(quint32 value) : m_value(value) {} // NOLINT: a colour is its number
    /// The RGB value of `color` (see fromColor); implicit so that a QColor can be given
    /// wherever a colour is taken, as code generated from designed forms does.
    OleColor(const QColor &color) : OleColor(fromColor(color)) {} // NOLINT

    /// The 32-bit value as stored.
    constexpr quint32 value() const { return m_value; }
    /// True for a system colour.
    constexpr bool isSystem() const { return (m_value & SystemFlag) != 0; }
    /// The system colour's index, or -1 for an RGB value.
    constexpr int systemIndex() const { return isSystem() ? int(m_value & 0xFFu) : -1; }

    /// An RGB colour value from its components.
    static constexpr OleColor fromRgb(int red, int green, int blue)
    {
        return OleColor(quint32(red & 0xFF) | (quint32(green & 0xFF) << 8) | (quint32(blue & 0xFF) << 16));
    }
    /// The RGB value of `color` (its alpha dropped).
    static OleColor fromColor(const QColor &color);

    /// The colour to paint with: RGB values directly, system colours through `palette`
    /// (the application palette by default). Unknown system indices give the window text colour.
    QColor toColor() const;
    /// The same, resolved through `palette`.
    QColor toColor(const QPalette &palette) const;

    /// Equal when the stored values are equal.
    friend constexpr bool operator==(OleColor a, OleColor b) { return a.m_value == b.m_value; }
    /// Different when the stored values differ.
    friend constexpr bool operator!=(OleColor a, OleColor b) { return a.m_value != b.m_value; }

private:
    quint32 m_value = 0;
};

} // namespace condora

Q_DECLARE_METATYPE(condora::OleColor)
