// Binds a 1,000,000-row SQLite result to a FlexGrid and measures the time to the first painted
// screen and the memory held as rows are fetched, next to the sqlite3 engine's own time for the
// same query (time to the first row and to all rows) measured in the same run.
//
// All rows are also set against Qt's own QSqlQueryModel reading the same query (its fetchMore
// loop, as a view fetching to the end drives it): time and peak memory, each side in a child
// process of its own so that each peak (VmHWM) belongs to that side alone; best of 3.
//
// Usage: bench_flexgrid [rows]   (default 1000000)

#include "platform/ado/connection.h"
#include "platform/ado/queryrows.h"
#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"

#include <QAbstractItemModel>
#include "support/processmemory.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTableView>
#include <QTemporaryDir>

#include "support/sqlitebaseline.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <fstream>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const char *const Query = "select id, name, price, qty, created from t";

using condora::bench::Db;
using condora::bench::exec;
using condora::bench::openDb;
using condora::bench::Stmt;

using condora::bench::residentBytes;

double ms(qint64 nanoseconds)
{
    return double(nanoseconds) / 1e6;
}

struct Baseline
{
    double firstRowMs = 0;
    double allRowsMs = 0;
    qint64 rows = 0;
};

/// The engine alone: prepare, step to the first row, then read every column of every row.
Baseline sqliteBaseline(const QByteArray &path)
{
    Baseline result;
    QElapsedTimer timer;
    timer.start();
    const Db db = openDb(path);
    sqlite3_stmt *raw = nullptr;
    sqlite3_prepare_v2(db.get(), Query, -1, &raw, nullptr);
    const Stmt stmt(raw);
    qint64 checksum = 0;
    int rc = sqlite3_step(stmt.get());
    result.firstRowMs = ms(timer.nsecsElapsed());
    while (rc == SQLITE_ROW) {
        ++result.rows;
        for (int col = 0; col < 5; ++col) {
            const unsigned char *text = sqlite3_column_text(stmt.get(), col);
            checksum += text ? text[0] : 0;
        }
        rc = sqlite3_step(stmt.get());
    }
    result.allRowsMs = ms(timer.nsecsElapsed());
    if (checksum == 42) {
        std::printf(" ");
    }
    return result;
}

using condora::bench::statusBytes;

/// One side of the all-rows comparison, in a child process: "model" (QSqlQueryModel on a
/// scrollable QSqlQuery, fetchMore until it can fetch no more) or "grid" (Recordset bound to a
/// FlexGrid, fetched to the end through the view's fetchMore). Prints "ms peak_bytes rows".
int allRowsChild(int &argc, char **argv, const char *side, const QString &path)
{
    QApplication app(argc, argv);
    const qint64 rssStart = statusBytes("VmRSS");
    QElapsedTimer timer;
    timer.start();
    int rows = 0;
    if (qstrcmp(side, "model") == 0) {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s);
        db.setDatabaseName(path);
        db.open();
        QSqlQueryModel model;
        QSqlQuery query(db);
        query.exec(QString::fromLatin1(Query));
        model.setQuery(std::move(query));
        while (model.canFetchMore()) {
            model.fetchMore();
        }
        rows = model.rowCount();
        if (model.data(model.index(rows - 1, 1)).toString() != u"customer name "_s + QString::number(rows)) {
            return 1;
        }
    } else {
        auto connection = std::make_shared<condora::ado::Connection>();
        connection->Open(u"Provider=SQLite;Data Source="_s + path);
        condora::ado::Recordset recordset;
        recordset.Open(QString::fromLatin1(Query), connection);
        condora::FlexGrid grid;
        grid.setRecordset(recordset);
        QAbstractItemModel *model = grid.view()->model();
        while (model->canFetchMore(QModelIndex())) {
            model->fetchMore(QModelIndex());
        }
        rows = grid.Rows() - 1;
        if (grid.TextMatrix(rows, 1) != u"customer name "_s + QString::number(rows)) {
            return 1;
        }
    }
    std::printf("%.3f %lld %d\n", ms(timer.nsecsElapsed()), static_cast<long long>(statusBytes("VmHWM") - rssStart),
                rows);
    return 0;
}

struct AllRows
{
    double ms = 1e300;
    double peakMb = 1e300;
    int rows = 0;
};

AllRows bestAllRows(const char *side, const QByteArray &path, int trials)
{
    AllRows best;
    for (int trial = 0; trial < trials; ++trial) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {u"--all-rows"_s, QString::fromLatin1(side), QString::fromUtf8(path)});
        if (!child.waitForFinished(-1) || child.exitCode() != 0) {
            std::fprintf(stderr, "bench_flexgrid: the %s child failed\n%s\n", side,
                         child.readAllStandardError().constData());
            std::exit(1);
        }
        const QList<QByteArray> parts = child.readAllStandardOutput().trimmed().split(' ');
        best.ms = std::min(best.ms, parts.value(0).toDouble());
        best.peakMb = std::min(best.peakMb, parts.value(1).toDouble() / 1e6);
        best.rows = parts.value(2).toInt();
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (argc == 4 && qstrcmp(argv[1], "--all-rows") == 0) {
        return allRowsChild(argc, argv, argv[2], QString::fromUtf8(argv[3]));
    }
    QApplication app(argc, argv);
    const int rowCount = argc > 1 ? std::atoi(argv[1]) : 1000000;

    QTemporaryDir dir;
    const QByteArray path = dir.filePath(u"bench.db"_s).toUtf8();
    {
        QElapsedTimer timer;
        timer.start();
        const Db db = openDb(path);
        exec(db.get(), "create table t (id integer primary key, name varchar(40), price double, qty integer, "
                       "created date)");
        const QByteArray fill = "with recursive n(i) as (select 1 union all select i + 1 from n where i < "
                                + QByteArray::number(rowCount)
                                + ") insert into t select i, 'customer name ' || i, i * 0.25, i % 97, "
                                  "date('2001-01-01', '+' || (i % 3650) || ' days') from n";
        exec(db.get(), fill.constData());
        std::printf("generated %d rows x 5 columns in %.0f ms (%s)\n", rowCount, ms(timer.nsecsElapsed()),
                    path.constData());
    }

    constexpr int Trials = 3;
    Baseline engine;
    engine.firstRowMs = engine.allRowsMs = 1e300;
    sqliteBaseline(path); // warms the file cache the same way for every measurement
    for (int trial = 0; trial < Trials; ++trial) {
        const Baseline run = sqliteBaseline(path);
        engine.firstRowMs = std::min(engine.firstRowMs, run.firstRowMs);
        engine.allRowsMs = std::min(engine.allRowsMs, run.allRowsMs);
        engine.rows = run.rows;
    }
    std::printf("\nbaseline, sqlite3 C API, \"%s\" (best of %d):\n", Query, Trials);
    std::printf("  time to first row   %9.2f ms\n", engine.firstRowMs);
    std::printf("  time to all rows    %9.2f ms  (%lld rows)\n", engine.allRowsMs, static_cast<long long>(engine.rows));

    {
        const AllRows model = bestAllRows("model", path, Trials);
        const AllRows grid = bestAllRows("grid", path, Trials);
        std::printf("\nall rows against Qt's QSqlQueryModel (fetchMore to the end; each in a child process, best of "
                    "%d):\n",
                    Trials);
        std::printf("  QSqlQueryModel            %9.2f ms  peak +%7.1f MB  (%d rows)\n", model.ms, model.peakMb,
                    model.rows);
        std::printf("  FlexGrid bound            %9.2f ms  peak +%7.1f MB  (%d rows)\n", grid.ms, grid.peakMb,
                    grid.rows);
        std::printf("  all rows, time: ratio to QSqlQueryModel %.2fx (to the engine %.2fx)\n", grid.ms / model.ms,
                    grid.ms / engine.allRowsMs);
        std::printf("  all rows, peak memory: ratio to QSqlQueryModel %.2fx\n", grid.peakMb / model.peakMb);
    }

    const QString connectionString = u"Provider=SQLite;Data Source="_s + QString::fromUtf8(path);
    const auto openConnection = [&connectionString] {
        auto connection = std::make_shared<condora::ado::Connection>();
        connection->setConnectionString(connectionString);
        connection->Open();
        return connection;
    };

    // The data layer alone: the recordset's RowSource read in the view's chunk size.
    {
        QElapsedTimer timer;
        timer.start();
        const auto connection = openConnection();
        condora::ado::Recordset recordset;
        recordset.Open(QString::fromLatin1(Query), connection);
        const auto rows = recordset.rowSource();
        while (!rows->atEnd()) {
            rows->fetchMore(256);
        }
        const double allMs = ms(timer.nsecsElapsed());
        std::printf("\ndata layer alone (Recordset + RowSource, no grid):\n");
        std::printf("  time to all rows    %9.2f ms  ratio to engine: %.2fx\n", allMs, allMs / engine.allRowsMs);
    }

    // The first grid of a process pays for the font database and the style; not counted.
    {
        condora::FlexGrid warmUp;
        warmUp.resize(800, 600);
        warmUp.show();
        warmUp.grab();
    }

    double openMs = 1e300;
    double bindMs = 1e300;
    double firstScreenMs = 1e300;
    bool firstRowRight = true;
    for (int trial = 0; trial < Trials; ++trial) {
        QElapsedTimer timer;
        timer.start();
        const auto connection = openConnection();
        condora::ado::Recordset recordset;
        recordset.Open(QString::fromLatin1(Query), connection);
        const double open = ms(timer.nsecsElapsed());
        condora::FlexGrid grid;
        grid.resize(800, 600);
        grid.setRecordset(recordset);
        const double bind = ms(timer.nsecsElapsed());
        grid.show();
        grid.grab(); // paints the first screen now
        const double firstScreen = ms(timer.nsecsElapsed());
        firstRowRight = firstRowRight && grid.TextMatrix(1, 1) == u"customer name 1"_s;
        if (firstScreen < firstScreenMs) {
            openMs = open;
            bindMs = bind;
            firstScreenMs = firstScreen;
        }
    }
    std::printf("\nFlexGrid bound to a Recordset (server cursor, lazy; best of %d, cumulative):\n", Trials);
    std::printf("  connection + Open   %9.2f ms\n", openMs);
    std::printf("  + setRecordset      %9.2f ms\n", bindMs);
    std::printf("  + first screen      %9.2f ms  (800x600 px, %s)  ratio to engine's first row: %.1fx\n",
                firstScreenMs, firstRowRight ? "row 1 correct" : "ROW 1 WRONG", firstScreenMs / engine.firstRowMs);
    std::printf("    first screen vs the engine reading all rows: %.4fx\n", firstScreenMs / engine.allRowsMs);

    const qint64 rssStart = residentBytes();
    QElapsedTimer timer;
    timer.start();
    const auto connection = openConnection();
    condora::ado::Recordset recordset;
    recordset.Open(QString::fromLatin1(Query), connection);
    condora::FlexGrid grid;
    grid.resize(800, 600);
    grid.setRecordset(recordset);
    grid.show();
    grid.grab();
    const double firstAgainMs = ms(timer.nsecsElapsed());
    std::printf("  memory at first screen: +%.2f MB resident (%d rows fetched)\n",
                double(residentBytes() - rssStart) / 1e6, grid.Rows() - 1);

    // Fetch the way the view does (one chunk per fetchMore) and watch memory grow with the rows.
    std::printf("\nmemory growth vs rows fetched (resident, from before the connection opened):\n");
    std::printf("  %10s %10s %10s %16s %16s %10s\n", "rows", "MB", "bytes/row", "row store B/row",
                "rest B/row", "fetch ms");
    const auto *store = dynamic_cast<const condora::ado::QueryRows *>(recordset.rowSource().get());
    QAbstractItemModel *model = grid.view()->model();
    QElapsedTimer fetchTimer;
    fetchTimer.start();
    const int checkpoints[] = {10000, 100000, 250000, 500000, 750000, 1000000};
    qint64 fetchNs = 0;
    for (int checkpoint : checkpoints) {
        if (checkpoint > rowCount) {
            checkpoint = rowCount;
        }
        fetchTimer.restart();
        while (grid.Rows() - 1 < checkpoint && model->canFetchMore(QModelIndex())) {
            model->fetchMore(QModelIndex());
        }
        fetchNs += fetchTimer.nsecsElapsed();
        const qint64 grown = residentBytes() - rssStart;
        const int fetched = grid.Rows() - 1;
        const double storeBytes = store ? double(store->store().bytesUsed()) : 0.0;
        std::printf("  %10d %10.1f %10.1f %16.1f %16.1f %10.1f\n", fetched, double(grown) / 1e6,
                    double(grown) / fetched, storeBytes / fetched, (double(grown) - storeBytes) / fetched,
                    ms(fetchNs));
        if (fetched >= rowCount) {
            break;
        }
    }
    const double allMs = firstAgainMs + ms(fetchNs);
    std::printf("\n  all %d rows through the grid: %.2f ms  ratio to engine's all rows: %.2fx\n", grid.Rows() - 1,
                allMs, allMs / engine.allRowsMs);

    timer.restart();
    grid.view()->scrollToBottom();
    const QPixmap lastScreen = grid.grab();
    std::printf("  scroll to the last row and paint: %.2f ms (%s)\n", ms(timer.nsecsElapsed()),
                grid.TextMatrix(grid.Rows() - 1, 0) == QString::number(rowCount) ? "last row correct"
                                                                                  : "LAST ROW WRONG");
    Q_UNUSED(lastScreen);

    // Copying rows by hand, as callers do for large results: AddItem, then TextMatrix per cell.
    {
        const int HandRows = std::min(100000, grid.Rows() - 1);
        condora::FlexGrid copy;
        copy.resize(800, 600);
        copy.show();
        copy.setCols(5);
        copy.setRows(1);
        QElapsedTimer handTimer;
        handTimer.start();
        for (int row = 1; row <= HandRows; ++row) {
            copy.AddItem(QString());
            for (int col = 0; col < 5; ++col) {
                copy.setTextMatrix(row, col, grid.TextMatrix(row, col));
            }
        }
        copy.grab();
        const double handMs = ms(handTimer.nsecsElapsed());
        std::printf("  copying %d rows by hand (AddItem + 5 TextMatrix each): %.2f ms, %.2f us per row\n",
                    HandRows, handMs, handMs * 1000.0 / HandRows);
    }
    return 0;
}
