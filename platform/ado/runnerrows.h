#pragma once

#include "platform/ado/recordset.h"

#include <QStringList>

#include <memory>

namespace condora::ado {

class StatementRunner;

/// The rows of a statement that ran on a StatementRunner, as the GUI thread reads them: the
/// rows themselves stay where the worker thread fetched them (shared for reading), and every
/// later fetch runs on the worker thread while the GUI thread waits outside the database
/// call, under the activity of the run's connection (or the one lent to the rows). The worker's
/// rows are let go on the worker thread, and the run's connection stays open as long as these
/// rows are kept.
class RunnerRows final : public RowSource
{
public:
    /// What the GUI thread knows of the worker's rows after a call on the worker thread.
    struct Progress
    {
        int fetched = 0;
        bool atEnd = true;
        QString fetchError;
    };

    RunnerRows(std::shared_ptr<StatementRunner> runner, std::shared_ptr<RowSource> rows, const Connection &connection,
               QString sql, Progress progress);
    ~RunnerRows() override;

    /// Reads what `rows` reached (on the worker thread).
    static Progress progressOf(const RowSource &rows);

    int columnCount() const override { return int(m_names.size()); }
    QString columnName(int column) const override { return m_names.value(column); }
    int fetchedCount() const override { return m_progress.fetched; }
    bool atEnd() const override { return m_progress.atEnd; }
    int fetchMore(int count) override;
    QVariant value(int row, int column) const override;
    QString text(int row, int column) const override;
    void release() override;
    QString fetchError() const override { return m_progress.fetchError; }
    void lendActivity(std::shared_ptr<StatementActivity> activity, StatementActivity *replaced) override;
    void readAhead() override;
    int fetchReady(int count) override;

    class Ahead;

private:
    /// Takes up to `count` more of the rows the read-ahead reached, and its end once every row
    /// it read is taken.
    void takeAhead(int count);
    /// Waits (under `activity`) until the read-ahead reached more rows or ended; Cancel stops it.
    void waitAhead(StatementActivity *activity);

    std::shared_ptr<StatementRunner> m_runner;
    std::shared_ptr<RowSource> m_rows; // touched on the worker thread only, except for reading
    std::weak_ptr<const Connection> m_connection;
    std::shared_ptr<StatementActivity> m_lent;
    QStringList m_names;
    QString m_sql;
    Progress m_progress;
    std::shared_ptr<Ahead> m_ahead; // while rows are read ahead
    bool m_fetching = false;
};

} // namespace condora::ado
