// Right rows: every final statement the control hands back selects exactly the rows the user
// asked for, on SQLite and on the PostgreSQL test server, or the run is refused with a message
// that names its reason.
//
// Each case is a base statement as application developers write it in their source code and a
// condition the user builds in the real query dialog (columns, operators and values, brackets
// and And/Or words picked through the grid's editors). The expected rows come from a statement
// the test writes itself, without the library:
//
// - A WHERE condition restricts the rows the base statement reads. For a statement without
//   LIMIT, grouping, DISTINCT or window functions that is the same as filtering its result, so
//   the expected rows are those of "select * from (<base>) q where <condition over q's columns>"
//   (with the base's own ORDER BY repeated outside where the order is compared).
// - With LIMIT/OFFSET, GROUP BY or DISTINCT, filtering the result is not the same thing: the
//   limit counts the rows after the condition, groups are formed from the rows the condition
//   kept. For those statements the data table writes the
//   expected statement out by hand: the base statement with the user's condition added to its
//   own WHERE clause, over the source expressions of the columns.
// - A condition on an aggregate or window column cannot go into a WHERE clause: the rows must be
//   those of the written-out statement next to the condition (HAVING), or of filtering the result.
//   Window functions, DISTINCT ON and set operations likewise: the statement's own values and rows
//   stay as it shows them, and the condition filters its result.
// - A condition whose brackets do not pair is refused, naming the row.
//
// A second table runs statements that write through the public control (GetQuerySql and
// GetQueryResult, answered with Cancel and with OK): every table keeps its contents, and the
// user is told why nothing ran.

#include "queryrunner.h"
#include "reliabilitysupport.h"

#include "../dialog/dialogdriver.h"

#include "dialog/frmcondora.h"
#include "platform/ado/connection.h"
#include "platform/flexgrid/flexgrid.h"
#include "support/testmain.h"

#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>
#include <QtTest>

#include <algorithm>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace reliability;

Q_DECLARE_METATYPE(reliability::Engine)

namespace {

// The schema -----------------------------------------------------------------------------------

QStringList schema(Engine engine)
{
    const bool pg = engine == Engine::Postgres;
    QStringList statements{
        u"CREATE TABLE dept (dept INTEGER PRIMARY KEY, title VARCHAR(40))"_s,
        u"CREATE TABLE emp (id INTEGER PRIMARY KEY, name VARCHAR(40), dept INTEGER, salary INTEGER, hired DATE, "
        "note VARCHAR(100), \"First Name\" VARCHAR(40))"_s,
        u"CREATE TABLE audit (id INTEGER, what VARCHAR(100))"_s,
        u"INSERT INTO dept VALUES (1, 'Sales'), (2, 'R&D'), (3, 'O''Neil''s crew'), (4, 'Empty')"_s,
        u"INSERT INTO emp VALUES "
        "(1, 'Ann Smith', 1, 3000, '2019-03-01', 'team lead', 'Ann'), "
        "(2, 'Bob Jones', 1, 2500, '2020-06-15', NULL, 'Bob'), "
        "(3, 'Carla Diaz', 2, 4200, '2018-11-30', 'remote', 'Carla'), "
        "(4, 'Dan Brown', 2, 1800, '2021-01-10', NULL, 'Dan'), "
        "(5, 'Eve Adams', 3, 5100, '2017-07-07', 'it''s complicated', 'Eve'), "
        "(6, 'Frank Moore', 3, 2500, '2022-02-02', 'where order by', 'Frank'), "
        "(7, 'Gina Lee', 1, 3900, '2016-05-05', ' order by ', 'Gina'), "
        "(8, 'Hal Kim', NULL, 2000, '2023-09-09', NULL, 'Hal'), "
        "(9, 'Ivy Chen', 2, 6000, '2015-12-12', 'a, b', 'Ivy'), "
        "(10, 'Jon Park', 3, 1500, '2024-04-04', 'new', NULL), "
        "(11, 'Kay Ito', 1, 2800, '2019-08-08', NULL, 'Kay'), "
        "(12, 'Lou Ruiz', 2, 3300, '2020-10-10', 'part-time', 'Lou')"_s,
        u"INSERT INTO audit VALUES (1, 'created')"_s,
        u"CREATE TABLE price (id INTEGER PRIMARY KEY, amount REAL, share REAL)"_s,
        u"INSERT INTO price VALUES (1, 21.35, 0.15), (2, 18.4, 0.05), (3, 21.35, 0), (4, 9.5, 0.15)"_s,
        // Long text that both engines compare like any string.
        u"CREATE TABLE categories (category_id INTEGER PRIMARY KEY, category_name VARCHAR(15), description TEXT)"_s,
        u"INSERT INTO categories VALUES (1, 'Beverages', 'Soft drinks, coffees, teas'), "
        "(2, 'Condiments', 'Sweet and savory sauces'), (3, 'Dairy Products', 'Cheeses'), (4, 'Seafood', NULL), "
        "(5, 'Produce', 'Dried fruit and bean curd')"_s,
        // Views whose names and column names need quoting.
        u"CREATE VIEW \"StaffView\" AS SELECT id AS \"StaffId\", name AS \"StaffName\", salary AS \"Pay\" FROM emp"_s,
        u"CREATE VIEW \"Current Staff\" AS SELECT id, name, dept FROM emp WHERE dept IS NOT NULL"_s,
    };
    if (pg) {
        statements.append(u"CREATE FUNCTION log_read(v INTEGER) RETURNS INTEGER LANGUAGE plpgsql AS $$ "
                          "BEGIN INSERT INTO audit VALUES (v, 'read'); RETURN v; END $$"_s);
    }
    return statements;
}

const QStringList Tables{u"emp"_s, u"dept"_s, u"audit"_s, u"price"_s, u"categories"_s};

// The user's condition -------------------------------------------------------------------------
//
// A condition is written as the user builds it, one grid row after the other:
//   [(] column operator [value] [)] [and|or] ...
// column: a bare name or [a name with spaces]; operator: = <> > < include null notnull;
// value: a number, or a text in apostrophes ('' for one apostrophe).
// A leading "!" marks a condition on an aggregate or window column (see the file comment); a
// trailing "=> <statement>" gives the expected statement for this condition alone.

struct UserRow
{
    QString open;
    QString column;
    QString op; // as written in the condition
    QString value;
    bool quoted = false;
    QString close;
    QString logical; // "and", "or" or empty
};

struct UserCondition
{
    QList<UserRow> rows;
    bool mayBeRefused = false;
    QString expectedSql; // "=>" override
    QString error;       // a mistake in the data table
};

QStringList tokens(const QString &text, QString *error)
{
    QStringList out;
    int i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (c == u'(' || c == u')') {
            out.append(QString(c));
            ++i;
        } else if (c == u'[') {
            const int end = text.indexOf(u']', i);
            if (end < 0) {
                *error = u"unclosed ["_s;
                return {};
            }
            out.append(text.mid(i, end - i + 1));
            i = end + 1;
        } else if (c == u'\'') {
            int j = i + 1;
            while (true) {
                if (j >= text.size()) {
                    *error = u"unclosed '"_s;
                    return {};
                }
                if (text.at(j) == u'\'') {
                    if (j + 1 < text.size() && text.at(j + 1) == u'\'') {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            out.append(text.mid(i, j - i + 1));
            i = j + 1;
        } else {
            int j = i;
            while (j < text.size() && !text.at(j).isSpace() && text.at(j) != u')') {
                ++j;
            }
            out.append(text.mid(i, j - i));
            i = j;
        }
    }
    return out;
}

UserCondition parseCondition(QString text)
{
    UserCondition condition;
    if (text.startsWith(u'!')) {
        condition.mayBeRefused = true;
        text.remove(0, 1);
    }
    const int arrow = text.indexOf(u"=>"_s);
    if (arrow >= 0) {
        condition.expectedSql = text.mid(arrow + 2).trimmed();
        text.truncate(arrow);
    }
    const QStringList list = tokens(text, &condition.error);
    int i = 0;
    const auto next = [&]() { return i < list.size() ? list.at(i++) : QString(); };
    const auto peek = [&]() { return i < list.size() ? list.at(i) : QString(); };
    while (condition.error.isEmpty() && i < list.size()) {
        UserRow row;
        if (peek() == u"(") {
            row.open = next();
        }
        row.column = next();
        if (row.column.startsWith(u'[')) {
            row.column = row.column.mid(1, row.column.size() - 2);
        }
        row.op = next();
        static const QStringList ops{u"="_s, u"<>"_s, u">"_s, u"<"_s, u"include"_s, u"null"_s, u"notnull"_s};
        if (row.column.isEmpty() || !ops.contains(row.op)) {
            condition.error = u"bad row at token "_s + QString::number(i);
            break;
        }
        if (row.op != u"null" && row.op != u"notnull") {
            QString value = next();
            if (value.isEmpty()) {
                condition.error = u"missing value"_s;
                break;
            }
            if (value.startsWith(u'\'')) {
                row.quoted = true;
                value = value.mid(1, value.size() - 2).replace(u"''"_s, u"'"_s);
            }
            row.value = value;
        }
        if (peek() == u")") {
            row.close = next();
        }
        if (peek() == u"and" || peek() == u"or") {
            row.logical = next();
        }
        condition.rows.append(row);
    }
    if (condition.rows.isEmpty() && condition.error.isEmpty()) {
        condition.error = u"no rows"_s;
    }
    return condition;
}

/// The user's rows as one line, for messages.
QString describe(const UserCondition &condition)
{
    QStringList parts;
    for (const UserRow &row : condition.rows) {
        QString part = row.open + row.column + u' ' + row.op;
        if (!row.value.isEmpty()) {
            part += u' ' + (row.quoted ? u"'"_s + row.value + u"'"_s : row.value);
        }
        part += row.close;
        if (!row.logical.isEmpty()) {
            part += u' ' + row.logical;
        }
        parts.append(part);
    }
    return parts.join(u' ');
}

/// The test's own SQL for the condition: `expression` maps a result column to what the
/// expected statement compares.
QString oracleCondition(const UserCondition &condition, const std::function<QString(const QString &)> &expression)
{
    QString sql;
    for (const UserRow &row : condition.rows) {
        const QString e = expression(row.column);
        const QString inner = QString(row.value).replace(u"'"_s, u"''"_s);
        QString test;
        if (row.op == u"null") {
            test = e + u" is null"_s;
        } else if (row.op == u"notnull") {
            test = e + u" is not null"_s;
        } else if (row.op == u"include") {
            test = e + u" like '%"_s + inner + u"%'"_s;
        } else {
            test = e + u' ' + row.op + u' ' + (row.quoted ? u"'"_s + inner + u"'"_s : row.value);
        }
        sql += row.open + test + row.close;
        if (!row.logical.isEmpty()) {
            sql += u' ' + row.logical + u' ';
        }
    }
    return sql;
}

// The statements -------------------------------------------------------------------------------

struct Statement
{
    const char *name;
    QString sqlite;         ///< the base statement (both engines unless `pg` is given)
    QString pg = {};        ///< the base statement on PostgreSQL, when it differs
    QString expected = {};  ///< the expected statement: %B the base, %C the condition; empty: wrap
    QString map = {};       ///< "column=expression;..." for %C of a written-out statement
    bool ordered = false;   ///< the rows are compared in order (`expected` has its ORDER BY)
    QStringList conditions; ///< the user's conditions
    QStringList reasons = {}; ///< words a refusal may name; empty: a refusal is a fault
    bool pgOnly = false;      ///< PostgreSQL syntax only
};

const QString Wrap = u"select * from (\n%B\n) q where %C"_s;

QList<Statement> statements()
{
    const QStringList setOp{u"union"_s};
    return {
        // Plain statements, WHERE and ORDER BY
        {.name = "plain select list",
         .sqlite = u"select e.id, e.name, e.dept, e.salary from emp e"_s,
         .conditions = {u"salary > 3000"_s, u"name = 'Bob Jones'"_s, u"dept <> 1"_s, u"dept null"_s,
                        u"salary < 2600 and dept = 1"_s, u"dept = 1 or salary > 5000"_s,
                        u"( salary < 2000 or salary > 5000 ) and dept = 2"_s}},
        {.name = "unqualified columns",
         .sqlite = u"select id, name, salary, note from emp"_s,
         .conditions = {u"note null"_s, u"note notnull"_s, u"name include 'an'"_s, u"salary > 2500 or note null"_s}},
        {.name = "plain WHERE",
         .sqlite = u"select e.id, e.name, e.salary from emp e where e.salary >= 2500"_s,
         .conditions = {u"salary < 3000"_s, u"salary > 2500 and name include 'a'"_s,
                        u"( salary = 2500 or salary = 3000 ) and name include 'o'"_s, u"salary < 2000"_s}},
        {.name = "WHERE with a top-level OR",
         .sqlite = u"select e.id, e.name, e.dept, e.salary from emp e where e.dept = 1 or e.dept = 2"_s,
         .conditions = {u"salary > 3000"_s, u"dept = 3"_s, u"dept = 1 or salary > 5000"_s,
                        u"name include 'o' and salary < 3000"_s, u"( dept = 2 or salary > 3500 ) and name include 'a'"_s}},
        {.name = "WHERE with a top-level OR in capitals",
         .sqlite = u"SELECT e.id, e.name, e.salary FROM emp e WHERE e.salary < 2000 OR e.salary > 5000"_s,
         .conditions = {u"salary > 3000"_s, u"name include 'a'"_s}},
        {.name = "WHERE with AND and OR without brackets",
         .sqlite = u"select e.id, e.name, e.salary, e.dept from emp e where e.dept = 1 and e.salary > 2000 or e.note is null"_s,
         .conditions = {u"dept = 2"_s, u"salary < 2900"_s}},
        {.name = "ORDER BY",
         .sqlite = u"select e.id, e.name, e.salary from emp e order by e.salary desc, e.id"_s,
         .expected = Wrap + u" order by q.salary desc, q.id"_s,
         .ordered = true,
         .conditions = {u"salary > 2500"_s, u"name include 'a' or salary < 2000"_s,
                        u"( salary < 2000 or salary > 5000 ) and name include 'e'"_s}},
        {.name = "WHERE and ORDER BY",
         .sqlite = u"select e.id, e.name, e.salary from emp e where e.dept = 1 order by e.name"_s,
         .expected = Wrap + u" order by q.name"_s,
         .ordered = true,
         .conditions = {u"salary > 2600"_s, u"name <> 'Ann Smith'"_s}},
        {.name = "top-level OR and ORDER BY",
         .sqlite = u"select e.id, e.name, e.salary from emp e where e.dept = 2 or e.salary > 5000 order by e.id"_s,
         .expected = Wrap + u" order by q.id"_s,
         .ordered = true,
         .conditions = {u"salary < 4500"_s, u"name include 'i'"_s}},
        {.name = "line breaks before FROM and WHERE",
         .sqlite = u"select e.id, e.name\nfrom emp e\nwhere e.dept = 3"_s,
         .conditions = {u"name include 'o'"_s, u"id > 5"_s}},
        {.name = "tabs as separators",
         .sqlite = u"select\te.id,\te.salary\tfrom\temp e\twhere\te.salary > 2000\torder by\te.id"_s,
         .expected = Wrap + u" order by q.id"_s,
         .ordered = true,
         .conditions = {u"salary < 3000"_s, u"id > 6 or salary = 2500"_s}},
        {.name = "CRLF before FROM, WHERE and ORDER BY",
         .sqlite = u"select e.id, e.name, e.salary\r\nfrom emp e\r\nwhere e.dept = 1 or e.dept = 3\r\norder by e.salary, e.id"_s,
         .expected = Wrap + u" order by q.salary, q.id"_s,
         .ordered = true,
         .conditions = {u"salary > 2600"_s, u"name include 'a'"_s}},
        {.name = "line break before ORDER BY",
         .sqlite = u"select e.id, e.name from emp e\norder by e.id"_s,
         .expected = Wrap + u" order by q.id"_s,
         .ordered = true,
         .conditions = {u"name include 'o'"_s, u"id = 3 or id = 4"_s}},
        {.name = "trailing line comment",
         .sqlite = u"select e.id, e.name, e.salary from emp e where e.dept = 1 -- sales only"_s,
         .conditions = {u"salary > 2600"_s, u"name include 'a' or salary < 2600"_s}},
        {.name = "line comment after ORDER BY",
         .sqlite = u"select e.id, e.name from emp e order by e.id -- oldest first"_s,
         .expected = Wrap + u" order by q.id"_s,
         .ordered = true,
         .conditions = {u"id > 8"_s}},
        {.name = "block comments",
         .sqlite = u"select e.id, /* the key */ e.name, e.salary from emp e /* all staff */ where e.salary > 2000"_s,
         .conditions = {u"salary < 3000"_s, u"name = 'Ann Smith'"_s}},
        {.name = "block comment holding WHERE and ORDER BY",
         .sqlite = u"select e.id, e.name from emp e /* where e.dept = 1 order by x */ where e.dept = 2"_s,
         .conditions = {u"id > 4"_s, u"name include 'a'"_s}},
        {.name = "line comment holding WHERE on its own line",
         .sqlite = u"select e.id, e.name, e.dept\nfrom emp e -- where clause follows\nwhere e.dept <> 3\norder by e.id"_s,
         .expected = Wrap + u" order by q.id"_s,
         .ordered = true,
         .conditions = {u"dept = 2"_s, u"name include 'o' or id = 1"_s}},
        {.name = "literal ' order by ' in WHERE",
         .sqlite = u"select e.id, e.note from emp e where e.note <> ' order by '"_s,
         .conditions = {u"note include 'e'"_s, u"id < 5"_s}},
        {.name = "literal ' where ' in the select list",
         .sqlite = u"select e.id, e.name, 'x where y' as tag from emp e"_s,
         .conditions = {u"id > 9"_s, u"name include 'o'"_s, u"tag include 'where' and id < 3"_s}},
        {.name = "literal ', ' in a concatenation",
         .sqlite = u"select e.id, e.name || ', ' || e.\"First Name\" as both, e.salary from emp e"_s,
         .conditions = {u"salary > 3000"_s, u"both include 'Ann'"_s, u"both null"_s}},
        {.name = "doubled quotes in a literal and OR",
         .sqlite = u"select e.id, e.name from emp e where e.note <> 'it''s complicated' or e.note is null"_s,
         .conditions = {u"name include 'o'"_s, u"id > 5 and id < 9"_s}},
        {.name = "literal ' order by ' in the select list and ORDER BY",
         .sqlite = u"select e.id, ' order by ' as x, e.salary from emp e order by e.salary, e.id"_s,
         .expected = Wrap + u" order by q.salary, q.id"_s,
         .ordered = true,
         .conditions = {u"salary > 3000"_s, u"id < 4"_s}},
        {.name = "literal 'where order by' compared and OR",
         .sqlite = u"select e.id, e.name from emp e where e.note = 'where order by' or e.dept = 1"_s,
         .conditions = {u"id > 3"_s, u"name include 'r'"_s}},

        // Grouping
        {.name = "GROUP BY without WHERE",
         .sqlite = u"select e.dept, count(*) as n, sum(e.salary) as total from emp e group by e.dept"_s,
         .expected = u"select e.dept, count(*) as n, sum(e.salary) as total from emp e where %C group by e.dept"_s,
         .map = u"dept=e.dept"_s,
         .conditions = {u"dept = 1"_s, u"dept > 1"_s, u"dept null"_s,
                        u"n > 3 => select e.dept, count(*) as n, sum(e.salary) as total from emp e group by e.dept "
                        "having count(*) > 3"_s,
                        u"total > 10000 and dept <> 2 => select e.dept, count(*) as n, sum(e.salary) as total from "
                        "emp e where e.dept <> 2 group by e.dept having sum(e.salary) > 10000"_s}},
        {.name = "GROUP BY with WHERE",
         .sqlite = u"select e.dept, count(*) as n from emp e where e.salary > 2000 group by e.dept"_s,
         .expected = u"select e.dept, count(*) as n from emp e where e.salary > 2000 and %C group by e.dept"_s,
         .map = u"dept=e.dept"_s,
         .conditions = {u"dept = 2"_s, u"dept null"_s,
                        u"n > 2 => select e.dept, count(*) as n from emp e where e.salary > 2000 group by e.dept "
                        "having count(*) > 2"_s}},
        {.name = "GROUP BY with a top-level OR in WHERE",
         .sqlite = u"select e.dept, max(e.salary) as top from emp e where e.dept = 1 or e.dept = 2 group by e.dept"_s,
         .expected = u"select e.dept, max(e.salary) as top from emp e where (e.dept = 1 or e.dept = 2) and %C "
                     "group by e.dept"_s,
         .map = u"dept=e.dept"_s,
         .conditions = {u"dept = 2"_s, u"dept <> 1"_s}},
        {.name = "HAVING",
         .sqlite = u"select e.dept, count(*) as n from emp e group by e.dept having count(*) > 2"_s,
         .expected = u"select e.dept, count(*) as n from emp e where %C group by e.dept having count(*) > 2"_s,
         .map = u"dept=e.dept"_s,
         .conditions = {u"dept = 1"_s, u"dept > 1"_s}},
        {.name = "GROUP BY and ORDER BY",
         .sqlite = u"select e.dept, avg(e.salary) as pay from emp e where e.dept is not null group by e.dept order by e.dept"_s,
         .expected = u"select e.dept, avg(e.salary) as pay from emp e where e.dept is not null and %C group by e.dept "
                     "order by e.dept"_s,
         .map = u"dept=e.dept"_s,
         .ordered = true,
         .conditions = {u"dept <> 2"_s, u"dept < 3"_s}},

        // LIMIT
        {.name = "LIMIT without ORDER BY",
         .sqlite = u"select e.id, e.name from emp e limit 5"_s,
         .expected = u"select e.id, e.name from emp e where %C limit 5"_s,
         .map = u"id=e.id;name=e.name"_s,
         .conditions = {u"id > 3"_s, u"name include 'a'"_s}},
        {.name = "ORDER BY with LIMIT and OFFSET",
         .sqlite = u"select e.id, e.name, e.salary from emp e order by e.salary desc, e.id limit 4 offset 1"_s,
         .expected = u"select e.id, e.name, e.salary from emp e where %C order by e.salary desc, e.id limit 4 offset 1"_s,
         .map = u"id=e.id;name=e.name;salary=e.salary"_s,
         .ordered = true,
         .conditions = {u"salary < 4000"_s, u"name include 'o' or salary < 2000"_s}},
        {.name = "top-level OR, ORDER BY and LIMIT",
         .sqlite = u"select e.id, e.salary from emp e where e.dept = 1 or e.dept = 2 order by e.salary limit 3"_s,
         .expected = u"select e.id, e.salary from emp e where (e.dept = 1 or e.dept = 2) and %C order by e.salary limit 3"_s,
         .map = u"id=e.id;salary=e.salary"_s,
         .ordered = true,
         .conditions = {u"salary > 2000"_s, u"id <> 4"_s}},
        {.name = "LIMIT on its own line",
         .sqlite = u"select e.id, e.name\nfrom emp e\nwhere e.salary > 1000\nlimit 6"_s,
         .expected = u"select e.id, e.name from emp e where e.salary > 1000 and %C limit 6"_s,
         .map = u"id=e.id;name=e.name"_s,
         .conditions = {u"id > 4"_s}},

        // Sub-queries
        {.name = "sub-query in the select list",
         .sqlite = u"select e.id, e.name, (select d.title from dept d where d.dept = e.dept) as title from emp e"_s,
         .conditions = {u"title = 'Sales'"_s, u"title null"_s, u"id > 6 and title include 'R'"_s}},
        {.name = "sub-query in the select list with ORDER BY and LIMIT",
         .sqlite = u"select e.id, (select d.title from dept d where d.dept >= e.dept order by d.dept limit 1) as nexttitle, "
                   "e.salary from emp e"_s,
         .conditions = {u"salary > 3000"_s, u"nexttitle include 'S'"_s}},
        {.name = "counting sub-query in the select list",
         .sqlite = u"select d.dept, d.title, (select count(*) from emp e where e.dept = d.dept) as staff from dept d"_s,
         .conditions = {u"staff > 2"_s, u"title include 'e'"_s, u"staff = 0 or title = 'Sales'"_s}},
        {.name = "derived table",
         .sqlite = u"select x.id, x.name, x.salary from (select id, name, salary from emp where salary > 2000) x"_s,
         .conditions = {u"salary < 3000"_s, u"name include 'a'"_s}},
        {.name = "derived table with WHERE, ORDER BY and LIMIT",
         .sqlite = u"select x.id, x.salary from (select id, salary from emp where dept = 1 order by salary desc limit 3) x"_s,
         .conditions = {u"salary < 3500"_s, u"id <> 7"_s}},
        {.name = "derived table and a top-level OR",
         .sqlite = u"select x.id, x.name from (select id, name, dept from emp) x where x.dept = 1 or x.dept is null"_s,
         .conditions = {u"id > 2"_s, u"name include 'a'"_s}},
        {.name = "grouped derived table and ORDER BY",
         .sqlite = u"select x.id, x.total from (select dept as id, sum(salary) as total from emp group by dept) x "
                   "order by x.total desc"_s,
         .expected = Wrap + u" order by q.total desc"_s,
         .ordered = true,
         .conditions = {u"total > 10000"_s, u"id null"_s}},
        {.name = "IN sub-query with ORDER BY and LIMIT",
         .sqlite = u"select e.id, e.name from emp e where e.dept in (select d.dept from dept d where d.title <> 'Sales' "
                   "order by d.dept limit 2)"_s,
         .conditions = {u"id > 5"_s, u"name include 'o'"_s}},
        {.name = "EXISTS sub-query",
         .sqlite = u"select d.dept, d.title from dept d where exists (select 1 from emp e where e.dept = d.dept and "
                   "e.salary > 4000)"_s,
         .conditions = {u"title = 'R&D'"_s, u"dept > 2"_s}},
        {.name = "NOT EXISTS sub-query and a top-level OR",
         .sqlite = u"select d.dept, d.title from dept d where not exists (select 1 from emp e where e.dept = d.dept) "
                   "or d.dept = 1"_s,
         .conditions = {u"dept > 1"_s, u"title include 'a'"_s}},
        {.name = "scalar sub-query in WHERE",
         .sqlite = u"select e.id, e.salary from emp e where e.salary > (select avg(salary) from emp)"_s,
         .conditions = {u"salary < 5000"_s, u"id > 5 or salary > 5500"_s}},

        // Common table expressions
        {.name = "CTE",
         .sqlite = u"with big as (select id, name, salary from emp where salary > 2500) select b.id, b.name, b.salary "
                   "from big b"_s,
         .conditions = {u"salary < 4000"_s, u"name include 'a'"_s}},
        {.name = "CTE with WHERE and ORDER BY",
         .sqlite = u"with d1 as (select * from emp where dept = 1) select d1.id, d1.salary from d1 where d1.salary > 2000 "
                   "order by d1.salary"_s,
         .expected = Wrap + u" order by q.salary"_s,
         .ordered = true,
         .conditions = {u"salary < 3500"_s, u"id <> 2"_s}},
        {.name = "CTE over lines in capitals",
         .sqlite = u"WITH totals AS (\n  SELECT dept, SUM(salary) AS total FROM emp GROUP BY dept\n)\nSELECT t.dept, t.total\n"
                   "FROM totals t\nWHERE t.total > 5000"_s,
         .conditions = {u"dept = 2"_s, u"total < 13000"_s}},

        // Joins
        {.name = "JOIN USING",
         .sqlite = u"select e.id, e.name, d.title from emp e join dept d using (dept)"_s,
         .conditions = {u"title = 'Sales'"_s, u"id > 5 and title include 'R'"_s}},
        {.name = "select * with JOIN USING",
         .sqlite = u"select * from emp join dept using (dept)"_s,
         .conditions = {u"title include 'a'"_s, u"salary > 3000"_s}},
        {.name = "INNER JOIN ON and WHERE",
         .sqlite = u"select e.id, e.name, d.title, e.salary from emp e inner join dept d on d.dept = e.dept where e.salary > 2000"_s,
         .conditions = {u"title = 'R&D'"_s, u"salary < 3000 or title = 'Sales'"_s}},
        {.name = "LEFT JOIN ON",
         .sqlite = u"select e.id, e.name, d.title from emp e left join dept d on d.dept = e.dept"_s,
         .conditions = {u"title null"_s, u"title notnull and id < 4"_s}},
        {.name = "LEFT JOIN and ORDER BY",
         .sqlite = u"select d.dept, d.title, e.name from dept d left join emp e on e.dept = d.dept order by d.dept, e.name"_s,
         .expected = Wrap + u" order by q.dept, q.name"_s,
         .ordered = true,
         .conditions = {u"name null"_s, u"title = 'Sales'"_s}},
        {.name = "comma join",
         .sqlite = u"select e.id, e.name, d.title from emp e, dept d where d.dept = e.dept"_s,
         .conditions = {u"title = 'Sales'"_s, u"id > 8"_s}},
        {.name = "comma join and a top-level OR",
         .sqlite = u"select e.id, d.title from emp e, dept d where d.dept = e.dept and e.salary > 3000 or "
                   "d.dept = e.dept and e.dept = 3"_s,
         .conditions = {u"title include 'O'"_s, u"id < 6"_s}},
        {.name = "JOIN with a quoted column",
         .sqlite = u"select e.id, e.\"First Name\", d.title from emp e join dept d on d.dept = e.dept"_s,
         .conditions = {u"[First Name] = 'Ann'"_s, u"[First Name] null"_s,
                        u"[First Name] include 'a' and title = 'R&D'"_s}},

        // Dates
        {.name = "year of a date in the select list",
         .sqlite = u"select e.id, e.name, cast(strftime('%Y', e.hired) as integer) as yr from emp e"_s,
         .pg = u"select e.id, e.name, extract(year from e.hired) as yr from emp e"_s,
         .conditions = {u"yr > 2020"_s, u"yr = 2019 or yr < 2017"_s}},
        {.name = "year of a date in the select list and WHERE, ORDER BY",
         .sqlite = u"select e.id, cast(strftime('%Y', e.hired) as integer) as yr, e.salary from emp e "
                   "where strftime('%Y', e.hired) > '2018' order by e.id"_s,
         .pg = u"select e.id, extract(year from e.hired) as yr, e.salary from emp e where extract(year from e.hired) > 2018 "
               "order by e.id"_s,
         .expected = Wrap + u" order by q.id"_s,
         .ordered = true,
         .conditions = {u"salary > 3000"_s, u"yr < 2021"_s}},
        {.name = "date column",
         .sqlite = u"select e.id, e.name, e.hired from emp e"_s,
         .conditions = {u"hired > '2020-01-01'"_s, u"hired < '2018-01-01' or hired = '2024-04-04'"_s}},

        // Window functions
        // A window function computes its values over the statement's own rows: a condition
        // filters what the statement shows, and the values stay as shown.
        {.name = "row_number over a partition",
         .sqlite = u"select e.id, e.dept, e.salary, row_number() over (partition by e.dept order by e.salary desc, e.id) "
                   "as rn from emp e"_s,
         .conditions = {u"dept = 1"_s, u"salary > 2500"_s, u"rn = 1"_s, u"rn < 3 and salary < 4000"_s}},
        {.name = "row_number and ORDER BY",
         .sqlite = u"select e.id, e.name, row_number() over (order by e.salary, e.id) as pos from emp e order by e.id"_s,
         .expected = Wrap + u" order by q.id"_s,
         .ordered = true,
         .conditions = {u"id < 6"_s, u"name include 'a'"_s, u"pos > 8"_s}},
        {.name = "rank over the access rule, ORDER BY and LIMIT",
         .sqlite = u"select e.id, e.name, rank() over (order by e.salary desc) as r from emp e where e.dept <> 3 "
                   "order by r, e.id limit 4"_s,
         .expected = u"select * from (select e.id, e.name, rank() over (order by e.salary desc) as r from emp e where "
                     "e.dept <> 3) q where %C order by q.r, q.id limit 4"_s,
         .ordered = true,
         .conditions = {u"name include 'o'"_s, u"id > 2"_s}},
        {.name = "running total",
         .sqlite = u"select e.id, e.salary, sum(e.salary) over (order by e.id) as running from emp e where e.dept = 1"_s,
         .conditions = {u"id > 2"_s, u"running > 6000 and salary < 3000"_s}},

        // REAL columns: a single-precision float on PostgreSQL, compared in its own type. The
        // test's own statement compares the values as decimals.
        {.name = "REAL columns",
         .sqlite = u"select p.id, p.amount, p.share from price p"_s,
         .map = u"id=q.id;amount=cast(q.amount as numeric(10,2));share=cast(q.share as numeric(10,2))"_s,
         .conditions = {u"amount = 21.35"_s, u"share = 0.15 or amount < 10"_s, u"amount > 18.4"_s, u"share <> 0.15"_s}},

        // Unpaired brackets: refused, naming the row
        {.name = "bracket closed before it opens under an access rule",
         .sqlite = u"select e.id, e.name, e.dept, e.salary from emp e where e.dept <> 3 and e.salary > 100"_s,
         .conditions = {u"id = 1 ) or ( id = 5"_s, u"id = 2 or id = 1 ) or ( id = 5"_s},
         .reasons = {u"has no \"(\" before it"_s}},

        // select *, t.*, DISTINCT
        {.name = "select *",
         .sqlite = u"select * from emp"_s,
         .conditions = {u"salary > 3000"_s, u"note null"_s, u"[First Name] = 'Eve'"_s,
                        u"( dept = 1 or dept = 2 ) and note notnull"_s}},
        {.name = "select * and WHERE",
         .sqlite = u"select * from emp where dept = 2"_s,
         .conditions = {u"salary > 2000"_s, u"hired < '2019-01-01'"_s}},
        {.name = "t.* and BETWEEN",
         .sqlite = u"select e.* from emp e where e.salary between 2000 and 4000"_s,
         .conditions = {u"dept = 1"_s, u"note include 'e' or note null"_s}},
        {.name = "t.* and a joined column",
         .sqlite = u"select e.*, d.title from emp e left join dept d on d.dept = e.dept"_s,
         .conditions = {u"title null"_s, u"title = 'Sales' and salary > 2900"_s}},
        {.name = "DISTINCT",
         .sqlite = u"select distinct e.dept from emp e"_s,
         .expected = u"select distinct e.dept from emp e where %C"_s,
         .map = u"dept=e.dept"_s,
         .conditions = {u"dept > 1"_s, u"dept null"_s}},
        {.name = "DISTINCT of two columns and WHERE",
         .sqlite = u"select distinct e.dept, e.salary from emp e where e.salary < 4000"_s,
         .expected = u"select distinct e.dept, e.salary from emp e where e.salary < 4000 and %C"_s,
         .map = u"dept=e.dept;salary=e.salary"_s,
         .conditions = {u"salary = 2500"_s, u"dept = 3 or dept null"_s}},

        // Quoted names
        {.name = "quoted column and alias with spaces",
         .sqlite = u"select e.id, e.\"First Name\", e.name as \"Full Name\" from emp e"_s,
         .conditions = {u"[First Name] = 'Ann'"_s, u"[Full Name] include 'o'"_s, u"[First Name] null or id = 1"_s}},
        {.name = "quoted table alias with a space",
         .sqlite = u"select \"the staff\".id, \"the staff\".name from emp \"the staff\" where \"the staff\".dept = 2"_s,
         .conditions = {u"id > 4"_s, u"name include 'a'"_s}},

        // Expression columns
        {.name = "arithmetic column",
         .sqlite = u"select e.id, e.salary * 2 as doubled, e.salary from emp e"_s,
         .conditions = {u"doubled > 6000"_s, u"doubled = 5000"_s, u"doubled < 4000 and salary > 1000"_s}},
        {.name = "concatenated column",
         .sqlite = u"select e.id, e.name || ' ' || e.note as label from emp e"_s,
         .conditions = {u"label include 'lead'"_s, u"label null"_s, u"label notnull and id > 6"_s}},
        {.name = "coalesce column and a top-level OR",
         .sqlite = u"select e.id, coalesce(e.note, '-') as note2 from emp e where e.dept = 1 or e.dept = 2"_s,
         .conditions = {u"note2 = '-'"_s, u"note2 include 'e'"_s}},
        {.name = "substr column and ORDER BY on it",
         .sqlite = u"select e.id, substr(e.name, 1, 3) as abbr, e.dept from emp e order by abbr"_s,
         .expected = Wrap + u" order by q.abbr"_s,
         .ordered = true,
         .conditions = {u"abbr include 'Bo'"_s, u"abbr include 'a' or dept null"_s}},
        {.name = "CASE column",
         .sqlite = u"select e.id, case when e.salary > 3000 then 'high' else 'low' end as band from emp e"_s,
         .conditions = {u"band include 'high'"_s, u"band include 'low' and id < 5"_s}},
        {.name = "arithmetic over coalesce",
         .sqlite = u"select e.id, e.salary + coalesce(e.dept, 0) * 100 as score from emp e"_s,
         .conditions = {u"score > 3000"_s, u"score < 2500 or id = 1"_s}},

        // Text types: long text both engines compare, and text expressions
        {.name = "TEXT column",
         .sqlite = u"select c.category_id, c.category_name, c.description from categories c"_s,
         .conditions = {u"description = 'Cheeses'"_s, u"description <> 'Cheeses'"_s, u"description > 'S'"_s,
                        u"description < 'E' and category_id > 1"_s, u"description null or description = 'Cheeses'"_s}},
        {.name = "text expressions",
         .sqlite = u"select c.category_id, upper(c.category_name) as up, c.category_name || '!' as bang, "
                   "case when c.category_id > 2 then 'late' else 'early' end as half, "
                   "printf('%03d', c.category_id) as code, cast(c.category_id as text) as idtext from categories c"_s,
         .pg = u"select c.category_id, upper(c.category_name) as up, c.category_name || '!' as bang, "
               "case when c.category_id > 2 then 'late' else 'early' end as half, "
               "to_char(c.category_id, 'FM000') as code, c.category_id::text as idtext from categories c"_s,
         .conditions = {u"up = 'SEAFOOD'"_s, u"bang <> 'Seafood!'"_s, u"half = 'late'"_s, u"code = '003'"_s,
                        u"idtext > '2'"_s, u"code < '002' or up = 'PRODUCE'"_s}},
        {.name = "name column",
         .sqlite = {},
         .pg = u"select c.category_id, c.category_name::name as nm from categories c"_s,
         .conditions = {u"nm = 'Seafood'"_s, u"nm > 'D'"_s},
         .pgOnly = true},

        // Statement shapes the analysis must read
        {.name = "select * with NATURAL JOIN",
         .sqlite = u"select * from emp natural join dept"_s,
         .conditions = {u"title = 'Sales'"_s, u"dept = 2"_s, u"salary > 3000 and title include 'a'"_s}},
        {.name = "NATURAL JOIN with aliases",
         .sqlite = u"select e.id, e.name, d.title from emp e natural join dept d where e.salary > 2000"_s,
         .conditions = {u"title = 'R&D'"_s, u"id > 6"_s}},
        {.name = "NATURAL LEFT JOIN and a join after it",
         .sqlite = u"select e.id, d.title, a.what from emp e natural left join dept d left join audit a on a.id = e.id"_s,
         .conditions = {u"title null"_s, u"what notnull"_s, u"title = 'Sales'"_s}},
        {.name = "select * from a view with mixed-case columns",
         .sqlite = u"select * from \"StaffView\""_s,
         .conditions = {u"StaffName = 'Ann Smith'"_s, u"Pay > 3000"_s, u"StaffId < 3 or Pay = 2500"_s}},
        {.name = "v.* from a view with mixed-case columns",
         .sqlite = u"select v.* from \"StaffView\" v where v.\"Pay\" > 2000"_s,
         .conditions = {u"StaffName include 'a'"_s, u"StaffId > 6"_s}},
        {.name = "backquoted view name with a blank",
         .sqlite = u"select * from `Current Staff`"_s,
         .pg = u"select * from \"Current Staff\""_s,
         .conditions = {u"name include 'a'"_s, u"id > 5"_s}},
        {.name = "backquoted view name with a blank and WHERE",
         .sqlite = u"select s.id, s.name from `Current Staff` s where s.dept = 2"_s,
         .pg = u"select s.id, s.name from \"Current Staff\" s where s.dept = 2"_s,
         .conditions = {u"name include 'a'"_s, u"id > 5"_s}},
        {.name = "backquoted column and alias with blanks",
         .sqlite = u"select s.id, s.name as `Full Name`, s.`dept` from `Current Staff` s"_s,
         .pg = u"select s.id, s.name as \"Full Name\", s.\"dept\" from \"Current Staff\" s"_s,
         .conditions = {u"[Full Name] include 'o'"_s, u"dept = 2 and id > 5"_s}},
        // A condition on the DISTINCT ON key keeps or drops whole groups: WHERE and filtering
        // agree, so the rows tell whether the key column was read right.
        {.name = "DISTINCT ON",
         .sqlite = {},
         .pg = u"select distinct on (e.dept) e.dept, e.name from emp e order by e.dept, e.salary desc"_s,
         .expected = u"select distinct on (e.dept) e.dept, e.name from emp e where %C order by e.dept, e.salary desc"_s,
         .map = u"dept=e.dept"_s,
         .ordered = true,
         .conditions = {u"dept = 2"_s, u"dept <> 1"_s, u"dept null"_s},
         .pgOnly = true},
        // On another column WHERE would pick other rows of each group: the statement's result is
        // filtered (the top earner of each department, then those whose name holds an "a").
        {.name = "DISTINCT ON, condition on another column",
         .sqlite = {},
         .pg = u"select distinct on (e.dept) e.dept, e.name, e.salary from emp e order by e.dept, e.salary desc"_s,
         .expected = Wrap + u" order by q.dept"_s,
         .ordered = true,
         .conditions = {u"name include 'a'"_s, u"salary < 5000"_s, u"name = 'Ann Smith' or dept null"_s},
         .pgOnly = true},

        // Set operations
        {.name = "UNION",
         .sqlite = u"select id, name from emp where dept = 1 union select id, name from emp where salary > 5000"_s,
         .conditions = {u"id > 3"_s, u"name include 'a'"_s},
         .reasons = setOp},
        {.name = "UNION ALL",
         .sqlite = u"select e.id, e.salary from emp e where e.dept = 2 union all select e.id, e.salary from emp e where e.dept = 3"_s,
         .conditions = {u"salary > 2000"_s},
         .reasons = setOp},
        {.name = "UNION and ORDER BY",
         .sqlite = u"select id, name from emp where dept = 1 union select id, name from emp where dept = 3 order by id"_s,
         .expected = Wrap + u" order by q.id"_s,
         .ordered = true,
         .conditions = {u"id > 5"_s},
         .reasons = setOp},
        {.name = "INTERSECT",
         .sqlite = u"select id from emp where salary > 2500 intersect select id from emp where dept = 2"_s,
         .conditions = {u"id > 3"_s},
         .reasons = {u"intersect"_s}},
        {.name = "EXCEPT",
         .sqlite = u"select id, name from emp except select id, name from emp where dept = 1"_s,
         .conditions = {u"id < 6"_s, u"name include 'o'"_s},
         .reasons = {u"except"_s}},
    };
}

// Running statements outside the library -------------------------------------------------------

struct Rows
{
    QStringList rows; // every column of every row, as text
    QStringList ids;  // the first column
    QString error;
};

Rows fetch(const QSqlDatabase &db, const QString &sql)
{
    Rows out;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(sql)) {
        out.error = query.lastError().text();
        return out;
    }
    while (query.next()) {
        QStringList values;
        const int columns = query.record().count();
        for (int c = 0; c < columns; ++c) {
            const QVariant v = query.value(c);
            values.append(v.isNull() ? u"NULL"_s : v.toString());
        }
        out.rows.append(values.join(u'|'));
        out.ids.append(values.value(0));
    }
    return out;
}

/// Every table as one text: its row count and all of its rows in order.
QString checksum(const QSqlDatabase &db)
{
    QStringList parts;
    for (const QString &table : Tables) {
        const Rows rows = fetch(db, u"select * from %1 order by 1, 2"_s.arg(table));
        if (!rows.error.isEmpty()) {
            parts.append(table + u": "_s + rows.error);
            continue;
        }
        const QByteArray hash = QCryptographicHash::hash(rows.rows.join(u'\n').toUtf8(), QCryptographicHash::Sha1);
        parts.append(table + u": "_s + QString::number(rows.rows.size()) + u" rows "_s + QString::fromLatin1(hash.toHex().left(12)));
    }
    return parts.join(u"; "_s);
}

QString oneLine(QString text, int max = 400)
{
    text.replace(u"\r\n"_s, u"\\n"_s).replace(u'\n', u"\\n"_s).replace(u'\t', u"\\t"_s);
    return text.size() > max ? text.left(max) + u"..."_s : text;
}

// The user in the dialog -----------------------------------------------------------------------

QString operatorEntry(const QString &op)
{
    if (op == u"notnull") {
        return u"not null "_s;
    }
    return op + u' ';
}

/// Picks `entry` in the list editor of cell (row, col); on failure, `why` names what was offered.
bool pickInCell(QWidget *dialog, int row, int col, const QString &entry, QString *why)
{
    auto *grid = dialogtest::find<FlexGrid>(dialog, "MFGQuery");
    auto *list = dialogtest::find<QComboBox>(dialog, "comItem");
    dialogtest::clickCell(grid, row, col);
    if (dialogtest::pickItem(list, entry)) {
        return true;
    }
    *why = u"'"_s + entry + u"' not offered in column "_s + QString::number(col) + u" (offered: "_s
           + dialogtest::items(list).join(u", "_s) + u")"_s;
    return false;
}

/// Builds the condition in the grid as a user does; returns an empty text, or what was missing.
QString enterCondition(QWidget *dialog, const UserCondition &condition)
{
    QString why;
    for (int i = 0; i < condition.rows.size(); ++i) {
        const UserRow &row = condition.rows.at(i);
        const int r = i + 1;
        if (i > 0) {
            press(dialog, "cmdAdd");
        }
        if (!pickInCell(dialog, r, 1, row.column, &why) || !pickInCell(dialog, r, 2, operatorEntry(row.op), &why)) {
            return why;
        }
        if (!row.value.isEmpty()) {
            typeValue(dialog, r, row.value);
        }
        if (!row.open.isEmpty() && !pickInCell(dialog, r, 0, u"("_s, &why)) {
            return why;
        }
        if (!row.close.isEmpty() && !pickInCell(dialog, r, 4, u")"_s, &why)) {
            return why;
        }
        if (!row.logical.isEmpty()
            && !pickInCell(dialog, r, 5, row.logical == u"and" ? u" And "_s : u" Or"_s, &why)) {
            return why;
        }
    }
    return QString();
}

} // namespace

class TestRightRows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void rightRows_data();
    void rightRows();
    void writesRefused_data();
    void writesRefused();

private:
    struct Side
    {
        std::unique_ptr<test::SqliteFile> file;
        std::optional<test::PgServer> server;
        std::shared_ptr<ado::Connection> connection;
        QString checkName; // an independent Qt connection
        QString checksum;
    };
    Side *side(Engine engine);
    QString independentChecksum(const Side &s) const;
    void tally(Engine engine, const char *outcome);

    Side m_sqlite;
    Side m_postgres;
    bool m_hasPg = false;
    std::unique_ptr<RecordingUi> m_ui;
    std::unique_ptr<QObject> m_scope;
    Side *m_current = nullptr;
    QMap<QString, int> m_tally;
};

const QString PgName = u"condora_rightrows"_s;

void TestRightRows::initTestCase()
{
    QApplication::setEffectEnabled(Qt::UI_AnimateTooltip, false);
    m_sqlite.file = std::make_unique<test::SqliteFile>(schema(Engine::Sqlite));
    m_sqlite.connection = m_sqlite.file->open();
    m_sqlite.checkName = u"rightrows-check-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_sqlite.checkName);
        db.setDatabaseName(m_sqlite.file->path());
        QVERIFY(db.open());
    }
    m_sqlite.checksum = checksum(m_sqlite.connection->database());

    m_postgres.server = test::pgServer();
    if (m_postgres.server) {
        m_hasPg = true;
        m_postgres.server->createDatabase(PgName);
        m_postgres.server->exec(PgName, schema(Engine::Postgres));
        m_postgres.connection = m_postgres.server->open(PgName);
        m_postgres.checkName = u"rightrows-check-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces);
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, m_postgres.checkName);
        db.setHostName(m_postgres.server->host);
        db.setPort(m_postgres.server->port);
        db.setUserName(m_postgres.server->user);
        db.setPassword(m_postgres.server->password);
        db.setDatabaseName(PgName);
        QVERIFY(db.open());
        m_postgres.checksum = checksum(m_postgres.connection->database());
    }
    QCOMPARE(independentChecksum(m_sqlite), m_sqlite.checksum);
}

void TestRightRows::cleanupTestCase()
{
    QStringList lines;
    for (auto it = m_tally.cbegin(); it != m_tally.cend(); ++it) {
        lines.append(it.key() + u": "_s + QString::number(it.value()));
    }
    qInfo().noquote() << "runs by engine and outcome:" << lines.join(u", "_s);
    for (Side *s : {&m_sqlite, &m_postgres}) {
        s->connection.reset();
        if (!s->checkName.isEmpty()) {
            {
                QSqlDatabase db = QSqlDatabase::database(s->checkName, false);
                db.close();
            }
            QSqlDatabase::removeDatabase(s->checkName);
        }
    }
    m_sqlite.file.reset();
}

void TestRightRows::init()
{
    beginTestRun(m_ui, m_scope);
    m_current = nullptr;
}

void TestRightRows::cleanup()
{
    const QStringList open = endTestRun(m_ui, m_scope);
    QVERIFY2(open.isEmpty(), qPrintable(open.join(u", "_s)));
    // No run, whatever it selected, changes a table.
    if (m_current != nullptr) {
        QCOMPARE(checksum(m_current->connection->database()), m_current->checksum);
    }
}

TestRightRows::Side *TestRightRows::side(Engine engine)
{
    if (engine == Engine::Postgres && !m_hasPg) {
        return nullptr;
    }
    m_current = engine == Engine::Sqlite ? &m_sqlite : &m_postgres;
    return m_current;
}

QString TestRightRows::independentChecksum(const Side &s) const
{
    return checksum(QSqlDatabase::database(s.checkName, false));
}

void TestRightRows::tally(Engine engine, const char *outcome)
{
    ++m_tally[engineName(engine) + u" "_s + QLatin1StringView(outcome)];
}

#define NEED_ENGINE(engine)                                                                        \
    Side *s = side(engine);                                                                        \
    if (s == nullptr) {                                                                           \
        CONDORA_NEED_PG(pg);                                                                      \
        Q_UNUSED(pg);                                                                             \
    }

// Right rows -----------------------------------------------------------------------------------

void TestRightRows::rightRows_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("map");
    QTest::addColumn<bool>("ordered");
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QStringList>("reasons");

    for (Engine e : {Engine::Sqlite, Engine::Postgres}) {
        for (const Statement &st : statements()) {
            if (st.pgOnly && e != Engine::Postgres) {
                continue;
            }
            const QString base = e == Engine::Postgres && !st.pg.isEmpty() ? st.pg : st.sqlite;
            for (const QString &condition : st.conditions) {
                QString shown = condition;
                const int arrow = shown.indexOf(u"=>"_s);
                if (arrow >= 0) {
                    shown.truncate(arrow);
                }
                QTest::addRow("%s: %s | %s", qPrintable(engineName(e)), st.name, qPrintable(shown.trimmed()))
                    << e << base << (st.expected.isEmpty() ? Wrap : st.expected) << st.map << st.ordered
                    << condition << st.reasons;
            }
        }
    }
}

void TestRightRows::rightRows()
{
    QFETCH(Engine, engine);
    QFETCH(QString, base);
    QFETCH(QString, expected);
    QFETCH(QString, map);
    QFETCH(bool, ordered);
    QFETCH(QString, condition);
    QFETCH(QStringList, reasons);
    NEED_ENGINE(engine);

    const UserCondition user = parseCondition(condition);
    QVERIFY2(user.error.isEmpty(), qPrintable(u"data table: "_s + user.error));

    // The expected rows, from the test's own statement.
    QHash<QString, QString> expressions;
    for (const QString &pair : map.split(u';', Qt::SkipEmptyParts)) {
        expressions.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
    }
    QString oracle = user.expectedSql.isEmpty() ? expected : user.expectedSql;
    oracle.replace(u"%B"_s, base);
    if (oracle.contains(u"%C"_s)) {
        // Over the result columns of the wrapped base, or over the source expressions of a
        // written-out statement.
        QString missing;
        const QString oracleWhere = oracleCondition(user, [&](const QString &column) {
            if (expressions.isEmpty()) {
                return u"q.\""_s + column + u"\""_s;
            }
            if (!expressions.contains(column)) {
                missing = column;
            }
            return expressions.value(column);
        });
        QVERIFY2(missing.isEmpty(), qPrintable(u"data table: no expression for "_s + missing));
        oracle.replace(u"%C"_s, u"("_s + oracleWhere + u")"_s);
    }
    const QSqlDatabase db = s->connection->database();
    const Rows want = fetch(db, oracle);
    QVERIFY2(want.error.isEmpty(), qPrintable(u"expected statement does not run: "_s + want.error + u"\n"_s + oracle));

    // The run through the control and the dialog.
    ControlRun run;
    run.connection = s->connection;
    run.sqlInput = base;
    QString notEntered;
    QString composed; // the statement the dialog held when the user pressed OK
    run.user = [&](QWidget *dialog) {
        notEntered = enterCondition(dialog, user);
        if (!notEntered.isEmpty()) {
            press(dialog, "cmdCancel");
            return;
        }
        if (auto *form = qobject_cast<frmCondora *>(dialog)) {
            composed = form->resultSql();
        }
        okOrCancel(dialog);
    };
    const RunOutcome outcome = run.run(*m_ui);

    const QString context = u"base: "_s + oneLine(base) + u" || user: "_s + describe(user);
    const QString messages = oneLine(outcome.messages.join(u" // "_s));
    const QString wantIds = u"["_s + want.ids.join(u","_s) + u"]"_s;

    if (!outcome.dialogClosedByOk) {
        // Refused: before the dialog, by OK, or the condition could not be entered.
        if (!notEntered.isEmpty()) {
            if (user.mayBeRefused) {
                tally(engine, "withheld");
                return;
            }
            tally(engine, "FAIL not offered");
            QFAIL(qPrintable(u"NOT OFFERED: "_s + context + u" || "_s + notEntered + u" || messages: "_s + messages
                             + u" || expected "_s + wantIds));
        }
        if (outcome.messages.isEmpty()) {
            tally(engine, "FAIL silent refusal");
            QFAIL(qPrintable(u"SILENT REFUSAL: "_s + context + u" || dialog shown: "_s
                             + (outcome.sawDialog ? u"yes"_s : u"no"_s) + u" || expected "_s + wantIds));
        }
        const QString all = outcome.messages.join(u' ').toLower();
        // A database syntax error names no reason: the control sent a statement it had broken.
        static const QStringList broken{u"syntax error"_s, u"incomplete input"_s, u"unrecognized token"_s,
                                        u"unterminated"_s};
        if (std::any_of(broken.cbegin(), broken.cend(), [&](const QString &word) { return all.contains(word); })) {
            tally(engine, "FAIL malformed statement");
            QFAIL(qPrintable(u"MALFORMED: "_s + context + u" || composed: "_s + oneLine(composed)
                             + u" || message: "_s + messages + u" || expected "_s + wantIds));
        }
        const bool named = user.mayBeRefused
                           || std::any_of(reasons.cbegin(), reasons.cend(),
                                          [&](const QString &word) { return all.contains(word); });
        if (!named) {
            tally(engine, "FAIL refused");
            QFAIL(qPrintable(u"REFUSED: "_s + context + u" || dialog shown: "_s
                             + (outcome.sawDialog ? u"yes"_s : u"no"_s) + u" || composed: "_s + oneLine(composed)
                             + u" || message: "_s + messages + u" || expected "_s + wantIds));
        }
        if (qEnvironmentVariableIsSet("CONDORA_RIGHTROWS_SHOW")) {
            qInfo().noquote() << "refused:" << messages;
        }
        tally(engine, "refused with reason");
        return;
    }

    const QString finalSql = u" || final: "_s + oneLine(outcome.sql, 600);
    const Rows got = fetch(db, outcome.sql);
    if (!got.error.isEmpty()) {
        tally(engine, "FAIL final does not run");
        QFAIL(qPrintable(u"FINAL FAILS: "_s + context + finalSql + u" || error: "_s + oneLine(got.error)));
    }
    const QString gotIds = u"["_s + got.ids.join(u","_s) + u"]"_s;
    QStringList wantSorted = want.rows;
    QStringList gotSorted = got.rows;
    wantSorted.sort();
    gotSorted.sort();
    if (wantSorted != gotSorted) {
        tally(engine, "FAIL wrong rows");
        QFAIL(qPrintable(u"WRONG ROWS: "_s + context + finalSql + u" || expected "_s + wantIds + u" actual "_s
                         + gotIds));
    }
    if (ordered && want.rows != got.rows) {
        tally(engine, "FAIL wrong order");
        QFAIL(qPrintable(u"WRONG ORDER: "_s + context + finalSql + u" || expected "_s + wantIds + u" actual "_s
                         + gotIds));
    }
    if (qEnvironmentVariableIsSet("CONDORA_RIGHTROWS_SHOW")) {
        qInfo().noquote() << "right rows:" << oneLine(outcome.sql, 600) << "->" << gotIds;
    }
    tally(engine, "right rows");
}

// Statements that write ------------------------------------------------------------------------

void TestRightRows::writesRefused_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("result"); // GetQueryResult instead of GetQuerySql
    QTest::addColumn<bool>("ok");     // the user presses OK instead of Cancel
    // A SELECT whose function writes is a query as far as its text goes: only running it shows
    // the write, so the control can refuse it only where it runs the statement itself
    // (GetQueryResult after OK); a statement handed back as text is the host's to run.
    QTest::addColumn<bool>("textOnly");

    for (Engine e : {Engine::Sqlite, Engine::Postgres}) {
        QList<std::pair<const char *, QString>> writes{
            {"UPDATE", u"update emp set salary = 0"_s},
            {"UPDATE with a top-level OR", u"update emp set salary = 0 where id = 1 or id = 2"_s},
            {"DELETE", u"delete from emp where dept = 1"_s},
            {"DELETE with a top-level OR", u"delete from emp where id = 1 or id = 2"_s},
            {"INSERT SELECT", u"insert into audit (id, what) select id, name from emp"_s},
            {"INSERT SELECT with WHERE", u"insert into audit select e.id, e.name from emp e where e.dept = 1 or e.dept = 2"_s},
        };
        if (e == Engine::Postgres) {
            writes.append({"data-modifying CTE",
                           u"with x as (insert into audit (id, what) values (99, 'cte') returning *) select * from x"_s});
            writes.append({"data-modifying CTE deleting",
                           u"with gone as (delete from emp where id = 1 returning id, name) select g.id, g.name from gone g"_s});
            writes.append({"SELECT calling a function that writes", u"select e.id, log_read(e.id) as logged from emp e"_s});
            writes.append({"SELECT calling a function that writes, with WHERE",
                           u"select e.id, log_read(e.id) as logged from emp e where e.dept = 1 or e.dept = 2"_s});
        }
        for (const auto &[name, sql] : writes) {
            for (bool result : {false, true}) {
                for (bool ok : {false, true}) {
                    QTest::addRow("%s: %s, %s, %s", qPrintable(engineName(e)), name,
                                  result ? "GetQueryResult" : "GetQuerySql", ok ? "OK" : "Cancel")
                        << e << sql << result << ok
                        << (QString::fromLatin1(name).startsWith(u"SELECT calling"_s) && !(result && ok));
                }
            }
        }
    }
}

void TestRightRows::writesRefused()
{
    QFETCH(Engine, engine);
    QFETCH(QString, sql);
    QFETCH(bool, result);
    QFETCH(bool, ok);
    QFETCH(bool, textOnly);
    NEED_ENGINE(engine);

    ControlRun run;
    run.connection = s->connection;
    run.sqlInput = sql;
    run.result = result;
    run.user = [ok](QWidget *dialog) {
        if (ok) {
            okOrCancel(dialog);
        } else {
            press(dialog, "cmdCancel");
        }
    };
    const RunOutcome outcome = run.run(*m_ui);
    const QString context = u"statement: "_s + sql + u" || dialog shown: "_s + (outcome.sawDialog ? u"yes"_s : u"no"_s)
                            + u" || returned: "_s + oneLine(outcome.sql) + u" || messages: "_s
                            + oneLine(outcome.messages.join(u" // "_s));
    // Nothing changed, neither as the control's own session sees it nor as another session does.
    const QString same = checksum(s->connection->database());
    const QString other = independentChecksum(*s);
    if (same != s->checksum || other != s->checksum) {
        tally(engine, "FAIL write changed data");
        // Put the data back for the rows that follow.
        const QSqlDatabase db = s->connection->database();
        for (const QString &statement : schema(engine)) {
            if (statement.startsWith(u"INSERT"_s)) {
                const QString table = statement.section(u' ', 2, 2);
                fetch(db, u"delete from "_s + table);
                fetch(db, statement);
            }
        }
        QFAIL(qPrintable(u"DATA CHANGED: "_s + context + u" || own session: "_s + same + u" || other session: "_s
                         + other + u" || before: "_s + s->checksum));
    }
    if (textOnly) {
        QVERIFY2(!outcome.gotRecordset, qPrintable(context));
        tally(engine, "write not run");
        return;
    }
    if (outcome.messages.isEmpty()) {
        tally(engine, "FAIL write without message");
        QFAIL(qPrintable(u"NO MESSAGE: "_s + context));
    }
    QVERIFY2(!outcome.gotRecordset, qPrintable(context));
    QVERIFY2(outcome.sql.isEmpty(), qPrintable(context));
    tally(engine, "write refused");
}

CONDORA_TEST_MAIN(TestRightRows)

#include "tst_rightrows.moc"
