#include "conditiontestdata.h"

#include "analysis/analysisstate.h"
#include "condition/conditionvalidator.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/userinteraction.h"

#include <QApplication>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;
using condora::test::ConditionRow;

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

struct Selection
{
    int row;
    int rowSel;
    int col;
    int colSel;
    bool operator==(const Selection &) const = default;
};

Selection selectionOf(const FlexGrid &grid)
{
    return {grid.Row(), grid.RowSel(), grid.Col(), grid.ColSel()};
}

char *toString(const Selection &s)
{
    return QTest::toString(
        QStringLiteral("Row %1 RowSel %2 Col %3 ColSel %4").arg(s.row).arg(s.rowSel).arg(s.col).arg(s.colSel));
}

const QString bracketSequence = u"Brackets in same type can't be use continuously!"_s;
const QString typeMismatch = u"Types of the column and operator do not match!"_s;
const QString notDate = u"The value must be date!"_s;
const QString notNumber = u"The value must be numerical!"_s;
const QString bracketCount = u"The number of left bracket must accord with that of right bracket!"_s;
const QString logicalNeeded = u"Logical word needed!"_s;

// The selection the grid has before each check, so that "unchanged" can be seen.
const Selection before{1, 1, 1, 1};

} // namespace

Q_DECLARE_METATYPE(Selection)

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

private:
    std::unique_ptr<RecordingUserInteraction> m_ui;
};

void TestConditionValidator::init()
{
    resetAnalysisState();
    m_ui = std::make_unique<RecordingUserInteraction>();
    test::setCatalog({test::catalogColumn(u"t"_s, u"n"_s, u"number"_s),
                      test::catalogColumn(u"t"_s, u"s"_s, u"string"_s),
                      test::catalogColumn(u"t"_s, u"l"_s, u"lstring"_s), test::catalogColumn(u"t"_s, u"d"_s, u"date"_s),
                      test::catalogColumn(u"t"_s, u"b"_s, u"boolean"_s)});
}

void TestConditionValidator::cleanup()
{
    m_ui.reset();
    resetAnalysisState();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
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
    const auto wholeRow = [](int r) { return Selection{r, r, 0, 5}; };
    const auto valueCell = [](int r) { return Selection{r, r, 3, 3}; };
    const auto logicalCell = [](int r) { return Selection{r, r, 5, 5}; };

    pass("no used rows", {skipped(u"("_s, QString()), skipped(u"("_s, QString()), {}});
    pass("one row", {row(QString(), N, u"= "_s, u"5"_s, QString(), QString())});
    pass("brackets on one row",
         {row(u"("_s, N, u"> "_s, u"1"_s, u")"_s), row(u"("_s, S, u"= "_s, u"x"_s, u")"_s, QString())});
    pass("close then open",
         {row(QString(), N, u"> "_s, u"1"_s, u")"_s), row(u"("_s, N, u"< "_s, u"9"_s, QString(), QString())});
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

    const auto grid = test::makeConditionGrid(rows);
    grid->setRow(before.row);
    grid->setCol(before.col);
    int editorCalls = 0;
    Selection atEditor{};
    int messagesAtEditor = -1;
    bool editorBeforeMessage = false;
    m_ui->setOnMessage([&](const MessageRequest &) { editorBeforeMessage = editorCalls == 1; });

    const bool valid = validateConditions(*grid, [&] {
        ++editorCalls;
        atEditor = selectionOf(*grid);
        messagesAtEditor = int(m_ui->messages().size());
    });

    QCOMPARE(valid, message.isEmpty());
    QCOMPARE(m_ui->texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(selectionOf(*grid), selection);
    QCOMPARE(editorCalls, editorOpened ? 1 : 0);
    if (editorOpened) {
        QCOMPARE(atEditor, selection);
        QCOMPARE(messagesAtEditor, 0);
        QVERIFY(editorBeforeMessage);
    }
    if (!message.isEmpty()) {
        const MessageRequest &box = m_ui->messages().constFirst();
        QCOMPARE(box.icon, MessageIcon::Exclamation);
        QCOMPARE(box.buttons, MessageButtons::Ok);
        QVERIFY(!box.explicitCaption);
        QVERIFY(box.caption.isEmpty());
    }
    QCOMPARE(test::readConditionGrid(*grid), rows);
}

void TestConditionValidator::reportsOneFailureAtATime()
{
    const auto grid = test::makeConditionGrid(
        {row(u"("_s, N, u"include "_s, u"1"_s), row(QString(), D, u"= "_s, u"soon"_s, QString(), QString())});
    const auto noEditor = [] {};

    QVERIFY(!validateConditions(*grid, noEditor));
    QCOMPARE(m_ui->texts(), QStringList{typeMismatch});

    grid->setTextMatrix(1, 2, u"= "_s);
    QVERIFY(!validateConditions(*grid, noEditor));
    QCOMPARE(m_ui->texts(), (QStringList{typeMismatch, notDate}));

    grid->setTextMatrix(2, 3, u"2001-1-5"_s);
    QVERIFY(!validateConditions(*grid, noEditor));
    QCOMPARE(m_ui->texts().last(), bracketCount);

    grid->setTextMatrix(2, 4, u")"_s);
    QVERIFY(validateConditions(*grid, noEditor));
    QCOMPARE(m_ui->messages().size(), 3);
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
        m_ui->clear();
        const auto grid = test::makeConditionGrid({row(QString(), Column(column), op, value, QString(), QString())});
        QVERIFY(!validateConditions(*grid, {}));
        QCOMPARE(m_ui->texts(), QStringList{message});
    }
}

void TestConditionValidator::runtimeFailureReported()
{
    const auto grid = test::makeConditionGrid(
        {row(QString(), N, u"= "_s, u"1"_s), {QString(), u"n"_s, u"= "_s, u"1"_s, QString(), QString(), u"6"_s}});
    int editorCalls = 0;
    QVERIFY(!validateConditions(*grid, [&] { ++editorCalls; }));
    QCOMPARE(editorCalls, 0);
    QCOMPARE(m_ui->messages().size(), 1);
    QVERIFY2(m_ui->texts().constFirst().startsWith(u"Error message:"_s), qPrintable(m_ui->texts().constFirst()));
    QVERIFY(m_ui->texts().constFirst().endsWith(u"Error number:9"_s));
}

void TestConditionValidator::worksWithoutEditorCallback()
{
    const auto grid = test::makeConditionGrid({row(QString(), N, u"= "_s, u"x"_s, QString(), QString())});
    QVERIFY(!validateConditions(*grid, {}));
    QCOMPARE(m_ui->texts(), QStringList{notNumber});
    QCOMPARE(selectionOf(*grid), (Selection{1, 1, 3, 3}));
}

int runConditionValidatorTests(int argc, char **argv)
{
    TestConditionValidator test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_conditionvalidator.moc"
