#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

namespace condora::ado {
class Connection;
}

namespace condora::test {

/// A SQLite file in a temporary folder, created with the given statements (run in order).
/// The folder and file are removed when the object goes away.
class SqliteFile
{
public:
    explicit SqliteFile(const QStringList &statements = {});
    QString path() const { return m_path; }
    QString connectionString() const;
    /// Runs more statements on the file (outside any Connection).
    void exec(const QStringList &statements) const;
    /// An open connection to the file.
    std::shared_ptr<ado::Connection> open() const;

private:
    QTemporaryDir m_dir;
    QString m_path;
};

/// The PostgreSQL test server, as the test script describes it in CONDORA_TEST_PG_HOST,
/// _PORT, _USER and _PASSWORD. nullopt when not configured.
struct PgServer
{
    QString host;
    int port = 0;
    QString user;
    QString password;

    /// A fresh database `name` (dropped first if it exists).
    void createDatabase(const QString &name) const;
    /// Runs statements on database `name`.
    void exec(const QString &name, const QStringList &statements) const;
    QString connectionString(const QString &database) const;
    QString odbcConnectionString(const QString &database) const;
    std::shared_ptr<ado::Connection> open(const QString &database) const;
};
std::optional<PgServer> pgServer();
/// True when CONDORA_TEST_REQUIRE_PG=1: a missing server fails instead of skipping.
bool pgRequired();

/// The MariaDB test server, as the test script describes it in CONDORA_TEST_MARIADB_HOST,
/// _PORT, _USER and _PASSWORD, reached through the MariaDB ODBC driver. nullopt when not
/// configured.
struct MariaDbServer
{
    QString host;
    int port = 0;
    QString user;
    QString password;

    /// A fresh database `name` in utf8mb4 (dropped first if it exists).
    void createDatabase(const QString &name) const;
    /// Runs statements on database `name`.
    void exec(const QString &name, const QStringList &statements) const;
    /// "Provider=ODBC;Driver=...;Server=..;Port=..;Database=..;User=..;Password=..;"
    QString odbcConnectionString(const QString &database) const;
    /// The driver string alone, as Qt's ODBC driver takes it: "Driver=...;...;Password=.."
    /// (no Database when `database` is empty, and no ";" at the end: Qt passes the string's
    /// terminating NUL along, and the MariaDB driver reads a NUL after a final ";" as a
    /// malformed attribute).
    QString odbcDriverString(const QString &database) const;
    /// A library connection opened with odbcConnectionString().
    std::shared_ptr<ado::Connection> open(const QString &database) const;
    /// A library connection on a Qt ODBC database opened here with the same driver string
    /// (Connection::fromDatabase); the Qt database is closed and removed with the connection.
    std::shared_ptr<ado::Connection> adopt(const QString &database) const;
};
std::optional<MariaDbServer> mariaDbServer();
/// True when CONDORA_TEST_REQUIRE_MARIADB=1: a missing server fails instead of skipping.
bool mariaDbRequired();
/// The Driver= value for the MariaDB ODBC driver: CONDORA_TEST_MARIADB_ODBC_DRIVER when set, else
/// a "MariaDB" entry of the odbcinst.ini the tests use, else the library a system-wide entry
/// names (the tests' own odbcinst.ini lists only the drivers they configure).
QString mariaDbOdbcDriver();

/// The sample schema of the two worked examples (Customers, GenderTypes, Products,
/// [Order Details]) with a few rows, in SQLite syntax; `postgres` gives the PostgreSQL form
/// (quoted "Order Details").
QStringList sampleSchema(bool postgres = false);

} // namespace condora::test

/// Skips (or fails, when the server is required) a test that needs the PostgreSQL server.
#define CONDORA_NEED_PG(var)                                                                \
    const auto var##Opt = condora::test::pgServer();                                        \
    if (!var##Opt) {                                                                        \
        if (condora::test::pgRequired()) {                                                  \
            QFAIL("PostgreSQL test server required but not configured");                   \
        }                                                                                   \
        QSKIP("PostgreSQL test server not configured (set CONDORA_TEST_PG_*)");            \
    }                                                                                       \
    const condora::test::PgServer &var = *var##Opt

/// Skips (or fails, when the server is required) a test that needs the MariaDB server.
#define CONDORA_NEED_MARIADB(var)                                                           \
    const auto var##Opt = condora::test::mariaDbServer();                                   \
    if (!var##Opt) {                                                                        \
        if (condora::test::mariaDbRequired()) {                                             \
            QFAIL("MariaDB test server required but not configured");                      \
        }                                                                                   \
        QSKIP("MariaDB test server not configured (set CONDORA_TEST_MARIADB_*)");          \
    }                                                                                       \
    const condora::test::MariaDbServer &var = *var##Opt
