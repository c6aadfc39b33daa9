#pragma once

#include "condora_export.h"

#include "analysis/analysisstate.h"

namespace condora {

/// Turns the host's per-column filters into WHERE clauses (filterClause) and proves each;
/// False (after its message) when one is rejected.
CONDORA_EXPORT bool prepareFilters(QStringList &filterList, FieldCatalog &catalog);

} // namespace condora
