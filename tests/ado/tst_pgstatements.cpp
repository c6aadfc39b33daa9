// PostgreSQL statements read through libpq's asynchronous interface: the values they give, how
// a running statement is stopped, and results that stream while other statements run.
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/ado/rowstore.h"
#include "platform/ado/statementactivity.h"
#include "platform/ado/typemapping.h"
#include "platform/runtimeerror.h"

#include "support/errornumber.h"
#include "support/testdatabases.h"
#include "support/testmain.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <cmath>

using namespace condora;
using namespace condora::ado;
using namespace Qt::StringLiterals;
using condora::test::errorNumber;

namespace {

const QString database = u"condora_pgstatements"_s;

// A table of every type the tests' PostgreSQL schema uses, with values at their edges.
const QStringList schema = {
    u"CREATE TABLE types (c_bool BOOLEAN, c_int2 SMALLINT, c_int4 INTEGER, c_int8 BIGINT, c_float4 REAL, "
    "c_float8 DOUBLE PRECISION, c_money MONEY, c_numeric NUMERIC(10,2), c_date DATE, c_time TIME, "
    "c_timestamp TIMESTAMP, c_timestamptz TIMESTAMPTZ, c_bpchar CHAR(5), c_varchar VARCHAR(40), c_text TEXT, "
    "c_bytea BYTEA, c_uuid UUID, c_interval INTERVAL)"_s,
    u"INSERT INTO types VALUES (true, -32768, 2147483647, -9223372036854775808, 1.5, 0.1, 12.34, 12345678.91, "
    "'2024-02-29', '23:59:58', '2024-01-02 03:04:05.678', '2024-01-02 03:04:05+02', 'ab', 'Ελλάδα 😀', "
    "'line one' || chr(10) || 'line two', '\\x00ff0a', '12345678-1234-1234-1234-123456789abc', '1 day 02:03:04'), "
    "(false, 32767, -2147483648, 9223372036854775807, '-Infinity', 'NaN', -1, -0.01, '0044-03-15 BC', "
    "'00:00:00.001', 'infinity', '1970-01-01 00:00:00+00', '', '', '', '', "
    "'00000000-0000-0000-0000-000000000000', '-1 year'), "
    "(null, null, null, null, null, null, null, null, null, null, null, null, null, null, null, null, null, null)"_s,
};

// A value Qt gave, as the data layer hands it out: through the row store every result lands in.
QVariant stored(const QVariant &value)
{
    RowStore store(1);
    store.append({value});
    return store.value(0, 0);
}

bool same(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull()) {
        return a.isNull() && b.isNull();
    }
    if (a.typeId() != b.typeId()) {
        return false;
    }
    if (a.typeId() == QMetaType::Double && std::isnan(a.toDouble())) {
        return std::isnan(b.toDouble());
    }
    return a == b;
}

// The host's own transaction, with a table of its own to write to.
void beginHostTransaction(QSqlDatabase &db)
{
    QVERIFY(db.transaction());
    QVERIFY(QSqlQuery(db).exec(u"create temporary table written (n integer)"_s));
}

// No read-only transaction of the library is left: on an idle connection no transaction at
// all, and the host's own transaction (then ended) still takes its writes.
void checkTransactionsAsBefore(QSqlDatabase &db, bool hostTransaction)
{
    QSqlQuery host(db);
    QVERIFY(host.exec(u"select current_setting('transaction_read_only')"_s) && host.next());
    QCOMPARE(host.value(0).toString(), u"off"_s);
    if (hostTransaction) {
        QVERIFY2(host.exec(u"insert into written values (1)"_s), qPrintable(host.lastError().text()));
        QVERIFY(db.rollback());
    } else {
        QVERIFY(host.exec(u"select now() = statement_timestamp()"_s) && host.next());
        QVERIFY2(host.value(0).toBool(), "a transaction was left open");
    }
}

QString describe(const QVariant &value)
{
    return QStringLiteral("%1(%2)").arg(QString::fromLatin1(value.typeName()), value.toString());
}

// Records what the data layer asks of the activity, and stops the statement when told to.
class TestActivity : public StatementActivity
{
public:
    void begin(const QString &) override
    {
        ++begun;
        clock.start();
        calls.clear();
    }
    bool keepGoing() override
    {
        calls.append(clock.elapsed());
        if (stopAfterMs >= 0 && clock.elapsed() >= stopAfterMs) {
            if (stoppedAt < 0) {
                stoppedAt = clock.elapsed();
            }
            return false;
        }
        return true;
    }
    void end() override
    {
        ++ended;
        endedAt = clock.elapsed();
    }

    qint64 largestGap() const
    {
        qint64 gap = calls.isEmpty() ? 0 : calls.first();
        for (int i = 1; i < calls.size(); ++i) {
            gap = std::max(gap, calls.at(i) - calls.at(i - 1));
        }
        return gap;
    }

    QString trace() const
    {
        QStringList times;
        for (const qint64 call : calls) {
            times.append(QString::number(call));
        }
        return times.join(u' ');
    }

    QElapsedTimer clock;
    QList<qint64> calls;
    qint64 stopAfterMs = -1;
    qint64 stoppedAt = -1;
    qint64 endedAt = -1;
    int begun = 0;
    int ended = 0;
};

} // namespace

class TestPgStatements : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void valuesMatchQtDriver_data();
    void valuesMatchQtDriver();
    void cancelStopsStatement_data();
    void cancelStopsStatement();
    void unreadResultWhileOthersRun_data();
    void unreadResultWhileOthersRun();
    void hostQueryPendingGetsNoRowsOfOurs();
    void largeFetchArrivesWhole_data();
    void largeFetchArrivesWhole();

private:
    /// Every row of `sql`, read by a plain QSqlQuery on a connection of its own.
    QList<QVariantList> oracleRows(const QString &sql);

    QSqlDatabase m_oracle;
};

void TestPgStatements::initTestCase()
{
    const auto pg = test::pgServer();
    if (!pg) {
        return;
    }
    pg->createDatabase(database);
    pg->exec(database, schema);
    m_oracle = QSqlDatabase::addDatabase(u"QPSQL"_s, u"oracle"_s);
    m_oracle.setHostName(pg->host);
    m_oracle.setPort(pg->port);
    m_oracle.setUserName(pg->user);
    m_oracle.setPassword(pg->password);
    m_oracle.setDatabaseName(database);
    QVERIFY2(m_oracle.open(), qPrintable(m_oracle.lastError().text()));
}

void TestPgStatements::cleanupTestCase()
{
    m_oracle.close();
    m_oracle = QSqlDatabase();
    QSqlDatabase::removeDatabase(u"oracle"_s);
}

QList<QVariantList> TestPgStatements::oracleRows(const QString &sql)
{
    QList<QVariantList> rows;
    QSqlQuery query(m_oracle);
    query.setForwardOnly(true);
    if (!query.exec(sql)) {
        qWarning() << query.lastError().text();
        return rows;
    }
    while (query.next()) {
        QVariantList row;
        for (int i = 0; i < query.record().count(); ++i) {
            row.append(query.value(i));
        }
        rows.append(row);
    }
    return rows;
}

void TestPgStatements::valuesMatchQtDriver_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("precision");
    const int standard = QSql::LowPrecisionDouble;
    QTest::newRow("every column type") << u"select * from types"_s << standard;
    QTest::newRow("no rows") << u"select * from types where 1 = 0"_s << standard;
    QTest::newRow("integers") << u"select 1::int2 a, -2::int4 b, 3::int8 c, -4::int8 d, 26::oid e, "
                                 "null::int8 f, 'int4'::regtype::oid g"_s << standard;
    QTest::newRow("numbers") << u"select 1.5::numeric a, -0.000123::numeric(10,6) b, 'NaN'::numeric c, "
                                "12345678901234567890.125::numeric d, 1e300::float8 e, 'Infinity'::float4 f, "
                                "-0.0::float8 g, 3.14159::float4 h"_s << standard;
    QTest::newRow("numeric, high precision") << u"select 1.5::numeric a, 12345678901234567890.125::numeric b, "
                                                "'NaN'::numeric c, null::numeric d, 0.1::float8 e"_s
                                             << int(QSql::HighPrecision);
    QTest::newRow("numeric as int64") << u"select 2.7::numeric a, -2.7::numeric b"_s << int(QSql::LowPrecisionInt64);
    QTest::newRow("numeric as int32") << u"select 2.7::numeric a, -2.7::numeric b"_s << int(QSql::LowPrecisionInt32);
    QTest::newRow("money and text") << u"select 12.34::money a, '-1'::money b, 'x'::char(3) c, ''::text d, "
                                       "'Ελλάδα 😀'::varchar e, null::text f, 'a''b\\c'::text g"_s << standard;
    QTest::newRow("booleans") << u"select true a, false b, null::bool c"_s << standard;
    QTest::newRow("dates and times") << u"select '2024-01-02'::date a, 'infinity'::date b, '-infinity'::date c, "
                                        "'0001-01-01'::date d, '12:00:00+02'::timetz e, '24:00:00'::time f, "
                                        "'01:02:03.456789'::time g"_s << standard;
    QTest::newRow("timestamps") << u"select '2024-01-02 03:04:05.123456'::timestamp a, "
                                   "'2024-06-30 23:59:59+05:30'::timestamptz b, '-infinity'::timestamptz c, "
                                   "'1900-01-01 00:00:00 BC'::timestamp d, now() - now() + '2000-01-01'::timestamptz e"_s
                                << standard;
    QTest::newRow("bytea, uuid, json, arrays") << u"select '\\x00ff'::bytea a, ''::bytea b, gen_random_uuid() is "
                                                  "not null c, '{\"k\": [1, 2]}'::json d, '{\"k\": 1}'::jsonb e, "
                                                  "array[1, null, 3] f, array['a b', 'c\"d'] g, "
                                                  "'[1,5)'::int4range h, '1 hour'::interval i"_s
                                               << standard;
    QTest::newRow("names as the server spells them") << u"select 1 as \"Mixed Case\", 2 as \"ümlaut\", 3, 4 as x, "
                                                        "5 as x"_s << standard;
}

// Every value equals, in type and value, what a plain QSqlQuery gives for the same statement,
// and the fields report the same names and types.
void TestPgStatements::valuesMatchQtDriver()
{
    QFETCH(QString, sql);
    QFETCH(int, precision);
    CONDORA_NEED_PG(pg);
    const auto connection = pg.open(database);
    connection->database().setNumericalPrecisionPolicy(QSql::NumericalPrecisionPolicy(precision));
    m_oracle.setNumericalPrecisionPolicy(QSql::NumericalPrecisionPolicy(precision));

    QSqlQuery oracle(m_oracle);
    QVERIFY2(oracle.exec(sql), qPrintable(oracle.lastError().text()));
    const QSqlRecord record = oracle.record();

    Recordset rs;
    rs.Open(sql, connection);
    QCOMPARE(rs.Fields().Count(), record.count());
    for (int i = 0; i < record.count(); ++i) {
        QCOMPARE(rs.Fields().Item(i).Name(), record.fieldName(i));
        QCOMPARE(rs.Fields().Item(i).Type(), typeFromPostgresOid(record.field(i).typeID()));
    }
    int row = 0;
    while (oracle.next()) {
        QVERIFY2(!rs.Eof(), "fewer rows than the oracle");
        for (int i = 0; i < record.count(); ++i) {
            const QVariant expected = stored(oracle.value(i));
            const QVariant actual = rs.Fields().Item(i).Value();
            QVERIFY2(same(actual, expected), qPrintable(QStringLiteral("row %1, %2: %3, Qt gives %4")
                                                            .arg(row)
                                                            .arg(record.fieldName(i), describe(actual),
                                                                 describe(expected))));
            QCOMPARE(rs.rowSource()->text(row, i), [&] {
                RowStore store(1);
                store.append({oracle.value(i)});
                return store.text(0, 0);
            }());
        }
        rs.MoveNext();
        ++row;
    }
    QVERIFY2(rs.Eof(), "more rows than the oracle");
    m_oracle.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
}

void TestPgStatements::cancelStopsStatement_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("hostTransaction");
    QTest::addColumn<bool>("whileFetching");
    const QString sleeps = u"select pg_sleep(5)"_s;
    // The 150th row sleeps: the statement opens with its first rows, the wait comes on a fetch.
    const QString sleepsLater = u"select g, case when g = 150 then pg_sleep(5) end from generate_series(1, 300) g"_s;
    QTest::newRow("statement, idle connection") << sleeps << false << false;
    QTest::newRow("statement, in the host's transaction") << sleeps << true << false;
    QTest::newRow("fetch, idle connection") << sleepsLater << false << true;
    QTest::newRow("fetch, in the host's transaction") << sleepsLater << true << true;
}

// A statement that sleeps 5 s: the activity is asked at short intervals, stopping it ends the
// statement at once with ErrorNumber::Cancelled, and the connection carries on cleanly.
void TestPgStatements::cancelStopsStatement()
{
    QFETCH(QString, sql);
    QFETCH(bool, hostTransaction);
    QFETCH(bool, whileFetching);
    CONDORA_NEED_PG(pg);
    const auto connection = pg.open(database);
    QSqlDatabase db = connection->database();
    if (hostTransaction) {
        beginHostTransaction(db);
    }
    TestActivity activity;
    activity.stopAfterMs = 300;
    connection->setStatementActivity(&activity);

    Recordset rs;
    QString description;
    const int number = errorNumber(
        [&] {
            rs.Open(sql, connection);
            QVERIFY2(whileFetching, "the statement was not stopped");
            for (; !rs.Eof(); rs.MoveNext()) {
            }
        },
        &description);
    QCOMPARE(number, ErrorNumber::Cancelled);
    QVERIFY(!description.isEmpty());
    QVERIFY2(activity.calls.size() >= 5, qPrintable(QString::number(activity.calls.size())));
    QVERIFY2(activity.largestGap() < 100,
             qPrintable(QStringLiteral("%1 ms between two calls: %2")
                            .arg(activity.largestGap())
                            .arg(activity.trace())));
    QVERIFY2(activity.endedAt - activity.stoppedAt < 250,
             qPrintable(QStringLiteral("stopped after %1 ms more").arg(activity.endedAt - activity.stoppedAt)));
    QCOMPARE(activity.begun, activity.ended);
    if (whileFetching) {
        QCOMPARE(rs.rowSource()->fetchedCount(), 100); // the rows of the fetches before stay
        rs.MoveFirst();
        QCOMPARE(rs.Fields().Item(0).Value().toInt(), 1);
    }

    // The next statement runs correctly, and the transaction is as it was before.
    activity.stopAfterMs = -1;
    QCOMPARE(connection->Execute(u"select count(*) from generate_series(1, 10)"_s)->Fields().Item(0).Value().toInt(),
             10);
    checkTransactionsAsBefore(db, hostTransaction);
    connection->setStatementActivity(nullptr);
}

void TestPgStatements::unreadResultWhileOthersRun_data()
{
    QTest::addColumn<QString>("between");
    QTest::addColumn<bool>("hostTransaction");
    for (const bool inHost : {false, true}) {
        const char *where = inHost ? "in the host's transaction" : "idle connection";
        QTest::addRow("library statements, %s", where) << u"statements"_s << inHost;
        QTest::addRow("a failing statement and a failing fetch, %s", where) << u"failures"_s << inHost;
        QTest::addRow("a second stream released first, %s", where) << u"second stream"_s << inHost;
        QTest::addRow("the host's reads, %s", where) << u"host reads"_s << inHost;
        QTest::addRow("a cancelled statement, %s", where) << u"cancelled"_s << inHost;
    }
    QTest::newRow("the host's write is refused, idle connection") << u"host write"_s << false;
    QTest::newRow("the host commits, idle connection") << u"host commit"_s << false;
}

// A result left unread while other statements run on the connection, then read to its end:
// every row equals an independent reading of the same statement, or the rows end with a
// message, never short and silent; and the transactions end as they should.
void TestPgStatements::unreadResultWhileOthersRun()
{
    QFETCH(QString, between);
    QFETCH(bool, hostTransaction);
    CONDORA_NEED_PG(pg);
    const auto connection = pg.open(database);
    QSqlDatabase db = connection->database();
    if (hostTransaction) {
        beginHostTransaction(db);
    }
    const QString sql = u"select g, md5(g::text), g * 0.5 from generate_series(1, 30000) g"_s;
    const QList<QVariantList> expected = oracleRows(sql);
    QCOMPARE(expected.size(), 30000);

    Recordset first;
    first.Open(sql, connection);
    const std::shared_ptr<RowSource> rows = first.rowSource();
    QCOMPARE(rows->fetchMore(10), 10);

    QSqlQuery host(db);
    bool endsWithMessage = false;
    if (between == u"statements") {
        for (int i = 0; i < 3; ++i) {
            const auto rs = connection->Execute(u"select count(*) from types"_s);
            QCOMPARE(rs->Fields().Item(0).Value().toInt(), 3);
        }
    } else if (between == u"failures") {
        QCOMPARE(errorNumber([&] { connection->Execute(u"select 1 / 0"_s); }), ErrorNumber::Database);
        const auto failing = connection->Execute(u"select 10 / (200 - g) from generate_series(1, 300) g"_s);
        QCOMPARE(errorNumber([&] {
                     for (; !failing->Eof(); failing->MoveNext()) {
                     }
                 }),
                 ErrorNumber::Database);
    } else if (between == u"second stream") {
        auto second = connection->Execute(u"select g from generate_series(1, 50000) g"_s);
        QCOMPARE(second->rowSource()->fetchMore(500), 500);
        second.reset();
    } else if (between == u"host reads") {
        QVERIFY(host.exec(u"select count(*) from types"_s) && host.next());
        QCOMPARE(host.value(0).toInt(), 3);
    } else if (between == u"cancelled") {
        TestActivity activity;
        activity.stopAfterMs = 50;
        connection->setStatementActivity(&activity);
        QCOMPARE(errorNumber([&] { connection->Execute(u"select pg_sleep(5)"_s); }), ErrorNumber::Cancelled);
        connection->setStatementActivity(nullptr);
    } else if (between == u"host write") {
        // Inside the read-only transaction the rows stream in: refused, nothing written.
        QVERIFY(!host.exec(u"create table refused (n integer)"_s));
        QVERIFY2(host.lastError().text().contains(u"read-only transaction"_s), qPrintable(host.lastError().text()));
        endsWithMessage = true; // the failed write spoilt the transaction the rows were read in
    } else if (between == u"host commit") {
        QVERIFY(host.exec(u"commit"_s));
        endsWithMessage = true;
    }

    while (!rows->atEnd()) {
        rows->fetchMore(1000);
    }
    if (endsWithMessage) {
        QVERIFY2(!rows->fetchError().isEmpty(), "a result cut short looked complete");
        QVERIFY(rows->fetchedCount() < 30000);
    } else {
        QCOMPARE(rows->fetchError(), QString());
        QCOMPARE(rows->fetchedCount(), 30000);
    }
    RowStore oracle(3);
    for (const QVariantList &row : expected) {
        oracle.append(row);
    }
    for (int row = 0; row < rows->fetchedCount(); ++row) {
        for (int column = 0; column < 3; ++column) {
            if (!same(rows->value(row, column), oracle.value(row, column))) {
                QFAIL(qPrintable(QStringLiteral("row %1, column %2: %3, expected %4")
                                     .arg(row)
                                     .arg(column)
                                     .arg(describe(rows->value(row, column)), describe(oracle.value(row, column)))));
            }
        }
    }
    first.Close();

    checkTransactionsAsBefore(db, hostTransaction);
    QVERIFY(!host.exec(u"select 1 from refused"_s));
}

// The host's forward-only query still has rows on their way when the library runs a statement
// on the same connection: the host's query ends (Qt reports its results lost) and never reads
// the library's rows as its own.
void TestPgStatements::hostQueryPendingGetsNoRowsOfOurs()
{
    CONDORA_NEED_PG(pg);
    const auto connection = pg.open(database);
    QSqlQuery host(connection->database());
    host.setForwardOnly(true);
    QVERIFY(host.exec(u"select g from generate_series(1, 100000) g"_s));
    QVERIFY(host.next());
    QCOMPARE(host.value(0).toInt(), 1);

    const auto ours = connection->Execute(u"select 'ours' from generate_series(1, 5)"_s);
    QCOMPARE(ours->Fields().Item(0).Value().toString(), u"ours"_s);
    int expected = 2;
    while (host.next()) {
        QCOMPARE(host.value(0).toInt(), expected++);
    }
    QVERIFY(!ours->Eof());
}

void TestPgStatements::largeFetchArrivesWhole_data()
{
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<int>("failsAt"); // 0: never
    // One fetch of every row: many FETCH parts, and more than one request of them.
    QTest::newRow("600,000 rows") << 600000 << 0;
    QTest::newRow("a failure in a later part") << 600000 << 590000;
    QTest::newRow("a failure in the first part") << 20000 << 300;
}

// Rows asked for at once arrive in order, none twice and none left out, across the parts and
// requests they are fetched in; a failure keeps the rows before it and says why the rest is missing.
void TestPgStatements::largeFetchArrivesWhole()
{
    QFETCH(int, rowCount);
    QFETCH(int, failsAt);
    CONDORA_NEED_PG(pg);
    const auto connection = pg.open(database);
    const QString value = failsAt ? u"g * 0 + 1000000 / (%1 - g)"_s.arg(failsAt) : u"g"_s;
    Recordset rs;
    rs.Open(u"select %1 as v from generate_series(1, %2) g"_s.arg(value).arg(rowCount), connection);
    const std::shared_ptr<RowSource> rows = rs.rowSource();
    rows->fetchMore(rowCount);
    while (!rows->atEnd()) {
        rows->fetchMore(rowCount);
    }
    if (failsAt) {
        QVERIFY(rows->fetchError().contains(u"division by zero"_s));
        QVERIFY(rows->fetchedCount() < failsAt);
    } else {
        QCOMPARE(rows->fetchError(), QString());
        QCOMPARE(rows->fetchedCount(), rowCount);
    }
    for (int row = 0; row < rows->fetchedCount(); ++row) {
        const qint64 expected = failsAt ? 1000000 / (failsAt - (row + 1)) : row + 1;
        if (rows->value(row, 0).toLongLong() != expected) {
            QFAIL(qPrintable(u"row %1: %2, expected %3"_s.arg(row).arg(rows->value(row, 0).toString()).arg(expected)));
        }
    }
}

CONDORA_TEST_MAIN(TestPgStatements)
#include "tst_pgstatements.moc"
