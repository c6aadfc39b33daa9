#pragma once

#include "condora_export.h"

#include <QString>

namespace condora {

class RuntimeError;

/// The context text of the select-list and from-clause parses.
CONDORA_EXPORT QString unrecognisedSqlContext();

/// The shared error report: resets the mouse pointer, then shows one message box (OK only,
/// no icon, no caption of its own) reading
///   "Error message:" + context + CRLF + " " + description + CRLF + "Error number:" + number
CONDORA_EXPORT void showError(const QString &context, const RuntimeError &error);
/// The same for a failure that is not a RuntimeError (a std::exception caught at a boundary).
CONDORA_EXPORT void showError(const QString &context, int number, const QString &description);

} // namespace condora
