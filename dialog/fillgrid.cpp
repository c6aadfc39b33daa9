#include "dialog/fillgrid.h"

#include "dialog/errortraps.h"
#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"

namespace condora {

using errortraps::ignoreErrors;

QString fillGrid(FlexGrid &grid, ado::Recordset &recordset)
{
    // Binding puts the title row and the rows in place in one step (the grid redraws once, as
    // a list that is typed into does at every keystroke). Only a closed recordset leaves the
    // grid to be emptied here: its title row and one empty row.
    // Bound at every size: a client cursor's rows are already where the recordset keeps them,
    // and a copy cell by cell would hold them twice (and lose the NULLs the grid tracks).
    if (!ignoreErrors([&] { grid.setRecordset(recordset); })) {
        ignoreErrors([&] {
            if (grid.FixedRows() > 0) {
                grid.setFixedRows(0);
            }
        });
        ignoreErrors([&] { grid.setRows(1); });
        ignoreErrors([&] { grid.setRows(2); });
        ignoreErrors([&] { grid.setFixedRows(1); });
        return QString();
    }
    // A client cursor has every row already: the grid counts them all at once (nothing is
    // fetched or copied for that), as a filled grid would.
    ignoreErrors([&] {
        if (recordset.RecordCount() >= 0) {
            grid.fetchAll();
        }
    });
    ignoreErrors([&] {
        if (!(recordset.Eof() && recordset.Bof())) {
            recordset.MoveFirst();
        }
    });
    return QString();
}

} // namespace condora
