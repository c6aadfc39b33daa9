#include "support/testdatabases.h"
#include "support/testmain.h"

#include "analysis/analysisstate.h"
#include "analysis/databasekind.h"
#include "condition/conditioncomposer.h"
#include "platform/ado/connection.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/userinteraction.h"

using namespace condora;
using namespace Qt::StringLiterals;

// Databases whose string literals read a backslash as an escape character get values with
// doubled backslashes, so that no value can end its literal early there.
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

private:
    QString compose(const QString &typeClass, const QString &op, const QString &value, bool backslashEscapes);
};

void TestBackslashEscapes::init()
{
    resetAnalysisState();
}

void TestBackslashEscapes::dbmsNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("escapes");
    QTest::newRow("MySQL") << u"MySQL"_s << true;
    QTest::newRow("mysql lower case") << u"mysql"_s << true;
    QTest::newRow("MariaDB") << u"MariaDB"_s << true;
    QTest::newRow("MARIADB in a longer name") << u"MARIADB Server 10.11"_s << true;
    QTest::newRow("PostgreSQL") << u"PostgreSQL"_s << false;
    QTest::newRow("SQLite") << u"SQLite"_s << false;
    QTest::newRow("SQL Server") << u"Microsoft SQL Server"_s << false;
    QTest::newRow("Oracle") << u"Oracle"_s << false;
    QTest::newRow("empty") << QString() << false;
}

void TestBackslashEscapes::dbmsNames()
{
    QFETCH(QString, name);
    QFETCH(bool, escapes);
    QCOMPARE(backslashEscapesForDbmsName(name), escapes);
    // The kind stays what it was: MySQL and MariaDB are "other" databases.
    if (escapes) {
        QCOMPARE(dbKindFromDbmsName(name), name.contains(u"server"_s, Qt::CaseInsensitive) ? u"2"_s : u"99"_s);
    }
}

QString TestBackslashEscapes::compose(const QString &typeClass, const QString &op, const QString &value,
                                      bool backslashEscapes)
{
    AnalysisState &state = analysisState();
    state.dbKind = u"99"_s;
    state.backslashEscapes = backslashEscapes;
    ColumnInfo column;
    column.colExpr = u"name"_s;
    column.colName = u"name"_s;
    column.tabAlias = u"t"_s;
    column.typeClass = typeClass;
    state.fieldCatalog = {ColumnInfo(), column};

    FlexGrid grid;
    grid.setFormatString(u"   (|<Column|<Operator|<Value|<)|<Logical|<colIndex"_s);
    grid.setRows(2);
    grid.setTextMatrix(1, 1, u"name"_s);
    grid.setTextMatrix(1, 2, op);
    grid.setTextMatrix(1, 3, value);
    grid.setTextMatrix(1, 6, u"1"_s);
    composeCondition(grid, u"select name from t"_s, nullptr);
    return state.resultSql;
}

void TestBackslashEscapes::composedLiteral_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("escapes");
    QTest::addColumn<QString>("expected");
    const QString head = u"select name from t where  t.name "_s;
    QTest::newRow("breakout attempt, MySQL") << u"= "_s << u"x\\' or 1=1 -- "_s << true
                                             << head + u"= 'x\\\\'' or 1=1 -- '"_s;
    QTest::newRow("breakout attempt, other databases") << u"= "_s << u"x\\' or 1=1 -- "_s << false
                                                       << head + u"= 'x\\'' or 1=1 -- '"_s;
    QTest::newRow("trailing backslash, MySQL") << u"= "_s << u"C:\\"_s << true << head + u"= 'C:\\\\'"_s;
    QTest::newRow("include, MySQL") << u"include "_s << u"a\\b"_s << true << head + u"like '%a\\\\b%'"_s;
    QTest::newRow("no backslash, MySQL") << u"= "_s << u"O'Brien"_s << true << head + u"= 'O''Brien'"_s;
}

void TestBackslashEscapes::composedLiteral()
{
    QFETCH(QString, op);
    QFETCH(QString, value);
    QFETCH(bool, escapes);
    QFETCH(QString, expected);
    RecordingUserInteraction ui;
    QCOMPARE(compose(u"string"_s, op, value, escapes), expected);
    QVERIFY(ui.messages().isEmpty());
}

void TestBackslashEscapes::connectionsWithoutTheRule()
{
    RecordingUserInteraction ui;
    condora::test::SqliteFile file({u"CREATE TABLE t (name VARCHAR(10))"_s});
    auto connection = file.open();
    QVERIFY(!usesBackslashEscapes(*connection));
    ado::Connection closed;
    QVERIFY(!usesBackslashEscapes(closed));
    QVERIFY2(ui.messages().isEmpty(), "the rule itself reports nothing; getDbKind reports an unreadable connection");
}

CONDORA_TEST_MAIN(TestBackslashEscapes)
#include "tst_backslashescapes.moc"
