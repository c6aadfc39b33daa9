// A whole query run through the control, with the real dialog.

#include "tst_dialog.h"

#include "dialogdriver.h"

#include "analysis/analysisstate.h"
#include "control/condora.h"
#include "control/querydialoghook.h"
#include "dialog/querydialogregistration.h"
#include "platform/ado/recordset.h"

#include <QPushButton>
#include <QtTest>

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
    // The library installs the real dialog for the query run by itself.
    QVERIFY(static_cast<bool>(queryDialogFunction()));
    installQueryDialog();

    const auto connection = analysisState().curConn;
    resetAnalysisState();
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
    installQueryDialog();
    const auto connection = analysisState().curConn;
    resetAnalysisState();
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
    QCOMPARE(result->Source(), u"select e.id, e.name, e.hired from emp e where  e.hired > '2002-01-01' order by e.id"_s);
    QVERIFY(m_ui->texts().isEmpty());
}

void TestDialog::queryRunCancelled()
{
    installQueryDialog();
    const auto connection = analysisState().curConn;
    resetAnalysisState();
    const auto control = makeControl(connection);
    control->SetFilterCondition({QString(), QString(), u"name<>'Smith'"_s});

    User user;
    user.cancel = true;
    user.act(m_scope.get());
    QCOMPARE(control->GetQuerySql(), QString());
    QVERIFY(user.sawDialog);
    QCOMPARE(analysisState().filterList, QStringList{QString()});

    User again;
    again.cancel = true;
    again.act(m_scope.get());
    const int before = connection->statementCount();
    const std::unique_ptr<ado::Recordset> result = control->GetQueryResult(0);
    QVERIFY(again.sawDialog);
    QVERIFY(!result);
    QVERIFY(m_ui->texts().isEmpty());
    // The run probed its statement but executed nothing after the dialog.
    QVERIFY(connection->statementCount() > before);
    QCOMPARE(analysisState().resultSql, QString());
}
