#include "conditiontestdata.h"

#include "condition/conditionterm.h"

#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;

Q_DECLARE_METATYPE(condora::ConditionRow)
Q_DECLARE_METATYPE(condora::ConditionTerm)

class TestConditionTerm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
};

void TestConditionTerm::roundTrip_data()
{
    QTest::addColumn<ConditionRow>("cells");
    QTest::addColumn<ConditionRow>("trimmed");
    QTest::addColumn<ConditionTerm>("term");

    using Op = ConditionOperator;
    using W = LogicalWord;
    // The cells as the lists write them, as the composer leaves them in the grid, and the values.
    QTest::newRow("empty") << ConditionRow{} << ConditionRow{} << ConditionTerm{};
    QTest::newRow("bracket, number, And")
        << ConditionRow{u"("_s, u"n"_s, u"= "_s, u"5"_s, QString(), u" And "_s, u"1"_s}
        << ConditionRow{u"("_s, u"n"_s, u"="_s, u"5"_s, QString(), u"And"_s, u"1"_s}
        << ConditionTerm{1, 1, Op::Equal, u"5"_s, 0, W::And};
    QTest::newRow("include, Or")
        << ConditionRow{QString(), u"s"_s, u"include "_s, u" a'b "_s, u")"_s, u" Or"_s, u"2"_s}
        << ConditionRow{QString(), u"s"_s, u"include"_s, u" a'b "_s, u")"_s, u"Or"_s, u"2"_s}
        << ConditionTerm{0, 2, Op::Include, u" a'b "_s, 1, W::Or};
    QTest::newRow("not null, last row")
        << ConditionRow{QString(), u"d"_s, u"not null "_s, QString(), QString(), QString(), u"4"_s}
        << ConditionRow{QString(), u"d"_s, u"not null"_s, QString(), QString(), QString(), u"4"_s}
        << ConditionTerm{0, 4, Op::NotNull, QString(), 0, W::None};
    QTest::newRow("between, both brackets")
        << ConditionRow{u"("_s, u"n"_s, u"between "_s, u"1, 2"_s, u")"_s, u" And "_s, u"1"_s}
        << ConditionRow{u"("_s, u"n"_s, u"between"_s, u"1, 2"_s, u")"_s, u"And"_s, u"1"_s}
        << ConditionTerm{1, 1, Op::Between, u"1, 2"_s, 1, W::And};
    QTest::newRow("column without operator")
        << ConditionRow{QString(), u"l"_s, QString(), u"x"_s, QString(), QString(), u"3"_s}
        << ConditionRow{QString(), u"l"_s, QString(), u"x"_s, QString(), QString(), u"3"_s}
        << ConditionTerm{0, 3, std::nullopt, u"x"_s, 0, W::None};
}

void TestConditionTerm::roundTrip()
{
    QFETCH(ConditionRow, cells);
    QFETCH(ConditionRow, trimmed);
    QFETCH(ConditionTerm, term);
    const FieldCatalog catalog = test::catalogOf({test::catalogColumn(u"t"_s, u"n"_s, u"number"_s),
                                                  test::catalogColumn(u"t"_s, u"s"_s, u"string"_s),
                                                  test::catalogColumn(u"t"_s, u"l"_s, u"lstring"_s),
                                                  test::catalogColumn(u"t"_s, u"d"_s, u"date"_s)});
    QVERIFY(termOf(cells) == term);
    QVERIFY(termOf(trimmed) == term);
    QVERIFY(rowOf(term, catalog) == cells);
    QCOMPARE(termOf(rowOf(term, catalog)).op, term.op);
}

int runConditionTermTests(int argc, char **argv)
{
    TestConditionTerm test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_conditionterm.moc"
