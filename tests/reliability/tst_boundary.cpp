// The base statement is a boundary: whatever rows of condition a user, a condition document or a
// host hands over, no statement the library composes returns a row that the base statement does
// not return. The host's access rule (tenant = 2, tenant <> 1, ...) is the base statement's WHERE
// clause.
//
// The conditions come from a seeded generator that mixes rows a user can build with rows only a
// document or a host can hand over: brackets that close before they open or never close, logical
// words and operators outside their lists, and values that try to leave their literal. For every
// generated condition, on SQLite and on the PostgreSQL test server:
// - any statement the composer hands back (text and bound form) returns only rows of the base
//   statement (compared as whole rows);
// - when the validator accepts the rows, the composer hands back a statement, and its rows are
//   exactly those of the engine filtering the base statement as a derived table with the test's
//   own reading of the condition.
// The same rows typed in the real dialog are the right-rows suite's "unpaired brackets" cases.

#include "queryrunner.h"
#include "reliabilitysupport.h"

#include "analysis/databasekind.h"
#include "analysis/queryrun.h"
#include "analysis/statementsplitter.h"
#include "condition/conditioncomposer.h"
#include "condition/conditionoperator.h"
#include "condition/conditionvalidator.h"
#include "platform/ado/connection.h"
#include "support/testmain.h"

#include <QRandomGenerator>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace reliability;

Q_DECLARE_METATYPE(reliability::Engine)

namespace {

QStringList schema()
{
    QStringList statements{u"CREATE TABLE acct (id INTEGER PRIMARY KEY, tenant INTEGER, name VARCHAR(40), "
                           "amount INTEGER, note VARCHAR(40))"_s};
    const QStringList names{u"Ann"_s, u"Bob"_s, u"O'Neil"_s, u"Eve"_s, u"x) or (1=1"_s, u"Zoe"_s, u"Al"_s};
    for (int id = 1; id <= 36; ++id) {
        statements.append(u"INSERT INTO acct VALUES (%1, %2, '%3', %4, %5)"_s.arg(id)
                              .arg(id % 4 + 1)
                              .arg(QString(names.at(id % names.size())).replace(u"'"_s, u"''"_s))
                              .arg((id * 37) % 50 * 10)
                              .arg(id % 3 == 0 ? u"NULL"_s : u"'n%1'"_s.arg(id % 5)));
    }
    return statements;
}

/// A base statement with an access rule, and the statement whose rows bound it (the base without
/// a row cap: a cap counts the rows the condition keeps).
struct Base
{
    const char *name;
    QString sql;
    QString bound = {};
};

QList<Base> bases()
{
    return {
        {"WHERE rule", u"select a.id, a.name, a.amount, a.note from acct a where a.tenant = 2"_s},
        {"WHERE rule with OR and ORDER BY",
         u"select a.id, a.name, a.amount from acct a where a.tenant = 2 or a.tenant = 3 order by a.amount, a.id"_s},
        {"no WHERE", u"select a.id, a.name, a.amount from acct a"_s},
        {"window over the rule",
         u"select a.id, a.name, a.amount, rank() over (order by a.amount desc, a.id) as r from acct a where a.tenant <> 1"_s},
        {"aggregate columns",
         u"select a.tenant as id, count(*) as n, sum(a.amount) as amount from acct a where a.tenant > 1 group by a.tenant"_s},
        {"row cap", u"select a.id, a.name, a.amount from acct a where a.tenant = 3 order by a.id limit 4"_s,
         u"select a.id, a.name, a.amount from acct a where a.tenant = 3"_s},
    };
}

struct Rows
{
    QStringList rows;
    QString error;
};

Rows fetch(const QSqlDatabase &db, const QString &sql, const QVariantList &values = {})
{
    Rows out;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql)) {
        out.error = query.lastError().text();
        return out;
    }
    for (const QVariant &value : values) {
        query.addBindValue(value);
    }
    if (!query.exec()) {
        out.error = query.lastError().text();
        return out;
    }
    while (query.next()) {
        QStringList values;
        for (int c = 0; c < query.record().count(); ++c) {
            values.append(query.value(c).isNull() ? u"NULL"_s : query.value(c).toString());
        }
        out.rows.append(values.join(u'|'));
    }
    out.rows.sort(); // compared as sets of rows
    return out;
}

/// The test's own reading of one row of a condition over the derived table's column.
QString oracleTest(const ConditionRow &row, const ColumnInfo &column)
{
    const QString q = u"q.\""_s + column.colName + u'"';
    const QString op = row.op.trimmed();
    const QString literal = column.typeClass == TypeClass::Number
                                ? row.value.trimmed()
                                : u"'"_s + QString(row.value).replace(u"'"_s, u"''"_s) + u"'"_s;
    if (op == u"null"_s) {
        return q + u" is null"_s;
    }
    if (op == u"not null"_s) {
        return q + u" is not null"_s;
    }
    if (op == u"include"_s || op == u"not include"_s) {
        return q + (op == u"include"_s ? u" like '%"_s : u" not like '%"_s) + QString(row.value).replace(u"'"_s, u"''"_s)
               + u"%'"_s;
    }
    return q + u' ' + op + u' ' + literal;
}

/// Generates condition rows: mostly what the grid's lists offer, sometimes what only a document
/// or a host could hand over.
class ConditionGenerator
{
public:
    ConditionGenerator(quint32 seed, const FieldCatalog &catalog)
        : m_random(seed)
        , m_catalog(catalog)
    {
        for (int i = 1; i < catalog.size(); ++i) {
            if (catalog.at(i).usable && !operatorsFor(catalog.at(i).typeClass).isEmpty()) {
                m_columns.append(i);
            }
        }
    }

    ConditionRows next()
    {
        return m_random.bounded(2) == 0 ? clean() : hostile();
    }

private:
    ConditionRow anyRow()
    {
        ConditionRow row;
        const int position = m_columns.at(int(m_random.bounded(m_columns.size())));
        const ColumnInfo &column = m_catalog.at(position);
        row.column = column.colName;
        row.colIndex = QString::number(position);
        const QList<ConditionOperator> ops = operatorsFor(column.typeClass);
        row.op = operatorText(ops.at(int(m_random.bounded(ops.size()))));
        row.value = column.typeClass == TypeClass::Number ? QString::number(m_random.bounded(60) * 10)
                                                          : pick({u"Ann"_s, u"O'Neil"_s, u"x) or (1=1"_s, u"n1"_s,
                                                                  u"' or ''='"_s, u"e"_s});
        return row;
    }

    /// Rows the grid's lists could give: brackets that pair, And/Or between rows.
    ConditionRows clean()
    {
        ConditionRows rows;
        const int count = 1 + int(m_random.bounded(4));
        for (int r = 0; r < count; ++r) {
            ConditionRow row = anyRow();
            row.logical = r + 1 < count ? pick({u" And "_s, u" Or"_s}) : QString();
            rows.append(row);
        }
        const int first = int(m_random.bounded(count));
        const int last = first + int(m_random.bounded(count - first));
        if (m_random.bounded(3) > 0) {
            rows[first].open = u"("_s;
            rows[last].close = u")"_s;
        }
        return rows;
    }

    /// Rows only a document or a host could hand over.
    ConditionRows hostile()
    {
        ConditionRows rows;
        const int count = 1 + int(m_random.bounded(4));
        for (int r = 0; r < count; ++r) {
            ConditionRow row = anyRow();
            row.open = pick({u""_s, u""_s, u"("_s, u"("_s, u")"_s, u"(("_s, u" ( "_s});
            if (m_random.bounded(5) == 0) {
                row.op = pick({u"include "_s, u"= 1 or 1=1 or "_s, u"true "_s});
            }
            if (m_random.bounded(3) == 0) {
                row.value = pick({u"1 ) or ( 1=1"_s, u"0) or (1=1) --"_s, u"x'--"_s, u"1; select 1"_s,
                                  u"1 or 1=1"_s});
            }
            row.close = pick({u""_s, u""_s, u")"_s, u")"_s, u"("_s, u"))"_s});
            row.logical = pick({u" And "_s, u" Or"_s, u" And "_s, u" Or"_s, u""_s, u"Or 1=1 Or"_s});
            rows.append(row);
        }
        return rows;
    }

private:
    QString pick(const QStringList &from) { return from.at(int(m_random.bounded(from.size()))); }

    QRandomGenerator m_random;
    const FieldCatalog &m_catalog;
    QList<int> m_columns;
};

} // namespace

class TestBoundary : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RecordingUi> m_ui;
    std::unique_ptr<QObject> m_scope;
    std::unique_ptr<test::SqliteFile> m_sqlite;

    std::shared_ptr<ado::Connection> open(Engine engine)
    {
        if (engine == Engine::Sqlite) {
            if (!m_sqlite) {
                m_sqlite = std::make_unique<test::SqliteFile>(schema());
            }
            return m_sqlite->open();
        }
        const auto server = test::pgServer();
        if (!server) {
            return nullptr;
        }
        static bool created = false;
        if (!created) {
            server->createDatabase(u"condora_boundary"_s);
            server->exec(u"condora_boundary"_s, schema());
            created = true;
        }
        return server->open(u"condora_boundary"_s);
    }

private Q_SLOTS:
    void init() { beginTestRun(m_ui, m_scope); }
    void cleanup() { QVERIFY(endTestRun(m_ui, m_scope).isEmpty()); }

    void generatedConditionsStayInsideTheBase_data()
    {
        QTest::addColumn<Engine>("engine");
        QTest::addColumn<int>("base");
        for (const Engine engine : {Engine::Sqlite, Engine::Postgres}) {
            for (int b = 0; b < bases().size(); ++b) {
                QTest::addRow("%s: %s", qPrintable(engineName(engine)), bases().at(b).name) << engine << b;
            }
        }
    }

    void generatedConditionsStayInsideTheBase()
    {
        QFETCH(Engine, engine);
        QFETCH(int, base);
        if (engine == Engine::Postgres) {
            CONDORA_NEED_PG(server);
            Q_UNUSED(server);
        }
        const std::shared_ptr<ado::Connection> connection = open(engine);
        QVERIFY(connection);
        const Base b = bases().at(base);

        QueryRun run;
        run.connection = connection;
        run.dbKind = getDbKind(*connection);
        run.product = getDbProduct(*connection);
        run.escapes = escapeRulesOf(*connection);
        run.baseSql = b.sql;
        TableList tables;
        QVERIFY(splitSql(*connection, b.sql, run.fieldCatalog, tables));

        const QSqlDatabase db = connection->database();
        const Rows bound = fetch(db, b.bound.isEmpty() ? b.sql : b.bound);
        QVERIFY2(bound.error.isEmpty(), qPrintable(bound.error));
        const QSet<QString> allowed(bound.rows.cbegin(), bound.rows.cend());
        const bool capped = !b.bound.isEmpty();

        ConditionGenerator generator(20261209u + quint32(base), run.fieldCatalog);
        int accepted = 0;
        int refused = 0;
        for (int i = 0; i < 400; ++i) {
            const ConditionRows rows = generator.next();
            const auto problem = validateConditions(rows, run);
            const ComposedCondition composed = composeCondition(rows, run);
            const ComposedCondition bound = composeParameterized(rows, run);
            const QString where = u"case %1: %2"_s.arg(i).arg(composed.condition);
            QCOMPARE(composed.statement.isEmpty(), !composed.refusal.isEmpty());

            // Whatever the composer hands back (text and bound form) stays inside the base statement.
            QList<Rows> results;
            for (const auto &[sql, values] : {std::pair{composed.statement, QVariantList{}},
                                              std::pair{bound.statement, bound.parameters}}) {
                if (sql.isEmpty()) {
                    continue;
                }
                results.append(fetch(db, sql, values));
                for (const QString &row : results.last().rows) {
                    QVERIFY2(allowed.contains(row),
                             qPrintable(where + u"\nrow outside the base: "_s + row + u"\n"_s + sql));
                }
            }
            if (problem) {
                ++refused;
                continue;
            }
            // Accepted rows compose, and select what the engine selects on the base's result.
            ++accepted;
            QVERIFY2(results.size() == 2, qPrintable(where + u"\n"_s + composed.refusal));
            QString oracle;
            for (int r = 0; r < rows.size(); ++r) {
                const ConditionRow &row = rows.at(r);
                oracle += row.open.trimmed() + oracleTest(row, run.fieldCatalog.at(row.colIndex.toInt()))
                          + row.close.trimmed() + (r + 1 < rows.size() ? u' ' + row.logical.trimmed() + u' ' : QString());
            }
            const Rows expected = fetch(db, u"select * from (\n"_s + b.sql + u"\n) q where "_s + oracle);
            QVERIFY2(expected.error.isEmpty(), qPrintable(where + u"\n"_s + expected.error));
            for (const Rows &got : results) {
                QVERIFY2(got.error.isEmpty(), qPrintable(where + u"\n"_s + got.error + u"\n"_s + composed.statement));
                // A cap counts the filtered rows: at most its 4 of them.
                QVERIFY2(capped ? got.rows.size() <= 4 : sameTexts(got.rows, expected.rows),
                         qPrintable(where + u"\n"_s + composed.statement));
            }
        }
        // The generator reaches both sides of the validator.
        QVERIFY2(accepted >= 40 && refused >= 100, qPrintable(u"accepted %1, refused %2"_s.arg(accepted).arg(refused)));
    }
};

CONDORA_TEST_MAIN(TestBoundary)
#include "tst_boundary.moc"
