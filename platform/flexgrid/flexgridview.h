#pragma once

#include "platform/olecolor.h"

#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QTableView>

namespace condora {

class FlexGridModel;

/// What the grid looks like beyond the cells' own formats: the style colours and the
/// current cell with its selected block (grid rows and columns). Owned by the FlexGrid;
/// the view, its header and its delegate read it while painting.
struct FlexGridLook
{
    OleColor gridColor = OleColor::fromRgb(192, 192, 192);
    OleColor gridColorFixed = OleColor::fromRgb(192, 192, 192);
    OleColor gridColorUnpopulated = OleColor::fromRgb(192, 192, 192);
    OleColor foreColor = OleColor::WindowText;
    OleColor foreColorFixed = OleColor::ButtonText;
    OleColor foreColorSel = OleColor::HighlightText;
    OleColor backColor = OleColor::WindowBackground;
    OleColor backColorBkg = OleColor::ButtonFace;
    OleColor backColorFixed = OleColor::ButtonFace;
    OleColor backColorSel = OleColor::Highlight;
    OleColor backColorUnpopulated = OleColor::ButtonFace;

    /// Text wider than its cell ends in "..." and shows whole in the cell's tool tip.
    bool elideText = false;

    int row = 1;
    int col = 0;
    int rowSel = 1;
    int colSel = 0;

    /// The selection background: in system colours made readable under the selection text.
    QColor selectionBackground() const;

    bool isSelected(int r, int c) const
    {
        return r >= std::min(row, rowSel) && r <= std::max(row, rowSel) && c >= std::min(col, colSel)
               && c <= std::max(col, colSel);
    }
};

/// Paints one cell: background, text in the cell's font and alignment, the grid lines on its
/// right and bottom edges, selection colours for the selected block (fixed cells excepted).
class FlexGridDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    FlexGridDelegate(const FlexGridLook *look, const FlexGridModel *model, QObject *parent);
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

private:
    const FlexGridLook *m_look;
    const FlexGridModel *m_model;
};

/// Paints the title row (grid row 0) in the horizontal header, cell by cell, and reports
/// mouse releases. Its sections are neither clickable nor resizable by the user.
class FlexHeaderView : public QHeaderView
{
    Q_OBJECT

public:
    FlexHeaderView(const FlexGridLook *look, const FlexGridModel *model, QWidget *parent);

Q_SIGNALS:
    void mouseReleased(QMouseEvent *event);

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    const FlexGridLook *m_look;
    const FlexGridModel *m_model;
};

/// The table view inside a FlexGrid: a right click does not move the current cell, mouse
/// releases are reported after the view has handled them, and the area below the last row
/// is painted in the unpopulated colours.
class FlexTableView : public QTableView
{
    Q_OBJECT

public:
    FlexTableView(const FlexGridLook *look, QWidget *parent);

Q_SIGNALS:
    void mouseReleased(QMouseEvent *event);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    const FlexGridLook *m_look;
};

} // namespace condora
