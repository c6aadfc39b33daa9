#pragma once

#include "condition/conditionrow.h"

#include <QString>

namespace condora {

struct QueryRun;

/// What composeCondition() hands back.
struct ComposedCondition
{
    /// The condition: empty, or starting with one blank.
    QString condition;
    /// The run's base statement with the condition in its WHERE clause (spliceCondition()).
    QString statement;
    /// The rows as given, with the Operator and Logical cells of used rows trimmed: the grid
    /// shows them so.
    ConditionRows rows;
};

/// Composes the used rows into a condition in the dialect of run.dbKind and merges it into
/// run.baseSql before its ORDER BY tail. The condition's columns come from run.fieldCatalog
/// (a row's colIndex); the condition shows two blanks after the join word (" where " or, when
/// the statement already has one, " and "). A trailing "Or"/"And" is dropped; the Logical word
/// of the last row is never written. Throws RuntimeError when a used row names no catalog
/// entry.
///
/// Value literals: a "string"/"lstring" value is quoted with every apostrophe doubled (also
/// inside the like pattern of include, where % and _ stay as typed, and backslashes double as
/// run.escapes says); a "number" value is written bare, exactly as typed (validateConditions()
/// lets only plain numbers through); a "date" value is rewritten as yyyy-mm-dd or
/// yyyy-mm-dd hh:mm:ss for Oracle and Access/Jet when readDate() reads it (to the second), and
/// as ISO 8601 text (isoDateText(), fractions kept) on SQLite (run.product), otherwise it is used
/// as typed with apostrophes doubled; other databases quote it as typed. The boolean tests give
/// "= -1"/"= 0" for Access/Jet, "= 1"/"= 0" for Oracle and SQL Server, and "= true"/"= false"
/// for every other database (an integer does not compare with a real boolean column there).
ComposedCondition composeCondition(const ConditionRows &rows, const QueryRun &run);

} // namespace condora
