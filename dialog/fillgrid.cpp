#include "dialog/fillgrid.h"

#include "dialog/errortraps.h"
#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/userinteraction.h"

#include "platform/runtimeerror.h"

#include <climits>

namespace condora {

using errortraps::ignoreErrors;

namespace {

/// Runs a step that walks the recordset; a statement failing part-way (or stopped by the user)
/// is kept in `failure` (the first one only), any other failure is dropped. True when it ran without error.
template<typename Step>
bool walkStep(QString &failure, Step &&step)
{
    try {
        step();
        return true;
    } catch (const RuntimeError &error) {
        const bool stopped = error.number() == ErrorNumber::Cancelled;
        if ((error.number() == ErrorNumber::Database || stopped) && failure.isEmpty()) {
            failure = error.description();
        }
    } catch (...) {
    }
    return false;
}

} // namespace

QString fillGrid(FlexGrid &grid, ado::Recordset &recordset)
{
    QString failure;
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
            if (!walkStep(failure, [&] { atEnd = recordset.Eof(); }) || atEnd) {
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
            if (!walkStep(failure, [&] { recordset.MoveNext(); })) {
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
    if (!failure.isEmpty()) {
        return failure; // the rows end at the failure: nothing to move back over
    }

    ignoreErrors([&] {
        if (!(recordset.Eof() && recordset.Bof())) {
            recordset.MoveFirst();
        }
    });
    return failure;
}

} // namespace condora
