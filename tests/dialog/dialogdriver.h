#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class QComboBox;

namespace condora {
class FlexGrid;
}

/// Drives the dialogs as a user would: finds controls by name, clicks grid cells, picks
/// list entries, and reads positions in twips.
namespace dialogtest {

template<typename T>
T *find(const QWidget *root, const char *name)
{
    return root->findChild<T *>(QString::fromLatin1(name));
}

/// The rectangle of a grid cell in the grid widget's pixels (the current cell is left alone).
QRect cellRect(condora::FlexGrid *grid, int row, int col);
/// Presses and releases `button` over the middle of a grid cell.
void clickCell(condora::FlexGrid *grid, int row, int col, Qt::MouseButton button = Qt::LeftButton);
/// Presses and releases the left button at a point of the grid widget.
void clickGridAt(condora::FlexGrid *grid, const QPoint &point);

/// Opens the list's drop-down, highlights the entry with exactly this text and presses Enter.
/// False when there is no such entry.
bool pickItem(QComboBox *list, const QString &text);
QStringList items(const QComboBox *list);

/// In the query dialog `dialog`: picks the column and the operator of data row `row` and types
/// the value (when not empty) through the editors. False when an entry was not offered.
bool enterRow(QWidget *dialog, int row, const QString &column, const QString &op, const QString &value);

/// A widget's geometry in twips as the dialog laid it out (exact twips when the widget was
/// placed in twips and has not moved since).
QRect twipsRect(const QWidget *widget);
/// The pixels a twips value is shown as.
int pixels(int twips);

/// Runs `action` once a modal dialog with this object name is the active modal widget
/// (polled from the event loop, so it also works while a modal exec() runs). The poll stops
/// when `scope` is destroyed.
void whenModal(QObject *scope, const QString &objectName, std::function<void(QWidget *)> action);

/// Every dialog that is still a top-level window: rejects (closes) it. The watchdog of a test
/// that failed inside a callback of a modal loop.
void closeAllDialogs();

} // namespace dialogtest
