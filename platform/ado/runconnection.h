#pragma once

#include "platform/ado/statementactivity.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

struct sqlite3;

namespace condora::ado {

class Connection;
class RowSource;

/// The connection a run's statements go through.
///
/// Normally a run's connection of its own: every statement runs on a worker thread, on a
/// read-only copy of `host` (see StatementRunner), so that no event loop ever runs inside a
/// database call, the host's connection is neither held nor disturbed meanwhile, and the host
/// may close its connection or run its own statements on it at any time. Statements are still
/// counted on `host` (statementCount(), connectionstatistics.h). Closing or destroying the returned connection does
/// not cut the rows it handed out: each result keeps the run's connection open until it is
/// let go.
///
/// A second connection must see exactly the rows the host's connection sees, or the run would
/// show other rows than the host's statement gives. Where it cannot, `host` itself is returned
/// and `why` (when given) says what only the host's connection sees:
///   - an in-memory SQLite database, attached databases, temporary tables or views;
///   - a transaction the host has open (its uncommitted rows, and on PostgreSQL its SET LOCAL);
///   - on SQLite, a `statement` that compiles on the host's connection but not on a copy (a
///     function, collation or module the host registered on its connection);
///   - a copy that cannot be opened (a password given to open() only) or given the host's
///     PostgreSQL role and session settings.
///   - on PostgreSQL, a database whose row-level security policies, views or functions read
///     settings (current_setting): the server does not list custom settings such as
///     app.tenant, so a copy could not take them over.
/// On PostgreSQL the copy takes the host's current role (SET ROLE) and every listed setting
/// the host set for its session (search_path, standard_conforming_strings, ...); on
/// MySQL/MariaDB its sql_mode, time_zone, div_precision_increment and group_concat_max_len.
/// On the host's connection statements run on the GUI thread as they always did.
std::shared_ptr<Connection> runConnection(const std::shared_ptr<Connection> &host, const QString &statement,
                                          QString *why = nullptr);

/// Hands `job` to the worker thread of a run's own `connection` without waiting (see
/// StatementRunner::postStoppable(): `stop` alone ends its statements). False, and nothing is
/// handed over, when the statements of `connection` run on the calling thread (the host's own
/// connection): there the job could only run by holding that thread.
bool postToRunWorker(Connection &connection, std::shared_ptr<StatementActivity> stop,
                     std::function<void(Connection &)> job);

/// Stops what was handed to a run's worker: the statement that runs stops on the server where
/// the database allows it, and its answer is dropped.
class WorkerStop final : public StatementActivity
{
public:
    void begin(const QString &) override {}
    bool keepGoing() override { return !m_stopped.load(); }
    void end() override {}
    void stop() { m_stopped = true; }
    bool stopped() const { return m_stopped.load(); }

private:
    std::atomic<bool> m_stopped{false};
};

/// Runs `sql` on the worker thread of a run's own `connection` without waiting, and reads
/// every row of it there (with the connection's numerical precision policy as it is now).
/// Then `done` runs on the GUI thread with the rows, readable there (the worker's rows stay on
/// the worker and go there), or with an empty source and the database's message when the
/// statement failed; a statement that failed part-way gives both, the rows being only its first
/// part. Once the returned stop is stopped, `done` is not called. Null, and nothing is handed
/// over, when the statements of `connection` run on the calling thread (see postToRunWorker()).
std::shared_ptr<WorkerStop> readOnRunWorker(Connection &connection, const QString &sql,
                                            std::function<void(std::shared_ptr<RowSource>, const QString &)> done);

/// True when the statements of `connection` run on a worker thread (a run's own connection).
bool runsOnWorker(const Connection &connection);

/// True while a statement of a run made from `host` runs (on the run's own connection).
bool runStatementRunning(const Connection &host);

/// Runs `work` with the native handle of the SQLite connection the statements of `connection`
/// run on (on its thread); false when it is no SQLite connection, or `work` says false.
bool withSqliteHandle(Connection &connection, const std::function<bool(sqlite3 *)> &work);

} // namespace condora::ado
