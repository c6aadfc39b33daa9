// The value picker's list read in order from an index, or first from a sample: whichever way the
// picker reads it, the complete list holds exactly the values the engine's own SELECT DISTINCT
// gives.

#include "dialogdriver.h"
#include "pickerlists.h"

#include "analysis/databasekind.h"
#include "analysis/queryrun.h"
#include "condition/valuerules.h"
#include "dialog/fastvaluequeries.h"
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
#include <QLineEdit>
#include <QPushButton>
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
        // A substring search on s finds its candidates through it (the extension ships with the
        // server; a setup that cannot create it fails the test).
        statements.append(u"create extension if not exists pg_trgm"_s);
        statements.append(u"create index big_s_trgm on big using gin (s gin_trgm_ops)"_s);
    }
    statements.append(u"analyze big"_s);
    return statements;
}

/// The listed values, each with " | " and its count when `counts`.
QStringList listedWithCounts(FlexGrid *grid, bool counts)
{
    QStringList values = test::listed(grid);
    for (int row = 1; counts && row < grid->Rows(); ++row) {
        values[row - 1] += u" | "_s + grid->TextMatrix(row, 1);
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
    void cancelKeepsTheEstimates();
    void countsOfTheTableRows_data();
    void countsOfTheTableRows();
};

void TestOrderedValues::listsWhatTheEngineLists_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("narrow");
    QTest::addColumn<bool>("ordered"); // the list is read from the index
    QTest::addColumn<QString>("search");
    QTest::addColumn<bool>("counts");
    QTest::addColumn<QString>("base"); // empty: the plain statement over big
    QTest::addColumn<bool>("sampled"); // the first list is a sample
    const QString orFilter = u" where n > 2500 or w is null or w like 'Ä%'"_s;
    // A typed text for each column: "ä1" lies above every "Ä..." value, which the search
    // still finds (below where the walk starts).
    const QHash<QString, QString> typed{{u"w"_s, u"ä1"_s}, {u"n"_s, u"12"_s}, {u"d"_s, u"-03-"_s}, {u"f"_s, u".5"_s},
                                        {u"ts"_s, u":0"_s}, {u"u"_s, u"1"_s}, {u"s"_s, u"s2"_s}};
    for (const QString &backend : {u"sqlite"_s, u"postgresql"_s}) {
        const bool pg = backend == u"postgresql";
        const QStringList columns = pg ? QStringList{u"w"_s, u"n"_s, u"d"_s, u"f"_s, u"ts"_s}
                                       : QStringList{u"w"_s, u"n"_s, u"d"_s, u"f"_s};
        for (const QString &column : columns) {
            const QByteArray b = backend.toUtf8(), c = column.toUtf8();
            const QString t = typed.value(column);
            QTest::addRow("%s %s", b.data(), c.data()) << backend << column << QString() << false << true << QString()
                                                       << false << QString() << false;
            QTest::addRow("%s %s, host's filter", b.data(), c.data())
                << backend << column << orFilter << false << true << QString() << false << QString() << false;
            QTest::addRow("%s %s, narrowed", b.data(), c.data())
                << backend << column << orFilter << true << false << QString() << false << QString() << false;
            QTest::addRow("%s %s, search", b.data(), c.data())
                << backend << column << QString() << false << true << t << false << QString() << false;
            QTest::addRow("%s %s, search, host's filter", b.data(), c.data())
                << backend << column << orFilter << false << true << t << false << QString() << false;
            QTest::addRow("%s %s, search, narrowed", b.data(), c.data())
                << backend << column << orFilter << true << false << t << false << QString() << false;
            // On PostgreSQL the values come from the index with estimated counts.
            QTest::addRow("%s %s, counts", b.data(), c.data())
                << backend << column << QString() << false << pg << QString() << true << QString() << false;
            QTest::addRow("%s %s, counts, search, host's filter", b.data(), c.data())
                << backend << column << orFilter << false << pg << t << true << QString() << false;
        }
        const QByteArray b = backend.toUtf8();
        // No index leads with u (the partial one does not count): today's statement.
        QTest::addRow("%s u, no index", b.data()) << backend << u"u"_s << QString() << false << false << QString()
                                                  << false << QString() << true;
        QTest::addRow("%s u, no index, host's filter", b.data())
            << backend << u"u"_s << orFilter << false << false << QString() << false << QString() << true;
        QTest::addRow("%s u, no index, narrowed", b.data())
            << backend << u"u"_s << orFilter << true << false << QString() << false << QString() << false;
        // On PostgreSQL a search is sampled too (its DISTINCT reads every row before its first value).
        QTest::addRow("%s u, no index, search", b.data())
            << backend << u"u"_s << QString() << false << false << typed.value(u"u"_s) << false << QString() << pg;
        QTest::addRow("%s u, no index, search, host's filter", b.data())
            << backend << u"u"_s << orFilter << false << false << typed.value(u"u"_s) << false << QString() << pg;
        QTest::addRow("%s s, index in another order", b.data())
            << backend << u"s"_s << QString() << false << false << QString() << false << QString() << true;
        // A filter with a grouping goes into the sample's statement on PostgreSQL; on SQLite it
        // would go beside the sample's own condition: today's statement.
        QTest::addRow("%s s, filter with a grouping", b.data())
            << backend << u"s"_s << u" where 1 = 1 group by s"_s << false << false << QString() << false << QString()
            << pg;
        // Few values for many rows: walked whole.
        QTest::addRow("%s g", b.data()) << backend << u"g"_s << QString() << false << true << QString() << false
                                        << QString() << false;
        QTest::addRow("%s g, host's filter", b.data())
            << backend << u"g"_s << orFilter << false << true << QString() << false << QString() << false;
        // On PostgreSQL a trigram index covers s.
        QTest::addRow("%s s, search", b.data())
            << backend << u"s"_s << orFilter << false << false << typed.value(u"s"_s) << false << QString() << false;
        // A filter the walk cannot take as a condition of its own: today's statement.
        QTest::addRow("%s w, filter with a grouping", b.data())
            << backend << u"w"_s << u" where 1 = 1 group by w"_s << false << false << QString() << false << QString() << false;
        QTest::addRow("%s w, search, filter with a grouping", b.data())
            << backend << u"w"_s << u" where 1 = 1 group by w"_s << false << false << typed.value(u"w"_s) << false
            << QString() << false;
        QTest::addRow("%s w, counts, filter with a grouping", b.data())
            << backend << u"w"_s << u" where 1 = 1 group by w"_s << false << false << QString() << true << QString() << false;
        QTest::addRow("%s w, search for a prefix", b.data())
            << backend << u"w"_s << orFilter << false << true << u"w14"_s << false << QString() << false;
        QTest::addRow("%s w, counts, narrowed", b.data())
            << backend << u"w"_s << orFilter << true << false << QString() << true << QString() << false;
        // Counts of a statement whose rows are not the table's: today's statement.
        for (const QString &base : {u"select w, n, d, f, u from big where u < 20"_s,
                                    u"select w, n, d, f, u from big b join big c using (w, n, d, f, u, s)"_s}) {
            QTest::addRow("%s w, counts of %s", b.data(), qPrintable(base))
                << backend << u"w"_s << orFilter << false << false << QString() << true << base << false;
        }
    }
}

void TestOrderedValues::listsWhatTheEngineLists()
{
    QFETCH(QString, backend);
    QFETCH(QString, column);
    QFETCH(QString, filter);
    QFETCH(bool, narrow);
    QFETCH(bool, ordered);
    QFETCH(QString, search);
    QFETCH(bool, counts);
    QFETCH(QString, base);
    QFETCH(bool, sampled);
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
    run.baseSql = base.isEmpty() ? u"select w, n, d, f, u, s%1 from big"_s.arg(backend == u"postgresql" ? u", ts"_s : u""_s)
                                 : base;
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
                            Column{"u", TypeClass::Number, ado::adInteger}, Column{"s", TypeClass::String, ado::adVarWChar},
                            Column{"g", TypeClass::Number, ado::adInteger}, Column{"ts", TypeClass::Date, ado::adDBTimeStamp}}) {
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
    QStringList expected = test::readColumn(*run.connection, u"select distinct %1 from big%2"_s.arg(operand, filter));
    const QString narrowing = u"select w, n, d, f, u, s, g%1 from big where u < 9"_s.arg(column == u"ts" ? u", ts"_s : u""_s);
    if (narrow) {
        const QStringList held = test::readColumn(*run.connection, u"select %1 from (%2) n"_s.arg(operand, narrowing));
        expected.removeIf([&held](const QString &value) { return !held.contains(value); });
    }
    if (!search.isEmpty()) {
        expected.removeIf([&search](const QString &value) {
            return value == frmGetValue::nullEntry() || !value.contains(search, Qt::CaseInsensitive);
        });
    }
    if (counts) {
        // Each value with the rows of the counted statement (the narrowed one while it narrows)
        // that hold it, 0 for none.
        const QString countedSql = u"select %1, count(*) from (%2) b group by %1"_s.arg(
            column == u"ts" ? u"cast(b.ts as text)"_s : u"b."_s + column, narrow ? narrowing : run.baseSql);
        ado::Recordset grouped;
        grouped.Open(countedSql, *run.connection);
        QHash<QString, QString> rows;
        for (; !grouped.Eof(); grouped.MoveNext()) {
            const QVariant v = grouped.Fields().Item(0).Value();
            rows.insert(v.isNull() ? frmGetValue::nullEntry() : v.toString(), grouped.Fields().Item(1).Value().toString());
        }
        for (QString &value : expected) {
            value += u" | "_s + rows.value(value, u"0"_s);
        }
    }
    QVERIFY(expected.size() > (search.isEmpty() ? 5 : 2));

    frmGetValue picker(run);
    picker.setHeadTitle(column);
    picker.setP_colIndex(QString::number(position));
    if (narrow) {
        picker.setNarrowing(narrowing, quotedName(column, run));
        find<QCheckBox>(&picker, "chkNarrow")->setChecked(true);
    }
    find<QCheckBox>(&picker, "chkCounts")->setChecked(counts);
    find<QLineEdit>(&picker, "txtSearch")->setText(search);
    auto *count = find<QLabel>(&picker, "lblCount");
    picker.show();
    QCOMPARE(picker.listMode() == frmGetValue::ValueListMode::Ordered, ordered);
    QCOMPARE(picker.listMode() == frmGetValue::ValueListMode::Sampled, sampled);
    auto *grid = find<FlexGrid>(&picker, "MSFlexGrid1");
    if (ordered && search.isEmpty() && !counts) {
        // A walk from value to value reads every value only where the statistics say few values
        // fill many rows, or where only a descending index leads on SQLite; otherwise one pass
        // over the index reads the rest (on PostgreSQL after the walk's first values).
        const QString statement = ado::lastStatement(*run.connection);
        QCOMPARE(statement.contains(u"condora_next"_s), backend != u"sqlite" || column == u"g" || column == u"d");
        QCOMPARE(statement.contains(u"condora_rest"_s), backend != u"sqlite" && column != u"g");
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
    const bool estimated = picker.countsEstimated();
    if (ordered && expected.size() > 64) {
        QVERIFY2(count->text().endsWith(u"+ values"_s), qPrintable(count->text())); // the first values, at once
    }
    // Estimates are marked, and replaced by the exact counts once they are there.
    QCOMPARE(estimated, counts && ordered);
    if (estimated) {
        QVERIFY2(grid->TextMatrix(1, 1).startsWith(u'~'), qPrintable(grid->TextMatrix(1, 1)));
        // The exact counts take the list's place: the value the user moved to stays current.
        const int row = std::min(5, grid->Rows() - 1);
        grid->view()->setCurrentIndex(grid->view()->model()->index(row - 1, 0));
        const QString current = grid->TextMatrix(row, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!picker.countsEstimated(), 20000);
        const int now = grid->Row();
        QCOMPARE(grid->TextMatrix(now, 0), current);
        QVERIFY(!grid->TextMatrix(now, 1).startsWith(u'~'));
    }
    if (ordered) {
        // The list grows by itself while the window waits, to every value.
        QTRY_VERIFY_WITH_TIMEOUT(!count->text().contains(u'+'), 20000);
        QCOMPARE(count->text(), u"%1 values"_s.arg(picker.locale().toString(expected.size())));
    }
    const QStringList shown = listedWithCounts(grid, counts);
    QCOMPARE(sorted(shown), sorted(expected));
    if (ordered && !counts) { // the exact counts come in the grouping's order
        QCOMPARE(shown.first().startsWith(frmGetValue::nullEntry()), sorted(expected).first().startsWith(u'('));
    }
    if (ordered && search.isEmpty() && !counts && !narrow) {
        // In the engine's ascending order, NULL first.
        QCOMPARE(shown, test::readColumn(*run.connection, u"select v from (select distinct %1 as v from big%2) o order by v is not null, v"_s
                                                              .arg(operand, filter)));
    }
    const QString statement = ado::lastStatement(*run.connection);
    // A trigram index answers a search on s; the counts of the table's own rows are one grouping.
    QCOMPARE(statement.contains(u" ilike "_s), backend == u"postgresql" && column == u"s" && !search.isEmpty());
    QCOMPARE(counts && statement.contains(u"c on c.v = q.v"_s),
             counts && (narrow || !base.isEmpty() || filter.contains(u"group by"_s)));
    QCOMPARE(counts && statement.contains(u" having "_s),
             counts && !narrow && base.isEmpty() && filter.contains(u" or "_s));
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

// The exact counts take seconds (the host's filter sleeps a millisecond a row): Cancel stops
// them with the usual message, and the estimates stay, marked, in a list that did not fail.
void TestOrderedValues::cancelKeepsTheEstimates()
{
    CONDORA_NEED_PG(pg);
    RecordingUserInteraction ui;
    frmGetValue::resetSession();
    pg.createDatabase(u"condora_orderedvalues"_s);
    QStringList statements = schema(true);
    statements.append(u"create function condora_slow(x integer) returns boolean language plpgsql as "
                      u"'begin perform pg_sleep(0.001); return true; end'"_s);
    pg.exec(u"condora_orderedvalues"_s, statements);
    QueryRun run;
    run.connection = pg.open(u"condora_orderedvalues"_s);
    run.product = DbProduct::PostgreSql;
    run.savedCursorLocation = run.connection->CursorLocation();
    run.baseSql = u"select w from big"_s;
    run.dbKind = DbKind::Other;
    run.escapes = escapeRulesOf(*run.connection);
    run.fastValueLists = true;
    ColumnInfo w;
    w.colExpr = w.colName = w.tabName = u"w"_s;
    w.tabName = u"big"_s;
    w.typeClass = TypeClass::String;
    w.typeCode = ado::adVarWChar;
    w.filterClause = u" where condora_slow(n)"_s;
    run.fieldCatalog = {ColumnInfo(), w};
    frmGetValue picker(run);
    picker.setHeadTitle(u"w"_s);
    picker.setP_colIndex(u"1"_s);
    find<QCheckBox>(&picker, "chkCounts")->setChecked(true);
    bool cancelled = false;
    QTimer::singleShot(1000, &picker, [&cancelled] {
        for (QWidget *widget : QApplication::allWidgets()) {
            if (widget->objectName() == u"cmdCancelWork"_s && widget->isVisible()) {
                QTest::mouseClick(static_cast<QPushButton *>(widget), Qt::LeftButton);
                cancelled = true;
            }
        }
    });
    picker.show();
    QVERIFY(picker.countsEstimated());
    auto *grid = find<FlexGrid>(&picker, "MSFlexGrid1");
    QTRY_COMPARE_WITH_TIMEOUT(ui.texts().size(), 1, 20000);
    QVERIFY(cancelled);
    QVERIFY2(ui.texts().first().contains(u"stopped"_s), qPrintable(ui.texts().first()));
    QVERIFY(picker.countsEstimated());
    QVERIFY(!picker.listFailed());
    QVERIFY(grid->Rows() > 10);
    for (int row = 1; row < grid->Rows(); ++row) {
        QVERIFY2(grid->TextMatrix(row, 1).startsWith(u'~'), qPrintable(grid->TextMatrix(row, 1)));
    }
    picker.close();
}

// Rows per value counts the table's rows in one grouping only where the base statement's rows
// are the table's rows, one for one.
void TestOrderedValues::countsOfTheTableRows_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<bool>("computed"); // the catalog holds a computed column
    QTest::addColumn<bool>("tableRows");
    QTest::newRow("the table") << u"select w, n from big"_s << false << true;
    QTest::newRow("every column") << u"select * from big"_s << false << true;
    QTest::newRow("an alias") << u"select b.w from big b"_s << false << true;
    QTest::newRow("an alias with as") << u"SELECT b.w FROM big AS b"_s << false << true;
    QTest::newRow("a condition") << u"select w from big where n > 1"_s << false << false;
    QTest::newRow("an order") << u"select w from big order by w"_s << false << false;
    QTest::newRow("a row cap") << u"select w from big limit 10"_s << false << false;
    QTest::newRow("distinct") << u"select distinct w from big"_s << false << false;
    QTest::newRow("a join") << u"select w from big join other on other.w = big.w"_s << false << false;
    QTest::newRow("a comma join") << u"select w from big, other"_s << false << false;
    QTest::newRow("a grouping") << u"select w from big group by w"_s << false << false;
    QTest::newRow("a set operation") << u"select w from big union select w from other"_s << false << false;
    QTest::newRow("with") << u"with b as (select w from big) select w from b"_s << false << false;
    QTest::newRow("an aggregate beside it") << u"select w, count(*) as c from big"_s << true << false;
    QTest::newRow("another table") << u"select w from other"_s << false << false;
}

void TestOrderedValues::countsOfTheTableRows()
{
    QFETCH(QString, base);
    QFETCH(bool, computed);
    QFETCH(bool, tableRows);
    QueryRun run;
    run.baseSql = base;
    ColumnInfo w;
    w.colExpr = w.colName = u"w"_s;
    w.tabName = u"big"_s;
    w.typeClass = TypeClass::String;
    run.fieldCatalog = {ColumnInfo(), w};
    if (computed) {
        ColumnInfo count;
        count.colExpr = count.colName = u"c"_s;
        count.expression = u"count(*)"_s;
        count.typeClass = TypeClass::Number;
        run.fieldCatalog.append(count);
    }
    QCOMPARE(countsTableRows(run, w), tableRows);
}

CONDORA_TEST_MAIN(TestOrderedValues)
#include "tst_orderedvalues.moc"
