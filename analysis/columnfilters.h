#pragma once

#include "analysis/columninfo.h"

namespace condora {

namespace ado {
class Connection;
} // namespace ado

/// Turns the host's per-column filters into WHERE clauses (filterClause) and proves each;
/// False (after its message) when one is rejected.
bool prepareFilters(ado::Connection &connection, QStringList &filterList, FieldCatalog &catalog);

} // namespace condora
