// The value picker's statements: the plain list, the narrowed list and the counts per value.

#include "dialog/valuesearch.h"

#include "platform/ado/runconnection.h"

#include "analysis/statementtools.h"
#include "condition/valuerules.h"
#include "dialog/frmgetvalue.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"

#include <QSqlDriver>

#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

/// The expression whose values are listed, and where from.
struct ListedValue
{
    QString select; // "select " or "select distinct "
    QString value;
    QString source; // table or from clause
};

ListedValue listedValue(const ColumnInfo &column, const QString &fromClause, DbProduct product)
{
    ListedValue listed;
    listed.select = column.typeClass == TypeClass::LongString ? u"select "_s : u"select distinct "_s;
    const bool expression = !column.expression.isEmpty() && !fromClause.isEmpty();
    listed.value = expression ? column.expression : column.colExpr;
    // PostgreSQL prints times to the microsecond and with the session's time zone, while Qt's
    // driver reads them to the millisecond: the server's own text is the value that, picked,
    // finds its rows again.
    if (product == DbProduct::PostgreSql
        && (column.typeCode == ado::adDBTimeStamp || column.typeCode == ado::adDBTime)) {
        listed.value = u"cast("_s + listed.value + u" as text)"_s;
    }
    listed.source = expression ? fromClause : column.tabName;
    return listed;
}

/// The value of the column `name` of the derived table `alias` as the listed value reads it.
QString sameForm(const ColumnInfo &column, const QString &alias, const QString &name, DbProduct product)
{
    const QString value = alias + u'.' + name;
    if (product == DbProduct::PostgreSql
        && (column.typeCode == ado::adDBTimeStamp || column.typeCode == ado::adDBTime)) {
        return u"cast("_s + value + u" as text)"_s;
    }
    return value;
}

QString quoted(const QString &text, const EscapeRules &escapes)
{
    return u'\'' + escapedLiteral(text, escapes) + u'\'';
}

void foldFunction(sqlite3_context *context, int, sqlite3_value **arguments)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(arguments[0]));
    if (text == nullptr) {
        sqlite3_result_null(context);
        return;
    }
    const QByteArray folded = QString::fromUtf8(text, sqlite3_value_bytes(arguments[0])).toCaseFolded().toUtf8();
    sqlite3_result_text(context, folded.constData(), int(folded.size()), SQLITE_TRANSIENT);
}

} // namespace

QString valueListSql(const ColumnInfo &column, const QString &fromClause, DbProduct product)
{
    const ListedValue listed = listedValue(column, fromClause, product);
    return listed.select + listed.value + u" from "_s + listed.source + u" "_s + column.filterClause;
}

ValueSearchMethod valueSearchMethod(const QueryRun &run, const ado::Connection &connection)
{
    if (connection.driverName() == u"QSQLITE"_s) {
        return ValueSearchMethod::SqliteFold;
    }
    if (run.product == DbProduct::PostgreSql) {
        return ValueSearchMethod::PostgresLower;
    }
    return run.dbKind == DbKind::Access ? ValueSearchMethod::AccessLike : ValueSearchMethod::LikeEscape;
}

QString valueSearchCondition(const QString &operand, const QString &search, const QueryRun &run,
                             ValueSearchMethod method)
{
    switch (method) {
    case ValueSearchMethod::SqliteFold:
        return u"instr(condora_fold("_s + operand + u"), "_s + quoted(search.toCaseFolded(), run.escapes)
               + u") > 0"_s;
    case ValueSearchMethod::PostgresLower:
        return u"strpos(lower(cast("_s + operand + u" as text)), lower("_s + quoted(search, run.escapes)
               + u")) > 0"_s;
    case ValueSearchMethod::AccessLike:
        return u"lcase("_s + operand + u") like lcase("_s
               + quoted(u'%' + literalLikePattern(search, run) + u'%', run.escapes) + u')';
    case ValueSearchMethod::LikeEscape:
        break;
    }
    return u"lower("_s + operand + u") like lower("_s + quoted(u'%' + literalLikePattern(search, run) + u'%', run.escapes)
           + u")"_s + likeEscapeClause(run);
}

QString valueQuerySql(const ColumnInfo &column, const QString &fromClause, const QueryRun &run,
                      ValueSearchMethod method, const ValueListRequest &request)
{
    if (request.search.isEmpty() && !request.counts && request.narrowing.isEmpty()) {
        return valueListSql(column, fromClause, run.product);
    }
    const ListedValue listed = listedValue(column, fromClause, run.product);
    // The derived table keeps the host's filter whole (an OR in it stays inside) and gives the
    // value one name for the search, the grouping and an expression column alike.
    const QString rows = u"(select "_s + listed.value + u" as v from "_s + listed.source + u" "_s
                         + column.filterClause + u") q"_s;
    QStringList conditions;
    if (!request.search.isEmpty()) {
        if (request.trigram && method == ValueSearchMethod::PostgresLower) {
            conditions.append(u"q.v ilike "_s + quoted(u'%' + literalLikePattern(request.search, run) + u'%', run.escapes)
                              + likeEscapeClause(run));
        }
        conditions.append(valueSearchCondition(u"q.v"_s, request.search, run, method));
    }
    if (!request.narrowing.isEmpty()) {
        const QString narrowed = u"(\n"_s + request.narrowing + u"\n)"_s;
        // The narrowed rows' values in the form the list reads them (a timestamp as the server's
        // text on PostgreSQL), else the two would not compare.
        conditions.append(u"(q.v in (select "_s + sameForm(column, u"n"_s, request.narrowingColumn, run.product)
                          + u" from "_s + narrowed
                          + u" n) or (q.v is null and exists (select 1 from "_s + narrowed + u" m where m."_s
                          + request.narrowingColumn + u" is null)))"_s);
    }
    const QString where = conditions.isEmpty() ? QString() : u" where "_s + conditions.join(u" and "_s);
    if (request.counts && !request.countSource.isEmpty()) {
        // Each listed value once, with the number of the statement's rows that hold it.
        const DerivedRows counted = derivedRows(request.countSource);
        const QString value = sameForm(column, u"b"_s, request.countColumn, run.product);
        const QString distinctRows = u"(select distinct "_s + listed.value + u" as v from "_s + listed.source + u" "_s
                                     + column.filterClause + u") q"_s;
        // An equality join (hashed or indexed by the engine); the NULL value's rows are counted
        // on their own, once, and only when NULL is listed.
        const QString source = u"("_s + counted.query + u"\n) b"_s;
        return counted.with + u"select q.v, case when q.v is null then (select count(*) from "_s + source + u" where "_s
               + value + u" is null) else coalesce(c.n, 0) end from "_s + distinctRows + u" left join (select "_s
               + value + u" as v, count(*) as n from "_s + source + u" where "_s + value + u" is not null group by "_s
               + value + u") c on c.v = q.v"_s + where;
    }
    if (request.counts) {
        return u"select q.v, count(*) from "_s + rows + where + u" group by q.v"_s;
    }
    return listed.select + u"q.v from "_s + rows + where;
}

bool registerSqliteFold(ado::Connection &connection)
{
    // Registering again replaces the function with the same one.
    return ado::withSqliteHandle(connection, [](sqlite3 *db) {
        return sqlite3_create_function_v2(db, "condora_fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                          foldFunction, nullptr, nullptr, nullptr)
               == SQLITE_OK;
    });
}

} // namespace condora
