#include "platform/ado/pgreadonlyscope.h"
#include "platform/ado/connection_p.h"

#include "platform/ado/connection.h"
#include "platform/ado/libpq.h"
#include "platform/ado/pgcall.h"
#include "platform/runtimeerror.h"

#include <QUuid>

namespace condora::ado {

namespace {

constexpr const char *GuardSetting = "condora.read_only_guard";

// The one-row text result of a command, if it has one; the failure of any result in `message`.
QByteArray runForText(PgCall &call, void *conn, QString *message)
{
    const PgApi &pq = pgApi();
    QByteArray text;
    while (PgResultPtr result = call.next()) {
        const int status = pq.resultStatus(result.get());
        if (status == PgApi::TuplesOk) {
            if (pq.ntuples(result.get()) == 1) {
                text = pq.getvalue(result.get(), 0, 0);
            }
        } else if (status != PgApi::CommandOk) {
            PgCall::noteFailure(conn, result.get(), message);
        }
    }
    return text;
}

// The statement that releases one acquisition of the advisory lock `lock` (an entry of
// heldAdvisoryLocksQuery()); empty for an entry it cannot read.
QByteArray unlockStatement(const QByteArray &lock)
{
    const QList<QByteArray> parts = lock.split(':');
    if (parts.size() != 4) {
        return {};
    }
    bool ok1 = false;
    bool ok2 = false;
    const quint32 classId = parts.at(0).toUInt(&ok1);
    const quint32 objId = parts.at(1).toUInt(&ok2);
    if (!ok1 || !ok2) {
        return {};
    }
    const QByteArray function = parts.at(3) == "ShareLock" ? "pg_catalog.pg_advisory_unlock_shared"
                                                           : "pg_catalog.pg_advisory_unlock";
    // A bigint key is stored in two halves (objsubid 1), two integer keys as they are (2).
    if (parts.at(2) == "1") {
        const qint64 key = qint64((quint64(classId) << 32) | objId);
        return "select " + function + "(" + QByteArray::number(key) + "::bigint)";
    }
    if (parts.at(2) == "2") {
        return "select " + function + "(" + QByteArray::number(qint32(classId)) + ", "
            + QByteArray::number(qint32(objId)) + ")";
    }
    return {};
}

} // namespace

const QByteArray &heldAdvisoryLocksQuery()
{
    static const QByteArray query =
        "select coalesce(string_agg(l.classid || ':' || l.objid || ':' || l.objsubid || ':' || l.mode, ',' "
        "order by l.classid, l.objid, l.objsubid, l.mode), '') from pg_catalog.pg_locks l "
        "where l.locktype = 'advisory' and l.pid = pg_catalog.pg_backend_pid() and l.granted";
    return query;
}

void releaseNewAdvisoryLocks(const QByteArray &before,
                             const std::function<std::optional<QByteArray>(const QByteArray &)> &text,
                             const std::function<bool(const QByteArray &)> &run)
{
    const QList<QByteArray> kept = before.split(',');
    // A lock taken several times shows until its last release.
    for (int round = 0; round < 1000; ++round) {
        const std::optional<QByteArray> now = text(heldAdvisoryLocksQuery());
        if (!now) {
            return;
        }
        bool released = false;
        for (const QByteArray &lock : now->split(',')) {
            if (lock.isEmpty() || kept.contains(lock)) {
                continue;
            }
            const QByteArray unlock = unlockStatement(lock);
            released = (!unlock.isEmpty() && run(unlock)) || released;
        }
        if (!released) {
            return;
        }
    }
}

PgReadOnlyScope::PgReadOnlyScope(QString qtConnectionName, Kind kind, QByteArray token)
    : m_qtConnectionName(std::move(qtConnectionName))
    , m_kind(kind)
    , m_token(std::move(token))
{
}

std::shared_ptr<PgReadOnlyScope> PgReadOnlyScope::enter(Connection &connection, const QSqlDatabase &db)
{
    void *conn = pgConnection(db);
    const PgApi &pq = pgApi();
    if (!conn || !pq.asyncOk()) {
        return {};
    }
    if (std::shared_ptr<PgReadOnlyScope> live = connection.d->m_pgScope.lock()) {
        if (live->stillOurs(conn)) {
            return live;
        }
        live->end(conn);
    }
    const QByteArray token = QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
    const QByteArray marker = QByteArray("; SET LOCAL ") + GuardSetting + " = '" + token + "'";
    StatementActivity *activity = connection.statementActivity();
    std::shared_ptr<PgReadOnlyScope> scope;
    QString message;
    switch (pq.transactionStatus(conn)) {
    case PgApi::TransIdle: {
        scope.reset(new PgReadOnlyScope(db.connectionName(), Kind::Transaction, token));
        PgCall begin(conn, activity, "BEGIN READ ONLY" + marker + "; " + heldAdvisoryLocksQuery());
        scope->m_advisoryLocks = runForText(begin, conn, &message);
        if (!message.isEmpty()) {
            throw RuntimeError::database(message);
        }
        break;
    }
    case PgApi::TransInTrans: {
        scope.reset(new PgReadOnlyScope(db.connectionName(), Kind::Savepoint, token));
        PgCall begin(conn, activity, "SAVEPOINT condora_read_only; SET TRANSACTION READ ONLY" + marker);
        if (!begin.finish(&message)) {
            throw RuntimeError::database(message);
        }
        break;
    }
    default:
        // A failed transaction refuses every statement by itself: the text check is all
        // that applies.
        return {};
    }
    connection.d->m_pgScope = scope;
    return scope;
}

PgReadOnlyScope::~PgReadOnlyScope()
{
    const QSqlDatabase db = QSqlDatabase::database(m_qtConnectionName, false);
    if (void *conn = db.isValid() && db.isOpen() ? pgConnection(db) : nullptr) {
        end(conn);
    }
}

bool PgReadOnlyScope::stillOurs(void *conn) const
{
    const PgApi &pq = pgApi();
    if (m_ended || pq.transactionStatus(conn) != PgApi::TransInTrans) {
        return false;
    }
    bool ours = false;
    try {
        PgCall ask(conn, nullptr, QByteArray("select current_setting('") + GuardSetting + "', true)");
        while (PgResultPtr result = ask.next()) {
            ours = ours
                || (pq.resultStatus(result.get()) == PgApi::TuplesOk && pq.ntuples(result.get()) == 1
                    && m_token == pq.getvalue(result.get(), 0, 0));
        }
    } catch (const RuntimeError &) {
        return false;
    }
    return ours;
}

void PgReadOnlyScope::end(void *conn)
{
    if (std::exchange(m_ended, true)) {
        return;
    }
    const int status = pgApi().transactionStatus(conn);
    const char *undo = m_kind == Kind::Transaction
        ? "ROLLBACK"
        : "ROLLBACK TO SAVEPOINT condora_read_only; RELEASE SAVEPOINT condora_read_only";
    if (status == PgApi::TransInError) {
        // A failed transaction cannot be asked whose it is. Our own statements and fetches
        // fail inside savepoints of their own, so a host's statement failed in it: a
        // transaction of ours must go, and a host's failed one the host rolls back anyway.
        PgCall::run(conn, undo);
        return;
    }
    m_ended = false;
    if (stillOurs(conn)) {
        PgCall::run(conn, undo);
        if (m_kind == Kind::Transaction) {
            // Everything the statements did in the transaction is gone with it, except what a
            // read-only transaction lets outlive it: session advisory locks that a function
            // they called took (the functions named in the guard are refused before).
            releaseNewAdvisoryLocks(
                m_advisoryLocks,
                [conn](const QByteArray &sql) -> std::optional<QByteArray> {
                    QString message;
                    try {
                        PgCall ask(conn, nullptr, sql);
                        QByteArray text = runForText(ask, conn, &message);
                        if (message.isEmpty()) {
                            return text;
                        }
                    } catch (const RuntimeError &) {
                    }
                    return std::nullopt;
                },
                [conn](const QByteArray &sql) { return PgCall::run(conn, sql); });
        }
    }
    m_ended = true;
}

} // namespace condora::ado
