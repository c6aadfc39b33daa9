#pragma once

#include "condora_export.h"

#include "analysis/analysisstate.h"

namespace condora {

/// Recreates the catalog (positions 0..n) from the statement's no-rows form and fills colName.
CONDORA_EXPORT bool readColumnNames(const QString &statement, FieldCatalog &catalog);
/// Fills typeCode, typeClass and usable of entries 1..n.
CONDORA_EXPORT bool readColumnTypes(const QString &statement, FieldCatalog &catalog);
/// The type-class word of a data type number.
CONDORA_EXPORT QString typeClassOf(int typeNumber);

} // namespace condora
