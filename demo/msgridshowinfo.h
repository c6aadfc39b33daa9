#pragma once

#include <QString>

namespace condora {

class FlexGrid;
namespace ado {
class Recordset;
}

/// Shows a recordset in a flex grid. The grid is first reset to a header row and one empty
/// data row. A recordset that reports fewer than 2048 records (a forward-only one reports -1)
/// is bound to the grid, which then takes its header and rows from it. A larger one is copied
/// row by row, without header captions, into field-count + 1 columns, letting the user
/// interface process pending events every 1000 records. Afterwards a recordset with records is
/// moved back to its first record. Errors never leave this function: a step that fails is
/// skipped (a copy whose recordset stops moving forward ends there).
///
/// Returns the database's message when the statement failed part-way while the rows were
/// copied (the grid then holds only the first part of the result); empty otherwise. A bound
/// grid announces such a failure itself, through FlexGrid::FetchError.
QString MSGridShowInfo(FlexGrid &grid, ado::Recordset &recordset);

} // namespace condora
