#include "condition/conditionrows.h"

#include "analysis/analysisstate.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/runtimeerror.h"
#include "platform/textfunctions.h"

namespace condora {

bool isUsedConditionRow(const FlexGrid &grid, int row)
{
    return !text::trim(grid.TextMatrix(row, ConditionCol::Column)).isEmpty()
        && !text::trim(grid.TextMatrix(row, ConditionCol::Operator)).isEmpty();
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
