#pragma once

#include "condora_export.h"

#include <functional>

namespace condora {

class FlexGrid;

/// Checks the used rows of the condition grid; on the first broken rule selects the cells it
/// concerns, calls `editCell` for the value and logical-word rules, shows the rule's message
/// (exclamation icon) and returns False. True when every rule holds.
CONDORA_EXPORT bool validateConditions(FlexGrid &grid, const std::function<void()> &editCell);

} // namespace condora
