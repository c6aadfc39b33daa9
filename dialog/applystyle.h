#pragma once

#include "platform/dialogstyle.h"

class QWidget;

namespace condora {

/// Applies `style` to `form` and its buttons (QPushButton), labels (QLabel) and flex grids
/// (condora::FlexGrid), matched by exact class name; other widgets keep their design. Colours
/// are resolved through OleColor (system colours through the application palette). A font
/// member without an object leaves that font as designed; a picture member without an object,
/// or an empty picture, shows no image. The form's picture is painted at its top-left corner.
/// Errors are reported through showError and stop the routine.
void applyStyle(QWidget *form, const DialogStyle &style);

} // namespace condora
