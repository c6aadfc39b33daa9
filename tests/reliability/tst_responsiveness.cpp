// The window while a statement runs: on every path that runs one (the value picker, Verify,
// OK, GetQueryResult), on a SQLite file and on the PostgreSQL test server, a timer on the GUI
// thread keeps firing, the busy state with its Cancel button appears, and Cancel or Escape
// stops the statement quickly with one clear message, the dialog usable afterwards. Also a
// SQLite file another program holds locked. Gaps and delays are measured against limits the
// user notices, not as speed figures.

#include "queryrunner.h"
#include "reliabilitysupport.h"

#include "../dialog/dialogdriver.h"

#include "control/condora.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/runtimeerror.h"
#include "support/testmain.h"
#include "support/threadclock.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSqlDatabase>
#include <QTimer>
#include <QUuid>
#include <QtTest>

#include <sqlite3.h>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace reliability;

namespace {

enum class Path { Analysis, Picker, Verify, Ok, Result };
enum class Stop { Button, Escape };

const QString Base = u"select s.v, s.w from slow s"_s;
const QString Stopped = u"The statement was stopped before it finished; nothing was changed."_s;
/// When the test presses Cancel (or Escape), after the statement began.
constexpr int CancelAfterMs = 400;

/// A database whose view "slow" answers at once until the knob is turned up; then every
/// statement on it (also its no-rows form) works for seconds: a recursive series joined with
/// itself on SQLite, a sleep of 5 s while the server plans it on PostgreSQL.
struct SlowDatabase
{
    std::unique_ptr<test::SqliteFile> file;
    std::optional<test::PgServer> server;
    std::optional<test::MariaDbServer> mariaDb;
    std::shared_ptr<ado::Connection> connection;

    static std::unique_ptr<SlowDatabase> create(Engine engine)
    {
        auto db = std::make_unique<SlowDatabase>();
        if (engine == Engine::MariaDb) {
            // Through ODBC, whose driver blocks until the server answers: the sleep is stopped
            // only by KILL QUERY from a second connection.
            db->mariaDb = test::mariaDbServer();
            if (!db->mariaDb) {
                return nullptr;
            }
            db->mariaDb->createDatabase(u"condora_busy"_s);
            db->mariaDb->exec(u"condora_busy"_s,
                              {u"create table knob(s double)"_s, u"insert into knob values (0)"_s,
                               u"create table nums(x int)"_s,
                               u"insert into nums select seq from seq_1_to_50"_s,
                               u"create view slow as select x as v, x % 7 as w from nums "
                               u"where (select sleep(s) from knob) = 0"_s});
            db->connection = db->mariaDb->open(u"condora_busy"_s);
            return db;
        }
        if (engine == Engine::Sqlite) {
            db->file = std::make_unique<test::SqliteFile>(QStringList{
                u"create table knob(n integer)"_s, u"insert into knob values (1)"_s,
                u"create view slow as with recursive c(x) as (select 1 union all select x + 1 from c, knob "
                u"where x < knob.n) select a.x as v, a.x % 7 as w from c a join c b on a.x = b.x"_s});
            db->connection = db->file->open();
            return db;
        }
        db->server = test::pgServer();
        if (!db->server) {
            return nullptr;
        }
        db->server->createDatabase(u"condora_busy"_s);
        db->server->exec(u"condora_busy"_s,
                         {u"create table knob(s float8)"_s, u"insert into knob values (0)"_s,
                          u"create function knob_sleep() returns int language plpgsql immutable as "
                          u"$$ begin perform pg_sleep((select s from knob)); return 1; end $$"_s,
                          u"create table nums(x int)"_s, u"insert into nums select generate_series(1, 50)"_s,
                          u"create view slow as select x as v, x % 7 as w from nums where knob_sleep() = 1"_s});
        db->connection = db->server->open(u"condora_busy"_s);
        return db;
    }

    void setSlow(bool slow) const
    {
        if (file) {
            file->exec({slow ? u"update knob set n = 50000000"_s : u"update knob set n = 1"_s});
        } else if (mariaDb) {
            mariaDb->exec(u"condora_busy"_s, {slow ? u"update knob set s = 5"_s : u"update knob set s = 0"_s});
        } else {
            server->exec(u"condora_busy"_s, {slow ? u"update knob set s = 5"_s : u"update knob set s = 0"_s});
        }
    }
};

QPushButton *visibleCancelButton()
{
    for (QWidget *widget : QApplication::allWidgets()) {
        if (widget->objectName() == u"cmdCancelWork"_s && widget->isVisible()) {
            return static_cast<QPushButton *>(widget);
        }
    }
    return nullptr;
}

/// What the user saw while one statement ran: the GUI thread's timer ticks, when Cancel was
/// pressed and in which window, and when the message came (on the GUI thread's own clock, so
/// that other programs' load on the machine does not count).
struct Watch
{
    ThreadClock clock;
    QTimer ticker;
    QList<qint64> ticks;
    qint64 startAt = -1;
    qint64 cancelAt = -1;
    qint64 messageAt = -1;
    QString indicatorWindow;
    bool okDisabled = false;

    Watch()
    {
        clock.start();
        ticker.setInterval(5);
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, &ticker, [this] { ticks.append(clock.elapsed()); });
    }

    /// The statement starts now: ticks are counted, and Cancel (or Escape) is pressed in
    /// CancelAfterMs unless `cancelAfterMs` is negative.
    void started(Stop stop, QObject *scope, int cancelAfterMs = CancelAfterMs)
    {
        startAt = clock.elapsed();
        ticks = {startAt};
        ticker.start();
        if (cancelAfterMs < 0) {
            return;
        }
        QTimer::singleShot(cancelAfterMs, scope, [this, stop] {
            // What could start another statement or close the dialog is held back meanwhile.
            for (QWidget *window : QApplication::topLevelWidgets()) {
                if (window->isVisible() && window->objectName() == u"frmCondora"_s) {
                    // Visibly out of use, for accessibility tools too.
                    auto *ok = window->findChild<QPushButton *>(u"cmdOK"_s);
                    okDisabled = !ok->isEnabled() && QAccessible::queryAccessibleInterface(ok)->state().disabled;
                    QTest::mouseClick(ok, Qt::LeftButton);
                    window->close();
                }
            }
            cancelAt = clock.elapsed();
            QPushButton *button = visibleCancelButton();
            if (button == nullptr) {
                return;
            }
            indicatorWindow = button->window()->objectName();
            if (stop == Stop::Button) {
                QTest::mouseClick(button, Qt::LeftButton);
            } else {
                QWidget *focus = QApplication::focusWidget();
                QTest::keyClick(focus != nullptr ? focus : button->window(), Qt::Key_Escape);
            }
        });
    }

    void messageShown()
    {
        if (messageAt < 0 && startAt >= 0) {
            messageAt = clock.elapsed();
            ticker.stop();
        }
    }

    /// The longest time the GUI thread handled no timer until the message came.
    qint64 largestGap() const
    {
        qint64 gap = 0;
        for (qsizetype i = 1; i < ticks.size(); ++i) {
            gap = std::max(gap, ticks.at(i) - ticks.at(i - 1));
        }
        return messageAt >= 0 && !ticks.isEmpty() ? std::max(gap, messageAt - ticks.last()) : gap;
    }
};

} // namespace

Q_DECLARE_METATYPE(reliability::Engine)
Q_DECLARE_METATYPE(Path)
Q_DECLARE_METATYPE(Stop)

class TestResponsiveness : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { beginTestRun(m_ui, m_scope); }
    void cleanup() { QCOMPARE(endTestRun(m_ui, m_scope), QStringList()); }

    void cancelRunningStatement_data();
    void cancelRunningStatement();
    void lockedFile_data();
    void lockedFile();
    void sortLargeList();
    void cancelLaterFetch_data();
    void cancelLaterFetch();

private:
    std::unique_ptr<RecordingUi> m_ui;
    std::unique_ptr<QObject> m_scope;
};

void TestResponsiveness::cancelRunningStatement_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<Path>("path");
    QTest::addColumn<Stop>("stop");
    const QList<std::pair<const char *, Path>> paths{{"analysis", Path::Analysis},
                                                     {"picker", Path::Picker},
                                                     {"verify", Path::Verify},
                                                     {"ok", Path::Ok},
                                                     {"result", Path::Result}};
    for (const Engine engine : {Engine::Sqlite, Engine::Postgres}) {
        for (const auto &[name, path] : paths) {
            for (const Stop stop : {Stop::Button, Stop::Escape}) {
                // The server's sleep cannot be shortened: one way of stopping per dialog path there.
                if (engine == Engine::Postgres
                    && (path == Path::Analysis
                        || (stop == Stop::Escape) != (path == Path::Verify || path == Path::Result))) {
                    continue;
                }
                QTest::addRow("%s %s %s", qPrintable(engineName(engine)), name,
                              stop == Stop::Button ? "button" : "escape")
                    << engine << path << stop;
            }
        }
    }
    // MariaDB through ODBC: the driver blocks the worker until KILL QUERY ends the statement.
    // (The server does not run the sleep for the dialog's own test statements.)
    for (const Stop stop : {Stop::Button, Stop::Escape}) {
        QTest::addRow("MariaDB result %s", stop == Stop::Button ? "button" : "escape") << Engine::MariaDb << Path::Result
                                                                                  << stop;
    }
}

void TestResponsiveness::cancelRunningStatement()
{
    QFETCH(Engine, engine);
    QFETCH(Path, path);
    QFETCH(Stop, stop);
    const std::unique_ptr<SlowDatabase> db = SlowDatabase::create(engine);
    if (!db) {
        if ((engine == Engine::MariaDb && test::mariaDbRequired()) || (engine == Engine::Postgres && test::pgRequired())) {
            QFAIL("test server required but not configured");
        }
        QSKIP("the test server is not configured");
    }
    Watch watch;
    m_ui->setOnMessage([&watch](const MessageRequest &) { watch.messageShown(); });
    Condora control;
    control.setConnObj(db->connection);
    control.setSqlInput(Base);
    bool usableAfter = false;
    QObject *scope = m_scope.get();

    dialogtest::whenModal(scope, u"frmCondora"_s, [&](QWidget *dialog) {
        if (path == Path::Analysis || !dialogtest::enterRow(dialog, 1, u"w"_s, u"= "_s, u"1"_s)) {
            press(dialog, "cmdCancel");
            return;
        }
        if (path == Path::Result) {
            press(dialog, "cmdOK");
            return;
        }
        db->setSlow(true);
        if (path == Path::Picker) {
            // Closes the picker once its statement is over.
            auto *closer = new QTimer(scope);
            closer->setInterval(50);
            QObject::connect(closer, &QTimer::timeout, closer, [closer, &watch] {
                QWidget *picker = QApplication::activeModalWidget();
                if (watch.cancelAt >= 0 && visibleCancelButton() == nullptr && picker != nullptr
                    && picker->objectName() == u"frmGetValue"_s) {
                    closer->stop();
                    static_cast<QDialog *>(picker)->reject();
                }
            });
            closer->start();
            dialogtest::clickCell(dialogtest::find<FlexGrid>(dialog, "MFGQuery"), 1, 3);
            watch.started(stop, scope);
            press(dialog, "cmdGetValue");
        } else {
            watch.started(stop, scope);
            press(dialog, path == Path::Verify ? "cmdVerify" : "cmdOK");
        }
        db->setSlow(false);
        watch.messageShown(); // a statement that was not stopped ends here
        if (dialog->isVisible()) {
            const qsizetype before = m_ui->texts().size();
            press(dialog, "cmdVerify");
            usableAfter = m_ui->texts().mid(before) == QStringList{u"Ok!"_s};
            press(dialog, "cmdCancel");
        }
    });

    if (path == Path::Analysis) {
        // The probes before the dialog opens: stopped, the run ends without a dialog.
        db->setSlow(true);
        watch.started(stop, scope);
        const QString sql = control.GetQuerySql();
        watch.messageShown();
        db->setSlow(false);
        usableAfter = sql.isEmpty()
                      && db->connection->Execute(u"select count(*) from knob"_s)->Fields().Item(0).Value() == 1;
    } else if (path == Path::Result) {
        connect(&control, &Condora::queryFinished, scope, [&] {
            db->setSlow(true);
            watch.started(stop, scope);
        });
        const bool gotRows = control.GetQueryResult(0) != nullptr;
        watch.messageShown();
        db->setSlow(false);
        usableAfter = !gotRows
                      && db->connection->Execute(u"select count(*) from knob"_s)->Fields().Item(0).Value() == 1;
    } else {
        control.GetQuerySql();
    }

    qInfo("largest gap %lld ms; stopped %lld ms after Cancel", watch.largestGap(), watch.messageAt - watch.cancelAt);
    QVERIFY2(watch.cancelAt >= 0 && !watch.indicatorWindow.isEmpty(),
             "no Cancel button showed while the statement ran");
    const QString window = path == Path::Picker                             ? u"frmGetValue"_s
                           : path == Path::Result || path == Path::Analysis ? u"frmWorking"_s
                                                                            : u"frmCondora"_s;
    QCOMPARE(watch.indicatorWindow, window);
    if (window == u"frmCondora"_s) {
        QVERIFY(watch.okDisabled);
    }
    QVERIFY2(watch.largestGap() < 100, qPrintable(u"the window had no events for %1 ms"_s.arg(watch.largestGap())));
    QVERIFY2(watch.messageAt - watch.cancelAt < 250,
             qPrintable(u"the statement stopped %1 ms after Cancel"_s.arg(watch.messageAt - watch.cancelAt)));
    QCOMPARE(m_ui->texts().first(), Stopped);
    QCOMPARE(m_ui->texts().size(), path == Path::Result || path == Path::Analysis ? 1 : 2);
    QVERIFY(usableAfter);
    QCOMPARE(m_ui->mousePointer(), MousePointer::Default);
}

void TestResponsiveness::lockedFile_data()
{
    QTest::addColumn<int>("busyTimeoutMs");
    QTest::addColumn<int>("cancelAfterMs");
    QTest::newRow("the wait for the lock ends with a message that names it") << 600 << -1;
    QTest::newRow("Cancel stops the wait for the lock") << 5000 << CancelAfterMs;
}

void TestResponsiveness::lockedFile()
{
    QFETCH(int, busyTimeoutMs);
    QFETCH(int, cancelAfterMs);
    const test::SqliteFile file({u"create table t(x integer)"_s, u"insert into t values (1)"_s});
    const QString name = QUuid::createUuid().toString();
    std::shared_ptr<ado::Connection> connection;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(file.path());
        db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=%1"_s.arg(busyTimeoutMs));
        QVERIFY(db.open());
        connection = ado::Connection::fromDatabase(db);
    }
    const auto removeDatabase = qScopeGuard([&] {
        connection.reset();
        QSqlDatabase::removeDatabase(name);
    });
    Watch watch;
    m_ui->setOnMessage([&watch](const MessageRequest &) { watch.messageShown(); });
    Condora control;
    control.setConnObj(connection);
    control.setSqlInput(u"select t.x from t"_s);
    QStringList afterUnlock;
    qint64 waited = 0;

    dialogtest::whenModal(m_scope.get(), u"frmCondora"_s, [&](QWidget *dialog) {
        // Another program takes the file for itself.
        sqlite3 *other = nullptr;
        sqlite3_open(file.path().toUtf8().constData(), &other);
        sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr);
        watch.started(Stop::Button, m_scope.get(), cancelAfterMs);
        QElapsedTimer wall;
        wall.start();
        press(dialog, "cmdVerify");
        waited = wall.elapsed();
        sqlite3_exec(other, "rollback", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        const qsizetype before = m_ui->texts().size();
        press(dialog, "cmdVerify");
        afterUnlock = m_ui->texts().mid(before);
        press(dialog, "cmdCancel");
    });
    control.GetQuerySql();

    QVERIFY2(watch.largestGap() < 100, qPrintable(u"the window had no events for %1 ms"_s.arg(watch.largestGap())));
    if (cancelAfterMs >= 0) {
        QCOMPARE(watch.indicatorWindow, u"frmCondora"_s);
        QVERIFY(watch.messageAt - watch.cancelAt < 250);
        QCOMPARE(m_ui->texts().first(), Stopped);
    } else {
        QVERIFY(waited >= busyTimeoutMs); // as long as the connection's busy timeout, as before
        // SQLite's own words for the lock, in a message that says who holds it.
        const QString engineText = QString::fromUtf8(sqlite3_errstr(SQLITE_BUSY));
        QCOMPARE(m_ui->texts().first(),
                 u"Another program holds the database file locked, so it cannot be read now (%1). Try again when "
                 u"it is free.\r\nWrong query condition!"_s.arg(engineText));
    }
    QCOMPARE(afterUnlock, QStringList{u"Ok!"_s});
}

void TestResponsiveness::sortLargeList()
{
    // 150,000 distinct values, stored out of order.
    const test::SqliteFile file({u"create table words(t varchar(10))"_s,
                                 u"with recursive c(x) as (select 0 union all select x + 1 from c where x < 149999) "
                                 u"insert into words select printf('w%06d', (x * 7919) % 150000) from c"_s});
    QStringList expected;
    {
        const std::shared_ptr<ado::Connection> oracle = file.open();
        const auto rows = oracle->Execute(u"select t from words order by t desc limit 3"_s);
        for (; !rows->Eof(); rows->MoveNext()) {
            expected.append(rows->Fields().Item(0).Value().toString());
        }
    }
    Watch watch;
    Condora control;
    control.setConnObj(file.open());
    control.setSqlInput(u"select w.t from words w"_s);
    QStringList first;
    bool busyPointer = false;

    dialogtest::whenModal(m_scope.get(), u"frmCondora"_s, [&](QWidget *dialog) {
        QVERIFY(pickColumnAndOperator(dialog, 1, u"t"_s, u"= "_s));
        dialogtest::whenModal(m_scope.get(), u"frmGetValue"_s, [&](QWidget *picker) {
            auto *values = dialogtest::find<FlexGrid>(picker, "MSFlexGrid1");
            const QRect title = dialogtest::cellRect(values, 0, 0);
            m_ui->clear();
            watch.started(Stop::Button, m_scope.get(), -1);
            dialogtest::clickGridAt(values, QPoint(title.left() + 5, title.center().y()));
            watch.messageShown();
            busyPointer = m_ui->pointerHistory().contains(MousePointer::Hourglass);
            for (int row = 1; row <= 3; ++row) {
                first.append(values->TextMatrix(row, 0));
            }
            static_cast<QDialog *>(picker)->reject();
        });
        dialogtest::clickCell(dialogtest::find<FlexGrid>(dialog, "MFGQuery"), 1, 3);
        press(dialog, "cmdGetValue");
        press(dialog, "cmdCancel");
    });
    control.GetQuerySql();

    qInfo("sorting took %lld ms; largest gap %lld ms", watch.messageAt - watch.startAt, watch.largestGap());
    QCOMPARE(first, expected);
    QVERIFY(busyPointer);
    QVERIFY2(watch.largestGap() < 100, qPrintable(u"the window had no events for %1 ms"_s.arg(watch.largestGap())));
}

void TestResponsiveness::cancelLaterFetch_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<Stop>("stop");
    QTest::newRow("sqlite button") << Engine::Sqlite << Stop::Button;
    QTest::newRow("sqlite escape") << Engine::Sqlite << Stop::Escape;
    QTest::newRow("postgres escape") << Engine::Postgres << Stop::Escape;
}

// The host reads the result GetQueryResult handed over after the dialog closed: its first 300
// rows come at once, the next one only after seconds of work. That fetch keeps the window alive,
// shows the busy state over the host's window, and Cancel stops it; the rows before stay.
void TestResponsiveness::cancelLaterFetch()
{
    QFETCH(Engine, engine);
    QFETCH(Stop, stop);
    std::unique_ptr<test::SqliteFile> file;
    std::optional<test::PgServer> server;
    std::shared_ptr<ado::Connection> connection;
    if (engine == Engine::Sqlite) {
        file = std::make_unique<test::SqliteFile>(QStringList{
            u"create view later as with recursive c(x) as (select 1 union all select x + 1 from c "
            u"where x < 100000000) select x as v, x % 7 as w from c where x <= 300 or x >= 99999990"_s});
        connection = file->open();
    } else {
        server = test::pgServer();
        if (!server) {
            QSKIP("the PostgreSQL test server is not configured");
        }
        server->createDatabase(u"condora_busy_later"_s);
        server->exec(u"condora_busy_later"_s,
                     {u"create function sleepy(g int) returns boolean language plpgsql volatile as "
                      u"$$ begin if g = 301 then perform pg_sleep(5); end if; return true; end $$"_s,
                      u"create view later as select g as v, g % 7 as w from generate_series(1, 400) g "
                      u"where sleepy(g)"_s});
        connection = server->open(u"condora_busy_later"_s);
    }
    QWidget host;
    host.setObjectName(u"hostWindow"_s);
    auto *control = new Condora(&host);
    host.show();
    control->setConnObj(connection);
    control->setSqlInput(u"select l.v, l.w from later l"_s);
    dialogtest::whenModal(m_scope.get(), u"frmCondora"_s, [](QWidget *dialog) { press(dialog, "cmdOK"); });
    const std::unique_ptr<ado::Recordset> rows = control->GetQueryResult(0);
    QVERIFY(rows != nullptr);

    Watch watch;
    watch.started(stop, m_scope.get());
    QList<int> values;
    int stopped = 0;
    try {
        for (; !rows->Eof(); rows->MoveNext()) {
            values.append(rows->Fields().Item(0).Value().toInt());
        }
    } catch (const RuntimeError &error) {
        stopped = error.number();
    }
    watch.messageShown();

    qInfo("%lld rows; largest gap %lld ms; stopped %lld ms after Cancel", qlonglong(values.size()), watch.largestGap(),
          watch.messageAt - watch.cancelAt);
    QCOMPARE(stopped, int(ErrorNumber::Cancelled));
    QCOMPARE(watch.indicatorWindow, u"frmWorking"_s);
    QVERIFY2(watch.largestGap() < 100, qPrintable(u"the window had no events for %1 ms"_s.arg(watch.largestGap())));
    QVERIFY2(watch.messageAt - watch.cancelAt < 250,
             qPrintable(u"the fetch stopped %1 ms after Cancel"_s.arg(watch.messageAt - watch.cancelAt)));
    QVERIFY(values.size() >= 100 && values.size() <= 300);
    for (int i = 0; i < values.size(); ++i) {
        QCOMPARE(values.at(i), i + 1);
    }
    // Once the host's window is back in its event loop, the pointer is as before and the
    // connection takes statements again.
    QTRY_COMPARE(m_ui->mousePointer(), MousePointer::Default);
    QCOMPARE(connection->Execute(u"select 7"_s)->Fields().Item(0).Value().toInt(), 7);
}

CONDORA_TEST_MAIN(TestResponsiveness)
#include "tst_responsiveness.moc"
