#include "reliabilitysupport.h"

#include "platform/ado/connection.h"

#include <QApplication>
#include <QKeyEvent>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QUuid>
#include <QWidget>

#include <sqlite3.h>

#include <dlfcn.h>

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace reliability {

QString engineName(Engine engine)
{
    return engine == Engine::Sqlite ? u"SQLite"_s : engine == Engine::Postgres ? u"PostgreSQL"_s : u"MariaDB"_s;
}

QStringList hostileValues()
{
    return {
        u"O'Brien"_s,
        u"''"_s,
        u"x' or '1'='1"_s,
        u"back\\slash\\"_s,
        u"\\' or 1=1 --"_s,
        u"semi;colon"_s,
        u"1; drop table Customers"_s,
        u"x'; delete from Remarks; --"_s,
        u"dash -- comment"_s,
        u"/* open comment"_s,
        u"100% off_"_s,
        u"Ünïcødé Straße 名前 \U0001F600"_s,
        u"ab'c;"_s.repeated(2000), // 10,000 characters
        u"line\nbreak\ttab"_s,    // only the picker can deliver it
    };
}

namespace {

// libpq, as Qt's PostgreSQL driver loaded it; looked up at run time so that no libpq headers
// are needed to build the tests.
struct Libpq
{
    int (*backendPid)(const void *conn) = nullptr;
    void (*trace)(void *conn, FILE *stream) = nullptr;
    void (*setTraceFlags)(void *conn, int flags) = nullptr;
    void (*untrace)(void *conn) = nullptr;
};

const Libpq &libpq()
{
    static const Libpq api = [] {
        Libpq found;
        if (void *lib = dlopen("libpq.so.5", RTLD_LAZY | RTLD_NOLOAD)) {
            found.backendPid = reinterpret_cast<decltype(found.backendPid)>(dlsym(lib, "PQbackendPID"));
            found.trace = reinterpret_cast<decltype(found.trace)>(dlsym(lib, "PQtrace"));
            found.setTraceFlags = reinterpret_cast<decltype(found.setTraceFlags)>(dlsym(lib, "PQsetTraceFlags"));
            found.untrace = reinterpret_cast<decltype(found.untrace)>(dlsym(lib, "PQuntrace"));
        }
        return found;
    }();
    return api;
}

constexpr int TraceSuppressTimestamps = 1; // PQTRACE_SUPPRESS_TIMESTAMPS

void *pgHandle(condora::ado::Connection &connection)
{
    const QVariant handle = connection.database().driver()->handle();
    if (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0) {
        return nullptr;
    }
    return *static_cast<void *const *>(handle.constData());
}

void run(QSqlDatabase db, const QString &sql, const QVariantList &params = {}, QStringList *firstColumn = nullptr)
{
    QSqlQuery query(db);
    bool ok = false;
    if (params.isEmpty()) {
        ok = query.exec(sql);
    } else {
        ok = query.prepare(sql);
        for (const QVariant &param : params) {
            query.addBindValue(param);
        }
        ok = ok && query.exec();
    }
    if (!ok) {
        throw std::runtime_error(QStringLiteral("check statement failed: %1\n%2")
                                     .arg(sql.left(200), query.lastError().text())
                                     .toStdString());
    }
    while (firstColumn != nullptr && query.next()) {
        firstColumn->append(query.value(0).toString());
    }
}

QStringList schema(Engine engine)
{
    const bool pg = engine == Engine::Postgres;
    QStringList statements = condora::test::sampleSchema(pg);
    const QString memo = pg ? u"TEXT"_s : u"MEMO"_s;
    const QString blob = pg ? u"BYTEA"_s : u"BLOB"_s;
    statements.append(u"CREATE TABLE Remarks (RemarkID INTEGER PRIMARY KEY, Title VARCHAR(20000), Body %1, "
                      "Amount INTEGER, Written DATE, Photo %2)"_s.arg(memo, blob));
    statements.append(u"CREATE TABLE Städte (Stadt VARCHAR(40), Größe INTEGER, 名前 VARCHAR(20))"_s);
    statements.append(u"INSERT INTO Städte VALUES ('Köln', 1086000, 'ケルン'), ('Zürich', 421000, 'チューリッヒ')"_s);
    statements.append(u"CREATE TABLE Numbers (N INTEGER)"_s);
    statements.append(pg ? u"INSERT INTO Numbers SELECT g FROM generate_series(1, 20000) AS g"_s
                         : u"WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s WHERE n < 20000) "
                           "INSERT INTO Numbers SELECT n FROM s"_s);
    return statements;
}

} // namespace

std::unique_ptr<SampleDatabase> SampleDatabase::create(Engine engine, const QString &pgName)
{
    std::unique_ptr<SampleDatabase> db(new SampleDatabase);
    db->m_engine = engine;
    db->m_qtName = u"reliability-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (engine == Engine::Sqlite) {
        db->m_file = std::make_unique<condora::test::SqliteFile>(schema(engine));
        QSqlDatabase q = QSqlDatabase::addDatabase(u"QSQLITE"_s, db->m_qtName);
        q.setDatabaseName(db->m_file->path());
        if (!q.open()) {
            throw std::runtime_error("check connection did not open");
        }
    } else {
        db->m_server = condora::test::pgServer();
        if (!db->m_server) {
            return nullptr;
        }
        db->m_pgName = pgName;
        db->m_server->createDatabase(pgName);
        db->m_server->exec(pgName, schema(engine));
        QSqlDatabase q = QSqlDatabase::addDatabase(u"QPSQL"_s, db->m_qtName);
        q.setHostName(db->m_server->host);
        q.setPort(db->m_server->port);
        q.setUserName(db->m_server->user);
        q.setPassword(db->m_server->password);
        q.setDatabaseName(pgName);
        if (!q.open()) {
            throw std::runtime_error("check connection did not open");
        }
    }
    const QStringList values = hostileValues();
    for (int i = 0; i < values.size(); ++i) {
        run(QSqlDatabase::database(db->m_qtName, false),
            u"INSERT INTO Remarks (RemarkID, Title, Body, Amount, Written) VALUES (?, ?, ?, ?, ?)"_s,
            {i + 1, values.at(i), values.at(i), (i + 1) * 10, u"2001-01-%1"_s.arg(i + 1, 2, 10, QLatin1Char('0'))});
    }
    return db;
}

SampleDatabase::~SampleDatabase()
{
    {
        QSqlDatabase q = QSqlDatabase::database(m_qtName, false);
        q.close();
    }
    QSqlDatabase::removeDatabase(m_qtName);
}

std::shared_ptr<condora::ado::Connection> SampleDatabase::open() const
{
    if (m_engine == Engine::Sqlite) {
        return m_file->open();
    }
    return m_server->open(m_pgName);
}

QStringList SampleDatabase::tables()
{
    return {u"GenderTypes"_s, u"Customers"_s, u"Products"_s, u"Order Details"_s,
            u"Remarks"_s,     u"Städte"_s,    u"Numbers"_s};
}

QMap<QString, int> SampleDatabase::tableCounts() const
{
    QMap<QString, int> counts;
    for (const QString &table : tables()) {
        QStringList count;
        try {
            run(QSqlDatabase::database(m_qtName, false), u"SELECT count(*) FROM \"%1\""_s.arg(
                m_engine == Engine::Postgres && !table.contains(u' ') ? table.toLower() : table),
                {}, &count);
        } catch (const std::exception &) {
            count = QStringList{u"-1"_s}; // the table is gone
        }
        counts.insert(table, count.value(0).toInt());
    }
    return counts;
}

QStringList SampleDatabase::column(const QString &sql, const QVariantList &params) const
{
    QStringList values;
    run(QSqlDatabase::database(m_qtName, false), sql, params, &values);
    return values;
}

void SampleDatabase::exec(const QString &sql) const
{
    run(QSqlDatabase::database(m_qtName, false), sql);
}

QString SampleDatabase::path() const
{
    return m_file ? m_file->path() : QString();
}

bool SampleDatabase::terminateBackend(condora::ado::Connection &connection) const
{
    void *conn = pgHandle(connection);
    if (m_engine != Engine::Postgres || conn == nullptr || libpq().backendPid == nullptr) {
        return false;
    }
    const int pid = libpq().backendPid(conn);
    QStringList result;
    run(QSqlDatabase::database(m_qtName, false), u"SELECT pg_terminate_backend(?)"_s, {pid}, &result);
    if (result.value(0) != u"true"_s) {
        return false;
    }
    // Termination is asynchronous: wait (without sleeping) until the server lists it no more.
    for (int i = 0; i < 1000; ++i) {
        QStringList alive;
        run(QSqlDatabase::database(m_qtName, false), u"SELECT count(*) FROM pg_stat_activity WHERE pid = ?"_s,
            {pid}, &alive);
        if (alive.value(0) == u"0"_s) {
            return true;
        }
    }
    return false;
}

// Statement trace ------------------------------------------------------------------------------

StatementTrace::StatementTrace(condora::ado::Connection &connection)
    : m_connection(&connection)
    , m_driver(connection.database().driver())
{
    // The runs' statements stay on the traced connection.
    connection.setSeparateRunConnection(false);
    const QVariant handle = connection.database().driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") == 0) {
        m_sqlite = *static_cast<sqlite3 *const *>(handle.constData());
        sqlite3_trace_v2(m_sqlite, SQLITE_TRACE_STMT, &StatementTrace::sqliteCallback, this);
    }
    if (void *conn = pgHandle(connection); conn != nullptr && libpq().trace && libpq().setTraceFlags) {
        m_stream = open_memstream(&m_buffer, &m_size);
        if (m_stream != nullptr) {
            m_pg = conn;
            libpq().trace(conn, m_stream);
            libpq().setTraceFlags(conn, TraceSuppressTimestamps);
        }
    }
}

StatementTrace::~StatementTrace()
{
    stop();
    free(m_buffer);
}

bool StatementTrace::handleAlive(const void *handle) const
{
    // Closing the connection closes (and usually deletes) the driver, which frees the handle;
    // a driver that is still open and still holds the same handle has not let it go.
    if (m_driver.isNull() || !m_driver->isOpen()) {
        return false;
    }
    const QVariant current = m_driver->handle();
    return current.isValid() && *static_cast<void *const *>(current.constData()) == handle;
}

void StatementTrace::stop()
{
    if (m_sqlite != nullptr) {
        // A connection closed meanwhile has freed its handle (and its trace with it).
        if (handleAlive(m_sqlite)) {
            sqlite3_trace_v2(m_sqlite, 0, nullptr, nullptr);
        } else {
            m_closedWhileTraced = true;
        }
        m_sqlite = nullptr;
    }
    if (m_pg != nullptr) {
        // A connection closed meanwhile has freed its handle: only the stream is left to close.
        if (handleAlive(m_pg) && libpq().untrace) {
            libpq().untrace(m_pg);
        } else {
            m_closedWhileTraced = true;
        }
        m_statements = statements();
        fclose(m_stream);
        m_stream = nullptr;
        m_pg = nullptr;
    }
}

int StatementTrace::sqliteCallback(unsigned, void *context, void *, void *text)
{
    static_cast<StatementTrace *>(context)->m_statements.append(QString::fromUtf8(static_cast<const char *>(text)));
    return 0;
}

namespace {

bool isReadOnlyGuardStatement(const QString &statement)
{
    static const QStringList guardPrefixes{
        QStringLiteral("BEGIN READ ONLY; SET LOCAL condora."),
        QStringLiteral("SAVEPOINT condora_read_only;"),
        QStringLiteral("ROLLBACK TO SAVEPOINT condora_read_only;"),
        QStringLiteral("select current_setting('condora."),
        // The session's advisory locks, read after the read-only transaction ends.
        QStringLiteral("select coalesce(string_agg(l.classid"),
        // A cursor's further fetches, and the end of a failed one.
        QStringLiteral("SAVEPOINT condora_fetch; FETCH FORWARD "),
        QStringLiteral("ROLLBACK TO SAVEPOINT condora_fetch;"),
    };
    if (statement == QStringLiteral("ROLLBACK")) {
        return true;
    }
    for (const QString &prefix : guardPrefixes) {
        if (statement.startsWith(prefix)) {
            return true;
        }
    }
    return false;
}

} // namespace

QStringList StatementTrace::statements()
{
    if (m_stream == nullptr) {
        return m_statements;
    }
    // libpq writes one line per protocol message: "F\t<length>\tQuery\t \"<text>\"" for each
    // statement sent to run, the text raw (line breaks included). The length (4 bytes of length,
    // the text and its terminating zero) tells where the text ends. Parse messages (a text
    // prepared without running it) are not executions and are not listed.
    fflush(m_stream);
    const QByteArray log(m_buffer, qsizetype(m_size));
    QStringList result;
    qsizetype line = 0;
    while (line < log.size()) {
        const QByteArray marker = "\tQuery\t \"";
        const qsizetype lineEnd = log.indexOf('\n', line);
        const QByteArray head = log.mid(line, (lineEnd < 0 ? log.size() : lineEnd) - line);
        const qsizetype at = head.indexOf(marker);
        const QList<QByteArray> fields = head.left(at).split('\t');
        if (head.startsWith("F\t") && at > 0 && fields.size() == 2) {
            const qsizetype textStart = line + at + marker.size();
            const qsizetype textLength = fields.at(1).toLongLong() - 5;
            QString statement = QString::fromUtf8(log.mid(textStart, textLength));
            // A PostgreSQL query is sent as a cursor's declaration with its first fetch: the
            // statement is the one the cursor is declared for.
            static const QRegularExpression declared(
                QStringLiteral("^SAVEPOINT condora_fetch; DECLARE condora_rows_\\d+ NO SCROLL CURSOR FOR (.*)\n; "
                               "FETCH FORWARD \\d+ FROM condora_rows_\\d+; RELEASE SAVEPOINT condora_fetch$"),
                QRegularExpression::DotMatchesEverythingOption);
            if (const QRegularExpressionMatch match = declared.match(statement); match.hasMatch()) {
                statement = match.captured(1);
            }
            // The read-only guard's own transaction around each statement is not a query of the
            // control's; what the tests look at is the statements inside it.
            if (!isReadOnlyGuardStatement(statement)) {
                result.append(statement);
            }
            line = log.indexOf('\n', textStart + textLength);
        } else {
            line = lineEnd;
        }
        if (line < 0) {
            break;
        }
        ++line;
    }
    return result;
}

// User interaction -----------------------------------------------------------------------------

void RecordingUi::setMousePointer(condora::MousePointer pointer)
{
    RecordingUserInteraction::setMousePointer(pointer);
    if (m_onPointer) {
        m_onPointer(pointer);
    }
}

void typeText(QWidget *widget, const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        QString key(text.at(i));
        if (text.at(i).isHighSurrogate() && i + 1 < text.size()) {
            key.append(text.at(++i));
        }
        const int code = key.size() == 1 && key.at(0).unicode() < 0x80 ? QChar(key.at(0)).toUpper().unicode() : 0;
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, key);
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, key);
        QApplication::sendEvent(widget, &release);
    }
}

QStringList openWindows()
{
    QStringList open;
    for (const QWidget *widget : QApplication::topLevelWidgets()) {
        open.append(QString::fromLatin1(widget->metaObject()->className()) + u' ' + widget->objectName());
    }
    return open;
}

} // namespace reliability
