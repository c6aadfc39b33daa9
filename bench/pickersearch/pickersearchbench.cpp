// The value picker's search and counts on SQLite, each next to the sqlite3 engine's own time for
// the very statement the picker ran (read back from the connection), measured in the same run:
//
// 1. Search: the picker lists a column of 1,000,000 distinct values; one character is typed into
//    txtSearch. Measured from the keystroke to the first paint of the narrowed rows, for the first
//    keystroke (which searches at once) and for a keystroke that follows within the 150 ms pause
//    (which waits for it), against the engine's time to the first row of the same filtered
//    DISTINCT statement (condora_fold registered on the engine's connection as well), and that
//    time plus one bare QTableView paint. A further baseline is the ASCII-only lower()/LIKE form.
//    The same for a character no value holds, where the engine reads every value to answer.
// 2. Counts: the picker opened with "Rows per value" on a 1,000,000-row table with 100,000
//    distinct values, open to first painted rows, against the engine's time to the first row of
//    the same GROUP BY statement.
//
// Usage: bench_pickersearch [rows]   (default 1000000)

#include "analysis/queryrun.h"
#include "dialog/frmgetvalue.h"
#include "dialog/valuesearch.h"
#include "platform/ado/connection.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/userinteraction.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSqlDriver>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>

#include "support/sqlitebaseline.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

using condora::bench::exec;
using condora::bench::openDb;
using condora::bench::Stmt;

constexpr int Trials = 3;

double ms(qint64 nanoseconds)
{
    return double(nanoseconds) / 1e6;
}

sqlite3 *handleOf(condora::ado::Connection &connection)
{
    return *static_cast<sqlite3 *const *>(connection.database().driver()->handle().constData());
}

/// The engine alone: prepare and step to the first row; best of Trials.
double engineFirstRow(sqlite3 *db, const QByteArray &query)
{
    double best = 1e300;
    for (int trial = 0; trial <= Trials; ++trial) { // the first run warms the cache
        QElapsedTimer timer;
        timer.start();
        sqlite3_stmt *raw = nullptr;
        if (sqlite3_prepare_v2(db, query.constData(), -1, &raw, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "%s: %s\n", query.constData(), sqlite3_errmsg(db));
            std::exit(1);
        }
        const Stmt stmt(raw);
        sqlite3_step(stmt.get());
        if (trial > 0) {
            best = std::min(best, ms(timer.nsecsElapsed()));
        }
    }
    return best;
}

/// Notes the first paint of the grid's cells after the connection ran a statement beyond `before`.
class PaintWatch : public QObject
{
public:
    PaintWatch(const condora::ado::Connection &connection, int before)
        : m_connection(connection)
        , m_before(before)
    {
    }
    bool painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && m_connection.statementCount() > m_before) {
            painted = true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const condora::ado::Connection &m_connection;
    int m_before;
};

void waitForRows(const PaintWatch &watch)
{
    while (!watch.painted) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
}

/// One paint of a plain QTableView of the picker's size showing 20 short rows, best of Trials.
double barePaint()
{
    QStandardItemModel model(20, 1);
    for (int r = 0; r < 20; ++r) {
        model.setItem(r, 0, new QStandardItem(u"Wert %1 Größe"_s.arg(r * 7)));
    }
    QTableView view;
    view.setModel(&model);
    view.resize(240, 260);
    view.show();
    QCoreApplication::processEvents();
    double best = 1e300;
    for (int trial = 0; trial <= Trials; ++trial) {
        QElapsedTimer timer;
        timer.start();
        view.viewport()->repaint();
        if (trial > 0) {
            best = std::min(best, ms(timer.nsecsElapsed()));
        }
    }
    return best;
}

condora::QueryRun runOn(const std::shared_ptr<condora::ado::Connection> &connection, const QString &table)
{
    condora::ColumnInfo column;
    column.colExpr = column.colName = u"v"_s;
    column.tabName = column.tabAlias = table;
    column.typeClass = condora::TypeClass::String;
    condora::QueryRun run;
    run.connection = connection;
    run.savedCursorLocation = connection->CursorLocation();
    run.dbKind = condora::DbKind::Other;
    run.product = condora::DbProduct::Sqlite;
    run.fieldCatalog = {condora::ColumnInfo(), column};
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

    QTemporaryDir dir;
    const QByteArray path = dir.filePath(u"bench.db"_s).toUtf8();
    {
        const auto db = openDb(path);
        const QByteArray n = QByteArray::number(rowCount);
        exec(db.get(), "create table d (v varchar(40))");
        exec(db.get(), ("with recursive n(i) as (select 1 union all select i + 1 from n where i < " + n
                        + ") insert into d select 'Wert ' || i || ' Größe' from n").constData());
        exec(db.get(), "create table c (v varchar(40))");
        exec(db.get(), ("with recursive n(i) as (select 1 union all select i + 1 from n where i < " + n
                        + ") insert into c select 'value ' || (i % 100000) from n").constData());
    }
    auto connection = std::make_shared<condora::ado::Connection>();
    connection->Open(u"Provider=SQLite;Data Source="_s + QString::fromUtf8(path));
    condora::RecordingUserInteraction ui;

    // 1. Search.
    condora::QueryRun searchRun = runOn(connection, u"d"_s);
    // Opens the picker, types every character of `typed` but the last (each handled before the
    // next) and times the last one from its keystroke to the first paint of the rows it brings;
    // best of Trials. `statement` gets the statement the timed keystroke ran.
    const auto timeLastKey = [&](const QString &typed, QByteArray *statement, bool rowsExpected) {
        double best = 1e300;
        for (int trial = 0; trial <= Trials; ++trial) {
            condora::frmGetValue picker(searchRun);
            picker.setHeadTitle(u"v"_s);
            picker.setP_colIndex(u"1"_s);
            auto *grid = picker.findChild<condora::FlexGrid *>(u"MSFlexGrid1"_s);
            auto *search = picker.findChild<QLineEdit *>(u"txtSearch"_s);
            picker.show();
            QCoreApplication::processEvents();
            for (qsizetype i = 0; i + 1 < typed.size(); ++i) {
                QKeyEvent before(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed.mid(i, 1));
                QCoreApplication::sendEvent(search, &before);
                QCoreApplication::processEvents();
            }
            PaintWatch watch(*connection, connection->statementCount());
            grid->view()->viewport()->installEventFilter(&watch);
            QElapsedTimer timer;
            timer.start();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed.right(1));
            QCoreApplication::sendEvent(search, &press);
            waitForRows(watch);
            if (trial > 0) {
                best = std::min(best, ms(timer.nsecsElapsed()));
            }
            *statement = connection->lastStatement().toUtf8();
            if (rowsExpected && grid->TextMatrix(1, 0).isEmpty()) {
                std::fprintf(stderr, "no rows after the search\n");
                std::exit(1);
            }
            picker.close();
        }
        return best;
    };
    QByteArray searched;
    QByteArray following;
    QByteArray rareSearched;
    const double firstKey = timeLastKey(u"7"_s, &searched, true);
    // A keystroke that follows the first within the pause waits for it.
    const double followingKey = timeLastKey(u"78"_s, &following, true);
    // A character no value holds: the database reads every value before it can answer.
    const double rareKey = timeLastKey(u"q"_s, &rareSearched, false);
    const double engineRare = engineFirstRow(handleOf(*connection), rareSearched);
    const double engineSearch = engineFirstRow(handleOf(*connection), searched);
    const QByteArray ascii = "select distinct q.v from (select v as v from d ) q where lower(q.v) like '%7%'";
    const double engineAscii = engineFirstRow(handleOf(*connection), ascii);
    const double paint = barePaint();
    std::printf("search on %d distinct values, one character typed, best of %d:\n  statement: %s\n", rowCount,
                Trials, searched.constData());
    std::printf("  engine, same statement, to first row                     %9.2f ms\n", engineSearch);
    std::printf("  engine, ASCII-only lower()/LIKE form, to first row       %9.2f ms\n", engineAscii);
    std::printf("  one bare QTableView paint of the same size               %9.2f ms\n", paint);
    std::printf("  picker, first keystroke to first painted rows            %9.2f ms  ratio %6.2f (engine + bare "
                "paint: %.2f)\n",
                firstKey, firstKey / engineSearch, firstKey / (engineSearch + paint));
    std::printf("  picker, a keystroke right after another to rows         %9.2f ms  ratio %6.2f\n", followingKey,
                followingKey / engineSearch);
    std::printf("  a character no value holds ('q'): engine, to its answer     %9.2f ms\n", engineRare);
    std::printf("  picker, first keystroke to the painted (empty) list     %9.2f ms  ratio %6.2f\n", rareKey,
                rareKey / engineRare);

    // 2. Counts.
    condora::frmGetValue::resetSession();
    condora::QueryRun countRun = runOn(connection, u"c"_s);
    double counts = 1e300;
    QByteArray grouped;
    for (int trial = 0; trial <= Trials; ++trial) {
        QElapsedTimer timer;
        timer.start();
        condora::frmGetValue picker(countRun);
        picker.setHeadTitle(u"v"_s);
        picker.setP_colIndex(u"1"_s);
        picker.findChild<QCheckBox *>(u"chkCounts"_s)->setChecked(true);
        auto *grid = picker.findChild<condora::FlexGrid *>(u"MSFlexGrid1"_s);
        PaintWatch watch(*connection, connection->statementCount());
        grid->view()->viewport()->installEventFilter(&watch);
        picker.show();
        waitForRows(watch);
        if (trial > 0) {
            counts = std::min(counts, ms(timer.nsecsElapsed()));
        }
        grouped = connection->lastStatement().toUtf8();
        picker.close();
    }
    const double engineCounts = engineFirstRow(handleOf(*connection), grouped);
    std::printf("\ncounts on %d rows (100,000 values), best of %d:\n  statement: %s\n", rowCount, Trials,
                grouped.constData());
    std::printf("  engine, same GROUP BY, to first row                      %9.2f ms\n", engineCounts);
    std::printf("  picker, open to first painted rows with counts           %9.2f ms  ratio %6.2f\n", counts,
                counts / engineCounts);
    condora::frmGetValue::resetSession();
    if (!ui.texts().isEmpty()) {
        std::printf("\nmessages shown: %s\n", qPrintable(ui.texts().join(u" | "_s)));
        return 1;
    }
    return 0;
}
