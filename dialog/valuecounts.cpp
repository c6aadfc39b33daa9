// The bar behind each count of the value picker's "rows per value" column.

#include "dialog/valuecounts.h"

#include <QPainter>

namespace condora {

CountBarDelegate::CountBarDelegate(QAbstractItemDelegate *base, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_base(base)
{
}

QSize CountBarDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    return m_base->sizeHint(option, index);
}

int CountBarDelegate::barWidth(qint64 count, qint64 maximum, int width)
{
    if (maximum <= 0 || count <= 0 || width <= 0) {
        return 0;
    }
    return int(std::min<double>(width, double(width) * double(count) / double(maximum) + 0.5));
}

void CountBarDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    m_base->paint(painter, option, index);
    bool ok = false;
    const qint64 count = index.data(Qt::DisplayRole).toString().toLongLong(&ok);
    const int width = ok ? barWidth(count, m_maximum, option.rect.width() - 2) : 0;
    if (width <= 0) {
        return;
    }
    // Blended into the drawn cell so that the number stays on top: multiplied on a light
    // background (dark text stays dark), screened on a dark one (light text stays light).
    const bool light = option.palette.color(QPalette::Base).lightness() >= 128;
    QColor bar = option.palette.color(QPalette::Highlight);
    bar = light ? bar.lighter(170) : bar.darker(250);
    painter->save();
    painter->setCompositionMode(light ? QPainter::CompositionMode_Multiply : QPainter::CompositionMode_Screen);
    painter->fillRect(QRect(option.rect.left() + 1, option.rect.top() + 2, width, option.rect.height() - 5), bar);
    painter->restore();
}

} // namespace condora
