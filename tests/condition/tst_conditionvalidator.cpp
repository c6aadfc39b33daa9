#include "conditiontestdata.h"

#include "condition/conditionvalidator.h"
#include "platform/runtimeerror.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;

namespace {

// Catalog positions of the test columns, one per type class.
enum Column { N = 1, S, L, D, B };
const QStringList columnNames{QString(), u"n"_s, u"s"_s, u"l"_s, u"d"_s, u"b"_s};

ConditionRow row(const QString &open, Column column, const QString &op, const QString &value,
                 const QString &close = QString(), const QString &logical = u" And "_s)
{
    return {open, columnNames.at(column), op, value, close, logical, QString::number(int(column))};
}

/// A row the rules ignore (no Operator), with brackets and no logical word.
ConditionRow skipped(const QString &open = u"("_s, const QString &close = u")"_s)
{
    return {open, u"n"_s, QString(), u"x"_s, close, QString(), u"1"_s};
}

/// The cells a problem points at: which ones, on which row (counted from 1).
struct Selection
{
    ConditionProblem::Cells cells;
    int row;
    bool operator==(const Selection &) const = default;
};

char *toString(const Selection &s)
{
    return QTest::toString(QStringLiteral("cells %1 row %2").arg(int(s.cells)).arg(s.row));
}

const QString bracketSequence = u"Brackets in same type can't be use continuously!"_s;
const QString typeMismatch = u"Types of the column and operator do not match!"_s;
const QString notDate = u"The value must be date!"_s;
const QString notNumber = u"The value must be numerical!"_s;
const QString bracketCount = u"The number of left bracket must accord with that of right bracket!"_s;
const QString logicalNeeded = u"Logical word needed!"_s;

// No cells: the dialog leaves its selection as it is.
const Selection before{ConditionProblem::Cells::None, 0};

} // namespace

Q_DECLARE_METATYPE(Selection)
Q_DECLARE_METATYPE(condora::DbKind)
Q_DECLARE_METATYPE(condora::DbProduct)

class TestConditionValidator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void rules_data();
    void rules();
    void reportsOneFailureAtATime();
    void hostileValuesRejected_data();
    void hostileValuesRejected();
    void runtimeFailureReported();
    void worksWithoutEditorCallback();
    void databaseRules_data();
    void databaseRules();
    void furtherOperators_data();
    void furtherOperators();
    void sqliteLikePatternLimit();

private:
    /// The first problem's message, or the empty text when every rule holds.
    QString messageFor(const QList<ConditionRow> &rows) const
    {
        const auto problem = validateConditions(rows, m_catalog);
        return problem ? problem->message : QString();
    }

    FieldCatalog m_catalog;
};

void TestConditionValidator::init()
{
    m_catalog = test::catalogOf({test::catalogColumn(u"t"_s, u"n"_s, u"number"_s),
                      test::catalogColumn(u"t"_s, u"s"_s, u"string"_s),
                      test::catalogColumn(u"t"_s, u"l"_s, u"lstring"_s), test::catalogColumn(u"t"_s, u"d"_s, u"date"_s),
                      test::catalogColumn(u"t"_s, u"b"_s, u"boolean"_s)});
}

void TestConditionValidator::cleanup()
{
}

void TestConditionValidator::rules_data()
{
    QTest::addColumn<QList<ConditionRow>>("rows");
    QTest::addColumn<QString>("message"); // empty: every rule holds
    QTest::addColumn<Selection>("selection");
    QTest::addColumn<bool>("editorOpened");

    using Rows = QList<ConditionRow>;
    const auto pass = [](const char *name, const Rows &rows) {
        QTest::newRow(name) << rows << QString() << before << false;
    };
    const auto wholeRow = [](int r) { return Selection{ConditionProblem::Cells::WholeRow, r}; };
    const auto valueCell = [](int r) { return Selection{ConditionProblem::Cells::Value, r}; };
    const auto logicalCell = [](int r) { return Selection{ConditionProblem::Cells::Logical, r}; };

    pass("no used rows", {skipped(u"("_s, QString()), skipped(u"("_s, QString()), {}});
    pass("one row", {row(QString(), N, u"= "_s, u"5"_s, QString(), QString())});
    pass("brackets on one row",
         {row(u"("_s, N, u"> "_s, u"1"_s, u")"_s), row(u"("_s, S, u"= "_s, u"x"_s, u")"_s, QString())});
    QTest::newRow("close then open")
        << Rows{row(QString(), N, u"> "_s, u"1"_s, u")"_s), row(u"("_s, N, u"< "_s, u"9"_s, QString(), QString())}
        << u"Row 1: this \")\" has no \"(\" before it."_s << wholeRow(1) << false;
    QTest::newRow("closes on a later row before it opens")
        << Rows{row(QString(), N, u"> "_s, u"1"_s), row(QString(), N, u"< "_s, u"9"_s, u")"_s),
                row(u"("_s, N, u"= "_s, u"5"_s, QString(), QString())}
        << u"Row 2: this \")\" has no \"(\" before it."_s << wholeRow(2) << false;
    QTest::newRow("reversed bracket cells")
        << Rows{row(u")"_s, N, u"> "_s, u"1"_s, u"("_s, QString())}
        << u"Row 1: a bracket cell holds \"(\" on the left, \")\" on the right, or nothing."_s << wholeRow(1)
        << false;
    QTest::newRow("operator outside the list")
        << Rows{row(QString(), N, u"= 1 or 1 = "_s, u"1"_s, QString(), QString())} << typeMismatch << wholeRow(1)
        << false;
    QTest::newRow("logical word outside the list")
        << Rows{row(QString(), S, u"= "_s, u"a"_s, QString(), u"or 1=1 or"_s), row(QString(), N, u"= "_s, u"1"_s, QString(), QString())}
        << u"Row 1: the logical word is And or Or."_s << logicalCell(1) << true;
    QTest::newRow("NUL in a value")
        << Rows{row(QString(), S, u"= "_s, u"nul"_s + QChar(u'\0') + u"here"_s, QString(), QString())}
        << u"Row 1: the value holds a NUL character, which no database keeps in text."_s << valueCell(1) << true;
    QTest::newRow("lone surrogate in a value")
        << Rows{row(QString(), S, u"include "_s, u"a"_s + QChar(0xD800) + u"b"_s, QString(), QString())}
        << u"Row 1: the value holds half of a character (a lone surrogate)."_s << valueCell(1) << true;
    pass("brackets of skipped rows ignored", {row(u"("_s, N, u"> "_s, u"1"_s), skipped(u"("_s, QString()),
                                              row(QString(), N, u"< "_s, u"9"_s, u")"_s, QString())});
    pass("fitting operators",
         {row(QString(), S, u"include "_s, u"x"_s), row(QString(), L, u"not include "_s, QString()),
          row(QString(), B, u"true "_s, QString()), row(QString(), B, u"false "_s, QString()),
          row(QString(), S, u"<> "_s, QString()), row(QString(), D, u">= "_s, u"2001-1-5 10:00"_s),
          row(QString(), N, u"<= "_s, u"-1.5e3"_s, QString(), QString())});
    pass("comparison on boolean", {row(QString(), B, u"= "_s, u"x"_s, QString(), QString())});
    pass("null tests on every class, any value",
         {row(QString(), N, u"null "_s, u"abc"_s), row(QString(), S, u"not null "_s, QString()),
          row(QString(), L, u"null "_s, u"'"_s), row(QString(), D, u"not null "_s, u"31/02/2001"_s),
          row(QString(), B, u"null "_s, u"x"_s, QString(), QString())});
    pass("skipped row between needs no word", {row(QString(), N, u"= "_s, u"1"_s), skipped(QString(), QString()),
                                               row(QString(), N, u"= "_s, u"2"_s, QString(), QString())});
    pass("blank logical word counts", {row(QString(), N, u"= "_s, u"1"_s, QString(), u" "_s),
                                       row(QString(), N, u"= "_s, u"2"_s, QString(), QString())});
    pass("used last row may carry a word", {row(QString(), N, u"= "_s, u"1"_s), row(QString(), N, u"= "_s, u"2"_s)});

    QTest::newRow("nested opening brackets")
        << Rows{row(u"("_s, N, u"= "_s, u"1"_s), row(u"("_s, N, u"= "_s, u"2"_s),
                row(QString(), N, u"= "_s, u"3"_s, u")"_s), row(QString(), N, u"= "_s, u"4"_s, u")"_s, QString())}
        << bracketSequence << wholeRow(2) << false;
    QTest::newRow("two closing brackets")
        << Rows{row(u"("_s, N, u"= "_s, u"1"_s), row(QString(), N, u"= "_s, u"2"_s, u")"_s),
                row(QString(), N, u"= "_s, u"3"_s, u")"_s, QString())}
        << bracketSequence << wholeRow(3) << false;
    QTest::newRow("bracket rule before operator rule on one row")
        << Rows{row(u"("_s, N, u"= "_s, u"1"_s), row(u"("_s, N, u"include "_s, u"2"_s, u")"_s, QString())}
        << bracketSequence << wholeRow(2) << false;

    const struct
    {
        const char *name;
        Column column;
        const char *op;
    } mismatches[] = {
        {"include on number", N, "include "},
        {"include on date", D, "include "},
        {"not include on boolean", B, "not include "},
        {"true on string", S, "true "},
        {"false on number", N, "false "},
        {"comparison on lstring", L, "> "},
        {"equality on lstring", L, "= "},
        {"true on lstring", L, "true "},
    };
    for (const auto &m : mismatches) {
        QTest::newRow(m.name) << Rows{row(QString(), S, u"= "_s, u"ok"_s),
                                      row(QString(), m.column, QString::fromLatin1(m.op), u"1"_s, QString(), QString())}
                              << typeMismatch << wholeRow(2) << false;
    }

    QTest::newRow("impossible date") << Rows{row(QString(), D, u"= "_s, u"31/02/2001"_s, QString(), QString())}
                                     << notDate << valueCell(1) << true;
    QTest::newRow("february 30") << Rows{row(QString(), N, u"= "_s, u"1"_s),
                                         row(QString(), D, u"> "_s, u"2001-02-30"_s, QString(), QString())}
                                 << notDate << valueCell(2) << true;
    QTest::newRow("empty date") << Rows{row(QString(), D, u"= "_s, QString(), QString(), QString())} << notDate
                                << valueCell(1) << true;
    QTest::newRow("letters in number") << Rows{row(QString(), N, u"> "_s, u"12a"_s, QString(), QString())} << notNumber
                                       << valueCell(1) << true;
    QTest::newRow("empty number") << Rows{row(QString(), N, u"> "_s, QString(), QString(), QString())} << notNumber
                                  << valueCell(1) << true;
    QTest::newRow("value rule before later bracket rule")
        << Rows{row(QString(), N, u"= "_s, u"x"_s), row(u"("_s, N, u"= "_s, u"1"_s),
                row(u"("_s, N, u"= "_s, u"2"_s, u")"_s, QString())}
        << notNumber << valueCell(1) << true;

    QTest::newRow("counts differ, selection unchanged") << Rows{row(u"("_s, N, u"= "_s, u"1"_s, u")"_s, QString()),
                                                                row(u"("_s, N, u"= "_s, u"2"_s, QString(), QString())}
                                                        << bracketCount << before << false;
    QTest::newRow("logical word missing on the top row")
        << Rows{row(QString(), N, u"= "_s, u"1"_s, QString(), QString()),
                row(QString(), N, u"= "_s, u"2"_s, QString(), u" And "_s),
                row(QString(), N, u"= "_s, u"3"_s, QString(), QString())}
        << logicalNeeded << logicalCell(1) << true;
    QTest::newRow("lowest offending row reported")
        << Rows{row(QString(), N, u"= "_s, u"1"_s, QString(), QString()),
                row(QString(), N, u"= "_s, u"2"_s, QString(), QString()),
                row(QString(), N, u"= "_s, u"3"_s, QString(), QString()), skipped(QString(), QString())}
        << logicalNeeded << logicalCell(2) << true;
}

void TestConditionValidator::rules()
{
    QFETCH(QList<ConditionRow>, rows);
    QFETCH(QString, message);
    QFETCH(Selection, selection);
    QFETCH(bool, editorOpened);

    const auto problem = validateConditions(rows, m_catalog);

    QCOMPARE(problem ? problem->message : QString(), message);
    if (problem) {
        QCOMPARE((Selection{problem->cells, problem->row}), selection);
        QCOMPARE(problem->openEditor, editorOpened);
    }
}

void TestConditionValidator::reportsOneFailureAtATime()
{
    QList<ConditionRow> rows{row(u"("_s, N, u"include "_s, u"1"_s),
                             row(QString(), D, u"= "_s, u"soon"_s, QString(), QString())};

    QCOMPARE(messageFor(rows), typeMismatch);
    rows[0].op = u"= "_s;
    QCOMPARE(messageFor(rows), notDate);
    rows[1].value = u"2001-1-5"_s;
    QCOMPARE(messageFor(rows), bracketCount);
    rows[1].close = u")"_s;
    QCOMPARE(messageFor(rows), QString());
}

void TestConditionValidator::hostileValuesRejected_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");

    const QStringList hostile{u"1; drop table t"_s,
                              u"1 or 1=1"_s,
                              u"1--"_s,
                              u"1/* x */"_s,
                              u"' or ''='"_s,
                              u"2001-1-5' or '1'='1"_s,
                              u"2001-1-5# or #2001-1-5"_s,
                              u"2001-01-05;--"_s,
                              u"1\n"_s,
                              u"\u0661"_s,
                              QString(10000, u'1') + u'x'};
    for (const QString &value : hostile) {
        const QString name = value.left(24).replace(u'\n', u"\\n"_s);
        QTest::addRow("number: %s", qPrintable(name)) << int(N) << value << notNumber;
        QTest::addRow("date: %s", qPrintable(name)) << int(D) << value << notDate;
    }
}

void TestConditionValidator::hostileValuesRejected()
{
    QFETCH(int, column);
    QFETCH(QString, value);
    QFETCH(QString, message);

    for (const QString &op : {u"= "_s, u"<> "_s, u"< "_s}) {
        QCOMPARE(messageFor({row(QString(), Column(column), op, value, QString(), QString())}), message);
    }
}

void TestConditionValidator::runtimeFailureReported()
{
    // A row that names no catalog entry is a run-time failure for the caller to report.
    const QList<ConditionRow> rows{row(QString(), N, u"= "_s, u"1"_s),
                                   {QString(), u"n"_s, u"= "_s, u"1"_s, QString(), QString(), u"6"_s}};
    try {
        validateConditions(rows, m_catalog);
        QFAIL("no error");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), 9);
    }
}

void TestConditionValidator::worksWithoutEditorCallback()
{
    const auto problem = validateConditions({row(QString(), N, u"= "_s, u"x"_s, QString(), QString())}, m_catalog);
    QVERIFY(problem);
    QCOMPARE(problem->message, notNumber);
    QCOMPARE((Selection{problem->cells, problem->row}), (Selection{ConditionProblem::Cells::Value, 1}));
}

void TestConditionValidator::databaseRules_data()
{
    QTest::addColumn<DbKind>("kind");
    QTest::addColumn<DbProduct>("product");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    const auto pg = DbProduct::PostgreSql;
    const auto other = DbProduct::Other;
    // A money column: money text only where PostgreSQL reads it; hostile text never.
    QTest::newRow("PostgreSQL money text") << DbKind::Other << pg << int(N) << u"-$1,234.50"_s << QString();
    QTest::newRow("PostgreSQL money, hostile") << DbKind::Other << pg << int(N) << u"1' or '1'='1"_s << notNumber;
    QTest::newRow("SQLite money text") << DbKind::Other << DbProduct::Sqlite << int(N) << u"$5"_s << notNumber;
    // Offsets: not where the date literal is rewritten without a zone.
    const QString zoned = u"2024-01-02 03:04:05.123456+02"_s;
    QTest::newRow("PostgreSQL offset") << DbKind::Other << pg << int(D) << zoned << QString();
    QTest::newRow("SQL Server offset") << DbKind::SqlServer << other << int(D) << zoned << QString();
    QTest::newRow("Oracle offset") << DbKind::Oracle << other << int(D) << zoned << notDate;
    QTest::newRow("Access offset") << DbKind::Access << other << int(D) << zoned << notDate;
    QTest::newRow("Access, no offset") << DbKind::Access << other << int(D) << u"2024-01-02 03:04:05.5"_s << QString();
}

void TestConditionValidator::databaseRules()
{
    QFETCH(DbKind, kind);
    QFETCH(DbProduct, product);
    QFETCH(int, column);
    QFETCH(QString, value);
    QFETCH(QString, message);
    QueryRun run;
    run.dbKind = kind;
    run.product = product;
    run.fieldCatalog = m_catalog;
    run.fieldCatalog[N].typeCode = 6; // the money type's number
    const auto problem = validateConditions({row(QString(), Column(column), u"= "_s, value, QString(), QString())}, run);
    QCOMPARE(problem ? problem->message : QString(), message);
}

void TestConditionValidator::furtherOperators_data()
{
    QTest::addColumn<bool>("offered");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    const QString twoValues = u"The value must be two values separated by a comma!"_s;
    const QString someValues = u"The value must be one or more values separated by commas!"_s;
    const auto row = [](const char *name) { return std::ref(QTest::newRow(name)); };
    row("not offered") << false << int(N) << u"between "_s << u"1, 2"_s << typeMismatch;
    row("between numbers") << true << int(N) << u"between "_s << u"1, 2.5"_s << QString();
    row("between, one value") << true << int(N) << u"between "_s << u"1"_s << twoValues;
    row("between, three values") << true << int(N) << u"between "_s << u"1, 2, 3"_s << twoValues;
    row("between, open quote") << true << int(S) << u"between "_s << u"\"a, b"_s << twoValues;
    row("between, second no number") << true << int(N) << u"between "_s << u"1, 2' or 1=1"_s << notNumber;
    row("in dates") << true << int(D) << u"in "_s << u"2001-01-05, 2001/2/3 10:00"_s << QString();
    row("in, one no date") << true << int(D) << u"in "_s << u"2001-01-05, 2001-02-30"_s << notDate;
    row("in, empty") << true << int(N) << u"in "_s << u"  "_s << someValues;
    row("not in, empty item") << true << int(S) << u"not in "_s << u"a,,b"_s << someValues;
    row("not in, quoted empty text") << true << int(S) << u"not in "_s << u"a, \"\""_s << QString();
    row("in on boolean") << true << int(B) << u"in "_s << u"1"_s << typeMismatch;
    row("between on long text") << true << int(L) << u"between "_s << u"a, b"_s << typeMismatch;
    row("starts with on long text") << true << int(L) << u"starts with "_s << u"a,\"b"_s << QString();
    row("ends with on number") << true << int(N) << u"ends with "_s << u"5"_s << typeMismatch;
}

void TestConditionValidator::furtherOperators()
{
    QFETCH(bool, offered);
    QFETCH(int, column);
    QFETCH(QString, op);
    QFETCH(QString, value);
    QFETCH(QString, message);
    QueryRun run;
    run.fieldCatalog = m_catalog;
    run.moreOperators = offered;
    const auto problem = validateConditions({row(QString(), Column(column), op, value, QString(), QString())}, run);
    QCOMPARE(problem ? problem->message : QString(), message);
}

int runConditionValidatorTests(int argc, char **argv)
{
    TestConditionValidator test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_conditionvalidator.moc"

// SQLite refuses a LIKE pattern over its limit only when it runs the statement over rows (Verify's
// no-rows probe passes): the validator refuses the value first, exactly where SQLite would.
void TestConditionValidator::sqliteLikePatternLimit()
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"likelimit"_s);
    db.setDatabaseName(u":memory:"_s);
    QVERIFY(db.open());
    QueryRun run;
    run.product = DbProduct::Sqlite;
    run.fieldCatalog = m_catalog;
    for (const int length : {49998, 49999}) {
        const QString value(length, u'a');
        QSqlQuery query(db);
        const bool sqliteTakesIt = query.exec(u"select 'x' like '%"_s + value + u"%'"_s) && query.next();
        const auto problem = validateConditions({row(QString(), S, u"include "_s, value, QString(), QString())}, run);
        QCOMPARE(!problem, sqliteTakesIt);
        run.product = DbProduct::PostgreSql;
        QVERIFY(!validateConditions({row(QString(), S, u"include "_s, value, QString(), QString())}, run));
        run.product = DbProduct::Sqlite;
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(u"likelimit"_s);
}
