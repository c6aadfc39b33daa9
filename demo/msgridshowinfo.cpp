#include "demo/msgridshowinfo.h"

#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/runtimeerror.h"
#include "platform/userinteraction.h"

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

/// A step that walks the recordset: a statement that fails part-way is kept in `failure` (the
/// first one), other failures are ignored like attempt() does.
template <typename Step>
bool walk(QString &failure, Step &&step)
{
    try {
        step();
        return true;
    } catch (const RuntimeError &error) {
        if (error.number() == ErrorNumber::Database && failure.isEmpty()) {
            failure = error.description();
        }
    } catch (const std::exception &) {
    }
    return false;
}

constexpr int BindLimit = 2048;
constexpr int YieldEvery = 1000;

} // namespace

QString MSGridShowInfo(FlexGrid &grid, ado::Recordset &recordset)
{
    QString failure;
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

        const auto atEnd = [&] {
            bool eof = true; // a recordset that cannot say where it stands ends the copy
            walk(failure, [&] { eof = recordset.Eof(); });
            return eof;
        };
        int row = 0;
        while (!atEnd()) {
            ++row;
            attempt([&] { grid.AddItem(QString()); });
            for (int field = 0; field < fieldCount; ++field) {
                attempt([&] {
                    const QVariant value = recordset.Fields().Item(field).Value();
                    grid.setTextMatrix(row, field + fixedCols, value.isNull() ? QString() : value.toString());
                });
            }
            if (!walk(failure, [&] { recordset.MoveNext(); })) {
                break; // it would never reach its end
            }
            if (row % YieldEvery == 0) {
                UserInteraction::instance().processEvents();
            }
        }
        attempt([&] {
            // The last append left one empty row behind.
            if (grid.Rows() > 2) {
                grid.RemoveItem(grid.Rows() - 1);
            }
        });
    }

    if (!failure.isEmpty()) {
        return failure; // the rows end at the failure: nothing to move back over
    }
    attempt([&] {
        if (!(recordset.Eof() && recordset.Bof())) {
            recordset.MoveFirst();
        }
    });
    return failure;
}

} // namespace condora
