#pragma once

#include "condora_export.h"

#include "platform/olecolor.h"

#include <QFont>
#include <QPixmap>

#include <memory>

class QWidget;

namespace condora {

using FontHandle = std::shared_ptr<QFont>;     ///< null: no font object
using PictureHandle = std::shared_ptr<QPixmap>; ///< null: no picture; empty pixmap: an empty picture

/// The appearance a query run hands to its dialogs; one library-wide record, captured by the
/// control just before it shows the query dialog and applied by each dialog when it is shown.
/// Fonts and pictures are the control's own objects (shared), colours 32-bit colour values.
struct CONDORA_EXPORT DialogStyle
{
    PictureHandle ButtonPicture;
    OleColor ButtonBackColor;
    FontHandle GridFont;
    FontHandle GridFontFixed;
    OleColor FormBackColor;
    PictureHandle FormPicture;
    OleColor GridColor;
    OleColor GridColorFixed;
    OleColor GridColorUnpopulated;
    OleColor GridForeColor;
    OleColor GridForeColorFixed;
    OleColor GridForeColorSel;
    OleColor GridBackColor;
    OleColor GridBackColorBkg;
    OleColor GridBackColorFixed;
    OleColor GridBackColorSel;
    OleColor GridBackColorUnpopulated;
    OleColor LabelBackColor;
    OleColor LabelForeColor;
    FontHandle LabelFont;
    FontHandle ButtonFont;
};

/// The one style record (all empty before the first run that reaches a dialog).
CONDORA_EXPORT DialogStyle &dialogStyle();
CONDORA_EXPORT void resetDialogStyle();

/// Applies dialogStyle() to `form` and its buttons (QPushButton), labels (QLabel) and flex
/// grids (condora::FlexGrid), matched by exact class name; other widgets keep their design.
/// Colours are resolved through OleColor (system colours through the application palette).
/// A font member without an object leaves that font as designed; a picture member without an
/// object, or an empty picture, shows no image. The form's picture is painted at its top-left
/// corner. Errors are reported through showError and stop the routine.
CONDORA_EXPORT void applyStyle(QWidget *form);

} // namespace condora
