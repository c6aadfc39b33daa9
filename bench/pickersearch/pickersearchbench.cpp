// The value picker's search and counts, on SQLite and on PostgreSQL, each next to the engine's own
// time for the very statement the picker ran (read back from the connection), measured in the
// same run:
//
// 1. Search: the picker lists a column of 1,000,000 distinct values; one character is typed into
//    txtSearch. Measured from the keystroke to the first paint of the narrowed rows, for the first
//    keystroke and for a keystroke right after another, against the engine's time to the first
//    row of the same filtered DISTINCT statement (SQLite: sqlite3 on the picker's connection, so
//    condora_fold is registered; PostgreSQL: libpq in single-row mode on a connection of its
//    own), and that time plus one bare QTableView paint. SQLite also gets the ASCII-only
//    lower()/LIKE form as a further baseline. The same for a character no value holds, where
//    the engine reads every value to answer.
// 2. Counts: the picker opened with "Rows per value" on a 1,000,000-row table with 100,000
//    distinct values, open to first painted rows, against the engine's time to the first row of
//    the same GROUP BY statement.
//
// PostgreSQL runs when CONDORA_TEST_PG_HOST, _PORT, _USER and _PASSWORD name a server (as
// tools/pgtest.sh start DIR prints them); the database condora_benchsearch is made afresh.
// With PROFILE_KEYS=n set, the program only types n keys into one picker on SQLite ("7" and
// Backspace in turn, each handled and painted before the next) and prints the time per key: a
// loop for a profiler (perf record --call-graph dwarf).
// Usage: bench_pickersearch [rows]   (default 1000000)

#include "analysis/queryrun.h"
#include "platform/ado/connectionstatistics.h"
#include "dialog/frmgetvalue.h"
#include "dialog/valuesearch.h"
#include "platform/ado/connection.h"
#include "platform/ado/libpq.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/userinteraction.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>

#include "support/pgserver.h"
#include "support/sqlitebaseline.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

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
        if (event->type() == QEvent::Paint && condora::ado::statementCount(m_connection) > m_before) {
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

condora::QueryRun runOn(const std::shared_ptr<condora::ado::Connection> &connection, const QString &table,
                        condora::DbProduct product)
{
    condora::ColumnInfo column;
    column.colExpr = column.colName = u"v"_s;
    column.tabName = column.tabAlias = table;
    column.typeClass = condora::TypeClass::String;
    condora::QueryRun run;
    run.connection = connection;
    run.savedCursorLocation = connection->CursorLocation();
    run.dbKind = condora::DbKind::Other;
    run.product = product;
    run.fieldCatalog = {condora::ColumnInfo(), column};
    return run;
}

using Engine = std::function<double(const QByteArray &)>;

/// A figure and its baseline, each the best of its runs.
struct Timed
{
    double picker = 1e300;
    double engine = 1e300;
    QByteArray statement;
};

/// Opens the picker on the run's column, types every character of `typed` but the last (each
/// handled before the next) and times the last one from its keystroke to the first paint of the
/// rows it brings; best of Trials. After each trial the engine runs the statement the timed
/// keystroke ran, so that a server's drift weighs on both alike.
Timed timeLastKey(condora::QueryRun &run, const QString &typed, bool rowsExpected, const Engine &engine)
{
    condora::ado::Connection &connection = *run.connection;
    Timed timed;
    for (int trial = 0; trial <= Trials; ++trial) {
        condora::frmGetValue picker(run);
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
        PaintWatch watch(connection, condora::ado::statementCount(connection));
        grid->view()->viewport()->installEventFilter(&watch);
        QElapsedTimer timer;
        timer.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed.right(1));
        QCoreApplication::sendEvent(search, &press);
        waitForRows(watch);
        if (trial > 0) {
            timed.picker = std::min(timed.picker, ms(timer.nsecsElapsed()));
        }
        timed.statement = condora::ado::lastStatement(connection).toUtf8();
        if (rowsExpected && grid->TextMatrix(1, 0).isEmpty()) {
            std::fprintf(stderr, "no rows after the search\n");
            std::exit(1);
        }
        picker.close();
        QCoreApplication::processEvents();
        timed.engine = std::min(timed.engine, engine(timed.statement));
    }
    return timed;
}

/// Opens the picker with "Rows per value" on and times it to its first painted rows; best of
/// Trials, each followed by the engine on the same GROUP BY statement.
Timed timeCounts(condora::QueryRun &run, const Engine &engine)
{
    condora::frmGetValue::resetSession();
    Timed timed;
    for (int trial = 0; trial <= Trials; ++trial) {
        QElapsedTimer timer;
        timer.start();
        condora::frmGetValue picker(run);
        picker.setHeadTitle(u"v"_s);
        picker.setP_colIndex(u"1"_s);
        picker.findChild<QCheckBox *>(u"chkCounts"_s)->setChecked(true);
        auto *grid = picker.findChild<condora::FlexGrid *>(u"MSFlexGrid1"_s);
        PaintWatch watch(*run.connection, condora::ado::statementCount(*run.connection));
        grid->view()->viewport()->installEventFilter(&watch);
        picker.show();
        waitForRows(watch);
        if (trial > 0) {
            timed.picker = std::min(timed.picker, ms(timer.nsecsElapsed()));
        }
        timed.statement = condora::ado::lastStatement(*run.connection).toUtf8();
        picker.close();
        QCoreApplication::processEvents();
        timed.engine = std::min(timed.engine, engine(timed.statement));
    }
    condora::frmGetValue::resetSession();
    return timed;
}

/// One database's figures: the search (table d) and the counts (table c), each against
/// `engine`, the engine's own time to the first row (or answer) of the statement the picker ran.
void measure(const char *name, const std::shared_ptr<condora::ado::Connection> &connection,
             condora::DbProduct product, int rowCount, const Engine &engine)
{
    condora::QueryRun searchRun = runOn(connection, u"d"_s, product);
    const Timed first = timeLastKey(searchRun, u"7"_s, true, engine);
    const Timed following = timeLastKey(searchRun, u"78"_s, true, engine);
    // A character no value holds: the database reads every value before it can answer.
    const Timed rare = timeLastKey(searchRun, u"q"_s, false, engine);
    const double paint = barePaint();
    std::printf("%s: search on %d distinct values, one character typed, best of %d:\n  statement: %s\n", name,
                rowCount, Trials, first.statement.constData());
    std::printf("  engine, same statement, to first row                     %9.2f ms\n", first.engine);
    std::printf("  one bare QTableView paint of the same size               %9.2f ms\n", paint);
    std::printf("  picker, first keystroke to first painted rows            %9.2f ms  ratio %6.2f (engine + bare "
                "paint: %.2f)\n",
                first.picker, first.picker / first.engine, first.picker / (first.engine + paint));
    std::printf("  picker, a keystroke right after another to rows         %9.2f ms  ratio %6.2f (engine: %.2f ms)\n",
                following.picker, following.picker / following.engine, following.engine);
    std::printf("  a character no value holds ('q'): engine, to its answer     %9.2f ms\n", rare.engine);
    std::printf("  picker, first keystroke to the painted (empty) list     %9.2f ms  ratio %6.2f\n", rare.picker,
                rare.picker / rare.engine);

    condora::QueryRun countRun = runOn(connection, u"c"_s, product);
    const Timed counts = timeCounts(countRun, engine);
    std::printf("\n%s: counts on %d rows (100,000 values), best of %d:\n  statement: %s\n", name, rowCount, Trials,
                counts.statement.constData());
    std::printf("  engine, same GROUP BY, to first row                      %9.2f ms\n", counts.engine);
    std::printf("  picker, open to first painted rows with counts           %9.2f ms  ratio %6.2f\n\n", counts.picker,
                counts.picker / counts.engine);
}

/// libpq alone on a connection of its own: the statement sent in single-row mode, to its first
/// row (or, for no rows, its answer); one run (the picker's trials and these alternate).
double pgFirstRow(const QSqlDatabase &db, const QByteArray &query)
{
    const condora::ado::PgApi &pq = condora::ado::pgApi();
    void *conn = condora::ado::pgConnection(db);
    QElapsedTimer timer;
    timer.start();
    pq.sendQuery(conn, query.constData());
    pq.setSingleRowMode(conn);
    double first = -1;
    while (condora::ado::PgResult *result = pq.getResult(conn)) {
        const int status = pq.resultStatus(result);
        if (first < 0 && (status == condora::ado::PgApi::SingleTuple || status == condora::ado::PgApi::TuplesOk)) {
            first = ms(timer.nsecsElapsed());
        } else if (status == condora::ado::PgApi::FatalError) {
            std::fprintf(stderr, "%s: %s\n", query.constData(), pq.resultErrorMessage(result));
            std::exit(1);
        }
        pq.clear(result);
    }
    return first;
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
    const QByteArray n = QByteArray::number(rowCount);
    condora::RecordingUserInteraction ui;

    QTemporaryDir dir;
    const QByteArray path = dir.filePath(u"bench.db"_s).toUtf8();
    {
        const auto db = openDb(path);
        exec(db.get(), "create table d (v varchar(40))");
        exec(db.get(), ("with recursive n(i) as (select 1 union all select i + 1 from n where i < " + n
                        + ") insert into d select 'Wert ' || i || ' Größe' from n").constData());
        exec(db.get(), "create table c (v varchar(40))");
        exec(db.get(), ("with recursive n(i) as (select 1 union all select i + 1 from n where i < " + n
                        + ") insert into c select 'value ' || (i % 100000) from n").constData());
    }
    if (qEnvironmentVariableIsSet("PROFILE_KEYS")) {
        auto connection = std::make_shared<condora::ado::Connection>();
        connection->Open(u"Provider=SQLite;Data Source="_s + QString::fromUtf8(path));
        condora::QueryRun run = runOn(connection, u"d"_s, condora::DbProduct::Sqlite);
        condora::frmGetValue picker(run);
        picker.setHeadTitle(u"v"_s);
        picker.setP_colIndex(u"1"_s);
        auto *search = picker.findChild<QLineEdit *>(u"txtSearch"_s);
        picker.show();
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        const int n = qEnvironmentVariableIntValue("PROFILE_KEYS");
        for (int i = 0; i < n; ++i) {
            QKeyEvent press(QEvent::KeyPress, i % 2 ? Qt::Key_Backspace : Qt::Key_unknown, Qt::NoModifier,
                            i % 2 ? QString() : u"7"_s);
            QCoreApplication::sendEvent(search, &press);
            QCoreApplication::processEvents();
        }
        std::printf("%.3f ms per key\n", ms(timer.nsecsElapsed()) / n);
        return 0;
    }
    {
        auto connection = std::make_shared<condora::ado::Connection>();
        connection->Open(u"Provider=SQLite;Data Source="_s + QString::fromUtf8(path));
        sqlite3 *handle = handleOf(*connection); // condora_fold is registered on it by the picker
        measure("SQLite", connection, condora::DbProduct::Sqlite, rowCount,
                [handle](const QByteArray &query) { return engineFirstRow(handle, query); });
        const QByteArray ascii = "select distinct q.v from (select v as v from d ) q where lower(q.v) like '%7%'";
        std::printf("  (SQLite, the search's ASCII-only lower()/LIKE form, to first row: %.2f ms)\n\n",
                    engineFirstRow(handle, ascii));
    }

    if (!condora::bench::pgServerNamed()) {
        std::printf("PostgreSQL: skipped, no server named (CONDORA_TEST_PG_HOST, _PORT, _USER, _PASSWORD, as "
                    "tools/pgtest.sh start DIR prints them)\n");
    } else {
        using condora::bench::openPgDatabase;
        {
            QSqlDatabase admin = openPgDatabase(u"admin"_s, u"postgres"_s);
            QSqlQuery(admin).exec(u"drop database if exists condora_benchsearch with (force)"_s);
            QSqlQuery(admin).exec(u"create database condora_benchsearch encoding 'UTF8' template template0"_s);
        }
        QSqlDatabase::removeDatabase(u"admin"_s);
        QSqlDatabase engineDb = openPgDatabase(u"engine"_s, u"condora_benchsearch"_s);
        for (const QString &statement :
             {u"create table d as select 'Wert ' || i || ' Größe' as v from generate_series(1, %1) i"_s.arg(rowCount),
              u"create table c as select 'value ' || (i % 100000) as v from generate_series(1, %1) i"_s.arg(rowCount),
              u"vacuum analyze"_s}) { // (hint bits set before anything is timed)
            QSqlQuery setup(engineDb);
            if (!setup.exec(statement)) {
                std::fprintf(stderr, "%s: %s\n", qPrintable(statement), qPrintable(setup.lastError().text()));
                return 1;
            }
        }
        auto connection = std::make_shared<condora::ado::Connection>();
        connection->Open(condora::bench::pgConnectionString(u"condora_benchsearch"_s));
        measure("PostgreSQL", connection, condora::DbProduct::PostgreSql, rowCount,
                [&engineDb](const QByteArray &query) { return pgFirstRow(engineDb, query); });
    }
    if (!ui.texts().isEmpty()) {
        std::printf("\nmessages shown: %s\n", qPrintable(ui.texts().join(u" | "_s)));
        return 1;
    }
    return 0;
}
