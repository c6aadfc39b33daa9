#include "platform/flexgrid/flexgridaccessible.h"

#include "platform/flexgrid/flexgridview.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QHeaderView>
#include <QPointer>
#include <QTableView>

namespace condora {

namespace {

/// The logical columns the view shows, in their visual order.
QList<int> shownColumns(const QTableView *view)
{
    QList<int> columns;
    const QAbstractItemModel *model = view != nullptr ? view->model() : nullptr;
    if (model == nullptr) {
        return columns;
    }
    const QHeaderView *header = view->horizontalHeader();
    for (int visual = 0; visual < model->columnCount(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (logical >= 0 && !view->isColumnHidden(logical)) {
            columns.append(logical);
        }
    }
    return columns;
}

/// The model rows the view shows, in order.
QList<int> shownRows(const QTableView *view)
{
    QList<int> rows;
    const QAbstractItemModel *model = view != nullptr ? view->model() : nullptr;
    for (int row = 0; model != nullptr && row < model->rowCount(); ++row) {
        if (!view->isRowHidden(row)) {
            rows.append(row);
        }
    }
    return rows;
}

bool hasTitles(const QTableView *view)
{
    return !view->horizontalHeader()->isHidden();
}

/// One cell (row >= 0) or column title (row -1) of the table, by model row and logical column.
class FlexGridCell : public QAccessibleInterface, public QAccessibleTableCellInterface
{
public:
    FlexGridCell(QTableView *view, int row, int column)
        : m_view(view)
        , m_row(row)
        , m_column(column)
    {
    }

    bool isValid() const override
    {
        const QAbstractItemModel *model = m_view ? m_view->model() : nullptr;
        return model != nullptr && m_row < model->rowCount() && m_column < model->columnCount()
               && !m_view->isColumnHidden(m_column);
    }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return parent() ? parent()->window() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_view.data()); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid()) {
            return QString();
        }
        const QAbstractItemModel *model = m_view->model();
        const int role = t == QAccessible::Description ? Qt::AccessibleDescriptionRole : Qt::AccessibleTextRole;
        if (t != QAccessible::Name && t != QAccessible::Description) {
            return QString();
        }
        const QVariant value = m_row < 0 ? model->headerData(m_column, Qt::Horizontal, role)
                                         : model->index(m_row, m_column).data(role);
        if (value.isValid() || t == QAccessible::Description) {
            return value.toString().trimmed();
        }
        return (m_row < 0 ? model->headerData(m_column, Qt::Horizontal) : model->index(m_row, m_column).data())
            .toString()
            .trimmed();
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        if (!isValid()) {
            return QRect();
        }
        if (m_row < 0) {
            const QHeaderView *header = m_view->horizontalHeader();
            const QRect section(header->sectionViewportPosition(m_column), 0, header->sectionSize(m_column),
                                header->height());
            return section.translated(header->viewport()->mapToGlobal(QPoint(0, 0)));
        }
        const QRect cell = m_view->visualRect(m_view->model()->index(m_row, m_column));
        return cell.translated(m_view->viewport()->mapToGlobal(QPoint(0, 0)));
    }
    QAccessible::Role role() const override { return m_row < 0 ? QAccessible::ColumnHeader : QAccessible::Cell; }
    QAccessible::State state() const override
    {
        QAccessible::State st;
        if (!isValid()) {
            st.invalid = true;
            return st;
        }
        const QRect shown(m_view->mapToGlobal(QPoint(0, 0)), m_view->size());
        st.invisible = !shown.intersects(rect());
        st.disabled = !m_view->isEnabled();
        if (m_row >= 0) {
            const QModelIndex index = m_view->model()->index(m_row, m_column);
            st.selectable = true;
            st.focusable = true;
            st.selected = isSelected();
            st.focused = m_view->hasFocus() && m_view->currentIndex() == index;
        }
        return st;
    }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface *>(this) : nullptr;
    }

    bool isSelected() const override
    {
        return m_row >= 0 && m_view && m_view->selectionModel() != nullptr
               && m_view->selectionModel()->isSelected(m_view->model()->index(m_row, m_column));
    }
    QList<QAccessibleInterface *> columnHeaderCells() const override
    {
        QList<QAccessibleInterface *> cells;
        if (m_row >= 0 && m_view && hasTitles(m_view)) {
            if (QAccessibleInterface *table = parent(); table != nullptr && table->tableInterface() != nullptr) {
                const int at = static_cast<int>(shownColumns(m_view).indexOf(m_column));
                if (QAccessibleInterface *title = table->child(at)) {
                    cells.append(title);
                }
            }
        }
        return cells;
    }
    QList<QAccessibleInterface *> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_view ? int(shownColumns(m_view).indexOf(m_column)) : -1; }
    int rowIndex() const override { return m_view && m_row >= 0 ? int(shownRows(m_view).indexOf(m_row)) : -1; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface *table() const override { return parent(); }

private:
    QPointer<QTableView> m_view;
    int m_row;
    int m_column;
};

/// The grid's view as a table of its shown columns: the titles first, then the cells row by row.
class FlexGridTable : public QAccessibleWidget, public QAccessibleTableInterface
{
public:
    explicit FlexGridTable(QTableView *view)
        : QAccessibleWidget(view, QAccessible::Table)
    {
    }
    ~FlexGridTable() override { forgetCells(); }

    QTableView *view() const { return static_cast<QTableView *>(widget()); }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableInterface) {
            return static_cast<QAccessibleTableInterface *>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    int childCount() const override
    {
        const int columns = columnCount();
        return (rowCount() + (hasTitles(view()) ? 1 : 0)) * columns;
    }
    QAccessibleInterface *child(int index) const override
    {
        const QList<int> columns = shownColumns(view());
        if (index < 0 || columns.isEmpty()) {
            return nullptr;
        }
        int at = index;
        if (hasTitles(view())) {
            if (at < columns.size()) {
                return cell(-1, columns.at(at));
            }
            at -= int(columns.size());
        }
        const QList<int> rows = shownRows(view());
        const int row = at / int(columns.size());
        return row < rows.size() ? cell(rows.at(row), columns.at(at % columns.size())) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (child == nullptr || child->parent() == nullptr || child->parent()->object() != view()) {
            return -1;
        }
        auto *cellInterface = const_cast<QAccessibleInterface *>(child)->tableCellInterface();
        if (cellInterface == nullptr) {
            return -1;
        }
        const int titles = hasTitles(view()) ? columnCount() : 0;
        if (child->role() == QAccessible::ColumnHeader) {
            return cellInterface->columnIndex();
        }
        return titles + cellInterface->rowIndex() * columnCount() + cellInterface->columnIndex();
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QPoint inViewport = view()->viewport()->mapFromGlobal(QPoint(x, y));
        const QModelIndex index = view()->indexAt(inViewport);
        if (!index.isValid() || view()->isColumnHidden(index.column())) {
            return nullptr;
        }
        return cell(index.row(), index.column());
    }
    QAccessibleInterface *focusChild() const override
    {
        const QModelIndex current = view()->currentIndex();
        if (!view()->hasFocus() || !current.isValid() || view()->isColumnHidden(current.column())) {
            return nullptr;
        }
        return cell(current.row(), current.column());
    }

    // QAccessibleTableInterface
    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override { return nullptr; }
    QAccessibleInterface *cellAt(int row, int column) const override
    {
        const QList<int> rows = shownRows(view());
        const QList<int> columns = shownColumns(view());
        if (row < 0 || row >= rows.size() || column < 0 || column >= columns.size()) {
            return nullptr;
        }
        return cell(rows.at(row), columns.at(column));
    }
    QString columnDescription(int column) const override
    {
        const QList<int> columns = shownColumns(view());
        const QAbstractItemModel *model = view()->model();
        return column >= 0 && column < columns.size() && model != nullptr
                   ? model->headerData(columns.at(column), Qt::Horizontal).toString().trimmed()
                   : QString();
    }
    QString rowDescription(int) const override { return QString(); }
    int columnCount() const override { return int(shownColumns(view()).size()); }
    int rowCount() const override { return int(shownRows(view()).size()); }
    int selectedCellCount() const override { return int(selectedCells().size()); }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    QList<QAccessibleInterface *> selectedCells() const override
    {
        QList<QAccessibleInterface *> cells;
        if (const QItemSelectionModel *selection = view()->selectionModel()) {
            for (const QModelIndex &index : selection->selectedIndexes()) {
                if (!view()->isColumnHidden(index.column())) {
                    cells.append(cell(index.row(), index.column()));
                }
            }
        }
        return cells;
    }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent *) override { forgetCells(); }

private:
    /// The cell's interface, made once and kept until the model changes.
    QAccessibleInterface *cell(int row, int column) const
    {
        const quint64 key = (quint64(quint32(row + 1)) << 32) | quint32(column);
        if (const auto found = m_cells.constFind(key); found != m_cells.cend()) {
            if (QAccessibleInterface *known = QAccessible::accessibleInterface(*found)) {
                return known;
            }
        }
        auto *made = new FlexGridCell(view(), row, column);
        m_cells.insert(key, QAccessible::registerAccessibleInterface(made));
        return made;
    }
    void forgetCells()
    {
        for (const QAccessible::Id id : std::as_const(m_cells)) {
            QAccessible::deleteAccessibleInterface(id);
        }
        m_cells.clear();
    }

    mutable QHash<quint64, QAccessible::Id> m_cells;
};

QAccessibleInterface *flexGridFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String(FlexTableView::staticMetaObject.className())) {
        if (auto *view = qobject_cast<FlexTableView *>(object)) {
            return new FlexGridTable(view);
        }
    }
    return nullptr;
}

} // namespace

void installFlexGridAccessible()
{
    static const bool installed = [] {
        QAccessible::installFactory(flexGridFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void useFlexGridAccessible(QTableView *view)
{
    installFlexGridAccessible();
    // An interface asked for while the view was still being built (an accessibility event of
    // a base class's constructor) is the base class's: it goes, and the next one asked is ours.
    if (QAccessibleInterface *known = QAccessible::queryAccessibleInterface(view);
        known != nullptr && dynamic_cast<FlexGridTable *>(known) == nullptr) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(known));
    }
}

} // namespace condora
