#include "condition/conditionmodel.h"

#include "platform/textfunctions.h"

#include <algorithm>

namespace condora {

ConditionModel::ConditionModel(const FieldCatalog &catalog, QObject *parent)
    : QAbstractTableModel(parent)
    , m_catalog(catalog)
{
}

ConditionModel::~ConditionModel() = default;

int ConditionModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_terms.size());
}

int ConditionModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ConditionCol::Count;
}

QVariant ConditionModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)
        || role != Qt::DisplayRole) {
        return QVariant();
    }
    return displayRow(index.row()).cell(index.column());
}

ConditionTerm ConditionModel::term(int row) const
{
    return row >= 0 && row < rowCount() ? m_terms.at(row) : ConditionTerm();
}

void ConditionModel::setTerms(const ConditionTerms &terms)
{
    beginResetModel();
    m_terms = terms;
    endResetModel();
}

int ConditionModel::insertTerm(int row)
{
    row = std::clamp(row, 0, rowCount());
    beginInsertRows(QModelIndex(), row, row);
    m_terms.insert(row, ConditionTerm());
    endInsertRows();
    return row;
}

void ConditionModel::removeTerm(int row)
{
    if (row < 0 || row >= rowCount()) {
        return;
    }
    beginRemoveRows(QModelIndex(), row, row);
    m_terms.removeAt(row);
    endRemoveRows();
}

void ConditionModel::moveTerm(int from, int to)
{
    if (rowCount() == 0) {
        return;
    }
    from = std::clamp(from, 0, rowCount() - 1);
    to = std::clamp(to, 0, rowCount() - 1);
    if (from == to) {
        return;
    }
    // Qt counts the destination before the move: a row moved down goes before row to + 1.
    beginMoveRows(QModelIndex(), from, from, QModelIndex(), to > from ? to + 1 : to);
    m_terms.move(from, to);
    endMoveRows();
}

template<typename T>
void ConditionModel::change(int row, T ConditionTerm::*part, const T &value)
{
    if (row < 0 || row >= rowCount() || m_terms.at(row).*part == value) {
        return;
    }
    m_terms[row].*part = value;
    Q_EMIT dataChanged(index(row, 0), index(row, ConditionCol::Count - 1), {Qt::DisplayRole});
}

void ConditionModel::setOpenBrackets(int row, int count)
{
    change(row, &ConditionTerm::openBrackets, std::max(count, 0));
}

void ConditionModel::setColumn(int row, int position)
{
    change(row, &ConditionTerm::column, std::max(position, 0));
}

void ConditionModel::setOperator(int row, std::optional<ConditionOperator> op)
{
    change(row, &ConditionTerm::op, op);
}

void ConditionModel::setValue(int row, const QString &value)
{
    change(row, &ConditionTerm::value, value);
}

void ConditionModel::setCloseBrackets(int row, int count)
{
    change(row, &ConditionTerm::closeBrackets, std::max(count, 0));
}

void ConditionModel::setLogical(int row, LogicalWord word)
{
    change(row, &ConditionTerm::logical, word);
}

TypeClass ConditionModel::typeClass(int row) const
{
    const int column = term(row).column;
    return column > 0 && column < m_catalog.size() ? m_catalog.at(column).typeClass : TypeClass::None;
}

QString ConditionModel::columnName(int row) const
{
    const int column = term(row).column;
    return column > 0 && column < m_catalog.size() ? m_catalog.at(column).colName : QString();
}

ConditionRow ConditionModel::displayRow(int row) const
{
    return displayRowOf(term(row), m_catalog);
}

ConditionRows ConditionModel::displayRows() const
{
    ConditionRows rows;
    rows.reserve(m_terms.size());
    for (const ConditionTerm &term : m_terms) {
        rows.append(displayRowOf(term, m_catalog));
    }
    return rows;
}

ConditionRow displayRowOf(const ConditionTerm &term, const FieldCatalog &catalog)
{
    ConditionRow row = rowOf(term, catalog);
    if (row.isUsed()) {
        // A used row reads as the composed condition does: its words without the lists' blanks.
        row.op = text::trim(row.op);
        row.logical = text::trim(row.logical);
    }
    return row;
}

} // namespace condora
