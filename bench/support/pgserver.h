#pragma once

// The PostgreSQL server the benchmarks use: the one CONDORA_TEST_PG_HOST, _PORT, _USER and
// _PASSWORD name (as tools/pgtest.sh start DIR prints them).

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace condora::bench {

inline QString env(const char *name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

/// True when the environment names a server.
inline bool pgServerNamed()
{
    return !env("CONDORA_TEST_PG_HOST").isEmpty();
}

/// A Qt connection `name` to `database` on the server; a benchmark cannot go on without it, so
/// failure ends the program.
inline QSqlDatabase openPgDatabase(const QString &name, const QString &database)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(env("CONDORA_TEST_PG_HOST"));
    db.setPort(env("CONDORA_TEST_PG_PORT").toInt());
    db.setUserName(env("CONDORA_TEST_PG_USER"));
    db.setPassword(env("CONDORA_TEST_PG_PASSWORD"));
    db.setDatabaseName(database);
    if (!db.open()) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(database), qPrintable(db.lastError().text()));
        std::exit(1);
    }
    return db;
}

/// The connection string of the library's Connection::Open for `database` on the server.
inline QString pgConnectionString(const QString &database)
{
    return QStringLiteral("Provider=PostgreSQL;Host=%1;Port=%2;Database=%3;User ID=%4;Password=%5")
        .arg(env("CONDORA_TEST_PG_HOST"), env("CONDORA_TEST_PG_PORT"), database, env("CONDORA_TEST_PG_USER"),
             env("CONDORA_TEST_PG_PASSWORD"));
}

} // namespace condora::bench
