#include "condition/conditionvalidator.h"

#include "condition/conditionoperator.h"
#include "condition/valuelist.h"
#include "condition/valuereading.h"
#include "condition/valuerules.h"
#include "platform/textfunctions.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace condora {

/// The problems are shown to the user as they stand, in the user's language.
struct ConditionValidatorTexts
{
    Q_DECLARE_TR_FUNCTIONS(condora::ConditionValidator)
};

namespace {

using Cells = ConditionProblem::Cells;

bool has(const QString &in, QLatin1StringView what)
{
    return in.contains(what, Qt::CaseSensitive);
}

/// True for the operators offered only when a run allows more operators.
bool isFurtherOperator(ConditionOperator op)
{
    return op >= ConditionOperator::Between;
}

/// The cells a row takes from fixed lists: a bracket cell holds its bracket or nothing, the
/// Operator one of the listed operators, the Logical cell And, Or or nothing. The grid's lists
/// give nothing else; a condition document or a host's rows might.
std::optional<ConditionProblem> checkCells(const ConditionRow &cells, int row)
{
    const QStringView open = QStringView(cells.open).trimmed();
    const QStringView close = QStringView(cells.close).trimmed();
    if ((!open.isEmpty() && open != u"(") || (!close.isEmpty() && close != u")")) {
        return ConditionProblem{
            ConditionValidatorTexts::tr("Row %1: a bracket cell holds \"(\" on the left, \")\" on the right, or nothing.")
                .arg(row),
            Cells::WholeRow, row, false};
    }
    if (!operatorOfCell(cells.op)) {
        return ConditionProblem{ConditionValidatorTexts::tr("Types of the column and operator do not match!"),
                                Cells::WholeRow, row, false};
    }
    const QStringView logical = QStringView(cells.logical).trimmed();
    if (!logical.isEmpty() && logical.compare(u"and", Qt::CaseInsensitive) != 0
        && logical.compare(u"or", Qt::CaseInsensitive) != 0) {
        return ConditionProblem{ConditionValidatorTexts::tr("Row %1: the logical word is And or Or.").arg(row),
                                Cells::Logical, row, true};
    }
    return std::nullopt;
}

/// Text no database can match as written: a NUL character (no database keeps one in text; the
/// drivers cut the statement there) and a lone surrogate (half of a character, which cannot
/// be encoded).
std::optional<ConditionProblem> checkText(const QString &value, int row)
{
    if (value.contains(QChar(u'\0'))) {
        return ConditionProblem{
            ConditionValidatorTexts::tr("Row %1: the value holds a NUL character, which no database keeps in text.")
                .arg(row),
            Cells::Value, row, true};
    }
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c.isHighSurrogate() && i + 1 < value.size() && value.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            return ConditionProblem{
                ConditionValidatorTexts::tr("Row %1: the value holds half of a character (a lone surrogate).").arg(row),
                Cells::Value, row, true};
        }
    }
    return std::nullopt;
}

/// SQLite refuses a LIKE pattern longer than this many bytes ("LIKE or GLOB pattern too
/// complex"), its default limit.
constexpr qsizetype SqliteLikePatternBytes = 50000;

/// The value rules for one value of a used row (its type class's reading).
std::optional<ConditionProblem> checkValue(const QString &value, TypeClass typeClass, const ValueRules &rules, int row)
{
    if (typeClass == TypeClass::Date) {
        const auto written = readWrittenDate(value);
        if (!written || (!rules.dateOffsets && !written->offset.isEmpty())) {
            return ConditionProblem{ConditionValidatorTexts::tr("The value must be date!"), Cells::Value, row, true};
        }
    }
    if (typeClass == TypeClass::Number && !isReadableNumber(value) && !(rules.quotedMoney && isReadableMoney(value))) {
        return ConditionProblem{ConditionValidatorTexts::tr("The value must be numerical!"), Cells::Value, row, true};
    }
    return std::nullopt;
}

/// The rules that look at one used row alone (operator against type class, value reading).
std::optional<ConditionProblem> checkRow(const ConditionRow &cells, int row, const QueryRun &run)
{
    const ColumnInfo &column = catalogEntryFor(run.fieldCatalog, cells.colIndex);
    const ValueRules rules = valueRulesFor(column, run);
    const TypeClass typeClass = column.typeClass;
    const QString op = text::lower(cells.op);
    const std::optional<ConditionOperator> further = [&]() -> std::optional<ConditionOperator> {
        const auto known = operatorOfCell(op);
        return known && isFurtherOperator(*known) ? known : std::nullopt;
    }();
    const auto mismatch = [row] {
        return ConditionProblem{ConditionValidatorTexts::tr("Types of the column and operator do not match!"),
                                Cells::WholeRow, row, false};
    };

    if (has(op, "null"_L1) || has(op, "true"_L1) || has(op, "false"_L1)) {
        // No value is written.
    } else if (auto problem = checkText(cells.value, row)) {
        return problem;
    }

    if (further) {
        // Only where the run offers them, and for the type classes they suit.
        if (!operatorsFor(typeClass, run.moreOperators).contains(*further)) {
            return mismatch();
        }
        if (!takesValueList(*further)) {
            // starts with / ends with: any text that SQLite's LIKE takes as a pattern (each
            // wildcard escaped doubles)
            if (run.product == DbProduct::Sqlite && cells.value.toUtf8().size() * 2 + 1 > SqliteLikePatternBytes) {
                return ConditionProblem{
                    ConditionValidatorTexts::tr("Row %1: the value is too long to search for (at most %2 bytes on "
                                                "this database).")
                        .arg(row)
                        .arg((SqliteLikePatternBytes - 1) / 2),
                    Cells::Value, row, true};
            }
            return std::nullopt;
        }
        const std::optional<QStringList> values = splitValueList(cells.value);
        if (*further == ConditionOperator::Between && (!values || values->size() != 2)) {
            return ConditionProblem{ConditionValidatorTexts::tr("The value must be two values separated by a comma!"),
                                    Cells::Value, row, true};
        }
        if (!values || values->isEmpty()) {
            return ConditionProblem{
                ConditionValidatorTexts::tr("The value must be one or more values separated by commas!"), Cells::Value,
                row, true};
        }
        for (const QString &value : *values) {
            if (auto problem = checkValue(value, typeClass, rules, row)) {
                return problem;
            }
        }
        return std::nullopt;
    }

    const bool includeMismatch = has(op, "include"_L1) && !isTextClass(typeClass);
    const bool booleanMismatch = (has(op, "true"_L1) || has(op, "false"_L1)) && typeClass != TypeClass::Boolean;
    const bool longTextMismatch = typeClass == TypeClass::LongString && !has(op, "include"_L1) && !has(op, "null"_L1);
    if (includeMismatch || booleanMismatch || longTextMismatch) {
        return mismatch();
    }

    if (has(op, "null"_L1)) {
        return std::nullopt;
    }
    if (has(op, "include"_L1) && run.product == DbProduct::Sqlite
        && cells.value.toUtf8().size() + 2 > SqliteLikePatternBytes) {
        return ConditionProblem{
            ConditionValidatorTexts::tr("Row %1: the value is too long to search for (at most %2 bytes on this "
                                        "database).")
                .arg(row)
                .arg(SqliteLikePatternBytes - 2),
            Cells::Value, row, true};
    }
    return checkValue(cells.value, typeClass, rules, row);
}

} // namespace

std::optional<ConditionProblem> validateConditions(const ConditionRows &rows, const FieldCatalog &catalog)
{
    QueryRun run;
    run.fieldCatalog = catalog;
    return validateConditions(rows, run);
}

std::optional<ConditionProblem> validateConditions(const ConditionRows &rows, const QueryRun &run)
{
    const int count = int(rows.size());
    int opening = 0;
    int closing = 0;
    // Brackets still open at this row: a ")" with none open would close a bracket of the
    // statement around the condition.
    int open = 0;
    // The last bracket cell seen on a used row: two of the same kind in a row is the fault.
    QChar lastBracket;
    for (int r = 0; r < count; ++r) {
        const ConditionRow &cells = rows.at(r);
        if (!cells.isUsed()) {
            continue;
        }
        if (auto problem = checkCells(cells, r + 1)) {
            return problem;
        }
        bool doubled = false;
        for (const QString &bracket : {cells.open, cells.close}) {
            for (QChar c : bracket) {
                if (c == u'(' || c == u')') {
                    doubled = doubled || c == lastBracket;
                    lastBracket = c;
                } else {
                    lastBracket = QChar();
                }
            }
        }
        if (cells.open == "("_L1) {
            ++opening;
        }
        if (cells.close == ")"_L1) {
            ++closing;
        }
        if (doubled) {
            return ConditionProblem{ConditionValidatorTexts::tr("Brackets in same type can't be use continuously!"),
                                    Cells::WholeRow, r + 1, false};
        }
        open += QStringView(cells.open).trimmed().isEmpty() ? 0 : 1;
        if (!QStringView(cells.close).trimmed().isEmpty() && --open < 0) {
            return ConditionProblem{
                ConditionValidatorTexts::tr("Row %1: this \")\" has no \"(\" before it.").arg(r + 1),
                Cells::WholeRow, r + 1, false};
        }
        if (auto problem = checkRow(cells, r + 1, run)) {
            return problem;
        }
    }

    if (opening != closing || open != 0) {
        return ConditionProblem{
            ConditionValidatorTexts::tr("The number of left bracket must accord with that of right bracket!")};
    }

    bool lowestSeen = false;
    for (int r = count - 1; r >= 0; --r) {
        if (!rows.at(r).isUsed()) {
            continue;
        }
        if (lowestSeen && rows.at(r).logical.isEmpty()) {
            return ConditionProblem{ConditionValidatorTexts::tr("Logical word needed!"), Cells::Logical, r + 1, true};
        }
        lowestSeen = true;
    }
    return std::nullopt;
}

std::optional<ConditionProblem> validateConditions(const ConditionTerms &terms, const QueryRun &run)
{
    return validateConditions(rowsOf(terms, run.fieldCatalog), run);
}

} // namespace condora
