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
