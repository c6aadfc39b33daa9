// What a host sees of a query run from outside: Condora::getQuerySql (no control on a window)
// and the queryFinished signal, with the real query dialog on a temporary SQLite file.

#include "dialogdriver.h"
#include "platform/ado/connectionstatistics.h"
#include "support/testdatabases.h"
#include "support/testmain.h"

#include "condition/conditionjson.h"
#include "control/condora.h"
#include "control/querydialoghook.h"
#include "analysis/queryrun.h"
#include "platform/ado/recordset.h"
#include "platform/runtimeerror.h"
#include "platform/userinteraction.h"

#include <Condora/condora_version.h>

#include <QDialog>
#include <QPushButton>
#include <QSqlError>
#include <QSignalSpy>
#include <QTimer>

#include <functional>

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
    void openIsWindowModal_data();
    void openIsWindowModal();
    void staticParametersAndRows();
    void errorsAsValues_data();
    void errorsAsValues();

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
    condora::setQueryDialogFunction({});
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
        statementsAtSignal = condora::ado::statementCount(*connection);
    });

    answerDialog(false);
    const std::unique_ptr<condora::ado::Recordset> rows = control.GetQueryResult(0);
    QVERIFY(rows);
    QCOMPARE(signalled, Confirmed);
    QCOMPARE(rows->Source(), Confirmed);
    // The statement ran after the signal.
    QVERIFY(condora::ado::statementCount(*connection) > statementsAtSignal);
}

void TestHostCall::versionMacros()
{
    QCOMPARE(QByteArrayView(CONDORA_VERSION_STRING), QByteArrayView(CONDORA_PROJECT_VERSION));
    QCOMPARE(CONDORA_VERSION,
             (CONDORA_VERSION_MAJOR << 16) | (CONDORA_VERSION_MINOR << 8) | CONDORA_VERSION_PATCH);
    QVERIFY(CONDORA_VERSION >= CONDORA_VERSION_CHECK(3, 0, 0));
    QVERIFY(CONDORA_VERSION < CONDORA_VERSION_CHECK(4, 0, 0));
}

void TestHostCall::openIsWindowModal_data()
{
    getQuerySql_data();
}

void TestHostCall::openIsWindowModal()
{
    QFETCH(bool, cancel);
    QFETCH(QString, expected);
    auto *control = new Condora(m_window.get());
    control->setConnObj(m_db->open());
    control->setSqlInput(Input);
    QSignalSpy closed(control, &Condora::queryClosed);
    QSignalSpy finished(control, &Condora::queryFinished);
    control->SetFilterCondition({QString(), QString(), u"name <> 'x'"_s});

    control->open();
    // Back at once, with the dialog open over the control's window only.
    QCOMPARE(closed.count(), 0);
    auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
    QVERIFY(dialog);
    QCOMPARE(dialog->objectName(), u"frmCondora"_s);
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    QVERIFY(dialog->isVisible());

    QVERIFY(enterRow(dialog, 1, u"name"_s, u"= "_s, u"Smith"_s));
    QTest::mouseClick(find<QPushButton>(dialog, cancel ? "cmdCancel" : "cmdOK"), Qt::LeftButton);
    QTRY_COMPARE(closed.count(), 1);
    QCOMPARE(closed.at(0).at(0).toString(), expected);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toString(), expected);
    const QVariantMap parameters = closed.at(0).at(1).toMap();
    const QString rows = closed.at(0).at(2).toString();
    if (cancel) {
        QVERIFY(parameters.isEmpty());
        QVERIFY(rows.isEmpty());
    } else {
        QCOMPARE(parameters.value(u"values"_s).toList(), QVariantList{u"Smith"_s});
        QCOMPARE(rows, control->GetConditionRows());
    }
    QVERIFY(!control->lastError().isValid());

    // The closed dialog consumed the host's filters: the next run has none.
    QStringList filtersSeen{u"unset"_s};
    condora::setQueryDialogFunction([&filtersSeen](const condora::QueryRun &run) {
        filtersSeen = run.filters;
        return QString();
    });
    control->GetQuerySql();
    condora::setQueryDialogFunction(nullptr);
    QCOMPARE(filtersSeen, QStringList{QString()});

    // The run is over: the next one starts (and ends before its dialog, at once).
    control->setSqlInput(QString());
    control->open();
    QCOMPARE(closed.count(), 2);
    QCOMPARE(m_ui->texts(), QStringList{u"Please input SQL!"_s});

    // A control deleted while its dialog is open takes the run with it, without a signal.
    control->setSqlInput(Input);
    control->open();
    QTRY_VERIFY(QApplication::activeModalWidget());
    delete control;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(closed.count(), 2);
}

void TestHostCall::staticParametersAndRows()
{
    const auto connection = m_db->open();
    answerDialog(false);
    bool ok = false;
    QSqlError error;
    const QVariantMap parameters = Condora::getQueryParameters(m_window.get(), connection->database(), Input, &ok, &error);
    QVERIFY(ok && !error.isValid());
    QCOMPARE(parameters.value(u"values"_s).toList(), QVariantList{u"Smith"_s});

    // The rows come back as a document that preloads the next run.
    answerDialog(false);
    const QString rows = Condora::getConditionRows(m_window.get(), connection->database(), Input, QString(), &ok);
    QVERIFY(ok && condora::isConditionJson(rows));
    whenModal(m_scope.get(), u"frmCondora"_s,
              [](QWidget *dialog) { QTest::mouseClick(find<QPushButton>(dialog, "cmdOK"), Qt::LeftButton); });
    QCOMPARE(Condora::getConditionRows(m_window.get(), connection->database(), Input, rows), rows);
}

void TestHostCall::errorsAsValues_data()
{
    // Each call of a run that fails, in its form without exceptions: the empty result and the error.
    using Call = std::function<QString(Condora &, const QSqlDatabase &, QSqlError &)>;
    QTest::addColumn<Call>("call");
    const auto joined = [](const QVariantMap &map) { return map.isEmpty() ? QString() : u"map"_s; };
    QTest::newRow("GetQuerySql(bool *)") << Call([](Condora &c, const QSqlDatabase &, QSqlError &error) {
        bool ok = true;
        const QString sql = c.GetQuerySql(&ok);
        error = c.lastError();
        return ok ? u"ok"_s : sql;
    });
    QTest::newRow("GetQueryParameters(bool *)") << Call([joined](Condora &c, const QSqlDatabase &, QSqlError &error) {
        const QString result = joined(c.GetQueryParameters(nullptr));
        error = c.lastError();
        return result;
    });
    QTest::newRow("GetQueryResult, reported as ever") << Call([](Condora &c, const QSqlDatabase &, QSqlError &error) {
        const bool rows = c.GetQueryResult() != nullptr;
        error = c.lastError();
        return rows ? u"rows"_s : QString();
    });
    QTest::newRow("GetQueryModel") << Call([](Condora &c, const QSqlDatabase &, QSqlError &error) {
        const std::unique_ptr<condora::QueryModel> model(c.GetQueryModel());
        error = model->lastError();
        return model->columnCount() == 0 && c.lastError().text() == error.text() ? QString() : u"columns"_s;
    });
    QTest::newRow("open") << Call([](Condora &c, const QSqlDatabase &, QSqlError &error) {
        QSignalSpy closed(&c, &Condora::queryClosed);
        c.open();
        error = c.lastError();
        return closed.count() == 1 ? closed.at(0).at(0).toString() : u"no signal"_s;
    });
    QTest::newRow("static getQuerySql") << Call([](Condora &c, const QSqlDatabase &db, QSqlError &error) {
        return Condora::getQuerySql(c.window(), db, Input, nullptr, &error);
    });
    QTest::newRow("static getQueryParameters") << Call([joined](Condora &c, const QSqlDatabase &db, QSqlError &error) {
        return joined(Condora::getQueryParameters(c.window(), db, Input, nullptr, &error));
    });
    QTest::newRow("static getConditionRows") << Call([](Condora &c, const QSqlDatabase &db, QSqlError &error) {
        return Condora::getConditionRows(c.window(), db, Input, QString(), nullptr, &error);
    });
}

void TestHostCall::errorsAsValues()
{
    using Call = std::function<QString(Condora &, const QSqlDatabase &, QSqlError &)>;
    QFETCH(Call, call);
    // A run that fails where the dialog would open.
    condora::setQueryDialogFunction([](const condora::QueryRun &) -> QString {
        throw condora::RuntimeError::database(u"the database went away"_s);
    });
    const auto connection = m_db->open();
    Condora control(m_window.get());
    control.setConnObj(connection);
    control.setSqlInput(Input);
    QSqlError error;
    try {
        QCOMPARE(call(control, connection->database(), error), QString());
    } catch (...) {
        QFAIL("the call threw");
    }
    QCOMPARE(error.databaseText(), u"the database went away"_s);
    QCOMPARE(error.nativeErrorCode(), QString::number(condora::ErrorNumber::Database));
    QCOMPARE(error.type(), QSqlError::StatementError);
}

CONDORA_TEST_MAIN(TestHostCall)

#include "tst_hostcall.moc"
