#include "dialogdriver.h"

#include "dialog/conditioneditor.h"
#include "dialog/twipsgeometry.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/twips.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTableView>
#include <QTimer>
#include <QtTest>

namespace dialogtest {

using condora::FlexGrid;

QRect cellRect(FlexGrid *grid, int row, int col)
{
    const int oldRow = grid->Row();
    const int oldCol = grid->Col();
    const int oldRowSel = grid->RowSel();
    const int oldColSel = grid->ColSel();
    grid->setRow(row);
    grid->setCol(col);
    const QRect twipsCell(grid->CellLeft(), grid->CellTop(), grid->CellWidth(), grid->CellHeight());
    grid->setRow(oldRow);
    grid->setCol(oldCol);
    grid->setRowSel(oldRowSel);
    grid->setColSel(oldColSel);
    return QRect(condora::twips::toPixels(twipsCell.x()), condora::twips::toPixels(twipsCell.y()),
                 condora::twips::toPixels(twipsCell.width()), condora::twips::toPixels(twipsCell.height()));
}

static void clickAt(FlexGrid *grid, const QPoint &point, Qt::MouseButton button)
{
    QWidget *target = grid->childAt(point);
    if (target == nullptr) {
        target = grid;
    }
    QTest::mouseClick(target, button, Qt::NoModifier, target->mapFrom(grid, point));
}

void clickCell(FlexGrid *grid, int row, int col, Qt::MouseButton button)
{
    // Where the user sees the cell: a column wider than the grid (the value picker widens its
    // column to its longest value) is clicked in its shown part.
    const QWidget *viewport = grid->view()->viewport();
    const QRect shown(viewport->mapTo(grid, QPoint(0, 0)), viewport->size());
    const QRect cell = cellRect(grid, row, col);
    const QRect visible = cell.intersected(shown);
    clickAt(grid, visible.isEmpty() ? cell.center() : visible.center(), button);
}

void clickGridAt(FlexGrid *grid, const QPoint &point)
{
    clickAt(grid, point, Qt::LeftButton);
}

bool pickItem(QComboBox *list, const QString &text)
{
    int index = -1;
    for (int i = 0; i < list->count(); ++i) {
        // Tests name entries as the cells hold them ("= "); the list shows them trimmed.
        if (list->itemText(i).trimmed() == text.trimmed()) {
            index = i;
            break;
        }
    }
    if (index < 0) {
        return false;
    }
    list->showPopup();
    QAbstractItemView *view = list->view();
    view->setCurrentIndex(view->model()->index(index, list->modelColumn(), view->rootIndex()));
    QTest::keyClick(view, Qt::Key_Return);
    return true;
}

QStringList items(const QComboBox *list)
{
    QStringList result;
    for (int i = 0; i < list->count(); ++i) {
        result.append(list->itemText(i));
    }
    return result;
}

bool enterRow(QWidget *dialog, int row, const QString &column, const QString &op, const QString &value)
{
    auto *grid = find<FlexGrid>(dialog, "MFGQuery");
    auto *list = find<QComboBox>(dialog, "comItem");
    clickCell(grid, row, 1);
    if (!pickItem(list, column)) {
        return false;
    }
    clickCell(grid, row, 2);
    if (!pickItem(list, op)) {
        return false;
    }
    if (!value.isEmpty()) {
        clickCell(grid, row, 3);
        QTest::keyClicks(find<QLineEdit>(dialog, "txtValue"), value);
    }
    return true;
}

QRect twipsRect(const QWidget *widget)
{
    // The grid and its editors lie in the condition editor, which lies where the grid is.
    QRect rect = condora::twipsgeometry::twipsGeometry(widget);
    for (const QWidget *p = widget->parentWidget(); qobject_cast<const condora::ConditionEditor *>(p);
         p = p->parentWidget()) {
        rect.translate(condora::twipsgeometry::twipsGeometry(p).topLeft());
    }
    return rect;
}

int pixels(int twips)
{
    return condora::twips::toPixels(twips);
}

void whenModal(QObject *scope, const QString &objectName, std::function<void(QWidget *)> action)
{
    auto *timer = new QTimer(scope);
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, objectName, action] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal->objectName() == objectName && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start();
}

void closeAllDialogs()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<QDialog *>(widget); dialog != nullptr && dialog->isVisible()) {
            dialog->reject();
        }
    }
}

} // namespace dialogtest
