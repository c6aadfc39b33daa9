#pragma once

#include "condora_export.h"

#include "analysis/analysisstate.h"

namespace condora {

/// Analyses the base statement into the catalog and the table list; False after a report.
CONDORA_EXPORT bool splitSql(const QString &statement, FieldCatalog &catalog, TableList &tables);

} // namespace condora
