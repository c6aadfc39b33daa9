// The condition grid MFGQuery of the query dialog and its floating editors: the drop-down
// list comItem for the bracket, Column, Operator and Logical cells, and the Value editor
// txtValue with its ".." button.

#include "dialog/frmcondora.h"

#include "condition/conditioncomposer.h"
#include "condition/conditionoperator.h"
#include "condition/conditionvalidator.h"
#include "dialog/livecount.h"
#include "dialog/catalogentry.h"
#include "dialog/errortraps.h"
#include "dialog/selectlistitem.h"
#include "dialog/twipsgeometry.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/colorcontrast.h"
#include "platform/olecolor.h"
#include "platform/textfunctions.h"
#include "platform/twips.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>

using namespace Qt::StringLiterals;

namespace condora {

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

/// The text a list entry writes into its cell: the classic word with its blanks ("= ", " And "),
/// while the entry shows it without them.
constexpr int CellTextRole = Qt::UserRole + 1;

bool isBlank(const QString &text)
{
    return text::trim(text).isEmpty();
}

} // namespace

int frmCondora::comItemHeight() const
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

ConditionRows frmCondora::conditionRows() const
{
    ConditionRows rows;
    for (int r = 1; r < m_grid->Rows(); ++r) {
        ConditionRow row;
        for (int c = 0; c < ConditionCol::Count; ++c) {
            row.setCell(c, m_grid->TextMatrix(r, c));
        }
        rows.append(row);
    }
    return rows;
}

TypeClass frmCondora::rowTypeClass(int row) const
{
    const QString colIndex = m_grid->TextMatrix(row, ConditionCol::ColIndex);
    return isBlank(colIndex) ? TypeClass::None : catalogEntryFor(m_run.fieldCatalog, colIndex).typeClass;
}

void frmCondora::recompose()
{
    // A failure is reported by the caller's trap and leaves the statement and the preview as
    // they were.
    const ConditionRows rows = conditionRows();
    const ComposedCondition composed = composeCondition(rows, m_run);
    // The grid shows the Operator and Logical cells as the composer trimmed them.
    for (int r = 0; r < rows.size(); ++r) {
        for (int c : {ConditionCol::Operator, ConditionCol::Logical}) {
            if (composed.rows.at(r).cell(c) != rows.at(r).cell(c)) {
                m_grid->setTextMatrix(r + 1, c, composed.rows.at(r).cell(c));
            }
        }
    }
    m_resultSql = composed.statement;
    m_refusal = composed.refusal;
    m_txtCondition->setPlainText(composed.condition);
    if (m_liveCount) { // counted only while the condition would pass Verify's checks
        m_liveCount->setStatement(validateConditions(rows, m_run) ? QString() : m_resultSql);
    }
}

void frmCondora::iniQueryGrid()
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

void frmCondora::iniValue()
{
    m_logicalList = {QString(), u" And "_s, u" Or"_s};
    m_leftBracketList = {QString(), u"("_s, QString()};
    m_rightBracketList = {QString(), u")"_s, QString()};
}

void frmCondora::onGridMouseUp(int button, int /*shift*/, int /*x*/, int /*y*/)
{
    if (button != 2) {
        editCell();
    }
}

void frmCondora::editCell()
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
            m_editOriginal = m_grid->TextMatrix(m_curRow, m_curCol);
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
                loadOperatorsForColumn(m_grid->TextMatrix(m_curRow, ConditionCol::ColIndex));
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

void frmCondora::placeEditors()
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
}

void frmCondora::hideEditors()
{
    m_comItem->hide();
    m_txtValue->hide();
    m_cmdGetValue->hide();
}

void frmCondora::loadColumnList()
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

void frmCondora::loadOperatorList(TypeClass typeClass)
{
    m_comItem->clear();
    reportErrors([&] {
        for (ConditionOperator op : operatorsFor(typeClass, m_run.moreOperators)) {
            addListEntry(operatorText(op));
            m_comItem->setCurrentIndex(-1);
        }
    });
}

void frmCondora::loadOperatorsForColumn(const QString &colIndexText)
{
    reportErrors([&] {
        if (colIndexText.isEmpty()) {
            loadOperatorList(TypeClass::None);
        } else {
            loadOperatorList(catalogEntryFor(m_run.fieldCatalog, colIndexText).typeClass);
        }
    });
}

void frmCondora::loadFixedList(const QStringList &entries)
{
    m_comItem->clear();
    reportErrors([&] {
        for (int i = 1; i < entries.size(); ++i) {
            addListEntry(entries.at(i));
            m_comItem->setCurrentIndex(-1);
        }
    });
}

void frmCondora::addListEntry(const QString &cellText)
{
    // The entry shows no blanks, so that a typed letter finds it and a screen reader reads it
    // plainly; its cell gets the word as it always did.
    const QString shown = text::trim(cellText);
    m_comItem->addItem(shown, 0);
    const int entry = m_comItem->count() - 1;
    m_comItem->setItemData(entry, cellText, CellTextRole);
    if (shown.isEmpty()) {
        // The entry that removes a bracket shows nothing; assistive technology reads this.
        m_comItem->setItemData(entry, tr("No bracket"), Qt::AccessibleTextRole);
    }
}

void frmCondora::loadLogicalList()
{
    loadFixedList(m_logicalList);
}

void frmCondora::loadLeftBracketList()
{
    loadFixedList(m_leftBracketList);
}

void frmCondora::loadRightBracketList()
{
    loadFixedList(m_rightBracketList);
}

void frmCondora::listFocusStep()
{
    reportErrors([this] {
        if (m_curCol == ConditionCol::Column) {
            const QString colIndex = m_grid->TextMatrix(m_curRow, ConditionCol::ColIndex);
            if (isBlank(colIndex)) {
                m_comItem->setCurrentIndex(-1);
            } else {
                selectListItem(m_comItem, colIndex, ListMatch::ItemData);
            }
        } else {
            selectListItem(m_comItem, m_grid->TextMatrix(m_curRow, m_curCol), ListMatch::Text);
        }
    });
}

void frmCondora::valueFocusStep()
{
    reportErrors([this] { m_txtValue->setText(m_grid->TextMatrix(m_curRow, m_curCol)); });
}

void frmCondora::onValueTextChanged(const QString &text)
{
    reportErrors([&] {
        if (!m_suppressValueSync) {
            m_grid->setTextMatrix(m_curRow, m_curCol, text);
        }
        recompose();
        if (!m_suppressValueSync) {
            rememberRows(m_curRow);
        }
    });
}

void frmCondora::onListPicked(int index)
{
    reportErrors([&] {
        if (index < 0) {
            return;
        }
        if (m_curRow != 0) {
            const QVariant cellText = m_comItem->itemData(index, CellTextRole);
            m_grid->setTextMatrix(m_curRow, m_curCol, cellText.isValid() ? cellText.toString() : m_comItem->itemText(index));
            if (m_curCol == ConditionCol::Column) {
                m_grid->setTextMatrix(m_curRow, ConditionCol::ColIndex, QString::number(m_comItem->itemData(index).toInt()));
            }
            refreshValueLock();
        }
        recompose();
        markRow(m_curRow);
        rememberRows();
    });
}

void frmCondora::markRow(int row)
{
    const bool used = !isBlank(m_grid->TextMatrix(row, ConditionCol::Column))
                      && !isBlank(m_grid->TextMatrix(row, ConditionCol::Operator));
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

void frmCondora::refreshValueLock()
{
    reportErrors([this] {
        bool locked = false;
        const QString colIndex = m_grid->TextMatrix(m_curRow, ConditionCol::ColIndex);
        if (!colIndex.isEmpty() && catalogEntryFor(m_run.fieldCatalog, colIndex).typeClass == TypeClass::Boolean) {
            locked = true;
        }
        const QString op = text::lower(m_grid->TextMatrix(m_curRow, ConditionCol::Operator));
        if (op.contains(u"null") || op.contains(u"true") || op.contains(u"false")) {
            locked = true;
        }

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
