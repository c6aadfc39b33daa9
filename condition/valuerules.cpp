#include "condition/valuerules.h"

#include "platform/ado/recordset.h"

namespace condora {

QString escapedLiteral(const QString &value, const EscapeRules &escapes)
{
    QString literal = value;
    if (escapes.backslashEscapes) {
        literal.replace(u'\\', QStringLiteral("\\\\"));
    }
    return literal.replace(u'\'', QStringLiteral("''"));
}

ValueRules valueRulesFor(const ColumnInfo &column, const QueryRun &run)
{
    ValueRules rules;
    rules.quotedMoney = run.product == DbProduct::PostgreSql && column.typeCode == ado::adCurrency;
    rules.dateOffsets = run.dbKind != DbKind::Oracle && run.dbKind != DbKind::Access;
    rules.sqliteDateFunctions = run.product == DbProduct::Sqlite && column.typeClass == TypeClass::Date;
    if (column.typeCode == ado::adDBDate) {
        rules.sqliteDateFunction = "date";
    }
    return rules;
}

} // namespace condora
