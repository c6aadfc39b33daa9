// "include" and "not include" with backslashes in the typed value, through the public control
// and the real query dialog: PostgreSQL's LIKE reads a backslash as its escape character, so the
// pattern must carry it doubled to find the rows that hold it; SQLite's LIKE has no escape
// character and takes the value as typed.

#include "../reliability/queryrunner.h"
#include "../reliability/reliabilitysupport.h"

#include "../dialog/dialogdriver.h"

#include "analysis/databasekind.h"
#include "platform/dialogstyle.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"
#include "support/testdatabases.h"
#include "support/testmain.h"

#include <QApplication>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace reliability;

namespace {

const QString PgDatabase = u"condora_dialect_like"_s;
const QString BaseSql = u"select t.id, t.body from texts t"_s;
const QString OrderBy = u" order by t.id"_s;

/// Each value with a backslash next to the decoys a wrong reading of it would find.
const QList<std::pair<int, QString>> &texts()
{
    static const QList<std::pair<int, QString>> rows = {
        {1, uR"(abc\)"_s},
        {2, u"abc"_s},
        {3, uR"(abc\\)"_s},
        {4, uR"(\' or 1=1 -- )"_s},
        {5, u"' or 1=1 -- "_s},
        {6, uR"(a\b)"_s},
        {7, u"ab"_s},
        {8, uR"(a\\b)"_s},
        {9, u"abc%"_s},
        {10, u"100%_off"_s},
        {11, u"100 percent off"_s},
        {12, u"100off"_s},
    };
    return rows;
}

QStringList idsExcept(const QStringList &excluded)
{
    QStringList ids;
    for (const auto &row : texts()) {
        const QString id = QString::number(row.first);
        if (!excluded.contains(id)) {
            ids.append(id);
        }
    }
    return ids;
}

QStringList setupStatements()
{
    QStringList statements{u"CREATE TABLE texts (id INTEGER PRIMARY KEY, body VARCHAR(100))"_s};
    for (const auto &[id, body] : texts()) {
        // Both databases read a backslash in a plain literal as itself.
        statements.append(u"INSERT INTO texts (id, body) VALUES (%1, '%2')"_s.arg(id).arg(
            QString(body).replace(u"'"_s, u"''"_s)));
    }
    return statements;
}

QString label(const QString &value)
{
    return QString(value).replace(u"\\"_s, u"<bs>"_s);
}

} // namespace

class TestIncludeBackslash : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void storedTexts_data();
    void storedTexts();
    void typedValues_data();
    void typedValues();

private:
    void addBackendRows();
    /// The connection of the current data row's backend; skips when its server is missing.
    std::shared_ptr<ado::Connection> connection(const QString &backend);

    std::unique_ptr<test::SqliteFile> m_sqlite;
    std::map<QString, std::shared_ptr<ado::Connection>> m_connections;
    std::unique_ptr<RecordingUi> m_ui;
    std::unique_ptr<QObject> m_scope;
};

void TestIncludeBackslash::initTestCase()
{
    QApplication::setEffectEnabled(Qt::UI_AnimateTooltip, false);
    // The library installs its dialog when it is loaded; linked statically, the test does it.

    m_sqlite = std::make_unique<test::SqliteFile>(setupStatements());
    m_connections[u"sqlite"_s] = m_sqlite->open();
    if (const auto pg = test::pgServer()) {
        pg->createDatabase(PgDatabase);
        pg->exec(PgDatabase, setupStatements());
        m_connections[u"postgres"_s] = pg->open(PgDatabase);
        auto odbc = std::make_shared<ado::Connection>();
        odbc->Open(pg->odbcConnectionString(PgDatabase));
        m_connections[u"postgres-odbc"_s] = odbc;
    }
}

void TestIncludeBackslash::cleanupTestCase()
{
    m_connections.clear();
    m_sqlite.reset();
}

void TestIncludeBackslash::init()
{
    beginTestRun(m_ui, m_scope);
}

void TestIncludeBackslash::cleanup()
{
    const QStringList open = endTestRun(m_ui, m_scope);
    QVERIFY2(open.isEmpty(), qPrintable(open.join(u", "_s)));
}

void TestIncludeBackslash::addBackendRows()
{
    QTest::addColumn<QString>("backend");
}

std::shared_ptr<ado::Connection> TestIncludeBackslash::connection(const QString &backend)
{
    const auto found = m_connections.find(backend);
    if (found == m_connections.end()) {
        if (test::pgRequired()) {
            QTest::qFail("PostgreSQL test server required but not configured", __FILE__, __LINE__);
        } else {
            QTest::qSkip("PostgreSQL test server not configured (set CONDORA_TEST_PG_*)", __FILE__, __LINE__);
        }
        return nullptr;
    }
    return found->second;
}

void TestIncludeBackslash::storedTexts_data()
{
    addBackendRows();
    QTest::addColumn<bool>("likeEscapes");
    QTest::newRow("sqlite") << u"sqlite"_s << false;
    QTest::newRow("postgres") << u"postgres"_s << true;
    QTest::newRow("postgres-odbc") << u"postgres-odbc"_s << true;
}

void TestIncludeBackslash::storedTexts()
{
    QFETCH(QString, backend);
    QFETCH(bool, likeEscapes);
    const auto conn = connection(backend);
    if (!conn) {
        return;
    }
    // The rows hold the texts exactly, so that the rows a condition finds say what it matched.
    const std::unique_ptr<ado::Recordset> rs = conn->Execute(u"select id, body from texts order by id"_s);
    QList<std::pair<int, QString>> stored;
    while (!rs->Eof()) {
        stored.append({rs->Fields().Item(0).Value().toInt(), rs->Fields().Item(1).Value().toString()});
        rs->MoveNext();
    }
    QCOMPARE(stored, texts());
    QCOMPARE(usesLikeBackslashEscapes(*conn), likeEscapes);
    QVERIFY(!usesBackslashEscapes(*conn));
}

void TestIncludeBackslash::typedValues_data()
{
    addBackendRows();
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("ids");

    for (const char *backend : {"sqlite", "postgres", "postgres-odbc"}) {
        const auto row = [backend](const char *op, const QString &value) -> QTestData & {
            return QTest::addRow("%s: %s %s", backend, op, qPrintable(label(value)));
        };
        const QString name = QString::fromLatin1(backend);
        row("include", uR"(a\b)"_s) << name << u"include "_s << uR"(a\b)"_s << QStringList{u"6"_s};
        row("include", uR"(abc\)"_s) << name << u"include "_s << uR"(abc\)"_s << QStringList{u"1"_s, u"3"_s};
        row("include", uR"(\' or 1=1 -- )"_s)
            << name << u"include "_s << uR"(\' or 1=1 -- )"_s << QStringList{u"4"_s};
        row("include", uR"(\\)"_s) << name << u"include "_s << uR"(\\)"_s << QStringList{u"3"_s, u"8"_s};
        row("not include", uR"(a\b)"_s) << name << u"not include "_s << uR"(a\b)"_s << idsExcept({u"6"_s});
        row("not include", uR"(\)"_s) << name << u"not include "_s << uR"(\)"_s
                                      << idsExcept({u"1"_s, u"3"_s, u"4"_s, u"6"_s, u"8"_s});
        // The user's "%" and "_" stay wildcards.
        row("include", u"100%_off"_s) << name << u"include "_s << u"100%_off"_s
                                      << QStringList{u"10"_s, u"11"_s};
        row("include", u"abc%"_s) << name << u"include "_s << u"abc%"_s << QStringList{u"1"_s, u"2"_s, u"3"_s, u"9"_s};
    }
}

void TestIncludeBackslash::typedValues()
{
    QFETCH(QString, backend);
    QFETCH(QString, op);
    QFETCH(QString, value);
    QFETCH(QStringList, ids);
    const auto conn = connection(backend);
    if (!conn) {
        return;
    }

    ControlRun run;
    run.connection = conn;
    run.sqlInput = BaseSql + OrderBy;
    run.result = true;
    bool entered = false;
    QString typed;
    run.user = [&](QWidget *dialog) {
        entered = pickColumnAndOperator(dialog, 1, u"body"_s, op);
        typeValue(dialog, 1, value);
        typed = dialogtest::find<FlexGrid>(dialog, "MFGQuery")->TextMatrix(1, 3);
        okOrCancel(dialog);
    };
    const RunOutcome outcome = run.run(*m_ui);
    QVERIFY(entered);
    QCOMPARE(typed, value);
    QVERIFY(sameTexts(outcome.messages, {}));
    QVERIFY(outcome.gotRecordset);

    // The final statement, whole: the pattern carries each backslash doubled where LIKE reads
    // it as an escape, and the literal doubles apostrophes.
    const bool likeEscapes = backend != u"sqlite";
    const QString pattern = likeEscapes ? QString(value).replace(u"\\"_s, u"\\\\"_s) : value;
    const QString like = QString(op.trimmed()).replace(u"include"_s, u"like"_s);
    const QString expected = BaseSql + u" where  t.body "_s + like + u" '%"_s
                             + QString(pattern).replace(u"'"_s, u"''"_s) + u"%'"_s + OrderBy;
    QVERIFY(sameTexts({outcome.sql}, {expected}));
    QCOMPARE(outcome.rowIds, ids);
}

CONDORA_TEST_MAIN(TestIncludeBackslash)
#include "tst_includebackslash.moc"
