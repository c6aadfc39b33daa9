// Add and Delete, and the numeric key filter of the Value editor.

#include "tst_dialog.h"

#include "dialogdriver.h"

#include "analysis/queryrun.h"
#include "condition/conditionjson.h"
#include "dialog/frmcondora.h"
#include "dialog/numerickeyfilter.h"
#include "platform/flexgrid/flexgrid.h"

#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDate>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace dialogtest;

void TestDialog::addAppendsAndKeepsSelection()
{
    frmCondora *dialog = openDialog();
    auto *add = find<QPushButton>(dialog, "cmdAdd");
    enterRow(1, u"name"_s, u"= "_s, u"Smith"_s);
    clickCell(grid(), 1, 2);
    QTest::mouseClick(add, Qt::LeftButton);
    QTest::mouseClick(add, Qt::LeftButton);
    QCOMPARE(grid()->Rows(), 4);
    QCOMPARE(grid()->Row(), 1);
    QCOMPARE(grid()->RowSel(), 1);
    for (int col = 0; col < 7; ++col) {
        QCOMPARE(grid()->TextMatrix(3, col), QString());
    }
    // As tall as the other rows and the editors over them.
    QCOMPARE(grid()->RowHeight(3), grid()->RowHeight(1));
    QVERIFY(grid()->RowHeight(3) >= 300);

    // Added at the end whatever row is selected; no upper limit.
    clickCell(grid(), 2, 1);
    for (int i = 0; i < 200; ++i) {
        QTest::mouseClick(add, Qt::LeftButton);
    }
    QCOMPARE(grid()->Rows(), 204);
    QCOMPARE(grid()->RowSel(), 2);
    QCOMPARE(grid()->TextMatrix(1, 1), u"name"_s);
    // Adding does not recompose.
    QCOMPARE(m_dialog->resultSql(),
             u"select e.id, e.name, e.notes, e.hired, e.active, e.photo from emp e where  e.name = 'Smith'"_s);
}

void TestDialog::deleteRows()
{
    frmCondora *dialog = openDialog();
    auto *add = find<QPushButton>(dialog, "cmdAdd");
    auto *del = find<QPushButton>(dialog, "cmdDel");
    enterRow(1, u"name"_s, u"= "_s, u"Smith"_s);
    QTest::mouseClick(add, Qt::LeftButton);
    enterRow(2, u"id"_s, u"> "_s, u"3"_s);
    QTest::mouseClick(add, Qt::LeftButton);
    enterRow(3, u"hired"_s, u"< "_s, u"2005-01-01"_s);
    const QString composed = m_dialog->resultSql();

    clickCell(grid(), 2, 3);
    m_ui->queueAnswer(MessageAnswer::Ok);
    QTest::mouseClick(del, Qt::LeftButton);
    QCOMPARE(m_ui->texts(), QStringList{u"Are you sure to delete the row?"_s});
    const MessageRequest &asked = m_ui->messages().constFirst();
    QCOMPARE(asked.buttons, MessageButtons::OkCancel);
    QCOMPARE(asked.icon, MessageIcon::Question);
    QCOMPARE(asked.defaultButton, MessageDefault::Second);
    QVERIFY(!asked.explicitCaption);

    QCOMPARE(grid()->Rows(), 3);
    QCOMPARE(grid()->TextMatrix(1, 1), u"name"_s);
    QCOMPARE(grid()->TextMatrix(2, 1), u"hired"_s);
    for (const char *name : {"comItem", "txtValue", "cmdGetValue"}) {
        QVERIFY2(find<QWidget>(dialog, name)->isHidden(), name);
    }
    QCOMPARE(grid()->Row(), grid()->RowSel());
    QCOMPARE(dialog->curRow(), grid()->RowSel());
    // Deleting does not recompose.
    QCOMPARE(m_dialog->resultSql(), composed);

    // Down to the only row, then that one: one empty data row under the intact header.
    clickCell(grid(), 2, 1);
    QTest::mouseClick(del, Qt::LeftButton);
    QCOMPARE(grid()->Rows(), 2);
    clickCell(grid(), 1, 1);
    QTest::mouseClick(del, Qt::LeftButton);
    QCOMPARE(m_ui->texts().size(), 3);
    QCOMPARE(grid()->Rows(), 2);
    QCOMPARE(grid()->FixedRows(), 1);
    for (int col = 0; col < 7; ++col) {
        QCOMPARE(grid()->TextMatrix(1, col), QString());
    }
    QCOMPARE(grid()->TextMatrix(0, 1), u"Column                   "_s);
    QCOMPARE(grid()->RowHeight(1), twipsRect(find<QWidget>(m_dialog.get(), "comItem")).height());
    grid()->setRow(0);
    grid()->setCol(1);
    QVERIFY(grid()->CellFontBold());
}

void TestDialog::deleteCancelAndNoCurrentRow()
{
    frmCondora *dialog = openDialog();
    auto *del = find<QPushButton>(dialog, "cmdDel");
    enterRow(1, u"name"_s, u"= "_s, u"Smith"_s);
    QTest::mouseClick(find<QPushButton>(dialog, "cmdAdd"), Qt::LeftButton);
    clickCell(grid(), 1, 1);

    m_ui->queueAnswer(MessageAnswer::Cancel);
    QTest::mouseClick(del, Qt::LeftButton);
    QCOMPARE(m_ui->texts().size(), 1);
    QCOMPARE(grid()->Rows(), 3);
    QCOMPARE(grid()->TextMatrix(1, 1), u"name"_s);
    QVERIFY(find<QWidget>(dialog, "comItem")->isVisible());

    // Deleting the only row leaves one empty row, current again.
    m_ui->queueAnswer(MessageAnswer::Ok);
    QTest::mouseClick(del, Qt::LeftButton);
    QCOMPARE(grid()->Rows(), 2);
    clickCell(grid(), 1, 1);
    m_ui->queueAnswer(MessageAnswer::Ok);
    QTest::mouseClick(del, Qt::LeftButton);
    QCOMPARE(m_ui->texts().size(), 3);
    QCOMPARE(grid()->Rows(), 2);
    QCOMPARE(dialog->curRow(), grid()->RowSel());

    // With the header row current (as a program may leave the grid) a click edits no row:
    // Delete then asks nothing and removes nothing.
    grid()->setRow(0);
    Q_EMIT grid()->MouseUp(1, 0, 100, 100);
    QCOMPARE(dialog->curRow(), 0);
    const qsizetype shown = m_ui->texts().size();
    QTest::mouseClick(del, Qt::LeftButton);
    QCOMPARE(m_ui->texts().size(), shown);
    QCOMPARE(grid()->Rows(), 2);

    // A click on a cell makes it current again.
    clickCell(grid(), 1, 1);
    QCOMPARE(dialog->curRow(), 1);
}

void TestDialog::numericKeyFilter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<int>("selectionLength"); // selected characters before the caret
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<bool>("accepted");

    const QString full = u"12.12345678"_s;
    const QString twenty = QString(20, u'1');
    QTest::newRow("backspace in a full fraction") << full << 11 << 0 << 8 << 8 << true;
    QTest::newRow("backspace in a full integer part") << twenty << 20 << 0 << 8 << 8 << true;
    QTest::newRow("minus at the start") << QString() << 0 << 0 << int('-') << 8 << true;
    QTest::newRow("minus at the start before a minus") << u"-12"_s << 0 << 0 << int('-') << 8 << true;
    QTest::newRow("minus after the start") << u"12"_s << 1 << 0 << int('-') << 8 << false;
    QTest::newRow("first point inside") << u"123"_s << 1 << 0 << int('.') << 8 << true;
    QTest::newRow("first point at the end") << u"123"_s << 3 << 0 << int('.') << 8 << true;
    QTest::newRow("second point") << u"1.5"_s << 3 << 0 << int('.') << 8 << false;
    QTest::newRow("point without decimals") << u"12"_s << 2 << 0 << int('.') << 0 << false;
    QTest::newRow("digit after a full fraction") << full << 11 << 0 << int('5') << 8 << false;
    QTest::newRow("digit right after the point, fraction full") << full << 3 << 0 << int('5') << 8 << false;
    QTest::newRow("digit before a full fraction") << full << 1 << 0 << int('5') << 8 << true;
    QTest::newRow("digit in a fraction not yet full") << u"12.1234567"_s << 10 << 0 << int('5') << 8 << true;
    QTest::newRow("digit after 20 places") << twenty << 20 << 0 << int('1') << 8 << false;
    QTest::newRow("digit at the start of 20 places") << twenty << 0 << 0 << int('1') << 8 << false;
    QTest::newRow("minus at the start of 20 places") << twenty << 0 << 0 << int('-') << 8 << false;
    QTest::newRow("point after 20 places") << twenty << 20 << 0 << int('.') << 8 << true;
    QTest::newRow("digit after 19 places") << QString(19, u'1') << 19 << 0 << int('1') << 8 << true;
    QTest::newRow("leading minus counts as a place") << u"-"_s + QString(19, u'1') << 20 << 0 << int('1') << 8 << false;
    QTest::newRow("digit after the point of a full integer part") << twenty + u".1"_s << 22 << 0 << int('5') << 8
                                                                 << true;
    QTest::newRow("selection lifts the integer limit") << twenty << 2 << 2 << int('1') << 8 << true;
    QTest::newRow("selection lifts the fraction limit") << full << 7 << 2 << int('3') << 8 << true;
    QTest::newRow("letter") << u"12"_s << 2 << 0 << int('a') << 8 << false;
    QTest::newRow("plus") << QString() << 0 << 0 << int('+') << 8 << false;
    QTest::newRow("blank") << u"1"_s << 1 << 0 << int(' ') << 8 << false;
    QTest::newRow("comma") << u"1"_s << 1 << 0 << int(',') << 8 << false;
    QTest::newRow("paste shortcut code") << u"1"_s << 1 << 0 << 22 << 8 << false;
}

void TestDialog::numericKeyFilter()
{
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(int, selectionLength);
    QFETCH(int, key);
    QFETCH(int, decimals);
    QFETCH(bool, accepted);

    QLineEdit box;
    box.setText(text);
    if (selectionLength > 0) {
        box.setSelection(caret - selectionLength, selectionLength);
    } else {
        box.setCursorPosition(caret);
    }
    QCOMPARE(box.cursorPosition(), caret);
    int code = key;
    condora::numericKeyFilter(&box, code, decimals, 20);
    QCOMPARE(code, accepted ? key : 0);
    QCOMPARE(box.text(), text);
    QCOMPARE(m_ui->sendTabCount(), 0);
}

void TestDialog::numericFilterOnlyForNumberColumns()
{
    frmCondora *dialog = openDialog();
    auto *value = find<QLineEdit>(dialog, "txtValue");
    enterRow(1, u"id"_s, u"= "_s);
    QTest::mouseClick(find<QPushButton>(dialog, "cmdAdd"), Qt::LeftButton);
    enterRow(2, u"name"_s, u"= "_s);

    clickCell(grid(), 1, 3);
    QTest::keyClicks(value, u"1a-2.3.4"_s);
    QCOMPARE(grid()->TextMatrix(1, 3), u"12.34"_s);
    value->setCursorPosition(0);
    QTest::keyClick(value, '-');
    QCOMPARE(grid()->TextMatrix(1, 3), u"-12.34"_s);
    QTest::keyClick(value, Qt::Key_End);
    QTest::keyClick(value, Qt::Key_Backspace);
    QCOMPARE(grid()->TextMatrix(1, 3), u"-12.3"_s);

    clickCell(grid(), 2, 3);
    QTest::keyClicks(value, u"1a-2.3.4"_s);
    QCOMPARE(grid()->TextMatrix(2, 3), u"1a-2.3.4"_s);
}

void TestDialog::enterMovesFocusOn()
{
    frmCondora *dialog = openDialog();
    m_ui->setForwardSendTab(true);
    auto *value = find<QLineEdit>(dialog, "txtValue");
    enterRow(1, u"id"_s, u"= "_s);
    clickCell(grid(), 1, 3);
    QTRY_COMPARE(dialog->focusWidget(), value);
    QTest::keyClick(value, Qt::Key_Return);
    QCOMPARE(m_ui->sendTabCount(), 1);
    QTRY_COMPARE(dialog->focusWidget(), find<QWidget>(dialog, "cmdGetValue"));
    // Enter presses no button: the dialog stays open without a message.
    QVERIFY(dialog->isVisible());
    QVERIFY(m_ui->texts().isEmpty());

    // Outside number columns Enter is not filtered, and still presses no button.
    QTest::mouseClick(find<QPushButton>(dialog, "cmdAdd"), Qt::LeftButton);
    enterRow(2, u"name"_s, u"= "_s);
    clickCell(grid(), 2, 3);
    QTRY_COMPARE(dialog->focusWidget(), value);
    QTest::keyClick(value, Qt::Key_Return);
    QCOMPARE(m_ui->sendTabCount(), 1);
    QVERIFY(dialog->isVisible());
    QVERIFY(m_ui->texts().isEmpty());
}

void TestDialog::dateEditorCalendar_data()
{
    QTest::addColumn<bool>("dateEditor");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("after");
    QTest::newRow("default: the stored values") << false << u"hired"_s << QString() << u"frmGetValue"_s
                                                << QString();
    QTest::newRow("DateEditor, empty value: the calendar on today")
        << true << u"hired"_s << QString() << u"dlgDate"_s << QDate::currentDate().addDays(1).toString(Qt::ISODate);
    QTest::newRow("DateEditor keeps the time of day")
        << true << u"hired"_s << u"2001-01-05 13:45:00"_s << u"dlgDate"_s << u"2001-01-06 13:45:00"_s;
    QTest::newRow("DateEditor, text column: the stored values") << true << u"name"_s << QString()
                                                                << u"frmGetValue"_s << QString();
}

void TestDialog::dateEditorCalendar()
{
    QFETCH(bool, dateEditor);
    QFETCH(QString, column);
    QFETCH(QString, before);
    QFETCH(QString, window);
    QFETCH(QString, after);
    m_run.dateEditor = dateEditor;
    frmCondora *dialog = openDialog();
    enterRow(1, column, u"= "_s, before);
    clickCell(grid(), 1, 3);
    QString opened;
    whenModal(m_scope.get(), window, [&](QWidget *shown) {
        opened = shown->objectName();
        if (window == u"dlgDate") {
            // The next day, taken with Enter.
            auto *calendar = find<QCalendarWidget>(shown, "calDate");
            calendar->setSelectedDate(calendar->selectedDate().addDays(1));
            QTest::keyClick(calendar->findChild<QAbstractItemView *>(u"qt_calendar_calendarview"_s), Qt::Key_Return);
        } else {
            static_cast<QDialog *>(shown)->reject();
        }
    });
    QTest::mouseClick(find<QPushButton>(dialog, "cmdGetValue"), Qt::LeftButton);
    QTRY_COMPARE(opened, window);
    QCOMPARE(grid()->TextMatrix(1, 3), after.isEmpty() ? before : after);
}

void TestDialog::recentPickIsUndoable()
{
    // A condition accepted earlier: name = Jones.
    ConditionRow earlier;
    earlier.column = u"name"_s;
    earlier.op = u"= "_s;
    earlier.value = u"Jones"_s;
    earlier.colIndex = u"2"_s;
    m_run.recentConditions = true;
    m_run.recentRows = {conditionRowsToJson({earlier}, m_run.fieldCatalog)};
    frmCondora *dialog = openDialog();
    enterRow(1, u"id"_s, u"> "_s, u"3"_s);
    const QString built = dialog->resultSql();
    QVERIFY(built.endsWith(u"e.id > 3"_s));

    auto *recent = find<QComboBox>(dialog, "cboRecent");
    QCOMPARE(recent->count(), 2);
    recent->setFocus();
    QTest::keyClick(recent, Qt::Key_Down); // picks the entry, as the keyboard does
    QVERIFY(dialog->resultSql().endsWith(u"e.name = 'Jones'"_s));
    // The rows built before the pick are not lost: one undo brings them back, redo the pick.
    QVERIFY(dialog->canUndo());
    dialog->undo();
    QCOMPARE(dialog->resultSql(), built);
    dialog->redo();
    QVERIFY(dialog->resultSql().endsWith(u"e.name = 'Jones'"_s));
}
