#include "platform/ado/readonlyguard.h"

#include "platform/ado/activityscope.h"
#include "platform/ado/connection.h"
#include "platform/ado/databasemessage.h"
#include "platform/ado/libpq.h"
#include "platform/runtimeerror.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>

#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

namespace condora::ado {

namespace {

bool isWordStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isWordPart(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

// The end of a quoted run that starts at `i` (the opening quote) and closes with `close`;
// a doubled closing quote stands for itself. `backslash` makes "\x" one character.
qsizetype skipQuoted(const QString &sql, qsizetype i, QChar close, bool backslash = false)
{
    const qsizetype n = sql.size();
    for (++i; i < n; ++i) {
        const QChar c = sql.at(i);
        if (backslash && c == u'\\') {
            ++i;
        } else if (c == close) {
            if (i + 1 < n && sql.at(i + 1) == close) {
                ++i;
            } else {
                return i + 1;
            }
        }
    }
    return n;
}

// "$tag$" at `i`: the length of the tag with both dollars, or 0.
qsizetype dollarTag(const QString &sql, qsizetype i)
{
    qsizetype j = i + 1;
    if (j < sql.size() && isWordStart(sql.at(j))) {
        while (j < sql.size() && (sql.at(j).isLetterOrNumber() || sql.at(j) == u'_')) {
            ++j;
        }
    }
    return j < sql.size() && sql.at(j) == u'$' ? j + 1 - i : 0;
}

enum class Finish { Nothing, Rollback, RollbackToSavepoint };

// Placed in the read-only transaction or savepoint, so that its end can tell that it is still ours.
constexpr const char *GuardSetting = "condora.read_only_guard";

QString pgResultMessage(const PgApi &pq, PgResult *result)
{
    const QString text = result ? QString::fromUtf8(pq.resultErrorMessage(result)) : QString();
    return databaseMessage(QSqlError(QString(), text.isEmpty() ? QStringLiteral("Unknown database error") : text,
                                     QSqlError::StatementError));
}

// Runs a guard command; on failure gives the server's message (and leaves no transaction of
// ours behind when `beganHere`).
bool pgRun(void *conn, const char *command, QString *message = nullptr)
{
    const PgApi &pq = pgApi();
    PgResult *result = pq.exec(conn, command);
    const int status = result ? pq.resultStatus(result) : -1;
    const bool ok = status == PgApi::CommandOk || status == PgApi::TuplesOk;
    if (!ok && message) {
        *message = pgResultMessage(pq, result);
    }
    if (result) {
        pq.clear(result);
    }
    return ok;
}

// True when the transaction (or savepoint) the guard opened is still the connection's own.
bool pgGuardStillOpen(void *conn)
{
    const PgApi &pq = pgApi();
    const QByteArray query = QByteArray("select current_setting('") + GuardSetting + "', true)";
    PgResult *result = pq.exec(conn, query.constData());
    bool open = false;
    if (result) {
        open = pq.resultStatus(result) == PgApi::TuplesOk && pq.ntuples(result) == 1
            && qstrcmp(pq.getvalue(result, 0, 0), "on") == 0;
        pq.clear(result);
    }
    return open;
}

void pgFinish(const QString &qtConnectionName, Finish finish, bool interrupted)
{
    const QSqlDatabase db = QSqlDatabase::database(qtConnectionName, false);
    if (!db.isValid() || !db.isOpen()) {
        return;
    }
    void *conn = pgConnection(db);
    const PgApi &pq = pgApi();
    if (!conn || !pq.ok()) {
        return;
    }
    const int status = pq.transactionStatus(conn);
    if (status != PgApi::TransInTrans && status != PgApi::TransInError) {
        return; // the transaction has ended already
    }
    // When another statement took the connection over while the rows streamed, the
    // transaction may by now be someone else's: end it only while it is still ours.
    if (interrupted && (status == PgApi::TransInError || !pgGuardStillOpen(conn))) {
        if (finish == Finish::Rollback && status == PgApi::TransInError) {
            // A failed transaction cannot be asked; one of the host's own would be rolled
            // back by the host anyway, and ours must go.
            pgRun(conn, "ROLLBACK");
        }
        return;
    }
    if (finish == Finish::Rollback) {
        pgRun(conn, "ROLLBACK");
    } else {
        pgRun(conn, "ROLLBACK TO SAVEPOINT condora_read_only; RELEASE SAVEPOINT condora_read_only");
    }
}

SQLHDBC odbcHandle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    return handle.metaType() == QMetaType::fromType<void *>() ? handle.value<void *>() : nullptr;
}

// Runs one statement on its own statement handle; gives the first row's column `column`
// (1-based) when asked. False when the driver refuses it.
bool odbcRun(SQLHDBC hdbc, const QByteArray &sql, int column = 0, QByteArray *value = nullptr)
{
    SQLHSTMT statement = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &statement))) {
        return false;
    }
    bool ok = SQL_SUCCEEDED(SQLExecDirect(statement, reinterpret_cast<SQLCHAR *>(const_cast<char *>(sql.constData())),
                                          SQLINTEGER(sql.size())));
    if (ok && value) {
        char buffer[64] = {};
        SQLLEN length = 0;
        ok = SQL_SUCCEEDED(SQLFetch(statement))
            && SQL_SUCCEEDED(SQLGetData(statement, SQLUSMALLINT(column), SQL_C_CHAR, buffer, sizeof buffer, &length));
        *value = ok && length > 0 ? QByteArray(buffer) : QByteArray();
    }
    SQLFreeStmt(statement, SQL_CLOSE);
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    return ok;
}

} // namespace

QString writingStatementReason(const QString &sql)
{
    static const QStringList readingFirstWords = {QStringLiteral("SELECT"), QStringLiteral("WITH"),
                                                  QStringLiteral("VALUES"), QStringLiteral("TABLE"),
                                                  QStringLiteral("SHOW"), QStringLiteral("EXPLAIN")};
    static const QStringList writingWords = {QStringLiteral("INSERT"), QStringLiteral("UPDATE"),
                                             QStringLiteral("DELETE"), QStringLiteral("MERGE"),
                                             QStringLiteral("INTO")};
    const qsizetype n = sql.size();
    QString firstWord;
    bool statementEnded = false; // a ";" was seen
    QChar previous;              // the last significant character outside literals and comments
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (c == u'-' && i + 1 < n && sql.at(i + 1) == u'-') {
            const qsizetype end = sql.indexOf(u'\n', i);
            i = end < 0 ? n : end + 1;
            continue;
        }
        if (c == u'/' && i + 1 < n && sql.at(i + 1) == u'*') {
            int depth = 0; // PostgreSQL nests block comments
            while (i < n) {
                if (sql.at(i) == u'/' && i + 1 < n && sql.at(i + 1) == u'*') {
                    ++depth;
                    i += 2;
                } else if (sql.at(i) == u'*' && i + 1 < n && sql.at(i + 1) == u'/') {
                    i += 2;
                    if (--depth == 0) {
                        break;
                    }
                } else {
                    ++i;
                }
            }
            continue;
        }
        if (statementEnded && c != u';') {
            return QStringLiteral("a second statement follows the first");
        }
        if (c == u';') {
            statementEnded = true;
            ++i;
            continue;
        }
        if (c == u'\'') {
            // E'...' strings take backslash escapes.
            const bool escapes = (previous == u'E' || previous == u'e') && i > 0 && sql.at(i - 1) == previous;
            i = skipQuoted(sql, i, u'\'', escapes);
        } else if (c == u'"') {
            i = skipQuoted(sql, i, u'"');
        } else if (c == u'`') {
            i = skipQuoted(sql, i, u'`');
        } else if (c == u'[') {
            i = skipQuoted(sql, i, u']');
        } else if (c == u'$' && (i == 0 || !isWordPart(sql.at(i - 1))) && dollarTag(sql, i) > 0) {
            const qsizetype length = dollarTag(sql, i);
            const QString tag = sql.mid(i, length);
            const qsizetype close = sql.indexOf(tag, i + length);
            i = close < 0 ? n : close + length;
        } else if (isWordStart(c)) {
            qsizetype end = i + 1;
            while (end < n && isWordPart(sql.at(end))) {
                ++end;
            }
            const QString word = sql.mid(i, end - i).toUpper();
            if (firstWord.isEmpty()) {
                firstWord = word;
                if (!readingFirstWords.contains(word)) {
                    return QStringLiteral("it is not a query: it starts with %1").arg(word);
                }
            } else if (previous != u'.' && writingWords.contains(word)) {
                return QStringLiteral("it contains %1").arg(word);
            }
            previous = sql.at(end - 1);
            i = end;
            continue;
        } else {
            ++i;
        }
        previous = c;
    }
    return {};
}

QString ReadOnlyGuard::refusal(const QString &reason)
{
    return QStringLiteral("The statement would change data and was not run: this control only reads data (%1).")
        .arg(reason);
}

ReadOnlyGuard::ReadOnlyGuard(Connection &connection, const QSqlDatabase &db, const QString &sql)
{
    const QString driver = db.driverName();
    if (driver == u"QSQLITE") {
        guardSqlite(db, sql);
    } else if (driver == u"QPSQL") {
        guardPostgres(db, sql);
    } else if (driver == u"QODBC") {
        guardOdbc(connection, db, sql);
    } else {
        const QString reason = writingStatementReason(sql);
        if (!reason.isEmpty()) {
            throw RuntimeError::database(refusal(reason));
        }
    }
}

ReadOnlyGuard::~ReadOnlyGuard()
{
    executed();
    if (m_finish) {
        std::exchange(m_finish, {})(false);
    }
}

void ReadOnlyGuard::executed()
{
    if (m_executed) {
        std::exchange(m_executed, {})();
    }
}

std::function<void(bool)> ReadOnlyGuard::takeFinish()
{
    return std::exchange(m_finish, {});
}

void ReadOnlyGuard::guardSqlite(const QSqlDatabase &db, const QString &sql)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        throw RuntimeError::database(refusal(QStringLiteral("the SQLite connection cannot be asked")));
    }
    sqlite3 *native = *static_cast<sqlite3 *const *>(handle.constData());
    if (!native) {
        throw RuntimeError::database(refusal(QStringLiteral("the SQLite connection cannot be asked")));
    }
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *statement = nullptr;
    const int rc = sqlite3_prepare_v2(native, text.constData(), int(text.size()), &statement, nullptr);
    if (rc != SQLITE_OK) {
        if (statement) {
            sqlite3_finalize(statement);
        }
        if ((rc & 0xff) == SQLITE_ERROR) {
            return; // the statement does not compile: Qt's driver reports it exactly so
        }
        const QString message = databaseMessage(
            QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(native)), QSqlError::StatementError));
        if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) {
            throw RuntimeError::database(lockedDescription(message));
        }
        throw RuntimeError::database(message);
    }
    if (!statement) {
        return; // only white space or comments: nothing runs
    }
    const bool readOnly = sqlite3_stmt_readonly(statement) != 0;
    const int columns = sqlite3_column_count(statement);
    sqlite3_finalize(statement);
    // Only the first statement is compiled here; Qt's SQLite driver refuses a text with more
    // than one before running any of them.
    if (!readOnly) {
        throw RuntimeError::database(refusal(QStringLiteral("SQLite reports that it writes to the database")));
    }
    if (columns == 0) {
        throw RuntimeError::database(
            refusal(QStringLiteral("it is a command that returns no rows, such as BEGIN, COMMIT or ATTACH")));
    }
}

void ReadOnlyGuard::guardPostgres(const QSqlDatabase &db, const QString &sql)
{
    const QString reason = writingStatementReason(sql);
    if (!reason.isEmpty()) {
        throw RuntimeError::database(refusal(reason));
    }
    void *conn = pgConnection(db);
    const PgApi &pq = pgApi();
    if (!conn || !pq.ok()) {
        return;
    }
    const QString name = db.connectionName();
    const QByteArray marker = QByteArray("; SET LOCAL ") + GuardSetting + " = 'on'";
    QString message;
    switch (pq.transactionStatus(conn)) {
    case PgApi::TransIdle:
        if (!pgRun(conn, QByteArray("BEGIN READ ONLY" + marker).constData(), &message)) {
            if (pq.transactionStatus(conn) != PgApi::TransIdle) {
                pgRun(conn, "ROLLBACK");
            }
            throw RuntimeError::database(message);
        }
        m_finish = [name](bool interrupted) { pgFinish(name, Finish::Rollback, interrupted); };
        break;
    case PgApi::TransInTrans:
        // The host's own transaction: a read-only savepoint leaves it as it was.
        if (!pgRun(conn, QByteArray("SAVEPOINT condora_read_only; SET TRANSACTION READ ONLY" + marker).constData(),
                   &message)) {
            pgRun(conn, "ROLLBACK TO SAVEPOINT condora_read_only; RELEASE SAVEPOINT condora_read_only");
            throw RuntimeError::database(message);
        }
        m_finish = [name](bool interrupted) { pgFinish(name, Finish::RollbackToSavepoint, interrupted); };
        break;
    default:
        // A failed transaction refuses every statement by itself; a command still in progress
        // is not ours to interrupt: the text check above is all that applies.
        break;
    }
}

void ReadOnlyGuard::guardOdbc(Connection &connection, const QSqlDatabase &db, const QString &sql)
{
    const QString reason = writingStatementReason(sql);
    if (!reason.isEmpty()) {
        throw RuntimeError::database(refusal(reason));
    }
    SQLHDBC hdbc = odbcHandle(db);
    if (!hdbc) {
        return;
    }
    if (connection.m_properties.Count() > 1 && connection.m_properties.Item(1).Value().toString() == u"PostgreSQL") {
        guardOdbcPostgres(db);
    }
    // Read-only while the statement is executed, then as it was: the host may write through
    // the same connection (its own, or ours through database()).
    SQLUINTEGER mode = SQL_MODE_READ_WRITE;
    if (!SQL_SUCCEEDED(SQLGetConnectAttr(hdbc, SQL_ATTR_ACCESS_MODE, &mode, 0, nullptr)) || mode == SQL_MODE_READ_ONLY) {
        return;
    }
    if (SQL_SUCCEEDED(
            SQLSetConnectAttr(hdbc, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0))) {
        const QString name = db.connectionName();
        m_executed = [name, mode, then = std::move(m_executed)]() {
            if (then) {
                then();
            }
            const QSqlDatabase host = QSqlDatabase::database(name, false);
            if (SQLHDBC handle = host.isOpen() ? odbcHandle(host) : nullptr) {
                SQLSetConnectAttr(handle, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(quintptr(mode)), 0);
            }
        };
    }
}

void ReadOnlyGuard::guardOdbcPostgres(const QSqlDatabase &db)
{
    // The driver does not enforce the access mode: the server does, for a transaction begun
    // while default_transaction_read_only is on. In auto-commit mode the statement is its own
    // transaction (or begins the driver's cursor transaction), so the setting is on while it
    // is executed and put back as it was right after; a host's transaction begun earlier
    // (auto-commit off) is left to the text check.
    SQLHDBC hdbc = odbcHandle(db);
    SQLULEN autoCommit = SQL_AUTOCOMMIT_ON;
    if (!hdbc || !SQL_SUCCEEDED(SQLGetConnectAttr(hdbc, SQL_ATTR_AUTOCOMMIT, &autoCommit, 0, nullptr))
        || autoCommit != SQL_AUTOCOMMIT_ON) {
        return;
    }
    QByteArray previous;
    if (!odbcRun(hdbc,
                 "SELECT set_config('default_transaction_read_only', 'on', false), s.previous FROM "
                 "(SELECT current_setting('default_transaction_read_only') AS previous OFFSET 0) s",
                 2, &previous)) {
        throw RuntimeError::database(refusal(QStringLiteral("the server could not be set to read only")));
    }
    if (previous == "on") {
        return;
    }
    const QString name = db.connectionName();
    m_executed = [name]() {
        const QSqlDatabase host = QSqlDatabase::database(name, false);
        if (SQLHDBC handle = host.isOpen() ? odbcHandle(host) : nullptr) {
            odbcRun(handle, "SELECT set_config('default_transaction_read_only', 'off', false)");
        }
    };
}

} // namespace condora::ado
