#include "queryrunner.h"

#include "../dialog/dialogdriver.h"

#include "analysis/queryrun.h"
#include "platform/dialogstyle.h"
#include "control/condora.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QDialog>
#include <QTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace reliability {

RunOutcome ControlRun::run(RecordingUi &ui) const
{
    RunOutcome outcome;
    // The dialog watch ends with the run, also when no dialog opened.
    QObject scope;
    const int messagesBefore = int(ui.texts().size());

    Condora own;
    Condora &control = this->control ? *this->control : own;
    control.setConnObj(connection);
    control.setTitle(u"Hostile"_s);
    control.setSqlInput(sqlInput);
    if (!filters.isEmpty()) {
        control.SetFilterCondition(filters);
    }

    dialogtest::whenModal(&scope, u"frmCondora"_s, [this, &outcome](QWidget *dialog) {
        outcome.sawDialog = true;
        QObject::connect(static_cast<QDialog *>(dialog), &QDialog::accepted, dialog,
                         [&outcome] { outcome.dialogClosedByOk = true; });
        if (user) {
            user(dialog);
        } else {
            press(dialog, "cmdCancel");
        }
    });

    StatementTrace trace(*connection);
    if (result) {
        const std::unique_ptr<condora::ado::Recordset> rs = control.GetQueryResult(0);
        outcome.gotRecordset = rs != nullptr;
        if (rs) {
            outcome.sql = rs->Source();
            while (!rs->Eof()) {
                outcome.rowIds.append(rs->Fields().Item(0).Value().toString());
                rs->MoveNext();
            }
        }
    } else {
        outcome.sql = control.GetQuerySql();
    }
    trace.stop();
    outcome.statements = trace.statements();
    outcome.messages = ui.texts().mid(messagesBefore);
    return outcome;
}

bool pickColumnAndOperator(QWidget *dialog, int row, const QString &column, const QString &op)
{
    auto *grid = dialogtest::find<condora::FlexGrid>(dialog, "MFGQuery");
    auto *list = dialogtest::find<QComboBox>(dialog, "comItem");
    dialogtest::clickCell(grid, row, 1);
    if (!dialogtest::pickItem(list, column)) {
        qWarning() << "column not offered:" << column << dialogtest::items(list);
        return false;
    }
    dialogtest::clickCell(grid, row, 2);
    if (!dialogtest::pickItem(list, op)) {
        qWarning() << "operator not offered:" << op << dialogtest::items(list);
        return false;
    }
    return true;
}

void typeValue(QWidget *dialog, int row, const QString &value)
{
    auto *grid = dialogtest::find<condora::FlexGrid>(dialog, "MFGQuery");
    dialogtest::clickCell(grid, row, 3);
    auto *editor = dialogtest::find<QLineEdit>(dialog, "txtValue");
    if (value.size() <= 200) {
        typeText(editor, value);
        return;
    }
    // A long value is pasted (every keystroke recomposes the whole statement).
    QGuiApplication::clipboard()->setText(value);
    QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
}

void press(QWidget *dialog, const char *button)
{
    QTest::mouseClick(dialogtest::find<QPushButton>(dialog, button), Qt::LeftButton);
}

bool okOrCancel(QWidget *dialog)
{
    press(dialog, "cmdOK");
    if (!dialog->isVisible()) {
        return true;
    }
    press(dialog, "cmdCancel");
    return false;
}

bool sameTexts(const QStringList &actual, const QStringList &expected)
{
    if (actual == expected) {
        return true;
    }
    qWarning().noquote() << "actual:  " << actual.size() << "texts";
    for (const QString &text : actual) {
        qWarning().noquote() << "   " << QString(text).replace(u"\r\n"_s, u"\\r\\n"_s).left(600);
    }
    qWarning().noquote() << "expected:" << expected.size() << "texts";
    for (const QString &text : expected) {
        qWarning().noquote() << "   " << QString(text).replace(u"\r\n"_s, u"\\r\\n"_s).left(600);
    }
    return false;
}

QStringList pickFirstListedValue(QWidget *dialog, int row)
{
    return pickListedValue(dialog, row, 1);
}

QStringList pickListedValue(QWidget *dialog, int row, int entry)
{
    QStringList listed;
    dialogtest::clickCell(dialogtest::find<condora::FlexGrid>(dialog, "MFGQuery"), row, 3);
    dialogtest::whenModal(dialog, u"frmGetValue"_s, [&](QWidget *picker) {
        auto *grid = dialogtest::find<condora::FlexGrid>(picker, "MSFlexGrid1");
        if (grid->isBoundPending()) {
            grid->fetchAll();
        }
        for (int r = 1; r < grid->Rows(); ++r) {
            listed.append(grid->TextMatrix(r, 0));
        }
        dialogtest::clickCell(grid, entry, 0);
    });
    press(dialog, "cmdGetValue");
    return listed;
}

void beginTestRun(std::unique_ptr<RecordingUi> &ui, std::unique_ptr<QObject> &scope)
{
    ui = std::make_unique<RecordingUi>();
    scope = std::make_unique<QObject>();
    auto *watchdog = new QTimer(scope.get());
    watchdog->setInterval(30000);
    QObject::connect(watchdog, &QTimer::timeout, watchdog, [] {
        qWarning("watchdog: closing dialogs left open");
        dialogtest::closeAllDialogs();
    });
    watchdog->start();
}

QStringList endTestRun(std::unique_ptr<RecordingUi> &ui, std::unique_ptr<QObject> &scope)
{
    scope.reset();
    dialogtest::closeAllDialogs();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ui.reset();
    return openWindows();
}

} // namespace reliability
