// What a host sees of a query run from outside: Condora::getQuerySql (no control on a window)
// and the queryFinished signal, with the real query dialog on a temporary SQLite file.

#include "dialogdriver.h"
#include "support/testdatabases.h"
#include "support/testmain.h"

#include "analysis/hostfilters.h"
#include "control/condora.h"
#include "platform/ado/recordset.h"
#include "platform/userinteraction.h"

#include <Condora/condora_version.h>

#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace dialogtest;

namespace {

const QString Input = u"select e.id, e.name from emp e order by e.id"_s;
const QString Confirmed = u"select e.id, e.name from emp e where  e.name = 'Smith' order by e.id"_s;

} // namespace

class TestHostCall : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void getQuerySql_data();
    void getQuerySql();
    void getQuerySqlEndedBeforeDialog();
    void queryFinishedAfterEveryRun_data();
    void queryFinishedAfterEveryRun();
    void queryFinishedBeforeResultRuns();
    void versionMacros();

private:
    /// Answers the next query dialog: a condition on name, then OK or Cancel.
    void answerDialog(bool cancel);

    std::unique_ptr<condora::test::SqliteFile> m_db;
    std::unique_ptr<condora::RecordingUserInteraction> m_ui;
    std::unique_ptr<QObject> m_scope;
    std::unique_ptr<QWidget> m_window;
    bool m_sawDialog = false;
    /// Condora controls visible on the host window while the dialog was open.
    int m_visibleControls = 0;
};

void TestHostCall::init()
{
    condora::hostFilterList().clear();
    m_db = std::make_unique<condora::test::SqliteFile>(QStringList{
        u"CREATE TABLE emp (id INTEGER, name VARCHAR(40))"_s,
        u"INSERT INTO emp VALUES (1, 'Smith')"_s,
        u"INSERT INTO emp VALUES (2, 'Jones')"_s,
    });
    m_ui = std::make_unique<condora::RecordingUserInteraction>();
    m_scope = std::make_unique<QObject>();
    auto *watchdog = new QTimer(m_scope.get());
    connect(watchdog, &QTimer::timeout, watchdog, [] {
        qWarning("watchdog: closing dialogs left open");
        closeAllDialogs();
    });
    watchdog->start(20000);
    m_window = std::make_unique<QWidget>();
    m_window->show();
    m_sawDialog = false;
    m_visibleControls = 0;
}

void TestHostCall::cleanup()
{
    m_scope.reset();
    closeAllDialogs();
    m_window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_ui.reset();
    m_db.reset();
    condora::hostFilterList().clear();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestHostCall::answerDialog(bool cancel)
{
    whenModal(m_scope.get(), u"frmCondora"_s, [this, cancel](QWidget *dialog) {
        m_sawDialog = true;
        for (const Condora *control : m_window->findChildren<Condora *>()) {
            m_visibleControls += control->isVisible() ? 1 : 0;
        }
        if (!enterRow(dialog, 1, u"name"_s, u"= "_s, u"Smith"_s)) {
            qWarning("the dialog did not offer the name condition");
        }
        QTest::mouseClick(find<QPushButton>(dialog, cancel ? "cmdCancel" : "cmdOK"), Qt::LeftButton);
    });
}

void TestHostCall::getQuerySql_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("expected");
    QTest::newRow("OK returns the statement with the condition") << false << Confirmed;
    QTest::newRow("Cancel returns the empty text") << true << QString();
}

void TestHostCall::getQuerySql()
{
    QFETCH(bool, cancel);
    QFETCH(QString, expected);
    const auto connection = m_db->open();
    const QSqlDatabase database = connection->database();
    condora::UserInteraction::setDefaultCaption(u"Host caption"_s);

    answerDialog(cancel);
    bool ok = cancel;
    const QString sql = Condora::getQuerySql(m_window.get(), database, Input, &ok);
    QVERIFY(m_sawDialog);
    QCOMPARE(sql, expected);
    QCOMPARE(ok, !cancel);
    // Nothing on the host window: no icon during the run, no control after it.
    QCOMPARE(m_visibleControls, 0);
    QVERIFY(m_window->findChildren<Condora *>().isEmpty());
    // The host's database stays open and the host's caption stays as it was.
    QVERIFY(database.isOpen());
    QCOMPARE(condora::UserInteraction::defaultCaption(), u"Host caption"_s);
    QVERIFY(m_ui->texts().isEmpty());
    condora::UserInteraction::setDefaultCaption(QString());

    // Without `ok`.
    answerDialog(cancel);
    QCOMPARE(Condora::getQuerySql(nullptr, database, Input), expected);
}

void TestHostCall::getQuerySqlEndedBeforeDialog()
{
    const auto connection = m_db->open();
    bool ok = true;
    QCOMPARE(Condora::getQuerySql(m_window.get(), connection->database(), u"  "_s, &ok), QString());
    QVERIFY(!ok);
    QCOMPARE(m_ui->texts(), QStringList{u"Please input SQL!"_s});
}

void TestHostCall::queryFinishedAfterEveryRun_data()
{
    getQuerySql_data();
}

void TestHostCall::queryFinishedAfterEveryRun()
{
    QFETCH(bool, cancel);
    QFETCH(QString, expected);
    Condora control(m_window.get());
    control.setConnObj(m_db->open());
    control.setSqlInput(Input);
    QSignalSpy finished(&control, &Condora::queryFinished);

    answerDialog(cancel);
    QCOMPARE(control.GetQuerySql(), expected);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toString(), expected);

    // A run that ends before the dialog has an outcome as well.
    control.setSqlInput(QString());
    QCOMPARE(control.GetQuerySql(), QString());
    QCOMPARE(finished.count(), 2);
    QCOMPARE(finished.at(1).at(0).toString(), QString());
}

void TestHostCall::queryFinishedBeforeResultRuns()
{
    Condora control(m_window.get());
    const auto connection = m_db->open();
    control.setConnObj(connection);
    control.setSqlInput(Input);
    int statementsAtSignal = -1;
    QString signalled;
    connect(&control, &Condora::queryFinished, &control, [&](const QString &sql) {
        signalled = sql;
        statementsAtSignal = connection->statementCount();
    });

    answerDialog(false);
    const std::unique_ptr<condora::ado::Recordset> rows = control.GetQueryResult(0);
    QVERIFY(rows);
    QCOMPARE(signalled, Confirmed);
    QCOMPARE(rows->Source(), Confirmed);
    // The statement ran after the signal.
    QVERIFY(connection->statementCount() > statementsAtSignal);
}

void TestHostCall::versionMacros()
{
    QCOMPARE(QByteArrayView(CONDORA_VERSION_STRING), QByteArrayView(CONDORA_PROJECT_VERSION));
    QCOMPARE(CONDORA_VERSION,
             (CONDORA_VERSION_MAJOR << 16) | (CONDORA_VERSION_MINOR << 8) | CONDORA_VERSION_PATCH);
    QVERIFY(CONDORA_VERSION >= CONDORA_VERSION_CHECK(3, 0, 0));
    QVERIFY(CONDORA_VERSION < CONDORA_VERSION_CHECK(4, 0, 0));
}

CONDORA_TEST_MAIN(TestHostCall)

#include "tst_hostcall.moc"
