#pragma once

#include "condora_export.h"

#include "analysis/columninfo.h"

namespace condora {

namespace ado {
class Connection;
} // namespace ado

/// Recreates the catalog (positions 0..n) from the statement's no-rows form and fills colName.
CONDORA_EXPORT bool readColumnNames(ado::Connection &connection, const QString &statement, FieldCatalog &catalog);
/// Fills typeCode, typeClass and usable of entries 1..n.
CONDORA_EXPORT bool readColumnTypes(ado::Connection &connection, const QString &statement, FieldCatalog &catalog);

} // namespace condora
