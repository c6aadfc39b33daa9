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

QString literalLikePattern(const QString &text, const QueryRun &run)
{
    QString pattern;
    pattern.reserve(text.size());
    for (const QChar c : text) {
        if (run.dbKind == DbKind::Access) {
            if (c == u'%' || c == u'_' || c == u'[' || c == u'*' || c == u'?' || c == u'#') {
                pattern += u'[' + c + u']';
                continue;
            }
        } else if (c == u'\\' || c == u'%' || c == u'_' || (c == u'[' && run.dbKind == DbKind::SqlServer)) {
            // Oracle refuses an escape before any character but %, _ and the escape itself.
            pattern += u'\\';
        }
        pattern += c;
    }
    return pattern;
}

QString likeEscapeClause(const QueryRun &run)
{
    if (run.dbKind == DbKind::Access) {
        return QString();
    }
    return QStringLiteral(" escape '") + escapedLiteral(QStringLiteral("\\"), run.escapes) + u'\'';
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
