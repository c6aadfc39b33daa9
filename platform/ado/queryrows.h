#pragma once

#include "platform/ado/recordset.h"
#include "platform/ado/lentactivity.h"
#include "platform/ado/rowstore.h"

#include <QSqlQuery>
#include <QStringList>

#include <functional>
#include <memory>

namespace condora::ado {

/// The RowSource of one executed statement: a forward-only Qt query read on demand into a
/// RowStore. When every row has arrived, a fetch fails, or release() is called, the query is
/// let go (its statement handle freed) and the rows fetched so far stay; a failed fetch keeps
/// the database's message (fetchError()).
/// On Qt's SQLite driver the rows after the first are stepped and read straight from the
/// statement handle (see sqliterows.h), with the same values and messages as the driver's.
class QueryRows final : public RowSource
{
public:
    QueryRows(std::unique_ptr<QSqlQuery> query, QStringList names);
    ~QueryRows() override;

    int columnCount() const override { return int(m_names.size()); }
    QString columnName(int column) const override;
    int fetchedCount() const override { return m_store.rowCount(); }
    bool atEnd() const override { return !m_query; }
    int fetchMore(int count) override;
    QVariant value(int row, int column) const override;
    QString text(int row, int column) const override;
    void release() override;
    QString fetchError() const override { return m_fetchError; }

    /// Called once when the query is let go (after the statement handle is freed), with true
    /// when the rows ended because another statement discarded them (a failure the database
    /// itself did not report). The read-only guard ends its transaction here.
    void setOnRelease(std::function<void(bool interrupted)> onRelease) { m_onRelease = std::move(onRelease); }
    /// Fetches under `connection`'s statement activity (see ActivityScope); `sql` is the
    /// statement the activity is told about. A fetch the activity stops ends the rows with
    /// cancelledDescription() as fetchError(); while another statement runs on the connection
    /// (a fetch asked for from an event handled in its middle) nothing is fetched.
    void watchWith(Connection *connection, const QString &sql)
    {
        m_connection = connection;
        m_sql = sql;
    }
    const RowStore &store() const { return m_store; }
    void shareWithReaders() override { m_store.shareWithReaders(); }
    void lendActivity(std::shared_ptr<StatementActivity> activity, StatementActivity *replaced) override
    {
        m_lent.set(std::move(activity), replaced);
    }

private:
    std::unique_ptr<QSqlQuery> m_query;
    QStringList m_names;
    RowStore m_store;
    QString m_fetchError;
    bool m_interrupted = false;
    LentActivity m_lent;
    std::function<void(bool)> m_onRelease;
    QList<QVariant> m_values;
    bool m_sqlite = false;        // the query runs on Qt's SQLite driver
    bool m_readsHandle = false;   // the driver has delivered the first row: the rest come from its handle
    Connection *m_connection = nullptr;
    QString m_sql;

    void fetchFromHandle(int &fetched, int count);
    void fail(const QSqlError &error);
};

} // namespace condora::ado
