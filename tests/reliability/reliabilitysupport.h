#pragma once

#include "support/testdatabases.h"

#include "platform/userinteraction.h"

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <cstdio>
#include <functional>
#include <memory>

namespace condora::ado {
class Connection;
}

struct sqlite3;
class QSqlDriver;

/// What the reliability suites share: the two sample databases, a statement trace on the
/// connection the control uses, checks made outside the library, and the user's part of a run.
namespace reliability {

enum class Engine { Sqlite, Postgres, MariaDb };

QString engineName(Engine engine);

/// The hostile values of the suite, one per row of the table Remarks (RemarkID 1, 2, ...),
/// stored in its Title and Body columns so that the value picker lists them too.
QStringList hostileValues();

/// A sample database: the sample schema, the table Remarks with the hostile values, a table
/// with non-ASCII names, and a table Numbers with many distinct values. Checks read it through
/// a Qt connection of their own, outside the library.
class SampleDatabase
{
public:
    /// SQLite always; PostgreSQL only when the test server is configured (else nullptr).
    static std::unique_ptr<SampleDatabase> create(Engine engine, const QString &pgName);
    ~SampleDatabase();

    Engine engine() const { return m_engine; }
    /// A new open library connection.
    std::shared_ptr<condora::ado::Connection> open() const;
    /// Every table with its row count.
    QMap<QString, int> tableCounts() const;
    /// The first column of every row of a statement with bound parameters, as text.
    QStringList column(const QString &sql, const QVariantList &params = {}) const;
    /// Runs a statement outside the library (setup only).
    void exec(const QString &sql) const;
    /// The SQLite file (empty for PostgreSQL).
    QString path() const;
    /// PostgreSQL: ends the server process behind `connection` from an admin connection.
    bool terminateBackend(condora::ado::Connection &connection) const;

    /// The table names of the sample database as statements write them.
    static QStringList tables();

private:
    SampleDatabase() = default;
    QString m_qtName;
    Engine m_engine = Engine::Sqlite;
    std::unique_ptr<condora::test::SqliteFile> m_file;
    std::optional<condora::test::PgServer> m_server;
    QString m_pgName;
};

/// Records the text of every statement that reaches the database through one connection:
/// SQLite's statement trace on the driver's handle, or libpq's protocol trace on PostgreSQL.
class StatementTrace
{
public:
    explicit StatementTrace(condora::ado::Connection &connection);
    ~StatementTrace();
    StatementTrace(const StatementTrace &) = delete;
    StatementTrace &operator=(const StatementTrace &) = delete;

    bool isValid() const { return m_sqlite != nullptr || m_pg != nullptr; }
    QStringList statements();
    /// Stops tracing (also done by the destructor); the statements stay readable. A connection
    /// closed while it was traced has freed its handle: that handle is then left alone.
    void stop();
    /// True when the traced connection was closed before stop(): its handle had gone, so
    /// stop() did not touch it.
    bool closedWhileTraced() const { return m_closedWhileTraced; }

private:
    static int sqliteCallback(unsigned, void *context, void *, void *text);
    /// True while the traced handle is still the open handle of the same driver.
    bool handleAlive(const void *handle) const;
    condora::ado::Connection *m_connection;
    // The driver that owns the traced handle; it goes when the connection closes.
    QPointer<QSqlDriver> m_driver;
    bool m_closedWhileTraced = false;
    QStringList m_statements;
    sqlite3 *m_sqlite = nullptr;
    void *m_pg = nullptr;
    FILE *m_stream = nullptr;
    char *m_buffer = nullptr;
    size_t m_size = 0;
};

/// A recording user interaction that also lets a test act when the mouse pointer changes
/// (the hourglass marks the start of a database load).
class RecordingUi : public condora::RecordingUserInteraction
{
public:
    void setMousePointer(condora::MousePointer pointer) override;
    void setOnPointer(std::function<void(condora::MousePointer)> hook) { m_onPointer = std::move(hook); }

private:
    std::function<void(condora::MousePointer)> m_onPointer;
};

/// Types `text` into a widget key by key, as a user would (any Unicode character).
void typeText(QWidget *widget, const QString &text);

/// Names of the top-level windows still open (for cleanup checks).
QStringList openWindows();

} // namespace reliability
