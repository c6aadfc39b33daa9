#pragma once

#include "analysis/queryrun.h"

#include <QString>

#include <optional>

namespace condora {

namespace ado {
class Connection;
}

/// A column of one table, as the value picker lists it: the table as the statement names it,
/// and the column's own name (unquoted, as the catalog of the database holds it).
struct TableColumn
{
    QString table;
    /// The table's own name (unquoted) and its schema's, when the statement names one.
    QString tableName;
    QString schema;
    QString column;
    /// The column's name was quoted (PostgreSQL folds an unquoted one to lower case).
    bool quoted = false;
};

/// The table column that `column` lists: a plain column (colExpr a name, perhaps qualified and
/// quoted) of one table (tabName a name), not a long text column (listed without DISTINCT),
/// with no host filter or a filter of the form " where <condition>". nullopt for anything else
/// (an expression, a join, a derived table).
std::optional<TableColumn> plainTableColumn(const ColumnInfo &column);

/// True when an index of the database leads with `target.column`, so that the next value
/// above a given one is found by a seek: on SQLite an index whose first column it is in the
/// binary collation (not a partial index), or the column being the table's INTEGER PRIMARY
/// KEY; on PostgreSQL a valid B-tree index (not partial) whose first key is the column, in the
/// column's collation and the type's default operator class. Any other database, or a failing
/// look-up, gives false (an index the walk could not seek in would make each step a scan).
/// On SQLite `sqliteIndex` (when given) receives the name of an ascending one (empty for the
/// rowid), nullopt where only a descending one leads.
bool indexLeadsWith(ado::Connection &connection, DbProduct product, const TableColumn &target,
                    std::optional<QString> *sqliteIndex = nullptr);

/// How many rows hold each value of `target.column` on average, by the database's statistics
/// (SQLite's sqlite_stat1 of an index that leads with the column, PostgreSQL's pg_stats); 0
/// without them, on other databases, or when the look-up fails.
double rowsPerValue(ado::Connection &connection, DbProduct product, const TableColumn &target);

/// A seek costs about as much as reading this many index entries in order: with more rows per
/// value (rowsPerValue()), walking from value to value reads less than one pass over the index.
inline constexpr double WalkRowsPerValue = 64;

/// The statement that lists the distinct values of `column` (see plainTableColumn()) in
/// ascending order from an index that leads with it, so that its first rows arrive at once on a
/// table of any size. With `walk`, a recursive "next value greater than the last" walk, one
/// index seek per value, that yields each value as it is found. Without, on SQLite one pass
/// over `sqliteIndex` (see indexLeadsWith()) that takes each value once as it comes; elsewhere
/// the walk reads the first values only, and one ordered DISTINCT above the last of them, which
/// the server answers in one pass over the index, the rest. NULL, when a row within the host's
/// filter holds it, comes first. It lists exactly the values of valueListSql() (on PostgreSQL
/// timestamps and times likewise as the server's text), within the host's filter.
QString orderedValuesSql(const ColumnInfo &column, DbProduct product, bool walk, const QString &sqliteIndex = QString());

} // namespace condora
