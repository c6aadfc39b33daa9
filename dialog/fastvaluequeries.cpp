// The value picker's statements for a search and for the counts on a huge table: the search
// walks the index value by value, or lets a trigram index find the candidates; the counts are
// one grouping over the table.

#include "dialog/fastvaluequeries.h"

#include "analysis/derivedfilter.h"
#include "analysis/statementsplitter.h"
#include "analysis/statementtools.h"
#include "condition/valuerules.h"
#include "dialog/cataloglookup.h"
#include "dialog/orderedvalues.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/runtimeerror.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

/// The host's filter as a condition of its own, or empty.
QString filterOf(const ColumnInfo &column)
{
    const QString clause = column.filterClause.trimmed();
    return clause.isEmpty() ? QString() : u'(' + clause.mid(6) + u')';
}

/// `operand` as the picker lists the column's values (PostgreSQL times as the server's text).
QString listedForm(const ColumnInfo &column, DbProduct product, const QString &operand)
{
    if (product == DbProduct::PostgreSql
        && (column.typeCode == ado::adDBTimeStamp || column.typeCode == ado::adDBTime)) {
        return u"cast("_s + operand + u" as text)"_s;
    }
    return operand;
}

/// One walk of the index as a recursive WITH query `name`(v): from the first value that meets
/// `bound` (empty: any) to the last that does, each step a seek for the next value above the
/// last one, within the host's filter.
QString walk(const QString &name, const ColumnInfo &column, const QString &first, const QString &step)
{
    const QString c = column.colExpr.trimmed();
    const QString t = column.tabName.trimmed();
    const QString filter = filterOf(column);
    const QString within = filter.isEmpty() ? QString() : u" and "_s + filter;
    return name + u"(v) as (select f.v from (select "_s + c + u" as v from "_s + t + u" where "_s + c
           + u" is not null"_s + first + within + u" order by "_s + c + u" limit 1) f union all select (select "_s + c
           + u" from "_s + t + u" where "_s + c + u" > "_s + name + u".v"_s + step + within + u" order by "_s + c
           + u" limit 1) from "_s + name + u" where "_s + name + u".v is not null)"_s;
}


} // namespace

QString orderedSearchSql(const ColumnInfo &column, const QueryRun &run, ValueSearchMethod method,
                         const QString &search)
{
    const QString c = column.colExpr.trimmed();
    const auto matching = [&](const QString &name) {
        const QString v = name + u".v"_s;
        return u"select "_s + listedForm(column, run.product, v) + u" from "_s + name + u" where "_s + v
               + u" is not null and "_s + valueSearchCondition(listedForm(column, run.product, v), search, run, method);
    };
    if (column.typeClass != TypeClass::String) {
        return u"with recursive "_s + walk(u"condora_all"_s, column, QString(), QString()) + u' '
               + matching(u"condora_all"_s);
    }
    // The values from the typed text on first (those that begin with it among them), then those
    // below it: every value once, as one walk would list them.
    const QString start = u'\'' + escapedLiteral(search, run.escapes) + u'\'';
    return u"with recursive "_s + walk(u"condora_from"_s, column, u" and "_s + c + u" >= "_s + start, QString())
           + u", "_s + walk(u"condora_below"_s, column, u" and "_s + c + u" < "_s + start, u" and "_s + c + u" < "_s + start)
           + u' ' + matching(u"condora_from"_s) + u" union all "_s + matching(u"condora_below"_s);
}

bool trigramIndexOn(ado::Connection &connection, const TableColumn &target)
{
    return lookupOr(false, [&] {
        return hasRow(connection,
                      u"select 1 from pg_index i join pg_class x on x.oid = i.indexrelid join pg_am m on m.oid = "
                      u"x.relam cross join lateral unnest(i.indkey::int2[], i.indclass::oid[]) k(attnum, opclass) "
                      u"join pg_attribute a on a.attrelid = i.indrelid and a.attnum = k.attnum join pg_opclass o on "
                      u"o.oid = k.opclass where i.indrelid = to_regclass("_s
                          + catalogLiteral(target.table) + u") and a.attname = "_s
                          + catalogLiteral(target.quoted ? target.column : target.column.toLower())
                          + u" and m.amname in ('gin', 'gist') and o.opcname in ('gin_trgm_ops', 'gist_trgm_ops') "
                            u"and i.indisvalid and i.indpred is null and a.attcollation = (select c.oid from "
                            u"pg_collation c where c.collname = 'default' and c.collnamespace = "
                            u"'pg_catalog'::regnamespace)"_s);
    });
}

bool countsTableRows(const QueryRun &run, const ColumnInfo &column)
{
    const auto target = plainTableColumn(column);
    if (!target || !withClause(run.baseSql).isEmpty() || !combiningKeyword(run.baseSql).isEmpty()) {
        return false;
    }
    // A computed column (an aggregate, a function returning rows) could make the statement's
    // rows other than the table's.
    for (qsizetype i = 1; i < run.fieldCatalog.size(); ++i) {
        const ColumnInfo &other = run.fieldCatalog.at(i);
        if (!other.expression.isEmpty() || isComputedAfterWhere(other)) {
            return false;
        }
    }
    StatementPieces pieces;
    try {
        pieces = cutStatement(run.baseSql);
    } catch (const RuntimeError &) {
        return false;
    }
    const QString select = pieces.selectList.simplified();
    for (const QString &word : {u"distinct"_s, u"all"_s, u"top"_s, u"unique"_s}) {
        if (select.startsWith(word + u' ', Qt::CaseInsensitive)) {
            return false;
        }
    }
    // Nothing after the FROM clause (no WHERE, grouping, order or row cap).
    const QString whole = u"select "_s + pieces.selectList + u" from "_s + pieces.fromClause;
    if (run.baseSql.simplified().compare(whole.simplified(), Qt::CaseInsensitive) != 0) {
        return false;
    }
    // The one table, perhaps with an alias.
    const QStringList from = pieces.fromClause.simplified().split(u' ');
    if (from.first() != target->table) {
        return false;
    }
    const auto isName = [](const QString &word) {
        static const QStringList keywords{u"join"_s, u"inner"_s, u"left"_s, u"right"_s, u"full"_s, u"cross"_s,
                                          u"natural"_s, u"tablesample"_s, u"only"_s, u"lateral"_s};
        return !word.isEmpty() && (word.at(0).isLetter() || word.at(0) == u'_' || word.at(0) == u'"')
               && !word.contains(u',') && !word.contains(u'(') && !keywords.contains(word.toLower());
    };
    return from.size() == 1 || (from.size() == 2 && isName(from.at(1)))
           || (from.size() == 3 && from.at(1).compare(u"as"_s, Qt::CaseInsensitive) == 0 && isName(from.at(2)));
}

QString tableCountsSql(const ColumnInfo &column, const QueryRun &run, ValueSearchMethod method,
                       const QString &search)
{
    const QString c = column.colExpr.trimmed();
    const QString value = listedForm(column, run.product, c);
    const QString filter = filterOf(column);
    const bool postgres = run.product == DbProduct::PostgreSql;
    QString sql = u"select "_s + (postgres ? value + u" as v, count(*) as n"_s : value + u", count(*)"_s)
                  + u" from "_s + column.tabName.trimmed();
    if (!search.isEmpty()) {
        sql += u" where "_s + valueSearchCondition(value, search, run, method);
    }
    sql += u" group by "_s + c;
    if (!filter.isEmpty()) {
        // A value is listed when a row within the filter holds it; all its rows are counted.
        sql += u" having count(case when "_s + filter + u" then 1 end) > 0"_s;
    }
    if (postgres) {
        return u"with condora_counts as materialized ("_s + sql + u") select v, n from condora_counts"_s;
    }
    return sql;
}

QString statisticsOf(const TableColumn &target)
{
    return u"pg_stats st join pg_class c on c.relname = st.tablename join pg_namespace n on n.oid = c.relnamespace "
           u"and n.nspname = st.schemaname where c.oid = to_regclass("_s
           + catalogLiteral(target.table) + u") and st.attname = "_s
           + catalogLiteral(target.quoted ? target.column : target.column.toLower()) + u" and not st.inherited"_s;
}

bool hasStatistics(ado::Connection &connection, const TableColumn &target)
{
    return lookupOr(false, [&] { return hasRow(connection, u"select 1 from "_s + statisticsOf(target)); });
}

QString estimatedCountsSql(const TableColumn &target, const QString &valuesSql)
{
    // The values compare with the most common ones as the server prints both.
    const QString stats =
        u"select st.null_frac as nulls, st.most_common_vals::text::text[] as mcv, st.most_common_freqs as freqs, "
        u"coalesce((select sum(f) from unnest(st.most_common_freqs) f), 0) as common, "
        u"coalesce(array_length(st.most_common_freqs, 1), 0) as commons, greatest(c.reltuples, 0) as total, "
        u"case when st.n_distinct >= 0 then st.n_distinct else -st.n_distinct * greatest(c.reltuples, 0) end "
        u"as distincts from "_s
        + statisticsOf(target);
    const QString share = u"case when e.v is null then s.nulls when array_position(s.mcv, e.v::text) is not null "
                          u"then s.freqs[array_position(s.mcv, e.v::text)] else greatest(1 - s.nulls - s.common, 0) "
                          u"/ greatest(s.distincts - s.commons, 1) end"_s;
    return u"select e.v, '~' || coalesce(greatest(round(("_s + share
           + u") * s.total), 1)::bigint::text, '?') from ("_s + valuesSql + u") e(v) left join ("_s + stats
           + u") s on true"_s;
}

} // namespace condora
