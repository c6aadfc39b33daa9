#pragma once

#include "condora_export.h"

#include "analysis/columninfo.h"

namespace condora {

namespace ado {
class Connection;
} // namespace ado

/// Analyses the base statement into the catalog and the table list, asking `connection` for
/// the columns; False after a report.
CONDORA_EXPORT bool splitSql(ado::Connection &connection, const QString &statement, FieldCatalog &catalog,
                             TableList &tables);

/// The two pieces that splitSql cuts from a statement by text alone.
struct CONDORA_EXPORT StatementPieces
{
    QString selectList; ///< the select part (before the first " from ", trimmed) from its 8th character on
    QString fromClause; ///< after " from ", up to the first " where " or else " order by ", trimmed
};

/// The text cut of splitSql, without its error trap and without database access. Throws
/// RuntimeError (invalid argument) for a statement without " from ".
CONDORA_EXPORT StatementPieces cutStatement(const QString &statement);

} // namespace condora
