#include "platform/ado/recordset.h"
#include "platform/ado/connection_p.h"
#include "platform/ado/connectionstatistics.h"

#include "platform/ado/activityscope.h"
#include "platform/ado/pgactivityscope.h"
#include "platform/ado/databasemessage.h"
#include "platform/ado/errorvalue_p.h"
#include "platform/ado/libpq.h"
#include "platform/ado/pgcall.h"
#include "platform/ado/pgrows.h"
#include "platform/ado/probecache.h"
#include "platform/ado/queryrows.h"
#include "platform/ado/readonlyguard.h"
#include "platform/ado/runnerrows.h"
#include "platform/ado/statementrunner.h"
#include "platform/ado/sqlitecolumns.h"
#include "platform/ado/sqliterows.h"
#include "platform/ado/statementinflight.h"
#include "platform/ado/typemapping.h"
#include "platform/runtimeerror.h"

#include <QHash>
#include <QScopeGuard>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#include <sqlite3.h>

#include <climits>
#include <optional>

namespace condora::ado {

namespace {

/// Runs `open` as one call in flight on `connection`. A statement that would start while
/// another one runs there (only an event handled meanwhile can try) is refused, and one whose
/// connection was closed meanwhile fails with that reason, whatever the database said.
template<typename Open>
void openInFlight(Recordset &recordset, Connection &connection, Open open)
{
    if (connection.statementRunning()) {
        throw RuntimeError::database(QStringLiteral("Another statement is still running on this connection."));
    }
    const StatementInFlight flight(connection);
    try {
        open();
    } catch (const RuntimeError &) {
        if (!flight.closing()) {
            throw;
        }
    }
    if (flight.closing()) {
        recordset.Close();
        throw RuntimeError::database(StatementInFlight::closedMeanwhile());
    }
}

// Rows read ahead per step while a recordset is walked with MoveNext.
constexpr int stepRows = 256;

// The rows of a statement opened for its columns only: none.
class NoRows final : public RowSource
{
public:
    explicit NoRows(QStringList names) : m_names(std::move(names)) {}
    int columnCount() const override { return int(m_names.size()); }
    QString columnName(int column) const override { return m_names.value(column); }
    int fetchedCount() const override { return 0; }
    bool atEnd() const override { return true; }
    int fetchMore(int) override { return 0; }
    QVariant value(int, int) const override { return {}; }
    QString text(int, int) const override { return {}; }

private:
    QStringList m_names;
};

// The DataTypeEnum number of every result column, from the driver's native type information.
QList<int> columnTypes(const QSqlQuery &query, const QString &driver)
{
    const QSqlRecord record = query.record();
    QList<int> types;
    types.reserve(record.count());
    if (driver == u"QSQLITE") {
        // Qt reports no types for SQLite (none at all on a no-rows result): read the
        // declared column types from the statement handle.
        sqlite3_stmt *statement = sqliteStatement(query);
        const int count = statement ? sqlite3_column_count(statement) : 0;
        // A wide table declares the same few types over and over: each is read once. Read in
        // UTF-16, which SQLite keeps from Qt's driver asking for it (UTF-8 would be converted
        // again for every column).
        QHash<QStringView, int> known;
        QStringList kept;
        for (int i = 0; i < record.count(); ++i) {
            const auto *declared = static_cast<const char16_t *>(i < count ? sqlite3_column_decltype16(statement, i) : nullptr);
            const QStringView name = declared ? QStringView(declared) : QStringView();
            auto it = known.constFind(name);
            if (it == known.cend()) {
                kept.append(name.toString());
                it = known.insert(QStringView(kept.last()), typeFromSqliteDeclaredType(kept.last()));
            }
            types.append(it.value());
        }
    } else if (driver == u"QPSQL") {
        for (int i = 0; i < record.count(); ++i) {
            types.append(typeFromPostgresOid(record.field(i).typeID()));
        }
    } else if (driver == u"QODBC") {
        for (int i = 0; i < record.count(); ++i) {
            types.append(typeFromOdbcSqlType(record.field(i).typeID()));
        }
    } else {
        for (int i = 0; i < record.count(); ++i) {
            types.append(typeFromQtMetaType(QMetaType::Type(record.field(i).metaType().id())));
        }
    }
    return types;
}

// The column names as Qt's driver reports them.
QStringList columnNames(const QSqlQuery &query)
{
    const QSqlRecord record = query.record();
    QStringList names;
    names.reserve(record.count());
    // On SQLite, read from the statement in the UTF-16 SQLite keeps from Qt's driver asking,
    // and without double quotes, as the driver gives them: a wide result's names are not
    // copied through a QSqlField each.
    sqlite3_stmt *statement = sqliteStatement(query);
    if (statement && sqlite3_column_count(statement) == record.count()) {
        for (int i = 0; i < record.count(); ++i) {
            const auto *name = static_cast<const char16_t *>(sqlite3_column_name16(statement, i));
            names.append(name ? QString::fromUtf16(name).remove(u'"') : QString());
        }
        return names;
    }
    for (int i = 0; i < record.count(); ++i) {
        names.append(record.fieldName(i));
    }
    return names;
}

// PostgreSQL runs every statement of a text sent as one query, so a probe built from a text
// such as "select 1; drop table t; select 1" would run the DROP. libpq's PQprepare of the
// unnamed statement parses and analyses the text on the server without running it, and the
// server refuses a text with several statements there.
//
// Throws the server's message when it refuses to prepare `source` (several statements, or any
// other error it finds before running it), and libpq's message when the connection turned out
// to be lost (the server process ended): Qt's driver then only knows that it is no longer open.
// Other errors of the client side are left to the real execution, which reports them in full.
void refuseUnpreparable(const QSqlDatabase &db, const QString &source, StatementActivity *activity)
{
    void *conn = pgConnection(db);
    const PgApi &pq = pgApi();
    if (conn == nullptr || !pq.asyncOk()) {
        return;
    }
    PgCall prepare = PgCall::prepare(conn, activity, source.toUtf8());
    PgResultPtr result = prepare.next();
    if (!result) {
        return;
    }
    const bool failed = pq.resultStatus(result.get()) != PgApi::CommandOk;
    const QString sqlState = QString::fromUtf8(pq.resultErrorField(result.get(), PgApi::DiagSqlState));
    QString message = QString::fromUtf8(pq.resultErrorField(result.get(), PgApi::DiagMessagePrimary));
    QString fullMessage = PgCall::message(conn, result.get());
    // A lost connection's last word is libpq's own, as PQprepare itself reports it.
    while ((result = prepare.next())) {
        fullMessage = PgCall::message(conn, result.get());
    }
    if (failed && pq.status(conn) == PgApi::ConnectionBad) {
        throw RuntimeError::database(fullMessage);
    }
    if (!failed || sqlState.isEmpty()) {
        return;
    }
    if (message == u"cannot insert multiple commands into a prepared statement") {
        // The same words as Qt's SQLite driver, which refuses such a text by itself.
        message = QStringLiteral("Unable to execute multiple statements at a time");
    }
    throw RuntimeError::database(message.isEmpty() ? QStringLiteral("Unknown database error") : message);
}

} // namespace

QString Field::Name() const
{
    return m_owner->fieldName(m_index);
}

int Field::Type() const
{
    return m_owner->fieldType(m_index);
}

int Field::NativeType() const
{
    return m_owner->fieldNativeType(m_index);
}

QVariant Field::Value() const
{
    return m_owner->fieldValue(m_index);
}

QVariant Field::tryValue() const
{
    return m_owner->tryFieldValue(m_index);
}

int Fields::Count() const
{
    return m_owner->fieldCount();
}

Field Fields::Item(int index) const
{
    if (index < 0 || index >= m_owner->fieldCount()) {
        throw RuntimeError::subscriptOutOfRange(
            QStringLiteral("field %1 of %2").arg(index).arg(m_owner->fieldCount()));
    }
    return Field(m_owner, index);
}

struct RecordsetPrivate
{
    QString m_source;
    std::shared_ptr<RowSource> m_rows;
    QList<QString> m_names;
    QList<int> m_types;
    QList<int> m_nativeTypes; // PostgreSQL type OIDs; empty elsewhere
    int m_position = 0;     // 0-based current record
    int m_recordCount = -1; // -1 for server cursors
    bool m_open = false;
    QSqlError m_lastError; // of the last try call
};

Recordset::Recordset() : d(std::make_unique<RecordsetPrivate>()) {}

QString Recordset::Source() const
{
    return d->m_source;
}

std::shared_ptr<RowSource> Recordset::rowSource() const
{
    return d->m_rows;
}

Recordset::~Recordset() = default;

void Recordset::Open(const QString &source, const std::shared_ptr<Connection> &connection)
{
    if (!connection) {
        throw RuntimeError::objectNotSet(QStringLiteral("no connection"));
    }
    Open(source, *connection);
}

bool Recordset::tryOpen(const QString &source, const std::shared_ptr<Connection> &connection)
{
    return catchAsSqlError(d->m_lastError, [&] { Open(source, connection); });
}

bool Recordset::tryOpen(const QString &source, Connection &connection)
{
    return catchAsSqlError(d->m_lastError, [&] { Open(source, connection); });
}

bool Recordset::tryOpenColumns(const QString &source, Connection &connection)
{
    return catchAsSqlError(d->m_lastError, [&] { OpenColumns(source, connection); });
}

void Recordset::beginOpen(const QString &source, Connection &connection)
{
    Close();
    connection.requireOpen();
    if (source.trimmed().isEmpty()) {
        throw RuntimeError::invalidArgument(QStringLiteral("The statement is empty"));
    }
    connection.finishPendingRows();
    if (ActivityScope::runningOn(connection)) {
        // Only a window event handled in the middle of a statement can get here.
        throw RuntimeError::database(QStringLiteral("Another statement is still running on this connection."));
    }
    countStatement(connection, source);
}

void Recordset::Open(const QString &source, Connection &connection)
{
    openInFlight(*this, connection, [&] {
        beginOpen(source, connection);
        if (connection.d->m_runner) {
            openOnRunner(source, connection, false);
            return;
        }
        const QSqlDatabase db = connection.database();
        if (PgRows::usable(db)) {
            openPostgres(source, connection, db);
            return;
        }
        openWithDriver(source, connection, db);
    });
}

void Recordset::OpenColumns(const QString &source, Connection &connection)
{
    ProbeCache *const cache = connection.d->m_probeCache;
    if (cache == nullptr) {
        probeColumns(source, connection);
        return;
    }
    if (const std::optional<ProbeCache::Answer> answer = cache->find(source)) {
        Close();
        connection.requireOpen();
        if (answer->errorNumber != 0) {
            throw RuntimeError(answer->errorNumber, answer->errorDescription);
        }
        d->m_source = source;
        d->m_names = answer->names;
        d->m_types = answer->types;
        d->m_rows = std::make_shared<NoRows>(d->m_names);
        d->m_recordCount = connection.CursorLocation() == adUseClient ? 0 : -1;
        d->m_position = 0;
        d->m_open = true;
        return;
    }
    try {
        probeColumns(source, connection);
    } catch (const RuntimeError &error) {
        // A stopped probe has no answer; one the connection's closing cut short neither.
        if (error.number() != ErrorNumber::Cancelled && connection.isOpen()) {
            cache->keep(source, {{}, {}, error.number(), error.description()});
        }
        throw;
    }
    cache->keep(source, {d->m_names, d->m_types, 0, {}});
}

void Recordset::probeColumns(const QString &source, Connection &connection)
{
    if (connection.d->m_runner) {
        openInFlight(*this, connection, [&] {
            beginOpen(source, connection);
            openOnRunner(source, connection, true);
        });
        return;
    }
    sqlite3 *native = sqliteHandleOf(connection);
    if (native == nullptr) {
        Open(source, connection);
        if (d->m_rows) {
            d->m_rows->release();
        }
        return;
    }
    openInFlight(*this, connection, [&] {
        beginOpen(source, connection);
        const QSqlDatabase db = connection.database();
        std::optional<SqliteColumns> columns;
        {
            ActivityScope activity(connection, source);
            activity.throwIfCancelled();
            try {
                const ReadOnlyGuard guard(connection, db, source);
            } catch (const RuntimeError &) {
                activity.throwIfCancelled(); // the wait for a lock was stopped
                throw;
            }
            columns = sqliteColumns(native, source);
            activity.throwIfCancelled();
        }
        if (!columns) {
            // Qt's driver runs it once more and reports what went wrong, in its own words.
            openWithDriver(source, connection, db);
            if (d->m_rows) {
                d->m_rows->release();
            }
            return;
        }
        d->m_source = source;
        d->m_names = std::move(columns->names);
        d->m_types = std::move(columns->types);
        d->m_nativeTypes.clear();
        d->m_rows = std::make_shared<NoRows>(d->m_names);
        d->m_recordCount = connection.CursorLocation() == adUseClient ? 0 : -1;
        d->m_position = 0;
        d->m_open = true;
    });
}

void Recordset::openWithDriver(const QString &source, Connection &connection, const QSqlDatabase &db)
{
    const QString driver = db.driverName();
    std::optional<ActivityScope> activity(std::in_place, connection, source);
    activity->throwIfCancelled();
    std::optional<ReadOnlyGuard> guarded;
    try {
        guarded.emplace(connection, db, source);
    } catch (const RuntimeError &) {
        activity->throwIfCancelled(); // the wait for a lock was stopped
        throw;
    }
    ReadOnlyGuard &guard = *guarded;
    auto query = std::make_unique<QSqlQuery>(db);
    query->setForwardOnly(true);
    const bool executed = query->exec(source);
    guard.executed();
    const bool stopped = activity->cancelled();
    activity.reset();
    if (!executed) {
        const QSqlError error = query->lastError();
        query.reset(); // the statement goes before the guard ends
        if (stopped) {
            throw RuntimeError(ErrorNumber::Cancelled, cancelledDescription());
        }
        const int code = error.nativeErrorCode().toInt() & 0xff;
        if (driver == u"QSQLITE" && (code == SQLITE_BUSY || code == SQLITE_LOCKED)) {
            throw RuntimeError::database(lockedDescription(databaseMessage(error)));
        }
        throw RuntimeError::database(databaseMessage(error));
    }
    d->m_source = source;
    if (!query->isSelect()) {
        query.reset();
        return; // a statement without rows leaves the recordset closed
    }

    d->m_types = columnTypes(*query, driver);
    d->m_nativeTypes.clear();
    if (driver == u"QPSQL") {
        const QSqlRecord record = query->record();
        for (int i = 0; i < record.count(); ++i) {
            d->m_nativeTypes.append(record.field(i).typeID());
        }
    }
    d->m_names = columnNames(*query);
    auto rows = std::make_shared<QueryRows>(std::move(query), QStringList(d->m_names));
    rows->watchWith(&connection, source);
    // The guard ends when the rows are released: a streaming result keeps its read-only
    // transaction until every row has arrived or the rows are let go.
    rows->setOnRelease(guard.takeFinish());
    takeRows(std::move(rows), connection);
}

void Recordset::openPostgres(const QString &source, Connection &connection, const QSqlDatabase &db)
{
    // One statement to the activity: the probe, the guard's commands, the statement and,
    // with a client cursor, every row.
    PgActivityScope activity(connection.statementActivity(), source);
    if (pgApi().transactionStatus(pgConnection(db)) == PgApi::TransActive) {
        // A forward-only query of the host still has rows on their way. Qt's driver drops them
        // when it runs its next statement and tells that query its results are lost; reading
        // them here instead would hand the host's query the rows of ours.
        QSqlQuery(db).exec(QStringLiteral("select 1"));
    }
    refuseUnpreparable(db, source, connection.statementActivity());
    ReadOnlyGuard guard(connection, db, source);
    std::shared_ptr<PgRows> rows = PgRows::open(connection, db, source);
    guard.executed();
    d->m_source = source;
    if (!rows) {
        return; // a statement without rows leaves the recordset closed
    }
    d->m_names = rows->names();
    d->m_types.clear();
    d->m_nativeTypes.clear();
    for (const unsigned oid : rows->types()) {
        d->m_types.append(typeFromPostgresOid(int(oid)));
        d->m_nativeTypes.append(int(oid));
    }
    rows->setOnRelease(guard.takeFinish());
    takeRows(std::move(rows), connection);
}

void Recordset::openOnRunner(const QString &source, Connection &connection, bool columnsOnly)
{
    const std::shared_ptr<StatementRunner> runner = connection.d->m_runner;
    const int location = connection.CursorLocation();
    const int precision = connection.d->m_precisionPolicy;
    struct Opened
    {
        bool open = false;
        QString source;
        QList<QString> names;
        QList<int> types;
        QList<int> nativeTypes;
        int recordCount = -1;
        std::shared_ptr<RowSource> rows;
        RunnerRows::Progress progress;
    } opened;
    // The worker's rows go on the worker, also when the wait ends in a stop.
    auto discard = qScopeGuard([&] {
        if (opened.rows) {
            runner->post([rows = std::move(opened.rows)](Connection &) mutable { rows.reset(); });
        }
    });
    runner->run(source, connection.statementActivity(), [&](Connection &own) {
        own.setCursorLocation(location);
        const int ownPrecision = own.numericalPrecisionPolicy();
        const auto restore = qScopeGuard([&] { own.setNumericalPrecisionPolicy(ownPrecision); });
        if (precision >= 0) {
            own.setNumericalPrecisionPolicy(precision);
        }
        Recordset worker;
        if (columnsOnly) {
            worker.probeColumns(source, own);
        } else {
            worker.Open(source, own);
        }
        opened = {worker.d->m_open, worker.d->m_source, worker.d->m_names, worker.d->m_types, worker.d->m_nativeTypes,
                  worker.d->m_recordCount, worker.d->m_rows, {}};
        if (opened.rows) {
            opened.rows->shareWithReaders();
            opened.progress = RunnerRows::progressOf(*opened.rows);
        }
    });
    d->m_source = opened.source;
    d->m_names = opened.names;
    d->m_types = opened.types;
    d->m_nativeTypes = opened.nativeTypes;
    d->m_recordCount = opened.recordCount;
    d->m_position = 0;
    d->m_open = opened.open;
    if (!d->m_open) {
        return;
    }
    if (columnsOnly || !opened.rows) {
        d->m_rows = std::make_shared<NoRows>(d->m_names);
        return;
    }
    discard.dismiss();
    d->m_rows = std::make_shared<RunnerRows>(runner, std::move(opened.rows), connection, source, opened.progress);
    // Closing the host's connection lets these rows go, as it does its own.
    if (connection.d->m_host) {
        connection.d->m_host->trackRows(d->m_rows);
    }
}

void Recordset::takeRows(std::shared_ptr<RowSource> rows, Connection &connection)
{
    connection.trackRows(rows);
    d->m_recordCount = -1;
    if (connection.CursorLocation() == adUseClient) {
        rows->fetchMore(INT_MAX);
        if (!rows->fetchError().isEmpty()) {
            throw fetchFailure(rows->fetchError());
        }
        d->m_recordCount = rows->fetchedCount();
    }
    d->m_rows = std::move(rows);
    d->m_position = 0;
    d->m_open = true;
}

void Recordset::Close()
{
    d->m_open = false;
    d->m_rows.reset();
    d->m_names.clear();
    d->m_types.clear();
    d->m_nativeTypes.clear();
    d->m_position = 0;
    d->m_recordCount = -1;
}

int Recordset::State() const
{
    return d->m_open ? adStateOpen : adStateClosed;
}

int Recordset::RecordCount() const
{
    requireOpen();
    return d->m_recordCount;
}

bool Recordset::Eof() const
{
    requireOpen();
    return !ensureRow(d->m_position);
}

bool Recordset::Bof() const
{
    requireOpen();
    return !ensureRow(0);
}

void Recordset::MoveNext()
{
    if (Eof()) {
        throw RuntimeError(adErrNoCurrentRecord,
                           QStringLiteral("Either BOF or EOF is True: the operation requires a current record."));
    }
    ++d->m_position;
}

void Recordset::MoveFirst()
{
    requireOpen();
    d->m_position = 0;
}

bool Recordset::tryEof() const
{
    bool eof = true;
    catchAsSqlError(d->m_lastError, [&] { eof = Eof(); });
    return eof;
}

bool Recordset::tryBof() const
{
    bool bof = true;
    catchAsSqlError(d->m_lastError, [&] { bof = Bof(); });
    return bof;
}

bool Recordset::tryMoveNext()
{
    return catchAsSqlError(d->m_lastError, [&] { MoveNext(); });
}

QVariant Recordset::tryFieldValue(int index) const
{
    QVariant value;
    catchAsSqlError(d->m_lastError, [&] { value = fieldValue(index); });
    return value;
}

QSqlError Recordset::lastError() const
{
    return d->m_lastError;
}

QString Recordset::fieldName(int index) const
{
    requireOpen();
    return d->m_names.value(index);
}

int Recordset::fieldType(int index) const
{
    requireOpen();
    return d->m_types.value(index, adEmpty);
}

int Recordset::fieldNativeType(int index) const
{
    requireOpen();
    return d->m_nativeTypes.value(index, 0);
}

QVariant Recordset::fieldValue(int index) const
{
    if (Eof()) {
        throw RuntimeError(adErrNoCurrentRecord,
                           QStringLiteral("Either BOF or EOF is True: the operation requires a current record."));
    }
    return d->m_rows->value(d->m_position, index);
}

int Recordset::fieldCount() const
{
    requireOpen();
    return int(d->m_names.size());
}

void Recordset::requireOpen() const
{
    if (!d->m_open) {
        throw RuntimeError::objectNotSet(QStringLiteral("the recordset is closed"));
    }
}

bool Recordset::ensureRow(int row) const
{
    while (row >= d->m_rows->fetchedCount() && !d->m_rows->atEnd()) {
        d->m_rows->fetchMore(stepRows);
    }
    if (row < d->m_rows->fetchedCount()) {
        return true;
    }
    // The rows ended before `row`: a clean end, or the statement failed part-way, which must
    // not pass for a shorter result.
    const QString error = d->m_rows->fetchError();
    if (!error.isEmpty()) {
        throw fetchFailure(error);
    }
    return false;
}

} // namespace condora::ado
