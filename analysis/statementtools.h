#pragma once

#include <QString>
#include <QStringList>

namespace condora {

namespace ado {
class Connection;
} // namespace ado

/// Replaces every run of two or more spaces between the statement's words by one space; spaces
/// inside literals, quoted names and comments stay, and so do tabs and line breaks.
QString trimSpaces(const QString &text);

/// Splits `text` at a one-character separator (found case-insensitively) into `list`,
/// positions 1..count (position 0 exists and is empty); returns count. Pieces are not trimmed.
int splitStr(QStringList &list, const QString &text, const QString &separator);

/// `statement` with `condition` added to its WHERE clause, where a WHERE clause belongs: before
/// the first top-level GROUP BY, HAVING, WINDOW, ORDER BY, LIMIT, OFFSET, FETCH or FOR after its
/// FROM (or before a trailing comment), joined by " and " when the statement already has a
/// top-level WHERE, else by " where ". When the base condition or `condition` has a top-level
/// OR, each side is bracketed, so that the result keeps the base statement's rows and narrows
/// them. Keywords are found by the SQL scanner: never inside literals, quoted names, comments or
/// parentheses, with any white space between words. An empty condition gives the head and the
/// tail alone. The one splice of the probe and the composer.
QString spliceCondition(const QString &statement, const QString &condition);

/// The no-rows form of a statement: the condition "1=0 " spliced in (spliceCondition()), or
/// for a statement that combines queries (UNION, ...) the statement as a derived table
/// "select * from (<statement>) q where 1=0 ".
QString probeSql(const QString &statement);

/// The first word of the statement in upper case ("SELECT", "WITH", "UPDATE", ...), or empty when
/// it does not start with a word (an empty text, a bracket).
QString leadingKeyword(const QString &statement);

/// The keyword that combines two queries at the top level of the statement ("UNION",
/// "INTERSECT", "EXCEPT" or "MINUS", in upper case), or empty. A condition spliced into such a
/// statement would filter its last query only.
QString combiningKeyword(const QString &statement);

/// For a statement that starts with WITH: everything before its final top-level SELECT (the
/// common table expressions, with their trailing space); empty for any other statement.
QString withClause(const QString &statement);

/// A statement taken apart for reading its rows as a derived table: the common table
/// expressions of a WITH statement (withClause()), which go in front of the statement that
/// reads them, and the query after them without a top-level ORDER BY at the end when no LIMIT,
/// OFFSET, FETCH or TOP needs it (some databases refuse an ORDER BY in a derived table, and
/// the rows do not depend on it).
struct DerivedRows
{
    QString with;
    QString query;
};
DerivedRows derivedRows(const QString &statement);

/// A statement that counts the rows of `statement`: "select count(*) from (" statement ")
/// condora_rows", with the common table expressions of a WITH statement kept in front, and a
/// top-level ORDER BY at the end left out when no LIMIT, OFFSET, FETCH or TOP needs it (some
/// databases refuse an ORDER BY in a derived table, and the count does not depend on it). The
/// closing bracket goes on a line of its own, so that a trailing "--" comment ends before it.
QString countSql(const QString &statement);

/// Empty when the statement's no-rows form opens on `connection`, otherwise the database's
/// error description. An empty (or all-space) statement is accepted without running. A
/// statement the user stopped throws its RuntimeError (ErrorNumber::Cancelled) on.
QString testSql(ado::Connection &connection, const QString &statement);

} // namespace condora
