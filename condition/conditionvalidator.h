#pragma once

#include "condora_export.h"

#include <functional>

namespace condora {

class FlexGrid;

/// Checks the used rows of the condition grid (row 0 is the header; cells "(", Column,
/// Operator, Value, ")", Logical, colIndex) before the statement is composed and proved.
/// Tests, in this order and stopping at the first that fails: per used row, no "((" or "))"
/// in the bracket sequence so far, an operator that suits the column's type class, a date or
/// number Value where the type class needs one (isReadableDate(), isReadableNumber(); not for
/// the null tests); then equal counts of "(" and ")", and a logical word on every used row
/// but the lowest. A broken rule selects the cells it concerns in `grid`, calls `editCell`
/// (may be empty) for the value and logical-word rules so the editor is open on the selected
/// cell, then shows its message with the exclamation icon and no caption of its own, and the
/// result is false. A run-time failure (e.g. a colIndex outside fieldCatalog) is reported
/// through showError and gives false. True when every rule holds; no cell text is changed.
CONDORA_EXPORT bool validateConditions(FlexGrid &grid, const std::function<void()> &editCell);

} // namespace condora
