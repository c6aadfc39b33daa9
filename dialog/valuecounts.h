#pragma once


#include "platform/ado/recordset.h"

#include <QHash>
#include <QStyledItemDelegate>

#include <memory>
#include <optional>

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

/// A list of values whose second column holds the counts the database estimates ("~123",
/// as text), with the exact counts shown in their place once they are known (setExact()).
/// Everything else passes through to the list's own rows, which go on growing as before.
class EstimatedCounts final : public ado::RowSource
{
public:
    explicit EstimatedCounts(std::shared_ptr<ado::RowSource> source);

    /// Takes the exact counts from every fetched row of `exact` (value, count): from then on a
    /// listed value shows its exact count, found by its text (NULL by itself); a value the
    /// exact rows do not hold keeps its estimate.
    void setExact(const ado::RowSource &exact);
    /// True once setExact() was called.
    bool exact() const { return m_exact; }

    int columnCount() const override { return m_source->columnCount(); }
    QString columnName(int column) const override { return m_source->columnName(column); }
    int fetchedCount() const override { return m_source->fetchedCount(); }
    bool atEnd() const override { return m_source->atEnd(); }
    int fetchMore(int count) override { return m_source->fetchMore(count); }
    QVariant value(int row, int column) const override;
    QString text(int row, int column) const override;
    void release() override { m_source->release(); }
    QString fetchError() const override { return m_source->fetchError(); }
    void shareWithReaders() override { m_source->shareWithReaders(); }
    void lendActivity(std::shared_ptr<ado::StatementActivity> activity, ado::StatementActivity *replaced) override
    {
        m_source->lendActivity(std::move(activity), replaced);
    }

private:
    /// The exact count of the value in `row`, when known.
    std::optional<qint64> exactCount(int row) const;

    std::shared_ptr<ado::RowSource> m_source;
    QHash<QString, qint64> m_counts;
    std::optional<qint64> m_nullCount;
    bool m_exact = false;
};

} // namespace condora
