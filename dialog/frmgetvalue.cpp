#include "dialog/frmgetvalue.h"

#include "analysis/statementsplitter.h"
#include "dialog/applystyle.h"
#include "dialog/catalogentry.h"
#include "dialog/errortraps.h"
#include "dialog/fillgrid.h"
#include "dialog/twipsgeometry.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/twips.h"
#include "platform/userinteraction.h"

#include <QFontMetrics>
#include <QLocale>
#include <QScopeGuard>
#include <QKeyEvent>
#include <QShowEvent>
#include <QSqlDatabase>
#include <QTableView>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace condora {

using errortraps::ignoreErrors;
using errortraps::reportErrors;
using twipsgeometry::setTwipsGeometry;
using twipsgeometry::twipsGeometry;

QString valueListSql(const ColumnInfo &column, const QString &fromClause, DbProduct product)
{
    const QString select = column.typeClass == TypeClass::LongString ? u"select "_s : u"select distinct "_s;
    const bool expression = !column.expression.isEmpty() && !fromClause.isEmpty();
    QString listed = expression ? column.expression : column.colExpr;
    // PostgreSQL prints times to the microsecond and with the session's time zone, while Qt's
    // driver reads them to the millisecond: the server's own text is the value that, picked,
    // finds its rows again.
    if (product == DbProduct::PostgreSql
        && (column.typeCode == ado::adDBTimeStamp || column.typeCode == ado::adDBTime)) {
        listed = u"cast("_s + listed + u" as text)"_s;
    }
    return select + listed + u" from "_s + (expression ? fromClause : column.tabName) + u" "_s + column.filterClause;
}

frmGetValue::frmGetValue(QueryRun run, QWidget *parent)
    : QDialog(parent)
    , m_run(std::move(run))
{
    setObjectName(u"frmGetValue"_s);
    setWindowTitle(tr("value"));
    setModal(true);

    m_grid = new FlexGrid(this);
    m_grid->setObjectName(u"MSFlexGrid1"_s);
    m_grid->setFont(QFont(u"MS Sans Serif"_s));
    m_grid->setToolTipText(tr("Click title to sort"));
    m_grid->setNullText(nullEntry());
    connect(m_grid, &FlexGrid::MouseUp, this, &frmGetValue::MSFlexGrid1_MouseUp);
    connect(m_grid, &FlexGrid::FetchError, this, &frmGetValue::failList);
    m_grid->view()->installEventFilter(this);
    m_grid->setAccessibleName(tr("Values"));
    m_grid->setAccessibleDescription(
        tr("Enter picks the current value, Escape closes without a pick; a click on the title sorts."));
    m_grid->setFocus(Qt::OtherFocusReason);

    resize(twips::toPixels(DesignClientWidth), twips::toPixels(DesignClientHeight));
}

frmGetValue::~frmGetValue() = default;

QString frmGetValue::nullEntry()
{
    return u"(null)"_s;
}

void frmGetValue::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Load once per showing; a window-system activation (for example after an error message
    // over the picker) does not reload the list.
    if (!event->spontaneous()) {
        Form_Activate();
    }
}

void frmGetValue::Form_Activate()
{
    applyStyle(this, m_run.style);
    iniGrid();
    loadValues(m_headTitle, m_tabAlias);
}

void frmGetValue::iniGrid()
{
    reportErrors([this] {
        m_grid->setFormatString(u"<"_s + m_headTitle);
        const QRect g = twipsGeometry(m_grid);
        const int design = g.width() - g.left() - 160 + 1000;
        m_grid->setColWidth(0, std::max(design, std::min(widestValue(), design * MaxWidthFactor)));
    });
}

int frmGetValue::widestValue() const
{
    // The rows shown first are measured (a long list is fetched as it scrolls, and is not read
    // whole for this); each cell in its own font, the title bold.
    int widest = 0;
    const int rows = std::min(m_grid->Rows(), MeasuredRows + 1);
    for (int row = 0; row < rows; ++row) {
        QFont font = row == 0 ? m_grid->FontFixed() : m_grid->Font();
        font.setBold(row == 0 || font.bold());
        const QString text = row > 0 && m_grid->isNullCell(row, 0) ? nullEntry() : m_grid->TextMatrix(row, 0);
        // A value longer than any window is cut at the cap anyway: measure no more of it.
        widest = std::max(widest, QFontMetrics(font).horizontalAdvance(text.left(MeasuredCharacters)));
    }
    return twips::fromPixels(widest + ValuePadding);
}

void frmGetValue::loadValues(const QString & /*title*/, const QString & /*tabAlias*/)
{
    UserInteraction &ui = UserInteraction::instance();
    m_listFailed = false;
    m_singlePrecision = false;
    QString failure;
    reportErrors([&] {
        const int position = m_colIndex.isEmpty() ? -1 : positionFromText(m_colIndex);
        if (position == -1) {
            return;
        }
        ui.setMousePointer(MousePointer::Hourglass);
        const ColumnInfo &column = catalogEntry(m_run.fieldCatalog, position);
        const QString statement = valueListSql(
            column, column.expression.isEmpty() ? QString() : cutStatement(m_run.baseSql).fromClause, m_run.product);

        ado::Connection &connection = connectionOf(m_run);
        if (m_run.dbKind == DbKind::Access) {
            connection.setCursorLocation(ado::adUseClient);
        }
        // Exact numbers arrive as the database's text, not rounded through a double. The
        // policy belongs to the host's database: it is set for this statement only.
        QSqlDatabase database = connection.database();
        const QSql::NumericalPrecisionPolicy precision = database.numericalPrecisionPolicy();
        ado::Recordset recordset;
        {
            // The connection gets its cursor location back also when the statement fails.
            const auto restore = qScopeGuard([&] {
                connection.setCursorLocation(m_run.savedCursorLocation);
                database.setNumericalPrecisionPolicy(precision);
            });
            database.setNumericalPrecisionPolicy(QSql::HighPrecision);
            recordset.Open(statement, connection);
        }
        // SQLite keeps every floating value in double precision, whatever the declared type.
        m_singlePrecision = recordset.Fields().Count() > 0 && recordset.Fields().Item(0).Type() == ado::adSingle
                            && connection.driverName() != u"QSQLITE"_s;
        failure = fillGrid(*m_grid, recordset);
        recordset.Close();
        iniGrid();
        ui.setMousePointer(MousePointer::Default);
    });
    // A bound list that failed at once is reported now; a later failure (while the grid
    // fetches the rows it shows) arrives through FetchError.
    if (failure.isEmpty()) {
        failure = m_grid->fetchError();
    }
    if (!failure.isEmpty()) {
        failList(failure);
    }
}

void frmGetValue::failList(const QString &description)
{
    if (m_listFailed) {
        return;
    }
    m_listFailed = true;
    ignoreErrors([this] {
        m_grid->setRows(1);
        m_grid->setRows(2);
    });
    showError(QString(), RuntimeError::database(description));
}

QString frmGetValue::pickText(int row) const
{
    const QString text = m_grid->TextMatrix(row, 0);
    if (m_singlePrecision) {
        // The database compares a single-precision value with a literal in double precision:
        // give the double the stored value widens to.
        bool ok = false;
        const auto value = static_cast<float>(text.toDouble(&ok));
        if (ok && std::isfinite(value)) {
            return QString::number(double(value), 'g', QLocale::FloatingPointShortest);
        }
    }
    return text;
}

void frmGetValue::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    Form_Resize();
}

void frmGetValue::Form_Resize()
{
    ignoreErrors([this] {
        QRect g = twipsGeometry(m_grid);
        g.moveTo(10, 10);
        g.setWidth(twipsgeometry::windowWidth(this) - g.left() - 100);
        g.setHeight(twipsgeometry::windowHeight(this) - g.top() - 400);
        setTwipsGeometry(m_grid, g);
    });
}

void frmGetValue::MSFlexGrid1_MouseUp(int /*button*/, int /*shift*/, int x, int y)
{
    ignoreErrors([this] { m_grid->setCol(0); });
    m_sortState = m_sortState == 1 ? 2 : 1;

    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    ignoreErrors([&] {
        const QRect g = twipsGeometry(m_grid);
        left = g.left();
        top = g.top();
    });
    ignoreErrors([&] { right = left + m_grid->CellWidth(); });
    ignoreErrors([&] { bottom = top + m_grid->CellHeight(); });

    if (x >= left && x <= right && y >= top && y <= bottom) {
        ignoreErrors([this] { m_grid->setSort(m_sortState == 1 ? 2 : 1); });
        return;
    }
    // Only a value picks: a click on the empty area below the last value leaves the picker open.
    bool onValue = false;
    ignoreErrors([&] {
        QTableView *view = m_grid->view();
        const QPoint point(twips::toPixels(x), twips::toPixels(y));
        onValue = view->indexAt(view->viewport()->mapFrom(m_grid, point)).isValid();
    });
    if (!onValue) {
        return;
    }
    pickCurrent();
}

void frmGetValue::pickCurrent()
{
    ignoreErrors([this] {
        const int row = m_grid->RowSel();
        if (row == 0 || m_listFailed) {
            return;
        }
        if (m_grid->isNullCell(row, 0)) {
            m_pickedNull = true;
        } else {
            m_picked = pickText(row);
        }
    });
    accept();
}

bool frmGetValue::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_grid->view() && event->type() == QEvent::KeyPress) {
        const auto *keyEvent = static_cast<QKeyEvent *>(event);
        if ((keyEvent->key() == Qt::Key_Return || keyEvent->key() == Qt::Key_Enter)
            && (keyEvent->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            pickCurrent();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace condora
