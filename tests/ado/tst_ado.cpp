#include "platform/ado/connection.h"
#include "platform/ado/connectionstatistics.h"
#include "platform/ado/queryrows.h"
#include "platform/ado/recordset.h"
#include "platform/ado/rowstore.h"
#include "platform/ado/statementactivity.h"
#include "platform/runtimeerror.h"

#include "support/errornumber.h"
#include "support/testdatabases.h"
#include "support/testmain.h"
#include "support/threadclock.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QUuid>

#include <cstring>
#include <limits>

using namespace condora;
using namespace condora::ado;
using namespace Qt::StringLiterals;
using condora::test::errorNumber;

namespace {

// One column of every type the data-access layer maps, with the DataTypeEnum number the
// driver's own type information gives, and the number the same column gets through ODBC.
struct TypeCase
{
    const char *column;
    const char *declared;
    int native;
    int viaOdbc;
};

// The SQLite ODBC driver reads declared names by its own rules: character types come as
// SQL_VARCHAR/SQL_LONGVARCHAR (200/201), names it does not know (YESNO, CURRENCY, GUID,
// DECIMAL, CLOB) as SQL_VARCHAR, NUMERIC and "FLOATING POINT" as SQL_DOUBLE, BLOB as SQL_BINARY.
constexpr TypeCase sqliteTypes[] = {
    {"c_integer", "INTEGER", 3, 3},
    {"c_bigint", "BIGINT", 20, 20},
    {"c_smallint", "SMALLINT", 2, 2},
    {"c_boolean", "BOOLEAN", 11, 11},
    {"c_bit", "BIT", 11, 11},
    {"c_yesno", "YESNO", 11, 200},
    {"c_real", "REAL", 5, 5},
    {"c_double", "DOUBLE", 5, 5},
    {"c_float", "FLOAT", 5, 5},
    {"c_numeric", "NUMERIC(10,2)", 131, 5},
    {"c_decimal", "DECIMAL(19,4)", 131, 200},
    {"c_money", "MONEY", 6, 200},
    {"c_currency", "CURRENCY", 6, 200},
    {"c_date", "DATE", 133, 133},
    {"c_datetime", "DATETIME", 135, 135},
    {"c_timestamp", "TIMESTAMP", 135, 135},
    {"c_time", "TIME", 134, 134},
    {"c_char", "CHAR(5)", 130, 200},
    {"c_varchar", "VARCHAR(40)", 202, 200},
    {"c_nvarchar", "NVARCHAR(40)", 202, 200},
    {"c_text", "TEXT", 202, 201},
    {"c_memo", "MEMO", 203, 201},
    {"c_clob", "CLOB", 203, 200},
    {"c_blob", "BLOB", 205, 128},
    {"c_guid", "GUID", 72, 200},
    {"c_uuid", "UUID", 72, 200},
    // Names outside the table follow SQLite's affinity rules.
    {"c_affinity_int", "UNSIGNED MEDIUMINT", 3, 200},
    {"c_affinity_floating", "FLOATING POINT", 3, 5},
    {"c_affinity_char", "VARCHAR2(10)", 202, 200},
    {"c_affinity_text", "LONGTEXT", 202, 200},
    {"c_affinity_blob", "LONGBLOB", 205, 200},
    {"c_affinity_doub", "DOUBLE PRECISION", 5, 5},
    {"c_affinity_numeric", "STRING", 131, 200},
    {"c_untyped", "", 12, 200},
};

// psqlODBC reports money as SQL_FLOAT (5) and intervals as character data.
constexpr TypeCase postgresTypes[] = {
    {"c_bool", "BOOLEAN", 11, 11},
    {"c_int2", "SMALLINT", 2, 2},
    {"c_int4", "INTEGER", 3, 3},
    {"c_int8", "BIGINT", 20, 20},
    {"c_float4", "REAL", 4, 4},
    {"c_float8", "DOUBLE PRECISION", 5, 5},
    {"c_money", "MONEY", 6, 5},
    {"c_numeric", "NUMERIC(10,2)", 131, 131},
    {"c_date", "DATE", 133, 133},
    {"c_time", "TIME", 134, 134},
    {"c_timestamp", "TIMESTAMP", 135, 135},
    {"c_timestamptz", "TIMESTAMPTZ", 135, 135},
    {"c_bpchar", "CHAR(5)", 130, 130},
    {"c_varchar", "VARCHAR(40)", 202, 202},
    {"c_text", "TEXT", 203, 203},
    {"c_bytea", "BYTEA", 205, 205},
    {"c_uuid", "UUID", 72, 72},
    {"c_interval", "INTERVAL", 132, 202},
};

QStringList typeTableStatements(const TypeCase *begin, const TypeCase *end)
{
    QStringList columns;
    for (const TypeCase *c = begin; c != end; ++c) {
        columns.append(QStringLiteral("%1 %2").arg(QLatin1String(c->column), QLatin1String(c->declared)).trimmed());
    }
    return {QStringLiteral("CREATE TABLE types (%1)").arg(columns.join(QStringLiteral(", ")))};
}

const QStringList peopleStatements = {
    QStringLiteral("CREATE TABLE people (id INTEGER, name VARCHAR(100))"),
    QStringLiteral("INSERT INTO people VALUES (1, 'Ann'), (2, 'Bob'), (3, 'Cy')"),
};

const QString pgDatabase = QStringLiteral("condora_ado");

// Tables the read-only guard must leave untouched, and data whose fetch fails part-way.
const QStringList guardStatements = {
    QStringLiteral("CREATE TABLE emp (id INTEGER, name VARCHAR(40), salary NUMERIC(10,2))"),
    QStringLiteral("INSERT INTO emp VALUES (1, 'Ann', 5100.50), (2, 'Bob', 4200), (3, 'Cy', 3900.25)"),
    QStringLiteral("CREATE TABLE audit (n INTEGER)"),
};
// The third document is not JSON: json() fails on it, after two good rows.
const QStringList sqliteDocStatements = {
    QStringLiteral("CREATE TABLE docs (id INTEGER, meta TEXT)"),
    QStringLiteral("INSERT INTO docs VALUES (1, '{\"a\":1}'), (2, '[2]'), (3, '{broken'), (4, '{\"d\":4}')"),
};
// A function that writes, called by a plain SELECT.
const QStringList pgWritingFunction = {
    QStringLiteral("CREATE FUNCTION touch_audit() RETURNS integer LANGUAGE plpgsql AS "
                   "$$ BEGIN INSERT INTO audit VALUES (1); RETURN 1; END $$"),
    // Functions that take session advisory locks, which a read-only transaction allows.
    QStringLiteral("CREATE FUNCTION take_lock(k bigint) RETURNS boolean LANGUAGE sql AS "
                   "'SELECT pg_try_advisory_lock(k)'"),
    QStringLiteral("CREATE FUNCTION take_shared_twice(a integer, b integer) RETURNS boolean LANGUAGE plpgsql AS "
                   "$$ BEGIN PERFORM pg_advisory_lock_shared(a, b); PERFORM pg_advisory_lock_shared(a, b); "
                   "RETURN true; END $$"),
};

} // namespace

class TestAdo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void noRowsTypes_data();
    void noRowsTypes();
    void expressionColumns_data();
    void expressionColumns();
    void dbmsName_data();
    void dbmsName();
    void rejectedStatement_data();
    void rejectedStatement();
    void recordCountAndMoves_data();
    void recordCountAndMoves();
    void unicodeRoundTrip_data();
    void unicodeRoundTrip();

    void connectionStringForms_data();
    void connectionStringForms();
    void odbcDriverString_data();
    void odbcDriverString();
    void badConnectionStrings_data();
    void badConnectionStrings();
    void missingSqliteFileIsNotCreated();
    void closedObjects();
    void executeAndStatementCount();
    void adoptedDatabase();

    void rowSourceIsLazyAndOutlivesRecordset();
    void rowSourceReleasedWhenConnectionCloses();
    void failedFetchKeepsRows_data();
    void failedFetchKeepsRows();
    void streamingResultSurvivesNextStatement_data();
    void streamingResultSurvivesNextStatement();
    void rowStoreRoundTrip_data();
    void rowStoreRoundTrip();
    void rowStoreIsCompact();
    void sqliteValuesMatchTheDriver_data();
    void sqliteValuesMatchTheDriver();
    void sqliteNamesMatchTheDriver();
    void openColumnsMatchesOpen_data();
    void openColumnsMatchesOpen();

    void writesAreRefused_data();
    void writesAreRefused();
    void readsPassTheGuard_data();
    void readsPassTheGuard();
    void guardKeepsHostTransaction();
    void sideEffectsAreRefused_data();
    void sideEffectsAreRefused();
    void locksTakenByFunctionsAreReleased_data();
    void locksTakenByFunctionsAreReleased();
    void guardEndsWithItsRows();
    void partialResultRaises_data();
    void partialResultRaises();
    void serverGoneMidResult_data();
    void serverGoneMidResult();
    void stoppedStatement_data();
    void stoppedStatement();

    void tryFormsReportFailures_data();
    void tryFormsReportFailures();
    void tryFormsWalkRows_data();
    void tryFormsWalkRows();

private:
    /// Every table of the backend's database with all its rows (and SQLite's user_version),
    /// read through a fresh native connection: what a refused statement must leave unchanged.
    QStringList snapshot(const QString &backend);
    void addBackendRows(bool withOdbc = true);
    /// Opens a backend by name ("sqlite", "postgres", "odbc-sqlite", "odbc-postgres"); skips
    /// the PostgreSQL ones when no server is configured.
    std::shared_ptr<Connection> open(const QString &backend);
    QString connectionString(const QString &backend) const;
    /// A call in its throwing form and its try form, each on fresh objects; the try form gives
    /// the error it reported.
    struct TryCase
    {
        const char *name;
        int number;
        std::function<void()> throwing;
        std::function<QSqlError()> tryForm;
    };
    QList<TryCase> tryCases();

    std::unique_ptr<test::SqliteFile> m_sqlite;
    bool m_pgReady = false;
};

void TestAdo::initTestCase()
{
    QStringList statements = typeTableStatements(std::begin(sqliteTypes), std::end(sqliteTypes));
    statements += peopleStatements;
    statements += guardStatements;
    statements += sqliteDocStatements;
    m_sqlite = std::make_unique<test::SqliteFile>(statements);

    if (const auto pg = test::pgServer()) {
        pg->createDatabase(pgDatabase);
        pg->exec(pgDatabase, typeTableStatements(std::begin(postgresTypes), std::end(postgresTypes)) + peopleStatements
                                 + guardStatements + pgWritingFunction);
        m_pgReady = true;
    }
}

QString TestAdo::connectionString(const QString &backend) const
{
    const auto pg = test::pgServer();
    if (backend == u"sqlite") {
        return m_sqlite->connectionString();
    }
    if (backend == u"odbc-sqlite") {
        return QStringLiteral("Provider=ODBC;Driver={SQLite3};Database=%1;").arg(m_sqlite->path());
    }
    if (backend == u"postgres") {
        return pg->connectionString(pgDatabase);
    }
    return pg->odbcConnectionString(pgDatabase);
}

std::shared_ptr<Connection> TestAdo::open(const QString &backend)
{
    if (backend.contains(u"postgres") && !m_pgReady) {
        if (test::pgRequired()) {
            QTest::qFail("PostgreSQL test server required but not configured", __FILE__, __LINE__);
        } else {
            QTest::qSkip("PostgreSQL test server not configured (set CONDORA_TEST_PG_*)", __FILE__, __LINE__);
        }
        return nullptr;
    }
    auto connection = std::make_shared<Connection>();
    connection->Open(connectionString(backend));
    return connection;
}

void TestAdo::addBackendRows(bool withOdbc)
{
    QTest::addColumn<QString>("backend");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
    QTest::newRow("postgres") << QStringLiteral("postgres");
    if (withOdbc) {
        QTest::newRow("odbc-sqlite") << QStringLiteral("odbc-sqlite");
        QTest::newRow("odbc-postgres") << QStringLiteral("odbc-postgres");
    }
}

void TestAdo::noRowsTypes_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    const auto add = [](const char *backend, const TypeCase *begin, const TypeCase *end, bool odbc) {
        for (const TypeCase *c = begin; c != end; ++c) {
            QTest::addRow("%s %s", backend, *c->declared ? c->declared : "(no type)")
                << QString::fromLatin1(backend) << int(c - begin) << QString::fromLatin1(c->column)
                << (odbc ? c->viaOdbc : c->native);
        }
    };
    add("sqlite", std::begin(sqliteTypes), std::end(sqliteTypes), false);
    add("odbc-sqlite", std::begin(sqliteTypes), std::end(sqliteTypes), true);
    add("postgres", std::begin(postgresTypes), std::end(postgresTypes), false);
    add("odbc-postgres", std::begin(postgresTypes), std::end(postgresTypes), true);
}

void TestAdo::noRowsTypes()
{
    QFETCH(QString, backend);
    QFETCH(int, position);
    QFETCH(QString, name);
    QFETCH(int, type);
    const auto connection = open(backend);
    if (!connection) {
        return;
    }
    Recordset rs;
    rs.Open(QStringLiteral("select * from types where 1=0"), connection);
    const int expectedCount = backend.endsWith(u"sqlite") ? int(std::size(sqliteTypes)) : int(std::size(postgresTypes));
    QCOMPARE(rs.Fields().Count(), expectedCount);
    QCOMPARE(rs.Fields().Item(position).Name(), name);
    QCOMPARE(rs.Fields().Item(position).Type(), type);
    QVERIFY(rs.Eof());
    QVERIFY(rs.Bof());
}

void TestAdo::expressionColumns_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QList<int>>("types");
    // SQLite declares no type for expressions, casts and aggregates, with or without rows.
    QTest::newRow("sqlite no rows") << QStringLiteral("sqlite")
                                    << QStringLiteral("select id + 1, count(*), cast(name as integer), name from people where 1=0")
                                    << QList<int>{12, 12, 12, 202};
    QTest::newRow("sqlite with rows") << QStringLiteral("sqlite")
                                      << QStringLiteral("select id + 1, count(*), name from people")
                                      << QList<int>{12, 12, 202};
    QTest::newRow("postgres") << QStringLiteral("postgres")
                              << QStringLiteral("select id + 1, count(*), name::text from people where 1=0 group by id, name")
                              << QList<int>{3, 20, 203};
}

void TestAdo::expressionColumns()
{
    QFETCH(QString, backend);
    QFETCH(QString, sql);
    QFETCH(QList<int>, types);
    const auto connection = open(backend);
    if (!connection) {
        return;
    }
    Recordset rs;
    rs.Open(sql, connection);
    QList<int> actual;
    for (int i = 0; i < rs.Fields().Count(); ++i) {
        actual.append(rs.Fields().Item(i).Type());
    }
    QCOMPARE(actual, types);
}

void TestAdo::dbmsName_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("dbmsName");
    QTest::addColumn<QString>("providerName");
    QTest::newRow("sqlite") << QStringLiteral("sqlite") << QStringLiteral("SQLite") << QStringLiteral("QSQLITE");
    QTest::newRow("postgres") << QStringLiteral("postgres") << QStringLiteral("PostgreSQL") << QStringLiteral("QPSQL");
    QTest::newRow("odbc-sqlite") << QStringLiteral("odbc-sqlite") << QStringLiteral("SQLite") << QStringLiteral("QODBC");
    QTest::newRow("odbc-postgres") << QStringLiteral("odbc-postgres") << QStringLiteral("PostgreSQL")
                                   << QStringLiteral("QODBC");
}

void TestAdo::dbmsName()
{
    QFETCH(QString, backend);
    QFETCH(QString, dbmsName);
    QFETCH(QString, providerName);
    const auto connection = open(backend);
    if (!connection) {
        return;
    }
    QHash<QString, QString> properties;
    const Properties &list = connection->Properties();
    for (int i = 0; i < list.Count(); ++i) {
        properties.insert(list.Item(i).Name(), list.Item(i).Value().toString());
    }
    QCOMPARE(properties.value(QStringLiteral("DBMS Name")), dbmsName);
    QCOMPARE(properties.value(QStringLiteral("Provider Name")), providerName);
    QVERIFY2(!properties.value(QStringLiteral("DBMS Version")).isEmpty(), "DBMS Version is empty");
    QCOMPARE(errorNumber([&list] { list.Item(list.Count()); }), ErrorNumber::SubscriptOutOfRange);
}

void TestAdo::rejectedStatement_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("message");
    QTest::newRow("sqlite column") << QStringLiteral("sqlite") << QStringLiteral("select x from people")
                                   << QStringLiteral("no such column: x");
    QTest::newRow("sqlite table") << QStringLiteral("sqlite") << QStringLiteral("select * from nowhere where 1=0")
                                  << QStringLiteral("no such table: nowhere");
    QTest::newRow("sqlite syntax") << QStringLiteral("sqlite") << QStringLiteral("selec 1")
                                   << QStringLiteral("near \"selec\": syntax error");
    QTest::newRow("postgres column") << QStringLiteral("postgres") << QStringLiteral("select x from people")
                                     << QStringLiteral("column \"x\" does not exist");
    QTest::newRow("postgres division") << QStringLiteral("postgres") << QStringLiteral("select 1/0")
                                       << QStringLiteral("division by zero");
    QTest::newRow("odbc-sqlite column") << QStringLiteral("odbc-sqlite") << QStringLiteral("select x from people")
                                        << QStringLiteral("no such column: x");
    QTest::newRow("odbc-postgres column") << QStringLiteral("odbc-postgres") << QStringLiteral("select x from people")
                                          << QStringLiteral("column \"x\" does not exist");
}

void TestAdo::rejectedStatement()
{
    QFETCH(QString, backend);
    QFETCH(QString, sql);
    QFETCH(QString, message);
    const auto connection = open(backend);
    if (!connection) {
        return;
    }
    QString description;
    Recordset rs;
    QCOMPARE(errorNumber([&] { rs.Open(sql, connection); }, &description), ErrorNumber::Database);
    QCOMPARE(description, message);
    QCOMPARE(rs.State(), int(adStateClosed));

    QCOMPARE(errorNumber([&] { connection->Execute(sql); }, &description), ErrorNumber::Database);
    QCOMPARE(description, message);

    // The connection stays usable.
    rs.Open(QStringLiteral("select id from people"), connection);
    QVERIFY(!rs.Eof());
}

void TestAdo::recordCountAndMoves_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("cursorLocation");
    QTest::addColumn<int>("recordCount");
    for (const char *backend : {"sqlite", "postgres", "odbc-sqlite", "odbc-postgres"}) {
        QTest::addRow("%s server", backend) << QString::fromLatin1(backend) << int(adUseServer) << -1;
        QTest::addRow("%s client", backend) << QString::fromLatin1(backend) << int(adUseClient) << 3;
    }
}

void TestAdo::recordCountAndMoves()
{
    QFETCH(QString, backend);
    QFETCH(int, cursorLocation);
    QFETCH(int, recordCount);
    const auto connection = open(backend);
    if (!connection) {
        return;
    }
    QCOMPARE(connection->CursorLocation(), int(adUseServer));
    connection->setCursorLocation(cursorLocation);

    Recordset rs;
    rs.Open(QStringLiteral("select id, name from people order by id"), connection);
    QCOMPARE(rs.RecordCount(), recordCount);
    QVERIFY(!rs.Bof());
    QStringList names;
    for (; !rs.Eof(); rs.MoveNext()) {
        names.append(rs.Fields().Item(1).Value().toString());
    }
    QCOMPARE(names, QStringList({QStringLiteral("Ann"), QStringLiteral("Bob"), QStringLiteral("Cy")}));
    QCOMPARE(errorNumber([&rs] { rs.MoveNext(); }), adErrNoCurrentRecord);
    QCOMPARE(errorNumber([&rs] { rs.Fields().Item(0).Value(); }), adErrNoCurrentRecord);
    rs.MoveFirst();
    QCOMPARE(rs.Fields().Item(0).Value().toInt(), 1);
    QCOMPARE(errorNumber([&rs] { rs.Fields().Item(2); }), ErrorNumber::SubscriptOutOfRange);

    Recordset empty;
    empty.Open(QStringLiteral("select id from people where 1=0"), connection);
    QCOMPARE(empty.RecordCount(), cursorLocation == adUseClient ? 0 : -1);
    QVERIFY(empty.Bof());
    QVERIFY(empty.Eof());
}

void TestAdo::unicodeRoundTrip_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("text");
    const QString unicode = QStringLiteral("Grüße, Ελλάδα, 東京, snabbköp 😀");
    QTest::newRow("sqlite") << QStringLiteral("sqlite") << unicode;
    QTest::newRow("postgres") << QStringLiteral("postgres") << unicode;
    QTest::newRow("odbc-postgres") << QStringLiteral("odbc-postgres") << unicode;
    // The SQLite ODBC driver has no wide-character interface; unixODBC hands it ISO 8859-1.
    QTest::newRow("odbc-sqlite") << QStringLiteral("odbc-sqlite") << QStringLiteral("Grüße, snabbköp");
}

void TestAdo::unicodeRoundTrip()
{
    QFETCH(QString, backend);
    QFETCH(QString, text);
    const auto connection = open(backend);
    if (!connection) {
        return;
    }
    const int id = 100 + int(qHash(backend) % 1000);
    // The control only reads: the row is written as a host would, through the same driver.
    const auto hostExec = [&connection](const QString &sql) {
        QSqlQuery query(connection->database());
        QVERIFY2(query.exec(sql), qPrintable(query.lastError().text()));
    };
    hostExec(QStringLiteral("delete from people where id = %1").arg(id));
    hostExec(QStringLiteral("insert into people values (%1, '%2')").arg(id).arg(text));
    auto rs = connection->Execute(QStringLiteral("select name from people where id = %1").arg(id));
    QVERIFY(!rs->Eof());
    QCOMPARE(rs->Fields().Item(0).Value().toString(), text);
    QCOMPARE(rs->rowSource()->text(0, 0), text);
    rs.reset();
    hostExec(QStringLiteral("delete from people where id = %1").arg(id));
}

void TestAdo::connectionStringForms_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("connectionString");
    QTest::addColumn<QString>("driver");
    const QString path = m_sqlite->path();
    QTest::newRow("lower-case keys") << QStringLiteral("sqlite") << QStringLiteral("provider=sqlite;data source=") + path
                                     << QStringLiteral("QSQLITE");
    QTest::newRow("spaces and quotes") << QStringLiteral("sqlite")
                                       << QStringLiteral(" Provider = SQLite ; Data Source = \"%1\" ;").arg(path)
                                       << QStringLiteral("QSQLITE");
    QTest::newRow("no provider, data source") << QStringLiteral("sqlite") << QStringLiteral("Data Source=") + path
                                              << QStringLiteral("QSQLITE");
    QTest::newRow("no provider, driver") << QStringLiteral("sqlite")
                                         << QStringLiteral("Driver={SQLite3};Database=%1").arg(path)
                                         << QStringLiteral("QODBC");
    QTest::newRow("postgres synonyms") << QStringLiteral("postgres")
                                       << QStringLiteral("Provider=PostgreSQL;Server=%1;Port=%2;Initial Catalog=%3;UID=%4;PWD={%5}")
                                       << QStringLiteral("QPSQL");
}

void TestAdo::connectionStringForms()
{
    QFETCH(QString, backend);
    QFETCH(QString, connectionString);
    QFETCH(QString, driver);
    if (backend == u"postgres") {
        CONDORA_NEED_PG(pg);
        connectionString = connectionString.arg(pg.host).arg(pg.port).arg(pgDatabase, pg.user, pg.password);
    }
    Connection connection;
    connection.Open(connectionString);
    QCOMPARE(connection.driverName(), driver);
    QCOMPARE(connection.ConnectionString(), connectionString);
    const auto rs = connection.Execute(QStringLiteral("select name from people where id = 3"));
    QCOMPARE(rs->Fields().Item(0).Value().toString(), QStringLiteral("Cy"));
}

void TestAdo::odbcDriverString_data()
{
    QTest::addColumn<QString>("connectionString");
    // What reaches the ODBC driver manager ("%1" is the SQLite file).
    QTest::addColumn<QString>("driverString");
    const QString plain = QStringLiteral("Driver={SQLite3};Database=%1");
    QTest::newRow("no final separator") << QStringLiteral("Provider=ODBC;Driver={SQLite3};Database=%1") << plain;
    QTest::newRow("final separator") << QStringLiteral("Provider=ODBC;Driver={SQLite3};Database=%1;") << plain;
    QTest::newRow("doubled separators") << QStringLiteral("Provider=ODBC;;Driver={SQLite3};;Database=%1;;") << plain;
    QTest::newRow("spaces around segments")
        << QStringLiteral(" Provider = ODBC ;  Driver={SQLite3} ; ;Database=%1 ; ") << plain;
    QTest::newRow("provider last") << QStringLiteral("Driver={SQLite3};Database=%1;Provider=ODBC;") << plain;
    QTest::newRow("no provider") << QStringLiteral("Driver={SQLite3};Database=%1;") << plain;
    // A separator inside braces belongs to the value.
    QTest::newRow("separator in braces") << QStringLiteral("Provider=ODBC;Driver={SQLite3};Database=%1;Timeout={1;};")
                                         << QStringLiteral("Driver={SQLite3};Database=%1;Timeout={1;}");
}

void TestAdo::odbcDriverString()
{
    QFETCH(QString, connectionString);
    QFETCH(QString, driverString);
    const QString path = m_sqlite->path();
    Connection connection;
    connection.Open(connectionString.arg(path));
    QCOMPARE(connection.driverName(), QStringLiteral("QODBC"));
    QCOMPARE(connection.database().databaseName(), driverString.arg(path));
    const auto rs = connection.Execute(QStringLiteral("select name from people where id = 2"));
    QCOMPARE(rs->Fields().Item(0).Value().toString(), QStringLiteral("Bob"));
}

void TestAdo::badConnectionStrings_data()
{
    QTest::addColumn<QString>("connectionString");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("fragment");
    QTest::newRow("empty") << QString() << ErrorNumber::InvalidArgument << QStringLiteral("empty");
    QTest::newRow("blank") << QStringLiteral("  ; ") << ErrorNumber::InvalidArgument << QStringLiteral("no Provider");
    QTest::newRow("no key") << QStringLiteral("garbage") << ErrorNumber::InvalidArgument
                            << QStringLiteral("\"garbage\" is not of the form Key=Value");
    QTest::newRow("empty key") << QStringLiteral("Provider=SQLite;=x") << ErrorNumber::InvalidArgument
                               << QStringLiteral("not of the form");
    QTest::newRow("unbalanced brace") << QStringLiteral("Provider=ODBC;Driver={SQLite3;Database=x")
                                      << ErrorNumber::InvalidArgument << QStringLiteral("unbalanced {");
    QTest::newRow("unknown provider") << QStringLiteral("Provider=Jet;Data Source=x.mdb")
                                      << ErrorNumber::InvalidArgument << QStringLiteral("Unknown provider \"Jet\"");
    QTest::newRow("sqlite without file") << QStringLiteral("Provider=SQLite") << ErrorNumber::InvalidArgument
                                         << QStringLiteral("no Data Source");
    QTest::newRow("bad port") << QStringLiteral("Provider=PostgreSQL;Host=127.0.0.1;Port=fifty")
                              << ErrorNumber::InvalidArgument << QStringLiteral("\"fifty\" is not a port number");
    QTest::newRow("refused port") << QStringLiteral("Provider=PostgreSQL;Host=127.0.0.1;Port=1;Database=x;User ID=u")
                                  << ErrorNumber::Database << QStringLiteral("Connection refused");
    QTest::newRow("odbc without driver") << QStringLiteral("Provider=ODBC;Server=x") << ErrorNumber::InvalidArgument
                                         << QStringLiteral("no Driver or DSN");
    QTest::newRow("unknown odbc driver") << QStringLiteral("Provider=ODBC;Driver={No Such Driver};Server=x")
                                         << ErrorNumber::Database << QStringLiteral("No Such Driver");
    QTest::newRow("unknown dsn") << QStringLiteral("Provider=ODBC;DSN=condora_nowhere") << ErrorNumber::Database
                                 << QStringLiteral("Data source name not found");
    QTest::newRow("directory") << QStringLiteral("Provider=SQLite;Data Source=/tmp") << ErrorNumber::Database
                               << QStringLiteral("is not a database file");
}

void TestAdo::badConnectionStrings()
{
    QFETCH(QString, connectionString);
    QFETCH(int, number);
    QFETCH(QString, fragment);
    Connection connection;
    QString description;
    QCOMPARE(errorNumber([&] { connection.Open(connectionString); }, &description), number);
    QVERIFY2(description.contains(fragment), qPrintable(description));
    QVERIFY2(!description.contains(u'\n'), qPrintable(description));
    QCOMPARE(connection.State(), int(adStateClosed));
    QCOMPARE(errorNumber([&] { connection.Properties(); }), ErrorNumber::ObjectNotSet);
}

void TestAdo::missingSqliteFileIsNotCreated()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("missing.db"));
    Connection connection;
    QString description;
    QCOMPARE(errorNumber([&] { connection.Open(QStringLiteral("Provider=SQLite;Data Source=") + path); }, &description),
             ErrorNumber::Database);
    QCOMPARE(description, QStringLiteral("Could not find file '%1'.").arg(path));
    QVERIFY(!QFile::exists(path));

    // A file that is not a database fails at Open, not at the first statement.
    const QString junk = dir.filePath(QStringLiteral("junk.db"));
    QFile file(junk);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    QCOMPARE(errorNumber([&] { connection.Open(QStringLiteral("Provider=SQLite;Data Source=") + junk); }, &description),
             ErrorNumber::Database);
    QCOMPARE(description, QStringLiteral("file is not a database"));
}

void TestAdo::closedObjects()
{
    Connection never;
    QCOMPARE(never.State(), int(adStateClosed));
    QString description;
    QCOMPARE(errorNumber([&] { never.Properties(); }, &description), ErrorNumber::ObjectNotSet);
    QCOMPARE(description, QStringLiteral("Object variable not set: the connection is not open"));
    QCOMPARE(errorNumber([&] { never.Execute(QStringLiteral("select 1")); }), ErrorNumber::ObjectNotSet);
    Recordset rs;
    QCOMPARE(errorNumber([&] { rs.Open(QStringLiteral("select 1"), never); }), ErrorNumber::ObjectNotSet);
    QCOMPARE(errorNumber([&] { rs.Open(QStringLiteral("select 1"), std::shared_ptr<Connection>()); }),
             ErrorNumber::ObjectNotSet);

    const auto connection = m_sqlite->open();
    QCOMPARE(connection->State(), int(adStateOpen));
    rs.Open(QStringLiteral("select id from people"), connection);
    connection->Close();
    connection->Close();
    QCOMPARE(connection->State(), int(adStateClosed));
    QCOMPARE(errorNumber([&] { connection->Execute(QStringLiteral("select 1")); }), ErrorNumber::ObjectNotSet);
    QCOMPARE(errorNumber([&] { connection->Properties(); }), ErrorNumber::ObjectNotSet);
    QCOMPARE(errorNumber([&] { rs.Open(QStringLiteral("select 1"), connection); }), ErrorNumber::ObjectNotSet);

    // The recordset is closed by the failed Open; every operation says so.
    QCOMPARE(rs.State(), int(adStateClosed));
    rs.Close();
    QCOMPARE(errorNumber([&] { rs.Fields().Count(); }, &description), ErrorNumber::ObjectNotSet);
    QCOMPARE(description, QStringLiteral("Object variable not set: the recordset is closed"));
    QCOMPARE(errorNumber([&] { rs.Eof(); }), ErrorNumber::ObjectNotSet);
    QCOMPARE(errorNumber([&] { rs.Bof(); }), ErrorNumber::ObjectNotSet);
    QCOMPARE(errorNumber([&] { rs.RecordCount(); }), ErrorNumber::ObjectNotSet);
    QCOMPARE(errorNumber([&] { rs.MoveNext(); }), ErrorNumber::ObjectNotSet);
    QCOMPARE(errorNumber([&] { rs.MoveFirst(); }), ErrorNumber::ObjectNotSet);
    QVERIFY(!rs.rowSource());

    // Reopening works.
    connection->Open();
    QCOMPARE(connection->State(), int(adStateOpen));
}

void TestAdo::executeAndStatementCount()
{
    const auto connection = m_sqlite->open();
    QCOMPARE(condora::ado::statementCount(*connection), 0);
    const auto rs = connection->Execute(QStringLiteral("select id from people"), adAsyncExecute);
    QCOMPARE(rs->State(), int(adStateOpen));
    QCOMPARE(connection->lastExecuteOptions(), int(adAsyncExecute));
    QCOMPARE(rs->Fields().Item(0).Value().toInt(), 1);
    QCOMPARE(rs->Source(), QStringLiteral("select id from people"));

    Recordset probe;
    probe.Open(QStringLiteral("select id from people where 1=0"), connection);
    QCOMPARE(condora::ado::statementCount(*connection), 2);
    QCOMPARE(errorNumber([&] { probe.Open(QStringLiteral("select nothing"), connection); }), ErrorNumber::Database);
    QCOMPARE(condora::ado::statementCount(*connection), 3);
    QCOMPARE(errorNumber([&] { probe.Open(QStringLiteral("  "), connection); }), ErrorNumber::InvalidArgument);
    condora::ado::resetStatementCount(*connection);
    QCOMPARE(condora::ado::statementCount(*connection), 0);

    // A statement that would write is refused before it runs, and counts as sent.
    QCOMPARE(errorNumber([&] { connection->Execute(QStringLiteral("update people set name = name where 1=0")); }),
             ErrorNumber::Database);
    QCOMPARE(condora::ado::statementCount(*connection), 1);
}

void TestAdo::adoptedDatabase()
{
    const QString name = QStringLiteral("condora-host");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(m_sqlite->path());
        QVERIFY(db.open());
        const auto connection = Connection::fromDatabase(db);
        QCOMPARE(connection->State(), int(adStateOpen));
        QCOMPARE(connection->driverName(), QStringLiteral("QSQLITE"));
        QCOMPARE(connection->Properties().Item(1).Value().toString(), QStringLiteral("SQLite"));
        Recordset rs;
        rs.Open(QStringLiteral("select name from people where 1=0"), connection);
        QCOMPARE(rs.Fields().Item(0).Type(), int(adVarWChar));
        connection->Close();
        QVERIFY2(db.isOpen(), "closing the adopted connection closed the host's database");
    }
    QSqlDatabase::removeDatabase(name);
    QCOMPARE(errorNumber([] { Connection::fromDatabase(QSqlDatabase()); }), ErrorNumber::ObjectNotSet);
}

void TestAdo::rowSourceIsLazyAndOutlivesRecordset()
{
    test::SqliteFile file({QStringLiteral("CREATE TABLE n (i INTEGER, t VARCHAR(10), d DATE, r REAL, b BLOB)"),
                           QStringLiteral("WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 1000) "
                                          "INSERT INTO n SELECT i, 'row ' || i, '2024-01-02', i / 4.0, "
                                          "CASE WHEN i = 2 THEN x'0aff' END FROM s")});
    const auto connection = file.open();
    std::shared_ptr<RowSource> rows;
    {
        Recordset rs;
        rs.Open(QStringLiteral("select i, t, d, r, b from n order by i"), connection);
        rows = rs.rowSource();
        QCOMPARE(rows->fetchedCount(), 0);
        QVERIFY(!rs.Eof());
        QVERIFY(rows->fetchedCount() < 1000);
        rs.Close();
    }
    QCOMPARE(rows->columnCount(), 5);
    QCOMPARE(rows->columnName(1), QStringLiteral("t"));
    QCOMPARE(rows->columnName(5), QString());
    while (!rows->atEnd()) {
        rows->fetchMore(300);
    }
    QCOMPARE(rows->fetchedCount(), 1000);
    QCOMPARE(rows->fetchMore(10), 0);
    QCOMPARE(rows->value(999, 0), QVariant(qlonglong(1000)));
    QCOMPARE(rows->text(4, 1), QStringLiteral("row 5"));
    QCOMPARE(rows->text(0, 2), QStringLiteral("2024-01-02"));
    QCOMPARE(rows->text(2, 3), QStringLiteral("0.75"));
    QCOMPARE(rows->value(1, 4), QVariant(QByteArray("\x0a\xff", 2)));
    QVERIFY(rows->value(0, 4).isNull());
    QCOMPARE(rows->text(0, 4), QString());
    QVERIFY(!rows->value(1000, 0).isValid());
    QVERIFY(!rows->value(0, 5).isValid());
}

void TestAdo::rowSourceReleasedWhenConnectionCloses()
{
    const auto connection = m_sqlite->open();
    Recordset rs;
    rs.Open(QStringLiteral("select id, name from people order by id"), connection);
    const auto rows = rs.rowSource();
    QCOMPARE(rows->fetchMore(1), 1);
    connection->Close();
    QVERIFY(rows->atEnd());
    QCOMPARE(rows->fetchMore(10), 0);
    QCOMPARE(rows->fetchedCount(), 1);
    QCOMPARE(rows->text(0, 1), QStringLiteral("Ann"));
}

void TestAdo::failedFetchKeepsRows_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("kept");
    QTest::addColumn<QString>("lastKept");
    // SQLite fails at its sixth row, after the statement itself was accepted; the rows before
    // stay. PostgreSQL's rows arrive a fetch at a time (FETCH FORWARD n from a cursor), and the
    // server sends a fetch's rows only once the whole fetch has succeeded: its statement fails
    // at row 150, in the fetch after the first 100 rows, and those 100 stay.
    QTest::newRow("sqlite") << QStringLiteral("sqlite")
                            << QStringLiteral("WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 10) "
                                              "SELECT CASE WHEN i < 6 THEN i ELSE abs(-9223372036854775807 - 1) END FROM s")
                            << QStringLiteral("integer overflow") << 5 << QStringLiteral("5");
    QTest::newRow("postgres") << QStringLiteral("postgres")
                              << QStringLiteral("select 1000 / (150 - g) from generate_series(1, 300) g")
                              << QStringLiteral("division by zero") << 100 << QStringLiteral("20");
}

void TestAdo::failedFetchKeepsRows()
{
    QFETCH(QString, backend);
    QFETCH(QString, sql);
    QFETCH(QString, message);
    QFETCH(int, kept);
    QFETCH(QString, lastKept);
    const auto connection = open(backend);
    if (!connection) {
        return;
    }
    Recordset rs;
    rs.Open(sql, connection);
    const auto rows = rs.rowSource();
    QVERIFY(rows);
    while (!rows->atEnd()) {
        rows->fetchMore(100);
    }
    QCOMPARE(rows->fetchedCount(), kept);
    QCOMPARE(rows->fetchError(), message);
    QCOMPARE(rows->text(kept - 1, 0), lastKept);

    // With a client cursor every row is read at Open, so the failure surfaces there.
    connection->setCursorLocation(adUseClient);
    QString description;
    QCOMPARE(errorNumber([&] { rs.Open(sql, connection); }, &description), ErrorNumber::Database);
    QCOMPARE(description, message);
}

void TestAdo::streamingResultSurvivesNextStatement_data()
{
    addBackendRows();
}

void TestAdo::streamingResultSurvivesNextStatement()
{
    QFETCH(QString, backend);
    const auto connection = open(backend);
    if (!connection) {
        return;
    }
    const QString series = backend.endsWith(u"postgres")
        ? QStringLiteral("select g from generate_series(1, 5000) g")
        : QStringLiteral("WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 5000) SELECT i FROM s");
    Recordset big;
    big.Open(series, connection);
    const auto rows = big.rowSource();
    rows->fetchMore(10);
    // Another statement on the same connection while the first result is still streaming.
    Recordset other;
    other.Open(QStringLiteral("select name from people where id = 2"), connection);
    QCOMPARE(other.Fields().Item(0).Value().toString(), QStringLiteral("Bob"));
    while (!rows->atEnd()) {
        rows->fetchMore(1000);
    }
    QCOMPARE(rows->fetchedCount(), 5000);
    QCOMPARE(rows->text(4999, 0), QStringLiteral("5000"));
}

void TestAdo::rowStoreRoundTrip_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("null") << QVariant() << QString();
    QTest::newRow("typed null") << QVariant(QMetaType::fromType<int>()) << QString();
    QTest::newRow("true") << QVariant(true) << QStringLiteral("True");
    QTest::newRow("false") << QVariant(false) << QStringLiteral("False");
    QTest::newRow("int") << QVariant(-42) << QStringLiteral("-42");
    QTest::newRow("int min") << QVariant(std::numeric_limits<int>::min()) << QStringLiteral("-2147483648");
    QTest::newRow("longlong min") << QVariant(std::numeric_limits<qlonglong>::min())
                                  << QStringLiteral("-9223372036854775808");
    QTest::newRow("ulonglong max") << QVariant(std::numeric_limits<qulonglong>::max())
                                   << QStringLiteral("18446744073709551615");
    QTest::newRow("double") << QVariant(0.1) << QStringLiteral("0.1");
    QTest::newRow("double large") << QVariant(1e300) << QStringLiteral("1e+300");
    QTest::newRow("empty text") << QVariant(QString(u""_s)) << QString();
    QTest::newRow("unicode text") << QVariant(QStringLiteral("Ελλάδα 😀")) << QStringLiteral("Ελλάδα 😀");
    QTest::newRow("bytes") << QVariant(QByteArray("\0\x01\xff", 3)) << QStringLiteral("0001ff");
    QTest::newRow("date") << QVariant(QDate(1995, 3, 1)) << QStringLiteral("1995-03-01");
    QTest::newRow("old date") << QVariant(QDate(-44, 3, 15)) << QDate(-44, 3, 15).toString(Qt::ISODate);
    QTest::newRow("time") << QVariant(QTime(23, 59, 58)) << QStringLiteral("23:59:58");
    QTest::newRow("time ms") << QVariant(QTime(1, 2, 3, 4)) << QStringLiteral("01:02:03.004");
    QTest::newRow("datetime") << QVariant(QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)))
                              << QStringLiteral("2024-01-02 03:04:05");
    QTest::newRow("datetime utc") << QVariant(QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5, 600), Qt::UTC))
                                  << QStringLiteral("2024-01-02 03:04:05.600");
    QTest::newRow("uuid") << QVariant(QUuid(QStringLiteral("{12345678-1234-1234-1234-123456789abc}")))
                          << QStringLiteral("{12345678-1234-1234-1234-123456789abc}");
}

void TestAdo::rowStoreRoundTrip()
{
    QFETCH(QVariant, value);
    QFETCH(QString, text);
    // The value sits between two others, so reading it must step over its neighbours exactly.
    RowStore store(3);
    store.append({QStringLiteral("before"), value, 7});
    store.append({value, QVariant(), value});
    QCOMPARE(store.rowCount(), 2);
    for (const auto &[row, column] : {std::pair{0, 1}, std::pair{1, 0}, std::pair{1, 2}}) {
        const QVariant stored = store.value(row, column);
        if (value.isNull()) {
            QVERIFY(stored.isNull());
        } else {
            QCOMPARE(stored, value);
        }
        QCOMPARE(store.text(row, column), text);
    }
    QCOMPARE(store.value(0, 0).toString(), QStringLiteral("before"));
    QCOMPARE(store.value(0, 2), QVariant(7));
    QVERIFY(store.value(1, 1).isNull());
}

void TestAdo::sqliteValuesMatchTheDriver_data()
{
    QTest::addColumn<QString>("declared");
    for (const char *declared : {"", "INTEGER", "BIGINT", "INT", "REAL", "DOUBLE", "FLOAT", "NUMERIC(10,2)", "DECIMAL",
                                 "TEXT", "VARCHAR(40)", "CHAR(3)", "MEMO", "BLOB", "DATE", "DATETIME", "TIME",
                                 "BOOLEAN", "CURRENCY", "GUID"}) {
        QTest::newRow(*declared ? declared : "no declared type") << QString::fromLatin1(declared);
    }
}

// Rows after the first are read from SQLite's statement handle, not through Qt's driver: every
// value must come out as the driver itself reads it (a QSqlQuery on the same statement), for
// each storage class stored under each declared type.
void TestAdo::sqliteValuesMatchTheDriver()
{
    QFETCH(QString, declared);
    const QStringList values{
        u"NULL"_s, u"0"_s, u"-1"_s, u"9223372036854775807"_s, u"-9223372036854775808"_s, u"2147483648"_s,
        u"1.5"_s, u"-0.0"_s, u"1e308"_s, u"4.9e-324"_s, u"0.1"_s, u"'text'"_s, u"''"_s,
        u"'a' || char(0) || 'b'"_s, u"'Grüße 日本 😀'"_s, u"char(65534) || char(65535)"_s,
        u"cast(x'ff80' as text)"_s, u"cast(x'c0af' as text)"_s, u"cast(x'eda080' as text)"_s,
        u"x'00ff10'"_s, u"x''"_s, u"zeroblob(3)"_s, u"'2001-01-05'"_s, u"'12'"_s, u"' 42 '"_s, u"'1.5e3'"_s,
        u"'true'"_s};
    const QString tuples = u"("_s + values.join(u"), ("_s) + u")"_s;
    const condora::test::SqliteFile file({u"create table v (n integer primary key, x %1)"_s.arg(declared),
                                          u"insert into v (x) values "_s + tuples + u", "_s + tuples});
    const auto connection = file.open();
    const QString sql = u"select x, n, x as again from v order by n"_s;

    Recordset rs;
    rs.Open(sql, connection);
    const auto rows = rs.rowSource();
    while (rows->fetchMore(5) > 0) {
    }
    QVERIFY(rows->fetchError().isEmpty());

    QSqlQuery oracle(connection->database());
    oracle.setForwardOnly(true);
    QVERIFY(oracle.exec(sql));
    int row = 0;
    while (oracle.next()) {
        for (int column : {0, 1, 2}) {
            const QVariant expected = oracle.value(column);
            const QVariant actual = rows->value(row, column);
            const QByteArray where = QByteArray::number(row) + "," + QByteArray::number(column) + ": "
                                     + values.at(row % values.size()).toUtf8();
            QVERIFY2(actual.isNull() == expected.isNull(), where.constData());
            if (expected.isNull()) {
                continue;
            }
            QVERIFY2(actual.metaType() == expected.metaType(), where.constData());
            if (expected.metaType().id() == QMetaType::Double) {
                // Bit for bit, so that -0.0 and the smallest subnormal count too.
                const double a = actual.toDouble();
                const double e = expected.toDouble();
                QVERIFY2(std::memcmp(&a, &e, sizeof a) == 0, where.constData());
            } else {
                QVERIFY2(actual == expected, where.constData());
            }
        }
        ++row;
    }
    QCOMPARE(rows->fetchedCount(), row);
    QCOMPARE(row, 2 * int(values.size()));
}

// Column names are read from SQLite's statement handle, not from Qt's record: they must be the
// names Qt's driver reports for the same statement, quotes, dots and all.
void TestAdo::sqliteNamesMatchTheDriver()
{
    const condora::test::SqliteFile file({u"create table t (c integer, \"q\"\"uote\" text, [d.ot] text, Grüße text)"_s});
    const auto connection = file.open();
    for (const QString &sql : {u"select * from t"_s, u"select t.c, t.\"q\"\"uote\", t.[d.ot] from t"_s,
                               u"select 1 as \"a\"\"b\", 2 as [x.y], 3 as \"\", 4, count(*), c AS C from t"_s,
                               u"select * from t a join t b on a.c = b.c where 1 = 0"_s}) {
        Recordset rs;
        rs.Open(sql, connection);
        QSqlQuery oracle(connection->database());
        QVERIFY(oracle.exec(sql));
        const QSqlRecord record = oracle.record();
        QCOMPARE(rs.Fields().Count(), record.count());
        for (int i = 0; i < record.count(); ++i) {
            QCOMPARE(rs.Fields().Item(i).Name(), record.fieldName(i));
        }
    }
}

void TestAdo::openColumnsMatchesOpen_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("columns of every declared type") << u"select * from t where 1=0"_s;
    QTest::newRow("rows, expressions, a view") << u"select v.*, 1 + 1 as two, 'x' from v"_s;
    QTest::newRow("no such column") << u"select missing from t"_s;
    QTest::newRow("syntax error") << u"selec * from t"_s;
    QTest::newRow("a second statement") << u"select 1; select 2"_s;
    QTest::newRow("a parameter") << u"select * from t where n = ?"_s;
    QTest::newRow("fails at its first row") << u"select json('not json')"_s;
    QTest::newRow("comments only") << u"-- nothing"_s;
    QTest::newRow("writes") << u"delete from t"_s;
    QTest::newRow("no columns") << u"begin"_s;
}

// A statement opened for its columns reads them from SQLite itself: the names and types, or the
// error, are the ones Open() gives through Qt's driver.
void TestAdo::openColumnsMatchesOpen()
{
    QFETCH(QString, sql);
    const condora::test::SqliteFile file({u"create table t (n integer, r real, d date, m memo, b blob, x)"_s,
                                          u"insert into t values (1, 2.5, '2024-01-02', 'm', x'00', null)"_s,
                                          u"create view v as select n, x, n * 2 as twice from t"_s});
    const auto connection = file.open();
    const auto outcome = [&](bool columnsOnly) {
        Recordset rs;
        try {
            columnsOnly ? rs.OpenColumns(sql, *connection) : rs.Open(sql, *connection);
        } catch (const RuntimeError &error) {
            return u"error %1: %2"_s.arg(error.number()).arg(error.description());
        }
        QStringList columns;
        for (int i = 0; i < rs.Fields().Count(); ++i) {
            columns.append(u"%1 %2"_s.arg(rs.Fields().Item(i).Name()).arg(rs.Fields().Item(i).Type()));
        }
        return columns.join(u", "_s);
    };
    const QString expected = outcome(false);
    const int before = condora::ado::statementCount(*connection);
    QCOMPARE(outcome(true), expected);
    QCOMPARE(condora::ado::statementCount(*connection), before + 1);
}

void TestAdo::rowStoreIsCompact()
{
    // 200,000 rows of an integer, a short text, a date and a number: no per-row or per-cell
    // heap object, so the store stays near the encoded size (about 25 bytes a row here).
    RowStore store(4);
    QList<QVariant> row(4);
    for (int i = 0; i < 200000; ++i) {
        row[0] = i;
        row[1] = QStringLiteral("Customer %1").arg(i % 1000);
        row[2] = QDate(2000, 1, 1).addDays(i % 5000);
        row[3] = i / 8.0;
        store.append(row);
    }
    QCOMPARE(store.text(199999, 1), QStringLiteral("Customer 999"));
    QCOMPARE(store.value(123456, 3), QVariant(123456 / 8.0));
    const double perRow = double(store.bytesUsed()) / store.rowCount();
    QVERIFY2(perRow < 48, qPrintable(QStringLiteral("%1 bytes per row").arg(perRow)));
}

namespace {

// Every row of a statement, one "a|b|c" text per row.
QStringList allRows(const QString &sql, const std::shared_ptr<Connection> &connection)
{
    QStringList rows;
    Recordset rs;
    rs.Open(sql, connection);
    for (; !rs.Eof(); rs.MoveNext()) {
        QStringList cells;
        for (int i = 0; i < rs.Fields().Count(); ++i) {
            cells.append(rs.Fields().Item(i).Value().toString());
        }
        rows.append(cells.join(u'|'));
    }
    return rows;
}

const QString wouldChange = QStringLiteral("The statement would change data and was not run: this control only reads data");

} // namespace

QStringList TestAdo::snapshot(const QString &backend)
{
    const bool pg = backend.endsWith(u"postgres");
    const auto connection = pg ? test::pgServer()->open(pgDatabase) : m_sqlite->open();
    QStringList tables = allRows(pg ? QStringLiteral("select table_name from information_schema.tables "
                                                     "where table_schema = 'public'")
                                    : QStringLiteral("select name from sqlite_master where type = 'table'"),
                                 connection);
    tables.sort();
    QStringList state = tables;
    for (const QString &table : std::as_const(tables)) {
        QStringList rows = allRows(QStringLiteral("select * from %1").arg(table), connection);
        rows.sort();
        state.append(QStringLiteral("%1 (%2 rows): %3").arg(table).arg(rows.size()).arg(rows.join(u';')));
    }
    if (!pg) {
        state += allRows(QStringLiteral("pragma user_version"), connection);
    }
    return state;
}

void TestAdo::writesAreRefused_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("message"); // what the description starts with
    const QString serverReadOnly = QStringLiteral("cannot execute INSERT in a read-only transaction");
    const QString multiple = QStringLiteral("Unable to execute multiple statements at a time");
    struct Case
    {
        const char *name;
        const char *sql;
        int on; // 1 SQLite, 2 PostgreSQL, 3 both
        QString message;
    };
    const Case cases[] = {
        {"update", "update emp set salary = 0", 3, wouldChange},
        {"update as a no-rows probe", "update emp set salary = 0 where id = 1 or id = 2 and 1=0", 3, wouldChange},
        {"delete", "delete from emp where id = 1", 3, wouldChange},
        {"delete behind a comment", "/* select */ -- select\n delete from emp", 3, wouldChange},
        {"insert select", "insert into emp select id + 10, name, salary from emp", 3, wouldChange},
        {"create table", "create table intruder (x integer)", 3, wouldChange},
        {"drop table", "drop table emp", 3, wouldChange},
        {"with before a delete", "with gone as (select id from emp where id = 1) delete from emp "
                                 "where id in (select id from gone)", 3, wouldChange},
        {"second statement", "select id from emp; delete from emp", 3, multiple},
        {"pragma setter", "pragma user_version = 7", 1, wouldChange},
        {"begin", "begin", 1, wouldChange},
        {"data-modifying cte", "with x as (insert into emp values (9, 'X', 1) returning *) select * from x", 2,
         wouldChange},
        {"deleting cte", "with x as (delete from emp returning *) select count(*) from x", 2, wouldChange},
        {"select into", "select * into emp_copy from emp", 2, wouldChange},
        {"select for update", "select * from emp for update", 2, wouldChange},
        {"explain analyze delete", "explain analyze delete from emp", 2, wouldChange},
        {"writing function", "select touch_audit()", 2, serverReadOnly},
        {"writing function per row", "select id, touch_audit() from emp", 2, serverReadOnly},
    };
    for (const char *backend : {"sqlite", "postgres", "odbc-sqlite", "odbc-postgres"}) {
        const bool pg = QByteArray(backend).endsWith("postgres");
        const bool odbc = QByteArray(backend).startsWith("odbc");
        for (const Case &c : cases) {
            if (!(c.on & (pg ? 2 : 1))) {
                continue;
            }
            QString message = c.message;
            if (odbc && message == multiple) {
                message = wouldChange; // no driver of ours refuses the text first
            }
            QTest::addRow("%s %s", backend, c.name) << QString::fromLatin1(backend) << QString::fromLatin1(c.sql)
                                                     << message;
        }
    }
}

void TestAdo::writesAreRefused()
{
    QFETCH(QString, backend);
    QFETCH(QString, sql);
    QFETCH(QString, message);
    const auto connection = open(backend);
    if (!connection) {
        return;
    }
    const QStringList before = snapshot(backend);
    QString description;
    Recordset rs;
    QCOMPARE(errorNumber([&] { rs.Open(sql, connection); }, &description), ErrorNumber::Database);
    QVERIFY2(description.startsWith(message), qPrintable(description));
    QCOMPARE(rs.State(), int(adStateClosed));
    QCOMPARE(errorNumber([&] { connection->Execute(sql); }, &description), ErrorNumber::Database);
    QVERIFY2(description.startsWith(message), qPrintable(description));
    // With a client cursor, every row is read at Open: the writing function runs for each.
    connection->setCursorLocation(adUseClient);
    QCOMPARE(errorNumber([&] { rs.Open(sql, connection); }), ErrorNumber::Database);
    QCOMPARE(snapshot(backend), before);

    // The connection still reads.
    QCOMPARE(allRows(QStringLiteral("select name from emp order by id"), connection),
             QStringList({QStringLiteral("Ann"), QStringLiteral("Bob"), QStringLiteral("Cy")}));
}

void TestAdo::readsPassTheGuard_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("rows");
    const QStringList all = {QStringLiteral("Ann"), QStringLiteral("Bob"), QStringLiteral("Cy")};
    struct Case
    {
        const char *name;
        const char *sql;
        int on; // 1 SQLite, 2 PostgreSQL, 3 both
        QStringList rows;
    };
    const Case cases[] = {
        {"plain", "select name from emp order by id", 3, all},
        {"no-rows probe", "select name from emp where 1=0", 3, {}},
        {"cte", "with rich as (select * from emp where salary > 4000) select name from rich order by id", 3,
         {QStringLiteral("Ann"), QStringLiteral("Bob")}},
        {"subquery", "select name from emp where id in (select id from emp where salary < 4000)", 3,
         {QStringLiteral("Cy")}},
        {"literals naming writes", "select name from emp where name <> 'update; delete from emp' "
                                   "and name not in ('insert into', 'drop') order by id", 3, all},
        {"comments naming writes", "select name /* delete from emp; */ from emp -- update emp\n order by id", 3, all},
        {"quoted identifier", "select name as \"delete\" from emp where id = 2", 3, {QStringLiteral("Bob")}},
        {"name after a dot", "select e.name from emp e where e.id = 3", 3, {QStringLiteral("Cy")}},
        {"in brackets", "(select name from emp where id = 1)", 2, {QStringLiteral("Ann")}},
        {"trailing semicolon", "select name from emp where id = 1;", 3, {QStringLiteral("Ann")}},
        {"values", "values (1)", 3, {QStringLiteral("1")}},
        {"pragma", "pragma user_version", 1, {QStringLiteral("0")}},
        {"dollar quoted", "select $x$ update emp; $x$ || name from emp where id = 1", 2,
         {QStringLiteral(" update emp; Ann")}},
        {"escape string", "select E'it\\'s; delete' || name from emp where id = 1", 2,
         {QStringLiteral("it's; deleteAnn")}},
        {"table", "table emp", 2, {QStringLiteral("1|Ann|5100.5"), QStringLiteral("2|Bob|4200"), QStringLiteral("3|Cy|3900.25")}},
    };
    // The SQLite ODBC driver refuses a ";" even in a comment, runs VALUES without a result,
    // and PRAGMA is no query to the text check that ODBC connections get.
    const QList<QByteArray> notThroughOdbc = {"comments naming writes", "values", "pragma"};
    for (const char *backend : {"sqlite", "postgres", "odbc-sqlite", "odbc-postgres"}) {
        const bool pg = QByteArray(backend).endsWith("postgres");
        for (const Case &c : cases) {
            if (qstrcmp(backend, "odbc-sqlite") == 0 && notThroughOdbc.contains(c.name)) {
                continue;
            }
            if (c.on & (pg ? 2 : 1)) {
                QTest::addRow("%s %s", backend, c.name) << QString::fromLatin1(backend) << QString::fromLatin1(c.sql)
                                                         << c.rows;
            }
        }
    }
}

void TestAdo::readsPassTheGuard()
{
    QFETCH(QString, backend);
    QFETCH(QString, sql);
    QFETCH(QStringList, rows);
    const auto connection = open(backend);
    if (!connection) {
        return;
    }
    QStringList read;
    QString description;
    QVERIFY2(errorNumber([&] { read = allRows(sql, connection); }, &description) == 0, qPrintable(description));
    QCOMPARE(read, rows);
    connection->setCursorLocation(adUseClient);
    const auto rs = connection->Execute(sql);
    QCOMPARE(rs->RecordCount(), int(rows.size()));
}

// The advisory locks any session of the test database holds, as a second connection sees them.
QStringList heldAdvisoryLocks()
{
    const auto other = test::pgServer()->open(pgDatabase);
    QSqlQuery query(other->database());
    query.exec(QStringLiteral("select l.classid || ':' || l.objid || ':' || l.objsubid || ':' || l.mode "
                              "from pg_locks l where l.locktype = 'advisory' order by 1"));
    QStringList locks;
    while (query.next()) {
        locks.append(query.value(0).toString());
    }
    return locks;
}

void TestAdo::sideEffectsAreRefused_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("function"); // named in the refusal
    const std::pair<const char *, const char *> cases[] = {
        {"select pg_advisory_lock(42)", "pg_advisory_lock"},
        {"select pg_try_advisory_lock(42)", "pg_try_advisory_lock"},
        {"select PG_ADVISORY_LOCK_SHARED (4, 2)", "pg_advisory_lock_shared"},
        {"select pg_try_advisory_xact_lock_shared(42)", "pg_try_advisory_xact_lock_shared"},
        {"select name from emp where id = 1 and pg_catalog.pg_try_advisory_lock(id)", "pg_try_advisory_lock"},
        {"select \"pg_advisory_lock\"(42)", "pg_advisory_lock"},
        {"select pg_notify('condora', 'read')", "pg_notify"},
        {"select set_config('application_name', 'changed', false)", "set_config"},
        {"select nextval('some_sequence')", "nextval"},
        {"select pg_terminate_backend(0)", "pg_terminate_backend"},
    };
    for (const char *backend : {"postgres", "odbc-postgres"}) {
        for (const auto &[sql, function] : cases) {
            QTest::addRow("%s %s", backend, sql) << QString::fromLatin1(backend) << QString::fromLatin1(sql)
                                                 << QString::fromLatin1(function);
        }
    }
}

// Functions whose effect a read-only transaction lets outlive the statement are refused by
// name before anything runs: no lock is held afterwards, seen from another session.
void TestAdo::sideEffectsAreRefused()
{
    QFETCH(QString, backend);
    QFETCH(QString, sql);
    QFETCH(QString, function);
    const auto connection = open(backend);
    if (!connection) {
        return;
    }
    // A temporary sequence: a read-only transaction lets nextval() advance it.
    QSqlQuery host(connection->database());
    QVERIFY(host.exec(QStringLiteral("create temporary sequence some_sequence")));
    QString description;
    QCOMPARE(errorNumber([&] { allRows(sql, connection); }, &description), ErrorNumber::Database);
    QVERIFY2(description.startsWith(wouldChange), qPrintable(description));
    QVERIFY2(description.contains(function), qPrintable(description));
    QCOMPARE(heldAdvisoryLocks(), QStringList());
    QVERIFY(host.exec(QStringLiteral("select is_called from some_sequence")) && host.next());
    QCOMPARE(host.value(0).toBool(), false);
    // The names are calls only before a bracket: as column names and in literals they read.
    QCOMPARE(allRows(QStringLiteral("select name as nextval, 'pg_advisory_lock(1)' as set_config from emp "
                                    "where id = 1"),
                     connection),
             QStringList{u"Ann|pg_advisory_lock(1)"_s});
}

// A function of the database's own cannot be told from the text: the session advisory locks it
// took are released when the statement's transaction ends, while the session's own locks stay.
void TestAdo::locksTakenByFunctionsAreReleased_data()
{
    QTest::addColumn<QString>("backend");
    QTest::newRow("postgres") << QStringLiteral("postgres");
    QTest::newRow("odbc-postgres") << QStringLiteral("odbc-postgres");
}

void TestAdo::locksTakenByFunctionsAreReleased()
{
    QFETCH(QString, backend);
    const auto connection = open(backend);
    if (!connection) {
        return;
    }
    QSqlQuery host(connection->database());
    QVERIFY(host.exec(QStringLiteral("select pg_advisory_lock(5)")));
    const QStringList before = heldAdvisoryLocks();
    QCOMPARE(before.size(), 1);

    QCOMPARE(allRows(QStringLiteral("select take_lock(-1)::text || take_lock(5000000000)::text "
                                    "|| take_shared_twice(-3, 4)::text"),
                     connection),
             QStringList{u"truetruetrue"_s});
    QCOMPARE(heldAdvisoryLocks(), before);
    // A lock kept open while the rows stream goes when they are released.
    {
        Recordset rs;
        rs.Open(QStringLiteral("select take_lock(id) from emp"), connection);
        QVERIFY(!rs.Eof());
        rs.Close();
    }
    QCOMPARE(heldAdvisoryLocks(), before);
    QVERIFY(host.exec(QStringLiteral("select pg_advisory_unlock(5)")));
    QCOMPARE(heldAdvisoryLocks(), QStringList());
}

void TestAdo::guardKeepsHostTransaction()
{
    const auto connection = open(QStringLiteral("postgres"));
    if (!connection) {
        return;
    }
    const QStringList before = snapshot(QStringLiteral("postgres"));
    QSqlDatabase db = connection->database();
    QVERIFY(db.transaction());
    QSqlQuery host(db);
    QVERIFY(host.exec(QStringLiteral("insert into emp values (4, 'Dee', 1)")));
    // The control reads inside the host's transaction and sees its uncommitted row.
    QCOMPARE(allRows(QStringLiteral("select name from emp where id = 4"), connection), QStringList{u"Dee"_s});
    // A writing function fails in the read-only savepoint without spoiling the transaction.
    QString description;
    QCOMPARE(errorNumber([&] { connection->Execute(QStringLiteral("select touch_audit()")); }, &description),
             ErrorNumber::Database);
    QCOMPARE(description, QStringLiteral("cannot execute INSERT in a read-only transaction"));
    QCOMPARE(errorNumber([&] { connection->Execute(QStringLiteral("delete from emp")); }), ErrorNumber::Database);
    // A streaming result of the control ends with its rows; then the host writes on.
    const auto rs = connection->Execute(QStringLiteral("select g from generate_series(1, 3000) g"));
    QCOMPARE(rs->Fields().Item(0).Value().toInt(), 1);
    rs->rowSource()->release();
    QVERIFY2(host.exec(QStringLiteral("insert into emp values (5, 'Eve', 1)")), qPrintable(host.lastError().text()));
    QCOMPARE(allRows(QStringLiteral("select count(*) from emp"), connection), QStringList{u"5"_s});
    QVERIFY(db.rollback());
    QCOMPARE(snapshot(QStringLiteral("postgres")), before);
}

void TestAdo::guardEndsWithItsRows()
{
    const auto connection = open(QStringLiteral("postgres"));
    if (!connection) {
        return;
    }
    QSqlDatabase db = connection->database();
    QSqlQuery host(db);
    const auto hostWrites = [&host] {
        const bool ok = host.exec(QStringLiteral("update emp set salary = salary where id = 1"));
        return ok ? QString() : host.lastError().text();
    };
    // Walked to the end, released half-way, failed part-way, or taken over by the host's own
    // statement: no read-only transaction is left behind.
    allRows(QStringLiteral("select name from emp"), connection);
    QCOMPARE(hostWrites(), QString());

    auto rs = connection->Execute(QStringLiteral("select g from generate_series(1, 5000) g"));
    QVERIFY(!rs->Eof());
    rs.reset();
    QCOMPARE(hostWrites(), QString());

    rs = connection->Execute(QStringLiteral("select 10 / (150 - g) from generate_series(1, 300) g"));
    QCOMPARE(errorNumber([&] {
                 for (; !rs->Eof(); rs->MoveNext()) {
                 }
             }),
             ErrorNumber::Database);
    rs.reset();
    QCOMPARE(hostWrites(), QString());

    rs = connection->Execute(QStringLiteral("select g from generate_series(1, 5000) g"));
    const auto rows = rs->rowSource();
    rows->fetchMore(10);
    // The host's own statement runs while the control's rows wait in their cursor; they all
    // arrive afterwards (a result cut short would have to end with a message).
    QVERIFY(host.exec(QStringLiteral("select 1")));
    while (!rows->atEnd()) {
        rows->fetchMore(1000);
    }
    QCOMPARE(rows->fetchError(), QString());
    QCOMPARE(rows->fetchedCount(), 5000);
    QCOMPARE(rows->text(4999, 0), QStringLiteral("5000"));
    QCOMPARE(hostWrites(), QString());
}

void TestAdo::partialResultRaises_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("goodRows");
    QTest::addColumn<QString>("message");
    for (const char *path : {"walk", "row source", "client cursor"}) {
        QTest::addRow("sqlite json, %s", path)
            << u"sqlite"_s << QString::fromLatin1(path) << u"select d.id, json(d.meta) from docs d"_s
            << 2 << u"malformed JSON"_s;
        // The fetch that reaches row 3000 fails whole: the rows of the fetches before it stay.
        QTest::addRow("postgres division at row 3000, %s", path)
            << u"postgres"_s << QString::fromLatin1(path)
            << u"select g, 10 / (g - 3000) from generate_series(1, 5000) g"_s << -1 << u"division by zero"_s;
        // The server cancels it while rows are on their way: how many arrived first varies.
        QTest::addRow("postgres statement timeout, %s", path)
            << u"postgres"_s << QString::fromLatin1(path)
            << u"select g, case when g = 3000 then pg_sleep(2) end from generate_series(1, 5000) g"_s << -1
            << u"canceling statement due to statement timeout"_s;
    }
}

void TestAdo::partialResultRaises()
{
    QFETCH(QString, backend);
    QFETCH(QString, path);
    QFETCH(QString, sql);
    QFETCH(int, goodRows);
    QFETCH(QString, message);
    const auto connection = open(backend);
    if (!connection) {
        return;
    }
    if (message.contains(u"statement timeout"_s)) {
        QVERIFY(QSqlQuery(connection->database()).exec(u"set statement_timeout = 300"_s));
    }
    QString description;
    if (path == u"client cursor") {
        connection->setCursorLocation(adUseClient);
        Recordset rs;
        QCOMPARE(errorNumber([&] { rs.Open(sql, connection); }, &description), ErrorNumber::Database);
        QCOMPARE(description, message);
        return;
    }
    Recordset rs;
    rs.Open(sql, connection);
    if (path == u"row source") {
        const std::shared_ptr<RowSource> rows = rs.rowSource();
        while (!rows->atEnd()) {
            rows->fetchMore(700);
        }
        QVERIFY(goodRows < 0 || rows->fetchedCount() == goodRows);
        QCOMPARE(rows->fetchError(), message);
    }
    int walked = 0;
    QCOMPARE(errorNumber([&] {
                 for (; !rs.Eof(); rs.MoveNext()) {
                     ++walked;
                 }
             },
                         &description),
             ErrorNumber::Database);
    QVERIFY(goodRows < 0 ? walked < 5000 : walked == goodRows);
    QCOMPARE(description, message);
    if (walked == 0) {
        return;
    }
    // The rows before the failure stay readable; the failure stays where it is.
    rs.MoveFirst();
    QCOMPARE(rs.Fields().Item(0).Value().toInt(), 1);
    QCOMPARE(errorNumber([&] { rs.Eof(); }), 0);
}

void TestAdo::serverGoneMidResult_data()
{
    QTest::addColumn<bool>("rowSource");
    QTest::newRow("walk") << false;
    QTest::newRow("row source") << true;
}

// The server process ends while rows stream: the walk ends in the database's message, not in
// an end of file after the rows that happened to arrive.
void TestAdo::serverGoneMidResult()
{
    QFETCH(bool, rowSource);
    const auto connection = open(QStringLiteral("postgres"));
    if (!connection) {
        return;
    }
    const QString backend = connection->Execute(u"select pg_backend_pid()"_s)->Fields().Item(0).Value().toString();
    Recordset rs;
    rs.Open(u"select g, repeat('x', 1000) from generate_series(1, 200000) g"_s, connection);
    QVERIFY(!rs.Eof());
    const auto killer = open(QStringLiteral("postgres"));
    QVERIFY(QSqlQuery(killer->database()).exec(u"select pg_terminate_backend(%1)"_s.arg(backend)));
    QString description;
    int walked = 0;
    const int number = errorNumber(
        [&] {
            if (rowSource) {
                const std::shared_ptr<RowSource> rows = rs.rowSource();
                while (!rows->atEnd()) {
                    rows->fetchMore(5000);
                }
                walked = rows->fetchedCount();
                QVERIFY(!rows->fetchError().isEmpty());
            }
            for (; !rs.Eof(); rs.MoveNext()) {
                ++walked;
            }
        },
        &description);
    QVERIFY2(walked < 200000, qPrintable(QString::number(walked)));
    QCOMPARE(number, ErrorNumber::Database);
    QVERIFY2(!description.isEmpty(), "no message");
}

namespace {

/// An activity that lets statements run for `stopAfterMs` in all, notes the longest time the
/// engine went without asking, and tries to start a second statement from inside the first.
class StopwatchActivity : public StatementActivity
{
public:
    StopwatchActivity(Connection &connection, int stopAfterMs)
        : m_connection(connection)
        , m_stopAfterMs(stopAfterMs)
    {
        m_clock.start();
    }
    void begin(const QString &) override
    {
        ++begun;
        m_last = m_clock.elapsed();
    }
    bool keepGoing() override
    {
        note();
        if (!m_triedNested && m_clock.elapsed() > 50) {
            m_triedNested = true;
            try {
                Recordset nested;
                nested.Open(u"select 1"_s, m_connection);
            } catch (const RuntimeError &error) {
                nestedRefused = error.description() == u"Another statement is still running on this connection."_s;
            }
        }
        return m_clock.elapsed() < m_stopAfterMs;
    }
    void end() override
    {
        note();
        ++ended;
    }

    int begun = 0;
    int ended = 0;
    qint64 largestWait = 0;
    bool nestedRefused = false;

private:
    void note()
    {
        largestWait = std::max(largestWait, m_clock.elapsed() - m_last);
        m_last = m_clock.elapsed();
    }
    Connection &m_connection;
    int m_stopAfterMs;
    ThreadClock m_clock; // the engine runs on this thread: other programs' load does not count
    qint64 m_last = 0;
    bool m_triedNested = false;
};

} // namespace

void TestAdo::stoppedStatement_data()
{
    QTest::addColumn<QString>("sql");
    // Both run for minutes: the engine works on the first before its only row, and the
    // second streams row after row.
    QTest::newRow("stopped while it executes")
        << u"with recursive c(x) as (select 1 union all select x + 1 from c where x < 2000000000) select sum(x) from c"_s;
    QTest::newRow("stopped while its rows are fetched")
        << u"with recursive c(x) as (select 1 union all select x + 1 from c where x < 2000000000) select x from c"_s;
}

void TestAdo::stoppedStatement()
{
    QFETCH(QString, sql);
    const test::SqliteFile file({u"create table t(x integer)"_s, u"insert into t values (1), (2), (3)"_s});
    const std::shared_ptr<Connection> connection = file.open();
    StopwatchActivity activity(*connection, 300);
    connection->setStatementActivity(&activity);
    int number = 0;
    try {
        Recordset rows;
        rows.Open(sql, *connection);
        while (!rows.Eof()) {
            rows.MoveNext();
        }
    } catch (const RuntimeError &error) {
        number = error.number();
    }
    QCOMPARE(number, ErrorNumber::Cancelled);
    // The window may go at most 100 ms without its events; compiling the statement before the
    // engine's first look takes most of that under the sanitizers.
    QVERIFY2(activity.largestWait < 100, qPrintable(u"the engine did not ask for %1 ms"_s.arg(activity.largestWait)));
    QCOMPARE(activity.ended, activity.begun);
    QVERIFY(activity.nestedRefused);
    // The connection answers the next statement.
    connection->setStatementActivity(nullptr);
    QCOMPARE(connection->Execute(u"select count(*) from t"_s)->Fields().Item(0).Value().toInt(), 3);
}

// The try forms -----------------------------------------------------------------------------------

void TestAdo::tryFormsReportFailures_data()
{
    QTest::addColumn<int>("index");
    const QList<TryCase> cases = tryCases();
    for (int i = 0; i < cases.size(); ++i) {
        QTest::newRow(cases.at(i).name) << i;
    }
}

QList<TestAdo::TryCase> TestAdo::tryCases()
{
    const QString missing = u"Provider=SQLite;Data Source="_s + m_sqlite->path() + u".missing"_s;
    const QString refused = u"Provider=PostgreSQL;Host=127.0.0.1;Port=1;Database=x;User ID=u"_s;
    const QString rejected = u"select nosuch from people"_s;
    const QString none = u"select id from people where id > 100"_s;
    const auto sqlite = [this] { return m_sqlite->open(); };
    // A try form's error counts only when its answer, too, says the call failed.
    const auto atEnd = [sqlite, none] {
        auto rows = std::make_shared<Recordset>();
        rows->Open(none, sqlite());
        return rows;
    };
    using namespace ErrorNumber;
    return {
        {"Connection::tryOpen, missing file", Database, [=] { Connection().Open(missing); },
         [=] { Connection c; return !c.tryOpen(missing) && !c.isOpen() ? c.lastError() : QSqlError(); }},
        {"Connection::tryOpen, empty string", InvalidArgument, [] { Connection().Open(); },
         [=] { Connection c; return !c.tryOpen() ? c.lastError() : QSqlError(); }},
        {"Connection::tryOpen, refused port", Database, [=] { Connection().Open(refused); },
         [=] { Connection c; return !c.tryOpen(refused) ? c.lastError() : QSqlError(); }},
        {"Connection::tryFromDatabase, invalid database", ObjectNotSet, [] { Connection::fromDatabase({}); },
         [=] { QSqlError e; return !Connection::tryFromDatabase({}, &e) ? e : QSqlError(); }},
        {"Connection::tryExecute, closed connection", ObjectNotSet, [] { Connection().Execute(u"select 1"_s); },
         [=] { Connection c; return !c.tryExecute(u"select 1"_s) ? c.lastError() : QSqlError(); }},
        {"Connection::tryExecute, rejected statement", Database, [=] { sqlite()->Execute(rejected); },
         [=] { auto c = sqlite(); return !c->tryExecute(rejected) ? c->lastError() : QSqlError(); }},
        {"Connection::tryExecute, write refused", Database, [=] { sqlite()->Execute(u"delete from people"_s); },
         [=] { auto c = sqlite(); return !c->tryExecute(u"delete from people"_s) ? c->lastError() : QSqlError(); }},
        {"Connection::tryProperties, closed connection", ObjectNotSet, [] { Connection().Properties(); },
         [=] { Connection c; return c.tryProperties().Count() == 0 ? c.lastError() : QSqlError(); }},
        {"Recordset::tryOpen, empty statement", InvalidArgument, [=] { Recordset().Open(u" "_s, sqlite()); },
         [=] { Recordset r;
             return !r.tryOpen(u" "_s, sqlite()) && r.State() == adStateClosed ? r.lastError() : QSqlError(); }},
        {"Recordset::tryOpen, no connection", ObjectNotSet, [=] { Recordset().Open(none, nullptr); },
         [=] { Recordset r; return !r.tryOpen(none, nullptr) ? r.lastError() : QSqlError(); }},
        {"Recordset::tryOpenColumns, rejected statement", Database, [=] { Recordset().OpenColumns(rejected, *sqlite()); },
         [=] { Recordset r; return !r.tryOpenColumns(rejected, *sqlite()) ? r.lastError() : QSqlError(); }},
        {"Recordset::tryEof, closed recordset", ObjectNotSet, [] { Recordset().Eof(); },
         [=] { Recordset r; return r.tryEof() ? r.lastError() : QSqlError(); }},
        {"Recordset::tryBof, closed recordset", ObjectNotSet, [] { Recordset().Bof(); },
         [=] { Recordset r; return r.tryBof() ? r.lastError() : QSqlError(); }},
        {"Recordset::tryMoveNext, at the end", adErrNoCurrentRecord, [=] { atEnd()->MoveNext(); },
         [=] { auto r = atEnd(); return !r->tryMoveNext() ? r->lastError() : QSqlError(); }},
        {"Recordset::tryFieldValue, at the end", adErrNoCurrentRecord, [=] { atEnd()->fieldValue(0); },
         [=] { auto r = atEnd(); return !r->tryFieldValue(0).isValid() ? r->lastError() : QSqlError(); }},
        {"Field::tryValue, at the end", adErrNoCurrentRecord, [=] { atEnd()->Fields().Item(0).Value(); },
         [=] { auto r = atEnd(); return !r->Fields().Item(0).tryValue().isValid() ? r->lastError() : QSqlError(); }},
    };
}

// Each try form reports what its throwing form throws, as a QSqlError, and throws nothing.
void TestAdo::tryFormsReportFailures()
{
    QFETCH(int, index);
    const TryCase call = tryCases().at(index);
    QString description;
    QCOMPARE(errorNumber(call.throwing, &description), call.number);
    QSqlError reported;
    try {
        reported = call.tryForm();
    } catch (...) {
        QFAIL("the try form threw");
    }
    QCOMPARE(reported.nativeErrorCode(), QString::number(call.number));
    QCOMPARE(reported.databaseText(), description);
    QVERIFY(!description.isEmpty());
    QCOMPARE(reported.type(), call.number == ErrorNumber::Database ? QSqlError::StatementError : QSqlError::UnknownError);
}

void TestAdo::tryFormsWalkRows_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("cursorLocation");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("failure");
    for (const int location : {int(adUseServer), int(adUseClient)}) {
        const char *cursor = location == adUseServer ? "server" : "client";
        for (const char *backend : {"sqlite", "postgres"}) {
            QTest::addRow("%s %s cursor, whole result", backend, cursor)
                << QString::fromLatin1(backend) << location << u"select id, name from people order by id"_s << QString();
        }
        QTest::addRow("sqlite %s cursor, fails at row 3", cursor)
            << u"sqlite"_s << location << u"select d.id, json(d.meta) from docs d"_s << u"malformed JSON"_s;
        QTest::addRow("postgres %s cursor, fails at row 3000", cursor)
            << u"postgres"_s << location << u"select g, 10 / (g - 3000) from generate_series(1, 5000) g"_s
            << u"division by zero"_s;
    }
}

// A walk with the try forms reads what the test's own query reads; a result that fails part-way
// ends the walk with the error the throwing walk throws, after the same rows.
void TestAdo::tryFormsWalkRows()
{
    QFETCH(QString, backend);
    QFETCH(int, cursorLocation);
    QFETCH(QString, sql);
    QFETCH(QString, failure);
    const auto connection = open(backend);
    if (!connection) {
        return;
    }
    connection->setCursorLocation(cursorLocation);

    QList<QStringList> read;
    Recordset rows;
    QSqlError error;
    try {
        if (rows.tryOpen(sql, *connection)) {
            for (; !rows.tryEof(); rows.tryMoveNext()) {
                QStringList row;
                for (int column = 0; column < rows.fieldCount(); ++column) {
                    row << rows.tryFieldValue(column).toString();
                }
                read << row;
            }
        }
        error = rows.lastError();
    } catch (...) {
        QFAIL("a try form threw");
    }

    QList<QStringList> expected;
    if (failure.isEmpty()) {
        QSqlQuery query(connection->database());
        QVERIFY2(query.exec(sql), qPrintable(query.lastError().text()));
        while (query.next()) {
            QStringList row;
            for (int column = 0; column < query.record().count(); ++column) {
                row << query.value(column).toString();
            }
            expected << row;
        }
        QVERIFY(!expected.isEmpty());
        QVERIFY2(!error.isValid(), qPrintable(error.text()));
        QCOMPARE(read, expected);
        return;
    }
    // The throwing walk on a fresh connection.
    const auto other = open(backend);
    other->setCursorLocation(cursorLocation);
    QString description;
    const int number = test::errorNumber(
        [&] {
            Recordset walk;
            walk.Open(sql, *other);
            for (; !walk.Eof(); walk.MoveNext()) {
                QStringList row;
                for (int column = 0; column < walk.fieldCount(); ++column) {
                    row << walk.fieldValue(column).toString();
                }
                expected << row;
            }
        },
        &description);
    QCOMPARE(number, ErrorNumber::Database);
    QVERIFY2(description.contains(failure), qPrintable(description));
    QCOMPARE(error.nativeErrorCode(), QString::number(number));
    QCOMPARE(error.databaseText(), description);
    QCOMPARE(read, expected);
}

CONDORA_TEST_MAIN(TestAdo)
#include "tst_ado.moc"
