#pragma once

#include "condora_export.h"

namespace condora {

/// Makes the query run show the real query dialog: installs a query-dialog function that
/// creates frmCondora, shows it modally and discards it when it has closed. The library does
/// this by itself when the application object is created; calling it again restores it after
/// a test has installed a stand-in.
CONDORA_EXPORT void installQueryDialog();

} // namespace condora
