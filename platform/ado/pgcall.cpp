#include "platform/ado/pgcall.h"

#include "platform/ado/activityscope.h"
#include "platform/ado/databasemessage.h"
#include "platform/ado/statementactivity.h"
#include "platform/runtimeerror.h"

#include <QElapsedTimer>
#include <QSqlError>

#include <poll.h>

namespace condora::ado {

namespace {

// The longest the socket is watched before the activity is asked again.
constexpr int sliceMs = 20;
// While rows stream without a wait, the activity is asked this often.
constexpr int askEveryMs = 20;

// When the activity was last asked, across the commands of one statement: a statement sends
// several (the probe, the guard's, the fetches), each perhaps shorter than the pace.
QElapsedTimer &sinceAsked()
{
    static thread_local QElapsedTimer timer;
    if (!timer.isValid()) {
        timer.start();
    }
    return timer;
}

} // namespace

void PgResultDeleter::operator()(PgResult *result) const
{
    if (result) {
        pgApi().clear(result);
    }
}

PgCall::PgCall(void *conn, StatementActivity *activity) : m_conn(conn), m_activity(activity)
{
}

PgCall::PgCall(void *conn, StatementActivity *activity, const QByteArray &sql, bool singleRow)
    : PgCall(conn, activity)
{
    const PgApi &pq = pgApi();
    if (!pq.sendQuery(conn, sql.constData())) {
        m_conn = nullptr;
        throw RuntimeError::database(message(conn, nullptr));
    }
    if (singleRow) {
        pq.setSingleRowMode(conn);
    }
}

PgCall PgCall::prepare(void *conn, StatementActivity *activity, const QByteArray &sql)
{
    PgCall call(conn, activity);
    if (!pgApi().sendPrepare(conn, "", sql.constData(), 0, nullptr)) {
        call.m_conn = nullptr;
        throw RuntimeError::database(message(conn, nullptr));
    }
    return call;
}

PgCall::PgCall(PgCall &&other) noexcept
    : m_conn(std::exchange(other.m_conn, nullptr))
    , m_activity(other.m_activity)
    , m_resultsSinceAsked(other.m_resultsSinceAsked)
    , m_cancelled(other.m_cancelled)
{
}

PgCall::~PgCall()
{
    drain();
}

void PgCall::drain()
{
    if (!m_conn) {
        return;
    }
    const PgApi &pq = pgApi();
    while (PgResult *result = pq.getResult(m_conn)) {
        pq.clear(result);
    }
    m_conn = nullptr;
}

bool PgCall::waitForInput()
{
    const PgApi &pq = pgApi();
    while (pq.isBusy(m_conn)) {
        if (m_activity && sinceAsked().elapsed() >= askEveryMs) {
            sinceAsked().restart();
            if (!m_activity->keepGoing()) {
                return false;
            }
        }
        pollfd watched{pq.socket(m_conn), POLLIN, 0};
        if (watched.fd < 0) {
            return true; // the connection is gone: PQgetResult reports it
        }
        const int ready = ::poll(&watched, 1, m_activity ? sliceMs : -1);
        if (ready < 0 && errno != EINTR) {
            return true;
        }
        if (ready > 0 && !pq.consumeInput(m_conn)) {
            return true; // a broken connection: PQgetResult gives its message
        }
    }
    return true;
}

PgResultPtr PgCall::next()
{
    if (!m_conn) {
        return {};
    }
    const PgApi &pq = pgApi();
    // A steady stream of rows never waits; the activity is still asked at its pace.
    if (m_activity && ++m_resultsSinceAsked >= 256) {
        m_resultsSinceAsked = 0;
        if (sinceAsked().elapsed() >= askEveryMs) {
            sinceAsked().restart();
            if (!m_activity->keepGoing()) {
                m_activity = nullptr;
                cancel();
            }
        }
    }
    if (m_activity && !waitForInput()) {
        m_activity = nullptr;
        cancel();
    }
    PgResultPtr result(pq.getResult(m_conn));
    if (!result) {
        m_conn = nullptr;
        if (m_cancelled) {
            throw RuntimeError(ErrorNumber::Cancelled, cancelledMessage());
        }
    }
    return result;
}

void PgCall::cancel()
{
    // The rows the server sent before it stopped are still delivered; the end of the results
    // then throws Cancelled.
    const PgApi &pq = pgApi();
    if (void *request = pq.getCancel(m_conn)) {
        char error[256] = {};
        pq.cancel(request, error, int(sizeof error));
        pq.freeCancel(request);
    }
    m_cancelled = true;
}

bool PgCall::finish(QString *failure)
{
    void *conn = m_conn;
    bool ok = true;
    while (PgResultPtr result = next()) {
        const int status = pgApi().resultStatus(result.get());
        if (status != PgApi::CommandOk && status != PgApi::TuplesOk && status != PgApi::SingleTuple) {
            ok = false;
            if (failure) {
                noteFailure(conn, result.get(), failure);
            }
        }
    }
    return ok;
}

void PgCall::noteFailure(void *conn, const PgResult *result, QString *message)
{
    // The first failure is the statement's; when the server process ended, libpq adds its own
    // word on the lost connection last, and that is the message, as libpq's PQexec gives it.
    if (message->isEmpty() || pgApi().status(conn) == PgApi::ConnectionBad) {
        *message = PgCall::message(conn, result);
    }
}

QString PgCall::message(void *conn, const PgResult *result)
{
    const PgApi &pq = pgApi();
    QString text = result ? QString::fromUtf8(pq.resultErrorMessage(result)) : QString();
    if (text.trimmed().isEmpty() && conn) {
        text = QString::fromUtf8(pq.errorMessage(conn));
    }
    if (text.trimmed().isEmpty()) {
        return QStringLiteral("Unknown database error");
    }
    // A connection lost while its socket was watched: PQconsumeInput noticed it and closed the
    // socket, and the result asked for afterwards gets libpq's "invalid socket" added to its
    // words on the loss. Those words are the message, as libpq's own PQexec gives them.
    const QLatin1String invalidSocket("invalid socket");
    if (conn && pq.status(conn) == PgApi::ConnectionBad && text.trimmed().endsWith(invalidSocket)) {
        const QString before = text.trimmed().chopped(invalidSocket.size()).trimmed();
        if (!before.isEmpty()) {
            text = before;
        }
    }
    return databaseMessage(QSqlError(QString(), text, QSqlError::StatementError));
}

bool PgCall::run(void *conn, const QByteArray &sql, QString *failure)
{
    try {
        PgCall call(conn, nullptr, sql);
        return call.finish(failure);
    } catch (const RuntimeError &error) {
        if (failure) {
            *failure = error.description();
        }
        return false;
    }
}

QString PgCall::cancelledMessage()
{
    return cancelledDescription(); // the same words as a stopped SQLite statement
}

} // namespace condora::ado
