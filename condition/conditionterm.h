#pragma once

#include "analysis/columninfo.h"
#include "condition/conditionoperator.h"
#include "condition/conditionrow.h"

#include <QList>
#include <QString>

#include <optional>

namespace condora {

/// The word that joins a condition row to the next one.
enum class LogicalWord { None, And, Or };

/// One row of the condition as values rather than cell texts: how many brackets it opens and
/// closes, its column as a position in the field catalog (0: none chosen), its operator, the
/// value as typed and the word that joins it to the next row.
struct ConditionTerm
{
    int openBrackets = 0;
    int column = 0;
    std::optional<ConditionOperator> op;
    QString value;
    int closeBrackets = 0;
    LogicalWord logical = LogicalWord::None;

    /// Used by the composer and the validator: a column and an operator chosen.
    bool isUsed() const { return column > 0 && op.has_value(); }

    bool operator==(const ConditionTerm &) const = default;
};

using ConditionTerms = QList<ConditionTerm>;

/// The term a row of cells holds: its brackets counted, its column from the colIndex cell (0
/// when that is blank or no whole number), its operator and logical word read with blanks and
/// letter case ignored (none when the cell holds no listed word).
ConditionTerm termOf(const ConditionRow &row);

/// The cells of `term` as the lists write them: "(" and ")" per bracket, the column's name from
/// `catalog` (empty outside it), the operator with its trailing blank, the value as typed, the
/// logical word as logicalCell() writes it and the column's position as decimal text.
ConditionRow rowOf(const ConditionTerm &term, const FieldCatalog &catalog);

/// termOf() for each row.
ConditionTerms termsOf(const ConditionRows &rows);

/// rowOf() for each term.
ConditionRows rowsOf(const ConditionTerms &terms, const FieldCatalog &catalog);

/// " And ", " Or" or the empty text: the Logical cell as its list writes it.
QString logicalCell(LogicalWord word);

/// The logical word of `text` ("and", "or" or blank, blanks and letter case ignored), or none.
std::optional<LogicalWord> logicalWordOf(const QString &text);

} // namespace condora
