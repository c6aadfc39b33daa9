#include "platform/ado/pgreadonlyscope.h"

#include "platform/ado/connection.h"
#include "platform/ado/libpq.h"
#include "platform/ado/pgcall.h"
#include "platform/runtimeerror.h"

#include <QUuid>

namespace condora::ado {

namespace {

constexpr const char *GuardSetting = "condora.read_only_guard";

} // namespace

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
    if (std::shared_ptr<PgReadOnlyScope> live = connection.m_pgScope.lock()) {
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
        PgCall begin(conn, activity, "BEGIN READ ONLY" + marker);
        if (!begin.finish(&message)) {
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
    connection.m_pgScope = scope;
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
    }
    m_ended = true;
}

} // namespace condora::ado
