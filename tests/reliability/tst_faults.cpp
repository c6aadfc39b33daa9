// Faults during a query run through the public control and the real dialog: the connection
// closed, the PostgreSQL server process behind it ended, or the SQLite file removed, between
// the analysis and OK, between OK and the result, and while the value picker loads. Each fault
// must give one clear message, the dialog must stay usable or close cleanly, no window may be
// left open, and the control must write nothing: it only ever sends SELECT statements.

#include "queryrunner.h"
#include "reliabilitysupport.h"

#include "../dialog/dialogdriver.h"

#include "platform/dialogstyle.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/runtimeerror.h"
#include "support/testmain.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace reliability;

Q_DECLARE_METATYPE(reliability::Engine)

namespace {

enum class Fault { Close, EndServerProcess, RemoveFile };
enum class When { BeforeOk, BetweenOkAndResult, WhilePickerLoads };

const QString Crlf = u"\r\n"_s;
const QString Base = u"select r.RemarkID, r.Title, r.Body, r.Amount, r.Written from Remarks r order by r.RemarkID"_s;
const QString Final = u"select r.RemarkID, r.Title, r.Body, r.Amount, r.Written from Remarks r where  "
                      "r.Title = 'O''Brien' order by r.RemarkID"_s;
const QString NotOpen = u"Object variable not set: the connection is not open"_s;
const QString Ended = u"server closed the connection unexpectedly This probably means the server terminated "
                       "abnormally before or while processing the request."_s;

QString report(const QString &description, int number)
{
    return u"Error message:"_s + Crlf + u" "_s + description + Crlf + u"Error number:"_s + QString::number(number);
}

QString wrongCondition(const QString &description)
{
    return description + Crlf + u"Wrong query condition!"_s;
}

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(When)

class TestFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void faults_data();
    void faults();
    void traceOutlivesConnection_data();
    void traceOutlivesConnection();

private:
    std::unique_ptr<SampleDatabase> m_postgres;
    QMap<QString, int> m_pgCounts;
    std::unique_ptr<RecordingUi> m_ui;
    std::unique_ptr<QObject> m_scope;
};

void TestFaults::initTestCase()
{
    QApplication::setEffectEnabled(Qt::UI_AnimateTooltip, false);
    m_postgres = SampleDatabase::create(Engine::Postgres, u"condora_faults"_s);
    if (m_postgres) {
        m_pgCounts = m_postgres->tableCounts();
    }
}

void TestFaults::cleanupTestCase()
{
    m_postgres.reset();
}

void TestFaults::init()
{
    beginTestRun(m_ui, m_scope);
}

void TestFaults::cleanup()
{
    const QStringList open = endTestRun(m_ui, m_scope);
    QVERIFY2(open.isEmpty(), qPrintable(open.join(u", "_s)));
}

void TestFaults::faults_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<When>("when");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("closedByOk");
    QTest::addColumn<QStringList>("rows");        // of the recordset; empty: none came back
    QTest::addColumn<QStringList>("pickerValues"); // what the picker listed

    const QStringList all = [] {
        QStringList values = hostileValues();
        values.sort();
        return values;
    }();
    const QStringList none;
    const QStringList obrien{u"1"_s};

    const auto row = [](const char *engine, const char *fault, const char *when) -> QTestData & {
        return QTest::addRow("%s: %s %s", engine, fault, when);
    };
    for (const Engine engine : {Engine::Sqlite, Engine::Postgres}) {
        const QByteArray name = engineName(engine).toLatin1();
        row(name, "connection closed", "before OK")
            << engine << Fault::Close << When::BeforeOk << QStringList{wrongCondition(NotOpen)} << false << none
            << none;
        row(name, "connection closed", "between OK and the result")
            << engine << Fault::Close << When::BetweenOkAndResult
            << QStringList{report(NotOpen, ErrorNumber::ObjectNotSet)} << true << none << none;
        row(name, "connection closed", "while the picker loads")
            << engine << Fault::Close << When::WhilePickerLoads
            << QStringList{report(NotOpen, ErrorNumber::ObjectNotSet)} << false << none << none;
    }
    row("PostgreSQL", "server process ended", "before OK")
        << Engine::Postgres << Fault::EndServerProcess << When::BeforeOk << QStringList{wrongCondition(Ended)}
        << false << none << none;
    row("PostgreSQL", "server process ended", "between OK and the result")
        << Engine::Postgres << Fault::EndServerProcess << When::BetweenOkAndResult
        << QStringList{report(Ended, ErrorNumber::Database)} << true << none << none;
    row("PostgreSQL", "server process ended", "while the picker loads")
        << Engine::Postgres << Fault::EndServerProcess << When::WhilePickerLoads
        << QStringList{report(Ended, ErrorNumber::Database)} << false << none << none;
    // An open SQLite connection keeps reading a file that was removed: the run goes on unharmed.
    row("SQLite", "file removed", "before OK")
        << Engine::Sqlite << Fault::RemoveFile << When::BeforeOk << QStringList() << true << obrien << none;
    row("SQLite", "file removed", "between OK and the result")
        << Engine::Sqlite << Fault::RemoveFile << When::BetweenOkAndResult << QStringList() << true << obrien
        << none;
    row("SQLite", "file removed", "while the picker loads")
        << Engine::Sqlite << Fault::RemoveFile << When::WhilePickerLoads << QStringList() << true << obrien << all;
}

void TestFaults::faults()
{
    QFETCH(Engine, engine);
    QFETCH(Fault, fault);
    QFETCH(When, when);
    QFETCH(QStringList, messages);
    QFETCH(bool, closedByOk);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, pickerValues);

    // A database of its own for SQLite (the file may go), the shared one on the server.
    std::unique_ptr<SampleDatabase> sqlite;
    SampleDatabase *db = nullptr;
    if (engine == Engine::Sqlite) {
        sqlite = SampleDatabase::create(Engine::Sqlite, QString());
        db = sqlite.get();
    } else {
        CONDORA_NEED_PG(pg);
        Q_UNUSED(pg);
        db = m_postgres.get();
    }
    const QMap<QString, int> counts = engine == Engine::Sqlite ? db->tableCounts() : m_pgCounts;
    const std::shared_ptr<ado::Connection> connection = db->open();
    // The server process ended is the host connection's own: the run stays on it.
    connection->setSeparateRunConnection(fault != Fault::EndServerProcess);

    bool injected = false;
    const auto inject = [&] {
        if (injected) {
            return;
        }
        injected = true;
        switch (fault) {
        case Fault::Close:
            connection->Close();
            break;
        case Fault::EndServerProcess:
            QVERIFY(db->terminateBackend(*connection));
            break;
        case Fault::RemoveFile:
            QVERIFY(QFile::remove(db->path()));
            break;
        }
    };

    ControlRun run;
    run.connection = connection;
    run.sqlInput = Base;
    run.result = true;
    bool entered = false;
    bool usableAfterMessage = false;
    QStringList listed;
    bool pickerOpened = false;
    run.user = [&](QWidget *dialog) {
        auto *grid = dialogtest::find<FlexGrid>(dialog, "MFGQuery");
        entered = pickColumnAndOperator(dialog, 1, engine == Engine::Postgres ? u"title"_s : u"Title"_s, u"= "_s);
        if (when == When::WhilePickerLoads) {
            dialogtest::clickCell(grid, 1, 3);
            // The picker shows the hourglass just before it sends its SELECT.
            m_ui->setOnPointer([&](MousePointer pointer) {
                if (pointer == MousePointer::Hourglass) {
                    inject();
                }
            });
            dialogtest::whenModal(dialog, u"frmGetValue"_s, [&](QWidget *picker) {
                pickerOpened = true;
                auto *values = dialogtest::find<FlexGrid>(picker, "MSFlexGrid1");
                if (values->isBoundPending()) {
                    values->fetchAll();
                }
                for (int r = 1; r < values->Rows(); ++r) {
                    if (!values->TextMatrix(r, 0).isEmpty()) {
                        listed.append(values->TextMatrix(r, 0));
                    }
                }
                picker->close();
            });
            press(dialog, "cmdGetValue");
            m_ui->setOnPointer({});
            typeValue(dialog, 1, u"O'Brien"_s);
            if (m_ui->texts().isEmpty()) {
                press(dialog, "cmdOK");
            }
            if (dialog->isVisible()) {
                press(dialog, "cmdCancel");
            }
            return;
        }
        typeValue(dialog, 1, u"O'Brien"_s);
        if (when == When::BeforeOk) {
            inject();
        } else {
            QObject::connect(static_cast<QDialog *>(dialog), &QDialog::finished, dialog, inject);
        }
        press(dialog, "cmdOK");
        if (dialog->isVisible()) {
            // The dialog is still usable after the message: typing reaches the cell.
            typeText(dialogtest::find<QLineEdit>(dialog, "txtValue"), u"x"_s);
            usableAfterMessage = grid->TextMatrix(1, 3) == u"O'Brienx";
            press(dialog, "cmdCancel");
        }
    };

    const RunOutcome outcome = run.run(*m_ui);
    QVERIFY(entered);
    QVERIFY(injected);
    QVERIFY(sameTexts(outcome.messages, messages));
    QCOMPARE(outcome.dialogClosedByOk, closedByOk);
    QCOMPARE(outcome.gotRecordset, !rows.isEmpty());
    QCOMPARE(outcome.rowIds, rows);
    if (!rows.isEmpty()) {
        QCOMPARE(outcome.sql, Final);
    }
    if (when == When::BeforeOk && !closedByOk) {
        QVERIFY(usableAfterMessage);
    }
    if (when == When::WhilePickerLoads) {
        QVERIFY(pickerOpened);
        listed.sort();
        QVERIFY(sameTexts(listed, pickerValues));
    }
    QCOMPARE(m_ui->mousePointer(), MousePointer::Default);
    // The control only read: every statement it sent was a SELECT, and every table keeps its rows.
    QVERIFY(!outcome.statements.isEmpty());
    for (const QString &statement : outcome.statements) {
        QVERIFY2(statement.startsWith(u"select "_s, Qt::CaseInsensitive), qPrintable(statement));
    }
    QCOMPARE(db->tableCounts(), counts);
}

void TestFaults::traceOutlivesConnection_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<bool>("closeFirst");
    QTest::newRow("SQLite, stopped while open") << Engine::Sqlite << false;
    QTest::newRow("SQLite, connection closed first") << Engine::Sqlite << true;
    QTest::newRow("PostgreSQL, stopped while open") << Engine::Postgres << false;
    QTest::newRow("PostgreSQL, connection closed first") << Engine::Postgres << true;
}

// A connection closed while traced has freed its handle; stopping the trace afterwards must
// leave that handle alone (memory checkers report the read otherwise) and keep what was traced.
void TestFaults::traceOutlivesConnection()
{
    QFETCH(Engine, engine);
    QFETCH(bool, closeFirst);
    std::unique_ptr<SampleDatabase> sqlite;
    SampleDatabase *db = nullptr;
    if (engine == Engine::Sqlite) {
        sqlite = SampleDatabase::create(Engine::Sqlite, QString());
        db = sqlite.get();
    } else {
        CONDORA_NEED_PG(pg);
        Q_UNUSED(pg);
        db = m_postgres.get();
    }
    const std::shared_ptr<ado::Connection> connection = db->open();
    StatementTrace trace(*connection);
    QVERIFY(trace.isValid());
    connection->Execute(u"select 42"_s);
    if (closeFirst) {
        connection->Close();
    }
    trace.stop();
    QCOMPARE(trace.closedWhileTraced(), closeFirst);
    QVERIFY2(trace.statements().contains(u"select 42"_s), qPrintable(trace.statements().join(u" | "_s)));
    // The reopened connection runs untraced.
    connection->Open();
    connection->Execute(u"select 43"_s);
    QVERIFY(!trace.statements().contains(u"select 43"_s));
}

CONDORA_TEST_MAIN(TestFaults)

#include "tst_faults.moc"
