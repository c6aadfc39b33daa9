#pragma once

#include <QString>

namespace condora {

class FlexGrid;

namespace ado {
class Recordset;
}

/// Loads an open recordset into `grid`: a title row with the field names plus one row per
/// record. The grid is bound to the recordset's rows, whatever its size: a client cursor's rows
/// (all fetched at open) are shown where the recordset holds them and all counted in Rows() at
/// once, a server cursor's are fetched as the grid shows them. NULL values are shown as the
/// grid's NullText, values as the row source's display text, the same for every size of
/// result. Afterwards the recordset is moved back to its first record when it has any. A
/// failing step is skipped and the next one runs. Never throws.
///
/// Returns an empty text: the bound grid announces a statement that fails part-way itself
/// (FlexGrid::FetchError), and a client cursor has met such a failure when it was opened.
QString fillGrid(FlexGrid &grid, ado::Recordset &recordset);

} // namespace condora
