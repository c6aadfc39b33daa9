#include "platform/ado/queryrows.h"

#include "platform/ado/activityscope.h"
#include "platform/ado/databasemessage.h"

#include <QSqlError>

#include <optional>

namespace condora::ado {

RowSource::~RowSource() = default;

QueryRows::QueryRows(std::unique_ptr<QSqlQuery> query, QStringList names)
    : m_query(std::move(query))
    , m_names(std::move(names))
    , m_store(int(m_names.size()))
{
    m_values.resize(m_names.size());
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
    std::optional<ActivityScope> activity;
    if (m_connection) {
        activity.emplace(*m_connection, m_sql);
    }
    int fetched = 0;
    while (m_query && fetched < count) {
        if (activity && !activity->keepGoing()) {
            m_fetchError = cancelledDescription();
            release();
            break;
        }
        if (!m_query->next()) {
            const QSqlError error = m_query->lastError();
            if (activity && activity->cancelled()) {
                m_fetchError = cancelledDescription();
            } else if (error.isValid()) {
                m_fetchError = databaseMessage(error);
                // The database's own failures carry its code; a result discarded by Qt's
                // driver for another statement carries none.
                m_interrupted = error.nativeErrorCode().isEmpty();
            }
            release();
            break;
        }
        for (int column = 0; column < m_values.size(); ++column) {
            m_values[column] = m_query->value(column);
        }
        m_store.append(m_values);
        ++fetched;
    }
    return fetched;
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
