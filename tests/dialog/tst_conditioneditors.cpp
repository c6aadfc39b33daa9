// The condition grid's floating editors: which editor a click opens, the lists each cell
// offers, the write-back of picks and typed values, the Value lock and the row colour.

#include "tst_dialog.h"

#include "dialogdriver.h"

#include "analysis/queryrun.h"
#include "condition/valuereading.h"
#include "dialog/frmcondora.h"
#include "dialog/twipsgeometry.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/olecolor.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace dialogtest;

namespace {

const QString Base = u"select e.id, e.name, e.notes, e.hired, e.active, e.photo from emp e"_s;
const OleColor Green(0x377627);

OleColor foreColor(FlexGrid *grid, int row, int col)
{
    grid->setRow(row);
    grid->setCol(col);
    return grid->CellForeColor();
}

} // namespace

void TestDialog::mouseButtonsOpenEditors_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("col");
    QTest::addColumn<QString>("editor");
    QTest::newRow("left on Column") << int(Qt::LeftButton) << 1 << u"comItem"_s;
    QTest::newRow("middle on Column") << int(Qt::MiddleButton) << 1 << u"comItem"_s;
    QTest::newRow("right on Column") << int(Qt::RightButton) << 1 << QString();
    QTest::newRow("left on Value") << int(Qt::LeftButton) << 3 << u"txtValue"_s;
    QTest::newRow("middle on Value") << int(Qt::MiddleButton) << 3 << u"txtValue"_s;
    QTest::newRow("right on Value") << int(Qt::RightButton) << 3 << QString();
}

void TestDialog::mouseButtonsOpenEditors()
{
    QFETCH(int, button);
    QFETCH(int, col);
    QFETCH(QString, editor);

    frmCondora *dialog = openDialog();
    clickCell(grid(), 1, col, Qt::MouseButton(button));
    auto *list = find<QComboBox>(dialog, "comItem");
    auto *value = find<QLineEdit>(dialog, "txtValue");
    auto *getValue = find<QPushButton>(dialog, "cmdGetValue");
    QCOMPARE(list->isVisible(), editor == u"comItem");
    QCOMPARE(value->isVisible(), editor == u"txtValue");
    QCOMPARE(getValue->isVisible(), editor == u"txtValue");
    if (!editor.isEmpty()) {
        QCOMPARE(dialog->curRow(), 1);
        QCOMPARE(dialog->curCol(), col);
        QCOMPARE(dialog->focusWidget(), find<QWidget>(dialog, qPrintable(editor)));
    }
}

void TestDialog::colIndexClickEditsLogical()
{
    frmCondora *dialog = openDialog();
    // colIndex is 0 wide, so no pointer reaches it; the grid reports a release with that
    // column current, as it does when the keyboard has moved there.
    grid()->setRow(1);
    grid()->setCol(6);
    Q_EMIT grid()->MouseUp(1, 0, 100, 100);
    QCOMPARE(dialog->curCol(), 5);
    QCOMPARE(grid()->Col(), 5);
    auto *list = find<QComboBox>(dialog, "comItem");
    QVERIFY(list->isVisible());
    QCOMPARE(items(list), (QStringList{u"And"_s, u"Or"_s}));
}

void TestDialog::listsPerCell_data()
{
    QTest::addColumn<int>("col");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("(") << 0 << QStringList{u"("_s, QString()};
    QTest::newRow("Column: usable columns only") << 1
                                                 << QStringList{u"id"_s, u"name"_s, u"notes"_s, u"hired"_s,
                                                                u"active"_s};
    QTest::newRow(")") << 4 << QStringList{u")"_s, QString()};
    QTest::newRow("Logical, entries without blanks") << 5 << QStringList{u"And"_s, u"Or"_s};
}

void TestDialog::listsPerCell()
{
    QFETCH(int, col);
    QFETCH(QStringList, entries);
    frmCondora *dialog = openDialog();
    clickCell(grid(), 1, col);
    auto *list = find<QComboBox>(dialog, "comItem");
    QCOMPARE(items(list), entries);
    if (col == 1) {
        for (int i = 0; i < list->count(); ++i) {
            QCOMPARE(list->itemData(i).toInt(), i + 1); // photo (position 6) is not offered
        }
    }
}

void TestDialog::operatorsPerTypeClass_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("typeClass");
    QTest::addColumn<QStringList>("operators");
    // The entries carry no blanks; the cells and the statement are as before (the composer trims).
    const QStringList comparisons{u">"_s, u">="_s, u"="_s, u"<>"_s, u"<="_s, u"<"_s};
    const QStringList nulls{u"null"_s, u"not null"_s};
    const QStringList includes{u"include"_s, u"not include"_s};
    QTest::newRow("no column") << QString() << QString() << QStringList();
    QTest::newRow("number") << u"id"_s << QString() << comparisons + nulls;
    QTest::newRow("date") << u"hired"_s << QString() << comparisons + nulls;
    QTest::newRow("string") << u"name"_s << QString() << comparisons + includes + nulls;
    QTest::newRow("lstring") << u"notes"_s << QString() << includes + nulls;
    QTest::newRow("boolean") << u"active"_s << QString() << QStringList{u"true"_s, u"false"_s} + nulls;
    QTest::newRow("class with blanks and capitals") << u"name"_s << u" Boolean "_s
                                                    << QStringList{u"true"_s, u"false"_s} + nulls;
    QTest::newRow("unknown class word") << u"name"_s << u"money"_s << comparisons + includes + nulls;
}

void TestDialog::operatorsPerTypeClass()
{
    QFETCH(QString, column);
    QFETCH(QString, typeClass);
    QFETCH(QStringList, operators);
    if (!typeClass.isEmpty()) {
        // A class word that names no class stands for a class the lists know nothing of.
        const TypeClass known = typeClassFromText(typeClass);
        m_run.fieldCatalog[2].typeClass = known == TypeClass::None ? TypeClass::Other : known;
    }
    frmCondora *dialog = openDialog();
    auto *list = find<QComboBox>(dialog, "comItem");
    if (!column.isEmpty()) {
        clickCell(grid(), 1, 1);
        QVERIFY(pickItem(list, column));
    }
    clickCell(grid(), 1, 2);
    QVERIFY(list->isVisible());
    QCOMPARE(items(list), operators);
}

void TestDialog::pickColumnKeepsOperatorAndValue()
{
    frmCondora *dialog = openDialog();
    auto *list = find<QComboBox>(dialog, "comItem");
    enterRow(1, u"name"_s, u"= "_s, u"Smith"_s);
    QCOMPARE(grid()->TextMatrix(1, 1), u"name"_s);
    QCOMPARE(grid()->TextMatrix(1, 6), u"2"_s);

    clickCell(grid(), 1, 1);
    QCOMPARE(list->currentText(), u"name"_s);
    QVERIFY(pickItem(list, u"id"_s));
    QCOMPARE(grid()->TextMatrix(1, 1), u"id"_s);
    QCOMPARE(grid()->TextMatrix(1, 6), u"1"_s);
    QCOMPARE(grid()->TextMatrix(1, 2), u"="_s); // trimmed by the composition after the pick
    QCOMPARE(grid()->TextMatrix(1, 3), u"Smith"_s);

    // "=" is offered for numbers too: the Operator list opens on it.
    clickCell(grid(), 1, 2);
    QCOMPARE(list->currentText(), u"="_s);

    // Long text does not offer "=": the list opens without a selection, the cell stays.
    clickCell(grid(), 1, 1);
    QVERIFY(pickItem(list, u"notes"_s));
    clickCell(grid(), 1, 2);
    QCOMPARE(list->currentIndex(), -1);
    QCOMPARE(grid()->TextMatrix(1, 2), u"="_s);
    QCOMPARE(dialog->curCol(), 2);
}

void TestDialog::enteringListCellSelectsItsEntry()
{
    frmCondora *dialog = openDialog();
    auto *list = find<QComboBox>(dialog, "comItem");
    clickCell(grid(), 1, 1);
    QCOMPARE(list->currentIndex(), -1); // no column yet
    clickCell(grid(), 1, 0);
    QCOMPARE(list->currentIndex(), 1); // the empty bracket entry matches the empty cell
    QVERIFY(pickItem(list, u"("_s));
    QCOMPARE(grid()->TextMatrix(1, 0), u"("_s);
    clickCell(grid(), 1, 5);
    QCOMPARE(list->currentIndex(), -1); // the logical list has no empty entry
    QVERIFY(pickItem(list, u" Or"_s));
    clickCell(grid(), 1, 0);
    QCOMPARE(list->currentText(), u"("_s);
    clickCell(grid(), 1, 5);
    QCOMPARE(list->currentText(), u"Or"_s);
    QCOMPARE(grid()->TextMatrix(1, 5), u" Or"_s); // not used, so not trimmed
}

void TestDialog::valueLock()
{
    frmCondora *dialog = openDialog();
    auto *list = find<QComboBox>(dialog, "comItem");
    auto *value = find<QLineEdit>(dialog, "txtValue");
    auto *getValue = find<QPushButton>(dialog, "cmdGetValue");
    const auto cellBack = [this] {
        const int row = grid()->Row();
        const int col = grid()->Col();
        grid()->setRow(1);
        grid()->setCol(3);
        const OleColor colour = grid()->CellBackColor();
        grid()->setRow(row);
        grid()->setCol(col);
        return colour;
    };
    enterRow(1, u"name"_s, u"= "_s, u"Smith"_s);
    QVERIFY(!value->isReadOnly());
    QVERIFY(getValue->isEnabled());
    QCOMPARE(cellBack(), OleColor(OleColor::WindowBackground));

    for (const QString &op : {u"null "_s, u"not null "_s}) {
        clickCell(grid(), 1, 2);
        QVERIFY(pickItem(list, op));
        QCOMPARE(cellBack(), OleColor(OleColor::ButtonFace));
        clickCell(grid(), 1, 3);
        QVERIFY(value->isReadOnly());
        QVERIFY(!getValue->isEnabled());
        QCOMPARE(value->palette().color(QPalette::Base), OleColor(OleColor::ButtonFace).toColor());
        QTest::keyClicks(value, u"xyz"_s);
        QCOMPARE(grid()->TextMatrix(1, 3), u"Smith"_s);
    }

    clickCell(grid(), 1, 2);
    QVERIFY(pickItem(list, u"= "_s));
    QCOMPARE(cellBack(), OleColor(OleColor::WindowBackground));
    clickCell(grid(), 1, 3);
    QVERIFY(!value->isReadOnly());
    QVERIFY(getValue->isEnabled());
    QCOMPARE(value->text(), u"Smith"_s);

    // A boolean column locks the Value whatever the operator.
    clickCell(grid(), 1, 1);
    QVERIFY(pickItem(list, u"active"_s));
    QCOMPARE(cellBack(), OleColor(OleColor::ButtonFace));
    clickCell(grid(), 1, 3);
    QVERIFY(value->isReadOnly());
    QCOMPARE(grid()->TextMatrix(1, 3), u"Smith"_s);
}

void TestDialog::greenOnlyOnPick()
{
    // The control's grid background (the palette's base colour), on which the design green reads.
    m_run.style.GridBackColor = OleColor::WindowBackground;
    frmCondora *dialog = openDialog();
    auto *list = find<QComboBox>(dialog, "comItem");
    clickCell(grid(), 1, 1);
    QVERIFY(pickItem(list, u"name"_s));
    QCOMPARE(foreColor(grid(), 1, 1), OleColor(OleColor::WindowText));
    clickCell(grid(), 1, 2);
    QVERIFY(pickItem(list, u"= "_s));
    for (int col = 0; col < 7; ++col) {
        QCOMPARE(foreColor(grid(), 1, col), Green);
    }

    // A second row with only a column stays in the window text colour; the first stays green.
    QTest::mouseClick(find<QPushButton>(dialog, "cmdAdd"), Qt::LeftButton);
    clickCell(grid(), 2, 1);
    QVERIFY(pickItem(list, u"id"_s));
    QCOMPARE(foreColor(grid(), 2, 1), OleColor(OleColor::WindowText));
    QCOMPARE(foreColor(grid(), 1, 1), Green);

    // Typing a value does not recolour.
    clickCell(grid(), 2, 3);
    QTest::keyClicks(find<QLineEdit>(dialog, "txtValue"), u"7"_s);
    QCOMPARE(foreColor(grid(), 2, 3), OleColor(OleColor::WindowText));

    // Deleting a row does not recolour the rows that move up.
    QTest::mouseClick(find<QPushButton>(dialog, "cmdAdd"), Qt::LeftButton);
    enterRow(3, u"hired"_s, u"> "_s, u"2001-01-01"_s);
    clickCell(grid(), 2, 0);
    m_ui->queueAnswer(MessageAnswer::Ok);
    QTest::mouseClick(find<QPushButton>(dialog, "cmdDel"), Qt::LeftButton);
    QCOMPARE(grid()->Rows(), 3);
    QCOMPARE(grid()->TextMatrix(2, 1), u"hired"_s);
    QCOMPARE(foreColor(grid(), 2, 1), Green);
}

void TestDialog::typingFollowsIntoCellAndPreview()
{
    frmCondora *dialog = openDialog();
    auto *preview = find<QPlainTextEdit>(dialog, "txtCondition");
    enterRow(1, u"name"_s, u"include "_s);
    clickCell(grid(), 1, 3);
    auto *value = find<QLineEdit>(dialog, "txtValue");
    QString typed;
    for (const QChar c : u"O'Br"_s) {
        QTest::keyClick(value, c.toLatin1());
        typed += c;
        QCOMPARE(grid()->TextMatrix(1, 3), typed);
        const QString condition = u" e.name like '%"_s + QString(typed).replace(u"'"_s, u"''"_s) + u"%'"_s;
        QCOMPARE(preview->toPlainText(), condition);
        QCOMPARE(m_dialog->resultSql(), Base + u" where "_s + condition);
    }
    QTest::keyClick(value, Qt::Key_Backspace);
    QCOMPARE(grid()->TextMatrix(1, 3), u"O'B"_s);

    // Coming back to the cell shows its text in the editor.
    clickCell(grid(), 1, 1);
    clickCell(grid(), 1, 3);
    QCOMPARE(value->text(), u"O'B"_s);
}

void TestDialog::valueTooltip_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("tooltip");
    QTest::newRow("no column") << QString() << QString();
    QTest::newRow("number") << u"id"_s << u"Number"_s;
    QTest::newRow("string") << u"name"_s << u"Character"_s;
    QTest::newRow("lstring") << u"notes"_s << u"Character"_s;
    QTest::newRow("date") << u"hired"_s << u"Date"_s;
    QTest::newRow("boolean") << u"active"_s << QString();
}

void TestDialog::valueTooltip()
{
    QFETCH(QString, column);
    QFETCH(QString, tooltip);
    frmCondora *dialog = openDialog();
    if (!column.isEmpty()) {
        clickCell(grid(), 1, 1);
        QVERIFY(pickItem(find<QComboBox>(dialog, "comItem"), column));
    }
    clickCell(grid(), 1, 3);
    auto *value = find<QLineEdit>(dialog, "txtValue");
    QCOMPARE(value->toolTip(), tooltip);
    // Number and date columns show examples in the form the value check reads.
    const QString placeholder = value->placeholderText();
    QCOMPARE(placeholder.isEmpty(), tooltip != u"Number"_s && tooltip != u"Date"_s);
    if (!placeholder.isEmpty()) {
        for (const QString &example : placeholder.mid(placeholder.indexOf(u' ') + 1).split(u" or "_s)) {
            QVERIFY2(tooltip == u"Number"_s ? isReadableNumber(example) : isReadableDate(example), qPrintable(example));
        }
    }
}

void TestDialog::scrollHidesEditors()
{
    frmCondora *dialog = openDialog();
    for (int i = 0; i < 40; ++i) {
        QTest::mouseClick(find<QPushButton>(dialog, "cmdAdd"), Qt::LeftButton);
    }
    clickCell(grid(), 2, 3);
    QVERIFY(find<QLineEdit>(dialog, "txtValue")->isVisible());
    QScrollBar *bar = grid()->view()->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    for (const char *name : {"comItem", "txtValue", "cmdGetValue"}) {
        QVERIFY2(find<QWidget>(dialog, name)->isHidden(), name);
    }
    clickCell(grid(), 20, 1);
    QVERIFY(find<QComboBox>(dialog, "comItem")->isVisible());
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    QVERIFY(find<QComboBox>(dialog, "comItem")->isHidden());
}

void TestDialog::editorsNotClippedAtGridEdge_data()
{
    QTest::addColumn<bool>("framed");
    QTest::newRow("grid with its frame") << true;
    QTest::newRow("grid without a frame: first cell at the edge") << false;
}

void TestDialog::editorsNotClippedAtGridEdge()
{
    QFETCH(bool, framed);
    frmCondora *dialog = openDialog();
    if (!framed) {
        grid()->view()->setFrameShape(QFrame::NoFrame);
    }
    for (int col = 0; col <= 5; ++col) {
        clickCell(grid(), 1, col);
        for (const char *name : {"comItem", "txtValue", "cmdGetValue"}) {
            auto *editor = find<QWidget>(dialog, name);
            if (editor->isVisible()) {
                // Every pixel of the open editor is shown.
                QCOMPARE(editor->visibleRegion().boundingRect(), editor->rect());
            }
        }
    }
}

void TestDialog::editorsCoverTheirCell()
{
    frmCondora *dialog = openDialog();
    auto check = [&](int row, int col) {
        clickCell(grid(), row, col);
        const QRect g = twipsRect(grid());
        const int left = g.left() + grid()->CellLeft() - 20;
        const int top = g.top() + grid()->CellTop() - 20;
        // The row is as tall as its editors: the design's 300 twips, or what their style asks for.
        const int height = grid()->RowHeight(row);
        QVERIFY(height >= 300);
        QCOMPARE(twipsRect(find<QWidget>(dialog, "comItem")), QRect(left, top, grid()->CellWidth(), height));
        const int valueWidth = grid()->CellWidth() - 315;
        QCOMPARE(twipsRect(find<QWidget>(dialog, "txtValue")), QRect(left, top, valueWidth, height));
        QCOMPARE(twipsRect(find<QWidget>(dialog, "cmdGetValue")), QRect(left + valueWidth, top, 315, height));
    };
    check(1, 2);
    QTest::mouseClick(find<QPushButton>(dialog, "cmdAdd"), Qt::LeftButton);
    check(2, 3);
    // The open editor follows its cell when the window grows.
    twipsgeometry::setWindowSize(dialog, 12000, 7005);
    QTRY_COMPARE(twipsgeometry::windowWidth(dialog), 12000);
    const QRect g = twipsRect(grid());
    QCOMPARE(twipsRect(find<QWidget>(dialog, "txtValue")).left(), g.left() + grid()->CellLeft() - 20);
    QCOMPARE(twipsRect(find<QWidget>(dialog, "txtValue")).width(), grid()->CellWidth() - 315);
}
