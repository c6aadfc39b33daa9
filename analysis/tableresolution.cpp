#include "analysis/tableresolution.h"

#include "analysis/catalogaccess.h"
#include "analysis/errorreport.h"
#include "analysis/sqlscanner.h"
#include "analysis/statementtools.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/runtimeerror.h"
#include "platform/textfunctions.h"

#include <QMultiHash>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace condora {

using detail::at;

namespace {

/// One select-list item read by its tokens: the expression without its alias, and for a plain
/// column reference ([qualifier.]name) its qualifier and name.
struct SelectItem
{
    QString expression;
    QString qualifier;
    QString name;
    bool plain = false;
};

bool isName(const SqlToken &token, const QString &text)
{
    if (token.kind == SqlToken::QuotedName) {
        return true;
    }
    return token.kind == SqlToken::Word && !text.at(token.start).isDigit();
}

/// `item` (single-spaced and trimmed) read against the name the database reports for its
/// column: a trailing alias goes (after AS, or a last name equal to the reported name), and
/// what is left is a plain column reference or an expression.
SelectItem readSelectItem(const QString &item, const QString &reportedName)
{
    SelectItem result;
    const SqlScanner scanner(item);
    qsizetype end = item.size();
    if (const SqlScanner::Match as = scanner.findKeyword({u"as"_s}); as.found()) {
        end = scanner.codeEndBefore(as.start);
    } else {
        QList<SqlToken> code;
        for (const SqlToken &token : scanner.tokens()) {
            if (token.isCode()) {
                code.append(token);
            }
        }
        if (code.size() >= 2) {
            const SqlToken &last = code.at(code.size() - 1);
            const SqlToken &before = code.at(code.size() - 2);
            const bool spaced = before.end() < last.start;
            const QString lastText = unquotedName(item.mid(last.start, last.length));
            if (spaced && last.depth == 0 && isName(last, item)
                && lastText.compare(reportedName, Qt::CaseInsensitive) == 0) {
                end = scanner.codeEndBefore(last.start);
            }
        }
    }
    result.expression = text::trim(item.left(end));

    // [qualifier.]name, or schema.table.name: names separated by dots and nothing else.
    const SqlScanner expression(result.expression);
    QList<SqlToken> code;
    for (const SqlToken &token : expression.tokens()) {
        if (!token.isCode()) {
            return result; // a comment or a space inside: not a plain reference
        }
        code.append(token);
    }
    if (code.isEmpty() || code.size() % 2 == 0) {
        return result;
    }
    for (int i = 0; i < code.size(); ++i) {
        const bool dot = code.at(i).kind == SqlToken::Symbol && result.expression.at(code.at(i).start) == u'.';
        if (i % 2 == 1 ? !dot : !isName(code.at(i), result.expression)) {
            return result;
        }
    }
    const SqlToken &last = code.constLast();
    result.name = result.expression.mid(last.start, last.length);
    result.qualifier = code.size() > 1 ? result.expression.left(code.at(code.size() - 2).start) : QString();
    result.plain = true;
    return result;
}

/// The select list without a leading DISTINCT, DISTINCT ON (...) or ALL.
QString withoutSetQuantifier(const QString &selectList)
{
    const SqlScanner scanner(selectList);
    const qsizetype first = scanner.codeStartFrom(0);
    const SqlScanner::Match quantifier = scanner.findKeyword({u"distinct"_s, u"all"_s}, first);
    if (!quantifier.found() || quantifier.start != first) {
        return selectList;
    }
    qsizetype rest = scanner.codeStartFrom(quantifier.end);
    // PostgreSQL's DISTINCT ON (expressions): the bracket belongs to the quantifier.
    const SqlScanner::Match on = scanner.findKeyword({u"on"_s}, rest);
    if (quantifier.keyword == 0 && on.found() && on.start == rest) {
        const qsizetype open = scanner.codeStartFrom(on.end);
        const QList<qsizetype> closing = scanner.findSymbols(u')', open);
        if (open < selectList.size() && selectList.at(open) == u'(' && !closing.isEmpty()) {
            rest = scanner.codeStartFrom(closing.first() + 1);
        }
    }
    return selectList.mid(rest);
}

} // namespace

bool parseSelectList(const QString &selectList, FieldCatalog &catalog)
{
    try {
        QStringList items;
        const int n = splitSqlList(items, withoutSetQuantifier(selectList));
        for (int i = 1; i <= n; ++i) {
            // An item beyond the last result column addresses a catalog entry that does not exist.
            ColumnInfo &column = at(catalog, i);
            const QString spaced = text::trim(singleSpaced(at(items, i)));
            QString item = spaced;

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

            // Read by its tokens, a plain column keeps its name as written (quoted names with
            // spaces included); anything else is filtered on as a whole.
            const SelectItem read = readSelectItem(spaced, column.colName);
            column.expression.clear();
            if (read.plain) {
                // schema.table.column keeps its first-dot split: the operand is the same.
                if (!read.qualifier.contains(u'.')) {
                    column.colExpr = read.name;
                    // A dot in the alias (x as "a.b") qualifies nothing.
                    if (!read.qualifier.isEmpty() || dot > 0) {
                        column.tabAlias = read.qualifier;
                    }
                }
            } else {
                column.expression = read.expression;
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
    static const QStringList keywords{u"inner join"_s,       u"left join"_s, u"left outer join"_s,
                                      u"right join"_s,       u"right outer join"_s, u"full join"_s,
                                      u"full outer join"_s, u"join"_s};
    return keywords;
}

/// The joins above with NATURAL before them: they join on the columns both sides share and
/// have no ON or USING.
const QStringList &naturalJoinKeywords()
{
    static const QStringList keywords = [] {
        QStringList natural;
        for (const QString &join : joinKeywords()) {
            natural.append(u"natural "_s + join);
        }
        return natural;
    }();
    return keywords;
}

const QStringList &allJoinKeywords()
{
    static const QStringList keywords = joinKeywords() + naturalJoinKeywords();
    return keywords;
}

bool isNaturalJoin(const SqlScanner::Match &join)
{
    return join.keyword >= int(joinKeywords().size());
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
    if (first == u"`"_s) {
        return u'`';
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
            SqlScanner::Match join = scanner.findKeyword(allJoinKeywords(), item.start, item.end);
            QString part;
            if (!join.found()) {
                part = piece(item.start, item.end);
            } else {
                const qsizetype first = scanner.codeStartFrom(item.start);
                part = piece(first, scanner.codeEndBefore(join.start, first));
            }
            while (join.found()) {
                // The joined table ends at its ON, which comes before the next join.
                const SqlScanner::Match next = scanner.findKeyword(allJoinKeywords(), join.end, item.end);
                const qsizetype joinEnd = next.found() ? next.start : item.end;
                // ON, or USING (...): either ends the joined table. A natural join has neither:
                // the table runs to the next join.
                const SqlScanner::Match on = scanner.findKeyword({u"on"_s, u"using"_s}, join.end, joinEnd);
                if (!on.found() && !isNaturalJoin(join)) {
                    // The report callers have always shown for a join without ON.
                    throw RuntimeError::invalidArgument(u"length -1 is negative"_s);
                }
                const qsizetype tableStart = scanner.codeStartFrom(join.end);
                const QString table =
                    piece(tableStart, scanner.codeEndBefore(on.found() ? on.start : joinEnd, tableStart));
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

QString tableProbeSql(const TableRef &table, const QString &withClause)
{
    const QString source = table.tabName.startsWith(u'(') && table.tabAlias != table.tabName
                               ? table.tabName + u' ' + table.tabAlias
                               : table.tabName;
    return withClause + u"select * from "_s + source + u" where 1=0"_s;
}

bool bindColumns(ado::Connection &connection, FieldCatalog &catalog, const TableList &tables,
                 const QString &withClause)
{
    try {
        const int columnCount = int(catalog.size()) - 1;
        const int tableCount = int(tables.size()) - 1;
        int bound = 0;

        // By the written qualifier: the first table whose alias matches.
        QStringList aliases{QString()};
        for (int b = 1; b <= tableCount; ++b) {
            aliases.append(text::lower(tables.at(b).tabAlias));
        }
        for (int j = 1; j <= columnCount; ++j) {
            ColumnInfo &column = catalog[j];
            const QString qualifier = text::lower(column.tabAlias);
            for (int b = 1; b <= tableCount; ++b) {
                if (qualifier == aliases.at(b)) {
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
        // The unqualified columns by their lower-case name, looked up once per field.
        QMultiHash<QString, int> unqualified;
        for (int j = 1; j <= columnCount; ++j) {
            if (catalog.at(j).tabAlias.isEmpty()) {
                unqualified.insert(text::lower(unquotedName(catalog.at(j).colExpr)), j);
            }
        }
        for (int t = 1; t <= tableCount; ++t) {
            const TableRef &table = tables.at(t);
            ado::Recordset rs;
            rs.OpenColumns(tableProbeSql(table, withClause), connection);
            const int fieldCount = rs.Fields().Count();
            for (int k = 0; k < fieldCount; ++k) {
                const QString fieldName = text::lower(rs.Fields().Item(k).Name());
                // In catalog order, as the columns are listed.
                QList<int> matching = unqualified.values(fieldName);
                std::sort(matching.begin(), matching.end());
                for (int j : matching) {
                    ColumnInfo &column = catalog[j];
                    if (column.tabAlias.isEmpty()) {
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
