#include "analysis/statementsplitter.h"

#include "analysis/errorreport.h"
#include "analysis/fieldcatalog.h"
#include "analysis/sqlscanner.h"
#include "analysis/statementtools.h"
#include "analysis/tableresolution.h"
#include "platform/runtimeerror.h"

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
        if (!parseSelectList(pieces.selectList, catalog)) {
            return false;
        }
        if (!parseFromList(pieces.fromClause, tables)) {
            return false;
        }
        if (!bindColumns(connection, catalog, tables, withClause(statement))) {
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
