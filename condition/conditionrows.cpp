#include "condition/conditionrows.h"

#include "analysis/analysisstate.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/runtimeerror.h"
#include "platform/textfunctions.h"

namespace condora {

bool isUsedCondition(const QString &column, const QString &op)
{
    return !text::trim(column).isEmpty() && !text::trim(op).isEmpty();
}

bool isUsedConditionRow(const FlexGrid &grid, int row)
{
    return isUsedCondition(grid.TextMatrix(row, ConditionCol::Column), grid.TextMatrix(row, ConditionCol::Operator));
}

const ColumnInfo &catalogEntryFor(const QString &colIndexCell)
{
    const QString digits = text::trim(colIndexCell);
    bool ok = false;
    const int position = digits.toInt(&ok, 10);
    if (!ok) {
        throw RuntimeError::typeMismatch(QStringLiteral("column index \"%1\"").arg(colIndexCell));
    }
    const FieldCatalog &catalog = analysisState().fieldCatalog;
    if (position < 1 || position >= catalog.size()) {
        throw RuntimeError::subscriptOutOfRange(QStringLiteral("column index %1").arg(position));
    }
    return catalog.at(position);
}

} // namespace condora
