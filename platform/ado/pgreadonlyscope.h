#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace condora::ado {

class Connection;

/// The query that lists the advisory locks the session holds, as one text: an entry
/// "classid:objid:objsubid:mode" each, sorted, separated by commas.
const QByteArray &heldAdvisoryLocksQuery();

/// Releases the advisory locks held now that `before` (the text of heldAdvisoryLocksQuery()
/// taken earlier) did not list: a function a statement called took them, and they would
/// outlive it. `text` runs a query for its one text value (nullopt on failure), `run` runs a
/// statement (false on failure). A lock the session held before is left as it is, even if the
/// statement took it once more.
void releaseNewAdvisoryLocks(const QByteArray &before,
                             const std::function<std::optional<QByteArray>(const QByteArray &)> &text,
                             const std::function<bool(const QByteArray &)> &run);

/// The read-only transaction that the statements of one PostgreSQL connection share while any
/// of their results still has rows to fetch (the guard's transaction, see readonlyguard.h).
///
/// On an idle connection it is a transaction begun READ ONLY and rolled back at the end; inside
/// the host's own transaction it is a savepoint made read-only, rolled back to and released at
/// the end, so the host's transaction carries on as it was. It carries a token of its own
/// (the setting condora.read_only_guard), so that its end never touches a transaction that
/// is no longer ours: a host that ran COMMIT or ROLLBACK on the connection meanwhile ended it.
///
/// A transaction of its own also notes the session's advisory locks when it begins; after its
/// rollback, any advisory lock held that was not held then is released (a function the
/// statements called took it; nothing else runs on the connection meanwhile but the host's own
/// statements, inside this transaction). A savepoint in the host's transaction does not: the
/// host's own locks cannot be told apart there.
///
/// Results stream from cursors declared in it (pgrows.h); each statement and each fetch runs
/// in a savepoint of its own, so a statement that fails leaves the scope and the other cursors
/// usable. The scope ends when the last of its holders lets go.
///
/// What a host running its own statements on the connection meanwhile sees: its statements
/// run inside this read-only transaction. Reads see the current committed data (each
/// statement takes its own snapshot, as in auto-commit). A write is refused by the server
/// ("cannot execute ... in a read-only transaction") and changes nothing: it is neither
/// applied nor kept back to be lost at the scope's end. A host's COMMIT or ROLLBACK ends the
/// scope; the cursors in it then end with a fetch error instead of a shorter result.
class PgReadOnlyScope
{
public:
    /// The connection's live scope when it is still ours, else a new one (BEGIN READ ONLY on
    /// an idle connection, a read-only savepoint in the host's transaction). Null when the
    /// connection is in a failed transaction (every statement fails there by itself). Throws
    /// the database's message when the scope cannot be opened.
    static std::shared_ptr<PgReadOnlyScope> enter(Connection &connection, const QSqlDatabase &db);
    ~PgReadOnlyScope();
    PgReadOnlyScope(const PgReadOnlyScope &) = delete;
    PgReadOnlyScope &operator=(const PgReadOnlyScope &) = delete;

private:
    enum class Kind { Transaction, Savepoint };
    PgReadOnlyScope(QString qtConnectionName, Kind kind, QByteArray token);
    /// True while the connection's transaction is still this scope's.
    bool stillOurs(void *conn) const;
    void end(void *conn);

    QString m_qtConnectionName;
    Kind m_kind;
    QByteArray m_token;
    QByteArray m_advisoryLocks; // the session's advisory locks when the transaction began
    bool m_ended = false;
};

} // namespace condora::ado
