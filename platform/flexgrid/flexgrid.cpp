#include "platform/flexgrid/flexgrid.h"

#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgridaccessible.h"
#include "platform/flexgrid/flexgridmodel.h"
#include "platform/flexgrid/flexgridview.h"
#include "platform/runtimeerror.h"
#include "platform/twips.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

constexpr int DefaultColWidth = 975; // twips
// Pixels added to a font's line height for a row, and to a title's text width for a column.
constexpr int RowPadding = 4;
constexpr int ColPadding = 8;

ColumnAlignment alignmentFromPrefix(QChar prefix)
{
    switch (prefix.unicode()) {
    case u'<':
        return ColumnAlignment::Left;
    case u'^':
        return ColumnAlignment::Center;
    case u'>':
        return ColumnAlignment::Right;
    default:
        return ColumnAlignment::General;
    }
}

QString prefixOf(ColumnAlignment alignment)
{
    switch (alignment) {
    case ColumnAlignment::Left:
        return u"<"_s;
    case ColumnAlignment::Center:
        return u"^"_s;
    case ColumnAlignment::Right:
        return u">"_s;
    case ColumnAlignment::General:
        break;
    }
    return QString();
}

} // namespace

class FlexGrid::Private
{
public:
    explicit Private(FlexGrid *grid);

    // Range checks (throw RuntimeError).
    void checkRow(int row) const;
    void checkCol(int col) const;
    void checkCurrentCell() const;

    // Keeping the view in step with the grid.
    void afterStructureChange(bool intoBody);
    void clampCurrent(bool intoBody);
    void syncSelectionToView();
    void readSelectionFromView();
    void setFixedRows(int rows);
    void applyColumn(int col);
    void applyAllColumns();
    void resizeColumnList();
    int titleWidthTwips(int col) const;
    void applyFonts();
    void updateHeader();
    void repaint();
    QRect cellRect(int row, int col) const;
    void emitMouseUp(const QMouseEvent *event, const QWidget *source);
    CellFormat currentFormat() const;
    void setCurrentFormat(const CellFormat &format);

    FlexGrid *q;
    FlexGridLook look;
    FlexGridModel *model = nullptr;
    FlexTableView *view = nullptr;
    FlexHeaderView *header = nullptr;
    QList<int> colTwips;
    QFont fontFixed;
    bool fontFixedSet = false;
    QString toolTip;
    int headerHeight = -1; // pixels; -1 follows the title row's fonts
    int firstFetchRows = FlexGridModel::FirstFetchChunk; // rows fetched when a source is bound
    bool syncing = false;
};

// Construction ---------------------------------------------------------------------------------

FlexGrid::Private::Private(FlexGrid *grid)
    : q(grid)
{
}

FlexGrid::FlexGrid(QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<Private>(this))
{
    d->model = new FlexGridModel(this);
    d->view = new FlexTableView(&d->look, this);
    d->view->setObjectName(u"flexGridView"_s);
    d->header = new FlexHeaderView(&d->look, d->model, d->view);
    d->view->setHorizontalHeader(d->header);
    d->view->setModel(d->model);
    d->view->setItemDelegate(new FlexGridDelegate(&d->look, d->model, d->view));
    d->view->verticalHeader()->hide();
    d->view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    d->view->verticalHeader()->setMinimumSectionSize(0);
    d->view->setShowGrid(false);
    d->view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    d->view->setSelectionMode(QAbstractItemView::ContiguousSelection);
    d->view->setSelectionBehavior(QAbstractItemView::SelectItems);
    d->view->setTabKeyNavigation(false);
    d->view->setWordWrap(false);
    d->view->setCornerButtonEnabled(false);
    useFlexGridAccessible(d->view); // a hidden column stays hidden from assistive technology too

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(d->view);
    setFocusProxy(d->view);

    d->model->setColCount(2);
    d->model->setRowCount(2);
    d->model->setFixedRows(1);
    d->resizeColumnList();
    d->applyFonts();

    connect(d->view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { d->readSelectionFromView(); });
    connect(d->view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { d->readSelectionFromView(); });
    // Queued: the failure may be noticed inside the view's own fetch, paint or layout, where
    // the window that reports it must not open a message box.
    connect(d->model, &FlexGridModel::fetchFailed, this, &FlexGrid::FetchError, Qt::QueuedConnection);
    connect(d->view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { Q_EMIT Scroll(); });
    connect(d->view->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { Q_EMIT Scroll(); });
    connect(d->view, &FlexTableView::mouseReleased, this,
            [this](QMouseEvent *event) { d->emitMouseUp(event, d->view->viewport()); });
    connect(d->header, &FlexHeaderView::mouseReleased, this,
            [this](QMouseEvent *event) { d->emitMouseUp(event, d->header->viewport()); });
    d->afterStructureChange(true);
}

FlexGrid::~FlexGrid() = default;

QTableView *FlexGrid::view() const
{
    return d->view;
}

// Private helpers --------------------------------------------------------------------------------

void FlexGrid::Private::checkRow(int row) const
{
    if (row < 0 || row >= model->rows()) {
        throw RuntimeError::subscriptOutOfRange(u"row %1 (the grid has %2 rows)"_s.arg(row).arg(model->rows()));
    }
}

void FlexGrid::Private::checkCol(int col) const
{
    if (col < 0 || col >= model->cols()) {
        throw RuntimeError::subscriptOutOfRange(
            u"column %1 (the grid has %2 columns)"_s.arg(col).arg(model->cols()));
    }
}

void FlexGrid::Private::checkCurrentCell() const
{
    checkRow(look.row);
    checkCol(look.col);
}

void FlexGrid::Private::afterStructureChange(bool intoBody)
{
    clampCurrent(intoBody);
    updateHeader();
    syncSelectionToView();
}

void FlexGrid::Private::clampCurrent(bool intoBody)
{
    const auto clampTo = [](int value, int fixed, int count, bool body) {
        if (count <= 0) {
            return 0;
        }
        value = std::clamp(value, 0, count - 1);
        if (body && value < fixed && count > fixed) {
            value = fixed;
        }
        return value;
    };
    const int rows = model->rows();
    const int cols = model->cols();
    look.row = clampTo(look.row, model->fixedRows(), rows, intoBody);
    look.rowSel = clampTo(look.rowSel, model->fixedRows(), rows, intoBody);
    look.col = clampTo(look.col, model->fixedCols(), cols, intoBody);
    look.colSel = clampTo(look.colSel, model->fixedCols(), cols, intoBody);
}

void FlexGrid::Private::syncSelectionToView()
{
    const QScopedValueRollback guard(syncing, true);
    QItemSelectionModel *selection = view->selectionModel();
    const int hr = model->headerRows();
    const int rows = model->rows();
    const int cols = model->cols();
    const int top = std::max(std::min(look.row, look.rowSel), hr);
    const int bottom = std::min(std::max(look.row, look.rowSel), rows - 1);
    const int left = std::min(look.col, look.colSel);
    const int right = std::min(std::max(look.col, look.colSel), cols - 1);
    if (top <= bottom && left <= right && left >= 0) {
        selection->select(QItemSelection(model->index(top - hr, left), model->index(bottom - hr, right)),
                          QItemSelectionModel::ClearAndSelect);
    } else {
        selection->clearSelection();
    }
    if (look.rowSel >= hr && look.rowSel < rows && look.colSel < cols) {
        // Setting the current cell does not scroll the grid; only the user scrolls it.
        view->setAutoScroll(false);
        selection->setCurrentIndex(model->index(look.rowSel - hr, look.colSel), QItemSelectionModel::NoUpdate);
        view->setAutoScroll(true);
    }
    repaint();
}

void FlexGrid::Private::readSelectionFromView()
{
    if (syncing) {
        return;
    }
    const QItemSelectionModel *selection = view->selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (!current.isValid()) {
        return;
    }
    // The view's current index is the moving end of the selection (RowSel, ColSel); the
    // opposite corner of the selected block is where it started (Row, Col).
    const int hr = model->headerRows();
    int anchorRow = current.row();
    int anchorCol = current.column();
    const QItemSelection selected = selection->selection();
    if (selected.size() == 1 && selected.first().contains(current)) {
        const QItemSelectionRange &range = selected.first();
        anchorRow = current.row() == range.top() ? range.bottom() : range.top();
        anchorCol = current.column() == range.left() ? range.right() : range.left();
    }
    look.row = anchorRow + hr;
    look.col = anchorCol;
    look.rowSel = current.row() + hr;
    look.colSel = current.column();
    repaint();
}

void FlexGrid::Private::setFixedRows(int rows)
{
    const bool hadHeader = model->headerRows() == 1;
    const bool header = rows > 0;
    int carriedHeight = -1;
    if (hadHeader && !header) {
        carriedHeight = this->header->height();
    } else if (!hadHeader && header && model->rows() > 0) {
        carriedHeight = view->rowHeight(0);
        if (carriedHeight == view->verticalHeader()->defaultSectionSize()) {
            carriedHeight = -1;
        }
    }
    model->setFixedRows(rows);
    if (hadHeader && !header && carriedHeight >= 0) {
        view->setRowHeight(0, carriedHeight);
    } else if (!hadHeader && header) {
        headerHeight = carriedHeight;
    }
}

void FlexGrid::Private::applyColumn(int col)
{
    const int width = colTwips.value(col, DefaultColWidth);
    if (width <= 0) {
        view->setColumnHidden(col, true);
    } else {
        view->setColumnHidden(col, false);
        view->setColumnWidth(col, std::max(1, twips::toPixels(width)));
    }
}

void FlexGrid::Private::applyAllColumns()
{
    for (int col = 0; col < model->cols(); ++col) {
        applyColumn(col);
    }
}

void FlexGrid::Private::resizeColumnList()
{
    const int old = int(colTwips.size());
    colTwips.resize(model->cols(), DefaultColWidth);
    for (int col = old; col < model->cols(); ++col) {
        applyColumn(col);
    }
}

int FlexGrid::Private::titleWidthTwips(int col) const
{
    const QFontMetrics metrics(model->cellFont(0, col));
    return twips::fromPixels(metrics.horizontalAdvance(model->text(0, col)) + ColPadding);
}

void FlexGrid::Private::applyFonts()
{
    const QFont font = q->Font();
    model->setFonts(font, q->FontFixed());
    view->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + RowPadding);
    updateHeader();
}

void FlexGrid::Private::updateHeader()
{
    header->setVisible(model->headerRows() == 1);
    int height = headerHeight;
    if (height < 0) {
        height = QFontMetrics(q->FontFixed()).height();
        for (int col = 0; col < model->cols(); ++col) {
            height = std::max(height, QFontMetrics(model->cellFont(0, col)).height());
        }
        height += RowPadding;
    }
    header->setFixedHeight(height);
}

void FlexGrid::Private::repaint()
{
    view->viewport()->update();
    header->viewport()->update();
}

QRect FlexGrid::Private::cellRect(int row, int col) const
{
    view->doItemsLayout();
    int x = 0;
    int width = 0;
    if (view->isColumnHidden(col)) {
        // A hidden column sits, zero wide, where the visible columns before it end.
        x = -header->offset();
        for (int before = 0; before < col; ++before) {
            if (!view->isColumnHidden(before)) {
                x += view->columnWidth(before);
            }
        }
    } else {
        x = view->columnViewportPosition(col);
        width = view->columnWidth(col);
    }
    const int hr = model->headerRows();
    if (row < hr) {
        return QRect(header->viewport()->mapTo(q, QPoint(x, 0)), QSize(width, header->height()));
    }
    const int modelRow = row - hr;
    return QRect(view->viewport()->mapTo(q, QPoint(x, view->rowViewportPosition(modelRow))),
                 QSize(width, view->rowHeight(modelRow)));
}

void FlexGrid::Private::emitMouseUp(const QMouseEvent *event, const QWidget *source)
{
    int button = 0;
    switch (event->button()) {
    case Qt::LeftButton:
        button = 1;
        break;
    case Qt::RightButton:
        button = 2;
        break;
    case Qt::MiddleButton:
        button = 4;
        break;
    default:
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const int shift = (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0)
                      | (modifiers & Qt::AltModifier ? 4 : 0);
    const QPoint position = source->mapTo(q, event->position().toPoint());
    try {
        Q_EMIT q->MouseUp(button, shift, twips::fromPixels(position.x()), twips::fromPixels(position.y()));
    } catch (const std::exception &error) {
        // Receivers must trap their own errors; never let one unwind through the event loop.
        qWarning("FlexGrid: a MouseUp receiver raised an error: %s", error.what());
    }
}

CellFormat FlexGrid::Private::currentFormat() const
{
    checkCurrentCell();
    return model->format(look.row, look.col);
}

void FlexGrid::Private::setCurrentFormat(const CellFormat &format)
{
    model->setFormat(look.row, look.col, format);
    if (look.row < model->headerRows()) {
        updateHeader();
    }
}

// Structure ------------------------------------------------------------------------------------

QString FlexGrid::FormatString() const
{
    QStringList entries;
    for (int col = 0; col < d->model->cols(); ++col) {
        entries.append(prefixOf(d->model->alignment(col))
                       + (d->model->rows() > 0 ? d->model->text(0, col) : QString()));
    }
    return entries.join(u'|');
}

void FlexGrid::setFormatString(const QString &format)
{
    const QStringList entries = format.split(u'|');
    if (d->model->rows() == 0) {
        d->model->setRowCount(1);
    }
    d->model->setFixedCols(std::min(d->model->fixedCols(), int(entries.size())));
    d->model->setColCount(int(entries.size()));
    d->resizeColumnList();
    for (int col = 0; col < entries.size(); ++col) {
        const QString &entry = entries.at(col);
        const ColumnAlignment alignment = entry.isEmpty() ? ColumnAlignment::General : alignmentFromPrefix(entry.at(0));
        d->model->setAlignment(col, alignment);
        d->model->setText(0, col, alignment == ColumnAlignment::General ? entry : entry.mid(1));
        d->colTwips[col] = d->titleWidthTwips(col);
        d->applyColumn(col);
    }
    d->afterStructureChange(false);
}

int FlexGrid::Rows() const
{
    return d->model->rows();
}

void FlexGrid::setRows(int rows)
{
    if (rows < 0) {
        throw RuntimeError::invalidArgument(u"Rows cannot be negative"_s);
    }
    if (rows < d->model->fixedRows()) {
        throw RuntimeError::invalidArgument(u"Rows cannot be less than FixedRows"_s);
    }
    d->model->setRowCount(rows);
    d->afterStructureChange(false);
}

int FlexGrid::Cols() const
{
    return d->model->cols();
}

void FlexGrid::setCols(int cols)
{
    if (cols < 0) {
        throw RuntimeError::invalidArgument(u"Cols cannot be negative"_s);
    }
    if (cols < d->model->fixedCols()) {
        throw RuntimeError::invalidArgument(u"Cols cannot be less than FixedCols"_s);
    }
    d->model->setColCount(cols);
    d->colTwips.resize(std::min(int(d->colTwips.size()), cols));
    d->resizeColumnList();
    d->afterStructureChange(false);
}

int FlexGrid::FixedRows() const
{
    return d->model->fixedRows();
}

void FlexGrid::setFixedRows(int rows)
{
    if (rows < 0 || rows > d->model->rows()) {
        throw RuntimeError::subscriptOutOfRange(u"FixedRows %1 (the grid has %2 rows)"_s.arg(rows).arg(Rows()));
    }
    d->setFixedRows(rows);
    d->afterStructureChange(true);
}

int FlexGrid::FixedCols() const
{
    return d->model->fixedCols();
}

void FlexGrid::setFixedCols(int cols)
{
    if (cols < 0 || cols > d->model->cols()) {
        throw RuntimeError::subscriptOutOfRange(u"FixedCols %1 (the grid has %2 columns)"_s.arg(cols).arg(Cols()));
    }
    d->model->setFixedCols(cols);
    d->afterStructureChange(true);
}

// Current cell and selection ---------------------------------------------------------------------

int FlexGrid::Row() const
{
    return d->look.row;
}

void FlexGrid::setRow(int row)
{
    d->checkRow(row);
    d->look.row = row;
    d->look.rowSel = row;
    d->syncSelectionToView();
}

int FlexGrid::Col() const
{
    return d->look.col;
}

void FlexGrid::setCol(int col)
{
    d->checkCol(col);
    d->look.col = col;
    d->look.colSel = col;
    d->syncSelectionToView();
}

int FlexGrid::RowSel() const
{
    return d->look.rowSel;
}

void FlexGrid::setRowSel(int row)
{
    d->checkRow(row);
    d->look.rowSel = row;
    d->syncSelectionToView();
}

int FlexGrid::ColSel() const
{
    return d->look.colSel;
}

void FlexGrid::setColSel(int col)
{
    d->checkCol(col);
    d->look.colSel = col;
    d->syncSelectionToView();
}

// Cells ------------------------------------------------------------------------------------------

QString FlexGrid::TextMatrix(int row, int col) const
{
    d->checkRow(row);
    d->checkCol(col);
    return d->model->text(row, col);
}

bool FlexGrid::isNullCell(int row, int col) const
{
    d->checkRow(row);
    d->checkCol(col);
    return d->model->isNull(row, col);
}

QString FlexGrid::NullText() const
{
    return d->model->nullText();
}

void FlexGrid::setNullText(const QString &text)
{
    d->model->setNullText(text);
}

void FlexGrid::setTextMatrix(int row, int col, const QString &text)
{
    d->checkRow(row);
    d->checkCol(col);
    d->model->setText(row, col, text);
}

int FlexGrid::RowHeight(int row) const
{
    d->checkRow(row);
    const int hr = d->model->headerRows();
    const int pixels = row < hr ? d->header->height() : d->view->rowHeight(row - hr);
    return twips::fromPixels(pixels);
}

void FlexGrid::setRowHeight(int row, int twips)
{
    d->checkRow(row);
    const int hr = d->model->headerRows();
    if (row < hr) {
        d->headerHeight = twips < 0 ? -1 : twips::toPixels(twips);
        d->updateHeader();
    } else {
        const int pixels = twips < 0 ? d->view->verticalHeader()->defaultSectionSize() : twips::toPixels(twips);
        d->view->setRowHeight(row - hr, pixels);
    }
}

int FlexGrid::ColWidth(int col) const
{
    d->checkCol(col);
    return d->colTwips.at(col);
}

void FlexGrid::setColWidth(int col, int twips)
{
    d->checkCol(col);
    d->colTwips[col] = twips < 0 ? DefaultColWidth : twips;
    d->applyColumn(col);
}

bool FlexGrid::ColAlignmentLeft(int col) const
{
    d->checkCol(col);
    return d->model->alignment(col) == ColumnAlignment::Left;
}

// The current cell -------------------------------------------------------------------------------

int FlexGrid::CellLeft() const
{
    d->checkCurrentCell();
    return twips::fromPixels(d->cellRect(d->look.row, d->look.col).left());
}

int FlexGrid::CellTop() const
{
    d->checkCurrentCell();
    return twips::fromPixels(d->cellRect(d->look.row, d->look.col).top());
}

int FlexGrid::CellWidth() const
{
    d->checkCurrentCell();
    return twips::fromPixels(d->cellRect(d->look.row, d->look.col).width());
}

int FlexGrid::CellHeight() const
{
    d->checkCurrentCell();
    return twips::fromPixels(d->cellRect(d->look.row, d->look.col).height());
}

OleColor FlexGrid::CellForeColor() const
{
    const CellFormat format = d->currentFormat();
    if (format.has(CellFormat::HasFore)) {
        return format.fore;
    }
    return d->model->isFixed(d->look.row, d->look.col) ? d->look.foreColorFixed : d->look.foreColor;
}

void FlexGrid::setCellForeColor(OleColor color)
{
    CellFormat format = d->currentFormat();
    format.fore = color.value();
    format.flags |= CellFormat::HasFore;
    d->setCurrentFormat(format);
}

OleColor FlexGrid::CellBackColor() const
{
    const CellFormat format = d->currentFormat();
    if (format.has(CellFormat::HasBack)) {
        return format.back;
    }
    return d->model->isFixed(d->look.row, d->look.col) ? d->look.backColorFixed : d->look.backColor;
}

void FlexGrid::setCellBackColor(OleColor color)
{
    CellFormat format = d->currentFormat();
    format.back = color.value();
    format.flags |= CellFormat::HasBack;
    d->setCurrentFormat(format);
}

bool FlexGrid::CellFontBold() const
{
    d->checkCurrentCell();
    return d->model->cellFont(d->look.row, d->look.col).bold();
}

void FlexGrid::setCellFontBold(bool bold)
{
    CellFormat format = d->currentFormat();
    format.flags |= CellFormat::HasBold;
    format.flags = bold ? (format.flags | CellFormat::Bold) : (format.flags & ~CellFormat::Bold);
    d->setCurrentFormat(format);
}

double FlexGrid::CellFontSize() const
{
    d->checkCurrentCell();
    return d->model->cellFont(d->look.row, d->look.col).pointSizeF();
}

void FlexGrid::setCellFontSize(double points)
{
    if (!(points > 0)) {
        throw RuntimeError::invalidArgument(u"a font size must be positive"_s);
    }
    CellFormat format = d->currentFormat();
    format.size = float(points);
    format.flags |= CellFormat::HasSize;
    d->setCurrentFormat(format);
}

// Rows -------------------------------------------------------------------------------------------

QColor FlexGrid::shownForeColor(int row, int col) const
{
    d->checkRow(row);
    d->checkCol(col);
    const bool fixed = d->model->isFixed(row, col);
    if (!fixed && d->look.isSelected(row, col)) {
        return d->look.foreColorSel.toColor();
    }
    const CellFormat format = d->model->format(row, col);
    if (format.has(CellFormat::HasFore)) {
        return OleColor(format.fore).toColor();
    }
    return (fixed ? d->look.foreColorFixed : d->look.foreColor).toColor();
}

QColor FlexGrid::shownBackColor(int row, int col) const
{
    d->checkRow(row);
    d->checkCol(col);
    const bool fixed = d->model->isFixed(row, col);
    if (!fixed && d->look.isSelected(row, col)) {
        return d->look.selectionBackground();
    }
    const CellFormat format = d->model->format(row, col);
    if (format.has(CellFormat::HasBack)) {
        return OleColor(format.back).toColor();
    }
    return (fixed ? d->look.backColorFixed : d->look.backColor).toColor();
}

QString FlexGrid::RowMark(int row) const
{
    d->checkRow(row);
    return d->model->rowMark(row);
}

void FlexGrid::setRowMark(int row, const QString &mark)
{
    d->checkRow(row);
    d->model->setRowMark(row, mark);
}

void FlexGrid::AddItem(const QString &text)
{
    // Appending moves no existing row, so the current cell and the selection stay as they are.
    d->model->appendRow(text.split(u'\t'));
}

void FlexGrid::RemoveItem(int row)
{
    d->checkRow(row);
    if (row < d->model->fixedRows()) {
        throw RuntimeError::invalidArgument(u"a fixed row cannot be removed"_s);
    }
    // The view moves its current index off the removed row and would report that as the new
    // Row and RowSel; the grid keeps its numbers instead and only clamps them.
    const FlexGridLook kept = d->look;
    {
        const QScopedValueRollback guard(d->syncing, true);
        d->model->removeRow(row);
    }
    d->look.row = kept.row;
    d->look.rowSel = kept.rowSel;
    d->look.col = kept.col;
    d->look.colSel = kept.colSel;
    d->afterStructureChange(false);
}

void FlexGrid::setSort(int order)
{
    if (order == 0) {
        return;
    }
    if (order != 1 && order != 2) {
        throw RuntimeError::invalidArgument(u"Sort supports 1 (generic ascending) and 2 (generic descending)"_s);
    }
    d->checkCol(d->look.col);
    d->model->sortRows(d->model->fixedRows(), d->look.col, order == 2);
    d->afterStructureChange(false);
}

// Binding ----------------------------------------------------------------------------------------

void FlexGrid::setRecordset(const ado::Recordset &recordset)
{
    setRowSource(recordset.rowSource());
}

void FlexGrid::setRowSource(std::shared_ptr<ado::RowSource> source)
{
    if (!source) {
        throw RuntimeError::objectNotSet(u"the recordset is closed"_s);
    }
    d->headerHeight = -1;
    d->model->bind(std::move(source), d->firstFetchRows);
    d->colTwips.clear();
    d->resizeColumnList();
    for (int col = 0; col < d->model->cols(); ++col) {
        d->colTwips[col] = std::max(DefaultColWidth, d->titleWidthTwips(col));
    }
    d->applyAllColumns();
    d->look.row = d->look.rowSel = d->model->fixedRows();
    d->look.col = d->look.colSel = d->model->fixedCols();
    d->afterStructureChange(true);
}

void FlexGrid::showRows(std::shared_ptr<ado::RowSource> source, int firstCol)
{
    if (!source) {
        throw RuntimeError::objectNotSet(u"the recordset is closed"_s);
    }
    if (d->model->rows() < 1) {
        throw RuntimeError::invalidArgument(u"the grid has no title row"_s);
    }
    d->model->share(std::move(source), firstCol);
    d->afterStructureChange(false);
}

int FlexGrid::FirstFetchRows() const
{
    return d->firstFetchRows;
}

void FlexGrid::setFirstFetchRows(int rows)
{
    d->firstFetchRows = std::max(1, rows);
}

bool FlexGrid::isBoundPending() const
{
    return d->model->isBoundPending();
}

void FlexGrid::fetchAll()
{
    d->model->fetchAll();
}

int FlexGrid::fetchRows(int count)
{
    return count > 0 ? d->model->fetchRows(count) : 0;
}

QString FlexGrid::fetchError() const
{
    return d->model->fetchError();
}

// Style ------------------------------------------------------------------------------------------

QFont FlexGrid::Font() const
{
    return QWidget::font();
}

void FlexGrid::setFont(const QFont &font)
{
    QWidget::setFont(font); // changeEvent() passes it on
}

QFont FlexGrid::FontFixed() const
{
    return d->fontFixedSet ? d->fontFixed : Font();
}

void FlexGrid::setFontFixed(const QFont &font)
{
    d->fontFixed = font;
    d->fontFixedSet = true;
    d->applyFonts();
}

void FlexGrid::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        d->applyFonts();
    }
    QWidget::changeEvent(event);
}

#define CONDORA_FLEXGRID_COLOR(Getter, Setter, member)                                             \
    OleColor FlexGrid::Getter() const                                                              \
    {                                                                                              \
        return d->look.member;                                                                     \
    }                                                                                              \
    void FlexGrid::Setter(OleColor color)                                                          \
    {                                                                                              \
        d->look.member = color;                                                                    \
        d->repaint();                                                                              \
    }

CONDORA_FLEXGRID_COLOR(GridColor, setGridColor, gridColor)
CONDORA_FLEXGRID_COLOR(GridColorFixed, setGridColorFixed, gridColorFixed)
CONDORA_FLEXGRID_COLOR(GridColorUnpopulated, setGridColorUnpopulated, gridColorUnpopulated)
CONDORA_FLEXGRID_COLOR(ForeColor, setForeColor, foreColor)
CONDORA_FLEXGRID_COLOR(ForeColorFixed, setForeColorFixed, foreColorFixed)
CONDORA_FLEXGRID_COLOR(ForeColorSel, setForeColorSel, foreColorSel)
CONDORA_FLEXGRID_COLOR(BackColor, setBackColor, backColor)
CONDORA_FLEXGRID_COLOR(BackColorBkg, setBackColorBkg, backColorBkg)
CONDORA_FLEXGRID_COLOR(BackColorFixed, setBackColorFixed, backColorFixed)
CONDORA_FLEXGRID_COLOR(BackColorSel, setBackColorSel, backColorSel)
CONDORA_FLEXGRID_COLOR(BackColorUnpopulated, setBackColorUnpopulated, backColorUnpopulated)

#undef CONDORA_FLEXGRID_COLOR

bool FlexGrid::textElided() const
{
    return d->look.elideText;
}

void FlexGrid::setTextElided(bool elided)
{
    d->look.elideText = elided;
    d->view->viewport()->update();
    d->header->viewport()->update();
}

QString FlexGrid::ToolTipText() const
{
    return d->toolTip;
}

void FlexGrid::setToolTipText(const QString &text)
{
    d->toolTip = text;
    d->model->setToolTip(text);
    setToolTip(text);
}

// Geometry ---------------------------------------------------------------------------------------

int FlexGrid::Left() const
{
    return twips::fromPixels(x());
}

void FlexGrid::setLeft(int twips)
{
    move(twips::toPixels(twips), y());
}

int FlexGrid::Top() const
{
    return twips::fromPixels(y());
}

void FlexGrid::setTop(int twips)
{
    move(x(), twips::toPixels(twips));
}

int FlexGrid::Width() const
{
    return twips::fromPixels(width());
}

void FlexGrid::setWidth(int twips)
{
    if (twips < 0) {
        throw RuntimeError::invalidArgument(u"Width cannot be negative"_s);
    }
    resize(twips::toPixels(twips), height());
}

int FlexGrid::Height() const
{
    return twips::fromPixels(height());
}

void FlexGrid::setHeight(int twips)
{
    if (twips < 0) {
        throw RuntimeError::invalidArgument(u"Height cannot be negative"_s);
    }
    resize(width(), twips::toPixels(twips));
}

} // namespace condora
