#include "demo/msgridshowinfo.h"

#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"

#include <exception>

namespace condora {

namespace {

/// Runs one step; a failure is ignored and the caller goes on with the next step.
template <typename Step>
bool attempt(Step &&step)
{
    try {
        step();
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

constexpr int BindLimit = 2048;

} // namespace

QString MSGridShowInfo(FlexGrid &grid, ado::Recordset &recordset)
{
    attempt([&] {
        if (grid.FixedRows() > 0) {
            grid.setFixedRows(0);
        }
    });
    attempt([&] { grid.setRows(1); });
    attempt([&] { grid.setRows(2); });
    attempt([&] { grid.setFixedRows(1); });

    int fixedCols = 0;
    attempt([&] { fixedCols = grid.FixedCols(); });

    // A count that cannot be read is treated like the -1 of a forward-only recordset.
    int recordCount = -1;
    attempt([&] { recordCount = recordset.RecordCount(); });

    if (recordCount < BindLimit) {
        attempt([&] { grid.setRecordset(recordset); });
    } else {
        int fieldCount = 0;
        attempt([&] { fieldCount = recordset.Fields().Count(); });
        attempt([&] { grid.setCols(fieldCount + 1); });
        // This path writes no header, so captions left from an earlier bound result would stand
        // over the wrong columns: clear them.
        for (int col = 0; col < fieldCount + 1; ++col) {
            attempt([&] { grid.setTextMatrix(0, col, QString()); });
        }
        // The grid shows the rows the recordset holds, laid out as a copy by hand would lay
        // them out, without copying them.
        attempt([&] { grid.showRows(recordset.rowSource(), fixedCols); });
    }
    attempt([&] {
        if (!(recordset.Eof() && recordset.Bof())) {
            recordset.MoveFirst();
        }
    });
    // Nothing here walks the rows any more: a bound grid reports a failure itself, and a client
    // cursor has met any failure already when it was opened.
    return QString();
}

} // namespace condora
