#include "platform/ado/readonlyguard.h"
#include "platform/ado/connection_p.h"

#include "platform/ado/activityscope.h"
#include "platform/ado/connection.h"
#include "platform/ado/databasemessage.h"
#include "platform/ado/pgreadonlyscope.h"
#include "platform/runtimeerror.h"

#include <QMutex>
#include <QSet>
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

// The end of a block comment that starts at `i`; PostgreSQL nests block comments.
qsizetype skipBlockComment(const QString &sql, qsizetype i)
{
    const qsizetype n = sql.size();
    int depth = 0;
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
    return i;
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

// The first column of the first row of a query as text, however long; nullopt when the driver
// refuses the query.
std::optional<QByteArray> odbcText(SQLHDBC hdbc, const QByteArray &sql)
{
    SQLHSTMT statement = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &statement))) {
        return std::nullopt;
    }
    std::optional<QByteArray> text;
    if (SQL_SUCCEEDED(SQLExecDirect(statement, reinterpret_cast<SQLCHAR *>(const_cast<char *>(sql.constData())),
                                    SQLINTEGER(sql.size())))
        && SQL_SUCCEEDED(SQLFetch(statement))) {
        text.emplace();
        char buffer[1024];
        SQLLEN length = 0;
        SQLRETURN rc;
        // Each call gives the next part, ended by a zero, until SQL_NO_DATA.
        while (SQL_SUCCEEDED(rc = SQLGetData(statement, 1, SQL_C_CHAR, buffer, sizeof buffer, &length))
               && length != SQL_NULL_DATA) {
            text->append(buffer);
            if (rc == SQL_SUCCESS) {
                break;
            }
        }
    }
    SQLFreeStmt(statement, SQL_CLOSE);
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    return text;
}

/// Texts SQLite has judged read-only statements with result columns. Whether a text compiles to
/// such a statement follows from the text alone (its kind: SELECT, VALUES, PRAGMA, ...), not
/// from the schema or the connection, so a text judged once need not be compiled a second time
/// beside the driver's own compilation: an analysis sends the same probes again and again.
/// Only passing verdicts are kept, and at most a few hundred.
class ReadOnlyTexts
{
public:
    bool contains(const QString &sql)
    {
        const QMutexLocker lock(&m_mutex);
        return m_texts.contains(sql);
    }
    void insert(const QString &sql)
    {
        const QMutexLocker lock(&m_mutex);
        if (m_texts.size() >= 256) {
            m_texts.clear();
        }
        m_texts.insert(sql);
    }

private:
    QMutex m_mutex;
    QSet<QString> m_texts;
};

ReadOnlyTexts &sqliteReadOnlyTexts()
{
    static ReadOnlyTexts texts;
    return texts;
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
            i = skipBlockComment(sql, i);
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

QString postgresSideEffectReason(const QString &sql)
{
    // Functions a read-only transaction still lets run whose effect outlives the statement
    // or reaches beyond its session: locks held until the session ends, notifications,
    // session settings, sequence numbers, other sessions and the server itself, other
    // databases (dblink) and large objects.
    static const QSet<QString> functions = {
        QStringLiteral("pg_advisory_lock"),
        QStringLiteral("pg_advisory_lock_shared"),
        QStringLiteral("pg_try_advisory_lock"),
        QStringLiteral("pg_try_advisory_lock_shared"),
        QStringLiteral("pg_advisory_xact_lock"),
        QStringLiteral("pg_advisory_xact_lock_shared"),
        QStringLiteral("pg_try_advisory_xact_lock"),
        QStringLiteral("pg_try_advisory_xact_lock_shared"),
        QStringLiteral("pg_advisory_unlock"),
        QStringLiteral("pg_advisory_unlock_shared"),
        QStringLiteral("pg_advisory_unlock_all"),
        QStringLiteral("pg_notify"),
        QStringLiteral("set_config"),
        QStringLiteral("nextval"),
        QStringLiteral("setval"),
        QStringLiteral("pg_cancel_backend"),
        QStringLiteral("pg_terminate_backend"),
        QStringLiteral("pg_reload_conf"),
        QStringLiteral("pg_rotate_logfile"),
        QStringLiteral("pg_switch_wal"),
        QStringLiteral("pg_create_restore_point"),
        QStringLiteral("pg_promote"),
        QStringLiteral("pg_stat_reset"),
        QStringLiteral("pg_stat_reset_shared"),
        QStringLiteral("pg_stat_reset_single_table_counters"),
        QStringLiteral("pg_stat_reset_single_function_counters"),
        QStringLiteral("pg_stat_reset_slru"),
        QStringLiteral("pg_stat_reset_replication_slot"),
        QStringLiteral("dblink"),
        QStringLiteral("dblink_exec"),
        QStringLiteral("dblink_connect"),
        QStringLiteral("dblink_connect_u"),
        QStringLiteral("dblink_send_query"),
        QStringLiteral("lo_import"),
        QStringLiteral("lo_export"),
        QStringLiteral("lo_create"),
        QStringLiteral("lo_creat"),
        QStringLiteral("lo_unlink"),
        QStringLiteral("lo_from_bytea"),
        QStringLiteral("lo_put"),
    };
    const qsizetype n = sql.size();
    // A name followed by an opening bracket is a call; a column of the same name is not.
    const auto called = [&](qsizetype end) {
        while (end < n && sql.at(end).isSpace()) {
            ++end;
        }
        return end < n && sql.at(end) == u'(';
    };
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c == u'-' && i + 1 < n && sql.at(i + 1) == u'-') {
            const qsizetype end = sql.indexOf(u'\n', i);
            i = end < 0 ? n : end + 1;
        } else if (c == u'/' && i + 1 < n && sql.at(i + 1) == u'*') {
            i = skipBlockComment(sql, i);
        } else if (c == u'\'') {
            const bool escapes = i > 0 && (sql.at(i - 1) == u'E' || sql.at(i - 1) == u'e')
                                 && (i < 2 || !isWordPart(sql.at(i - 2)));
            i = skipQuoted(sql, i, u'\'', escapes);
        } else if (c == u'"') {
            // A quoted name is compared as written: "nextval"(...) calls nextval as well.
            const qsizetype end = skipQuoted(sql, i, u'"');
            const QString name = sql.mid(i + 1, end - i - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
            if (functions.contains(name) && called(end)) {
                return QStringLiteral("it calls %1, whose effect outlives the statement").arg(name);
            }
            i = end;
        } else if (c == u'$' && (i == 0 || !isWordPart(sql.at(i - 1))) && dollarTag(sql, i) > 0) {
            const qsizetype length = dollarTag(sql, i);
            const qsizetype close = sql.indexOf(sql.mid(i, length), i + length);
            i = close < 0 ? n : close + length;
        } else if (isWordStart(c)) {
            qsizetype end = i + 1;
            while (end < n && isWordPart(sql.at(end))) {
                ++end;
            }
            const QString word = sql.mid(i, end - i).toLower();
            if (functions.contains(word) && called(end)) {
                return QStringLiteral("it calls %1, whose effect outlives the statement").arg(word);
            }
            i = end;
        } else {
            ++i;
        }
    }
    return {};
}

QString firstStatementWord(const QString &sql)
{
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c.isSpace() || c == u'(') {
            ++i;
        } else if (c == u'-' && i + 1 < n && sql.at(i + 1) == u'-') {
            const qsizetype end = sql.indexOf(u'\n', i);
            i = end < 0 ? n : end + 1;
        } else if (c == u'/' && i + 1 < n && sql.at(i + 1) == u'*') {
            i = skipBlockComment(sql, i);
        } else {
            break;
        }
    }
    qsizetype end = i;
    while (end < n && isWordPart(sql.at(end))) {
        ++end;
    }
    return sql.mid(i, end - i).toUpper();
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
        guardPostgres(connection, db, sql);
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
    if (sqliteReadOnlyTexts().contains(sql)) {
        return;
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
    sqliteReadOnlyTexts().insert(sql);
}

void ReadOnlyGuard::guardPostgres(Connection &connection, const QSqlDatabase &db, const QString &sql)
{
    QString reason = writingStatementReason(sql);
    if (reason.isEmpty()) {
        reason = postgresSideEffectReason(sql);
    }
    if (!reason.isEmpty()) {
        throw RuntimeError::database(refusal(reason));
    }
    // The transaction is shared by every statement of the connection whose rows still stream;
    // it ends when the last of them lets go.
    if (std::shared_ptr<PgReadOnlyScope> scope = PgReadOnlyScope::enter(connection, db)) {
        m_finish = [scope](bool) mutable { scope.reset(); };
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
    if (connection.d->m_properties.Count() > 1 && connection.d->m_properties.Item(1).Value().toString() == u"PostgreSQL") {
        if (const QString effect = postgresSideEffectReason(sql); !effect.isEmpty()) {
            throw RuntimeError::database(refusal(effect));
        }
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
    // A function the statement calls may take session advisory locks, which a read-only
    // transaction allows: the ones not held now are released right after.
    const std::optional<QByteArray> locks = odbcText(hdbc, heldAdvisoryLocksQuery());
    const bool restore = previous != "on";
    if (!restore && !locks) {
        return;
    }
    const QString name = db.connectionName();
    m_executed = [name, restore, locks]() {
        const QSqlDatabase host = QSqlDatabase::database(name, false);
        SQLHDBC handle = host.isOpen() ? odbcHandle(host) : nullptr;
        if (!handle) {
            return;
        }
        if (restore) {
            odbcRun(handle, "SELECT set_config('default_transaction_read_only', 'off', false)");
        }
        if (locks) {
            releaseNewAdvisoryLocks(
                *locks, [handle](const QByteArray &sql) { return odbcText(handle, sql); },
                [handle](const QByteArray &sql) { return odbcRun(handle, sql); });
        }
    };
}

} // namespace condora::ado
