#include "dialog/frmgetvalue.h"

#include "analysis/derivedfilter.h"

#include "analysis/statementsplitter.h"
#include "condition/valuelist.h"
#include "dialog/applystyle.h"
#include "dialog/busyactivity.h"
#include "dialog/catalogentry.h"
#include "dialog/errortraps.h"
#include "dialog/fastvaluequeries.h"
#include "dialog/fillgrid.h"
#include "dialog/orderedvalues.h"
#include "dialog/sampledvalues.h"
#include "dialog/twipsgeometry.h"
#include "dialog/valuecounts.h"
#include "dialog/valuesearch.h"
#include "dialog/valuesort.h"
#include "platform/ado/activityscope.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/ado/runconnection.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/flexgrid/flexgridmodel.h"
#include "platform/runtimeerror.h"
#include "platform/twips.h"
#include "platform/userinteraction.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QScopeGuard>
#include <QShowEvent>
#include <QSqlDatabase>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace condora {

using errortraps::ignoreErrors;
using errortraps::reportErrors;
using errortraps::reportErrorsUnless;
using twipsgeometry::setTwipsGeometry;
using twipsgeometry::twipsGeometry;

namespace {


/// What pickers remember for the rest of the process: one picker is open at a time (it is
/// modal), and the next one opens as the user left the last.
struct PickerSession
{
    bool counts = false;
    bool narrow = false;
    std::optional<QRect> geometry;
};

PickerSession &session()
{
    static PickerSession remembered;
    return remembered;
}

/// A list that takes this long to load may have kept keys waiting (see reloadValues()).
constexpr qint64 LongListMs = 50;
/// Keys that come within this time after such a list are taken together.
constexpr int KeysHeldBackMs = 50;
/// The pause after a list is there (and typing pauses) before its next rows are fetched.
constexpr int MoreRowsAfterMs = 30;
/// Lists at least this long sort on a worker thread (a few milliseconds of work below it).
constexpr int AsideSortRows = 5000;
/// An ordered list grows by this many values at a time while the window waits for the user,
/// and by as many as it holds once it holds more, up to MostGrowRows: each step costs a round
/// trip to the worker and the view's update, and the user's input waits for a step.
constexpr int GrowRows = 4096;
constexpr int MostGrowRows = 32768;
/// While the worker reads ahead, a step that finds nothing read yet looks again after this.
constexpr int ReadAheadPollMs = 5;
/// The "Rows" column's width in twips.
constexpr int CountColWidth = 1300;

} // namespace

frmGetValue::frmGetValue(QueryRun run, QWidget *parent)
    : QDialog(parent)
    , m_run(std::move(run))
{
    setObjectName(u"frmGetValue"_s);
    setWindowTitle(tr("value"));
    setModal(true);
    if (m_run.connection) {
        m_busy = std::make_unique<BusyScope>(*m_run.connection, this);
    }

    m_grid = new FlexGrid(this);
    m_grid->setObjectName(u"MSFlexGrid1"_s);
    m_grid->setFont(QFont(u"MS Sans Serif"_s));
    m_grid->setToolTipText(tr("Click title to sort"));
    m_grid->setTextElided(true);
    m_grid->setNullText(nullEntry());
    connect(m_grid, &FlexGrid::MouseUp, this, &frmGetValue::MSFlexGrid1_MouseUp);
    connect(m_grid, &FlexGrid::FetchError, this, &frmGetValue::failList);
    m_grid->view()->installEventFilter(this);
    m_grid->setAccessibleName(tr("Values"));
    m_grid->view()->setAccessibleName(tr("Values")); // the table that assistive technology reads
    m_grid->setAccessibleDescription(
        tr("Enter picks the current value, Escape closes without a pick; a click on the title sorts."));

    m_search = new QLineEdit(this);
    m_search->setObjectName(u"txtSearch"_s);
    m_search->setClearButtonEnabled(true);
    m_search->setPlaceholderText(tr("Search"));
    m_search->setAccessibleName(tr("Search values"));
    for (QToolButton *clear : m_search->findChildren<QToolButton *>()) {
        clear->setAccessibleName(tr("Clear search"));
    }
    m_search->setAccessibleDescription(
        tr("Lists only the values that contain the typed text; Down moves into the list, Enter picks the current "
           "value."));
    m_search->installEventFilter(this);
    if (m_busy) {
        m_busy->activity().setTypingField(m_search);
    }
    // Every keystroke lists the values for the text as it then stands; one typed while a search
    // runs stops that search (its list would be outdated) and lists for the new text next.
    connect(m_search, &QLineEdit::textChanged, this, &frmGetValue::reloadValues);
    m_keysHeldBack = new QTimer(this);
    m_keysHeldBack->setSingleShot(true);
    m_keysHeldBack->setInterval(KeysHeldBackMs);
    connect(m_keysHeldBack, &QTimer::timeout, this, &frmGetValue::reloadIfPending);
    m_moreRows = new QTimer(this);
    m_moreRows->setSingleShot(true);
    m_moreRows->setInterval(MoreRowsAfterMs);
    connect(m_moreRows, &QTimer::timeout, this, &frmGetValue::fetchMoreRows);
    m_growList = new QTimer(this);
    m_growList->setSingleShot(true);
    m_growList->setInterval(0);
    connect(m_growList, &QTimer::timeout, this, &frmGetValue::growList);

    m_count = new QLabel(this);
    m_count->setObjectName(u"lblCount"_s);
    m_chkCounts = new QCheckBox(tr("Rows per value"), this);
    m_chkCounts->setObjectName(u"chkCounts"_s);
    m_chkCounts->setAccessibleDescription(tr("Shows how many rows of the query hold each value."));
    m_chkCounts->setChecked(session().counts);
    connect(m_chkCounts, &QCheckBox::toggled, this, [this](bool on) {
        session().counts = on;
        reloadValues();
    });

    m_chkNarrow = new QCheckBox(tr("Only values matching the other rows"), this);
    m_chkNarrow->setObjectName(u"chkNarrow"_s);
    m_chkNarrow->setAccessibleDescription(
        tr("Lists only the values that rows matching the other rows of the condition hold."));
    m_chkNarrow->setChecked(session().narrow);
    m_chkNarrow->hide();
    connect(m_chkNarrow, &QCheckBox::toggled, this, [this](bool on) {
        session().narrow = on;
        reloadValues();
    });

    m_chosenLabel = new QLabel(this);
    m_chosenLabel->setObjectName(u"lblChosen"_s);
    m_chosenLabel->setTextFormat(Qt::PlainText);
    m_chosenLabel->hide();
    m_pickChosen = new QPushButton(tr("Use chosen values"), this);
    m_pickChosen->setObjectName(u"cmdPickChosen"_s);
    m_pickChosen->setAutoDefault(false);
    m_pickChosen->setAccessibleDescription(tr("Closes the list and takes every chosen value."));
    m_pickChosen->hide();
    connect(m_pickChosen, &QPushButton::clicked, this, &frmGetValue::pickCurrent);

    m_countBars = new CountBarDelegate(m_grid->view()->itemDelegate(), this);
    QAbstractItemModel *model = m_grid->view()->model();
    connect(model, &QAbstractItemModel::rowsInserted, this, &frmGetValue::updateCountLabel);
    connect(model, &QAbstractItemModel::modelReset, this, &frmGetValue::updateCountLabel);
    connect(model, &QAbstractItemModel::layoutChanged, this, &frmGetValue::updateCountLabel);

    setTabOrder(m_search, m_grid->view());
    setTabOrder(m_grid->view(), m_chkCounts);
    setTabOrder(m_chkCounts, m_chkNarrow);
    setTabOrder(m_chkNarrow, m_pickChosen);
    m_search->setFocus(Qt::OtherFocusReason);

    // As designed, unless a larger font needs more room for the strip under the list (a
    // seven-digit count beside the counts switch).
    const int strip = m_chkCounts->sizeHint().width()
                      + m_count->fontMetrics().horizontalAdvance(tr("%1+ values").arg(QLocale().toString(1000000)))
                      + twips::toPixels(300);
    resize(std::max(twips::toPixels(DesignClientWidth), strip), twips::toPixels(DesignClientHeight));
}

void frmGetValue::setNarrowing(const QString &statement, const QString &column)
{
    m_narrowing = statement;
    m_narrowingColumn = column;
    m_chkNarrow->setVisible(!statement.isEmpty());
    // The switch's text is long (and longer in other languages): the window grows to show it whole.
    const int needed = m_chkNarrow->sizeHint().width() + twips::toPixels(2 * 10) + 2;
    if (!statement.isEmpty() && width() < needed) {
        resize(needed, height());
    }
    Form_Resize();
}

void frmGetValue::setMultiplePicks(const QStringList &chosen)
{
    m_multiple = true;
    m_chosen = chosen;
    m_chosenLabel->show();
    m_pickChosen->show();
    m_grid->setAccessibleDescription(tr("A click or Space adds the current value to the chosen values or takes it "
                                        "out; Enter takes the chosen values, Escape closes without a pick."));
    updateChosenLabel();
    Form_Resize();
}

void frmGetValue::toggleChosen(int row)
{
    if (m_listFailed || !m_rows || m_rows->fetchedCount() == 0) {
        return;
    }
    ignoreErrors([&] {
        if (m_grid->isNullCell(row, 0)) {
            return; // NULL is no value a list can hold
        }
        const QString value = pickText(row);
        if (!m_chosen.removeOne(value)) {
            m_chosen.append(value);
        }
    });
    updateChosenLabel();
}

void frmGetValue::updateChosenLabel()
{
    // The label shows as much of the list as fits; its tool tip and description the whole list.
    const QString list = joinValueList(m_chosen);
    const QString text = m_chosen.isEmpty() ? tr("No values chosen") : tr("%1 chosen: %2").arg(m_chosen.size()).arg(list);
    m_chosenLabel->setText(m_chosenLabel->fontMetrics().elidedText(text, Qt::ElideRight, m_chosenLabel->width()));
    m_chosenLabel->setToolTip(list);
    m_chosenLabel->setAccessibleDescription(list);
    m_pickChosen->setEnabled(!m_chosen.isEmpty());
}

void frmGetValue::resetSession()
{
    session() = PickerSession();
}

frmGetValue::~frmGetValue()
{
    stopExactList();
}

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
        if (session().geometry) {
            resize(session().geometry->size());
            move(session().geometry->topLeft());
        }
        m_shownGeometry = QRect(pos(), size());
        Form_Activate();
        m_search->setFocus(Qt::OtherFocusReason);
    }
}

void frmGetValue::hideEvent(QHideEvent *event)
{
    // Only a window the user moved or resized is remembered; otherwise the owner's placement
    // stays in charge.
    // pos() is the frame's position, which stays put when the window system adds the frame.
    const QRect now(pos(), size());
    if (!event->spontaneous() && now != m_shownGeometry) {
        session().geometry = now;
    }
    if (!event->spontaneous()) {
        stopExactList();
        if (m_rows) {
            m_rows->release(); // the list stops growing: its statement goes
        }
    }
    QDialog::hideEvent(event);
}

void frmGetValue::Form_Activate()
{
    applyStyle(this, m_run.style);
    iniGrid();
    loadValues(m_headTitle, m_tabAlias);
}

void frmGetValue::iniGrid()
{
    const bool counts = m_chkCounts->isChecked() && m_grid->Cols() > 1;
    reportErrors([this, counts] {
        m_grid->setFormatString(u"<"_s + m_headTitle + (counts ? u"|>"_s + tr("Query rows") : QString()));
        const QRect g = twipsGeometry(m_grid);
        int design = g.width() - g.left() - 160 + 1000;
        if (counts) {
            // The counts' column is as wide as its title needs (with the sort arrow, in any font
            // and language), and both columns fit beside the vertical scroll bar while the values
            // are short: the counts never sit under the scroll bar.
            QTableView *view = m_grid->view();
            QHeaderView *header = view->horizontalHeader();
            QStyleOptionHeader option;
            option.initFrom(header);
            QFont titleFont = m_grid->FontFixed();
            titleFont.setBold(true);
            option.fontMetrics = QFontMetrics(titleFont);
            option.text = m_grid->TextMatrix(0, 1);
            option.sortIndicator = QStyleOptionHeader::SortDown;
            const int title = twips::fromPixels(
                header->style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), header).width());
            const int countWidth = std::max(CountColWidth, title);
            const int room = twips::fromPixels(view->width() - 2 * view->frameWidth()
                                               - view->verticalScrollBar()->sizeHint().width());
            design = std::min(design - CountColWidth - 1000, room - countWidth);
            m_grid->setColWidth(1, countWidth);
        }
        m_grid->setColWidth(0, std::max(design, std::min(widestValue(), design * MaxWidthFactor)));
    });
    m_grid->view()->setItemDelegateForColumn(1, counts ? m_countBars : nullptr);
    QHeaderView *header = m_grid->view()->horizontalHeader();
    header->setSortIndicatorShown(m_sortColumn >= 0 && m_sortColumn < m_grid->Cols());
    header->setSortIndicator(m_sortColumn, m_sortState == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
}

int frmGetValue::widestValue() const
{
    // The rows shown first are measured (a long list is fetched as it scrolls, and is not read
    // whole for this); each cell in its own font, the title bold.
    int widest = 0;
    const int rows = std::min(m_grid->Rows(), MeasuredRows + 1);
    QFont titleFont = m_grid->FontFixed();
    titleFont.setBold(true);
    const QFontMetrics title(titleFont);
    const QFontMetrics cells(m_grid->Font());
    for (int row = 0; row < rows; ++row) {
        const QString text = row > 0 && m_grid->isNullCell(row, 0) ? nullEntry() : m_grid->TextMatrix(row, 0);
        // A value longer than any window is cut at the cap anyway: measure no more of it.
        widest = std::max(widest, (row == 0 ? title : cells).horizontalAdvance(text.left(MeasuredCharacters)));
    }
    return twips::fromPixels(widest + ValuePadding);
}

void frmGetValue::loadValues(const QString & /*title*/, const QString & /*tabAlias*/)
{
    UserInteraction &ui = UserInteraction::instance();
    QElapsedTimer took;
    took.start();
    m_listFailed = false;
    m_singlePrecision = false;
    m_reloadPending = false; // this list follows the search text and the switches as they stand
    stopExactList();
    // The list before lets its statement go before anything else runs: a connection that serves
    // one statement at a time would otherwise read all of its rest first. Its rows stay shown.
    if (m_rows) {
        m_rows->release();
    }
    m_exactCounts.clear();
    m_countsEstimated = false;
    QString failure;
    // A failure of a list that a newer one replaces already (a keystroke came while it loaded)
    // is moot: it is not reported.
    const auto outdated = [this] { return m_reloadPending; };
    const bool listed = reportErrorsUnless(outdated, [&] {
        const int position = m_colIndex.isEmpty() ? -1 : positionFromText(m_colIndex);
        if (position == -1) {
            return;
        }
        ui.setMousePointer(MousePointer::Hourglass);
        const auto pointer = qScopeGuard([&ui] { ui.setMousePointer(MousePointer::Default); });
        const ColumnInfo &column = catalogEntry(m_run.fieldCatalog, position);
        ado::Connection &connection = connectionOf(m_run);
        ValueListRequest request;
        request.search = m_search->text();
        request.counts = m_chkCounts->isChecked();
        if (m_chkNarrow->isChecked() && !m_narrowing.isEmpty()) {
            request.narrowing = m_narrowing;
            request.narrowingColumn = m_narrowingColumn;
        }
        // The rows counted are the query's: the narrowed statement while it narrows, else the
        // base statement, where the value's column has a name of its own in the result.
        if (request.counts) {
            if (!request.narrowing.isEmpty()) {
                request.countSource = request.narrowing;
                request.countColumn = request.narrowingColumn;
            } else if (uniqueResultName(m_run.fieldCatalog, column.colName)) {
                request.countSource = m_run.baseSql;
                request.countColumn = quotedName(column.colName, m_run);
            }
        }
        m_typeClass = column.typeClass;
        const ValueSearchMethod method = valueSearchMethod(m_run, connection);
        if (method == ValueSearchMethod::SqliteFold && !request.search.isEmpty()) {
            registerSqliteFold(connection);
        }
        // An aggregate or window column holds its values only in the statement's result: they are
        // listed from there (a host's filter for it names the tables' columns, and keeps the old
        // reading over the FROM clause).
        ColumnInfo listed = column;
        QString fromClause = column.expression.isEmpty() ? QString() : cutStatement(m_run.baseSql).fromClause;
        if (isComputedAfterWhere(column) && column.filterClause.isEmpty()
            && uniqueResultName(m_run.fieldCatalog, column.colName)) {
            listed.expression = u"b."_s + quotedName(column.colName, m_run);
            fromClause = u"(\n"_s + m_run.baseSql + u"\n) b"_s;
        }
        const QString plain = valueQuerySql(listed, fromClause, m_run, method, request);
        // A column an index leads with is read from the index, value after value, when the list
        // is the plain one or a search (the narrowing takes today's statement). A search on
        // PostgreSQL lets a trigram index find its candidates where one covers the column; the
        // counts of the column's own table's rows are one grouping over it.
        m_listMode = ValueListMode::Plain;
        const QString statement = m_run.fastValueLists && request.narrowing.isEmpty() && listed.expression.isEmpty()
                                      ? fastStatement(connection, column, request, method, fromClause, plain)
                                      : plain;
        // The list before lets its statement go: a connection that serves one statement at a
        // time would otherwise read all of its rest before running the next.
        if (const auto previous = std::exchange(m_rows, nullptr)) {
            previous->release();
        }
        if (m_run.dbKind == DbKind::Access) {
            connection.setCursorLocation(ado::adUseClient);
        }
        // Exact numbers arrive as the database's text, not rounded through a double. The
        // policy belongs to the host's database: it is set for this statement only.
        const int precision = connection.numericalPrecisionPolicy();
        ado::Recordset recordset;
        {
            // The connection gets its cursor location back also when the statement fails.
            const auto restore = qScopeGuard([&] {
                connection.setCursorLocation(m_run.savedCursorLocation);
                connection.setNumericalPrecisionPolicy(precision);
            });
            connection.setNumericalPrecisionPolicy(QSql::HighPrecision);
            try {
                recordset.Open(statement, connection);
            } catch (const RuntimeError &error) {
                // A filter the walk, the sample or the grouping cannot take as a condition of its
                // own: the list as always.
                if (statement == plain || error.number() == ErrorNumber::Cancelled) {
                    throw;
                }
                if (m_listMode == ValueListMode::Ordered) {
                    m_indexLeads = false;
                }
                m_listMode = ValueListMode::Plain;
                m_exactCounts.clear();
                m_countsEstimated = false;
                recordset.Open(plain, connection);
            }
        }
        // SQLite keeps every floating value in double precision, whatever the declared type.
        m_singlePrecision = recordset.Fields().Count() > 0 && recordset.Fields().Item(0).Type() == ado::adSingle
                            && connection.driverName() != u"QSQLITE"_s;
        m_rows = recordset.rowSource();
        failure = fillGrid(*m_grid, recordset);
        recordset.Close();
        if (m_listMode == ValueListMode::Sampled && failure.isEmpty()) {
            // The sample is small: whole, before the exact list takes the worker.
            m_grid->fetchAll();
            if (m_grid->fetchError().isEmpty()) {
                connection.setNumericalPrecisionPolicy(QSql::HighPrecision);
                m_exactList = ado::readOnRunWorker(
                    connection, plain,
                    [picker = QPointer<frmGetValue>(this)](std::shared_ptr<ado::RowSource> rows, const QString &why) {
                        if (picker) {
                            picker->exactListArrived(std::move(rows), why);
                        }
                    });
                connection.setNumericalPrecisionPolicy(precision);
            }
        }
        iniGrid();
    });
    if (!listed && !m_reloadPending) {
        // Reported: the values of the list before (for other search text) are no list for this.
        emptyList();
    }
    // A bound list that failed at once is reported now; a later failure (while the grid
    // fetches the rows it shows) arrives through FetchError.
    if (failure.isEmpty()) {
        failure = m_grid->fetchError();
    }
    if (!failure.isEmpty()) {
        failList(failure);
    }
    if (m_sortColumn >= 0 && !m_reloadPending) {
        applySort();
    }
    updateCountLabel();
    m_lastListMs = took.elapsed();
    m_sinceListed.start();
    m_moreRows->start();
    // After the first paint: the list grows (or the exact counts, which bring every value,
    // take the place of the estimates).
    if (!m_exactCounts.isEmpty()) {
        QTimer::singleShot(MoreRowsAfterMs, this, &frmGetValue::countExactly);
    } else if (m_listMode == ValueListMode::Ordered && m_rows && !m_listFailed) {
        // The worker reads the rest meanwhile; each step shows what it read.
        m_rows->readAhead();
        m_growList->start(MoreRowsAfterMs);
    }
}

QString frmGetValue::fastStatement(ado::Connection &connection, const ColumnInfo &column, ValueListRequest request,
                                   ValueSearchMethod method, const QString &fromClause, const QString &plain)
{
    const auto target = plainTableColumn(column);
    if (!target) {
        return plain;
    }
    if (!m_indexChecked) {
        m_indexLeads = indexLeadsWith(connection, m_run.product, *target, &m_sqliteIndex);
        // One pass over the index (on PostgreSQL after the first values of a walk), unless the
        // statistics say that a walk reads less, or (SQLite) only a descending index leads.
        m_walkAll = m_indexLeads
                    && ((m_run.product == DbProduct::Sqlite && !m_sqliteIndex)
                        || rowsPerValue(connection, m_run.product, *target) >= WalkRowsPerValue);
        m_indexChecked = true;
    }
    const auto walk = [&] {
        return request.search.isEmpty()
                   ? orderedValuesSql(column, m_run.product, m_walkAll, m_sqliteIndex.value_or(QString()))
                   : orderedSearchSql(column, m_run, method, request.search);
    };
    if (request.counts) {
        if (!countsTableRows(m_run, column)) {
            return plain;
        }
        // On PostgreSQL the values come from the index at once with the counts the server
        // estimates; the grouping's exact counts replace them.
        if (m_run.product == DbProduct::PostgreSql && m_indexLeads) {
            if (!m_statistics) {
                m_statistics = hasStatistics(connection, *target);
            }
            if (*m_statistics) {
                m_exactCounts = tableCountsSql(column, m_run, method, request.search);
                m_countsEstimated = true;
                m_listMode = ValueListMode::Ordered;
                // The walk alone: its first values come at once, and the grouping brings the rest.
                return estimatedCountsSql(*target, request.search.isEmpty()
                                                       ? orderedValuesSql(column, m_run.product, true)
                                                       : orderedSearchSql(column, m_run, method, request.search));
            }
        }
        return tableCountsSql(column, m_run, method, request.search);
    }
    if (!request.search.isEmpty() && m_run.product == DbProduct::PostgreSql && !m_trigram) {
        m_trigram = trigramIndexOn(connection, *target);
    }
    if (!request.search.isEmpty() && m_trigram.value_or(false)) {
        request.trigram = true;
        return valueQuerySql(column, fromClause, m_run, method, request);
    }
    if (m_indexLeads) {
        m_listMode = ValueListMode::Ordered;
        return walk();
    }
    // A sample first, while the worker makes the exact list; on PostgreSQL also for a search,
    // whose DISTINCT reads every row before its first value (SQLite's yields each as it finds it).
    if ((request.search.isEmpty() || m_run.product == DbProduct::PostgreSql) && ado::runsOnWorker(connection)) {
        if (const auto sampled = sampledColumn(connection, m_run.product, column)) {
            m_listMode = ValueListMode::Sampled;
            fitSampleLabel();
            return request.search.isEmpty() ? valueListSql(*sampled, QString(), m_run.product)
                                            : valueQuerySql(*sampled, QString(), m_run, method, request);
        }
    }
    return plain;
}

bool frmGetValue::countsEstimated() const
{
    return m_countsEstimated;
}

void frmGetValue::countExactly()
{
    if (m_exactCounts.isEmpty() || m_listFailed || m_reloadPending || !isVisible()) {
        return;
    }
    if (m_busy && m_busy->activity().running()) {
        QTimer::singleShot(10, this, &frmGetValue::countExactly); // after what runs now
        return;
    }
    std::shared_ptr<ado::RowSource> exact;
    // Stopped (Cancel, or a keystroke for another list) or failed, the estimates stay, marked.
    const auto estimates = m_rows;
    reportErrorsUnless([this] { return m_reloadPending; }, [&] {
        ado::Connection &connection = connectionOf(m_run);
        const int precision = connection.numericalPrecisionPolicy();
        const auto restore = qScopeGuard([&] { connection.setNumericalPrecisionPolicy(precision); });
        connection.setNumericalPrecisionPolicy(QSql::HighPrecision);
        ado::Recordset recordset;
        recordset.Open(m_exactCounts, connection);
        exact = recordset.rowSource();
        while (!exact->atEnd() && exact->fetchMore(4096) > 0) {
        }
        recordset.Close();
        if (!exact->fetchError().isEmpty()) {
            throw RuntimeError::database(exact->fetchError());
        }
    });
    if (estimates != m_rows || m_reloadPending) {
        return; // another list replaces this one
    }
    m_exactCounts.clear();
    if (!exact || !exact->fetchError().isEmpty()) {
        return;
    }
    m_countsEstimated = false;
    // Every value with its exact count, in the grouping's order (sorting it as the estimates
    // would cost the server another pass): a value the user moved to stays current.
    const Place place = notePlace();
    if (const auto previous = std::exchange(m_rows, exact)) {
        previous->release();
    }
    reportErrors([&] { m_grid->setRowSource(exact); });
    m_listMode = ValueListMode::Plain;
    iniGrid();
    if (m_sortColumn >= 0) {
        applySort();
    }
    keepPlace(place);
    updateCountLabel();
}

void frmGetValue::growList()
{
    if (!m_rows || m_rows->atEnd() || m_listFailed || m_reloadPending || !isVisible()
        || m_listMode != ValueListMode::Ordered) {
        return;
    }
    if (m_busy && m_busy->activity().running()) {
        m_growList->start(10); // after what runs now
        return;
    }
    const auto source = m_rows;
    const int step = std::clamp(m_rows->fetchedCount(), GrowRows, MostGrowRows);
    if (m_rows->fetchReady(step) == 0 && !m_rows->atEnd()) {
        m_growList->start(ReadAheadPollMs); // nothing read yet
        return;
    }
    ignoreErrors([this, step] { m_grid->fetchRows(step); });
    if (source != m_rows || m_listFailed || m_reloadPending) {
        return; // another list replaces this one, or it failed (and was reported)
    }
    if (!m_rows->fetchError().isEmpty()) {
        failList(m_rows->fetchError());
        return;
    }
    updateCountLabel();
    m_growList->start(0);
}

void frmGetValue::fitSampleLabel()
{
    // The window widens for the longer label (a seven-digit count), as it opens for the other.
    const int needed = m_chkCounts->sizeHint().width()
                       + m_count->fontMetrics().horizontalAdvance(
                           tr("%1+ values (sample)").arg(QLocale().toString(1000000)))
                       + twips::toPixels(300);
    if (width() < needed) {
        const bool asOpened = QRect(pos(), size()) == m_shownGeometry;
        resize(needed, height());
        if (asOpened) {
            m_shownGeometry = QRect(pos(), size()); // no move of the user's to remember
        }
    }
}

void frmGetValue::stopExactList()
{
    if (const auto making = std::exchange(m_exactList, nullptr)) {
        making->stop();
    }
}

void frmGetValue::exactListArrived(std::shared_ptr<ado::RowSource> rows, const QString &failure)
{
    if (m_listMode != ValueListMode::Sampled || !m_exactList || m_listFailed || m_reloadPending || !isVisible()) {
        return;
    }
    if (m_busy && m_busy->activity().running()) {
        // After what runs now (a sort of the sample, say), which still reads the sample.
        QTimer::singleShot(10, this, [this, rows, failure] { exactListArrived(rows, failure); });
        return;
    }
    m_exactList.reset();
    m_listMode = ValueListMode::Plain;
    if (!rows || !failure.isEmpty()) {
        // A part of the list would pass for the whole of it.
        failList(failure.isEmpty() ? tr("The list of values could not be read.") : failure);
        return;
    }
    const Place place = notePlace();
    if (const auto sample = std::exchange(m_rows, rows)) {
        sample->release();
    }
    reportErrors([&] { m_grid->setRowSource(rows); });
    if (m_sortColumn >= 0) {
        applySort();
    }
    iniGrid();
    keepPlace(place);
    updateCountLabel();
}

frmGetValue::Place frmGetValue::notePlace() const
{
    QTableView *view = m_grid->view();
    const QModelIndex current = view->currentIndex();
    Place place;
    place.top = std::max(0, view->rowAt(0));
    if (current.isValid() && (current.row() > 0 || place.top > 0)) {
        place.null = m_grid->isNullCell(current.row() + 1, 0);
        place.value = m_grid->TextMatrix(current.row() + 1, 0);
        if (view->visualRect(current).intersects(view->viewport()->rect())) {
            place.offset = current.row() - place.top;
        }
    }
    return place;
}

void frmGetValue::keepPlace(const Place &place)
{
    // The user goes on where they were: a value they moved to stays current, in the same place
    // of the window when it showed, and otherwise the list keeps its scroll position. A list
    // nobody moved in shows its top.
    QTableView *view = m_grid->view();
    int row = -1;
    if (place.value) {
        ignoreErrors([&] {
            for (int r = 1; r < m_grid->Rows(); ++r) {
                const bool null = m_grid->isNullCell(r, 0);
                if (null == place.null && (null || m_grid->TextMatrix(r, 0) == *place.value)) {
                    row = r;
                    break;
                }
            }
            // Not among the rows shown so far: further down the rows read (in their order).
            for (int r = m_grid->Rows() - 1; row < 0 && m_sortColumn < 0 && m_rows && r < m_rows->fetchedCount(); ++r) {
                const bool null = m_rows->value(r, 0).isNull();
                if (null == place.null && (null || m_rows->text(r, 0) == *place.value)) {
                    m_grid->fetchRows(r + 2 - m_grid->Rows());
                    row = r + 1;
                }
            }
            if (row > 0 && row < m_grid->Rows()) {
                m_grid->setRow(row);
            }
        });
    }
    QAbstractItemModel *model = view->model();
    const int scrollTo = row > 0 && place.offset >= 0 ? std::max(0, row - 1 - place.offset) : place.top;
    if (scrollTo < model->rowCount()) {
        view->scrollTo(model->index(scrollTo, 0), QAbstractItemView::PositionAtTop);
    }
}

void frmGetValue::fetchMoreRows()
{
    if (!m_rows || m_listFailed || m_reloadPending || !isVisible()) {
        return;
    }
    // Up to the first 64 rows, as the first list of a showing has them at once.
    if (m_grid->fetchRows(FlexGridModel::FirstFetchChunk + 1 - m_grid->Rows()) > 0) {
        iniGrid();
    }
}

void frmGetValue::reloadValues()
{
    m_reloadPending = true;
    // Keys that come the moment a long list is there were typed while it loaded on a database
    // whose statements hold the window (MySQL's, ODBC's): the list follows all of them at once,
    // not each in turn. Elsewhere keys come as they are typed, and each searches at once.
    if (m_lastListMs >= LongListMs && m_sinceListed.isValid() && m_sinceListed.elapsed() < KeysHeldBackMs
        && m_run.connection && m_run.connection->statementsBlock()) {
        m_keysHeldBack->start();
        return;
    }
    reloadIfPending();
}

void frmGetValue::reloadIfPending()
{
    if (!m_reloadPending || !isVisible()) {
        return; // listed already, or listed when the window shows
    }
    if (m_busy && m_busy->activity().running()) {
        // Whatever runs now serves the list that is outdated: it stops, and the new list loads
        // once its routine has returned.
        m_busy->activity().stopForNewer();
        QTimer::singleShot(0, this, &frmGetValue::reloadIfPending);
        return;
    }
    // At a keystroke, the rows the list shows come first, for the first paint, and one more out
    // of sight (the view would fetch at once if its last row showed); the rest up to the first
    // 64 follow a moment later (fetchMoreRows()).
    const QTableView *view = m_grid->view();
    const int rowHeight = std::max(1, view->verticalHeader()->defaultSectionSize());
    m_grid->setFirstFetchRows((view->viewport()->height() + rowHeight - 1) / rowHeight + 1);
    loadValues(m_headTitle, m_tabAlias);
    m_grid->setFirstFetchRows(FlexGridModel::FirstFetchChunk); // the first list of a showing
}

void frmGetValue::pickWhenListed()
{
    if (!isVisible()) {
        return;
    }
    if (m_busy && m_busy->activity().running()) {
        QTimer::singleShot(10, this, &frmGetValue::pickWhenListed);
        return;
    }
    reloadIfPending();
    pickCurrent();
}

void frmGetValue::applySort()
{
    if (!m_rows || m_listFailed || m_sortColumn >= m_rows->columnCount()) {
        return;
    }
    UserInteraction &ui = UserInteraction::instance();
    ui.setMousePointer(MousePointer::Hourglass);
    const auto pointer = qScopeGuard([&ui] { ui.setMousePointer(MousePointer::Default); });
    while (!m_rows->atEnd() && m_rows->fetchMore(4096) > 0) {
    }
    if (m_reloadPending) {
        return; // a keystroke came: another list replaces this one
    }
    if (!m_rows->fetchError().isEmpty()) {
        failList(m_rows->fetchError());
        return;
    }
    ValueSortKind kind = ValueSortKind::Number; // the counts
    if (m_sortColumn == 0) {
        kind = m_typeClass == TypeClass::Number ? ValueSortKind::Number
               : m_typeClass == TypeClass::Date ? ValueSortKind::Date
                                                : ValueSortKind::Text;
    }
    // A long list sorts on a worker thread (the fetched rows are plain data, read only) while
    // the window keeps its events; stopped, the list keeps its order.
    QList<int> order;
    const std::shared_ptr<ado::RowSource> rows = m_rows;
    const int column = m_sortColumn;
    const bool descending = m_sortState == 1;
    const auto sort = [&order, &rows, column, kind, descending] {
        order = sortedRows(*rows, column, kind, descending);
    };
    if (m_busy && rows->fetchedCount() >= AsideSortRows) {
        if (!m_busy->activity().runAside(sort)) {
            return;
        }
    } else {
        sort();
    }
    reportErrors([&] { m_grid->setRowSource(std::make_shared<ReorderedRows>(rows, std::move(order))); });
    iniGrid();
}

void frmGetValue::updateCountLabel()
{
    const int listed = m_rows ? m_rows->fetchedCount() : 0;
    const QString number = locale().toString(listed);
    if (m_rows && m_listMode == ValueListMode::Sampled) {
        m_count->setText(tr("%1+ values (sample)").arg(number));
    } else if (m_rows && !m_rows->atEnd()) {
        m_count->setText(tr("%1+ values").arg(number));
    } else {
        m_count->setText(listed == 1 ? tr("1 value") : tr("%1 values").arg(number));
    }
    qint64 largest = 0;
    if (m_rows && m_chkCounts->isChecked() && m_rows->columnCount() > 1) {
        // Each count is read once, as its row arrives; the bars follow the largest so far.
        if (m_largestOf.lock() != m_rows) {
            m_largestOf = m_rows;
            m_largestRows = 0;
            m_largest = 0;
        }
        for (; m_largestRows < listed; ++m_largestRows) {
            m_largest = std::max(m_largest, m_rows->value(m_largestRows, 1).toLongLong());
        }
        largest = m_largest;
    }
    m_countBars->setMaximum(largest);
}

void frmGetValue::failList(const QString &description)
{
    if (m_listFailed || m_reloadPending) {
        return; // reported once; or moot, as another list replaces this one
    }
    emptyList();
    showError(QString(), ado::fetchFailure(description));
}

void frmGetValue::emptyList()
{
    m_listFailed = true;
    m_rows.reset();
    updateCountLabel();
    ignoreErrors([this] {
        m_grid->setRows(1);
        m_grid->setRows(2);
    });
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
        // The search field above the list; the count and the counts switch in the strip below.
        // As designed, but never past the client area's right edge (the design's rule reaches
        // under the window's border).
        const int width =
            std::min(twipsgeometry::windowWidth(this) - 10 - 100, twips::fromPixels(this->width()) - 2 * 10);
        const int line = twips::fromPixels(m_search->sizeHint().height());
        const int stripLine = std::max(400, twips::fromPixels(m_chkCounts->sizeHint().height()) + 100);
        // A line for the narrowing switch when it is offered, and one for the chosen values.
        const int strip = stripLine * (1 + (m_narrowing.isEmpty() ? 0 : 1) + (m_multiple ? 1 : 0));
        setTwipsGeometry(m_search, QRect(10, 10, width, line));
        QRect g = twipsGeometry(m_grid);
        g.moveTo(10, 10 + line + 60);
        g.setWidth(width);
        // The window height counts the design frame; the strip goes inside the client area.
        g.setHeight(twipsgeometry::windowHeight(this) - twipsgeometry::FrameHeight - g.top() - strip);
        setTwipsGeometry(m_grid, g);
        const int stripTop = g.top() + g.height() + 40;
        const int checkWidth = std::min(width - 1000, twips::fromPixels(m_chkCounts->sizeHint().width()));
        const int lineHeight = stripLine - 80;
        setTwipsGeometry(m_count, QRect(10, stripTop, width - checkWidth - 60, lineHeight));
        setTwipsGeometry(m_chkCounts, QRect(10 + width - checkWidth, stripTop, checkWidth, lineHeight));
        const int narrowTop = stripTop + stripLine;
        setTwipsGeometry(m_chkNarrow, QRect(10, narrowTop, width, lineHeight));
        const int chosenTop = m_narrowing.isEmpty() ? narrowTop : narrowTop + stripLine;
        const int buttonWidth = std::min(width / 2, twips::fromPixels(m_pickChosen->sizeHint().width()));
        setTwipsGeometry(m_chosenLabel, QRect(10, chosenTop, width - buttonWidth - 60, lineHeight));
        setTwipsGeometry(m_pickChosen, QRect(10 + width - buttonWidth, chosenTop, buttonWidth, lineHeight));
        if (m_multiple) {
            updateChosenLabel();
        }
    });
}

void frmGetValue::MSFlexGrid1_MouseUp(int /*button*/, int /*shift*/, int x, int y)
{
    int titleColumn = -1;
    ignoreErrors([&] {
        QHeaderView *header = m_grid->view()->horizontalHeader();
        const QPoint at = header->mapFrom(m_grid, QPoint(twips::toPixels(x), twips::toPixels(y)));
        if (header->isVisible() && header->rect().contains(at)) {
            titleColumn = header->logicalIndexAt(at.x());
        }
    });
    if (titleColumn >= 0) {
        // Descending first, then alternately; another column starts again descending.
        m_sortState = titleColumn == m_sortColumn && m_sortState == 1 ? 2 : 1;
        m_sortColumn = titleColumn;
        applySort();
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
    if (m_multiple) {
        toggleChosen(std::max(m_grid->RowSel(), 1));
        return;
    }
    pickCurrent();
}

void frmGetValue::pickCurrent()
{
    if (m_multiple) {
        if (m_chosen.isEmpty()) {
            toggleChosen(std::max(m_grid->RowSel(), 1));
        }
        if (!m_chosen.isEmpty()) {
            m_pickedList = m_chosen;
            accept();
        }
        return;
    }
    if (!m_listFailed && (!m_rows || m_rows->fetchedCount() == 0)) {
        return; // the empty row of an empty list is no value
    }
    ignoreErrors([this] {
        const int row = std::max(m_grid->RowSel(), 1);
        if (m_listFailed) {
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

bool frmGetValue::searchKey(QKeyEvent *event)
{
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        return false;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter picks from the list for the typed text, also when it comes while that list
        // is still being made.
        pickWhenListed();
        return true;
    case Qt::Key_Down:
    case Qt::Key_PageDown: {
        QTableView *view = m_grid->view();
        view->setFocus(Qt::TabFocusReason);
        QKeyEvent key(QEvent::KeyPress, event->key(), event->modifiers());
        QCoreApplication::sendEvent(view, &key);
        return true;
    }
    default:
        return false;
    }
}

bool frmGetValue::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_search && event->type() == QEvent::KeyPress && searchKey(static_cast<QKeyEvent *>(event))) {
        return true;
    }
    if (watched == m_grid->view() && event->type() == QEvent::KeyPress) {
        const auto *keyEvent = static_cast<QKeyEvent *>(event);
        const bool plain = (keyEvent->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if ((keyEvent->key() == Qt::Key_Return || keyEvent->key() == Qt::Key_Enter) && plain) {
            pickCurrent();
            return true;
        }
        if (keyEvent->key() == Qt::Key_Space && plain && m_multiple) {
            toggleChosen(std::max(m_grid->RowSel(), 1));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace condora
