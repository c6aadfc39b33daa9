#pragma once

// What tests and benchmarks read of a connection's traffic: the statements it sent. Internal:
// not installed, not exported.

#include "platform/ado/connection.h"

#include <QString>

namespace condora::ado {

/// Every statement sent to the database through `connection` (probes and queries alike), to
/// count round trips. Statements Open() itself sends to check the connection and read its
/// properties are not counted, so a freshly opened connection reads 0.
int statementCount(const Connection &connection);
/// Starts the count again at 0 (on a run's connection, the host's count too).
void resetStatementCount(Connection &connection);
/// The last statement counted (empty before the first).
QString lastStatement(const Connection &connection);
/// Counts `sql` as sent (on a run's connection, on the host's connection too).
void countStatement(Connection &connection, const QString &sql);

} // namespace condora::ado
