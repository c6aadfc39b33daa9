#include "platform/ado/connection.h"
#include "platform/ado/connection_p.h"
#include "platform/ado/connectionstatistics.h"

#include "platform/ado/activityscope.h"
#include "platform/ado/databasemessage.h"
#include "platform/ado/errorvalue_p.h"
#include "platform/ado/libpq.h"
#include "platform/ado/recordset.h"
#include "platform/ado/statementinflight.h"
#include "platform/ado/statementrunner.h"
#include "platform/runtimeerror.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace condora::ado {

namespace {

struct Segment
{
    QString key;   // lower case, trimmed
    QString value; // trimmed, quotes and braces removed
    QString raw;   // as written
};

// Splits "Key=Value;Key={a;b};Key=\"x;y\"" into segments. Empty segments are skipped.
QList<Segment> parseConnectionString(const QString &text)
{
    QList<Segment> segments;
    QString raw;
    QChar quote;
    const auto flush = [&segments, &raw]() {
        if (raw.trimmed().isEmpty()) {
            raw.clear();
            return;
        }
        const qsizetype equals = raw.indexOf(u'=');
        if (equals <= 0 || raw.left(equals).trimmed().isEmpty()) {
            throw RuntimeError::invalidArgument(
                QStringLiteral("Malformed connection string: \"%1\" is not of the form Key=Value").arg(raw.trimmed()));
        }
        QString value = raw.mid(equals + 1).trimmed();
        if (value.size() >= 2
            && ((value.startsWith(u'"') && value.endsWith(u'"')) || (value.startsWith(u'\'') && value.endsWith(u'\''))
                || (value.startsWith(u'{') && value.endsWith(u'}')))) {
            value = value.mid(1, value.size() - 2);
        }
        segments.append({raw.left(equals).simplified().toLower(), value, raw});
        raw.clear();
    };
    for (const QChar c : text) {
        if (!quote.isNull()) {
            if (c == quote) {
                quote = QChar();
            }
        } else if (c == u'{') {
            quote = u'}';
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u';') {
            flush();
            continue;
        }
        raw.append(c);
    }
    if (!quote.isNull()) {
        throw RuntimeError::invalidArgument(
            QStringLiteral("Malformed connection string: unbalanced %1").arg(quote == u'}' ? u'{' : quote));
    }
    flush();
    return segments;
}

QString valueOf(const QList<Segment> &segments, std::initializer_list<const char *> keys)
{
    for (const Segment &segment : segments) {
        for (const char *key : keys) {
            if (segment.key == QLatin1String(key)) {
                return segment.value;
            }
        }
    }
    return {};
}

bool hasKey(const QList<Segment> &segments, const char *key)
{
    for (const Segment &segment : segments) {
        if (segment.key == QLatin1String(key)) {
            return true;
        }
    }
    return false;
}

QString odbcInfo(SQLHDBC hdbc, SQLUSMALLINT item)
{
    SQLCHAR buffer[512] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetInfo(hdbc, item, buffer, SQLSMALLINT(sizeof buffer - 1), &length);
    if (!SQL_SUCCEEDED(rc)) {
        return {};
    }
    return QString::fromUtf8(reinterpret_cast<const char *>(buffer)).trimmed();
}

} // namespace

const Property &Properties::Item(int index) const
{
    if (index < 0 || index >= m_items.size()) {
        throw RuntimeError::subscriptOutOfRange(
            QStringLiteral("property %1 of %2").arg(index).arg(m_items.size()));
    }
    return m_items.at(index);
}

Connection::Connection() : d(std::make_unique<ConnectionPrivate>()) {}

QString Connection::ConnectionString() const
{
    return d->m_connectionString;
}

void Connection::setConnectionString(const QString &connectionString)
{
    d->m_connectionString = connectionString;
}

int Connection::CursorLocation() const
{
    return d->m_cursorLocation;
}

void Connection::setCursorLocation(int location)
{
    d->m_cursorLocation = location;
}

StatementActivity *Connection::statementActivity() const
{
    return d->m_activity;
}

void Connection::setStatementActivity(StatementActivity *activity)
{
    d->m_activity = activity;
}

bool Connection::separateRunConnection() const
{
    return d->m_separateRuns;
}

void Connection::setSeparateRunConnection(bool separate)
{
    d->m_separateRuns = separate;
}

bool Connection::statementRunning() const
{
    return d->m_inFlight > 0;
}

int Connection::lastExecuteOptions() const
{
    return d->m_lastExecuteOptions;
}

int statementCount(const Connection &connection)
{
    return connection.d->m_statementCount;
}

void resetStatementCount(Connection &connection)
{
    connection.d->m_statementCount = 0;
    if (connection.d->m_host) {
        resetStatementCount(*connection.d->m_host);
    }
}

QString lastStatement(const Connection &connection)
{
    return connection.d->m_lastStatement;
}

void countStatement(Connection &connection, const QString &sql)
{
    ++connection.d->m_statementCount;
    connection.d->m_lastStatement = sql;
    if (connection.d->m_host) {
        countStatement(*connection.d->m_host, sql);
    }
}

Connection::~Connection()
{
    Close();
}

std::shared_ptr<Connection> Connection::fromDatabase(const QSqlDatabase &database)
{
    if (!database.isValid()) {
        throw RuntimeError::objectNotSet(QStringLiteral("the database handed over is not valid"));
    }
    QSqlDatabase db = database;
    if (!db.isOpen() && !db.open()) {
        throw RuntimeError::database(databaseMessage(db.lastError()));
    }
    auto connection = std::make_shared<Connection>();
    connection->d->m_qtConnectionName = db.connectionName();
    connection->d->m_ownsDatabase = false;
    connection->d->m_open = true;
    connection->readProperties();
    return connection;
}

std::shared_ptr<Connection> Connection::tryFromDatabase(const QSqlDatabase &database, QSqlError *error)
{
    std::shared_ptr<Connection> connection;
    QSqlError failure;
    catchAsSqlError(failure, [&] { connection = fromDatabase(database); });
    if (error) {
        *error = failure;
    }
    return connection;
}

std::unique_ptr<Connection> Connection::adoptOwned(const QString &qtName)
{
    auto connection = std::make_unique<Connection>();
    connection->d->m_qtConnectionName = qtName;
    connection->d->m_ownsDatabase = true;
    connection->d->m_open = true;
    connection->readProperties();
    return connection;
}

void Connection::Open(const QString &connectionString)
{
    if (d->m_inFlight > 0) {
        // Reopening would take the database away from the statement that runs on it.
        throw RuntimeError::database(QStringLiteral("Another statement is still running on this connection."));
    }
    if (!connectionString.isEmpty()) {
        d->m_connectionString = connectionString;
    }
    Close();
    d->m_runner.reset();
    d->m_host.reset();

    if (d->m_connectionString.trimmed().isEmpty()) {
        throw RuntimeError::invalidArgument(QStringLiteral("The connection string is empty"));
    }
    const QList<Segment> segments = parseConnectionString(d->m_connectionString);
    QString provider = valueOf(segments, {"provider"}).toLower();
    if (provider.isEmpty()) {
        // Without a provider: an ODBC string when it names a driver or data source, else SQLite.
        if (hasKey(segments, "driver") || hasKey(segments, "dsn") || hasKey(segments, "filedsn")) {
            provider = QStringLiteral("odbc");
        } else if (hasKey(segments, "data source")) {
            provider = QStringLiteral("sqlite");
        }
    }

    if (provider == u"sqlite" || provider == u"sqlite3" || provider == u"qsqlite") {
        const QString path = valueOf(segments, {"data source", "database"});
        if (path.isEmpty()) {
            throw RuntimeError::invalidArgument(QStringLiteral("The connection string names no Data Source"));
        }
        openSqlite(path);
    } else if (provider == u"postgresql" || provider == u"postgres" || provider == u"pgsql"
               || provider == u"qpsql") {
        openPostgres(valueOf(segments, {"host", "server", "data source"}), valueOf(segments, {"port"}),
                     valueOf(segments, {"database", "initial catalog", "dbname"}),
                     valueOf(segments, {"user id", "user", "uid", "username"}),
                     valueOf(segments, {"password", "pwd"}));
    } else if (provider == u"odbc" || provider == u"msdasql") {
        QStringList parts;
        for (const Segment &segment : segments) {
            if (segment.key != u"provider") {
                parts.append(segment.raw.trimmed());
            }
        }
        if (!hasKey(segments, "driver") && !hasKey(segments, "dsn") && !hasKey(segments, "filedsn")) {
            throw RuntimeError::invalidArgument(
                QStringLiteral("The ODBC connection string names no Driver or DSN"));
        }
        // No final ";": Qt's ODBC driver hands the string over with its terminating NUL counted,
        // and a driver that reads the NUL after a final ";" as one more attribute (MariaDB's)
        // refuses the whole string. Empty segments were already dropped by the parser.
        openOdbc(parts.join(u';'));
    } else if (provider.isEmpty()) {
        throw RuntimeError::invalidArgument(QStringLiteral("The connection string names no Provider"));
    } else {
        throw RuntimeError::invalidArgument(
            QStringLiteral("Unknown provider \"%1\" (use SQLite, PostgreSQL or ODBC)")
                .arg(valueOf(segments, {"provider"})));
    }
    d->m_open = true;
    try {
        readProperties();
    } catch (...) {
        Close();
        throw;
    }
}

bool Connection::tryOpen(const QString &connectionString)
{
    return catchAsSqlError(d->m_lastError, [&] { Open(connectionString); });
}

QSqlError Connection::lastError() const
{
    return d->m_lastError;
}

void Connection::openSqlite(const QString &path)
{
    // SQLite creates a missing file on open; a connection must never invent an empty database.
    if (path != u":memory:") {
        const QFileInfo info(path);
        if (!info.exists()) {
            throw RuntimeError::database(QStringLiteral("Could not find file '%1'.").arg(path));
        }
        if (!info.isFile()) {
            throw RuntimeError::database(QStringLiteral("'%1' is not a database file.").arg(path));
        }
    }
    d->m_qtConnectionName = QStringLiteral("condora-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), d->m_qtConnectionName);
    db.setDatabaseName(path);
    openAndCheck(db);
}

void Connection::openPostgres(const QString &host, const QString &port, const QString &database,
                              const QString &user, const QString &password)
{
    int portNumber = 5432;
    if (!port.isEmpty()) {
        bool ok = false;
        portNumber = port.toInt(&ok);
        if (!ok || portNumber < 1 || portNumber > 65535) {
            throw RuntimeError::invalidArgument(QStringLiteral("Port \"%1\" is not a port number").arg(port));
        }
    }
    d->m_qtConnectionName = QStringLiteral("condora-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), d->m_qtConnectionName);
    db.setHostName(host);
    db.setPort(portNumber);
    db.setDatabaseName(database);
    db.setUserName(user);
    db.setPassword(password);
    db.setConnectOptions(QStringLiteral("connect_timeout=15"));
    openAndCheck(db);
}

void Connection::openOdbc(const QString &driverString)
{
    d->m_qtConnectionName = QStringLiteral("condora-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), d->m_qtConnectionName);
    db.setDatabaseName(driverString);
    // ODBC 3 behaviour: dates, times and time stamps report SQL_TYPE_DATE/TIME/TIMESTAMP.
    db.setConnectOptions(QStringLiteral("SQL_ATTR_ODBC_VERSION=SQL_OV_ODBC3;SQL_ATTR_LOGIN_TIMEOUT=15"));
    openAndCheck(db);
}

void Connection::openAndCheck(QSqlDatabase &db)
{
    QString failure;
    if (!db.isValid()) {
        failure = QStringLiteral("The database driver %1 is not available").arg(db.driverName());
    } else if (!db.open()) {
        failure = databaseMessage(db.lastError());
    } else if (db.driverName() == u"QSQLITE") {
        // Opening is lazy in SQLite: read the schema so that a file that is not a database fails now.
        QSqlQuery check(db);
        if (!check.exec(QStringLiteral("select count(*) from sqlite_master"))) {
            failure = databaseMessage(check.lastError());
        }
    }
    if (failure.isEmpty()) {
        return;
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(d->m_qtConnectionName);
    d->m_qtConnectionName.clear();
    throw RuntimeError::database(failure);
}

void Connection::Close()
{
    if (d->m_inFlight > 0) {
        // Closing now would free the handle the statement is working on.
        if (!d->m_closePending) {
            d->m_closePending = true;
            interruptStatement();
        }
        return;
    }
    d->m_closePending = false;
    // The runs made from this connection end with it: what they would read now is not the
    // host's any more.
    for (const std::weak_ptr<Connection> &run : std::exchange(d->m_runs, {})) {
        if (const std::shared_ptr<Connection> connection = run.lock()) {
            connection->Close();
        }
    }
    if (d->m_runner) {
        // A run's connection: the results it handed out keep the run's own connection open
        // until they are let go (or the host's connection closes, which releases them).
        d->m_rowSources.clear();
        d->m_runner.reset();
        d->m_host.reset();
        d->m_open = false;
        d->m_properties = condora::ado::Properties();
        return;
    }
    releaseRows();
    d->m_properties = condora::ado::Properties();
    if (!d->m_open && d->m_qtConnectionName.isEmpty()) {
        return;
    }
    d->m_open = false;
    const QString name = d->m_qtConnectionName;
    d->m_qtConnectionName.clear();
    if (d->m_ownsDatabase && !name.isEmpty()) {
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
    d->m_ownsDatabase = true;
}

void Connection::interruptStatement()
{
    if (d->m_runner) {
        d->m_runner->cancel();
        return;
    }
    if (sqlite3 *native = sqliteHandleOf(*this)) {
        sqlite3_interrupt(native);
        return;
    }
    const PgApi &pq = pgApi();
    if (void *conn = pgConnection(database()); conn != nullptr && pq.getCancel != nullptr) {
        if (void *request = pq.getCancel(conn)) {
            char error[256] = {};
            pq.cancel(request, error, int(sizeof error));
            pq.freeCancel(request);
        }
    }
}

StatementInFlight::StatementInFlight(Connection &connection)
    : m_connection(connection)
{
    ++m_connection.d->m_inFlight;
}

StatementInFlight::~StatementInFlight()
{
    if (--m_connection.d->m_inFlight == 0 && m_connection.d->m_closePending) {
        m_connection.Close();
    }
}

bool StatementInFlight::closing() const
{
    return m_connection.d->m_closePending;
}

QString StatementInFlight::closedMeanwhile()
{
    return u"The connection was closed while the statement ran."_s;
}

int Connection::State() const
{
    if (d->m_runner) {
        return d->m_open ? adStateOpen : adStateClosed;
    }
    return d->m_open && database().isOpen() ? adStateOpen : adStateClosed;
}

const Properties &Connection::Properties() const
{
    requireOpen();
    return d->m_properties;
}

Properties Connection::tryProperties() const
{
    condora::ado::Properties properties;
    catchAsSqlError(d->m_lastError, [&] { properties = Properties(); });
    return properties;
}

std::unique_ptr<Recordset> Connection::tryExecute(const QString &sql, int options)
{
    std::unique_ptr<Recordset> recordset;
    catchAsSqlError(d->m_lastError, [&] { recordset = Execute(sql, options); });
    return recordset;
}

std::unique_ptr<Recordset> Connection::Execute(const QString &sql, int options)
{
    requireOpen();
    d->m_lastExecuteOptions = options;
    if (d->m_host) {
        d->m_host->d->m_lastExecuteOptions = options;
    }
    auto recordset = std::make_unique<Recordset>();
    recordset->Open(sql, *this);
    return recordset;
}

bool Connection::isLocked(int waitMs) const
{
    if (d->m_runner) {
        return false; // its statements wait for a lock on their own thread, and can be stopped there
    }
    const QSqlDatabase db = database();
    if (!db.isOpen() || db.driverName() != u"QSQLITE") {
        return false;
    }
    sqlite3 *native = sqliteHandleOf(*this);
    if (!native) {
        return false;
    }
    // The driver's own wait comes back after the probe.
    const int driverWait = sqliteBusyTimeoutOf(*this);
    sqlite3_busy_timeout(native, waitMs);
    bool locked = false;
    sqlite3_stmt *statement = nullptr;
    int rc = sqlite3_prepare_v2(native, "select 1 from sqlite_master limit 1", -1, &statement, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(statement);
    }
    locked = (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED;
    sqlite3_finalize(statement);
    sqlite3_busy_timeout(native, driverWait);
    return locked;
}

QSqlDatabase Connection::database() const
{
    if (d->m_runner || !d->m_open || d->m_qtConnectionName.isEmpty()) {
        return {};
    }
    return QSqlDatabase::database(d->m_qtConnectionName, false);
}

QString Connection::driverName() const
{
    if (d->m_runner) {
        return d->m_open ? d->m_runnerDriver : QString();
    }
    return database().driverName();
}

int Connection::numericalPrecisionPolicy() const
{
    if (d->m_precisionPolicy >= 0) {
        return d->m_precisionPolicy;
    }
    if (d->m_runner) {
        return d->m_host ? d->m_host->numericalPrecisionPolicy() : int(QSql::LowPrecisionDouble);
    }
    return int(database().numericalPrecisionPolicy());
}

void Connection::setNumericalPrecisionPolicy(int policy)
{
    if (d->m_runner) {
        d->m_precisionPolicy = policy;
        return;
    }
    QSqlDatabase db = database();
    db.setNumericalPrecisionPolicy(QSql::NumericalPrecisionPolicy(policy));
}

bool Connection::statementsBlock() const
{
    if (d->m_runner) {
        return false; // they run on the run's own thread
    }
    const QString driver = driverName();
    if (driver == u"QSQLITE") {
        return false; // its progress handler lets the events through
    }
    return driver != u"QPSQL" || !pgApi().asyncOk();
}

void Connection::requireOpen() const
{
    if (State() != adStateOpen) {
        throw RuntimeError::objectNotSet(QStringLiteral("the connection is not open"));
    }
}

void Connection::readProperties()
{
    QSqlDatabase db = database();
    const QString driver = db.driverName();
    d->m_oneActiveStatement = false;
    QString dbmsName;
    QString dbmsVersion;
    QString driverFile;
    if (driver == u"QSQLITE") {
        dbmsName = QStringLiteral("SQLite");
        dbmsVersion = QString::fromLatin1(sqlite3_libversion());
    } else if (driver == u"QPSQL") {
        // Statements read through libpq stream from cursors and leave the connection idle
        // between fetches (pgrows.h); only Qt's own driver streams one result at a time.
        d->m_oneActiveStatement = !pgApi().asyncOk();
        dbmsName = QStringLiteral("PostgreSQL");
        QSqlQuery version(db);
        if (version.exec(QStringLiteral("show server_version")) && version.next()) {
            dbmsVersion = version.value(0).toString();
        }
    } else if (driver == u"QODBC") {
        const QVariant handle = db.driver()->handle();
        SQLHDBC hdbc = handle.metaType() == QMetaType::fromType<void *>() ? handle.value<void *>() : nullptr;
        if (hdbc) {
            dbmsName = odbcInfo(hdbc, SQL_DBMS_NAME);
            dbmsVersion = odbcInfo(hdbc, SQL_DBMS_VER);
            driverFile = odbcInfo(hdbc, SQL_DRIVER_NAME);
            SQLUSMALLINT activeStatements = 0;
            if (SQL_SUCCEEDED(SQLGetInfo(hdbc, SQL_ACTIVE_STATEMENTS, &activeStatements, 0, nullptr))) {
                d->m_oneActiveStatement = activeStatements == 1;
            }
        }
    } else {
        dbmsName = driver;
    }
    d->m_properties = condora::ado::Properties();
    d->m_properties.append(Property(QStringLiteral("Provider Name"), driver));
    d->m_properties.append(Property(QStringLiteral("DBMS Name"), dbmsName));
    d->m_properties.append(Property(QStringLiteral("DBMS Version"), dbmsVersion));
    if (!driverFile.isEmpty()) {
        d->m_properties.append(Property(QStringLiteral("Driver Name"), driverFile));
    }
}

void Connection::trackRows(const std::shared_ptr<RowSource> &rows)
{
    d->m_rowSources.removeIf([](const std::weak_ptr<RowSource> &source) { return source.expired(); });
    d->m_rowSources.append(rows);
}

void Connection::finishPendingRows()
{
    if (!d->m_oneActiveStatement) {
        return;
    }
    for (const std::weak_ptr<RowSource> &source : std::as_const(d->m_rowSources)) {
        if (const std::shared_ptr<RowSource> rows = source.lock()) {
            while (!rows->atEnd()) {
                rows->fetchMore(4096);
            }
        }
    }
}

void Connection::releaseRows()
{
    const QList<std::weak_ptr<RowSource>> sources = std::exchange(d->m_rowSources, {});
    for (const std::weak_ptr<RowSource> &source : sources) {
        if (const std::shared_ptr<RowSource> rows = source.lock()) {
            rows->release();
        }
    }
}

} // namespace condora::ado
