#include "tst_dialog.h"

#include "dialogdriver.h"

#include "analysis/queryrun.h"
#include "dialog/frmcondora.h"
#include "dialog/livecount.h"
#include "platform/ado/connection.h"
#include "platform/ado/connectionstatistics.h"
#include "platform/ado/runconnection.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace dialogtest;

namespace {

/// A condition row from "open|column|operator|value|close|logical|colIndex".
ConditionRow conditionRow(const QString &cells)
{
    const QStringList c = cells.split(u'|');
    ConditionRow row;
    row.open = c.value(0);
    row.column = c.value(1);
    row.op = c.value(2);
    row.value = c.value(3);
    row.close = c.value(4);
    row.logical = c.value(5);
    row.colIndex = c.value(6);
    return row;
}

/// The rows the engine itself counts for the test's own statement on `connection`'s database.
qint64 engineCount(const ado::Connection &connection, const QString &where)
{
    QSqlQuery query(connection.database());
    const QString sql = u"select count(*) from emp e"_s + (where.isEmpty() ? QString() : u" where "_s + where);
    if (!query.exec(sql) || !query.next()) {
        return -1;
    }
    return query.value(0).toLongLong();
}

} // namespace

void TestDialog::liveCountMatchesEngine_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("where"); // the same condition as the test writes it
    for (const bool postgres : {false, true}) {
        const char *engine = postgres ? "PostgreSQL" : "SQLite";
        QTest::addRow("%s: no condition", engine) << postgres << QStringList() << QString();
        QTest::addRow("%s: a text equal", engine)
            << postgres << QStringList{u"|name|= |Smith|||2"_s} << u"e.name = 'Smith'"_s;
        QTest::addRow("%s: a number above", engine)
            << postgres << QStringList{u"|id|> |2|||1"_s} << u"e.id > 2"_s;
        QTest::addRow("%s: a text that includes, or a number", engine)
            << postgres << QStringList{u"|name|include |o|| Or |2"_s, u"|id|= |5|||1"_s}
            << u"e.name like '%o%' or e.id = 5"_s;
        QTest::addRow("%s: brackets and And", engine)
            << postgres << QStringList{u"(|id|< |4|| Or |1"_s, u"|name|= |Adams|)| And |2"_s, u"|id|<> |3|||1"_s}
            << u"(e.id < 4 or e.name = 'Adams') and e.id <> 3"_s;
        QTest::addRow("%s: nothing matches", engine)
            << postgres << QStringList{u"|name|= |Nobody|||2"_s} << u"e.name = 'Nobody'"_s;
    }
}

void TestDialog::liveCountMatchesEngine()
{
    QFETCH(bool, postgres);
    QFETCH(QStringList, rows);
    QFETCH(QString, where);
    std::shared_ptr<ado::Connection> host = m_run.connection;
    if (postgres) {
        const auto server = test::pgServer();
        if (!server) {
            if (test::pgRequired()) {
                QFAIL("the PostgreSQL test server is required");
            }
            QSKIP("no PostgreSQL test server");
        }
        server->createDatabase(u"condora_livecount"_s);
        server->exec(u"condora_livecount"_s,
                     {u"create table emp (id integer, name varchar(40), notes text, hired date, active boolean, "
                      u"photo bytea)"_s,
                      u"insert into emp values (1, 'Smith', 'note a', '2001-01-05', true, null), "
                      u"(2, 'Jones', 'note a', '2003-06-01', false, null), (3, 'Brown', 'note b', '2001-01-05', true, "
                      u"null), (4, 'Smith', 'note c', '2005-02-03', false, null), (5, 'Adams', 'note a', "
                      u"'2007-07-07', true, null)"_s});
        host = server->open(u"condora_livecount"_s);
    }
    // The run's own connection, as the control gives it: counts go to its worker thread.
    m_run.connection = ado::runConnection(host, m_run.baseSql);
    QVERIFY(ado::runsOnWorker(*m_run.connection));
    m_run.liveCount = true;
    ConditionRows condition;
    for (const QString &cells : rows) {
        condition.append(conditionRow(cells));
    }
    m_dialog = std::make_unique<frmCondora>(m_run);
    auto *live = m_dialog->findChild<LiveCount *>(u"liveCount"_s);
    QVERIFY(live);
    QSignalSpy counted(live, &LiveCount::counted);
    m_dialog->setConditionRows(condition);
    m_dialog->show();
    QVERIFY(counted.wait(5000));

    const qint64 expected = engineCount(*host, where);
    QVERIFY(expected >= 0);
    QCOMPARE(counted.last().at(1).toLongLong(), expected);
    auto *label = find<QLabel>(m_dialog.get(), "lblLiveCount");
    QVERIFY(label->isVisible());
    const QString whole = expected == 1 ? u"1 row"_s : u"%1 rows"_s.arg(expected);
    QCOMPARE(label->text(), whole);
    QCOMPARE(label->toolTip(), whole);
    // A narrower room cuts the count with "..." and keeps it whole in the tool tip.
    label->resize(QFontMetrics(label->font()).horizontalAdvance(whole) / 2, label->height());
    live->refit();
    QVERIFY2(label->text().endsWith(QChar(0x2026)) && label->text() != whole, qPrintable(label->text()));
    QCOMPARE(label->toolTip(), whole);
    // The count sits under the grid, clear of every button.
    for (QWidget *button : m_dialog->findChildren<QPushButton *>()) {
        QVERIFY2(!button->isVisible() || !button->geometry().intersects(label->geometry()),
                 qPrintable(button->objectName()));
    }
    m_dialog.reset();
    m_run.connection.reset();
}

void TestDialog::liveCountStopsAndStaysOff()
{
    const std::shared_ptr<ado::Connection> host = m_run.connection;
    m_run.connection = ado::runConnection(host, m_run.baseSql);

    // Off (the default): nothing to show and nothing run while the condition changes.
    const int before = ado::statementCount(*host);
    openDialog();
    QVERIFY(!m_dialog->findChild<LiveCount *>());
    QVERIFY(!m_dialog->findChild<QLabel *>(u"lblLiveCount"_s));
    enterRow(1, u"name"_s, u"= "_s, u"Smith"_s);
    QTest::qWait(LiveCount::DelayMs * 3);
    QCOMPARE(ado::statementCount(*host), before);
    m_dialog.reset();

    // On: typing a value changes the statement at every key; only the last one is counted
    // (the counts before it were never started or were stopped), and its answer is shown.
    m_run.liveCount = true;
    openDialog();
    auto *live = m_dialog->findChild<LiveCount *>();
    QSignalSpy counted(live, &LiveCount::counted);
    enterRow(1, u"name"_s, u"= "_s, u"Smit"_s);
    auto *value = find<QLineEdit>(m_dialog.get(), "txtValue");
    value->setText(u"Jone"_s);
    value->setText(u"Jones"_s);
    const auto lastCounted = [&counted] { return counted.isEmpty() ? QString() : counted.last().at(0).toString(); };
    QTRY_VERIFY_WITH_TIMEOUT(lastCounted().endsWith(u"e.name = 'Jones'"_s), 5000);
    QTest::qWait(LiveCount::DelayMs * 2);
    for (const QList<QVariant> &arrived : counted) {
        const QString statement = arrived.at(0).toString();
        QVERIFY2(!statement.endsWith(u"'Smit'"_s) && !statement.endsWith(u"'Jone'"_s), qPrintable(statement));
    }
    QVERIFY(lastCounted().endsWith(u"e.name = 'Jones'"_s));
    QCOMPARE(counted.last().at(1).toLongLong(), 1);
    QCOMPARE(find<QLabel>(m_dialog.get(), "lblLiveCount")->text(), u"1 row"_s);
    const qsizetype countsBefore = counted.size();

    // A condition Verify would refuse (an open bracket never closed) is not counted, and hides the count.
    clickCell(grid(), 1, 0);
    QVERIFY(pickItem(find<QComboBox>(m_dialog.get(), "comItem"), u"("_s));
    QTRY_VERIFY(!find<QLabel>(m_dialog.get(), "lblLiveCount")->isVisible());
    QTest::qWait(LiveCount::DelayMs * 2);
    QCOMPARE(counted.size(), countsBefore);
    m_dialog.reset();

    // On the host's own connection nothing is counted live: it would hold the GUI thread.
    m_run.connection = host;
    openDialog();
    const int onHost = ado::statementCount(*host);
    enterRow(1, u"name"_s, u"= "_s, u"Smith"_s);
    QTest::qWait(LiveCount::DelayMs * 3);
    QCOMPARE(ado::statementCount(*host), onHost);
    QVERIFY(!find<QLabel>(m_dialog.get(), "lblLiveCount")->isVisible());
}
