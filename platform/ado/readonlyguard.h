#pragma once

#include <QSqlDatabase>
#include <QString>

#include <functional>

namespace condora::ado {

class Connection;

/// Why the text of a statement may change data, found by a conservative look at its words
/// (string literals, quoted identifiers, dollar-quoted bodies and comments are skipped):
/// empty when it reads only. A statement reads only when its first word is SELECT, WITH,
/// VALUES, TABLE, SHOW or EXPLAIN (after any opening brackets), no second statement follows,
/// and none of INSERT, UPDATE, DELETE, MERGE or INTO appears anywhere in it (a name
/// qualified by "x." does not count). SELECT ... FOR UPDATE is refused too: it locks rows.
/// A SELECT calling a function that writes cannot be told from its text.
QString writingStatementReason(const QString &sql);

/// Why a PostgreSQL statement that reads only would still leave an effect behind: empty when
/// it calls none of the functions that a read-only transaction allows although their effect
/// outlives the statement (advisory locks, pg_notify, set_config, nextval and setval, signals
/// to other sessions or the server, dblink, large objects). Names are matched as whole words
/// outside literals, comments and dollar-quoted bodies, in any letter case and with or without
/// a schema. A function of the database's own that calls one cannot be told from the text.
QString postgresSideEffectReason(const QString &sql);

/// The first word of a statement, upper case, after white space, comments and opening brackets.
QString firstStatementWord(const QString &sql);

/// The read-only guard every statement passes before it runs: the control never changes data.
/// Constructing it either refuses the statement (RuntimeError, ErrorNumber::Database, nothing
/// executed) or prepares the connection so that the statement cannot write:
///   SQLite      SQLite compiles the statement on the connection's handle and reports whether
///               it writes (sqlite3_stmt_readonly); a writing statement, and a command that
///               returns no columns (BEGIN, COMMIT, ATTACH, ...), is refused. A text holding
///               several statements is left to Qt's driver, which refuses it before running any.
///   PostgreSQL  the text check above and postgresSideEffectReason(); then, on an idle
///               connection, the statement runs in a transaction begun READ ONLY and rolled
///               back when its rows are released (with any advisory lock that a function took
///               in it, see pgreadonlyscope.h); inside the host's own transaction, in a
///               savepoint made read-only and rolled back to (and released) afterwards, so
///               the host's transaction carries on unchanged. Statements whose rows stream at
///               the same time share it (pgreadonlyscope.h).
///   ODBC        the text check above (on a PostgreSQL server postgresSideEffectReason() too),
///               and the connection's access mode set to read-only (SQL_ATTR_ACCESS_MODE)
///               while the statement is executed, where the driver accepts it; on a PostgreSQL
///               server in auto-commit mode also default_transaction_read_only, on while the
///               statement is executed and put back right after, and the advisory locks taken
///               meanwhile released (releaseNewAdvisoryLocks()).
/// The statement must have been executed (or have failed) before the guard goes; the end of
/// the guard then either happens at once or is handed to the rows with takeFinish().
class ReadOnlyGuard
{
public:
    ReadOnlyGuard(Connection &connection, const QSqlDatabase &db, const QString &sql);
    ~ReadOnlyGuard();
    ReadOnlyGuard(const ReadOnlyGuard &) = delete;
    ReadOnlyGuard &operator=(const ReadOnlyGuard &) = delete;

    /// Undoes per-statement settings that need not outlive the execution itself.
    void executed();
    /// What ends the guard once the statement's rows are released (empty when nothing is
    /// left to do); the guard itself then does nothing more. The argument tells that the rows
    /// ended because another statement took the connection over (not a database error).
    std::function<void(bool interrupted)> takeFinish();

    /// The description of every refused statement, with `reason` in brackets.
    static QString refusal(const QString &reason);

private:
    void guardSqlite(const QSqlDatabase &db, const QString &sql);
    void guardPostgres(Connection &connection, const QSqlDatabase &db, const QString &sql);
    void guardOdbc(Connection &connection, const QSqlDatabase &db, const QString &sql);
    void guardOdbcPostgres(const QSqlDatabase &db);

    std::function<void(bool interrupted)> m_finish;
    std::function<void()> m_executed;
};

} // namespace condora::ado
