#include "support/testdatabases.h"

#include "platform/ado/connection.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <stdexcept>

namespace condora::test {

namespace {

void runAll(QSqlDatabase db, const QStringList &statements)
{
    for (const QString &sql : statements) {
        QSqlQuery query(db);
        if (!query.exec(sql)) {
            throw std::runtime_error(
                QStringLiteral("test setup statement failed: %1\n%2").arg(sql, query.lastError().text()).toStdString());
        }
    }
}

template <typename F>
void withDatabase(const QString &driver, F &&setup, const QStringList &statements)
{
    const QString name = QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, name);
        setup(db);
        if (!db.open()) {
            const QString message = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw std::runtime_error(QStringLiteral("test database did not open: %1").arg(message).toStdString());
        }
        runAll(db, statements);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

SqliteFile::SqliteFile(const QStringList &statements)
    : m_path(m_dir.filePath(QStringLiteral("test.db")))
{
    withDatabase(QStringLiteral("QSQLITE"), [this](QSqlDatabase &db) { db.setDatabaseName(m_path); }, statements);
}

QString SqliteFile::connectionString() const
{
    return QStringLiteral("Provider=SQLite;Data Source=") + m_path;
}

void SqliteFile::exec(const QStringList &statements) const
{
    withDatabase(QStringLiteral("QSQLITE"), [this](QSqlDatabase &db) { db.setDatabaseName(m_path); }, statements);
}

std::shared_ptr<ado::Connection> SqliteFile::open() const
{
    auto connection = std::make_shared<ado::Connection>();
    connection->Open(connectionString());
    return connection;
}

std::optional<PgServer> pgServer()
{
    const QByteArray host = qgetenv("CONDORA_TEST_PG_HOST");
    if (host.isEmpty()) {
        return std::nullopt;
    }
    PgServer server;
    server.host = QString::fromUtf8(host);
    server.port = qEnvironmentVariableIntValue("CONDORA_TEST_PG_PORT");
    server.user = QString::fromUtf8(qgetenv("CONDORA_TEST_PG_USER"));
    server.password = QString::fromUtf8(qgetenv("CONDORA_TEST_PG_PASSWORD"));
    return server;
}

bool pgRequired()
{
    return qgetenv("CONDORA_TEST_REQUIRE_PG") == "1";
}

void PgServer::createDatabase(const QString &name) const
{
    const auto setup = [this](QSqlDatabase &db) {
        db.setHostName(host);
        db.setPort(port);
        db.setUserName(user);
        db.setPassword(password);
        db.setDatabaseName(QStringLiteral("postgres"));
    };
    withDatabase(QStringLiteral("QPSQL"), setup,
                 {QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(name),
                  QStringLiteral("CREATE DATABASE \"%1\" ENCODING 'UTF8' TEMPLATE template0").arg(name)});
}

void PgServer::exec(const QString &name, const QStringList &statements) const
{
    const auto setup = [this, &name](QSqlDatabase &db) {
        db.setHostName(host);
        db.setPort(port);
        db.setUserName(user);
        db.setPassword(password);
        db.setDatabaseName(name);
    };
    withDatabase(QStringLiteral("QPSQL"), setup, statements);
}

QString PgServer::connectionString(const QString &database) const
{
    return QStringLiteral("Provider=PostgreSQL;Host=%1;Port=%2;Database=%3;User ID=%4;Password=%5")
        .arg(host)
        .arg(port)
        .arg(database, user, password);
}

QString PgServer::odbcConnectionString(const QString &database) const
{
    return QStringLiteral("Provider=ODBC;Driver={PostgreSQL Unicode};Server=%1;Port=%2;Database=%3;Uid=%4;Pwd=%5;"
                          "BoolsAsChar=0;")
        .arg(host)
        .arg(port)
        .arg(database, user, password);
}

std::shared_ptr<ado::Connection> PgServer::open(const QString &database) const
{
    auto connection = std::make_shared<ado::Connection>();
    connection->Open(connectionString(database));
    return connection;
}

QStringList sampleSchema(bool postgres)
{
    const QString od = postgres ? QStringLiteral("\"Order Details\"") : QStringLiteral("[Order Details]");
    const QString money = postgres ? QStringLiteral("NUMERIC(19,4)") : QStringLiteral("CURRENCY");
    const QString memo = postgres ? QStringLiteral("TEXT") : QStringLiteral("MEMO");
    const QString yesno = postgres ? QStringLiteral("BOOLEAN") : QStringLiteral("YESNO");
    const QString truth = postgres ? QStringLiteral("true") : QStringLiteral("1");
    const QString untruth = postgres ? QStringLiteral("false") : QStringLiteral("0");
    return {
        QStringLiteral("CREATE TABLE GenderTypes (GenderID INTEGER PRIMARY KEY, Gender VARCHAR(20))"),
        QStringLiteral("INSERT INTO GenderTypes VALUES (1, 'Male'), (2, 'Female'), (3, 'Unknown')"),
        QStringLiteral("CREATE TABLE Customers (CustomerID VARCHAR(5) PRIMARY KEY, CompanyName VARCHAR(40), "
                       "ContactName VARCHAR(30), GenderID INTEGER, Notes %1, Since DATE, Active %2)")
            .arg(memo, yesno),
        QStringLiteral("INSERT INTO Customers VALUES "
                       "('ALFKI', 'Alfreds Futterkiste', 'Maria Anders', 2, 'Long-standing customer', '1995-03-01', %1), "
                       "('ANATR', 'Ana Trujillo Emparedados', 'Ana Trujillo', 2, NULL, '1997-08-15', %1), "
                       "('AROUT', 'Around the Horn', 'Thomas Hardy', 1, 'Pays late', '1996-11-30', %2), "
                       "('BERGS', 'Berglunds snabbköp', 'Christina Berglund', 3, NULL, '1998-01-05', %1)")
            .arg(truth, untruth),
        QStringLiteral("CREATE TABLE Products (ProductID INTEGER PRIMARY KEY, ProductName VARCHAR(40), "
                       "UnitPrice %1)")
            .arg(money),
        QStringLiteral("INSERT INTO Products VALUES (1, 'Chai', 18), (2, 'Chang', 19), (3, 'Aniseed Syrup', 10)"),
        QStringLiteral("CREATE TABLE %1 (OrderID INTEGER, ProductID INTEGER, UnitPrice %2, Quantity SMALLINT, "
                       "Discount REAL)")
            .arg(od, money),
        QStringLiteral("INSERT INTO %1 VALUES (10248, 1, 14, 12, 0), (10248, 2, 9.8, 10, 0), "
                       "(10249, 3, 34.8, 5, 0.05), (10250, 1, 16.8, 15, 0.15)")
            .arg(od),
    };
}

} // namespace condora::test
