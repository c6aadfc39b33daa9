// The value picker's list read in order from an index, or first from a sample: whichever way the
// picker reads it, the complete list holds exactly the values the engine's own SELECT DISTINCT
// gives.

#include "dialogdriver.h"

#include "analysis/databasekind.h"
#include "analysis/queryrun.h"
#include "condition/valuerules.h"
#include "dialog/frmgetvalue.h"
#include "dialog/orderedvalues.h"
#include "platform/ado/connection.h"
#include "platform/ado/connectionstatistics.h"
#include "platform/ado/recordset.h"
#include "platform/ado/runconnection.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/userinteraction.h"
#include "support/testdatabases.h"
#include "support/testmain.h"

#include <QCheckBox>
#include <QLabel>
#include <QTableView>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace dialogtest;

namespace {

/// 6000 rows; n takes 5000 values (more than the list grows by at a time), every column some
/// NULLs; every column but u and s has an index that leads with it (u and s are sampled first).
/// g holds few values (150 rows each): its list is walked whole.
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
        u"create table big (w varchar(40), n integer, d date, f real, u integer, s varchar(10), g integer%1)"_s.arg(postgres ? u", ts timestamp"_s
                                                                                                  : QString()),
        u"insert into big select case when x % 97 = 0 then null when x % 7 = 0 then 'Ä' || (x % 13) "
        u"else 'w' || (x % 1500) end, case when x % 50 = 0 then null else x % 5000 end, "
        u"case when x % 89 = 0 then null else %1 end, (x % 300) * 0.25, x % 37, 'S' || (x % 30), x % 40%2 from %3"_s.arg(date, stamp, rows),
        u"create index big_w on big (w)"_s,
        u"create index big_n on big (n, u)"_s,
        u"create index big_d on big (d desc)"_s,
        u"create index big_f on big (f)"_s,
        u"create index big_g on big (g)"_s,
        u"create index big_partial_u on big (u) where u > 3"_s,
        // An order the walk's comparisons do not follow.
        postgres ? u"create index big_s on big (s text_pattern_ops)"_s : u"create index big_s on big (s collate nocase)"_s,
    };
    if (postgres) {
        statements.append(u"create index big_ts on big (ts)"_s);
    }
    statements.append(u"analyze big"_s);
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
    QTest::addColumn<int>("mode"); // how the first list is read (frmGetValue::ValueListMode)
    const int plain = int(frmGetValue::ValueListMode::Plain);
    const int ordered = int(frmGetValue::ValueListMode::Ordered);
    const int sampled = int(frmGetValue::ValueListMode::Sampled);
    const QString orFilter = u" where n > 2500 or w is null or w like 'Ä%'"_s;
    for (const QString &backend : {u"sqlite"_s, u"postgresql"_s}) {
        const QStringList columns = backend == u"postgresql" ? QStringList{u"w"_s, u"n"_s, u"d"_s, u"f"_s, u"g"_s, u"ts"_s}
                                                             : QStringList{u"w"_s, u"n"_s, u"d"_s, u"f"_s, u"g"_s};
        for (const QString &column : columns) {
            const QByteArray b = backend.toUtf8(), c = column.toUtf8();
            QTest::addRow("%s %s", b.data(), c.data()) << backend << column << QString() << false << ordered;
            QTest::addRow("%s %s, host's filter", b.data(), c.data()) << backend << column << orFilter << false << ordered;
            QTest::addRow("%s %s, narrowed", b.data(), c.data()) << backend << column << orFilter << true << plain;
        }
        const QByteArray b = backend.toUtf8();
        // No index leads with u (the partial one does not count): a sample, then today's statement.
        QTest::addRow("%s u, no index", b.data()) << backend << u"u"_s << QString() << false << sampled;
        QTest::addRow("%s u, no index, host's filter", b.data()) << backend << u"u"_s << orFilter << false << sampled;
        QTest::addRow("%s u, no index, narrowed", b.data()) << backend << u"u"_s << orFilter << true << plain;
        QTest::addRow("%s s, index in another order", b.data()) << backend << u"s"_s << QString() << false << sampled;
        // A filter the walk cannot take as a condition of its own: today's statement.
        QTest::addRow("%s w, filter with a grouping", b.data())
            << backend << u"w"_s << u" where 1 = 1 group by w"_s << false << plain;
        // Nor the sample on SQLite, where it would go beside the sample's own condition.
        QTest::addRow("%s s, filter with a grouping", b.data())
            << backend << u"s"_s << u" where 1 = 1 group by s"_s << false << (backend == u"sqlite" ? plain : sampled);
    }
}

void TestOrderedValues::listsWhatTheEngineLists()
{
    QFETCH(QString, backend);
    QFETCH(QString, column);
    QFETCH(QString, filter);
    QFETCH(bool, narrow);
    QFETCH(int, mode);
    const bool ordered = mode == int(frmGetValue::ValueListMode::Ordered);
    const bool sampled = mode == int(frmGetValue::ValueListMode::Sampled);
    RecordingUserInteraction ui;
    frmGetValue::resetSession();
    std::unique_ptr<test::SqliteFile> file;
    QueryRun run;
    std::shared_ptr<ado::Connection> host;
    if (backend == u"postgresql") {
        CONDORA_NEED_PG(pg);
        pg.createDatabase(u"condora_orderedvalues"_s);
        pg.exec(u"condora_orderedvalues"_s, schema(true));
        host = pg.open(u"condora_orderedvalues"_s);
        run.product = DbProduct::PostgreSql;
    } else {
        file = std::make_unique<test::SqliteFile>(schema(false));
        host = file->open();
        run.product = DbProduct::Sqlite;
    }
    run.baseSql = u"select w, n, d, f, u from big"_s;
    // The statements run on the run's own connection, as the control's do.
    run.connection = ado::runConnection(host, run.baseSql);
    QVERIFY(ado::runsOnWorker(*run.connection));
    run.savedCursorLocation = run.connection->CursorLocation();
    run.dbKind = DbKind::Other;
    run.escapes = escapeRulesOf(*run.connection);
    run.fastValueLists = true;
    run.fieldCatalog = {ColumnInfo()};
    int position = -1;
    for (const Column &c : {Column{"w", TypeClass::String, ado::adVarWChar}, Column{"n", TypeClass::Number, ado::adInteger},
                            Column{"d", TypeClass::Date, ado::adDBDate}, Column{"f", TypeClass::Number, ado::adSingle},
                            Column{"u", TypeClass::Number, ado::adInteger}, Column{"s", TypeClass::String, ado::adVarWChar}, Column{"g", TypeClass::Number, ado::adInteger},
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
    const QString narrowing = u"select w, n, d, f, u, s, g%1 from big where u < 9"_s.arg(column == u"ts" ? u", ts"_s : u""_s);
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
    auto *grid = find<FlexGrid>(&picker, "MSFlexGrid1");
    picker.show();
    QCOMPARE(int(picker.listMode()), mode);
    if (ordered) {
        // SQLite walks value after value only where its statistics say few values fill many
        // rows; otherwise the rest comes from one pass over the index.
        QCOMPARE(ado::lastStatement(*run.connection).contains(u"condora_rest"_s),
                 backend == u"sqlite" && column != u"g");
    }
    if (sampled) {
        // The sample shows at once, marked; each of its values is one of the column's. The
        // value the user moves to stays current when the exact list takes its place.
        QVERIFY2(count->text().endsWith(u"+ values (sample)"_s), qPrintable(count->text()));
        QStringList sample;
        for (int row = 1; row < grid->Rows(); ++row) {
            sample.append(grid->isNullCell(row, 0) ? frmGetValue::nullEntry() : grid->TextMatrix(row, 0));
        }
        QVERIFY(!sample.isEmpty());
        for (const QString &value : sample) {
            QVERIFY2(expected.contains(value), qPrintable(value));
        }
        QTableView *view = grid->view();
        const int moved = std::min(3, int(sample.size()) - 1);
        view->setCurrentIndex(view->model()->index(moved, 0));
        QTRY_VERIFY_WITH_TIMEOUT(picker.listMode() == frmGetValue::ValueListMode::Plain, 20000);
        QCOMPARE(count->text(), u"%1 values"_s.arg(picker.locale().toString(expected.size())));
        const int current = view->currentIndex().row() + 1;
        QCOMPARE(grid->isNullCell(current, 0) ? frmGetValue::nullEntry() : grid->TextMatrix(current, 0),
                 sample.at(moved));
    }
    if (ordered && expected.size() > 64) {
        QVERIFY2(count->text().endsWith(u"+ values"_s), qPrintable(count->text())); // the first values, at once
    }
    if (ordered) {
        // The list grows by itself while the window waits, to every value.
        QTRY_VERIFY_WITH_TIMEOUT(!count->text().contains(u'+'), 20000);
        QCOMPARE(count->text(), u"%1 values"_s.arg(picker.locale().toString(expected.size())));
    }
    const QStringList shown = listed(grid);
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
