#pragma once

// The state of a Connection, behind its d-pointer. Internal: not installed; the data layer's
// friends of Connection (recordsets, runs, guards, scopes) reach it through Connection::d.

#include "platform/ado/connection.h"

#include <QList>
#include <QSqlError>
#include <QString>

#include <memory>

namespace condora::ado {

class PgReadOnlyScope;
class ProbeCache;
class RowSource;
class StatementActivity;
class StatementRunner;

struct ConnectionPrivate
{
    QString m_connectionString;
    QString m_qtConnectionName;
    bool m_ownsDatabase = true;
    bool m_open = false;
    int m_cursorLocation = adUseServer;
    int m_lastExecuteOptions = adOptionUnspecified;
    int m_statementCount = 0;
    QString m_lastStatement;
    bool m_oneActiveStatement = false;
    int m_inFlight = 0;
    ProbeCache *m_probeCache = nullptr; // the column probes' answers while a ProbeCacheScope lasts
    bool m_closePending = false;
    StatementActivity *m_activity = nullptr;
    condora::ado::Properties m_properties;
    QList<std::weak_ptr<RowSource>> m_rowSources;
    /// The read-only transaction the PostgreSQL statements whose rows stream share.
    std::weak_ptr<PgReadOnlyScope> m_pgScope;
    /// A run's connection: its statements go to the runner's own connection on a worker thread,
    /// and are counted on the host's connection too.
    std::shared_ptr<StatementRunner> m_runner;
    std::shared_ptr<Connection> m_host;
    QList<std::weak_ptr<Connection>> m_runs; // the runs' connections made from this one
    QString m_runnerDriver;
    int m_precisionPolicy = -1; // -1: the database's own
    bool m_separateRuns = true;
    QSqlError m_lastError; // of the last try call
};

} // namespace condora::ado
