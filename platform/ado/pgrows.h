#pragma once

#include "platform/ado/lentactivity.h"
#include "platform/ado/pgcall.h"
#include "platform/ado/recordset.h"
#include "platform/ado/rowstore.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace condora::ado {

/// The RowSource of one PostgreSQL statement, read through libpq's asynchronous interface on
/// the connection's own PGconn (pgcall.h), its values converted as Qt's driver converts them
/// (pgvalue.h).
///
/// A query runs as a cursor (DECLARE ... NO SCROLL CURSOR) in the connection's read-only scope
/// (pgreadonlyscope.h) and its rows arrive with FETCH FORWARD n on demand, so a result left
/// unread costs the next statement nothing: the connection is idle between fetches, and other
/// statements, the library's or the host's, run at once while the cursor waits where it is.
/// Each fetch runs in a savepoint, so a fetch that fails (or is cancelled) ends this result
/// with the database's message and leaves the scope and the other cursors as they were; a
/// fetch that finds the scope ended by someone else ends with a message saying so. Rows are
/// read a little ahead (the batch grows with each fetch up to about 8 MB), so that walking
/// a result row by row needs few round trips while the first screen fetches only its rows.
/// SHOW and EXPLAIN, which no cursor can hold, and statements outside a transaction of ours
/// run directly and are read whole when they run.
class PgRows final : public RowSource
{
public:
    /// Runs `sql` (the guard has already entered its read-only scope). Null for a statement
    /// without rows. Throws the database's message when it is rejected or fails before its
    /// first row, and RuntimeError(ErrorNumber::Cancelled) when the activity stopped it.
    static std::shared_ptr<PgRows> open(Connection &connection, const QSqlDatabase &db, const QString &sql);
    /// True when statements on `db` take this path (a PostgreSQL connection, libpq found).
    static bool usable(const QSqlDatabase &db);

    PgRows(Connection &connection, const QSqlDatabase &db, QString sql, QByteArray cursor);
    ~PgRows() override;

    int columnCount() const override { return int(m_names.size()); }
    QString columnName(int column) const override;
    int fetchedCount() const override { return m_visible; }
    bool atEnd() const override;
    int fetchMore(int count) override;
    QVariant value(int row, int column) const override;
    QString text(int row, int column) const override;
    void lendActivity(std::shared_ptr<StatementActivity> activity, StatementActivity *replaced) override
    {
        m_lent.set(std::move(activity), replaced);
    }
    void release() override;
    void shareWithReaders() override
    {
        m_shared = true;
        if (m_store) {
            m_store->shareWithReaders();
        }
    }
    QString fetchError() const override { return atEnd() ? m_fetchError : QString(); }

    /// The column names and type OIDs the server reported.
    const QStringList &names() const { return m_names; }
    const QList<unsigned> &types() const { return m_types; }
    /// True when the rows ended because the activity stopped a fetch (fetchError() says so).
    bool cancelled() const { return m_cancelled; }
    /// Called once when the statement is let go (every row arrived, a fetch failed, or
    /// release()); the read-only guard lets go of its scope there.
    void setOnRelease(std::function<void(bool interrupted)> onRelease);

private:
    /// Reads up to `count` more rows from the server into the store (after `declare`, the
    /// cursor's declaration, when it is the first fetch); ends the statement when fewer arrive
    /// or the fetch fails.
    void fetchFromServer(int count, const QByteArray &declare = QByteArray());
    static QString endedElsewhere();
    /// The bytes a row's cells take in the store so far, on average.
    qint64 bytesPerRow() const;
    /// Reads the results of `call`, converting the rows of each into the store as it arrives;
    /// false (with m_fetchError) when one failed.
    bool receive(PgCall &call);
    void describe(const PgResult *result);
    void appendRow(const PgResult *result, int row);
    void serverDone();
    void *connection() const;

    QString m_qtConnectionName;
    Connection *m_connection;
    QString m_sql;
    QByteArray m_cursor; // empty: the statement ran directly and was read whole
    QSql::NumericalPrecisionPolicy m_precision;
    QStringList m_names;
    QList<unsigned> m_types;
    std::optional<RowStore> m_store; // once the server described the columns
    bool m_shared = false;           // shareWithReaders() was called
    int m_visible = 0;   // rows handed out; the store may hold some read ahead
    int m_readAhead = 0; // rows the next fetch reads at least
    bool m_serverDone = false;
    bool m_released = false;
    bool m_cancelled = false;
    LentActivity m_lent;
    QString m_fetchError;
    std::function<void(bool)> m_onRelease;
};

} // namespace condora::ado
