// The value picker's sort by type: numbers, dates and texts each in their own order.

#include "dialog/valuesort.h"

#include "condition/valuereading.h"
#include "platform/flexgrid/genericcompare.h"

#include <QCollator>
#include <QDateTime>

#include <algorithm>
#include <numeric>
#include <optional>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

/// One row's sort key: its class (NULL, typed value, other text), the typed value and the
/// collation key of its text.
struct SortKey
{
    int rank = 0; // 0 NULL, 1 number or moment, 2 text
    double number = 0;
    qint64 micros = 0;
    std::optional<QCollatorSortKey> text;
};

/// A moment in microseconds since the epoch (UTC) from what the driver read or from the text.
std::optional<qint64> moment(const QVariant &value, const QString &text)
{
    if (value.typeId() == QMetaType::QDateTime) {
        return value.toDateTime().toMSecsSinceEpoch() * 1000;
    }
    if (value.typeId() == QMetaType::QDate) {
        return value.toDate().startOfDay(Qt::UTC).toMSecsSinceEpoch() * 1000;
    }
    const auto written = readWrittenDate(text.trimmed());
    if (!written) {
        return std::nullopt;
    }
    const QTime time = written->time.value_or(QTime(0, 0));
    const QTime whole(time.hour(), time.minute(), time.second());
    qint64 micros = QDateTime(written->date, whole, Qt::UTC).toMSecsSinceEpoch() * 1000;
    micros += written->fraction.leftJustified(6, u'0').left(6).toLongLong();
    if (!written->offset.isEmpty() && written->offset != u"Z"_s) {
        const int sign = written->offset.startsWith(u'-') ? -1 : 1;
        const int minutes = written->offset.mid(1, 2).toInt() * 60 + written->offset.mid(4, 2).toInt();
        micros -= sign * qint64(minutes) * 60 * 1000 * 1000;
    }
    return micros;
}

} // namespace

QList<int> sortedRows(const ado::RowSource &source, int column, ValueSortKind kind, bool descending)
{
    const int count = source.fetchedCount();
    QCollator collator;
    std::vector<SortKey> keys;
    keys.reserve(count);
    for (int row = 0; row < count; ++row) {
        SortKey key;
        const QVariant value = source.value(row, column);
        if (value.isNull()) {
            keys.push_back(std::move(key));
            continue;
        }
        const QString text = source.text(row, column);
        key.rank = 2;
        if (kind == ValueSortKind::Number && readsAsNumber(text, &key.number)) {
            key.rank = 1;
        } else if (kind == ValueSortKind::Date) {
            if (const auto at = moment(value, text)) {
                key.rank = 1;
                key.micros = *at;
            }
        }
        if (key.rank == 2) {
            key.text = collator.sortKey(text);
        }
        keys.push_back(std::move(key));
    }
    auto less = [&keys, kind](int a, int b) {
        const SortKey &x = keys[a];
        const SortKey &y = keys[b];
        if (x.rank != y.rank) {
            return x.rank < y.rank;
        }
        if (x.rank == 1) {
            return kind == ValueSortKind::Date ? x.micros < y.micros : x.number < y.number;
        }
        return x.rank == 2 && x.text->compare(*y.text) < 0;
    };
    QList<int> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), less);
    if (descending) {
        std::reverse(order.begin(), order.end());
    }
    return order;
}

ReorderedRows::ReorderedRows(std::shared_ptr<ado::RowSource> source, QList<int> order)
    : m_source(std::move(source))
    , m_order(std::move(order))
{
}

QVariant ReorderedRows::value(int row, int column) const
{
    return row >= 0 && row < m_order.size() ? m_source->value(m_order.at(row), column) : QVariant();
}

QString ReorderedRows::text(int row, int column) const
{
    return row >= 0 && row < m_order.size() ? m_source->text(m_order.at(row), column) : QString();
}

} // namespace condora
