// Shows a 1,000,000-row result (a text column with 100,000 distinct values) in a flex grid
// through the demo host's MSGridShowInfo, the way the demo shows what GetQueryResult returns,
// and measures the time to the first painted screen, the time to all rows and the peak memory,
// next to the sqlite3 engine running the same query in the same run (time to its first row, to
// its last row, and its own peak memory).
//
// Two paths, as the record count decides:
//   server cursor  the connection's default: RecordCount is -1, so the grid is bound to the
//                  recordset and fetches rows as they are shown;
//   client cursor  as for an Access/Jet connection: every row is fetched at open, RecordCount
//                  is exact (2048 or more), so MSGridShowInfo lays the rows out as its copy by
//                  hand did, sharing the recordset's rows with the grid (FlexGrid::showRows).
// As in the demo window, the grid is on screen before it is filled. Every measurement runs in a
// child process of its own so that each peak memory figure (VmHWM) belongs to that measurement
// alone. Times are given by the wall clock and as the main thread's CPU time, which the other
// processes of a shared machine do not inflate.
//
// A third measurement sorts the statement on the unindexed name column, so that the engine too
// reads every row before its first one.
//
// Usage: bench_showinfo [rows] [distinct values] [client-cursor rows]
//        (defaults 1000000, 100000 and the same number of rows; 0 skips the client cursor)

#include "demo/msgridshowinfo.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/userinteraction.h"

#include "support/processmemory.h"

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QPixmap>
#include <QProcess>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const char *const Query = "select id, name, price, qty, created from t";
// The same result sorted on a column without an index, as result statements usually are: the
// engine reads and sorts every row before it hands over the first.
const char *const Ordering = " order by name";

/// Set in the children measuring the sorted statement ("--ordered").
bool ordered = false;

QByteArray measuredQuery()
{
    return QByteArray(Query) + (ordered ? Ordering : "");
}

double ms(qint64 nanoseconds)
{
    return double(nanoseconds) / 1e6;
}

/// CPU time of the calling thread. On a shared machine the wall clock also counts the time
/// other processes held the cores; the thread's own CPU time does not.
double cpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

using condora::bench::statusBytes;

/// Children report "RESULT key value" lines to the parent.
void result(const char *key, double value)
{
    std::printf("RESULT %s %.6f\n", key, value);
    std::fflush(stdout);
}

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "bench_showinfo: %s\n", what);
    std::exit(1);
}

void generate(const QByteArray &path, int rows, int distinct)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.constData(), &db) != SQLITE_OK) {
        fail("cannot create the database");
    }
    const QByteArray fill = "create table t (id integer primary key, name varchar(40), price double, qty integer, "
                            "created date); "
                            "with recursive n(i) as (select 1 union all select i + 1 from n where i < "
        + QByteArray::number(rows) + ") insert into t select i, 'customer ' || (i % " + QByteArray::number(distinct)
        + "), i * 0.25, i % 97, date('2001-01-01', '+' || (i % 3650) || ' days') from n";
    char *error = nullptr;
    if (sqlite3_exec(db, fill.constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        fail(error);
    }
    sqlite3_close(db);
}

/// The engine alone: prepare, step to the first row, then read every column of every row.
int engineChild(const QByteArray &path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        fail("cannot open the database");
    }
    // The query run's probes have read the schema before the result is opened; so here.
    sqlite3_stmt *statement = nullptr;
    sqlite3_prepare_v2(db, "select id from t where 1=0", -1, &statement, nullptr);
    sqlite3_step(statement);
    sqlite3_finalize(statement);

    const qint64 rssStart = statusBytes("VmRSS");
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = cpuMs();
    sqlite3_prepare_v2(db, measuredQuery().constData(), -1, &statement, nullptr);
    int rc = sqlite3_step(statement);
    const double firstRowMs = ms(timer.nsecsElapsed());
    const double firstRowCpuMs = cpuMs() - cpuStart;
    qint64 rows = 0;
    qint64 checksum = 0;
    while (rc == SQLITE_ROW) {
        ++rows;
        for (int col = 0; col < 5; ++col) {
            const unsigned char *text = sqlite3_column_text(statement, col);
            checksum += text ? text[0] : 0;
        }
        rc = sqlite3_step(statement);
    }
    const double allRowsMs = ms(timer.nsecsElapsed());
    const double allRowsCpuMs = cpuMs() - cpuStart;
    result("first_row_ms", firstRowMs);
    result("first_row_cpu_ms", firstRowCpuMs);
    result("all_rows_ms", allRowsMs);
    result("all_rows_cpu_ms", allRowsCpuMs);
    result("rows", double(rows));
    result("peak_mb", double(statusBytes("VmHWM") - rssStart) / 1e6);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return checksum == 42 ? 2 : 0;
}

/// The demo's way: open the query's recordset on the connection, show it with MSGridShowInfo
/// in a grid of the demo window's size, paint the first screen, then (for a bound grid) fetch
/// the rest.
int gridChild(int argc, char **argv, const QString &path, bool clientCursor, int expectedRows)
{
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    condora::RecordingUserInteraction ui; // processEvents and message boxes without a user

    auto connection = std::make_shared<condora::ado::Connection>();
    connection->Open(u"Provider=SQLite;Data Source="_s + path);
    if (clientCursor) {
        connection->setCursorLocation(condora::ado::adUseClient);
    }
    // In the demo the result grid is already on screen, and the query run's probes have read
    // the schema, before MSGridShowInfo fills the grid: so here, outside the measurement.
    condora::FlexGrid grid;
    grid.resize(485, 213); // MSHFlexGrid1 of the demo window: 7275 x 3195 twips
    grid.show();
    grid.grab();
    {
        condora::ado::Recordset probe;
        probe.Open(QString::fromLatin1(Query) + u" where 1=0"_s, connection);
        probe.Close();
    }
    const qint64 rssStart = statusBytes("VmRSS");

    QElapsedTimer timer;
    timer.start();
    const double cpuStart = cpuMs();
    condora::ado::Recordset recordset;
    recordset.Open(QString::fromLatin1(measuredQuery()), connection);
    const double openMs = ms(timer.nsecsElapsed());
    condora::MSGridShowInfo(grid, recordset);
    const double showInfoMs = ms(timer.nsecsElapsed());
    const QPixmap firstScreen = grid.grab(); // paints the first screen now
    const double firstScreenMs = ms(timer.nsecsElapsed());
    const double firstScreenCpuMs = cpuMs() - cpuStart;
    const double peakFirstScreen = double(statusBytes("VmHWM") - rssStart) / 1e6;
    const int rowsAtFirstScreen = grid.Rows() - 1;
    const bool firstRowRight = ordered ? grid.TextMatrix(1, 1) == u"customer 0"_s
                                       : grid.TextMatrix(1, 0) == u"1"_s && grid.TextMatrix(1, 1) == u"customer 1"_s;
    if (!firstRowRight) {
        fail("the first row is wrong");
    }

    grid.fetchAll();
    const double allRowsMs = ms(timer.nsecsElapsed());
    const double allRowsCpuMs = cpuMs() - cpuStart;
    const double peakAllRows = double(statusBytes("VmHWM") - rssStart) / 1e6;
    if (grid.Rows() - 1 != expectedRows
        || (!ordered && grid.TextMatrix(grid.Rows() - 1, 0) != QString::number(expectedRows))) {
        fail("the grid does not end with the last row");
    }
    Q_UNUSED(firstScreen);

    // The next result, as when the user runs another query: a grid set up like the first, but
    // fonts, glyphs and the statement machinery are warm now.
    recordset.Close();
    condora::FlexGrid nextGrid;
    nextGrid.resize(485, 213);
    nextGrid.show();
    nextGrid.grab();
    QElapsedTimer again;
    again.start();
    const double againCpuStart = cpuMs();
    condora::ado::Recordset next;
    next.Open(QString::fromLatin1(measuredQuery()), connection);
    condora::MSGridShowInfo(nextGrid, next);
    const QPixmap nextScreen = nextGrid.grab();
    const double warmFirstScreenMs = ms(again.nsecsElapsed());
    const double warmFirstScreenCpuMs = cpuMs() - againCpuStart;
    Q_UNUSED(nextScreen);

    // One bare QTableView painting a screen of the same five columns (a model already filled,
    // the view already on screen), now that fonts and glyphs are warm.
    QStandardItemModel bareModel(64, 5);
    for (int r = 0; r < 64; ++r) {
        for (int c = 0; c < 5; ++c) {
            bareModel.setItem(r, c, new QStandardItem(nextGrid.TextMatrix(std::min(r + 1, nextGrid.Rows() - 1), c)));
        }
    }
    QTableView bare;
    bare.resize(485, 213);
    bare.show();
    bare.grab();
    QElapsedTimer bareTimer;
    bareTimer.start();
    bare.setModel(&bareModel);
    const QPixmap bareScreen = bare.grab();
    const double barePaintMs = ms(bareTimer.nsecsElapsed());
    Q_UNUSED(bareScreen);

    result("warm_bare_paint_ms", barePaintMs);
    result("open_ms", openMs);
    result("showinfo_ms", showInfoMs);
    result("first_screen_ms", firstScreenMs);
    result("first_screen_cpu_ms", firstScreenCpuMs);
    result("all_rows_cpu_ms", allRowsCpuMs);
    result("rows_at_first_screen", rowsAtFirstScreen);
    result("peak_first_screen_mb", peakFirstScreen);
    result("all_rows_ms", allRowsMs);
    result("peak_all_rows_mb", peakAllRows);
    result("warm_first_screen_ms", warmFirstScreenMs);
    result("warm_first_screen_cpu_ms", warmFirstScreenCpuMs);
    return 0;
}

/// A bare QTableView's first screen in a fresh process, set up as gridChild() sets up the grid
/// (on screen and painted once, empty): a model of the same five columns of texts, filled
/// beforehand, is set and painted. What any table costs to show its first rows here.
int bareChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    QTableView view;
    view.resize(485, 213);
    view.show();
    view.grab();
    QStandardItemModel model(64, 5);
    for (int r = 0; r < 64; ++r) {
        const int i = r + 1;
        const QStringList texts{QString::number(i), u"customer "_s + QString::number(i), QString::number(i * 0.25),
                                QString::number(i % 97), QDate(2001, 1, 1).addDays(i).toString(Qt::ISODate)};
        for (int c = 0; c < 5; ++c) {
            model.setItem(r, c, new QStandardItem(texts.at(c)));
        }
    }
    QElapsedTimer timer;
    timer.start();
    view.setModel(&model);
    const QPixmap screen = view.grab();
    result("bare_paint_ms", ms(timer.nsecsElapsed()));
    Q_UNUSED(screen);
    return 0;
}

using Results = QHash<QByteArray, double>;

/// Runs this program as a child for one measurement and collects its RESULT lines.
Results runChild(const QStringList &arguments)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        std::fprintf(stderr, "bench_showinfo: the measurement %s failed:\n%s\n", qPrintable(arguments.join(u' ')),
                     child.readAllStandardError().constData());
        std::exit(1);
    }
    Results results;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 3 && parts.at(0) == "RESULT") {
            results.insert(parts.at(1), parts.at(2).toDouble());
        }
    }
    return results;
}

/// The best of `trials` runs, figure by figure (the machine is shared; the minimum is the
/// least disturbed run).
Results bestOf(int trials, const QStringList &arguments)
{
    Results best;
    for (int t = 0; t < trials; ++t) {
        const Results run = runChild(arguments);
        for (auto it = run.cbegin(); it != run.cend(); ++it) {
            best[it.key()] = best.contains(it.key()) ? std::min(best[it.key()], it.value()) : it.value();
        }
    }
    return best;
}

void line(const char *what, double value, const char *unit, double baseline, const char *against)
{
    std::printf("  %-39s %11.2f %-3s  ratio %9.2fx  against %s\n", what, value, unit, value / baseline, against);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ordered = qstrcmp(argv[argc - 1], "--ordered") == 0;
    if (argc >= 2 && qstrcmp(argv[1], "--bare") == 0) {
        return bareChild(argc, argv);
    }
    if (argc >= 4 && qstrcmp(argv[1], "--engine") == 0) {
        return engineChild(argv[2]);
    }
    if (argc >= 5 && (qstrcmp(argv[1], "--server") == 0 || qstrcmp(argv[1], "--client") == 0)) {
        return gridChild(argc, argv, QString::fromLocal8Bit(argv[2]), qstrcmp(argv[1], "--client") == 0,
                         std::atoi(argv[3]));
    }

    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000000;
    const int distinct = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100000;
    const int clientRows = argc > 3 ? std::max(0, std::atoi(argv[3])) : rows;

    QTemporaryDir dir;
    const QByteArray path = dir.filePath(u"showinfo.db"_s).toLocal8Bit();
    QElapsedTimer timer;
    timer.start();
    generate(path, rows, distinct);
    std::printf("bench_showinfo: MSGridShowInfo on \"%s\", %d rows, %d distinct names; generated in %.0f ms\n",
                Query, rows, distinct, ms(timer.nsecsElapsed()));
    QByteArray clientPath = path;
    if (clientRows > 0 && clientRows != rows) {
        clientPath = dir.filePath(u"client.db"_s).toLocal8Bit();
        generate(clientPath, clientRows, std::min(distinct, clientRows));
    }

    const QString pathText = QString::fromLocal8Bit(path);
    runChild({u"--engine"_s, pathText, u"warm"_s}); // the file cache, warmed the same way for all
    constexpr int Trials = 5;
    const Results engine = bestOf(Trials, {u"--engine"_s, pathText, u"-"_s});
    std::printf("\nbaseline, sqlite3 C API (best of %d): first row %.3f ms (CPU %.3f ms), all %.0f rows %.1f ms "
                "(CPU %.1f ms), peak memory +%.1f MB\n",
                Trials, engine["first_row_ms"], engine["first_row_cpu_ms"], engine["rows"], engine["all_rows_ms"],
                engine["all_rows_cpu_ms"], engine["peak_mb"]);

    const Results server = bestOf(Trials, {u"--server"_s, pathText, QString::number(rows), u"-"_s});
    const Results bare = bestOf(Trials, {u"--bare"_s});
    std::printf("\nserver cursor (RecordCount -1: the grid is bound and fetches as it shows; best of %d, times "
                "cumulative from Recordset.Open):\n",
                Trials);
    line("server: first screen, wall clock", server["first_screen_ms"], "ms", engine["first_row_ms"],
         "the engine's first row");
    line("server: first screen, CPU", server["first_screen_cpu_ms"], "ms", engine["first_row_cpu_ms"],
         "the engine's first row, CPU");
    std::printf("    (Recordset.Open %.2f ms, + MSGridShowInfo %.2f ms, + paint; %.0f rows fetched)\n",
                server["open_ms"], server["showinfo_ms"], server["rows_at_first_screen"]);
    line("server: first row, Recordset.Open", server["open_ms"], "ms", engine["first_row_ms"],
         "the engine's first row");
    line("server: first screen vs row + paint", server["first_screen_ms"], "ms",
         engine["first_row_ms"] + bare["bare_paint_ms"], "the engine's first row + a bare QTableView's first screen");
    line("server: next screen vs row + paint", server["warm_first_screen_ms"], "ms",
         engine["first_row_ms"] + server["warm_bare_paint_ms"],
         "the engine's first row + a bare QTableView paint, warm");
    line("server: next result's first screen", server["warm_first_screen_ms"], "ms", engine["first_row_ms"],
         "the engine's first row");
    line("server: next result's first screen, CPU", server["warm_first_screen_cpu_ms"], "ms",
         engine["first_row_cpu_ms"], "the engine's first row, CPU");
    line("server: all rows, wall clock", server["all_rows_ms"], "ms", engine["all_rows_ms"], "the engine's all rows");
    line("server: all rows, CPU", server["all_rows_cpu_ms"], "ms", engine["all_rows_cpu_ms"],
         "the engine's all rows, CPU");
    line("server: peak memory, first screen", server["peak_first_screen_mb"], "MB", engine["peak_mb"],
         "the engine's peak");
    line("server: peak memory, all rows", server["peak_all_rows_mb"], "MB", engine["peak_mb"], "the engine's peak");
    std::printf("    (%.0f bytes per row fetched; first screen holds %.2f%% of the all-rows peak)\n",
                server["peak_all_rows_mb"] * 1e6 / rows,
                100.0 * server["peak_first_screen_mb"] / server["peak_all_rows_mb"]);

    {
        // The sorted statement: the engine does all its reading before the first row, and so
        // does the grid, which then adds only its own first screen.
        constexpr int SortedTrials = 3;
        const Results sortedEngine = bestOf(SortedTrials, {u"--engine"_s, pathText, u"-"_s, u"--ordered"_s});
        const Results sorted =
            bestOf(SortedTrials, {u"--server"_s, pathText, QString::number(rows), u"-"_s, u"--ordered"_s});
        std::printf("\nthe same statement%s (server cursor, best of %d): engine first row %.1f ms, all rows %.1f ms\n",
                    Ordering, SortedTrials, sortedEngine["first_row_ms"], sortedEngine["all_rows_ms"]);
        line("sorted: first screen, wall clock", sorted["first_screen_ms"], "ms", sortedEngine["first_row_ms"],
             "the engine's first row");
        line("sorted: first screen vs row + paint", sorted["first_screen_ms"], "ms",
             sortedEngine["first_row_ms"] + bare["bare_paint_ms"], "the engine's first row + a bare first screen");
        line("sorted: first screen, CPU", sorted["first_screen_cpu_ms"], "ms", sortedEngine["first_row_cpu_ms"],
             "the engine's first row, CPU");
        line("sorted: all rows, wall clock", sorted["all_rows_ms"], "ms", sortedEngine["all_rows_ms"],
             "the engine's all rows");
    }

    if (clientRows > 0) {
        const QString clientText = QString::fromLocal8Bit(clientPath);
        Results clientEngine = engine;
        if (clientRows != rows) {
            runChild({u"--engine"_s, clientText, u"warm"_s});
            clientEngine = bestOf(Trials, {u"--engine"_s, clientText, u"-"_s});
        }
        const Results client = runChild({u"--client"_s, clientText, QString::number(clientRows), u"-"_s});
        std::printf("\nclient cursor, %d rows (every row fetched at open, RecordCount %d >= 2048: shown in "
                    "place; one run):\n",
                    clientRows, clientRows);
        line("client: first screen, wall clock", client["first_screen_ms"], "ms", clientEngine["first_row_ms"],
             "the engine's first row");
        line("client: first screen (= all rows)", client["first_screen_ms"], "ms", clientEngine["all_rows_ms"],
             "the engine's all rows");
        line("client: first screen (= all rows), CPU", client["first_screen_cpu_ms"], "ms",
             clientEngine["all_rows_cpu_ms"], "the engine's all rows, CPU");
        std::printf("    (Recordset.Open %.1f ms, + MSGridShowInfo %.1f ms, + paint)\n", client["open_ms"],
                    client["showinfo_ms"] - client["open_ms"]);
        line("client: peak memory", client["peak_all_rows_mb"], "MB", clientEngine["peak_mb"], "the engine's peak");
        if (clientRows == rows) {
            line("client: peak memory, to server all rows", client["peak_all_rows_mb"], "MB",
                 server["peak_all_rows_mb"], "the server cursor's all-rows peak");
        }
    }
    return 0;
}
