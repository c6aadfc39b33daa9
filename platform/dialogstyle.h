#pragma once

#include "condora_export.h"

#include "platform/olecolor.h"

#include <QFont>
#include <QPixmap>

#include <memory>

namespace condora {

using FontHandle = std::shared_ptr<QFont>;     ///< null: no font object
using PictureHandle = std::shared_ptr<QPixmap>; ///< null: no picture; empty pixmap: an empty picture

/// The appearance a query run hands to its dialogs, taken from the control's properties when the
/// run opens its dialog. Fonts and pictures are the control's own objects (shared), colours
/// 32-bit colour values.
struct CONDORA_EXPORT DialogStyle
{
    ///@{
    /// The value of the control's appearance property of the same name.
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
    ///@}
};

} // namespace condora
