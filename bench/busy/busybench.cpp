// What the busy state costs while a statement runs.
//
//   bench_busy [ROWS]     (default 1000000: the rows the long statement counts and the fetch reads)
//
// 1. A long statement (a recursive series of ROWS numbers, summed) through Recordset::Open with a
//    BusyActivity on the connection, against the same through Recordset::Open without one and
//    against sqlite3 alone; with the activity also the largest gap between the window's events.
// 2. Fetching ROWS rows through the data layer with and without the activity, against sqlite3.
//    The same statements through a run's own connection (a read-only copy on a worker thread,
//    the GUI thread waiting outside the database call), and Escape's stop there.
// 3. The picker's sort of 150,000 text values on a worker thread (BusyActivity::runAside) against
//    the same sort in place, and the largest gap between the window's events meanwhile.

#include "support/sqlitebaseline.h"

#include "dialog/busyactivity.h"
#include "dialog/valuesort.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/ado/runconnection.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;
using namespace condora;

namespace {

/// Timer ticks on the GUI thread, to find the longest time without events.
struct Ticks
{
    QElapsedTimer clock;
    QTimer timer;
    qint64 last = 0;
    qint64 largest = 0;
    Ticks()
    {
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] { note(); });
    }
    void start()
    {
        clock.start();
        last = 0;
        largest = 0;
        timer.start();
    }
    void note()
    {
        largest = std::max(largest, clock.elapsed() - last);
        last = clock.elapsed();
    }
    qint64 stop()
    {
        note();
        timer.stop();
        return largest;
    }
};

template<typename Work>
double bestMs(int repeat, Work &&work)
{
    double best = 1e300;
    for (int i = 0; i < repeat; ++i) {
        QElapsedTimer clock;
        clock.start();
        work();
        best = std::min(best, clock.nsecsElapsed() / 1e6);
    }
    return best;
}

void line(const char *what, double ms, const char *baseline, double baseMs)
{
    std::printf("%-62s %10.1f ms   %-34s %10.1f ms   ratio %.2fx\n", what, ms, baseline, baseMs, ms / baseMs);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir;
    const QString path = dir.filePath(u"busy.db"_s);
    {
        const bench::Db db = bench::openDb(path.toUtf8());
        bench::exec(db.get(), "create table t(a integer, b text)");
        const QByteArray fill = QByteArray("with recursive c(x) as (select 1 union all select x + 1 from c where x < ")
                                + QByteArray::number(rows) + ") insert into t select x, printf('v%07d', x) from c";
        bench::exec(db.get(), fill.constData());
    }
    const QString sum = u"with recursive c(x) as (select 1 union all select x + 1 from c where x < %1) "
                        u"select sum(x) from c"_s.arg(rows);
    const QString all = u"select a, b from t"_s;

    ado::Connection connection;
    connection.Open(u"Provider=SQLite;Data Source="_s + path);
    BusyActivity busy;
    Ticks ticks;
    const auto openAndRead = [&connection](const QString &sql) {
        ado::Recordset rs;
        rs.Open(sql, connection);
        while (!rs.Eof()) {
            rs.MoveNext();
        }
    };
    const auto sqliteAlone = [&path](const QString &sql) {
        const bench::Db db = bench::openDb(path.toUtf8());
        sqlite3_stmt *raw = nullptr;
        sqlite3_prepare_v2(db.get(), sql.toUtf8().constData(), -1, &raw, nullptr);
        const bench::Stmt statement(raw);
        while (sqlite3_step(raw) == SQLITE_ROW) {
        }
    };

    // A run's own connection: the same statements on the worker thread, the GUI thread waiting.
    const auto host = std::make_shared<ado::Connection>();
    host->Open(u"Provider=SQLite;Data Source="_s + path);
    const std::shared_ptr<ado::Connection> run = ado::runConnection(host, all);
    const auto openAndReadOnRun = [&run](const QString &sql) {
        ado::Recordset rs;
        rs.Open(sql, *run);
        while (!rs.Eof()) {
            rs.MoveNext();
        }
    };

    for (const auto &[name, sql] : {std::pair{"long statement (recursive series, summed)", sum},
                                    std::pair{"fetch of every row", all}}) {
        const double engine = bestMs(3, [&] { sqliteAlone(sql); });
        const double plain = bestMs(3, [&] { openAndRead(sql); });
        connection.setStatementActivity(&busy);
        ticks.start();
        const double watched = bestMs(3, [&] { openAndRead(sql); });
        const qint64 gap = ticks.stop();
        connection.setStatementActivity(nullptr);
        run->setStatementActivity(&busy);
        ticks.start();
        const double aside = bestMs(3, [&] { openAndReadOnRun(sql); });
        const qint64 asideGap = ticks.stop();
        run->setStatementActivity(nullptr);
        std::printf("%s, %d rows\n", name, rows);
        line("  data layer with the busy activity", watched, "data layer without it:", plain);
        line("  data layer with the busy activity", watched, "sqlite3 alone:", engine);
        std::printf("  largest gap between the window's events: %lld ms (without the activity: the whole statement)\n",
                    static_cast<long long>(gap));
        line("  run's own connection (worker thread), busy activity", aside, "sqlite3 alone:", engine);
        std::printf("  largest gap between the window's events there: %lld ms\n", static_cast<long long>(asideGap));
    }

    // Cancel on the run's own connection: from the press to the statement stopped on the worker.
    {
        run->setStatementActivity(&busy);
        QElapsedTimer clock;
        qint64 pressedAt = -1;
        QTimer::singleShot(200, [&] {
            pressedAt = clock.elapsed();
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QWidget target;
            QApplication::sendEvent(&target, &escape);
        });
        clock.start();
        try {
            openAndReadOnRun(u"with recursive c(x) as (select 1 union all select x + 1 from c where x < 1000000000) "
                             u"select sum(x) from c"_s);
        } catch (...) {
        }
        const qint64 stoppedAt = clock.elapsed();
        run->setStatementActivity(nullptr);
        std::printf("cancel on the run's own connection (Escape during a long statement): stopped %lld ms after the key\n",
                    static_cast<long long>(stoppedAt - pressedAt));
    }

    // The picker's sort: 150,000 values read into the data layer, sorted by the user's collation.
    ado::Recordset values;
    connection.setCursorLocation(ado::adUseClient);
    values.Open(u"select b from t where a <= 150000 order by a * 7919 % 150000"_s, connection);
    const std::shared_ptr<ado::RowSource> source = values.rowSource();
    QList<int> order;
    const double inPlace = bestMs(3, [&] { order = sortedRows(*source, 0, ValueSortKind::Text, true); });
    ticks.start();
    const double aside = bestMs(3, [&] {
        busy.runAside([&] { order = sortedRows(*source, 0, ValueSortKind::Text, true); });
    });
    const qint64 gap = ticks.stop();
    std::printf("picker sort, %d text values\n", source->fetchedCount());
    line("  on a worker thread (runAside), wall clock", aside, "in place on the GUI thread:", inPlace);
    std::printf("  largest gap between the window's events: %lld ms (in place: the whole sort)\n",
                static_cast<long long>(gap));
    return 0;
}
