#include "support/testdatabases.h"
#include "platform/ado/connectionstatistics.h"
#include "support/testmain.h"

#include "analysis/queryrun.h"
#include "control/condora.h"
#include "control/querymodel.h"
#include "demo/ccurfunction.h"
#include "demo/form2.h"
#include "demo/msgridshowinfo.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/runtimeerror.h"
#include "platform/twips.h"
#include "platform/userinteraction.h"

#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableView>
#include <QHeaderView>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QSet>
#include <QTimer>
#include <QUuid>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using namespace condora;

namespace {

const QString SampleDatabase = QStringLiteral(CONDORA_DEMO_DATABASE);

const QString OrderHead =
    u"SELECT [Order Details].OrderID, [Order Details].ProductID, Products.ProductName, [Order Details].UnitPrice, "
    "[Order Details].Quantity, [Order Details].Discount, "
    "CCur([Order Details].[UnitPrice]*[Quantity]*(1-[Discount])/100)*100 AS ExtendedPrice "
    "FROM Products INNER JOIN [Order Details] ON Products.ProductID = [Order Details].ProductID"_s;
const QString OrderTail = u" ORDER BY [Order Details].OrderID"_s;
const QString CustomerStatement =
    u"SELECT Customers.CustomerID, Customers.CompanyName, Customers.ContactName, GenderTypes.Gender "
    "FROM GenderTypes INNER JOIN Customers ON GenderTypes.GenderID = Customers.GenderID"_s;

/// A plain Qt connection to a SQLite file, outside the library, for checking results.
class PlainSqlite
{
public:
    explicit PlainSqlite(const QString &path)
        : m_name(QUuid::createUuid().toString(QUuid::WithoutBraces))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_name);
        db.setDatabaseName(path);
        db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
        db.open();
    }
    ~PlainSqlite() { QSqlDatabase::removeDatabase(m_name); }

    /// Every row of `sql`, each as its column texts.
    QList<QStringList> rows(const QString &sql) const
    {
        QList<QStringList> result;
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        if (!query.exec(sql)) {
            qWarning() << query.lastError().text();
            return result;
        }
        while (query.next()) {
            QStringList row;
            for (int c = 0; c < query.record().count(); ++c) {
                row << query.value(c).toString();
            }
            result << row;
        }
        return result;
    }
    int count(const QString &sql) const
    {
        const auto result = rows(sql);
        return result.isEmpty() ? -1 : result.first().value(0).toInt();
    }

private:
    QString m_name;
};

QStringList gridRow(const FlexGrid &grid, int row)
{
    QStringList texts;
    for (int c = 0; c < grid.Cols(); ++c) {
        texts << grid.TextMatrix(row, c);
    }
    return texts;
}

/// The window's result grid with every row fetched: its header and its rows, as texts.
QList<QStringList> viewCells(QTableView &view)
{
    QAbstractItemModel *model = view.model();
    if (!model) {
        return {};
    }
    while (model->canFetchMore(QModelIndex())) {
        model->fetchMore(QModelIndex());
    }
    QList<QStringList> cells{QStringList()};
    for (int c = 0; c < model->columnCount(); ++c) {
        cells.first() << model->headerData(c, Qt::Horizontal).toString();
    }
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < model->columnCount(); ++c) {
            row << model->index(r, c).data().toString();
        }
        cells << row;
    }
    return cells;
}

/// The rows of `recordset` as the control hands rows to a host.
QueryModel *modelOf(const ado::Recordset &recordset)
{
    auto *model = new QueryModel;
    model->setRowSource(recordset.rowSource(), recordset.Source());
    return model;
}

} // namespace

class TestDemo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void sampleDatabaseTypes_data();
    void sampleDatabaseTypes();
    void sampleDatabaseRows();
    void windowLayout_data();
    void windowLayout();
    void exitButton();
    void keyboardReachesEverything();
    void unusableDatabase_data();
    void unusableDatabase();
    void ccurFunction_data();
    void ccurFunction();
    void orderStatementExtendedPrice();

    void getSqlComposesStatement_data();
    void getSqlComposesStatement();
    void getSqlCancelled();
    void getRecordsetWithPickedGender();
    void getRecordsetCancelled();

    void msGridShowInfo_data();
    void msGridShowInfo();
    void msGridShowInfoAfterBoundResult();
    void failingRowsToldOnce_data();
    void failingRowsToldOnce();

private:
    std::unique_ptr<Form2> openForm();
    template <typename T>
    T *child(QWidget *parent, const QString &name);

    // Driving modal windows from timers. A step that fails records the failure and closes every
    // modal window, so a failing test never hangs.
    void whenReady(const std::function<QWidget *()> &find, const std::function<void(QWidget *)> &action);
    void whenModal(const QString &name, const std::function<void(QWidget *)> &action);
    void fail(const QString &what);
    void closeModals();
    bool clickCell(FlexGrid *grid, int row, int col);
    bool pick(QComboBox *list, const QString &entry);

    std::unique_ptr<RecordingUserInteraction> m_ui;
    QStringList m_failures;
    std::unique_ptr<test::SqliteFile> m_numbers;
};

#define STEP_CHECK(condition)                                                                              \
    if (!(condition)) {                                                                                    \
        fail(QStringLiteral("line %1: %2").arg(__LINE__).arg(QStringLiteral(#condition)));                 \
        return;                                                                                            \
    }

void TestDemo::initTestCase()
{
    QVERIFY2(QFile::exists(SampleDatabase), qPrintable(SampleDatabase));
    // The real query dialog; linked statically here, so it is installed explicitly.
    // 3000 numbered rows for the bind-or-copy rule of MSGridShowInfo.
    m_numbers = std::make_unique<test::SqliteFile>(QStringList{
        u"CREATE TABLE numbers (id INTEGER, label VARCHAR(20), amount CURRENCY)"_s,
        u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
        "INSERT INTO numbers SELECT i, 'item ' || i, i * 1.25 FROM n"_s,
    });
}

void TestDemo::init()
{
    m_ui = std::make_unique<RecordingUserInteraction>();
    m_failures.clear();
}

void TestDemo::cleanup()
{
    closeModals();
    m_ui.reset();
    QTRY_VERIFY2(QApplication::topLevelWidgets().isEmpty(),
                 qPrintable(QStringLiteral("%1 top-level widgets left").arg(QApplication::topLevelWidgets().size())));
}

std::unique_ptr<Form2> TestDemo::openForm()
{
    auto form = std::make_unique<Form2>();
    if (!form->openDatabase(SampleDatabase)) {
        return nullptr;
    }
    form->show();
    return form;
}

template <typename T>
T *TestDemo::child(QWidget *parent, const QString &name)
{
    return parent ? parent->findChild<T *>(name) : nullptr;
}

void TestDemo::fail(const QString &what)
{
    m_failures << what;
    closeModals();
}

void TestDemo::closeModals()
{
    for (int guard = 0; guard < 10; ++guard) {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal) {
            return;
        }
        if (auto *dialog = qobject_cast<QDialog *>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
    }
}

void TestDemo::whenReady(const std::function<QWidget *()> &find, const std::function<void(QWidget *)> &action)
{
    auto *timer = new QTimer(this);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(10);
    connect(timer, &QTimer::timeout, this, [this, timer, clock, find, action] {
        if (QWidget *window = find()) {
            timer->stop();
            timer->deleteLater();
            action(window);
        } else if (clock->elapsed() > 20000) {
            timer->stop();
            timer->deleteLater();
            fail(u"timed out waiting for a window"_s);
        }
    });
    timer->start();
}

void TestDemo::whenModal(const QString &name, const std::function<void(QWidget *)> &action)
{
    whenReady(
        [name]() -> QWidget * {
            QWidget *modal = QApplication::activeModalWidget();
            return modal && modal->isVisible() && modal->objectName() == name ? modal : nullptr;
        },
        action);
}

/// Clicks the middle of a grid cell, as the user would.
bool TestDemo::clickCell(FlexGrid *grid, int row, int col)
{
    if (!grid || row >= grid->Rows() || col >= grid->Cols()) {
        return false;
    }
    grid->setRow(row);
    grid->setCol(col);
    const QPoint center(twips::toPixels(grid->CellLeft() + grid->CellWidth() / 2),
                        twips::toPixels(grid->CellTop() + grid->CellHeight() / 2));
    QWidget *target = grid->childAt(center);
    if (!target) {
        return false;
    }
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(grid, center));
    return true;
}

/// Picks an entry of a drop-down list with the keyboard: arrows move, Enter picks.
bool TestDemo::pick(QComboBox *list, const QString &entry)
{
    if (!list || !list->isVisible()) {
        return false;
    }
    int target = -1;
    for (int i = 0; i < list->count(); ++i) {
        if (list->itemText(i).trimmed() == entry.trimmed()) {
            target = i;
            break;
        }
    }
    if (target < 0) {
        return false;
    }
    if (list->currentIndex() != target) {
        if (list->currentIndex() < 0 || list->currentIndex() > target) {
            QTest::keyClick(list, Qt::Key_Home);
        }
        while (list->currentIndex() < target) {
            QTest::keyClick(list, Qt::Key_Down);
        }
    }
    if (list->currentIndex() != target) {
        return false;
    }
    QTest::keyClick(list, Qt::Key_Return);
    return true;
}

// The sample database ------------------------------------------------------------------------------

void TestDemo::sampleDatabaseTypes_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<int>("type");

    QTest::newRow("text") << u"Customers"_s << u"CompanyName"_s << int(ado::adVarWChar);
    QTest::newRow("long text") << u"Customers"_s << u"Notes"_s << int(ado::adLongVarWChar);
    QTest::newRow("integer") << u"Customers"_s << u"GenderID"_s << int(ado::adInteger);
    QTest::newRow("date") << u"Customers"_s << u"CustomerSince"_s << int(ado::adDBDate);
    QTest::newRow("date and time") << u"Customers"_s << u"LastContact"_s << int(ado::adDBTimeStamp);
    QTest::newRow("currency") << u"Customers"_s << u"CreditLimit"_s << int(ado::adCurrency);
    QTest::newRow("yes/no") << u"Customers"_s << u"Active"_s << int(ado::adBoolean);
    QTest::newRow("small integer") << u"[Order Details]"_s << u"Quantity"_s << int(ado::adSmallInt);
    QTest::newRow("real") << u"[Order Details]"_s << u"Discount"_s << int(ado::adDouble);
    QTest::newRow("double") << u"Products"_s << u"WeightKg"_s << int(ado::adDouble);
    QTest::newRow("price") << u"Products"_s << u"UnitPrice"_s << int(ado::adCurrency);
    QTest::newRow("gender") << u"GenderTypes"_s << u"Gender"_s << int(ado::adVarWChar);
}

void TestDemo::sampleDatabaseTypes()
{
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(int, type);

    ado::Connection connection;
    connection.Open(Form2::connectionStringFor(SampleDatabase));
    ado::Recordset probe;
    probe.Open(u"SELECT t.%1 FROM %2 t WHERE 1=0"_s.arg(column, table), connection);
    QCOMPARE(probe.Fields().Count(), 1);
    QCOMPARE(probe.Fields().Item(0).Type(), type);
}

void TestDemo::sampleDatabaseRows()
{
    const PlainSqlite db(SampleDatabase);
    // Enough genders that the host's filter on GenderID 3 has something to hide.
    QVERIFY(db.count(u"SELECT count(*) FROM GenderTypes"_s) >= 3);
    QCOMPARE(db.count(u"SELECT count(*) FROM GenderTypes WHERE GenderID = 3"_s), 1);
    QCOMPARE(db.count(u"SELECT count(DISTINCT GenderID) FROM Customers WHERE GenderID <> 3"_s),
             db.count(u"SELECT count(*) FROM GenderTypes WHERE GenderID <> 3"_s));
    QVERIFY(db.count(u"SELECT count(*) FROM Customers WHERE GenderID = 3"_s) > 0);

    const int customers = db.count(u"SELECT count(*) FROM Customers"_s);
    const int products = db.count(u"SELECT count(*) FROM Products"_s);
    const int lines = db.count(u"SELECT count(*) FROM [Order Details]"_s);
    QVERIFY2(customers >= 24 && customers <= 100, qPrintable(QString::number(customers)));
    QVERIFY2(products >= 24 && products <= 100, qPrintable(QString::number(products)));
    QVERIFY2(lines >= 200 && lines <= 1000, qPrintable(QString::number(lines)));
    // Every order line has its product, so the order statement's inner join keeps them all.
    QCOMPARE(db.count(u"SELECT count(*) FROM Products INNER JOIN [Order Details] "
                      "ON Products.ProductID = [Order Details].ProductID"_s),
             lines);
    QCOMPARE(db.count(u"SELECT count(*) FROM Customers WHERE Notes IS NULL"_s) > 0, true);
}

// The window -----------------------------------------------------------------------------------------

void TestDemo::windowLayout_data()
{
    QTest::addColumn<QString>("largeFont");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("twipsGeometry");

    for (const QString &font : {u"default font"_s, u"large font"_s}) {
        const auto row = [&font](const char *name) {
            return &QTest::newRow(qPrintable(font + u", "_s + QLatin1String(name)));
        };
        *row("grid") << font << u"MSHFlexGrid1"_s << u"QTableView"_s << QString() << QRect(120, 180, 7275, 3195);
        *row("label") << font << u"Label1"_s << u"QLabel"_s << u"Result SQL"_s << QRect(120, 3660, 1095, 255);
        *row("text box") << font << u"txtSql"_s << u"QPlainTextEdit"_s << QString() << QRect(1320, 3480, 6075, 675);
        *row("control") << font << u"Condora1"_s << u"Condora"_s << QString() << QRect(420, 4080, 465, 480);
        *row("GetSql") << font << u"cmdGetSql"_s << u"QPushButton"_s << u"GetSql"_s << QRect(1620, 4260, 1515, 435);
        *row("GetRecordset") << font << u"cmdRecordset"_s << u"QPushButton"_s << u"GetRecordset"_s
                             << QRect(3420, 4260, 1335, 435);
        *row("exit") << font << u"cmdExit"_s << u"QPushButton"_s << u"exit"_s << QRect(6360, 4260, 1035, 435);
    }
}

void TestDemo::windowLayout()
{
    QFETCH(QString, largeFont);
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, text);
    QFETCH(QRect, twipsGeometry);

    // A desktop with a larger default font must not clip the captions either.
    const QFont applicationFont = QApplication::font();
    if (largeFont == u"large font"_s) {
        QFont large = applicationFont;
        large.setPointSizeF(14);
        QApplication::setFont(large);
    }
    const auto restoreFont = qScopeGuard([&] { QApplication::setFont(applicationFont); });
    Form2 form;
    form.show();
    QCOMPARE(form.windowTitle(), u"Condora demo"_s);
    QCOMPARE(form.size(), QSize(twips::toPixels(7500), twips::toPixels(4755)));

    auto *widget = form.findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    QCOMPARE(widget->geometry(), QRect(twips::toPixels(twipsGeometry.x()), twips::toPixels(twipsGeometry.y()),
                                       twips::toPixels(twipsGeometry.width()),
                                       twips::toPixels(twipsGeometry.height())));
    QVERIFY(form.rect().contains(widget->geometry()));
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        QCOMPARE(QString(label->text()).remove(u'&'), text); // "&" marks the access key
        QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width());
    } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
        QCOMPARE(QString(button->text()).remove(u'&'), text);
        // The caption fits inside the button's frame.
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect contents = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) <= contents.width(),
                 qPrintable(QStringLiteral("%1 > %2").arg(button->fontMetrics().horizontalAdvance(button->text()))
                                .arg(contents.width())));
    } else if (auto *box = qobject_cast<QPlainTextEdit *>(widget)) {
        QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }
}

void TestDemo::exitButton()
{
    Form2 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(child<QPushButton>(&form, u"cmdExit"_s), Qt::LeftButton);
    QVERIFY(!form.isVisible());
}

void TestDemo::keyboardReachesEverything()
{
    Form2 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // Tab leaves the statement box, which stays as it was.
    auto *sql = child<QPlainTextEdit>(&form, u"txtSql"_s);
    sql->setPlainText(u"select 1"_s);
    sql->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), sql);
    QTest::keyClick(sql, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != sql);
    QCOMPARE(sql->toPlainText(), u"select 1"_s);
    // Alt+S goes back to it; each button has an access key of its own, and Alt+X ends the program.
    QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
    QTRY_COMPARE(QApplication::focusWidget(), sql);
    QSet<QKeySequence> keys;
    for (const QString &name : {u"cmdGetSql"_s, u"cmdRecordset"_s, u"cmdExit"_s}) {
        keys.insert(child<QPushButton>(&form, name)->shortcut());
    }
    QCOMPARE(keys.size(), 3);
    QVERIFY(!keys.contains(QKeySequence()));
    QTest::keyClick(&form, Qt::Key_X, Qt::AltModifier);
    QTRY_VERIFY(!form.isVisible());
}

void TestDemo::unusableDatabase_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("create");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing") << QByteArray() << false << u"was not found"_s;
    QTest::newRow("not a database") << QByteArray(4096, 'x') << true << u"could not be opened"_s;
    QTest::newRow("empty file") << QByteArray() << true << u"no such table"_s;
}

void TestDemo::unusableDatabase()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, create);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"DB1.db"_s);
    if (create) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    Form2 form;
    QVERIFY(!form.openDatabase(path));
    QCOMPARE(m_ui->messages().size(), 1);
    const MessageRequest &message = m_ui->messages().first();
    QVERIFY2(message.text.contains(path), qPrintable(message.text));
    QVERIFY2(message.text.contains(reason), qPrintable(message.text));
    QCOMPARE(message.icon, MessageIcon::Exclamation);
    QCOMPARE(message.caption, u"CondoraHost"_s);
}

void TestDemo::ccurFunction_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("rounds to four decimals") << u"CCur(12.345678)"_s << QVariant(12.3457);
    QTest::newRow("negative") << u"CCur(-3.14159265)"_s << QVariant(-3.1416);
    QTest::newRow("whole number") << u"CCur(7)"_s << QVariant(qlonglong(7));
    QTest::newRow("numeric text") << u"CCur('2.50005')"_s << QVariant(2.5);
    QTest::newRow("null") << u"CCur(NULL)"_s << QVariant();
    QTest::newRow("text") << u"CCur('abc')"_s << QVariant(u"error"_s);
}

void TestDemo::ccurFunction()
{
    QFETCH(QString, expression);
    QFETCH(QVariant, expected);

    Form2 form;
    QVERIFY(form.openDatabase(SampleDatabase));
    QSqlQuery query(form.connection()->database());
    const bool ran = query.exec(u"SELECT "_s + expression) && query.next();
    if (expected == QVariant(u"error"_s)) {
        QVERIFY(!ran);
        QVERIFY2(query.lastError().databaseText().contains(u"Type mismatch"_s),
                 qPrintable(query.lastError().databaseText()));
        return;
    }
    QVERIFY2(ran, qPrintable(query.lastError().text()));
    if (!expected.isValid()) {
        QVERIFY(query.value(0).isNull());
    } else {
        QCOMPARE(query.value(0).toDouble(), expected.toDouble());
    }
}

void TestDemo::orderStatementExtendedPrice()
{
    Form2 form;
    QVERIFY(form.openDatabase(SampleDatabase));
    ado::Recordset rs;
    rs.Open(Form2::orderQuerySql(), *form.connection());
    QCOMPARE(rs.Fields().Item(6).Name(), u"ExtendedPrice"_s);
    int rows = 0;
    for (; !rs.Eof(); rs.MoveNext(), ++rows) {
        const double price = rs.Fields().Item(3).Value().toDouble();
        const double quantity = rs.Fields().Item(4).Value().toDouble();
        const double discount = rs.Fields().Item(5).Value().toDouble();
        const double expected = roundToCurrency(price * quantity * (1 - discount) / 100) * 100;
        QCOMPARE(rs.Fields().Item(6).Value().toDouble(), expected);
    }
    QCOMPARE(rows, PlainSqlite(SampleDatabase).count(u"SELECT count(*) FROM [Order Details]"_s));
}

// End to end ------------------------------------------------------------------------------------------

void TestDemo::getSqlComposesStatement_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("text includes") << u"ProductName"_s << u"include "_s << u"Ch"_s
                                   << OrderHead + u" where  Products.ProductName like '%Ch%'"_s + OrderTail;
    QTest::newRow("quantity at least") << u"Quantity"_s << u">= "_s << u"50"_s
                                       << OrderHead + u" where  [Order Details].Quantity >= 50"_s + OrderTail;
}

void TestDemo::getSqlComposesStatement()
{
    QFETCH(QString, column);
    QFETCH(QString, op);
    QFETCH(QString, value);
    QFETCH(QString, expected);

    auto form = openForm();
    QVERIFY(form);
    whenModal(u"frmCondora"_s, [&](QWidget *dialog) {
        auto *grid = child<FlexGrid>(dialog, u"MFGQuery"_s);
        auto *list = child<QComboBox>(dialog, u"comItem"_s);
        auto *valueBox = child<QLineEdit>(dialog, u"txtValue"_s);
        auto *ok = child<QPushButton>(dialog, u"cmdOK"_s);
        STEP_CHECK(grid && list && valueBox && ok);
        STEP_CHECK(clickCell(grid, 1, 1));
        STEP_CHECK(pick(list, column));
        STEP_CHECK(clickCell(grid, 1, 2));
        STEP_CHECK(pick(list, op));
        STEP_CHECK(clickCell(grid, 1, 3));
        STEP_CHECK(valueBox->isVisible());
        QTest::keyClicks(valueBox, value);
        STEP_CHECK(grid->TextMatrix(1, 3) == value);
        QTest::mouseClick(ok, Qt::LeftButton);
        STEP_CHECK(!dialog->isVisible());
    });
    QTest::mouseClick(child<QPushButton>(form.get(), u"cmdGetSql"_s), Qt::LeftButton);
    QVERIFY2(m_failures.isEmpty(), qPrintable(m_failures.join(u'\n') + u'\n' + m_ui->texts().join(u'\n')));
    QVERIFY2(m_ui->messages().isEmpty(), qPrintable(m_ui->texts().join(u'\n')));
    QCOMPARE(child<QPlainTextEdit>(form.get(), u"txtSql"_s)->toPlainText(), expected);

    // The statement runs on the window's connection and returns rows.
    ado::Recordset rs;
    rs.Open(expected, *form->connection());
    QVERIFY(!rs.Eof());
}

void TestDemo::getSqlCancelled()
{
    auto form = openForm();
    QVERIFY(form);
    // The demo turns the opt-in conveniences on.
    auto *control = child<Condora>(form.get(), u"Condora1"_s);
    QVERIFY(control && control->ShowSql() && control->KeepCondition() && control->CountRows()
            && control->MoreOperators());
    auto *text = child<QPlainTextEdit>(form.get(), u"txtSql"_s);
    text->setPlainText(u"an earlier statement"_s);
    whenModal(u"frmCondora"_s, [&](QWidget *dialog) {
        auto *grid = child<FlexGrid>(dialog, u"MFGQuery"_s);
        auto *list = child<QComboBox>(dialog, u"comItem"_s);
        auto *cancel = child<QPushButton>(dialog, u"cmdCancel"_s);
        STEP_CHECK(grid && list && cancel);
        // The demo offers the "Show Sql" switch.
        STEP_CHECK(child<QWidget>(dialog, u"chkSqlShow"_s)->isVisible());
        STEP_CHECK(clickCell(grid, 1, 1));
        STEP_CHECK(pick(list, u"ProductName"_s));
        QTest::mouseClick(cancel, Qt::LeftButton);
        STEP_CHECK(!dialog->isVisible());
    });
    QTest::mouseClick(child<QPushButton>(form.get(), u"cmdGetSql"_s), Qt::LeftButton);
    QVERIFY2(m_failures.isEmpty(), qPrintable(m_failures.join(u'\n')));
    QCOMPARE(text->toPlainText(), QString());
}

void TestDemo::getRecordsetWithPickedGender()
{
    auto form = openForm();
    QVERIFY(form);
    QStringList offered;
    whenModal(u"frmCondora"_s, [&](QWidget *dialog) {
        auto *grid = child<FlexGrid>(dialog, u"MFGQuery"_s);
        auto *list = child<QComboBox>(dialog, u"comItem"_s);
        auto *valueBox = child<QLineEdit>(dialog, u"txtValue"_s);
        auto *getValue = child<QPushButton>(dialog, u"cmdGetValue"_s);
        auto *ok = child<QPushButton>(dialog, u"cmdOK"_s);
        STEP_CHECK(grid && list && valueBox && getValue && ok);
        STEP_CHECK(clickCell(grid, 1, 1));
        STEP_CHECK(pick(list, u"Gender"_s));
        STEP_CHECK(clickCell(grid, 1, 2));
        STEP_CHECK(pick(list, u"= "_s));
        STEP_CHECK(clickCell(grid, 1, 3));
        STEP_CHECK(getValue->isVisible() && getValue->isEnabled());

        // The value picker lists the values once it is up; pick "Female" from it.
        whenReady(
            []() -> QWidget * {
                QWidget *modal = QApplication::activeModalWidget();
                if (!modal || modal->objectName() != u"frmGetValue"_s || !modal->isVisible()) {
                    return nullptr;
                }
                auto *values = modal->findChild<FlexGrid *>(u"MSFlexGrid1"_s);
                return values && values->Rows() > 1 && !values->TextMatrix(1, 0).isEmpty() ? modal : nullptr;
            },
            [&](QWidget *picker) {
                auto *values = child<FlexGrid>(picker, u"MSFlexGrid1"_s);
                values->fetchAll();
                int female = -1;
                for (int r = 1; r < values->Rows(); ++r) {
                    offered << values->TextMatrix(r, 0);
                    if (values->TextMatrix(r, 0) == u"Female"_s) {
                        female = r;
                    }
                }
                STEP_CHECK(female > 0);
                STEP_CHECK(clickCell(values, female, 0));
                STEP_CHECK(!picker->isVisible());
            });
        QTest::mouseClick(getValue, Qt::LeftButton);
        STEP_CHECK(valueBox->text() == u"Female"_s);
        STEP_CHECK(grid->TextMatrix(1, 3) == u"Female"_s);
        QTest::mouseClick(ok, Qt::LeftButton);
        STEP_CHECK(!dialog->isVisible());
    });
    QTest::mouseClick(child<QPushButton>(form.get(), u"cmdRecordset"_s), Qt::LeftButton);
    QVERIFY2(m_failures.isEmpty(), qPrintable(m_failures.join(u'\n') + u'\n' + m_ui->texts().join(u'\n')));
    QVERIFY2(m_ui->messages().isEmpty(), qPrintable(m_ui->texts().join(u'\n')));

    const PlainSqlite db(SampleDatabase);
    // The picker listed every gender except the one the host's filter hides.
    QStringList expectedGenders;
    for (const QStringList &row : db.rows(u"SELECT Gender FROM GenderTypes WHERE GenderID <> 3"_s)) {
        expectedGenders << row.first();
    }
    offered.sort();
    expectedGenders.sort();
    QCOMPARE(offered, expectedGenders);

    // The grid shows exactly the rows of the confirmed statement.
    const QString statement = CustomerStatement + u" where  GenderTypes.Gender = 'Female'"_s;
    // The statement the host executed is the confirmed one.
    QCOMPARE(condora::ado::lastStatement(*form->connection()), statement);
    auto *grid = child<QTableView>(form.get(), u"MSHFlexGrid1"_s);
    QVERIFY(grid && qobject_cast<QueryModel *>(grid->model()));
    const QList<QStringList> cells = viewCells(*grid);
    const QList<QStringList> expectedRows = db.rows(statement);
    QVERIFY(!expectedRows.isEmpty());
    QCOMPARE(cells.first(), (QStringList{u"CustomerID"_s, u"CompanyName"_s, u"ContactName"_s, u"Gender"_s}));
    QCOMPARE(cells.size(), expectedRows.size() + 1);
    // The window fits the columns to their captions, all of them side by side in the grid.
    int total = 0;
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
        QVERIFY(grid->columnWidth(c) > grid->horizontalHeader()->fontMetrics().horizontalAdvance(cells.first().at(c)));
        total += grid->columnWidth(c);
    }
    QVERIFY2(total < grid->viewport()->width(),
             qPrintable(QStringLiteral("%1 >= %2").arg(total).arg(grid->viewport()->width())));
    QCOMPARE(cells.mid(1), expectedRows);
}

void TestDemo::getRecordsetCancelled()
{
    auto form = openForm();
    QVERIFY(form);
    auto *grid = child<QTableView>(form.get(), u"MSHFlexGrid1"_s);
    {
        ado::Recordset products;
        products.Open(u"SELECT ProductID, ProductName FROM Products WHERE ProductID < 5"_s, *form->connection());
        form->showRows(modelOf(products));
    }
    const QList<QStringList> before = viewCells(*grid);
    QCOMPARE(before.size(), 5);

    whenModal(u"frmCondora"_s, [&](QWidget *dialog) {
        auto *cancel = child<QPushButton>(dialog, u"cmdCancel"_s);
        STEP_CHECK(cancel);
        QTest::mouseClick(cancel, Qt::LeftButton);
        STEP_CHECK(!dialog->isVisible());
    });
    QTest::mouseClick(child<QPushButton>(form.get(), u"cmdRecordset"_s), Qt::LeftButton);
    QVERIFY2(m_failures.isEmpty(), qPrintable(m_failures.join(u'\n')));
    QVERIFY2(m_ui->messages().isEmpty(), qPrintable(m_ui->texts().join(u'\n')));
    QCOMPARE(viewCells(*grid), before);
    // Nothing composed was executed.
    QVERIFY(!condora::ado::lastStatement(*form->connection()).contains(u" where  "_s));
}

// MSGridShowInfo --------------------------------------------------------------------------------------

void TestDemo::msGridShowInfo_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("cursorLocation");
    QTest::addColumn<bool>("bound");
    QTest::addColumn<int>("yields");

    QTest::newRow("no records") << 0 << int(ado::adUseClient) << true << 0;
    QTest::newRow("2047 records") << 2047 << int(ado::adUseClient) << true << 0;
    // Shown in place of a copy: nothing is copied, so nothing waits on the event loop.
    QTest::newRow("2048 records") << 2048 << int(ado::adUseClient) << false << 0;
    QTest::newRow("3000 records") << 3000 << int(ado::adUseClient) << false << 0;
    QTest::newRow("3000 records, size unknown") << 3000 << int(ado::adUseServer) << true << 0;
}

void TestDemo::msGridShowInfo()
{
    QFETCH(int, records);
    QFETCH(int, cursorLocation);
    QFETCH(bool, bound);
    QFETCH(int, yields);

    // A flex grid as the demo's window once held it (it shows its rows through a model now).
    FlexGrid flexGrid;
    FlexGrid *grid = &flexGrid;
    auto connection = m_numbers->open();
    connection->setCursorLocation(cursorLocation);
    ado::Recordset rs;
    rs.Open(u"SELECT id, label, amount FROM numbers WHERE id <= %1 ORDER BY id"_s.arg(records), *connection);

    MSGridShowInfo(*grid, rs);
    grid->fetchAll();

    QCOMPARE(m_ui->processEventsCount(), yields);
    QCOMPARE(grid->FixedRows(), 1);
    const int dataRows = qMax(records, 1);
    QCOMPARE(grid->Rows(), dataRows + 1);
    if (bound) {
        QCOMPARE(grid->Cols(), 3);
        QCOMPARE(gridRow(*grid, 0), (QStringList{u"id"_s, u"label"_s, u"amount"_s}));
    } else {
        // Copied by hand: one column more than fields, and no header captions.
        QCOMPARE(grid->Cols(), 4);
        QCOMPARE(gridRow(*grid, 0), QStringList(4));
    }
    if (records == 0) {
        QCOMPARE(gridRow(*grid, 1), QStringList(grid->Cols()));
        return;
    }
    const int fixedCols = bound ? 0 : grid->FixedCols();
    for (int r : {1, records / 2, records}) {
        QCOMPARE(grid->TextMatrix(r, fixedCols), QString::number(r));
        QCOMPARE(grid->TextMatrix(r, fixedCols + 1), u"item %1"_s.arg(r));
    }
    if (cursorLocation == ado::adUseClient) {
        // Back on its first record.
        QVERIFY(!rs.Eof());
        QCOMPARE(rs.Fields().Item(0).Value().toInt(), 1);
    }
}

void TestDemo::msGridShowInfoAfterBoundResult()
{
    FlexGrid flexGrid;
    FlexGrid *grid = &flexGrid;
    auto connection = m_numbers->open();
    connection->setCursorLocation(ado::adUseClient);
    {
        ado::Recordset small;
        small.Open(u"SELECT label, id FROM numbers WHERE id <= 10"_s, *connection);
        MSGridShowInfo(*grid, small);
    }
    ado::Recordset large;
    large.Open(u"SELECT id, label, amount FROM numbers WHERE id <= 2500"_s, *connection);
    MSGridShowInfo(*grid, large);
    QCOMPARE(grid->Rows(), 2501);
    QCOMPARE(grid->Cols(), 4);
    QCOMPARE(gridRow(*grid, 0), QStringList(4));
    QCOMPARE(grid->TextMatrix(1, 0), u"1"_s);
    QCOMPARE(grid->TextMatrix(2500, 1), u"item 2500"_s);
}

void TestDemo::failingRowsToldOnce_data()
{
    QTest::addColumn<int>("failAt");
    QTest::addColumn<bool>("scrollToEnd");
    QTest::newRow("fails at row 3, while binding") << 3 << false;
    QTest::newRow("fails at row 2000, while the grid fetches") << 2000 << true;
}

// The statement shown fails part-way: the window tells it once, with the database's text.
void TestDemo::failingRowsToldOnce()
{
    QFETCH(int, failAt);
    QFETCH(bool, scrollToEnd);
    Form2 form;
    auto *grid = child<QTableView>(&form, u"MSHFlexGrid1"_s);
    auto connection = m_numbers->open();
    ado::Recordset rows;
    rows.Open(u"SELECT id, CASE WHEN id >= %1 THEN abs(id - id - 9223372036854775807 - 1) ELSE id END AS v "
              "FROM numbers"_s.arg(failAt), // rows stream in table order, up to the failure
              *connection);
    form.showRows(modelOf(rows));
    if (scrollToEnd) {
        viewCells(*grid);
    }
    QTRY_COMPARE(m_ui->texts().size(), 1);
    QCOMPARE(m_ui->texts().first(), u"Run-time error -2147217900:\r\ninteger overflow"_s);
    QCOMPARE(viewCells(*grid).size(), failAt); // the header and the rows before the failure
    QCoreApplication::processEvents();
    QCOMPARE(m_ui->texts().size(), 1);
}

CONDORA_TEST_MAIN(TestDemo)

#include "tst_demo.moc"
