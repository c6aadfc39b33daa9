// Keyboard use of the condition editor: moving through the grid, opening and closing its
// editors, adding and deleting rows from the grid, and the names that assistive technology
// reads for each of its controls.

#include "dialog/conditioneditor.h"

#include "condition/conditionrow.h"
#include "platform/flexgrid/flexgrid.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include <algorithm>

namespace condora {

namespace {

Qt::KeyboardModifiers significant(const QKeyEvent *event)
{
    return event->modifiers() & ~Qt::KeypadModifier;
}

bool isPlain(const QKeyEvent *event)
{
    return significant(event) == Qt::NoModifier;
}

bool isAltDown(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Down && significant(event) == Qt::AltModifier;
}

bool isEnter(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

/// Hands a copy of a keystroke to another widget (its event filters included).
void forwardKey(QWidget *target, const QKeyEvent *event)
{
    QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(), event->isAutoRepeat(),
                   quint16(event->count()));
    QCoreApplication::sendEvent(target, &copy);
}

} // namespace

bool ConditionEditor::editorOpen() const
{
    return m_comItem->isVisible() || m_txtValue->isVisible();
}

void ConditionEditor::closeEditor()
{
    hideEditors();
    m_grid->setFocus(Qt::OtherFocusReason);
}

void ConditionEditor::cancelEditor()
{
    if (m_txtValue->isVisible() && !m_txtValue->isReadOnly() && m_txtValue->text() != m_editOriginal) {
        m_txtValue->setText(m_editOriginal);
    }
    closeEditor();
}

bool ConditionEditor::undoRedoKey(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = significant(event);
    if (event->key() == Qt::Key_Z && modifiers == Qt::ControlModifier) {
        undo();
        return true;
    }
    if ((event->key() == Qt::Key_Z && modifiers == (Qt::ControlModifier | Qt::ShiftModifier))
        || (event->key() == Qt::Key_Y && modifiers == Qt::ControlModifier)) {
        redo();
        return true;
    }
    return false;
}

bool ConditionEditor::typedChoice(const QString &text)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - m_typedAt > QApplication::keyboardInputInterval()) {
        m_typed.clear();
    }
    m_typedAt = now;
    const int count = m_comItem->count();
    const auto findEntry = [&](const QString &typed) {
        for (int i = 0; i < count; ++i) {
            if (m_comItem->itemText(i).compare(typed, Qt::CaseInsensitive) == 0) {
                return i;
            }
        }
        for (int i = 0; i < count; ++i) {
            if (m_comItem->itemText(i).startsWith(typed, Qt::CaseInsensitive)) {
                return i;
            }
        }
        return -1;
    };
    QString typed = m_typed + text;
    int index = findEntry(typed);
    if (index < 0) {
        // The same letter again steps through the entries it starts; another one starts afresh.
        const bool repeated = !m_typed.isEmpty() && m_typed.count(text) == m_typed.size();
        typed = text;
        if (repeated) {
            for (int step = 1; step <= count && index < 0; ++step) {
                const int i = (std::max(m_comItem->currentIndex(), 0) + step) % count;
                if (m_comItem->itemText(i).startsWith(text, Qt::CaseInsensitive)) {
                    index = i;
                }
            }
        } else {
            index = findEntry(typed);
        }
    }
    if (index < 0) {
        return false;
    }
    m_typed = typed;
    m_comItem->setCurrentIndex(index);
    onListPicked(index);
    return true;
}

bool ConditionEditor::stepCell(bool forward)
{
    int row = m_grid->Row();
    int col = m_grid->Col() + (forward ? 1 : -1);
    if (col > ConditionCol::Logical) {
        col = ConditionCol::OpenBracket;
        ++row;
    } else if (col < ConditionCol::OpenBracket) {
        col = ConditionCol::Logical;
        --row;
    }
    if (row < m_grid->FixedRows() || row >= m_grid->Rows()) {
        return false;
    }
    hideEditors();
    m_grid->setRow(row);
    m_grid->setCol(col);
    m_grid->view()->scrollTo(m_grid->view()->currentIndex());
    return true;
}

bool ConditionEditor::gridKeyPress(QKeyEvent *event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = significant(event);

    if (key == Qt::Key_Insert && modifiers == Qt::NoModifier) {
        addRow(true);
        return true;
    }
    if (key == Qt::Key_Delete && modifiers == Qt::ControlModifier) {
        // The row to delete is the grid's current row, whether or not an editor was opened on it.
        m_curRow = m_grid->Row();
        deleteRow();
        return true;
    }
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        if (modifiers & (Qt::ControlModifier | Qt::AltModifier)) {
            return false;
        }
        return stepCell(key == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier));
    }

    const bool dropDown = key == Qt::Key_F4 || isAltDown(event);
    const bool opens = (modifiers == Qt::NoModifier
                        && (isEnter(event) || key == Qt::Key_F2 || key == Qt::Key_F4 || key == Qt::Key_Space))
                       || isAltDown(event);
    const QString text = event->text();
    const bool typed = !opens && !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
                       && !text.isEmpty() && text.at(0).isPrint();
    if (opens || typed) {
        editCell();
        if (m_comItem->isVisible()) {
            if (typed) {
                forwardKey(m_comItem, event);
            } else if (dropDown) {
                m_popupByKeyboard = true;
                m_comItem->showPopup();
            }
        } else if (m_txtValue->isVisible()) {
            if (dropDown && m_cmdGetValue->isEnabled()) {
                onGetValue(); // the column's values at once, as Alt+Down does in the editor
            } else if (typed && !m_txtValue->isReadOnly()) {
                // A typed character starts the value afresh; the numeric filter sees it.
                m_txtValue->clear();
                forwardKey(m_txtValue, event);
            }
        }
        return true;
    }

    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // An editor belongs to the cell it was opened on.
        hideEditors();
        break;
    default:
        break;
    }
    return false;
}

bool ConditionEditor::listKeyPress(QKeyEvent *event)
{
    // Arrows only move through the list; Enter picks, so that Escape can still leave the cell
    // as it was.
    if ((event->key() == Qt::Key_Down || event->key() == Qt::Key_Up) && isPlain(event)) {
        const int count = m_comItem->count();
        if (count > 0) {
            const int step = event->key() == Qt::Key_Down ? 1 : -1;
            m_comItem->setCurrentIndex(std::clamp(m_comItem->currentIndex() + step, 0, count - 1));
        }
        return true;
    }
    if (isEnter(event) && isPlain(event)) {
        if (m_comItem->currentIndex() >= 0) {
            onListPicked(m_comItem->currentIndex());
        }
        closeEditor();
        return true;
    }
    if (event->key() == Qt::Key_Insert && isPlain(event)) {
        // The choice is made; the new row is next.
        closeEditor();
        addRow(true);
        return true;
    }
    if ((event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)
        && !(significant(event) & (Qt::ControlModifier | Qt::AltModifier))) {
        // The choice is made: Tab goes on through the cells as it does in the grid.
        closeEditor();
        stepCell(event->key() == Qt::Key_Tab && !(significant(event) & Qt::ShiftModifier));
        return true;
    }
    if (event->key() == Qt::Key_F4 || isAltDown(event)) {
        // The drop-down opens; Enter in it picks and closes the cell at once.
        m_popupByKeyboard = true;
        return false;
    }
    // A typed character picks its entry at once; Space still opens the drop-down.
    const QString text = event->text();
    if (!(significant(event) & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) && !text.isEmpty()
        && text.at(0).isPrint() && text.at(0) != u' ') {
        typedChoice(text);
        return true;
    }
    return false;
}

bool ConditionEditor::valueEditorKeyPress(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_F4 && isPlain(event)) || isAltDown(event)) {
        if (m_cmdGetValue->isVisible() && m_cmdGetValue->isEnabled()) {
            onGetValue();
        }
        return true;
    }
    // In a number column the numeric filter turns Enter into a step to the ".." button, where
    // Enter goes on to the next cell.
    if (isEnter(event) && isPlain(event) && rowTypeClass(m_curRow) != TypeClass::Number) {
        closeEditor();
        return true;
    }
    return false;
}

void ConditionEditor::nameControls()
{
    m_grid->setAccessibleName(tr("Query condition"));
    m_grid->view()->setAccessibleName(tr("Query condition")); // the table that assistive technology reads
    m_grid->setAccessibleDescription(
        tr("One row per part of the condition: bracket, column, operator, value, bracket, And or Or. "
           "Enter, F2, Space or typing edits the current cell; Insert adds a row, Ctrl+Delete deletes it."));
    m_comItem->setAccessibleName(tr("Cell choices"));
    m_comItem->view()->setAccessibleName(tr("Cell choices"));
    m_comItem->setAccessibleDescription(tr("Arrow keys move, Enter picks, Escape leaves the cell unchanged."));
    m_txtValue->setAccessibleName(tr("Value"));
    m_txtValue->setAccessibleDescription(
        tr("The value to compare the column with; F4 or Alt+Down lists the column's values, Escape leaves the "
           "cell unchanged."));
    m_cmdGetValue->setAccessibleName(tr("Pick a value"));
    m_cmdGetValue->setAccessibleDescription(tr("Lists the values of the row's column to pick one."));
}

} // namespace condora
