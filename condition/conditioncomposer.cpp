#include "condition/conditioncomposer.h"

#include "analysis/analysisstate.h"
#include "analysis/errorreport.h"
#include "condition/conditionrows.h"
#include "condition/valuereading.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/runtimeerror.h"
#include "platform/textfunctions.h"

#include <QPlainTextEdit>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

enum class DateMode { None, DateOnly, DateAndTime };

/// What one used row needs besides its cells: the catalog facts and the database kind.
struct RowContext
{
    QString kind;
    QString q;           // tabAlias.colExpr
    QString typeClass;
    DateMode dateMode = DateMode::None;
    bool lastRow = false;
};

bool contains(const QString &in, QLatin1StringView what)
{
    return in.contains(what, Qt::CaseSensitive);
}

/// Writes `text` into the cell only when it differs, so that an unchanged grid is not
/// repainted after every keystroke.
void writeCell(FlexGrid &grid, int row, int col, const QString &text)
{
    if (grid.TextMatrix(row, col) != text) {
        grid.setTextMatrix(row, col, text);
    }
}

QString escaped(const QString &value)
{
    return text::replace(value, u"'"_s, u"''"_s);
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
            return "'%"_L1 + escaped(value) + "%'"_L1;
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

/// The fragment of cell `col` of a used row; trims the Operator and Logical cells in place.
QString cellFragment(FlexGrid &grid, int r, int col, const RowContext &row)
{
    switch (col) {
    case ConditionCol::OpenBracket:
    case ConditionCol::CloseBracket:
        return grid.TextMatrix(r, col);
    case ConditionCol::Column:
        return columnFragment(row, grid.TextMatrix(r, ConditionCol::Operator));
    case ConditionCol::Operator: {
        const QString op = text::trim(grid.TextMatrix(r, col));
        writeCell(grid, r, col, op);
        return operatorFragment(row, op);
    }
    case ConditionCol::Value:
        return valueFragment(row, grid.TextMatrix(r, ConditionCol::Operator), grid.TextMatrix(r, col));
    case ConditionCol::Logical: {
        const QString logical = text::trim(grid.TextMatrix(r, col));
        writeCell(grid, r, col, logical);
        return row.lastRow ? QString() : logical;
    }
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
    QString head = baseSql;
    QString tail;
    const int orderAt = text::find(baseSql, u" order by "_s);
    if (orderAt > 0) {
        tail = text::mid(baseSql, orderAt);
        head = text::trim(text::left(baseSql, orderAt - 1));
    }

    const AnalysisState &state = analysisState();
    const int rows = grid.Rows();
    QString condition;
    for (int r = 1; r < rows; ++r) {
        if (!isUsedConditionRow(grid, r)) {
            continue;
        }
        const ColumnInfo &entry = catalogEntryFor(grid.TextMatrix(r, ConditionCol::ColIndex));
        RowContext row;
        row.kind = state.dbKind;
        row.q = entry.tabAlias + u'.' + entry.colExpr;
        row.typeClass = entry.typeClass;
        if (row.typeClass == "date"_L1) {
            row.dateMode = grid.TextMatrix(r, ConditionCol::Value).contains(u':') ? DateMode::DateAndTime
                                                                                  : DateMode::DateOnly;
        }
        row.lastRow = r == rows - 1;

        const int cols = grid.Cols();
        for (int c = 0; c <= cols - 2; ++c) {
            const QString fragment = cellFragment(grid, r, c, row);
            if (!fragment.isEmpty()) {
                condition += u' ' + fragment;
            }
        }
    }

    if (!text::trim(condition).isEmpty()) {
        head += text::find(head, u" where "_s) > 0 ? " and "_L1 : " where "_L1;
        condition = text::trimRight(condition);
        if (endsWithWord(condition, " or"_L1)) {
            condition.chop(3);
        }
        if (endsWithWord(condition, " and"_L1)) {
            condition.chop(4);
        }
    }
    statement = head + condition + tail;
    return condition;
}

} // namespace

QString composeCondition(FlexGrid &grid, const QString &baseSql, QPlainTextEdit *preview)
{
    QString condition;
    QString statement;
    try {
        condition = composeInto(grid, baseSql, statement);
    } catch (const RuntimeError &error) {
        showError(QString(), error);
        return QString();
    } catch (const std::exception &error) {
        showError(QString(), ErrorNumber::InvalidArgument, QString::fromLocal8Bit(error.what()));
        return QString();
    }
    analysisState().resultSql = statement;
    if (preview) {
        preview->setPlainText(condition);
    }
    return condition;
}

} // namespace condora
