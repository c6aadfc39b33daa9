#include "support/testdatabases.h"
#include "support/testmain.h"

#include "analysis/queryrun.h"
#include "analysis/databasekind.h"
#include "condition/conditioncomposer.h"
#include "platform/ado/connection.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/userinteraction.h"

using namespace condora;
using namespace Qt::StringLiterals;

// Databases whose string literals read a backslash as an escape character get values with
// doubled backslashes, so that no value can end its literal early there; databases whose LIKE
// reads a backslash as its escape character get "include" patterns with doubled backslashes,
// so that a backslash the user typed matches a backslash.

namespace {

/// The two backslash rules as the control sets them for a kind of database.
struct Dialect
{
    bool backslashEscapes = false;
    bool likeBackslashEscapes = false;
};

const Dialect PostgresLike{false, true};
const Dialect MariaDbLike{true, true};
const Dialect SqliteLike{false, false};

} // namespace

Q_DECLARE_METATYPE(Dialect)
Q_DECLARE_METATYPE(condora::DbProduct)
class TestBackslashEscapes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void dbmsNames_data();
    void dbmsNames();
    void composedLiteral_data();
    void composedLiteral();
    void connectionsWithoutTheRule();
    void serverSettings_data();
    void serverSettings();

private:
    QString compose(const QString &typeClass, const QString &op, const QString &value, Dialect dialect);
};

void TestBackslashEscapes::init()
{
}

void TestBackslashEscapes::dbmsNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("escapes");
    QTest::addColumn<bool>("likeEscapes");
    QTest::newRow("MySQL") << u"MySQL"_s << true << true;
    QTest::newRow("mysql lower case") << u"mysql"_s << true << true;
    QTest::newRow("MariaDB") << u"MariaDB"_s << true << true;
    QTest::newRow("MARIADB in a longer name") << u"MARIADB Server 10.11"_s << true << true;
    QTest::newRow("PostgreSQL") << u"PostgreSQL"_s << false << true;
    QTest::newRow("POSTGRES upper case") << u"POSTGRES"_s << false << true;
    QTest::newRow("SQLite") << u"SQLite"_s << false << false;
    QTest::newRow("SQL Server") << u"Microsoft SQL Server"_s << false << false;
    QTest::newRow("Oracle") << u"Oracle"_s << false << false;
    QTest::newRow("Access") << u"ACCESS"_s << false << false;
    QTest::newRow("empty") << QString() << false << false;
}

void TestBackslashEscapes::dbmsNames()
{
    QFETCH(QString, name);
    QFETCH(bool, escapes);
    QFETCH(bool, likeEscapes);
    QCOMPARE(backslashEscapesForDbmsName(name), escapes);
    QCOMPARE(likeBackslashEscapesForDbmsName(name), likeEscapes);
    // The kind stays what it was: MySQL and MariaDB are "other" databases.
    if (escapes) {
        QCOMPARE(dbKindText(dbKindFromDbmsName(name)), name.contains(u"server"_s, Qt::CaseInsensitive) ? u"2"_s : u"99"_s);
    }
}

QString TestBackslashEscapes::compose(const QString &typeClass, const QString &op, const QString &value,
                                      Dialect dialect)
{
    QueryRun run;
    run.dbKind = DbKind::Other;
    run.escapes = EscapeRules{dialect.backslashEscapes, dialect.likeBackslashEscapes};
    run.baseSql = u"select name from t"_s;
    ColumnInfo column;
    column.colExpr = u"name"_s;
    column.colName = u"name"_s;
    column.tabAlias = u"t"_s;
    column.typeClass = typeClassFromText(typeClass);
    run.fieldCatalog = {ColumnInfo(), column};

    ConditionRow row;
    row.column = u"name"_s;
    row.op = op;
    row.value = value;
    row.colIndex = u"1"_s;
    return composeCondition({row}, run).statement;
}

void TestBackslashEscapes::composedLiteral_data()
{
    QTest::addColumn<QString>("typeClass");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("value");
    QTest::addColumn<Dialect>("dialect");
    QTest::addColumn<QString>("expected");
    const QString head = u"select name from t where  t.name "_s;
    const QString str = u"string"_s;
    const auto row = [](const char *name) -> QTestData & { return QTest::newRow(name); };

    row("breakout attempt, MariaDB") << str << u"= "_s << uR"(x\' or 1=1 -- )"_s << MariaDbLike
                                     << head + uR"(= 'x\\'' or 1=1 -- ')"_s;
    row("breakout attempt, PostgreSQL") << str << u"= "_s << uR"(x\' or 1=1 -- )"_s << PostgresLike
                                        << head + uR"(= 'x\'' or 1=1 -- ')"_s;
    row("breakout attempt, SQLite") << str << u"= "_s << uR"(x\' or 1=1 -- )"_s << SqliteLike
                                    << head + uR"(= 'x\'' or 1=1 -- ')"_s;
    row("trailing backslash, MariaDB") << str << u"= "_s << uR"(C:\)"_s << MariaDbLike << head + uR"(= 'C:\\')"_s;
    row("no backslash, MariaDB") << str << u"= "_s << u"O'Brien"_s << MariaDbLike << head + u"= 'O''Brien'"_s;

    // Under include, a backslash is doubled once for LIKE where LIKE reads it as its escape,
    // and again for the literal where the literal does.
    row("include a\\b, PostgreSQL") << str << u"include "_s << uR"(a\b)"_s << PostgresLike
                                    << head + uR"(like '%a\\b%')"_s;
    row("include a\\b, MariaDB") << str << u"include "_s << uR"(a\b)"_s << MariaDbLike
                                 << head + uR"(like '%a\\\\b%')"_s;
    row("include a\\b, SQLite") << str << u"include "_s << uR"(a\b)"_s << SqliteLike << head + uR"(like '%a\b%')"_s;
    row("include abc\\, PostgreSQL") << str << u"include "_s << uR"(abc\)"_s << PostgresLike
                                     << head + uR"(like '%abc\\%')"_s;
    row("include abc\\, MariaDB") << str << u"include "_s << uR"(abc\)"_s << MariaDbLike
                                  << head + uR"(like '%abc\\\\%')"_s;
    row("include abc\\, SQLite") << str << u"include "_s << uR"(abc\)"_s << SqliteLike
                                 << head + uR"(like '%abc\%')"_s;
    row("include \\' or 1=1, PostgreSQL") << str << u"include "_s << uR"(\' or 1=1 -- )"_s << PostgresLike
                                          << head + uR"(like '%\\'' or 1=1 -- %')"_s;
    row("include \\' or 1=1, MariaDB") << str << u"include "_s << uR"(\' or 1=1 -- )"_s << MariaDbLike
                                       << head + uR"(like '%\\\\'' or 1=1 -- %')"_s;
    row("include \\' or 1=1, SQLite") << str << u"include "_s << uR"(\' or 1=1 -- )"_s << SqliteLike
                                      << head + uR"(like '%\'' or 1=1 -- %')"_s;
    row("not include a\\b, PostgreSQL") << str << u"not include "_s << uR"(a\b)"_s << PostgresLike
                                        << head + uR"(not like '%a\\b%')"_s;
    row("not include a\\b, MariaDB") << str << u"not include "_s << uR"(a\b)"_s << MariaDbLike
                                     << head + uR"(not like '%a\\\\b%')"_s;
    row("not include a\\b, SQLite") << str << u"not include "_s << uR"(a\b)"_s << SqliteLike
                                    << head + uR"(not like '%a\b%')"_s;
    row("include long text, PostgreSQL") << u"lstring"_s << u"include "_s << uR"(C:\Temp\)"_s << PostgresLike
                                         << head + uR"(like '%C:\\Temp\\%')"_s;
    // The user's own wildcards stay wildcards, next to a doubled backslash too.
    row("include wildcards, PostgreSQL") << str << u"include "_s << uR"(1\0%_x)"_s << PostgresLike
                                         << head + uR"(like '%1\\0%_x%')"_s;
    row("include wildcards, MariaDB") << str << u"include "_s << u"100%_off"_s << MariaDbLike
                                      << head + u"like '%100%_off%'"_s;
    // Outside LIKE a backslash needs nothing on PostgreSQL.
    row("= a\\b, PostgreSQL") << str << u"= "_s << uR"(a\b)"_s << PostgresLike << head + uR"(= 'a\b')"_s;
    row("<> abc\\, PostgreSQL") << str << u"<> "_s << uR"(abc\)"_s << PostgresLike << head + uR"(<> 'abc\')"_s;
}

void TestBackslashEscapes::composedLiteral()
{
    QFETCH(QString, typeClass);
    QFETCH(QString, op);
    QFETCH(QString, value);
    QFETCH(Dialect, dialect);
    QFETCH(QString, expected);
    RecordingUserInteraction ui;
    QCOMPARE(compose(typeClass, op, value, dialect), expected);
    QVERIFY(ui.messages().isEmpty());
}

void TestBackslashEscapes::connectionsWithoutTheRule()
{
    RecordingUserInteraction ui;
    condora::test::SqliteFile file({u"CREATE TABLE t (name VARCHAR(10))"_s});
    auto connection = file.open();
    QVERIFY(!usesBackslashEscapes(*connection));
    QVERIFY(!usesLikeBackslashEscapes(*connection));
    ado::Connection closed;
    QVERIFY(!usesBackslashEscapes(closed));
    QVERIFY(!usesLikeBackslashEscapes(closed));
    QVERIFY2(ui.messages().isEmpty(), "the rule itself reports nothing; getDbKind reports an unreadable connection");
}

void TestBackslashEscapes::serverSettings_data()
{
    QTest::addColumn<DbProduct>("product");
    QTest::addColumn<QString>("setting");
    QTest::addColumn<int>("like"); // what LIKE showed: -1 not asked, 0 no escape, 1 backslash escape
    QTest::addColumn<bool>("stated");
    QTest::addColumn<bool>("escapes");
    QTest::addColumn<bool>("likeEscapes");

    const auto pg = DbProduct::PostgreSql;
    const auto my = DbProduct::MySql;
    QTest::newRow("PostgreSQL, standard strings") << pg << u"on"_s << -1 << true << false << true;
    QTest::newRow("PostgreSQL, escapes in strings") << pg << u"off"_s << -1 << true << true << true;
    QTest::newRow("PostgreSQL, answer in capitals") << pg << u" OFF "_s << -1 << true << true << true;
    QTest::newRow("PostgreSQL, no clear answer") << pg << u"maybe"_s << -1 << false << false << false;
    QTest::newRow("MySQL, default modes") << my << u"STRICT_TRANS_TABLES,NO_ENGINE_SUBSTITUTION"_s << 1 << true
                                          << true << true;
    QTest::newRow("MySQL, no modes") << my << QString() << -1 << true << true << true;
    QTest::newRow("MariaDB, no backslash escapes, LIKE keeps its escape")
        << my << u"STRICT_TRANS_TABLES,NO_BACKSLASH_ESCAPES"_s << 1 << true << false << true;
    QTest::newRow("MySQL, no backslash escapes, LIKE without escape")
        << my << u"NO_BACKSLASH_ESCAPES"_s << 0 << true << false << false;
    QTest::newRow("MariaDB, a longer mode name is not the mode")
        << my << u"NO_BACKSLASH_ESCAPES_X"_s << 1 << true << true << true;
    QTest::newRow("SQLite has no setting") << DbProduct::Sqlite << u"off"_s << -1 << false << false << false;
}

void TestBackslashEscapes::serverSettings()
{
    QFETCH(DbProduct, product);
    QFETCH(QString, setting);
    QFETCH(int, like);
    QFETCH(bool, stated);
    QFETCH(bool, escapes);
    QFETCH(bool, likeEscapes);
    const auto rules = escapeRulesFromSetting(product, setting, like < 0 ? std::nullopt : std::optional<bool>(like == 1));
    QCOMPARE(rules.has_value(), stated);
    if (rules) {
        QCOMPARE(*rules, (EscapeRules{escapes, likeEscapes}));
    }
}

CONDORA_TEST_MAIN(TestBackslashEscapes)
#include "tst_backslashescapes.moc"
