#include "platform/ado/runconnection.h"
#include "platform/ado/connection_p.h"

#include "platform/ado/activityscope.h"
#include "platform/ado/connection.h"
#include "platform/ado/connectionstatistics.h"
#include "platform/ado/libpq.h"
#include "platform/ado/recordset.h"
#include "platform/ado/runnerrows.h"
#include "platform/ado/statementrunner.h"
#include "platform/runtimeerror.h"

#include <QCoreApplication>
#include <QHash>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlQuery>

#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace condora::ado {

namespace {

/// Settings a copy must not take over: the copy's own read-only guard, what the role carries,
/// and what only names the client.
bool keptOwn(const QString &name)
{
    static const QStringList own{u"default_transaction_read_only"_s, u"transaction_read_only"_s, u"role"_s,
                                 u"session_authorization"_s, u"is_superuser"_s, u"transaction_isolation"_s,
                                 u"transaction_deferrable"_s, u"default_transaction_isolation"_s,
                                 u"default_transaction_deferrable"_s, u"application_name"_s};
    return own.contains(name);
}

/// The number the first column of `sql` gives on `native`, or -1.
qint64 sqliteNumber(sqlite3 *native, const char *sql)
{
    sqlite3_stmt *statement = nullptr;
    qint64 number = -1;
    if (sqlite3_prepare_v2(native, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW) {
        number = sqlite3_column_int64(statement, 0);
    }
    sqlite3_finalize(statement);
    return number;
}

bool compiles(sqlite3 *native, const QString &sql)
{
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *statement = nullptr;
    const bool ok = sqlite3_prepare_v2(native, text.constData(), int(text.size()), &statement, nullptr) == SQLITE_OK;
    sqlite3_finalize(statement);
    return ok;
}

/// What decides how a SQLite connection reads a statement beyond its schema: the built-in
/// functions replaced on it (a host's own LIKE or `pragma case_sensitive_like` shows as a
/// registered `like`), the collations registered on it, how it folds and orders text under the built-in collation names (which a
/// host may replace), and whether it reads double-quoted words as texts. Two connections with
/// the same picture read a statement alike.
QString sqliteReading(sqlite3 *native)
{
    QStringList parts;
    const auto collect = [&](const char *sql) {
        sqlite3_stmt *statement = nullptr;
        QStringList rows;
        if (sqlite3_prepare_v2(native, sql, -1, &statement, nullptr) != SQLITE_OK) {
            rows.append(QString::fromUtf8(sqlite3_errmsg(native)));
        }
        while (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW) {
            QStringList cells;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                cells.append(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, i))));
            }
            rows.append(cells.join(u','));
        }
        sqlite3_finalize(statement);
        rows.sort();
        parts.append(rows.join(u';'));
    };
    // Functions of new names only serve statements that call them, which then do not compile on
    // a copy; one that replaces a built-in function changes statements that never name it.
    collect("select name, narg from pragma_function_list where builtin = 0 "
            "and name in (select name from pragma_function_list where builtin = 1)");
    collect("select name from pragma_collation_list");
    collect("select 'a' like 'A', 'A' glob 'a', 'ä' = 'Ä' collate nocase, 'a' = 'A' collate nocase, "
            "'B' < 'a' collate nocase, 'é' < 'f' collate nocase, 'a ' = 'a' collate rtrim, "
            "'a' = 'a ' collate rtrim, 'a' = 'A' collate binary, 'B' < 'a' collate binary, 'é' > 'f'");
    int doubleQuotedTexts = -1;
    sqlite3_db_config(native, SQLITE_DBCONFIG_DQS_DML, -1, &doubleQuotedTexts);
    parts.append(QString::number(doubleQuotedTexts));
    return parts.join(u'|');
}

/// What only the host's SQLite connection sees, or empty.
QString sqliteSessionOnly(const QSqlDatabase &db)
{
    const QString name = db.databaseName().trimmed();
    if (name.isEmpty() || name == u":memory:"_s || name.contains(u"mode=memory"_s)
        || (name.startsWith(u"file:"_s) && name.contains(u":memory:"_s))) {
        return u"an in-memory database"_s;
    }
    sqlite3 *native = sqliteHandleOf(db);
    if (native == nullptr) {
        return u"a connection whose handle cannot be read"_s;
    }
    if (sqlite3_get_autocommit(native) == 0) {
        return u"the host's open transaction"_s;
    }
    if (sqliteNumber(native, "select count(*) from temp.sqlite_master") > 0) {
        return u"temporary tables or views"_s;
    }
    if (sqlite3_db_name(native, 2) != nullptr) {
        return u"attached databases"_s; // 0 is main, 1 temp, every further one attached
    }
    return {};
}

/// What only the host's PostgreSQL connection sees, or empty; fills the session to copy.
QString postgresSessionOnly(const QSqlDatabase &db, SessionCopy &session)
{
    const PgApi &pq = pgApi();
    if (void *conn = pgConnection(db); conn != nullptr && pq.ok() && pq.transactionStatus(conn) != PgApi::TransIdle) {
        return u"the host's open transaction"_s;
    }
    QSqlQuery query(db);
    if (!query.exec(u"select count(*) from pg_class where relnamespace = pg_my_temp_schema()"_s) || !query.next()) {
        return u"a session that cannot be read"_s;
    }
    if (query.value(0).toLongLong() > 0) {
        return u"temporary tables"_s;
    }
    // Custom settings (app.tenant) are not listed by the server, so a copy cannot take them.
    // Where a policy, view or function of the database reads settings (current_setting,
    // function ids 2077 and 3294 in stored expressions), they may decide the rows.
    if (!query.exec(u"select exists (select 1 from pg_policy p where p.polqual::text ~ ':funcid (2077|3294) ' "
                    u"or coalesce(p.polwithcheck::text, '') ~ ':funcid (2077|3294) ') "
                    u"or exists (select 1 from pg_rewrite r join pg_class c on c.oid = r.ev_class "
                    u"join pg_namespace n on n.oid = c.relnamespace where n.nspname not in ('pg_catalog', "
                    u"'information_schema') and r.ev_action::text ~ ':funcid (2077|3294) ') "
                    u"or exists (select 1 from pg_proc p join pg_namespace n on n.oid = p.pronamespace "
                    u"where n.nspname not in ('pg_catalog', 'information_schema') and p.prosrc ~* 'current_setting')"_s)
        || !query.next()) {
        return u"a session that cannot be read"_s;
    }
    if (query.value(0).toBool()) {
        return u"settings of the host's session that policies, views or functions read"_s;
    }
    if (!query.exec(u"select current_user, session_user"_s) || !query.next()) {
        return u"a session that cannot be read"_s;
    }
    session.role = query.value(0).toString();
    session.sessionUser = query.value(1).toString();
    if (!query.exec(u"select name, setting from pg_settings where source = 'session'"_s)) {
        return u"a session that cannot be read"_s;
    }
    while (query.next()) {
        const QString name = query.value(0).toString();
        if (!keptOwn(name)) {
            session.settings.append({name, query.value(1).toString()});
        }
    }
    return {};
}

/// The session variables of a MySQL/MariaDB connection that change what a statement means or
/// gives (ANSI_QUOTES, NO_BACKSLASH_ESCAPES, PIPES_AS_CONCAT, the time zone, ...), to be set
/// alike on the copy; empty reason when they were read.
QString mysqlSessionOnly(const QSqlDatabase &db, const QString &statement, SessionCopy &session)
{
    // The connection's character set before its collation: setting the one resets the other.
    static const QStringList names{u"sql_mode"_s, u"time_zone"_s, u"div_precision_increment"_s,
                                   u"group_concat_max_len"_s, u"character_set_connection"_s,
                                   u"collation_connection"_s};
    // User variables (@tenant) live in the host's session only and cannot be listed on every
    // server; a statement or a stored function of the database may read them.
    if (statement.contains(u'@')) {
        return u"user variables of the host's session"_s;
    }
    QSqlQuery query(db);
    if (!query.exec(u"select count(*) from information_schema.routines where routine_schema = database() "
                    u"and (routine_definition is null or routine_definition like '%@%')"_s)
        || !query.next()) {
        return u"a session that cannot be read"_s;
    }
    if (query.value(0).toLongLong() > 0) {
        return u"user variables of the host's session"_s;
    }
    // Temporary tables cannot be listed (before MariaDB 11.2); a session that created one may hide
    // a table of the same name behind it. MariaDB counts them apart, MySQL with every table.
    if (!query.exec(u"show session status where variable_name in ('Com_create_table', "
                    u"'Com_create_temporary_table')"_s)) {
        return u"a session that cannot be read"_s;
    }
    QHash<QString, qint64> created;
    while (query.next()) {
        created.insert(query.value(0).toString().toLower(), query.value(1).toLongLong());
    }
    if (created.value(created.contains(u"com_create_temporary_table"_s) ? u"com_create_temporary_table"_s
                                                                         : u"com_create_table"_s) > 0) {
        return u"temporary tables"_s;
    }
    QStringList selected;
    for (const QString &name : names) {
        selected.append(u"@@session."_s + name);
    }
    if (!query.exec(u"select "_s + selected.join(u", "_s)) || !query.next()) {
        return u"a session that cannot be read"_s;
    }
    // The values are written into the statement that sets them: only such as these servers give.
    static const QRegularExpression plain(u"^[A-Za-z0-9_,:+./ -]*$"_s);
    for (int i = 0; i < names.size(); ++i) {
        const QString value = query.value(i).toString();
        if (!plain.match(value).hasMatch()) {
            return u"a session setting that cannot be copied"_s;
        }
        session.settings.append({names.at(i), value});
    }
    return {};
}

/// What only the host's ODBC connection sees, or empty.
QString odbcSessionOnly(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    SQLHDBC hdbc = handle.metaType() == QMetaType::fromType<void *>() ? handle.value<void *>() : nullptr;
    if (hdbc == nullptr) {
        return u"a connection whose handle cannot be read"_s;
    }
    SQLULEN autocommit = SQL_AUTOCOMMIT_ON;
    if (SQL_SUCCEEDED(SQLGetConnectAttr(hdbc, SQL_ATTR_AUTOCOMMIT, &autocommit, 0, nullptr))
        && autocommit == SQL_AUTOCOMMIT_OFF) {
        return u"the host's open transaction"_s;
    }
    return {};
}

} // namespace

bool runStatementRunning(const Connection &host)
{
    for (const std::weak_ptr<Connection> &run : host.d->m_runs) {
        if (const std::shared_ptr<Connection> connection = run.lock(); connection && connection->statementRunning()) {
            return true;
        }
    }
    return false;
}

bool runsOnWorker(const Connection &connection)
{
    return StatementRunner::of(connection) != nullptr;
}

bool postToRunWorker(Connection &connection, std::shared_ptr<StatementActivity> stop,
                     std::function<void(Connection &)> job)
{
    const std::shared_ptr<StatementRunner> runner = StatementRunner::of(connection);
    if (!runner || !connection.isOpen()) {
        return false;
    }
    runner->postStoppable(std::move(stop), std::move(job));
    return true;
}

std::shared_ptr<WorkerStop> readOnRunWorker(Connection &connection, const QString &sql,
                                            std::function<void(std::shared_ptr<RowSource>, const QString &)> done)
{
    const std::shared_ptr<StatementRunner> runner = StatementRunner::of(connection);
    if (!runner || !connection.isOpen()) {
        return nullptr;
    }
    auto stop = std::make_shared<WorkerStop>();
    const int precision = connection.numericalPrecisionPolicy();
    const std::weak_ptr<const Connection> owner = connection.weak_from_this();
    countStatement(connection, sql);
    // The job holds the runner weakly: the worker thread must never let go of its last
    // reference (the runner ends that thread).
    const std::weak_ptr<StatementRunner> weakRunner = runner;
    runner->postStoppable(stop, [weakRunner, stop, sql, precision, owner, done = std::move(done)](Connection &own) {
        std::shared_ptr<RowSource> rows;
        QString failure;
        const int ownPrecision = own.numericalPrecisionPolicy();
        own.setNumericalPrecisionPolicy(precision);
        try {
            Recordset recordset;
            recordset.Open(sql, own);
            rows = recordset.rowSource();
            recordset.Close();
            if (rows) {
                rows->shareWithReaders();
                while (!rows->atEnd() && !stop->stopped()) {
                    rows->fetchMore(4096);
                }
                failure = rows->fetchError();
            }
        } catch (const RuntimeError &error) {
            failure = error.description();
        }
        own.setNumericalPrecisionPolicy(ownPrecision);
        std::shared_ptr<StatementRunner> runner = weakRunner.lock();
        if (!runner || stop->stopped()) {
            return; // the rows go here, on the worker
        }
        const RunnerRows::Progress progress = rows ? RunnerRows::progressOf(*rows) : RunnerRows::Progress();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [runner = std::move(runner), stop, sql, owner, done, rows = std::move(rows), failure, progress]() mutable {
                const std::shared_ptr<const Connection> gui = owner.lock();
                if (stop->stopped() || !gui) {
                    // The worker's rows go on the worker.
                    runner->post([rows = std::move(rows)](Connection &) mutable { rows.reset(); });
                    return;
                }
                std::shared_ptr<RowSource> shown;
                if (rows) {
                    shown = std::make_shared<RunnerRows>(runner, std::move(rows), *gui, sql, progress);
                }
                done(std::move(shown), failure);
            },
            Qt::QueuedConnection);
    });
    return stop;
}

bool withSqliteHandle(Connection &connection, const std::function<bool(sqlite3 *)> &work)
{
    if (connection.driverName() != u"QSQLITE"_s) {
        return false;
    }
    if (!connection.d->m_runner) {
        sqlite3 *native = sqliteHandleOf(connection);
        return native != nullptr && work(native);
    }
    bool done = false;
    connection.d->m_runner->run(QString(), nullptr, [&](Connection &own) {
        sqlite3 *native = sqliteHandleOf(own);
        done = native != nullptr && work(native);
    });
    return done;
}

std::shared_ptr<Connection> runConnection(const std::shared_ptr<Connection> &host, const QString &statement, QString *why)
{
    const auto onHost = [&](const QString &reason) {
        if (why != nullptr) {
            *why = reason;
        }
        return host;
    };
    if (!host || !host->isOpen() || host->d->m_runner) {
        return onHost(QString());
    }
    if (!host->separateRunConnection()) {
        return onHost(u"the host's choice"_s);
    }
    const QSqlDatabase db = host->database();
    const QString driver = db.driverName();
    SessionCopy session;
    QString only;
    if (driver == u"QSQLITE"_s) {
        only = sqliteSessionOnly(db);
    } else if (driver == u"QPSQL"_s) {
        only = postgresSessionOnly(db, session);
    } else if (driver == u"QODBC"_s) {
        only = odbcSessionOnly(db);
    } else if (driver != u"QMYSQL"_s) {
        only = u"a database kind that is not copied"_s;
    }
    if (only.isEmpty() && (driver == u"QODBC"_s || driver == u"QMYSQL"_s) && isMySqlFamily(*host)) {
        session.mysqlFamily = true;
        only = mysqlSessionOnly(db, statement, session);
    }
    if (!only.isEmpty()) {
        return onHost(only);
    }
    std::shared_ptr<StatementRunner> runner;
    try {
        runner = StatementRunner::open(*host, session);
    } catch (const RuntimeError &error) {
        return onHost(u"a copy that cannot be opened: "_s + error.description());
    }
    if (driver == u"QSQLITE"_s) {
        const bool hostCompiles = !statement.trimmed().isEmpty() && compiles(sqliteHandleOf(db), statement);
        const QString hostReading = sqliteReading(sqliteHandleOf(db));
        bool copyCompiles = false;
        QString copyReading;
        runner->run(QString(), nullptr, [&](Connection &own) {
            sqlite3 *native = sqliteHandleOf(own.database());
            copyCompiles = hostCompiles && compiles(native, statement);
            copyReading = sqliteReading(native);
        });
        if (hostCompiles != copyCompiles || hostReading != copyReading) {
            return onHost(u"functions, collations or modules of the host's connection"_s);
        }
    }
    auto connection = std::make_shared<Connection>();
    connection->d->m_runner = std::move(runner);
    connection->d->m_host = host;
    connection->d->m_runnerDriver = driver;
    connection->d->m_properties = host->Properties();
    connection->d->m_cursorLocation = host->CursorLocation();
    connection->d->m_open = true;
    host->d->m_runs.removeIf([](const std::weak_ptr<Connection> &run) { return run.expired(); });
    host->d->m_runs.append(connection);
    return connection;
}

} // namespace condora::ado
