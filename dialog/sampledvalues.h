#pragma once

#include "analysis/queryrun.h"

#include <QString>

#include <optional>

namespace condora {

namespace ado {
class Connection;
}

/// About how many rows of its table a sampled list reads.
inline constexpr int SampleRows = 2000;

/// `column` (see plainTableColumn()) with its table, and the host's filter, narrowed to a sample
/// of about SampleRows rows of the table, for the statements that list its values
/// (valueListSql(), valueQuerySql() for a search): every value they list over the sample is one
/// they list over the whole table. PostgreSQL samples pages (TABLESAMPLE SYSTEM, its share
/// taken from the table's row estimate), SQLite a few rowid ranges spread over the table's
/// rowids.
///
/// nullopt when no sample is taken: a table of fewer than twice SampleRows rows (its whole list
/// comes quickly), a table the database cannot sample so (PostgreSQL: other than a plain table
/// or materialized view; SQLite: a view, a table without rowid or whose rowid names are all
/// taken by columns), on SQLite a host filter that is not one closed condition, any other
/// database, or a look-up that fails.
std::optional<ColumnInfo> sampledColumn(ado::Connection &connection, DbProduct product, const ColumnInfo &column);

} // namespace condora
