// The text side of the analysis: space collapsing, list splitting, the no-rows form, the
// statement cut, select and from lists, join flattening, type classes, database kinds and the
// error report. No database is needed here.

#include "analysis/columninfo.h"
#include "platform/ado/connectionstatistics.h"
#include "analysis/dbkind.h"
#include "analysis/databasekind.h"
#include "analysis/errorreport.h"
#include "analysis/fieldcatalog.h"
#include "analysis/statementsplitter.h"
#include "analysis/statementtools.h"
#include "analysis/tableresolution.h"
#include "platform/ado/connection.h"
#include "platform/runtimeerror.h"
#include "platform/userinteraction.h"

#include "support/testmain.h"

#include <QElapsedTimer>

#include <memory>
#include <new>
#include <stdexcept>

using namespace Qt::StringLiterals;
using namespace condora;

namespace {

const QString unrecognised = u"Condora can't recognise this sql's format.Please change the sql's format."_s;

// The demo host's two statements, as the query run hands them to the analysis.
const QString customerSql = u"SELECT Customers.CustomerID, Customers.CompanyName, Customers.ContactName, GenderTypes.Gender"
                            " FROM GenderTypes INNER JOIN Customers ON GenderTypes.GenderID = Customers.GenderID"_s;
const QString orderSelectList =
    u"[Order Details].OrderID, [Order Details].ProductID, Products.ProductName, [Order Details].UnitPrice, "
    "[Order Details].Quantity, [Order Details].Discount, "
    "CCur([Order Details].[UnitPrice]*[Quantity]*(1-[Discount])/100)*100 AS ExtendedPrice"_s;
const QString orderFrom = u"Products INNER JOIN [Order Details] ON Products.ProductID = [Order Details].ProductID"_s;
const QString orderSql = u"SELECT "_s + orderSelectList + u" FROM "_s + orderFrom + u" ORDER BY [Order Details].OrderID"_s;

// A catalog as readColumnNames leaves it: positions 0..n, only colName filled.
FieldCatalog catalogOf(const QStringList &names)
{
    FieldCatalog catalog(names.size() + 1);
    for (int i = 0; i < names.size(); ++i) {
        catalog[i + 1].colName = names.at(i);
    }
    return catalog;
}

QStringList column(const FieldCatalog &catalog, QString ColumnInfo::*field)
{
    QStringList values;
    for (int i = 1; i < catalog.size(); ++i) {
        values << catalog.at(i).*field;
    }
    return values;
}

QStringList tablePairs(const TableList &tables)
{
    QStringList pairs;
    for (int i = 1; i < tables.size(); ++i) {
        pairs << tables.at(i).tabName + u" | "_s + tables.at(i).tabAlias;
    }
    return pairs;
}

ado::Properties propertiesOf(const QList<QPair<QString, QVariant>> &items)
{
    ado::Properties properties;
    for (const auto &item : items) {
        properties.append(ado::Property(item.first, item.second));
    }
    return properties;
}

} // namespace

class TestStatementText : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void trimSpaces_data();
    void trimSpaces();
    void splitStr_data();
    void splitStr();
    void probeSql_data();
    void probeSql();
    void testSqlSkipsEmptyStatements();

    void cutStatement_data();
    void cutStatement();
    void cutStatementWithoutFrom_data();
    void cutStatementWithoutFrom();

    void parseSelectList_data();
    void parseSelectList();
    void parseSelectListFailures_data();
    void parseSelectListFailures();

    void flattenJoins_data();
    void flattenJoins();
    void flattenJoinsWithoutOn_data();
    void flattenJoinsWithoutOn();
    void parseFromList_data();
    void parseFromList();
    void parseFromListOfNothing();

    void typeClassOf_data();
    void typeClassOf();
    void dbKindFromDbmsName_data();
    void dbKindFromDbmsName();
    void dbKindFromProperties_data();
    void dbKindFromProperties();
    void getDbKindOfUnopenedConnection();

    void showErrorText_data();
    void showErrorText();
    void showCurrentErrorNumbers();

    void longStatements();
    void kindAndClassTexts();

private:
    std::unique_ptr<RecordingUserInteraction> m_ui;
};

void TestStatementText::init()
{
    m_ui = std::make_unique<RecordingUserInteraction>();
}

void TestStatementText::cleanup()
{
    m_ui.reset();
}

void TestStatementText::trimSpaces_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("runs of two and three") << u"select  a,   b  from   t   where  x = 1"_s << u"select a, b from t where x = 1"_s;
    QTest::newRow("only spaces") << u"     "_s << u" "_s;
    QTest::newRow("one space") << u" "_s << u" "_s;
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("edges keep one space") << u"   select a from t  "_s << u" select a from t "_s;
    QTest::newRow("single spaces untouched") << u"select a from t"_s << u"select a from t"_s;
    QTest::newRow("tabs and line breaks stay") << u"select\t\ta\r\n\r\nfrom  t"_s << u"select\t\ta\r\n\r\nfrom t"_s;
    QTest::newRow("space around a tab") << u"a  \t  b"_s << u"a \t b"_s;
    QTest::newRow("literal keeps its runs (literals were collapsed)") << u"where n = 'a  b'"_s << u"where n = 'a  b'"_s;
    QTest::newRow("quoted names and comments keep their runs")
        << u"select  \"a  b\",  [c  d]  /* x  y */  from t  -- z  w"_s
        << u"select \"a  b\", [c  d] /* x  y */ from t -- z  w"_s;
    QTest::newRow("runs next to a literal collapse") << u"x =  '  '  and"_s << u"x = '  ' and"_s;
    QTest::newRow("non-ASCII") << u"wähle  Straße   aus  Städte"_s << u"wähle Straße aus Städte"_s;
    QTest::newRow("long run") << u"a"_s + QString(1000, u' ') + u"b"_s << u"a b"_s;
}

void TestStatementText::trimSpaces()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(condora::trimSpaces(text), expected);
    QVERIFY(m_ui->messages().isEmpty());
}

void TestStatementText::splitStr_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QStringList>("pieces"); // positions 1..n
    QTest::newRow("ends in the separator") << u"a,b,"_s << u","_s << QStringList{u"a"_s, u"b"_s, QString()};
    QTest::newRow("starts with the separator") << u",a"_s << u","_s << QStringList{QString(), u"a"_s};
    QTest::newRow("empty text") << QString() << u","_s << QStringList{QString()};
    QTest::newRow("pieces keep their spaces") << u" a , b "_s << u","_s << QStringList{u" a "_s, u" b "_s};
    QTest::newRow("no separator") << u"abc"_s << u","_s << QStringList{u"abc"_s};
    QTest::newRow("only the separator") << u","_s << u","_s << QStringList{QString(), QString()};
    QTest::newRow("two in a row") << u"a,,b"_s << u","_s << QStringList{u"a"_s, QString(), u"b"_s};
    QTest::newRow("separator found in any case") << u"aXbxc"_s << u"x"_s << QStringList{u"a"_s, u"b"_s, u"c"_s};
    QTest::newRow("parentheses are not special") << u"coalesce(a, b),c"_s << u","_s
                                                 << QStringList{u"coalesce(a"_s, u" b)"_s, u"c"_s};
    QTest::newRow("quotes are not special") << u"'x,y'"_s << u","_s << QStringList{u"'x"_s, u"y'"_s};
    // Only one character is skipped after a find, whatever the separator's length.
    QTest::newRow("long separator skips one character") << u"a, b, c"_s << u", "_s
                                                        << QStringList{u"a"_s, u" b"_s, u" c"_s};
    QTest::newRow("tab and line break are plain characters") << u"a\t,\nb"_s << u","_s
                                                             << QStringList{u"a\t"_s, u"\nb"_s};
}

void TestStatementText::splitStr()
{
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QFETCH(QStringList, pieces);
    QStringList list{u"old"_s, u"content"_s, u"to"_s, u"drop"_s, u"here"_s};
    const int count = condora::splitStr(list, text, separator);
    QCOMPARE(count, pieces.size());
    QCOMPARE(list, QStringList{QString()} + pieces);
}

void TestStatementText::probeSql_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("probe");
    QTest::newRow("plain") << u"select a from t"_s << u"select a from t where 1=0 "_s;
    QTest::newRow("order by keeps its leading space")
        << u"select a from t order by a"_s << u"select a from t where 1=0  order by a"_s;
    QTest::newRow("where") << u"select a from t where x=1"_s << u"select a from t where x=1 and 1=0 "_s;
    QTest::newRow("where and order by")
        << u"select a from t where x=1 order by a desc"_s << u"select a from t where x=1 and 1=0  order by a desc"_s;
    QTest::newRow("OR in the base WHERE bracketed (1=0 was bound to its last term)")
        << u"select a from t where x=1 or y=2"_s << u"select a from t where (x=1 or y=2) and (1=0 )"_s;
    QTest::newRow("upper case keywords")
        << u"SELECT a FROM t WHERE x=1 ORDER BY a"_s << u"SELECT a FROM t WHERE x=1 and 1=0  ORDER BY a"_s;
    QTest::newRow("before group by (was appended after it)") << u"select a, count(*) from t group by a"_s
                                                             << u"select a, count(*) from t where 1=0  group by a"_s;
    QTest::newRow("line break before where (was no keyword)")
        << u"select a from t\nwhere x=1"_s << u"select a from t\nwhere x=1 and 1=0 "_s;
    QTest::newRow("tab before order by (was no keyword)")
        << u"select a from t where x=1\torder by a"_s << u"select a from t where x=1 and 1=0 \torder by a"_s;
    QTest::newRow("where inside a sub-query (counted as the statement's own)")
        << u"select a from (select a from t where b=1) s"_s << u"select a from (select a from t where b=1) s where 1=0 "_s;
    QTest::newRow("worked example: order statement")
        << orderSql
        << u"SELECT "_s + orderSelectList + u" FROM "_s + orderFrom + u" where 1=0  ORDER BY [Order Details].OrderID"_s;
    QTest::newRow("worked example: customer statement") << customerSql << customerSql + u" where 1=0 "_s;
    QTest::newRow("empty") << QString() << u" where 1=0 "_s;
}

void TestStatementText::probeSql()
{
    QFETCH(QString, statement);
    QFETCH(QString, probe);
    QCOMPARE(condora::probeSql(statement), probe);
}

void TestStatementText::testSqlSkipsEmptyStatements()
{
    // An unopened connection would fail any statement: nothing is run.
    ado::Connection connection;
    QCOMPARE(testSql(connection, QString()), QString());
    QCOMPARE(testSql(connection, u"    "_s), QString());
    QCOMPARE(condora::ado::statementCount(connection), 0);
    QVERIFY(m_ui->messages().isEmpty());
}

void TestStatementText::cutStatement_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("selectList");
    QTest::addColumn<QString>("fromClause");
    QTest::newRow("plain") << u"select a, b from t"_s << u"a, b"_s << u"t"_s;
    QTest::newRow("upper case") << u"SELECT a, b FROM t"_s << u"a, b"_s << u"t"_s;
    QTest::newRow("distinct stays in the list") << u"select distinct a from t"_s << u"distinct a"_s << u"t"_s;
    QTest::newRow("first seven characters dropped whatever they hold")
        << u"selekt a from t"_s << u"a"_s << u"t"_s;
    QTest::newRow("short select part") << u"sel a from t"_s << QString() << u"t"_s;
    QTest::newRow("where ends the from clause") << u"select a from t where x=1 order by a"_s << u"a"_s << u"t"_s;
    QTest::newRow("order by ends the from clause") << u"select a from t order by a"_s << u"a"_s << u"t"_s;
    QTest::newRow("from clause to the end") << u"select a from t, u "_s << u"a"_s << u"t, u "_s;
    QTest::newRow("sub-query's from in the select list (was the cut)")
        << u"select a, (select max(b) from u) as m from t"_s << u"a, (select max(b) from u) as m"_s << u"t"_s;
    QTest::newRow("function's from (was the cut)")
        << u"select extract(year from d) y from t"_s << u"extract(year from d) y"_s << u"t"_s;
    QTest::newRow("sub-query in from keeps its where (was its end)")
        << u"select s.a from (select a from t where b=1) s"_s << u"s.a"_s << u"(select a from t where b=1) s"_s;
    QTest::newRow("tab before where (was no keyword)") << u"select a from t\twhere x=1"_s << u"a"_s << u"t"_s;
    QTest::newRow("line break before from (was no keyword)") << u"select a\nfrom t"_s << u"a"_s << u"t"_s;
    QTest::newRow("tab after from (was no keyword)") << u"select a from\tt"_s << u"a"_s << u"t"_s;
    QTest::newRow("group by ends the from clause") << u"select a, count(*) from t group by a"_s << u"a, count(*)"_s
                                                   << u"t"_s;
    QTest::newRow("limit ends the from clause") << u"select a from t limit 5"_s << u"a"_s << u"t"_s;
    QTest::newRow("comments around the clauses")
        << u"-- head\nselect a -- the list\nfrom /* tables */ t -- end"_s << u"a"_s << u"t"_s;
    QTest::newRow("worked example: customer statement")
        << customerSql << u"Customers.CustomerID, Customers.CompanyName, Customers.ContactName, GenderTypes.Gender"_s
        << u"GenderTypes INNER JOIN Customers ON GenderTypes.GenderID = Customers.GenderID"_s;
    QTest::newRow("worked example: order statement") << orderSql << orderSelectList << orderFrom;
}

void TestStatementText::cutStatement()
{
    QFETCH(QString, statement);
    QFETCH(QString, selectList);
    QFETCH(QString, fromClause);
    const StatementPieces pieces = condora::cutStatement(statement);
    QCOMPARE(pieces.selectList, selectList);
    QCOMPARE(pieces.fromClause, fromClause);
}

void TestStatementText::cutStatementWithoutFrom_data()
{
    QTest::addColumn<QString>("statement");
    QTest::newRow("no from") << u"select 1"_s;
    QTest::newRow("from only in a literal") << u"select ' from ' x"_s;
    QTest::newRow("from only in a comment") << u"select a -- from t"_s;
    QTest::newRow("empty") << QString();
}

void TestStatementText::cutStatementWithoutFrom()
{
    QFETCH(QString, statement);
    try {
        condora::cutStatement(statement);
        QFAIL("a statement without \" from \" was cut");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), ErrorNumber::InvalidArgument);
    }
}

void TestStatementText::parseSelectList_data()
{
    QTest::addColumn<QString>("selectList");
    QTest::addColumn<QStringList>("colNames");
    QTest::addColumn<QStringList>("colExpr");
    QTest::addColumn<QStringList>("tabAlias");
    QTest::newRow("qualified") << u"Customers.CustomerID"_s << QStringList{u"CustomerID"_s}
                               << QStringList{u"CustomerID"_s} << QStringList{u"Customers"_s};
    QTest::newRow("qualifier and as alias") << u"c.Name as CustName"_s << QStringList{u"CustName"_s}
                                            << QStringList{u"Name"_s} << QStringList{u"c"_s};
    QTest::newRow("alias without as") << u"Name CustName"_s << QStringList{u"CustName"_s} << QStringList{u"Name"_s}
                                      << QStringList{QString()};
    QTest::newRow("expression with alias cut by length") << u"a + b total"_s << QStringList{u"total"_s}
                                                         << QStringList{u"a + b"_s} << QStringList{QString()};
    QTest::newRow("expression with as cut at the first space") << u"a + b as total"_s << QStringList{u"total"_s}
                                                               << QStringList{u"a"_s} << QStringList{QString()};
    QTest::newRow("AS in upper case") << u"SUM(q) AS total"_s << QStringList{u"total"_s}
                                      << QStringList{u"SUM(q)"_s} << QStringList{QString()};
    QTest::newRow("same length as the name keeps the item") << u"a b"_s << QStringList{u"xyz"_s}
                                                            << QStringList{u"a b"_s} << QStringList{QString()};
    QTest::newRow("one dot per item") << u"s.t.c"_s << QStringList{u"c"_s} << QStringList{u"t.c"_s}
                                      << QStringList{u"s"_s};
    QTest::newRow("items trimmed") << u"  a  ,  t.b  "_s << QStringList{u"a"_s, u"b"_s}
                                   << QStringList{u"a"_s, u"b"_s} << QStringList{QString(), u"t"_s};
    QTest::newRow("distinct skipped (was cut by length)") << u"distinct GenderID"_s << QStringList{u"GenderID"_s}
                                                          << QStringList{u"GenderID"_s} << QStringList{QString()};
    QTest::newRow("distinct on skipped (was the name \"ON (o.customer_id) o.customer_id\")")
        << u"DISTINCT ON (o.customer_id) o.customer_id, o.total"_s << QStringList{u"customer_id"_s, u"total"_s}
        << QStringList{u"customer_id"_s, u"total"_s} << QStringList{u"o"_s, u"o"_s};
    QTest::newRow("distinct on two expressions")
        << u"distinct on (a, (b + 1)) a, b"_s << QStringList{u"a"_s, u"b"_s} << QStringList{u"a"_s, u"b"_s}
        << QStringList{QString(), QString()};
    QTest::newRow("star binds nothing") << u"*"_s << QStringList{u"a"_s, u"b"_s, u"c"_s}
                                        << QStringList{u"*"_s, QString(), QString()}
                                        << QStringList{QString(), QString(), QString()};
    QTest::newRow("non-ASCII") << u"ö.Straße, Größe gr"_s << QStringList{u"Straße"_s, u"gr"_s}
                               << QStringList{u"Straße"_s, u"Größe"_s} << QStringList{u"ö"_s, QString()};
    QTest::newRow("tab before the alias (was part of the expression)")
        << u"a\tb"_s << QStringList{u"b"_s} << QStringList{u"a"_s} << QStringList{QString()};
    QTest::newRow("comma in a call (was a second item)")
        << u"coalesce(a, b) x, ', ' y"_s << QStringList{u"x"_s, u"y"_s} << QStringList{u"coalesce(a, b)"_s, u"', '"_s}
        << QStringList{QString(), QString()};
    QTest::newRow("worked example: customer statement")
        << u"Customers.CustomerID, Customers.CompanyName, Customers.ContactName, GenderTypes.Gender"_s
        << QStringList{u"CustomerID"_s, u"CompanyName"_s, u"ContactName"_s, u"Gender"_s}
        << QStringList{u"CustomerID"_s, u"CompanyName"_s, u"ContactName"_s, u"Gender"_s}
        << QStringList{u"Customers"_s, u"Customers"_s, u"Customers"_s, u"GenderTypes"_s};
    QTest::newRow("worked example: order statement")
        << orderSelectList
        << QStringList{u"OrderID"_s, u"ProductID"_s, u"ProductName"_s, u"UnitPrice"_s, u"Quantity"_s, u"Discount"_s,
                       u"ExtendedPrice"_s}
        << QStringList{u"OrderID"_s, u"ProductID"_s, u"ProductName"_s, u"UnitPrice"_s, u"Quantity"_s, u"Discount"_s,
                       u"[UnitPrice]*[Quantity]*(1-[Discount])/100)*100"_s}
        << QStringList{u"[Order Details]"_s, u"[Order Details]"_s, u"Products"_s, u"[Order Details]"_s,
                       u"[Order Details]"_s, u"[Order Details]"_s, u"CCur([Order Details]"_s};
}

void TestStatementText::parseSelectList()
{
    QFETCH(QString, selectList);
    QFETCH(QStringList, colNames);
    QFETCH(QStringList, colExpr);
    QFETCH(QStringList, tabAlias);
    FieldCatalog catalog = catalogOf(colNames);
    QVERIFY(condora::parseSelectList(selectList, catalog));
    QCOMPARE(column(catalog, &ColumnInfo::colExpr), colExpr);
    QCOMPARE(column(catalog, &ColumnInfo::tabAlias), tabAlias);
    QCOMPARE(column(catalog, &ColumnInfo::colName), colNames);
    QCOMPARE(column(catalog, &ColumnInfo::tabName), QStringList(colNames.size(), QString()));
    QCOMPARE(catalog.at(0), ColumnInfo());
    // Every parsed item gets a value list with one empty position 0.
    QCOMPARE(catalog.at(1).valueList, QStringList{QString()});
    QVERIFY(m_ui->messages().isEmpty());
}

void TestStatementText::parseSelectListFailures_data()
{
    QTest::addColumn<QString>("selectList");
    QTest::addColumn<QStringList>("colNames");
    QTest::addColumn<int>("number");
    QTest::newRow("more items than columns") << u"a, b, c"_s << QStringList{u"a"_s, u"b"_s}
                                             << int(ErrorNumber::SubscriptOutOfRange);
    QTest::newRow("more items than columns, commas in calls not counted")
        << u"coalesce(a, b) as x, y"_s << QStringList{u"x"_s} << int(ErrorNumber::SubscriptOutOfRange);
    QTest::newRow("empty catalog") << u"a"_s << QStringList() << int(ErrorNumber::SubscriptOutOfRange);
    // The alias is cut by the name's length: a name longer than the item gives a negative length.
    QTest::newRow("name longer than the item") << u"ab c"_s << QStringList{u"longer_name"_s}
                                               << int(ErrorNumber::InvalidArgument);
}

void TestStatementText::parseSelectListFailures()
{
    QFETCH(QString, selectList);
    QFETCH(QStringList, colNames);
    QFETCH(int, number);
    FieldCatalog catalog = catalogOf(colNames);
    QVERIFY(!condora::parseSelectList(selectList, catalog));
    QCOMPARE(m_ui->messages().size(), 1);
    const QStringList lines = m_ui->texts().at(0).split(u"\r\n"_s);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), u"Error message:"_s + unrecognised);
    QVERIFY(lines.at(1).startsWith(u' '));
    QCOMPARE(lines.at(2), u"Error number:"_s + QString::number(number));
}

void TestStatementText::flattenJoins_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("flat");
    QTest::newRow("worked example: customer statement")
        << u"GenderTypes INNER JOIN Customers ON GenderTypes.GenderID = Customers.GenderID"_s
        << u"GenderTypes,Customers"_s;
    QTest::newRow("worked example: order statement") << orderFrom << u"Products,[Order Details]"_s;
    QTest::newRow("cross join") << u"a cross join b"_s << u"a,b"_s;
    QTest::newRow("two cross joins") << u"a CROSS JOIN b cross join c"_s << u"a,b,c"_s;
    QTest::newRow("comma then inner join") << u"a, b inner join c on b.x = c.x"_s << u"a,b,c"_s;
    QTest::newRow("plain list unchanged") << u"a, b"_s << u"a, b"_s;
    QTest::newRow("single table") << u"Customers"_s << u"Customers"_s;
    QTest::newRow("mixed joins") << u"a inner join b on a.x = b.x left outer join c on b.y = c.y"_s << u"a,b,c"_s;
    QTest::newRow("every join keyword")
        << u"a left join b on a.x=b.x right join c on b.y=c.y full join d on c.z=d.z "
           "full outer join e on d.w=e.w right outer join f on e.v=f.v left outer join g on f.u=g.u "
           "inner join h on g.t=h.t"_s
        << u"a,b,c,d,e,f,g,h"_s;
    QTest::newRow("aliases kept") << u"Orders o inner join Customers c on o.CustomerID = c.CustomerID"_s
                                  << u"Orders o,Customers c"_s;
    QTest::newRow("joins in two items") << u"a inner join b on a.x=b.x, c left join d on c.y=d.y"_s
                                        << u"a,b,c,d"_s;
    QTest::newRow("mixed case keywords") << u"a Inner Join b On a.x=b.x"_s << u"a,b"_s;
    QTest::newRow("bare join (was no keyword)") << u"a join b on a.x=b.x"_s << u"a,b"_s;
    QTest::newRow("join with using (was a join without on)") << u"a inner join b using (x)"_s << u"a,b"_s;
    QTest::newRow("line break before join (was no keyword)") << u"a\ninner join b on a.x=b.x"_s << u"a,b"_s;
    QTest::newRow("line break before on (was a join without on)") << u"a inner join b\non a.x=b.x"_s << u"a,b"_s;
    QTest::newRow("join words in sub-queries, literals and comments")
        << u"(select x from u inner join v on 1=1) s /* inner join c on */ inner join \"left join\" w on w.k = 'x cross join y'"_s
        << u"(select x from u inner join v on 1=1) s,\"left join\" w"_s;
    QTest::newRow("empty items vanish after the first") << u"a,,b"_s << u"a,b"_s;
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("natural join (was a join without on)") << u"emp e natural join dept d"_s << u"emp e,dept d"_s;
    QTest::newRow("natural left outer join, then a join with on")
        << u"a NATURAL LEFT OUTER JOIN b inner join c on c.x = a.x"_s << u"a,b,c"_s;
}

void TestStatementText::flattenJoins()
{
    QFETCH(QString, from);
    QFETCH(QString, flat);
    QCOMPARE(condora::flattenJoins(from), flat);
    QVERIFY(m_ui->messages().isEmpty());
}

void TestStatementText::flattenJoinsWithoutOn_data()
{
    QTest::addColumn<QString>("from");
    QTest::newRow("last joined table") << u"a inner join b"_s;
    QTest::newRow("in a later item") << u"a, b left join c"_s;
    QTest::newRow("on only after the next join") << u"a inner join b left join c on c.x=a.x"_s;
}

void TestStatementText::flattenJoinsWithoutOn()
{
    QFETCH(QString, from);
    QCOMPARE(condora::flattenJoins(from), QString());
    QCOMPARE(m_ui->messages().size(), 1);
    const QStringList lines = m_ui->texts().at(0).split(u"\r\n"_s);
    QCOMPARE(lines.at(0), u"Error message:"_s);
    QCOMPARE(lines.at(2), u"Error number:5"_s);

    // parseFromList fails on it without a second message.
    m_ui->clear();
    TableList tables;
    QVERIFY(!condora::parseFromList(from, tables));
    QCOMPARE(m_ui->messages().size(), 1);
    QCOMPARE(m_ui->texts().at(0).split(u"\r\n"_s).at(0), u"Error message:"_s);
}

void TestStatementText::parseFromList_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QStringList>("tables"); // "tabName | tabAlias"
    QTest::newRow("worked example: customer statement")
        << u"GenderTypes INNER JOIN Customers ON GenderTypes.GenderID = Customers.GenderID"_s
        << QStringList{u"GenderTypes | GenderTypes"_s, u"Customers | Customers"_s};
    QTest::newRow("worked example: order statement")
        << orderFrom << QStringList{u"Products | Products"_s, u"[Order Details] | [Order Details]"_s};
    QTest::newRow("bracketed with alias") << u"[Order Details] od"_s << QStringList{u"[Order Details] | od"_s};
    QTest::newRow("bracketed alone") << u"[Order Details]"_s << QStringList{u"[Order Details] | [Order Details]"_s};
    QTest::newRow("bracketed with as") << u"[Order Details] as od"_s << QStringList{u"[Order Details] | od"_s};
    QTest::newRow("bracketed, alias without space") << u"[Order Details]od"_s
                                                    << QStringList{u"[Order Details] | od"_s};
    QTest::newRow("double-quoted with alias") << u"\"Order Details\" od"_s
                                              << QStringList{u"\"Order Details\" | od"_s};
    QTest::newRow("double-quoted alone") << u"\"Order Details\""_s
                                         << QStringList{u"\"Order Details\" | \"Order Details\""_s};
    QTest::newRow("backquoted with a blank (was cut at the blank)")
        << u"`Current Product List` p, `Current Staff`"_s
        << QStringList{u"`Current Product List` | p"_s, u"`Current Staff` | `Current Staff`"_s};
    QTest::newRow("alias after a space") << u"Orders o"_s << QStringList{u"Orders | o"_s};
    QTest::newRow("alias after as") << u"Orders as o"_s << QStringList{u"Orders | o"_s};
    QTest::newRow("alias after AS") << u"Orders AS o"_s << QStringList{u"Orders | o"_s};
    QTest::newRow("plain list items trimmed") << u"a, b"_s << QStringList{u"a | a"_s, u"b | b"_s};
    QTest::newRow("joins with aliases")
        << u"Orders o, [Order Details] od inner join Products p on p.ProductID = od.ProductID"_s
        << QStringList{u"Orders | o"_s, u"[Order Details] | od"_s, u"Products | p"_s};
    QTest::newRow("non-ASCII") << u"Städte ö cross join Länder"_s << QStringList{u"Städte | ö"_s, u"Länder | Länder"_s};
    QTest::newRow("schema-qualified") << u"main.Customers c"_s << QStringList{u"main.Customers | c"_s};
    QTest::newRow("sub-query with commas and keywords (was cut inside)")
        << u"(select a, b from t where x = 1) s, u"_s
        << QStringList{u"(select a, b from t where x = 1) | s"_s, u"u | u"_s};
    QTest::newRow("as inside a quoted name (was the cut)")
        << u"\"Sales as of 2020\" s"_s << QStringList{u"\"Sales as of 2020\" | s"_s};
    QTest::newRow("tab and line break before the alias (were part of the name)")
        << u"Orders\to,\nCustomers\r\nc"_s << QStringList{u"Orders | o"_s, u"Customers | c"_s};
}

void TestStatementText::parseFromList()
{
    QFETCH(QString, from);
    QFETCH(QStringList, tables);
    TableList list{TableRef{u"left"_s, u"over"_s}};
    QVERIFY(condora::parseFromList(from, list));
    QCOMPARE(list.at(0), TableRef());
    QCOMPARE(tablePairs(list), tables);
    QVERIFY(m_ui->messages().isEmpty());
}

void TestStatementText::parseFromListOfNothing()
{
    TableList tables;
    QVERIFY(!condora::parseFromList(QString(), tables));
    QVERIFY(m_ui->messages().isEmpty());
}

void TestStatementText::typeClassOf_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("typeClass");
    const QList<int> numbers{2, 3, 4, 5, 6, 14, 16, 17, 18, 19, 20, 21, 131, 139};
    const QList<int> dates{7, 64, 133, 135};
    const QList<int> strings{8, 10, 12, 129, 130, 134, 200, 202};
    for (int type = 0; type <= 205; ++type) {
        QString expected = u"other"_s;
        if (numbers.contains(type)) {
            expected = u"number"_s;
        } else if (dates.contains(type)) {
            expected = u"date"_s;
        } else if (strings.contains(type)) {
            expected = u"string"_s;
        } else if (type == 11) {
            expected = u"boolean"_s;
        } else if (type == 201 || type == 203) {
            expected = u"lstring"_s;
        }
        QTest::addRow("%d", type) << type << expected;
    }
    for (int type : {-1, -2, 206, 300, 0x2000 + 202, 0x4000 + 3, std::numeric_limits<int>::max(),
                     std::numeric_limits<int>::min()}) {
        QTest::addRow("outside %d", type) << type << u"other"_s;
    }
}

void TestStatementText::typeClassOf()
{
    QFETCH(int, type);
    QFETCH(QString, typeClass);
    QCOMPARE(typeClassText(condora::typeClassOf(type)), typeClass);
}

void TestStatementText::dbKindFromDbmsName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::newRow("ACCESS") << u"ACCESS"_s << u"3"_s;
    QTest::newRow("MS Jet") << u"MS Jet"_s << u"3"_s;
    QTest::newRow("Microsoft SQL Server") << u"Microsoft SQL Server"_s << u"2"_s;
    QTest::newRow("Oracle") << u"Oracle"_s << u"1"_s;
    QTest::newRow("MySQL") << u"MySQL"_s << u"99"_s;
    QTest::newRow("PostgreSQL") << u"PostgreSQL"_s << u"99"_s;
    QTest::newRow("SQLite") << u"SQLite"_s << u"99"_s;
    QTest::newRow("oracle before server") << u"Oracle Database Server"_s << u"1"_s;
    QTest::newRow("server before access") << u"Access Server"_s << u"2"_s;
    QTest::newRow("mixed case") << u"oRaClE"_s << u"1"_s;
    QTest::newRow("substring") << u"Microsoft Access Driver"_s << u"3"_s;
    QTest::newRow("empty") << QString() << u"99"_s;
}

void TestStatementText::dbKindFromDbmsName()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QCOMPARE(dbKindText(condora::dbKindFromDbmsName(name)), kind);
}

void TestStatementText::dbKindFromProperties_data()
{
    using Items = QList<QPair<QString, QVariant>>;
    QTest::addColumn<Items>("items");
    QTest::addColumn<QString>("kind");
    QTest::newRow("after other properties")
        << Items{{u"Provider Name"_s, u"MSDAORA"_s}, {u"DBMS Name"_s, u"Oracle"_s}} << u"1"_s;
    QTest::newRow("name in any case") << Items{{u"dbms NAME"_s, u"MS Jet"_s}} << u"3"_s;
    QTest::newRow("name containing it") << Items{{u"Active DBMS Name (ex)"_s, u"Microsoft SQL Server"_s}} << u"2"_s;
    QTest::newRow("value in upper case") << Items{{u"DBMS Name"_s, u"ORACLE"_s}} << u"1"_s;
    QTest::newRow("first one wins")
        << Items{{u"DBMS Name"_s, u"MySQL"_s}, {u"Other DBMS Name"_s, u"Oracle"_s}} << u"99"_s;
    QTest::newRow("not a text value") << Items{{u"DBMS Name"_s, 42}} << u"99"_s;
    QTest::newRow("no such property") << Items{{u"DBMS Version"_s, u"Oracle 19"_s}, {u"DBMSName"_s, u"Oracle"_s}}
                                      << QString();
    QTest::newRow("no properties") << Items{} << QString();
}

void TestStatementText::dbKindFromProperties()
{
    using Items = QList<QPair<QString, QVariant>>;
    QFETCH(Items, items);
    QFETCH(QString, kind);
    QCOMPARE(dbKindText(condora::dbKindFromProperties(propertiesOf(items))), kind);
}

void TestStatementText::getDbKindOfUnopenedConnection()
{
    ado::Connection connection;
    m_ui->setOnMessage([this](const MessageRequest &) {
        QCOMPARE(m_ui->mousePointer(), MousePointer::Default);
    });
    m_ui->setMousePointer(MousePointer::Hourglass);
    QCOMPARE(getDbKind(connection), DbKind::Unknown);
    QCOMPARE(m_ui->messages().size(), 1);
    const QStringList lines = m_ui->texts().at(0).split(u"\r\n"_s);
    QCOMPARE(lines.at(0), u"Error message:"_s);
    QCOMPARE(lines.at(2), u"Error number:"_s + QString::number(ErrorNumber::ObjectNotSet));
}

void TestStatementText::showErrorText_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty context") << QString() << 5 << u"Invalid procedure call or argument"_s
                                   << u"Error message:\r\n Invalid procedure call or argument\r\nError number:5"_s;
    QTest::newRow("parse context") << unrecognised << 9 << u"Subscript out of range"_s
                                   << u"Error message:"_s + unrecognised + u"\r\n Subscript out of range\r\nError number:9"_s;
    QTest::newRow("database error") << QString() << int(ErrorNumber::Database) << u"no such table: Nope"_s
                                    << u"Error message:\r\n no such table: Nope\r\nError number:-2147217900"_s;
    QTest::newRow("multi-line description") << QString() << 1 << u"ERROR: x\nLINE 1"_s
                                            << u"Error message:\r\n ERROR: x\nLINE 1\r\nError number:1"_s;
}

void TestStatementText::showErrorText()
{
    QFETCH(QString, context);
    QFETCH(int, number);
    QFETCH(QString, description);
    QFETCH(QString, text);
    UserInteraction::setDefaultCaption(u"host caption"_s);
    MousePointer pointerAtBox = MousePointer::Hourglass;
    m_ui->setOnMessage([&](const MessageRequest &) { pointerAtBox = m_ui->mousePointer(); });
    m_ui->setMousePointer(MousePointer::Hourglass);

    showError(context, RuntimeError(number, description));
    showError(context, number, description);

    UserInteraction::setDefaultCaption(QString());
    QCOMPARE(m_ui->texts(), (QStringList{text, text}));
    for (const MessageRequest &request : m_ui->messages()) {
        QCOMPARE(request.buttons, MessageButtons::Ok);
        QCOMPARE(request.icon, MessageIcon::None);
        QVERIFY(!request.explicitCaption);
    }
    QCOMPARE(m_ui->shownCaptions().at(0), u"host caption"_s);
    QCOMPARE(pointerAtBox, MousePointer::Default);
}

void TestStatementText::showCurrentErrorNumbers()
{
    auto reportOf = [this](auto thrower) {
        m_ui->clear();
        try {
            thrower();
        } catch (...) {
            showCurrentError(u"ctx"_s);
        }
        return m_ui->texts().value(0);
    };
    QCOMPARE(reportOf([] { throw RuntimeError(13, u"Type mismatch"_s); }),
             u"Error message:ctx\r\n Type mismatch\r\nError number:13"_s);
    QCOMPARE(reportOf([] { throw std::bad_alloc(); }), u"Error message:ctx\r\n Out of memory\r\nError number:7"_s);
    QCOMPARE(reportOf([] { throw std::runtime_error("boom"); }),
             u"Error message:ctx\r\n Internal error: boom\r\nError number:51"_s);
    QCOMPARE(reportOf([] { throw 42; }), u"Error message:ctx\r\n Internal error\r\nError number:51"_s);
}

void TestStatementText::longStatements()
{
    // 100,000 characters in every routine that scans a statement: linear enough, and no crash.
    QElapsedTimer timer;
    timer.start();

    QStringList columns;
    for (qsizetype length = 0, i = 1; length < 100000; ++i) {
        columns << u"t.c%1"_s.arg(i);
        length += columns.last().size() + 2;
    }
    const QString selectList = columns.join(u", "_s);
    const QString statement = u"select "_s + selectList + u" from t where x = 1 order by c1"_s;
    QVERIFY(statement.size() > 100000);

    QCOMPARE(condora::trimSpaces(QString(100000, u' ')), u" "_s);
    QCOMPARE(condora::trimSpaces(statement), statement);
    QCOMPARE(condora::probeSql(statement), u"select "_s + selectList + u" from t where x = 1 and 1=0  order by c1"_s);

    const StatementPieces pieces = condora::cutStatement(statement);
    QCOMPARE(pieces.selectList, selectList);
    QCOMPARE(pieces.fromClause, u"t"_s);

    QStringList items;
    QCOMPARE(condora::splitStr(items, selectList, u","_s), columns.size());

    QStringList names;
    for (int i = 1; i <= columns.size(); ++i) {
        names << u"c%1"_s.arg(i);
    }
    FieldCatalog catalog = catalogOf(names);
    QVERIFY(condora::parseSelectList(selectList, catalog));
    QCOMPARE(catalog.last().colExpr, names.last());
    QCOMPARE(catalog.last().tabAlias, u"t"_s);

    // One item too many still ends in the report, not a crash.
    catalog.removeLast();
    QVERIFY(!condora::parseSelectList(selectList, catalog));
    QCOMPARE(m_ui->messages().size(), 1);

    QStringList tables;
    for (qsizetype length = 0, i = 1; length < 100000; ++i) {
        tables << u"t%1 on t%1.x = t0.x"_s.arg(i);
        length += tables.last().size() + 12;
    }
    const QString flat = condora::flattenJoins(u"t0 inner join "_s + tables.join(u" inner join "_s));
    QCOMPARE(flat.count(u','), tables.size());
    QVERIFY(flat.startsWith(u"t0,t1,t2,"_s));

    QStringList crossed;
    for (int i = 0; i < 10000; ++i) {
        crossed << u"t%1"_s.arg(i);
    }
    QCOMPARE(condora::flattenJoins(crossed.join(u" cross join "_s)), crossed.join(u","_s));

    QVERIFY2(timer.elapsed() < 30000, qPrintable(u"took %1 ms"_s.arg(timer.elapsed())));
}

// The kinds and classes are written as texts only where they are shown or stored; every value
// reads back from its text, and texts that name nothing read as Unknown / None.
void TestStatementText::kindAndClassTexts()
{
    const QStringList kindTexts{QString(), u"1"_s, u"2"_s, u"3"_s, u"99"_s};
    for (DbKind kind : {DbKind::Unknown, DbKind::Oracle, DbKind::SqlServer, DbKind::Access, DbKind::Other}) {
        QCOMPARE(dbKindFromText(dbKindText(kind)), kind);
        QVERIFY(kindTexts.contains(dbKindText(kind)));
    }
    for (const QString &text : {u"0"_s, u"4"_s, u" 1"_s, u"oracle"_s}) {
        QCOMPARE(dbKindFromText(text), DbKind::Unknown);
    }
    for (TypeClass typeClass : {TypeClass::None, TypeClass::Number, TypeClass::Boolean, TypeClass::Date,
                                TypeClass::String, TypeClass::LongString, TypeClass::Other}) {
        QCOMPARE(typeClassFromText(typeClassText(typeClass)), typeClass);
    }
    QCOMPARE(typeClassFromText(u" LSTRING "_s), TypeClass::LongString);
    QCOMPARE(typeClassFromText(u"money"_s), TypeClass::None);
}

CONDORA_TEST_MAIN(TestStatementText)
#include "tst_statementtext.moc"
