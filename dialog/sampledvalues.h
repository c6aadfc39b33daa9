#pragma once

#include "analysis/queryrun.h"

#include <QString>

namespace condora {

namespace ado {
class Connection;
}

/// About how many rows of its table a sampled list reads.
inline constexpr int SampleRows = 2000;

/// The statement that lists the distinct values of `column` (see plainTableColumn()) held by a
/// sample of about SampleRows rows of its table, within the host's filter, in the form
/// valueListSql() lists them: every value it lists is one that valueListSql() lists. PostgreSQL
/// samples pages (TABLESAMPLE SYSTEM, its share taken from the table's row estimate), SQLite a
/// few rowid ranges spread over the table's rowids.
///
/// Empty when no sample is taken: a table of fewer than twice SampleRows rows (its whole list
/// comes quickly), a table the database cannot sample so (PostgreSQL: other than a plain table
/// or materialized view; SQLite: a view, a table without rowid or whose rowid names are all
/// taken by columns), on SQLite a host filter that is not one closed condition, any other
/// database, or a look-up that fails.
QString sampledValuesSql(ado::Connection &connection, DbProduct product, const ColumnInfo &column);

} // namespace condora
