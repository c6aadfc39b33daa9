#pragma once

#include "condora_export.h"

#include <QString>

namespace condora {

/// The caption of a query run's two input messages: the Title of the control whose run is
/// the current (or last) one. One value for the whole library, written at the start of each run.
CONDORA_EXPORT QString &queryTitle();

} // namespace condora
