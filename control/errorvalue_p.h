#pragma once

// Errors as values at the API edge: what the non-throwing calls report through lastError().
// Not part of the public API.

#include <QSqlError>

namespace condora {

class RuntimeError;

/// The error as a QSqlError: the description as databaseText(), the error number (see
/// condora::ErrorNumber) as nativeErrorCode(); StatementError for a database error.
QSqlError toSqlError(const RuntimeError &error);
/// The exception being handled, as toSqlError() gives it (std::bad_alloc as 7 "Out of memory",
/// any other exception as 51 "Internal error" with its text). Call it only inside a catch block.
QSqlError currentErrorAsSqlError();

} // namespace condora
