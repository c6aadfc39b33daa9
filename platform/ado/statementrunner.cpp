#include "platform/ado/statementrunner.h"

#include "platform/ado/activityscope.h"
#include "platform/ado/connection.h"
#include "platform/ado/connection_p.h"
#include "platform/ado/recordset.h"
#include "platform/ado/statementactivity.h"
#include "platform/runtimeerror.h"

#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <future>
#include <mutex>
#include <thread>

using namespace Qt::StringLiterals;

namespace condora::ado {

namespace {

/// How long the waiting thread sleeps between two looks at the activity.
constexpr std::chrono::milliseconds WaitTick(5);

void execOrThrow(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery query(db);
    if (!query.exec(sql)) {
        throw RuntimeError::database(query.lastError().databaseText().isEmpty() ? query.lastError().text()
                                                                               : query.lastError().databaseText());
    }
}

} // namespace

bool isMySqlFamily(const Connection &connection)
{
    if (connection.driverName() == u"QMYSQL"_s) {
        return true;
    }
    if (connection.driverName() != u"QODBC"_s) {
        return false;
    }
    const QString dbms = connection.Properties().Count() > 1 ? connection.Properties().Item(1).Value().toString() : QString();
    return dbms.contains(u"MySQL"_s, Qt::CaseInsensitive) || dbms.contains(u"MariaDB"_s, Qt::CaseInsensitive);
}

/// The worker thread: runs the jobs handed to it one after another.
class RunnerThread : public QThread
{
public:
    void post(std::function<void()> job)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_jobs.push_back(std::move(job));
        }
        m_wake.notify_one();
    }
    /// Runs what is queued, then ends the thread and waits for it.
    void finish()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        wait();
    }

protected:
    void run() override
    {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
                if (m_jobs.empty()) {
                    return;
                }
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
};

/// The worker connection's own activity: it only says whether to stop (the engines ask it
/// from their callbacks, on the worker thread, where no window lives).
class StatementRunner::StopFlag final : public StatementActivity
{
public:
    void begin(const QString &) override {}
    bool keepGoing() override { return !stop.load(); }
    void end() override {}
    std::atomic<bool> stop{false};
};

std::shared_ptr<StatementRunner> StatementRunner::open(const Connection &host, const SessionCopy &session)
{
    std::shared_ptr<StatementRunner> runner(new StatementRunner);
    runner->m_driver = host.driverName();
    runner->m_stop = std::make_unique<StopFlag>();
    runner->m_thread = std::make_unique<RunnerThread>();
    runner->m_thread->setObjectName(u"condora-statements"_s);
    runner->m_thread->start();
    const QString hostName = host.database().connectionName();
    runner->wait(QString(), nullptr, [&] { runner->openOnWorker(hostName, session); });
    return runner;
}

void StatementRunner::openOnWorker(const QString &hostName, const SessionCopy &session)
{
    const bool mysqlFamily = session.mysqlFamily;
    m_ownName = u"condora-run-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase db = QSqlDatabase::cloneDatabase(hostName, m_ownName);
        QStringList options = db.connectOptions().split(u';', Qt::SkipEmptyParts);
        if (m_driver == u"QSQLITE"_s && !options.contains(u"QSQLITE_OPEN_READONLY"_s)) {
            options.append(u"QSQLITE_OPEN_READONLY"_s);
        } else if (m_driver == u"QODBC"_s && !mysqlFamily) {
            // MySQL/MariaDB get a read-only session instead (below).
            options.append(u"SQL_ATTR_ACCESS_MODE=SQL_MODE_READ_ONLY"_s);
        }
        db.setConnectOptions(options.join(u';'));
        if (!db.open()) {
            const QString why = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_ownName);
            throw RuntimeError::database(why);
        }
    }
    if (mysqlFamily) {
        // Killing threads copy this one, which stays until they are done; the worker's own
        // connection may be gone by then.
        m_killName = m_ownName + u"-kill"_s;
        QSqlDatabase::cloneDatabase(m_ownName, m_killName);
    }
    m_own = Connection::adoptOwned(m_ownName);
    const QSqlDatabase db = m_own->database();
    if (m_driver == u"QPSQL"_s) {
        // The copy acts as the host's user: the role the host set, under the session user the host
        // has (SET SESSION AUTHORIZATION cannot be copied; policies may read either).
        const auto users = [&db] {
            QSqlQuery query(db);
            if (!query.exec(u"select current_user, session_user"_s) || !query.next()) {
                throw RuntimeError::database(query.lastError().text());
            }
            return std::pair(query.value(0).toString(), query.value(1).toString());
        };
        if (!session.role.isEmpty() && users().first != session.role) {
            execOrThrow(db, u"set role "_s + db.driver()->escapeIdentifier(session.role, QSqlDriver::FieldName));
        }
        if (users() != std::pair(session.role, session.sessionUser)) {
            throw RuntimeError::database(u"The copy cannot act as the host's user."_s);
        }
        for (const auto &[name, value] : session.settings) {
            QSqlQuery set(db);
            set.prepare(u"select set_config(?, ?, false)"_s);
            set.addBindValue(name);
            set.addBindValue(value);
            if (!set.exec()) {
                throw RuntimeError::database(set.lastError().text());
            }
        }
        execOrThrow(db, u"set session characteristics as transaction read only"_s);
    } else if (isMySqlFamily(*m_own)) {
        for (const auto &[name, value] : session.settings) {
            const bool number = !value.isEmpty() && std::all_of(value.cbegin(), value.cend(), [](QChar c) { return c.isDigit(); });
            execOrThrow(db, u"set session "_s + name + u" = "_s + (number ? value : u"'"_s + value + u"'"_s));
        }
        execOrThrow(db, u"set session transaction read only"_s);
        QSqlQuery id(db);
        if (id.exec(u"select connection_id()"_s) && id.next()) {
            m_mysqlConnectionId = id.value(0).toLongLong();
        }
    }
    m_own->setStatementActivity(m_stop.get());
    m_sqlite = sqliteHandleOf(db);
}

StatementRunner::~StatementRunner()
{
    if (!m_thread) {
        return;
    }
    cancel();
    m_thread->post([this] {
        if (m_own) {
            m_own->setStatementActivity(nullptr);
            m_own.reset(); // closes it and removes its Qt connection
        }
    });
    m_thread->finish();
    for (std::thread &killer : m_killers) {
        killer.join();
    }
    if (!m_killName.isEmpty()) {
        QSqlDatabase::removeDatabase(m_killName);
    }
}

void StatementRunner::post(std::function<void(Connection &)> job)
{
    m_thread->post([this, job = std::move(job)] {
        if (m_own) {
            try {
                job(*m_own);
            } catch (...) {
                // Letting results go: nothing to report to.
            }
        }
    });
}

std::shared_ptr<StatementRunner> StatementRunner::of(const Connection &connection)
{
    return connection.d->m_runner;
}

void StatementRunner::postStoppable(std::shared_ptr<StatementActivity> stop, std::function<void(Connection &)> job)
{
    m_thread->post([this, stop = std::move(stop), job = std::move(job)] {
        if (!m_own) {
            return;
        }
        m_own->setStatementActivity(stop.get());
        try {
            job(*m_own);
        } catch (...) {
            // The job reports what it needs itself.
        }
        m_own->setStatementActivity(m_stop.get());
    });
}

void StatementRunner::run(const QString &sql, StatementActivity *activity, const std::function<void(Connection &)> &job)
{
    wait(sql, activity, [this, &job] {
        if (!m_own) {
            throw RuntimeError::objectNotSet(u"the run's connection is closed"_s);
        }
        job(*m_own);
    });
}

void StatementRunner::wait(const QString &sql, StatementActivity *activity, const std::function<void()> &work)
{
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    bool stopped = false;
    bool posted = false;
    if (activity != nullptr) {
        activity->begin(sql);
        stopped = !activity->keepGoing();
    }
    // Background reading gives way to the statement waited for (runWaiting()).
    ++m_runsWaiting;
    const auto waited = qScopeGuard([this] { --m_runsWaiting; });
    if (!stopped) {
        posted = true;
        m_stop->stop = false;
        m_thread->post([&work, &done] {
            try {
                work();
                done.set_value();
            } catch (...) {
                done.set_exception(std::current_exception());
            }
        });
        if (activity == nullptr) {
            finished.wait();
        } else {
            while (finished.wait_for(WaitTick) != std::future_status::ready) {
                if (!stopped && !activity->keepGoing()) {
                    stopped = true;
                    cancel();
                }
            }
        }
    }
    if (activity != nullptr) {
        activity->end();
    }
    if (stopped) {
        if (posted) {
            try {
                finished.get();
            } catch (...) {
                // The stop is the answer, whatever the statement said about it.
            }
        }
        throw RuntimeError(ErrorNumber::Cancelled, cancelledDescription());
    }
    finished.get();
}

void StatementRunner::cancel()
{
    m_stop->stop = true;
    if (m_sqlite != nullptr) {
        sqlite3_interrupt(static_cast<sqlite3 *>(m_sqlite));
    }
    if (m_mysqlConnectionId >= 0) {
        killQuery();
    }
}

void StatementRunner::killQuery()
{
    // On a connection of its own, on a thread of its own: the worker is blocked in the driver,
    // and the waiting thread keeps the window alive.
    const QString source = m_killName;
    const qint64 id = m_mysqlConnectionId;
    const std::lock_guard lock(m_killersMutex);
    m_killers.emplace_back([source, id] {
        const QString name = u"condora-kill-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces);
        {
            QSqlDatabase db = QSqlDatabase::cloneDatabase(source, name);
            if (db.open()) {
                QSqlQuery kill(db);
                kill.exec(u"kill query %1"_s.arg(id));
            }
        }
        QSqlDatabase::removeDatabase(name);
    });
}

} // namespace condora::ado
