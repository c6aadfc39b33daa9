// Opens the value picker on a column with 100,000 distinct values in a 1,000,000-row SQLite
// table and measures the time from showing the window to the first paint of its value rows,
// next to the sqlite3 engine's own time for the same DISTINCT statement (to its first row and
// to its last row), measured in the same run.
//
// A second figure opens the picker as it opens for an Access/Jet connection (database kind
// "3"): a client cursor fetches every value, and the picker copies them row by row.
//
// Usage: bench_picker [rows] [distinct values]   (defaults 1000000 and 100000)

#include "analysis/queryrun.h"
#include "dialog/frmcondora.h"
#include "dialog/frmgetvalue.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/userinteraction.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTableView>
#include <QTemporaryDir>

#include "support/sqlitebaseline.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

using condora::bench::Db;
using condora::bench::exec;
using condora::bench::openDb;
using condora::bench::Stmt;

double ms(qint64 nanoseconds)
{
    return double(nanoseconds) / 1e6;
}

struct Baseline
{
    double firstRowMs = 1e300;
    double allRowsMs = 1e300;
    qint64 rows = 0;
};

/// The engine alone on an open database: prepare, step to the first row, then read every row.
void sqliteBaseline(const QByteArray &path, const QByteArray &query, Baseline &best)
{
    // The picker runs on an open connection; so does the engine: the file is opened first.
    const Db db = openDb(path);
    QElapsedTimer timer;
    timer.start();
    sqlite3_stmt *raw = nullptr;
    sqlite3_prepare_v2(db.get(), query.constData(), -1, &raw, nullptr);
    const Stmt stmt(raw);
    qint64 rows = 0;
    qint64 checksum = 0;
    int rc = sqlite3_step(stmt.get());
    best.firstRowMs = std::min(best.firstRowMs, ms(timer.nsecsElapsed()));
    while (rc == SQLITE_ROW) {
        ++rows;
        const unsigned char *text = sqlite3_column_text(stmt.get(), 0);
        checksum += text ? text[0] : 0;
        rc = sqlite3_step(stmt.get());
    }
    best.allRowsMs = std::min(best.allRowsMs, ms(timer.nsecsElapsed()));
    best.rows = rows;
    if (checksum == 42) {
        std::printf(" ");
    }
}

/// Notes the first paint of the grid's cells after the picker has loaded its values.
class PaintWatch : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            painted = true;
        }
        return QObject::eventFilter(watched, event);
    }
};

struct PickerRun
{
    double paintedMs = 0;
    int rowsShown = 0;
    QString firstValue;
};

/// Creates the picker for catalog entry 1, shows it and waits for its first painted rows.
PickerRun openPicker(const condora::QueryRun &state, condora::frmCondora &owner)
{
    PickerRun run;
    QElapsedTimer timer;
    timer.start();
    condora::frmGetValue picker(state, &owner);
    picker.setHeadTitle(u"v"_s);
    picker.setP_colIndex(u"1"_s);
    auto *grid = picker.findChild<condora::FlexGrid *>(u"MSFlexGrid1"_s);
    PaintWatch watch;
    grid->view()->viewport()->installEventFilter(&watch);
    picker.show();
    while (!watch.painted) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    run.paintedMs = ms(timer.nsecsElapsed());
    run.rowsShown = grid->Rows() - 1;
    run.firstValue = grid->TextMatrix(1, 0);
    picker.close();
    return run;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    const int rowCount = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int distinctCount = argc > 2 ? std::atoi(argv[2]) : 100000;

    QTemporaryDir dir;
    const QByteArray path = dir.filePath(u"bench.db"_s).toUtf8();
    {
        QElapsedTimer timer;
        timer.start();
        const Db db = openDb(path);
        exec(db.get(), "create table t (id integer primary key, v varchar(40), qty integer)");
        const QByteArray fill = "with recursive n(i) as (select 1 union all select i + 1 from n where i < "
                                + QByteArray::number(rowCount) + ") insert into t select i, 'value ' || (i % "
                                + QByteArray::number(distinctCount) + "), i % 97 from n";
        exec(db.get(), fill.constData());
        std::printf("generated %d rows, %d distinct values in column v, in %.0f ms\n", rowCount, distinctCount,
                    ms(timer.nsecsElapsed()));
    }

    condora::ColumnInfo column;
    column.colExpr = u"v"_s;
    column.colName = u"v"_s;
    column.tabName = u"t"_s;
    column.tabAlias = u"t"_s;
    column.typeCode = condora::ado::adVarWChar;
    column.typeClass = condora::TypeClass::String;
    const QByteArray query = condora::valueListSql(column).toUtf8();

    auto connection = std::make_shared<condora::ado::Connection>();
    connection->Open(u"Provider=SQLite;Data Source="_s + QString::fromUtf8(path));
    condora::QueryRun state;
    state.connection = connection;
    state.savedCursorLocation = connection->CursorLocation();
    state.dbKind = condora::DbKind::Other;
    state.fieldCatalog = {condora::ColumnInfo(), column};
    // Message boxes and the pointer go to the recording service: nothing waits on a user.
    condora::RecordingUserInteraction ui;

    constexpr int Trials = 3;
    Baseline engine;
    sqliteBaseline(path, query, engine); // warms the file cache the same way for every measurement
    engine = Baseline();
    for (int trial = 0; trial < Trials; ++trial) {
        sqliteBaseline(path, query, engine);
    }
    std::printf("\nbaseline, sqlite3 C API, \"%s\" (best of %d):\n", query.constData(), Trials);
    std::printf("  time to first row    %9.2f ms\n", engine.firstRowMs);
    std::printf("  time to all %lld rows %9.2f ms\n", engine.rows, engine.allRowsMs);

    condora::frmCondora owner(state);
    openPicker(state, owner); // warm-up: fonts, styles, the statement cache
    double best = 1e300;
    PickerRun shown;
    for (int trial = 0; trial < Trials; ++trial) {
        const PickerRun run = openPicker(state, owner);
        if (run.paintedMs < best) {
            best = run.paintedMs;
            shown = run;
        }
    }
    // The picker's statement alone through the data layer, to its first row.
    double openBest = 1e300;
    for (int trial = 0; trial < Trials; ++trial) {
        QElapsedTimer timer;
        timer.start();
        condora::ado::Recordset values;
        values.Open(QString::fromUtf8(query), connection);
        const QString first = values.Fields().Item(0).Value().toString();
        openBest = std::min(openBest, ms(timer.nsecsElapsed()));
        if (first.isEmpty()) {
            std::printf("the statement gave no first value\n");
            return 1;
        }
    }
    std::printf("\nthe picker's statement through Recordset.Open to its first row, best of %d:\n", Trials);
    std::printf("  first row %9.2f ms\n", openBest);
    std::printf("  ratio to the engine's time to first row   %6.2f\n", openBest / engine.firstRowMs);

    std::printf("\nvalue picker, server cursor (bound lazily), best of %d:\n", Trials);
    std::printf("  open to first painted rows %9.2f ms  (%d rows fetched so far, first \"%s\")\n", best,
                shown.rowsShown, qPrintable(shown.firstValue));
    std::printf("  ratio to the engine's time for all rows   %6.2f\n", best / engine.allRowsMs);
    std::printf("  ratio to the engine's time to first row   %6.2f\n", best / engine.firstRowMs);

    state.dbKind = condora::DbKind::Access;
    const PickerRun client = openPicker(state, owner);
    std::printf("\nvalue picker, client cursor (database kind \"3\"), every row fetched at open and shown in place, "
                "one run:\n");
    std::printf("  open to first painted rows %9.2f ms  (%d rows, %d event-loop yields)\n", client.paintedMs,
                client.rowsShown, ui.processEventsCount());
    std::printf("  ratio to the engine's time for all rows   %6.2f\n", client.paintedMs / engine.allRowsMs);
    if (!ui.texts().isEmpty()) {
        std::printf("\nmessages shown: %s\n", qPrintable(ui.texts().join(u" | "_s)));
        return 1;
    }
    return 0;
}
