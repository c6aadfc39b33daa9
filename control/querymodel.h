#pragma once

#include "condora_export.h"

#include "platform/ado/recordset.h"

#include <QAbstractTableModel>
#include <QSqlError>
#include <QString>

#include <memory>

namespace condora {

class QueryModelPrivate;

/// The rows of a query as a read-only table model, for QTableView, QSortFilterProxyModel,
/// QDataWidgetMapper and any other view.
///
/// Rows arrive as a view asks for them (canFetchMore() and fetchMore(), 256 rows at a time, as
/// QSqlQueryModel does), so a large result costs only what has been shown. Qt::DisplayRole and
/// Qt::EditRole give each cell's typed value (a number as a number, a date as QDate, SQL NULL as
/// a null QVariant), so a proxy sorts numbers as numbers; the horizontal header gives the column
/// names of the statement.
///
/// Nothing here throws. When fetching fails part-way, the rows fetched so far stay, no more are
/// offered, and lastError() holds the database's message: check it once canFetchMore() is false,
/// since an end with an error is not the whole result. A host that fetches only as a view
/// scrolls hears of such a failure through fetchFailed().
///
/// Condora::GetQueryModel() makes one for a query run; a host can also bind rows it holds
/// itself with setRowSource().
class CONDORA_EXPORT QueryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    /// An empty model (no columns, no rows). `parent` owns it when given; otherwise the caller does.
    explicit QueryModel(QObject *parent = nullptr);
    ~QueryModel() override;

    /// Shows `rows` (for instance Recordset::rowSource()) from their first row; null shows
    /// nothing. The model shares the rows with whoever else holds them and clears lastError().
    void setRowSource(std::shared_ptr<ado::RowSource> rows, const QString &statement = QString());
    /// The rows shown (null when none).
    std::shared_ptr<ado::RowSource> rowSource() const;

    /// The statement whose rows are shown: the final statement of the query run; empty after
    /// Cancel or a run that ended before its dialog.
    QString statement() const;

    /// The error of the query run, or of a fetch that failed part-way; invalid (QSqlError::NoError)
    /// when there was none. For an error of the library, nativeErrorCode() is its error number
    /// (see condora::ErrorNumber) and databaseText() its description.
    QSqlError lastError() const;
    /// Sets the error lastError() reports (Condora::GetQueryModel() records a run's failure here).
    void setLastError(const QSqlError &error);

    /// The rows fetched so far (the whole result once canFetchMore() is false).
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    /// The number of result columns.
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    /// The typed value for Qt::DisplayRole and Qt::EditRole; nothing for other roles.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    /// Column names horizontally; row numbers (from 1) vertically.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    /// Selectable and enabled; the rows cannot be edited.
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    /// True while the result has rows not yet fetched.
    bool canFetchMore(const QModelIndex &parent = QModelIndex()) const override;
    /// Fetches the next rows and inserts them.
    void fetchMore(const QModelIndex &parent = QModelIndex()) override;

Q_SIGNALS:
    /// A fetch failed part-way (emitted once, after the rows that came before the failure were
    /// inserted): `error` is lastError(), and no more rows come.
    void fetchFailed(const QSqlError &error);

private:
    const std::unique_ptr<QueryModelPrivate> d;
};

} // namespace condora
