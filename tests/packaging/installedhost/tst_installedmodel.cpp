// GetQueryModel() as a host uses it, built against an installed Condora: the model behind a
// QSortFilterProxyModel in a QTableView scrolled to its end, every cell compared with the test's
// own QSqlQuery, on SQLite and (with CONDORA_TEST_PG_HOST set) PostgreSQL; and a statement that
// fails part-way, reported through lastError() without an exception; and the data-access classes'
// try forms, which report through lastError() as well.

#include <Condora/Condora>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDataWidgetMapper>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

constexpr int RowCount = 1000;

/// Presses `button` in the next query dialog once it is open.
void pressInNextDialog(QObject *scope, const QString &button)
{
    auto *timer = new QTimer(scope);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, button] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            timer->deleteLater();
            timer->stop();
            if (auto *push = modal->findChild<QPushButton *>(button)) {
                push->click();
            } else {
                modal->close(); // a message instead of the dialog: the test's checks tell
            }
        }
    });
    timer->start(10);
}

/// Equal as a host reads them: both NULL, numbers by value, everything else as text.
bool sameValue(const QVariant &shown, const QVariant &expected)
{
    bool numbers[2] = {false, false};
    const double a = shown.toDouble(&numbers[0]);
    const double b = expected.toDouble(&numbers[1]);
    if (shown.isNull() || expected.isNull()) {
        return shown.isNull() == expected.isNull();
    }
    return numbers[0] && numbers[1] ? qFuzzyCompare(1.0 + a, 1.0 + b) : shown.toString() == expected.toString();
}

/// The test's table of RowCount rows (every seventh name and every eleventh price NULL) on a
/// fresh SQLite file or the PostgreSQL test server.
QSqlDatabase openDatabase(const QString &kind, const QString &file)
{
    const bool pg = kind == u"PostgreSQL"_s;
    QSqlDatabase db = QSqlDatabase::addDatabase(pg ? u"QPSQL"_s : u"QSQLITE"_s, kind + file);
    db.setDatabaseName(pg ? u"postgres"_s : file);
    db.setHostName(qEnvironmentVariable("CONDORA_TEST_PG_HOST"));
    db.setPort(qEnvironmentVariableIntValue("CONDORA_TEST_PG_PORT"));
    db.setUserName(qEnvironmentVariable("CONDORA_TEST_PG_USER"));
    db.setPassword(qEnvironmentVariable("CONDORA_TEST_PG_PASSWORD"));
    QSqlQuery query(db);
    if (!db.open() || !query.exec(u"DROP TABLE IF EXISTS items"_s)
        || !query.exec(u"CREATE TABLE items (id INTEGER PRIMARY KEY, name VARCHAR(40), price NUMERIC(10,2), born DATE)"_s)) {
        qWarning("%s %s", qPrintable(db.lastError().text()), qPrintable(query.lastError().text()));
        return {};
    }
    db.transaction();
    query.prepare(u"INSERT INTO items VALUES (?, ?, ?, ?)"_s);
    for (int id = 1; id <= RowCount; ++id) {
        query.addBindValue(id);
        query.addBindValue(id % 7 == 0 ? QVariant(QMetaType(QMetaType::QString)) : QVariant(u"item %1"_s.arg(id)));
        query.addBindValue(id % 11 == 0 ? QVariant(QMetaType(QMetaType::Double)) : QVariant(id * 1.25));
        query.addBindValue(QDate(2020, 1, 1).addDays(id));
        query.exec();
    }
    db.commit();
    return db;
}

/// A control on `window` whose next query the user confirms with OK.
Condora *controlOn(QWidget &window, const QSqlDatabase &db, const QString &sql)
{
    auto *control = new Condora(&window);
    control->setConnObj(condora::ado::Connection::fromDatabase(db));
    control->setSqlInput(sql);
    window.show();
    pressInNextDialog(&window, u"cmdOK"_s);
    return control;
}

/// Scrolls `view` to its end the way a user does: each scroll shows the next rows.
void scrollToEnd(QTableView &view, condora::QueryModel &model)
{
    view.show();
    for (int step = 0; step < RowCount && model.canFetchMore(QModelIndex()); ++step) {
        view.scrollToBottom();
        QCoreApplication::processEvents();
    }
}

} // namespace

class TestInstalledModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void version() { QCOMPARE(QByteArrayView(condoraVersion()), QByteArrayView(CONDORA_VERSION_STRING)); }
    void rowsInViews_data();
    void rowsInViews();
    void failurePartWay();
    void dataAccessWithoutExceptions();

private:
    QTemporaryDir m_dir;
};

void TestInstalledModel::rowsInViews_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("SQLite") << u"SQLite"_s;
    QTest::newRow("PostgreSQL") << u"PostgreSQL"_s;
}

void TestInstalledModel::rowsInViews()
{
    QFETCH(QString, kind);
    if (kind == u"PostgreSQL"_s && qEnvironmentVariableIsEmpty("CONDORA_TEST_PG_HOST")) {
        QVERIFY2(qEnvironmentVariableIntValue("CONDORA_TEST_REQUIRE_PG") != 1, "PostgreSQL is required");
        QSKIP("no PostgreSQL test server (CONDORA_TEST_PG_HOST)");
    }
    QSqlDatabase db = openDatabase(kind, m_dir.filePath(u"rows.db"_s));
    QVERIFY(db.isOpen());
    const QString sql = u"SELECT id, name, price, born FROM items ORDER BY id"_s;
    QWidget window;
    Condora *control = controlOn(window, db, sql);
    condora::QueryModel *model = control->GetQueryModel(&window);
    QVERIFY(model && model->parent() == &window);
    QVERIFY2(!model->lastError().isValid(), qPrintable(model->lastError().text()));
    QCOMPARE(model->statement(), sql);
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    QSortFilterProxyModel proxy;
    proxy.setSourceModel(model);
    QTableView view(&window);
    view.setModel(&proxy);
    scrollToEnd(view, *model);
    QVERIFY(!model->canFetchMore(QModelIndex()) && !model->lastError().isValid());
    QCOMPARE(proxy.rowCount(), RowCount);

    QSqlQuery expected(db);
    QVERIFY(expected.exec(sql));
    QCOMPARE(proxy.columnCount(), expected.record().count());
    for (int column = 0; column < proxy.columnCount(); ++column) {
        QCOMPARE(proxy.headerData(column, Qt::Horizontal).toString(), expected.record().fieldName(column));
    }
    for (int row = 0; expected.next(); ++row) {
        for (int column = 0; column < proxy.columnCount(); ++column) {
            for (const int role : {int(Qt::DisplayRole), int(Qt::EditRole)}) {
                const QVariant shown = proxy.data(proxy.index(row, column), role);
                QVERIFY2(sameValue(shown, expected.value(column)),
                         qPrintable(u"row %1 column %2: %3 shown, %4 stored"_s.arg(row).arg(column).arg(
                             shown.toString(), expected.value(column).toString())));
            }
        }
    }

    // Typed values: ids sort as numbers (as text "999" would come before "1000").
    proxy.sort(0, Qt::DescendingOrder);
    QCOMPARE(proxy.data(proxy.index(0, 0)).toInt(), RowCount);
    // Also on SQLite, which keeps dates as text.
    QCOMPARE(proxy.data(proxy.index(0, 3), Qt::EditRole).toDate(), QDate(2020, 1, 1).addDays(RowCount));
    QCOMPARE(proxy.data(proxy.index(0, 3)).metaType(), QMetaType::fromType<QDate>());
    QDataWidgetMapper mapper;
    mapper.setModel(&proxy);
    QLineEdit name;
    mapper.addMapping(&name, 1);
    mapper.setCurrentIndex(1);
    QCOMPARE(name.text(), u"item %1"_s.arg(RowCount - 1));
}

void TestInstalledModel::failurePartWay()
{
    QSqlDatabase db = openDatabase(u"SQLite"_s, m_dir.filePath(u"failing.db"_s));
    QWidget window;
    // abs() of the smallest integer overflows: SQLite fails the statement at row 700.
    Condora *control = controlOn(
        window, db,
        u"SELECT id, abs(CASE WHEN id = 700 THEN -9223372036854775807 - 1 ELSE id END) AS size FROM items ORDER BY id"_s);
    std::unique_ptr<condora::QueryModel> model;
    try {
        model.reset(control->GetQueryModel());
    } catch (...) {
        QFAIL("GetQueryModel() threw");
    }
    QTableView view;
    view.setModel(model.get());
    scrollToEnd(view, *model);
    // The rows before the failure are shown, and the end says it is not the whole result.
    QVERIFY(model->rowCount() < RowCount);
    QVERIFY2(model->lastError().databaseText().contains(u"overflow"_s), qPrintable(model->lastError().text()));
}

void TestInstalledModel::dataAccessWithoutExceptions()
{
    QSqlDatabase db = openDatabase(u"SQLite"_s, m_dir.filePath(u"access.db"_s));
    QVERIFY(db.isOpen());
    try {
        auto missing = std::make_shared<condora::ado::Connection>();
        QVERIFY(!missing->tryOpen(u"Provider=SQLite;Data Source="_s + m_dir.filePath(u"missing.db"_s)));
        QCOMPARE(missing->lastError().nativeErrorCode(), QString::number(condora::ErrorNumber::Database));
        QVERIFY(!missing->tryExecute(u"SELECT 1"_s));
        QCOMPARE(missing->lastError().nativeErrorCode(), QString::number(condora::ErrorNumber::ObjectNotSet));

        QSqlError error;
        const auto connection = condora::ado::Connection::tryFromDatabase(db, &error);
        QVERIFY2(connection && !error.isValid(), qPrintable(error.text()));
        condora::ado::Recordset rows;
        QVERIFY(!rows.tryOpen(u"SELECT nosuch FROM items"_s, connection));
        QVERIFY2(rows.lastError().databaseText().contains(u"nosuch"_s), qPrintable(rows.lastError().text()));

        // Every value a walk with the try forms reads is what the test's own query reads.
        const QString sql = u"SELECT id, name, price FROM items ORDER BY id"_s;
        QVERIFY(rows.tryOpen(sql, connection));
        QSqlQuery expected(db);
        QVERIFY(expected.exec(sql));
        int count = 0;
        for (; !rows.tryEof(); rows.tryMoveNext(), ++count) {
            QVERIFY(expected.next());
            for (int column = 0; column < 3; ++column) {
                QVERIFY2(sameValue(rows.tryFieldValue(column), expected.value(column)),
                         qPrintable(u"row %1 column %2"_s.arg(count).arg(column)));
            }
        }
        QVERIFY2(!rows.lastError().isValid(), qPrintable(rows.lastError().text()));
        QVERIFY(!expected.next());
        QCOMPARE(count, RowCount);
        QVERIFY(!rows.tryMoveNext());
        QCOMPARE(rows.lastError().nativeErrorCode(), QString::number(condora::ado::adErrNoCurrentRecord));
    } catch (...) {
        QFAIL("a try form threw");
    }
}

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestInstalledModel test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_installedmodel.moc"
