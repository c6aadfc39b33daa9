#pragma once

#include <QElapsedTimer>
#include <QString>

class QSqlDatabase;
struct sqlite3;

namespace condora {
class RuntimeError;
}

namespace condora::ado {

class Connection;
class StatementActivity;

/// The description of a statement the user stopped (RuntimeError, ErrorNumber::Cancelled);
/// also the fetch error of rows whose fetch was stopped.
QString cancelledDescription();
/// The description of a SQLite statement that gave up waiting for another program's lock on
/// the database file; `databaseText` is SQLite's own words ("database is locked").
QString lockedDescription(const QString &databaseText);
/// The error of rows that stopped part-way with `fetchError` (RowSource::fetchError()):
/// ErrorNumber::Cancelled for a fetch the user stopped, ErrorNumber::Database otherwise.
RuntimeError fetchFailure(const QString &fetchError);

/// One statement (its execution, or one fetch of its rows) under the connection's
/// StatementActivity, for the span of one call into the driver.
///
/// Why everything stays on the GUI thread: a QSqlDatabase belongs to the thread that opened it,
/// and the host hands us one it opened there, so the statement cannot move to a worker thread.
/// Instead the engine calls back into us while it works, and the activity runs the event loop
/// from there (keepGoing()):
///   SQLite      sqlite3_progress_handler on the native handle, every thousand virtual machine
///               steps (a few microseconds); keepGoing() is asked when 10 ms have passed since it
///               was last asked, so the window gets its events about every 10 ms of engine work. A
///               false answer makes the handler return non-zero: SQLite stops the statement
///               (SQLITE_INTERRUPT) and the connection stays usable. Waiting for another
///               program's lock goes through a busy handler that asks keepGoing() too, up to
///               the connection's own busy timeout (QSQLITE_BUSY_TIMEOUT, 5000 ms by default).
///               A single step of the engine that runs long without a virtual machine step
///               (the final merge of a very large sort) cannot be interrupted in its middle.
///   ODBC        Qt's driver blocks inside SQLExecDirect and offers no callback, so nothing can
///               run while the driver executes: the activity is told begin() and end(), and
///               keepGoing() is asked only between fetched rows, where a stop lets the rest of
///               the rows go. ODBC allows SQLCancel from another thread, but the user could not
///               press Cancel meanwhile (the event loop is the blocked thread), so a watchdog
///               could only enforce a time limit, which nobody asked for.
///   PostgreSQL  its own asynchronous path; this scope leaves it alone.
///
/// Statements never nest on one connection: keepGoing() runs the event loop in the middle of
/// a statement, and SQLite forbids running another statement on the connection from its
/// progress handler. A statement that would start meanwhile is refused (runningOn()).
class ActivityScope
{
public:
    /// Begins `sql` on the connection's activity (nothing happens when it has none, or on
    /// PostgreSQL). Asks keepGoing() once at once, so that a run the user already stopped
    /// sends nothing more (cancelled() is then true before anything ran).
    ActivityScope(Connection &connection, const QString &sql);
    /// Ends the statement on the activity and puts the connection's own handlers back.
    ~ActivityScope();
    ActivityScope(const ActivityScope &) = delete;
    ActivityScope &operator=(const ActivityScope &) = delete;

    /// True when an activity watches this statement.
    bool active() const { return m_activity != nullptr; }
    /// True once the activity said stop.
    bool cancelled() const { return m_cancelled; }
    /// Asks the activity when 10 ms have passed since it was last asked; false once it said
    /// stop. Loops that fetch rows call it between rows.
    bool keepGoing();
    /// Throws RuntimeError(ErrorNumber::Cancelled) when the activity said stop.
    void throwIfCancelled() const;

    /// True while a watched statement runs on `connection`.
    static bool runningOn(const Connection &connection);

private:
    static int onProgress(void *scope);
    static int onBusy(void *scope, int count);

    Connection &m_connection;
    StatementActivity *m_activity = nullptr;
    sqlite3 *m_sqlite = nullptr;
    int m_busyTimeoutMs = 5000;
    QElapsedTimer m_sinceAsked;
    QElapsedTimer m_waitingForLock;
    bool m_cancelled = false;
};

///@{
/// The native handle behind a SQLite connection (null for other drivers or a closed one).
sqlite3 *sqliteHandleOf(const Connection &connection);
sqlite3 *sqliteHandleOf(const QSqlDatabase &db);
///@}
///@{
/// The wait for another connection's lock that Qt's SQLite driver set on the connection
/// (QSQLITE_BUSY_TIMEOUT in its connect options, 5000 ms unless they say otherwise).
int sqliteBusyTimeoutOf(const Connection &connection);
int sqliteBusyTimeoutOf(const QSqlDatabase &db);
///@}

} // namespace condora::ado
