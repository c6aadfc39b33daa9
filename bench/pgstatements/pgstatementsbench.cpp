// PostgreSQL through the data layer (libpq's asynchronous interface, rows streamed from a
// cursor), next to baselines measured in the same run on the same server and table:
//   A  all rows of a 1,000,000 x 5 table through Recordset/RowSource, against libpq's single-row
//      mode reading the same statement (and, for reference, QSqlQueryModel fetching every row,
//      and Qt's driver read into the same row store, the path before); each in a process of
//      its own, with the memory it grew by;
//   B  a small statement on a connection that holds an unread 1,000,000-row result, against
//      the same statement on a fresh connection (median of 50).
//
// Usage: bench_pgstatements [rows]   (default 1000000)
// The server is the one CONDORA_TEST_PG_HOST/_PORT/_USER/_PASSWORD name; without them the
// program starts a throwaway one with tools/pgtest.sh and stops it at the end.

#include "platform/ado/connection.h"
#include "platform/ado/libpq.h"
#include "platform/ado/recordset.h"
#include "platform/ado/rowstore.h"

#include "support/pgserver.h"
#include "support/processmemory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTemporaryDir>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>

using namespace condora::ado;
using namespace Qt::StringLiterals;

namespace {

const QString Database = u"condora_bench"_s;
const QString Query = u"select id, name, price, qty, created from t"_s;
const QString Small = u"select name, price from t where id = 4242"_s;

using condora::bench::openPgDatabase;
using condora::bench::pgConnectionString;
using condora::bench::residentBytes;

std::shared_ptr<Connection> libraryConnection()
{
    auto connection = std::make_shared<Connection>();
    connection->Open(pgConnectionString(Database));
    return connection;
}

// One measurement in this process: prints "<ms to first row> <ms to all rows> <rows> <bytes grown>".
int measure(const QString &what)
{
    const qint64 before = residentBytes();
    QElapsedTimer timer;
    double firstMs = 0;
    qint64 rows = 0;
    // What each one read stays alive until its memory is taken.
    std::shared_ptr<Connection> connection;
    std::unique_ptr<Recordset> recordset;
    std::unique_ptr<QSqlQueryModel> model;
    QSqlDatabase db;
    std::optional<RowStore> kept;
    if (what == u"library") {
        connection = libraryConnection();
        timer.start();
        recordset = connection->Execute(Query);
        const std::shared_ptr<RowSource> source = recordset->rowSource();
        source->fetchMore(1);
        firstMs = timer.nsecsElapsed() / 1e6;
        while (!source->atEnd()) {
            source->fetchMore(65536);
        }
        rows = source->fetchedCount();
    } else if (what == u"libpq") {
        db = openPgDatabase(u"libpq"_s, Database);
        void *conn = pgConnection(db);
        const PgApi &pq = pgApi();
        timer.start();
        pq.sendQuery(conn, Query.toUtf8().constData());
        pq.setSingleRowMode(conn);
        qint64 bytes = 0;
        while (PgResult *result = pq.getResult(conn)) {
            if (pq.resultStatus(result) == PgApi::SingleTuple) {
                if (rows++ == 0) {
                    firstMs = timer.nsecsElapsed() / 1e6;
                }
                for (int column = 0; column < 5; ++column) {
                    bytes += pq.getlength(result, 0, column) + (pq.getvalue(result, 0, column)[0] != 0);
                }
            }
            pq.clear(result);
        }
        if (bytes == 0) {
            return 1;
        }
    } else if (what == u"qtdriver") {
        // The path every PostgreSQL statement took before: Qt's driver, forward-only, into the
        // same row store.
        db = openPgDatabase(u"qtdriver"_s, Database);
        timer.start();
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.exec(Query);
        RowStore &store = kept.emplace(5);
        QList<QVariant> values(5);
        while (query.next()) {
            if (rows++ == 0) {
                firstMs = timer.nsecsElapsed() / 1e6;
            }
            for (int column = 0; column < 5; ++column) {
                values[column] = query.value(column);
            }
            store.append(values);
        }
    } else if (what == u"model") {
        db = openPgDatabase(u"model"_s, Database);
        timer.start();
        model = std::make_unique<QSqlQueryModel>();
        model->setQuery(Query, db);
        firstMs = timer.nsecsElapsed() / 1e6;
        while (model->canFetchMore()) {
            model->fetchMore();
        }
        rows = model->rowCount();
    } else {
        return 2;
    }
    const double allMs = timer.nsecsElapsed() / 1e6;
    std::printf("%f %f %lld %lld\n", firstMs, allMs, static_cast<long long>(rows),
                static_cast<long long>(residentBytes() - before));
    return 0;
}

struct Figures
{
    double firstMs = 0;
    double allMs = 0;
    qint64 rows = 0;
    qint64 bytes = 0;
};

// The median of three runs, each in a child process of its own.
Figures inChild(const QString &what)
{
    QList<Figures> runs;
    for (int i = 0; i < 3; ++i) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {u"--measure"_s, what});
        child.waitForFinished(600000);
        const QStringList parts = QString::fromLatin1(child.readAllStandardOutput()).split(u' ');
        if (child.exitCode() != 0 || parts.size() != 4) {
            std::fprintf(stderr, "measuring %s failed: %s\n", qPrintable(what),
                         child.readAllStandardError().constData());
            std::exit(1);
        }
        runs.append({parts[0].toDouble(), parts[1].toDouble(), parts[2].toLongLong(), parts[3].trimmed().toLongLong()});
    }
    std::sort(runs.begin(), runs.end(), [](const Figures &a, const Figures &b) { return a.allMs < b.allMs; });
    Figures median = runs[1];
    std::sort(runs.begin(), runs.end(), [](const Figures &a, const Figures &b) { return a.bytes < b.bytes; });
    median.bytes = runs[1].bytes;
    std::sort(runs.begin(), runs.end(), [](const Figures &a, const Figures &b) { return a.firstMs < b.firstMs; });
    median.firstMs = runs[1].firstMs;
    return median;
}

double medianMs(QList<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples.at(samples.size() / 2);
}

// The small statement's time on `connection`, median of 50.
double smallStatementMs(Connection &connection)
{
    QList<double> samples;
    for (int i = 0; i < 50; ++i) {
        QElapsedTimer timer;
        timer.start();
        const auto rs = connection.Execute(Small);
        if (rs->Eof()) {
            std::exit(3);
        }
        samples.append(timer.nsecsElapsed() / 1e6);
    }
    return medianMs(samples);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--measure") == 0) {
        return measure(QString::fromLatin1(argv[2]));
    }
    const int rowCount = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 1000000;

    QTemporaryDir serverDir;
    const QString script = QStringLiteral(CONDORA_SOURCE_DIR "/tools/pgtest.sh");
    bool ownServer = false;
    if (!condora::bench::pgServerNamed()) {
        // Run as root, the script starts the server as the postgres user, which must reach the folder.
        QFile::setPermissions(serverDir.path(), QFile::permissions(serverDir.path()) | QFile::ReadOther
                                                     | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup);
        QProcess start;
        start.start(u"bash"_s, {script, u"start"_s, serverDir.path() + u"/pg"_s});
        start.waitForFinished(120000);
        if (start.exitCode() != 0) {
            std::fprintf(stderr, "could not start a server: %s\n", start.readAllStandardError().constData());
            return 1;
        }
        static const QRegularExpression line(u"export (\\w+)=(.*)"_s);
        for (const QString &text : QString::fromLocal8Bit(start.readAllStandardOutput()).split(u'\n')) {
            const auto match = line.match(text);
            if (match.hasMatch()) {
                qputenv(match.captured(1).toLatin1(), match.captured(2).toLocal8Bit());
            }
        }
        ownServer = true;
    }

    {
        QSqlDatabase admin = openPgDatabase(u"admin"_s, u"postgres"_s);
        QSqlQuery(admin).exec(u"drop database if exists %1 with (force)"_s.arg(Database));
        QSqlQuery(admin).exec(u"create database %1"_s.arg(Database));
        admin.close();
        QSqlDatabase setup = openPgDatabase(u"setup"_s, Database);
        QElapsedTimer timer;
        timer.start();
        QSqlQuery q(setup);
        q.exec(u"create table t (id integer primary key, name text, price numeric(10,2), qty integer, created date)"_s);
        q.exec(u"insert into t select g, 'Customer ' || (g % 100000), (g % 10000) / 4.0, g % 97, "
               "date '2000-01-01' + (g % 5000) from generate_series(1, %1) g"_s.arg(rowCount));
        q.exec(u"vacuum analyze t"_s);
        std::printf("generated %d rows x 5 columns in %.0f ms\n", rowCount, timer.nsecsElapsed() / 1e6);
    }
    QSqlDatabase::removeDatabase(u"admin"_s);
    QSqlDatabase::removeDatabase(u"setup"_s);

    std::printf("\nA. all rows of \"%s\" (median of 3, each in its own process):\n", qPrintable(Query));
    const Figures libpq = inChild(u"libpq"_s);
    const Figures library = inChild(u"library"_s);
    const Figures model = inChild(u"model"_s);
    const Figures qtDriver = inChild(u"qtdriver"_s);
    std::printf("  libpq single-row mode   first row %8.2f ms  all rows %8.1f ms  (%lld rows)\n", libpq.firstMs,
                libpq.allMs, static_cast<long long>(library.rows));
    std::printf("  QSqlQueryModel          first row %8.2f ms  all rows %8.1f ms  memory %7.1f MB\n", model.firstMs,
                model.allMs, model.bytes / 1e6);
    std::printf("  Qt's driver into rows   first row %8.2f ms  all rows %8.1f ms  memory %7.1f MB  (the path before)\n",
                qtDriver.firstMs, qtDriver.allMs, qtDriver.bytes / 1e6);
    std::printf("  data layer              first row %8.2f ms  all rows %8.1f ms  memory %7.1f MB\n", library.firstMs,
                library.allMs, library.bytes / 1e6);
    std::printf("  ratio: all rows to libpq single-row mode %.2fx (target 1.3x); to QSqlQueryModel %.2fx\n",
                library.allMs / libpq.allMs, library.allMs / model.allMs);
    std::printf("  ratio: the path before (Qt's driver) to libpq single-row mode %.2fx\n", qtDriver.allMs / libpq.allMs);
    std::printf("  ratio: first row to libpq single-row mode %.2fx\n", library.firstMs / libpq.firstMs);
    std::printf("  ratio: memory to QSqlQueryModel %.2fx (target at most 0.5x)\n", double(library.bytes) / model.bytes);

    std::printf("\nB. \"%s\" (median of 50):\n", qPrintable(Small));
    {
        const auto fresh = libraryConnection();
        const double freshMs = smallStatementMs(*fresh);
        const auto holding = libraryConnection();
        const auto unread = holding->Execute(Query);
        unread->rowSource()->fetchMore(100); // a first screen, the rest left unread
        const double afterUnreadMs = smallStatementMs(*holding);
        std::printf("  fresh connection                  %8.3f ms\n", freshMs);
        std::printf("  after an unread %d-row result %8.3f ms\n", rowCount, afterUnreadMs);
        std::printf("  ratio: after an unread result to a fresh connection %.2fx (target 2x)\n", afterUnreadMs / freshMs);
        const auto rows = unread->rowSource();
        while (!rows->atEnd()) {
            rows->fetchMore(65536);
        }
        std::printf("  the unread result, read afterwards: %d rows%s\n", rows->fetchedCount(),
                    rows->fetchError().isEmpty() ? "" : qPrintable(u", ended with: "_s + rows->fetchError()));
    }

    if (ownServer) {
        QProcess::execute(u"bash"_s, {script, u"stop"_s, serverDir.path() + u"/pg"_s});
    }
    return 0;
}
