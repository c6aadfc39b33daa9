#include "platform/ado/recordset.h"

#include "platform/ado/databasemessage.h"
#include "platform/ado/queryrows.h"
#include "platform/ado/typemapping.h"
#include "platform/runtimeerror.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#include <sqlite3.h>

#include <climits>

namespace condora::ado {

namespace {

// Rows read ahead per step while a recordset is walked with MoveNext.
constexpr int stepRows = 256;

// The DataTypeEnum number of every result column, from the driver's native type information.
QList<int> columnTypes(const QSqlQuery &query, const QString &driver)
{
    const QSqlRecord record = query.record();
    QList<int> types;
    types.reserve(record.count());
    if (driver == u"QSQLITE") {
        // Qt reports no types for SQLite (none at all on a no-rows result): read the
        // declared column types from the statement handle.
        sqlite3_stmt *statement = nullptr;
        const QVariant handle = query.result() ? query.result()->handle() : QVariant();
        if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3_stmt*") == 0) {
            statement = *static_cast<sqlite3_stmt *const *>(handle.constData());
        }
        const int count = statement ? sqlite3_column_count(statement) : 0;
        for (int i = 0; i < record.count(); ++i) {
            const char *declared = i < count ? sqlite3_column_decltype(statement, i) : nullptr;
            types.append(typeFromSqliteDeclaredType(declared ? QString::fromUtf8(declared) : QString()));
        }
    } else if (driver == u"QPSQL") {
        for (int i = 0; i < record.count(); ++i) {
            types.append(typeFromPostgresOid(record.field(i).typeID()));
        }
    } else if (driver == u"QODBC") {
        for (int i = 0; i < record.count(); ++i) {
            types.append(typeFromOdbcSqlType(record.field(i).typeID()));
        }
    } else {
        for (int i = 0; i < record.count(); ++i) {
            types.append(typeFromQtMetaType(QMetaType::Type(record.field(i).metaType().id())));
        }
    }
    return types;
}

} // namespace

QString Field::Name() const
{
    return m_owner->fieldName(m_index);
}

int Field::Type() const
{
    return m_owner->fieldType(m_index);
}

QVariant Field::Value() const
{
    return m_owner->fieldValue(m_index);
}

int Fields::Count() const
{
    return m_owner->fieldCount();
}

Field Fields::Item(int index) const
{
    if (index < 0 || index >= m_owner->fieldCount()) {
        throw RuntimeError::subscriptOutOfRange(
            QStringLiteral("field %1 of %2").arg(index).arg(m_owner->fieldCount()));
    }
    return Field(m_owner, index);
}

Recordset::Recordset() = default;

Recordset::~Recordset() = default;

void Recordset::Open(const QString &source, const std::shared_ptr<Connection> &connection)
{
    if (!connection) {
        throw RuntimeError::objectNotSet(QStringLiteral("no connection"));
    }
    Open(source, *connection);
}

void Recordset::Open(const QString &source, Connection &connection)
{
    Close();
    connection.requireOpen();
    if (source.trimmed().isEmpty()) {
        throw RuntimeError::invalidArgument(QStringLiteral("The statement is empty"));
    }
    connection.finishPendingRows();
    const QSqlDatabase db = connection.database();
    const QString driver = db.driverName();

    connection.countStatement();
    auto query = std::make_unique<QSqlQuery>(db);
    query->setForwardOnly(true);
    if (!query->exec(source)) {
        throw RuntimeError::database(databaseMessage(query->lastError()));
    }
    m_source = source;
    if (!query->isSelect()) {
        return; // a statement without rows leaves the recordset closed
    }

    const QSqlRecord record = query->record();
    m_types = columnTypes(*query, driver);
    m_names.clear();
    for (int i = 0; i < record.count(); ++i) {
        m_names.append(record.fieldName(i));
    }
    auto rows = std::make_shared<QueryRows>(std::move(query), QStringList(m_names));
    connection.trackRows(rows);

    m_recordCount = -1;
    if (connection.CursorLocation() == adUseClient) {
        rows->fetchMore(INT_MAX);
        if (!rows->fetchError().isEmpty()) {
            throw RuntimeError::database(rows->fetchError());
        }
        m_recordCount = rows->fetchedCount();
    }
    m_rows = std::move(rows);
    m_position = 0;
    m_open = true;
}

void Recordset::Close()
{
    m_open = false;
    m_rows.reset();
    m_names.clear();
    m_types.clear();
    m_position = 0;
    m_recordCount = -1;
}

int Recordset::State() const
{
    return m_open ? adStateOpen : adStateClosed;
}

int Recordset::RecordCount() const
{
    requireOpen();
    return m_recordCount;
}

bool Recordset::Eof() const
{
    requireOpen();
    return !ensureRow(m_position);
}

bool Recordset::Bof() const
{
    requireOpen();
    return !ensureRow(0);
}

void Recordset::MoveNext()
{
    if (Eof()) {
        throw RuntimeError(adErrNoCurrentRecord,
                           QStringLiteral("Either BOF or EOF is True: the operation requires a current record."));
    }
    ++m_position;
}

void Recordset::MoveFirst()
{
    requireOpen();
    m_position = 0;
}

QString Recordset::fieldName(int index) const
{
    requireOpen();
    return m_names.value(index);
}

int Recordset::fieldType(int index) const
{
    requireOpen();
    return m_types.value(index, adEmpty);
}

QVariant Recordset::fieldValue(int index) const
{
    if (Eof()) {
        throw RuntimeError(adErrNoCurrentRecord,
                           QStringLiteral("Either BOF or EOF is True: the operation requires a current record."));
    }
    return m_rows->value(m_position, index);
}

int Recordset::fieldCount() const
{
    requireOpen();
    return int(m_names.size());
}

void Recordset::requireOpen() const
{
    if (!m_open) {
        throw RuntimeError::objectNotSet(QStringLiteral("the recordset is closed"));
    }
}

bool Recordset::ensureRow(int row) const
{
    while (row >= m_rows->fetchedCount() && !m_rows->atEnd()) {
        m_rows->fetchMore(stepRows);
    }
    return row < m_rows->fetchedCount();
}

} // namespace condora::ado
