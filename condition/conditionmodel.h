#pragma once

#include "analysis/columninfo.h"
#include "condition/conditionterm.h"

#include <QAbstractTableModel>

#include <optional>

namespace condora {

/// The condition being built, as typed rows: per row its bracket counts, its column as a
/// position in the run's field catalog, its operator, the value as typed and the word that joins
/// it to the next row. Editors and row commands change it through the functions below; views
/// show it through data() or displayRow() (one column per ConditionCol) and follow it through the
/// model's signals. Rows are counted from 0.
///
/// The texts a view shows are made here and nowhere else: a row's cells as the lists write them
/// ("= ", " And "), with the operator and logical word of a used row trimmed, as the composed
/// condition reads them.
class ConditionModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    /// Names columns from `catalog` (copied; the run's catalog does not change while a dialog
    /// shows it).
    explicit ConditionModel(const FieldCatalog &catalog, QObject *parent = nullptr);
    ~ConditionModel() override;

    const FieldCatalog &catalog() const { return m_catalog; }
    const ConditionTerms &terms() const { return m_terms; }
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    /// Qt::DisplayRole: the cell's text as displayRow() makes it.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    /// The row at `row`; an empty term outside 0 .. rowCount() - 1.
    ConditionTerm term(int row) const;

    /// Replaces every row (a model reset).
    void setTerms(const ConditionTerms &terms);
    /// An empty row at `row` (clamped to 0 .. rowCount()); returns where it went.
    int insertTerm(int row);
    /// An empty row after the last; returns its position.
    int appendTerm() { return insertTerm(rowCount()); }
    /// Removes `row`; nothing outside the rows.
    void removeTerm(int row);
    /// Moves `from` to position `to` (both clamped to the rows); the rows between shift by one.
    void moveTerm(int from, int to);

    ///@{
    /// Changes one part of `row` (ignored outside the rows); dataChanged() for the row when it
    /// differs.
    void setOpenBrackets(int row, int count);
    void setColumn(int row, int position);
    void setOperator(int row, std::optional<ConditionOperator> op);
    void setValue(int row, const QString &value);
    void setCloseBrackets(int row, int count);
    void setLogical(int row, LogicalWord word);
    ///@}

    /// Whether `row` takes part in the condition (ConditionTerm::isUsed()).
    bool isUsed(int row) const { return term(row).isUsed(); }
    /// The type class of the row's column; None without one (or outside the catalog).
    TypeClass typeClass(int row) const;
    /// The column's name as the Column list shows it; empty without one.
    QString columnName(int row) const;

    /// The texts a view shows for `row` (see the class description).
    ConditionRow displayRow(int row) const;
    /// displayRow() for every row.
    ConditionRows displayRows() const;

private:
    template<typename T>
    void change(int row, T ConditionTerm::*part, const T &value);

    FieldCatalog m_catalog;
    ConditionTerms m_terms;
};

/// The texts of `term` as displayRow() makes them.
ConditionRow displayRowOf(const ConditionTerm &term, const FieldCatalog &catalog);

} // namespace condora
