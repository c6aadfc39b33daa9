#include "platform/ado/pgrows.h"

#include "platform/ado/pgactivityscope.h"
#include "platform/ado/libpq.h"
#include "platform/ado/pgcall.h"
#include "platform/ado/pgvalue.h"
#include "platform/ado/readonlyguard.h"
#include "platform/ado/statementinflight.h"
#include "platform/runtimeerror.h"

#include <QAtomicInt>

#include <algorithm>

namespace condora::ado {

namespace {

// Rows the statement reads when it is opened: the first screen of a grid, no more.
constexpr int firstRows = 100;
// The read-ahead grows fourfold per fetch up to these limits.
constexpr int mostRows = 65536;
constexpr qint64 mostBytes = 8 * 1024 * 1024;
// A fetch is sent as several FETCH commands of about this many bytes each, in one request: the
// server sends each part's rows as soon as that part has run, and runs the next part while the
// rows of the one before are converted here. The server collects a FETCH's rows in memory
// before sending them; parts this small stay in memory it has already touched, while larger
// ones cost it fresh pages each time (parts of twice this size took 1.1 times as long for
// 1,000,000 rows, of 8,192 rows 1.3 times; a quarter of the size 1.1 times, from more commands).
constexpr qint64 partBytes = 48 * 1024;
// Parts in one request.
constexpr int partsPerRequest = 64;

QByteArray nextCursorName()
{
    static QAtomicInt counter;
    return "condora_rows_" + QByteArray::number(counter.fetchAndAddRelaxed(1) + 1);
}

const char *const undoStep = "ROLLBACK TO SAVEPOINT condora_fetch; RELEASE SAVEPOINT condora_fetch";

} // namespace

bool PgRows::usable(const QSqlDatabase &db)
{
    return db.driverName() == u"QPSQL" && pgApi().asyncOk() && pgConnection(db);
}

std::shared_ptr<PgRows> PgRows::open(Connection &connection, const QSqlDatabase &db, const QString &sql)
{
    void *conn = pgConnection(db);
    const PgApi &pq = pgApi();
    StatementActivity *activity = connection.statementActivity();
    const QString first = firstStatementWord(sql);
    const bool asCursor = pq.transactionStatus(conn) == PgApi::TransInTrans && first != u"SHOW" && first != u"EXPLAIN";
    if (!asCursor) {
        auto rows = std::make_shared<PgRows>(connection, db, sql, QByteArray());
        PgCall call(conn, activity, sql.toUtf8(), true);
        const bool ok = rows->receive(call);
        rows->m_serverDone = true;
        if (!rows->m_store) {
            if (!ok) {
                throw RuntimeError::database(rows->m_fetchError);
            }
            return {}; // a command without rows
        }
        if (!ok && rows->m_store->rowCount() == 0) {
            throw RuntimeError::database(rows->m_fetchError);
        }
        return rows;
    }

    // The cursor is declared and its first rows fetched in one round trip.
    const QByteArray cursor = nextCursorName();
    auto rows = std::make_shared<PgRows>(connection, db, sql, cursor);
    rows->fetchFromServer(firstRows, "DECLARE " + cursor + " NO SCROLL CURSOR FOR " + sql.toUtf8() + "\n; ");
    // A statement that fails before its first row is rejected, as a direct one would be.
    if (!rows->m_store || rows->m_store->rowCount() == 0) {
        if (rows->m_cancelled) {
            throw RuntimeError(ErrorNumber::Cancelled, rows->m_fetchError);
        }
        if (!rows->m_fetchError.isEmpty()) {
            throw RuntimeError::database(rows->m_fetchError);
        }
    }
    return rows;
}

PgRows::PgRows(Connection &connection, const QSqlDatabase &db, QString sql, QByteArray cursor)
    : m_qtConnectionName(db.connectionName())
    , m_connection(&connection)
    , m_sql(std::move(sql))
    , m_cursor(std::move(cursor))
    , m_precision(db.numericalPrecisionPolicy())
    , m_readAhead(firstRows)
{
}

PgRows::~PgRows()
{
    release();
}

QString PgRows::columnName(int column) const
{
    return column >= 0 && column < m_names.size() ? m_names.at(column) : QString();
}

bool PgRows::atEnd() const
{
    return m_released || (m_serverDone && (!m_store || m_visible >= m_store->rowCount()));
}

int PgRows::fetchMore(int count)
{
    if (count <= 0 || atEnd()) {
        return 0;
    }
    const int buffered = m_store ? m_store->rowCount() - m_visible : 0;
    if (buffered < count && !m_serverDone) {
        fetchFromServer(std::max(count - buffered, m_readAhead));
    }
    const int available = m_store ? m_store->rowCount() - m_visible : 0;
    const int handed = std::min(count, available);
    m_visible += handed;
    return handed;
}

QVariant PgRows::value(int row, int column) const
{
    if (row < 0 || row >= m_visible) {
        return {};
    }
    return m_store->value(row, column);
}

QString PgRows::text(int row, int column) const
{
    if (row < 0 || row >= m_visible) {
        return {};
    }
    return m_store->text(row, column);
}

void PgRows::release()
{
    m_released = true;
    serverDone();
}

void PgRows::setOnRelease(std::function<void(bool)> onRelease)
{
    m_onRelease = std::move(onRelease);
    if (m_serverDone) {
        serverDone();
    }
}

void PgRows::serverDone()
{
    m_serverDone = true;
    m_connection = nullptr;
    if (m_onRelease) {
        // The scope ends (a ROLLBACK) with its last holder; that closes the cursor too.
        std::exchange(m_onRelease, {})(false);
    }
}

void *PgRows::connection() const
{
    const QSqlDatabase db = QSqlDatabase::database(m_qtConnectionName, false);
    return db.isValid() && db.isOpen() ? pgConnection(db) : nullptr;
}

void PgRows::fetchFromServer(int count, const QByteArray &declare)
{
    void *conn = m_connection ? connection() : nullptr;
    if (!conn) {
        m_fetchError = QStringLiteral("The rest of the rows could not be read: the connection was closed.");
        serverDone();
        return;
    }
    const PgApi &pq = pgApi();
    // Only the transaction that declared the cursor holds it: a host's COMMIT or ROLLBACK
    // meanwhile has ended it, and what runs now must not be touched.
    if (pq.transactionStatus(conn) != PgApi::TransInTrans) {
        m_fetchError = endedElsewhere();
        serverDone();
        return;
    }
    const LentActivity::Use lent(m_lent, m_connection);
    const StatementInFlight flight(*m_connection);
    StatementActivity *activity = m_connection->statementActivity();
    PgActivityScope scope(activity, m_sql);
    const int before = m_store ? m_store->rowCount() : 0;
    bool ok = true;
    try {
        // Each fetch runs in a savepoint of its own, so that a failure leaves the other
        // cursors usable. The server sends a FETCH's rows once the whole FETCH has run, so a
        // large fetch is asked for in parts, all in one request: the server runs each part
        // while the part before is on its way and being converted, without waiting for us.
        // A very large fetch goes in several such requests, so that no request grows without bound.
        const auto stored = [&] { return m_store ? m_store->rowCount() : 0; };
        const int partRows = int(std::clamp<qint64>(partBytes / bytesPerRow(), 16, 8192));
        for (int done = 0; ok && done < count && stored() - before == done;) {
            const int request = std::min(count - done, partRows * partsPerRequest);
            QByteArray sql = "SAVEPOINT condora_fetch; " + (done == 0 ? declare : QByteArray());
            for (int asked = 0; asked < request; asked += partRows) {
                sql += "FETCH FORWARD " + QByteArray::number(std::min(partRows, request - asked)) + " FROM "
                       + m_cursor + "; ";
            }
            sql += "RELEASE SAVEPOINT condora_fetch";
            PgCall call(conn, activity, sql);
            ok = receive(call);
            done += request;
        }
    } catch (const RuntimeError &error) {
        // Stopped by the activity, or the fetch could not even be sent (a connection lost).
        ok = false;
        m_cancelled = error.number() == ErrorNumber::Cancelled;
        m_fetchError = error.description();
    }
    if (!ok) {
        PgCall::run(conn, undoStep);
        serverDone();
        return;
    }
    if (m_store->rowCount() - before < count) {
        serverDone();
        return;
    }
    // Read further ahead next time, within the bytes a batch may hold.
    const qint64 perRow = std::max<qint64>(1, m_store->bytesUsed() / std::max(1, m_store->rowCount()));
    m_readAhead = int(std::min<qint64>({qint64(m_readAhead) * 4, mostRows, std::max<qint64>(firstRows, mostBytes / perRow)}));
}

qint64 PgRows::bytesPerRow() const
{
    // Before any row, a guess of a row of a few short columns.
    return m_store && m_store->rowCount() > 0 ? std::max<qint64>(1, m_store->cellBytes() / m_store->rowCount()) : 64;
}

QString PgRows::endedElsewhere()
{
    return QStringLiteral("The rest of the rows could not be read: another statement on the connection ended "
                          "the transaction they were read in.");
}

bool PgRows::receive(PgCall &call)
{
    const PgApi &pq = pgApi();
    bool ok = true;
    while (PgResultPtr result = call.next()) {
        const int status = pq.resultStatus(result.get());
        if (status == PgApi::SingleTuple || status == PgApi::TuplesOk) {
            if (!m_store) {
                describe(result.get());
            }
            const int count = pq.ntuples(result.get());
            for (int row = 0; row < count; ++row) {
                appendRow(result.get(), row);
            }
        } else if (status != PgApi::CommandOk) {
            // The cursor is gone when the transaction that held it was ended and another began.
            const bool cursorGone = qstrcmp(pq.resultErrorField(result.get(), PgApi::DiagSqlState), "34000") == 0;
            if (ok && !m_cursor.isEmpty() && cursorGone) {
                m_fetchError = endedElsewhere();
            } else {
                if (ok) {
                    m_fetchError.clear();
                }
                PgCall::noteFailure(connection(), result.get(), &m_fetchError);
            }
            ok = false;
        }
    }
    return ok;
}

void PgRows::describe(const PgResult *result)
{
    const PgApi &pq = pgApi();
    const int columns = pq.nfields(result);
    for (int column = 0; column < columns; ++column) {
        m_names.append(QString::fromUtf8(pq.fname(result, column)));
        m_types.append(pq.ftype(result, column));
    }
    m_store.emplace(columns);
    if (m_shared) {
        m_store->shareWithReaders();
    }
}

void PgRows::appendRow(const PgResult *result, int row)
{
    const PgApi &pq = pgApi();
    m_store->beginRow();
    for (int column = 0; column < m_types.size(); ++column) {
        if (pq.getisnull(result, row, column)) {
            m_store->addNull();
        } else {
            appendPgValue(*m_store, pq.getvalue(result, row, column), pq.getlength(result, row, column),
                          m_types.at(column), m_precision);
        }
    }
    m_store->endRow();
}

} // namespace condora::ado
