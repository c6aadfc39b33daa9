// The backslash rule against a real MariaDB server through its ODBC driver: MariaDB reads a
// backslash in a string literal as an escape character, so a typed value must have its
// backslashes doubled as well as its apostrophes, or it can end its literal early. Values are
// typed into the real query dialog of the public control; the server's general log shows what
// reached it.

#include "../reliability/queryrunner.h"
#include "../reliability/reliabilitysupport.h"

#include "../dialog/dialogdriver.h"

#include "analysis/queryrun.h"
#include "analysis/databasekind.h"
#include "condition/conditioncomposer.h"
#include "dialog/frmcondora.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/runtimeerror.h"
#include "support/testdatabases.h"
#include "support/testmain.h"

#include <QApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QUuid>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace reliability;

namespace {

const QString Database = u"condora_dialect"_s;
const QString BaseSql = u"select t.TextID, t.Body from Texts t"_s;
const QString OrderBy = u" order by t.TextID"_s;

/// The rows of the table Texts: each hostile value next to the decoys a wrong reading of it
/// would find.
const QList<std::pair<int, QString>> &texts()
{
    static const QList<std::pair<int, QString>> rows = {
        {1, u"abc\\"_s},
        {2, u"abc"_s},
        {3, u"abc\\\\"_s},
        {4, u"\\' or 1=1 -- "_s},
        {5, u"' or 1=1 -- "_s},
        {6, u"x\\\\' union select 99, 'injected' -- "_s},
        {7, u"x\\' union select 99, 'injected' -- "_s},
        {8, u"O'Brien\\"_s},
        {9, u"O'Brien"_s},
        {10, u"a\\b"_s},
        {11, u"ab"_s},
        {12, u"a\\\\b"_s},
        {13, u"100%_off"_s},
        {14, u"100% off"_s},
        {15, u"100 percent off"_s},
        {16, u"100off"_s},
        {17, u"50%_off"_s},
    };
    return rows;
}

QStringList allIds()
{
    QStringList ids;
    for (const auto &row : texts()) {
        ids.append(QString::number(row.first));
    }
    return ids;
}

/// A literal's inside as MariaDB needs it: backslashes and apostrophes doubled.
QString literal(const QString &value)
{
    return QString(value).replace(u"\\"_s, u"\\\\"_s).replace(u"'"_s, u"''"_s);
}

QString label(const QString &value)
{
    return QString(value).replace(u"\\"_s, u"<bs>"_s);
}

/// A Qt connection of the test's own to the test database, outside the library: setup checks,
/// bound-parameter queries and the server's general log.
class Outside
{
public:
    explicit Outside(const condora::test::MariaDbServer &server)
        : m_name(QUuid::createUuid().toString(QUuid::WithoutBraces))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QODBC"_s, m_name);
        db.setDatabaseName(server.odbcDriverString(Database));
        if (!db.open()) {
            qWarning() << "outside connection:" << db.lastError().text();
        }
    }
    ~Outside()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }

    bool isOpen() const { return QSqlDatabase::database(m_name, false).isOpen(); }

    /// The first column of every row, as text; "error: ..." when the server refused it.
    QStringList column(const QString &sql, const QVariantList &params = {}) const
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        query.setForwardOnly(true);
        bool ok = query.prepare(sql);
        for (const QVariant &param : params) {
            query.addBindValue(param);
        }
        ok = ok && query.exec();
        if (!ok) {
            return {u"error: "_s + query.lastError().text()};
        }
        QStringList values;
        while (query.next()) {
            values.append(query.value(0).toString());
        }
        return values;
    }

    bool exec(const QString &sql) const
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        if (!query.exec(sql)) {
            qWarning().noquote() << sql << query.lastError().text();
            return false;
        }
        return true;
    }

    /// Every statement the server received from connection `threadId`, from position `from` on.
    QStringList received(const QString &threadId, int from = 0) const
    {
        return column(u"select argument from mysql.general_log where thread_id = ? and command_type in "
                      "('Query', 'Execute')"_s,
                      {threadId.toLongLong()})
            .mid(from);
    }

private:
    QString m_name;
};

} // namespace

class TestMariaDb : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void openByConnectionString();
    void dbmsName();
    void analysis_data();
    void analysis();
    void typedValues_data();
    void typedValues();
    void pickedValues_data();
    void pickedValues();
    void withoutTheRule_data();
    void withoutTheRule();
    void singleFloat_data();
    void singleFloat();

private:
    std::unique_ptr<Outside> m_outside;
    std::shared_ptr<ado::Connection> m_connection;
    /// Why the connection string did not open (empty: it did).
    QString m_openFailure;
    QString m_threadId;
    std::unique_ptr<RecordingUi> m_ui;
    std::unique_ptr<QObject> m_scope;
};

void TestMariaDb::initTestCase()
{
    CONDORA_NEED_MARIADB(server);
    QApplication::setEffectEnabled(Qt::UI_AnimateTooltip, false);
    // The library installs its dialog when it is loaded; linked statically, the test does it.

    server.createDatabase(Database);
    QStringList setup{
        // The rows are written without backslash escapes, so that they hold the texts as they stand.
        u"SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')"_s,
        u"CREATE TABLE Texts (TextID INT PRIMARY KEY, Body VARCHAR(100), Note TEXT, Amount DECIMAL(10,2), "
        "Written DATE, Stamp DATETIME, Flag BOOLEAN)"_s,
    };
    for (const auto &[id, body] : texts()) {
        setup.append(u"INSERT INTO Texts (TextID, Body) VALUES (%1, '%2')"_s.arg(id).arg(
            QString(body).replace(u"'"_s, u"''"_s)));
    }
    setup.append(u"CREATE TABLE Prices (PriceID INT PRIMARY KEY, Amount FLOAT)"_s);
    setup.append(u"INSERT INTO Prices VALUES (1, 21.35), (2, 0.15), (3, 21.35), (4, 9.5)"_s);
    setup.append(u"UPDATE Texts SET Note = 'long text', Amount = 12.5, Written = '2001-01-03', "
                 "Stamp = '2001-01-03 10:20:30', Flag = 1 WHERE TextID = 1"_s);
    server.exec(Database, setup);

    m_outside = std::make_unique<Outside>(server);
    QVERIFY(m_outside->isOpen());
    // The rows hold exactly the texts, as the server reads them back.
    for (const auto &[id, body] : texts()) {
        QCOMPARE(m_outside->column(u"select Body from Texts where TextID = ?"_s, {id}), QStringList{body});
    }
    // The server logs every statement it receives, so that a test can see what reached it.
    QVERIFY(m_outside->exec(u"SET GLOBAL log_output = 'TABLE'"_s));
    QVERIFY(m_outside->exec(u"SET GLOBAL general_log = 1"_s));

    try {
        m_connection = server.open(Database);
    } catch (const RuntimeError &error) {
        m_openFailure = error.description();
        // The rest of the suite runs on the same driver string, opened outside the library.
        m_connection = server.adopt(Database);
    }
    const std::unique_ptr<ado::Recordset> id = m_connection->Execute(u"select connection_id()"_s);
    m_threadId = id->Fields().Item(0).Value().toString();
    QVERIFY(!m_threadId.isEmpty());
}

void TestMariaDb::cleanupTestCase()
{
    if (m_outside) {
        m_outside->exec(u"SET GLOBAL general_log = 0"_s);
        m_outside->exec(u"TRUNCATE TABLE mysql.general_log"_s);
    }
    m_connection.reset();
    m_outside.reset();
}

void TestMariaDb::init()
{
    beginTestRun(m_ui, m_scope);
}

void TestMariaDb::cleanup()
{
    const QStringList open = endTestRun(m_ui, m_scope);
    QVERIFY2(open.isEmpty(), qPrintable(open.join(u", "_s)));
    // Whatever was typed, the table keeps every row.
    QCOMPARE(m_outside->column(u"select count(*) from Texts"_s), QStringList{QString::number(texts().size())});
}

void TestMariaDb::openByConnectionString()
{
    // Qt's ODBC driver passes the driver string's terminating NUL along with it, and the
    // MariaDB driver reads a NUL after a final ";" as one more attribute and refuses the whole
    // string: the library hands the string over without one, also when the caller's ends with
    // ";" (as the test server's does).
    QVERIFY(condora::test::mariaDbServer()->odbcConnectionString(Database).endsWith(u';'));
    QVERIFY2(m_openFailure.isEmpty(), qPrintable(m_openFailure));
    QCOMPARE(m_connection->driverName(), u"QODBC"_s);
    QVERIFY(!m_connection->database().databaseName().endsWith(u';'));
}

void TestMariaDb::dbmsName()
{
    const ado::Properties &properties = m_connection->Properties();
    QString name;
    for (int i = 0; i < properties.Count(); ++i) {
        if (properties.Item(i).Name() == u"DBMS Name") {
            name = properties.Item(i).Value().toString();
        }
    }
    QVERIFY2(name.contains(u"MariaDB"_s, Qt::CaseInsensitive) || name.contains(u"MySQL"_s, Qt::CaseInsensitive),
             qPrintable(name));
    QVERIFY(usesBackslashEscapes(*m_connection));
    // MariaDB is one of the "other" databases.
    QCOMPARE(dbKindText(getDbKind(*m_connection)), u"99"_s);
    QVERIFY(m_ui->texts().isEmpty());
}

void TestMariaDb::analysis_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("alias");
    // colName:typeClass of every catalog entry
    QTest::addColumn<QStringList>("columns");

    const QStringList all{u"TextID:number"_s, u"Body:string"_s,  u"Note:lstring"_s, u"Amount:number"_s,
                          u"Written:date"_s,  u"Stamp:date"_s, u"Flag:number"_s};
    QTest::newRow("aliased table")
        << u"select t.TextID, t.Body, t.Note, t.Amount, t.Written, t.Stamp, t.Flag from Texts t order by t.TextID"_s
        << u"t"_s << all;
    QTest::newRow("unqualified columns")
        << u"select TextID, Body, Note, Amount, Written, Stamp, Flag from Texts where TextID > 3"_s << u"Texts"_s
        << all;
}

void TestMariaDb::analysis()
{
    QFETCH(QString, sql);
    QFETCH(QString, alias);
    QFETCH(QStringList, columns);

    ControlRun run;
    run.connection = m_connection;
    run.sqlInput = sql;
    FieldCatalog catalog;
    QString kind;
    bool escapes = false;
    run.user = [&](QWidget *dialog) {
        const condora::QueryRun &seen = static_cast<frmCondora *>(dialog)->run();
        catalog = seen.fieldCatalog;
        kind = dbKindText(seen.dbKind);
        escapes = seen.escapes.backslashEscapes;
        press(dialog, "cmdCancel");
    };
    const RunOutcome outcome = run.run(*m_ui);
    QVERIFY(sameTexts(outcome.messages, {}));
    QVERIFY(outcome.sawDialog);
    QCOMPARE(kind, u"99"_s);
    QVERIFY(escapes);

    QStringList found;
    for (int i = 1; i < catalog.size(); ++i) {
        const ColumnInfo &entry = catalog.at(i);
        found.append(entry.colName + u':' + typeClassText(entry.typeClass));
        QCOMPARE(entry.tabName, u"Texts"_s);
        QCOMPARE(entry.tabAlias, alias);
        QVERIFY2(entry.usable, qPrintable(entry.colName));
    }
    QVERIFY(sameTexts(found, columns));
}

void TestMariaDb::typedValues_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("value");
    // The rows the condition must find, as the user means it.
    QTest::addColumn<QStringList>("ids");

    const auto row = [](const char *op, const QString &value) -> QTestData & {
        return QTest::addRow("%s %s", op, qPrintable(label(value)));
    };

    row("=", u"abc\\"_s) << u"= "_s << u"abc\\"_s << QStringList{u"1"_s};
    row("=", u"\\' or 1=1 -- "_s) << u"= "_s << u"\\' or 1=1 -- "_s << QStringList{u"4"_s};
    row("=", u"x\\\\' union select 99, 'injected' -- "_s)
        << u"= "_s << u"x\\\\' union select 99, 'injected' -- "_s << QStringList{u"6"_s};
    row("=", u"O'Brien\\"_s) << u"= "_s << u"O'Brien\\"_s << QStringList{u"8"_s};
    row("=", u"a\\b"_s) << u"= "_s << u"a\\b"_s << QStringList{u"10"_s};
    row("<>", u"abc\\"_s) << u"<> "_s << u"abc\\"_s << QStringList(allIds().mid(1));
    // % and _ are the pattern's wildcards under include, and plain characters under =.
    row("include", u"100%_off"_s) << u"include "_s << u"100%_off"_s << QStringList{u"13"_s, u"14"_s, u"15"_s};
    row("=", u"100%_off"_s) << u"= "_s << u"100%_off"_s << QStringList{u"13"_s};
    row("include", u"O'Brien"_s) << u"include "_s << u"O'Brien"_s << QStringList{u"8"_s, u"9"_s};
    row("include", u"a\\b"_s) << u"include "_s << u"a\\b"_s << QStringList{u"10"_s};
    row("include", u"abc\\"_s) << u"include "_s << u"abc\\"_s << QStringList{u"1"_s, u"3"_s};
    row("include", u"\\' or 1=1 -- "_s) << u"include "_s << u"\\' or 1=1 -- "_s << QStringList{u"4"_s};
    row("not include", u"a\\b"_s) << u"not include "_s << u"a\\b"_s
                                   << QStringList(allIds().mid(0, 9) + allIds().mid(10));
}

void TestMariaDb::typedValues()
{
    QFETCH(QString, op);
    QFETCH(QString, value);
    QFETCH(QStringList, ids);

    // The server's log is read by the host connection's thread id: the run stays on it.
    m_connection->setSeparateRunConnection(false);
    const auto separateAgain = qScopeGuard([this] { m_connection->setSeparateRunConnection(true); });
    const int logged = int(m_outside->received(m_threadId).size());
    ControlRun run;
    run.connection = m_connection;
    run.sqlInput = BaseSql + OrderBy;
    run.result = true;
    bool entered = false;
    QString typed;
    run.user = [&](QWidget *dialog) {
        entered = pickColumnAndOperator(dialog, 1, u"Body"_s, op);
        typeValue(dialog, 1, value);
        typed = dialogtest::find<FlexGrid>(dialog, "MFGQuery")->TextMatrix(1, 3);
        okOrCancel(dialog);
    };
    const RunOutcome outcome = run.run(*m_ui);
    QVERIFY(entered);
    QCOMPARE(typed, value);
    // The server accepted every statement: no message, and the result arrived.
    QVERIFY(sameTexts(outcome.messages, {}));
    QVERIFY(outcome.gotRecordset);

    // The final statement, whole: one condition whose value is a single literal. Under include,
    // LIKE reads a backslash as its escape, so the pattern carries each one doubled; the literal
    // then doubles it again.
    const QString opWord = op.trimmed();
    const bool like = opWord.contains(u"include"_s);
    const QString pattern = like ? u"%"_s + QString(value).replace(u"\\"_s, u"\\\\"_s) + u"%"_s : value;
    const QString condition = u"t.Body "_s + QString(opWord).replace(u"include"_s, u"like"_s) + u" '"_s
                              + literal(pattern) + u"'"_s;
    const QString expected = BaseSql + u" where  "_s + condition + OrderBy;
    QVERIFY(sameTexts({outcome.sql}, {expected}));
    // It is the last statement the server received from the control, and every one was a query.
    const QStringList received = m_outside->received(m_threadId, logged);
    QVERIFY(!received.isEmpty());
    QVERIFY(sameTexts({received.last()}, {expected}));
    for (const QString &statement : received) {
        QVERIFY2(statement.startsWith(u"select"_s, Qt::CaseInsensitive), qPrintable(statement.left(200)));
    }

    // The literal reads as the typed value: the rows are those of the same condition with the
    // value handed over in hexadecimal, where no escape rule applies. (Not as a bound parameter:
    // Qt's ODBC driver sends a bound text with its terminating NUL, which MariaDB keeps.)
    const QString parity = u"select TextID from Texts where Body "_s
                           + QString(opWord).replace(u"include"_s, u"like"_s) + u" CONVERT(UNHEX('"_s
                           + QString::fromLatin1(pattern.toUtf8().toHex()) + u"') USING utf8mb4) order by TextID"_s;
    QCOMPARE(outcome.rowIds, m_outside->column(parity));
    QVERIFY(outcome.rowIds != allIds() || ids == allIds());

    QCOMPARE(outcome.rowIds, ids);
}

void TestMariaDb::pickedValues_data()
{
    QTest::addColumn<int>("id");
    for (const int id : {1, 4, 6, 8, 10}) {
        QTest::addRow("%s", qPrintable(label(texts().at(id - 1).second))) << id;
    }
}

void TestMariaDb::pickedValues()
{
    QFETCH(int, id);
    const QString value = texts().at(id - 1).second;

    // The host restricts the picker to the one row that holds the value.
    ControlRun run;
    run.connection = m_connection;
    run.sqlInput = BaseSql + OrderBy;
    run.filters = QStringList{QString(), QString(), u"TextID = "_s + QString::number(id)};
    run.result = true;
    bool entered = false;
    QStringList listed;
    QString cell;
    run.user = [&](QWidget *dialog) {
        entered = pickColumnAndOperator(dialog, 1, u"Body"_s, u"= "_s);
        listed = pickFirstListedValue(dialog, 1);
        cell = dialogtest::find<FlexGrid>(dialog, "MFGQuery")->TextMatrix(1, 3);
        okOrCancel(dialog);
    };
    const RunOutcome outcome = run.run(*m_ui);
    QVERIFY(entered);
    QVERIFY(sameTexts(outcome.messages, {}));
    // The picker shows the text as stored, and the grid takes it unchanged.
    QVERIFY(sameTexts(listed, {value}));
    QVERIFY(sameTexts({cell}, {value}));
    QVERIFY(sameTexts({outcome.sql}, {BaseSql + u" where  t.Body = '"_s + literal(value) + u"'"_s + OrderBy}));
    QCOMPARE(outcome.rowIds, QStringList{QString::number(id)});
}

void TestMariaDb::withoutTheRule_data()
{
    QTest::addColumn<QString>("value");
    // What the server does with the value composed with apostrophes doubled only: an error
    // (an empty list) or the rows it finds; and the one row it must find.
    QTest::addColumn<QStringList>("without");
    QTest::addColumn<QString>("id");

    QTest::newRow("trailing backslash: the literal never ends") << u"abc\\"_s << QStringList() << u"1"_s;
    QTest::newRow("escaped apostrophe: the condition leaves its literal")
        << u"\\' or 1=1 -- "_s << allIds() << u"4"_s;
    QTest::newRow("double backslash: another row") << u"x\\\\' union select 99, 'injected' -- "_s
                                                   << QStringList{u"7"_s} << u"6"_s;
}

void TestMariaDb::withoutTheRule()
{
    QFETCH(QString, value);
    QFETCH(QStringList, without);
    QFETCH(QString, id);

    const auto compose = [&](bool backslashEscapes) {
        condora::QueryRun state;
        state.dbKind = DbKind::Other;
        state.escapes.backslashEscapes = backslashEscapes;
        state.baseSql = BaseSql + OrderBy;
        ColumnInfo column;
        column.colExpr = u"Body"_s;
        column.colName = u"Body"_s;
        column.tabAlias = u"t"_s;
        column.typeClass = TypeClass::String;
        state.fieldCatalog = {ColumnInfo(), column};
        ConditionRow row;
        row.column = u"Body"_s;
        row.op = u"= "_s;
        row.value = value;
        row.colIndex = u"1"_s;
        return composeCondition({row}, state).statement;
    };
    const auto rowsOf = [this](const QString &sql) {
        QStringList ids;
        std::unique_ptr<ado::Recordset> rs = m_connection->Execute(sql);
        while (!rs->Eof()) {
            ids.append(rs->Fields().Item(0).Value().toString());
            rs->MoveNext();
        }
        return ids;
    };

    const QString unsafe = compose(false);
    QVERIFY(unsafe.contains(u"'"_s + QString(value).replace(u"'"_s, u"''"_s) + u"'"_s));
    if (without.isEmpty()) {
        try {
            const QStringList found = rowsOf(unsafe);
            QFAIL(qPrintable(u"the server took it and found "_s + found.join(u',')));
        } catch (const RuntimeError &error) {
            QCOMPARE(error.number(), ErrorNumber::Database);
            QVERIFY2(error.description().contains(u"syntax"_s), qPrintable(error.description()));
        }
    } else {
        QCOMPARE(rowsOf(unsafe), without);
    }

    const QString safe = compose(true);
    QCOMPARE(safe, BaseSql + u" where  t.Body = '"_s + literal(value) + u"'"_s + OrderBy);
    QCOMPARE(rowsOf(safe), QStringList{id});
    QVERIFY(m_ui->texts().isEmpty());
}

void TestMariaDb::singleFloat_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("oracle"); // the test's own condition on the stored values
    QTest::newRow("= 21.35") << u"= "_s << u"21.35"_s << u"abs(Amount - 21.35) < 0.0001"_s;
    QTest::newRow("<> 0.15") << u"<> "_s << u"0.15"_s << u"abs(Amount - 0.15) >= 0.0001"_s;
    QTest::newRow("= 9.5") << u"= "_s << u"9.5"_s << u"Amount = 9.5"_s;
}

// A FLOAT column holds single-precision values: a decimal literal compares as a double and misses
// them, so the literal is cast to the column's own type.
void TestMariaDb::singleFloat()
{
    QFETCH(QString, op);
    QFETCH(QString, value);
    QFETCH(QString, oracle);
    ControlRun run;
    run.connection = m_connection;
    run.sqlInput = u"select p.PriceID, p.Amount from Prices p order by p.PriceID"_s;
    run.result = true;
    run.user = [&](QWidget *dialog) {
        QVERIFY(pickColumnAndOperator(dialog, 1, u"Amount"_s, op));
        typeValue(dialog, 1, value);
        okOrCancel(dialog);
    };
    const RunOutcome outcome = run.run(*m_ui);
    QVERIFY(sameTexts(outcome.messages, {}));
    const QStringList expected = m_outside->column(u"select PriceID from Prices where "_s + oracle + u" order by PriceID"_s);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(outcome.rowIds, expected);
}

CONDORA_TEST_MAIN(TestMariaDb)
#include "tst_mariadb.moc"
