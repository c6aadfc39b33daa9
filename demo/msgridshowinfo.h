#pragma once

#include <QString>

namespace condora {

class FlexGrid;
namespace ado {
class Recordset;
}

/// Shows a recordset in a flex grid, the way a host that holds a FlexGrid rather than a view
/// fills it (the demo's window shows its rows through Condora::GetQueryModel() instead; the
/// benchmark bench/showinfo measures this). The grid is first reset to a header row and one empty
/// data row. A recordset that reports fewer than 2048 records (a forward-only one reports -1)
/// is bound to the grid, which then takes its header and rows from it. A larger one (all of
/// whose rows a client cursor has fetched) is shown as a copy row by row would show it, without
/// header captions, in field-count + 1 columns from FixedCols on, each value as its plain text;
/// the grid shares the recordset's rows instead of copying them (FlexGrid::showRows).
/// Afterwards a recordset with records is moved back to its first record. Errors never leave
/// this function: a step that fails is skipped.
///
/// Returns the database's message when the statement failed part-way while the rows were
/// walked; empty otherwise. A bound grid announces such a failure itself, through
/// FlexGrid::FetchError.
QString MSGridShowInfo(FlexGrid &grid, ado::Recordset &recordset);

} // namespace condora
