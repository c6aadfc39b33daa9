// The condition editor: the grid MFGQuery with the condition rows, its floating editors (the
// drop-down list comItem for the bracket, Column, Operator and Logical cells, and the Value
// editor txtValue with its ".." button) and the composition of the rows. Keyboard use is in
// conditioneditorkeys.cpp, the row commands, value entry and undo in conditioneditorrows.cpp.

#include "dialog/conditioneditor.h"

#include "condition/conditioncomposer.h"
#include "condition/conditionoperator.h"
#include "condition/conditionvalidator.h"
#include "dialog/livecount.h"
#include "dialog/catalogentry.h"
#include "dialog/errortraps.h"
#include "dialog/twipsgeometry.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/colorcontrast.h"
#include "platform/olecolor.h"
#include "platform/textfunctions.h"
#include "platform/twips.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScopeGuard>
#include <QTableView>

#include <cmath>
#include <limits>
#include <utility>

using namespace Qt::StringLiterals;

namespace condora {

using errortraps::ignoreErrors;
using errortraps::reportErrors;
using twipsgeometry::setTwipsGeometry;
using twipsgeometry::twipsGeometry;

namespace {

/// Text colour of a row the composer uses, on a light background.
constexpr OleColor UsedRowColor(0x377627);
/// The rows' and the editors' height of the design, in twips: the least they get.
constexpr int DesignRowHeight = 300;
/// Pixels a row keeps above and below its text together.
constexpr int RowTextPadding = 4;

/// What a list entry sets in its cell: an operator, a bracket count or a logical word (the
/// Column list keeps the catalog position in Qt::UserRole).
constexpr int EntryValueRole = Qt::UserRole + 1;

} // namespace

ConditionEditor::ConditionEditor(const QueryRun &run, QWidget *parent)
    : QWidget(parent)
    , m_run(run)
{
    setObjectName(u"conditionEditor"_s);
    m_model = new ConditionModel(run.fieldCatalog, this);
    m_model->appendTerm();
    createControls();
    // The grid follows the model; the model adds, removes and moves one row at a time.
    connect(m_model, &ConditionModel::dataChanged, this,
            [this](const QModelIndex &first, const QModelIndex &last) {
                for (int r = first.row(); r <= last.row(); ++r) {
                    showRowTexts(r);
                }
            });
    connect(m_model, &ConditionModel::modelReset, this, &ConditionEditor::showAllRows);
    connect(m_model, &ConditionModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int) { onModelRowInserted(first); });
    connect(m_model, &ConditionModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int) { onModelRowRemoved(first); });
    connect(m_model, &ConditionModel::rowsMoved, this,
            [this](const QModelIndex &, int from, int, const QModelIndex &, int before) {
                onModelRowMoved(from, before > from ? before - 1 : before);
            });
}

ConditionEditor::~ConditionEditor() = default;

void ConditionEditor::createControls()
{
    m_grid = new FlexGrid(this);
    m_grid->setObjectName(u"MFGQuery"_s);
    QFont gridFont(u"MS Sans Serif"_s);
    gridFont.setPointSizeF(8.25);
    m_grid->setFont(gridFont);
    m_grid->setToolTipText(tr("The row in green will be used."));
    m_grid->setTextElided(true);

    m_txtValue = new QLineEdit(this);
    m_txtValue->setObjectName(u"txtValue"_s);
    // A value of any length reaches the condition whole (a line edit keeps 32767 characters
    // unless told otherwise, and would cut a pasted value without a word).
    m_txtValue->setMaxLength(std::numeric_limits<int>::max());
    setTwipsGeometry(m_txtValue, QRect(2580, 3660, 1455, 270));
    m_txtValue->hide();
    m_txtValue->installEventFilter(this);

    m_comItem = new QComboBox(this);
    m_comItem->setObjectName(u"comItem"_s);
    m_comItem->setEditable(false);
    setTwipsGeometry(m_comItem, QRect(4320, 3600, 1455, 300));
    m_comItem->hide();
    m_comItem->installEventFilter(this);

    m_cmdGetValue = new QPushButton(u".."_s, this);
    m_cmdGetValue->setObjectName(u"cmdGetValue"_s);
    // Enter in the Value editor must not press a button.
    m_cmdGetValue->setAutoDefault(false);
    m_cmdGetValue->setDefault(false);
    setTwipsGeometry(m_cmdGetValue, QRect(5820, 3600, 315, 315));
    m_cmdGetValue->setToolTip(tr("Get value"));
    m_cmdGetValue->hide();

    // The floating editors lie over the grid.
    m_comItem->raise();
    m_txtValue->raise();
    m_cmdGetValue->raise();

    connect(m_cmdGetValue, &QPushButton::clicked, this, &ConditionEditor::onGetValue);
    connect(m_comItem, &QComboBox::activated, this, &ConditionEditor::onListPicked);
    connect(m_comItem, &QComboBox::activated, this, [this] {
        // One Enter in a drop-down opened from the keyboard picks and leaves the cell.
        if (std::exchange(m_popupByKeyboard, false) && m_comItem->isVisible()) {
            closeEditor();
        }
    });
    m_cmdGetValue->installEventFilter(this);
    connect(m_txtValue, &QLineEdit::textChanged, this, &ConditionEditor::onValueTextChanged);
    connect(m_grid, &FlexGrid::MouseUp, this, &ConditionEditor::onGridMouseUp);
    m_grid->view()->installEventFilter(this);
    nameControls();
    connect(m_grid, &FlexGrid::Scroll, this, &ConditionEditor::hideEditors);
}

void ConditionEditor::load()
{
    m_curRow = 1;
    m_curCol = 0;
    iniQueryGrid();
}

void ConditionEditor::fitToFonts()
{
    // What the user types in a cell looks as it will in the cell.
    for (QWidget *editor : std::initializer_list<QWidget *>{m_comItem, m_txtValue, m_cmdGetValue}) {
        editor->setFont(m_grid->Font());
    }
}

void ConditionEditor::startEditing()
{
    reportErrors([this] {
        m_grid->setRowHeight(0, comItemHeight());
        m_grid->setRowHeight(1, comItemHeight());
    });
    // The grid's current cell starts where the editing state does (row 1, column 0), not on
    // the header cell that the header formatting left current.
    ignoreErrors([this] {
        m_grid->setRow(m_curRow);
        m_grid->setCol(m_curCol);
    });
    m_suppressValueSync = false;
    m_history = {conditionTerms()};
    m_historyPos = 0;
}

void ConditionEditor::place(const QRect &twips)
{
    setTwipsGeometry(this, twips);
    setTwipsGeometry(m_grid, QRect(0, 0, twips.width(), twips.height()));
    ignoreErrors([this] { sizeColumns(); });
    ignoreErrors([this] { placeEditors(); });
}

void ConditionEditor::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // place() sizes the grid with the editor; resized by other means, the grid still fills it.
    if (m_grid->size() != size()) {
        m_grid->resize(size());
    }
}

void ConditionEditor::sizeColumns()
{
    reportErrors([this] {
        double total = 0;
        for (int j = 1; j <= 7; ++j) {
            total += m_colWidths.value(j);
        }
        if (total <= 0) {
            return;
        }
        const double room = std::nearbyint(double(twipsGeometry(m_grid).width()) - 435.0);
        for (int j = 1; j <= 7; ++j) {
            // nearbyint rounds halves to even in the default rounding mode.
            m_grid->setColWidth(j - 1, int(std::nearbyint(m_colWidths.value(j) / total * room)));
        }
    });
}

void ConditionEditor::setTabOrderAfter(QWidget *previous)
{
    QWidget::setTabOrder(previous, m_txtValue);
    QWidget::setTabOrder(m_txtValue, m_comItem);
    QWidget::setTabOrder(m_comItem, m_cmdGetValue);
    QWidget::setTabOrder(m_cmdGetValue, m_grid);
}

void ConditionEditor::selectCells(int row, int firstCol, int lastCol)
{
    m_grid->setRow(row);
    m_grid->setRowSel(row);
    m_grid->setCol(firstCol);
    m_grid->setColSel(lastCol);
}

bool ConditionEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *keyEvent = static_cast<QKeyEvent *>(event);
        if ((watched == m_grid->view() || watched == m_comItem || watched == m_txtValue) && undoRedoKey(keyEvent)) {
            return true;
        }
        if (watched == m_cmdGetValue
            && (keyEvent->key() == Qt::Key_Return || keyEvent->key() == Qt::Key_Enter)) {
            // Reached by Enter from a number value: Enter goes on to the next cell.
            closeEditor();
            stepCell(true);
            return true;
        }
        if ((watched == m_grid->view() && gridKeyPress(keyEvent)) || (watched == m_comItem && listKeyPress(keyEvent))
            || (watched == m_txtValue && valueEditorKeyPress(keyEvent))) {
            return true;
        }
    }
    if (watched == m_comItem && event->type() == QEvent::FocusIn && !m_inEditCell) {
        listFocusStep();
        return false;
    }
    if (watched == m_txtValue && event->type() == QEvent::FocusIn && !m_inEditCell) {
        valueFocusStep();
        return false;
    }
    if (watched == m_txtValue && event->type() == QEvent::KeyPress) {
        const auto *keyEvent = static_cast<QKeyEvent *>(event);
        int key = 0;
        if (keyEvent->key() == Qt::Key_Return || keyEvent->key() == Qt::Key_Enter) {
            key = 13;
        } else if (keyEvent->key() == Qt::Key_Backspace) {
            key = 8;
        } else if (!keyEvent->text().isEmpty()
                   && (keyEvent->text().at(0).unicode() >= 0x20
                       || keyEvent->modifiers().testFlag(Qt::ControlModifier))) {
            key = keyEvent->text().at(0).unicode();
        } else {
            return false; // not a character keystroke: editing keys pass unfiltered
        }
        return !valueKeystroke(key);
    }
    return QWidget::eventFilter(watched, event);
}

int ConditionEditor::comItemHeight() const
{
    // The design height, or what the fonts ask for when they need more: a row's text with its
    // padding (the header's titles are bold, at 10 points), and each editor at its own size.
    QFont title = m_grid->FontFixed();
    title.setBold(true);
    title.setPointSize(10);
    const int text = std::max(QFontMetrics(m_grid->Font()).height(), QFontMetrics(title).height()) + RowTextPadding;
    const int editors = std::max(m_comItem->sizeHint().height(), m_txtValue->sizeHint().height());
    return std::max(DesignRowHeight, twips::fromPixels(std::max(text, editors)));
}

ConditionRows ConditionEditor::conditionRows() const
{
    return m_model->displayRows();
}

TypeClass ConditionEditor::rowTypeClass(int row) const
{
    const int column = termAt(row).column;
    return column == 0 ? TypeClass::None : catalogEntryFor(m_run.fieldCatalog, QString::number(column)).typeClass;
}

void ConditionEditor::recompose()
{
    // A failure is reported by the caller's trap and leaves the statement and the preview as
    // they were.
    Q_EMIT composed(composeCondition(conditionTerms(), m_run));
}

void ConditionEditor::showRowTexts(int modelRow)
{
    reportErrors([&] {
        const int row = modelRow + 1;
        if (row >= m_grid->Rows()) {
            return;
        }
        const ConditionRow cells = m_model->displayRow(modelRow);
        for (int c = 0; c < ConditionCol::Count; ++c) {
            const QString text = cells.cell(c);
            if (m_grid->TextMatrix(row, c) != text) {
                m_grid->setTextMatrix(row, c, text);
            }
        }
    });
}

void ConditionEditor::showAllRows()
{
    reportErrors([this] {
        const int count = m_model->rowCount();
        m_grid->setRows(std::max(count, 1) + 1);
        for (int r = 0; r < count; ++r) {
            m_grid->setRowHeight(r + 1, comItemHeight());
            showRowTexts(r);
        }
    });
}

void ConditionEditor::onModelRowInserted(int modelRow)
{
    reportErrors([&] {
        const int count = m_model->rowCount();
        const int shown = m_grid->Rows() - m_grid->FixedRows();
        if (shown == count) {
            // The grid's one empty row stood for no rows at all.
            showRowTexts(modelRow);
        } else if (modelRow == count - 1 && shown == count - 1) {
            m_grid->AddItem(QString());
            m_grid->setRowHeight(modelRow + 1, comItemHeight());
            showRowTexts(modelRow);
        } else {
            showAllRows();
            for (int r = 1; r <= count; ++r) {
                markRow(r);
            }
        }
    });
}

void ConditionEditor::onModelRowRemoved(int modelRow)
{
    reportErrors([&] {
        if (m_grid->Rows() - m_grid->FixedRows() <= 1) {
            // The grid keeps one empty row.
            resetGridRows(*m_grid);
            m_grid->setRowHeight(1, comItemHeight());
        } else {
            m_grid->RemoveItem(modelRow + 1);
        }
    });
}

void ConditionEditor::onModelRowMoved(int from, int to)
{
    showAllRows();
    for (int r = std::min(from, to); r <= std::max(from, to); ++r) {
        reportErrors([&] { markRow(r + 1); });
    }
}

void ConditionEditor::iniQueryGrid()
{
    reportErrors([this] {
        // The header row, the seven columns and their alignments in one; each title keeps its
        // design width in characters whatever its language.
        m_grid->setFormatString(u"   (|<"_s + tr("Column").leftJustified(25) + u"|<"_s
                                + tr("Operator").leftJustified(13) + u"|<"_s + tr("Value").leftJustified(25)
                                + u"|<)   |<"_s + tr("Logical").leftJustified(10) + u"|<colIndex"_s);
        for (int col = 0; col <= ConditionCol::Logical; ++col) {
            m_grid->setRow(0);
            m_grid->setCol(col);
            m_grid->setCellFontBold(true);
            m_grid->setCellFontSize(10);
        }
        m_colWidths = {0, 450, 2200, 1245, 2200, 450, 900, 0};
    });
}

void ConditionEditor::onGridMouseUp(int button, int /*shift*/, int /*x*/, int /*y*/)
{
    if (button != 2) {
        editCell();
    }
}

void ConditionEditor::editCell()
{
    reportErrors([this] {
        m_inEditCell = true;
        m_popupByKeyboard = false;
        m_typed.clear();
        m_typingRow = 0;
        const auto leaveEditCell = qScopeGuard([this] { m_inEditCell = false; });

        if (m_grid->Col() > ConditionCol::Logical) {
            m_grid->setCol(ConditionCol::Logical);
        }
        m_curRow = m_grid->Row();
        m_curCol = m_grid->Col();
        placeEditors();

        if (m_curCol == ConditionCol::Value) {
            m_comItem->hide();
            m_txtValue->show();
            m_cmdGetValue->show();
            m_editOriginal = termAt(m_curRow).value;
            m_suppressValueSync = true;
            m_txtValue->setText(QString());
            m_suppressValueSync = false;
            if (m_txtValue->isEnabled()) {
                const TypeClass typeClass = rowTypeClass(m_curRow);
                QString tip;
                // The form the value is read in, shown while the editor is empty.
                QString placeholder;
                if (typeClass == TypeClass::Number) {
                    tip = tr("Number");
                    placeholder = tr("e.g. %1").arg(u"-12.5"_s);
                } else if (isTextClass(typeClass)) {
                    tip = tr("Character");
                } else if (typeClass == TypeClass::Date) {
                    tip = tr("Date");
                    placeholder = tr("e.g. %1 or %2").arg(u"2001-01-05"_s, u"2001-01-05 13:45:00"_s);
                }
                m_txtValue->setToolTip(tip);
                m_txtValue->setPlaceholderText(placeholder);
                m_txtValue->setFocus(Qt::MouseFocusReason);
                valueFocusStep();
            }
        } else {
            m_comItem->show();
            m_txtValue->hide();
            m_cmdGetValue->hide();
            switch (m_curCol) {
            case ConditionCol::Column:
                loadColumnList();
                break;
            case ConditionCol::Operator:
                loadOperatorsForRow(m_curRow);
                break;
            case ConditionCol::OpenBracket:
                loadLeftBracketList();
                break;
            case ConditionCol::CloseBracket:
                loadRightBracketList();
                break;
            default:
                loadLogicalList();
                break;
            }
            m_comItem->setFocus(Qt::MouseFocusReason);
            listFocusStep();
        }
        refreshValueLock();
    });
}

void ConditionEditor::placeEditors()
{
    const int height = comItemHeight();
    m_grid->setRowHeight(m_grid->RowSel(), height);

    const QRect grid = twipsGeometry(m_grid);
    const int top = grid.top() + m_grid->CellTop() - 20;
    const int left = grid.left() + m_grid->CellLeft() - 20;
    const int cellWidth = m_grid->CellWidth();

    setTwipsGeometry(m_comItem, QRect(left, top, cellWidth, height));

    const int buttonWidth = twipsGeometry(m_cmdGetValue).width();
    const int valueWidth = cellWidth - buttonWidth > 0 ? cellWidth - buttonWidth : 0;
    setTwipsGeometry(m_txtValue, QRect(left, top, valueWidth, height));
    setTwipsGeometry(m_cmdGetValue, QRect(left + valueWidth, top, buttonWidth, height));

    // An editor reaches one pixel over its cell's border, but this widget clips its children
    // where the grid begins: at the grid's left and top edge the editor starts at the edge (its
    // right and bottom stay where they were).
    for (QWidget *editor : std::initializer_list<QWidget *>{m_comItem, m_txtValue, m_cmdGetValue}) {
        QRect inside = editor->geometry();
        inside.setLeft(std::max(inside.left(), 0));
        inside.setTop(std::max(inside.top(), 0));
        if (inside != editor->geometry()) {
            editor->setGeometry(inside);
        }
    }
}

void ConditionEditor::hideEditors()
{
    m_comItem->hide();
    m_txtValue->hide();
    m_cmdGetValue->hide();
}

void ConditionEditor::loadColumnList()
{
    m_comItem->clear();
    reportErrors([this] {
        const FieldCatalog &catalog = m_run.fieldCatalog;
        for (int i = 1; i < catalog.size(); ++i) {
            if (catalog.at(i).usable) {
                m_comItem->addItem(catalog.at(i).colName, i);
                m_comItem->setCurrentIndex(-1);
            }
        }
    });
}

void ConditionEditor::loadOperatorList(TypeClass typeClass)
{
    m_comItem->clear();
    reportErrors([&] {
        for (ConditionOperator op : operatorsFor(typeClass, m_run.moreOperators)) {
            addListEntry(operatorText(op), int(op));
            m_comItem->setCurrentIndex(-1);
        }
    });
}

void ConditionEditor::loadOperatorsForRow(int row)
{
    reportErrors([&] { loadOperatorList(rowTypeClass(row)); });
}

void ConditionEditor::addListEntry(const QString &cellText, int value)
{
    // The entry shows no blanks, so that a typed letter finds it and a screen reader reads it
    // plainly.
    const QString shown = text::trim(cellText);
    m_comItem->addItem(shown, 0);
    const int entry = m_comItem->count() - 1;
    m_comItem->setItemData(entry, value, EntryValueRole);
    if (shown.isEmpty()) {
        // The entry that removes a bracket shows nothing; assistive technology reads this.
        m_comItem->setItemData(entry, tr("No bracket"), Qt::AccessibleTextRole);
    }
}

void ConditionEditor::loadLogicalList()
{
    m_comItem->clear();
    for (LogicalWord word : {LogicalWord::And, LogicalWord::Or}) {
        addListEntry(logicalCell(word), int(word));
        m_comItem->setCurrentIndex(-1);
    }
}

void ConditionEditor::loadLeftBracketList()
{
    m_comItem->clear();
    addListEntry(u"("_s, 1);
    addListEntry(QString(), 0);
    m_comItem->setCurrentIndex(-1);
}

void ConditionEditor::loadRightBracketList()
{
    m_comItem->clear();
    addListEntry(u")"_s, 1);
    addListEntry(QString(), 0);
    m_comItem->setCurrentIndex(-1);
}

void ConditionEditor::listFocusStep()
{
    reportErrors([this] {
        const ConditionTerm term = termAt(m_curRow);
        // The entry that sets what the cell holds; none when no entry does.
        std::optional<int> value;
        int role = EntryValueRole;
        switch (m_curCol) {
        case ConditionCol::Column:
            role = Qt::UserRole;
            value = term.column > 0 ? std::optional<int>(term.column) : std::nullopt;
            break;
        case ConditionCol::Operator:
            value = term.op ? std::optional<int>(int(*term.op)) : std::nullopt;
            break;
        case ConditionCol::OpenBracket:
            value = term.openBrackets;
            break;
        case ConditionCol::CloseBracket:
            value = term.closeBrackets;
            break;
        default:
            value = int(term.logical);
            break;
        }
        const int index = value ? m_comItem->findData(*value, role) : -1;
        if (index >= 0 || m_curCol != ConditionCol::Column || !value) {
            m_comItem->setCurrentIndex(index);
        }
    });
}

void ConditionEditor::valueFocusStep()
{
    reportErrors([this] { m_txtValue->setText(termAt(m_curRow).value); });
}

void ConditionEditor::onValueTextChanged(const QString &text)
{
    reportErrors([&] {
        if (!m_suppressValueSync) {
            m_model->setValue(m_curRow - 1, text);
        }
        recompose();
        if (!m_suppressValueSync) {
            rememberRows(m_curRow);
        }
    });
}

void ConditionEditor::onListPicked(int index)
{
    reportErrors([&] {
        if (index < 0) {
            return;
        }
        if (m_curRow != 0) {
            const int row = m_curRow - 1;
            const int value = m_comItem->itemData(index, EntryValueRole).toInt();
            switch (m_curCol) {
            case ConditionCol::Column:
                m_model->setColumn(row, m_comItem->itemData(index).toInt());
                break;
            case ConditionCol::Operator:
                m_model->setOperator(row, ConditionOperator(value));
                break;
            case ConditionCol::OpenBracket:
                m_model->setOpenBrackets(row, value);
                break;
            case ConditionCol::CloseBracket:
                m_model->setCloseBrackets(row, value);
                break;
            default:
                m_model->setLogical(row, LogicalWord(value));
                break;
            }
            refreshValueLock();
        }
        recompose();
        markRow(m_curRow);
        rememberRows();
    });
}

void ConditionEditor::markRow(int row)
{
    const bool used = m_model->displayRow(row - 1).isUsed();
    // The green follows the grid's background (light or dark palette, or the host's colour)
    // so that it keeps a readable contrast; bold text and the row's note tell a used row
    // apart without colour.
    const OleColor colour = used ? OleColor::fromColor(readableOn(UsedRowColor.toColor(), m_grid->BackColor().toColor()))
                                 : OleColor(OleColor::WindowText);
    const int currentRow = m_grid->Row();
    if (row != currentRow) {
        m_grid->setRow(row);
    }
    for (int col = 0; col < m_grid->Cols(); ++col) {
        m_grid->setCol(col);
        m_grid->setCellForeColor(colour);
        m_grid->setCellFontBold(used);
    }
    if (row != currentRow) {
        m_grid->setRow(currentRow);
    }
    m_grid->setCol(m_curCol);
    m_grid->setRowMark(row, used ? tr("used in the condition") : QString());
}

void ConditionEditor::refreshValueLock()
{
    reportErrors([this] {
        // A boolean column and the truth and null tests take no value.
        const std::optional<ConditionOperator> op = termAt(m_curRow).op;
        const bool locked = rowTypeClass(m_curRow) == TypeClass::Boolean
                            || (op
                                && (*op == ConditionOperator::Null || *op == ConditionOperator::NotNull
                                    || *op == ConditionOperator::True || *op == ConditionOperator::False));

        // An open Value cell and its editor take the palette's text colours; a locked one its
        // button colours, so the text stays readable in light and dark palettes alike.
        const OleColor background(locked ? OleColor::ButtonFace : OleColor::WindowBackground);
        m_grid->setRow(m_curRow);
        m_grid->setCol(ConditionCol::Value);
        m_grid->setCellBackColor(background);
        QPalette palette; // the roles left unset follow the dialog's palette
        if (locked) {
            const QPalette inherited = this->palette();
            for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
                palette.setColor(group, QPalette::Base, inherited.color(group, QPalette::Button));
                palette.setColor(group, QPalette::Text, inherited.color(group, QPalette::ButtonText));
            }
        }
        m_txtValue->setPalette(palette);
        m_txtValue->setReadOnly(locked);
        m_cmdGetValue->setEnabled(!locked);
        m_grid->setRow(m_curRow);
        m_grid->setCol(m_curCol);
    });
}

} // namespace condora
