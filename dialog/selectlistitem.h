#pragma once

#include <QString>

class QComboBox;

namespace condora {

/// What selectListItem() compares `value` with.
enum class ListMatch {
    ItemData, ///< the entry's item datum as decimal text; no match leaves the selection as it was
    Text,     ///< the entry's text; no match clears the selection
};

/// Selects the first entry of `list` that matches `value` (both sides trimmed of spaces,
/// compared case-sensitively). Errors are reported through the shared error report.
void selectListItem(QComboBox *list, const QString &value, ListMatch match);

} // namespace condora
