#pragma once

#include "condora_export.h"

#include <QString>

class QComboBox;

namespace condora {

/// Selects the first entry of `list` that matches `value` (both sides trimmed of spaces,
/// compared case-sensitively): with `mode` "0" the entry's item datum (as decimal text) is
/// compared, with any other mode its text. When nothing matches, mode "0" leaves the selection
/// as it was and any other mode clears it. Errors are reported through the shared error report.
CONDORA_EXPORT void selectListItem(QComboBox *list, const QString &value, const QString &mode);

} // namespace condora
