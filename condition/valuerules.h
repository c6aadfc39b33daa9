#pragma once

#include "analysis/queryrun.h"

namespace condora {

/// How the Value of a condition on one column is read and written on the run's database,
/// where that differs from the column's type class alone. The validator and the composer both
/// follow it, so that what one accepts the other writes correctly.
struct ValueRules
{
    /// A PostgreSQL money column: compares only with a quoted value, which the database reads
    /// as money by its lc_monetary setting ("$1,000.00" as well as "1000"). A bare number would
    /// not compare with money at all.
    bool quotedMoney = false;
    /// Dates may carry a time zone offset ("2024-01-02 03:04:05+02"): everywhere but Oracle and
    /// Access/Jet, whose date literals are rewritten without a zone.
    bool dateOffsets = true;
    /// SQLite keeps dates as text in whatever form they were stored: a date condition compares
    /// through SQLite's date functions on both sides (date() for a column declared as a date,
    /// julianday() otherwise), so "2001-01-05", "2001-01-05 00:00:00" and "2001-01-05T00:00"
    /// all denote the same moment, as they do on a database with real date types.
    bool sqliteDateFunctions = false;
    /// The SQLite function for sqliteDateFunctions: "date" or "julianday".
    const char *sqliteDateFunction = "julianday";
};

/// `value` as the text inside a string literal: apostrophes doubled, and backslashes too where
/// the database reads a backslash as an escape character (otherwise a value ending in a
/// backslash would swallow the closing apostrophe and leave its literal). The one escaping of
/// every value the condition and the value picker write.
QString escapedLiteral(const QString &value, const EscapeRules &escapes);

/// `text` as the inside of a LIKE pattern that matches exactly that text: its wildcards "%" and
/// "_" and the escape character "\\" itself (on SQL Server also "[", which starts a character
/// class there) each follow a backslash, which likeEscapeClause() names as the escape character;
/// on Access/Jet, which takes no escape clause, the wildcards "%", "_", "*", "?", "#" and "["
/// stand in brackets instead. Not yet escaped as a literal (escapedLiteral()).
QString literalLikePattern(const QString &text, const QueryRun &run);

/// What follows a pattern made by literalLikePattern(): " escape '\\'" with the backslash
/// written as the run's literals need it, or nothing on Access/Jet.
QString likeEscapeClause(const QueryRun &run);

/// The rules for a condition on `column` in `run`.
ValueRules valueRulesFor(const ColumnInfo &column, const QueryRun &run);

} // namespace condora
