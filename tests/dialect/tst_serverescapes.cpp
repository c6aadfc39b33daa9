// The backslash rule as the server states it, through the public control and the real query
// dialog: a PostgreSQL database with standard_conforming_strings off reads a backslash in a plain
// literal as an escape character, and a MariaDB session with NO_BACKSLASH_ESCAPES reads it as
// itself in a literal (while its LIKE still reads it as its escape). Hostile values typed with = and include must stay inside their literal
// and find exactly the row that holds them.

#include "../reliability/queryrunner.h"
#include "../reliability/reliabilitysupport.h"

#include "analysis/databasekind.h"
#include "analysis/queryrun.h"
#include "dialog/frmcondora.h"
#include "platform/ado/connection.h"
#include "support/testdatabases.h"
#include "support/testmain.h"

#include <QApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace reliability;

namespace {

const QString Database = u"condora_values_escapes"_s;
const QString BaseSql = u"select t.id, t.body from texts t"_s;
const QString OrderBy = u" order by t.id"_s;
const QString MariaDbName = u"condora_values_mariadb"_s;

/// The hostile values (rows 1 to 4), each next to the decoy a value that left its literal, or
/// lost a backslash, would find instead.
const QList<std::pair<int, QString>> &texts()
{
    static const QList<std::pair<int, QString>> rows = {
        {1, uR"(\' or 1=1 --)"_s},
        {2, uR"(abc\)"_s},
        {3, uR"(x\\' union select)"_s},
        {4, uR"(O'Brien\)"_s},
        {5, u"' or 1=1 --"_s},
        {6, u"abc"_s},
        {7, uR"(x\' union select)"_s},
        {8, u"O'Brien"_s},
    };
    return rows;
}

/// Rows written with a backslash as a plain character: a PostgreSQL session with standard
/// strings, a MariaDB session with NO_BACKSLASH_ESCAPES.
QStringList setupStatements()
{
    QStringList statements{u"CREATE TABLE texts (id INTEGER PRIMARY KEY, body VARCHAR(100))"_s};
    for (const auto &[id, body] : texts()) {
        statements.append(u"INSERT INTO texts (id, body) VALUES (%1, '%2')"_s.arg(id).arg(
            QString(body).replace(u"'"_s, u"''"_s)));
    }
    return statements;
}

QString label(const QString &value)
{
    return QString(value).replace(u"\\"_s, u"<bs>"_s);
}

/// A library connection on a MariaDB session that reads backslashes as themselves.
std::shared_ptr<ado::Connection> plainBackslashSession(const test::MariaDbServer &server)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QODBC"_s, MariaDbName);
    db.setDatabaseName(server.odbcDriverString(Database));
    if (!db.open()) {
        qWarning() << db.lastError().text();
        return nullptr;
    }
    QSqlQuery mode(db);
    if (!mode.exec(u"SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')"_s)) {
        qWarning() << mode.lastError().text();
        return nullptr;
    }
    return ado::Connection::fromDatabase(db);
}

} // namespace

class TestServerEscapes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void typedValues_data();
    void typedValues();

private:
    std::map<QString, std::shared_ptr<ado::Connection>> m_connections;
    std::unique_ptr<RecordingUi> m_ui;
    std::unique_ptr<QObject> m_scope;
};

void TestServerEscapes::initTestCase()
{
    QApplication::setEffectEnabled(Qt::UI_AnimateTooltip, false);
    if (const auto pg = test::pgServer()) {
        pg->createDatabase(Database);
        pg->exec(Database, setupStatements());
        // Every later session of the database reads backslashes in plain literals as escapes.
        pg->exec(Database, {u"ALTER DATABASE %1 SET standard_conforming_strings = off"_s.arg(Database)});
        m_connections[u"postgres"_s] = pg->open(Database);
        auto odbc = std::make_shared<ado::Connection>();
        odbc->Open(pg->odbcConnectionString(Database));
        m_connections[u"postgres-odbc"_s] = odbc;
    }
    if (const auto maria = test::mariaDbServer()) {
        maria->createDatabase(Database);
        maria->exec(Database, QStringList{u"SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')"_s}
                                  + setupStatements());
        if (auto connection = plainBackslashSession(*maria)) {
            m_connections[u"mariadb"_s] = connection;
        }
    }
}

void TestServerEscapes::cleanupTestCase()
{
    m_connections.clear();
    QSqlDatabase::database(MariaDbName, false).close();
    QSqlDatabase::removeDatabase(MariaDbName);
}

void TestServerEscapes::init()
{
    beginTestRun(m_ui, m_scope);
}

void TestServerEscapes::cleanup()
{
    const QStringList open = endTestRun(m_ui, m_scope);
    QVERIFY2(open.isEmpty(), qPrintable(open.join(u", "_s)));
}

void TestServerEscapes::typedValues_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("id");
    // The literal's inside: how the server must receive the value.
    QTest::addColumn<QString>("literal");

    const auto both = [](const QString &value) {
        return QString(value).replace(u"\\"_s, u"\\\\"_s).replace(u"'"_s, u"''"_s);
    };
    const auto apostrophes = [](const QString &value) { return QString(value).replace(u"'"_s, u"''"_s); };
    for (int i = 0; i < 4; ++i) {
        const auto &[id, value] = texts().at(i);
        for (const char *backend : {"postgres", "postgres-odbc", "mariadb"}) {
            const bool mariadb = qstrcmp(backend, "mariadb") == 0;
            QTest::addRow("%s: = %s", backend, qPrintable(label(value)))
                << QString::fromLatin1(backend) << u"= "_s << value << QString::number(id)
                << (mariadb ? apostrophes(value) : both(value));
            // LIKE reads a backslash as its escape on both: doubled for LIKE, then doubled again
            // for a PostgreSQL literal.
            const QString pattern = QString(value).replace(u"\\"_s, u"\\\\"_s);
            QTest::addRow("%s: include %s", backend, qPrintable(label(value)))
                << QString::fromLatin1(backend) << u"include "_s << value << QString::number(id)
                << u"%"_s + (mariadb ? apostrophes(pattern) : both(pattern)) + u"%"_s;
        }
    }
}

void TestServerEscapes::typedValues()
{
    QFETCH(QString, backend);
    QFETCH(QString, op);
    QFETCH(QString, value);
    QFETCH(QString, id);
    QFETCH(QString, literal);
    const auto found = m_connections.find(backend);
    if (found == m_connections.end()) {
        if ((backend == u"mariadb" && test::mariaDbRequired()) || (backend != u"mariadb" && test::pgRequired())) {
            QFAIL("test server required but not configured");
        }
        QSKIP("test server not configured");
    }

    ControlRun run;
    run.connection = found->second;
    run.sqlInput = BaseSql + OrderBy;
    run.result = true;
    bool entered = false;
    EscapeRules escapes;
    run.user = [&](QWidget *dialog) {
        escapes = static_cast<frmCondora *>(dialog)->run().escapes;
        entered = pickColumnAndOperator(dialog, 1, u"body"_s, op);
        typeValue(dialog, 1, value);
        okOrCancel(dialog);
    };
    const RunOutcome outcome = run.run(*m_ui);
    QVERIFY(entered);
    QVERIFY(sameTexts(outcome.messages, {}));
    QVERIFY(outcome.gotRecordset);
    // The rules the server stated, not those of its name.
    QCOMPARE(escapes, (backend == u"mariadb" ? EscapeRules{false, true} : EscapeRules{true, true}));

    const QString like = QString(op.trimmed()).replace(u"include"_s, u"like"_s);
    const QString expected = BaseSql + u" where  t.body "_s + like + u" '"_s + literal + u"'"_s + OrderBy;
    QVERIFY(sameTexts({outcome.sql}, {expected}));
    QCOMPARE(outcome.rowIds, QStringList{id});
}

CONDORA_TEST_MAIN(TestServerEscapes)
#include "tst_serverescapes.moc"
