#pragma once

#include "analysis/columninfo.h"

#include <QString>

namespace condora {

/// What in `statement` a condition in its WHERE clause would change besides the rows it keeps,
/// named for the user ("UNION", "a window function", "DISTINCT ON"), or empty. A condition
/// spliced into a statement that combines queries (UNION, INTERSECT, EXCEPT, MINUS) would filter
/// its last query only. A window function in the
/// select list computes its values over the rows WHERE leaves (a rank, a running total), and
/// DISTINCT ON picks one row of each group from the rows WHERE leaves; filtering the statement's
/// result keeps both as the statement shows them.
QString shapeFilteredAfterWhere(const QString &statement);

/// True for a column whose values exist only after WHERE: an aggregate (count, sum, ...) or a
/// window function (OVER) of the statement itself, not one inside a sub-query.
bool isComputedAfterWhere(const ColumnInfo &column);

/// `statement` filtered as a derived table: "select * from (<statement>) q where <condition>",
/// with a WITH statement's common table expressions kept in front. The statement's own ORDER BY
/// and row cap (LIMIT, OFFSET, FETCH) move outside, so that the cap counts the rows the
/// condition keeps, as it does when the condition is in WHERE; the ORDER BY items become the
/// positions of the result columns they name (a DISTINCT ON statement keeps its ORDER BY
/// inside as well: it decides which row of each group is kept). An ORDER BY item that names no result column
/// stays inside when there is no row cap (the rows keep that order where the engine keeps a
/// derived table's order, as SQLite and PostgreSQL do for a plain filter); with a cap such a
/// statement cannot be filtered: the result is empty and `why` names the item. The condition
/// compares the columns by their result names, quoted (q."name").
QString filterAsDerivedTable(const QString &statement, const FieldCatalog &catalog, const QString &condition,
                             QString *why);

} // namespace condora
