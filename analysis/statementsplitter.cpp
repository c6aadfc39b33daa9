#include "analysis/statementsplitter.h"

#include "analysis/databasekind.h"
#include "analysis/errorreport.h"
#include "analysis/fieldcatalog.h"
#include "analysis/sqlscanner.h"
#include "analysis/statementtools.h"
#include "analysis/tableresolution.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/runtimeerror.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

// The clauses that can end a from clause.
const QStringList &clausesAfterFrom()
{
    static const QStringList keywords{u"where"_s, u"group by"_s, u"having"_s, u"window"_s, u"order by"_s,
                                      u"limit"_s, u"offset"_s,   u"fetch"_s,  u"for"_s};
    return keywords;
}

bool isStarItem(const QString &item)
{
    return item == u"*"_s || item.endsWith(u".*"_s);
}

bool hasStarItem(const QString &selectList)
{
    QStringList items;
    const int n = splitSqlList(items, selectList);
    for (int i = 1; i <= n; ++i) {
        if (isStarItem(singleSpaced(items.at(i)).trimmed())) {
            return true;
        }
    }
    return false;
}

/// A field name as a reference after its table's alias: quoted unless it is a plain name.
/// PostgreSQL folds an unquoted name to lower case, so there a name with capitals is quoted
/// as well ("ProductName" would be read as productname).
QString fieldReference(const QString &alias, const QString &field, bool foldsToLower)
{
    static const QRegularExpression plain(u"^[A-Za-z_][A-Za-z0-9_$]*$"_s);
    const bool asWritten = plain.match(field).hasMatch() && !(foldsToLower && field != field.toLower());
    const QString name = asWritten ? field : u'"' + QString(field).replace(u'"', u"\"\""_s) + u'"';
    return alias + u'.' + name;
}

/// The select list with each * and alias.* replaced by the columns it stands for, read table
/// by table, matched to the result columns the database reported. Throws RuntimeError when the
/// columns cannot be matched (for example a join whose merged columns cannot be placed).
QString expandStars(ado::Connection &connection, const QString &selectList, const TableList &tables,
                    const QString &withClause, const FieldCatalog &catalog)
{
    struct Expanded
    {
        QString item;
        QString name; // the field name, empty for an item as written
    };
    const bool foldsToLower = getDbProduct(connection) == DbProduct::PostgreSql;
    const auto fieldsOf = [&](const TableRef &table) {
        ado::Recordset rs;
        rs.OpenColumns(tableProbeSql(table, withClause), connection);
        QList<Expanded> fields;
        for (int k = 0; k < rs.Fields().Count(); ++k) {
            const QString name = rs.Fields().Item(k).Name();
            fields.append({fieldReference(table.tabAlias, name, foldsToLower), name});
        }
        rs.Close();
        return fields;
    };

    QStringList items;
    const int n = splitSqlList(items, selectList);
    QList<Expanded> expanded;
    for (int i = 1; i <= n; ++i) {
        const QString item = singleSpaced(items.at(i)).trimmed();
        if (item == u"*"_s) {
            for (int t = 1; t < tables.size(); ++t) {
                expanded.append(fieldsOf(tables.at(t)));
            }
        } else if (item.endsWith(u".*"_s)) {
            const QString alias = item.chopped(2).trimmed();
            int found = 0;
            for (int t = 1; t < tables.size() && found == 0; ++t) {
                if (tables.at(t).tabAlias.compare(alias, Qt::CaseInsensitive) == 0) {
                    found = t;
                }
            }
            if (found == 0) {
                throw RuntimeError::subscriptOutOfRange(u"no table of the from clause is called %1"_s.arg(alias));
            }
            expanded.append(fieldsOf(tables.at(found)));
        } else {
            expanded.append({items.at(i), QString()});
        }
    }

    const int columns = int(catalog.size()) - 1;
    QStringList result;
    if (expanded.size() == columns) {
        for (const Expanded &e : expanded) {
            result.append(e.item);
        }
        return result.join(u", "_s);
    }
    // A join with USING (or NATURAL) reports each merged column once: place every result column
    // on the first unused field of its name, in order.
    QList<bool> used(expanded.size(), false);
    for (int c = 1; c <= columns; ++c) {
        int match = -1;
        for (int k = 0; k < expanded.size() && match < 0; ++k) {
            if (!used.at(k) && !expanded.at(k).name.isEmpty()
                && expanded.at(k).name.compare(catalog.at(c).colName, Qt::CaseInsensitive) == 0) {
                match = k;
            }
        }
        if (match < 0) {
            throw RuntimeError::subscriptOutOfRange(
                u"the columns of * could not be matched to their tables; name the columns in the select list"_s);
        }
        used[match] = true;
        result.append(expanded.at(match).item);
    }
    return result.join(u", "_s);
}

} // namespace

StatementPieces cutStatement(const QString &statement)
{
    const SqlScanner scanner(statement);
    const SqlScanner::Match from = scanner.findKeyword({u"from"_s});
    if (!from.found()) {
        // The report callers have always shown for a statement without FROM.
        throw RuntimeError::invalidArgument(u"length -1 is negative"_s);
    }

    StatementPieces pieces;
    // After WITH, the select list is the final query's.
    const qsizetype selectStart = scanner.codeStartFrom(withClause(statement).size());
    const QString selectPart = statement.mid(selectStart, scanner.codeEndBefore(from.start) - selectStart);
    // The first seven characters ("select " in a well-formed statement) go whatever they hold.
    pieces.selectList = selectPart.mid(7);

    const qsizetype fromStart = scanner.codeStartFrom(from.end);
    const SqlScanner::Match clause = scanner.findKeyword(clausesAfterFrom(), from.end);
    if (clause.found()) {
        const qsizetype fromEnd = scanner.codeEndBefore(clause.start, fromStart);
        pieces.fromClause = statement.mid(fromStart, fromEnd - fromStart);
    } else {
        // To the end as written, unless a comment closes the statement.
        const qsizetype codeEnd = scanner.codeEndBefore(statement.size(), fromStart);
        const bool comment = scanner.hasComment(codeEnd, statement.size());
        pieces.fromClause = statement.mid(fromStart, comment ? codeEnd - fromStart : -1);
    }
    return pieces;
}

bool splitSql(ado::Connection &connection, const QString &statement, FieldCatalog &catalog, TableList &tables)
{
    try {
        if (!readColumnNames(connection, statement, catalog)) {
            return false;
        }
        const StatementPieces pieces = cutStatement(statement);
        const QString with = withClause(statement);
        if (hasStarItem(pieces.selectList)) {
            // The columns behind * come from the tables, so the from clause is read first.
            if (!parseFromList(pieces.fromClause, tables)) {
                return false;
            }
            QString expanded;
            try {
                expanded = expandStars(connection, pieces.selectList, tables, with, catalog);
            } catch (...) {
                showCurrentError(unrecognisedSqlContext());
                return false;
            }
            if (!parseSelectList(expanded, catalog)) {
                return false;
            }
        } else {
            if (!parseSelectList(pieces.selectList, catalog)) {
                return false;
            }
            if (!parseFromList(pieces.fromClause, tables)) {
                return false;
            }
        }
        if (!bindColumns(connection, catalog, tables, with)) {
            return false;
        }
        if (!readColumnTypes(connection, statement, catalog)) {
            return false;
        }
    } catch (...) {
        showCurrentError(QString());
        return false;
    }
    return true;
}

} // namespace condora
