// The analysis against real databases: a SQLite file with the sample schema and the same
// schema on the PostgreSQL test server. Statements are written for SQLite; for PostgreSQL the
// bracketed names are written with double quotes instead.

#include "analysis/columninfo.h"
#include "platform/ado/connectionstatistics.h"
#include "analysis/columnfilters.h"
#include "analysis/databasekind.h"
#include "analysis/fieldcatalog.h"
#include "analysis/statementsplitter.h"
#include "analysis/statementtools.h"
#include "analysis/tableresolution.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/runtimeerror.h"
#include "platform/userinteraction.h"

#include "support/testdatabases.h"
#include "support/testmain.h"

#include <QSqlDriver>

#include <sqlite3.h>

#include <cmath>
#include <memory>

using namespace Qt::StringLiterals;
using namespace condora;

namespace {

const QString pgDatabase = u"condora_analysis"_s;
const QString unrecognised = u"Condora can't recognise this sql's format.Please change the sql's format."_s;

const QString customerSql = u"SELECT Customers.CustomerID, Customers.CompanyName, Customers.ContactName, GenderTypes.Gender"
                            " FROM GenderTypes INNER JOIN Customers ON GenderTypes.GenderID = Customers.GenderID"_s;
const QString orderSql =
    u"SELECT [Order Details].OrderID, [Order Details].ProductID, Products.ProductName, [Order Details].UnitPrice, "
    "[Order Details].Quantity, [Order Details].Discount, "
    "CCur([Order Details].[UnitPrice]*[Quantity]*(1-[Discount])/100)*100 AS ExtendedPrice "
    "FROM Products INNER JOIN [Order Details] ON Products.ProductID = [Order Details].ProductID "
    "ORDER BY [Order Details].OrderID"_s;

// SQLite's statement of a case, or its PostgreSQL form: quoted "Order Details", plain column names.
QString forBackend(const QString &sql, bool postgres)
{
    if (!postgres) {
        return sql;
    }
    QString out = sql;
    out.replace(u"[Order Details]"_s, u"\"Order Details\""_s);
    out.replace(u"[UnitPrice]"_s, u"UnitPrice"_s);
    out.replace(u"[Quantity]"_s, u"Quantity"_s);
    out.replace(u"[Discount]"_s, u"Discount"_s);
    return out;
}

QStringList forBackend(const QStringList &texts, bool postgres)
{
    QStringList out;
    for (const QString &text : texts) {
        out << forBackend(text, postgres);
    }
    return out;
}

QStringList extraSchema(bool postgres)
{
    if (postgres) {
        return {
            u"CREATE FUNCTION CCur(double precision) RETURNS numeric LANGUAGE sql IMMUTABLE "
            "AS 'SELECT round($1::numeric, 4)'"_s,
            u"CREATE TABLE Städte (Straße VARCHAR(40), Größe INTEGER)"_s,
            u"INSERT INTO Städte VALUES ('Hauptstraße', 3)"_s,
            u"CREATE TABLE Oddities (Id INTEGER, Data BYTEA, Tag UUID, At TIME, Stamp TIMESTAMP)"_s,
            u"CREATE EXTENSION IF NOT EXISTS citext"_s,
            u"CREATE TABLE TextTypes (c_text TEXT, c_vc VARCHAR(10), c_bpchar CHAR(3), c_name NAME, c_char \"char\", "
            "c_citext CITEXT, c_date DATE)"_s,
        };
    }
    return {
        u"CREATE TABLE Städte (Straße VARCHAR(40), Größe INTEGER)"_s,
        u"INSERT INTO Städte VALUES ('Hauptstraße', 3)"_s,
        u"CREATE TABLE Oddities (Id INTEGER, Data BLOB, Tag GUID, At TIME, Stamp DATETIME)"_s,
        u"CREATE TABLE TextTypes (c_text TEXT, c_lt LONGTEXT, c_memo MEMO, c_ntext NTEXT, c_clob CLOB, "
        "c_vc VARCHAR(10))"_s,
        u"INSERT INTO TextTypes VALUES ('a', 'b', 'c', 'd', 'e', 'f')"_s,
    };
}

// The demo's currency rounding, so that the order statement runs on SQLite as written.
void ccur(sqlite3_context *context, int, sqlite3_value **values)
{
    if (sqlite3_value_type(values[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    sqlite3_result_double(context, std::round(sqlite3_value_double(values[0]) * 10000.0) / 10000.0);
}

void registerCCur(ado::Connection &connection)
{
    const QVariant handle = connection.database().driver()->handle();
    QVERIFY(qstrcmp(handle.typeName(), "sqlite3*") == 0);
    sqlite3 *db = *static_cast<sqlite3 *const *>(handle.constData());
    QCOMPARE(sqlite3_create_function_v2(db, "CCur", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, ccur, nullptr,
                                        nullptr, nullptr),
             SQLITE_OK);
}

// A catalog field of every entry, as text: type classes by their names, usable as "0" for a
// column that cannot be used and empty otherwise.
QString asText(const QString &value)
{
    return value;
}

QString asText(TypeClass value)
{
    return typeClassText(value);
}

QString asText(bool usable)
{
    return usable ? QString() : u"0"_s;
}

template<typename T>
QStringList column(const FieldCatalog &catalog, T ColumnInfo::*field)
{
    QStringList values;
    for (int i = 1; i < catalog.size(); ++i) {
        values << asText(catalog.at(i).*field);
    }
    return values;
}

QStringList tablePairs(const TableList &tables)
{
    QStringList pairs;
    for (int i = 1; i < tables.size(); ++i) {
        pairs << tables.at(i).tabName + u" | "_s + tables.at(i).tabAlias;
    }
    return pairs;
}

// What the database says about a statement, opened directly.
QString rejectionOf(const QString &sql, ado::Connection &connection)
{
    try {
        ado::Recordset rs;
        rs.Open(sql, connection);
    } catch (const RuntimeError &error) {
        return error.description();
    }
    return QString();
}

// A catalog entry as the select-list parse and the binding leave it.
ColumnInfo boundColumn(const QString &colExpr, const QString &tabName, const QString &tabAlias = QString())
{
    ColumnInfo column;
    column.colExpr = colExpr;
    column.colName = colExpr;
    column.tabName = tabName;
    column.tabAlias = tabAlias;
    column.valueList = QStringList{QString()};
    return column;
}

} // namespace

// Opens the case's database as the run's connection (skips PostgreSQL cases without a server).
#define OPEN_BACKEND(postgres)                                                                                 \
    if (postgres) {                                                                                            \
        CONDORA_NEED_PG(pg);                                                                                   \
        Q_UNUSED(pg);                                                                                          \
        QVERIFY2(m_pgReady, "the PostgreSQL test database could not be set up");                               \
    }                                                                                                          \
    const std::shared_ptr<ado::Connection> conn = openBackend(postgres);                                       \
    QVERIFY(conn);                                                                                             \
    if (QTest::currentTestFailed()) {                                                                          \
        return;                                                                                                \
    }

class TestAnalysisDatabase : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void testSql_data();
    void testSql();
    void testSqlReusesItsRecordset();

    void readColumnNames_data();
    void readColumnNames();
    void readColumnTypes_data();
    void readColumnTypes();
    void textClasses_data();
    void textClasses();

    void getDbKind_data();
    void getDbKind();

    void bindColumns_data();
    void bindColumns();
    void bindColumnsUnknownTable_data();
    void bindColumnsUnknownTable();

    void workedExamples_data();
    void workedExamples();
    void splitSql_data();
    void splitSql();
    void splitSqlFailures_data();
    void splitSqlFailures();

    void filterClauses_data();
    void filterClauses();
    void filterCoverage_data();
    void filterCoverage();
    void filterReports_data();
    void filterReports();

    void closedConnection_data();
    void closedConnection();

private:
    void addBackendRows(const char *name, const std::function<void(QTestData &, bool)> &fill);
    std::shared_ptr<ado::Connection> openBackend(bool postgres);
    FieldCatalog analysed(const QString &sql);

    std::unique_ptr<test::SqliteFile> m_sqlite;
    std::unique_ptr<RecordingUserInteraction> m_ui;
    bool m_pgReady = false;
    /// The connection of the current test (openBackend).
    std::shared_ptr<ado::Connection> m_conn;
};

void TestAnalysisDatabase::initTestCase()
{
    // Nothing here writes to the databases: one SQLite file and one PostgreSQL database serve all.
    m_sqlite = std::make_unique<test::SqliteFile>(test::sampleSchema(false) + extraSchema(false));
    if (const auto pg = test::pgServer()) {
        pg->createDatabase(pgDatabase);
        pg->exec(pgDatabase, test::sampleSchema(true) + extraSchema(true));
        m_pgReady = true;
    }
}

void TestAnalysisDatabase::cleanupTestCase()
{
    m_sqlite.reset();
}

void TestAnalysisDatabase::init()
{
    m_conn.reset();
    m_ui = std::make_unique<RecordingUserInteraction>();
}

void TestAnalysisDatabase::cleanup()
{
    m_conn.reset();
    m_ui.reset();
}

void TestAnalysisDatabase::addBackendRows(const char *name, const std::function<void(QTestData &, bool)> &fill)
{
    for (const bool postgres : {false, true}) {
        QTestData &row = QTest::addRow("%s: %s", postgres ? "postgres" : "sqlite", name);
        row << postgres;
        fill(row, postgres);
    }
}

std::shared_ptr<ado::Connection> TestAnalysisDatabase::openBackend(bool postgres)
{
    std::shared_ptr<ado::Connection> connection;
    if (postgres) {
        connection = test::pgServer()->open(pgDatabase);
    } else {
        connection = m_sqlite->open();
        registerCCur(*connection);
    }
    m_conn = connection;
    return connection;
}

// The catalog of a statement that splits without a report.
FieldCatalog TestAnalysisDatabase::analysed(const QString &sql)
{
    FieldCatalog catalog;
    TableList tables;
    if (!condora::splitSql(*m_conn, sql, catalog, tables)) {
        qWarning("analysis failed: %s", qPrintable(m_ui->texts().join(u" / "_s)));
        return {};
    }
    return catalog;
}

void TestAnalysisDatabase::testSql_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<bool>("accepted");
    const auto add = [this](const char *name, const QString &sql, bool accepted) {
        addBackendRows(name, [&](QTestData &row, bool) { row << sql << accepted; });
    };
    add("plain", u"select Gender from GenderTypes"_s, true);
    add("where and order by", u"select Gender from GenderTypes where GenderID > 1 order by Gender"_s, true);
    add("or in the where", u"select Gender from GenderTypes where GenderID = 1 or GenderID = 2"_s, true);
    add("unknown column", u"select Nope from GenderTypes"_s, false);
    add("unknown table", u"select Gender from NoSuchTable"_s, false);
    add("where after a line break (was refused)", u"select Gender from GenderTypes\nwhere GenderID > 1"_s, true);
    add("order by after a tab (was refused)", u"select Gender from GenderTypes\torder by Gender"_s, true);
    add("group by and limit (were refused)", u"select Gender from GenderTypes group by Gender limit 2"_s, true);
}

void TestAnalysisDatabase::testSql()
{
    QFETCH(bool, postgres);
    QFETCH(QString, statement);
    QFETCH(bool, accepted);
    OPEN_BACKEND(postgres);

    const QString answer = condora::testSql(*m_conn, statement);
    QCOMPARE(condora::ado::statementCount(*conn), 1);
    if (accepted) {
        QCOMPARE(answer, QString());
        QCOMPARE(condora::ado::lastStatement(*conn), probeSql(statement));
    } else {
        QVERIFY(!answer.isEmpty());
        QCOMPARE(answer, rejectionOf(probeSql(statement), *conn));
    }
    QVERIFY(m_ui->messages().isEmpty());
}

void TestAnalysisDatabase::testSqlReusesItsRecordset()
{
    // One probe per test, a rejected one in between included; nothing stays open.
    OPEN_BACKEND(false);
    QCOMPARE(condora::testSql(*m_conn, u"select Gender from GenderTypes"_s), QString());
    QVERIFY(!condora::testSql(*m_conn, u"select Nope from GenderTypes"_s).isEmpty());
    QCOMPARE(condora::testSql(*m_conn, u"select CompanyName from Customers"_s), QString());
    QCOMPARE(condora::ado::statementCount(*conn), 3);
}

void TestAnalysisDatabase::readColumnNames_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QStringList>("names");
    addBackendRows("worked example: customer statement", [](QTestData &row, bool postgres) {
        row << customerSql
            << (postgres ? QStringList{u"customerid"_s, u"companyname"_s, u"contactname"_s, u"gender"_s}
                         : QStringList{u"CustomerID"_s, u"CompanyName"_s, u"ContactName"_s, u"Gender"_s});
    });
    addBackendRows("surrounding spaces trimmed", [](QTestData &row, bool) {
        row << u"select Gender as \"  Sex  \", GenderID as \" Id\" from GenderTypes"_s
            << QStringList{u"Sex"_s, u"Id"_s};
    });
    addBackendRows("non-ASCII", [](QTestData &row, bool postgres) {
        row << u"select ö.Straße, Größe from Städte ö"_s
            << (postgres ? QStringList{u"straße"_s, u"größe"_s} : QStringList{u"Straße"_s, u"Größe"_s});
    });
}

void TestAnalysisDatabase::readColumnNames()
{
    QFETCH(bool, postgres);
    QFETCH(QString, statement);
    QFETCH(QStringList, names);
    OPEN_BACKEND(postgres);

    // The catalog is created afresh: nothing of an earlier content survives.
    FieldCatalog catalog(9, boundColumn(u"old"_s, u"old"_s, u"old"_s));
    QVERIFY(condora::readColumnNames(*m_conn, statement, catalog));
    QCOMPARE(catalog.size(), names.size() + 1);
    QCOMPARE(column(catalog, &ColumnInfo::colName), names);
    for (int i = 0; i < catalog.size(); ++i) {
        ColumnInfo expected;
        expected.colName = i == 0 ? QString() : names.at(i - 1);
        QCOMPARE(catalog.at(i), expected);
    }
    QCOMPARE(condora::ado::statementCount(*conn), 1);
    QVERIFY(m_ui->messages().isEmpty());
}

void TestAnalysisDatabase::readColumnTypes_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QStringList>("classes");
    addBackendRows("customer columns", [](QTestData &row, bool postgres) {
        // The notes are MEMO on SQLite (long text), TEXT on PostgreSQL (compared like any string).
        row << u"select CustomerID, CompanyName, GenderID, Notes, Since, Active from Customers"_s
            << QStringList{u"string"_s, u"string"_s, u"number"_s, postgres ? u"string"_s : u"lstring"_s,
                           u"date"_s, u"boolean"_s};
    });
    addBackendRows("currency and numbers", [](QTestData &row, bool) {
        row << u"select UnitPrice, Quantity, Discount from [Order Details]"_s
            << QStringList{u"number"_s, u"number"_s, u"number"_s};
    });
    addBackendRows("binary, GUID, time and time stamp", [](QTestData &row, bool) {
        row << u"select Data, Tag, At, Stamp, Id from Oddities"_s
            << QStringList{u"other"_s, u"other"_s, u"string"_s, u"date"_s, u"number"_s};
    });
}

// Text the database compares like any string is "string" (all comparisons offered); "lstring"
// stays for the long text of systems that cannot compare it, which a SQLite schema mirrors by
// its declared names.
void TestAnalysisDatabase::textClasses_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QStringList>("classes");
    const QString s = u"string"_s;
    const QString l = u"lstring"_s;
    QTest::newRow("sqlite: declared text types")
        << false << u"select c_text, c_lt, c_memo, c_ntext, c_clob, c_vc from TextTypes"_s
        << QStringList{s, s, l, l, l, s};
    QTest::newRow("sqlite: text expressions")
        << false
        << u"select upper(c_vc), c_vc || 'x', case when c_vc = 'f' then 'y' else 'n' end, cast(c_lt as text), "
           "substr(c_text, 1) from TextTypes"_s
        << QStringList{s, s, s, s, s};
    QTest::newRow("postgres: text types")
        << true << u"select c_text, c_vc, c_bpchar, c_name, c_char, c_citext from TextTypes"_s
        << QStringList{s, s, s, s, s, s};
    QTest::newRow("postgres: text expressions")
        << true
        << u"select upper(c_vc), c_vc || 'x', case when c_vc = 'f' then 'y' else 'n' end, "
           "to_char(c_date, 'yyyy-mm-dd'), c_date::text, c_citext || '' from TextTypes"_s
        << QStringList{s, s, s, s, s, s};
}

void TestAnalysisDatabase::textClasses()
{
    QFETCH(bool, postgres);
    QFETCH(QString, statement);
    QFETCH(QStringList, classes);
    OPEN_BACKEND(postgres);
    Q_UNUSED(conn);

    FieldCatalog catalog;
    QVERIFY(condora::readColumnNames(*m_conn, statement, catalog));
    QVERIFY(condora::readColumnTypes(*m_conn, statement, catalog));
    QCOMPARE(column(catalog, &ColumnInfo::typeClass), classes);
    for (int i = 1; i < catalog.size(); ++i) {
        QVERIFY(catalog.at(i).usable);
    }
}

void TestAnalysisDatabase::readColumnTypes()
{
    QFETCH(bool, postgres);
    QFETCH(QString, statement);
    QFETCH(QStringList, classes);
    OPEN_BACKEND(postgres);
    statement = forBackend(statement, postgres);

    FieldCatalog catalog;
    QVERIFY(condora::readColumnNames(*m_conn, statement, catalog));
    QVERIFY(condora::readColumnTypes(*m_conn, statement, catalog));
    QCOMPARE(condora::ado::statementCount(*conn), 2);
    QCOMPARE(column(catalog, &ColumnInfo::typeClass), classes);

    // typeCode is the field's own type number; only class "other" marks the column unusable.
    ado::Recordset rs;
    rs.Open(probeSql(statement), *conn);
    for (int i = 1; i < catalog.size(); ++i) {
        QCOMPARE(catalog.at(i).typeCode, rs.Fields().Item(i - 1).Type());
        QCOMPARE(catalog.at(i).usable, classes.at(i - 1) != u"other"_s);
    }
    QVERIFY(m_ui->messages().isEmpty());
}

void TestAnalysisDatabase::getDbKind_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<bool>("odbc");
    addBackendRows("native driver", [](QTestData &row, bool) { row << false; });
    addBackendRows("ODBC driver", [](QTestData &row, bool) { row << true; });
}

void TestAnalysisDatabase::getDbKind()
{
    QFETCH(bool, postgres);
    QFETCH(bool, odbc);
    OPEN_BACKEND(postgres);

    ado::Connection connection;
    if (odbc) {
        connection.Open(postgres ? test::pgServer()->odbcConnectionString(pgDatabase)
                                 : u"Provider=ODBC;Driver={SQLite3};Database="_s + m_sqlite->path() + u";"_s);
    } else {
        connection.Open(postgres ? test::pgServer()->connectionString(pgDatabase) : m_sqlite->connectionString());
    }
    // Neither PostgreSQL nor SQLite is one of the three kinds the dialect knows.
    QCOMPARE(dbKindText(condora::getDbKind(connection)), u"99"_s);
    QCOMPARE(dbKindText(condora::getDbKind(*conn)), u"99"_s);
    QCOMPARE(condora::ado::statementCount(connection), 0);
    QVERIFY(m_ui->messages().isEmpty());

    connection.Close();
    QCOMPARE(dbKindText(condora::getDbKind(connection)), QString());
    QCOMPARE(m_ui->messages().size(), 1);
    QCOMPARE(m_ui->texts().at(0).split(u"\r\n"_s).value(2), u"Error number:91"_s);
}

void TestAnalysisDatabase::bindColumns_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<FieldCatalog>("catalog");
    QTest::addColumn<TableList>("tables");
    QTest::addColumn<QStringList>("tabName");
    QTest::addColumn<QStringList>("tabAlias");
    QTest::addColumn<int>("statements");

    const TableList productsFirst{{}, {u"Products"_s, u"p"_s}, {u"[Order Details]"_s, u"od"_s}};
    const TableList detailsFirst{{}, {u"[Order Details]"_s, u"od"_s}, {u"Products"_s, u"p"_s}};
    const FieldCatalog unitPrice{{}, boundColumn(u"UnitPrice"_s, QString())};
    addBackendRows("column in two tables: the first wins", [&](QTestData &row, bool postgres) {
        row << unitPrice << productsFirst << QStringList{u"Products"_s} << QStringList{u"p"_s} << 1;
        Q_UNUSED(postgres);
    });
    addBackendRows("column in two tables, other order", [&](QTestData &row, bool postgres) {
        TableList tables = detailsFirst;
        tables[1].tabName = forBackend(tables[1].tabName, postgres);
        row << unitPrice << tables << QStringList{tables[1].tabName} << QStringList{u"od"_s} << 1;
    });
    addBackendRows("stops once every column is bound", [&](QTestData &row, bool postgres) {
        TableList tables{{}, {u"GenderTypes"_s, u"GenderTypes"_s}, {u"NoSuchTable"_s, u"n"_s}};
        Q_UNUSED(postgres);
        row << FieldCatalog{{}, boundColumn(u"Gender"_s, QString())} << tables << QStringList{u"GenderTypes"_s}
            << QStringList{u"GenderTypes"_s} << 1;
    });
    addBackendRows("field names match in any case", [&](QTestData &row, bool) {
        row << FieldCatalog{{}, boundColumn(u"gENDER"_s, QString())}
            << TableList{{}, {u"GenderTypes"_s, u"g"_s}} << QStringList{u"GenderTypes"_s} << QStringList{u"g"_s} << 1;
    });
    FieldCatalog qualified{{}, boundColumn(u"Gender"_s, QString(), u"G"_s), boundColumn(u"CompanyName"_s, QString(), u"c"_s)};
    addBackendRows("all bound by qualifier: no query", [&](QTestData &row, bool) {
        row << qualified << TableList{{}, {u"Customers"_s, u"C"_s}, {u"GenderTypes"_s, u"g"_s}}
            << QStringList{u"GenderTypes"_s, u"Customers"_s} << QStringList{u"G"_s, u"c"_s} << 0;
    });
    FieldCatalog foreign{{}, boundColumn(u"Gender"_s, QString(), u"x"_s), boundColumn(u"CompanyName"_s, QString())};
    addBackendRows("unknown qualifier is not looked up", [&](QTestData &row, bool) {
        row << foreign << TableList{{}, {u"GenderTypes"_s, u"GenderTypes"_s}, {u"Customers"_s, u"Customers"_s}}
            << QStringList{QString(), u"Customers"_s} << QStringList{u"x"_s, u"Customers"_s} << 2;
    });
}

void TestAnalysisDatabase::bindColumns()
{
    QFETCH(bool, postgres);
    QFETCH(FieldCatalog, catalog);
    QFETCH(TableList, tables);
    QFETCH(QStringList, tabName);
    QFETCH(QStringList, tabAlias);
    QFETCH(int, statements);
    OPEN_BACKEND(postgres);

    QVERIFY(condora::bindColumns(*m_conn, catalog, tables));
    QCOMPARE(column(catalog, &ColumnInfo::tabName), tabName);
    QCOMPARE(column(catalog, &ColumnInfo::tabAlias), tabAlias);
    QCOMPARE(condora::ado::statementCount(*conn), statements);
    QVERIFY(m_ui->messages().isEmpty());
}

void TestAnalysisDatabase::bindColumnsUnknownTable_data()
{
    QTest::addColumn<bool>("postgres");
    addBackendRows("unknown table", [](QTestData &, bool) {});
}

void TestAnalysisDatabase::bindColumnsUnknownTable()
{
    QFETCH(bool, postgres);
    OPEN_BACKEND(postgres);
    FieldCatalog catalog{{}, boundColumn(u"Gender"_s, QString())};
    const TableList tables{{}, {u"NoSuchTable"_s, u"n"_s}, {u"GenderTypes"_s, u"GenderTypes"_s}};
    QVERIFY(!condora::bindColumns(*m_conn, catalog, tables));
    QCOMPARE(condora::ado::statementCount(*conn), 1);
    QCOMPARE(m_ui->texts(), QStringList{u"Error message:\r\n "_s
                                        + rejectionOf(u"select * from NoSuchTable where 1=0"_s, *conn)
                                        + u"\r\nError number:-2147217900"_s});
}

void TestAnalysisDatabase::workedExamples_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QStringList>("filters");
    QTest::addColumn<QStringList>("tables");
    QTest::addColumn<QStringList>("colExpr");
    QTest::addColumn<QStringList>("tabAlias");
    QTest::addColumn<QStringList>("tabName");
    QTest::addColumn<QStringList>("typeClass");
    QTest::addColumn<int>("bindingProbes");

    // The customer query with the demo host's filter array (0 To 4), position 4 set.
    addBackendRows("customer statement", [](QTestData &row, bool) {
        row << customerSql << QStringList{QString(), QString(), QString(), QString(), u"GenderID<>'3'"_s}
            << QStringList{u"GenderTypes | GenderTypes"_s, u"Customers | Customers"_s}
            << QStringList{u"CustomerID"_s, u"CompanyName"_s, u"ContactName"_s, u"Gender"_s}
            << QStringList{u"Customers"_s, u"Customers"_s, u"Customers"_s, u"GenderTypes"_s}
            << QStringList{u"Customers"_s, u"Customers"_s, u"Customers"_s, u"GenderTypes"_s}
            << QStringList{u"string"_s, u"string"_s, u"string"_s, u"string"_s} << 0;
    });
    // The order query without filters: the seventh column stays unbound, so both tables are read.
    addBackendRows("order statement", [](QTestData &row, bool postgres) {
        const QString od = forBackend(u"[Order Details]"_s, postgres);
        row << forBackend(orderSql, postgres) << QStringList()
            << QStringList{u"Products | Products"_s, od + u" | "_s + od}
            << forBackend(QStringList{u"OrderID"_s, u"ProductID"_s, u"ProductName"_s, u"UnitPrice"_s, u"Quantity"_s,
                                      u"Discount"_s, u"[UnitPrice]*[Quantity]*(1-[Discount])/100)*100"_s},
                          postgres)
            << QStringList{od, od, u"Products"_s, od, od, od, u"CCur("_s + od}
            << QStringList{od, od, u"Products"_s, od, od, od, QString()}
            // PostgreSQL reports the function's numeric; SQLite declares no type for an expression,
            // and its values are numbers (it was classed text, so every number was quoted).
            << QStringList{u"number"_s, u"number"_s, u"string"_s, u"number"_s, u"number"_s, u"number"_s,
                           u"number"_s}
            << 2;
    });
}

// One analysis as the query run does it: prove the base statement, split it, prepare the
// host's filters; counted in statements that reach the database.
void TestAnalysisDatabase::workedExamples()
{
    QFETCH(bool, postgres);
    QFETCH(QString, statement);
    QFETCH(QStringList, filters);
    QFETCH(QStringList, tables);
    QFETCH(QStringList, colExpr);
    QFETCH(QStringList, tabAlias);
    QFETCH(QStringList, tabName);
    QFETCH(QStringList, typeClass);
    QFETCH(int, bindingProbes);
    OPEN_BACKEND(postgres);

    QCOMPARE(condora::testSql(*m_conn, statement), QString());
    FieldCatalog catalog;
    TableList tableList;
    QVERIFY(condora::splitSql(*m_conn, statement, catalog, tableList));
    QCOMPARE(tablePairs(tableList), tables);
    QCOMPARE(column(catalog, &ColumnInfo::colExpr), colExpr);
    QCOMPARE(column(catalog, &ColumnInfo::tabAlias), tabAlias);
    QCOMPARE(column(catalog, &ColumnInfo::tabName), tabName);
    QCOMPARE(column(catalog, &ColumnInfo::typeClass), typeClass);
    QCOMPARE(column(catalog, &ColumnInfo::usable), QStringList(colExpr.size(), QString()));
    for (int i = 1; i < catalog.size(); ++i) {
        QCOMPARE(catalog.at(i).valueList, QStringList{QString()});
    }
    // SQLite reads the first rows once to class the columns that declare no type.
    const int samples = !postgres && statement == orderSql ? 1 : 0;
    QCOMPARE(condora::ado::statementCount(*conn), 3 + bindingProbes + samples);

    const bool hasFilters = !filters.isEmpty();
    QVERIFY(prepareFilters(*m_conn, filters, catalog));
    const int filtered = std::min(int(filters.size()) - 1, int(catalog.size()) - 1);
    const int roundTrips = condora::ado::statementCount(*conn);
    QCOMPARE(roundTrips, 3 + bindingProbes + samples + std::max(filtered, 0));
    qInfo("round trips of one analysis: %d", roundTrips);
    QVERIFY(m_ui->messages().isEmpty());

    if (hasFilters) {
        QCOMPARE(column(catalog, &ColumnInfo::filterClause),
                 (QStringList{QString(), QString(), QString(), u" where GenderID<>'3'"_s}));
        QCOMPARE(filters, (QStringList{QString(), QString(), QString(), QString(), u" where GenderID<>'3'"_s}));
        // The last test statement is the fourth column's, in its no-rows form.
        QCOMPARE(condora::ado::lastStatement(*m_conn), u"select Gender from GenderTypes where GenderID<>'3' and 1=0 "_s);
    } else {
        QCOMPARE(filters, QStringList{QString()});
    }
}

void TestAnalysisDatabase::splitSql_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QStringList>("colExpr");
    QTest::addColumn<QStringList>("tabAlias");
    QTest::addColumn<QStringList>("tabName");
    QTest::addColumn<int>("statements");
    const auto add = [this](const char *name, const QString &sql, const QStringList &colExpr,
                            const QStringList &tabAlias, const QStringList &tabName, int statements) {
        addBackendRows(name, [&](QTestData &row, bool postgres) {
            row << forBackend(sql, postgres) << colExpr << forBackend(tabAlias, postgres)
                << forBackend(tabName, postgres) << statements;
        });
    };
    addBackendRows("star read as the table's columns (was bound to no column)", [](QTestData &row, bool postgres) {
        row << u"select * from GenderTypes"_s
            << (postgres ? QStringList{u"genderid"_s, u"gender"_s} : QStringList{u"GenderID"_s, u"Gender"_s})
            << forBackend(QStringList{u"GenderTypes"_s, u"GenderTypes"_s}, postgres)
            << forBackend(QStringList{u"GenderTypes"_s, u"GenderTypes"_s}, postgres) << 3;
    });
    add("join with using (was a join without on)",
        u"select Gender from GenderTypes inner join Customers using (GenderID)"_s, {u"Gender"_s},
        {u"GenderTypes"_s}, {u"GenderTypes"_s}, 3);
    add("unqualified columns looked up table by table",
        u"select Gender, CompanyName from GenderTypes cross join Customers"_s, {u"Gender"_s, u"CompanyName"_s},
        {u"GenderTypes"_s, u"Customers"_s}, {u"GenderTypes"_s, u"Customers"_s}, 4);
    add("aliases, where and order by",
        u"select c.CompanyName, g.Gender from Customers c, GenderTypes g where c.GenderID = g.GenderID "
        "order by c.CompanyName"_s,
        {u"CompanyName"_s, u"Gender"_s}, {u"c"_s, u"g"_s}, {u"Customers"_s, u"GenderTypes"_s}, 2);
    add("bracketed table with alias",
        u"select od.OrderID, ProductName from [Order Details] od inner join Products p on p.ProductID = od.ProductID"_s,
        {u"OrderID"_s, u"ProductName"_s}, {u"od"_s, u"p"_s}, {u"[Order Details]"_s, u"Products"_s}, 4);
    add("alias cut by the name's length", u"select Gender Sex from GenderTypes"_s, {u"Gender"_s},
        {u"GenderTypes"_s}, {u"GenderTypes"_s}, 3);
    add("spaces around the reported name", u"select Gender as \"  Sex  \" from GenderTypes"_s, {u"Gender"_s},
        {u"GenderTypes"_s}, {u"GenderTypes"_s}, 3);
    add("distinct skipped (was cut by length)", u"select distinct GenderID from Customers"_s, {u"GenderID"_s},
        {u"Customers"_s}, {u"Customers"_s}, 3);
    add("non-ASCII names", u"select ö.Straße, Größe from Städte ö"_s, {u"Straße"_s, u"Größe"_s}, {u"ö"_s, u"ö"_s},
        {u"Städte"_s, u"Städte"_s}, 3);
    add("from after a line break (was no from)", u"select Gender\nfrom GenderTypes"_s, {u"Gender"_s},
        {u"GenderTypes"_s}, {u"GenderTypes"_s}, 3);
    // SQLite reads the first rows of an expression without a declared type to class it.
    addBackendRows("comma in a call (was a second item)", [](QTestData &row, bool postgres) {
        row << u"select coalesce(Gender, 'x') g from GenderTypes"_s << QStringList{u"coalesce(Gender, 'x')"_s}
            << QStringList{QString()} << QStringList{QString()} << (postgres ? 3 : 4);
    });
    add("limit (the probe was refused after it)", u"select Gender from GenderTypes limit 5"_s, {u"Gender"_s},
        {u"GenderTypes"_s}, {u"GenderTypes"_s}, 3);
    add("where after a line break (the probe was refused)", u"select Gender from GenderTypes\nwhere GenderID > 1"_s,
        {u"Gender"_s}, {u"GenderTypes"_s}, {u"GenderTypes"_s}, 3);
    add("sub-query in from (was cut at its where)",
        u"select g.Gender from (select Gender from GenderTypes where GenderID > 1) g"_s, {u"Gender"_s}, {u"g"_s},
        {u"(select Gender from GenderTypes where GenderID > 1)"_s}, 2);

    const QString longLiteral(100000, u'x');
    add("100,000 characters", u"select GenderTypes.Gender from GenderTypes where Gender <> '"_s + longLiteral + u"'"_s,
        {u"Gender"_s}, {u"GenderTypes"_s}, {u"GenderTypes"_s}, 2);
}

void TestAnalysisDatabase::splitSql()
{
    QFETCH(bool, postgres);
    QFETCH(QString, statement);
    QFETCH(QStringList, colExpr);
    QFETCH(QStringList, tabAlias);
    QFETCH(QStringList, tabName);
    QFETCH(int, statements);
    OPEN_BACKEND(postgres);

    FieldCatalog catalog;
    TableList tables;
    QVERIFY2(condora::splitSql(*m_conn, statement, catalog, tables), qPrintable(m_ui->texts().join(u" / "_s)));
    QCOMPARE(column(catalog, &ColumnInfo::colExpr), colExpr);
    QCOMPARE(column(catalog, &ColumnInfo::tabAlias), tabAlias);
    QCOMPARE(column(catalog, &ColumnInfo::tabName), tabName);
    QCOMPARE(condora::ado::statementCount(*conn), statements);
    QVERIFY(m_ui->messages().isEmpty());
}

void TestAnalysisDatabase::splitSqlFailures_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("context");
    QTest::addColumn<int>("number");
    const auto add = [this](const char *name, const QString &sql, const QString &context, int number) {
        addBackendRows(name, [&](QTestData &row, bool) { row << sql << context << number; });
    };
    const int invalid = ErrorNumber::InvalidArgument;
    const int database = ErrorNumber::Database;
    add("no from", u"select 1"_s, QString(), invalid);
    // SQLite runs a JOIN without ON as a cross join; the analysis cannot place its table.
    // PostgreSQL refuses the statement itself.
    addBackendRows("joined table without on", [&](QTestData &row, bool postgres) {
        row << u"select Gender from GenderTypes join Customers"_s << QString() << (postgres ? database : invalid);
    });
    add("unknown table", u"select Gender from NoSuchTable"_s, QString(), database);
    add("100,000 characters of nothing", u"x, "_s.repeated(33334), QString(), database);
}

void TestAnalysisDatabase::splitSqlFailures()
{
    QFETCH(bool, postgres);
    QFETCH(QString, statement);
    QFETCH(QString, context);
    QFETCH(int, number);
    OPEN_BACKEND(postgres);

    FieldCatalog catalog;
    TableList tables;
    QVERIFY(!condora::splitSql(*m_conn, statement, catalog, tables));
    // Exactly one report: the routine that failed shows it, its callers stay silent.
    QCOMPARE(m_ui->messages().size(), 1);
    const QStringList lines = m_ui->texts().at(0).split(u"\r\n"_s);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), u"Error message:"_s + context);
    QVERIFY(lines.at(1).startsWith(u' '));
    QCOMPARE(lines.at(2), u"Error number:"_s + QString::number(number));
    QCOMPARE(m_ui->messages().at(0).icon, MessageIcon::None);
}

void TestAnalysisDatabase::filterClauses_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("clause");
    QTest::addColumn<bool>("accepted");
    const auto add = [this](const char *name, const QString &filter, const QString &clause, bool accepted) {
        addBackendRows(name, [&](QTestData &row, bool) { row << filter << clause << accepted; });
    };
    add("condition", u"GenderID<>'3'"_s, u" where GenderID<>'3'"_s, true);
    add("begins with where", u"where GenderID=1"_s, u" where GenderID=1"_s, true);
    add("begins with WHERE", u"WHERE GenderID=1"_s, u" WHERE GenderID=1"_s, true);
    add("trimmed first", u"   Where GenderID=1   "_s, u" Where GenderID=1"_s, true);
    add("prepared twice", u" where GenderID=1"_s, u" where GenderID=1"_s, true);
    add("shorter than six characters", u"1=1"_s, u" where 1=1"_s, true);
    add("with or", u"GenderID=1 or GenderID=2"_s, u" where GenderID=1 or GenderID=2"_s, true);
    add("only spaces", u"      "_s, QString(), true);
    add("empty", QString(), QString(), true);
    add("where alone", u"where"_s, u" where where"_s, false);
    add("where without its space", u"whereGenderID=1"_s, u" where whereGenderID=1"_s, false);
    add("unknown column", u"Nope=1"_s, u" where Nope=1"_s, false);
}

void TestAnalysisDatabase::filterClauses()
{
    QFETCH(bool, postgres);
    QFETCH(QString, filter);
    QFETCH(QString, clause);
    QFETCH(bool, accepted);
    OPEN_BACKEND(postgres);

    FieldCatalog catalog = analysed(customerSql);
    QCOMPARE(catalog.size(), 5);
    condora::ado::resetStatementCount(*conn);

    QStringList filters{QString(), QString(), QString(), QString(), filter};
    QCOMPARE(prepareFilters(*m_conn, filters, catalog), accepted);
    QCOMPARE(condora::ado::statementCount(*conn), 4);
    QCOMPARE(filters.at(4), clause);
    QCOMPARE(catalog.at(4).filterClause, clause);

    const QString test = u"select Gender from GenderTypes"_s + clause;
    if (accepted) {
        QVERIFY(m_ui->messages().isEmpty());
        QCOMPARE(condora::ado::lastStatement(*m_conn), probeSql(test));
    } else {
        QCOMPARE(m_ui->texts(), QStringList{u"No.4 filter condition is incorrect!\r\n"_s
                                            + rejectionOf(probeSql(test), *conn)});
        const MessageRequest &box = m_ui->messages().at(0);
        QCOMPARE(box.buttons, MessageButtons::Ok);
        QCOMPARE(box.icon, MessageIcon::None);
        QVERIFY(!box.explicitCaption);
    }
}

void TestAnalysisDatabase::filterCoverage_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QStringList>("filters");
    QTest::addColumn<QStringList>("filtersAfter");
    QTest::addColumn<QStringList>("clauses");
    QTest::addColumn<int>("statements");
    const auto add = [this](const char *name, const QString &sql, const QStringList &filters,
                            const QStringList &after, const QStringList &clauses, int statements) {
        addBackendRows(name, [&](QTestData &row, bool) { row << sql << filters << after << clauses << statements; });
    };
    add("never given: no database access", customerSql, {}, {QString()}, {QString(), QString(), QString(), QString()},
        0);
    add("only position 0", customerSql, {u"ignored"_s}, {u"ignored"_s}, {QString(), QString(), QString(), QString()},
        0);
    add("shorter than the catalog", customerSql, {QString(), u"GenderID=1"_s}, {QString(), u" where GenderID=1"_s},
        {u" where GenderID=1"_s, QString(), QString(), QString()}, 1);
    add("longer than the catalog", u"select Gender from GenderTypes"_s,
        {QString(), u" 1=1 "_s, u"  untouched  "_s}, {QString(), u" where 1=1"_s, u"  untouched  "_s},
        {u" where 1=1"_s}, 1);
    add("columns of class other are skipped", u"select Data, Id, Tag from Oddities"_s,
        {QString(), u"  not even trimmed "_s, QString(), u"Tag is garbage"_s},
        {QString(), u"  not even trimmed "_s, QString(), u"Tag is garbage"_s}, {QString(), QString(), QString()}, 1);
}

void TestAnalysisDatabase::filterCoverage()
{
    QFETCH(bool, postgres);
    QFETCH(QString, statement);
    QFETCH(QStringList, filters);
    QFETCH(QStringList, filtersAfter);
    QFETCH(QStringList, clauses);
    QFETCH(int, statements);
    OPEN_BACKEND(postgres);

    FieldCatalog catalog = analysed(statement);
    QVERIFY(!catalog.isEmpty());
    condora::ado::resetStatementCount(*conn);
    QVERIFY(prepareFilters(*m_conn, filters, catalog));
    QCOMPARE(filters, filtersAfter);
    QCOMPARE(column(catalog, &ColumnInfo::filterClause), clauses);
    QCOMPARE(condora::ado::statementCount(*conn), statements);
    QVERIFY(m_ui->messages().isEmpty());
}

void TestAnalysisDatabase::filterReports_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<FieldCatalog>("catalog");
    QTest::addColumn<QStringList>("filters");
    QTest::addColumn<QString>("firstLine");
    QTest::addColumn<QString>("failedStatement");
    QTest::addColumn<int>("statements");

    const FieldCatalog customers{{}, boundColumn(u"CustomerID"_s, u"Customers"_s, u"Customers"_s),
                                 boundColumn(u"CompanyName"_s, u"Customers"_s, u"Customers"_s),
                                 boundColumn(u"ContactName"_s, u"Customers"_s, u"Customers"_s)};
    addBackendRows("first rejected filter ends the check", [&](QTestData &row, bool) {
        row << customers << QStringList{QString(), QString(), u"Nope=1"_s, u"Nope=2"_s}
            << u"No.2 filter condition is incorrect!"_s << u"select CompanyName from Customers where Nope=1"_s << 2;
    });
    addBackendRows("unbound column with an empty filter", [&](QTestData &row, bool) {
        row << FieldCatalog{{}, boundColumn(u"Gender"_s, QString())} << QStringList{QString(), QString()}
            << u"No.1 filter condition is incorrect!"_s << u"select Gender from "_s << 1;
    });
    addBackendRows("unbound column with a filter", [&](QTestData &row, bool) {
        row << FieldCatalog{{}, boundColumn(u"Gender"_s, QString())} << QStringList{QString(), u"GenderID=1"_s}
            << u"No.1 filter condition is incorrect!"_s << u"select Gender from  where GenderID=1"_s << 1;
    });
    addBackendRows("missing catalog", [&](QTestData &row, bool) {
        row << FieldCatalog() << QStringList{QString(), u"x=1"_s} << u"Error message:"_s << QString() << 0;
    });
}

void TestAnalysisDatabase::filterReports()
{
    QFETCH(bool, postgres);
    QFETCH(FieldCatalog, catalog);
    QFETCH(QStringList, filters);
    QFETCH(QString, firstLine);
    QFETCH(QString, failedStatement);
    QFETCH(int, statements);
    OPEN_BACKEND(postgres);

    QVERIFY(!prepareFilters(*m_conn, filters, catalog));
    QCOMPARE(condora::ado::statementCount(*conn), statements);
    QCOMPARE(m_ui->messages().size(), 1);
    const QStringList lines = m_ui->texts().at(0).split(u"\r\n"_s);
    QCOMPARE(lines.at(0), firstLine);
    if (failedStatement.isEmpty()) {
        QCOMPARE(lines.value(2), u"Error number:9"_s);
    } else {
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(1), rejectionOf(probeSql(failedStatement), *conn).split(u"\r\n"_s).value(0));
    }
}

void TestAnalysisDatabase::closedConnection_data()
{
    QTest::addColumn<bool>("postgres");
    addBackendRows("closed connection", [](QTestData &, bool) {});
}

void TestAnalysisDatabase::closedConnection()
{
    QFETCH(bool, postgres);
    OPEN_BACKEND(postgres);
    FieldCatalog catalog = analysed(customerSql);
    QCOMPARE(catalog.size(), 5);
    conn->Close();

    const QString closed = condora::testSql(*m_conn, customerSql);
    QVERIFY(!closed.isEmpty());
    QVERIFY(m_ui->messages().isEmpty());

    FieldCatalog again = catalog;
    TableList tables;
    QVERIFY(!condora::splitSql(*m_conn, customerSql, again, tables));
    QVERIFY(!condora::readColumnTypes(*m_conn, customerSql, again));
    FieldCatalog unbound{{}, boundColumn(u"Gender"_s, QString())};
    QVERIFY(!condora::bindColumns(*m_conn, unbound, TableList{{}, {u"GenderTypes"_s, u"GenderTypes"_s}}));
    QCOMPARE(dbKindText(condora::getDbKind(*conn)), QString());
    const QString report = u"Error message:\r\n "_s + closed + u"\r\nError number:91"_s;
    QCOMPARE(m_ui->texts(), QStringList(4, report));

    m_ui->clear();
    QStringList filters{QString(), u"CustomerID='ALFKI'"_s};
    QVERIFY(!prepareFilters(*m_conn, filters, catalog));
    QCOMPARE(m_ui->texts(), QStringList{u"No.1 filter condition is incorrect!\r\n"_s + closed});
}

CONDORA_TEST_MAIN(TestAnalysisDatabase)
#include "tst_analysisdatabase.moc"
