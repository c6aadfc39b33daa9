#pragma once

#include <QString>

namespace condora {

class RuntimeError;

/// The context text of the select-list and from-clause parses.
QString unrecognisedSqlContext();

/// The shared error report: resets the mouse pointer, then shows one message box (OK only,
/// no icon, no caption of its own) reading
///   "Error message:" + context + CRLF + " " + description + CRLF + "Error number:" + number
/// Never throws. A statement the user stopped (ErrorNumber::Cancelled) is no error: the box
/// then only says that it was stopped.
void showError(const QString &context, const RuntimeError &error);
/// The same for a failure that is not a RuntimeError (a std::exception caught at a boundary).
void showError(const QString &context, int number, const QString &description);

/// Reports the exception that is being handled through showError: a RuntimeError with its own
/// number and description, std::bad_alloc as 7 "Out of memory", any other exception as
/// 51 "Internal error" with its what() text. Call it only from inside a catch block, typically
///   catch (...) { showCurrentError(QString()); return false; }
void showCurrentError(const QString &context);

} // namespace condora
