#include "condition/conditionrow.h"

#include "platform/runtimeerror.h"
#include "platform/textfunctions.h"

namespace condora {

bool ConditionRow::isUsed() const
{
    return !text::trim(column).isEmpty() && !text::trim(op).isEmpty();
}

QString ConditionRow::cell(int col) const
{
    switch (col) {
    case ConditionCol::OpenBracket:
        return open;
    case ConditionCol::Column:
        return column;
    case ConditionCol::Operator:
        return op;
    case ConditionCol::Value:
        return value;
    case ConditionCol::CloseBracket:
        return close;
    case ConditionCol::Logical:
        return logical;
    case ConditionCol::ColIndex:
        return colIndex;
    default:
        return QString();
    }
}

void ConditionRow::setCell(int col, const QString &text)
{
    switch (col) {
    case ConditionCol::OpenBracket:
        open = text;
        break;
    case ConditionCol::Column:
        column = text;
        break;
    case ConditionCol::Operator:
        op = text;
        break;
    case ConditionCol::Value:
        value = text;
        break;
    case ConditionCol::CloseBracket:
        close = text;
        break;
    case ConditionCol::Logical:
        logical = text;
        break;
    case ConditionCol::ColIndex:
        colIndex = text;
        break;
    default:
        break;
    }
}

const ColumnInfo &catalogEntryFor(const FieldCatalog &catalog, const QString &colIndexCell)
{
    const QString digits = text::trim(colIndexCell);
    bool ok = false;
    const int position = digits.toInt(&ok, 10);
    if (!ok) {
        throw RuntimeError::typeMismatch(QStringLiteral("column index \"%1\"").arg(colIndexCell));
    }
    if (position < 1 || position >= catalog.size()) {
        throw RuntimeError::subscriptOutOfRange(QStringLiteral("column index %1").arg(position));
    }
    return catalog.at(position);
}

} // namespace condora
