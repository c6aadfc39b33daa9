#pragma once

#include "platform/ado/libpq.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace condora::ado {

class StatementActivity;

/// Releases a libpq result (PQclear).
struct PgResultDeleter
{
    void operator()(PgResult *result) const;
};
using PgResultPtr = std::unique_ptr<PgResult, PgResultDeleter>;

/// One command sent on a PostgreSQL connection through libpq's asynchronous interface, and its
/// results as they arrive.
///
/// Why this way: Qt's PostgreSQL driver waits inside libpq until the server has answered, and
/// offers no way to stop a statement. A QSqlDatabase may only be used on the thread that
/// opened it, so the statement cannot move to a worker thread either. Instead the command is
/// sent (PQsendQuery), and the connection's socket is watched in slices of at most 20 ms; the
/// activity's keepGoing() runs between slices (it may process the window's events) and while
/// rows keep arriving. When it says stop, libpq's cancel request reaches the server on a
/// connection of its own, the command's remaining results are read and dropped, and
/// RuntimeError(ErrorNumber::Cancelled) is thrown: the connection is usable again at once.
class PgCall
{
public:
    /// Sends `sql` as one simple query (several commands may follow one another); `singleRow`
    /// delivers its rows one result at a time (PGRES_SINGLE_TUPLE). `activity` may be null:
    /// the call then only waits. Throws the connection's message when it cannot be sent.
    PgCall(void *conn, StatementActivity *activity, const QByteArray &sql, bool singleRow = false);
    /// Prepares `sql` as the unnamed statement (PQsendPrepare), without running it.
    static PgCall prepare(void *conn, StatementActivity *activity, const QByteArray &sql);
    PgCall(PgCall &&other) noexcept;
    PgCall &operator=(PgCall &&) = delete;
    /// Reads and drops whatever the command has not yet delivered.
    ~PgCall();

    /// The next result; null once the command has delivered them all. When the activity
    /// stopped the command, the results the server sent until it stopped come first, and the
    /// end of them throws RuntimeError(ErrorNumber::Cancelled).
    PgResultPtr next();
    /// Reads every result left; true when none of them failed, else `message` holds the
    /// database's message of the first that did.
    bool finish(QString *message = nullptr);

    /// The database's message of a failed result (or of the connection when `result` is null).
    static QString message(void *conn, const PgResult *result);
    /// Keeps in `message` the message a command's failed results amount to: the first one's,
    /// or, once the connection is lost, the last one's.
    static void noteFailure(void *conn, const PgResult *result, QString *message);
    /// Runs `sql` to its end without asking any activity (the short commands that end a
    /// transaction or a savepoint must run even while the user asks to stop). True on success.
    static bool run(void *conn, const QByteArray &sql, QString *message = nullptr);

    /// The description of a statement stopped at the user's request.
    static QString cancelledMessage();

private:
    PgCall(void *conn, StatementActivity *activity);
    bool waitForInput();
    /// Sends the cancel request; next() throws Cancelled once the results have ended.
    void cancel();
    void drain();

    void *m_conn = nullptr;
    StatementActivity *m_activity = nullptr;
    int m_resultsSinceAsked = 0;
    bool m_cancelled = false;
};

} // namespace condora::ado
