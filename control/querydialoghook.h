#pragma once

#include <QString>

#include <functional>

namespace condora {

struct QueryRun;

/// A stand-in for the query dialog, for tests of the query run: it gets the run the control
/// built and returns the final statement as the dialog would (the empty text for Cancel).
/// Without one (the default) the run shows the real dialog.
using QueryDialogFunction = std::function<QString(const QueryRun &)>;

void setQueryDialogFunction(QueryDialogFunction function);
const QueryDialogFunction &queryDialogFunction();

} // namespace condora
