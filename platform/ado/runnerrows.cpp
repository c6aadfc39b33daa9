#include "platform/ado/runnerrows.h"

#include "platform/ado/activityscope.h"
#include "platform/ado/runconnection.h"
#include "platform/ado/statementrunner.h"
#include "platform/runtimeerror.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace condora::ado {

namespace {

/// The read-ahead tells how far it got after each part of this many rows.
constexpr int AheadRows = 1024;
/// A wait for the read-ahead asks the activity whether to go on this often.
constexpr std::chrono::milliseconds AheadTick(5);

} // namespace

/// How far the worker's read-ahead got: written on the worker after each part it read, read on
/// the GUI thread. Rows below the count it gives are whole in the worker's rows.
class RunnerRows::Ahead
{
public:
    explicit Ahead(const Progress &start) : m_reached(start) {}

    void reached(const Progress &progress, bool done)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_reached = progress;
            m_done = done;
        }
        m_changed.notify_all();
    }
    /// How far it got, and whether it ended.
    std::pair<Progress, bool> now() const
    {
        const std::lock_guard lock(m_mutex);
        return {m_reached, m_done};
    }
    /// Waits up to `tick` for it to get beyond `fetched` rows or end.
    void waitBeyond(int fetched, std::chrono::milliseconds tick)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, tick, [&] { return m_done || m_reached.fetched > fetched; });
    }

    const std::shared_ptr<WorkerStop> stop = std::make_shared<WorkerStop>();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    Progress m_reached;
    bool m_done = false;
};

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
    if (m_ahead) {
        m_ahead->stop->stop();
    }
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
    if (m_ahead) {
        m_fetching = true;
        takeAhead(count);
        if (m_progress.fetched == before && !m_progress.atEnd && m_ahead) {
            waitAhead(activity);
            if (m_ahead) {
                takeAhead(count);
            }
        }
        m_fetching = false;
        if (m_ahead || m_progress.fetched > before || m_progress.atEnd) {
            return m_progress.fetched - before;
        }
        // The read-ahead stopped short (it cannot, short of release()): the rest as statements.
    }
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

int RunnerRows::fetchReady(int count)
{
    if (!m_ahead) {
        return fetchMore(count);
    }
    if (count <= 0 || m_progress.atEnd || m_fetching) {
        return 0;
    }
    const int before = m_progress.fetched;
    takeAhead(count);
    return m_progress.fetched - before;
}

namespace {

/// One part of the read-ahead after another on the worker, until the rows end or `stop`; a
/// statement waited for on the same worker (StatementRunner::runWaiting()) goes first, and the
/// read-ahead goes on after it. The job holds the worker's rows: when these rows are gone by its
/// end, they go there. (A job runs before the runner is gone: its end waits for its queue.)
void readOn(StatementRunner *runner, const std::shared_ptr<RowSource> &rows,
            const std::shared_ptr<RunnerRows::Ahead> &ahead)
{
    runner->postStoppable(ahead->stop, [runner, rows, ahead](Connection &) {
        RunnerRows::Progress reached = RunnerRows::progressOf(*rows);
        while (!reached.atEnd && !ahead->stop->stopped()) {
            if (runner->runWaiting()) {
                readOn(runner, rows, ahead); // after the statement waited for
                return;
            }
            rows->fetchMore(AheadRows);
            reached = RunnerRows::progressOf(*rows);
            ahead->reached(reached, false);
        }
        ahead->reached(reached, true);
    });
}

} // namespace

void RunnerRows::readAhead()
{
    if (m_ahead || m_progress.atEnd || m_fetching) {
        return;
    }
    m_ahead = std::make_shared<Ahead>(m_progress);
    readOn(m_runner.get(), m_rows, m_ahead);
}

void RunnerRows::takeAhead(int count)
{
    const auto [reached, done] = m_ahead->now();
    m_progress.fetched += std::clamp(reached.fetched - m_progress.fetched, 0, std::max(count, 0));
    if (done && m_progress.fetched >= reached.fetched) {
        m_progress.atEnd = reached.atEnd;
        m_progress.fetchError = reached.fetchError;
        m_ahead.reset();
    }
}

void RunnerRows::waitAhead(StatementActivity *activity)
{
    const std::shared_ptr<Ahead> ahead = m_ahead;
    if (activity != nullptr) {
        activity->begin(m_sql);
    }
    for (;;) {
        ahead->waitBeyond(m_progress.fetched, AheadTick);
        const auto [reached, done] = ahead->now();
        if (done || reached.fetched > m_progress.fetched || ahead != m_ahead) {
            break;
        }
        if (activity != nullptr && !activity->keepGoing()) {
            // Stopped: the rows end here, as a stopped fetch ends them.
            ahead->stop->stop();
            m_ahead.reset();
            m_progress.atEnd = true;
            m_progress.fetchError = cancelledDescription();
            m_runner->post([rows = m_rows](Connection &) { rows->release(); });
            break;
        }
    }
    if (activity != nullptr) {
        activity->end();
    }
}

void RunnerRows::release()
{
    if (const auto ahead = std::exchange(m_ahead, nullptr)) {
        ahead->stop->stop();
    }
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
