// Hostile input through the public control and the real query dialog, on SQLite and on the
// PostgreSQL test server: base statements, host filters, and values typed into the Value
// editor or picked in the value picker. Every case must end in the message the system gives
// for it, a value must never change the shape of the final statement, and the database must
// keep every table and row.

#include "queryrunner.h"
#include "reliabilitysupport.h"

#include "../dialog/dialogdriver.h"

#include "analysis/queryrun.h"
#include "control/condora.h"
#include "platform/dialogstyle.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/runtimeerror.h"
#include "support/testmain.h"

#include <QApplication>
#include <QLineEdit>
#include <QRegularExpression>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace reliability;

Q_DECLARE_METATYPE(reliability::Engine)

namespace {

const QString Crlf = u"\r\n"_s;

QString illegal(const QString &databaseMessage)
{
    return u"Illegal SQL expression!"_s + Crlf + databaseMessage;
}

QString report(const QString &description, int number, const QString &context = QString())
{
    return u"Error message:"_s + context + Crlf + u" "_s + description + Crlf + u"Error number:"_s
           + QString::number(number);
}

QString unrecognised(const QString &description, int number)
{
    return report(description, number, u"Condora can't recognise this sql's format.Please change the sql's format."_s);
}

QString wrongCondition(const QString &databaseMessage)
{
    return databaseMessage + Crlf + u"Wrong query condition!"_s;
}

QString filterRejected(int position, const QString &databaseMessage)
{
    return u"No."_s + QString::number(position) + u" filter condition is incorrect!"_s + Crlf + databaseMessage;
}

QString escaped(const QString &value)
{
    return QString(value).replace(u"'"_s, u"''"_s);
}

/// An "include" value as its LIKE pattern: PostgreSQL's LIKE reads a backslash as its escape
/// character, so there each backslash is doubled to match itself; SQLite's has no escape.
QString likePattern(Engine engine, const QString &value)
{
    return engine == Engine::Postgres ? QString(value).replace(u"\\"_s, u"\\\\"_s) : value;
}

/// The column name the database reports for an unquoted identifier.
QString reported(Engine engine, const QString &name)
{
    return engine == Engine::Postgres ? name.toLower() : name;
}

const QString RemarksSql = u"select r.RemarkID, r.Title, r.Body, r.Amount, r.Written from Remarks r"_s;
const QString RemarksOrder = u" order by r.RemarkID"_s;

/// A short name for a hostile value in a row title.
QString label(const QString &value)
{
    QString shown = value.size() > 24 ? value.left(12) + u"...("_s + QString::number(value.size()) + u" chars)"_s
                                      : value;
    return shown.replace(u'\n', u"\\n"_s).replace(u'\t', u"\\t"_s);
}

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void baseStatements_data();
    void baseStatements();
    void hostFilters_data();
    void hostFilters();
    void typedValues_data();
    void typedValues();
    void pickedValues_data();
    void pickedValues();

private:
    /// The database of the current data row (skips the row when the server is missing).
    SampleDatabase *database(Engine engine);
    void addEngineRows(const std::function<void(Engine)> &add);

    std::unique_ptr<SampleDatabase> m_sqlite;
    std::unique_ptr<SampleDatabase> m_postgres;
    std::shared_ptr<ado::Connection> m_sqliteConnection;
    std::shared_ptr<ado::Connection> m_pgConnection;
    QMap<QString, int> m_sqliteCounts;
    QMap<QString, int> m_pgCounts;
    std::unique_ptr<RecordingUi> m_ui;
    std::unique_ptr<QObject> m_scope;
    SampleDatabase *m_current = nullptr;
};

void TestHostile::initTestCase()
{
    QApplication::setEffectEnabled(Qt::UI_AnimateTooltip, false);
    // The library installs its dialog when it is loaded; linked statically, the test does it.
    m_sqlite = SampleDatabase::create(Engine::Sqlite, QString());
    m_sqliteConnection = m_sqlite->open();
    m_sqliteCounts = m_sqlite->tableCounts();
    m_postgres = SampleDatabase::create(Engine::Postgres, u"condora_hostile"_s);
    if (m_postgres) {
        m_pgConnection = m_postgres->open();
        m_pgCounts = m_postgres->tableCounts();
    }
    QCOMPARE(m_sqliteCounts.value(u"Remarks"_s), int(hostileValues().size()));
}

void TestHostile::cleanupTestCase()
{
    m_sqliteConnection.reset();
    m_pgConnection.reset();
    m_sqlite.reset();
    m_postgres.reset();
}

void TestHostile::init()
{
    beginTestRun(m_ui, m_scope);
    m_current = nullptr;
}

void TestHostile::cleanup()
{
    const QStringList open = endTestRun(m_ui, m_scope);
    QVERIFY2(open.isEmpty(), qPrintable(open.join(u", "_s)));
    // Whatever the input, every table keeps every row.
    if (m_current != nullptr) {
        const auto &before = m_current->engine() == Engine::Sqlite ? m_sqliteCounts : m_pgCounts;
        QCOMPARE(m_current->tableCounts(), before);
    }
}

SampleDatabase *TestHostile::database(Engine engine)
{
    m_current = engine == Engine::Sqlite ? m_sqlite.get() : m_postgres.get();
    return m_current;
}

void TestHostile::addEngineRows(const std::function<void(Engine)> &add)
{
    add(Engine::Sqlite);
    add(Engine::Postgres);
}

#define NEED_DATABASE(engine)                                                                      \
    SampleDatabase *db = database(engine);                                                        \
    if (db == nullptr) {                                                                          \
        CONDORA_NEED_PG(pg);                                                                      \
        Q_UNUSED(pg);                                                                             \
    }                                                                                             \
    const std::shared_ptr<ado::Connection> connection =                                          \
        (engine) == Engine::Sqlite ? m_sqliteConnection : m_pgConnection

// Base statements ------------------------------------------------------------------------------

void TestHostile::baseStatements_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("messages");
    // When the dialog opens: the user's row (column, operator, typed value) and the final statement.
    QTest::addColumn<QStringList>("userRow");
    QTest::addColumn<QString>("finalSql");

    addEngineRows([](Engine e) {
        const bool pg = e == Engine::Postgres;
        const auto row = [e](const char *name) -> QTestData & { return QTest::addRow("%s: %s", qPrintable(engineName(e)), name); };
        const auto sqlite = [pg](const QString &s, const QString &p) { return pg ? p : s; };

        row("empty") << e << QString() << QStringList{u"Please input SQL!"_s} << QStringList() << QString();
        row("only spaces") << e << u"      "_s << QStringList{u"Please input SQL!"_s} << QStringList() << QString();
        row("only a semicolon") << e << u";"_s
                                << QStringList{report(sqlite(u"near \"where\": syntax error"_s,
                                                             u"syntax error at or near \"where\""_s),
                                                      ErrorNumber::Database)}
                                << QStringList() << QString();
        row("two semicolons") << e << u"select CompanyName from Customers;;"_s
                              << QStringList{illegal(sqlite(u"Unable to execute multiple statements at a time"_s,
                                                            u"syntax error at or near \"where\""_s))}
                              << QStringList() << QString();
        row("second statement") << e << u"select CompanyName from Customers; drop table Products; select 1"_s
                                << QStringList{illegal(u"Unable to execute multiple statements at a time"_s)}
                                << QStringList() << QString();
        row("no FROM") << e << u"select 1"_s
                       << QStringList{report(u"Invalid procedure call or argument: length -1 is negative"_s,
                                             ErrorNumber::InvalidArgument)}
                       << QStringList() << QString();
        row("sub-query in the select list (was cut at its FROM)")
            << e << u"select c.CompanyName, (select count(*) from Products) as n from Customers c"_s
            << QStringList() << QStringList{reported(e, u"CompanyName"_s), u"= "_s, u"x"_s}
            << u"select c.CompanyName, (select count(*) from Products) as n from Customers c where  "
               u"c.CompanyName = 'x'"_s;
        row("sub-query in the from clause (was cut at its WHERE)")
            << e << u"select x.CompanyName from (select CompanyName from Customers where GenderID = 2) x"_s
            << QStringList() << QStringList{reported(e, u"CompanyName"_s), u"= "_s, u"x"_s}
            << u"select x.CompanyName from (select CompanyName from Customers where GenderID = 2) x where  "
               u"x.CompanyName = 'x'"_s;
        row("sub-query in the where clause")
            << e
            << u"select CompanyName from Customers where GenderID in "
               "(select GenderID from GenderTypes where Gender <> 'Unknown')"_s
            << QStringList() << QStringList{reported(e, u"CompanyName"_s), u"= "_s, u"x' or '1'='1"_s}
            << u"select CompanyName from Customers where GenderID in "
               "(select GenderID from GenderTypes where Gender <> 'Unknown') and  Customers.CompanyName = "
               "'x'' or ''1''=''1'"_s;

        const QString spaced = u"select"_s + QString(100000, u' ') + u"CompanyName from Customers"_s;
        row("100,000 characters, mostly spaces")
            << e << spaced << QStringList() << QStringList{reported(e, u"CompanyName"_s), u"= "_s, u"O'Brien"_s}
            << u"select CompanyName from Customers where  Customers.CompanyName = 'O''Brien'"_s;
        const QString head = u"select CompanyName from Customers where CompanyName <> '"_s;
        const QString longCondition = head + QString(100000 - head.size() - 1, u'x') + u"'"_s;
        row("100,000 characters of condition")
            << e << longCondition << QStringList()
            << QStringList{reported(e, u"CompanyName"_s), u"include "_s, u"; --"_s}
            << longCondition + u" and  Customers.CompanyName like '%; --%'"_s;
        const QString garbage = u"select "_s + QString(100000 - 7, u'x');
        row("100,000 characters of garbage")
            << e << garbage
            << QStringList{illegal(sqlite(u"no such column: "_s + QString(100000 - 7, u'x'),
                                          u"column \""_s + QString(63, u'x') + u"\" does not exist"_s))}
            << QStringList() << QString();

        row("non-ASCII names") << e << u"select s.Stadt, s.Größe, s.名前 from Städte s"_s << QStringList()
                               << QStringList{u"名前"_s, u"= "_s, u"ケルン'"_s}
                               << u"select s.Stadt, s.Größe, s.名前 from Städte s where  s.名前 = 'ケルン'''"_s;
        row("comma inside a call (was a second select item)")
            << e << u"select substr(CompanyName, 1, 3) from Customers"_s << QStringList()
            << QStringList{reported(e, pg ? u"substr"_s : u"substr(CompanyName, 1, 3)"_s), u"include "_s, u"Ali"_s}
            << u"select substr(CompanyName, 1, 3) from Customers where  (substr(CompanyName, 1, 3)) like '%Ali%'"_s;
        row("unknown table") << e << u"select a from NoSuchTable"_s
                             << QStringList{illegal(sqlite(u"no such table: NoSuchTable"_s,
                                                           u"relation \"nosuchtable\" does not exist"_s))}
                             << QStringList() << QString();
        row("join without ON")
            << e << u"select c.CompanyName, g.Gender from Customers c inner join GenderTypes g"_s
            << QStringList{pg ? illegal(u"syntax error at or near \"where\""_s)
                              : report(u"Invalid procedure call or argument: length -1 is negative"_s,
                                       ErrorNumber::InvalidArgument)}
            << QStringList() << QString();
        row("tab and line break around FROM (were not separators)")
            << e << u"select\tCompanyName\r\nfrom\tCustomers"_s << QStringList()
            << QStringList{reported(e, u"CompanyName"_s), u"= "_s, u"x"_s}
            << u"select\tCompanyName\r\nfrom\tCustomers where  Customers.CompanyName = 'x'"_s;
        row("line break before WHERE (was not found)")
            << e << u"select CompanyName from Customers\nwhere GenderID = 2"_s << QStringList()
            << QStringList{reported(e, u"CompanyName"_s), u"= "_s, u"x"_s}
            << u"select CompanyName from Customers\nwhere GenderID = 2 and  Customers.CompanyName = 'x'"_s;
        row("tab inside the select list (was part of the column)")
            << e << u"select CompanyName,\tContactName from Customers"_s << QStringList()
            << QStringList{reported(e, u"ContactName"_s), u"= "_s, u"x"_s}
            << u"select CompanyName,\tContactName from Customers where  Customers.ContactName = 'x'"_s;
    });
}

void TestHostile::baseStatements()
{
    QFETCH(Engine, engine);
    QFETCH(QString, sql);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, userRow);
    QFETCH(QString, finalSql);
    NEED_DATABASE(engine);

    ControlRun run;
    run.connection = connection;
    run.sqlInput = sql;
    bool entered = false;
    if (!userRow.isEmpty()) {
        run.user = [&](QWidget *dialog) {
            entered = pickColumnAndOperator(dialog, 1, userRow.at(0), userRow.at(1));
            typeValue(dialog, 1, userRow.at(2));
            okOrCancel(dialog);
        };
    }
    const RunOutcome outcome = run.run(*m_ui);
    QVERIFY(sameTexts(outcome.messages, messages));
    QCOMPARE(outcome.sawDialog, !userRow.isEmpty());
    QCOMPARE(entered, !userRow.isEmpty());
    QVERIFY(sameTexts({outcome.sql}, {finalSql}));
    QCOMPARE(outcome.dialogClosedByOk, !finalSql.isEmpty());
    QCOMPARE(m_ui->mousePointer(), MousePointer::Default);
    // The statements sent were probes of what the host gave, nothing else.
    for (const QString &statement : outcome.statements) {
        QVERIFY2(statement.startsWith(u"select"_s, Qt::CaseInsensitive) || statement.startsWith(u" where 1=0"_s),
                 qPrintable(statement.left(200)));
    }
}

// Host filters ---------------------------------------------------------------------------------

void TestHostile::hostFilters_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("filters");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("dialog");

    const QString customers =
        u"select Customers.CustomerID, Customers.CompanyName, Customers.ContactName, GenderTypes.Gender "
        "from GenderTypes inner join Customers on GenderTypes.GenderID = Customers.GenderID"_s;
    addEngineRows([&](Engine e) {
        const bool pg = e == Engine::Postgres;
        const auto row = [e](const char *name) -> QTestData & { return QTest::addRow("%s: %s", qPrintable(engineName(e)), name); };
        const auto sqlite = [pg](const QString &s, const QString &p) { return pg ? p : s; };

        row("rejected") << e << customers << QStringList{QString(), QString(), u"NoSuchColumn = 1"_s}
                        << QStringList{filterRejected(2, sqlite(u"no such column: NoSuchColumn"_s,
                                                                u"column \"nosuchcolumn\" does not exist"_s))}
                        << false;
        row("open quote") << e << customers << QStringList{QString(), u"CustomerID = 'ALF"_s}
                          << QStringList{filterRejected(
                                 1, sqlite(u"unrecognized token: \"'ALF and 1=0 \""_s,
                                           u"unterminated quoted string at or near \"'ALF and 1=0 \""_s))}
                          << false;
        row("second statement") << e << customers
                                << QStringList{QString(), u"1=1; drop table Products; select 1=1"_s}
                                << QStringList{filterRejected(1, u"Unable to execute multiple statements at a time"_s)}
                                << false;
        row("column without a table")
            << e << u"select CompanyName, 1 + 1 as two from Customers"_s << QStringList{QString(), QString(), QString()}
            << QStringList{filterRejected(2, sqlite(u"near \"where\": syntax error"_s,
                                                    u"syntax error at or near \"where\""_s))}
            << false;
        row("unusable column") << e << u"select r.Title, r.Photo from Remarks r"_s
                               << QStringList{QString(), QString(), u"garbage((("_s} << QStringList() << true;
        row("beyond the catalog") << e << u"select r.Title, r.Body from Remarks r"_s
                                  << QStringList{QString(), QString(), QString(), u"garbage((("_s, u"'"_s}
                                  << QStringList() << true;
        row("at position 0") << e << customers << QStringList{u"garbage((("_s} << QStringList() << true;
        row("only spaces") << e << customers << QStringList{QString(), u"     "_s} << QStringList() << true;
        row("ending in a line comment") << e << customers
                                        << QStringList{QString(), QString(), QString(), QString(), u"GenderID <> 3 --"_s}
                                        << QStringList() << true;
    });
}

void TestHostile::hostFilters()
{
    QFETCH(Engine, engine);
    QFETCH(QString, sql);
    QFETCH(QStringList, filters);
    QFETCH(QStringList, messages);
    QFETCH(bool, dialog);
    NEED_DATABASE(engine);

    Condora control;
    ControlRun run;
    run.connection = connection;
    run.sqlInput = sql;
    run.filters = filters;
    run.control = &control;
    const RunOutcome outcome = run.run(*m_ui);
    QVERIFY(sameTexts(outcome.messages, messages));
    QCOMPARE(outcome.sawDialog, dialog);
    QCOMPARE(outcome.sql, QString());
    for (const QString &statement : outcome.statements) {
        QVERIFY2(statement.startsWith(u"select"_s, Qt::CaseInsensitive), qPrintable(statement));
    }
    // The host's filters are consumed only when the dialog closed: else the next run meets them.
    run.filters.clear();
    const RunOutcome next = run.run(*m_ui);
    QVERIFY(sameTexts(next.messages, dialog ? QStringList() : messages));
    QCOMPARE(next.sawDialog, dialog);
}

// Values typed into the Value editor -----------------------------------------------------------

void TestHostile::typedValues_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("value");
    // What the Value cell holds after typing (the numeric key filter drops keys), and the
    // message OK gives (empty: OK closes the dialog).
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("message");

    addEngineRows([](Engine e) {
        const auto row = [e](const QString &name) -> QTestData & {
            return QTest::addRow("%s: %s", qPrintable(engineName(e)), qPrintable(name));
        };
        for (const QString &value : hostileValues()) {
            if (value.contains(u'\n')) {
                continue; // a line edit takes no line break from the keyboard
            }
            row(u"Title = "_s + label(value)) << e << u"Title"_s << u"= "_s << value << value << QString();
            row(u"Title include "_s + label(value)) << e << u"Title"_s << u"include "_s << value << value << QString();
            row(u"Body not include "_s + label(value))
                << e << u"Body"_s << u"not include "_s << value << value << QString();
        }
        const QString notNumber = u"The value must be numerical!"_s;
        row(u"Amount = statement"_s) << e << u"Amount"_s << u"= "_s << u"1; drop table Customers"_s << u"1"_s
                                     << QString();
        row(u"Amount = quotes"_s) << e << u"Amount"_s << u">= "_s << u"x' or '1'='1"_s << u"11"_s << QString();
        row(u"Amount = comments"_s) << e << u"Amount"_s << u"<> "_s << u"-- 1 /* 0"_s << u"-10"_s << QString();
        row(u"Amount = no digits"_s) << e << u"Amount"_s << u"= "_s << u"ab'c;"_s.repeated(2000) << QString()
                                     << notNumber;
        const QString notDate = u"The value must be date!"_s;
        row(u"Written = quotes"_s) << e << u"Written"_s << u"= "_s << u"x' or '1'='1"_s << u"x' or '1'='1"_s
                                   << notDate;
        row(u"Written = date and more"_s) << e << u"Written"_s << u"< "_s << u"2001-01-03' or '1'='1"_s
                                          << u"2001-01-03' or '1'='1"_s << notDate;
        row(u"Written = date"_s) << e << u"Written"_s << u"= "_s << u"2001-01-03"_s << u"2001-01-03"_s << QString();
        // Longer than a line edit keeps by default (32,767 characters): the value arrives whole.
        // (Not as a pattern: SQLite refuses LIKE patterns over 50,000 bytes.)
        const QString longValue = u"ab'c;"_s.repeated(20000);
        row(u"Title <> 100,000 characters"_s) << e << u"Title"_s << u"<> "_s << longValue << longValue << QString();
    });
}

void TestHostile::typedValues()
{
    QFETCH(Engine, engine);
    QFETCH(QString, column);
    QFETCH(QString, op);
    QFETCH(QString, value);
    QFETCH(QString, cell);
    QFETCH(QString, message);
    NEED_DATABASE(engine);

    ControlRun run;
    run.connection = connection;
    run.sqlInput = RemarksSql + RemarksOrder;
    run.result = true;
    bool entered = false;
    QString typed;
    run.user = [&](QWidget *dialog) {
        entered = pickColumnAndOperator(dialog, 1, reported(engine, column), op);
        typeValue(dialog, 1, value);
        typed = dialogtest::find<FlexGrid>(dialog, "MFGQuery")->TextMatrix(1, 3);
        okOrCancel(dialog);
    };
    const RunOutcome outcome = run.run(*m_ui);
    QVERIFY(entered);
    QVERIFY(sameTexts({typed}, {cell}));
    if (!message.isEmpty()) {
        QCOMPARE(outcome.messages, QStringList{message});
        QVERIFY(!outcome.gotRecordset);
        return;
    }
    QVERIFY(sameTexts(outcome.messages, {}));

    // The final statement, whole: the base statement, the join word, and one condition whose
    // value is a single literal (apostrophes doubled) or a plain number.
    const QString opWord = op.trimmed();
    QString condition;
    QString parity;
    QVariant parameter;
    if (column == u"Amount") {
        QVERIFY2(QRegularExpression(u"^-?[0-9]+$"_s).match(cell).hasMatch(), qPrintable(cell));
        condition = u"r.Amount "_s + opWord + u' ' + cell;
        parity = u"Amount "_s + opWord + u" ?"_s;
        parameter = cell.toInt();
    } else if (opWord.contains(u"include"_s)) {
        const QString like = QString(opWord).replace(u"include"_s, u"like"_s);
        condition = u"r."_s + column + u' ' + like + u" '%"_s + escaped(likePattern(engine, value)) + u"%'"_s;
        parity = column + u' ' + like + u" ?"_s;
        parameter = u"%"_s + likePattern(engine, value) + u"%"_s;
    } else if (column == u"Written" && engine == Engine::Sqlite) {
        // SQLite compares dates through its date functions, whatever form they were stored in.
        condition = u"date(r.Written) "_s + opWord + u" date('"_s + value + u"')"_s;
        parity = u"date(Written) "_s + opWord + u" date(?)"_s;
        parameter = value;
    } else {
        condition = u"r."_s + column + u' ' + opWord + u" '"_s + escaped(value) + u"'"_s;
        parity = column + u' ' + opWord + u" ?"_s;
        parameter = value;
    }
    const QString expected = RemarksSql + u" where  "_s + condition + RemarksOrder;
    QVERIFY(sameTexts({outcome.sql}, {expected}));
    QVERIFY(outcome.gotRecordset);
    // The statement that ran was exactly that one, and it found exactly the rows that the same
    // condition with the value as a bound parameter finds.
    QVERIFY(!outcome.statements.isEmpty());
    QVERIFY(sameTexts({outcome.statements.last()}, {expected}));
    const QStringList ids = db->column(u"select RemarkID from Remarks where "_s + parity + u" order by RemarkID"_s,
                                       {parameter});
    QCOMPARE(outcome.rowIds, ids);
    // The row that holds the value is found by = and include, and left out by not include.
    const QString own = QString::number(hostileValues().indexOf(value) + 1);
    if (opWord == u"=" && column == u"Title") {
        QCOMPARE(ids, QStringList{own});
    } else if (opWord == u"include") {
        QVERIFY2(ids.contains(own), qPrintable(ids.join(u',')));
    } else if (opWord == u"not include") {
        QVERIFY2(!ids.contains(own), qPrintable(ids.join(u',')));
    }
    for (const QString &statement : outcome.statements) {
        QVERIFY2(statement.startsWith(u"select"_s, Qt::CaseInsensitive), qPrintable(statement.left(200)));
    }
}

// Values picked in the value picker ------------------------------------------------------------

void TestHostile::pickedValues_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("op");
    QTest::addColumn<int>("id");

    addEngineRows([](Engine e) {
        const QStringList values = hostileValues();
        for (int i = 0; i < values.size(); ++i) {
            QTest::addRow("%s: Title = %s", qPrintable(engineName(e)), qPrintable(label(values.at(i))))
                << e << u"Title"_s << u"= "_s << i + 1;
            QTest::addRow("%s: Body include %s", qPrintable(engineName(e)), qPrintable(label(values.at(i))))
                << e << u"Body"_s << u"include "_s << i + 1;
        }
    });
}

void TestHostile::pickedValues()
{
    QFETCH(Engine, engine);
    QFETCH(QString, column);
    QFETCH(QString, op);
    QFETCH(int, id);
    NEED_DATABASE(engine);
    const QString value = hostileValues().at(id - 1);

    // The host restricts the picker to the one row that holds the value.
    ControlRun run;
    run.connection = connection;
    run.sqlInput = RemarksSql + RemarksOrder;
    const QString filter = u"RemarkID = "_s + QString::number(id);
    run.filters = QStringList{QString(), QString(), filter, filter};
    run.result = true;
    bool entered = false;
    QStringList listed;
    QString cell;
    run.user = [&](QWidget *dialog) {
        entered = pickColumnAndOperator(dialog, 1, reported(engine, column), op);
        listed = pickFirstListedValue(dialog, 1);
        cell = dialogtest::find<FlexGrid>(dialog, "MFGQuery")->TextMatrix(1, 3);
        okOrCancel(dialog);
    };
    const RunOutcome outcome = run.run(*m_ui);
    QVERIFY(entered);
    QVERIFY(sameTexts(outcome.messages, {}));
    QVERIFY(sameTexts(listed, {value}));
    QVERIFY(sameTexts({cell}, {value}));

    const QString opWord = op.trimmed();
    const QString condition = opWord == u"include"
                                  ? u"r."_s + column + u" like '%"_s + escaped(likePattern(engine, value)) + u"%'"_s
                                  : u"r."_s + column + u" = '"_s + escaped(value) + u"'"_s;
    const QString expected = RemarksSql + u" where  "_s + condition + RemarksOrder;
    QVERIFY(sameTexts({outcome.sql}, {expected}));
    // Long text is listed without DISTINCT. Body is long text (MEMO) on SQLite only: PostgreSQL
    // compares its text like any string.
    const bool longText = column == u"Body" && engine == Engine::Sqlite;
    const QString picker = (longText ? u"select "_s : u"select distinct "_s) + column
                           + u" from Remarks  where "_s + filter;
    QVERIFY2(outcome.statements.contains(picker), qPrintable(outcome.statements.join(u'\n').left(2000)));
    QCOMPARE(outcome.statements.last(), expected);
    const QStringList ids = db->column(
        u"select RemarkID from Remarks where "_s + column + (opWord == u"include" ? u" like ?"_s : u" = ?"_s)
            + u" order by RemarkID"_s,
        {opWord == u"include" ? u"%"_s + likePattern(engine, value) + u"%"_s : value});
    QCOMPARE(outcome.rowIds, ids);
    QVERIFY2(ids.contains(QString::number(id)), qPrintable(ids.join(u',')));
    for (const QString &statement : outcome.statements) {
        QVERIFY2(statement.startsWith(u"select"_s, Qt::CaseInsensitive), qPrintable(statement.left(200)));
    }
}

CONDORA_TEST_MAIN(TestHostile)

#include "tst_hostile.moc"
