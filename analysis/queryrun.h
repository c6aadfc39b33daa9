#pragma once

#include "analysis/columninfo.h"
#include "analysis/dbkind.h"
#include "platform/dialogstyle.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace condora {

namespace ado {
class Connection;
} // namespace ado

/// How the database reads backslashes, which decides how typed values are escaped.
struct EscapeRules
{
    /// String literals treat a backslash as an escape character (MySQL, MariaDB): values then
    /// double backslashes as well as apostrophes.
    bool backslashEscapes = false;
    /// LIKE reads a backslash in its pattern as its escape character (PostgreSQL, MySQL,
    /// MariaDB): an "include" value then has each backslash doubled in its pattern, so that it
    /// matches a backslash; "%" and "_" stay wildcards.
    bool likeBackslashEscapes = false;

    bool operator==(const EscapeRules &) const = default;
};

/// The database product behind a connection, for the rules that follow the product itself
/// rather than the SQL dialect of its database kind (SQLite, PostgreSQL and MySQL/MariaDB are
/// all of kind Other).
enum class DbProduct { Other, Sqlite, PostgreSql, MySql };

/// One query run: everything the dialog, the value picker and the condition builder need,
/// built by the control when the run starts and passed down by value. Nothing of a run is
/// kept between runs or shared with another run; the dialog hands its final statement back.
struct QueryRun
{
    /// The connection every statement of the run goes to (the host's, or a new unopened one
    /// when the host set none). Shared with the host, never null in a run the control built.
    std::shared_ptr<ado::Connection> connection;
    /// The connection's cursor location when the run started; restored after each statement
    /// that switches an Access/Jet connection to a client cursor.
    int savedCursorLocation = 0;
    /// The base statement: trimmed, spaces collapsed, one trailing ";" removed.
    QString baseSql;
    DbKind dbKind = DbKind::Unknown;
    /// From the DBMS name; SQLite runs compare dates as ISO 8601 text.
    DbProduct product = DbProduct::Other;
    /// As the server states them when the run starts (escapeRulesOf()).
    EscapeRules escapes;
    /// The host's per-column filter conditions for the value picker (SetFilterCondition):
    /// position i belongs to the i-th select-list column, position 0 is not used. The analysis
    /// rewrites them as WHERE clauses and copies each into its column's filterClause.
    QStringList filters;
    /// One entry per select-list column (position 0 empty), with the host's filters as
    /// filterClause.
    FieldCatalog fieldCatalog;
    /// The caption of the run's input messages (the control's Title).
    QString title;
    /// The query dialog offers its "Show Sql" switch (the control's ShowSql).
    bool showSqlSwitch = false;
    /// The Operator list also offers between, in, not in, starts with and ends with (the
    /// control's MoreOperators).
    bool moreOperators = false;
    /// The ".." button of a date value opens a calendar (the control's DateEditor).
    bool dateEditor = false;
    /// The query dialog offers earlier accepted conditions to pick again (the control's
    /// RecentConditions): `recentRows`, condition documents newest first.
    bool recentConditions = false;
    QStringList recentRows;
    /// A live row count under the query dialog's grid while the condition is valid (the
    /// control's LiveCount).
    bool liveCount = false;
    /// The value picker lists a column that an index leads with straight from that index, in
    /// order and growing while the user works, and another column of a large table first from a
    /// sample of its rows (the control's FastValueLists); off, it runs one SELECT DISTINCT.
    bool fastValueLists = false;
    /// The appearance the run's dialogs take.
    DialogStyle style;
};

/// `name` as a quoted identifier of `run`'s dialect: [name] for SQL Server and Access/Jet,
/// `name` for MySQL/MariaDB, "name" otherwise (the quote character doubled inside).
QString quotedName(const QString &name, const QueryRun &run);

/// The run's connection; throws RuntimeError (object variable not set) when the run has none.
ado::Connection &connectionOf(const QueryRun &run);

} // namespace condora
