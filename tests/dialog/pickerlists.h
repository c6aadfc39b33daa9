#pragma once

// What a value picker lists and what the engine holds, as texts to compare ("(null)" for NULL).

#include "dialog/frmgetvalue.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"

#include <QStringList>

namespace condora::test {

/// The first column of every row of `sql`, read by the test's own statement.
inline QStringList readColumn(ado::Connection &connection, const QString &sql)
{
    ado::Recordset rows;
    rows.Open(sql, connection);
    QStringList values;
    for (; !rows.Eof(); rows.MoveNext()) {
        const QVariant v = rows.Fields().Item(0).Value();
        values.append(v.isNull() ? frmGetValue::nullEntry() : v.toString());
    }
    return values;
}

/// Column `col` of every row the picker's grid lists, fetched to its end.
inline QStringList listed(FlexGrid *grid, int col = 0)
{
    grid->fetchAll();
    QStringList values;
    for (int row = 1; row < grid->Rows(); ++row) {
        values.append(grid->isNullCell(row, col) ? frmGetValue::nullEntry() : grid->TextMatrix(row, col));
    }
    return values;
}

} // namespace condora::test
