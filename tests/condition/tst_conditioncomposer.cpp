#include "conditiontestdata.h"

#include "analysis/queryrun.h"
#include "condition/conditioncomposer.h"
#include "platform/runtimeerror.h"

#include <QtTest>

Q_DECLARE_METATYPE(condora::DbProduct)

using namespace Qt::StringLiterals;
using namespace condora;

namespace {

/// One used row on catalog column 1 ("t.c").
ConditionRow used(const QString &op, const QString &value, const QString &logical = QString())
{
    return {QString(), u"c"_s, op, value, QString(), logical, u"1"_s};
}

} // namespace

class TestConditionComposer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void workedExample();
    void singleRow_data();
    void singleRow();
    void otherCombinations_data();
    void otherCombinations();
    void values_data();
    void values();
    void datesByProduct_data();
    void datesByProduct();
    void furtherOperators_data();
    void furtherOperators();
    void columnTypes_data();
    void columnTypes();
    void skippedRows_data();
    void skippedRows();
    void statementSplice_data();
    void statementSplice();
    void rowsAndLogicalWords_data();
    void rowsAndLogicalWords();
    void userPartNeverReachesTheBase_data();
    void userPartNeverReachesTheBase();
    void failureKeepsPreviousResult_data();
    void failureKeepsPreviousResult();
    void followsTheLatestGrid();

private:
    ComposedCondition compose(const QList<ConditionRow> &rows, const QString &baseSql)
    {
        m_run.baseSql = baseSql;
        return composeCondition(rows, m_run);
    }

    QueryRun m_run;
};

void TestConditionComposer::init()
{
    m_run = QueryRun();
    m_run.fieldCatalog = test::catalogOf({test::catalogColumn(u"t"_s, u"c"_s, u"number"_s)});
}

void TestConditionComposer::cleanup()
{
}

void TestConditionComposer::workedExample()
{
    m_run.dbKind = dbKindFromText(u"3"_s);
    m_run.fieldCatalog = test::catalogOf({test::catalogColumn(u"a"_s, u"name"_s, u"string"_s),
                      test::catalogColumn(u"a"_s, u"hired"_s, u"date"_s),
                      test::catalogColumn(u"a"_s, u"active"_s, u"boolean"_s)});
    const QList<ConditionRow> rows{
        {u"("_s, u"name"_s, u"= "_s, u"Smith"_s, QString(), u" Or"_s, u"1"_s},
        {QString(), u"hired"_s, u">= "_s, u"2001-1-5"_s, u")"_s, u" And "_s, u"2"_s},
        {QString(), u"active"_s, u"true "_s, QString(), QString(), QString(), u"3"_s},
    };

    const ComposedCondition composed = compose(rows, u"select a.id, a.name from emp a order by a.name"_s);

    const QString expected = u" ( a.name = 'Smith' Or a.hired >= #2001-01-05# ) And a.active = -1"_s;
    QCOMPARE(composed.condition, expected);
    QCOMPARE(composed.statement,
             u"select a.id, a.name from emp a where  ( a.name = 'Smith' Or a.hired >= #2001-01-05# ) And "
             u"a.active = -1 order by a.name"_s);
    const QList<ConditionRow> after{
        {u"("_s, u"name"_s, u"="_s, u"Smith"_s, QString(), u"Or"_s, u"1"_s},
        {QString(), u"hired"_s, u">="_s, u"2001-1-5"_s, u")"_s, u"And"_s, u"2"_s},
        {QString(), u"active"_s, u"true"_s, QString(), QString(), QString(), u"3"_s},
    };
    QCOMPARE(composed.rows, after);
}

void TestConditionComposer::singleRow_data()
{
    QTest::addColumn<QString>("typeClass");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    for (const test::SingleRowCase &c : test::singleRowCases()) {
        QTest::newRow(qPrintable(c.name))
            << c.typeClass << c.op << c.kind << c.value << QString(c.expected).replace(u"{Q}"_s, u"t.c"_s);
    }
}

void TestConditionComposer::singleRow()
{
    QFETCH(QString, typeClass);
    QFETCH(QString, op);
    QFETCH(QString, kind);
    QFETCH(QString, value);
    QFETCH(QString, expected);

    m_run.dbKind = dbKindFromText(kind);
    m_run.fieldCatalog = test::catalogOf({test::catalogColumn(u"t"_s, u"c"_s, typeClass)});
    const ComposedCondition composed = compose({used(op, value)}, u"select t.c from t"_s);
    QCOMPARE(composed.condition, u' ' + expected);
    QCOMPARE(composed.statement, u"select t.c from t where  "_s + expected);
    QCOMPARE(composed.rows.at(0).op, op.trimmed());
}

void TestConditionComposer::otherCombinations_data()
{
    QTest::addColumn<QString>("typeClass");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("expected");

    // Left over when the Column of a row changes after its Operator was chosen.
    QTest::newRow("include on number") << u"number"_s << u"include "_s << u"99"_s << u" t.c like 42"_s;
    QTest::newRow("not include on number") << u"number"_s << u"not include "_s << u"2"_s << u" t.c not like 42"_s;
    QTest::newRow("true on date, Oracle") << u"date"_s << u"true "_s << u"1"_s << u" to_char(t.c,'yyyy-mm-dd') = 1"_s;
    QTest::newRow("false on date, Jet") << u"date"_s << u"false "_s << u"3"_s << u" t.c = 0"_s;
    QTest::newRow("comparison on boolean") << u"boolean"_s << u"= "_s << u"3"_s << u" t.c = '42'"_s;
    QTest::newRow("comparison on lstring") << u"lstring"_s << u"> "_s << u"1"_s << u" t.c > '42'"_s;
    QTest::newRow("include on date, Jet") << u"date"_s << u"include "_s << u"3"_s << u" t.c like #42#"_s;
    QTest::newRow("true on string") << u"string"_s << u"true "_s << u"2"_s << u" t.c = 1"_s;
    QTest::newRow("comparison on other") << u"other"_s << u"< "_s << u"99"_s << u" t.c < '42'"_s;
    QTest::newRow("empty kind like other") << u"boolean"_s << u"true "_s << QString() << u" t.c = true"_s;
}

void TestConditionComposer::otherCombinations()
{
    QFETCH(QString, typeClass);
    QFETCH(QString, op);
    QFETCH(QString, kind);
    QFETCH(QString, expected);

    m_run.dbKind = dbKindFromText(kind);
    m_run.fieldCatalog = test::catalogOf({test::catalogColumn(u"t"_s, u"c"_s, typeClass)});
    QCOMPARE(compose({used(op, u"42"_s)}, u"select t.c from t"_s).condition, expected);
}

void TestConditionComposer::values_data()
{
    QTest::addColumn<QString>("typeClass");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("apostrophe in string")
        << u"string"_s << u"= "_s << u"99"_s << u"O'Brien"_s << u" t.c = 'O''Brien'"_s;
    QTest::newRow("apostrophe in number, bare")
        << u"number"_s << u"= "_s << u"99"_s << u"O'Brien"_s << u" t.c = O''Brien"_s;
    QTest::newRow("string not trimmed") << u"string"_s << u"<> "_s << u"2"_s << u"  a  "_s << u" t.c <> '  a  '"_s;
    QTest::newRow("empty string") << u"string"_s << u"= "_s << u"99"_s << QString() << u" t.c = ''"_s;
    for (const QString &kind : {u"1"_s, u"2"_s, u"3"_s, u"99"_s}) {
        QTest::addRow("wildcards in include, kind %s", qPrintable(kind))
            << u"string"_s << u"include "_s << kind << u"50%_o'k"_s << u" t.c like '%50%_o''k%'"_s;
    }
    QTest::newRow("include on lstring") << u"lstring"_s << u"not include "_s << u"3"_s << u"_"_s
                                        << u" t.c not like '%_%'"_s;
    QTest::newRow("date with blanks, Jet")
        << u"date"_s << u"= "_s << u"3"_s << u" 2001/12/31 "_s << u" t.c = #2001-12-31#"_s;
    QTest::newRow("date with blanks, other")
        << u"date"_s << u"= "_s << u"99"_s << u" 2001/12/31 "_s << u" t.c = ' 2001/12/31 '"_s;
    QTest::newRow("date and time, Oracle") << u"date"_s << u"< "_s << u"1"_s << u"2001.2.3 7:08:09"_s
                                           << u" to_char(t.c,'yyyy-mm-dd HH24:MI:SS') < '2001-02-03 07:08:09'"_s;
    // While the user is still typing, a text that is no date is used as typed, inside its literal.
    QTest::newRow("no date yet, Oracle") << u"date"_s << u"= "_s << u"1"_s << u"2001-02-"_s
                                         << u" to_char(t.c,'yyyy-mm-dd') = '2001-02-'"_s;
    QTest::newRow("impossible date, Jet")
        << u"date"_s << u"= "_s << u"3"_s << u"31/02/2001"_s << u" t.c = #31/02/2001#"_s;
    QTest::newRow("no date with colon, Jet") << u"date"_s << u">= "_s << u"3"_s << u"12:"_s << u" t.c >= #12:#"_s;
    QTest::newRow("apostrophe in no date, Oracle")
        << u"date"_s << u"= "_s << u"1"_s << u"x' or 'a'='a"_s << u" to_char(t.c,'yyyy-mm-dd') = 'x'' or ''a''=''a'"_s;
    QTest::newRow("null ignores value, Oracle date")
        << u"date"_s << u"null "_s << u"1"_s << u"2001-1-5 1:00"_s << u" t.c is null"_s;
    QTest::newRow("true ignores value") << u"boolean"_s << u"true "_s << u"3"_s << u"x'"_s << u" t.c = -1"_s;
}

void TestConditionComposer::values()
{
    QFETCH(QString, typeClass);
    QFETCH(QString, op);
    QFETCH(QString, kind);
    QFETCH(QString, value);
    QFETCH(QString, expected);

    m_run.dbKind = dbKindFromText(kind);
    m_run.fieldCatalog = test::catalogOf({test::catalogColumn(u"t"_s, u"c"_s, typeClass)});
    const ComposedCondition composed = compose({used(op, value)}, u"select t.c from t"_s);
    QCOMPARE(composed.condition, expected);
    QCOMPARE(composed.rows.at(0).value, value);
}

void TestConditionComposer::datesByProduct_data()
{
    QTest::addColumn<DbProduct>("product");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    // SQLite keeps dates as text in any form: a readable date is written as ISO 8601 text and
    // both sides go through SQLite's date functions, so that every stored form of the same moment
    // compares equal (2001/1/5 would sort after every 2001-... text).
    const DbProduct sqlite = DbProduct::Sqlite;
    QTest::newRow("SQLite: short month and day") << sqlite << u"99"_s << u"= "_s << u"2001-1-5"_s
                                                 << u" julianday(t.c) = julianday('2001-01-05')"_s;
    QTest::newRow("SQLite: slashes") << sqlite << u"99"_s << u"< "_s << u" 2001/1/5 "_s
                                     << u" julianday(t.c) < julianday('2001-01-05')"_s;
    QTest::newRow("SQLite: minutes") << sqlite << u"99"_s << u"= "_s << u"2001-01-05 00:00"_s
                                     << u" julianday(t.c) = julianday('2001-01-05 00:00:00')"_s;
    QTest::newRow("SQLite: T, fraction and offset") << sqlite << u"99"_s << u">= "_s
                                                    << u"2001-01-05T10:20:30.123+0200"_s
                                                    << u" julianday(t.c) >= julianday('2001-01-05 10:20:30.123+02:00')"_s;
    QTest::newRow("SQLite: no date yet") << sqlite << u"99"_s << u"= "_s << u"2001-1-5' or 'a'='a"_s
                                         << u" julianday(t.c) = julianday('2001-1-5'' or ''a''=''a')"_s;
    QTest::newRow("SQLite: null") << sqlite << u"99"_s << u"not null "_s << u"2001/1/5"_s
                                  << u" not t.c is null"_s;
    // Other databases read a typed date literal by their own rules: it goes as typed.
    QTest::newRow("PostgreSQL: as typed") << DbProduct::PostgreSql << u"99"_s << u"= "_s
                                          << u"2001/1/5 10:20:30.5"_s << u" t.c = '2001/1/5 10:20:30.5'"_s;
    QTest::newRow("other: T as typed") << DbProduct::Other << u"99"_s << u"= "_s << u"2001-01-05T10:20"_s
                                       << u" t.c = '2001-01-05T10:20'"_s;
    // Oracle and Access/Jet compare to the second.
    QTest::newRow("Oracle: T and fraction") << DbProduct::Other << u"1"_s << u"< "_s
                                            << u"2001-01-05T10:20:30.999999"_s
                                            << u" to_char(t.c,'yyyy-mm-dd HH24:MI:SS') < '2001-01-05 10:20:30'"_s;
    QTest::newRow("Jet: T and fraction") << DbProduct::Other << u"3"_s << u"= "_s << u"2001-1-5T7:08:09.5"_s
                                         << u" t.c = #2001-01-05 07:08:09#"_s;
}

void TestConditionComposer::datesByProduct()
{
    QFETCH(DbProduct, product);
    QFETCH(QString, kind);
    QFETCH(QString, op);
    QFETCH(QString, value);
    QFETCH(QString, expected);

    m_run.dbKind = dbKindFromText(kind);
    m_run.product = product;
    m_run.fieldCatalog = test::catalogOf({test::catalogColumn(u"t"_s, u"c"_s, u"date"_s)});
    QCOMPARE(compose({used(op, value)}, u"select t.c from t"_s).condition, expected);
}

void TestConditionComposer::furtherOperators_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<DbProduct>("product");
    QTest::addColumn<bool>("backslashes"); // the database reads backslashes in literals (MySQL)
    QTest::addColumn<QString>("typeClass");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("expectedBound");
    QTest::addColumn<QVariantList>("parameters");

    const DbProduct other = DbProduct::Other;
    const QString oracle = u"1"_s, sqlServer = u"2"_s, jet = u"3"_s, generic = u"99"_s;
    const auto row = [](const char *name) { return std::ref(QTest::newRow(name)); };

    row("between numbers") << generic << other << false << u"number"_s << u"between "_s << u" 10 , 20.5"_s
                           << u" t.c between 10 and 20.5"_s << u" t.c between ? and ?"_s
                           << QVariantList{10LL, 20.5};
    row("in numbers") << generic << other << false << u"number"_s << u"in "_s << u"1, -2, 3e2"_s
                      << u" t.c in (1, -2, 3e2)"_s << u" t.c in (?, ?, ?)"_s << QVariantList{1LL, -2LL, 300.0};
    row("not in one number") << sqlServer << other << false << u"number"_s << u"not in "_s << u"7"_s
                             << u" t.c not in (7)"_s << u" t.c not in (?)"_s << QVariantList{7LL};
    row("in texts, quoted list") << generic << other << false << u"string"_s << u"in "_s
                                 << u"\"Smith, John\", O'Brien, \"say \"\"hi\"\"\""_s
                                 << u" t.c in ('Smith, John', 'O''Brien', 'say \"hi\"')"_s << u" t.c in (?, ?, ?)"_s
                                 << QVariantList{u"Smith, John"_s, u"O'Brien"_s, u"say \"hi\""_s};
    row("between texts, MySQL backslashes") << generic << DbProduct::MySql << true << u"string"_s << u"between "_s
                                            << u"a\\, b"_s << u" t.c between 'a\\\\' and 'b'"_s
                                            << u" t.c between ? and ?"_s << QVariantList{u"a\\"_s, u"b"_s};
    row("starts with, wildcards literal") << generic << other << false << u"string"_s << u"starts with "_s
                                          << u"50%_o'k\\"_s << u" t.c like '50\\%\\_o''k\\\\%' escape '\\'"_s
                                          << u" t.c like ? escape '\\'"_s << QVariantList{u"50\\%\\_o'k\\\\%"_s};
    row("ends with, MySQL") << generic << DbProduct::MySql << true << u"lstring"_s << u"ends with "_s << u"%"_s
                            << u" t.c like '%\\\\%' escape '\\\\'"_s << u" t.c like ? escape '\\\\'"_s
                            << QVariantList{u"%\\%"_s};
    row("starts with, SQL Server bracket") << sqlServer << other << false << u"string"_s << u"starts with "_s
                                           << u"[a]_"_s << u" t.c like '\\[a]\\_%' escape '\\'"_s
                                           << u" t.c like ? escape '\\'"_s << QVariantList{u"\\[a]\\_%"_s};
    row("starts with, Oracle") << oracle << other << false << u"string"_s << u"starts with "_s << u"[a"_s
                               << u" t.c like '[a%' escape '\\'"_s << u" t.c like ? escape '\\'"_s
                               << QVariantList{u"[a%"_s};
    row("ends with, Jet brackets") << jet << other << false << u"string"_s << u"ends with "_s << u"*?#%_[x"_s
                                   << u" t.c like '%[*][?][#][%][_][[]x'"_s << u" t.c like ?"_s
                                   << QVariantList{u"%[*][?][#][%][_][[]x"_s};
    row("between dates, Oracle") << oracle << other << false << u"date"_s << u"between "_s
                                 << u"2001/1/5, 2001-02-03"_s
                                 << u" to_char(t.c,'yyyy-mm-dd') between '2001-01-05' and '2001-02-03'"_s
                                 << u" to_char(t.c,'yyyy-mm-dd') between ? and ?"_s
                                 << QVariantList{u"2001-01-05"_s, u"2001-02-03"_s};
    row("in dates with a time, Oracle") << oracle << other << false << u"date"_s << u"in "_s
                                        << u"2001-01-05, 2001-01-06 7:08"_s
                                        << u" to_char(t.c,'yyyy-mm-dd HH24:MI:SS') in ('2001-01-05 00:00:00', "
                                           u"'2001-01-06 07:08:00')"_s
                                        << u" to_char(t.c,'yyyy-mm-dd HH24:MI:SS') in (?, ?)"_s
                                        << QVariantList{u"2001-01-05 00:00:00"_s, u"2001-01-06 07:08:00"_s};
    row("between dates, Jet") << jet << other << false << u"date"_s << u"between "_s << u"2001/1/5, 2001/12/31"_s
                              << u" t.c between #2001-01-05# and #2001-12-31#"_s << u" t.c between ? and ?"_s
                              << QVariantList{QDate(2001, 1, 5), QDate(2001, 12, 31)};
    row("not in dates, SQL Server") << sqlServer << other << false << u"date"_s << u"not in "_s
                                    << u"2001-01-05"_s << u" t.c not in ('2001-01-05')"_s << u" t.c not in (?)"_s
                                    << QVariantList{QDate(2001, 1, 5)};
    row("between dates, SQLite") << generic << DbProduct::Sqlite << false << u"date"_s << u"between "_s
                                 << u"2001-1-5, 2001-01-05 23:59:59.5"_s
                                 << u" julianday(t.c) between julianday('2001-01-05') and "
                                    u"julianday('2001-01-05 23:59:59.5')"_s
                                 << u" julianday(t.c) between julianday(?) and julianday(?)"_s
                                 << QVariantList{u"2001-01-05"_s, u"2001-01-05 23:59:59.5"_s};
    // While the user types, a cell that is no list yet stays one value, inside its literal.
    row("open quote is one value") << generic << other << false << u"string"_s << u"in "_s << u"\"a', b"_s
                                   << u" t.c in ('\"a'', b')"_s << u" t.c in (?)"_s
                                   << QVariantList{u"\"a', b"_s};
}

void TestConditionComposer::furtherOperators()
{
    QFETCH(QString, kind);
    QFETCH(DbProduct, product);
    QFETCH(bool, backslashes);
    QFETCH(QString, typeClass);
    QFETCH(QString, op);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QFETCH(QString, expectedBound);
    QFETCH(QVariantList, parameters);

    m_run.dbKind = dbKindFromText(kind);
    m_run.product = product;
    m_run.escapes.backslashEscapes = backslashes;
    m_run.escapes.likeBackslashEscapes = backslashes;
    m_run.moreOperators = true;
    m_run.fieldCatalog = test::catalogOf({test::catalogColumn(u"t"_s, u"c"_s, typeClass)});
    QCOMPARE(compose({used(op, value)}, u"select t.c from t"_s).condition, expected);
    const ComposedCondition bound = composeParameterized({used(op, value)}, m_run);
    QCOMPARE(bound.condition, expectedBound);
    QCOMPARE(bound.parameters, parameters);
}

void TestConditionComposer::columnTypes_data()
{
    QTest::addColumn<DbProduct>("product");
    QTest::addColumn<QString>("typeClass");
    QTest::addColumn<int>("typeCode");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    const int money = 6;
    const int dateOnly = 133;
    // PostgreSQL compares money only with a quoted value, which it reads by lc_monetary.
    const DbProduct pg = DbProduct::PostgreSql;
    QTest::newRow("PostgreSQL money as printed") << pg << u"number"_s << money << u"$1,000.00"_s
                                                 << u" t.c = '$1,000.00'"_s;
    QTest::newRow("PostgreSQL money, plain number") << pg << u"number"_s << money << u"1000"_s << u" t.c = '1000'"_s;
    QTest::newRow("PostgreSQL money, hostile") << pg << u"number"_s << money << u"1' or '1'='1"_s
                                               << u" t.c = '1'' or ''1''=''1'"_s;
    QTest::newRow("SQLite money is a number") << DbProduct::Sqlite << u"number"_s << money << u"1000"_s
                                              << u" t.c = 1000"_s;
    // A column declared as a date compares by the day, as a date column's literal reads there.
    QTest::newRow("SQLite date column") << DbProduct::Sqlite << u"date"_s << dateOnly << u"2001-1-5 10:00"_s
                                        << u" date(t.c) = date('2001-01-05 10:00:00')"_s;
}

void TestConditionComposer::columnTypes()
{
    QFETCH(DbProduct, product);
    QFETCH(QString, typeClass);
    QFETCH(int, typeCode);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    m_run.dbKind = DbKind::Other;
    m_run.product = product;
    ColumnInfo column = test::catalogColumn(u"t"_s, u"c"_s, typeClass);
    column.typeCode = typeCode;
    m_run.fieldCatalog = test::catalogOf({column});
    QCOMPARE(compose({used(u"= "_s, value)}, u"select t.c from t"_s).condition, expected);
}

void TestConditionComposer::skippedRows_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("expectedSql");

    QTest::newRow("no sort clause, unchanged") << u" select t.c from t "_s << u" select t.c from t "_s;
    QTest::newRow("sort clause, head trimmed")
        << u" select t.c from t order by t.c"_s << u"select t.c from t order by t.c"_s;
}

void TestConditionComposer::skippedRows()
{
    QFETCH(QString, base);
    QFETCH(QString, expectedSql);

    const QList<ConditionRow> rows{
        {u"("_s, QString(), u"= "_s, u"1"_s, u")"_s, u" And "_s, u"1"_s},
        {u"("_s, u"c"_s, QString(), u"1"_s, u")"_s, u" Or"_s, u"1"_s},
        {u"("_s, u"   "_s, u"  "_s, u"1"_s, u")"_s, u" Or"_s, u"1"_s},
        {},
    };
    const ComposedCondition composed = compose(rows, base);
    QCOMPARE(composed.condition, QString());
    QCOMPARE(composed.statement, expectedSql);
    QCOMPARE(composed.rows, rows); // skipped rows are not trimmed
}

void TestConditionComposer::statementSplice_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("expectedSql");

    QTest::newRow("no where") << u"select t.c from t"_s << u"select t.c from t where  t.c = 1"_s;
    QTest::newRow("where") << u"select t.c from t where t.c > 0"_s << u"select t.c from t where t.c > 0 and  t.c = 1"_s;
    QTest::newRow("WHERE in capitals") << u"SELECT t.c FROM t WHERE t.c > 0"_s
                                       << u"SELECT t.c FROM t WHERE t.c > 0 and  t.c = 1"_s;
    QTest::newRow("where inside a sub-query (was taken for the statement's own)")
        << u"select t.c from t join (select u.x from u where u.x > 0) v on v.x = t.c"_s
        << u"select t.c from t join (select u.x from u where u.x > 0) v on v.x = t.c where  t.c = 1"_s;
    QTest::newRow("where only in a word")
        << u"select t.nowhere from t"_s << u"select t.nowhere from t where  t.c = 1"_s;
    QTest::newRow("order by") << u"select t.c from t order by t.c"_s
                              << u"select t.c from t where  t.c = 1 order by t.c"_s;
    QTest::newRow("ORDER BY kept as written")
        << u"select t.c from t WHERE t.c > 0 ORDER BY t.c DESC, T.D"_s
        << u"select t.c from t WHERE t.c > 0 and  t.c = 1 ORDER BY t.c DESC, T.D"_s;
    QTest::newRow("Order By mixed case") << u"select t.c from t Order By t.c"_s
                                         << u"select t.c from t where  t.c = 1 Order By t.c"_s;
    QTest::newRow("first order by only")
        << u"select t.c from t order by t.c, (select 1 from u order by 1)"_s
        << u"select t.c from t where  t.c = 1 order by t.c, (select 1 from u order by 1)"_s;
    QTest::newRow("where after order by is no join word")
        << u"select t.c from t order by (select 1 from u where 1 = 1)"_s
        << u"select t.c from t where  t.c = 1 order by (select 1 from u where 1 = 1)"_s;
    QTest::newRow("non-ASCII before order by") << u"select t.c as \u0130stanbul from t order by 1"_s
                                               << u"select t.c as \u0130stanbul from t where  t.c = 1 order by 1"_s;
}

void TestConditionComposer::statementSplice()
{
    QFETCH(QString, base);
    QFETCH(QString, expectedSql);

    const ComposedCondition composed = compose({used(u"= "_s, u"1"_s)}, base);
    QCOMPARE(composed.condition, u" t.c = 1"_s);
    QCOMPARE(composed.statement, expectedSql);
}

void TestConditionComposer::rowsAndLogicalWords_data()
{
    QTest::addColumn<QList<ConditionRow>>("rows");
    QTest::addColumn<QString>("expected");

    const ConditionRow skipped{u"("_s, QString(), u"= "_s, u"9"_s, u")"_s, u" And "_s, u"1"_s};
    QTest::newRow("last row used, its word dropped")
        << QList<ConditionRow>{used(u"= "_s, u"1"_s, u" And "_s)} << u" t.c = 1"_s;
    const QStringList dangling{u" Or"_s, u" OR"_s, u" or "_s, u" And "_s, u" AND"_s, u"and"_s, u" aNd "_s};
    for (const QString &word : dangling) {
        QTest::addRow("dangling \"%s\" before a skipped last row", qPrintable(word))
            << QList<ConditionRow>{used(u"= "_s, u"1"_s, word), skipped} << u" t.c = 1"_s;
    }
    QTest::newRow("words between used rows")
        << QList<ConditionRow>{used(u"= "_s, u"1"_s, u" And "_s), used(u"= "_s, u"2"_s, u" Or"_s),
                               used(u"= "_s, u"3"_s)}
        << u" t.c = 1 And t.c = 2 Or t.c = 3"_s;
    QTest::newRow("skipped row between") << QList<ConditionRow>{used(u"= "_s, u"1"_s, u" Or"_s), skipped,
                                                                used(u"= "_s, u"2"_s)}
                                         << u" t.c = 1 Or t.c = 2"_s;
    QTest::newRow("missing word composed as it stands")
        << QList<ConditionRow>{used(u"= "_s, u"1"_s), used(u"= "_s, u"2"_s)} << u" t.c = 1 t.c = 2"_s;
    QTest::newRow("brackets unchanged, skipped row's dropped")
        << QList<ConditionRow>{{u"("_s, u"c"_s, u"= "_s, u"1"_s, QString(), u" Or"_s, u"1"_s},
                               skipped,
                               {QString(), u"c"_s, u"= "_s, u"2"_s, u")"_s, QString(), u"1"_s}}
        << u" ( t.c = 1 Or t.c = 2 )"_s;
    QTest::newRow("bracket cells not trimmed")
        << QList<ConditionRow>{{u"( "_s, u"c"_s, u"= "_s, u"1"_s, u" )"_s, QString(), u"1"_s}} << u" (  t.c = 1  )"_s;
}

void TestConditionComposer::userPartNeverReachesTheBase_data()
{
    QTest::addColumn<QList<ConditionRow>>("rows");
    QTest::addColumn<QString>("condition"); // still composed, for the preview
    QTest::addColumn<bool>("boundToo");      // false: the bound form holds the value as a parameter

    const auto row = [](const QString &open, const QString &op, const QString &value, const QString &close,
                        const QString &logical) { return ConditionRow{open, u"c"_s, op, value, close, logical, u"1"_s}; };
    QTest::newRow("close then open")
        << QList<ConditionRow>{row(QString(), u"= "_s, u"1"_s, u")"_s, u" Or"_s), row(u"("_s, u"= "_s, u"2"_s, QString(), QString())}
        << u" t.c = 1 ) Or ( t.c = 2"_s << true;
    QTest::newRow("open never closed") << QList<ConditionRow>{row(u"("_s, u"= "_s, u"1"_s, QString(), QString())}
                                       << u" ( t.c = 1"_s << true;
    QTest::newRow("bracket cell with text")
        << QList<ConditionRow>{row(u"1=1) or ("_s, u"= "_s, u"1"_s, QString(), QString())} << u" 1=1) or ( t.c = 1"_s << true;
    QTest::newRow("number value that ends the condition")
        << QList<ConditionRow>{row(QString(), u"= "_s, u"1) or (1=1"_s, QString(), QString())} << u" t.c = 1) or (1=1"_s << false;
    QTest::newRow("number value with a comment")
        << QList<ConditionRow>{row(QString(), u"= "_s, u"1 --"_s, QString(), QString())} << u" t.c = 1 --"_s << false;
    QTest::newRow("operator outside the list")
        << QList<ConditionRow>{row(QString(), u"= 1 or 1 ="_s, u"1"_s, QString(), QString())} << u" t.c = 1 or 1 = 1"_s << true;
    QTest::newRow("logical word outside the list")
        << QList<ConditionRow>{row(QString(), u"= "_s, u"1"_s, QString(), u"or 1=1 or"_s),
                               row(QString(), u"= "_s, u"2"_s, QString(), QString())}
        << u" t.c = 1 or 1=1 or t.c = 2"_s << true;
}

void TestConditionComposer::userPartNeverReachesTheBase()
{
    QFETCH(QList<ConditionRow>, rows);
    QFETCH(QString, condition);
    QFETCH(bool, boundToo);
    for (const QString &base : {u"select t.c from t"_s, u"select t.c from t where t.c <> 3 order by t.c"_s}) {
        const ComposedCondition composed = compose(rows, base);
        QCOMPARE(composed.condition, condition);
        QVERIFY(composed.statement.isEmpty());
        QVERIFY(!composed.refusal.isEmpty());
        m_run.baseSql = base;
        const ComposedCondition bound = composeParameterized(rows, m_run);
        QCOMPARE(bound.statement.isEmpty(), boundToo);
    }
}

void TestConditionComposer::rowsAndLogicalWords()
{
    QFETCH(QList<ConditionRow>, rows);
    QFETCH(QString, expected);

    const ComposedCondition composed = compose(rows, u"select t.c from t"_s);
    QCOMPARE(composed.condition, expected);
    QCOMPARE(composed.statement, u"select t.c from t where "_s + expected);
    for (int r = 0; r < rows.size(); ++r) {
        const ConditionRow &given = rows.at(r);
        const bool isUsed = !given.column.trimmed().isEmpty() && !given.op.trimmed().isEmpty();
        QCOMPARE(composed.rows.at(r).op, isUsed ? given.op.trimmed() : given.op);
        QCOMPARE(composed.rows.at(r).logical, isUsed ? given.logical.trimmed() : given.logical);
    }
}

void TestConditionComposer::failureKeepsPreviousResult_data()
{
    QTest::addColumn<QString>("colIndex");
    QTest::addColumn<int>("errorNumber");

    QTest::newRow("beyond the catalog") << u"2"_s << 9;
    QTest::newRow("position 0") << u"0"_s << 9;
    QTest::newRow("not a number") << u"x"_s << 13;
    QTest::newRow("empty") << QString() << 13;
}

// The composer hands a failure to its caller (the dialog reports it and keeps its previous
// statement and preview; see the dialog's tests).
void TestConditionComposer::failureKeepsPreviousResult()
{
    QFETCH(QString, colIndex);
    QFETCH(int, errorNumber);

    const QList<ConditionRow> rows{
        {QString(), u"c"_s, u"include "_s, u"1"_s, QString(), u" And "_s, u"1"_s},
        {QString(), u"c"_s, u"= "_s, u"1"_s, QString(), u" Or"_s, colIndex},
    };
    try {
        compose(rows, u"select t.c from t"_s);
        QFAIL("no error");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), errorNumber);
    }
}

void TestConditionComposer::followsTheLatestGrid()
{
    m_run.dbKind = dbKindFromText(u"99"_s);
    QList<ConditionRow> rows{used(u"> "_s, u"1"_s, u" And "_s), used(u"< "_s, u"9"_s)};
    const QString base = u"select t.c from t"_s;

    QCOMPARE(compose(rows, base).condition, u" t.c > 1 And t.c < 9"_s);
    rows = compose(rows, base).rows;
    QCOMPARE(compose(rows, base).condition, u" t.c > 1 And t.c < 9"_s);
    rows[1].value = u"95"_s;
    QCOMPARE(compose(rows, base).condition, u" t.c > 1 And t.c < 95"_s);
    rows[1].op.clear();
    QCOMPARE(compose(rows, base).condition, u" t.c > 1"_s);
    QCOMPARE(compose(rows, base).statement, u"select t.c from t where  t.c > 1"_s);
    rows[0].column.clear();
    QCOMPARE(compose(rows, base).condition, QString());
    QCOMPARE(compose(rows, base).statement, base);
}

int runConditionComposerTests(int argc, char **argv)
{
    TestConditionComposer test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_conditioncomposer.moc"
