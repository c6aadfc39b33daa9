#include "platform/ado/queryrows.h"

#include "platform/ado/activityscope.h"
#include "platform/ado/databasemessage.h"
#include "platform/ado/sqliterows.h"
#include "platform/ado/statementinflight.h"

#include <QSqlError>

#include <sqlite3.h>

#include <optional>

namespace condora::ado {

RowSource::~RowSource() = default;

QueryRows::QueryRows(std::unique_ptr<QSqlQuery> query, QStringList names)
    : m_query(std::move(query))
    , m_names(std::move(names))
    , m_store(int(m_names.size()))
{
    m_values.resize(m_names.size());
    m_sqlite = m_query && sqliteStatement(*m_query) != nullptr;
}

QueryRows::~QueryRows()
{
    release();
}

QString QueryRows::columnName(int column) const
{
    return column >= 0 && column < m_names.size() ? m_names.at(column) : QString();
}

int QueryRows::fetchMore(int count)
{
    if (!m_query || (m_connection && ActivityScope::runningOn(*m_connection))) {
        return 0;
    }
    const LentActivity::Use lent(m_lent, m_connection);
    std::optional<StatementInFlight> flight;
    std::optional<ActivityScope> activity;
    if (m_connection) {
        flight.emplace(*m_connection);
        activity.emplace(*m_connection, m_sql);
    }
    int fetched = 0;
    while (m_query && fetched < count) {
        if (activity && !activity->keepGoing()) {
            m_fetchError = cancelledDescription();
            release();
            break;
        }
        if (m_readsHandle) {
            // The engine's progress handler asks the activity while it steps.
            fetchFromHandle(fetched, count);
            break;
        }
        if (!m_query->next()) {
            const QSqlError error = m_query->lastError();
            if (error.isValid()) {
                fail(error);
            }
            release();
            break;
        }
        if (m_sqlite) {
            // The driver has stepped to the first row and read it; its handle stands on that
            // row, and from here on the handle is read and stepped directly.
            if (sqlite3_stmt *statement = sqliteStatement(*m_query)) {
                appendSqliteRow(statement, m_store);
                m_readsHandle = true;
                ++fetched;
                continue;
            }
        }
        for (int column = 0; column < m_values.size(); ++column) {
            m_values[column] = m_query->value(column);
        }
        m_store.append(m_values);
        ++fetched;
    }
    if (activity && activity->cancelled() && !m_query) {
        m_fetchError = cancelledDescription(); // stopped by the user, not failed
    }
    return fetched;
}

void QueryRows::fetchFromHandle(int &fetched, int count)
{
    // Read again on every call: the driver finalises the statement when its connection closes.
    sqlite3_stmt *statement = sqliteStatement(*m_query);
    if (!statement) {
        fail(QSqlError(sqliteDriverText("Unable to fetch row"),
                       sqliteDriverText("No query"), QSqlError::ConnectionError));
        release();
        return;
    }
    while (fetched < count) {
        const int result = sqlite3_step(statement);
        if (result == SQLITE_ROW) {
            appendSqliteRow(statement, m_store);
            ++fetched;
            continue;
        }
        if (result != SQLITE_DONE) {
            fail(sqliteStepError(statement, result));
        }
        release();
        return;
    }
}

void QueryRows::fail(const QSqlError &error)
{
    m_fetchError = databaseMessage(error);
    // The database's own failures carry its code; a result discarded by Qt's driver for
    // another statement carries none.
    m_interrupted = error.nativeErrorCode().isEmpty();
}

QVariant QueryRows::value(int row, int column) const
{
    return m_store.value(row, column);
}

QString QueryRows::text(int row, int column) const
{
    return m_store.text(row, column);
}

void QueryRows::release()
{
    if (m_query) {
        m_query->finish();
        m_query.reset();
    }
    if (m_onRelease) {
        std::exchange(m_onRelease, {})(m_interrupted);
    }
}

} // namespace condora::ado
