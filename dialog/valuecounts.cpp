// The value picker's "rows per value" column: the bar behind each count, and the estimated
// counts that the exact ones replace.

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

EstimatedCounts::EstimatedCounts(std::shared_ptr<ado::RowSource> source)
    : m_source(std::move(source))
{
}

void EstimatedCounts::setExact(const ado::RowSource &exact)
{
    for (int row = 0; row < exact.fetchedCount(); ++row) {
        const qint64 count = exact.value(row, 1).toLongLong();
        if (exact.value(row, 0).isNull()) {
            m_nullCount = count;
        } else {
            m_counts.insert(exact.text(row, 0), count);
        }
    }
    m_exact = true;
}

std::optional<qint64> EstimatedCounts::exactCount(int row) const
{
    if (!m_exact || row < 0 || row >= m_source->fetchedCount()) {
        return std::nullopt;
    }
    if (m_source->value(row, 0).isNull()) {
        return m_nullCount;
    }
    const auto found = m_counts.constFind(m_source->text(row, 0));
    return found == m_counts.cend() ? std::nullopt : std::optional<qint64>(*found);
}

QVariant EstimatedCounts::value(int row, int column) const
{
    if (column == 1) {
        if (const auto count = exactCount(row)) {
            return QVariant(*count);
        }
    }
    return m_source->value(row, column);
}

QString EstimatedCounts::text(int row, int column) const
{
    if (column == 1) {
        if (const auto count = exactCount(row)) {
            return QString::number(*count);
        }
    }
    return m_source->text(row, column);
}

} // namespace condora
