#include "condition/conditionvalidator.h"

#include "analysis/analysisstate.h"
#include "analysis/errorreport.h"
#include "condition/conditionrows.h"
#include "condition/valuereading.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/textfunctions.h"
#include "platform/userinteraction.h"

#include <optional>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

enum class Selection { Unchanged, WholeRow, ValueCell, LogicalCell };

/// A broken rule: its message, what to select and whether the cell editor opens first.
struct Failure
{
    QString message;
    Selection selection = Selection::Unchanged;
    int row = 0;
    bool openEditor = false;
};

void select(FlexGrid &grid, Selection selection, int row)
{
    int first = 0;
    int last = 0;
    switch (selection) {
    case Selection::Unchanged:
        return;
    case Selection::WholeRow:
        first = ConditionCol::OpenBracket;
        last = ConditionCol::Logical;
        break;
    case Selection::ValueCell:
        first = last = ConditionCol::Value;
        break;
    case Selection::LogicalCell:
        first = last = ConditionCol::Logical;
        break;
    }
    grid.setRow(row);
    grid.setRowSel(row);
    grid.setCol(first);
    grid.setColSel(last);
}

bool has(const QString &in, QLatin1StringView what)
{
    return in.contains(what, Qt::CaseSensitive);
}

/// The rules that look at one used row alone (operator against type class, value reading).
std::optional<Failure> checkRow(const FlexGrid &grid, int r)
{
    const QString typeClass = catalogEntryFor(grid.TextMatrix(r, ConditionCol::ColIndex)).typeClass;
    const QString op = text::lower(grid.TextMatrix(r, ConditionCol::Operator));
    const bool isString = typeClass == "string"_L1 || typeClass == "lstring"_L1;

    const bool includeMismatch = has(op, "include"_L1) && !isString;
    const bool booleanMismatch = (has(op, "true"_L1) || has(op, "false"_L1)) && typeClass != "boolean"_L1;
    const bool longTextMismatch = typeClass == "lstring"_L1 && !has(op, "include"_L1) && !has(op, "null"_L1);
    if (includeMismatch || booleanMismatch || longTextMismatch) {
        return Failure{u"Types of the column and operator do not match!"_s, Selection::WholeRow, r, false};
    }

    if (has(op, "null"_L1)) {
        return std::nullopt;
    }
    const QString value = grid.TextMatrix(r, ConditionCol::Value);
    if (typeClass == "date"_L1 && !isReadableDate(value)) {
        return Failure{u"The value must be date!"_s, Selection::ValueCell, r, true};
    }
    if (typeClass == "number"_L1 && !isReadableNumber(value)) {
        return Failure{u"The value must be numerical!"_s, Selection::ValueCell, r, true};
    }
    return std::nullopt;
}

std::optional<Failure> firstFailure(const FlexGrid &grid)
{
    const int rows = grid.Rows();
    int opening = 0;
    int closing = 0;
    QString brackets;
    for (int r = 1; r < rows; ++r) {
        if (!isUsedConditionRow(grid, r)) {
            continue;
        }
        const QString open = grid.TextMatrix(r, ConditionCol::OpenBracket);
        const QString close = grid.TextMatrix(r, ConditionCol::CloseBracket);
        if (open == "("_L1) {
            ++opening;
        }
        if (close == ")"_L1) {
            ++closing;
        }
        brackets += open + close;
        if (has(brackets, "(("_L1) || has(brackets, "))"_L1)) {
            return Failure{u"Brackets in same type can't be use continuously!"_s, Selection::WholeRow, r, false};
        }
        if (auto failure = checkRow(grid, r)) {
            return failure;
        }
    }

    if (opening != closing) {
        return Failure{u"The number of left bracket must accord with that of right bracket!"_s};
    }

    bool lowestSeen = false;
    for (int r = rows - 1; r >= 1; --r) {
        if (!isUsedConditionRow(grid, r)) {
            continue;
        }
        if (lowestSeen && grid.TextMatrix(r, ConditionCol::Logical).isEmpty()) {
            return Failure{u"Logical word needed!"_s, Selection::LogicalCell, r, true};
        }
        lowestSeen = true;
    }
    return std::nullopt;
}

} // namespace

bool validateConditions(FlexGrid &grid, const std::function<void()> &editCell)
{
    try {
        const auto failure = firstFailure(grid);
        if (!failure) {
            return true;
        }
        select(grid, failure->selection, failure->row);
        if (failure->openEditor && editCell) {
            editCell();
        }
        messageBox(failure->message, MessageButtons::Ok, MessageIcon::Exclamation);
    } catch (...) {
        showCurrentError(QString());
    }
    return false;
}

} // namespace condora
