#include "analysis/tableresolution.h"

#include "analysis/catalogaccess.h"
#include "analysis/errorreport.h"
#include "analysis/sqlscanner.h"
#include "analysis/statementtools.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/runtimeerror.h"
#include "platform/textfunctions.h"

using namespace Qt::StringLiterals;

namespace condora {

using detail::at;

bool parseSelectList(const QString &selectList, FieldCatalog &catalog)
{
    try {
        QStringList items;
        const int n = splitSqlList(items, selectList);
        for (int i = 1; i <= n; ++i) {
            // An item beyond the last result column addresses a catalog entry that does not exist.
            ColumnInfo &column = at(catalog, i);
            QString item = text::trim(singleSpaced(at(items, i)));

            const int dot = text::find(item, u"."_s);
            if (dot > 0) {
                column.tabAlias = text::left(item, dot - 1);
                item = text::mid(item, dot + 1);
            }

            if (item.size() == column.colName.size()) {
                column.colExpr = item;
            } else if (text::find(item, u" as "_s) > 0) {
                column.colExpr = text::left(item, text::find(item, u" "_s) - 1);
            } else if (text::find(item, u" "_s) > 0) {
                // The trailing alias and the space before it are cut off by the name's length.
                const int l = int(item.size());
                const int k = int(column.colName.size());
                column.colExpr = text::left(item, l - k - 1);
            } else {
                column.colExpr = item;
            }

            column.valueList = QStringList{QString()};
        }
    } catch (...) {
        showCurrentError(unrecognisedSqlContext());
        return false;
    }
    return true;
}

namespace {

const QStringList &joinKeywords()
{
    static const QStringList keywords{u"inner join"_s, u"left join"_s,  u"left outer join"_s, u"right join"_s,
                                      u"right outer join"_s, u"full join"_s, u"full outer join"_s};
    return keywords;
}

// Quoted table names ([Order Details], "Order Details") keep their spaces: the closing
// character ends the name.
QChar closingQuote(const QString &item)
{
    const QString first = text::left(item, 1);
    if (first == u"["_s) {
        return u']';
    }
    if (first == u"\""_s) {
        return u'"';
    }
    return QChar();
}

struct Span
{
    qsizetype start;
    qsizetype end;
};

// The items of a from clause: the pieces between its top-level commas and CROSS JOINs. A piece
// before a comma is kept as written; around CROSS JOIN the white space and comments go.
QList<Span> fromItems(const SqlScanner &scanner)
{
    const QStringList crossJoin{u"cross join"_s};
    const QList<qsizetype> commas = scanner.findSymbols(u',');
    auto comma = commas.cbegin();
    SqlScanner::Match cross = scanner.findKeyword(crossJoin);
    QList<Span> items;
    qsizetype start = 0;
    for (;;) {
        if (cross.found() && (comma == commas.cend() || cross.start < *comma)) {
            items.append({start, scanner.codeEndBefore(cross.start, start)});
            start = scanner.codeStartFrom(cross.end);
            cross = scanner.findKeyword(crossJoin, cross.end);
        } else if (comma != commas.cend()) {
            items.append({start, *comma});
            start = *comma + 1;
            ++comma;
        } else {
            items.append({start, scanner.text().size()});
            return items;
        }
    }
}

} // namespace

QString flattenJoins(const QString &fromClause)
{
    try {
        const SqlScanner scanner(fromClause);
        const auto piece = [&](qsizetype start, qsizetype end) {
            return singleSpaced(fromClause.mid(start, end - start));
        };
        QString result;
        for (const Span &item : fromItems(scanner)) {
            SqlScanner::Match join = scanner.findKeyword(joinKeywords(), item.start, item.end);
            QString part;
            if (!join.found()) {
                part = piece(item.start, item.end);
            } else {
                const qsizetype first = scanner.codeStartFrom(item.start);
                part = piece(first, scanner.codeEndBefore(join.start, first));
            }
            while (join.found()) {
                // The joined table ends at its ON, which comes before the next join.
                const SqlScanner::Match next = scanner.findKeyword(joinKeywords(), join.end, item.end);
                const SqlScanner::Match on =
                    scanner.findKeyword({u"on"_s}, join.end, next.found() ? next.start : item.end);
                if (!on.found()) {
                    // The report callers have always shown for a join without ON.
                    throw RuntimeError::invalidArgument(u"length -1 is negative"_s);
                }
                const qsizetype tableStart = scanner.codeStartFrom(join.end);
                const QString table = piece(tableStart, scanner.codeEndBefore(on.start, tableStart));
                if (part.isEmpty()) {
                    part = table;
                } else {
                    part += u","_s + table;
                }
                join = next;
            }
            if (result.isEmpty()) {
                result = part;
            } else if (!part.isEmpty()) {
                result += u","_s + part;
            }
        }
        return result;
    } catch (...) {
        showCurrentError(QString());
        return QString();
    }
}

bool parseFromList(const QString &fromClause, TableList &tables)
{
    try {
        const QString from = flattenJoins(fromClause);
        if (from.isEmpty()) {
            return false;
        }

        QStringList items;
        const int n = splitSqlList(items, from);
        tables = TableList(n + 1);
        for (int i = 1; i <= n; ++i) {
            TableRef &table = tables[i];
            const QString item = text::trim(singleSpaced(items.at(i)));
            const SqlScanner::Match as = SqlScanner(item).findKeyword({u"as"_s});
            const QChar quote = closingQuote(item);
            if (as.found()) {
                table.tabName = text::trim(item.left(as.start));
                table.tabAlias = text::trim(item.mid(as.end));
            } else if (item.startsWith(u'(')) {
                // A derived table: its closing parenthesis ends the name, as a quote does.
                const QList<qsizetype> closing = SqlScanner(item).findSymbols(u')');
                const qsizetype d = closing.isEmpty() ? item.size() : closing.first() + 1;
                table.tabName = item.left(d);
                table.tabAlias = d == item.size() ? table.tabName : text::trim(item.mid(d));
            } else if (!quote.isNull()) {
                const int d = text::findExact(item, QString(quote), 2);
                table.tabName = text::trim(text::left(item, d));
                if (d == item.size()) {
                    table.tabAlias = table.tabName;
                } else {
                    table.tabAlias = text::trim(text::mid(item, d + 1));
                }
            } else if (const int space = text::find(item, u" "_s); space > 0) {
                table.tabName = text::left(item, space - 1);
                table.tabAlias = text::mid(item, space + 1);
            } else {
                table.tabName = item;
                table.tabAlias = item;
            }
        }
    } catch (...) {
        showCurrentError(unrecognisedSqlContext());
        return false;
    }
    return true;
}

bool bindColumns(ado::Connection &connection, FieldCatalog &catalog, const TableList &tables)
{
    try {
        const int columnCount = int(catalog.size()) - 1;
        const int tableCount = int(tables.size()) - 1;
        int bound = 0;

        // By the written qualifier: the first table whose alias matches.
        for (int j = 1; j <= columnCount; ++j) {
            ColumnInfo &column = catalog[j];
            const QString qualifier = text::lower(column.tabAlias);
            for (int b = 1; b <= tableCount; ++b) {
                if (qualifier == text::lower(tables.at(b).tabAlias)) {
                    column.tabName = tables.at(b).tabName;
                    ++bound;
                    break;
                }
            }
        }
        if (bound >= columnCount) {
            return true;
        }

        // By field name, asking the database table by table, while unqualified columns remain.
        for (int t = 1; t <= tableCount; ++t) {
            const TableRef &table = tables.at(t);
            ado::Recordset rs;
            rs.Open(u"select * from "_s + table.tabName + u" where 1=0"_s, connection);
            const int fieldCount = rs.Fields().Count();
            for (int k = 0; k < fieldCount; ++k) {
                const QString fieldName = text::lower(rs.Fields().Item(k).Name());
                for (int j = 1; j <= columnCount; ++j) {
                    ColumnInfo &column = catalog[j];
                    if (column.tabAlias.isEmpty() && text::lower(column.colExpr) == fieldName) {
                        column.tabName = table.tabName;
                        column.tabAlias = table.tabAlias;
                        ++bound;
                    }
                }
            }
            rs.Close();
            if (bound == columnCount) {
                break;
            }
        }
    } catch (...) {
        showCurrentError(QString());
        return false;
    }
    return true;
}

} // namespace condora
