// Host code that runs while one of the control's statements works (Verify, OK's test, the
// statement of GetQueryResult): a host timer deletes the window that holds the control, closes
// the connection, starts a second run on the same control or on the same connection, sends a
// statement of its own on the connection, shows a message box, or presses OK and Verify again
// through the accessibility interface. Whatever it does, nothing crashes or hangs, the statement
// that was running gives its right answer (or the run ends with one clear message, or silently
// when its window has gone), and the connection is usable afterwards.

#include "queryrunner.h"
#include "reliabilitysupport.h"

#include "../dialog/dialogdriver.h"

#include "control/condora.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/runtimeerror.h"
#include "support/testmain.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace reliability;

namespace {

enum class Path { Verify, Ok, Result };
enum class HostAction { DeleteWindow, CloseConnection, RunSameControl, RunSameConnection, OwnStatement, MessageBox, PressAgain };

// Sorted, so that even the first row comes only once the slow part has run.
const QString Base = u"select s.v, s.w from slow s order by s.v desc"_s;
/// When the host's timer acts, after the statement began.
constexpr int ActAfterMs = 250;

/// A database whose view "slow" answers at once until the knob is turned up; then every
/// statement on it works for a second or two: a recursive series joined with itself on
/// SQLite, a sleep while the server plans it on PostgreSQL.
struct SlowDatabase
{
    std::unique_ptr<test::SqliteFile> file;
    std::optional<test::PgServer> server;
    std::shared_ptr<ado::Connection> connection;

    static constexpr int SqliteRows = 1000000;
    static constexpr int PgRows = 50;

    static std::unique_ptr<SlowDatabase> create(Engine engine)
    {
        auto db = std::make_unique<SlowDatabase>();
        if (engine == Engine::Sqlite) {
            db->file = std::make_unique<test::SqliteFile>(QStringList{
                u"create table knob(n integer)"_s, u"insert into knob values (%1)"_s.arg(SqliteRows),
                u"create table fast(n integer)"_s, u"insert into fast values (0)"_s,
                u"create view slow as with recursive c(x) as (select 1 union all select x + 1 from c, knob, fast "
                u"where x < knob.n * (1 - fast.n) + fast.n * 7) select a.x as v, a.x % 7 as w "
                u"from c a join c b on a.x = b.x"_s});
            db->connection = db->file->open();
            return db;
        }
        db->server = test::pgServer();
        if (!db->server) {
            return nullptr;
        }
        db->server->createDatabase(u"condora_reentry"_s);
        db->server->exec(u"condora_reentry"_s,
                         {u"create table knob(s float8)"_s, u"insert into knob values (0)"_s,
                          u"create function knob_sleep() returns int language plpgsql immutable as "
                          u"$$ begin perform pg_sleep((select s from knob)); return 1; end $$"_s,
                          u"create table nums(x int)"_s, u"insert into nums select generate_series(1, %1)"_s.arg(PgRows),
                          u"create view slow as select x as v, x % 7 as w from nums where knob_sleep() = 1"_s});
        db->connection = db->server->open(u"condora_reentry"_s);
        return db;
    }

    /// The rows of "slow" with w = 1 while it is slow.
    int matching() const
    {
        const int n = file ? SqliteRows : PgRows;
        return (n - 1) / 7 + 1;
    }

    void setSlow(bool slow) const
    {
        if (file) {
            file->exec({slow ? u"update fast set n = 0"_s : u"update fast set n = 1"_s});
        } else {
            server->exec(u"condora_reentry"_s, {slow ? u"update knob set s = 1.5"_s : u"update knob set s = 0"_s});
        }
    }
};

void pressAccessibly(QWidget *dialog, const char *name)
{
    auto *button = dialogtest::find<QPushButton>(dialog, name);
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(button);
    if (face != nullptr && face->actionInterface() != nullptr) {
        face->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }
}

int countOf(ado::Connection &connection)
{
    return connection.Execute(u"select count(*) from knob"_s)->Fields().Item(0).Value().toInt();
}

} // namespace

Q_DECLARE_METATYPE(reliability::Engine)
Q_DECLARE_METATYPE(Path)
Q_DECLARE_METATYPE(HostAction)

class TestReentrancy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { beginTestRun(m_ui, m_scope); }
    void cleanup()
    {
        const QStringList open = endTestRun(m_ui, m_scope);
        QVERIFY2(open.isEmpty(), qPrintable(open.join(u", "_s)));
    }

    void hostActsDuringStatement_data();
    void hostActsDuringStatement();
    void windowDeletedWhileIdle_data();
    void windowDeletedWhileIdle();

private:
    std::unique_ptr<RecordingUi> m_ui;
    std::unique_ptr<QObject> m_scope;
};

void TestReentrancy::hostActsDuringStatement_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<Path>("path");
    QTest::addColumn<HostAction>("action");
    const QList<std::pair<const char *, HostAction>> actions{
        {"deletes the window", HostAction::DeleteWindow},
        {"closes the connection", HostAction::CloseConnection},
        {"runs the control again", HostAction::RunSameControl},
        {"runs another control on the connection", HostAction::RunSameConnection},
        {"runs its own statement on the connection", HostAction::OwnStatement},
        {"shows a message box", HostAction::MessageBox},
        {"presses OK and Verify", HostAction::PressAgain}};
    const QList<std::pair<const char *, Path>> paths{
        {"Verify", Path::Verify}, {"OK", Path::Ok}, {"GetQueryResult", Path::Result}};
    for (const Engine engine : {Engine::Sqlite, Engine::Postgres}) {
        for (const auto &[pathName, path] : paths) {
            for (const auto &[name, action] : actions) {
                if (path == Path::Result && action == HostAction::PressAgain) {
                    continue; // no dialog is open then
                }
                QTest::addRow("%s %s: host %s", qPrintable(engineName(engine)), pathName, name)
                    << engine << path << action;
            }
        }
    }
}

void TestReentrancy::hostActsDuringStatement()
{
    QFETCH(Engine, engine);
    QFETCH(Path, path);
    QFETCH(HostAction, action);
    const std::unique_ptr<SlowDatabase> db = SlowDatabase::create(engine);
    if (!db) {
        QSKIP("the PostgreSQL test server is not configured");
    }
    db->setSlow(false);
    QObject *scope = m_scope.get();
    QPointer<QWidget> window = new QWidget;
    window->setObjectName(u"hostWindow"_s);
    const auto closeWindow = qScopeGuard([&window] { delete window.data(); });
    QPointer<Condora> control = new Condora(window);
    control->setConnObj(db->connection);
    control->setSqlInput(Base);
    control->setCountRows(true);
    window->show();
    auto *other = new Condora(window);
    other->setConnObj(db->connection);
    other->setSqlInput(Base);

    QString secondRun = u"(not run)"_s;
    QString ownStatement = u"(not run)"_s;
    qint64 boxAnsweredMs = -1;
    bool acted = false;
    const auto act = [&] {
        QTimer::singleShot(ActAfterMs, scope, [&] {
            acted = true;
            switch (action) {
            case HostAction::DeleteWindow:
                delete window.data();
                break;
            case HostAction::CloseConnection:
                db->connection->Close();
                break;
            case HostAction::RunSameControl:
                secondRun = control->GetQuerySql();
                break;
            case HostAction::RunSameConnection:
                secondRun = other->GetQuerySql();
                break;
            case HostAction::OwnStatement:
                try {
                    ownStatement = QString::number(countOf(*db->connection));
                } catch (const RuntimeError &error) {
                    ownStatement = error.description();
                }
                break;
            case HostAction::MessageBox: {
                // The user answers it at once: the click must reach it.
                QMessageBox box(QMessageBox::Information, u"Host"_s, u"A note from the host"_s, QMessageBox::Ok);
                QTimer::singleShot(100, &box, [&box] { QTest::mouseClick(box.button(QMessageBox::Ok), Qt::LeftButton); });
                QElapsedTimer shown;
                shown.start();
                box.exec();
                boxAnsweredMs = shown.elapsed();
                break;
            }
            case HostAction::PressAgain:
                for (QWidget *dialog : QApplication::topLevelWidgets()) {
                    if (dialog->objectName() == u"frmCondora"_s && dialog->isVisible()) {
                        pressAccessibly(dialog, "cmdOK");
                        pressAccessibly(dialog, "cmdVerify");
                    }
                }
                break;
            }
        });
    };

    bool dialogOpenAfter = false;
    dialogtest::whenModal(scope, u"frmCondora"_s, [&](QWidget *dialog) {
        const QPointer<QWidget> guard = dialog;
        if (!dialogtest::enterRow(dialog, 1, u"w"_s, u"= "_s, u"1"_s)) {
            press(dialog, "cmdCancel");
            return;
        }
        if (path == Path::Result) {
            press(dialog, "cmdOK");
            return;
        }
        db->setSlow(true);
        act();
        press(dialog, path == Path::Verify ? "cmdVerify" : "cmdOK");
        db->setSlow(false);
        if (guard && guard->isVisible()) {
            dialogOpenAfter = true;
            press(dialog, "cmdCancel");
        }
    });

    std::unique_ptr<ado::Recordset> result;
    QString sql;
    if (path == Path::Result) {
        // The first run's outcome only (a refused second run has one too).
        connect(control.data(), &Condora::queryFinished, scope, [&, armed = true]() mutable {
            if (std::exchange(armed, false)) {
                db->setSlow(true);
                act();
            }
        });
        result = control->GetQueryResult(0);
    } else {
        sql = control->GetQuerySql();
    }
    QVERIFY(acted);
    const QStringList texts = m_ui->texts();
    const QString refused = u"Another statement is still running on this connection."_s;

    // What the run itself says when nothing stops it: Verify counts, OK closes with the
    // statement, GetQueryResult says nothing.
    const QStringList answer = path == Path::Verify ? QStringList{u"Ok!\r\n%1 rows"_s.arg(db->matching())} : QStringList();
    switch (action) {
    case HostAction::DeleteWindow:
        // The run ends silently: its window has gone.
        QVERIFY(window.isNull());
        QCOMPARE(texts, QStringList());
        QCOMPARE(sql, QString());
        break;
    case HostAction::CloseConnection:
        QVERIFY2(texts.size() == 1, qPrintable(texts.join(u" | "_s)));
        QVERIFY2(texts.first().contains(u"The connection was closed while the statement ran."_s), qPrintable(texts.first()));
        QVERIFY(!result);
        QCOMPARE(sql, QString());
        db->connection->Open();
        break;
    case HostAction::RunSameControl:
    case HostAction::RunSameConnection:
        // The second run is refused at once with one message; the first one goes on.
        QCOMPARE(secondRun, QString());
        QCOMPARE(texts.size(), 1 + answer.size());
        QCOMPARE(texts.mid(1), answer);
        break;
    case HostAction::OwnStatement:
        // The run's statements are on a connection of its own: the host's statement runs on
        // its connection at once and gives its answer; the run goes on.
        QCOMPARE(ownStatement, QString::number(countOf(*db->connection)));
        QCOMPARE(texts, answer);
        break;
    case HostAction::MessageBox:
        // Answered by the user's click, not by the watchdog; the run goes on after it.
        QVERIFY2(boxAnsweredMs >= 0 && boxAnsweredMs < 5000, qPrintable(QString::number(boxAnsweredMs)));
        QCOMPARE(texts, answer);
        break;
    case HostAction::PressAgain:
        // The presses while the statement ran did nothing.
        QCOMPARE(texts, answer);
        break;
    }
    const bool runWentOn = action != HostAction::DeleteWindow && action != HostAction::CloseConnection;
    if (runWentOn) {
        QCOMPARE(dialogOpenAfter, path == Path::Verify);
        QCOMPARE(sql.isEmpty(), path != Path::Ok);
    }
    if (path == Path::Result && runWentOn) {
        QVERIFY(result);
        int count = 0;
        for (; !result->Eof(); result->MoveNext()) {
            ++count;
        }
        QCOMPARE(count, db->matching());
    }
    result.reset();
    db->setSlow(false);
    QCOMPARE(countOf(*db->connection), 1);
}

void TestReentrancy::windowDeletedWhileIdle_data()
{
    QTest::addColumn<bool>("pickerOpen");
    QTest::newRow("query dialog waiting for the user") << false;
    QTest::newRow("value picker waiting for the user") << true;
}

void TestReentrancy::windowDeletedWhileIdle()
{
    QFETCH(bool, pickerOpen);
    const std::unique_ptr<SlowDatabase> db = SlowDatabase::create(Engine::Sqlite);
    db->setSlow(false);
    QPointer<QWidget> window = new QWidget;
    auto *control = new Condora(window);
    control->setConnObj(db->connection);
    control->setSqlInput(Base);
    window->show();
    dialogtest::whenModal(m_scope.get(), u"frmCondora"_s, [&](QWidget *dialog) {
        if (!pickerOpen) {
            delete window.data();
            return;
        }
        dialogtest::whenModal(m_scope.get(), u"frmGetValue"_s, [&](QWidget *) { delete window.data(); });
        if (dialogtest::enterRow(dialog, 1, u"w"_s, u"= "_s, QString())) {
            dialogtest::clickCell(dialogtest::find<FlexGrid>(dialog, "MFGQuery"), 1, 3);
            press(dialog, "cmdGetValue");
        }
    });
    QCOMPARE(control->GetQuerySql(), QString());
    QVERIFY(window.isNull());
    QCOMPARE(m_ui->texts(), QStringList());
    QCOMPARE(countOf(*db->connection), 1);
}

CONDORA_TEST_MAIN(TestReentrancy)
#include "tst_reentrancy.moc"
