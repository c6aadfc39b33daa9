#pragma once

#include "analysis/columninfo.h"

namespace condora {

namespace ado {
class Connection;
} // namespace ado

/// Recreates the catalog (positions 0..n) from the statement's no-rows form and fills colName.
bool readColumnNames(ado::Connection &connection, const QString &statement, FieldCatalog &catalog);
/// Fills typeCode, typeClass and usable of entries 1..n.
bool readColumnTypes(ado::Connection &connection, const QString &statement, FieldCatalog &catalog);

} // namespace condora
