#include "demo/form2.h"

#include "control/condora.h"
#include "control/querymodel.h"
#include "demo/ccurfunction.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/runtimeerror.h"
#include "platform/twips.h"
#include "platform/userinteraction.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableView>

#include <algorithm>
#include <functional>
#include <utility>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

void placeTwips(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(twips::toPixels(left), twips::toPixels(top), twips::toPixels(width),
                        twips::toPixels(height));
}

/// Sizes each column to its longest text among the header and the rows shown. When the columns
/// together would be wider than the grid, the widest ones give up room first, so that every
/// column stays in view as long as that leaves each a sensible width.
void fitColumns(QTableView &grid)
{
    const int minimum = twips::toPixels(600);
    const int lineHeight = grid.fontMetrics().height() + 4;
    grid.verticalHeader()->setMinimumSectionSize(lineHeight);
    grid.verticalHeader()->setDefaultSectionSize(lineHeight);
    grid.resizeColumnsToContents();
    const int columns = grid.model() ? grid.model()->columnCount() : 0;
    QList<int> widths;
    for (int col = 0; col < columns; ++col) {
        widths << std::max(minimum, grid.columnWidth(col));
    }
    // The largest cap on single columns that lets them all fit (never below the minimum).
    const int available = grid.width() - 2 * grid.frameWidth()
                          - grid.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid.verticalScrollBar());
    const auto total = [&widths](int cap) {
        int sum = 0;
        for (int width : widths) {
            sum += std::min(width, cap);
        }
        return sum;
    };
    int cap = widths.isEmpty() ? 0 : *std::max_element(widths.cbegin(), widths.cend());
    while (cap > minimum && total(cap) > available) {
        --cap;
    }
    for (int col = 0; col < widths.size(); ++col) {
        grid.setColumnWidth(col, std::min(widths.at(col), std::max(cap, minimum)));
    }
}

/// The window's sizes were laid out for a small dialog font. On a desktop whose default font
/// is larger, a caption would be clipped at its widget's edges: shrink that widget's font until
/// the caption fits in `room` pixels.
void fitCaption(QWidget *widget, const QString &caption, const std::function<int()> &room)
{
    QFont font = widget->font();
    constexpr double SmallestPoints = 6.0;
    while (QFontMetrics(font).horizontalAdvance(caption) > room() && font.pointSizeF() > SmallestPoints) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        widget->setFont(font);
    }
}

void fitCaption(QPushButton *button)
{
    fitCaption(button, button->text(), [button] {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
    });
}

void fitCaption(QLabel *label)
{
    fitCaption(label, label->text(), [label] { return label->contentsRect().width(); });
}

MessageAnswer tellUser(const QString &text)
{
    return messageBox(text, MessageButtons::Ok, MessageIcon::Exclamation, u"CondoraHost"_s);
}

/// A statement that failed part-way: its rows are only the first part of the result.
void tellFetchFailure(const QString &description)
{
    tellUser(u"Run-time error %1:\r\n"_s.arg(ErrorNumber::Database) + description);
}

} // namespace

Form2::Form2(QWidget *parent)
    : QWidget(parent)
    , m_grid(new QTableView(this))
    , m_label(new QLabel(u"Result &SQL"_s, this))
    , m_sqlText(new QPlainTextEdit(this))
    , m_condora(new Condora(this))
    , m_getSqlButton(new QPushButton(u"&GetSql"_s, this))
    , m_recordsetButton(new QPushButton(u"Get&Recordset"_s, this))
    , m_exitButton(new QPushButton(u"e&xit"_s, this))
{
    setObjectName(u"Form2"_s);
    setWindowTitle(u"Condora demo"_s);
    setFixedSize(twips::toPixels(7500), twips::toPixels(4755));

    m_grid->setObjectName(u"MSHFlexGrid1"_s);
    placeTwips(m_grid, 120, 180, 7275, 3195);
    // A compact grid: one line per row, captions over their columns' left edges.
    m_grid->verticalHeader()->hide();
    m_grid->setWordWrap(false);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_label->setObjectName(u"Label1"_s);
    placeTwips(m_label, 120, 3660, 1095, 255);

    m_sqlText->setObjectName(u"txtSql"_s);
    m_sqlText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_sqlText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // A statement holds no tabs: Tab moves on to the next control.
    m_sqlText->setTabChangesFocus(true);
    placeTwips(m_sqlText, 1320, 3480, 6075, 675);
    m_label->setBuddy(m_sqlText);

    // The control keeps its own fixed size; only its position is ours.
    m_condora->setObjectName(u"Condora1"_s);
    m_condora->move(twips::toPixels(420), twips::toPixels(4080));
    // The demo lets its users watch the statement grow, reopens the last condition on the same
    // statement for refining, counts the rows on Verify, and offers the further operators.
    m_condora->setShowSql(true);
    m_condora->setKeepCondition(true);
    m_condora->setCountRows(true);
    m_condora->setMoreOperators(true);

    m_getSqlButton->setObjectName(u"cmdGetSql"_s);
    placeTwips(m_getSqlButton, 1620, 4260, 1515, 435);
    m_recordsetButton->setObjectName(u"cmdRecordset"_s);
    placeTwips(m_recordsetButton, 3420, 4260, 1335, 435);
    m_exitButton->setObjectName(u"cmdExit"_s);
    placeTwips(m_exitButton, 6360, 4260, 1035, 435);

    fitCaption(m_label);
    for (QPushButton *button : {m_getSqlButton, m_recordsetButton, m_exitButton}) {
        fitCaption(button);
    }

    setTabOrder(m_getSqlButton, m_recordsetButton);
    setTabOrder(m_recordsetButton, m_exitButton);

    connect(m_getSqlButton, &QPushButton::clicked, this, &Form2::showOrderQuery);
    connect(m_recordsetButton, &QPushButton::clicked, this, &Form2::showCustomerQuery);
    connect(m_exitButton, &QPushButton::clicked, this, &QWidget::close);
}

Form2::~Form2() = default;

QString Form2::defaultDatabasePath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(u"DB/DB1.db"_s);
}

QString Form2::connectionStringFor(const QString &databasePath)
{
    return u"Provider=SQLite;Data Source="_s + databasePath;
}

QString Form2::orderQuerySql()
{
    return u"SELECT [Order Details].OrderID, [Order Details].ProductID, Products.ProductName, "
           "[Order Details].UnitPrice, [Order Details].Quantity, [Order Details].Discount, "
           "CCur([Order Details].[UnitPrice]*[Quantity]*(1-[Discount])/100)*100 AS ExtendedPrice "_s
           + u"FROM Products INNER JOIN [Order Details] ON Products.ProductID = [Order Details].ProductID "_s
           + u"ORDER BY [Order Details].OrderID"_s;
}

QString Form2::customerQuerySql()
{
    return u"SELECT Customers.CustomerID, Customers.CompanyName, Customers.ContactName, GenderTypes.Gender"_s
           + u" FROM GenderTypes INNER JOIN Customers ON GenderTypes.GenderID = Customers.GenderID"_s;
}

ado::Connection &Form2::windowConnection()
{
    if (!m_connection) {
        m_connection = std::make_shared<ado::Connection>();
    }
    return *m_connection;
}

bool Form2::openDatabase(const QString &databasePath)
{
    if (!QSqlDatabase::isDriverAvailable(u"QSQLITE"_s)) {
        tellUser(u"The SQLite database driver of Qt (QSQLITE) is not installed, so the sample database "
                 "cannot be opened.\r\nOn Debian, install the package libqt6sql6-sqlite."_s);
        return false;
    }
    const QFileInfo file(databasePath);
    if (!file.isFile()) {
        tellUser(u"The sample database was not found:\r\n"_s + QDir::toNativeSeparators(file.absoluteFilePath())
                 + u"\r\nIt is created when the program is built; build it again."_s);
        return false;
    }
    try {
        ado::Connection &connection = windowConnection();
        connection.setConnectionString(connectionStringFor(file.absoluteFilePath()));
        connection.Open();
        // SQLite opens any file lazily; make sure this one is the sample database.
        ado::Recordset probe;
        probe.Open(u"SELECT 1 FROM GenderTypes, Customers, Products, [Order Details] WHERE 1=0"_s, connection);
        probe.Close();
        // The order statement calls CCur, which SQLite does not know.
        registerCCurFunction(connection);
    } catch (const RuntimeError &error) {
        tellUser(u"The sample database could not be opened:\r\n"_s
                 + QDir::toNativeSeparators(file.absoluteFilePath()) + u"\r\n"_s + error.description());
        return false;
    } catch (const std::exception &error) {
        tellUser(u"The sample database could not be opened:\r\n"_s
                 + QDir::toNativeSeparators(file.absoluteFilePath()) + u"\r\n"_s + QString::fromLocal8Bit(error.what()));
        return false;
    }
    return true;
}

void Form2::showOrderQuery()
{
    try {
        m_condora->setSqlInput(orderQuerySql());
        m_condora->setConnObj(m_connection);
        m_sqlText->setPlainText(m_condora->GetQuerySql());
    } catch (const RuntimeError &error) {
        tellUser(u"Run-time error %1:\r\n"_s.arg(error.number()) + error.description());
    } catch (const std::exception &error) {
        tellUser(QString::fromLocal8Bit(error.what()));
    }
}

void Form2::showRows(QueryModel *rows)
{
    rows->setParent(this);
    // The grid fetches its rows as they are shown; a statement failing on the way is told here,
    // once the grid is done inserting what came before the failure.
    connect(rows, &QueryModel::fetchFailed, this,
            [](const QSqlError &error) { tellFetchFailure(error.databaseText()); }, Qt::QueuedConnection);
    if (rows->canFetchMore()) {
        rows->fetchMore(); // the first screenful, to size the columns by
    }
    m_grid->setModel(rows);
    delete std::exchange(m_rows, rows);
    fitColumns(*m_grid);
}

void Form2::showCustomerQuery()
{
    try {
        m_condora->setSqlInput(customerQuerySql());
        m_condora->setConnObj(m_connection);
        QStringList filters{QString(), QString(), QString(), QString(), u"GenderID<>'3'"_s};
        m_condora->SetFilterCondition(filters);
        QueryModel *rows = m_condora->GetQueryModel(this);
        if (rows == nullptr) {
            return;
        }
        if (rows->rowSource() == nullptr) {
            // Cancelled, or the run brought no rows: the grid keeps what it shows.
            const QSqlError error = rows->lastError();
            delete rows;
            if (error.isValid()) {
                tellUser(u"Run-time error %1:\r\n"_s.arg(error.nativeErrorCode()) + error.databaseText());
            }
            return;
        }
        showRows(rows);
    } catch (const RuntimeError &error) {
        tellUser(u"Run-time error %1:\r\n"_s.arg(error.number()) + error.description());
    } catch (const std::exception &error) {
        tellUser(QString::fromLocal8Bit(error.what()));
    }
}

} // namespace condora
