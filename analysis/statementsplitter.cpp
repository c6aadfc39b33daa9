#include "analysis/statementsplitter.h"

#include "analysis/errorreport.h"
#include "analysis/fieldcatalog.h"
#include "analysis/tableresolution.h"
#include "platform/textfunctions.h"

using namespace Qt::StringLiterals;

namespace condora {

StatementPieces cutStatement(const QString &statement)
{
    StatementPieces pieces;
    const int f = text::find(statement, u" from "_s);
    // Without " from " the length is negative: the invalid-argument error.
    const QString selectPart = text::trim(text::left(statement, f - 1));
    // The first seven characters ("select " in a well-formed statement) go whatever they hold.
    pieces.selectList = text::mid(selectPart, 8);

    const QString rest = text::mid(statement, f + 6);
    if (const int w = text::find(rest, u" where "_s); w > 0) {
        pieces.fromClause = text::trim(text::left(rest, w - 1));
    } else if (const int o = text::find(rest, u" order by "_s); o > 0) {
        pieces.fromClause = text::trim(text::left(rest, o - 1));
    } else {
        pieces.fromClause = rest;
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
        if (!bindColumns(connection, catalog, tables)) {
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
