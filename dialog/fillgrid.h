#pragma once

#include <QString>

namespace condora {

class FlexGrid;

namespace ado {
class Recordset;
}

/// Results below this many records are bound to the grid in one step; larger ones are
/// copied row by row.
inline constexpr int FillGridBindLimit = 2048;
/// The row-by-row copy lets pending events run after every this many rows.
inline constexpr int FillGridYieldRows = 1000;

/// Loads an open recordset into `grid`: a title row plus one row per record. A recordset that
/// cannot tell its size (RecordCount -1) or holds fewer than FillGridBindLimit records is bound
/// to the grid (rows are then fetched as the grid shows them); a larger one is copied row by
/// row, yielding to the event loop every FillGridYieldRows rows so the window keeps painting.
/// Afterwards the recordset is moved back to its first record when it has any. A failing step
/// is skipped and the next one runs; a null value leaves its cell empty. Never throws.
///
/// Returns the database's message when the statement failed part-way while its rows were
/// copied (the copy then ends there and holds only the first part of the result); empty
/// otherwise. A bound grid announces such a failure itself (FlexGrid::FetchError).
QString fillGrid(FlexGrid &grid, ado::Recordset &recordset);

} // namespace condora
