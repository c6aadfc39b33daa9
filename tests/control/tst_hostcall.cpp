// What a host sees of a query run from outside: Condora::getQuerySql (no control on a window)
// and the queryFinished signal, with the real query dialog on a temporary SQLite file.

#include "dialogdriver.h"
#include "support/testdatabases.h"
#include "support/testmain.h"

#include "analysis/hostfilters.h"
#include "condition/conditionjson.h"
#include "control/condora.h"
#include "control/openconnection.h"
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
    void staticParametersAndRows_data();
    void staticParametersAndRows();
    void errorsAsValues_data();
    void errorsAsValues();
    void openConnectionWithoutExceptions_data();
    void openConnectionWithoutExceptions();

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

void TestHostCall::staticParametersAndRows_data()
{
    getQuerySql_data();
}

void TestHostCall::staticParametersAndRows()
{
    QFETCH(bool, cancel);
    const auto connection = m_db->open();
    const QSqlDatabase database = connection->database();

    answerDialog(cancel);
    bool ok = cancel;
    QSqlError error;
    const QVariantMap parameters = Condora::getQueryParameters(m_window.get(), database, Input, &ok, &error);
    QCOMPARE(ok, !cancel);
    QVERIFY(!error.isValid());
    QCOMPARE(parameters.value(u"values"_s).toList(), cancel ? QVariantList() : QVariantList{u"Smith"_s});

    answerDialog(cancel);
    const QString rows = Condora::getConditionRows(m_window.get(), database, Input, QString(), &ok, &error);
    QCOMPARE(ok, !cancel);
    QCOMPARE(condora::isConditionJson(rows), !cancel);
    if (cancel) {
        return;
    }
    // Handed back, the rows open the next dialog, and OK alone gives the same statement.
    whenModal(m_scope.get(), u"frmCondora"_s,
              [](QWidget *dialog) { QTest::mouseClick(find<QPushButton>(dialog, "cmdOK"), Qt::LeftButton); });
    Condora control(m_window.get());
    control.setConnObj(connection);
    control.setSqlInput(Input);
    QVERIFY(control.SetConditionRows(rows));
    QCOMPARE(control.GetQuerySql(), Confirmed);
}

namespace {

enum class Call { GetQuerySql, GetQueryParameters, GetQueryResult, GetQueryModel, Open, StaticSql, StaticParameters, StaticRows };

} // namespace

void TestHostCall::errorsAsValues_data()
{
    QTest::addColumn<int>("call");
    QTest::newRow("GetQuerySql(bool *)") << int(Call::GetQuerySql);
    QTest::newRow("GetQueryParameters(bool *)") << int(Call::GetQueryParameters);
    QTest::newRow("GetQueryResult (reported and kept)") << int(Call::GetQueryResult);
    QTest::newRow("GetQueryModel") << int(Call::GetQueryModel);
    QTest::newRow("open") << int(Call::Open);
    QTest::newRow("static getQuerySql with an error") << int(Call::StaticSql);
    QTest::newRow("static getQueryParameters") << int(Call::StaticParameters);
    QTest::newRow("static getConditionRows") << int(Call::StaticRows);
}

void TestHostCall::errorsAsValues()
{
    QFETCH(int, call);
    // A run that fails where the dialog would open.
    condora::setQueryDialogFunction([](const condora::QueryRun &) -> QString {
        throw condora::RuntimeError::database(u"the database went away"_s);
    });
    const auto connection = m_db->open();
    Condora control(m_window.get());
    control.setConnObj(connection);
    control.setSqlInput(Input);
    QSignalSpy closed(&control, &Condora::queryClosed);
    QSqlError error;
    bool ok = true;
    bool empty = false;
    try {
        switch (Call(call)) {
        case Call::GetQuerySql:
            empty = control.GetQuerySql(&ok).isEmpty();
            error = control.lastError();
            break;
        case Call::GetQueryParameters:
            empty = control.GetQueryParameters(&ok).isEmpty();
            error = control.lastError();
            break;
        case Call::GetQueryResult:
            empty = control.GetQueryResult() == nullptr;
            ok = !empty;
            error = control.lastError();
            // Reported as ever, too.
            QCOMPARE(m_ui->texts().size(), 1);
            break;
        case Call::GetQueryModel: {
            const std::unique_ptr<condora::QueryModel> model(control.GetQueryModel());
            empty = model->rowCount() == 0 && model->columnCount() == 0;
            ok = !empty;
            error = model->lastError();
            QCOMPARE(control.lastError().databaseText(), error.databaseText());
            break;
        }
        case Call::Open:
            control.open();
            QCOMPARE(closed.count(), 1);
            empty = closed.at(0).at(0).toString().isEmpty();
            ok = !empty;
            error = control.lastError();
            break;
        case Call::StaticSql:
            empty = Condora::getQuerySql(m_window.get(), connection->database(), Input, &ok, &error).isEmpty();
            break;
        case Call::StaticParameters:
            empty = Condora::getQueryParameters(m_window.get(), connection->database(), Input, &ok, &error).isEmpty();
            break;
        case Call::StaticRows:
            empty = Condora::getConditionRows(m_window.get(), connection->database(), Input, QString(), &ok, &error)
                        .isEmpty();
            break;
        }
    } catch (...) {
        QFAIL("the call threw");
    }
    QVERIFY(empty);
    QVERIFY(!ok);
    QCOMPARE(error.databaseText(), u"the database went away"_s);
    QCOMPARE(error.nativeErrorCode(), QString::number(condora::ErrorNumber::Database));
    QCOMPARE(error.type(), QSqlError::StatementError);
}

void TestHostCall::openConnectionWithoutExceptions_data()
{
    QTest::addColumn<QString>("connectionString");
    QTest::addColumn<int>("number");
    QTest::newRow("an existing SQLite file opens") << QString() << 0;
    QTest::newRow("a missing SQLite file is the database's refusal")
        << u"Provider=SQLite;Data Source=/nonexistent/condora.db"_s << condora::ErrorNumber::Database;
    QTest::newRow("an unknown provider is an invalid argument")
        << u"Provider=Nothing;Data Source=x"_s << condora::ErrorNumber::InvalidArgument;
}

void TestHostCall::openConnectionWithoutExceptions()
{
    QFETCH(QString, connectionString);
    QFETCH(int, number);
    if (connectionString.isEmpty()) {
        connectionString = u"Provider=SQLite;Data Source="_s + m_db->path();
    }
    QSqlError error(u"left from before"_s, QString(), QSqlError::UnknownError);
    const std::shared_ptr<condora::ado::Connection> connection = condora::openConnection(connectionString, &error);
    QCOMPARE(connection != nullptr, number == 0);
    QCOMPARE(error.isValid(), number != 0);
    if (number != 0) {
        QCOMPARE(error.nativeErrorCode(), QString::number(number));
        QVERIFY(!error.databaseText().isEmpty());
    } else {
        QVERIFY(connection->isOpen());
    }
}

CONDORA_TEST_MAIN(TestHostCall)

#include "tst_hostcall.moc"
