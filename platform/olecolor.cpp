#include "platform/olecolor.h"

#include <QGuiApplication>

namespace condora {

OleColor OleColor::fromColor(const QColor &color)
{
    return fromRgb(color.red(), color.green(), color.blue());
}

QColor OleColor::toColor() const
{
    return toColor(QGuiApplication::palette());
}

QColor OleColor::toColor(const QPalette &palette) const
{
    if (!isSystem()) {
        return QColor(int(m_value & 0xFF), int((m_value >> 8) & 0xFF), int((m_value >> 16) & 0xFF));
    }
    switch (systemIndex()) {
    case 0: // scroll bars
        return palette.color(QPalette::Button);
    case 1: // desktop
        return palette.color(QPalette::Dark);
    case 2: // active title bar
        return palette.color(QPalette::Active, QPalette::Highlight);
    case 3: // inactive title bar
        return palette.color(QPalette::Inactive, QPalette::Highlight);
    case 4: // menu bar
        return palette.color(QPalette::Window);
    case 5: // window background
        return palette.color(QPalette::Base);
    case 6: // window frame
        return palette.color(QPalette::Shadow);
    case 7: // menu text
        return palette.color(QPalette::WindowText);
    case 8: // window text
        return palette.color(QPalette::Text);
    case 9: // title bar text
        return palette.color(QPalette::Active, QPalette::HighlightedText);
    case 10: // active border
    case 11: // inactive border
        return palette.color(QPalette::Window);
    case 12: // application workspace
        return palette.color(QPalette::Mid);
    case 13: // highlight
        return palette.color(QPalette::Highlight);
    case 14: // highlight text
        return palette.color(QPalette::HighlightedText);
    case 15: // button face
        return palette.color(QPalette::Button);
    case 16: // button shadow
        return palette.color(QPalette::Dark);
    case 17: // grey text
        return palette.color(QPalette::Disabled, QPalette::Text);
    case 18: // button text
        return palette.color(QPalette::ButtonText);
    case 19: // inactive caption text
        return palette.color(QPalette::Inactive, QPalette::HighlightedText);
    case 20: // 3D highlight
        return palette.color(QPalette::Light);
    case 21: // 3D dark shadow
        return palette.color(QPalette::Shadow);
    case 22: // 3D light
        return palette.color(QPalette::Midlight);
    case 23: // tooltip text
        return palette.color(QPalette::ToolTipText);
    case 24: // tooltip background
        return palette.color(QPalette::ToolTipBase);
    default:
        return palette.color(QPalette::Text);
    }
}

} // namespace condora
