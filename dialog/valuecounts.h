#pragma once


#include <QStyledItemDelegate>

namespace condora {

/// Draws the picker's "rows per value" column: the cell as `base` draws it, with a bar behind
/// the number whose length is the number's share of the largest count. Set it for the count
/// column only (QAbstractItemView::setItemDelegateForColumn).
class CountBarDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    /// `base` (not owned, must outlive this delegate) draws the cell itself.
    explicit CountBarDelegate(QAbstractItemDelegate *base, QObject *parent = nullptr);

    /// The count a full-width bar stands for; bars are drawn only when it is above 0.
    void setMaximum(qint64 maximum) { m_maximum = maximum; }
    qint64 maximum() const { return m_maximum; }

    /// The bar's width for `count` in a cell `width` pixels wide (0 to width).
    static int barWidth(qint64 count, qint64 maximum, int width);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    QAbstractItemDelegate *m_base;
    qint64 m_maximum = 0;
};

} // namespace condora
