#include "platform/ado/activityscope.h"

#include "platform/ado/connection.h"
#include "platform/ado/statementactivity.h"
#include "platform/runtimeerror.h"

#include <QList>
#include <QSqlDriver>

#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace condora::ado {

namespace {

/// How often the engine looks in: every this many virtual machine steps (a few microseconds).
constexpr int ProgressSteps = 1000;
/// keepGoing() is asked when this long has passed since the last time.
constexpr qint64 AskEveryMs = 10;
/// The pause between two looks at another program's lock.
constexpr int LockPollMs = 10;

/// The connections with a watched statement running on this thread, innermost last.
QList<const Connection *> &running()
{
    static thread_local QList<const Connection *> connections;
    return connections;
}

} // namespace

QString cancelledDescription()
{
    return u"The statement was stopped before it finished."_s;
}

QString lockedDescription(const QString &databaseText)
{
    return u"Another program holds the database file locked, so it cannot be read now (%1). Try again when it "
           u"is free."_s.arg(databaseText);
}

RuntimeError fetchFailure(const QString &fetchError)
{
    if (fetchError == cancelledDescription()) {
        return RuntimeError(ErrorNumber::Cancelled, fetchError);
    }
    return RuntimeError::database(fetchError);
}

sqlite3 *sqliteHandleOf(const Connection &connection)
{
    return sqliteHandleOf(connection.database());
}

sqlite3 *sqliteHandleOf(const QSqlDatabase &db)
{
    if (!db.isOpen() || db.driverName() != u"QSQLITE"_s || db.driver() == nullptr) {
        return nullptr;
    }
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        return nullptr;
    }
    return *static_cast<sqlite3 *const *>(handle.constData());
}

int sqliteBusyTimeoutOf(const Connection &connection)
{
    return sqliteBusyTimeoutOf(connection.database());
}

int sqliteBusyTimeoutOf(const QSqlDatabase &db)
{
    int wait = 5000;
    const QString prefix = u"QSQLITE_BUSY_TIMEOUT="_s;
    for (const QString &option : db.connectOptions().split(u';', Qt::SkipEmptyParts)) {
        const QString trimmed = option.trimmed();
        if (trimmed.startsWith(prefix)) {
            bool ok = false;
            const int value = trimmed.mid(prefix.size()).toInt(&ok);
            if (ok) {
                wait = value;
            }
        }
    }
    return wait;
}

ActivityScope::ActivityScope(Connection &connection, const QString &sql)
    : m_connection(connection)
{
    StatementActivity *activity = connection.statementActivity();
    if (activity == nullptr) {
        return;
    }
    const QSqlDatabase db = connection.database();
    if (db.driverName() == u"QPSQL"_s) {
        return;
    }
    m_activity = activity;
    running().append(&connection);
    m_sinceAsked.start();
    m_activity->begin(sql);
    if (!m_activity->keepGoing()) {
        m_cancelled = true;
        return;
    }
    m_sqlite = sqliteHandleOf(db);
    if (m_sqlite != nullptr) {
        m_busyTimeoutMs = sqliteBusyTimeoutOf(db);
        sqlite3_progress_handler(m_sqlite, ProgressSteps, &ActivityScope::onProgress, this);
        sqlite3_busy_handler(m_sqlite, &ActivityScope::onBusy, this);
    }
}

ActivityScope::~ActivityScope()
{
    if (m_activity == nullptr) {
        return;
    }
    if (m_sqlite != nullptr) {
        sqlite3_progress_handler(m_sqlite, 0, nullptr, nullptr);
        sqlite3_busy_timeout(m_sqlite, m_busyTimeoutMs); // the driver's own wait again
    }
    const qsizetype at = running().lastIndexOf(&m_connection);
    if (at >= 0) {
        running().removeAt(at);
    }
    m_activity->end();
}

bool ActivityScope::keepGoing()
{
    if (m_activity == nullptr || m_cancelled) {
        return !m_cancelled;
    }
    if (m_sinceAsked.elapsed() >= AskEveryMs) {
        m_sinceAsked.restart();
        m_cancelled = !m_activity->keepGoing();
    }
    return !m_cancelled;
}

void ActivityScope::throwIfCancelled() const
{
    if (m_cancelled) {
        throw RuntimeError(ErrorNumber::Cancelled, cancelledDescription());
    }
}

bool ActivityScope::runningOn(const Connection &connection)
{
    return running().contains(&connection);
}

int ActivityScope::onProgress(void *scope)
{
    return static_cast<ActivityScope *>(scope)->keepGoing() ? 0 : 1;
}

int ActivityScope::onBusy(void *scope, int count)
{
    auto *self = static_cast<ActivityScope *>(scope);
    if (count == 0) {
        self->m_waitingForLock.start();
    }
    if (!self->keepGoing() || self->m_waitingForLock.elapsed() >= self->m_busyTimeoutMs) {
        return 0; // SQLite gives up: SQLITE_BUSY
    }
    sqlite3_sleep(LockPollMs);
    return 1;
}

} // namespace condora::ado
