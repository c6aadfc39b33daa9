// A whole query run through the control, with the real dialog.

#include "tst_dialog.h"
#include "platform/ado/connectionstatistics.h"

#include "dialogdriver.h"

#include "analysis/queryrun.h"
#include "control/condora.h"
#include "control/querydialoghook.h"
#include "platform/ado/activityscope.h"
#include "platform/ado/recordset.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

#include <sqlite3.h>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace dialogtest;

namespace {

const QString Input = u"select e.id, e.name, e.hired from emp e order by e.id"_s;

/// The user's part of a run: a condition on name, then OK (or Cancel).
struct User
{
    bool sawDialog = false;
    bool entered = false;
    QString column = u"name"_s;
    QString op = u"= "_s;
    QString value = u"Smith"_s;
    bool cancel = false;

    void act(QObject *scope)
    {
        whenModal(scope, u"frmCondora"_s, [this](QWidget *dialog) {
            sawDialog = true;
            entered = enterRow(dialog, 1, column, op, value);
            QTest::mouseClick(find<QPushButton>(dialog, cancel ? "cmdCancel" : "cmdOK"), Qt::LeftButton);
        });
    }
};

std::unique_ptr<Condora> makeControl(const std::shared_ptr<ado::Connection> &connection)
{
    auto control = std::make_unique<Condora>();
    control->setConnObj(connection);
    control->setSqlInput(Input);
    return control;
}

} // namespace

void TestDialog::queryRunReturnsStatement()
{
    // Without a stand-in the query run shows the real dialog.
    QVERIFY(!queryDialogFunction());

    const auto connection = m_run.connection;
    const auto control = makeControl(connection);
    User user;
    user.act(m_scope.get());
    const QString sql = control->GetQuerySql();
    QVERIFY(user.sawDialog);
    QVERIFY(user.entered);
    QCOMPARE(sql, u"select e.id, e.name, e.hired from emp e where  e.name = 'Smith' order by e.id"_s);
    QVERIFY(m_ui->texts().isEmpty());
}

void TestDialog::queryRunReturnsRows()
{
    const auto connection = m_run.connection;
    const auto control = makeControl(connection);
    User user;
    user.column = u"hired"_s;
    user.op = u"> "_s;
    user.value = u"2002-01-01"_s;
    user.act(m_scope.get());
    const std::unique_ptr<ado::Recordset> result = control->GetQueryResult(0);
    QVERIFY(user.entered);
    QVERIFY(result);
    QStringList rows;
    while (!result->Eof()) {
        rows.append(result->Fields().Item(0).Value().toString() + u' ' + result->Fields().Item(1).Value().toString());
        result->MoveNext();
    }
    QCOMPARE(rows, (QStringList{u"2 Jones"_s, u"4 Smith"_s, u"5 Adams"_s}));
    QCOMPARE(result->Source(), u"select e.id, e.name, e.hired from emp e where  date(e.hired) > date('2002-01-01') order by e.id"_s);
    QVERIFY(m_ui->texts().isEmpty());
}

void TestDialog::queryRunCancelled()
{
    const auto connection = m_run.connection;
    const auto control = makeControl(connection);
    control->SetFilterCondition({QString(), QString(), u"name<>'Smith'"_s});

    User user;
    user.cancel = true;
    user.act(m_scope.get());
    QCOMPARE(control->GetQuerySql(), QString());
    QVERIFY(user.sawDialog);

    User again;
    again.cancel = true;
    again.act(m_scope.get());
    const int before = condora::ado::statementCount(*connection);
    const std::unique_ptr<ado::Recordset> result = control->GetQueryResult(0);
    QVERIFY(again.sawDialog);
    QVERIFY(!result);
    QVERIFY(m_ui->texts().isEmpty());
    // The run probed its statement but executed nothing after the dialog.
    QVERIFY(condora::ado::statementCount(*connection) > before);
}

void TestDialog::analysisSendsEachProbeOnce()
{
    // Every statement the SQLite engine is handed, as written.
    struct Trace
    {
        QStringList statements;
        static int record(unsigned, void *context, void *statement, void *)
        {
            if (const char *text = sqlite3_sql(static_cast<sqlite3_stmt *>(statement))) {
                static_cast<Trace *>(context)->statements.append(QString::fromUtf8(text));
            }
            return 0;
        }
    };
    const auto connection = m_run.connection;
    sqlite3 *native = ado::sqliteHandleOf(*connection);
    QVERIFY(native != nullptr);
    Trace trace;
    sqlite3_trace_v2(native, SQLITE_TRACE_STMT, &Trace::record, &trace);
    const auto untrace = qScopeGuard([native] { sqlite3_trace_v2(native, 0, nullptr, nullptr); });
    const auto control = makeControl(connection);

    QList<QStringList> beforeDialog;
    for (int run = 0; run < 2; ++run) {
        control->SetFilterCondition({QString(), QString(), u"name<>'Smith'"_s});
        trace.statements.clear();
        whenModal(m_scope.get(), u"frmCondora"_s, [&](QWidget *dialog) {
            beforeDialog.append(trace.statements.filter(
                QRegularExpression(u"^\\s*select"_s, QRegularExpression::CaseInsensitiveOption)));
            QTest::mouseClick(find<QPushButton>(dialog, "cmdCancel"), Qt::LeftButton);
        });
        QCOMPARE(control->GetQuerySql(), QString());
    }
    QCOMPARE(beforeDialog.size(), 2);
    for (const QStringList &sent : beforeDialog) {
        QVERIFY(!sent.isEmpty());
        QStringList distinct = sent;
        distinct.removeDuplicates();
        QVERIFY2(distinct.size() == sent.size(), qPrintable(sent.join(u" | "_s)));
    }
    // Kept for one run only: the next run asks the database again.
    QCOMPARE(beforeDialog.at(1), beforeDialog.at(0));
}

void TestDialog::secondRunLeavesFirstRunAlone()
{
    // A host timer starts a run on a second control while the first run's dialog is open; the
    // user cancels that second dialog, then confirms the first. Each run keeps its own statement.
    m_db->exec({u"CREATE TABLE \"Weird Table\" (n INTEGER)"_s, u"INSERT INTO \"Weird Table\" VALUES (3)"_s});
    const auto connection = m_run.connection;
    const auto first = makeControl(connection);
    Condora second;
    second.setConnObj(connection);
    second.setSqlInput(u"select w.n from \"Weird Table\" w"_s);

    bool entered = false;
    bool innerSeen = false;
    QString secondSql = u"not run"_s;
    whenModal(m_scope.get(), u"frmCondora"_s, [&](QWidget *firstDialog) {
        entered = dialogtest::enterRow(firstDialog, 1, u"name"_s, u"= "_s, u"Smith"_s);
        QTimer::singleShot(0, firstDialog, [&, firstDialog] {
            // The second run's dialog: a modal query dialog that is not the first one.
            auto *poll = new QTimer(m_scope.get());
            poll->setInterval(0);
            connect(poll, &QTimer::timeout, poll, [&, poll, firstDialog] {
                QWidget *modal = QApplication::activeModalWidget();
                if (modal != nullptr && modal != firstDialog && modal->objectName() == u"frmCondora"_s) {
                    poll->deleteLater();
                    poll->stop();
                    innerSeen = dialogtest::enterRow(modal, 1, u"n"_s, u"= "_s, u"3"_s);
                    QTest::mouseClick(find<QPushButton>(modal, "cmdCancel"), Qt::LeftButton);
                }
            });
            poll->start();
            secondSql = second.GetQuerySql();
            QTest::mouseClick(find<QPushButton>(firstDialog, "cmdOK"), Qt::LeftButton);
        });
    });

    const QString sql = first->GetQuerySql();
    QVERIFY(entered);
    QVERIFY(innerSeen);
    QCOMPARE(secondSql, QString());
    QCOMPARE(sql, u"select e.id, e.name, e.hired from emp e where  e.name = 'Smith' order by e.id"_s);
    QVERIFY(m_ui->texts().isEmpty());
}

void TestDialog::queryRunOffersShowSql_data()
{
    QTest::addColumn<bool>("showSql");
    QTest::newRow("default: no switch") << false;
    QTest::newRow("ShowSql: switch shows the statement") << true;
}

void TestDialog::queryRunOffersShowSql()
{
    QFETCH(bool, showSql);
    const auto control = makeControl(m_run.connection);
    control->setShowSql(showSql);
    bool switchShown = !showSql;
    QString previewText;
    whenModal(m_scope.get(), u"frmCondora"_s, [&](QWidget *dialog) {
        auto *label = find<QLabel>(dialog, "Label2");
        switchShown = find<QCheckBox>(dialog, "chkSqlShow")->isVisible() && label->isVisible();
        if (switchShown) {
            QTest::mouseClick(label, Qt::LeftButton);
            dialogtest::enterRow(dialog, 1, u"name"_s, u"= "_s, u"Smith"_s);
            auto *preview = find<QPlainTextEdit>(dialog, "txtCondition");
            previewText = preview->isVisible() ? preview->toPlainText() : QString();
        }
        QTest::mouseClick(find<QPushButton>(dialog, "cmdCancel"), Qt::LeftButton);
    });
    QCOMPARE(control->GetQuerySql(), QString());
    QCOMPARE(switchShown, showSql);
    QCOMPARE(previewText, showSql ? u" e.name = 'Smith'"_s : QString());
}
