#include "platform/ado/runnerrows.h"

#include "platform/ado/activityscope.h"
#include "platform/ado/statementrunner.h"
#include "platform/runtimeerror.h"

#include <algorithm>

namespace condora::ado {

RunnerRows::RunnerRows(std::shared_ptr<StatementRunner> runner, std::shared_ptr<RowSource> rows,
                       const Connection &connection, QString sql, Progress progress)
    : m_runner(std::move(runner))
    , m_rows(std::move(rows))
    , m_connection(connection.weak_from_this())
    , m_sql(std::move(sql))
    , m_progress(std::move(progress))
{
    for (int column = 0; column < m_rows->columnCount(); ++column) {
        m_names.append(m_rows->columnName(column));
    }
}

RunnerRows::~RunnerRows()
{
    // The worker's rows hold a statement of the worker's connection: they go there.
    m_runner->post([rows = std::move(m_rows)](Connection &) mutable { rows.reset(); });
}

RunnerRows::Progress RunnerRows::progressOf(const RowSource &rows)
{
    return {rows.fetchedCount(), rows.atEnd(), rows.fetchError()};
}

int RunnerRows::fetchMore(int count)
{
    if (count <= 0 || m_progress.atEnd || m_fetching) {
        return 0; // a fetch asked for from an event handled while this one runs gets nothing
    }
    StatementActivity *activity = m_lent.get();
    if (activity == nullptr) {
        if (const std::shared_ptr<const Connection> connection = m_connection.lock()) {
            activity = connection->statementActivity();
        }
    }
    const int before = m_progress.fetched;
    m_fetching = true;
    Progress reached;
    try {
        m_runner->run(m_sql, activity, [&](Connection &) {
            m_rows->fetchMore(count);
            reached = progressOf(*m_rows);
        });
        m_progress = reached;
    } catch (const RuntimeError &error) {
        // Stopped, or the run's connection is gone: the rows end here, with the reason. The
        // job has ended either way, so what it fetched before the stop can be read.
        m_progress.fetched = std::max(m_progress.fetched, m_rows->fetchedCount());
        m_progress.atEnd = true;
        m_progress.fetchError =
            error.number() == ErrorNumber::Cancelled ? cancelledDescription() : error.description();
        m_runner->post([rows = m_rows](Connection &) { rows->release(); });
    }
    m_fetching = false;
    return m_progress.fetched - before;
}

QVariant RunnerRows::value(int row, int column) const
{
    return row >= 0 && row < m_progress.fetched ? m_rows->value(row, column) : QVariant();
}

QString RunnerRows::text(int row, int column) const
{
    return row >= 0 && row < m_progress.fetched ? m_rows->text(row, column) : QString();
}

void RunnerRows::release()
{
    if (m_progress.atEnd && m_progress.fetchError.isEmpty()) {
        return;
    }
    m_progress.atEnd = true;
    m_progress.fetchError.clear();
    m_runner->post([rows = m_rows](Connection &) { rows->release(); });
}

void RunnerRows::lendActivity(std::shared_ptr<StatementActivity> activity, StatementActivity *replaced)
{
    Q_UNUSED(replaced);
    m_lent = std::move(activity);
}

} // namespace condora::ado
