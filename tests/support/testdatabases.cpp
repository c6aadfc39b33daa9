#include "support/testdatabases.h"

#include "platform/ado/connection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <algorithm>
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

namespace {

/// The sections of an odbcinst.ini whose name contains "MariaDB", each with its Driver= value,
/// the Unicode driver first.
QList<std::pair<QString, QString>> mariaDbDriverEntries(const QString &iniPath)
{
    QList<std::pair<QString, QString>> entries;
    QFile file(iniPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return entries;
    }
    static const QRegularExpression sectionLine(QStringLiteral("^\\s*\\[(.+)\\]\\s*$"));
    static const QRegularExpression driverLine(QStringLiteral("^\\s*Driver\\s*=\\s*(.*?)\\s*$"),
                                               QRegularExpression::CaseInsensitiveOption);
    QString section;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString &line : lines) {
        if (const auto m = sectionLine.match(line); m.hasMatch()) {
            section = m.captured(1).trimmed();
            if (section.contains(QStringLiteral("MariaDB"), Qt::CaseInsensitive)) {
                entries.append({section, QString()});
            }
        } else if (const auto d = driverLine.match(line); d.hasMatch() && !entries.isEmpty()
                   && entries.last().first == section) {
            entries.last().second = d.captured(1);
        }
    }
    std::stable_sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) {
        return a.first.contains(QStringLiteral("Unicode"), Qt::CaseInsensitive)
               && !b.first.contains(QStringLiteral("Unicode"), Qt::CaseInsensitive);
    });
    return entries;
}

/// A driver library named without a folder, looked up where Debian installs ODBC drivers.
QString driverLibraryPath(const QString &library)
{
    if (library.isEmpty() || QFileInfo(library).isAbsolute()) {
        return library;
    }
    QStringList folders{QStringLiteral("/usr/lib/odbc"), QStringLiteral("/usr/local/lib")};
    const QDir lib(QStringLiteral("/usr/lib"));
    for (const QString &arch : lib.entryList({QStringLiteral("*-linux-*")}, QDir::Dirs)) {
        folders.prepend(lib.filePath(arch) + QStringLiteral("/odbc"));
    }
    for (const QString &folder : folders) {
        const QString path = folder + u'/' + library;
        if (QFileInfo::exists(path)) {
            return path;
        }
    }
    return library;
}

} // namespace

QString MariaDbServer::odbcDriverString(const QString &database) const
{
    // The driver refuses an empty value, so a connection to no database names none.
    const QString databasePart = database.isEmpty() ? QString() : QStringLiteral("Database=%1;").arg(database);
    return QStringLiteral("Driver={%1};Server=%2;Port=%3;%4User=%5;Password=%6")
        .arg(mariaDbOdbcDriver(), host)
        .arg(port)
        .arg(databasePart, user, password);
}

namespace {

void runOnMariaDb(const MariaDbServer &server, const QString &database, const QStringList &statements)
{
    const QString driverString = server.odbcDriverString(database);
    withDatabase(QStringLiteral("QODBC"), [&driverString](QSqlDatabase &db) { db.setDatabaseName(driverString); },
                 statements);
}

} // namespace

std::optional<MariaDbServer> mariaDbServer()
{
    const QByteArray host = qgetenv("CONDORA_TEST_MARIADB_HOST");
    if (host.isEmpty()) {
        return std::nullopt;
    }
    MariaDbServer server;
    server.host = QString::fromUtf8(host);
    server.port = qEnvironmentVariableIntValue("CONDORA_TEST_MARIADB_PORT");
    server.user = QString::fromUtf8(qgetenv("CONDORA_TEST_MARIADB_USER"));
    server.password = QString::fromUtf8(qgetenv("CONDORA_TEST_MARIADB_PASSWORD"));
    return server;
}

bool mariaDbRequired()
{
    return qgetenv("CONDORA_TEST_REQUIRE_MARIADB") == "1";
}

QString mariaDbOdbcDriver()
{
    const QString given = qEnvironmentVariable("CONDORA_TEST_MARIADB_ODBC_DRIVER");
    if (!given.isEmpty()) {
        return given;
    }
    const QString testIni = qEnvironmentVariable("ODBCSYSINI");
    if (!testIni.isEmpty()) {
        const auto entries = mariaDbDriverEntries(testIni + QStringLiteral("/odbcinst.ini"));
        if (!entries.isEmpty()) {
            return entries.first().first;
        }
    }
    const auto systemEntries = mariaDbDriverEntries(QStringLiteral("/etc/odbcinst.ini"));
    if (!systemEntries.isEmpty() && !systemEntries.first().second.isEmpty()) {
        return driverLibraryPath(systemEntries.first().second);
    }
    return driverLibraryPath(QStringLiteral("libmaodbc.so"));
}

void MariaDbServer::createDatabase(const QString &name) const
{
    runOnMariaDb(*this, QString(),
                 {QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(name),
                  QStringLiteral("CREATE DATABASE `%1` CHARACTER SET utf8mb4").arg(name)});
}

void MariaDbServer::exec(const QString &name, const QStringList &statements) const
{
    runOnMariaDb(*this, name, statements);
}

QString MariaDbServer::odbcConnectionString(const QString &database) const
{
    return QStringLiteral("Provider=ODBC;") + odbcDriverString(database) + u';';
}

std::shared_ptr<ado::Connection> MariaDbServer::open(const QString &database) const
{
    auto connection = std::make_shared<ado::Connection>();
    connection->Open(odbcConnectionString(database));
    return connection;
}

std::shared_ptr<ado::Connection> MariaDbServer::adopt(const QString &database) const
{
    const QString name = QStringLiteral("condora-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(odbcDriverString(database));
        // As the library opens ODBC connections: ODBC 3 behaviour.
        db.setConnectOptions(QStringLiteral("SQL_ATTR_ODBC_VERSION=SQL_OV_ODBC3;SQL_ATTR_LOGIN_TIMEOUT=15"));
        if (!db.open()) {
            const QString message = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw std::runtime_error(QStringLiteral("test database did not open: %1").arg(message).toStdString());
        }
    }
    std::shared_ptr<ado::Connection> adopted = ado::Connection::fromDatabase(QSqlDatabase::database(name, false));
    ado::Connection *connection = adopted.get();
    // The Qt database goes when the last user of the connection lets it go.
    return std::shared_ptr<ado::Connection>(connection, [adopted, name](ado::Connection *) mutable {
        adopted.reset();
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    });
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
