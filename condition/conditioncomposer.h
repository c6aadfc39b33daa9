#pragma once

#include "condition/conditionrow.h"
#include "condition/conditionterm.h"

#include <QString>
#include <QVariantList>

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
    /// composeParameterized() only: the values of the "?" placeholders, in order.
    QVariantList parameters;
    /// Why the condition cannot be added to the base statement, for the user; `statement` is
    /// then empty. The condition must be complete on its own (closesAtTopLevel()): its brackets
    /// pair in order, its bracket, Operator and Logical cells hold what their lists offer, and
    /// a value written without quotes is a number; otherwise it could reach the base
    /// statement's own level and select rows the base statement does not.
    QString refusal;
};

/// Composes the used rows into a condition in the dialect of run.dbKind and merges it into
/// run.baseSql before its ORDER BY tail. Where a condition in WHERE would change the base
/// statement's own values or rows (shapeFilteredAfterWhere(), or a used row on an aggregate or
/// window column, isComputedAfterWhere()), the base statement is filtered as a derived table
/// instead (filterAsDerivedTable()), its columns compared by their result names. The condition's columns come from run.fieldCatalog
/// (a row's colIndex); the condition shows two blanks after the join word (" where " or, when
/// the statement already has one, " and "). A trailing "Or"/"And" is dropped; the Logical word
/// of the last row is never written. Throws RuntimeError when a used row names no catalog
/// entry.
///
/// Value literals: a "string"/"lstring" value is quoted with every apostrophe doubled (also
/// inside the like pattern of include, where % and _ stay as typed, and backslashes double as
/// run.escapes says); a "number" value is written bare, exactly as typed (validateConditions()
/// lets only plain numbers through); a "date" value is rewritten as yyyy-mm-dd or
/// yyyy-mm-dd hh:mm:ss for Oracle and Access/Jet when readDate() reads it (to the second),
/// otherwise it is used as typed with apostrophes doubled; on SQLite (run.product) the column and
/// the value as ISO 8601 text (isoDateText(), fraction and offset kept) both go through SQLite's
/// date() for a column declared as a date and julianday() otherwise, so that every stored form
/// of the same moment compares equal; other databases quote it as typed. A PostgreSQL money
/// column's value is quoted (valueRulesFor()). The boolean tests give
/// "= -1"/"= 0" for Access/Jet, "= 1"/"= 0" for Oracle and SQL Server, and "= true"/"= false"
/// for every other database (an integer does not compare with a real boolean column there).
///
/// The further operators (operatorsFor() with moreOperators): "between" writes
/// "between v1 and v2", "in"/"not in" write "in (v1, v2, ...)"/"not in (...)", each value of the
/// cell's list (splitValueList()) written as an "=" row writes its value (dates by the same
/// dialect rules, against the same column expression); "starts with"/"ends with" write
/// "like 'text%'"/"like '%text'" with the text matched literally (literalLikePattern(), followed
/// by likeEscapeClause()).
ComposedCondition composeCondition(const ConditionRows &rows, const QueryRun &run);

/// The same condition with each value as a "?" placeholder (Qt's positional placeholder, which
/// QSqlQuery::addBindValue() fills on every driver) and the values in `parameters`, typed: a
/// whole number as qlonglong, another number as double when the double holds it exactly and as
/// its text otherwise, a date without a time as QDate, text as QString (an include value as its
/// LIKE pattern "%...%"). A date with a time goes as its ISO 8601 text, which the database reads
/// as it reads the literal (Qt's drivers would send a date-time through UTC and to the
/// millisecond); on SQLite dates go as ISO text inside the same date function as the column, and
/// a PostgreSQL money value as its text. Executed with its parameters, the statement returns
/// the rows of composeCondition()'s statement.
ComposedCondition composeParameterized(const ConditionRows &rows, const QueryRun &run);

/// The same, with the used rows at the positions `alwaysTrue` (indexes into `rows`) written as
/// "1 = 1" (their brackets and logical words kept): the condition without those rows'
/// restrictions.
ComposedCondition composeCondition(const ConditionRows &rows, const QueryRun &run,
                                                  const QList<int> &alwaysTrue);

///@{
/// The same for typed rows: each term is written as the lists write its cells (rowOf()), so a
/// term composes exactly as the row of cells a user picked for it. `rows` of the result holds
/// those cells.
ComposedCondition composeCondition(const ConditionTerms &terms, const QueryRun &run);
ComposedCondition composeParameterized(const ConditionTerms &terms, const QueryRun &run);
ComposedCondition composeCondition(const ConditionTerms &terms, const QueryRun &run, const QList<int> &alwaysTrue);
///@}

} // namespace condora
