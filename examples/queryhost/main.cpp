// queryhost: a small host of the Condora control.
//
// The host already has its database (a QSqlDatabase it opened itself) and hands it to the control;
// "Query..." lets the user build a condition and shows the result in a table view (the rows arrive
// as the view scrolls), "Statement..." asks for the statement only through Condora::getQuerySql.
// Errors come back as values (lastError()); nothing here needs an exception handler.
//
//   queryhost [--run-once]
// --run-once presses OK in the query dialog and Cancel in the next one, prints what came back and
// exits: 0 when the rows and the empty statement arrived as they should.

#include <Condora/Condora>

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QLabel>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

const QString BaseSql = u"SELECT p.ProductID, p.ProductName, p.UnitPrice FROM Products p ORDER BY p.ProductID"_s;

bool openHostDatabase(QSqlDatabase &db)
{
    db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"host"_s);
    db.setDatabaseName(u":memory:"_s);
    if (!db.open()) {
        return false;
    }
    QSqlQuery query(db);
    const QStringList statements{
        u"CREATE TABLE Products (ProductID INTEGER PRIMARY KEY, ProductName VARCHAR(40), UnitPrice NUMERIC(10,2))"_s,
        u"INSERT INTO Products VALUES (1, 'Chai', 18.00)"_s,
        u"INSERT INTO Products VALUES (2, 'Chang', 19.00)"_s,
        u"INSERT INTO Products VALUES (3, 'Aniseed Syrup', 10.00)"_s,
        u"INSERT INTO Products VALUES (4, 'Ikura', 31.00)"_s,
    };
    for (const QString &statement : statements) {
        if (!query.exec(statement)) {
            std::fprintf(stderr, "%s\n", qPrintable(query.lastError().text()));
            return false;
        }
    }
    return true;
}

/// Presses `button` in the next query dialog once it is open (for --run-once).
void pressInNextDialog(QObject *scope, const char *button)
{
    auto *timer = new QTimer(scope);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, button] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            return;
        }
        timer->deleteLater();
        timer->stop();
        if (modal->objectName() != u"frmCondora"_s) {
            std::fprintf(stderr, "unexpected window: %s\n", qPrintable(modal->windowTitle()));
            modal->close();
            return;
        }
        if (auto *push = modal->findChild<QPushButton *>(QString::fromLatin1(button))) {
            push->click();
        }
    });
    timer->start(10);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const bool runOnce = app.arguments().contains(u"--run-once"_s);

    QSqlDatabase db;
    if (!openHostDatabase(db)) {
        std::fprintf(stderr, "the host database did not open\n");
        return 2;
    }

    QWidget window;
    window.setWindowTitle(u"Condora query host"_s);
    QSqlError refused;
    const std::shared_ptr<condora::ado::Connection> connection = condora::ado::Connection::tryFromDatabase(db, &refused);
    if (!connection) {
        std::fprintf(stderr, "%s\n", qPrintable(refused.text()));
        return 2;
    }
    auto *query = new Condora(&window); // the control's icon, owned by the window
    query->setConnObj(connection);
    query->setSqlInput(BaseSql);
    query->setTitle(u"Products"_s);
    auto *runQuery = new QPushButton(u"&Query..."_s, &window);
    auto *askStatement = new QPushButton(u"&Statement..."_s, &window);
    auto *statement = new QLabel(&window);
    statement->setWordWrap(true);
    statement->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The rows of the last query, sortable by any column.
    auto *sorted = new QSortFilterProxyModel(&window);
    auto *table = new QTableView(&window);
    table->setModel(sorted);
    table->setSortingEnabled(true);
    table->horizontalHeader()->setStretchLastSection(true);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(query);
    buttons->addWidget(runQuery);
    buttons->addWidget(askStatement);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(&window);
    layout->addLayout(buttons);
    layout->addWidget(statement);
    layout->addWidget(table);
    window.resize(640, 400);

    QObject::connect(query, &Condora::queryFinished, statement, [statement](const QString &sql) {
        statement->setText(sql.isEmpty() ? u"(cancelled)"_s : sql);
    });
    QObject::connect(runQuery, &QPushButton::clicked, &window, [&] {
        // The model belongs to the proxy; the last query's model goes with the next one.
        condora::QueryModel *rows = query->GetQueryModel(sorted);
        if (rows == nullptr) {
            return;
        }
        delete sorted->sourceModel();
        sorted->setSourceModel(rows);
        if (rows->lastError().isValid()) {
            statement->setText(u"Error: "_s + rows->lastError().text());
        }
    });
    QObject::connect(askStatement, &QPushButton::clicked, &window, [&] {
        bool ok = false;
        QSqlError error;
        const QString sql = Condora::getQuerySql(&window, db, BaseSql, &ok, &error);
        statement->setText(ok ? sql : error.isValid() ? u"Error: "_s + error.text() : u"(cancelled)"_s);
    });

    std::printf("Condora %s (library %s)\n", CONDORA_VERSION_STRING, condoraVersion());
    window.show();
    if (!runOnce) {
        return app.exec();
    }

    pressInNextDialog(&window, "cmdOK");
    runQuery->click();
    // The view fetches as it scrolls; here every row is fetched to count them.
    int rowsShown = -1;
    if (auto *rows = qobject_cast<condora::QueryModel *>(sorted->sourceModel())) {
        while (rows->canFetchMore()) {
            rows->fetchMore();
        }
        rowsShown = rows->lastError().isValid() ? -1 : rows->rowCount();
    }
    std::printf("query: %s\nrows: %d\n", qPrintable(statement->text()), rowsShown);

    pressInNextDialog(&window, "cmdCancel");
    bool ok = true;
    QSqlError error;
    const QString cancelled = Condora::getQuerySql(&window, db, BaseSql, &ok, &error);
    std::printf("after Cancel: \"%s\" ok=%d\n", qPrintable(cancelled), int(ok));

    return rowsShown == 4 && cancelled.isEmpty() && !ok && !error.isValid() ? 0 : 1;
}
