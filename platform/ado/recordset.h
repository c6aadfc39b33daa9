#pragma once

#include "condora_export.h"

#include "platform/ado/connection.h"

#include <QSqlError>
#include <QString>
#include <QVariant>

#include <memory>

namespace condora::ado {

/// Data type numbers (the classic DataTypeEnum) that fields report.
enum DataTypeEnum {
    adEmpty = 0, adSmallInt = 2, adInteger = 3, adSingle = 4, adDouble = 5, adCurrency = 6, adDate = 7,
    adBSTR = 8, adError = 10, adBoolean = 11, adVariant = 12, adDecimal = 14, adTinyInt = 16,
    adUnsignedTinyInt = 17, adUnsignedSmallInt = 18, adUnsignedInt = 19, adBigInt = 20,
    adUnsignedBigInt = 21, adFileTime = 64, adGUID = 72, adBinary = 128, adChar = 129, adWChar = 130,
    adNumeric = 131, adUserDefined = 132, adDBDate = 133, adDBTime = 134, adDBTimeStamp = 135,
    adVarNumeric = 139, adVarChar = 200, adLongVarChar = 201, adVarWChar = 202, adLongVarWChar = 203,
    adVarBinary = 204, adLongVarBinary = 205
};

/// The rows of one executed statement, fetched lazily and kept once fetched. A recordset
/// and a grid bound to it share one RowSource, so binding costs only what is shown, works
/// on forward-only results, and survives the recordset being closed afterwards.
/// Row and column numbers are 0-based. Fetched rows are stored compactly (one encoded run
/// of cells per row in shared blocks, about the size of the data itself), so memory grows
/// with the rows fetched only. Obtain one from Recordset::rowSource(); it is used on the
/// thread that opened the connection.
class CONDORA_EXPORT RowSource
{
public:
    virtual ~RowSource();

    /// The number of columns.
    virtual int columnCount() const = 0;
    /// The name of a column (0-based).
    virtual QString columnName(int column) const = 0;
    /// Rows fetched so far.
    virtual int fetchedCount() const = 0;
    /// True when every row has been fetched, or when fetching failed: the rows fetched so far
    /// stay and fetchError() says why no more came. Check fetchError() at the end: an end with
    /// an error is not the whole result.
    virtual bool atEnd() const = 0;
    /// Fetches up to `count` more rows; returns how many arrived.
    virtual int fetchMore(int count) = 0;
    /// The value of a fetched cell (a null QVariant for SQL NULL, an invalid one outside the
    /// fetched rows and columns; never throws).
    virtual QVariant value(int row, int column) const = 0;
    /// The value as display text: empty for NULL, "True"/"False" for booleans, dates as
    /// "yyyy-MM-dd", times "HH:mm:ss", time stamps "yyyy-MM-dd HH:mm:ss", numbers in their
    /// shortest exact form, binary data in hex. Never throws.
    virtual QString text(int row, int column) const = 0;
    /// Stops fetching and lets the statement go; the rows fetched so far stay and atEnd()
    /// becomes true. Closing the connection releases every source it produced.
    virtual void release() {}
    /// The database's message when fetching failed part-way (the statement did not complete;
    /// the rows fetched so far are only the first part of its result); empty otherwise, also
    /// after a clean end or release().
    virtual QString fetchError() const { return {}; }
    /// Makes the rows fetched so far readable from another thread while this one fetches more
    /// (value(), text() of rows below a count the fetching thread reported). Sources that
    /// fetch nothing later ignore it.
    virtual void shareWithReaders() {}
    /// Starts reading every remaining row in the background, where the rows come from a worker
    /// thread (a run's own connection): the worker goes on while the calling thread does other
    /// work, and fetchMore() then hands over what it read without waiting for the database.
    /// release() stops it. Sources that fetch on the calling thread ignore it.
    virtual void readAhead() {}
    /// Fetches up to `count` more rows of those the read-ahead (readAhead()) already read,
    /// without waiting for the database; once it read every row, the end is reached too.
    /// Returns how many arrived. Without a read-ahead, fetchMore().
    virtual int fetchReady(int count) { return fetchMore(count); }
    /// Fetches made later, while the connection still has the activity `replaced` (the host's,
    /// or none), run under `activity` instead: the busy state a result was opened with stays
    /// with its later fetches. Sources that fetch nothing later ignore it.
    virtual void lendActivity(std::shared_ptr<StatementActivity> activity, StatementActivity *replaced)
    {
        Q_UNUSED(activity);
        Q_UNUSED(replaced);
    }
};

/// Error number of an operation that needs a current record at EOF or BOF.
inline constexpr int adErrNoCurrentRecord = 3021;

/// One field of the current record: name, DataTypeEnum number, value.
class CONDORA_EXPORT Field
{
public:
    /// The field's name as the database reports it.
    QString Name() const;
    /// The field's data type number (DataTypeEnum).
    int Type() const;
    /// The driver's own type code where Type() cannot tell it: the type OID on PostgreSQL,
    /// 0 on every other database.
    int NativeType() const;
    /// The value at the current record; throws (no current record) at EOF or BOF.
    QVariant Value() const;
    /// Value() without exceptions: an invalid QVariant with the reason in the recordset's
    /// lastError() when there is no current record. SQL NULL is an invalid QVariant too, with
    /// lastError() invalid.
    QVariant tryValue() const;

private:
    friend class Fields;
    Field(const class Recordset *owner, int index) : m_owner(owner), m_index(index) {}
    const class Recordset *m_owner;
    int m_index;
};

/// The fields of a recordset, by position from 0.
class CONDORA_EXPORT Fields
{
public:
    /// The number of fields.
    int Count() const;
    /// Throws RuntimeError (subscript out of range) outside 0..Count()-1.
    Field Item(int index) const;

private:
    friend class Recordset;
    explicit Fields(const class Recordset *owner) : m_owner(owner) {}
    const class Recordset *m_owner;
};

struct RecordsetPrivate;

/// A recordset standing in for the classic data-access Recordset.
///
/// Rows are read through the shared RowSource and kept there, so MoveFirst() after
/// MoveNext() needs no new query, also on a server cursor. There is no MovePrevious, so
/// Bof() is true only for an empty result. A statement that returns no rows leaves the
/// recordset closed, as the classic object does. Close() may be called on a
/// closed recordset. Operations on a closed recordset throw "object not set" (91);
/// reading a value at EOF throws adErrNoCurrentRecord (3021).
///
/// Open() runs a statement on a connection; a statement the database rejects throws
/// RuntimeError with the database's own message as description (no driver boilerplate).
/// Every statement passes the read-only guard first (see readonlyguard.h): a statement that
/// would change data is refused with RuntimeError (ErrorNumber::Database) before anything runs,
/// its description starting "The statement would change data and was not run".
/// A statement that fails part-way never passes for a shorter result: when walking the rows
/// (Eof(), MoveNext(), Bof(), a value, or the fetch of every row at Open() with a client
/// cursor) reaches the failure, RuntimeError (ErrorNumber::Database) carries the database's
/// message; the rows before it stay readable after MoveFirst().
/// Field types are derived from each driver's native type information, so a no-rows
/// statement (... where 1=0) still reports every field with its DataTypeEnum number.
/// With the connection's cursor location 2 (server) rows stream forward-only and
/// RecordCount() is -1; with 3 (client) every row is fetched at open and RecordCount() is exact.
///
/// Code written without exceptions uses the try forms, which throw nothing and keep the error in
/// lastError() (a QSqlError as Connection::lastError() describes it), in the manner of QSqlQuery:
/// \code
/// condora::ado::Recordset rows;
/// if (!rows.tryOpen(QStringLiteral("SELECT id, name FROM customers"), connection)) {
///     return rows.lastError();
/// }
/// for (; !rows.tryEof(); rows.tryMoveNext()) {
///     list.append(rows.tryFieldValue(1).toString());
/// }
/// if (rows.lastError().isValid()) {
///     // the statement failed part-way: the rows read are only the first part of its result
/// }
/// \endcode
/// The calls without a try form fail only on a closed recordset (check State() first) and,
/// for Fields().Item(), with a field number outside 0..fieldCount()-1; fieldName(),
/// fieldType() and fieldNativeType() answer an empty name, adEmpty and 0 for such a number.
class CONDORA_EXPORT Recordset
{
public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset &) = delete;
    Recordset &operator=(const Recordset &) = delete;

    ///@{
    /// Runs `source` on `connection` (after the read-only guard) and opens its rows at the
    /// first record. Throws RuntimeError with the database's message when it is rejected.
    void Open(const QString &source, const std::shared_ptr<Connection> &connection);
    void Open(const QString &source, Connection &connection);
    ///@}
    /// Runs `source` for its columns only, as Open() does, but keeps no row (Eof() at once):
    /// the probes of an analysis. On SQLite the statement is compiled and started on SQLite's
    /// own handle, not through Qt's driver, whose record of a wide result costs more than the
    /// statement; a statement that fails there runs through Qt's driver, so that its message
    /// reads as Open() gives it.
    void OpenColumns(const QString &source, Connection &connection);
    ///@{
    /// Open() and OpenColumns() without exceptions: true when the statement ran, otherwise
    /// false with the reason in lastError() (the recordset is closed then).
    bool tryOpen(const QString &source, const std::shared_ptr<Connection> &connection);
    bool tryOpen(const QString &source, Connection &connection);
    bool tryOpenColumns(const QString &source, Connection &connection);
    ///@}
    /// Lets the rows go; a grid bound to them keeps what it fetched.
    void Close();
    /// adStateOpen or adStateClosed.
    int State() const;

    /// The fields of the current record.
    condora::ado::Fields Fields() const { return condora::ado::Fields(this); }
    /// The number of records with a client cursor, -1 with a server cursor.
    int RecordCount() const;
    /// True after the last record (or with no records); throws the database's message when
    /// the rows failed part-way.
    bool Eof() const;
    /// True before the first record.
    bool Bof() const;
    /// Moves to the next record; throws the database's message when the rows failed there.
    void MoveNext();
    /// Moves back to the first record.
    void MoveFirst();

    ///@{
    /// Eof() and Bof() without exceptions. When the rows failed part-way, or the recordset is
    /// closed, they answer true (no record can be read) and lastError() says why; it is invalid
    /// after a clean answer, so check it once tryEof() is true.
    bool tryEof() const;
    bool tryBof() const;
    ///@}
    /// MoveNext() without exceptions: true when it moved; false, with the reason in
    /// lastError(), when there was no current record or the rows failed there.
    bool tryMoveNext();
    /// fieldValue() without exceptions: an invalid QVariant with the reason in lastError() when
    /// there is no current record. SQL NULL, and a field number out of range, give an invalid
    /// QVariant with lastError() invalid.
    QVariant tryFieldValue(int index) const;
    /// The error of the last try call on this recordset; invalid (QSqlError::NoError) when it
    /// succeeded. The throwing forms leave it as it is.
    QSqlError lastError() const;

    /// The statement it was opened with.
    QString Source() const;
    /// The shared rows (null when closed). Grids bind to this.
    std::shared_ptr<RowSource> rowSource() const;

    ///@{
    /// What Field and Fields read: a field's name, type and current value, and the field count.
    QString fieldName(int index) const;
    int fieldType(int index) const;
    int fieldNativeType(int index) const;
    QVariant fieldValue(int index) const;
    int fieldCount() const;
    ///@}

private:
    /// What every Open starts with: the checks that refuse a statement before anything runs,
    /// the rows of an earlier statement finished, this one counted.
    void beginOpen(const QString &source, Connection &connection);
    /// OpenColumns() on the database itself (no kept answer used or kept).
    void probeColumns(const QString &source, Connection &connection);
    /// Open() through the connection's Qt driver (after the statement was counted).
    void openWithDriver(const QString &source, Connection &connection, const QSqlDatabase &db);
    /// Open() on a PostgreSQL connection, through libpq's asynchronous interface.
    void openPostgres(const QString &source, Connection &connection, const QSqlDatabase &db);
    /// Open() or OpenColumns() on a run's connection: the statement runs on the run's own
    /// thread and connection (see runconnection.h).
    void openOnRunner(const QString &source, Connection &connection, bool columnsOnly);
    /// Opens the recordset on the rows of the statement just run (all of them with a client
    /// cursor).
    void takeRows(std::shared_ptr<RowSource> rows, Connection &connection);
    void requireOpen() const;
    /// Fetches until `row` is fetched or the rows end; true when `row` exists.
    bool ensureRow(int row) const;

    std::unique_ptr<RecordsetPrivate> d;
};

} // namespace condora::ado
