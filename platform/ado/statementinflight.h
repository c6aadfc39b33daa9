#pragma once

#include <QString>

namespace condora::ado {

class Connection;

/// Marks a call into the driver on a connection (a statement being executed, or rows of it
/// being fetched) for its whole span, so that what runs meanwhile from the window's events
/// cannot pull the connection from under it: Connection::statementRunning() is true, a
/// Close() requested meanwhile stops the statement and closes the connection once the
/// outermost call has returned, and no other statement can start on it.
class StatementInFlight
{
public:
    explicit StatementInFlight(Connection &connection);
    /// Carries out a Close() that was requested meanwhile, once the outermost call ends.
    ~StatementInFlight();
    StatementInFlight(const StatementInFlight &) = delete;
    StatementInFlight &operator=(const StatementInFlight &) = delete;

    /// True once Close() was requested while the call ran.
    bool closing() const;

    /// The description of a statement whose connection was closed while it ran.
    static QString closedMeanwhile();

private:
    Connection &m_connection;
};

} // namespace condora::ado
