#include "condition/conditioncomposer.h"

#include "analysis/analysisstate.h"
#include "analysis/errorreport.h"
#include "analysis/statementtools.h"
#include "condition/conditionrows.h"
#include "condition/valuereading.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/textfunctions.h"

#include <QPlainTextEdit>

#include <array>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

enum class DateMode { None, DateOnly, DateAndTime };

/// What one used row needs besides its cells: the catalog facts and the database kind.
struct RowContext
{
    QString kind;
    QString q; // tabAlias.colExpr
    QString typeClass;
    DateMode dateMode = DateMode::None;
    bool lastRow = false;
};

bool contains(const QString &in, QLatin1StringView what)
{
    return in.contains(what, Qt::CaseSensitive);
}

/// The value inside a string literal: apostrophes doubled, and backslashes too where the
/// database reads a backslash as an escape character (otherwise a value ending in a backslash
/// would swallow the closing apostrophe and leave its literal).
QString escaped(const QString &value)
{
    const QString literal = analysisState().backslashEscapes ? text::replace(value, u"\\"_s, u"\\\\"_s) : value;
    return text::replace(literal, u"'"_s, u"''"_s);
}

/// An "include" value as a LIKE pattern: "%" and "_" stay wildcards, and where LIKE reads a
/// backslash as its escape character each backslash is doubled, so that it matches itself
/// instead of escaping the character after it (or the closing "%").
QString likePattern(const QString &value)
{
    return analysisState().likeBackslashEscapes ? text::replace(value, u"\\"_s, u"\\\\"_s) : value;
}

/// The value written for Oracle and Access/Jet date conditions: the date in the fixed
/// pattern, or (while the user is still typing something that is no date) the text as typed
/// with apostrophes doubled, so that it cannot leave its literal.
QString dateText(const QString &value, DateMode mode)
{
    const auto date = readDate(value);
    if (!date) {
        return escaped(value);
    }
    return date->toString(mode == DateMode::DateAndTime ? u"yyyy-MM-dd HH:mm:ss"_s : u"yyyy-MM-dd"_s);
}

QString columnFragment(const RowContext &row, const QString &operatorCell)
{
    const QString op = text::lower(operatorCell);
    if (row.dateMode != DateMode::None && !contains(op, "null"_L1)) {
        if (row.kind == "1"_L1) {
            return row.dateMode == DateMode::DateOnly ? "to_char("_L1 + row.q + ",'yyyy-mm-dd')"_L1
                                                      : "to_char("_L1 + row.q + ",'yyyy-mm-dd HH24:MI:SS')"_L1;
        }
        return row.q;
    }
    if (contains(op, "not null"_L1)) {
        return "not "_L1 + row.q + " is null"_L1;
    }
    if (contains(op, "null"_L1)) {
        return row.q + " is null"_L1;
    }
    return row.q;
}

QString operatorFragment(const RowContext &row, const QString &op)
{
    if (contains(op, "include"_L1)) {
        return text::replace(op, u"include"_s, u"like"_s);
    }
    if (contains(op, "true"_L1)) {
        if (row.kind == "3"_L1) {
            return u"= -1"_s;
        }
        if (row.kind == "1"_L1 || row.kind == "2"_L1) {
            return u"= 1"_s;
        }
        return u"= true"_s;
    }
    if (contains(op, "false"_L1)) {
        if (row.kind == "1"_L1 || row.kind == "2"_L1 || row.kind == "3"_L1) {
            return u"= 0"_s;
        }
        return u"= false"_s;
    }
    if (contains(op, "null"_L1)) {
        return QString();
    }
    return op;
}

QString valueFragment(const RowContext &row, const QString &op, const QString &value)
{
    const QString opLower = text::lower(op);
    if (contains(opLower, "true"_L1) || contains(opLower, "false"_L1) || contains(opLower, "null"_L1)) {
        return QString();
    }
    if (row.typeClass == "number"_L1) {
        return escaped(value);
    }
    if (row.typeClass == "string"_L1 || row.typeClass == "lstring"_L1) {
        if (contains(op, "include"_L1)) {
            return "'%"_L1 + escaped(likePattern(value)) + "%'"_L1;
        }
        return u'\'' + escaped(value) + u'\'';
    }
    if (row.typeClass == "date"_L1) {
        if (row.kind == "1"_L1) {
            return u'\'' + dateText(value, row.dateMode) + u'\'';
        }
        if (row.kind == "3"_L1) {
            return u'#' + dateText(value, row.dateMode) + u'#';
        }
    }
    return u'\'' + escaped(value) + u'\'';
}

/// The cells of one row, read once; the Operator and Logical texts are trimmed in the grid and
/// here alike, so that the later cells of the row see what the grid holds.
using RowCells = std::array<QString, ConditionCol::ColIndex + 1>;

void trimCell(FlexGrid &grid, int r, int col, RowCells &cells)
{
    const QString trimmed = text::trim(cells[col]);
    if (trimmed != cells[col]) {
        grid.setTextMatrix(r, col, trimmed);
        cells[col] = trimmed;
    }
}

/// The fragment of cell `col` of a used row; trims the Operator and Logical cells in place.
QString cellFragment(FlexGrid &grid, int r, int col, RowCells &cells, const RowContext &row)
{
    switch (col) {
    case ConditionCol::OpenBracket:
    case ConditionCol::CloseBracket:
        return cells[col];
    case ConditionCol::Column:
        return columnFragment(row, cells[ConditionCol::Operator]);
    case ConditionCol::Operator:
        trimCell(grid, r, col, cells);
        return operatorFragment(row, cells[col]);
    case ConditionCol::Value:
        return valueFragment(row, cells[ConditionCol::Operator], cells[col]);
    case ConditionCol::Logical:
        trimCell(grid, r, col, cells);
        return row.lastRow ? QString() : cells[col];
    default:
        return QString();
    }
}

bool endsWithWord(const QString &condition, QLatin1StringView word)
{
    return condition.size() > word.size() && condition.endsWith(word, Qt::CaseInsensitive);
}

QString composeInto(FlexGrid &grid, const QString &baseSql, QString &statement)
{
    const AnalysisState &state = analysisState();
    const int rows = grid.Rows();
    QString condition;
    RowCells cells;
    for (int r = 1; r < rows; ++r) {
        for (int c = 0; c < int(cells.size()); ++c) {
            cells[c] = grid.TextMatrix(r, c);
        }
        if (!isUsedCondition(cells[ConditionCol::Column], cells[ConditionCol::Operator])) {
            continue;
        }
        const ColumnInfo &entry = catalogEntryFor(cells[ConditionCol::ColIndex]);
        RowContext row;
        row.kind = state.dbKind;
        row.q = entry.tabAlias + u'.' + entry.colExpr;
        row.typeClass = entry.typeClass;
        if (row.typeClass == "date"_L1) {
            row.dateMode = cells[ConditionCol::Value].contains(u':') ? DateMode::DateAndTime : DateMode::DateOnly;
        }
        row.lastRow = r == rows - 1;

        const int cols = grid.Cols();
        for (int c = 0; c <= cols - 2; ++c) {
            const QString fragment = cellFragment(grid, r, c, cells, row);
            if (!fragment.isEmpty()) {
                condition += u' ' + fragment;
            }
        }
    }

    if (!text::trim(condition).isEmpty()) {
        condition = text::trimRight(condition);
        if (endsWithWord(condition, " or"_L1)) {
            condition.chop(3);
        }
        if (endsWithWord(condition, " and"_L1)) {
            condition.chop(4);
        }
    }
    statement = spliceCondition(baseSql, condition);
    return condition;
}

} // namespace

QString composeCondition(FlexGrid &grid, const QString &baseSql, QPlainTextEdit *preview)
{
    QString condition;
    QString statement;
    try {
        condition = composeInto(grid, baseSql, statement);
    } catch (...) {
        showCurrentError(QString());
        return QString();
    }
    analysisState().resultSql = statement;
    if (preview) {
        preview->setPlainText(condition);
    }
    return condition;
}

} // namespace condora
