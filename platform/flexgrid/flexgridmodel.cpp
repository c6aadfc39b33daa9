#include "platform/flexgrid/flexgridmodel.h"

#include "platform/ado/recordset.h"
#include "platform/flexgrid/genericcompare.h"

#include <QBrush>
#include <QCoreApplication>
#include <QScopedValueRollback>

#include <algorithm>
#include <exception>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

// Rows fetched per step when everything remaining is wanted at once.
constexpr int FetchAllStep = 65536;

QString cellOf(const QList<QString> &texts, int col)
{
    return col < texts.size() ? texts.at(col) : QString();
}

} // namespace

FlexGridModel::FlexGridModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

FlexGridModel::~FlexGridModel() = default;

// Cells --------------------------------------------------------------------------------------

const FlexGridModel::Row *FlexGridModel::localRow(int row) const
{
    if (row < head()) {
        return &m_rows[size_t(row)];
    }
    const auto it = m_edited.find(sourceIndex(row - head()));
    return it == m_edited.end() ? nullptr : &it->second;
}

FlexGridModel::Row &FlexGridModel::mutableRow(int row)
{
    if (row < head()) {
        return m_rows[size_t(row)];
    }
    const int source = sourceIndex(row - head());
    auto it = m_edited.find(source);
    if (it == m_edited.end()) {
        it = m_edited.emplace(source, sourceRow(source)).first;
    }
    return it->second;
}

FlexGridModel::Row FlexGridModel::sourceRow(int sourceIndex) const
{
    Row row;
    const int end = m_sourceFirstCol + m_sourceColumns;
    row.texts.resize(m_sourceFirstCol);
    row.texts.reserve(end);
    for (int col = m_sourceFirstCol; col < end; ++col) {
        if (sourceNull(sourceIndex, col)) {
            row.nulls.resize(end);
            row.nulls.setBit(col);
            row.texts.append(QString());
        } else {
            row.texts.append(sourceText(sourceIndex, col));
        }
    }
    return row;
}

bool FlexGridModel::sourceNull(int sourceIndex, int col) const
{
    const int sourceCol = col - m_sourceFirstCol;
    if (m_nullText.isEmpty() || m_plainText || sourceCol < 0 || sourceCol >= m_sourceColumns) {
        return false;
    }
    try {
        return m_source->value(sourceIndex, sourceCol).isNull();
    } catch (const std::exception &) {
        return false;
    }
}

bool FlexGridModel::isNull(int row, int col) const
{
    if (const Row *local = localRow(row)) {
        return col < local->nulls.size() && local->nulls.testBit(col);
    }
    return sourceNull(sourceIndex(row - head()), col);
}

void FlexGridModel::setNullText(const QString &text)
{
    m_nullText = text;
    emitAllChanged();
}

QString FlexGridModel::sourceText(int sourceIndex, int col) const
{
    const int sourceCol = col - m_sourceFirstCol;
    if (sourceCol < 0 || sourceCol >= m_sourceColumns) {
        return QString();
    }
    try {
        if (m_plainText) {
            const QVariant value = m_source->value(sourceIndex, sourceCol);
            return value.isNull() ? QString() : value.toString();
        }
        return m_source->text(sourceIndex, sourceCol);
    } catch (const std::exception &) {
        return QString();
    }
}

QString FlexGridModel::text(int row, int col) const
{
    if (const Row *local = localRow(row)) {
        if (col < local->nulls.size() && local->nulls.testBit(col)) {
            return m_nullText;
        }
        return cellOf(local->texts, col);
    }
    const int source = sourceIndex(row - head());
    if (sourceNull(source, col)) {
        return m_nullText;
    }
    return sourceText(source, col);
}

void FlexGridModel::setText(int row, int col, const QString &text)
{
    Row &target = mutableRow(row);
    const bool wasNull = col < target.nulls.size() && target.nulls.testBit(col);
    if (wasNull) {
        target.nulls.clearBit(col);
    }
    if (target.texts.size() <= col) {
        if (text.isEmpty()) {
            if (wasNull) {
                emitCellChanged(row, col);
            }
            return;
        }
        target.texts.resize(col + 1);
    }
    target.texts[col] = text;
    emitCellChanged(row, col);
}

CellFormat FlexGridModel::format(int row, int col) const
{
    const Row *local = localRow(row);
    return local ? local->formats.value(col) : CellFormat();
}

void FlexGridModel::setFormat(int row, int col, const CellFormat &format)
{
    Row &target = mutableRow(row);
    if (target.formats.size() <= col) {
        target.formats.resize(m_cols);
    }
    target.formats[col] = format;
    emitCellChanged(row, col);
}

void FlexGridModel::setAlignment(int col, ColumnAlignment alignment)
{
    m_alignment[col] = alignment;
    if (rowCount() > 0) {
        Q_EMIT dataChanged(index(0, col), index(rowCount() - 1, col), {Qt::TextAlignmentRole});
    }
    Q_EMIT headerDataChanged(Qt::Horizontal, col, col);
}

QFont FlexGridModel::cellFont(int row, int col) const
{
    QFont font = isFixed(row, col) ? m_fontFixed : m_font;
    const CellFormat cell = format(row, col);
    if (cell.has(CellFormat::HasBold)) {
        font.setBold(cell.has(CellFormat::Bold));
    }
    if (cell.has(CellFormat::HasSize)) {
        font.setPointSizeF(cell.size);
    }
    return font;
}

// Structure ------------------------------------------------------------------------------------

void FlexGridModel::setRowCount(int count)
{
    if (count <= 1) {
        m_fetchError.clear();
    }
    if (m_source && count > rows()) {
        fetchAll();
    }
    const int old = rows();
    const int hr = headerRows();
    if (count < old) {
        beginRemoveRows(QModelIndex(), count - hr, old - 1 - hr);
        if (m_source && count > head()) {
            detach(count - head());
        } else {
            if (m_source) {
                detach(0);
            }
            m_rows.resize(size_t(count));
        }
        endRemoveRows();
    } else if (count > old) {
        detach(m_boundCount);
        beginInsertRows(QModelIndex(), old - hr, count - 1 - hr);
        m_rows.resize(size_t(count));
        endInsertRows();
    }
}

void FlexGridModel::setColCount(int count)
{
    const int old = m_cols;
    if (count < old) {
        beginRemoveColumns(QModelIndex(), count, old - 1);
        m_cols = count;
        const auto truncate = [count](Row &row) {
            if (row.texts.size() > count) {
                row.texts.resize(count);
            }
            if (row.formats.size() > count) {
                row.formats.resize(count);
            }
            if (row.nulls.size() > count) {
                row.nulls.resize(count);
            }
        };
        for (Row &row : m_rows) {
            truncate(row);
        }
        for (auto &edited : m_edited) {
            truncate(edited.second);
        }
        m_alignment.resize(count);
        m_sourceColumns = std::clamp(count - m_sourceFirstCol, 0, m_sourceColumns);
        m_fixedCols = std::min(m_fixedCols, count);
        endRemoveColumns();
    } else if (count > old) {
        beginInsertColumns(QModelIndex(), old, count - 1);
        m_cols = count;
        m_alignment.resize(count, ColumnAlignment::General);
        endInsertColumns();
    }
}

void FlexGridModel::setFixedRows(int count)
{
    const bool hadHeader = headerRows() == 1;
    const bool header = count > 0;
    if (hadHeader && !header) {
        // Row 0 leaves the header and becomes the first body row.
        beginInsertRows(QModelIndex(), 0, 0);
        m_fixedRows = count;
        endInsertRows();
    } else if (!hadHeader && header) {
        beginRemoveRows(QModelIndex(), 0, 0);
        m_fixedRows = count;
        endRemoveRows();
    } else {
        m_fixedRows = count;
    }
    emitAllChanged();
}

void FlexGridModel::setFixedCols(int count)
{
    m_fixedCols = count;
    emitAllChanged();
}

void FlexGridModel::appendRow(const QStringList &texts)
{
    materialize();
    const int row = rows() - headerRows();
    beginInsertRows(QModelIndex(), row, row);
    Row added;
    added.texts = texts.mid(0, m_cols);
    m_rows.push_back(std::move(added));
    endInsertRows();
}

void FlexGridModel::removeRow(int row)
{
    materialize();
    const int modelRow = row - headerRows();
    beginRemoveRows(QModelIndex(), modelRow, modelRow);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
}

void FlexGridModel::sortRows(int firstRow, int col, bool descending)
{
    // Bound rows are sorted where they are, through their order; rows that mix local and bound
    // ones become local first.
    const bool inSource = m_source && firstRow >= head();
    if (inSource) {
        fetchAll();
    } else {
        materialize();
    }
    const int count = rows();
    if (count - firstRow < 2) {
        return;
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);

    std::vector<std::pair<GenericSortKey, int>> keys;
    keys.reserve(size_t(count - firstRow));
    for (int row = firstRow; row < count; ++row) {
        const Row *local = localRow(row);
        // A bound row sorts by the text a local copy of it would hold.
        const QString text = local ? cellOf(local->texts, col) : sourceText(sourceIndex(row - head()), col);
        keys.emplace_back(GenericSortKey(text), row);
    }
    std::stable_sort(keys.begin(), keys.end(), [descending](const auto &a, const auto &b) {
        const int order = genericCompare(a.first, b.first);
        return descending ? order > 0 : order < 0;
    });

    std::vector<int> newPosition(static_cast<size_t>(count));
    for (int row = 0; row < firstRow; ++row) {
        newPosition[size_t(row)] = row;
    }
    if (inSource) {
        std::vector<int> order(static_cast<size_t>(m_boundCount));
        int position = 0;
        for (; position < firstRow - head(); ++position) {
            order[size_t(position)] = sourceIndex(position);
        }
        for (const auto &key : keys) {
            newPosition[size_t(key.second)] = head() + position;
            order[size_t(position++)] = sourceIndex(key.second - head());
        }
        m_order = std::move(order);
    } else {
        std::vector<Row> sorted;
        sorted.reserve(size_t(count));
        for (int row = 0; row < firstRow; ++row) {
            sorted.push_back(std::move(m_rows[size_t(row)]));
        }
        for (const auto &key : keys) {
            newPosition[size_t(key.second)] = int(sorted.size());
            sorted.push_back(std::move(m_rows[size_t(key.second)]));
        }
        m_rows = std::move(sorted);
    }

    const int hr = headerRows();
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &index : from) {
        to.append(this->index(newPosition[size_t(index.row() + hr)] - hr, index.column()));
    }
    changePersistentIndexList(from, to);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

// Binding --------------------------------------------------------------------------------------

void FlexGridModel::bind(std::shared_ptr<ado::RowSource> source, int firstRows)
{
    const QScopedValueRollback changing(m_changing, true);
    beginResetModel();
    m_rows.clear();
    m_edited.clear();
    m_source = std::move(source);
    m_boundCount = 0;
    m_sourceFirstCol = 0;
    m_plainText = false;
    m_order.clear();
    m_sourceFailed = false;
    m_fetchError.clear();
    Row title;
    try {
        const int columns = m_source->columnCount();
        for (int col = 0; col < columns; ++col) {
            title.texts.append(m_source->columnName(col));
        }
    } catch (const std::exception &) {
        m_sourceFailed = true;
    }
    m_cols = int(title.texts.size());
    m_sourceColumns = m_cols;
    m_alignment = QList<ColumnAlignment>(m_cols, ColumnAlignment::General);
    m_rows.push_back(std::move(title));
    m_fixedRows = 1;
    m_fixedCols = std::min(m_fixedCols, std::max(0, m_cols - 1));
    endResetModel();

    fetchChunk(std::max(1, firstRows));
    noteSourceFailure();
    if (m_boundCount == 0 && !isBoundPending()) {
        detach(0);
        appendRow({});
    }
}

void FlexGridModel::share(std::shared_ptr<ado::RowSource> source, int firstCol)
{
    const QScopedValueRollback changing(m_changing, true);
    beginResetModel();
    detach(0);
    m_rows.resize(1); // the title row stays as it is
    m_source = std::move(source);
    m_sourceFirstCol = std::max(0, firstCol);
    m_plainText = true;
    m_sourceFailed = false;
    m_fetchError.clear();
    int columns = 0;
    try {
        columns = m_source->columnCount();
    } catch (const std::exception &) {
        m_sourceFailed = true;
    }
    m_sourceColumns = std::clamp(m_cols - m_sourceFirstCol, 0, columns);
    m_boundCount = sourceFetched();
    endResetModel();

    noteSourceFailure();
    if (m_boundCount == 0 && !isBoundPending()) {
        detach(0);
        appendRow({});
    }
}

int FlexGridModel::sourceFetched() const
{
    try {
        return m_source->fetchedCount();
    } catch (const std::exception &) {
        return m_boundCount;
    }
}

bool FlexGridModel::sourceAtEnd() const
{
    try {
        return m_source->atEnd();
    } catch (const std::exception &) {
        return true;
    }
}

bool FlexGridModel::isBoundPending() const
{
    if (!m_source) {
        return false;
    }
    return sourceFetched() > m_boundCount || (!m_sourceFailed && !sourceAtEnd());
}

int FlexGridModel::fetchChunk(int limit)
{
    if (!m_source) {
        return 0;
    }
    const QScopedValueRollback changing(m_changing, true);
    int available = sourceFetched();
    if (available <= m_boundCount && !m_sourceFailed && !sourceAtEnd()) {
        try {
            m_source->fetchMore(limit);
        } catch (const std::exception &) {
            m_sourceFailed = true; // the rows fetched so far stay
        }
        available = sourceFetched();
        noteSourceFailure();
    }
    const int added = std::min(available - m_boundCount, limit);
    if (added <= 0) {
        return 0;
    }
    const int first = head() + m_boundCount - headerRows();
    beginInsertRows(QModelIndex(), first, first + added - 1);
    announce(added);
    endInsertRows();
    return added;
}

void FlexGridModel::fetchAll()
{
    if (!m_source) {
        return;
    }
    const QScopedValueRollback changing(m_changing, true);
    if (!m_sourceFailed) {
        try {
            while (!m_source->atEnd()) {
                if (m_source->fetchMore(FetchAllStep) <= 0 && !m_source->atEnd()) {
                    break; // a source that neither delivers nor ends: take what it has
                }
            }
        } catch (const std::exception &) {
            m_sourceFailed = true;
        }
        noteSourceFailure();
    }
    const int added = sourceFetched() - m_boundCount;
    if (added > 0) {
        const int first = head() + m_boundCount - headerRows();
        beginInsertRows(QModelIndex(), first, first + added - 1);
        announce(added);
        endInsertRows();
    }
}

void FlexGridModel::announce(int added)
{
    if (!m_order.empty()) {
        // Rows arriving after a sort follow the sorted ones in the source's order.
        for (int source = m_boundCount; source < m_boundCount + added; ++source) {
            m_order.push_back(source);
        }
    }
    m_boundCount += added;
}

void FlexGridModel::noteSourceFailure()
{
    if (!m_source || !m_fetchError.isEmpty() || !sourceAtEnd()) {
        return;
    }
    try {
        m_fetchError = m_source->fetchError();
    } catch (const std::exception &) {
        m_fetchError.clear();
    }
    if (!m_fetchError.isEmpty()) {
        Q_EMIT fetchFailed(m_fetchError);
    }
}

void FlexGridModel::detach(int keep)
{
    if (!m_source) {
        return;
    }
    keep = std::clamp(keep, 0, m_boundCount);
    m_rows.reserve(m_rows.size() + size_t(keep));
    for (int position = 0; position < keep; ++position) {
        const int source = sourceIndex(position);
        const auto it = m_edited.find(source);
        m_rows.push_back(it != m_edited.end() ? std::move(it->second) : sourceRow(source));
    }
    m_source.reset();
    m_edited.clear();
    m_boundCount = 0;
    m_sourceColumns = 0;
    m_sourceFirstCol = 0;
    m_plainText = false;
    m_order.clear();
    m_sourceFailed = false;
}

void FlexGridModel::materialize()
{
    fetchAll();
    detach(m_boundCount);
}

// Look -----------------------------------------------------------------------------------------

void FlexGridModel::setFonts(const QFont &font, const QFont &fontFixed)
{
    m_font = font;
    m_fontFixed = fontFixed;
    emitAllChanged();
}

void FlexGridModel::setToolTip(const QString &toolTip)
{
    m_toolTip = toolTip;
}

void FlexGridModel::emitCellChanged(int row, int col)
{
    const int hr = headerRows();
    if (row < hr) {
        Q_EMIT headerDataChanged(Qt::Horizontal, col, col);
    } else {
        const QModelIndex cell = index(row - hr, col);
        Q_EMIT dataChanged(cell, cell);
    }
}

void FlexGridModel::emitAllChanged()
{
    if (m_cols == 0) {
        return;
    }
    if (rowCount() > 0) {
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, m_cols - 1));
    }
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, m_cols - 1);
}

// QAbstractItemModel ---------------------------------------------------------------------------

int FlexGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows() - headerRows();
}

int FlexGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_cols;
}

QString FlexGridModel::rowMark(int row) const
{
    const Row *local = localRow(row);
    return local ? local->mark : QString();
}

void FlexGridModel::setRowMark(int row, const QString &mark)
{
    if (rowMark(row) == mark) {
        return;
    }
    mutableRow(row).mark = mark;
    if (row >= headerRows() && m_cols > 0) {
        Q_EMIT dataChanged(index(row - headerRows(), 0), index(row - headerRows(), m_cols - 1),
                           {Qt::AccessibleDescriptionRole});
    }
}

// The context is spelt out: Qt's lupdate cannot tell this class's namespace from its header,
// and tr() would look the texts up under "condora::FlexGridModel".
QVariant FlexGridModel::cellData(int row, int col, int role) const
{
    switch (role) {
    case Qt::AccessibleTextRole: {
        const QString cell = text(row, col);
        return cell.trimmed().isEmpty() ? QCoreApplication::translate("condora::FlexGridModel", "blank") : cell;
    }
    case Qt::AccessibleDescriptionRole: {
        // Where the cell is: its row, the title of its column, and the row's note.
        QString where = row < m_fixedRows ? QCoreApplication::translate("condora::FlexGridModel", "Title row")
                                           : QCoreApplication::translate("condora::FlexGridModel", "Row %1").arg(row);
        if (headerRows() == 1 && row > 0) {
            const QString title = text(0, col).trimmed();
            if (!title.isEmpty()) {
                where += u", "_s + title;
            }
        }
        const QString mark = rowMark(row);
        if (!mark.isEmpty()) {
            where += u", "_s + mark;
        }
        return where;
    }
    case Qt::DisplayRole:
        return text(row, col);
    case Qt::FontRole:
        return cellFont(row, col);
    case Qt::TextAlignmentRole: {
        Qt::Alignment horizontal = Qt::AlignLeft;
        switch (m_alignment.value(col)) {
        case ColumnAlignment::General:
            if (!isFixed(row, col) && readsAsNumber(text(row, col))) {
                horizontal = Qt::AlignRight;
            }
            break;
        case ColumnAlignment::Left:
            break;
        case ColumnAlignment::Center:
            horizontal = Qt::AlignHCenter;
            break;
        case ColumnAlignment::Right:
            horizontal = Qt::AlignRight;
            break;
        }
        return int(horizontal | Qt::AlignVCenter);
    }
    case Qt::ForegroundRole: {
        const CellFormat cell = format(row, col);
        return cell.has(CellFormat::HasFore) ? QVariant(QBrush(OleColor(cell.fore).toColor())) : QVariant();
    }
    case Qt::BackgroundRole: {
        const CellFormat cell = format(row, col);
        return cell.has(CellFormat::HasBack) ? QVariant(QBrush(OleColor(cell.back).toColor())) : QVariant();
    }
    case Qt::ToolTipRole:
        return m_toolTip.isEmpty() ? QVariant() : QVariant(m_toolTip);
    default:
        return QVariant();
    }
}

QVariant FlexGridModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return QVariant();
    }
    return cellData(index.row() + headerRows(), index.column(), role);
}

QVariant FlexGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || headerRows() == 0 || section < 0 || section >= m_cols) {
        return QVariant();
    }
    return cellData(0, section, role);
}

Qt::ItemFlags FlexGridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

bool FlexGridModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_changing && isBoundPending();
}

void FlexGridModel::fetchMore(const QModelIndex &parent)
{
    if (!parent.isValid() && !m_changing) {
        fetchChunk(FetchChunk);
    }
}

} // namespace condora
