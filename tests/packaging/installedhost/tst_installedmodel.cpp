// GetQueryModel() as a host uses it, built against an installed Condora: the model behind a
// QSortFilterProxyModel in a QTableView scrolled to its end, every cell compared with the test's
// own QSqlQuery, on SQLite and (with CONDORA_TEST_PG_HOST set) PostgreSQL; and a statement that
// fails part-way, reported through lastError() without an exception.

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
        QWidget *modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        if (auto *push = modal->findChild<QPushButton *>(button)) {
            push->click();
        } else {
            modal->close();
        }
    });
    timer->start(10);
}

/// Equal as a host reads them: both NULL, numbers by value, everything else as text.
bool sameValue(const QVariant &shown, const QVariant &expected)
{
    if (shown.isNull() || expected.isNull()) {
        return shown.isNull() == expected.isNull();
    }
    bool shownIsNumber = false;
    bool expectedIsNumber = false;
    const double a = shown.toDouble(&shownIsNumber);
    const double b = expected.toDouble(&expectedIsNumber);
    if (shownIsNumber && expectedIsNumber) {
        return qFuzzyCompare(1.0 + a, 1.0 + b);
    }
    return shown.toString() == expected.toString();
}

} // namespace

class TestInstalledModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void version();
    void rowsInViews_data();
    void rowsInViews();
    void failurePartWay();

private:
    /// Opens the named database with the test's table of RowCount rows; false to skip it.
    bool openDatabase(const QString &kind, QSqlDatabase &db);

    QTemporaryDir m_dir;
};

void TestInstalledModel::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestInstalledModel::version()
{
    QCOMPARE(QByteArrayView(condoraVersion()), QByteArrayView(CONDORA_VERSION_STRING));
}

bool TestInstalledModel::openDatabase(const QString &kind, QSqlDatabase &db)
{
    if (kind == u"SQLite"_s) {
        db = QSqlDatabase::addDatabase(u"QSQLITE"_s, kind);
        db.setDatabaseName(m_dir.filePath(u"rows.db"_s));
    } else {
        db = QSqlDatabase::addDatabase(u"QPSQL"_s, kind);
        db.setHostName(qEnvironmentVariable("CONDORA_TEST_PG_HOST"));
        db.setPort(qEnvironmentVariableIntValue("CONDORA_TEST_PG_PORT"));
        db.setUserName(qEnvironmentVariable("CONDORA_TEST_PG_USER"));
        db.setPassword(qEnvironmentVariable("CONDORA_TEST_PG_PASSWORD"));
        db.setDatabaseName(u"postgres"_s);
    }
    if (!db.open()) {
        qWarning("%s", qPrintable(db.lastError().text()));
        return false;
    }
    QSqlQuery query(db);
    const bool pg = kind != u"SQLite"_s;
    const QStringList statements{
        u"DROP TABLE IF EXISTS items"_s,
        u"CREATE TABLE items (id INTEGER PRIMARY KEY, name VARCHAR(40), price NUMERIC(10,2), born DATE)"_s,
    };
    for (const QString &statement : statements) {
        if (!query.exec(statement)) {
            qWarning("%s", qPrintable(query.lastError().text()));
            return false;
        }
    }
    db.transaction();
    query.prepare(u"INSERT INTO items VALUES (?, ?, ?, ?)"_s);
    for (int id = 1; id <= RowCount; ++id) {
        query.addBindValue(id);
        // Every seventh name and every eleventh price NULL; names that sort differently as text.
        query.addBindValue(id % 7 == 0 ? QVariant(QMetaType(QMetaType::QString)) : QVariant(u"item %1"_s.arg(id)));
        query.addBindValue(id % 11 == 0 ? QVariant(QMetaType(pg ? QMetaType::Double : QMetaType::QString))
                                        : QVariant(id * 1.25));
        query.addBindValue(QDate(2020, 1, 1).addDays(id));
        if (!query.exec()) {
            qWarning("%s", qPrintable(query.lastError().text()));
            return false;
        }
    }
    db.commit();
    return true;
}

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
        if (qEnvironmentVariableIntValue("CONDORA_TEST_REQUIRE_PG") == 1) {
            QFAIL("CONDORA_TEST_PG_HOST is not set and PostgreSQL is required");
        }
        QSKIP("no PostgreSQL test server (CONDORA_TEST_PG_HOST)");
    }
    {
        QSqlDatabase db;
        QVERIFY(openDatabase(kind, db));
        const QString sql = u"SELECT id, name, price, born FROM items ORDER BY id"_s;

        QWidget window;
        auto *control = new Condora(&window);
        control->setConnObj(condora::ado::Connection::fromDatabase(db));
        control->setSqlInput(sql);
        window.show();
        pressInNextDialog(&window, u"cmdOK"_s);
        condora::QueryModel *model = control->GetQueryModel(&window);
        QVERIFY(model);
        QCOMPARE(model->parent(), &window);
        QVERIFY2(!model->lastError().isValid(), qPrintable(model->lastError().text()));
        QVERIFY(!control->lastError().isValid());
        QCOMPARE(model->statement(), sql);
        QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);

        QSortFilterProxyModel proxy;
        proxy.setSourceModel(model);
        auto *view = new QTableView(&window);
        view->setModel(&proxy);
        view->resize(400, 300);
        view->show();
        // Scrolled to the end the way a user does: each scroll shows the next rows.
        for (int step = 0; step < RowCount && model->canFetchMore(QModelIndex()); ++step) {
            view->scrollToBottom();
            QCoreApplication::processEvents();
        }
        QVERIFY(!model->canFetchMore(QModelIndex()));
        QVERIFY2(!model->lastError().isValid(), qPrintable(model->lastError().text()));
        QCOMPARE(proxy.rowCount(), RowCount);

        QSqlQuery expected(db);
        QVERIFY(expected.exec(sql));
        QCOMPARE(proxy.columnCount(), expected.record().count());
        for (int column = 0; column < proxy.columnCount(); ++column) {
            QCOMPARE(proxy.headerData(column, Qt::Horizontal).toString(), expected.record().fieldName(column));
        }
        int row = 0;
        while (expected.next()) {
            for (int column = 0; column < proxy.columnCount(); ++column) {
                const QModelIndex index = proxy.index(row, column);
                for (const int role : {int(Qt::DisplayRole), int(Qt::EditRole)}) {
                    const QVariant shown = proxy.data(index, role);
                    if (!sameValue(shown, expected.value(column))) {
                        QFAIL(qPrintable(u"row %1, column %2, role %3: %4 shown, %5 in the database"_s.arg(row)
                                             .arg(column)
                                             .arg(role)
                                             .arg(shown.toString(), expected.value(column).toString())));
                    }
                }
            }
            ++row;
        }
        QCOMPARE(row, RowCount);

        // Typed values: the proxy sorts ids as numbers (as text "999" would come before "1000").
        proxy.sort(0, Qt::DescendingOrder);
        QCOMPARE(proxy.data(proxy.index(0, 0)).toInt(), RowCount);
        QVERIFY(proxy.data(proxy.index(0, 0)).metaType() != QMetaType::fromType<QString>());
        if (kind == u"PostgreSQL"_s) {
            // SQLite keeps dates as text, and its driver hands them over as text.
            QVERIFY(proxy.data(proxy.index(0, 3)).metaType() == QMetaType::fromType<QDate>());
        }

        // A form bound through QDataWidgetMapper reads the same values.
        QDataWidgetMapper mapper;
        mapper.setModel(&proxy);
        auto *name = new QLineEdit(&window);
        mapper.addMapping(name, 1);
        mapper.setCurrentIndex(1);
        QCOMPARE(name->text(), u"item %1"_s.arg(RowCount - 1));
        db.close();
    }
    QSqlDatabase::removeDatabase(kind);
}

void TestInstalledModel::failurePartWay()
{
    {
        QSqlDatabase db;
        QVERIFY(openDatabase(u"SQLite"_s, db));
        QWidget window;
        auto *control = new Condora(&window);
        control->setConnObj(condora::ado::Connection::fromDatabase(db));
        // abs() of the smallest integer overflows: SQLite fails the statement at row 700.
        control->setSqlInput(
            u"SELECT id, abs(CASE WHEN id = 700 THEN -9223372036854775807 - 1 ELSE id END) AS size FROM items ORDER BY id"_s);
        window.show();
        pressInNextDialog(&window, u"cmdOK"_s);
        std::unique_ptr<condora::QueryModel> model;
        try {
            model.reset(control->GetQueryModel());
        } catch (...) {
            QFAIL("GetQueryModel() threw");
        }
        QVERIFY(model);
        QTableView view;
        view.setModel(model.get());
        view.show();
        for (int step = 0; step < RowCount && model->canFetchMore(QModelIndex()); ++step) {
            view.scrollToBottom();
            QCoreApplication::processEvents();
        }
        // The rows before the failure are shown, and the end says it is not the whole result.
        QVERIFY(model->rowCount() < RowCount);
        QVERIFY(model->lastError().isValid());
        QVERIFY2(model->lastError().databaseText().contains(u"overflow"_s), qPrintable(model->lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(u"SQLite"_s);
}

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestInstalledModel test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_installedmodel.moc"
