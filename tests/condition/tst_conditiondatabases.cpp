#include "conditiontestdata.h"

#include "analysis/queryrun.h"
#include "analysis/databasekind.h"
#include "analysis/statementtools.h"
#include "condition/conditioncomposer.h"
#include "condition/conditionvalidator.h"
#include "condition/valuelist.h"
#include "condition/valuerules.h"
#include "platform/ado/connection.h"
#include "platform/userinteraction.h"
#include "support/testdatabases.h"

#include <QApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include <optional>
#include <variant>

using namespace Qt::StringLiterals;
using namespace condora;

namespace {

/// An open connection to a fresh test database of one backend, with whatever keeps it alive.
struct TestDatabase
{
    std::unique_ptr<test::SqliteFile> file;
    std::shared_ptr<ado::Connection> connection;
};

const QString pgDatabaseName = u"condora_condition"_s;

/// Ids of the rows that `sql` returns (first column), or the database's complaint.
std::variant<QList<int>, QString> selectIds(const ado::Connection &connection, const QString &sql)
{
    QSqlQuery query(connection.database());
    if (!query.exec(sql)) {
        return query.lastError().text();
    }
    QList<int> ids;
    while (query.next()) {
        ids.append(query.value(0).toInt());
    }
    return ids;
}

/// Ids that `composed`'s bound-parameter statement returns with its values bound, or the
/// database's complaint.
std::variant<QList<int>, QString> selectBoundIds(const ado::Connection &connection, const ComposedCondition &composed)
{
    QSqlQuery query(connection.database());
    if (!query.prepare(composed.statement)) {
        return query.lastError().text();
    }
    for (const QVariant &value : composed.parameters) {
        query.addBindValue(value);
    }
    if (!query.exec()) {
        return query.lastError().text();
    }
    QList<int> ids;
    while (query.next()) {
        ids.append(query.value(0).toInt());
    }
    return ids;
}

QStringList hostileValues()
{
    QString longText;
    for (int i = 0; i < 2500; ++i) {
        longText += u"ab'-"_s;
    }
    return {u"'"_s,
            u"''"_s,
            u"O'Brien"_s,
            u"'; drop table h; --"_s,
            u"' or '1'='1"_s,
            u"x' --"_s,
            u"/* c */ ' /*"_s,
            u"a;b"_s,
            u"-- note"_s,
            u"\\'"_s,
            u"\\"_s,
            u"50%_off"_s,
            longText,
            u"Zo\u00eb \u00d8rsted \u2013 \u6771\u4eac \U0001F642"_s,
            u"line\nbreak'\r\n--"_s,
            u"#2001-01-05#"_s,
            u"\"quoted\""_s,
            u"$$ or 1=1 $$"_s,
            u"E'\\x' or 1=1"_s};
}

} // namespace

class TestConditionDatabases : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void singleRowsAccepted_data();
    void singleRowsAccepted();
    void hostileValuesStayInLiteral_data();
    void hostileValuesStayInLiteral();
    void furtherOperatorsFindTheirRows_data();
    void furtherOperatorsFindTheirRows();

private:
    /// Opens a fresh database of `backend` with `statements` run on it (skips when the
    /// PostgreSQL server is not configured). Null after a skip.
    std::optional<TestDatabase> open(const QString &backend, const QStringList &statements);

    std::unique_ptr<RecordingUserInteraction> m_ui;
};

void TestConditionDatabases::init()
{
    m_ui = std::make_unique<RecordingUserInteraction>();
}

void TestConditionDatabases::cleanup()
{
    m_ui.reset();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

std::optional<TestDatabase> TestConditionDatabases::open(const QString &backend, const QStringList &statements)
{
    TestDatabase db;
    if (backend == "sqlite"_L1) {
        db.file = std::make_unique<test::SqliteFile>(statements);
        db.connection = db.file->open();
        return db;
    }
    const auto pg = test::pgServer();
    if (!pg) {
        return std::nullopt;
    }
    pg->createDatabase(pgDatabaseName);
    pg->exec(pgDatabaseName, statements);
    db.connection = pg->open(pgDatabaseName);
    return db;
}

#define OPEN_OR_SKIP(db, backend, statements)                                                                          \
    auto db##Opt = open(backend, statements);                                                                          \
    if (!db##Opt) {                                                                                                    \
        if (test::pgRequired()) {                                                                                      \
            QFAIL("PostgreSQL test server required but not configured");                                               \
        }                                                                                                              \
        QSKIP("PostgreSQL test server not configured (set CONDORA_TEST_PG_*)");                                        \
    }                                                                                                                  \
    TestDatabase &db = *db##Opt

void TestConditionDatabases::singleRowsAccepted_data()
{
    QTest::addColumn<QString>("backend");
    QTest::newRow("sqlite") << u"sqlite"_s;
    QTest::newRow("postgresql") << u"postgresql"_s;
}

void TestConditionDatabases::singleRowsAccepted()
{
    QFETCH(QString, backend);
    OPEN_OR_SKIP(db, backend,
                 (QStringList{u"create table cases (n numeric(10,2), s varchar(40), l text, d date, ts timestamp, "
                              u"b boolean)"_s,
                              u"insert into cases values (42, 'Smith', 'Smith', '2001-01-05', '2001-01-05 09:05:00', "
                              u"true)"_s}));
    QueryRun run;
    run.connection = db.connection;
    run.dbKind = DbKind::Other;
    run.product = backend == "sqlite"_L1 ? DbProduct::Sqlite : DbProduct::PostgreSql;
    run.baseSql = u"select x.n, x.s, x.l, x.d, x.ts, x.b from cases x order by x.n"_s;
    // Positions 1.. : n, s, l, d, ts, b.
    run.fieldCatalog = test::catalogOf(
        {test::catalogColumn(u"x"_s, u"n"_s, u"number"_s), test::catalogColumn(u"x"_s, u"s"_s, u"string"_s),
         test::catalogColumn(u"x"_s, u"l"_s, u"lstring"_s), test::catalogColumn(u"x"_s, u"d"_s, u"date"_s),
         test::catalogColumn(u"x"_s, u"ts"_s, u"date"_s), test::catalogColumn(u"x"_s, u"b"_s, u"boolean"_s)});
    const QHash<QString, QString> positionOf{{u"number"_s, u"1"_s},
                                             {u"string"_s, u"2"_s},
                                             {u"lstring"_s, u"3"_s},
                                             {u"date"_s, u"4"_s},
                                             {u"boolean"_s, u"6"_s}};

    int checked = 0;
    for (const test::SingleRowCase &c : test::singleRowCases()) {
        if (c.kind != "99"_L1) {
            continue;
        }
        const bool withTime = c.typeClass == "date"_L1 && c.value.contains(u':');
        const QString position = withTime ? u"5"_s : positionOf.value(c.typeClass);
        const QList<ConditionRow> rows{{QString(), u"c"_s, c.op, c.value, QString(), QString(), position}};

        QVERIFY2(!validateConditions(rows, run.fieldCatalog), qPrintable(c.name));
        const QString statement = composeCondition(rows, run).statement;
        QVERIFY2(statement.contains(u" where  "_s), qPrintable(statement));
        const QString complaint = testSql(*db.connection, statement);
        QVERIFY2(complaint.isEmpty(), qPrintable(c.name + u": "_s + statement + u"\n"_s + complaint));
        // The bound-parameter form finds the same rows.
        const ComposedCondition bound = composeParameterized(rows, run);
        QVERIFY2(selectBoundIds(*db.connection, bound) == selectIds(*db.connection, statement), qPrintable(c.name + u": "_s + bound.statement));
        ++checked;
    }
    QVERIFY(m_ui->messages().isEmpty());
    QCOMPARE(checked, test::singleRowCases().size() / 4);
}

void TestConditionDatabases::hostileValuesStayInLiteral_data()
{
    singleRowsAccepted_data();
}

void TestConditionDatabases::hostileValuesStayInLiteral()
{
    QFETCH(QString, backend);
    OPEN_OR_SKIP(
        db, backend,
        (QStringList{u"create table h (id integer, s varchar(20000))"_s, u"insert into h values (0, 'plain')"_s}));
    const QStringList values = hostileValues();
    {
        // Stored through bound parameters, independently of the composer.
        QSqlQuery insert(db.connection->database());
        QVERIFY(insert.prepare(u"insert into h (id, s) values (?, ?)"_s));
        for (int i = 0; i < values.size(); ++i) {
            insert.bindValue(0, i + 1);
            insert.bindValue(1, values.at(i));
            QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));
        }
    }
    QueryRun run;
    run.connection = db.connection;
    run.dbKind = DbKind::Other;
    // As a query run sets them: PostgreSQL's LIKE reads a backslash as its escape character.
    run.escapes.backslashEscapes = usesBackslashEscapes(*db.connection);
    run.escapes.likeBackslashEscapes = usesLikeBackslashEscapes(*db.connection);
    QCOMPARE(run.escapes.likeBackslashEscapes, backend == "postgresql"_L1);
    run.fieldCatalog = test::catalogOf({test::catalogColumn(u"h"_s, u"s"_s, u"string"_s)});
    run.baseSql = u"select h.id from h order by h.id"_s;
    run.moreOperators = true;

    for (int i = 0; i < values.size(); ++i) {
        const QString &value = values.at(i);
        const QString label = u"value %1 \""_s.arg(i + 1) + value.left(40).replace(u'\n', u"\\n"_s) + u'"';
        for (const QString &op : {u"= "_s, u"include "_s, u"in "_s, u"starts with "_s, u"ends with "_s}) {
            const QString cell = op == "in "_L1 ? joinValueList({value}) : value;
            const QList<ConditionRow> rows{{QString(), u"s"_s, op, cell, QString(), QString(), u"1"_s}};
            QVERIFY2(!validateConditions(rows, run), qPrintable(label));
            const QString statement = composeCondition(rows, run).statement;
            QVERIFY2(statement.startsWith(u"select h.id from h where  h.s "_s) &&
                         (statement.endsWith(u"' order by h.id"_s) || statement.endsWith(u"') order by h.id"_s)),
                     qPrintable(label + u": "_s + statement.left(200)));
            const auto result = selectIds(*db.connection, statement);
            if (const QString *complaint = std::get_if<QString>(&result)) {
                QFAIL(qPrintable(label + u": "_s + *complaint));
            }
            const QList<int> ids = std::get<QList<int>>(result);
            const ComposedCondition bound = composeParameterized(rows, run);
            QCOMPARE(bound.parameters.size(), 1);
            QVERIFY2(!QString(bound.statement).remove(likeEscapeClause(run)).contains(value), qPrintable(label));
            QCOMPARE(selectBoundIds(*db.connection, bound), result);
            if (op == "= "_L1 || op == "in "_L1) {
                QCOMPARE(ids, QList<int>{i + 1});
            } else {
                QVERIFY2(ids.contains(i + 1), qPrintable(label));
            }
        }
    }
    const auto all = selectIds(*db.connection, u"select id from h"_s);
    QVERIFY(std::holds_alternative<QList<int>>(all));
    QCOMPARE(std::get<QList<int>>(all).size(), values.size() + 1);
    QVERIFY(m_ui->messages().isEmpty());
}

void TestConditionDatabases::furtherOperatorsFindTheirRows_data()
{
    singleRowsAccepted_data();
}

void TestConditionDatabases::furtherOperatorsFindTheirRows()
{
    QFETCH(QString, backend);
    const bool sqlite = backend == "sqlite"_L1;
    OPEN_OR_SKIP(db, backend,
                 (QStringList{u"create table f (id integer, n numeric(10,2), s varchar(40), d date, ts timestamp)"_s,
                              u"insert into f values (1, 10, 'Smith, John', '2001-01-05', '2001-01-05 00:00:00'),"
                              u" (2, 20.5, 'O''Brien', '2001-01-31', '2001-01-05 12:00:00'),"
                              u" (3, 30, '50%_off', '2001-02-01', '2001-01-05 12:00:01'),"
                              u" (4, -2, 'back\\slash', '2000-12-31', '2001-01-06 00:00:00'),"
                              u" (5, null, null, null, null),"
                              u" (6, 5.5, '50 percent off', '2002-02-02', '2001-01-04 23:59:59'),"
                              u" (7, 11, 'smith', '2001-01-05', '2001-01-05 06:00:00'),"
                              u" (8, 12, '!bang[x]', '2001-01-06', '2001-01-07 00:00:00')"_s}));
    QueryRun run;
    run.connection = db.connection;
    run.dbKind = DbKind::Other;
    run.product = sqlite ? DbProduct::Sqlite : DbProduct::PostgreSql;
    run.escapes.backslashEscapes = usesBackslashEscapes(*db.connection);
    run.escapes.likeBackslashEscapes = usesLikeBackslashEscapes(*db.connection);
    run.moreOperators = true;
    run.baseSql = u"select f.id from f order by f.id"_s;
    run.fieldCatalog = test::catalogOf(
        {test::catalogColumn(u"f"_s, u"n"_s, u"number"_s), test::catalogColumn(u"f"_s, u"s"_s, u"string"_s),
         test::catalogColumn(u"f"_s, u"d"_s, u"date"_s), test::catalogColumn(u"f"_s, u"ts"_s, u"date"_s)});
    const QHash<QString, QString> position{{u"n"_s, u"1"_s}, {u"s"_s, u"2"_s}, {u"d"_s, u"3"_s}, {u"ts"_s, u"4"_s}};
    // LIKE folds ASCII case on SQLite and not on PostgreSQL: the hand-written prefix tests do the same.
    const auto folded = [sqlite](const QString &e) { return sqlite ? u"lower("_s + e + u')' : e; };
    const auto prefix = [&](const QString &v) {
        return folded(u"substr(s, 1, length('"_s + v + u"'))"_s) + u" = "_s + folded(u"'"_s + v + u"'"_s);
    };
    const auto suffix = [&](const QString &v) {
        return u"length(s) >= length('"_s + v + u"') and "_s
               + folded(u"substr(s, length(s) - length('"_s + v + u"') + 1)"_s) + u" = "_s
               + folded(u"'"_s + v + u"'"_s);
    };

    // Column, operator, Value cell, and the same rows written by hand.
    const QList<std::tuple<QString, QString, QString, QString>> cases{
        {u"n"_s, u"between "_s, u"10, 20.5"_s, u"n >= 10 and n <= 20.5"_s},
        {u"n"_s, u"in "_s, u"5.5, 30, -2"_s, u"n = 5.5 or n = 30 or n = -2"_s},
        {u"n"_s, u"not in "_s, u"10, 11"_s, u"n <> 10 and n <> 11"_s},
        {u"s"_s, u"in "_s, u"\"Smith, John\", O'Brien, 50%_off"_s,
         u"s = 'Smith, John' or s = 'O''Brien' or s = '50%_off'"_s},
        {u"s"_s, u"not in "_s, u"smith"_s, u"s <> 'smith'"_s},
        {u"s"_s, u"between "_s, u"O, b"_s, u"s >= 'O' and s <= 'b'"_s},
        {u"s"_s, u"starts with "_s, u"50%"_s, prefix(u"50%"_s)},
        {u"s"_s, u"starts with "_s, u"Smith"_s, prefix(u"Smith"_s)},
        {u"s"_s, u"starts with "_s, u"!bang["_s, prefix(u"!bang["_s)},
        {u"s"_s, u"ends with "_s, u"_off"_s, suffix(u"_off"_s)},
        {u"s"_s, u"ends with "_s, u"\\slash"_s, suffix(u"\\slash"_s)},
        {u"d"_s, u"between "_s, u"2001-01-01, 2001/1/31"_s, u"d >= '2001-01-01' and d <= '2001-01-31'"_s},
        {u"d"_s, u"in "_s, u"2001-01-05, 2002-2-2"_s, u"d = '2001-01-05' or d = '2002-02-02'"_s},
        {u"d"_s, u"not in "_s, u"2001-01-05"_s, u"d <> '2001-01-05'"_s},
        {u"ts"_s, u"between "_s, u"2001-01-05 00:00, 2001-01-05 12:00:00"_s,
         u"ts >= '2001-01-05 00:00:00' and ts <= '2001-01-05 12:00:00'"_s},
        {u"ts"_s, u"in "_s, u"2001-01-05 12:00:01, 2001-01-07"_s,
         u"ts = '2001-01-05 12:00:01' or ts = '2001-01-07 00:00:00'"_s},
    };
    for (const auto &[column, op, value, byHand] : cases) {
        const QString label = column + u' ' + op + value;
        const QList<ConditionRow> rows{{QString(), column, op, value, QString(), QString(), position.value(column)}};
        QVERIFY2(!validateConditions(rows, run), qPrintable(label));
        const auto expected = selectIds(*db.connection, u"select id from f where "_s + byHand + u" order by id"_s);
        if (const QString *complaint = std::get_if<QString>(&expected)) {
            QFAIL(qPrintable(label + u": "_s + *complaint));
        }
        QVERIFY2(!std::get<QList<int>>(expected).isEmpty(), qPrintable(label));
        const QString statement = composeCondition(rows, run).statement;
        QVERIFY2(selectIds(*db.connection, statement) == expected, qPrintable(label + u": "_s + statement));
        const ComposedCondition bound = composeParameterized(rows, run);
        QVERIFY2(selectBoundIds(*db.connection, bound) == expected, qPrintable(label + u": "_s + bound.statement));
    }
    QVERIFY(m_ui->messages().isEmpty());
}

int runConditionDatabaseTests(int argc, char **argv)
{
    TestConditionDatabases test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_conditiondatabases.moc"
