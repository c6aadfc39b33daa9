#include "control/querymodel.h"

#include "control/errorvalue_p.h"
#include "platform/runtimeerror.h"

#include <QPointer>

namespace condora {

namespace {

// As many rows as QSqlQueryModel fetches at a time: a screenful and more.
constexpr int FetchSize = 256;

} // namespace

class QueryModelPrivate
{
public:
    std::shared_ptr<ado::RowSource> rows;
    QString statement;
    QSqlError error;
    int rowCount = 0;
    bool fetching = false;
};

QueryModel::QueryModel(QObject *parent)
    : QAbstractTableModel(parent)
    , d(std::make_unique<QueryModelPrivate>())
{
}

QueryModel::~QueryModel() = default;

void QueryModel::setRowSource(std::shared_ptr<ado::RowSource> rows, const QString &statement)
{
    beginResetModel();
    d->rows = std::move(rows);
    d->statement = statement;
    d->error = QSqlError();
    // Rows the source already holds (all of them with a client cursor) are shown at once.
    d->rowCount = d->rows ? d->rows->fetchedCount() : 0;
    endResetModel();
}

std::shared_ptr<ado::RowSource> QueryModel::rowSource() const
{
    return d->rows;
}

QString QueryModel::statement() const
{
    return d->statement;
}

QSqlError QueryModel::lastError() const
{
    return d->error;
}

void QueryModel::setLastError(const QSqlError &error)
{
    d->error = error;
}

int QueryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : d->rowCount;
}

int QueryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !d->rows ? 0 : d->rows->columnCount();
}

QVariant QueryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= d->rowCount || !d->rows
        || (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    return d->rows->value(index.row(), index.column());
}

QVariant QueryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && (role == Qt::DisplayRole || role == Qt::EditRole)) {
        if (!d->rows || section < 0 || section >= d->rows->columnCount()) {
            return {};
        }
        return d->rows->columnName(section);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags QueryModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}

bool QueryModel::canFetchMore(const QModelIndex &parent) const
{
    if (parent.isValid() || !d->rows || d->error.isValid()) {
        return false;
    }
    return d->rows->fetchedCount() > d->rowCount || !d->rows->atEnd();
}

void QueryModel::fetchMore(const QModelIndex &parent)
{
    // A view asks again from a slot that runs while rows are inserted: one fetch at a time.
    if (!canFetchMore(parent) || d->fetching) {
        return;
    }
    d->fetching = true;
    // Held here: a host's slot that runs meanwhile may drop the model's rows or the model.
    const std::shared_ptr<ado::RowSource> rows = d->rows;
    const QPointer<QueryModel> self(this);
    QSqlError error;
    // A view calls this from its event handlers: nothing may leave it as an exception.
    try {
        if (rows->fetchedCount() <= d->rowCount) {
            rows->fetchMore(FetchSize);
        }
        if (rows->atEnd() && !rows->fetchError().isEmpty()) {
            error = toSqlError(RuntimeError::database(rows->fetchError()));
        }
    } catch (...) {
        error = currentErrorAsSqlError();
    }
    if (!self) {
        return;
    }
    const bool failed = error.isValid() && !d->error.isValid();
    if (error.isValid()) {
        d->error = error;
    }
    // Still fetching while the rows go in: a proxy or view that asks for more from a slot of
    // rowsInserted must not insert the same rows again inside this insertion.
    const int fetched = rows->fetchedCount();
    if (rows == d->rows && fetched > d->rowCount) {
        beginInsertRows(QModelIndex(), d->rowCount, fetched - 1);
        d->rowCount = fetched;
        endInsertRows();
    }
    if (!self) {
        return;
    }
    d->fetching = false;
    if (failed) {
        Q_EMIT fetchFailed(error);
    }
}

} // namespace condora
