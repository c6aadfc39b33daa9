#pragma once

#include "condora_export.h"

#include <QString>

#include <functional>

namespace condora {

struct QueryRun;

/// A stand-in for the query dialog, for tests of the query run: it gets the run the control
/// built and returns the final statement as the dialog would (the empty text for Cancel).
/// Without one (the default) the run shows the real dialog.
using QueryDialogFunction = std::function<QString(const QueryRun &)>;

CONDORA_EXPORT void setQueryDialogFunction(QueryDialogFunction function);
CONDORA_EXPORT const QueryDialogFunction &queryDialogFunction();

} // namespace condora
