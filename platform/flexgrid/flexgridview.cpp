#include "platform/flexgrid/flexgridview.h"

#include "platform/colorcontrast.h"
#include "platform/flexgrid/flexgridmodel.h"

#include <algorithm>

#include <QMouseEvent>
#include <QPolygon>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace condora {

namespace {

// Space between a cell's edge and its text, in pixels.
constexpr int TextMargin = 3;

QColor brushColor(const QVariant &value, const QColor &fallback)
{
    return value.canConvert<QBrush>() ? value.value<QBrush>().color() : fallback;
}

/// Draws the cell text and the grid lines on the right and bottom edges of `rect`.
/// The room a cell's text has.
QRect textRectOf(const QRect &cell)
{
    return cell.adjusted(TextMargin, 0, -TextMargin, -1);
}

/// The text as it is seen: blanks at its end (a title's padding) take no room.
QString visibleText(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace()) {
        --end;
    }
    return text.left(end);
}

bool doesNotFit(const QFont &font, const QString &text, const QRect &cell)
{
    return QFontMetrics(font).horizontalAdvance(visibleText(text)) > textRectOf(cell).width();
}

void paintCell(QPainter *painter, const QRect &rect, const QColor &background, const QColor &foreground,
               const QColor &lines, const QFont &font, int alignment, const QString &text, bool elide)
{
    painter->save();
    painter->setClipRect(rect);
    painter->fillRect(rect, background);
    if (!text.isEmpty()) {
        painter->setFont(font);
        painter->setPen(foreground);
        const QRect textRect = textRectOf(rect);
        painter->drawText(textRect, alignment | Qt::TextSingleLine,
                          elide && doesNotFit(font, text, rect)
                              ? QFontMetrics(font).elidedText(visibleText(text), Qt::ElideRight, textRect.width())
                              : text);
    }
    painter->setPen(lines);
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->restore();
}

} // namespace

QColor FlexGridLook::selectionBackground() const
{
    const QColor background = backColorSel.toColor();
    return backColorSel.isSystem() ? readableOn(background, foreColorSel.toColor()) : background;
}

// Delegate -----------------------------------------------------------------------------------

FlexGridDelegate::FlexGridDelegate(const FlexGridLook *look, const FlexGridModel *model, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_look(look)
    , m_model(model)
{
}

void FlexGridDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const int row = index.row() + m_model->headerRows();
    const int col = index.column();
    const bool fixed = m_model->isFixed(row, col);
    const bool selected = !fixed && m_look->isSelected(row, col);

    QColor background;
    QColor foreground;
    if (selected) {
        background = m_look->selectionBackground();
        foreground = m_look->foreColorSel.toColor();
    } else {
        background = brushColor(index.data(Qt::BackgroundRole),
                                (fixed ? m_look->backColorFixed : m_look->backColor).toColor());
        foreground = brushColor(index.data(Qt::ForegroundRole),
                                (fixed ? m_look->foreColorFixed : m_look->foreColor).toColor());
    }
    const QColor lines = (fixed ? m_look->gridColorFixed : m_look->gridColor).toColor();
    paintCell(painter, option.rect, background, foreground, lines, index.data(Qt::FontRole).value<QFont>(),
              index.data(Qt::TextAlignmentRole).toInt(), index.data(Qt::DisplayRole).toString(), m_look->elideText);

    if (row == m_look->row && col == m_look->col && (option.state & QStyle::State_HasFocus)) {
        // The current cell of a focused grid: a thin dotted frame inside the cell.
        painter->save();
        painter->setPen(QPen(foreground, 1, Qt::DotLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option.rect.adjusted(1, 1, -3, -3));
        painter->restore();
    }
}

bool FlexGridDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                 const QModelIndex &index)
{
    if (m_look->elideText && event->type() == QEvent::ToolTip && index.isValid()) {
        const QString text = index.data(Qt::DisplayRole).toString();
        const QFont font = index.data(Qt::FontRole).value<QFont>();
        if (doesNotFit(font, text, option.rect)) {
            QToolTip::showText(event->globalPos(), text, view, option.rect);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

// Header ---------------------------------------------------------------------------------------

FlexHeaderView::FlexHeaderView(const FlexGridLook *look, const FlexGridModel *model, QWidget *parent)
    : QHeaderView(Qt::Horizontal, parent)
    , m_look(look)
    , m_model(model)
{
    setSectionsClickable(false);
    setSectionsMovable(false);
    setHighlightSections(false);
    setSectionResizeMode(QHeaderView::Fixed);
    setMinimumSectionSize(0);
}

void FlexHeaderView::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    if (!rect.isValid() || m_model->headerRows() == 0) {
        return;
    }
    const QColor background = brushColor(m_model->headerData(logicalIndex, Qt::Horizontal, Qt::BackgroundRole),
                                         m_look->backColorFixed.toColor());
    const QColor foreground = brushColor(m_model->headerData(logicalIndex, Qt::Horizontal, Qt::ForegroundRole),
                                         m_look->foreColorFixed.toColor());
    paintCell(painter, rect, background, foreground, m_look->gridColorFixed.toColor(),
              m_model->cellFont(0, logicalIndex),
              m_model->headerData(logicalIndex, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
              m_model->text(0, logicalIndex), m_look->elideText);
    if (isSortIndicatorShown() && sortIndicatorSection() == logicalIndex && rect.width() > 12) {
        // A small triangle at the right end of the title: pointing down for descending.
        const int size = std::min(rect.height() / 3, 8);
        const int x = rect.right() - size - 4;
        const int y = rect.center().y();
        QPolygon arrow;
        if (sortIndicatorOrder() == Qt::DescendingOrder) {
            arrow << QPoint(x, y - size / 2) << QPoint(x + size, y - size / 2) << QPoint(x + size / 2, y + size / 2);
        } else {
            arrow << QPoint(x, y + size / 2) << QPoint(x + size, y + size / 2) << QPoint(x + size / 2, y - size / 2);
        }
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(foreground);
        painter->drawPolygon(arrow);
        painter->restore();
    }
}

void FlexHeaderView::paintEvent(QPaintEvent *event)
{
    QHeaderView::paintEvent(event);
    // Beyond the last column lies the grid's background, not the style's empty header.
    int right = 0;
    for (int section = count() - 1; section >= 0; --section) {
        if (!isSectionHidden(section)) {
            right = sectionViewportPosition(section) + sectionSize(section);
            break;
        }
    }
    QPainter painter(viewport());
    const QRect area = viewport()->rect();
    if (right <= area.right()) {
        painter.fillRect(QRect(QPoint(right, area.top()), area.bottomRight()), m_look->backColorBkg.toColor());
    }
}

void FlexHeaderView::mouseReleaseEvent(QMouseEvent *event)
{
    QHeaderView::mouseReleaseEvent(event);
    Q_EMIT mouseReleased(event);
}

// Table view -----------------------------------------------------------------------------------

FlexTableView::FlexTableView(const FlexGridLook *look, QWidget *parent)
    : QTableView(parent)
    , m_look(look)
{
}

void FlexTableView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        event->accept(); // the current cell stays where it is
        return;
    }
    if (event->button() == Qt::MiddleButton) {
        // The middle button makes a cell current like a plain left click.
        const QModelIndex index = indexAt(event->position().toPoint());
        if (index.isValid()) {
            const bool autoScrolling = hasAutoScroll();
            setAutoScroll(false);
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
            setAutoScroll(autoScrolling);
        }
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void FlexTableView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        QTableView::mouseReleaseEvent(event);
    } else {
        event->accept();
    }
    Q_EMIT mouseReleased(event);
}

void FlexTableView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

void FlexTableView::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(viewport());
        const QRect area = viewport()->rect();
        painter.fillRect(area, m_look->backColorBkg.toColor());
        // Below the last row, under the columns: the unpopulated area, with its column lines.
        const int columns = model() ? model()->columnCount() : 0;
        const int rows = model() ? model()->rowCount() : 0;
        int right = -1;
        for (int col = columns - 1; col >= 0 && right < 0; --col) {
            if (!isColumnHidden(col)) {
                right = columnViewportPosition(col) + columnWidth(col) - 1;
            }
        }
        const int top = rows > 0 ? rowViewportPosition(rows - 1) + rowHeight(rows - 1) : 0;
        if (right >= 0 && top < area.bottom()) {
            const QRect unpopulated(QPoint(area.left(), top), QPoint(std::min(right, area.right()), area.bottom()));
            painter.fillRect(unpopulated, m_look->backColorUnpopulated.toColor());
            painter.setPen(m_look->gridColorUnpopulated.toColor());
            for (int col = 0; col < columns; ++col) {
                if (!isColumnHidden(col)) {
                    const int x = columnViewportPosition(col) + columnWidth(col) - 1;
                    painter.drawLine(x, top, x, area.bottom());
                }
            }
        }
    }
    QTableView::paintEvent(event);
}

} // namespace condora
