#pragma once

#include "condora_export.h"

#include <QString>

class QPlainTextEdit;

namespace condora {

class FlexGrid;

/// Composes the used rows of the condition grid into a condition in the dialect of
/// analysisState().dbKind, merges it into `baseSql` before its ORDER BY tail and stores the
/// result in analysisState().resultSql; puts the condition into `preview` (may be null) and
/// returns it. Trims the Operator and Logical cells of used rows in place. Never throws: a
/// failure is reported through showError and gives an empty text, leaving resultSql alone.
///
/// The grid holds one header row (row 0) and condition rows of seven text cells: "(",
/// Column, Operator, Value, ")", Logical and the hidden colIndex (the column's position in
/// analysisState().fieldCatalog). A row is used when its Column and Operator cells are both
/// non-blank. The condition is empty or starts with one blank, so the statement shows two
/// blanks after the join word (" where " or, when the head already has one, " and ").
///
/// Value literals: a "string"/"lstring" value is quoted with every apostrophe doubled (also
/// inside the like pattern of include, where % and _ stay as typed); a "number" value is
/// written bare, exactly as typed (validateConditions() lets only plain numbers through);
/// a "date" value is rewritten as yyyy-mm-dd or yyyy-mm-dd hh:mm:ss for Oracle and
/// Access/Jet when readDate() reads it, otherwise it is used as typed with apostrophes
/// doubled; other kinds quote it as typed. The boolean tests give "= -1"/"= 0" for
/// Access/Jet, "= 1"/"= 0" for Oracle and SQL Server, and "= true"/"= false" for every
/// other database (an integer does not compare with a real boolean column there).
CONDORA_EXPORT QString composeCondition(FlexGrid &grid, const QString &baseSql, QPlainTextEdit *preview);

} // namespace condora
