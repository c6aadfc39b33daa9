// The value picker's search, counts, typed sort and session memory, on SQLite and PostgreSQL,
// each checked against what the test reads and computes itself.

#include "dialogdriver.h"
#include "pickerlists.h"
#include "platform/ado/connectionstatistics.h"

#include "analysis/databasekind.h"
#include "analysis/queryrun.h"
#include "condition/valuerules.h"
#include "dialog/frmgetvalue.h"
#include "dialog/valuesearch.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/userinteraction.h"
#include "support/testdatabases.h"
#include "support/testmain.h"

#include <QCheckBox>
#include <QCollator>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace dialogtest;
using condora::test::listed;
using condora::test::readColumn;

namespace {

const QStringList words{u"Straße"_s, u"STRASSE"_s, u"Éclair"_s, u"éclat"_s, u"ÉCLAT"_s, u"100%"_s, u"100 percent"_s,
                        u"a_b"_s, u"axb"_s, u"back\\slash"_s, u"O'Brien"_s, u"Ünïcödé"_s, u"hidden"_s};

QStringList schema(bool postgres, bool mariadb = false)
{
    QStringList statements{u"CREATE TABLE words (w VARCHAR(40), n INTEGER, d DATE)"_s};
    for (int i = 0; i < words.size(); ++i) {
        QString w = words.at(i);
        w.replace(u"'"_s, u"''"_s);
        const QString text = postgres && w.contains(u'\\') ? u"E'"_s + QString(w).replace(u"\\"_s, u"\\\\"_s) + u'\''
                             : mariadb ? u'\'' + QString(w).replace(u"\\"_s, u"\\\\"_s) + u'\''
                                                            : u'\'' + w + u'\'';
        for (int copy = 0; copy <= i % 3; ++copy) { // 1 to 3 rows per word
            statements.append(u"INSERT INTO words VALUES (%1, %2, '20%3-0%4-1%5')"_s.arg(text).arg((i * 37) % 11 - 4)
                                  .arg(10 + i).arg(1 + i % 9).arg(i % 9));
        }
    }
    statements.append(u"INSERT INTO words VALUES (NULL, NULL, NULL)"_s);
    if (mariadb) {
        return statements; // several is made when a test asks for it (open())
    }
    // Values made as they are read: a search for a character none of them holds reads them all,
    // for seconds (PostgreSQL reads them all for any search: it hashes them for DISTINCT).
    statements.append(postgres ? u"CREATE VIEW many AS SELECT 'w' || (a * 10000 + b) AS w "
                                 u"FROM generate_series(0, 499) a, generate_series(1, 10000) b"_s
                               : u"CREATE VIEW many AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
                                 u"WHERE x < 10000000) SELECT 'w' || x AS w FROM c"_s);
    if (!postgres) { // a tenth of a second or so to read them all
        statements.append(u"CREATE VIEW several AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
                          u"WHERE x < 200000) SELECT 'w' || x AS w FROM c"_s);
    }
    return statements;
}

/// Types `text` key by key (QTest::keyClicks takes ASCII only).
void type(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

QStringList sorted(QStringList values)
{
    values.sort();
    return values;
}

/// Values as `backend` tells them apart, sorted: MariaDB's case-insensitive collation takes
/// "éclat" and "ÉCLAT" for one value and lists whichever it meets first (a condition on either
/// finds the rows of both there), so there they are compared case-folded.
QStringList asTold(QStringList values, const QString &backend)
{
    if (backend == u"mariadb") {
        for (QString &value : values) {
            value = value.toCaseFolded();
        }
    }
    return sorted(values);
}

} // namespace

/// Opens the picker (TestValueSearch::open); skips when the backend's test server is not
/// configured, and fails when the test run requires it.
#define OPEN_OR_SKIP(backend, ...)                                                                  \
    if (!open(backend, __VA_ARGS__)) {                                                              \
        QVERIFY2(!(backend == u"mariadb" ? test::mariaDbRequired() : test::pgRequired()),           \
                 "test server required but not configured");                                        \
        QSKIP("no test server for this database");                                                  \
    }

class TestValueSearch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void searchNarrows_data();
    void searchNarrows();
    void countsPerValue_data();
    void countsPerValue();
    void narrowedBySearchToo_data() { backends(); }
    void narrowedBySearchToo();
    void typedSort_data();
    void typedSort();
    void keysAndSession();
    void typingStopsTheRunningSearch_data() { backends(false); }
    void typingStopsTheRunningSearch();
    void keysHeldBackAreTakenTogether_data();
    void keysHeldBackAreTakenTogether();
    void failedSearchEmptiesTheList_data();
    void failedSearchEmptiesTheList();
    void likeStatements_data();
    void likeStatements();

private:
    /// SQLite, PostgreSQL and (unless `mariadb` is false) MariaDB.
    void backends(bool mariadb = true);
    /// Opens the picker on column `position` of the words table (or many or several, whose only
    /// column is w) in `backend`; false when its test server is not configured.
    bool open(const QString &backend, int position, const QString &table = u"words"_s);

    std::unique_ptr<RecordingUserInteraction> m_ui;
    std::unique_ptr<test::SqliteFile> m_file;
    QueryRun m_run;
    std::unique_ptr<frmGetValue> m_picker;
    FlexGrid *m_grid = nullptr;
    const QString m_filter = u" where w is null or w <> 'hidden'"_s;
    /// The base statement open() gives the picker's run, when a test sets one.
    QString m_base;
};

void TestValueSearch::init()
{
    m_ui = std::make_unique<RecordingUserInteraction>();
    frmGetValue::resetSession();
}

void TestValueSearch::cleanup()
{
    m_base.clear();
    m_picker.reset();
    m_run = QueryRun();
    m_file.reset();
    m_ui.reset();
    frmGetValue::resetSession();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestValueSearch::backends(bool mariadb)
{
    QTest::addColumn<QString>("backend");
    QTest::newRow("SQLite") << u"sqlite"_s;
    QTest::newRow("PostgreSQL") << u"postgresql"_s;
    if (mariadb) {
        QTest::newRow("MariaDB") << u"mariadb"_s;
    }
}

bool TestValueSearch::open(const QString &backend, int position, const QString &table)
{
    if (backend == u"mariadb") {
        const auto maria = test::mariaDbServer();
        if (!maria) {
            return false;
        }
        maria->createDatabase(u"condora_valuesearch"_s);
        maria->exec(u"condora_valuesearch"_s, schema(false, true));
        if (table == u"several") { // a fifth of a second or so to search them all
            maria->exec(u"condora_valuesearch"_s, {u"CREATE TABLE several (w VARCHAR(20), KEY (w)) "
                                                   u"AS SELECT concat('w', seq) AS w FROM seq_1_to_1000000"_s});
        }
        m_run.connection = maria->open(u"condora_valuesearch"_s);
        m_run.product = DbProduct::MySql;
    } else if (backend == u"postgresql") {
        const auto pg = test::pgServer();
        if (!pg) {
            return false;
        }
        pg->createDatabase(u"condora_valuesearch"_s);
        pg->exec(u"condora_valuesearch"_s, schema(true));
        m_run.connection = pg->open(u"condora_valuesearch"_s);
        m_run.product = DbProduct::PostgreSql;
    } else {
        m_file = std::make_unique<test::SqliteFile>(schema(false));
        m_run.connection = m_file->open();
        m_run.product = DbProduct::Sqlite;
    }
    m_run.savedCursorLocation = m_run.connection->CursorLocation();
    m_run.baseSql = m_base.isEmpty() ? u"select w.w, w.n, w.d, upper(w.w) as uw from %1 w"_s.arg(table) : m_base;
    m_run.dbKind = DbKind::Other;
    m_run.escapes = escapeRulesOf(*m_run.connection);
    m_run.fieldCatalog = {ColumnInfo()};
    for (const auto &[name, type] : {std::pair{u"w"_s, TypeClass::String}, {u"n"_s, TypeClass::Number},
                                     {u"d"_s, TypeClass::Date}}) {
        ColumnInfo c;
        c.colExpr = c.colName = name;
        c.tabName = table;
        c.tabAlias = u"w"_s;
        c.typeClass = type;
        c.filterClause = m_filter;
        m_run.fieldCatalog.append(c);
    }
    ColumnInfo computed = m_run.fieldCatalog.at(1); // uw: listed over the statement's FROM clause
    computed.colExpr = computed.colName = u"uw"_s;
    computed.expression = u"upper(w.w)"_s;
    computed.tabName.clear();
    m_run.fieldCatalog.append(computed);
    m_picker = std::make_unique<frmGetValue>(m_run);
    m_picker->setHeadTitle(m_run.fieldCatalog.at(position).colName);
    m_picker->setP_colIndex(QString::number(position));
    m_picker->show();
    m_picker->activateWindow();
    if (!QTest::qWaitForWindowActive(m_picker.get())) {
        qWarning("the picker did not become active");
    }
    m_grid = find<FlexGrid>(m_picker.get(), "MSFlexGrid1");
    return true;
}

void TestValueSearch::searchNarrows_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("typed");
    for (const QString backend : {u"sqlite"_s, u"postgresql"_s, u"mariadb"_s}) {
        for (const QString typed : {u"éCL"_s, u"ÜNÏ"_s, u"%"_s, u"_"_s, u"a_"_s, u"\\"_s, u"'b"_s, u"ß"_s, u"zzz"_s}) {
            if (backend == u"mariadb" && typed == u"ß") {
                continue; // its utf8mb4_general_ci takes "ß" for "s": the column's collation decides
            }
            QTest::addRow("%s: %s", qPrintable(backend), qPrintable(typed)) << backend << typed;
        }
    }
}

void TestValueSearch::searchNarrows()
{
    QFETCH(QString, backend);
    QFETCH(QString, typed);
    OPEN_OR_SKIP(backend, 1);
    QStringList expected;
    for (const QString &value : readColumn(*m_run.connection, u"select distinct w from words"_s + m_filter)) {
        if (value != frmGetValue::nullEntry() && value.contains(typed, Qt::CaseInsensitive)) {
            expected.append(value);
        }
    }
    auto *search = find<QLineEdit>(m_picker.get(), "txtSearch");
    QCOMPARE(QApplication::focusWidget(), search);
    condora::ado::resetStatementCount(*m_run.connection);
    // Every keystroke searches at once (keys that come the moment a long list is there are taken
    // together).
    type(search, typed);
    QTest::qWait(60); // past the moment in which keys are taken together, should these have been
    QTRY_COMPARE(sorted(listed(m_grid)), expected.isEmpty() ? QStringList{QString()} : sorted(expected));
    QVERIFY(condora::ado::statementCount(*m_run.connection) <= typed.size());
    const QString count = find<QLabel>(m_picker.get(), "lblCount")->text();
    QCOMPARE(count, expected.size() == 1 ? u"1 value"_s : u"%1 values"_s.arg(expected.size()));
    QVERIFY(m_ui->texts().isEmpty());
}

void TestValueSearch::countsPerValue_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("operand"); // what the test's own statements read
    QTest::addColumn<QString>("base");    // empty: the plain statement over words
    // Rows of a statement that joins and restricts: each value counts the statement's rows.
    const QString joined = u"select w.w, w.n, w.d, upper(w.w) as uw from words w join words x on x.w = w.w "
                           "where w.n > -3"_s;
    for (const QString &backend : {u"sqlite"_s, u"postgresql"_s, u"mariadb"_s}) {
        QTest::addRow("%s: a table's column", qPrintable(backend)) << backend << 1 << u"w.w"_s << QString();
        QTest::addRow("%s: a computed column", qPrintable(backend)) << backend << 4 << u"upper(w.w)"_s << QString();
        QTest::addRow("%s: rows of a join", qPrintable(backend)) << backend << 1 << u"w"_s << joined;
    }
}

void TestValueSearch::countsPerValue()
{
    QFETCH(QString, backend);
    QFETCH(int, position);
    QFETCH(QString, operand);
    QFETCH(QString, base);
    m_base = base;
    OPEN_OR_SKIP(backend, position);
    // The values as the database tells them apart, and for each the rows a condition on it
    // finds: count(*) of its own statement (over the base statement's rows).
    QStringList expected;
    const QString listedOperand = base.isEmpty() ? operand : u"w.w"_s;
    for (const QString &value :
         readColumn(*m_run.connection, u"select distinct %1 from words w"_s.arg(listedOperand) + m_filter)) {
        if (value.contains(u"cl"_s, Qt::CaseInsensitive)) {
            expected.append(value);
        }
    }
    // The switch and the count sit under the list, inside the window (it once laid them out
    // in the frame's allowance, out of sight).
    auto *counts = find<QCheckBox>(m_picker.get(), "chkCounts");
    for (const QWidget *strip : {static_cast<QWidget *>(counts), find<QWidget>(m_picker.get(), "lblCount")}) {
        QVERIFY(strip->geometry().bottom() < m_picker->height() && strip->x() < m_picker->width());
        QVERIFY(strip->geometry().top() >= m_grid->geometry().bottom());
    }
    counts->setChecked(true);
    QCOMPARE(m_grid->Cols(), 2);
    type(find<QLineEdit>(m_picker.get(), "txtSearch"), u"CL"_s);
    QTRY_COMPARE(listed(m_grid).size(), expected.size());
    QStringList shown;
    for (int row = 1; row < m_grid->Rows(); ++row) {
        const QString value = m_grid->TextMatrix(row, 0);
        shown.append(value);
        const QString own = base.isEmpty() ? u"select count(*) from words w where (%1) and %2 = '%3'"_s
                                                 .arg(m_filter.mid(7), operand, escapedLiteral(value, m_run.escapes))
                                           : u"select count(*) from (%1) b where b.%2 = '%3'"_s
                                                 .arg(base, operand, escapedLiteral(value, m_run.escapes));
        QCOMPARE(m_grid->TextMatrix(row, 1), readColumn(*m_run.connection, own).value(0));
    }
    QCOMPARE(asTold(shown, backend), asTold(expected, backend));
}

// "Only values matching the other rows" on a statement the test writes (the other rows: n > 0)
// lists the values the test reads under that condition itself; a search narrows further.
void TestValueSearch::narrowedBySearchToo()
{
    QFETCH(QString, backend);
    OPEN_OR_SKIP(backend, 1);
    const QString others = u"select w.w, w.n, w.d from words w where w.n > 0"_s;
    m_picker->setNarrowing(others, quotedName(u"w"_s, m_run));
    const QStringList fitting = readColumn(*m_run.connection, u"select distinct w from words where n > 0 and (%1)"_s
                                                                  .arg(m_filter.mid(7)));
    auto *narrow = find<QCheckBox>(m_picker.get(), "chkNarrow");
    QVERIFY(narrow->isVisible());
    const int plain = listed(m_grid).size();
    narrow->setChecked(true);
    QCOMPARE(asTold(listed(m_grid), backend), asTold(fitting, backend));
    QVERIFY(fitting.size() > 2 && fitting.size() < plain);
    type(find<QLineEdit>(m_picker.get(), "txtSearch"), u"A"_s);
    QStringList expected;
    for (const QString &value : fitting) {
        if (value.contains(u'a', Qt::CaseInsensitive)) {
            expected.append(value);
        }
    }
    QTRY_COMPARE(asTold(listed(m_grid), backend), asTold(expected, backend));
    QVERIFY(m_ui->texts().isEmpty());
}

void TestValueSearch::typedSort_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("column");
    for (const QString backend : {u"sqlite"_s, u"postgresql"_s, u"mariadb"_s}) {
        QTest::addRow("%s: text by collation", qPrintable(backend)) << backend << 1 << 0;
        QTest::addRow("%s: numbers numerically", qPrintable(backend)) << backend << 2 << 0;
        QTest::addRow("%s: dates chronologically", qPrintable(backend)) << backend << 3 << 0;
        QTest::addRow("%s: counts numerically", qPrintable(backend)) << backend << 1 << 1;
    }
}

void TestValueSearch::typedSort()
{
    QFETCH(QString, backend);
    QFETCH(int, position);
    QFETCH(int, column);
    OPEN_OR_SKIP(backend, position);
    find<QCheckBox>(m_picker.get(), "chkCounts")->setChecked(column == 1);
    const QStringList shown = listed(m_grid, column);
    QStringList values = shown;
    values.removeAll(frmGetValue::nullEntry());
    QCollator collator;
    std::stable_sort(values.begin(), values.end(), [&](const QString &a, const QString &b) {
        if (position == 2 || column == 1) {
            return a.toDouble() < b.toDouble();
        }
        if (position == 3) {
            return QDate::fromString(a, Qt::ISODate) < QDate::fromString(b, Qt::ISODate);
        }
        return collator.compare(a, b) < 0;
    });
    if (shown.contains(frmGetValue::nullEntry())) {
        values.prepend(frmGetValue::nullEntry());
    }
    const QRect title = cellRect(m_grid, 0, column);
    clickGridAt(m_grid, title.center());
    QCOMPARE(m_picker->sortState(), 1);
    QStringList descending = values;
    std::reverse(descending.begin(), descending.end());
    QCOMPARE(listed(m_grid, column), descending);
    clickGridAt(m_grid, title.center());
    QCOMPARE(listed(m_grid, column), values);
    QVERIFY(m_picker->isVisible());
}

void TestValueSearch::keysAndSession()
{
    QVERIFY(open(u"sqlite"_s, 1));
    auto *search = find<QLineEdit>(m_picker.get(), "txtSearch");
    type(search, u"éclat"_s);
    QTRY_COMPARE(listed(m_grid).size(), 2);
    const QString second = m_grid->TextMatrix(2, 0);
    QTest::keyClick(search, Qt::Key_Down); // into the list, one row on
    QCOMPARE(QApplication::focusWidget(), m_grid->view());
    QTest::keyClick(m_grid->view(), Qt::Key_Return);
    QCOMPARE(m_picker->pickedValue(), std::optional<QString>(second));

    // Enter in the field right after typing picks the first value of the list for the typed
    // text; the counts switch and a user's resize are remembered for the next picker.
    m_picker.reset();
    QVERIFY(open(u"sqlite"_s, 1));
    find<QCheckBox>(m_picker.get(), "chkCounts")->setChecked(true);
    m_picker->resize(m_picker->size() + QSize(40, 30));
    const QSize size = m_picker->size();
    search = find<QLineEdit>(m_picker.get(), "txtSearch");
    type(search, u"o'b"_s);
    QTest::keyClick(search, Qt::Key_Return);
    QCOMPARE(m_picker->pickedValue(), std::optional<QString>(u"O'Brien"_s));
    m_picker.reset();
    QVERIFY(open(u"sqlite"_s, 1));
    QVERIFY(find<QCheckBox>(m_picker.get(), "chkCounts")->isChecked());
    QCOMPARE(m_picker->size(), size);

    // A search that finds nothing leaves nothing to pick: Enter keeps the picker open.
    search = find<QLineEdit>(m_picker.get(), "txtSearch");
    type(search, u"nothing like it"_s);
    QTest::keyClick(search, Qt::Key_Return);
    QVERIFY(m_picker->isVisible());
    QVERIFY(!m_picker->pickedValue() && !m_picker->pickedNull());
    QCOMPARE(find<QLabel>(m_picker.get(), "lblCount")->text(), u"0 values"_s);
}

// The user goes on typing while a search runs that reads for seconds: the keys reach the field,
// the running search stops without a message, the list follows the text as it then stands, and
// the Enter typed with it picks from that list.
void TestValueSearch::typingStopsTheRunningSearch()
{
    QFETCH(QString, backend);
    OPEN_OR_SKIP(backend, 1, u"many"_s);
    auto *search = find<QLineEdit>(m_picker.get(), "txtSearch");
    QElapsedTimer clock;
    qint64 typedOnAt = -1;
    QTimer::singleShot(400, m_picker.get(), [&] {
        QTest::sendKeyEvent(QTest::Click, search, Qt::Key_Backspace, QString(), Qt::NoModifier);
        type(search, u"7"_s);
        QTest::keyClick(search, Qt::Key_Return); // picks the first value listed for "7"
        typedOnAt = clock.elapsed();
    });
    QTest::qWait(100); // (a key the moment a long list is there would wait for more keys)
    clock.start();
    type(search, u"z"_s); // no value holds a "z": the search reads every value, for seconds
    const qint64 stoppedAt = clock.elapsed();
    QVERIFY(typedOnAt >= 0);
    QCOMPARE(search->text(), u"7"_s);
    QVERIFY2(stoppedAt - typedOnAt < 1000, qPrintable(u"stopped %1 ms after the keys"_s.arg(stoppedAt - typedOnAt)));
    // The list then follows the text as it stands.
    // (The rows fetched so far; -1 while one of them holds no "7".)
    const auto sevens = [this] {
        for (int row = 1; row < m_grid->Rows(); ++row) {
            if (!m_grid->TextMatrix(row, 0).contains(u'7')) {
                return -1;
            }
        }
        return m_grid->Rows() - 1;
    };
    QTRY_VERIFY(!m_picker->isVisible());
    QVERIFY(sevens() >= 10);
    QCOMPARE(m_picker->pickedValue(), std::optional<QString>(m_grid->TextMatrix(1, 0)));
    QVERIFY(condora::ado::lastStatement(*m_run.connection).contains(u"'7'"_s));
    QCOMPARE(find<QLabel>(m_picker.get(), "lblCount")->text().right(8), u"+ values"_s);
    QVERIFY2(m_ui->texts().isEmpty(), qPrintable(m_ui->texts().join(u" | "_s)));
}

void TestValueSearch::keysHeldBackAreTakenTogether_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("statements"); // for Backspace, "1" and "2" right after a long list
    // SQLite lets the keys through as they are typed: each searches at once, no key waits.
    QTest::newRow("SQLite") << u"sqlite"_s << 3;
    QTest::newRow("MariaDB") << u"mariadb"_s << 1; // its statements do hold the window
}

// A database whose statements hold the window (MySQL's, ODBC's) keeps the keys typed meanwhile
// waiting; they all come the moment the list is there, and the list then follows them once.
void TestValueSearch::keysHeldBackAreTakenTogether()
{
    QFETCH(QString, backend);
    QFETCH(int, statements);
    OPEN_OR_SKIP(backend, 1, u"several"_s);
    auto *search = find<QLineEdit>(m_picker.get(), "txtSearch");
    QElapsedTimer listed;
    QTest::qWait(60); // (the list the picker opened with may have taken long too)
    type(search, u"z"_s); // reads every value, finds none
    listed.start();
    condora::ado::resetStatementCount(*m_run.connection);
    QTest::sendKeyEvent(QTest::Click, search, Qt::Key_Backspace, QString(), Qt::NoModifier);
    type(search, u"12"_s);
    const qint64 keysCameAfter = listed.elapsed();
    QTRY_VERIFY(m_grid->Rows() > 10 && m_grid->TextMatrix(1, 0).contains(u"12"_s));
    for (int row = 1; row < m_grid->Rows(); ++row) {
        QVERIFY(m_grid->TextMatrix(row, 0).contains(u"12"_s));
    }
    if (statements == 3 || keysCameAfter < 40) {
        QCOMPARE(condora::ado::statementCount(*m_run.connection), statements);
    } else {
        qWarning("the keys came %lld ms after the list: too late to be taken as held back", keysCameAfter);
    }
    // Keys that come later are each searched at once.
    QTest::qWait(100);
    condora::ado::resetStatementCount(*m_run.connection);
    type(search, u"3"_s);
    QCOMPARE(condora::ado::statementCount(*m_run.connection), 1);
    QVERIFY(m_grid->TextMatrix(1, 0).contains(u"123"_s));
    // A keystroke fetches the rows the list shows; a moment later the list has its first 64.
    QVERIFY(m_grid->Rows() < 30);
    QTRY_COMPARE(find<QLabel>(m_picker.get(), "lblCount")->text(), u"64+ values"_s);
    QCOMPARE(m_grid->Rows(), 65);
}

// A search whose statement fails (here the server ends the connection) is reported once, and the
// values listed for the text before are gone: none of them is offered for the new text.
void TestValueSearch::failedSearchEmptiesTheList_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("rows"); // listed for "cl"
    QTest::newRow("PostgreSQL") << u"postgresql"_s << 3; // Éclair, éclat, ÉCLAT
    QTest::newRow("MariaDB") << u"mariadb"_s << 2; // Éclair, and éclat for both
}

void TestValueSearch::failedSearchEmptiesTheList()
{
    QFETCH(QString, backend);
    QFETCH(int, rows);
    OPEN_OR_SKIP(backend, 1);
    auto *search = find<QLineEdit>(m_picker.get(), "txtSearch");
    type(search, u"cl"_s);
    QTRY_COMPARE(m_grid->Rows(), rows + 1);
    if (backend == u"mariadb") {
        const QString id = readColumn(*m_run.connection, u"select connection_id()"_s).value(0);
        test::mariaDbServer()->exec(u"condora_valuesearch"_s, {u"kill "_s + id});
    } else {
        test::pgServer()->exec(u"condora_valuesearch"_s,
                               {u"select pg_terminate_backend(pid) from pg_stat_activity "
                                u"where datname = 'condora_valuesearch' and pid <> pg_backend_pid()"_s});
    }
    type(search, u"a"_s);
    QTRY_COMPARE(m_ui->texts().size(), 1);
    QCOMPARE(m_grid->Rows(), 2);
    QCOMPARE(m_grid->TextMatrix(1, 0), QString());
    QCOMPARE(find<QLabel>(m_picker.get(), "lblCount")->text(), u"0 values"_s);
    QVERIFY(m_picker->listFailed());
    QTest::keyClick(search, Qt::Key_Return);
    QVERIFY(!m_picker->pickedValue() && !m_picker->pickedNull());
}

void TestValueSearch::likeStatements_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("backslashEscapes");
    QTest::addColumn<QString>("statement");
    const QString rows = u"(select w as v from words  where x=1 or y=2) q"_s;
    QTest::newRow("SQL Server: brackets escaped too") << int(DbKind::SqlServer) << false
        << u"select distinct q.v from "_s + rows + u" where lower(q.v) like lower('%a\\%\\_\\[\\\\''%') escape '\\'"_s;
    QTest::newRow("MySQL: literal backslashes doubled") << int(DbKind::Other) << true
        << u"select distinct q.v from "_s + rows + u" where lower(q.v) like lower('%a\\\\%\\\\_[\\\\\\\\''%') escape '\\\\'"_s;
    QTest::newRow("Access: wildcards bracketed") << int(DbKind::Access) << false
        << u"select distinct q.v from "_s + rows + u" where lcase(q.v) like lcase('%a[%][_][[]\\''%')"_s;
}

void TestValueSearch::likeStatements()
{
    QFETCH(int, kind);
    QFETCH(bool, backslashEscapes);
    QFETCH(QString, statement);
    QueryRun run;
    run.dbKind = DbKind(kind);
    run.escapes.backslashEscapes = backslashEscapes;
    ColumnInfo column;
    column.colExpr = u"w"_s;
    column.tabName = u"words"_s;
    column.typeClass = TypeClass::String;
    column.filterClause = u" where x=1 or y=2"_s;
    const auto method = run.dbKind == DbKind::Access ? ValueSearchMethod::AccessLike : ValueSearchMethod::LikeEscape;
    QCOMPARE(valueQuerySql(column, QString(), run, method, {u"a%_[\\'"_s, false}), statement);
}

CONDORA_TEST_MAIN(TestValueSearch)
#include "tst_valuesearch.moc"
