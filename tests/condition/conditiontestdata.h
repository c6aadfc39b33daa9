#pragma once

#include "analysis/analysisstate.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <memory>

namespace condora {
class FlexGrid;
}

namespace condora::test {

/// One condition row as the dialog writes it: "(", Column, Operator, Value, ")", Logical, colIndex.
struct ConditionRow
{
    QString open;
    QString column;
    QString op;
    QString value;
    QString close;
    QString logical;
    QString colIndex;

    bool operator==(const ConditionRow &) const = default;
};

/// The header the query dialog gives its condition grid.
QString conditionGridFormat();

/// A condition grid (header row plus one data row per entry) as the query dialog sets it up.
std::unique_ptr<FlexGrid> makeConditionGrid(const QList<ConditionRow> &rows);
/// The data rows of a condition grid, read back.
QList<ConditionRow> readConditionGrid(const FlexGrid &grid);

ColumnInfo catalogColumn(const QString &tabAlias, const QString &colExpr, const QString &typeClass);
/// Makes `columns` the field catalog at positions 1.. (position 0 stays empty).
void setCatalog(const QList<ColumnInfo> &columns);

/// One row of the composer's table of single-row texts: a type class, an operator word as the
/// dialog writes it, a database kind, the value typed, and the text the row must contribute
/// with {Q} standing for the qualified column.
struct SingleRowCase
{
    QString name;
    QString typeClass;
    QString op;
    QString kind;
    QString value;
    QString expected;
};

/// Every type class x offered operator x database kind ("1", "2", "3", "99").
QList<SingleRowCase> singleRowCases();

} // namespace condora::test

Q_DECLARE_METATYPE(QList<condora::test::ConditionRow>)
