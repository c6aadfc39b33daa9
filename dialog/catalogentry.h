#pragma once

#include "analysis/columninfo.h"

#include <QString>

namespace condora {

/// A position given as text (a colIndex cell, the picker's column position) read as a whole
/// number: spaces around it are allowed, a fraction is rounded half to even. Throws
/// RuntimeError (type mismatch) for a text that is not a number, the empty text included.
int positionFromText(const QString &text);

/// The catalog entry at `position` (0 is the unused, empty entry), as the value picker's column
/// position property names it. Throws RuntimeError (subscript out of range) outside the
/// catalog. A condition row's colIndex cell is read by catalogEntryFor() (condition/).
const ColumnInfo &catalogEntry(const FieldCatalog &catalog, int position);

/// True when no other result column of the statement has the name `name` (in any letter case):
/// the statement's rows can then be read by that name as a derived table's column.
bool uniqueResultName(const FieldCatalog &catalog, const QString &name);

} // namespace condora
