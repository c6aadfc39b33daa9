#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/runtimeerror.h"

#include "support/testdatabases.h"
#include "support/testmain.h"

using namespace condora;
using namespace condora::ado;

class TestAdo : public QObject
{
    Q_OBJECT

private slots:
    void sqliteNoRowsTypes_data();
    void sqliteNoRowsTypes();
};

void TestAdo::sqliteNoRowsTypes_data()
{
    QTest::addColumn<QString>("declared");
    QTest::addColumn<int>("type");
    QTest::newRow("INTEGER") << "INTEGER" << 3;
    QTest::newRow("VARCHAR(40)") << "VARCHAR(40)" << 202;
    QTest::newRow("MEMO") << "MEMO" << 203;
    QTest::newRow("DATE") << "DATE" << 133;
}

void TestAdo::sqliteNoRowsTypes()
{
    QFETCH(QString, declared);
    QFETCH(int, type);
    test::SqliteFile file({QStringLiteral("CREATE TABLE t (a %1)").arg(declared)});
    auto connection = file.open();
    Recordset rs;
    rs.Open(QStringLiteral("select a from t where 1=0"), connection);
    QCOMPARE(rs.Fields().Count(), 1);
    QCOMPARE(rs.Fields().Item(0).Name(), QStringLiteral("a"));
    QCOMPARE(rs.Fields().Item(0).Type(), type);
    QVERIFY(rs.Eof());
}

CONDORA_TEST_MAIN(TestAdo)
#include "tst_ado.moc"
