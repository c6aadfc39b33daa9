#pragma once


#include "analysis/queryrun.h"

#include <QString>

namespace condora {

namespace ado {
class Connection;
}

/// How the value picker's search compares a listed value with the typed text: case-insensitive
/// "contains", with every typed character (also "%", "_" and "\") standing for itself.
enum class ValueSearchMethod {
    /// SQLite through Qt's own driver: both sides folded by Qt's Unicode case folding
    /// (QString::toCaseFolded) in the function condora_fold, which the picker registers on the
    /// connection (SQLite's lower() folds ASCII letters only), compared with instr().
    SqliteFold,
    /// PostgreSQL: strpos() on both sides lowered by the server's lower(), which follows the
    /// database's LC_CTYPE (Unicode-aware under a UTF-8 locale such as C.UTF-8; ASCII only
    /// under the C or POSIX locale).
    PostgresLower,
    /// Any other database: lower() and LIKE with the wildcards escaped by "\" (ESCAPE '\');
    /// case folding is the database's own.
    LikeEscape,
    /// Access/Jet: LCase() and LIKE with the wildcards bracketed ("[%]"), as Jet has no ESCAPE.
    AccessLike,
};

/// What the picker lists.
struct ValueListRequest
{
    /// Only values containing this text (case-insensitively); empty lists every value.
    QString search;
    /// A second column with the number of rows holding each value.
    bool counts = false;
    /// Only values that the rows of this statement hold in its result column `narrowingColumn`
    /// (written as the statement's dialect quotes a name); empty lists every value.
    QString narrowing;
    QString narrowingColumn;
    /// With counts: the statement whose rows are counted (the run's base statement, or the
    /// narrowing statement while it narrows) and the value's result column in it (quoted as
    /// the dialect quotes a name). Empty: the rows of the column's own table are counted.
    QString countSource;
    QString countColumn;
    /// PostgreSQL: the search also as "ilike '%<search>%'", which a trigram index on the column
    /// answers; the search's own condition still decides.
    bool trigram = false;
};

/// The search method for a run on `connection`.
ValueSearchMethod valueSearchMethod(const QueryRun &run, const ado::Connection &connection);

/// The statement that lists the values of `column` as `request` asks. With no search and no
/// counts it is valueListSql() itself. Otherwise valueListSql()'s rows (with the host's filter)
/// are read through a derived table q with the value as column v: "select distinct q.v from
/// (select <value> as v from ... <filter>) q where <search>", or with counts "select q.v,
/// count(*) from (...) q [where <search>] group by q.v". The typed text is written as a
/// literal escaped by `run.escapes`, so it never leaves its literal. With a count source the
/// counts are the rows of that statement holding each value, 0 for a listed value it does not
/// hold: "... q left join (select b.<column> as v, count(*) as n from (<source>) b where ... is not
/// null group by b.<column>) c on c.v = q.v", the rows holding NULL counted apart. A narrowing statement adds
/// "q.v in (select n.<column> from (<narrowing>) n)" (NULL kept when the narrowed rows hold
/// NULL).
QString valueQuerySql(const ColumnInfo &column, const QString &fromClause, const QueryRun &run,
                                     ValueSearchMethod method, const ValueListRequest &request);

/// The search condition on `operand` for `search` (not empty), as valueQuerySql() writes it.
QString valueSearchCondition(const QString &operand, const QString &search, const QueryRun &run,
                                            ValueSearchMethod method);


/// Registers the SQLite function condora_fold(text) (Qt's case folding; NULL stays NULL) on a
/// connection through Qt's SQLite driver. Safe to call again; returns false when the
/// connection is no such SQLite connection or the function could not be registered.
bool registerSqliteFold(ado::Connection &connection);

} // namespace condora
