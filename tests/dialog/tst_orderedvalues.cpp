// The value picker's list read in order from an index: whichever way the picker reads it, the
// complete list holds exactly the values the engine's own SELECT DISTINCT gives.

#include "dialogdriver.h"

#include "analysis/databasekind.h"
#include "analysis/queryrun.h"
#include "condition/valuerules.h"
#include "dialog/frmgetvalue.h"
#include "dialog/orderedvalues.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/userinteraction.h"
#include "support/testdatabases.h"
#include "support/testmain.h"

#include <QCheckBox>
#include <QLabel>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace dialogtest;

namespace {

/// 6000 rows; n takes 5000 values (more than the list grows by at a time), every column some
/// NULLs; every column but u and s has an index that leads with it.
QStringList schema(bool postgres)
{
    const QString rows = postgres ? u"generate_series(1, 6000) x"_s
                                  : u"(with recursive c(x) as (select 1 union all select x + 1 from c where x < 6000) "
                                    u"select x from c)"_s;
    const QString date = postgres ? u"date '2020-01-01' + x % 400"_s
                                  : u"date('2020-01-01', '+' || (x % 400) || ' days')"_s;
    const QString stamp = postgres ? u", case when x % 61 = 0 then null else timestamp '2020-01-01 10:00' + "
                                     u"(x % 250) * interval '1 minute 0.25 second' end"_s
                                   : QString();
    QStringList statements{
        u"create table big (w varchar(40), n integer, d date, f real, u integer, s varchar(10)%1)"_s.arg(postgres ? u", ts timestamp"_s
                                                                                                  : QString()),
        u"insert into big select case when x % 97 = 0 then null when x % 7 = 0 then 'Ä' || (x % 13) "
        u"else 'w' || (x % 1500) end, case when x % 50 = 0 then null else x % 5000 end, "
        u"case when x % 89 = 0 then null else %1 end, (x % 300) * 0.25, x % 37, 'S' || (x % 30)%2 from %3"_s.arg(date, stamp, rows),
        u"create index big_w on big (w)"_s,
        u"create index big_n on big (n, u)"_s,
        u"create index big_d on big (d desc)"_s,
        u"create index big_f on big (f)"_s,
        u"create index big_partial_u on big (u) where u > 3"_s,
        // An order the walk's comparisons do not follow.
        postgres ? u"create index big_s on big (s text_pattern_ops)"_s : u"create index big_s on big (s collate nocase)"_s,
    };
    if (postgres) {
        statements.append(u"create index big_ts on big (ts)"_s);
        statements.append(u"analyze big"_s);
    }
    return statements;
}

QStringList readColumn(ado::Connection &connection, const QString &sql)
{
    ado::Recordset rows;
    rows.Open(sql, connection);
    QStringList values;
    for (; !rows.Eof(); rows.MoveNext()) {
        const QVariant v = rows.Fields().Item(0).Value();
        values.append(v.isNull() ? frmGetValue::nullEntry() : v.toString());
    }
    return values;
}

QStringList listed(FlexGrid *grid)
{
    grid->fetchAll();
    QStringList values;
    for (int row = 1; row < grid->Rows(); ++row) {
        values.append(grid->isNullCell(row, 0) ? frmGetValue::nullEntry() : grid->TextMatrix(row, 0));
    }
    return values;
}

QStringList sorted(QStringList values)
{
    values.sort();
    return values;
}

struct Column
{
    const char *name;
    TypeClass type;
    int typeCode;
};

} // namespace

class TestOrderedValues : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsWhatTheEngineLists_data();
    void listsWhatTheEngineLists();
    void plainTableColumns_data();
    void plainTableColumns();
};

void TestOrderedValues::listsWhatTheEngineLists_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("narrow");
    QTest::addColumn<bool>("ordered"); // the list is read from the index
    const QString orFilter = u" where n > 2500 or w is null or w like 'Ä%'"_s;
    for (const QString &backend : {u"sqlite"_s, u"postgresql"_s}) {
        const QStringList columns = backend == u"postgresql" ? QStringList{u"w"_s, u"n"_s, u"d"_s, u"f"_s, u"ts"_s}
                                                             : QStringList{u"w"_s, u"n"_s, u"d"_s, u"f"_s};
        for (const QString &column : columns) {
            const QByteArray b = backend.toUtf8(), c = column.toUtf8();
            QTest::addRow("%s %s", b.data(), c.data()) << backend << column << QString() << false << true;
            QTest::addRow("%s %s, host's filter", b.data(), c.data()) << backend << column << orFilter << false << true;
            QTest::addRow("%s %s, narrowed", b.data(), c.data()) << backend << column << orFilter << true << false;
        }
        const QByteArray b = backend.toUtf8();
        // No index leads with u (the partial one does not count): today's statement.
        QTest::addRow("%s u, no index", b.data()) << backend << u"u"_s << QString() << false << false;
        QTest::addRow("%s s, index in another order", b.data()) << backend << u"s"_s << QString() << false << false;
        // A filter the walk cannot take as a condition of its own: today's statement.
        QTest::addRow("%s w, filter with a grouping", b.data())
            << backend << u"w"_s << u" where 1 = 1 group by w"_s << false << false;
    }
}

void TestOrderedValues::listsWhatTheEngineLists()
{
    QFETCH(QString, backend);
    QFETCH(QString, column);
    QFETCH(QString, filter);
    QFETCH(bool, narrow);
    QFETCH(bool, ordered);
    RecordingUserInteraction ui;
    frmGetValue::resetSession();
    std::unique_ptr<test::SqliteFile> file;
    QueryRun run;
    if (backend == u"postgresql") {
        CONDORA_NEED_PG(pg);
        pg.createDatabase(u"condora_orderedvalues"_s);
        pg.exec(u"condora_orderedvalues"_s, schema(true));
        run.connection = pg.open(u"condora_orderedvalues"_s);
        run.product = DbProduct::PostgreSql;
    } else {
        file = std::make_unique<test::SqliteFile>(schema(false));
        run.connection = file->open();
        run.product = DbProduct::Sqlite;
    }
    run.savedCursorLocation = run.connection->CursorLocation();
    run.baseSql = u"select w, n, d, f, u from big"_s;
    run.dbKind = DbKind::Other;
    run.escapes = escapeRulesOf(*run.connection);
    run.fastValueLists = true;
    run.fieldCatalog = {ColumnInfo()};
    int position = -1;
    for (const Column &c : {Column{"w", TypeClass::String, ado::adVarWChar}, Column{"n", TypeClass::Number, ado::adInteger},
                            Column{"d", TypeClass::Date, ado::adDBDate}, Column{"f", TypeClass::Number, ado::adSingle},
                            Column{"u", TypeClass::Number, ado::adInteger}, Column{"s", TypeClass::String, ado::adVarWChar},
                            Column{"ts", TypeClass::Date, ado::adDBTimeStamp}}) {
        ColumnInfo info;
        info.colExpr = info.colName = QString::fromLatin1(c.name);
        info.tabName = u"big"_s;
        info.typeClass = c.type;
        info.typeCode = c.typeCode;
        info.filterClause = filter;
        run.fieldCatalog.append(info);
        if (info.colName == column) {
            position = int(run.fieldCatalog.size()) - 1;
        }
    }
    // The oracle: the engine's own distinct values (the server's text of a timestamp), within
    // the filter, and those the narrowing statement's rows hold.
    const QString operand = column == u"ts" ? u"cast(ts as text)"_s : column;
    QStringList expected = readColumn(*run.connection, u"select distinct %1 from big%2"_s.arg(operand, filter));
    const QString narrowing = u"select w, n, d, f, u, s%1 from big where u < 9"_s.arg(column == u"ts" ? u", ts"_s : u""_s);
    if (narrow) {
        const QStringList held = readColumn(*run.connection, u"select %1 from (%2) n"_s.arg(operand, narrowing));
        expected.removeIf([&held](const QString &value) { return !held.contains(value); });
    }
    QVERIFY(expected.size() > 5);

    frmGetValue picker(run);
    picker.setHeadTitle(column);
    picker.setP_colIndex(QString::number(position));
    if (narrow) {
        picker.setNarrowing(narrowing, quotedName(column, run));
        find<QCheckBox>(&picker, "chkNarrow")->setChecked(true);
    }
    auto *count = find<QLabel>(&picker, "lblCount");
    picker.show();
    QCOMPARE(picker.listMode() == frmGetValue::ValueListMode::Ordered, ordered);
    if (ordered && expected.size() > 64) {
        QVERIFY2(count->text().endsWith(u"+ values"_s), qPrintable(count->text())); // the first values, at once
    }
    if (ordered) {
        // The list grows by itself while the window waits, to every value.
        QTRY_VERIFY_WITH_TIMEOUT(!count->text().contains(u'+'), 20000);
        QCOMPARE(count->text(), u"%1 values"_s.arg(picker.locale().toString(expected.size())));
    }
    const QStringList shown = listed(find<FlexGrid>(&picker, "MSFlexGrid1"));
    QCOMPARE(sorted(shown), sorted(expected));
    if (ordered) {
        QCOMPARE(shown.first() == frmGetValue::nullEntry(), expected.contains(frmGetValue::nullEntry()));
    }
    QVERIFY(ui.texts().isEmpty());
    picker.close();
}

void TestOrderedValues::plainTableColumns_data()
{
    QTest::addColumn<QString>("colExpr");
    QTest::addColumn<QString>("tabName");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("column"); // empty: none
    QTest::addColumn<bool>("quoted");
    QTest::newRow("bare") << u"Gender"_s << u"GenderTypes"_s << QString() << u"Gender"_s << false;
    QTest::newRow("qualified, quoted") << u"c.\"Company \"\"Name\"\"\""_s << u"public.\"Cus tomers\""_s
                                       << u" where x = 1"_s << u"Company \"Name\""_s << true;
    QTest::newRow("brackets") << u"[Order Details].[Unit Price]"_s << u"[Order Details]"_s << QString()
                              << u"Unit Price"_s << true;
    QTest::newRow("expression") << u"upper(w)"_s << u"t"_s << QString() << QString() << false;
    QTest::newRow("join") << u"w"_s << u"a join b on a.x = b.x"_s << QString() << QString() << false;
    QTest::newRow("derived table") << u"w"_s << u"(select w from t) q"_s << QString() << QString() << false;
    QTest::newRow("filter not a where") << u"w"_s << u"t"_s << u" order by w"_s << QString() << false;
    QTest::newRow("quote left open") << u"\"w"_s << u"t"_s << QString() << QString() << false;
}

void TestOrderedValues::plainTableColumns()
{
    QFETCH(QString, colExpr);
    QFETCH(QString, tabName);
    QFETCH(QString, filter);
    QFETCH(QString, column);
    QFETCH(bool, quoted);
    ColumnInfo info;
    info.colExpr = colExpr;
    info.tabName = tabName;
    info.filterClause = filter;
    info.typeClass = TypeClass::String;
    const auto target = plainTableColumn(info);
    QCOMPARE(target.has_value(), !column.isEmpty());
    if (target) {
        QCOMPARE(target->column, column);
        QCOMPARE(target->table, tabName);
        QCOMPARE(target->quoted, quoted);
    }
}

CONDORA_TEST_MAIN(TestOrderedValues)
#include "tst_orderedvalues.moc"
