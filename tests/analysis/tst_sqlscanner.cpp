// The SQL-aware scanner and the splice on hostile statements: literals, quoted names and comments
// that hold keywords, any white space between words, keywords inside parentheses, clauses after
// WHERE, and OR precedence. The splice is also checked against SQLite: the spliced statement
// must return the rows an independent query over the base statement returns.

#include "analysis/sqlscanner.h"
#include "analysis/statementtools.h"

#include "support/testdatabases.h"
#include "support/testmain.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace Qt::StringLiterals;
using namespace condora;

class TestSqlScanner : public QObject
{
    Q_OBJECT

private slots:
    void findKeyword_data();
    void findKeyword();
    void splitSqlList_data();
    void splitSqlList();
    void singleSpaced_data();
    void singleSpaced();
    void spliceCondition_data();
    void spliceCondition();
    void splicedRowsMatchOracle_data();
    void splicedRowsMatchOracle();
    void closesAtTopLevel_data();
    void closesAtTopLevel();
    void ambiguousComment_data();
    void ambiguousComment();
};

void TestSqlScanner::findKeyword_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("keywords");
    QTest::addColumn<QString>("found"); // the matched text; empty when none
    const QStringList clauses{u"group by"_s, u"order by"_s, u"limit"_s};
    QTest::newRow("literal with a keyword") << u"a = ' order by ' order by b"_s << clauses << u"order by"_s;
    QTest::newRow("doubled quotes stay in the literal")
        << u"a = 'it''s order by x' limit 1"_s << clauses << u"limit"_s;
    QTest::newRow("quoted names") << u"\"order by\" [group by] `limit` x"_s << clauses << QString();
    QTest::newRow("line comment") << u"a -- order by x\r\nGROUP BY b"_s << clauses << u"GROUP BY"_s;
    QTest::newRow("block comment") << u"a /* limit\n order by */ b"_s << clauses << QString();
    QTest::newRow("tab and CRLF between the words") << u"a order\t\r\n by b"_s << clauses << u"order\t\r\n by"_s;
    QTest::newRow("comment between the words is no keyword") << u"a order /**/ by b"_s << clauses << QString();
    QTest::newRow("function's from") << u"extract(year from d) from t"_s << QStringList{u"from"_s} << u"from"_s;
    QTest::newRow("window's order by")
        << u"rank() over (partition by a order by b) r from t"_s << clauses << QString();
    QTest::newRow("sub-query's limit") << u"x in (select y from u limit 1)"_s << clauses << QString();
    QTest::newRow("whole words only") << u"nowhere orders order_by where"_s << QStringList{u"where"_s, u"order"_s}
                                      << u"where"_s;
    QTest::newRow("longest at the same word")
        << u"a left outer join b"_s << QStringList{u"left join"_s, u"left"_s, u"left outer join"_s}
        << u"left outer join"_s;
    QTest::newRow("unterminated literal") << u"a = 'x limit 1"_s << clauses << QString();
    QTest::newRow("stray closing parenthesis") << u"a) limit 1"_s << clauses << u"limit"_s;
    QTest::newRow("non-ASCII letters belong to the word") << u"größeor or"_s << QStringList{u"or"_s} << u"or"_s;
}

void TestSqlScanner::findKeyword()
{
    QFETCH(QString, text);
    QFETCH(QStringList, keywords);
    QFETCH(QString, found);
    const SqlScanner::Match match = SqlScanner(text).findKeyword(keywords);
    QCOMPARE(match.found() ? text.mid(match.start, match.end - match.start) : QString(), found);
    if (match.found()) {
        QCOMPARE(match.start, text.lastIndexOf(found)); // the top-level one, not an earlier one
    }
}

void TestSqlScanner::splitSqlList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("pieces");
    QTest::newRow("call") << u"coalesce(a, b), c"_s << QStringList{u"coalesce(a, b)"_s, u" c"_s};
    QTest::newRow("literal") << u"a || ', ' || b, c"_s << QStringList{u"a || ', ' || b"_s, u" c"_s};
    QTest::newRow("quoted names and comments")
        << u"\"a,b\", [c,d] -- e,f\n, g /* h, */"_s
        << QStringList{u"\"a,b\""_s, u" [c,d] -- e,f\n"_s, u" g /* h, */"_s};
    QTest::newRow("nested parentheses") << u"f(g(1, 2), (3, 4)),x"_s << QStringList{u"f(g(1, 2), (3, 4))"_s, u"x"_s};
    QTest::newRow("empty") << QString() << QStringList{QString()};
    QTest::newRow("empty pieces") << u",,"_s << QStringList{QString(), QString(), QString()};
}

void TestSqlScanner::splitSqlList()
{
    QFETCH(QString, text);
    QFETCH(QStringList, pieces);
    QStringList list{u"stale"_s};
    QCOMPARE(condora::splitSqlList(list, text), pieces.size());
    QCOMPARE(list, QStringList{QString()} + pieces);
}

void TestSqlScanner::singleSpaced_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("white space and comments")
        << u"a\t\r\n b -- c\n/* d */  c"_s << u"a b c"_s;
    QTest::newRow("literals and names kept") << u"'a  b'\t\"c\td\""_s << u"'a  b' \"c\td\""_s;
    QTest::newRow("edges") << u"\n a \n"_s << u" a "_s;
}

void TestSqlScanner::singleSpaced()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(condora::singleSpaced(text), expected);
}

void TestSqlScanner::spliceCondition_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QString>("expected");
    const QString c = u" e.id > 3"_s;
    QTest::newRow("trailing line comment") << u"select e.id from e -- all"_s << c
                                           << u"select e.id from e where  e.id > 3 -- all"_s;
    QTest::newRow("line comment before order by")
        << u"select e.id from e where e.dept = 1 -- dept\norder by e.id"_s << c
        << u"select e.id from e where e.dept = 1 and  e.id > 3 -- dept\norder by e.id"_s;
    QTest::newRow("literal holding order by and where")
        << u"select e.id from e where e.name <> ' order by x where ' order by e.id"_s << c
        << u"select e.id from e where e.name <> ' order by x where ' and  e.id > 3 order by e.id"_s;
    QTest::newRow("line break before order by")
        << u"select e.id from e\norder by e.id"_s << c << u"select e.id from e where  e.id > 3\norder by e.id"_s;
    QTest::newRow("group by without where") << u"select e.dept, count(*) from e group by e.dept"_s << c
                                            << u"select e.dept, count(*) from e where  e.id > 3 group by e.dept"_s;
    QTest::newRow("having") << u"select e.dept from e where e.id < 9 having count(*) > 1"_s << c
                            << u"select e.dept from e where e.id < 9 and  e.id > 3 having count(*) > 1"_s;
    QTest::newRow("limit without order by") << u"select e.id from e limit 2"_s << c
                                            << u"select e.id from e where  e.id > 3 limit 2"_s;
    QTest::newRow("offset, fetch and for") << u"select e.id from e OFFSET 1 FETCH FIRST 2 ROWS ONLY FOR UPDATE"_s
                                           << c << u"select e.id from e where  e.id > 3 OFFSET 1 FETCH FIRST 2 ROWS ONLY FOR UPDATE"_s;
    QTest::newRow("sub-query with limit")
        << u"select e.id from e where e.id in (select id from e order by id limit 5)"_s << c
        << u"select e.id from e where e.id in (select id from e order by id limit 5) and  e.id > 3"_s;
    QTest::newRow("window and extract in the select list")
        << u"select extract(year from e.d) y, rank() over (partition by e.dept order by e.id) r from e"_s << c
        << u"select extract(year from e.d) y, rank() over (partition by e.dept order by e.id) r from e where  e.id > 3"_s;
    QTest::newRow("OR in the base") << u"select e.id from e where e.dept = 1 or e.dept = 2 order by e.id"_s << c
                                    << u"select e.id from e where (e.dept = 1 or e.dept = 2) and ( e.id > 3) order by e.id"_s;
    QTest::newRow("OR in the condition") << u"select e.id from e where e.dept = 1"_s << u" e.id > 3 Or e.id < 2"_s
                                         << u"select e.id from e where (e.dept = 1) and ( e.id > 3 Or e.id < 2)"_s;
    QTest::newRow("OR only in a literal or parentheses")
        << u"select e.id from e where e.name = 'a or b' and (e.id = 1 or e.id = 2)"_s << u" e.x = 'c or d'"_s
        << u"select e.id from e where e.name = 'a or b' and (e.id = 1 or e.id = 2) and  e.x = 'c or d'"_s;
    QTest::newRow("OR without a base where") << u"select e.id from e"_s << u" e.id > 3 or e.id < 2"_s
                                             << u"select e.id from e where  e.id > 3 or e.id < 2"_s;
    QTest::newRow("where on its own line, OR before a comment")
        << u"select e.id\r\nfrom e\r\nwhere e.dept = 1 or e.dept = 2 -- two\r\n"_s << c
        << u"select e.id\r\nfrom e\r\nwhere (e.dept = 1 or e.dept = 2) and ( e.id > 3) -- two\r\n"_s;
    QTest::newRow("empty condition keeps the statement") << u"select e.id from e -- x"_s << QString()
                                                         << u"select e.id from e -- x"_s;
}

void TestSqlScanner::spliceCondition()
{
    QFETCH(QString, statement);
    QFETCH(QString, condition);
    QFETCH(QString, expected);
    QCOMPARE(condora::spliceCondition(statement, condition), expected);
}

void TestSqlScanner::splicedRowsMatchOracle_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QString>("oracle"); // the same rows, asked independently
    const QString q = u"select * from (select e.id, e.dept, e.name from e) q where "_s;
    QTest::newRow("OR in the base")
        << u"select e.id, e.dept, e.name from e where e.dept = 1 or e.dept = 2 order by e.id"_s << u" e.id > 3"_s
        << q + u"(q.dept = 1 or q.dept = 2) and q.id > 3"_s;
    QTest::newRow("OR in the condition") << u"select e.id, e.dept, e.name from e where e.dept = 1"_s
                                         << u" e.id > 5 Or e.id < 2"_s
                                         << q + u"q.dept = 1 and (q.id > 5 or q.id < 2)"_s;
    QTest::newRow("line break before order by") << u"select e.id, e.dept, e.name from e\norder by e.id"_s
                                                << u" e.id = 2"_s << q + u"q.id = 2"_s;
    QTest::newRow("literal with doubled spaces and keywords")
        << u"select e.id, e.dept, e.name from e where e.name <> 'x  order by  y' -- last\n"_s << u" e.id < 4"_s
        << q + u"q.name <> 'x  order by  y' and q.id < 4"_s;
    QTest::newRow("group by without where")
        << u"select e.dept, count(*) from e group by e.dept"_s << u" e.id > 2"_s
        << u"select dept, count(*) from (select * from e where id > 2) group by dept"_s;
    QTest::newRow("limit without order by") << u"select e.id from e limit 100"_s << u" e.name like 'a%'"_s
                                            << u"select id from e where name like 'a%'"_s;
    QTest::newRow("order by with limit") << u"select e.id from e order by e.id desc limit 2"_s << u" e.id < 6"_s
                                         << u"select id from e where id in (4, 5)"_s;
    QTest::newRow("with, order by and a comment")
        << u"with t as (select * from e) select t.id, t.dept, t.name from t order by t.id -- c"_s << u" t.id > 3"_s
        << u"select * from e where id > 3"_s;
}

void TestSqlScanner::splicedRowsMatchOracle()
{
    QFETCH(QString, base);
    QFETCH(QString, condition);
    QFETCH(QString, oracle);

    const test::SqliteFile file({
        u"create table e (id integer, dept integer, name text)"_s,
        u"insert into e values (1, 1, 'ann'), (2, 2, 'x  order by  y'), (3, 1, 'bob'), (4, 2, 'al'),"
        " (5, 3, 'a or b'), (6, 1, 'cy'), (7, 2, 'amy')"_s,
    });
    const auto rowsOf = [&](const QString &sql) {
        QSqlDatabase db = QSqlDatabase::database(u"oracle"_s);
        QSqlQuery query(db);
        if (!query.exec(sql)) {
            return QStringList{u"error: "_s + query.lastError().text()};
        }
        QStringList rows;
        while (query.next()) {
            QStringList values;
            for (int i = 0; i < query.record().count(); ++i) {
                values << query.value(i).toString();
            }
            rows << values.join(u'|');
        }
        rows.sort();
        return rows;
    };
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"oracle"_s);
        db.setDatabaseName(file.path());
        QVERIFY(db.open());
    }
    const QString spliced = condora::spliceCondition(base, condition);
    const QStringList expected = rowsOf(oracle);
    const QStringList actual = rowsOf(spliced);
    // The count statement Verify uses counts exactly those rows.
    const QStringList counted = rowsOf(condora::countSql(spliced));
    QSqlDatabase::removeDatabase(u"oracle"_s);
    QVERIFY2(!expected.isEmpty(), qPrintable(oracle));
    QVERIFY2(actual == expected, qPrintable(spliced + u" gave "_s + actual.join(u", "_s)));
    QCOMPARE(counted, QStringList{QString::number(expected.size())});
}

void TestSqlScanner::closesAtTopLevel_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("closes");
    QTest::newRow("plain") << u" a.x = 1 And a.y = 'b'"_s << true;
    QTest::newRow("pairs") << u" ( a.x = 1 Or a.y = 2 ) And ( a.z is null )"_s << true;
    QTest::newRow("brackets inside a literal") << u" a.n = ') or (1=1'"_s << true;
    QTest::newRow("closes before it opens") << u" a.x = 1 ) Or ( a.x = 5"_s << false;
    QTest::newRow("never closed") << u" ( a.x = 1"_s << false;
    QTest::newRow("literal not ended") << u" a.n = 'x"_s << false;
    QTest::newRow("doubled quote at the end") << u" a.n = 'x''"_s << false;
    QTest::newRow("quoted name not ended") << u" \"a"_s << false;
    QTest::newRow("line comment") << u" a.x = 1 --"_s << false;
    QTest::newRow("block comment") << u" a.x = 1 /* c */"_s << false;
    QTest::newRow("statement end") << u" a.x = 1; select 1"_s << false;
    QTest::newRow("empty") << QString() << true;
}

void TestSqlScanner::closesAtTopLevel()
{
    QFETCH(QString, text);
    QFETCH(bool, closes);
    QCOMPARE(condora::closesAtTopLevel(text), closes);
}

void TestSqlScanner::ambiguousComment_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ambiguous");
    QTest::newRow("line comment to a line feed") << u"select 1 -- x\nwhere 0"_s << false;
    QTest::newRow("line comment to CR LF") << u"select 1 -- x\r\nwhere 0"_s << false;
    QTest::newRow("line comment to a lone CR") << u"select 1 -- x\rwhere 0"_s << true;
    QTest::newRow("line comment at the end") << u"select 1 -- x"_s << false;
    QTest::newRow("block comment") << u"select 1 /* where */ from t"_s << false;
    QTest::newRow("nested block comment") << u"select 1 /* a /* b */ where 0 */ from t"_s << true;
    QTest::newRow("in a literal") << u"select '/* /*' from t"_s << false;
}

void TestSqlScanner::ambiguousComment()
{
    QFETCH(QString, text);
    QFETCH(bool, ambiguous);
    QCOMPARE(!condora::ambiguousComment(text).isEmpty(), ambiguous);
}

CONDORA_TEST_MAIN(TestSqlScanner)
#include "tst_sqlscanner.moc"
