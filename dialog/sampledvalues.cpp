// The value picker's first list where no index leads with the column: the values of a sample of
// the table's rows, shown while the exact list is made.

#include "dialog/sampledvalues.h"

#include "dialog/cataloglookup.h"

#include "analysis/sqlscanner.h"
#include "dialog/orderedvalues.h"
#include "dialog/frmgetvalue.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/runtimeerror.h"

#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

/// SQLite's rowid is read in this many ranges, spread over the table.
constexpr int SqliteRanges = 8;

std::optional<ColumnInfo> postgresSample(ado::Connection &connection, const ColumnInfo &column, const TableColumn &target)
{
    const QList<QVariant> size =
        firstRow(connection, u"select c.reltuples, pg_relation_size(c.oid) / current_setting('block_size')::int "
                             u"from pg_class c where c.oid = to_regclass("_s
                                 + catalogLiteral(target.table) + u") and c.relkind in ('r', 'm')"_s);
    if (size.size() < 2) {
        return std::nullopt;
    }
    // A table never analysed has no estimate (-1): its pages stand in, at a guess per page.
    double rows = size.at(0).toDouble();
    if (rows < 0) {
        rows = size.at(1).toDouble() * 50;
    }
    if (rows < 2.0 * SampleRows) {
        return std::nullopt;
    }
    const double percent = std::max(100.0 * SampleRows / rows, 1e-6);
    ColumnInfo sampled = column;
    sampled.tabName = column.tabName.trimmed() + u" tablesample system ("_s + QString::number(percent, 'f', 6) + u')';
    return sampled;
}

std::optional<ColumnInfo> sqliteSample(ado::Connection &connection, const ColumnInfo &column, const TableColumn &target)
{
    if (!target.schema.isEmpty()) {
        return std::nullopt;
    }
    QString condition;
    const QString clause = column.filterClause.trimmed();
    if (!clause.isEmpty()) {
        // The filter goes beside the sample's own condition: it must stand as one condition.
        condition = clause.mid(6).trimmed();
        if (!closesAtTopLevel(condition)) {
            return std::nullopt;
        }
    }
    const QString name = catalogLiteral(target.tableName);
    const QList<QVariant> kind = firstRow(connection, u"select type, wr from pragma_table_list("_s + name + u')');
    if (kind.size() < 2 || kind.at(0).toString() != u"table"_s || kind.at(1).toInt() != 0) {
        return std::nullopt;
    }
    // The rowid by a name no column takes.
    QString rowid;
    for (const QString &candidate : {u"rowid"_s, u"_rowid_"_s, u"oid"_s}) {
        if (firstRow(connection, u"select 1 from pragma_table_info("_s + name + u") where name = "_s
                                     + catalogLiteral(candidate) + u" collate nocase"_s)
                .isEmpty()) {
            rowid = candidate;
            break;
        }
    }
    if (rowid.isEmpty()) {
        return std::nullopt;
    }
    const QList<QVariant> span =
        // Each on its own: SQLite reads one end of the rowids only for a lone min() or max().
        firstRow(connection, u"select (select min("_s + rowid + u") from "_s + target.table
                                 + u"), (select max("_s + rowid + u") from "_s + target.table + u")"_s);
    if (span.size() < 2 || span.at(0).isNull()) {
        return std::nullopt;
    }
    const qint64 low = span.at(0).toLongLong();
    const qint64 high = span.at(1).toLongLong();
    if (high - low < 2 * qint64(SampleRows)) {
        return std::nullopt;
    }
    // Ranges of the same width, the first at the lowest rowid, the last ending at the highest.
    const qint64 width = SampleRows / SqliteRanges;
    QStringList ranges;
    for (int i = 0; i < SqliteRanges; ++i) {
        const qint64 start = low + (high - low - width) / (SqliteRanges - 1) * i;
        ranges.append(u"%1 between %2 and %3"_s.arg(rowid).arg(start).arg(start + width));
    }
    ColumnInfo sampled = column;
    sampled.filterClause = u" where ("_s + ranges.join(u" or "_s) + u')'
                           + (condition.isEmpty() ? QString() : u" and ("_s + condition + u')');
    return sampled;
}

} // namespace

std::optional<ColumnInfo> sampledColumn(ado::Connection &connection, DbProduct product, const ColumnInfo &column)
{
    const auto target = plainTableColumn(column);
    if (!target) {
        return std::nullopt;
    }
    return lookupOr(std::optional<ColumnInfo>(), [&]() -> std::optional<ColumnInfo> {
        if (product == DbProduct::PostgreSql) {
            return postgresSample(connection, column, *target);
        }
        if (product == DbProduct::Sqlite) {
            return sqliteSample(connection, column, *target);
        }
        return std::nullopt;
    });
}

} // namespace condora
