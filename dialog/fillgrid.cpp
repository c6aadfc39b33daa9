#include "dialog/fillgrid.h"

#include "dialog/errortraps.h"
#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/userinteraction.h"

#include <climits>

namespace condora {

using errortraps::ignoreErrors;

void fillGrid(FlexGrid &grid, ado::Recordset &recordset)
{
    int fixedCols = 0;
    ignoreErrors([&] {
        if (grid.FixedRows() > 0) {
            grid.setFixedRows(0);
        }
    });
    ignoreErrors([&] { grid.setRows(1); });
    ignoreErrors([&] { grid.setRows(2); });
    ignoreErrors([&] { grid.setFixedRows(1); });
    ignoreErrors([&] { fixedCols = grid.FixedCols(); });

    // A count that cannot be read counts as unknown, like -1.
    int recordCount = -1;
    ignoreErrors([&] { recordCount = recordset.RecordCount(); });

    if (recordCount < FillGridBindLimit) {
        ignoreErrors([&] { grid.setRecordset(recordset); });
    } else {
        int fieldCount = 0;
        ignoreErrors([&] { fieldCount = recordset.Fields().Count(); });
        ignoreErrors([&] { grid.setCols(fieldCount + 1); });
        int i = 0;
        while (true) {
            bool atEnd = true;
            if (!ignoreErrors([&] { atEnd = recordset.Eof(); }) || atEnd) {
                break;
            }
            ++i;
            ignoreErrors([&] { grid.AddItem(QString()); });
            for (int k = 0; k < fieldCount; ++k) {
                ignoreErrors([&] {
                    const QVariant value = recordset.Fields().Item(k).Value();
                    grid.setTextMatrix(i, k + fixedCols, value.isNull() ? QString() : value.toString());
                });
            }
            if (!ignoreErrors([&] { recordset.MoveNext(); })) {
                break; // a cursor that cannot move on would loop for ever
            }
            if (i % FillGridYieldRows == 0) {
                ignoreErrors([] { UserInteraction::instance().processEvents(); });
            }
        }
        ignoreErrors([&] {
            if (grid.Rows() > 2) {
                grid.RemoveItem(grid.Rows() - 1);
            }
        });
    }

    ignoreErrors([&] {
        if (!(recordset.Eof() && recordset.Bof())) {
            recordset.MoveFirst();
        }
    });
}

} // namespace condora
