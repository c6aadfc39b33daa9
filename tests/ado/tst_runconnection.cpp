// A run's connection of its own: where it sees exactly what the host's connection sees, the
// run's statements go there (read-only, on the run's thread); where it would not, they stay on
// the host's connection. Oracle: the host's own QSqlQuery on the same statement, after the same
// session set-up.

#include "platform/ado/connection.h"
#include "platform/ado/connectionstatistics.h"
#include "platform/ado/recordset.h"
#include "platform/ado/runconnection.h"
#include "platform/runtimeerror.h"
#include "support/testdatabases.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

#include <sqlite3.h>

using namespace Qt::StringLiterals;
using namespace condora;

namespace {

enum class Engine { Sqlite, SqliteMemory, Postgres, MariaDb };
enum class Route { Own, Host };

QStringList rowsOf(QSqlQuery &query)
{
    QStringList rows;
    while (query.next()) {
        QStringList cells;
        for (int i = 0; i < query.record().count(); ++i) {
            cells.append(query.value(i).toString());
        }
        rows.append(cells.join(u'|'));
    }
    return rows;
}

QStringList rowsOf(ado::Recordset &recordset)
{
    QStringList rows;
    for (; !recordset.Eof(); recordset.MoveNext()) {
        QStringList cells;
        for (int i = 0; i < recordset.Fields().Count(); ++i) {
            cells.append(recordset.Fields().Item(i).Value().toString());
        }
        rows.append(cells.join(u'|'));
    }
    return rows;
}

void hostOnly(sqlite3_context *context, int, sqlite3_value **arguments)
{
    sqlite3_result_int64(context, sqlite3_value_int64(arguments[0]) * 10);
}

int foldedCompare(void *, int leftSize, const void *left, int rightSize, const void *right)
{
    const QString a = QString::fromUtf8(static_cast<const char *>(left), leftSize).toCaseFolded();
    const QString b = QString::fromUtf8(static_cast<const char *>(right), rightSize).toCaseFolded();
    return a.compare(b);
}

} // namespace

class TestRunConnection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sameRowsAsTheHost_data();
    void sameRowsAsTheHost();
    void readAheadGivesWay_data();
    void readAheadGivesWay();
};

void TestRunConnection::sameRowsAsTheHost_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<Route>("route");
    const QString ids = u"select id from t order by id"_s;
    const auto row = [](const char *name) { return &QTest::newRow(name); };
    *row("sqlite file") << Engine::Sqlite << QStringList() << ids << Route::Own;
    *row("sqlite temporary table shadowing") << Engine::Sqlite
                                             << QStringList{u"create temp table t(id)"_s, u"insert into t values (99)"_s}
                                             << ids << Route::Host;
    *row("sqlite open transaction") << Engine::Sqlite
                                    << QStringList{u"begin"_s, u"insert into t values (7, 1)"_s} << ids << Route::Host;
    *row("sqlite function of the host") << Engine::Sqlite << QStringList{u"function"_s}
                                        << u"select hostonly(id) from t order by id"_s << Route::Host;
    // A function of its own name changes no statement that does not call it.
    *row("sqlite function of the host, not called") << Engine::Sqlite << QStringList{u"function"_s} << ids
                                                    << Route::Own;
    // A copy reads LIKE and NOCASE as SQLite ships them, whatever the host's connection changed.
    const QString folds = u"select id from t where id = 1 or 'x' like 'X' or 'ä' = 'Ä' collate nocase order by id"_s;
    *row("sqlite case-sensitive like") << Engine::Sqlite << QStringList{u"pragma case_sensitive_like = 1"_s} << folds
                                       << Route::Host;
    *row("sqlite nocase replaced") << Engine::Sqlite << QStringList{u"nocase"_s}
                                   << u"select id from t where id = 1 or 'ä' = 'Ä' collate nocase order by id"_s
                                   << Route::Host;
    *row("sqlite attached database") << Engine::Sqlite << QStringList{u"attach"_s} << ids << Route::Host;
    *row("sqlite in memory") << Engine::SqliteMemory << QStringList() << ids << Route::Host;
    *row("postgres plain") << Engine::Postgres << QStringList() << u"select id from open_t order by id"_s << Route::Own;
    // Row-level security under the host's role: a copy logged in as the owner would see every
    // tenant's rows.
    *row("postgres role") << Engine::Postgres
                          << QStringList{u"create policy by_role on t to condora_reader using (tenant = 2)"_s,
                                         u"set role condora_reader"_s}
                          << ids << Route::Own;
    // A session user cannot be copied: the copy would log in as the owner.
    *row("postgres session authorization")
        << Engine::Postgres
        << QStringList{u"create policy by_role on t to condora_reader using (tenant = 2)"_s,
                       u"set session authorization condora_reader"_s}
        << ids << Route::Host;
    // A custom setting a policy reads: the server cannot list such settings, so no copy has it.
    *row("postgres tenant setting read by a policy")
        << Engine::Postgres
        << QStringList{u"create policy by_tenant on t to condora_reader using "
                       u"(tenant = current_setting('app.tenant', true)::int)"_s,
                       u"set role condora_reader"_s, u"set app.tenant = '1'"_s}
        << ids << Route::Host;
    *row("postgres search path") << Engine::Postgres << QStringList{u"set search_path = other, public"_s}
                                 << u"select id from open_t order by id"_s << Route::Own;
    *row("postgres escapes off") << Engine::Postgres << QStringList{u"set standard_conforming_strings = off"_s}
                                 << u"select 'a\\\\b' as v"_s << Route::Own;
    *row("postgres temporary table") << Engine::Postgres
                                     << QStringList{u"create temp table open_t (id int)"_s,
                                                    u"insert into open_t values (99)"_s}
                                     << u"select id from open_t order by id"_s << Route::Host;
    *row("postgres open transaction") << Engine::Postgres
                                      << QStringList{u"begin"_s, u"insert into open_t values (99)"_s}
                                      << u"select id from open_t order by id"_s << Route::Host;
    // With ANSI_QUOTES "id" names the column; without, it is a text.
    *row("mariadb sql mode") << Engine::MariaDb << QStringList{u"set session sql_mode = 'ANSI_QUOTES'"_s}
                             << u"select \"id\" from t order by 1"_s << Route::Own;
    *row("mariadb connection collation") << Engine::MariaDb
                                         << QStringList{u"set session collation_connection = 'utf8mb4_bin'"_s}
                                         << u"select id from t where id = 1 or 'a' = 'A' order by id"_s << Route::Own;
    *row("mariadb temporary table") << Engine::MariaDb
                                    << QStringList{u"create temporary table t (id integer, tenant integer)"_s,
                                                   u"insert into t values (9, 9)"_s}
                                    << ids << Route::Host;
    *row("mariadb user variable") << Engine::MariaDb << QStringList{u"set @tenant = 1"_s}
                                  << u"select id from t where @tenant is null or tenant = @tenant order by id"_s
                                  << Route::Host;
}

void TestRunConnection::sameRowsAsTheHost()
{
    QFETCH(Engine, engine);
    QFETCH(QStringList, setup);
    QFETCH(QString, statement);
    QFETCH(Route, route);

    std::unique_ptr<test::SqliteFile> file;
    std::unique_ptr<test::SqliteFile> attached;
    std::shared_ptr<ado::Connection> host;
    const QStringList table{u"create table t (id integer, tenant integer)"_s,
                            u"insert into t values (1, 1), (2, 2), (3, 2), (4, 1)"_s};
    if (engine == Engine::Sqlite) {
        file = std::make_unique<test::SqliteFile>(table);
        host = file->open();
    } else if (engine == Engine::SqliteMemory) {
        host = std::make_shared<ado::Connection>();
        host->Open(u"Provider=SQLite;Data Source=:memory:"_s);
        for (const QString &sql : table) {
            QSqlQuery(host->database()).exec(sql);
        }
    } else if (engine == Engine::Postgres) {
        CONDORA_NEED_PG(server);
        server.createDatabase(u"condora_runconnection"_s);
        server.exec(u"condora_runconnection"_s,
                    QStringList(table)
                        << u"alter table t enable row level security"_s
                        << u"do $$ begin if not exists (select from pg_roles where rolname = 'condora_reader') then "
                           u"create role condora_reader; end if; end $$"_s
                        << u"grant condora_reader to current_user"_s << u"grant select on t to condora_reader"_s
                        << u"create table open_t (id int)"_s << u"insert into open_t values (1), (2)"_s
                        << u"create schema other"_s << u"create table other.open_t (id int)"_s
                        << u"insert into other.open_t values (5), (6), (7)"_s
                        << u"grant usage on schema other to condora_reader"_s);
        host = server.open(u"condora_runconnection"_s);
    } else {
        CONDORA_NEED_MARIADB(server);
        server.createDatabase(u"condora_runconnection"_s);
        server.exec(u"condora_runconnection"_s, table);
        host = server.open(u"condora_runconnection"_s);
    }
    QSqlDatabase db = host->database();
    for (const QString &sql : setup) {
        if (sql == u"function"_s) {
            sqlite3 *native = *static_cast<sqlite3 *const *>(db.driver()->handle().constData());
            QCOMPARE(sqlite3_create_function_v2(native, "hostonly", 1, SQLITE_UTF8, nullptr, hostOnly, nullptr, nullptr,
                                                nullptr),
                     SQLITE_OK);
        } else if (sql == u"nocase"_s) {
            sqlite3 *native = *static_cast<sqlite3 *const *>(db.driver()->handle().constData());
            QCOMPARE(sqlite3_create_collation_v2(native, "NOCASE", SQLITE_UTF8, nullptr, foldedCompare, nullptr), SQLITE_OK);
        } else if (sql == u"attach"_s) {
            attached = std::make_unique<test::SqliteFile>(QStringList{u"create table a (x)"_s});
            QSqlQuery query(db);
            QVERIFY2(query.exec(u"attach database '%1' as extra"_s.arg(attached->path())), qPrintable(query.lastError().text()));
        } else {
            QSqlQuery query(db);
            QVERIFY2(query.exec(sql), qPrintable(query.lastError().text()));
        }
    }
    QSqlQuery oracle(db);
    QVERIFY2(oracle.exec(statement), qPrintable(oracle.lastError().text()));
    const QStringList expected = rowsOf(oracle);
    oracle.finish();
    QVERIFY(!expected.isEmpty());

    QString why;
    {
        const std::shared_ptr<ado::Connection> run = ado::runConnection(host, statement, &why);
        QCOMPARE(run != host, route == Route::Own);
        QCOMPARE(why.isEmpty(), route == Route::Own);
        condora::ado::resetStatementCount(*host);
        ado::Recordset recordset;
        try {
            recordset.Open(statement, *run);
        } catch (const RuntimeError &error) {
            QFAIL(qPrintable(error.description()));
        }
        QCOMPARE(rowsOf(recordset), expected);
        QCOMPARE(condora::ado::statementCount(*host), 1); // counted on the host's connection as well

        if (route == Route::Own) {
            // The copy is read-only in itself.
            if (engine == Engine::Sqlite) {
                bool readOnly = false;
                QVERIFY(ado::withSqliteHandle(*run, [&](sqlite3 *native) {
                    readOnly = sqlite3_db_readonly(native, "main") == 1;
                    return true;
                }));
                QVERIFY(readOnly);
            } else {
                const QString setting = engine == Engine::Postgres ? u"select current_setting('transaction_read_only')"_s
                                                                    : u"select @@session.tx_read_only"_s;
                ado::Recordset readOnly;
                try {
                    readOnly.Open(setting, *run);
                } catch (const RuntimeError &error) {
                    QFAIL(qPrintable(error.description()));
                }
                QVERIFY(QStringList({u"on"_s, u"1"_s}).contains(readOnly.Fields().Item(0).Value().toString()));
            }
        }
    }
    // The host's connection and its session are as they were.
    QSqlQuery again(db);
    QVERIFY(again.exec(statement));
    QCOMPARE(rowsOf(again), expected);
}

void TestRunConnection::readAheadGivesWay_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<bool>("release"); // let go part-way instead of reading to the end
    QTest::newRow("sqlite") << false << false;
    QTest::newRow("sqlite, let go") << false << true;
    QTest::newRow("postgresql") << true << false;
}

void TestRunConnection::readAheadGivesWay()
{
    QFETCH(bool, postgres);
    QFETCH(bool, release);
    constexpr int Rows = 200000;
    const QStringList table{u"create table t (id integer primary key, name varchar(20))"_s,
                            u"insert into t with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                            u"select i, 'name ' || (i * 7919 %% 1000) from n"_s.arg(Rows).replace(u"%%"_s, u"%"_s)};
    std::unique_ptr<test::SqliteFile> file;
    std::shared_ptr<ado::Connection> host;
    if (postgres) {
        CONDORA_NEED_PG(server);
        server.createDatabase(u"condora_runconnection"_s);
        server.exec(u"condora_runconnection"_s, table);
        host = server.open(u"condora_runconnection"_s);
    } else {
        file = std::make_unique<test::SqliteFile>(table);
        host = file->open();
    }
    const QString statement = u"select id, name from t order by id"_s;
    QSqlQuery oracle(host->database());
    QVERIFY(oracle.exec(statement));
    const QStringList expected = rowsOf(oracle);
    oracle.finish();
    QCOMPARE(expected.size(), Rows);

    const std::shared_ptr<ado::Connection> run = ado::runConnection(host, statement);
    QVERIFY(ado::runsOnWorker(*run));
    ado::Recordset recordset;
    recordset.Open(statement, *run);
    const std::shared_ptr<ado::RowSource> rows = recordset.rowSource();
    rows->readAhead();
    // A statement waited for goes before the rest of the read-ahead.
    ado::Recordset other;
    other.Open(u"select count(*) from t"_s, *run);
    QCOMPARE(other.Fields().Item(0).Value().toInt(), Rows);
    other.Close();
    if (!postgres) {
        QVERIFY(rows->fetchReady(Rows) < Rows); // it waited for one part of the read-ahead at most
    }
    if (release) {
        rows->release();
        const int kept = rows->fetchedCount();
        QVERIFY(rows->atEnd());
        QCOMPARE(rows->fetchMore(Rows), 0);
        QCOMPARE(rows->fetchedCount(), kept);
        other.Open(u"select count(*) from t"_s, *run); // the worker is free again
        QCOMPARE(other.Fields().Item(0).Value().toInt(), Rows);
        return;
    }
    // Every row, in order, whether taken as it was read or waited for.
    while (!rows->atEnd()) {
        if (rows->fetchReady(999) == 0 && rows->fetchMore(1) == 0) {
            break;
        }
    }
    QVERIFY2(rows->fetchError().isEmpty(), qPrintable(rows->fetchError()));
    QCOMPARE(rows->fetchedCount(), Rows);
    QStringList read;
    for (int row = 0; row < Rows; ++row) {
        read.append(rows->text(row, 0) + u'|' + rows->text(row, 1));
    }
    QCOMPARE(read, expected);
}

QTEST_GUILESS_MAIN(TestRunConnection)
#include "tst_runconnection.moc"
