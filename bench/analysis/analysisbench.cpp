// Times the analysis of the demo program's two statements - the steps a query run takes before
// the query dialog opens: getDbKind, testSql, splitSql and prepareFilters - on a SQLite file
// with the sample schema, and counts its database round trips (condora::ado::statementCount()).
//
// Baselines, measured in the same run on the same file:
//   A  the sqlite3 C API preparing and stepping the very statements one analysis sent
//      (captured with sqlite3_trace_v2 on the connection's own handle) and reading each
//      result's column names and declared types: the same database work without our layers;
//   B  the sqlite3 C API preparing and stepping the base statement's no-rows probe once: what
//      a single round trip would cost.
// Round trips are also set against the count the analysis is designed to send: three probes
// of the base statement, one per table the binding inspects, one per filter tested.
//
// Usage: bench_analysis [repetitions]   (default 500; the median time is reported)

#include "platform/ado/connectionstatistics.h"
#include "analysis/queryrun.h"
#include "analysis/columnfilters.h"
#include "analysis/databasekind.h"
#include "analysis/statementsplitter.h"
#include "analysis/statementtools.h"
#include "platform/ado/connection.h"
#include "platform/textfunctions.h"
#include "platform/userinteraction.h"

#include "support/testdatabases.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDriver>

#include <sqlite3.h>

#include <algorithm>
#include <ctime>
#include <utility>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;
using namespace condora;

namespace {

struct Workload
{
    const char *name;
    QString sql;
    /// The host's filter array (empty: never given).
    QStringList filters;
    /// The round trips the analysis is designed to send, and why.
    int designedRoundTrips;
    const char *designedWhy;
};

QList<Workload> workloads()
{
    return {
        {"customer",
         u"SELECT Customers.CustomerID, Customers.CompanyName, Customers.ContactName, GenderTypes.Gender"
         " FROM GenderTypes INNER JOIN Customers ON GenderTypes.GenderID = Customers.GenderID"_s,
         {QString(), QString(), QString(), QString(), u"GenderID<>'3'"_s}, 3 + 0 + 4,
         "3 base probes + 0 table probes + 4 filter tests"},
        {"order",
         u"SELECT [Order Details].OrderID, [Order Details].ProductID, Products.ProductName, "
         "[Order Details].UnitPrice, [Order Details].Quantity, [Order Details].Discount, "
         "CCur([Order Details].[UnitPrice]*[Quantity]*(1-[Discount])/100)*100 AS ExtendedPrice "
         "FROM Products INNER JOIN [Order Details] ON Products.ProductID = [Order Details].ProductID "
         "ORDER BY [Order Details].OrderID"_s,
         {}, 3 + 2 + 0,
         // The qualifier written before ExtendedPrice ("CCur([Order Details]") names no table, so
         // the binding asks both tables for their columns.
         "3 base probes + 2 table probes + 0 filter tests"},
    };
}

// The demo's currency conversion, so that the order statement runs on SQLite as written.
void ccur(sqlite3_context *context, int, sqlite3_value **values)
{
    if (sqlite3_value_type(values[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    sqlite3_result_double(context, std::round(sqlite3_value_double(values[0]) * 10000.0) / 10000.0);
}

void registerCCur(sqlite3 *db)
{
    if (sqlite3_create_function_v2(db, "CCur", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, ccur, nullptr,
                                   nullptr, nullptr)
        != SQLITE_OK) {
        std::fprintf(stderr, "cannot register CCur: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
}

sqlite3 *handleOf(ado::Connection &connection)
{
    const QVariant handle = connection.database().driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        std::fprintf(stderr, "not a SQLite connection\n");
        std::exit(1);
    }
    return *static_cast<sqlite3 *const *>(handle.constData());
}

int traceStatement(unsigned, void *context, void *statement, void *)
{
    static_cast<QList<QByteArray> *>(context)->append(sqlite3_sql(static_cast<sqlite3_stmt *>(statement)));
    return 0;
}

/// The query run's steps before the dialog, as the control takes them.
bool analyse(const std::shared_ptr<ado::Connection> &connection, const Workload &workload, QueryRun &state)
{
    state = QueryRun();
    state.connection = connection;
    state.savedCursorLocation = connection->CursorLocation();
    state.dbKind = getDbKind(*connection);
    QString statement = trimSpaces(text::trim(workload.sql));
    if (statement.endsWith(u';')) {
        statement.chop(1);
    }
    state.baseSql = statement;
    if (!testSql(*connection, statement).isEmpty()) {
        return false;
    }
    FieldCatalog catalog;
    TableList tables;
    if (!splitSql(*connection, statement, catalog, tables)) {
        return false;
    }
    QStringList filters = workload.filters;
    if (!prepareFilters(*connection, filters, catalog)) {
        return false;
    }
    state.fieldCatalog = catalog;
    return true;
}

/// The engine alone: prepare, step to the end, read the column names and declared types.
void runOnEngine(sqlite3 *db, const QList<QByteArray> &statements)
{
    for (const QByteArray &sql : statements) {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &statement, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "baseline statement rejected: %s\n%s\n", sql.constData(), sqlite3_errmsg(db));
            std::exit(1);
        }
        while (sqlite3_step(statement) == SQLITE_ROW) {
        }
        const int columns = sqlite3_column_count(statement);
        std::size_t sink = 0;
        for (int c = 0; c < columns; ++c) {
            const char *name = sqlite3_column_name(statement, c);
            const char *type = sqlite3_column_decltype(statement, c);
            sink += (name ? name[0] : 0) + (type ? type[0] : 0);
        }
        sqlite3_finalize(statement);
        if (sink == 1) {
            std::printf(" ");
        }
    }
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

template <typename F>
double medianMicroseconds(int repetitions, F &&run)
{
    std::vector<double> samples;
    samples.reserve(std::size_t(repetitions));
    QElapsedTimer timer;
    for (int r = 0; r < repetitions; ++r) {
        timer.start();
        run();
        samples.push_back(double(timer.nsecsElapsed()) / 1e3);
    }
    return median(samples);
}

/// Wall-clock and thread CPU time of one run, in microseconds.
template <typename F>
std::pair<double, double> timed(F &&run)
{
    timespec cpuStart{};
    timespec cpuEnd{};
    QElapsedTimer timer;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuStart);
    timer.start();
    run();
    const double wall = double(timer.nsecsElapsed()) / 1e3;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuEnd);
    const double cpu = double(cpuEnd.tv_sec - cpuStart.tv_sec) * 1e6 + double(cpuEnd.tv_nsec - cpuStart.tv_nsec) / 1e3;
    return {wall, cpu};
}

void figure(const char *statement, const char *what, const QString &value, double ratio, const char *against)
{
    std::printf("  %-8s %-26s %10s   ratio %7.2fx  against %s\n", statement, what, qPrintable(value), ratio,
                against);
}

/// The analysis of "select c1, ..., cN from wide" (unqualified columns, so the binding asks the
/// table for its fields) against sqlite3 running the statements it sent, for N = 10, 100, 1000:
/// the ratio should stay flat as N grows.
int growthOfUnqualifiedColumns(int repetitions)
{
    std::printf("\nunqualified columns: the analysis against sqlite3 running the statements it sent\n");
    int failures = 0;
    double firstRatio = 0;
    for (int columns : {10, 100, 1000}) {
        QStringList names;
        for (int c = 1; c <= columns; ++c) {
            names.append(u"c%1"_s.arg(c));
        }
        const test::SqliteFile file({u"create table wide ("_s + names.join(u" integer, "_s) + u" integer)"_s});
        const std::shared_ptr<ado::Connection> connection = file.open();
        sqlite3 *handle = handleOf(*connection);
        sqlite3 *engine = nullptr;
        sqlite3_open_v2(file.path().toUtf8().constData(), &engine, SQLITE_OPEN_READONLY, nullptr);
        const Workload workload{"wide", u"select "_s + names.join(u", "_s) + u" from wide"_s, {}, 0, ""};
        QList<QByteArray> sent;
        QueryRun run;
        sqlite3_trace_v2(handle, SQLITE_TRACE_STMT, traceStatement, &sent);
        const bool analysed = analyse(connection, workload, run);
        sqlite3_trace_v2(handle, 0, nullptr, nullptr);
        if (!analysed) {
            std::printf("  %4d columns: the analysis FAILED\n", columns);
            ++failures;
            sqlite3_close(engine);
            continue;
        }
        // The two sides take turns, so that a busy moment of a shared machine falls on both; the
        // thread's CPU time is given beside the wall clock, which other processes inflate.
        const int rounds = std::max(9, repetitions / (columns / 10));
        std::vector<double> analysisWall, engineWall, analysisCpu, engineCpu;
        for (int r = 0; r < rounds; ++r) {
            const auto [wall, cpu] = timed([&] { analyse(connection, workload, run); });
            analysisWall.push_back(wall);
            analysisCpu.push_back(cpu);
            const auto [engineWallUs, engineCpuUs] = timed([&] { runOnEngine(engine, sent); });
            engineWall.push_back(engineWallUs);
            engineCpu.push_back(engineCpuUs);
        }
        const double analysisUs = median(analysisWall);
        const double engineUs = median(engineWall);
        const double ratio = analysisUs / engineUs;
        const double cpuRatio = median(analysisCpu) / median(engineCpu);
        firstRatio = firstRatio == 0 ? ratio : firstRatio;
        std::printf("  %4d columns: %10.1f us, sqlite3 %10.1f us, ratio %6.2fx (%.2f of the ratio at 10); "
                    "CPU %10.1f us, sqlite3 %10.1f us, ratio %6.2fx\n",
                    columns, analysisUs, engineUs, ratio, ratio / firstRatio, median(analysisCpu), median(engineCpu),
                    cpuRatio);
        sqlite3_close(engine);
    }
    return failures;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
    // An analysis that fails reports through a message box; record it instead of showing it.
    RecordingUserInteraction ui;

    const test::SqliteFile file(test::sampleSchema());
    const std::shared_ptr<ado::Connection> connection = file.open();
    sqlite3 *connectionHandle = handleOf(*connection);
    registerCCur(connectionHandle);

    sqlite3 *engine = nullptr;
    if (sqlite3_open_v2(file.path().toUtf8().constData(), &engine, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "cannot open the file with sqlite3\n");
        return 1;
    }
    registerCCur(engine);

    std::printf("bench_analysis: the analysis before the query dialog (getDbKind, testSql, splitSql,\n"
                "prepareFilters) of the demo's two statements on a SQLite file with the sample schema;\n"
                "median of %d analyses each (sqlite %s)\n",
                repetitions, sqlite3_libversion());

    int failures = 0;
    QueryRun lastRun;
    for (const Workload &workload : workloads()) {
        // One analysis with the trace on: the statements it sends, and a check that it works.
        QList<QByteArray> sent;
        sqlite3_trace_v2(connectionHandle, SQLITE_TRACE_STMT, traceStatement, &sent);
        condora::ado::resetStatementCount(*connection);
        const bool analysed = analyse(connection, workload, lastRun);
        sqlite3_trace_v2(connectionHandle, 0, nullptr, nullptr);
        const int roundTrips = condora::ado::statementCount(*connection);
        if (!analysed || !ui.messages().isEmpty()) {
            std::printf("\n%s statement: the analysis FAILED:\n%s\n", workload.name, qPrintable(ui.texts().join(u"\n"_s)));
            ui.clear();
            ++failures;
            continue;
        }
        const FieldCatalog &catalog = lastRun.fieldCatalog;
        int bound = 0;
        for (int i = 1; i < catalog.size(); ++i) {
            bound += catalog.at(i).tabName.isEmpty() ? 0 : 1;
        }
        std::printf("\n%s statement: %lld columns (%d bound to a table), %d statements sent:\n", workload.name,
                    static_cast<long long>(catalog.size() - 1), bound, roundTrips);
        for (const QByteArray &sql : sent) {
            std::printf("    %.110s%s\n", sql.constData(), sql.size() > 110 ? "..." : "");
        }
        const QByteArray probe = probeSql(trimSpaces(workload.sql)).toUtf8();

        for (int warm = 0; warm < 20; ++warm) {
            analyse(connection, workload, lastRun);
            runOnEngine(engine, sent);
        }
        const double analysisUs = medianMicroseconds(repetitions, [&] { analyse(connection, workload, lastRun); });
        const double sameStatementsUs = medianMicroseconds(repetitions, [&] { runOnEngine(engine, sent); });
        const double oneProbeUs = medianMicroseconds(repetitions, [&] { runOnEngine(engine, {probe}); });
        condora::ado::resetStatementCount(*connection);
        analyse(connection, workload, lastRun);
        const int steadyRoundTrips = condora::ado::statementCount(*connection);
        if (!ui.messages().isEmpty()) {
            std::printf("  the repeated analysis showed a message:\n%s\n", qPrintable(ui.texts().join(u"\n"_s)));
            ++failures;
        }

        const QString time = u"%1 us"_s.arg(analysisUs, 0, 'f', 1);
        std::printf("\n");
        figure(workload.name, "time per analysis", time, analysisUs / sameStatementsUs,
               qPrintable(u"A: sqlite3 running the same %1 statements, %2 us"_s.arg(sent.size())
                              .arg(sameStatementsUs, 0, 'f', 1)));
        figure(workload.name, "time per analysis", time, analysisUs / oneProbeUs,
               qPrintable(u"B: sqlite3 running the base probe once, %1 us"_s.arg(oneProbeUs, 0, 'f', 1)));
        figure(workload.name, "round trips per analysis", QString::number(steadyRoundTrips),
               double(steadyRoundTrips) / workload.designedRoundTrips,
               qPrintable(u"the designed %1 (%2)"_s.arg(workload.designedRoundTrips)
                              .arg(QLatin1StringView(workload.designedWhy))));
        figure(workload.name, "round trips per analysis", QString::number(steadyRoundTrips),
               double(steadyRoundTrips), "a single probe");
        if (sent.size() != steadyRoundTrips) {
            std::printf("  note: the engine saw %lld statements, the connection counted %d\n",
                        static_cast<long long>(sent.size()), steadyRoundTrips);
        }
    }
    sqlite3_close(engine);
    failures += growthOfUnqualifiedColumns(repetitions);
    return failures == 0 ? 0 : 1;
}
