#pragma once

#include <QRect>

class QWidget;

/// Positions and sizes of the dialogs' controls in twips.
///
/// The layout rules of the dialogs are written in twips and are computed in twips; the
/// widgets themselves live in pixels. A control placed through setTwipsGeometry() remembers
/// the exact twips it was given (dynamic property "twipsGeometry"), so later rules that read
/// a control's position back (grid Top + grid Height + 20, ...) get the exact numbers rather
/// than values rounded through pixels. When the widget has since been moved by other means,
/// its pixel geometry is used instead.
///
/// A window's Width and Height are its outer size: the client area plus the window frame. The
/// frame is taken at its design size (120 twips wide, 405 twips tall: borders and caption),
/// whatever the window manager draws, so the layout numbers are the same on every platform.
namespace condora::twipsgeometry {

inline constexpr int FrameWidth = 120;
inline constexpr int FrameHeight = 405;

void setTwipsGeometry(QWidget *widget, const QRect &twips);
QRect twipsGeometry(const QWidget *widget);

void setLeft(QWidget *widget, int twips);
void setTop(QWidget *widget, int twips);
void setWidth(QWidget *widget, int twips);
void setHeight(QWidget *widget, int twips);

/// Outer size and screen position of a top-level window, in twips.
int windowWidth(const QWidget *window);
int windowHeight(const QWidget *window);
void setWindowSize(QWidget *window, int widthTwips, int heightTwips);
int windowLeft(const QWidget *window);
int windowTop(const QWidget *window);
void moveWindow(QWidget *window, int leftTwips, int topTwips);

} // namespace condora::twipsgeometry
