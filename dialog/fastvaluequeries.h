#pragma once

#include "analysis/queryrun.h"
#include "dialog/valuesearch.h"

#include <QString>

namespace condora {

namespace ado {
class Connection;
}

struct TableColumn;

/// The statement that lists the values of `column` (a plain table column that an index leads
/// with, see plainTableColumn() and indexLeadsWith()) that contain `search`, as
/// valueSearchCondition() tests them: the index is walked value by value (one seek each,
/// within the host's filter) and each value is tested once, not each row. A text column's walk
/// starts at the first value from `search` on, so that the values beginning with the typed text
/// come at once, and then lists the values below it; any other column's walk starts at its
/// first value. It lists exactly the values of valueQuerySql() for the search (NULL never).
QString orderedSearchSql(const ColumnInfo &column, const QueryRun &run, ValueSearchMethod method,
                         const QString &search);

/// True when a PostgreSQL trigram index (pg_trgm's gin_trgm_ops or gist_trgm_ops; valid, not
/// partial) covers `target.column` in the database's default collation, the one whose case
/// folding the index and lower() share. False on a failing look-up.
bool trigramIndexOn(ado::Connection &connection, const TableColumn &target);

/// True when "Rows per value" for `column` counts the rows of the column's own table: the run's
/// base statement reads that one table alone (no WHERE, grouping, DISTINCT, row cap, set
/// operation or WITH; every result column a plain column of it), so each of its rows is one row
/// of the table holding the column's value.
bool countsTableRows(const QueryRun &run, const ColumnInfo &column);

/// The values of `column` (see countsTableRows()) with the rows holding each, in one GROUP BY
/// over its table: "select <value>, count(*) from <table> [where <search>] group by <column>
/// [having count(case when <host's filter> then 1 end) > 0]". It lists the values and counts of
/// valueQuerySql() with counts of the base statement's rows. On PostgreSQL the grouping is a
/// materialized WITH query, which the server plans to read every row at once (hashing), where
/// a cursor's plan would walk the index row by row for its first rows.
QString tableCountsSql(const ColumnInfo &column, const QueryRun &run, ValueSearchMethod method,
                       const QString &search);

/// What follows FROM to read PostgreSQL's statistics row of `target.column`: pg_stats as st,
/// its table's pg_class row as c.
QString statisticsOf(const TableColumn &target);

/// True when PostgreSQL keeps statistics for `target.column` (pg_stats: the table was
/// analysed), from which estimatedCountsSql() estimates. False on a failing look-up.
bool hasStatistics(ado::Connection &connection, const TableColumn &target);

/// The values that `valuesSql` lists (one column; any of the walks above), each with the rows
/// of its table the server estimates hold it, as the text "~<n>": from pg_stats, the share of
/// the value among the most common values, of NULL, or else an even share of the rest,
/// times the table's rows (pg_class.reltuples); at least 1, since a listed value is held.
/// "~?" when the statistics have gone meanwhile. The values come as `valuesSql` gives them, as
/// soon as it gives them.
QString estimatedCountsSql(const TableColumn &target, const QString &valuesSql);

} // namespace condora
