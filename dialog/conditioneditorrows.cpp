// Row commands, undo and value entry of the condition editor: adding and deleting rows, the
// ".." button that opens the value picker (or the calendar), and the numeric key filter of the
// Value editor.

#include "dialog/conditioneditor.h"

#include "analysis/errorreport.h"
#include "analysis/statementtools.h"
#include "condition/conditioncomposer.h"
#include "condition/conditionoperator.h"
#include "condition/conditionrow.h"
#include "condition/conditionvalidator.h"
#include "condition/valuelist.h"
#include "dialog/catalogentry.h"
#include "dialog/errortraps.h"
#include "dialog/frmgetvalue.h"
#include "dialog/numerickeyfilter.h"
#include "dialog/twipsgeometry.h"
#include "dialog/valuesearch.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/runtimeerror.h"
#include "platform/textfunctions.h"
#include "platform/userinteraction.h"

#include <QCalendarWidget>
#include <QDate>
#include <QDialog>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QToolTip>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScopedValueRollback>

#include <QAbstractItemView>
#include <QTableView>

#include <algorithm>
#include <cmath>
#include <utility>

using namespace Qt::StringLiterals;

namespace condora {

using errortraps::reportErrors;

namespace {

constexpr int NumberDecimals = 8;
constexpr int NumberIntegerDigits = 20;

} // namespace

void resetGridRows(FlexGrid &grid)
{
    reportErrors([&] {
        const int f = grid.FixedRows();
        if (f > 0) {
            grid.setFixedRows(f - 1);
        }
        grid.setRows(f);
        grid.setRows(f + 1);
        grid.setFixedRows(f);
    });
}

void ConditionEditor::setConditionTerms(const ConditionTerms &terms)
{
    reportErrors([&] {
        // The grid always offers a row to start from.
        m_model->setTerms(terms.isEmpty() ? ConditionTerms{ConditionTerm()} : terms);
        recompose();
        for (int r = 1; r <= m_model->rowCount(); ++r) {
            markRow(r);
        }
        if (!m_restoring) {
            // A condition reopened for refining is where undo stops.
            m_history = {conditionTerms()};
            m_historyPos = 0;
        }
    });
}

void ConditionEditor::setConditionRows(const ConditionRows &rows)
{
    setConditionTerms(termsOf(rows));
}

void ConditionEditor::pickRows(const ConditionTerms &terms)
{
    hideEditors();
    m_typingRow = 0;
    {
        // The rows built so far stay one undo away: a pick is a change like any other.
        const QScopedValueRollback keepHistory(m_restoring, true);
        setConditionTerms(terms);
    }
    rememberRows();
    m_curRow = 1;
    m_grid->setRow(1);
    m_grid->setRowSel(1);
    m_grid->setFocus(Qt::OtherFocusReason);
}

void ConditionEditor::rememberRows(int typingRow)
{
    if (m_restoring) {
        return;
    }
    const ConditionTerms rows = conditionTerms();
    if (m_history.isEmpty()) {
        m_history = {rows};
        m_historyPos = 0;
        return;
    }
    if (rows == m_history.at(m_historyPos)) {
        return;
    }
    m_history.resize(m_historyPos + 1);
    if (typingRow != 0 && typingRow == m_typingRow && m_historyPos > 0) {
        m_history[m_historyPos] = rows;
        return;
    }
    m_history.append(rows);
    ++m_historyPos;
    m_typingRow = typingRow;
}

void ConditionEditor::restoreRows(const ConditionTerms &terms)
{
    const QScopedValueRollback restoring(m_restoring, true);
    hideEditors();
    m_typingRow = 0;
    setConditionTerms(terms);
    const int last = m_grid->Rows() - 1;
    m_curRow = std::clamp(m_curRow, 1, last);
    m_grid->setRow(std::clamp(m_grid->Row(), 1, last));
    m_grid->setRowSel(m_grid->Row());
    m_grid->setFocus(Qt::OtherFocusReason);
}

void ConditionEditor::undo()
{
    if (m_acting || !canUndo()) {
        return;
    }
    --m_historyPos;
    restoreRows(m_history.at(m_historyPos));
}

void ConditionEditor::redo()
{
    if (m_acting || !canRedo()) {
        return;
    }
    ++m_historyPos;
    restoreRows(m_history.at(m_historyPos));
}

MessageAnswer runMessage(const QueryRun &run, const QString &text, MessageButtons buttons, MessageIcon icon,
                         MessageDefault defaultButton, const QString &detail)
{
    MessageRequest request;
    request.text = text;
    request.buttons = buttons;
    request.icon = icon;
    request.defaultButton = defaultButton;
    request.caption = run.title;
    request.explicitCaption = !run.title.isEmpty();
    request.detail = detail;
    return UserInteraction::instance().messageBox(request);
}

MessageAnswer ConditionEditor::say(const QString &text, MessageButtons buttons, MessageIcon icon,
                                   MessageDefault defaultButton, const QString &detail)
{
    return runMessage(m_run, text, buttons, icon, defaultButton, detail);
}

QString ConditionEditor::rowDetail(int row) const
{
    const ConditionRow shown = m_model->displayRow(row - 1);
    QStringList cells;
    for (int col = ConditionCol::OpenBracket; col <= ConditionCol::Logical; ++col) {
        const QString cell = text::trim(shown.cell(col));
        if (!cell.isEmpty()) {
            cells.append(cell);
        }
    }
    return cells.isEmpty() ? tr("Row %1 of the condition (empty).").arg(row)
                           : tr("Row %1 of the condition: %2").arg(row).arg(cells.join(u' '));
}

void ConditionEditor::addRow(bool byKeyboard)
{
    if (m_acting) {
        return;
    }
    const QScopedValueRollback acting(m_acting, true);
    reportErrors([&] {
        const int selected = m_grid->RowSel();
        const int added = m_model->appendTerm() + 1;
        rememberRows();
        if (byKeyboard) {
            // From the keyboard the new row's first cell is where the user goes on.
            hideEditors();
            m_grid->setRow(added);
            m_grid->setRowSel(added);
            m_grid->setCol(ConditionCol::OpenBracket);
            m_grid->view()->scrollTo(m_grid->view()->currentIndex());
            m_grid->setFocus(Qt::ShortcutFocusReason);
            return;
        }
        m_grid->setRowSel(selected);
        m_grid->setRow(selected);
    });
}

void ConditionEditor::deleteRow()
{
    if (m_acting) {
        return;
    }
    const QScopedValueRollback acting(m_acting, true);
    reportErrors([this] {
        if (m_curRow == 0) {
            return;
        }
        const MessageAnswer answer = say(tr("Are you sure to delete the row?"), MessageButtons::OkCancel,
                                         MessageIcon::Question, MessageDefault::Second, rowDetail(m_curRow));
        if (answer == MessageAnswer::Cancel) {
            return;
        }
        hideEditors();
        m_model->removeTerm(m_curRow - 1);
        if (m_model->rowCount() == 0) {
            m_model->appendTerm(); // the grid's one empty row
        }
        m_grid->setRow(m_grid->RowSel());
        m_curRow = m_grid->RowSel();
        rememberRows();
    });
}

void ConditionEditor::onGetValue()
{
    if (m_acting) {
        return;
    }
    const QScopedValueRollback acting(m_acting, true);
    // The picker's own failures are reported inside it; this only keeps anything else from
    // escaping into the event loop.
    reportErrors([this] {
        using namespace twipsgeometry;
        const int r = m_grid->Row();
        if (termAt(r).column == 0) {
            return;
        }
        if (m_run.dateEditor && rowTypeClass(r) == TypeClass::Date) {
            pickDate();
            return;
        }

        // On the heap and watched, like every dialog here: nothing may delete it twice.
        QWidget *dialog = window();
        const QPointer<frmGetValue> owned = new frmGetValue(m_run, dialog);
        const auto discard = qScopeGuard([&owned] { delete owned.data(); });
        frmGetValue &picker = *owned;
        // The button's place in the window: the editor lies where the grid is.
        const QRect button = twipsGeometry(m_cmdGetValue).translated(twipsGeometry(this).topLeft());
        const int dialogLeft = windowLeft(dialog);
        const int dialogTop = windowTop(dialog);
        const int dialogHeight = windowHeight(dialog);
        const int pickerHeight = windowHeight(&picker);
        const int pickerLeft = dialogLeft + button.left();
        const int top = dialogTop + button.top();
        int pickerTop = int(std::nearbyint(top - pickerHeight / 2.0));
        if (dialogTop + 300 > pickerTop) {
            pickerTop = dialogTop + 300;
        }
        if (dialogTop + dialogHeight < pickerTop + pickerHeight) {
            pickerTop = dialogTop + dialogHeight - pickerHeight;
        }
        moveWindow(&picker, pickerLeft, pickerTop);

        picker.setHeadTitle(m_model->columnName(r - 1));
        picker.setP_colIndex(QString::number(termAt(r).column));
        offerNarrowing(picker, r);
        const std::optional<ConditionOperator> op = termAt(r).op;
        const bool several = op == ConditionOperator::In || op == ConditionOperator::NotIn;
        if (several) {
            picker.setMultiplePicks(splitValueList(m_txtValue->text()).value_or(QStringList()));
        }
        picker.exec();
        if (!owned || m_abandoned) {
            return;
        }

        if (several) {
            if (!picker.pickedValues().isEmpty()) {
                const QString list = joinValueList(picker.pickedValues());
                m_txtValue->setMaxLength(std::max(m_txtValue->maxLength(), int(list.size())));
                m_txtValue->setText(list);
            }
        } else if (picker.pickedNull()) {
            // NULL is no value to compare with: the row asks "is null" instead.
            m_txtValue->setText(QString());
            m_model->setOperator(r - 1, ConditionOperator::Null);
            refreshValueLock();
            recompose();
            rememberRows();
        } else if (const std::optional<QString> picked = picker.pickedValue()) {
            // A listed value is taken whole: a line edit cuts longer texts at its maximum.
            if (picked->size() > m_txtValue->maxLength()) {
                m_txtValue->setMaxLength(int(picked->size()));
            }
            m_txtValue->setText(*picked);
        }
    });
}

void ConditionEditor::pickDate()
{
    // On the heap and watched, like every dialog here.
    const QPointer<QDialog> owned = new QDialog(window());
    const auto discard = qScopeGuard([&owned] { delete owned.data(); });
    QDialog &popup = *owned;
    popup.setObjectName(u"dlgDate"_s);
    popup.setWindowTitle(tr("Date"));
    auto *calendar = new QCalendarWidget(&popup);
    calendar->setObjectName(u"calDate"_s);
    calendar->setAccessibleName(tr("Date"));
    calendar->setAccessibleDescription(tr("Arrow keys move, Enter or a double click takes the day, Escape keeps "
                                          "the value."));
    auto *layout = new QVBoxLayout(&popup);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(calendar);
    // The value's day when it has one (a time of day after it is kept), else today.
    const QString old = m_txtValue->text();
    const QDate day = QDate::fromString(old.left(10), Qt::ISODate);
    calendar->setSelectedDate(day.isValid() ? day : QDate::currentDate());
    connect(calendar, &QCalendarWidget::activated, &popup, &QDialog::accept);
    popup.move(m_cmdGetValue->mapToGlobal(QPoint(0, m_cmdGetValue->height())));
    calendar->setFocus(Qt::OtherFocusReason);
    if (popup.exec() != QDialog::Accepted || !owned || m_abandoned) {
        return;
    }
    const QString rest = day.isValid() ? old.mid(10) : QString();
    m_txtValue->setText(calendar->selectedDate().toString(Qt::ISODate) + rest);
}

void ConditionEditor::offerNarrowing(frmGetValue &picker, int row)
{
    // The other used rows, composed as OK would compose them with this row left out; offered
    // only when there are some, the picked column's name is unique in the statement's result,
    // and the database takes the statement (rows still being typed may not be complete).
    const ConditionTerms rows = conditionTerms();
    const int current = row - 1;
    bool others = false;
    for (int r = 0; r < rows.size(); ++r) {
        others = others || (r != current && rows.at(r).isUsed());
    }
    if (!others) {
        return;
    }
    const QString name = catalogEntryFor(m_run.fieldCatalog, QString::number(termAt(row).column)).colName;
    if (!uniqueResultName(m_run.fieldCatalog, name) || validateConditions(rows, m_run)) {
        return;
    }
    const QString statement = composeCondition(rows, m_run, {current}).statement;
    if (!statement.isEmpty() && testSql(connectionOf(m_run), statement).isEmpty()) {
        picker.setNarrowing(statement, quotedName(name, m_run));
    }
}

QString ConditionEditor::refusedKeyText()
{
    return tr("A number takes digits, one \".\" and a leading \"-\" (at most %1 digits before the point and %2 "
              "after it).")
        .arg(NumberIntegerDigits)
        .arg(NumberDecimals);
}

bool ConditionEditor::valueKeystroke(int key)
{
    // A colIndex that names no catalog entry is reported; the keystroke then goes through.
    reportErrors([&] {
        if (rowTypeClass(m_curRow) == TypeClass::Number) {
            // A list of numbers (between, in, not in) takes commas and blanks; the validator
            // reads each number.
            const auto op = termAt(m_curRow).op;
            if (!op || !takesValueList(*op)) {
                const int typed = key;
                numericKeyFilter(m_txtValue, key, NumberDecimals, NumberIntegerDigits);
                if (key == 0 && typed != 0) {
                    // A dropped key is said, not swallowed: the tip is read out by screen readers too.
                    QToolTip::showText(m_txtValue->mapToGlobal(QPoint(0, m_txtValue->height())),
                                       refusedKeyText(), m_txtValue);
                }
            }
        }
    });
    return key != 0;
}

} // namespace condora
