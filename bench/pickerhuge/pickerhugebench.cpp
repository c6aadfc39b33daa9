// The value picker on a huge table, on SQLite and on PostgreSQL, each figure next to the engine's
// own SELECT DISTINCT (or GROUP BY) on the same data, measured in the same run.
//
// The benchmark makes its data itself: a table h of `rows` rows (k, v, u), where v and u both
// take `rows` / 20 distinct values ("name 0" ... ) and only v has an index; the picker runs on a run's
// own connection (a worker thread), as the control's picker does; the SQLite file goes
// into a temporary folder (TMPDIR) that is removed at the end, the PostgreSQL database
// condora_benchhuge is dropped at the end. For each database and for v (indexed) and u (no
// index), the picker (with QueryRun::fastValueLists on) is timed:
//   - open to the first painted values,
//   - open to the complete list (the count label without "+"; a sampled list once the exact one
//     took its place; a plain list fetched to its end),
//   - a prefix search ("name 12") and a substring search ("3456"), keystroke to painted rows,
//   - "Rows per value": open to first painted rows (on PostgreSQL the server's estimates), and
//     to every exact count,
// against the engine alone reading every row of the same SELECT DISTINCT (sqlite3 on a
// connection of its own; libpq in single-row mode, without parallel workers, as the picker's
// cursors run), of the GROUP BY with count(*), and of the statement each search ran (read back
// from the connection). The indexed column's figures are each the best of three runs. On PostgreSQL the substring search
// is timed once more after a trigram index on v is made.
//
// PostgreSQL runs when CONDORA_TEST_PG_HOST, _PORT, _USER and _PASSWORD name a server (as
// tools/pgtest.sh start DIR prints them).
// With PICKERHUGE_SCREENSHOT=file.png the first picker is saved there as it first shows, and the
// first one that shows a sample as file-sample.png; with PICKERHUGE_COUNTS_SCREENSHOT=file.png the
// first one showing estimated rows per value.
// Usage: bench_pickerhuge [rows] [sqlite|postgresql|both] [first|indexed]   (default 100000000 rows, both;
// 100,000,000 rows take about 6 GB on SQLite and 8 GB on PostgreSQL, index included). With `first`
// only the first painted values are timed, against the engine reading 64 rows of a plain scan
// (reading every row of a DISTINCT takes minutes at 100,000,000 rows); the picker is closed while
// its list still grows, which also stops the statements it has running. With `indexed` every figure
// is taken for the indexed column v only (the unindexed column's baselines at 100,000,000 rows
// spill their distinct sets to disk and take an hour on SQLite), without the trigram index.

#include "analysis/queryrun.h"
#include "dialog/frmgetvalue.h"
#include "platform/ado/connection.h"
#include "platform/ado/connectionstatistics.h"
#include "platform/ado/libpq.h"
#include "platform/ado/runconnection.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/userinteraction.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include "support/pgserver.h"
#include "support/sqlitebaseline.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

double ms(qint64 nanoseconds)
{
    return double(nanoseconds) / 1e6;
}

/// The engine alone: every row of `query`, its first row and its end.
struct EngineTime
{
    double first = 0;
    double all = 0;
    qint64 rows = 0;
};
using Engine = std::function<EngineTime(const QByteArray &)>;

EngineTime sqliteAll(sqlite3 *db, const QByteArray &query)
{
    EngineTime time;
    QElapsedTimer timer;
    timer.start();
    sqlite3_stmt *raw = nullptr;
    if (sqlite3_prepare_v2(db, query.constData(), -1, &raw, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", query.constData(), sqlite3_errmsg(db));
        std::exit(1);
    }
    const condora::bench::Stmt stmt(raw);
    while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
        if (time.rows++ == 0) {
            time.first = ms(timer.nsecsElapsed());
        }
        sqlite3_column_text(stmt.get(), 0);
    }
    time.all = ms(timer.nsecsElapsed());
    return time;
}

EngineTime pgAll(const QSqlDatabase &db, const QByteArray &query)
{
    const condora::ado::PgApi &pq = condora::ado::pgApi();
    void *conn = condora::ado::pgConnection(db);
    EngineTime time;
    QElapsedTimer timer;
    timer.start();
    pq.sendQuery(conn, query.constData());
    pq.setSingleRowMode(conn);
    while (condora::ado::PgResult *result = pq.getResult(conn)) {
        const int status = pq.resultStatus(result);
        if (status == condora::ado::PgApi::SingleTuple) {
            if (time.rows++ == 0) {
                time.first = ms(timer.nsecsElapsed());
            }
        } else if (status == condora::ado::PgApi::FatalError) {
            std::fprintf(stderr, "%s: %s\n", query.constData(), pq.resultErrorMessage(result));
            std::exit(1);
        }
        pq.clear(result);
    }
    time.all = ms(timer.nsecsElapsed());
    return time;
}

/// The picker's case folding (QString::toCaseFolded), for the engine to run the search's statement.
void fold(sqlite3_context *context, int, sqlite3_value **arguments)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(arguments[0]));
    if (text == nullptr) {
        sqlite3_result_null(context);
        return;
    }
    const QByteArray folded = QString::fromUtf8(text, sqlite3_value_bytes(arguments[0])).toCaseFolded().toUtf8();
    sqlite3_result_text(context, folded.constData(), int(folded.size()), SQLITE_TRANSIENT);
}

/// Notes the first paint of the grid's cells once `ready` holds.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(std::function<bool()> ready)
        : m_ready(std::move(ready))
    {
    }
    bool painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !painted && m_ready()) {
            painted = true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool()> m_ready;
};

void waitFor(const std::function<bool()> &done)
{
    // Sleeping between events, as the picker's window does: a busy loop here would take a core
    // from the run's worker thread.
    QTimer tick;
    tick.start(1);
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

condora::QueryRun runOn(const std::shared_ptr<condora::ado::Connection> &connection, condora::DbProduct product)
{
    condora::QueryRun run;
    run.baseSql = u"select v, u from h"_s;
    run.connection = condora::ado::runConnection(connection, run.baseSql);
    run.savedCursorLocation = run.connection->CursorLocation();
    run.dbKind = condora::DbKind::Other;
    run.product = product;
    run.fastValueLists = true;
    // The control's default colours (system colours), as a host's run has them.
    using condora::OleColor;
    condora::DialogStyle &style = run.style;
    style.GridColor = style.GridColorFixed = style.GridColorUnpopulated = OleColor(0xC0C0C0);
    style.GridForeColor = OleColor(0x80000008);
    style.GridForeColorFixed = style.LabelForeColor = OleColor(0x80000012);
    style.FormBackColor = style.ButtonBackColor = style.GridBackColorBkg = style.GridBackColorFixed =
        style.GridBackColorUnpopulated = style.LabelBackColor = OleColor(0x8000000F);
    style.GridForeColorSel = OleColor(0x8000000E);
    style.GridBackColor = OleColor(0x80000005);
    style.GridBackColorSel = OleColor(0x8000000D);
    run.fieldCatalog = {condora::ColumnInfo()};
    for (const QString &name : {u"v"_s, u"u"_s}) {
        condora::ColumnInfo column;
        column.colExpr = column.colName = name;
        column.tabName = u"h"_s;
        column.typeClass = condora::TypeClass::String;
        run.fieldCatalog.append(column);
    }
    return run;
}

/// What the picker took for one column.
struct PickerTimes
{
    double firstPaint = 0;
    double complete = 0;
    double prefix = 0;
    double substring = 0;
    double countsFirst = 0;
    double countsAll = 0;
    bool countsEstimated = false; // the first counts were the server's estimates
    QString mode;
    int values = 0;
    QByteArray prefixStatement;
    QByteArray substringStatement;
};

bool showsValue(condora::FlexGrid *grid, const QString &text = QString())
{
    return grid->Rows() > 1 && (grid->isNullCell(1, 0) || grid->TextMatrix(1, 0).contains(text))
           && !(grid->TextMatrix(1, 0).isEmpty() && !grid->isNullCell(1, 0));
}

/// A search typed into a fresh picker on column `position`: keystroke to painted rows, and the
/// statement it ran.
std::pair<double, QByteArray> timeSearch(condora::QueryRun &run, int position, const QString &text)
{
    condora::frmGetValue::resetSession();
    condora::frmGetValue picker(run);
    picker.setHeadTitle(run.fieldCatalog.at(position).colName);
    picker.setP_colIndex(QString::number(position));
    auto *grid = picker.findChild<condora::FlexGrid *>(u"MSFlexGrid1"_s);
    picker.show();
    waitFor([grid] { return showsValue(grid); });
    PaintWatch searched([grid, text] { return showsValue(grid, text); });
    grid->view()->viewport()->installEventFilter(&searched);
    QElapsedTimer timer;
    timer.start();
    picker.findChild<QLineEdit *>(u"txtSearch"_s)->setText(text);
    waitFor([&searched] { return searched.painted; });
    const double took = ms(timer.nsecsElapsed());
    const QByteArray statement = condora::ado::lastStatement(*run.connection).toUtf8();
    picker.close();
    QCoreApplication::processEvents();
    return {took, statement};
}

PickerTimes timePicker(condora::QueryRun &run, int position, bool firstOnly)
{
    PickerTimes times;
    condora::frmGetValue::resetSession();
    {
        QElapsedTimer timer;
        timer.start();
        condora::frmGetValue picker(run);
        picker.setHeadTitle(run.fieldCatalog.at(position).colName);
        picker.setP_colIndex(QString::number(position));
        auto *grid = picker.findChild<condora::FlexGrid *>(u"MSFlexGrid1"_s);
        auto *count = picker.findChild<QLabel *>(u"lblCount"_s);
        PaintWatch watch([grid] { return showsValue(grid); });
        grid->view()->viewport()->installEventFilter(&watch);
        picker.show();
        waitFor([&watch] { return watch.painted; });
        times.firstPaint = ms(timer.nsecsElapsed());
        using Mode = condora::frmGetValue::ValueListMode;
        const Mode mode = picker.listMode();
        QString shot = qEnvironmentVariable("PICKERHUGE_SCREENSHOT");
        if (mode == Mode::Sampled && shot.endsWith(u".png"_s)) {
            shot.insert(shot.size() - 4, u"-sample"_s);
        }
        if (!shot.isEmpty() && !QFile::exists(shot)) {
            picker.grab().save(shot); // the list as it first shows, still growing or a sample
        }
        times.mode = mode == Mode::Ordered   ? u"ordered from the index"_s
                     : mode == Mode::Sampled ? u"a sample, then one SELECT DISTINCT"_s
                                             : u"one SELECT DISTINCT"_s;
        if (firstOnly) {
            picker.close();
            QCoreApplication::processEvents();
            condora::frmGetValue::resetSession();
            return times;
        }
        if (mode == Mode::Ordered) {
            waitFor([count] { return !count->text().contains(u'+'); });
        } else {
            waitFor([&picker] { return picker.listMode() != Mode::Sampled; });
            grid->fetchAll();
        }
        times.complete = ms(timer.nsecsElapsed());
        times.values = grid->Rows() - 1;

        auto *search = picker.findChild<QLineEdit *>(u"txtSearch"_s);
        for (const auto &[text, result, statement] :
             {std::tuple{u"name 12"_s, &times.prefix, &times.prefixStatement},
              std::tuple{u"3456"_s, &times.substring, &times.substringStatement}}) {
            search->clear();
            QCoreApplication::processEvents();
            PaintWatch searched([grid, text] { return showsValue(grid, text); });
            grid->view()->viewport()->installEventFilter(&searched);
            timer.restart();
            search->setText(text);
            waitFor([&searched] { return searched.painted; });
            *result = ms(timer.nsecsElapsed());
            *statement = condora::ado::lastStatement(*run.connection).toUtf8();
            grid->view()->viewport()->removeEventFilter(&searched);
        }
        picker.close();
        QCoreApplication::processEvents();
    }
    {
        QElapsedTimer timer;
        timer.start();
        condora::frmGetValue picker(run);
        picker.setHeadTitle(run.fieldCatalog.at(position).colName);
        picker.setP_colIndex(QString::number(position));
        picker.findChild<QCheckBox *>(u"chkCounts"_s)->setChecked(true);
        auto *grid = picker.findChild<condora::FlexGrid *>(u"MSFlexGrid1"_s);
        PaintWatch watch([grid] { return showsValue(grid); });
        grid->view()->viewport()->installEventFilter(&watch);
        picker.show();
        waitFor([&watch] { return watch.painted; });
        times.countsFirst = ms(timer.nsecsElapsed());
        times.countsEstimated = picker.countsEstimated();
        const QString countsShot = qEnvironmentVariable("PICKERHUGE_COUNTS_SCREENSHOT");
        if (times.countsEstimated && !countsShot.isEmpty() && !QFile::exists(countsShot)) {
            picker.grab().save(countsShot); // the estimated counts as they first show
        }
        waitFor([&picker] { return !picker.countsEstimated(); }); // the exact counts in place
        grid->fetchAll();
        times.countsAll = ms(timer.nsecsElapsed());
        picker.close();
        QCoreApplication::processEvents();
    }
    condora::frmGetValue::resetSession();
    return times;
}

void line(const char *what, double picker, double engine, const char *baseline)
{
    std::printf("    %-44s %10.2f ms   %-34s %10.2f ms   ratio %8.4f\n", what, picker, baseline, engine,
                picker / engine);
}

/// One database's figures.
void measure(const char *name, const std::shared_ptr<condora::ado::Connection> &connection,
             condora::DbProduct product, qint64 rowCount, const Engine &engine, bool firstOnly, bool indexedOnly)
{
    condora::QueryRun run = runOn(connection, product);
    for (const int position : {1, 2}) {
        if (indexedOnly && position != 1) {
            continue;
        }
        const QString column = run.fieldCatalog.at(position).colName;
        const QByteArray c = column.toUtf8();
        if (firstOnly) {
            const PickerTimes picker = timePicker(run, position, true);
            const EngineTime page = engine("select " + c + " from h limit 64");
            std::printf("%s, %lld rows, column %s (%s): listed %s\n", name, rowCount, c.constData(),
                        position == 1 ? "index leads with it" : "no index", qPrintable(picker.mode));
            line("open to first painted values", picker.firstPaint, page.all, "engine, 64 rows of a plain scan");
            // Once more, with the pages the first open read in the cache.
            line("  (opened again)", timePicker(run, position, true).firstPaint, page.all,
                 "engine, 64 rows of a plain scan");
            std::printf("\n");
            continue;
        }
        // The indexed column's figures are the best of three, the engine's and the picker's alike
        // (a busy machine's noise); the unindexed column's baselines take minutes each.
        const int repeats = position == 1 ? 3 : 1;
        const auto best = [repeats](const std::function<EngineTime()> &time) {
            EngineTime fastest = time();
            for (int i = 1; i < repeats; ++i) {
                const EngineTime again = time();
                if (again.all < fastest.all) {
                    fastest = again;
                }
            }
            return fastest;
        };
        const EngineTime distinct = best([&] { return engine("select distinct " + c + " from h"); });
        const EngineTime grouped = best([&] { return engine("select " + c + ", count(*) from h group by " + c); });
        PickerTimes picker = timePicker(run, position, false);
        for (int i = 1; i < repeats; ++i) {
            const PickerTimes again = timePicker(run, position, false);
            for (auto field : {&PickerTimes::firstPaint, &PickerTimes::complete, &PickerTimes::prefix,
                               &PickerTimes::substring, &PickerTimes::countsFirst, &PickerTimes::countsAll}) {
                picker.*field = std::min(picker.*field, again.*field);
            }
        }
        const EngineTime prefix = engine(picker.prefixStatement);
        const EngineTime substring = engine(picker.substringStatement);
        std::printf("%s, %lld rows, column %s (%s): %d values, listed %s\n", name, rowCount, c.constData(),
                    position == 1 ? "index leads with it" : "no index", picker.values, qPrintable(picker.mode));
        line("open to first painted values", picker.firstPaint, distinct.all, "engine SELECT DISTINCT, all rows");
        line("open to the complete list", picker.complete, distinct.all, "engine SELECT DISTINCT, all rows");
        line("prefix search 'name 12' to painted rows", picker.prefix, prefix.all, "engine, same statement, all rows");
        line("  (the same against the plain DISTINCT)", picker.prefix, distinct.all, "engine SELECT DISTINCT, all rows");
        line("substring search '3456' to painted rows", picker.substring, substring.all,
             "engine, same statement, all rows");
        line(picker.countsEstimated ? "rows per value, open to first painted (~est.)" : "rows per value, open to first painted",
             picker.countsFirst, grouped.all, "engine GROUP BY, all rows");
        line("rows per value, every count", picker.countsAll, grouped.all, "engine GROUP BY, all rows");
        std::printf("    (engine SELECT DISTINCT to its first row: %.2f ms)\n\n", distinct.first);
    }
}

/// PostgreSQL: the substring search on v once a trigram index covers it.
void measureTrigram(const std::shared_ptr<condora::ado::Connection> &connection, const Engine &engine,
                    const std::function<void(const QString &)> &exec)
{
    exec(u"create extension if not exists pg_trgm"_s);
    exec(u"create index h_v_trgm on h using gin (v gin_trgm_ops)"_s);
    exec(u"analyze h"_s);
    condora::QueryRun run = runOn(connection, condora::DbProduct::PostgreSql);
    const auto [took, statement] = timeSearch(run, 1, u"3456"_s);
    const EngineTime same = engine(statement);
    const EngineTime plain = engine("select distinct v from h where strpos(lower(v), '3456') > 0");
    std::printf("PostgreSQL, column v with a trigram index too:\n");
    line("substring search '3456' to painted rows", took, same.all, "engine, same statement, all rows");
    line("  (the same against the search without the index)", took, plain.all, "engine, DISTINCT with strpos, all rows");
    std::printf("\n");
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as it is measured, also into a file
    const qint64 rowCount = argc > 1 ? std::atoll(argv[1]) : 100000000;
    const QString which = argc > 2 ? QString::fromLocal8Bit(argv[2]) : u"both"_s;
    const bool firstOnly = argc > 3 && QByteArray(argv[3]) == "first";
    const bool indexedOnly = argc > 3 && QByteArray(argv[3]) == "indexed";
    const qint64 distinctCount = std::max<qint64>(1, rowCount / 20);
    const QByteArray n = QByteArray::number(rowCount);
    const QByteArray d = QByteArray::number(distinctCount);
    condora::RecordingUserInteraction ui;

    if (which != u"postgresql") {
        QTemporaryDir dir;
        const QByteArray path = dir.filePath(u"huge.db"_s).toUtf8();
        QElapsedTimer made;
        made.start();
        {
            const auto db = condora::bench::openDb(path);
            condora::bench::exec(db.get(), "pragma journal_mode = off; pragma synchronous = off");
            condora::bench::exec(db.get(), "create table h (k integer primary key, v varchar(40), u varchar(40))");
            condora::bench::exec(db.get(),
                                 ("insert into h with recursive n(i) as (select 1 union all select i + 1 from n where "
                                  "i < " + n + ") select i, 'name ' || (i * 7919 % " + d + "), 'name ' || (i * 7919 % "
                                  + d + ") from n").constData());
            condora::bench::exec(db.get(), "create index h_v on h (v)");
        }
        std::printf("SQLite: %lld rows made in %.1f s\n\n", rowCount, ms(made.nsecsElapsed()) / 1000);
        const auto engineDb = condora::bench::openDb(path);
        auto connection = std::make_shared<condora::ado::Connection>();
        connection->Open(u"Provider=SQLite;Data Source="_s + QString::fromUtf8(path));
        sqlite3 *handle = engineDb.get();
        sqlite3_create_function_v2(handle, "condora_fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, fold,
                                   nullptr, nullptr, nullptr);
        measure("SQLite", connection, condora::DbProduct::Sqlite, rowCount,
                [handle](const QByteArray &query) { return sqliteAll(handle, query); }, firstOnly, indexedOnly);
    }

    if (which == u"sqlite") {
    } else if (!condora::bench::pgServerNamed()) {
        std::printf("PostgreSQL: skipped, no server named (CONDORA_TEST_PG_HOST, _PORT, _USER, _PASSWORD, as "
                    "tools/pgtest.sh start DIR prints them)\n");
    } else {
        using condora::bench::openPgDatabase;
        const auto admin = [](const QString &statement) {
            QSqlDatabase db = openPgDatabase(u"admin"_s, u"postgres"_s);
            QSqlQuery(db).exec(statement);
            db.close();
        };
        admin(u"drop database if exists condora_benchhuge with (force)"_s);
        admin(u"create database condora_benchhuge encoding 'UTF8' template template0"_s);
        QSqlDatabase::removeDatabase(u"admin"_s);
        {
            QSqlDatabase engineDb = openPgDatabase(u"engine"_s, u"condora_benchhuge"_s);
            // The picker reads through cursors, which the server never runs in parallel: the engine
            // runs without parallel workers too (a parallel DISTINCT that spills its hash to disk
            // took minutes on the 2-core machine these figures come from).
            QSqlQuery(engineDb).exec(u"set max_parallel_workers_per_gather = 0"_s);
            QElapsedTimer made;
            made.start();
            for (const QString &statement :
                 {u"create table h as select i as k, 'name ' || (i * 7919 %% %2) as v, 'name ' || (i * 7919 %% %2) "
                  u"as u from generate_series(1, %1::bigint) i"_s.arg(rowCount).arg(distinctCount).replace(u"%%"_s, u"%"_s),
                  u"create index h_v on h (v)"_s, u"vacuum analyze h"_s}) {
                QSqlQuery setup(engineDb);
                if (!setup.exec(statement)) {
                    std::fprintf(stderr, "%s: %s\n", qPrintable(statement), qPrintable(setup.lastError().text()));
                    return 1;
                }
            }
            std::printf("PostgreSQL: %lld rows made in %.1f s\n\n", rowCount, ms(made.nsecsElapsed()) / 1000);
            auto connection = std::make_shared<condora::ado::Connection>();
            connection->Open(condora::bench::pgConnectionString(u"condora_benchhuge"_s));
            const Engine engine = [&engineDb](const QByteArray &query) { return pgAll(engineDb, query); };
            measure("PostgreSQL", connection, condora::DbProduct::PostgreSql, rowCount, engine, firstOnly, indexedOnly);
            if (!firstOnly && !indexedOnly) {
                measureTrigram(connection, engine, [&engineDb](const QString &statement) {
                    QSqlQuery setup(engineDb);
                    if (!setup.exec(statement)) {
                        std::fprintf(stderr, "%s: %s\n", qPrintable(statement),
                                     qPrintable(setup.lastError().text()));
                        std::exit(1);
                    }
                });
            }
            connection->Close();
            engineDb.close();
        }
        QSqlDatabase::removeDatabase(u"engine"_s);
        admin(u"drop database if exists condora_benchhuge with (force)"_s);
        QSqlDatabase::removeDatabase(u"admin"_s);
    }
    if (!ui.texts().isEmpty()) {
        std::printf("\nmessages shown: %s\n", qPrintable(ui.texts().join(u" | "_s)));
        return 1;
    }
    return 0;
}
