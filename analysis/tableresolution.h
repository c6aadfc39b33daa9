#pragma once

#include "analysis/columninfo.h"

namespace condora {

namespace ado {
class Connection;
} // namespace ado

/// Fills colExpr, tabAlias and valueList of each catalog entry from the select list.
bool parseSelectList(const QString &selectList, FieldCatalog &catalog);
/// JOIN syntax to a plain comma list of table items; empty after a failure.
QString flattenJoins(const QString &fromClause);
/// The from clause to TableRef entries (positions 1..n); calls flattenJoins itself.
bool parseFromList(const QString &fromClause, TableList &tables);
/// Assigns each column its tabName (and tabAlias when found by field name).
/// The no-rows statement that reads a table's columns: `withClause` (the statement's common
/// table expressions, or empty) first, and a derived table with its alias, which it needs to be
/// read on its own.
QString tableProbeSql(const TableRef &table, const QString &withClause);

/// `withClause` (the statement's common table expressions, or empty) comes before each table's
/// probe, so that the names it defines can be read.
bool bindColumns(ado::Connection &connection, FieldCatalog &catalog, const TableList &tables,
                 const QString &withClause = QString());

} // namespace condora
