// Conditions as data, through the public control and the real dialog on SQLite: the rows a
// user accepted come back as JSON, preload a later run and give the same statement; a kept
// condition reopens on the same base statement only; rows naming a column the statement does
// not have are left out with one message; a document that is not a condition is refused.
// Row counts on Verify, on SQLite and PostgreSQL: the count equals the rows of the final
// statement, and for a condition without rows the rows found to rule out every row are the
// ones the test's table was built around.

#include "queryrunner.h"
#include "reliabilitysupport.h"

#include "../dialog/dialogdriver.h"

#include "control/condora.h"
#include "control/propertybag.h"
#include "platform/ado/connection.h"
#include "support/testmain.h"

#include "platform/flexgrid/flexgrid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QLabel>
#include <QTableView>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace reliability;

Q_DECLARE_METATYPE(reliability::Engine)

namespace {

const QString Base = u"select r.RemarkID, r.Title, r.Amount, r.Written from Remarks r order by r.RemarkID"_s;

QString document(const QString &rows)
{
    return u"{\"format\": \"Condora condition\", \"version\": 1, \"rows\": ["_s + rows + u"]}"_s;
}

QString row(const QString &open, const QString &column, const QString &op, const QString &value,
            const QString &close, const QString &logical)
{
    return u"{\"open\": \"%1\", \"column\": \"%2\", \"operator\": \"%3\", \"value\": \"%4\", \"close\": \"%5\", "
           "\"logical\": \"%6\"}"_s.arg(open, column, op, value, close, logical);
}

} // namespace

class TestConditionRows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        beginTestRun(m_ui, m_scope);
        m_db = SampleDatabase::create(Engine::Sqlite, QString());
    }
    void cleanup()
    {
        m_db.reset();
        const QStringList open = endTestRun(m_ui, m_scope);
        QVERIFY2(open.isEmpty(), qPrintable(open.join(u", "_s)));
    }

    void roundTrip_data();
    void roundTrip();
    void keptOnSameStatementOnly();
    void recentConditionsPickedAgain_data();
    void recentConditionsPickedAgain();
    void unknownColumnsLeftOut();
    void notACondition_data();
    void notACondition();
    void parametersFindSameRows_data();
    void parametersFindSameRows();
    void emptyTextBoundAsText_data();
    void emptyTextBoundAsText();
    void narrowedValues_data();
    void narrowedValues();
    void severalPickedValues_data();
    void severalPickedValues();
    void verifyCounts_data();
    void verifyCounts();

private:
    /// A run on `control` where the user presses OK at once (or builds one row first).
    RunOutcome okRun(Condora &control, const QString &sql, const QString &typedTitle = QString())
    {
        ControlRun run;
        run.connection = m_db->open();
        run.control = &control;
        run.sqlInput = sql;
        run.user = [&](QWidget *dialog) {
            if (!typedTitle.isEmpty()) {
                QVERIFY(pickColumnAndOperator(dialog, 1, u"Title"_s, u"= "_s));
                typeValue(dialog, 1, typedTitle);
            }
            okOrCancel(dialog);
        };
        return run.run(*m_ui);
    }

    std::unique_ptr<RecordingUi> m_ui;
    std::unique_ptr<QObject> m_scope;
    std::unique_ptr<SampleDatabase> m_db;
};

void TestConditionRows::roundTrip_data()
{
    QTest::addColumn<QString>("json");
    QTest::addColumn<bool>("moreOperators");
    QTest::addColumn<QString>("condition"); // as the test writes it
    QTest::newRow("one row") << document(row({}, u"Title"_s, u"="_s, u"O'Brien"_s, {}, {})) << false
                             << u"r.Title = 'O''Brien'"_s;
    QTest::newRow("brackets, include, or/and")
        << document(row(u"("_s, u"Title"_s, u"include"_s, u"a"_s, {}, u"Or"_s) + u","_s
                    + row({}, u"Amount"_s, u">"_s, u"10"_s, u")"_s, u"And"_s) + u","_s
                    + row({}, u"Written"_s, u"not null"_s, {}, {}, {}))
        << false << u"( r.Title like '%a%' Or r.Amount > 10 ) And not r.Written is null"_s;
    QTest::newRow("in, between, starts with")
        << document(row({}, u"Title"_s, u"in"_s, u"\\\"a, b\\\", O'Brien"_s, {}, u"Or"_s) + u","_s
                    + row({}, u"Amount"_s, u"between"_s, u"1, 10"_s, {}, u"And"_s) + u","_s
                    + row({}, u"Title"_s, u"starts with"_s, u"x"_s, {}, {}))
        << true << u"r.Title in ('a, b', 'O''Brien') Or r.Amount between 1 and 10 And r.Title like 'x%' escape '\\'"_s;
}

// Rows set as JSON compose the statement the test expects; what the control hands back reopens
// on a fresh control to the same statement.
void TestConditionRows::roundTrip()
{
    QFETCH(QString, json);
    QFETCH(bool, moreOperators);
    QFETCH(QString, condition);
    Condora first;
    first.setMoreOperators(moreOperators);
    QVERIFY(first.SetConditionRows(json));
    const RunOutcome one = okRun(first, Base);
    QVERIFY2(one.messages.isEmpty(), qPrintable(one.messages.join(u"; "_s)));
    QCOMPARE(one.sql, Base.left(Base.indexOf(u" order"_s)) + u" where  "_s + condition + u" order by r.RemarkID"_s);

    const QString handedBack = first.GetConditionRows();
    Condora second;
    second.setMoreOperators(moreOperators);
    QVERIFY(second.SetConditionRows(handedBack));
    const RunOutcome two = okRun(second, Base);
    QCOMPARE(two.sql, one.sql);
    QCOMPARE(second.GetConditionRows(), handedBack);
}

void TestConditionRows::keptOnSameStatementOnly()
{
    Condora control;
    control.setKeepCondition(true);
    const RunOutcome typed = okRun(control, Base, u"Plain"_s);
    QVERIFY(typed.sql.contains(u"r.Title = 'Plain'"_s));
    QCOMPARE(okRun(control, Base).sql, typed.sql);

    const QString other = u"select r.RemarkID, r.Title from Remarks r"_s;
    QCOMPARE(okRun(control, other).sql, other);
    // Off (the default), every run opens empty.
    control.setKeepCondition(false);
    okRun(control, Base, u"Plain"_s);
    QCOMPARE(okRun(control, Base).sql, Base);
}

// RecentConditions: accepted conditions come back in the dialog's list, newest first, ten per
// base statement; the picked one gives the statement it gave when accepted.
void TestConditionRows::recentConditionsPickedAgain_data()
{
    QTest::addColumn<int>("accepted");
    QTest::addColumn<bool>("throughBag");
    QTest::addColumn<int>("pick"); // list entry, 1 for the newest
    QTest::addColumn<int>("expected"); // the accepted run it gives back, 1 for the first
    QTest::addColumn<int>("offered");
    QTest::newRow("three, the second picked") << 3 << false << 2 << 2 << 3;
    QTest::newRow("saved and loaded") << 3 << true << 2 << 2 << 3;
    QTest::newRow("the eleventh drops the oldest") << 11 << false << 10 << 2 << 10;
}

void TestConditionRows::recentConditionsPickedAgain()
{
    QFETCH(int, accepted);
    QFETCH(bool, throughBag);
    QFETCH(int, pick);
    QFETCH(int, expected);
    QFETCH(int, offered);
    auto control = std::make_unique<Condora>();
    control->setRecentConditions(true);
    QStringList statements;
    for (int i = 1; i <= accepted; ++i) {
        QVERIFY(control->SetConditionRows(document(row({}, u"Title"_s, u"="_s, u"T%1"_s.arg(i), {}, {}))));
        statements.append(okRun(*control, Base).sql);
        QVERIFY(statements.last().contains(u"'T%1'"_s.arg(i)));
    }
    if (throughBag) {
        QTemporaryDir dir;
        QSettings settings(dir.filePath(u"form.ini"_s), QSettings::IniFormat);
        condora::SettingsPropertyBag bag(settings);
        control->writeProperties(bag);
        control = std::make_unique<Condora>();
        control->readProperties(bag);
    }

    const auto runPicking = [&](const QString &sql, int entry, QStringList *offers) {
        ControlRun run;
        run.connection = m_db->open();
        run.control = control.get();
        run.sqlInput = sql;
        run.user = [&](QWidget *dialog) {
            auto *recent = dialog->findChild<QComboBox *>(u"cboRecent"_s);
            QVERIFY(recent);
            for (int i = 1; i < recent->count(); ++i) {
                offers->append(recent->itemText(i));
            }
            if (entry > 0) {
                // Down on the entry before it picks it, as the keyboard does.
                recent->setFocus();
                recent->setCurrentIndex(entry - 1);
                QTest::keyClick(recent, Qt::Key_Down);
            }
            okOrCancel(dialog);
        };
        return run.run(*m_ui);
    };
    QStringList offers;
    const RunOutcome picked = runPicking(Base, pick, &offers);
    QVERIFY2(picked.messages.isEmpty(), qPrintable(picked.messages.join(u"; "_s)));
    QCOMPARE(offers.size(), offered);
    QVERIFY2(offers.first().contains(u"'T%1'"_s.arg(accepted)), qPrintable(offers.first()));
    QCOMPARE(picked.sql, statements.at(expected - 1));

    // Another SqlInput has conditions of its own: none yet.
    QStringList otherOffers;
    runPicking(u"select r.RemarkID, r.Title from Remarks r"_s, 0, &otherOffers);
    QCOMPARE(otherOffers, QStringList());
}

void TestConditionRows::unknownColumnsLeftOut()
{
    Condora control;
    QVERIFY(control.SetConditionRows(document(row({}, u"Missing"_s, u"="_s, u"1"_s, {}, u"And"_s) + u","_s
                                              + row({}, u"Title"_s, u"="_s, u"x"_s, {}, {}) + u","_s
                                              + row({}, u"Amount"_s, u"include"_s, u"1"_s, {}, {}))));
    const RunOutcome outcome = okRun(control, Base);
    // One message for the column the statement lacks, one for the operator that does not suit.
    QCOMPARE(outcome.messages.size(), 2);
    QVERIFY2(outcome.messages.at(0).startsWith(u"The statement has no column"_s)
                 && outcome.messages.at(0).endsWith(u": Missing"_s),
             qPrintable(outcome.messages.at(0)));
    QVERIFY2(outcome.messages.at(1).contains(u"does not suit"_s) && outcome.messages.at(1).endsWith(u": Amount"_s),
             qPrintable(outcome.messages.at(1)));
    QVERIFY(outcome.sql.contains(u"where  r.Title = 'x' order"_s));
}

void TestConditionRows::notACondition_data()
{
    QTest::addColumn<QString>("json");
    QTest::newRow("not JSON") << u"{rows: ["_s;
    QTest::newRow("an array") << u"[]"_s;
    QTest::newRow("another format") << u"{\"format\": \"x\", \"version\": 1, \"rows\": []}"_s;
    QTest::newRow("a later version") << u"{\"format\": \"Condora condition\", \"version\": 2, \"rows\": []}"_s;
    QTest::newRow("rows not a list") << u"{\"format\": \"Condora condition\", \"version\": 1, \"rows\": 5}"_s;
    // Rows that could reach the statement's own level, or hold what no list offers.
    QTest::newRow("reversed brackets") << document(row(u")"_s, u"Title"_s, u"="_s, u"x"_s, u"("_s, {}));
    QTest::newRow("closes before it opens")
        << document(row({}, u"Title"_s, u"="_s, u"x"_s, u")"_s, u"Or"_s) + u","_s
                    + row(u"("_s, u"Title"_s, u"="_s, u"y"_s, {}, {}));
    QTest::newRow("never closed") << document(row(u"("_s, u"Title"_s, u"="_s, u"x"_s, {}, {}));
    QTest::newRow("operator outside the list") << document(row({}, u"Title"_s, u"= 'x' or 1=1 or"_s, u"x"_s, {}, {}));
    QTest::newRow("logical word outside the list")
        << document(row({}, u"Title"_s, u"="_s, u"x"_s, {}, u"or 1=1 or"_s) + u","_s
                    + row({}, u"Title"_s, u"="_s, u"y"_s, {}, {}));
    QTest::newRow("lone surrogate") << document(row({}, u"Title"_s, u"="_s, u"a\\ud800b"_s, {}, {}));
    QTest::newRow("NUL") << document(row({}, u"Title"_s, u"="_s, u"nul\\u0000here"_s, {}, {}));
}

// Refused when set; the next run opens with an empty grid as usual.
void TestConditionRows::notACondition()
{
    QFETCH(QString, json);
    Condora control;
    QVERIFY(!control.SetConditionRows(json));
    const RunOutcome outcome = okRun(control, Base);
    QCOMPARE(outcome.sql, Base);
    QVERIFY(outcome.messages.isEmpty());
}

void TestConditionRows::parametersFindSameRows_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::newRow("SQLite") << Engine::Sqlite;
    QTest::newRow("PostgreSQL") << Engine::Postgres;
}

// GetQueryParameters hands back placeholders and typed values that, bound, find the rows of the
// text form of the same condition.
void TestConditionRows::parametersFindSameRows()
{
    QFETCH(Engine, engine);
    const auto db = SampleDatabase::create(engine, u"condora_conditionrows"_s);
    if (!db) {
        CONDORA_NEED_PG(pg);
    }
    const QString rows = document(row(u"("_s, u"Title"_s, u"include"_s, u"'"_s, {}, u"Or"_s) + u","_s
                                  + row({}, u"Amount"_s, u">="_s, u"-5.25"_s, u")"_s, u"And"_s) + u","_s
                                  + row({}, u"Written"_s, u"<"_s, u"2001-01-04"_s, {}, {}));
    const auto runOnce = [&](bool parameters) {
        Condora control;
        control.setConnObj(db->open());
        control.setSqlInput(Base);
        control.SetConditionRows(rows);
        QVariantMap map;
        QString sql;
        dialogtest::whenModal(m_scope.get(), u"frmCondora"_s, [](QWidget *dialog) { okOrCancel(dialog); });
        if (parameters) {
            map = control.GetQueryParameters();
        } else {
            sql = control.GetQuerySql();
        }
        return std::make_pair(sql, map);
    };
    const QString text = runOnce(false).first;
    const QVariantMap bound = runOnce(true).second;
    QVERIFY(text.contains(u"where"_s));
    const QVariantList values = bound.value(u"values"_s).toList();
    QCOMPARE(values.size(), 3);
    QCOMPARE(values.at(1).typeId(), QMetaType::Double);
    const QStringList expected = db->column(text);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(db->column(bound.value(u"sql"_s).toString(), values), expected);
    QVERIFY(m_ui->texts().isEmpty());
}

void TestConditionRows::emptyTextBoundAsText_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QString>("rows");   // the condition, as JSON rows
    QTest::addColumn<QString>("oracle"); // the test's own condition
    const QString empty = uR"(\"\")"_s; // the cell "" : one empty value in a list
    for (Engine engine : {Engine::Sqlite, Engine::Postgres}) {
        const char *name = engine == Engine::Sqlite ? "SQLite" : "PostgreSQL";
        QTest::addRow("%s: equal to empty text was bound as NULL", name)
            << engine << row({}, u"Title"_s, u"="_s, {}, {}, {}) << u"Title = ''"_s;
        QTest::addRow("%s: not equal to empty text", name)
            << engine << row({}, u"Title"_s, u"<>"_s, {}, {}, {}) << u"Title <> ''"_s;
        QTest::addRow("%s: in with an empty text was bound as NULL", name)
            << engine << row({}, u"Title"_s, u"in"_s, empty, {}, {}) << u"Title in ('')"_s;
        QTest::addRow("%s: in with an empty text and another", name)
            << engine << row({}, u"Title"_s, u"in"_s, empty + u", O'Brien"_s, {}, {})
            << u"Title in ('', 'O''Brien')"_s;
        QTest::addRow("%s: not in with an empty text", name)
            << engine << row({}, u"Title"_s, u"not in"_s, empty, {}, {}) << u"Title not in ('')"_s;
    }
}

// Empty text is a value like any other: the bound form finds the rows of the text form, and
// both find the rows of the test's own statement (a NULL title is no empty title).
void TestConditionRows::emptyTextBoundAsText()
{
    QFETCH(Engine, engine);
    QFETCH(QString, rows);
    QFETCH(QString, oracle);
    const auto db = SampleDatabase::create(engine, u"condora_conditionrows"_s);
    if (!db) {
        CONDORA_NEED_PG(pg);
    }
    db->exec(u"INSERT INTO Remarks (RemarkID, Title, Amount) VALUES (100, '', 1), (101, NULL, 2)"_s);
    const auto runOnce = [&](bool parameters) {
        Condora control;
        control.setConnObj(db->open());
        control.setSqlInput(Base);
        control.setMoreOperators(true);
        control.SetConditionRows(document(rows));
        dialogtest::whenModal(m_scope.get(), u"frmCondora"_s, [](QWidget *dialog) { okOrCancel(dialog); });
        return parameters ? std::make_pair(QString(), control.GetQueryParameters())
                          : std::make_pair(control.GetQuerySql(), QVariantMap());
    };
    const QString text = runOnce(false).first;
    const QVariantMap bound = runOnce(true).second;
    QVERIFY2(m_ui->texts().isEmpty(), qPrintable(m_ui->texts().join(u" / "_s)));
    const QStringList expected =
        db->column(u"select RemarkID from Remarks where "_s + oracle + u" order by RemarkID"_s);
    QCOMPARE(db->column(text), expected);
    QCOMPARE(db->column(bound.value(u"sql"_s).toString(), bound.value(u"values"_s).toList()), expected);
}

void TestConditionRows::narrowedValues_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QString>("others"); // the other rows, as JSON rows
    QTest::addColumn<QString>("oracle"); // the test's own condition for them
    for (Engine engine : {Engine::Sqlite, Engine::Postgres}) {
        const char *name = engine == Engine::Sqlite ? "SQLite" : "PostgreSQL";
        QTest::addRow("%s: one other row", name) << engine << row({}, u"a"_s, u"="_s, u"1"_s, {}, u"And"_s)
                                                 << u"a = 1"_s;
        QTest::addRow("%s: an or group", name)
            << engine
            << row(u"("_s, u"a"_s, u"="_s, u"2"_s, {}, u"Or"_s) + u","_s
                   + row({}, u"c"_s, u">"_s, u"5"_s, u")"_s, u"And"_s)
            << u"(a = 2 or c > 5)"_s;
    }
}

// With "only values matching the other rows" the picker of the last row lists exactly the
// distinct values the test finds under the other rows' condition (NULL as its entry).
void TestConditionRows::narrowedValues()
{
    QFETCH(Engine, engine);
    QFETCH(QString, others);
    QFETCH(QString, oracle);
    const auto db = SampleDatabase::create(engine, u"condora_conditionrows"_s);
    if (!db) {
        CONDORA_NEED_PG(pg);
    }
    db->exec(u"create table narrow (id integer, a integer, b varchar(10), c integer)"_s);
    db->exec(u"insert into narrow values (1, 1, 'x', 1), (2, 1, 'y', 2), (3, 2, 'z', 3), (4, 1, null, 4), "
             "(5, 3, 'w', 9), (6, 2, 'x', 7)"_s);
    QStringList expected = db->column(u"select distinct coalesce(b, '(null)') from narrow where "_s + oracle);
    expected.sort();

    Condora control;
    QVERIFY(control.SetConditionRows(document(others + u","_s + row({}, u"b"_s, u"="_s, {}, {}, {}))));
    QStringList listed;
    QStringList plain;
    ControlRun run;
    run.connection = db->open();
    run.control = &control;
    run.sqlInput = u"select k.id, k.a, k.b, k.c from narrow k"_s;
    run.user = [&](QWidget *dialog) {
        const int last = dialogtest::find<condora::FlexGrid>(dialog, "MFGQuery")->Rows() - 1;
        dialogtest::clickCell(dialogtest::find<condora::FlexGrid>(dialog, "MFGQuery"), last, 3);
        dialogtest::whenModal(dialog, u"frmGetValue"_s, [&](QWidget *picker) {
            auto *narrow = dialogtest::find<QCheckBox>(picker, "chkNarrow");
            QVERIFY(narrow->isVisible());
            const auto read = [picker] {
                auto *grid = dialogtest::find<condora::FlexGrid>(picker, "MSFlexGrid1");
                grid->fetchAll();
                QStringList values;
                for (int r = 1; r < grid->Rows(); ++r) {
                    values.append(grid->isNullCell(r, 0) ? u"(null)"_s : grid->TextMatrix(r, 0));
                }
                values.sort();
                return values;
            };
            plain = read();
            narrow->setChecked(true);
            listed = read();
            narrow->setChecked(false); // remembered for the session otherwise
            QTest::keyClick(picker, Qt::Key_Escape);
        });
        press(dialog, "cmdGetValue");
        press(dialog, "cmdCancel");
    };
    const RunOutcome outcome = run.run(*m_ui);
    QVERIFY2(outcome.messages.isEmpty(), qPrintable(outcome.messages.join(u"; "_s)));
    QCOMPARE(listed, expected);
    QVERIFY(plain.size() > listed.size());
}

void TestConditionRows::severalPickedValues_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::newRow("SQLite") << Engine::Sqlite;
    QTest::newRow("PostgreSQL") << Engine::Postgres;
}

// "in" with the picker: clicks choose values (a second click takes one out again, NULL cannot be
// chosen), Enter takes them; the statement finds the rows the test's own statement finds.
void TestConditionRows::severalPickedValues()
{
    QFETCH(Engine, engine);
    const auto db = SampleDatabase::create(engine, u"condora_conditionrows"_s);
    if (!db) {
        CONDORA_NEED_PG(pg);
    }
    db->exec(u"create table several (id integer, b varchar(20))"_s);
    db->exec(u"insert into several values (1, 'x, y'), (2, 'say \"hi\"'), (3, 'plain'), (4, null), (5, 'x, y'), "
             "(6, ' pad')"_s);
    const QStringList expected =
        db->column(u"select id from several where b = 'x, y' or b = 'say \"hi\"' or b = ' pad' order by id"_s);

    Condora control;
    control.setMoreOperators(true);
    QVERIFY(control.SetConditionRows(document(row({}, u"b"_s, u"in"_s, {}, {}, {}))));
    QStringList chosen;
    ControlRun run;
    run.connection = db->open();
    run.control = &control;
    run.sqlInput = u"select k.id, k.b from several k order by k.id"_s;
    run.user = [&](QWidget *dialog) {
        dialogtest::clickCell(dialogtest::find<condora::FlexGrid>(dialog, "MFGQuery"), 1, 3);
        dialogtest::whenModal(dialog, u"frmGetValue"_s, [&](QWidget *picker) {
            auto *grid = dialogtest::find<condora::FlexGrid>(picker, "MSFlexGrid1");
            grid->fetchAll();
            const auto click = [grid](const QString &value) {
                for (int r = 1; r < grid->Rows(); ++r) {
                    if (value.isNull() ? grid->isNullCell(r, 0) : (!grid->isNullCell(r, 0) && grid->TextMatrix(r, 0) == value)) {
                        dialogtest::clickCell(grid, r, 0);
                        return;
                    }
                }
                QFAIL(qPrintable(u"not listed: "_s + value));
            };
            for (const QString &value : {u"x, y"_s, u"plain"_s, u"say \"hi\""_s, QString(), u"plain"_s, u" pad"_s}) {
                click(value);
            }
            QVERIFY(picker->isVisible());
            chosen = QStringList{dialogtest::find<QLabel>(picker, "lblChosen")->toolTip()};
            QTest::keyClick(grid->view(), Qt::Key_Return);
        });
        press(dialog, "cmdGetValue");
        okOrCancel(dialog);
    };
    const RunOutcome outcome = run.run(*m_ui);
    QVERIFY2(outcome.messages.isEmpty(), qPrintable(outcome.messages.join(u"; "_s)));
    QCOMPARE(chosen, QStringList{u"\"x, y\", \"say \"\"hi\"\"\", \" pad\""_s});
    QCOMPARE(db->column(u"select k.id from ("_s + outcome.sql + u") k order by k.id"_s), expected);
}

void TestConditionRows::verifyCounts_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("culprits"); // the rows said to rule out every row; empty: rows found
    QTest::addColumn<QString>("without"); // the test's own condition without the culprits
    const QString a = row({}, u"a"_s, u"="_s, u"1"_s, {}, u"And"_s);
    const QString b = row({}, u"b"_s, u"="_s, u"2"_s, {}, u"And"_s);
    for (Engine engine : {Engine::Sqlite, Engine::Postgres}) {
        const char *name = engine == Engine::Sqlite ? "SQLite" : "PostgreSQL";
        QTest::addRow("%s: rows found", name) << engine << document(a + u","_s + b) << QString() << QString();
        QTest::addRow("%s: one culprit", name)
            << engine << document(a + u","_s + b + u","_s + row({}, u"c"_s, u"="_s, u"3"_s, {}, {})) << u"3"_s
            << u"a = 1 and b = 2"_s;
        QTest::addRow("%s: two culprits", name)
            << engine
            << document(row({}, u"a"_s, u"="_s, u"9"_s, {}, u"And"_s) + u","_s
                        + row({}, u"b"_s, u"="_s, u"9"_s, {}, u"And"_s) + u","_s
                        + row({}, u"c"_s, u"="_s, u"0"_s, {}, {}))
            << u"1, 2"_s << u"c = 0"_s;
    }
}

void TestConditionRows::verifyCounts()
{
    QFETCH(Engine, engine);
    QFETCH(QString, rows);
    QFETCH(QString, culprits);
    QFETCH(QString, without);
    const auto db = SampleDatabase::create(engine, u"condora_conditionrows"_s);
    if (!db) {
        CONDORA_NEED_PG(pg);
    }
    db->exec(u"create table culprit (id integer, a integer, b integer, c integer)"_s);
    db->exec(u"insert into culprit values (1, 1, 2, 0), (2, 1, 2, 0), (3, 0, 2, 0)"_s);
    const QString base = u"select k.id, k.a, k.b, k.c from culprit k order by k.id"_s;

    Condora control;
    control.setCountRows(true);
    QVERIFY(control.SetConditionRows(rows));
    ControlRun run;
    run.connection = db->open();
    run.control = &control;
    run.sqlInput = base;
    run.user = [&](QWidget *dialog) {
        press(dialog, "cmdVerify");
        okOrCancel(dialog);
    };
    const RunOutcome outcome = run.run(*m_ui);
    const QString crlf = u"\r\n"_s;
    if (culprits.isEmpty()) {
        // The test counts the final statement's rows itself.
        const qsizetype expected = db->column(outcome.sql).size();
        QVERIFY(expected > 1);
        QCOMPARE(outcome.messages, QStringList{u"Ok!"_s + crlf + QString::number(expected) + u" rows"_s});
        return;
    }
    QCOMPARE(db->column(outcome.sql).size(), 0);
    QVERIFY2(outcome.messages.size() == 2, qPrintable(outcome.messages.join(u" | "_s)));
    QVERIFY2(outcome.messages.at(1).contains(culprits + u" of the condition"_s), qPrintable(outcome.messages.at(1)));
    // Without the culprits there are rows; with any one of two culprits left there are none.
    QVERIFY(!db->column(u"select id from culprit where "_s + without).isEmpty());
    if (culprits.contains(u',')) {
        QVERIFY(db->column(u"select id from culprit where a = 9 and c = 0"_s).isEmpty());
        QVERIFY(db->column(u"select id from culprit where b = 9 and c = 0"_s).isEmpty());
    }
}

CONDORA_TEST_MAIN(TestConditionRows)

#include "tst_conditionrows.moc"
