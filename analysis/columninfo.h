#pragma once

#include "analysis/typeclass.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace condora {

/// One result column of the base statement, as the analysis found it.
struct ColumnInfo
{
    QString colExpr;      ///< the column as written in the select list, without qualifier and alias
    /// The whole expression as written in the select list (without its alias) when the column
    /// is not a plain column reference, such as "e.salary * 2"; empty for a plain column.
    /// Conditions on such a column filter on the whole expression.
    QString expression;
    QString colName;      ///< the result column's name as the database reports it, trimmed
    QString tabName;      ///< the table the column belongs to (empty when unbound)
    QString tabAlias;     ///< the written qualifier, or the alias of the table found by the binding
    int typeCode = 0;     ///< the data type number the database reported (0 before it was read)
    TypeClass typeClass = TypeClass::None;
    QString filterClause; ///< " where <condition>" for the host's filter, or empty
    bool usable = true;   ///< false when the column cannot be used in a condition (class Other)
    QStringList valueList;

    bool operator==(const ColumnInfo &) const = default;

    /// What a condition on this column compares: the bracketed expression for an expression
    /// column, otherwise tabAlias.colExpr.
    QString conditionOperand() const
    {
        return expression.isEmpty() ? tabAlias + u'.' + colExpr : u'(' + expression + u')';
    }
};

/// One table of the from clause.
struct TableRef
{
    QString tabName;  ///< as written, brackets kept
    QString tabAlias; ///< the alias, or the table name when none is written

    bool operator==(const TableRef &) const = default;
};

/// Position 0 exists and stays empty; entries are 1..size()-1.
using FieldCatalog = QList<ColumnInfo>;
using TableList = QList<TableRef>;

} // namespace condora
