#pragma once


#include "platform/ado/recordset.h"

#include <QList>

#include <memory>

namespace condora {

/// How the picker orders the values of a column.
enum class ValueSortKind {
    /// Numerically; a text that is no number sorts after the numbers, by collation.
    Number,
    /// Chronologically (the value as read, or its text as ISO 8601 with an optional fraction to
    /// the microsecond and offset); a text that is no date sorts after the dates, by collation.
    Date,
    /// By the user's collation (QCollator of the default locale).
    Text,
};

/// The rows of a fully fetched `source` in the order `column` sorts them by `kind`: NULL
/// first, then the values; `descending` gives the exact reverse. Equal values keep their order
/// (stable). The source must have every row fetched.
QList<int> sortedRows(const ado::RowSource &source, int column, ValueSortKind kind,
                                     bool descending);

/// The rows of a fully fetched source in another order (`order` lists source rows), for
/// binding a sorted list to a grid without copying it.
class ReorderedRows : public ado::RowSource
{
public:
    ReorderedRows(std::shared_ptr<ado::RowSource> source, QList<int> order);

    int columnCount() const override { return m_source->columnCount(); }
    QString columnName(int column) const override { return m_source->columnName(column); }
    int fetchedCount() const override { return int(m_order.size()); }
    bool atEnd() const override { return true; }
    int fetchMore(int) override { return 0; }
    QVariant value(int row, int column) const override;
    QString text(int row, int column) const override;

private:
    std::shared_ptr<ado::RowSource> m_source;
    QList<int> m_order;
};

} // namespace condora
