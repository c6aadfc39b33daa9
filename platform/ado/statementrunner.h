#pragma once

#include <QString>
#include <QStringList>

#include <QList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace condora::ado {

class Connection;
class StatementActivity;
class RunnerThread;

/// What a copy of a connection needs to be in the host connection's session: its role and
/// the settings the host set for the session (PostgreSQL).
struct SessionCopy
{
    QString role;        // PostgreSQL: the host's current_user, which the copy takes with SET ROLE
    QString sessionUser; // PostgreSQL: the host's session_user, which the copy must already have
    QList<std::pair<QString, QString>> settings;
    bool mysqlFamily = false; // settings are MySQL/MariaDB session variables
};

/// Whether `connection` talks to MySQL or MariaDB (its own driver, or ODBC to one of them).
bool isMySqlFamily(const Connection &connection);

/// Runs the statements of one run on a worker thread, on a connection of the run's own.
///
/// The connection is a copy of the host's (QSqlDatabase::cloneDatabase), opened on the worker
/// thread and read-only where the database offers it: SQLite's read-only open flag, ODBC's
/// read-only access mode, and on PostgreSQL and MySQL/MariaDB a session whose transactions are
/// read only. It is closed when the runner goes, which is when the run and every result it
/// handed out are gone, so nothing the run did outlives it.
///
/// The calling (GUI) thread waits for each statement outside any database call: the worker
/// thread blocks in the driver, the GUI thread asks the statement's activity at short
/// intervals (StatementActivity::keepGoing(), which keeps the window alive), and a false
/// answer stops the statement on the server (cancel()).
class StatementRunner
{
public:
    /// Opens the worker's copy of `host` and gives it the host's `session`. Throws RuntimeError when the copy cannot be
    /// opened or set up like the host's connection.
    static std::shared_ptr<StatementRunner> open(const Connection &host, const SessionCopy &session);
    /// Stops what still runs, closes the worker's connection and ends its thread.
    ~StatementRunner();
    StatementRunner(const StatementRunner &) = delete;
    StatementRunner &operator=(const StatementRunner &) = delete;

    /// Runs `job` on the worker's connection and waits for it. While it waits, `activity` (may
    /// be null: then the wait simply blocks) hears begin(sql), keepGoing() every few
    /// milliseconds and end(). When keepGoing() answers false before the job started, the job
    /// does not run; afterwards the statement is stopped on the server. Either way the call
    /// then throws RuntimeError(ErrorNumber::Cancelled). Otherwise it rethrows what the job
    /// threw.
    void run(const QString &sql, StatementActivity *activity, const std::function<void(Connection &)> &job);
    /// Hands `job` to the worker without waiting (letting results go there).
    void post(std::function<void(Connection &)> job);
    /// Hands `job` to the worker without waiting, as a statement of its own: while it runs, the
    /// worker's connection asks `stop` (not the runner's stop flag) whether to go on, so that
    /// `stop` ends it and neither cancel() nor run() touch it. Its failures go unreported.
    void postStoppable(std::shared_ptr<StatementActivity> stop, std::function<void(Connection &)> job);
    /// True while a run() waits for the worker: a job that reads in the background (see
    /// RowSource::readAhead()) then hands the worker over after its current part.
    bool runWaiting() const { return m_runsWaiting.load() > 0; }
    /// The runner whose worker runs the statements of `connection` (a run's own connection), or null.
    static std::shared_ptr<StatementRunner> of(const Connection &connection);
    /// Asks the server to stop the statement that runs now; callable from any thread.
    void cancel();

    /// The Qt driver of the worker's connection ("QSQLITE", "QPSQL", "QODBC").
    QString driverName() const { return m_driver; }

private:
    StatementRunner() = default;
    /// Run on the worker: opens the copy and prepares stopping it.
    void openOnWorker(const QString &hostName, const SessionCopy &session);
    /// Runs `work` on the worker thread and waits for it as run() describes.
    void wait(const QString &sql, StatementActivity *activity, const std::function<void()> &work);
    /// A statement of a MySQL/MariaDB connection stopped from a second connection.
    void killQuery();

    class StopFlag;
    std::unique_ptr<RunnerThread> m_thread;
    std::unique_ptr<Connection> m_own; // created, used and closed on the worker thread
    std::unique_ptr<StopFlag> m_stop;
    std::atomic<int> m_runsWaiting{0};
    QString m_driver;
    QString m_ownName;                // the Qt connection name of the worker's connection
    QString m_killName;               // an unopened copy that KILL QUERY connections are made from
    void *m_sqlite = nullptr;         // sqlite3 handle, for sqlite3_interrupt
    qint64 m_mysqlConnectionId = -1;  // for KILL QUERY from a second connection
    std::mutex m_killersMutex;
    std::vector<std::thread> m_killers;
};

} // namespace condora::ado
