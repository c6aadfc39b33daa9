// The value picker's ordered list: a column's distinct values read in order from an index that
// leads with it, one seek per value.

#include "dialog/orderedvalues.h"

#include "dialog/cataloglookup.h"
#include "dialog/fastvaluequeries.h"

#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/runtimeerror.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

/// The walk reads this many values on PostgreSQL before one pass over the index reads the rest.
constexpr int WalkedValues = 256;

/// One part of a name as written: "x" (quotes doubled inside), [x], `x`, or a bare identifier.
struct NamePart
{
    QString name;
    bool quoted = false;
};

/// The parts of a dotted name, or nullopt when `text` is no such name.
std::optional<QList<NamePart>> nameParts(const QString &text)
{
    QList<NamePart> parts;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (true) {
        if (i >= n) {
            return std::nullopt;
        }
        NamePart part;
        const QChar open = text.at(i);
        if (open == u'"' || open == u'[' || open == u'`') {
            const QChar close = open == u'[' ? u']' : open;
            part.quoted = true;
            ++i;
            bool closed = false;
            while (i < n) {
                if (text.at(i) == close) {
                    if (close != u']' && i + 1 < n && text.at(i + 1) == close) {
                        part.name += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                part.name += text.at(i++);
            }
            if (!closed || part.name.isEmpty()) {
                return std::nullopt;
            }
        } else {
            if (!(open.isLetter() || open == u'_')) {
                return std::nullopt;
            }
            while (i < n && (text.at(i).isLetterOrNumber() || text.at(i) == u'_' || text.at(i) == u'$')) {
                part.name += text.at(i++);
            }
        }
        parts.append(part);
        if (i == n) {
            return parts;
        }
        if (text.at(i) != u'.') {
            return std::nullopt;
        }
        ++i;
    }
}

/// The host's filter as a condition to add with "and", or empty.
QString filterCondition(const ColumnInfo &column)
{
    const QString clause = column.filterClause.trimmed();
    return clause.isEmpty() ? QString() : u" and ("_s + clause.mid(6) + u')';
}

} // namespace

std::optional<TableColumn> plainTableColumn(const ColumnInfo &column)
{
    if (column.typeClass == TypeClass::LongString || !column.expression.isEmpty()) {
        return std::nullopt;
    }
    const QString clause = column.filterClause.trimmed();
    if (!clause.isEmpty() && !clause.startsWith(u"where "_s, Qt::CaseInsensitive)) {
        return std::nullopt;
    }
    const auto table = nameParts(column.tabName.trimmed());
    const auto name = nameParts(column.colExpr.trimmed());
    if (!table || !name || table->size() > 2 || name->size() > 3) {
        return std::nullopt;
    }
    const QString schema = table->size() > 1 ? table->first().name : QString();
    return TableColumn{column.tabName.trimmed(), table->last().name, schema, name->last().name, name->last().quoted};
}

bool indexLeadsWith(ado::Connection &connection, DbProduct product, const TableColumn &target,
                    std::optional<QString> *sqliteIndex)
{
    const auto table = nameParts(target.table);
    if (!table || target.column.isEmpty()) {
        return false;
    }
    return lookupOr(false, [&] {
        if (product == DbProduct::Sqlite) {
            if (table->size() != 1) {
                return false;
            }
            // Names compare as SQLite compares them: ASCII case folded. The table's INTEGER
            // PRIMARY KEY is its rowid, which has no index name; an ascending index comes first.
            const QString t = catalogLiteral(table->first().name);
            const QString c = catalogLiteral(target.column);
            const QList<QVariant> index = firstRow(
                connection,
                u"select * from (select 0 as d, '' as name from pragma_table_info("_s + t
                    + u") p where p.pk = 1 and upper(p.type) = 'INTEGER' and p.name = "_s + c
                    + u" collate nocase and (select count(*) from pragma_table_info("_s + t
                    + u") k where k.pk > 0) = 1 union all select i.\"desc\", l.name from pragma_index_list("_s + t
                    + u") l join pragma_index_xinfo(l.name) i on i.seqno = 0 where l.partial = 0 and i.coll = "
                      u"'BINARY' and i.name = "_s
                    + c + u" collate nocase) order by 1 limit 1"_s);
            if (index.isEmpty()) {
                return false;
            }
            if (sqliteIndex != nullptr) {
                *sqliteIndex = index.first().toInt() == 0 ? std::optional(index.at(1).toString()) : std::nullopt;
            }
            return true;
        }
        if (product == DbProduct::PostgreSql) {
            return hasRow(connection,
                          u"select 1 from pg_index i join pg_attribute a on a.attrelid = i.indrelid and a.attnum = "
                          u"i.indkey[0] join pg_class x on x.oid = i.indexrelid join pg_am m on m.oid = x.relam "
                          u"where i.indrelid = to_regclass("_s
                              + catalogLiteral(target.table) + u") and a.attname = "_s
                              + catalogLiteral(target.quoted ? target.column : target.column.toLower())
                              + u" and m.amname = 'btree' and i.indisvalid and i.indpred is null "
                                u"and i.indcollation[0] = a.attcollation and exists (select 1 from pg_opclass o "
                                u"where o.oid = i.indclass[0] and o.opcdefault)"_s);
        }
        return false;
    });
}

double rowsPerValue(ado::Connection &connection, DbProduct product, const TableColumn &target)
{
    const auto table = nameParts(target.table);
    if (!table || target.column.isEmpty()) {
        return 0;
    }
    if (product == DbProduct::PostgreSql) {
        return lookupOr(0.0, [&] {
            const QList<QVariant> stat = firstRow(connection, u"select case when st.n_distinct < 0 then -1 / "
                                                              u"st.n_distinct when st.n_distinct > 0 then "
                                                              u"greatest(c.reltuples, 0) / st.n_distinct end from "_s
                                                                  + statisticsOf(target));
            return stat.isEmpty() ? 0.0 : stat.first().toDouble();
        });
    }
    if (product != DbProduct::Sqlite || table->size() != 1) {
        return 0;
    }
    // ANALYZE's figures for an index the column leads: its rows, then the rows per value (none
    // before the first ANALYZE, which makes sqlite_stat1).
    return lookupOr(0.0, [&] {
        const QString t = catalogLiteral(table->first().name);
        const QList<QVariant> stat =
            firstRow(connection, u"select s.stat from sqlite_stat1 s where s.tbl = "_s + t
                                     + u" collate nocase and s.idx in (select l.name from pragma_index_list("_s + t
                                     + u") l where (select i.name from pragma_index_xinfo(l.name) i where i.seqno = 0) = "_s
                                     + catalogLiteral(target.column) + u" collate nocase)"_s);
        return stat.isEmpty() ? 0.0 : stat.first().toString().section(u' ', 1, 1).toDouble();
    });
}

QString orderedValuesSql(const ColumnInfo &column, DbProduct product, bool walk, const QString &sqliteIndex)
{
    const QString c = column.colExpr.trimmed();
    const QString t = column.tabName.trimmed();
    if (product == DbProduct::Sqlite && !walk) {
        // SQLite reads one pass over the index it is told to use in the index's order, and takes
        // each value once as it comes (its DISTINCT compares each entry with the one before), so
        // that the first values come at once. A table's rowid is read in its own order.
        const QString index = sqliteIndex.isEmpty()
                                  ? u"not indexed"_s
                                  : u"indexed by \""_s + QString(sqliteIndex).replace(u"\""_s, u"\"\""_s) + u'"';
        const QString clause = column.filterClause.trimmed();
        return u"select distinct "_s + c + u" from "_s + t + u' ' + index
               + (clause.isEmpty() ? QString() : u" where ("_s + clause.mid(6) + u')');
    }
    const QString filter = filterCondition(column);
    const auto textOf = [&](const QString &v) {
        if (product == DbProduct::PostgreSql
            && (column.typeCode == ado::adDBTimeStamp || column.typeCode == ado::adDBTime)) {
            return u"cast("_s + v + u" as text)"_s;
        }
        return v;
    };
    const QString title = u'"' + QString(column.colName).replace(u"\""_s, u"\"\""_s) + u'"';
    // Each step seeks the smallest value above the last one (within the filter); the walk ends
    // when there is none, or (unless `walk`) after its first values, when one ordered DISTINCT
    // above the last of them reads the rest from the index. NULL is no value of the walk: it is
    // listed first when a row holds it.
    const QString limit = walk ? QString() : u" and condora_next.n < "_s + QString::number(WalkedValues);
    QString sql = u"with recursive condora_next(v, n) as (select condora_first.v, 1 from (select "_s + c
                  + u" as v from "_s + t + u" where "_s + c + u" is not null"_s + filter + u" order by "_s + c
                  + u" limit 1) condora_first union all select (select "_s + c + u" from "_s + t + u" where "_s + c
                  + u" > condora_next.v"_s + filter + u" order by "_s + c
                  + u" limit 1), condora_next.n + 1 from condora_next where condora_next.v is not null"_s + limit
                  + u") select null as "_s + title + u" where exists (select 1 from "_s + t + u" where "_s + c
                  + u" is null"_s + filter + u") union all select "_s + textOf(u"condora_next.v"_s)
                  + u" from condora_next where condora_next.v is not null"_s;
    if (!walk) {
        sql += u" union all select "_s + textOf(u"condora_rest.v"_s) + u" from (select distinct "_s + c + u" as v from "_s
               + t + u" where "_s + c + u" > (select max(condora_next.v) from condora_next)"_s + filter
               + u" order by 1) condora_rest"_s;
    }
    return sql;
}

} // namespace condora
