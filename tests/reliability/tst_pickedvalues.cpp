// Values picked from the value picker, through the public control and the real dialog, on
// SQLite and PostgreSQL: every value the picker lists for a column, picked and confirmed with
// OK, gives a statement that finds exactly the rows holding that value. A statement that fails
// while the picker lists its values ends in one message and no list passing for the whole one.
// Dates and numbers typed on SQLite, where dates are text and some columns have no type, find
// the rows PostgreSQL finds for the same condition on the same data with real types.

#include "queryrunner.h"
#include "reliabilitysupport.h"

#include "../dialog/dialogdriver.h"

#include "platform/ado/connection.h"
#include "platform/flexgrid/flexgrid.h"
#include "support/testmain.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace reliability;

Q_DECLARE_METATYPE(reliability::Engine)

namespace {

const QString Crlf = u"\r\n"_s;
const QString PgName = u"condora_pickedvalues"_s;
const QString LongText = QString(100 * 1024, u'x');

QString parityRows()
{
    return u"(1, '2001-01-05', '2001-01-05 00:00:00', 1200), (2, '2001-01-05', '2001-01-05 09:05:00', 99.5), "
           "(3, '2001-01-06', '2001-01-05 09:05:00.25', 12.5), (4, null, '2001-01-06T10:00:00', null), "
           "(5, '2001-01-04', null, 1000)"_s;
}

// Every type class with its edge values; row 1 holds NULL everywhere, the empty string is a
// value of its own.
QStringList sqliteTable()
{
    return {u"create table Kinds (id integer primary key, t varchar(200), n numeric(30,10), f real, d datetime)"_s,
            u"insert into Kinds values (1, null, null, null, null)"_s,
            u"insert into Kinds values (2, '', 0, 0.1, '2024-01-02 03:04:05')"_s,
            u"insert into Kinds values (3, 'O''Brien', 1234567890.1234567891, 1e-7, '2024-01-02 03:04:05.123456+02:00')"_s,
            u"insert into Kinds values (4, 'Zürich ✓ 日本', -1.5, 0.1, '2024-01-02')"_s,
            u"insert into Kinds values (5, '"_s + LongText + u"', 2.50, 3.0, '2024-01-02 03:04:05')"_s,
            u"insert into Kinds values (6, '', 0, 1e300, null)"_s,
            // Dates as SQLite writes them (and one written with a "T"), numbers in a column
            // without a declared type.
            u"create table Parity (id integer primary key, d date, ts datetime, x)"_s,
            u"insert into Parity values "_s + parityRows(),
            // A JSON column with one malformed value at row 3.
            u"create table Docs (id integer primary key, meta varchar(100))"_s,
            u"insert into Docs values (1, '{\"a\":1}'), (2, '{\"a\":2}'), (3, '{bad'), (4, '{\"a\":4}')"_s};
}

QStringList pgTable()
{
    // The session compares time stamps in a zone of its own, not the client's.
    return {u"alter database "_s + PgName + u" set timezone to 'Asia/Kolkata'"_s,
            u"create table kinds (id integer primary key, t varchar, n numeric(30,10), f real, g double precision, "
            "ts timestamp(6), tz timestamptz, m money)"_s,
            u"insert into kinds values (1, null, null, null, null, null, null, null)"_s,
            u"insert into kinds values (2, '', 0, 0.1, 0.1, '2024-01-02 03:04:05', '2024-01-02 03:04:05+00', 1000)"_s,
            u"insert into kinds values (3, 'O''Brien', 12345678901234567.1234567890, 1e-7, 1e-300, "
            "'2024-01-02 03:04:05.123456', '2024-01-02 03:04:05.123456+02', 0.01)"_s,
            u"insert into kinds values (4, 'Zürich ✓ 日本', -1.5, 0.1, 0.30000000000000004, '2024-01-02', "
            "'2024-07-01 12:00:00+05:30', -1234.5)"_s,
            u"insert into kinds values (5, '"_s + LongText + u"', 2.50, 3.4028235e38, 2.5, '2024-01-02 03:04:05', "
            "'2024-01-02 03:04:05+00', 1000)"_s,
            u"create table parity (id integer primary key, d date, ts timestamp, x numeric)"_s,
            u"insert into parity values "_s + parityRows(),
            u"create table orders (id integer primary key, amount numeric, qty integer)"_s,
            u"insert into orders select i, i * 10, case when i = 3000 then 0 else 1 end from generate_series(1, 5000) i"_s};
}

/// The rows of one column of table Kinds: which ids hold the same value as each id, by the
/// database's own comparison (NULL with NULL).
class Oracle
{
public:
    Oracle(Engine engine, const QString &connectionString)
        : m_name(QUuid::createUuid().toString())
    {
        QSqlDatabase db;
        if (engine == Engine::Sqlite) {
            db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_name);
            db.setDatabaseName(connectionString.section(u"Data Source="_s, 1));
        } else {
            const std::optional<condora::test::PgServer> pg = condora::test::pgServer();
            db = QSqlDatabase::addDatabase(u"QPSQL"_s, m_name);
            db.setHostName(pg->host);
            db.setPort(pg->port);
            db.setUserName(pg->user);
            db.setPassword(pg->password);
            db.setDatabaseName(PgName);
        }
        db.open();
    }
    ~Oracle() { QSqlDatabase::removeDatabase(m_name); }

    QStringList ids(const QString &sql, const QVariantList &params = {}) const
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        query.prepare(sql);
        for (const QVariant &param : params) {
            query.addBindValue(param);
        }
        QStringList result;
        if (!query.exec()) {
            return {u"error: "_s + query.lastError().text()};
        }
        while (query.next()) {
            result.append(query.value(0).toString());
        }
        return result;
    }

    /// The ids whose `column` holds what row `id` holds.
    QStringList sameAs(const QString &table, const QString &column, const QString &id) const
    {
        const QString value = u"(select "_s + column + u" from "_s + table + u" where id = ?)"_s;
        return ids(u"select id from "_s + table + u" where "_s + column + u" = "_s + value + u" or ("_s + column
                       + u" is null and "_s + value + u" is null) order by id"_s,
                   {id.toInt(), id.toInt()});
    }

private:
    QString m_name;
};

} // namespace

class TestPickedValues : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { beginTestRun(m_ui, m_scope); }
    void cleanup()
    {
        const QStringList open = endTestRun(m_ui, m_scope);
        QVERIFY2(open.isEmpty(), qPrintable(open.join(u", "_s)));
    }

    void roundTrip_data();
    void roundTrip();
    void aggregateColumn_data();
    void aggregateColumn();
    void typedParity_data();
    void typedParity();
    void failingList_data();
    void failingList();

private:
    std::shared_ptr<ado::Connection> open(Engine engine, QString *connectionString);

    std::unique_ptr<RecordingUi> m_ui;
    std::unique_ptr<QObject> m_scope;
    std::unique_ptr<condora::test::SqliteFile> m_sqlite;
    bool m_pgReady = false;
};

std::shared_ptr<ado::Connection> TestPickedValues::open(Engine engine, QString *connectionString)
{
    if (engine == Engine::Sqlite) {
        if (!m_sqlite) {
            m_sqlite = std::make_unique<condora::test::SqliteFile>(sqliteTable());
        }
        *connectionString = m_sqlite->connectionString();
        return m_sqlite->open();
    }
    const std::optional<condora::test::PgServer> pg = condora::test::pgServer();
    if (!pg) {
        return nullptr;
    }
    if (!m_pgReady) {
        pg->createDatabase(PgName);
        pg->exec(PgName, pgTable());
        m_pgReady = true;
    }
    *connectionString = pg->connectionString(PgName);
    return pg->open(PgName);
}

void TestPickedValues::roundTrip_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QString>("column");
    for (const QString &column : {u"t"_s, u"n"_s, u"f"_s, u"d"_s}) {
        QTest::addRow("SQLite %s", qPrintable(column)) << Engine::Sqlite << column;
    }
    for (const QString &column : {u"t"_s, u"n"_s, u"f"_s, u"g"_s, u"ts"_s, u"tz"_s, u"m"_s}) {
        QTest::addRow("PostgreSQL %s", qPrintable(column)) << Engine::Postgres << column;
    }
}

void TestPickedValues::roundTrip()
{
    QFETCH(Engine, engine);
    QFETCH(QString, column);
    QString connectionString;
    const std::shared_ptr<ado::Connection> connection = open(engine, &connectionString);
    if (!connection) {
        CONDORA_NEED_PG(pg);
    }
    const QString table = engine == Engine::Sqlite ? u"Kinds"_s : u"kinds"_s;
    const Oracle oracle(engine, connectionString);

    QStringList listed;
    int entry = 1;
    QStringList found; // every id found once over all picks
    QStringList problems;
    do {
        ControlRun run;
        run.connection = connection;
        run.sqlInput = u"select k.id, k."_s + column + u" from "_s + table + u" k order by k.id"_s;
        run.user = [&](QWidget *dialog) {
            QVERIFY(pickColumnAndOperator(dialog, 1, column, u"= "_s));
            listed = pickListedValue(dialog, 1, entry);
            okOrCancel(dialog);
        };
        const RunOutcome outcome = run.run(*m_ui);
        const QString shown = listed.value(entry - 1).left(40);
        const QStringList rows = outcome.sql.isEmpty() ? QStringList() : oracle.ids(outcome.sql);
        if (rows.isEmpty() || rows != oracle.sameAs(table, column, rows.first())) {
            problems.append(shown + u" -> "_s + outcome.sql.right(80) + u" "_s + outcome.messages.join(u"; "_s)
                            + u" found "_s + rows.join(u","_s));
        } else {
            found += rows;
        }
        ++entry;
    } while (entry <= listed.size());
    // Every row found, each by one listed value.
    found.sort();
    const QStringList all = oracle.ids(u"select id from "_s + table + u" order by id"_s);
    if (found != all) {
        problems.append(u"found "_s + found.join(u","_s) + u" of "_s + all.join(u","_s));
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u"\n"_s)));
}

void TestPickedValues::aggregateColumn_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::newRow("SQLite") << Engine::Sqlite;
    QTest::newRow("PostgreSQL") << Engine::Postgres;
}

// A column that exists only after grouping lists the values the statement shows (not one value
// over the whole table), and each value picked finds the groups that show it.
void TestPickedValues::aggregateColumn()
{
    QFETCH(Engine, engine);
    QString connectionString;
    const std::shared_ptr<ado::Connection> connection = open(engine, &connectionString);
    if (!connection) {
        CONDORA_NEED_PG(pg);
    }
    const Oracle oracle(engine, connectionString);
    const QString base = u"select sum(k.id) as ids, count(*) as cnt from kinds k group by k.f"_s;
    QStringList expected = oracle.ids(u"select distinct cnt from ("_s + base + u") q"_s);
    expected.sort();
    QStringList listed;
    int entry = 1;
    do {
        ControlRun run;
        run.connection = connection;
        run.sqlInput = base;
        run.user = [&](QWidget *dialog) {
            QVERIFY(pickColumnAndOperator(dialog, 1, u"cnt"_s, u"= "_s));
            listed = pickListedValue(dialog, 1, entry);
            okOrCancel(dialog);
        };
        const RunOutcome outcome = run.run(*m_ui);
        QStringList sortedListed = listed;
        sortedListed.sort();
        QCOMPARE(sortedListed, expected);
        QStringList got = oracle.ids(outcome.sql);
        QStringList want = oracle.ids(u"select ids from ("_s + base + u") q where cnt = "_s + listed.at(entry - 1));
        got.sort();
        want.sort();
        QVERIFY2(!want.isEmpty() && got == want, qPrintable(outcome.sql + u" "_s + outcome.messages.join(u"; "_s)));
        ++entry;
    } while (entry <= listed.size());
}

void TestPickedValues::typedParity_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("value");
    const QList<std::array<QString, 3>> conditions{
        {u"d"_s, u"= "_s, u"2001-1-5"_s},          {u"d"_s, u"= "_s, u"2001/01/05"_s},
        {u"d"_s, u"= "_s, u"2001-01-05 00:00"_s},  {u"d"_s, u"< "_s, u"2001/1/6"_s},
        {u"d"_s, u">= "_s, u"2001.1.5"_s},         {u"d"_s, u"<> "_s, u"2001-01-05"_s},
        {u"ts"_s, u"= "_s, u"2001-01-05"_s},       {u"ts"_s, u"<= "_s, u"2001-01-05"_s},
        {u"ts"_s, u"> "_s, u"2001-1-5"_s},         {u"ts"_s, u"= "_s, u"2001-01-05 9:05"_s},
        {u"ts"_s, u"= "_s, u"2001-01-05T09:05:00.250"_s}, {u"ts"_s, u"= "_s, u"2001-01-06 10:00"_s},
        {u"ts"_s, u"< "_s, u"2001/1/6"_s},         {u"x"_s, u"= "_s, u"1200"_s},
        {u"x"_s, u"> "_s, u"99"_s},                {u"x"_s, u"< "_s, u"1000"_s},
        {u"x"_s, u"= "_s, u"12.50"_s}};
    for (const auto &[column, op, value] : conditions) {
        QTest::addRow("%s %s%s", qPrintable(column), qPrintable(op), qPrintable(value)) << column << op << value;
    }
}

// The same condition typed into the dialog on SQLite finds the rows that PostgreSQL's own
// reading of the literal finds (the statement written here by hand).
void TestPickedValues::typedParity()
{
    QFETCH(QString, column);
    QFETCH(QString, op);
    QFETCH(QString, value);
    QString pgString;
    if (!open(Engine::Postgres, &pgString)) {
        CONDORA_NEED_PG(pg);
    }
    const QString literal = column == u"x"_s ? value : u'\'' + value + u'\'';
    const QStringList expected =
        Oracle(Engine::Postgres, pgString)
            .ids(u"select id from parity where "_s + column + u' ' + op + literal + u" order by id"_s);

    QString sqliteString;
    ControlRun run;
    run.connection = open(Engine::Sqlite, &sqliteString);
    run.sqlInput = u"select p.id, p."_s + column + u" from Parity p order by p.id"_s;
    run.user = [&](QWidget *dialog) {
        QVERIFY(pickColumnAndOperator(dialog, 1, column, op));
        typeValue(dialog, 1, value);
        okOrCancel(dialog);
    };
    const RunOutcome outcome = run.run(*m_ui);
    QVERIFY2(outcome.messages.isEmpty(), qPrintable(outcome.messages.join(u"; "_s)));
    QVERIFY2(Oracle(Engine::Sqlite, sqliteString).ids(outcome.sql) == expected, qPrintable(outcome.sql));
}

void TestPickedValues::failingList_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QString>("sqlInput");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("message");
    QTest::newRow("SQLite, malformed JSON at row 3")
        << Engine::Sqlite << u"select d.id, json(d.meta) as doc from Docs d"_s << u"doc"_s << u"malformed JSON"_s;
    QTest::newRow("PostgreSQL, division by zero at row 3000")
        << Engine::Postgres << u"select o.id, o.amount / o.qty as share from orders o"_s << u"share"_s
        << u"division by zero"_s;
}

// The picker's statement fails part-way: one report with the database's text, no values left
// to pick, and the Value cell stays as it was.
void TestPickedValues::failingList()
{
    QFETCH(Engine, engine);
    QFETCH(QString, sqlInput);
    QFETCH(QString, column);
    QFETCH(QString, message);
    QString connectionString;
    const std::shared_ptr<ado::Connection> connection = open(engine, &connectionString);
    if (!connection) {
        CONDORA_NEED_PG(pg);
    }
    QStringList listed;
    QString value = u"unset"_s;
    ControlRun run;
    run.connection = connection;
    run.sqlInput = sqlInput;
    run.user = [&](QWidget *dialog) {
        QVERIFY(pickColumnAndOperator(dialog, 1, column, u"= "_s));
        listed = pickFirstListedValue(dialog, 1);
        value = dialogtest::find<FlexGrid>(dialog, "MFGQuery")->TextMatrix(1, 3);
        press(dialog, "cmdCancel");
    };
    const RunOutcome outcome = run.run(*m_ui);
    QCOMPARE(outcome.messages.size(), 1);
    QVERIFY2(outcome.messages.first().startsWith(u"Error message:"_s + Crlf + u" "_s + message),
             qPrintable(outcome.messages.first()));
    QVERIFY2(outcome.messages.first().endsWith(u"Error number:-2147217900"_s), qPrintable(outcome.messages.first()));
    QCOMPARE(listed, QStringList{QString()});
    QCOMPARE(value, QString());
}

CONDORA_TEST_MAIN(TestPickedValues)

#include "tst_pickedvalues.moc"
