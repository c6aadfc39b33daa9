#pragma once

namespace condora::ado {
class Connection;
}

namespace condora {

/// Registers the SQL function CCur(x) on an open SQLite connection: x converted to currency,
/// i.e. rounded to four decimal places (halves to even, as currency conversion rounds).
/// NULL gives NULL; a text that does not read as a number is a type-mismatch error.
/// The function lives only on this connection. Throws RuntimeError when the connection is not
/// a SQLite connection or the registration fails.
void registerCCurFunction(ado::Connection &connection);

/// The rounding CCur applies, for callers and tests.
double roundToCurrency(double value);

} // namespace condora
