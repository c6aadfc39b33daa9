#pragma once

#include "condora_export.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

struct sqlite3;

namespace condora::ado {

class PgReadOnlyScope;
class ProbeCache;
class Recordset;
class RowSource;
class StatementActivity;
class StatementRunner;
struct ConnectionPrivate;

/// Cursor locations: 2 server (the default: forward-only streaming, RecordCount -1),
/// 3 client (every row fetched at open, RecordCount exact).
enum CursorLocationEnum { adUseServer = 2, adUseClient = 3 };
/// Execute options: 16 asynchronous, -1 unspecified.
enum ExecuteOptionEnum { adOptionUnspecified = -1, adAsyncExecute = 16 };
/// Object states.
enum ObjectStateEnum { adStateClosed = 0, adStateOpen = 1 };

/// One provider property: a name and a value.
class CONDORA_EXPORT Property
{
public:
    Property() = default;
    /// A property with its name and value.
    Property(QString name, QVariant value) : m_name(std::move(name)), m_value(std::move(value)) {}
    /// The property's name, e.g. "DBMS Name".
    QString Name() const { return m_name; }
    /// The property's value.
    QVariant Value() const { return m_value; }

private:
    QString m_name;
    QVariant m_value;
};

/// The provider properties of an open connection, by position from 0.
class CONDORA_EXPORT Properties
{
public:
    /// The number of properties.
    int Count() const { return int(m_items.size()); }
    /// Throws RuntimeError (subscript out of range) outside 0..Count()-1.
    const Property &Item(int index) const;
    /// The property at `index`, or an empty one (no name, invalid value) outside 0..Count()-1;
    /// throws nothing.
    Property value(int index) const { return m_items.value(index); }
    /// Adds a property at the end.
    void append(Property property) { m_items.append(std::move(property)); }

private:
    QList<Property> m_items;
};

/// A database connection, standing in for the classic data-access Connection on Qt SQL.
///
/// Connection strings (keys case-insensitive, separated by ";"; a value holding ";" is written
/// in braces or quotes: Password={a;b}):
///   Provider=SQLite;Data Source=FILE            the file must exist (opening never creates one);
///                                               Data Source=:memory: is an empty in-memory database
///   Provider=PostgreSQL;Host=..;Port=..;Database=..;User ID=..;Password=..
///                                               (also Server, Initial Catalog, UID, PWD; Port 5432)
///   Provider=ODBC;\<driver connection string\>   e.g. Driver={PostgreSQL Unicode};Server=..;...
///   Provider=ODBC;DSN=name;...                   a data source name
/// Without a Provider, a string with Driver= or DSN= is an ODBC string and one with
/// Data Source= a SQLite file. ODBC connections ask for ODBC 3 behaviour
/// (SQL_ATTR_ODBC_VERSION=SQL_OV_ODBC3), so dates and times report their ODBC 3 SQL types.
/// Each Connection uses its own uniquely named QSqlDatabase, removed when it is closed or
/// destroyed. A host that already has an open QSqlDatabase can adopt it instead (fromDatabase);
/// the adopted database is then not closed by this object.
///
/// Provider properties (Properties()), in this order: "Provider Name" (the Qt driver: QSQLITE,
/// QPSQL, QODBC), "DBMS Name" (SQLite gives "SQLite", PostgreSQL "PostgreSQL", ODBC the driver's
/// SQL_DBMS_NAME), "DBMS Version", and for ODBC "Driver Name" (the driver's file).
///
/// All failures throw condora::RuntimeError: a refused connection carries the database's
/// message (number ErrorNumber::Database), as does a missing SQLite file or an unknown ODBC
/// driver; an empty or malformed connection string or an unknown provider throws "invalid
/// argument" (5); operations on a closed connection throw "object not set" (91) with a clear
/// description. Open() on an open connection closes it first.
///
/// Code written without exceptions uses the try forms instead, which throw nothing and keep the
/// same error as a QSqlError, in the manner of QSqlDatabase::open() and lastError():
/// \code
/// auto connection = std::make_shared<condora::ado::Connection>();
/// if (!connection->tryOpen(QStringLiteral("Provider=SQLite;Data Source=shop.db"))) {
///     qWarning() << connection->lastError().text();
/// }
/// \endcode
/// tryOpen(), tryExecute() and tryProperties() set lastError(); tryFromDatabase() hands its error
/// back through a pointer. In the error, nativeErrorCode() is the number (condora::ErrorNumber),
/// databaseText() the description (a refused connection's or a rejected statement's is the
/// database's own message) and type() QSqlError::StatementError for a database error.
///
/// Closing (or destroying) the connection releases every RowSource it produced: rows already
/// fetched stay readable, no more arrive. Recordsets and row sources never keep the
/// connection open.
class CONDORA_EXPORT Connection : public std::enable_shared_from_this<Connection>
{
public:
    Connection();
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    /// A connection on a host's already opened database (not owned: Close() leaves it open).
    /// A database that is not valid, or that cannot be opened, throws RuntimeError.
    static std::shared_ptr<Connection> fromDatabase(const QSqlDatabase &database);
    /// fromDatabase() without exceptions: the connection, or null with the reason in `*error`
    /// (when given; invalid after success).
    static std::shared_ptr<Connection> tryFromDatabase(const QSqlDatabase &database, QSqlError *error = nullptr);

    ///@{
    /// The connection string Open() uses when it is given none.
    QString ConnectionString() const;
    void setConnectionString(const QString &connectionString);
    ///@}

    /// Opens with `connectionString`, or with ConnectionString() when it is empty. Refused
    /// (RuntimeError) while a statement runs on the connection (statementRunning()).
    void Open(const QString &connectionString = QString());
    /// Open() without exceptions: true when the connection is open, otherwise false with the
    /// reason in lastError().
    bool tryOpen(const QString &connectionString = QString());
    /// Closes the connection (a host's adopted database stays open) and lets its results go.
    /// Called while a statement runs on it (from an event handled meanwhile), it stops the
    /// statement and closes once the statement has returned; the statement then fails with
    /// StatementInFlight::closedMeanwhile().
    void Close();
    /// adStateOpen or adStateClosed.
    int State() const;
    /// True when State() is adStateOpen.
    bool isOpen() const { return State() == adStateOpen; }

    ///@{
    /// The cursor location of the statements the connection runs: 2 server (rows streamed,
    /// record count -1) or 3 client (all rows fetched, record count known).
    int CursorLocation() const;
    void setCursorLocation(int location);
    ///@}

    /// Provider properties; throws when the connection is not open.
    const condora::ado::Properties &Properties() const;
    /// Properties() without exceptions: none, with the reason in lastError(), when the
    /// connection is not open.
    condora::ado::Properties tryProperties() const;

    /// Runs `sql` and returns the open recordset (owned by the caller); like Recordset::Open,
    /// it refuses a statement that would change data before anything runs. `options` is 16
    /// (asynchronous) or -1: Qt SQL has no asynchronous execution, so the statement always
    /// runs synchronously and the option only records what was asked (lastExecuteOptions()).
    std::unique_ptr<Recordset> Execute(const QString &sql, int options = adOptionUnspecified);
    /// Execute() without exceptions: the recordset Execute() gives, or null with the reason in
    /// lastError().
    std::unique_ptr<Recordset> tryExecute(const QString &sql, int options = adOptionUnspecified);

    /// The error of the last try call on this connection (tryOpen(), tryExecute(),
    /// tryProperties()); invalid (QSqlError::NoError) when it succeeded. The throwing forms leave
    /// it as it is.
    QSqlError lastError() const;
    ///@{
    /// What runs while a statement works (not owned; null: statements simply block, as they
    /// always did). See StatementActivity.
    StatementActivity *statementActivity() const;
    void setStatementActivity(StatementActivity *activity);
    ///@}

    ///@{
    /// Whether the control's runs on this connection send their statements through a
    /// read-only copy of it on a worker thread (see runconnection.h), where that copy sees the
    /// same data: true by default. A host turns it off to keep every statement of a run on
    /// this connection: to trace them on its handle, or when its session holds what a copy
    /// would not see and the checks cannot tell (MySQL user variables or temporary tables).
    bool separateRunConnection() const;
    void setSeparateRunConnection(bool separate);
    ///@}

    /// True while a statement on this connection is being executed or its rows fetched. Only
    /// code run from the window's events meanwhile can see it true; no other statement can
    /// start on the connection then.
    bool statementRunning() const;

    /// The options of the last Execute().
    int lastExecuteOptions() const;

    /// True when another connection holds the SQLite file locked so that it cannot be read now;
    /// waits at most `waitMs` for the lock to go. False for every other database and when the
    /// connection is not open. It reads the schema's first row (not counted as a statement).
    bool isLocked(int waitMs) const;

    /// The underlying Qt database (invalid when not open, and for a run's connection, whose
    /// database lives on the run's own thread: see runconnection.h).
    QSqlDatabase database() const;
    /// The database kind behind the connection: "QSQLITE", "QPSQL", "QODBC".
    QString driverName() const;
    /// True when a statement holds the calling thread until the server answers, without
    /// calling back meanwhile (Qt's ODBC and MySQL drivers, PostgreSQL without libpq's
    /// asynchronous interface): events that come meanwhile, keys included, all wait for it.
    /// SQLite calls back while it works and PostgreSQL is read asynchronously.
    bool statementsBlock() const;

    ///@{
    /// How exact numbers arrive (QSql::NumericalPrecisionPolicy), for the statements this
    /// connection runs from now on; the database's own policy until set.
    int numericalPrecisionPolicy() const;
    void setNumericalPrecisionPolicy(int policy);
    ///@}

private:
    friend class Recordset;
    friend class StatementRunner;
    friend class RunnerRows;
    friend bool runStatementRunning(const Connection &host);
    friend bool withSqliteHandle(Connection &connection, const std::function<bool(sqlite3 *)> &work);
    friend std::shared_ptr<Connection> runConnection(const std::shared_ptr<Connection> &host, const QString &statement,
                                                      QString *why);
    /// A connection that owns the already opened Qt database `qtName` (the run's own copy).
    static std::unique_ptr<Connection> adoptOwned(const QString &qtName);
    friend class ReadOnlyGuard;
    friend class PgReadOnlyScope;
    friend class StatementInFlight;
    friend class ProbeCacheScope;
    friend int statementCount(const Connection &connection);
    friend void resetStatementCount(Connection &connection);
    friend QString lastStatement(const Connection &connection);
    friend void countStatement(Connection &connection, const QString &sql);
    void readProperties();
    /// Asks the database to stop the statement that runs now (from the same thread).
    void interruptStatement();
    void openSqlite(const QString &path);
    void openPostgres(const QString &host, const QString &port, const QString &database,
                      const QString &user, const QString &password);
    void openOdbc(const QString &driverString);
    void openAndCheck(QSqlDatabase &db);
    void requireOpen() const;
    /// Remembers a row source so that Close() can release it before the database goes.
    void trackRows(const std::shared_ptr<RowSource> &rows);
    void releaseRows();
    /// On connections that serve one active statement at a time (an ODBC driver that says so,
    /// or PostgreSQL through Qt's driver when libpq's asynchronous interface is not found),
    /// reads the rest of every unfinished row source before the next statement, so that no
    /// fetched-on-demand result is cut short. PostgreSQL's own path streams from cursors and
    /// needs none of it.
    void finishPendingRows();

    std::unique_ptr<ConnectionPrivate> d;
};

} // namespace condora::ado
