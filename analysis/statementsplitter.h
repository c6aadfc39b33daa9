#pragma once

#include "analysis/columninfo.h"

namespace condora {

namespace ado {
class Connection;
} // namespace ado

/// Analyses the base statement into the catalog and the table list, asking `connection` for
/// the columns; False after a report.
bool splitSql(ado::Connection &connection, const QString &statement, FieldCatalog &catalog,
              TableList &tables);

/// The two pieces that splitSql cuts from a statement by its text.
struct StatementPieces
{
    /// The final query's select part (before its top-level FROM; after WITH's common table
    /// expressions) from its 8th character on.
    QString selectList;
    /// After the top-level FROM, up to the first top-level WHERE, GROUP BY, HAVING, WINDOW,
    /// ORDER BY, LIMIT, OFFSET, FETCH or FOR, or a closing comment.
    QString fromClause;
};

/// The text cut of splitSql, without its error trap and without database access. Throws
/// RuntimeError (invalid argument) for a statement without a top-level FROM.
StatementPieces cutStatement(const QString &statement);

} // namespace condora
