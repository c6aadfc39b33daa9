#pragma once

#include "analysis/columninfo.h"
#include "condition/conditionrow.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <memory>

namespace condora::test {

/// A catalog entry; the type class given as its text ("number", "date", ...).
ColumnInfo catalogColumn(const QString &tabAlias, const QString &colExpr, const QString &typeClass);
/// A field catalog with `columns` at positions 1.. (position 0 stays empty).
FieldCatalog catalogOf(const QList<ColumnInfo> &columns);

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

Q_DECLARE_METATYPE(QList<condora::ConditionRow>)
