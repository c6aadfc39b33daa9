#pragma once


#include "analysis/queryrun.h"
#include "condition/conditionrow.h"
#include "condition/conditionterm.h"

#include <QString>

#include <optional>

namespace condora {

/// The first broken rule validateConditions() found.
struct ConditionProblem
{
    /// Which cells of `row` the dialog selects to show the problem.
    enum class Cells { None, WholeRow, Value, Logical };

    QString message;
    Cells cells = Cells::None;
    /// The row's position in the list given to validateConditions(), counted from 1 as the grid
    /// counts its data rows; 0 with Cells::None.
    int row = 0;
    /// True when the dialog opens the cell editor on the selected cell before the message.
    bool openEditor = false;

    bool operator==(const ConditionProblem &) const = default;
};

/// Checks the used rows before the statement is composed and proved. Tests, in this order and
/// stopping at the first that fails: per used row, no "((" or "))" in the bracket sequence so
/// far, an operator that suits the column's type class, a date or number Value where the type
/// class needs one (isReadableDate(), isReadableNumber(); not for the null tests); then equal
/// counts of "(" and ")", and a logical word on every used row but the lowest. Returns the
/// first problem, or nullopt when every rule holds. Throws RuntimeError when a used row names
/// no entry of `catalog`.
std::optional<ConditionProblem> validateConditions(const ConditionRows &rows,
                                                   const FieldCatalog &catalog);

/// The same checks with the run's database in mind (run.fieldCatalog, run.dbKind,
/// run.product): a date may carry a time zone offset (readWrittenDate()) except on Oracle and
/// Access/Jet, whose date literals take none, and a PostgreSQL money column takes a money text
/// (isReadableMoney()) as well as a number. The further operators pass only when
/// run.moreOperators allows them and they suit the column's type class (operatorsFor()); the
/// Value of "between" must be a list (splitValueList()) of exactly two values, that of "in" and
/// "not in" of at least one, each read as a single value of the column's type class is.
std::optional<ConditionProblem> validateConditions(const ConditionRows &rows, const QueryRun &run);

/// The same checks on typed rows, each read as the row of cells the lists write for it
/// (rowOf()): the same problems, messages and row numbers.
std::optional<ConditionProblem> validateConditions(const ConditionTerms &terms, const QueryRun &run);

} // namespace condora
