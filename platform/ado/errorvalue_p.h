#pragma once

// Errors as values at the API edge: what the non-throwing calls (Connection::tryOpen(),
// Recordset::tryMoveNext(), the control's GetQuerySql(bool *ok), ...) report through lastError().
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

/// Runs `work` and returns true; when it throws, returns false with the error in `error`, which is
/// invalid after success.
template<typename Work>
bool catchAsSqlError(QSqlError &error, Work &&work)
{
    error = QSqlError();
    try {
        work();
        return true;
    } catch (...) {
        error = currentErrorAsSqlError();
        return false;
    }
}

} // namespace condora
