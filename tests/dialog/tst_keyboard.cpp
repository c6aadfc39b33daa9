// The query dialog and the value picker used from the keyboard alone.

#include "tst_dialog.h"

#include "dialogdriver.h"

#include "dialog/frmcondora.h"
#include "dialog/frmgetvalue.h"
#include "platform/flexgrid/flexgrid.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace dialogtest;

namespace {

/// Presses a key where the focus is (in an open drop-down, if any), as a keyboard does.
void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *focus = QApplication::focusWidget();
    if (QWidget *popup = QApplication::activePopupWidget()) {
        focus = popup->focusWidget() != nullptr ? popup->focusWidget() : popup;
    }
    QVERIFY(focus != nullptr);
    QTest::keyClick(focus, Qt::Key(key), modifiers);
}

void type(const QString &text)
{
    for (const QChar c : text) {
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus != nullptr);
        QTest::keyClick(focus, c.toLatin1());
    }
}

/// In the open list: arrows to the entry with this text, then Enter.
void choose(QComboBox *list, const QString &text)
{
    QCOMPARE(QApplication::focusWidget(), list);
    const int target = int(items(list).indexOf(text.trimmed()));
    QVERIFY2(target >= 0, qPrintable(text));
    for (int guard = 0; list->currentIndex() != target && guard < 50; ++guard) {
        press(list->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    }
    press(Qt::Key_Return);
}

/// In the picker's list: Down until the row holding `value` is current.
void downTo(FlexGrid *values, const QString &value)
{
    for (int guard = 0; values->TextMatrix(values->RowSel(), 0) != value && guard < 50; ++guard) {
        press(Qt::Key_Down);
    }
}

QStringList rowTexts(FlexGrid *grid, int row)
{
    QStringList texts;
    for (int col = 0; col < 7; ++col) {
        texts.append(grid->TextMatrix(row, col));
    }
    return texts;
}

} // namespace

void TestDialog::keyboardBuildsSameStatementAsMouse()
{
    const QString expected = u"select e.id, e.name, e.notes, e.hired, e.active, e.photo from emp e where  ( e.name = "
                             "'Jones' Or e.id > 3 ) And e.hired < '2005-01-01'"_s;

    // Keyboard only, from open to OK.
    frmCondora *dialog = openDialog();
    auto *list = find<QComboBox>(dialog, "comItem");
    auto *value = find<QLineEdit>(dialog, "txtValue");
    QCOMPARE(QApplication::focusWidget(), grid()->view());

    press(Qt::Key_Return);
    choose(list, u"("_s);
    QCOMPARE(QApplication::focusWidget(), grid()->view());
    press(Qt::Key_Right);
    press(Qt::Key_F2);
    choose(list, u"name"_s);
    press(Qt::Key_Right);
    press(Qt::Key_Space);
    choose(list, u"= "_s);
    press(Qt::Key_Right);
    press(Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), value);
    bool pickerFocused = false;
    whenModal(m_scope.get(), u"frmGetValue"_s, [&](QWidget *picker) {
        auto *values = find<FlexGrid>(picker, "MSFlexGrid1");
        QTRY_COMPARE(QApplication::focusWidget(), find<QLineEdit>(picker, "txtSearch"));
        pickerFocused = true;
        downTo(values, u"Jones"_s);
        press(Qt::Key_Return);
    });
    press(Qt::Key_Down, Qt::AltModifier);
    QVERIFY(pickerFocused);
    QCOMPARE(value->text(), u"Jones"_s);
    // A window manager gives the dialog back its activation when the picker closes; the
    // offscreen platform has none.
    dialog->activateWindow();
    QTRY_COMPARE(QApplication::focusWidget(), value);
    press(Qt::Key_Return);
    press(Qt::Key_Tab);
    press(Qt::Key_Tab);
    press(Qt::Key_Return);
    choose(list, u" Or"_s);

    press(Qt::Key_Insert);
    press(Qt::Key_Down);
    press(Qt::Key_Home);
    press(Qt::Key_Tab);
    press(Qt::Key_Return);
    choose(list, u"id"_s);
    press(Qt::Key_Tab);
    press(Qt::Key_Return);
    choose(list, u"> "_s);
    press(Qt::Key_Tab);
    type(u"3"_s);
    QCOMPARE(QApplication::focusWidget(), value);
    press(Qt::Key_Tab); // on to the ".." button
    press(Qt::Key_Tab); // back into the grid
    QCOMPARE(QApplication::focusWidget(), grid()->view());
    press(Qt::Key_Tab);
    press(Qt::Key_F4);
    press(Qt::Key_Escape); // closes the drop-down only
    choose(list, u")"_s);
    press(Qt::Key_Tab);
    press(Qt::Key_Return);
    choose(list, u" And "_s);

    press(Qt::Key_Insert);
    press(Qt::Key_Down);
    press(Qt::Key_Home);
    press(Qt::Key_Right);
    type(u"h"_s); // a typed letter opens the list on its first entry with that letter
    press(Qt::Key_Return);
    press(Qt::Key_Right);
    press(Qt::Key_Return);
    choose(list, u"< "_s);
    press(Qt::Key_Right);
    type(u"2005-01-01"_s);
    press(Qt::Key_Return);
    QCOMPARE(grid()->TextMatrix(3, 3), u"2005-01-01"_s);
    // Tab leaves the grid after its last cell and goes on through the buttons to OK.
    auto *ok = find<QPushButton>(dialog, "cmdOK");
    for (int guard = 0; QApplication::focusWidget() != ok && guard < 10; ++guard) {
        press(Qt::Key_Tab);
    }
    QCOMPARE(QApplication::focusWidget(), ok);
    press(Qt::Key_Space);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    const QString byKeyboard = dialog->resultSql();

    // The same condition with the mouse.
    dialog = openDialog();
    list = find<QComboBox>(dialog, "comItem");
    clickCell(grid(), 1, 0);
    QVERIFY(pickItem(list, u"("_s));
    enterRow(1, u"name"_s, u"= "_s);
    clickCell(grid(), 1, 3);
    whenModal(m_scope.get(), u"frmGetValue"_s, [](QWidget *picker) {
        auto *values = find<FlexGrid>(picker, "MSFlexGrid1");
        for (int row = 1; row < values->Rows(); ++row) {
            if (values->TextMatrix(row, 0) == u"Jones"_s) {
                clickCell(values, row, 0);
                return;
            }
        }
    });
    QTest::mouseClick(find<QPushButton>(dialog, "cmdGetValue"), Qt::LeftButton);
    clickCell(grid(), 1, 5);
    QVERIFY(pickItem(list, u" Or"_s));
    QTest::mouseClick(find<QPushButton>(dialog, "cmdAdd"), Qt::LeftButton);
    enterRow(2, u"id"_s, u"> "_s, u"3"_s);
    clickCell(grid(), 2, 4);
    QVERIFY(pickItem(list, u")"_s));
    clickCell(grid(), 2, 5);
    QVERIFY(pickItem(list, u" And "_s));
    QTest::mouseClick(find<QPushButton>(dialog, "cmdAdd"), Qt::LeftButton);
    enterRow(3, u"hired"_s, u"< "_s, u"2005-01-01"_s);
    QTest::mouseClick(find<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());

    QCOMPARE(byKeyboard, dialog->resultSql());
    QCOMPARE(byKeyboard, expected);
    QVERIFY(m_ui->texts().isEmpty());
}

void TestDialog::escapeLeavesCellUnchanged_data()
{
    QTest::addColumn<int>("col");
    QTest::addColumn<int>("opener");
    QTest::addColumn<QString>("typed");

    QTest::newRow("Column list: arrows move, Escape keeps the column") << 1 << int(Qt::Key_Return) << QString();
    QTest::newRow("Operator list opened with F2") << 2 << int(Qt::Key_F2) << QString();
    QTest::newRow("Value editor: text added, then Escape") << 3 << int(Qt::Key_Return) << u"xx"_s;
    QTest::newRow("Value editor started by a typed character") << 3 << 0 << u"Brown"_s;
}

void TestDialog::escapeLeavesCellUnchanged()
{
    QFETCH(int, col);
    QFETCH(int, opener);
    QFETCH(QString, typed);

    frmCondora *dialog = openDialog();
    enterRow(1, u"name"_s, u"= "_s, u"Smith"_s);
    press(Qt::Key_Return); // keeps the value and closes the editor the mouse opened
    QVERIFY(dialog->isVisible());
    QCOMPARE(QApplication::focusWidget(), grid()->view());
    const QStringList before = rowTexts(grid(), 1);
    const QString statement = dialog->resultSql();

    grid()->setRow(1);
    grid()->setCol(col);
    if (opener != 0) {
        press(opener);
    }
    if (col == 3) {
        type(typed);
        QVERIFY(grid()->TextMatrix(1, 3) != u"Smith"_s);
    } else {
        press(Qt::Key_Down);
        press(Qt::Key_Down);
        QCOMPARE(rowTexts(grid(), 1), before); // arrows alone pick nothing
    }
    press(Qt::Key_Escape);
    QVERIFY(dialog->isVisible());
    QCOMPARE(rowTexts(grid(), 1), before);
    QCOMPARE(dialog->resultSql(), statement);
    for (const char *name : {"comItem", "txtValue", "cmdGetValue"}) {
        QVERIFY2(find<QWidget>(dialog, name)->isHidden(), name);
    }
    QCOMPARE(QApplication::focusWidget(), grid()->view());

    // With no editor open Escape closes the dialog as before.
    press(Qt::Key_Escape);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->resultSql(), QString());
}

void TestDialog::keyboardDeletesTheRowAsked()
{
    // After a row is deleted the current row keeps its number, so a second Delete asks about
    // the row that moved up into it, not about the row above.
    frmCondora *dialog = openDialog();
    auto *add = find<QPushButton>(dialog, "cmdAdd");
    enterRow(1, u"name"_s, u"= "_s, u"Smith"_s);
    QTest::mouseClick(add, Qt::LeftButton);
    enterRow(2, u"id"_s, u"> "_s, u"3"_s);
    QTest::mouseClick(add, Qt::LeftButton);
    enterRow(3, u"hired"_s, u"< "_s, u"2005-01-01"_s);
    QTest::mouseClick(add, Qt::LeftButton);
    enterRow(4, u"name"_s, u"<> "_s, u"Jones"_s);
    press(Qt::Key_Return);
    grid()->setRow(2);
    grid()->setCol(1);

    m_ui->queueAnswer(MessageAnswer::Ok);
    press(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(grid()->Rows(), 4);
    QCOMPARE(grid()->Row(), 2);
    QCOMPARE(grid()->TextMatrix(2, 1), u"hired"_s);

    m_ui->queueAnswer(MessageAnswer::Ok);
    press(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(m_ui->texts().size(), 2);
    QCOMPARE(grid()->Rows(), 3);
    QCOMPARE(grid()->TextMatrix(1, 1), u"name"_s);
    QCOMPARE(grid()->TextMatrix(2, 1), u"name"_s);
    QCOMPARE(grid()->TextMatrix(2, 3), u"Jones"_s);
    QCOMPARE(grid()->Row(), 2);
    QCOMPARE(dialog->curRow(), 2);
}

void TestDialog::pickerKeysAndEmptySpace_data()
{
    QTest::addColumn<int>("downs");
    QTest::addColumn<int>("closingKey");
    QTest::addColumn<bool>("clickBelowValues");
    QTest::addColumn<QString>("expected"); // empty: no pick

    QTest::newRow("Enter picks the current value") << 0 << int(Qt::Key_Return) << false << u"Smith"_s;
    QTest::newRow("Down then Enter picks the next value") << 1 << int(Qt::Key_Enter) << false << u"Jones"_s;
    QTest::newRow("Escape leaves without a pick") << 2 << int(Qt::Key_Escape) << false << QString();
    QTest::newRow("a click below the values picks nothing and stays open")
        << 0 << int(Qt::Key_Escape) << true << QString();
}

void TestDialog::pickerKeysAndEmptySpace()
{
    QFETCH(int, downs);
    QFETCH(int, closingKey);
    QFETCH(bool, clickBelowValues);
    QFETCH(QString, expected);

    frmCondora *dialog = openDialog();
    enterRow(1, u"name"_s, u"= "_s, u"Smi"_s);
    bool focused = false;
    bool openAfterClick = true;
    std::optional<QString> picked;
    whenModal(m_scope.get(), u"frmGetValue"_s, [&](QWidget *picker) {
        auto *values = find<FlexGrid>(picker, "MSFlexGrid1");
        QTRY_COMPARE(QApplication::focusWidget(), find<QLineEdit>(picker, "txtSearch"));
        focused = true;
        if (clickBelowValues) {
            const QRect last = cellRect(values, values->Rows() - 1, 0);
            clickGridAt(values, QPoint(last.center().x(), last.bottom() + 20));
            openAfterClick = picker->isVisible();
        }
        for (int i = 0; i < downs; ++i) {
            press(Qt::Key_Down);
        }
        press(closingKey);
        picked = static_cast<frmGetValue *>(picker)->pickedValue();
    });
    QTest::mouseClick(find<QPushButton>(dialog, "cmdGetValue"), Qt::LeftButton);
    QVERIFY(focused);
    QVERIFY(openAfterClick);
    QCOMPARE(picked.value_or(QString()), expected);
    QCOMPARE(grid()->TextMatrix(1, 3), expected.isEmpty() ? u"Smi"_s : expected);
}

void TestDialog::keyboardConditionInFewKeys()
{
    // ( name = <picked Jones> ) Or, then id > 3 ) And, then id < 9; Verify, OK.
    m_ui->setForwardSendTab(true);
    frmCondora *dialog = openDialog();
    QStringList keys;
    const auto key = [&keys](int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        keys.append(QKeySequence(QKeyCombination(modifiers, Qt::Key(code))).toString());
        press(code, modifiers);
    };
    const auto typeKeys = [&keys](const QString &text) {
        for (const QChar c : text) {
            keys.append(c);
            type(c);
        }
    };

    typeKeys(u"("_s);
    key(Qt::Key_Tab);
    typeKeys(u"n"_s);
    key(Qt::Key_Tab);
    typeKeys(u"="_s);
    key(Qt::Key_Tab);
    whenModal(m_scope.get(), u"frmGetValue"_s, [&](QWidget *picker) {
        auto *values = find<FlexGrid>(picker, "MSFlexGrid1");
        QTRY_COMPARE(QApplication::focusWidget(), find<QLineEdit>(picker, "txtSearch"));
        for (int guard = 0; values->TextMatrix(values->RowSel(), 0) != u"Jones"_s && guard < 10; ++guard) {
            key(Qt::Key_Down);
        }
        key(Qt::Key_Return);
    });
    key(Qt::Key_Down, Qt::AltModifier); // the column's values at once
    QCOMPARE(grid()->TextMatrix(1, 3), u"Jones"_s);
    dialog->activateWindow();
    QTRY_COMPARE(QApplication::focusWidget(), find<QWidget>(dialog, "txtValue"));
    key(Qt::Key_Return);
    key(Qt::Key_Tab);
    key(Qt::Key_Tab);
    typeKeys(u"o"_s);
    key(Qt::Key_Insert); // a new row, its first cell current

    key(Qt::Key_Tab);
    typeKeys(u"i"_s);
    key(Qt::Key_Tab);
    typeKeys(u">"_s);
    key(Qt::Key_Tab);
    typeKeys(u"3"_s);
    key(Qt::Key_Return); // a number: on to the ".." button ...
    QTRY_COMPARE(QApplication::focusWidget(), find<QWidget>(dialog, "cmdGetValue"));
    key(Qt::Key_Return); // ... and on to the next cell
    typeKeys(u")"_s);
    key(Qt::Key_Tab);
    typeKeys(u"a"_s);
    key(Qt::Key_A, Qt::AltModifier); // Add by its access key: the new row's first cell too
    QTRY_COMPARE(grid()->Rows(), 4);
    QCOMPARE(grid()->Row(), 3);
    QCOMPARE(grid()->Col(), 0);

    key(Qt::Key_Tab);
    typeKeys(u"i"_s);
    key(Qt::Key_Tab);
    typeKeys(u"<"_s);
    key(Qt::Key_Tab);
    typeKeys(u"9"_s);
    key(Qt::Key_Return);

    QCOMPARE(dialog->resultSql(), u"select e.id, e.name, e.notes, e.hired, e.active, e.photo from emp e where  ( e.name = "
                                  "'Jones' Or e.id > 3 ) And e.id < 9"_s);
    key(Qt::Key_V, Qt::AltModifier);
    QTRY_COMPARE(m_ui->texts(), QStringList{u"Ok!"_s});
    key(Qt::Key_O, Qt::AltModifier);
    QTRY_VERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QVERIFY2(keys.size() <= 40, qPrintable(keys.join(u' ')));
    qInfo("%lld keys: %s", qlonglong(keys.size()), qPrintable(keys.join(u' ')));
}

void TestDialog::typedCharacterPicksEntry_data()
{
    QTest::addColumn<QString>("column"); // picked first when not empty
    QTest::addColumn<int>("col");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("cell");
    QTest::newRow("( bracket") << QString() << 0 << u"("_s << u"("_s;
    QTest::newRow(") bracket") << QString() << 4 << u")"_s << u")"_s;
    QTest::newRow("o, logical of an unused row keeps its blanks") << QString() << 5 << u"o"_s << u" Or"_s;
    QTest::newRow("A in capitals") << QString() << 5 << u"A"_s << u" And "_s;
    QTest::newRow("column by its first letters") << QString() << 1 << u"no"_s << u"notes"_s;
    QTest::newRow("< alone") << u"name"_s << 2 << u"<"_s << u"<"_s;
    QTest::newRow("<> typed together") << u"name"_s << 2 << u"<>"_s << u"<>"_s;
    QTest::newRow(">=") << u"id"_s << 2 << u">="_s << u">="_s;
    QTest::newRow("i for include") << u"name"_s << 2 << u"i"_s << u"include"_s;
    QTest::newRow("n twice steps to the next n") << u"name"_s << 2 << u"nn"_s << u"null"_s;
    QTest::newRow("a letter no entry starts leaves the cell") << QString() << 5 << u"x"_s << QString();
}

void TestDialog::typedCharacterPicksEntry()
{
    QFETCH(QString, column);
    QFETCH(int, col);
    QFETCH(QString, typed);
    QFETCH(QString, cell);
    frmCondora *dialog = openDialog();
    auto *list = find<QComboBox>(dialog, "comItem");
    if (!column.isEmpty()) {
        clickCell(grid(), 1, 1);
        QVERIFY(pickItem(list, column));
    }
    // The first character on the closed cell opens its list; each one picks at once.
    grid()->setFocus();
    grid()->setRow(1);
    grid()->setCol(col);
    QTRY_COMPARE(QApplication::focusWidget(), grid()->view());
    for (const QChar c : typed) {
        type(c);
    }
    QCOMPARE(grid()->TextMatrix(1, col), cell);
    QVERIFY(list->isVisible());
    press(Qt::Key_Return);
    QVERIFY(!list->isVisible());
    QCOMPARE(grid()->TextMatrix(1, col), cell);
}

void TestDialog::oneEnterAfterDropDown()
{
    frmCondora *dialog = openDialog();
    auto *list = find<QComboBox>(dialog, "comItem");
    grid()->setRow(1);
    grid()->setCol(5);
    QTRY_COMPARE(QApplication::focusWidget(), grid()->view());
    press(Qt::Key_F4);
    QTRY_VERIFY(list->view()->isVisible());
    press(Qt::Key_Down);
    const QString highlighted = list->view()->currentIndex().data().toString();
    QVERIFY(!highlighted.isEmpty());
    press(Qt::Key_Return);
    QCOMPARE(grid()->TextMatrix(1, 5).trimmed(), highlighted);
    QVERIFY(!list->isVisible());
    QCOMPARE(QApplication::focusWidget(), grid()->view());
}

void TestDialog::escapeAsksWithRowsInUse_data()
{
    QTest::addColumn<bool>("used");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closed");
    QTest::newRow("no row in use: closes without asking") << false << int(MessageAnswer::Ok) << true;
    QTest::newRow("rows in use, Cancel: stays open with them") << true << int(MessageAnswer::Cancel) << false;
    QTest::newRow("rows in use, OK: closes without a condition") << true << int(MessageAnswer::Ok) << true;
}

void TestDialog::escapeAsksWithRowsInUse()
{
    QFETCH(bool, used);
    QFETCH(int, answer);
    QFETCH(bool, closed);
    frmCondora *dialog = openDialog();
    if (used) {
        enterRow(1, u"name"_s, u"= "_s);
        press(Qt::Key_Escape); // closes the list editor first
    } else {
        clickCell(grid(), 1, 5);
        QVERIFY(pickItem(find<QComboBox>(dialog, "comItem"), u" Or"_s)); // a row, but not in use
        press(Qt::Key_Escape);
    }
    m_ui->queueAnswer(MessageAnswer(answer));
    QTest::keyClick(dialog, Qt::Key_Escape);
    QCOMPARE(m_ui->texts(), used ? QStringList{u"Close the query and drop its condition?"_s} : QStringList());
    QCOMPARE(dialog->isHidden(), closed);
    QCOMPARE(dialog->resultSql().isEmpty(), closed);
    if (!closed) {
        QCOMPARE(grid()->TextMatrix(1, 1), u"name"_s);
    }
}

void TestDialog::undoRedoRowChanges()
{
    frmCondora *dialog = openDialog();
    const QString base = u"select e.id, e.name, e.notes, e.hired, e.active, e.photo from emp e"_s;
    QVERIFY(!dialog->canUndo());
    enterRow(1, u"name"_s, u"= "_s, u"Smith"_s); // column, operator, one value: three changes
    QTest::mouseClick(find<QPushButton>(dialog, "cmdAdd"), Qt::LeftButton);
    QCOMPARE(grid()->Rows(), 3);

    const auto undoKey = [] { press(Qt::Key_Z, Qt::ControlModifier); };
    undoKey(); // the added row
    QCOMPARE(grid()->Rows(), 2);
    QCOMPARE(grid()->TextMatrix(1, 3), u"Smith"_s);
    undoKey(); // the whole value at once
    QCOMPARE(grid()->TextMatrix(1, 3), QString());
    QCOMPARE(dialog->resultSql(), base + u" where  e.name = ''"_s);
    undoKey();
    undoKey();
    QCOMPARE(grid()->TextMatrix(1, 1), QString());
    QCOMPARE(grid()->TextMatrix(1, 6), QString());
    QCOMPARE(dialog->resultSql(), base);
    QVERIFY(!dialog->canUndo());
    undoKey(); // nothing more to undo: nothing changes
    QCOMPARE(grid()->Rows(), 2);

    press(Qt::Key_Y, Qt::ControlModifier);
    press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    press(Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(dialog->resultSql(), base + u" where  e.name = 'Smith'"_s);
    QCOMPARE(grid()->Rows(), 2);

    // A new change after undo drops what could be redone; a deleted row comes back.
    clickCell(grid(), 1, 0);
    QVERIFY(pickItem(find<QComboBox>(dialog, "comItem"), u"("_s));
    QVERIFY(!dialog->canRedo());
    QTest::mouseClick(find<QPushButton>(dialog, "cmdDel"), Qt::LeftButton);
    QCOMPARE(grid()->TextMatrix(1, 1), QString());
    undoKey();
    QCOMPARE(grid()->TextMatrix(1, 0), u"("_s);
    QCOMPARE(grid()->TextMatrix(1, 1), u"name"_s);
    QCOMPARE(grid()->TextMatrix(1, 3), u"Smith"_s);
}
