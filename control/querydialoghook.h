#pragma once

#include "condora_export.h"

#include <functional>

namespace condora {

/// The query run shows the query dialog through this one function, which the dialog library
/// installs (tests install a stand-in that writes resultSql as OK or Cancel would). The
/// function shows the dialog modally and returns when it has closed.
using QueryDialogFunction = std::function<void()>;

CONDORA_EXPORT void setQueryDialogFunction(QueryDialogFunction function);
CONDORA_EXPORT const QueryDialogFunction &queryDialogFunction();

} // namespace condora
