#pragma once

#include <QString>

namespace condora::ado {

/// What happens while the database works on a statement, so that the window stays alive and
/// the user can stop it.
///
/// While a connection has an activity (Connection::setStatementActivity), the data layer calls
/// begin() before a statement is sent, keepGoing() at short intervals (at most every 50 ms) while
/// the database works on it (executing, waiting for a lock, fetching rows), and end() once it has
/// finished, failed or been stopped. keepGoing() may process the window's events; it returns
/// false once the user asked to stop. The data layer then stops the statement on the database
/// (SQLite's interrupt, PostgreSQL's cancel request, ODBC's SQLCancel) and throws RuntimeError
/// with ErrorNumber::Cancelled.
///
/// The activity must not let anything start another statement on the same connection while
/// one runs (it blocks the input that could); begin() and end() therefore never nest.
class StatementActivity
{
public:
    virtual ~StatementActivity() = default;
    /// A statement is about to be sent (its text, for a progress display).
    virtual void begin(const QString &sql) = 0;
    /// Called repeatedly while the statement runs; false stops it.
    virtual bool keepGoing() = 0;
    /// The statement has finished, failed or been stopped.
    virtual void end() = 0;
};

} // namespace condora::ado
