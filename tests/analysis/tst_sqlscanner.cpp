// The SQL-aware scanner on hostile statements: literals, quoted names and comments that hold
// keywords, any white space between words, and keywords inside parentheses.

#include "analysis/sqlscanner.h"

#include "support/testmain.h"

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

CONDORA_TEST_MAIN(TestSqlScanner)
#include "tst_sqlscanner.moc"
