#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/flexgrid/genericcompare.h"
#include "platform/runtimeerror.h"

#include "support/testdatabases.h"
#include "support/testmain.h"

#include <QAbstractItemModelTester>
#include <QSqlQuery>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QToolTip>

#include <functional>

using namespace condora;
using namespace Qt::StringLiterals;

using GridOperation = std::function<void(FlexGrid &)>;
Q_DECLARE_METATYPE(GridOperation)
using GridPoint = std::function<QPoint(FlexGrid &)>;
Q_DECLARE_METATYPE(GridPoint)

namespace {

/// A grid of `rows` x `cols` whose cell (r, c) holds "r,c"; row 0 is the title row.
void fill(FlexGrid &grid, int rows, int cols)
{
    grid.setCols(cols);
    grid.setRows(rows);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            grid.setTextMatrix(r, c, u"%1,%2"_s.arg(r).arg(c));
        }
    }
}

QStringList column(const FlexGrid &grid, int col, int fromRow = 1)
{
    QStringList texts;
    for (int r = fromRow; r < grid.Rows(); ++r) {
        texts.append(grid.TextMatrix(r, col));
    }
    return texts;
}

/// The point of the current cell's top-left corner (plus `offset` pixels) in `widget`.
QPoint currentCellPoint(const FlexGrid &grid, const QWidget *widget, QPoint offset = {})
{
    const QPoint inGrid(grid.CellLeft() / 15, grid.CellTop() / 15);
    return widget->mapFrom(&grid, inGrid) + offset;
}

void showGrid(FlexGrid &grid)
{
    grid.resize(420, 240);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
}

/// A row source that hands out numbered rows and fails after `failAfter` of them.
class FailingSource : public ado::RowSource
{
public:
    explicit FailingSource(int failAfter) : m_failAfter(failAfter) {}
    int columnCount() const override { return 2; }
    QString columnName(int column) const override { return column == 0 ? u"id"_s : u"name"_s; }
    int fetchedCount() const override { return m_fetched; }
    bool atEnd() const override { return m_failed; }
    int fetchMore(int count) override
    {
        const int before = m_fetched;
        m_fetched = std::min(m_fetched + count, m_failAfter);
        if (m_fetched == m_failAfter) {
            m_failed = true;
            throw RuntimeError::database(u"disk I/O error"_s);
        }
        return m_fetched - before;
    }
    QVariant value(int row, int column) const override { return text(row, column); }
    QString text(int row, int column) const override
    {
        return column == 0 ? QString::number(row + 1) : u"name %1"_s.arg(row + 1);
    }

private:
    int m_failAfter;
    int m_fetched = 0;
    bool m_failed = false;
};

} // namespace

class TestFlexGrid : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();

    void genericCompare_data();
    void genericCompare();

    void defaults();
    void formatString_data();
    void formatString();
    void structureKeepsCells_data();
    void structureKeepsCells();
    void badUseThrows_data();
    void badUseThrows();
    void cellFormatsArePerCell();
    void resetSequenceKeepsTitleRow();
    void addAndRemoveKeepOtherRows();
    void removeItemKeepsRowNumbers_data();
    void removeItemKeepsRowNumbers();
    void accessibleCellTexts();
    void sort_data();
    void sort();
    void hiddenColumn();
    void elidedTextInToolTip_data();
    void elidedTextInToolTip();
    void stylePaints_data();
    void stylePaints();

    void fixedRowStaysVisibleWhenScrolled();
    void cellPositionIsTheClickPosition_data();
    void cellPositionIsTheClickPosition();
    void clicksByButtonAndArea();
    void shiftClickExtendsSelection();

    void modelPassesTester();

    void bindingFetchesLazily();
    void bindingFillsATallGrid();
    void bindingEmptyResult();
    void bindingEditsAndStructure();
    void bindingFailingFetchKeepsRows();
    void bindingFailureIsAnnouncedOnce_data();
    void bindingFailureIsAnnouncedOnce();
    void bindingNullCells();
    void bindingClosedRecordsetThrows();
    void sharedRowsReadLikeAHandCopy_data();
    void sharedRowsReadLikeAHandCopy();
};

void TestFlexGrid::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

// Generic comparison -------------------------------------------------------------------------

void TestFlexGrid::genericCompare_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("order");

    QTest::newRow("numbers numerically") << "2" << "10" << -1;
    QTest::newRow("negative and decimal") << "-1.5" << "1" << -1;
    QTest::newRow("exponent") << "1e3" << "999" << 1;
    QTest::newRow("blanks around a number") << " 3 " << "3" << 0;
    QTest::newRow("equal values") << "2.0" << "2" << 0;
    QTest::newRow("number before text") << "99" << "apple" << -1;
    QTest::newRow("text after number") << "apple" << "99" << 1;
    QTest::newRow("empty is text") << "" << "1" << 1;
    QTest::newRow("empty before other text") << "" << "a" << -1;
    QTest::newRow("group separator is text") << "1,000" << "2" << 1;
    QTest::newRow("infinity is text") << "inf" << "1" << 1;
    QTest::newRow("text case-insensitive") << "b" << "A" << 1;
    QTest::newRow("case as tie-break") << "a" << "A" << 1;
    QTest::newRow("text by characters") << "10a" << "9a" << -1;
}

void TestFlexGrid::genericCompare()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, order);
    const int result = condora::genericCompare(a, b);
    QCOMPARE((result > 0) - (result < 0), order);
    const int reverse = condora::genericCompare(b, a);
    QCOMPARE((reverse > 0) - (reverse < 0), -order);
}

// Structure --------------------------------------------------------------------------------------

void TestFlexGrid::defaults()
{
    FlexGrid grid;
    QCOMPARE(grid.Rows(), 2);
    QCOMPARE(grid.Cols(), 2);
    QCOMPARE(grid.FixedRows(), 1);
    QCOMPARE(grid.FixedCols(), 0);
    QCOMPARE(grid.Row(), 1);
    QCOMPARE(grid.Col(), 0);
    QCOMPARE(grid.ColWidth(0), 975);
    QCOMPARE(grid.BackColorSel(), OleColor(OleColor::Highlight));
    QCOMPARE(grid.GridColorFixed(), OleColor(0xC0C0C0));
    QVERIFY(grid.view()->horizontalHeader()->isVisibleTo(&grid));
    QCOMPARE(grid.view()->model()->rowCount(), 1);
    QCOMPARE(grid.view()->editTriggers(), QAbstractItemView::NoEditTriggers);
}

void TestFlexGrid::formatString_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QList<bool>>("left");

    QTest::newRow("condition grid")
        << u"   (|<Column                   |<Operator     |<Value                    |<)   |<Logical   |<colIndex"_s
        << QStringList{u"   ("_s, u"Column                   "_s, u"Operator     "_s, u"Value                    "_s,
                       u")   "_s, u"Logical   "_s, u"colIndex"_s}
        << QList<bool>{false, true, true, true, true, true, true};
    QTest::newRow("value picker") << u"<CompanyName"_s << QStringList{u"CompanyName"_s} << QList<bool>{true};
    QTest::newRow("other alignments") << u"^Mid|>Right|Plain"_s << QStringList{u"Mid"_s, u"Right"_s, u"Plain"_s}
                                      << QList<bool>{false, false, false};
    QTest::newRow("empty entries") << u"|<"_s << QStringList{QString(), QString()} << QList<bool>{false, true};
}

void TestFlexGrid::formatString()
{
    QFETCH(QString, format);
    QFETCH(QStringList, titles);
    QFETCH(QList<bool>, left);

    FlexGrid grid;
    fill(grid, 3, 9);
    grid.setFormatString(format);
    QCOMPARE(grid.Cols(), titles.size());
    QCOMPARE(grid.Rows(), 3);
    for (int c = 0; c < titles.size(); ++c) {
        QCOMPARE(grid.TextMatrix(0, c), titles.at(c));
        QCOMPARE(grid.ColAlignmentLeft(c), left.at(c));
        QCOMPARE(grid.view()->model()->headerData(c, Qt::Horizontal).toString(), titles.at(c));
    }
    QCOMPARE(grid.FormatString(), format);
    QCOMPARE(grid.TextMatrix(1, 0), u"1,0"_s); // data rows keep their cells
    // Longer titles give wider columns.
    if (titles.size() == 7) {
        QVERIFY(grid.ColWidth(1) > grid.ColWidth(0));
    }
}

void TestFlexGrid::structureKeepsCells_data()
{
    QTest::addColumn<GridOperation>("operation");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("cols");

    QTest::newRow("fewer rows") << GridOperation([](FlexGrid &g) { g.setRows(2); }) << 2 << 3;
    QTest::newRow("more rows") << GridOperation([](FlexGrid &g) { g.setRows(7); }) << 7 << 3;
    QTest::newRow("fewer cols") << GridOperation([](FlexGrid &g) { g.setCols(1); }) << 4 << 1;
    QTest::newRow("more cols") << GridOperation([](FlexGrid &g) { g.setCols(5); }) << 4 << 5;
    QTest::newRow("shrink then grow cols")
        << GridOperation([](FlexGrid &g) { g.setCols(1), g.setCols(3); }) << 4 << 3;
    QTest::newRow("shrink then grow rows")
        << GridOperation([](FlexGrid &g) { g.setRows(1), g.setRows(4); }) << 4 << 3;
    QTest::newRow("title row to body and back")
        << GridOperation([](FlexGrid &g) { g.setFixedRows(0), g.setFixedRows(1); }) << 4 << 3;
    QTest::newRow("fixed column") << GridOperation([](FlexGrid &g) { g.setFixedCols(1); }) << 4 << 3;
}

void TestFlexGrid::structureKeepsCells()
{
    QFETCH(GridOperation, operation);
    QFETCH(int, rows);
    QFETCH(int, cols);

    FlexGrid grid;
    fill(grid, 4, 3);
    operation(grid);
    QCOMPARE(grid.Rows(), rows);
    QCOMPARE(grid.Cols(), cols);
    // Cells that existed before and after keep their text unless they were cut away; the ones
    // that were cut away come back empty.
    QString trace;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            trace += grid.TextMatrix(r, c) + u'|';
        }
    }
    QString expected;
    const bool cutRows = QByteArray(QTest::currentDataTag()).contains("rows") && rows == 4;
    const bool cutCols = QByteArray(QTest::currentDataTag()).contains("cols") && cols == 3;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const bool kept = r < 4 && c < 3 && !(cutRows && r >= 1) && !(cutCols && c >= 1);
            expected += (kept ? u"%1,%2"_s.arg(r).arg(c) : QString()) + u'|';
        }
    }
    QCOMPARE(trace, expected);
    QCOMPARE(grid.view()->model()->rowCount(), rows - (grid.FixedRows() > 0 ? 1 : 0));
    QCOMPARE(grid.view()->model()->columnCount(), cols);
}

void TestFlexGrid::badUseThrows_data()
{
    QTest::addColumn<GridOperation>("operation");
    QTest::addColumn<int>("number");

    const auto op = [](GridOperation f) { return f; };
    QTest::newRow("TextMatrix row -1") << op([](FlexGrid &g) { g.TextMatrix(-1, 0); }) << 9;
    QTest::newRow("TextMatrix row Rows") << op([](FlexGrid &g) { g.TextMatrix(g.Rows(), 0); }) << 9;
    QTest::newRow("TextMatrix col Cols") << op([](FlexGrid &g) { g.TextMatrix(0, g.Cols()); }) << 9;
    QTest::newRow("setTextMatrix") << op([](FlexGrid &g) { g.setTextMatrix(5, 0, u"x"_s); }) << 9;
    QTest::newRow("Row") << op([](FlexGrid &g) { g.setRow(3); }) << 9;
    QTest::newRow("Col") << op([](FlexGrid &g) { g.setCol(-1); }) << 9;
    QTest::newRow("RowSel") << op([](FlexGrid &g) { g.setRowSel(3); }) << 9;
    QTest::newRow("ColSel") << op([](FlexGrid &g) { g.setColSel(2); }) << 9;
    QTest::newRow("RowHeight") << op([](FlexGrid &g) { g.RowHeight(3); }) << 9;
    QTest::newRow("setColWidth") << op([](FlexGrid &g) { g.setColWidth(2, 100); }) << 9;
    QTest::newRow("ColAlignmentLeft") << op([](FlexGrid &g) { g.ColAlignmentLeft(7); }) << 9;
    QTest::newRow("RemoveItem beyond") << op([](FlexGrid &g) { g.RemoveItem(2); }) << 9;
    QTest::newRow("FixedRows beyond Rows") << op([](FlexGrid &g) { g.setFixedRows(3); }) << 9;
    QTest::newRow("FixedCols beyond Cols") << op([](FlexGrid &g) { g.setFixedCols(3); }) << 9;
    QTest::newRow("current cell gone")
        << op([](FlexGrid &g) { g.setFixedRows(0), g.setRows(0), g.CellLeft(); }) << 9;
    QTest::newRow("format of a cell gone")
        << op([](FlexGrid &g) { g.setCols(0), g.setCellFontBold(true); }) << 9;
    QTest::newRow("negative Rows") << op([](FlexGrid &g) { g.setRows(-1); }) << 5;
    QTest::newRow("Rows below FixedRows") << op([](FlexGrid &g) { g.setRows(0); }) << 5;
    QTest::newRow("negative Cols") << op([](FlexGrid &g) { g.setCols(-2); }) << 5;
    QTest::newRow("remove the title row") << op([](FlexGrid &g) { g.RemoveItem(0); }) << 5;
    QTest::newRow("unknown sort") << op([](FlexGrid &g) { g.setSort(3); }) << 5;
    QTest::newRow("font size 0") << op([](FlexGrid &g) { g.setCellFontSize(0); }) << 5;
}

void TestFlexGrid::badUseThrows()
{
    QFETCH(GridOperation, operation);
    QFETCH(int, number);

    FlexGrid grid;
    grid.setTextMatrix(1, 1, u"kept"_s);
    try {
        operation(grid);
        QFAIL("no error raised");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), number);
    }
    // The grid stays usable.
    if (grid.Rows() > 1 && grid.Cols() > 1) {
        QCOMPARE(grid.TextMatrix(1, 1), u"kept"_s);
    }
    grid.setCols(2);
    grid.setRows(2);
    grid.setFixedRows(1);
    grid.setRow(1);
    grid.setTextMatrix(1, 0, u"again"_s);
    QCOMPARE(grid.TextMatrix(1, 0), u"again"_s);
}

void TestFlexGrid::cellFormatsArePerCell()
{
    FlexGrid grid;
    fill(grid, 3, 3);
    const OleColor green = OleColor::fromRgb(39, 118, 55);

    grid.setRow(1);
    grid.setCol(1);
    grid.setCellForeColor(green);
    grid.setCellBackColor(OleColor::ButtonFace);
    grid.setCellFontBold(true);
    grid.setCellFontSize(14);
    // The title row: bold 10 pt, as the condition grid sets it.
    grid.setRow(0);
    grid.setCol(2);
    grid.setCellFontBold(true);
    grid.setCellFontSize(10);

    grid.setRow(1);
    grid.setCol(2); // a neighbour keeps the grid's style
    QCOMPARE(grid.CellForeColor(), grid.ForeColor());
    QCOMPARE(grid.CellBackColor(), grid.BackColor());
    QCOMPARE(grid.CellFontBold(), false);
    QCOMPARE(grid.CellFontSize(), grid.Font().pointSizeF());
    grid.setRow(0);
    grid.setCol(0); // a fixed cell without a format of its own
    QCOMPARE(grid.CellForeColor(), grid.ForeColorFixed());
    QCOMPARE(grid.CellBackColor(), grid.BackColorFixed());

    grid.setCol(2);
    QVERIFY(grid.CellFontBold());
    QCOMPARE(grid.CellFontSize(), 10.0);
    const QFont title = grid.view()->model()->headerData(2, Qt::Horizontal, Qt::FontRole).value<QFont>();
    QVERIFY(title.bold());
    QCOMPARE(title.pointSizeF(), 10.0);

    grid.setRow(1);
    grid.setCol(1);
    QCOMPARE(grid.CellForeColor(), green);
    QCOMPARE(grid.CellBackColor(), OleColor(OleColor::ButtonFace));
    QVERIFY(grid.CellFontBold());
    QCOMPARE(grid.CellFontSize(), 14.0);
    const QModelIndex cell = grid.view()->model()->index(0, 1);
    QCOMPARE(cell.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(39, 118, 55));
    QVERIFY(cell.data(Qt::FontRole).value<QFont>().bold());
}

void TestFlexGrid::resetSequenceKeepsTitleRow()
{
    // How the value picker and the dialog reset a grid to its title row and one empty row.
    FlexGrid grid;
    grid.setFormatString(u"<Name|<Value"_s);
    grid.setRow(0);
    grid.setCol(1);
    grid.setCellFontBold(true);
    grid.setRowHeight(0, 450);
    grid.AddItem(u"a\tb"_s);
    grid.AddItem(u"c\td"_s);

    grid.setFixedRows(0);
    QVERIFY(grid.view()->horizontalHeader()->isHidden());
    QCOMPARE(grid.view()->model()->rowCount(), 4);
    grid.setRows(1);
    grid.setRows(2);
    grid.setFixedRows(1);

    QCOMPARE(grid.Rows(), 2);
    QCOMPARE(grid.TextMatrix(0, 0), u"Name"_s);
    QCOMPARE(grid.TextMatrix(0, 1), u"Value"_s);
    QCOMPARE(grid.TextMatrix(1, 0), QString());
    QCOMPARE(grid.TextMatrix(1, 1), QString());
    QCOMPARE(grid.RowHeight(0), 450);
    QCOMPARE(grid.Row(), 1);
    grid.setRow(0);
    grid.setCol(1);
    QVERIFY(grid.CellFontBold());
    QVERIFY(!grid.view()->horizontalHeader()->isHidden());
}

void TestFlexGrid::addAndRemoveKeepOtherRows()
{
    FlexGrid grid;
    grid.setFormatString(u"A|B|C"_s);
    grid.setRows(1);
    grid.AddItem(u"1\tone"_s);
    grid.AddItem(u"2\ttwo\tzwei\textra"_s);
    grid.AddItem(QString());
    grid.AddItem(u"4\tfour"_s);
    QCOMPARE(grid.Rows(), 5);
    QCOMPARE(column(grid, 0), (QStringList{u"1"_s, u"2"_s, QString(), u"4"_s}));
    QCOMPARE(column(grid, 2), (QStringList{QString(), u"zwei"_s, QString(), QString()}));

    grid.setRow(4);
    grid.setCol(1);
    grid.setCellForeColor(OleColor::fromRgb(1, 2, 3));
    grid.RemoveItem(2);
    QCOMPARE(grid.Rows(), 4);
    QCOMPARE(column(grid, 1), (QStringList{u"one"_s, QString(), u"four"_s}));
    grid.setRow(3);
    grid.setCol(1);
    QCOMPARE(grid.CellForeColor(), OleColor::fromRgb(1, 2, 3)); // the format moved with its row
    grid.RemoveItem(3);
    QCOMPARE(grid.Row(), 2); // the current row follows the shorter grid
    QCOMPARE(column(grid, 0), (QStringList{u"1"_s, QString()}));
    QCOMPARE(grid.TextMatrix(0, 2), u"C"_s);
}

void TestFlexGrid::removeItemKeepsRowNumbers_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("rowSel");
    QTest::addColumn<int>("removed");
    QTest::addColumn<int>("expectedRow");
    QTest::addColumn<int>("expectedRowSel");

    // Rows 1..3 below the title row; removing leaves rows 1..2.
    QTest::newRow("current middle row removed: the next row moves up under it") << 2 << 2 << 2 << 2 << 2;
    QTest::newRow("row above the current one removed: the number stays") << 2 << 2 << 1 << 2 << 2;
    QTest::newRow("last row removed: clamped to the new last row") << 3 << 3 << 3 << 2 << 2;
    QTest::newRow("block kept by number") << 1 << 3 << 2 << 1 << 2;
    QTest::newRow("first row removed while current") << 1 << 1 << 1 << 1 << 1;
}

void TestFlexGrid::removeItemKeepsRowNumbers()
{
    QFETCH(int, row);
    QFETCH(int, rowSel);
    QFETCH(int, removed);
    QFETCH(int, expectedRow);
    QFETCH(int, expectedRowSel);

    FlexGrid grid;
    grid.setFormatString(u"A|B"_s);
    grid.setRows(4);
    grid.setRow(row);
    grid.setCol(1);
    grid.setRowSel(rowSel);
    grid.RemoveItem(removed);
    QCOMPARE(grid.Row(), expectedRow);
    QCOMPARE(grid.RowSel(), expectedRowSel);
    QCOMPARE(grid.Col(), 1);
    // The view shows the same current cell.
    QCOMPARE(grid.view()->currentIndex().row() + 1, expectedRowSel);
}

void TestFlexGrid::accessibleCellTexts()
{
    FlexGrid grid;
    QAbstractItemModelTester tester(grid.view()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    grid.setFormatString(u"<Name |<Town"_s);
    grid.setRows(1);
    grid.AddItem(u"Ann\tOslo"_s);
    grid.AddItem(u"Bob"_s);
    grid.AddItem(u"Cy\tRome"_s);
    grid.setRowMark(2, u"checked"_s);
    const QAbstractItemModel *model = grid.view()->model();
    const auto description = [model](int row, int col) {
        return model->index(row - 1, col).data(Qt::AccessibleDescriptionRole).toString();
    };
    QCOMPARE(model->index(0, 1).data(Qt::AccessibleTextRole).toString(), u"Oslo"_s);
    QCOMPARE(model->index(1, 1).data(Qt::AccessibleTextRole).toString(), u"blank"_s);
    QCOMPARE(description(1, 1), u"Row 1, Town"_s);
    QCOMPARE(description(2, 0), u"Row 2, Name, checked"_s);

    // The note moves with its row.
    grid.RemoveItem(1);
    QCOMPARE(grid.RowMark(1), u"checked"_s);
    QCOMPARE(description(1, 0), u"Row 1, Name, checked"_s);
    grid.setCol(0);
    grid.setSort(2);
    QCOMPARE(grid.TextMatrix(2, 0), u"Bob"_s);
    QCOMPARE(grid.RowMark(2), u"checked"_s);
    QCOMPARE(grid.RowMark(1), QString());
}

void TestFlexGrid::sort_data()
{
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("expected");

    const QStringList mixed{u"10"_s, u"b"_s, u"2"_s, u"A"_s, u"-3"_s, u"1.5"_s, QString(), u"a"_s};
    QTest::newRow("ascending") << mixed << 1
                               << QStringList{u"-3"_s, u"1.5"_s, u"2"_s, u"10"_s, QString(), u"A"_s, u"a"_s, u"b"_s};
    QTest::newRow("descending") << mixed << 2
                                << QStringList{u"b"_s, u"a"_s, u"A"_s, QString(), u"10"_s, u"2"_s, u"1.5"_s, u"-3"_s};
    QTest::newRow("dates as text") << QStringList{u"2001-10-02"_s, u"2001-09-30"_s} << 1
                                   << QStringList{u"2001-09-30"_s, u"2001-10-02"_s};
    QTest::newRow("single row") << QStringList{u"x"_s} << 2 << QStringList{u"x"_s};
}

void TestFlexGrid::sort()
{
    QFETCH(QStringList, values);
    QFETCH(int, order);
    QFETCH(QStringList, expected);

    FlexGrid grid;
    grid.setFormatString(u"<Key|<Origin"_s);
    grid.setRows(1);
    for (int i = 0; i < values.size(); ++i) {
        grid.AddItem(values.at(i) + u'\t' + QString::number(i));
    }
    grid.setRow(1);
    grid.setCol(0);
    grid.setCellFontBold(true); // travels with the first row
    grid.setSort(order);
    QCOMPARE(column(grid, 0), expected);
    QCOMPARE(grid.TextMatrix(0, 0), u"Key"_s);
    for (int r = 1; r < grid.Rows(); ++r) {
        // Each row moved whole.
        QCOMPARE(grid.TextMatrix(r, 0), values.at(grid.TextMatrix(r, 1).toInt()));
        grid.setRow(r);
        QCOMPARE(grid.CellFontBold(), grid.TextMatrix(r, 1) == u"0"_s);
    }
}

void TestFlexGrid::hiddenColumn()
{
    FlexGrid grid;
    fill(grid, 3, 3);
    showGrid(grid);
    grid.setColWidth(1, 0);
    QCOMPARE(grid.ColWidth(1), 0);
    QVERIFY(grid.view()->isColumnHidden(1));
    grid.setRow(1);
    grid.setCol(1);
    QCOMPARE(grid.CellWidth(), 0);
    QCOMPARE(grid.TextMatrix(1, 1), u"1,1"_s);
    const int hiddenLeft = grid.CellLeft();
    grid.setCol(2);
    QCOMPARE(grid.CellLeft(), hiddenLeft); // column 2 starts where column 1 would
    grid.setCol(0);
    QCOMPARE(grid.CellLeft() + grid.CellWidth(), hiddenLeft);

    grid.setColWidth(1, 1200);
    QVERIFY(!grid.view()->isColumnHidden(1));
    QCOMPARE(grid.ColWidth(1), 1200);
    grid.setCol(1);
    QCOMPARE(grid.CellWidth(), 80 * 15);
}

void TestFlexGrid::elidedTextInToolTip_data()
{
    QTest::addColumn<bool>("elided");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tip");
    const QString longText = QString(80, u'W');
    QTest::newRow("default: no tool tip of its own") << false << longText << u"grid tip"_s;
    QTest::newRow("elided: the whole text") << true << longText << longText;
    QTest::newRow("elided, text that fits: the grid's tip") << true << u"W"_s << u"grid tip"_s;
    QTest::newRow("elided, blanks after a text that fits take no room")
        << true << u"W"_s + QString(80, u' ') << u"grid tip"_s;
}

void TestFlexGrid::elidedTextInToolTip()
{
    QFETCH(bool, elided);
    QFETCH(QString, text);
    QFETCH(QString, tip);
    FlexGrid grid;
    fill(grid, 3, 3);
    grid.setToolTipText(u"grid tip"_s);
    grid.setTextElided(elided);
    grid.setColWidth(1, 600);
    grid.setTextMatrix(1, 1, text);
    showGrid(grid);
    QTableView *view = grid.view();
    const QPoint at = view->visualRect(view->model()->index(0, 1)).center();
    QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(view->viewport(), &help);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), tip);
    QToolTip::hideText();
}

void TestFlexGrid::stylePaints_data()
{
    QTest::addColumn<GridOperation>("style");
    QTest::addColumn<GridPoint>("where");

    // Points in grid pixels: inside a cell near its right end (away from its left-aligned text),
    // on the right grid line of cell (2, 0), right of the last column, below the last row.
    const auto cell = [](int row, int col) {
        return GridPoint([=](FlexGrid &g) {
            g.setRow(row);
            g.setCol(col);
            return QPoint((g.CellLeft() + g.CellWidth()) / 15 - 6, g.CellTop() / 15 + 3);
        });
    };
    const auto rightLine = GridPoint([](FlexGrid &g) {
        g.setRow(2);
        g.setCol(0);
        return QPoint((g.CellLeft() + g.CellWidth()) / 15 - 1, g.CellTop() / 15 + 2);
    });
    const auto beyondColumns = GridPoint([](FlexGrid &g) {
        g.setRow(1);
        g.setCol(2);
        return QPoint((g.CellLeft() + g.CellWidth()) / 15 + 10, g.CellTop() / 15 + 3);
    });
    const auto belowRows = GridPoint([](FlexGrid &g) {
        g.setRow(3);
        g.setCol(1);
        return QPoint(g.CellLeft() / 15 + 10, (g.CellTop() + g.CellHeight()) / 15 + 10);
    });
    const auto set = [](void (FlexGrid::*setter)(OleColor), OleColor color, GridOperation more = {}) {
        return GridOperation([=](FlexGrid &g) {
            (g.*setter)(color);
            if (more) {
                more(g);
            }
        });
    };
    const OleColor red = OleColor::fromRgb(250, 0, 0);
    QTest::newRow("BackColor") << set(&FlexGrid::setBackColor, red) << cell(2, 1);
    QTest::newRow("BackColorFixed") << set(&FlexGrid::setBackColorFixed, red) << cell(0, 1);
    QTest::newRow("BackColorFixed on a fixed column")
        << set(&FlexGrid::setBackColorFixed, red, [](FlexGrid &g) { g.setFixedCols(1); }) << cell(2, 0);
    QTest::newRow("BackColorSel")
        << set(&FlexGrid::setBackColorSel, red, [](FlexGrid &g) { g.setRow(2), g.setCol(1); }) << cell(2, 1);
    QTest::newRow("BackColorBkg") << set(&FlexGrid::setBackColorBkg, red) << beyondColumns;
    QTest::newRow("BackColorUnpopulated") << set(&FlexGrid::setBackColorUnpopulated, red) << belowRows;
    QTest::newRow("GridColor") << set(&FlexGrid::setGridColor, red) << rightLine;
    QTest::newRow("CellBackColor")
        << GridOperation([=](FlexGrid &g) { g.setRow(2), g.setCol(1), g.setCellBackColor(red), g.setRow(1); })
        << cell(2, 1);
}

void TestFlexGrid::stylePaints()
{
    QFETCH(GridOperation, style);
    QFETCH(GridPoint, where);

    FlexGrid grid;
    fill(grid, 4, 3);
    grid.setRow(3);
    grid.setCol(2); // the selection stays away from the sampled cells
    showGrid(grid);
    const QPoint point = where(grid);
    grid.setRow(3);
    grid.setCol(2);
    style(grid);
    const QImage image = grid.grab().toImage();
    QCOMPARE(image.pixelColor(point), QColor(250, 0, 0));
}

// Interaction --------------------------------------------------------------------------------------

void TestFlexGrid::fixedRowStaysVisibleWhenScrolled()
{
    FlexGrid grid;
    fill(grid, 200, 12);
    showGrid(grid);
    QSignalSpy scrolled(&grid, &FlexGrid::Scroll);
    grid.setRow(0);
    grid.setCol(0);
    const int titleTop = grid.CellTop();

    grid.view()->scrollToBottom();
    grid.view()->horizontalScrollBar()->setValue(grid.view()->horizontalScrollBar()->maximum());
    QVERIFY(scrolled.count() >= 2);

    QHeaderView *header = grid.view()->horizontalHeader();
    QVERIFY(header->isVisible());
    QCOMPARE(grid.CellTop(), titleTop);
    QCOMPARE(header->mapTo(&grid, QPoint(0, 0)).y() * 15, titleTop);
    // The title of the last column is on screen above the last row.
    grid.setRow(199);
    grid.setCol(11);
    QVERIFY(grid.CellTop() > titleTop);
    QVERIFY(grid.CellTop() + grid.CellHeight() <= grid.Height());
    const int titleLeft = header->sectionViewportPosition(11);
    QVERIFY(titleLeft >= 0 && titleLeft < header->viewport()->width());
    QCOMPARE(header->model()->headerData(11, Qt::Horizontal).toString(), u"0,11"_s);
    // The first data row is scrolled away.
    QCOMPARE(grid.view()->rowAt(0) > 0, true);
}

void TestFlexGrid::cellPositionIsTheClickPosition_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<bool>("scrolled");
    QTest::addColumn<QPoint>("offset");

    // (QTest reads the point (0, 0) as "the widget's centre", so no click lands exactly there.)
    QTest::newRow("first data cell") << 1 << 0 << false << QPoint(0, 1);
    QTest::newRow("inside a cell") << 3 << 2 << false << QPoint(5, 3);
    QTest::newRow("after the hidden column") << 2 << 4 << false << QPoint(1, 1);
    QTest::newRow("after scrolling") << 60 << 7 << true << QPoint(2, 2);
}

void TestFlexGrid::cellPositionIsTheClickPosition()
{
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(bool, scrolled);
    QFETCH(QPoint, offset);

    FlexGrid grid;
    fill(grid, 80, 9);
    grid.setColWidth(3, 0);
    grid.setRowHeight(0, 375);
    showGrid(grid);
    if (scrolled) {
        grid.view()->scrollTo(grid.view()->model()->index(row - 1, col));
    }
    grid.setRow(row);
    grid.setCol(col);
    const int left = grid.CellLeft();
    const int top = grid.CellTop();
    grid.setRow(1);
    grid.setCol(0);

    QList<QList<int>> received;
    connect(&grid, &FlexGrid::MouseUp, &grid, [&](int button, int shift, int x, int y) {
        received.append({button, shift, x, y, grid.Row(), grid.Col()});
    });
    QWidget *viewport = grid.view()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier,
                      viewport->mapFrom(&grid, QPoint(left / 15, top / 15)) + offset);

    QCOMPARE(received.size(), 1);
    // The current cell had moved to the clicked cell when MouseUp came.
    QCOMPARE(received.first(), (QList<int>{1, 0, left + offset.x() * 15, top + offset.y() * 15, row, col}));
    QCOMPARE(grid.RowSel(), row);
    QCOMPARE(grid.ColSel(), col);
    QCOMPARE(grid.CellLeft(), left);
    QCOMPARE(grid.CellTop(), top);
}

void TestFlexGrid::clicksByButtonAndArea()
{
    FlexGrid grid;
    fill(grid, 10, 4);
    showGrid(grid);
    grid.setRow(2);
    grid.setCol(1);
    QSignalSpy mouseUp(&grid, &FlexGrid::MouseUp);
    QWidget *viewport = grid.view()->viewport();
    QWidget *title = grid.view()->horizontalHeader()->viewport();

    grid.setRow(5);
    grid.setCol(3);
    const QPoint cell53 = currentCellPoint(grid, viewport, QPoint(4, 4));
    grid.setRow(0);
    grid.setCol(2);
    const QPoint title2 = currentCellPoint(grid, title, QPoint(4, 4));
    const int titleTop = grid.CellTop();
    const int titleHeight = grid.CellHeight();
    grid.setRow(2);
    grid.setCol(1);

    // Right button: reported, the current cell stays.
    QTest::mouseClick(viewport, Qt::RightButton, Qt::NoModifier, cell53);
    QCOMPARE(mouseUp.count(), 1);
    QCOMPARE(mouseUp.last().at(0).toInt(), 2);
    QCOMPARE(grid.Row(), 2);
    QCOMPARE(grid.Col(), 1);

    // Middle button moves it, as the left one does.
    QTest::mouseClick(viewport, Qt::MiddleButton, Qt::ControlModifier | Qt::AltModifier, cell53);
    QCOMPARE(mouseUp.count(), 2);
    QCOMPARE(mouseUp.last().at(0).toInt(), 4);
    QCOMPARE(mouseUp.last().at(1).toInt(), 6);
    QCOMPARE(grid.Row(), 5);
    QCOMPARE(grid.Col(), 3);

    // A click on the title row is reported in its area and moves nothing.
    QTest::mouseClick(title, Qt::LeftButton, Qt::NoModifier, title2);
    QCOMPARE(mouseUp.count(), 3);
    const int y = mouseUp.last().at(3).toInt();
    QVERIFY(y >= titleTop && y < titleTop + titleHeight);
    QCOMPARE(grid.Row(), 5);
    QCOMPARE(grid.Col(), 3);
}

void TestFlexGrid::shiftClickExtendsSelection()
{
    FlexGrid grid;
    fill(grid, 10, 4);
    showGrid(grid);
    QWidget *viewport = grid.view()->viewport();
    grid.setRow(6);
    grid.setCol(3);
    const QPoint far = currentCellPoint(grid, viewport, QPoint(3, 3));
    grid.setRow(2);
    grid.setCol(1);
    const QPoint near = currentCellPoint(grid, viewport, QPoint(3, 3));

    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, near);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, far);
    QCOMPARE(grid.Row(), 2);
    QCOMPARE(grid.Col(), 1);
    QCOMPARE(grid.RowSel(), 6);
    QCOMPARE(grid.ColSel(), 3);

    // Setting a block selects it in the view; setting Row collapses it.
    grid.setRow(3);
    grid.setRowSel(3);
    grid.setCol(0);
    grid.setColSel(2);
    const QModelIndexList selected = grid.view()->selectionModel()->selectedIndexes();
    QCOMPARE(selected.size(), 3);
    grid.setRow(4);
    QCOMPARE(grid.RowSel(), 4);
    QCOMPARE(grid.view()->selectionModel()->selectedIndexes().size(), 3);

    // The keyboard moves the current cell and extends the block with Shift.
    grid.setCol(1);
    grid.view()->setFocus();
    QTest::keyClick(grid.view(), Qt::Key_Down);
    QCOMPARE(grid.Row(), 5);
    QCOMPARE(grid.Col(), 1);
    QTest::keyClick(grid.view(), Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(grid.view(), Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(grid.Row(), 5);
    QCOMPARE(grid.Col(), 1);
    QCOMPARE(grid.RowSel(), 6);
    QCOMPARE(grid.ColSel(), 2);
}

// Model --------------------------------------------------------------------------------------------

void TestFlexGrid::modelPassesTester()
{
    condora::test::SqliteFile file({u"create table t (id integer, name varchar(20))"_s,
                                    u"with recursive n(i) as (select 1 union all select i + 1 from n where i < 700) "
                                    "insert into t select i, 'name ' || i from n"_s});
    const auto connection = file.open();

    FlexGrid grid;
    QAbstractItemModelTester tester(grid.view()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    fill(grid, 6, 4);
    grid.AddItem(u"x\ty"_s);
    grid.RemoveItem(2);
    grid.setSort(2);
    grid.setFixedRows(0);
    grid.setFixedRows(1);
    grid.setCols(2);
    grid.setRows(3);
    grid.setFormatString(u"<A|B|C"_s);

    ado::Recordset recordset;
    recordset.Open(u"select id, name from t order by id"_s, connection);
    grid.setRecordset(recordset);
    QAbstractItemModel *model = grid.view()->model();
    while (model->canFetchMore(QModelIndex())) {
        model->fetchMore(QModelIndex());
    }
    QCOMPARE(grid.Rows(), 701);
    grid.setTextMatrix(5, 1, u"edited"_s);
    grid.setSort(1);
    grid.setRows(2);
}

// Binding ------------------------------------------------------------------------------------------

void TestFlexGrid::bindingFetchesLazily()
{
    condora::test::SqliteFile file({u"create table t (id integer, name varchar(20), price double)"_s,
                                    u"with recursive n(i) as (select 1 union all select i + 1 from n where i < 5000) "
                                    "insert into t select i, 'name ' || i, i * 0.5 from n"_s});
    const auto connection = file.open();
    ado::Recordset recordset;
    recordset.Open(u"select id, name, price as Price from t order by id"_s, connection);

    FlexGrid grid;
    grid.setRecordset(recordset);
    recordset.Close(); // the grid keeps its own share of the rows

    QCOMPARE(grid.Cols(), 3);
    QCOMPARE(grid.FixedRows(), 1);
    QCOMPARE(grid.TextMatrix(0, 2), u"Price"_s);
    QCOMPARE(grid.TextMatrix(1, 0), u"1"_s);
    QCOMPARE(grid.TextMatrix(1, 1), u"name 1"_s);
    QCOMPARE(grid.TextMatrix(2, 2), u"1"_s);
    QVERIFY(grid.isBoundPending());
    const int firstRows = grid.Rows();
    QVERIFY2(firstRows > 20 && firstRows < 1000, qPrintable(QString::number(firstRows)));
    QCOMPARE(grid.Row(), 1);
    try {
        grid.TextMatrix(firstRows, 0); // not fetched yet
        QFAIL("no error raised");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), 9);
    }

    // Scrolling to the end makes the view fetch more.
    showGrid(grid);
    grid.view()->scrollToBottom();
    QTRY_VERIFY(grid.Rows() > firstRows);

    grid.fetchAll();
    QCOMPARE(grid.Rows(), 5001);
    QVERIFY(!grid.isBoundPending());
    QCOMPARE(grid.TextMatrix(5000, 1), u"name 5000"_s);
    QCOMPARE(grid.view()->model()->rowCount(), 5000);
}

// The first fetch is a screenful of a usual grid; a taller grid gets what it shows without
// being scrolled.
void TestFlexGrid::bindingFillsATallGrid()
{
    condora::test::SqliteFile file({u"create table t (id integer)"_s,
                                    u"with recursive n(i) as (select 1 union all select i + 1 from n where i < 3000) "
                                    "insert into t select i from n"_s});
    const auto connection = file.open();
    ado::Recordset recordset;
    recordset.Open(u"select id from t order by id"_s, connection);
    FlexGrid grid;
    grid.setRecordset(recordset);
    showGrid(grid);
    grid.resize(300, 4000);
    const QAbstractItemView *view = grid.view();
    const int rowHeight = view->sizeHintForRow(0) > 0 ? view->sizeHintForRow(0) : 20;
    const int visibleRows = view->viewport()->height() / rowHeight;
    QTRY_VERIFY2(grid.Rows() > visibleRows, qPrintable(u"%1 rows for %2 visible"_s.arg(grid.Rows()).arg(visibleRows)));
    QVERIFY(grid.isBoundPending());

    // A grid told to fetch fewer rows first fetches just those, and the rest as it shows them,
    // in their order.
    FlexGrid few;
    few.setFirstFetchRows(5);
    recordset.Open(u"select id from t order by id"_s, connection);
    few.setRecordset(recordset);
    QCOMPARE(few.Rows(), 6);
    QCOMPARE(few.fetchRows(10), 10);
    QCOMPARE(few.Rows(), 16);
    showGrid(few);
    QTRY_VERIFY(few.Rows() > few.view()->viewport()->height() / rowHeight);
    few.fetchAll();
    QCOMPARE(few.Rows(), 3001);
    for (int row = 1; row <= 3000; row += 299) {
        QCOMPARE(few.TextMatrix(row, 0), QString::number(row));
    }
}

void TestFlexGrid::bindingEmptyResult()
{
    condora::test::SqliteFile file({u"create table t (id integer, name varchar(20))"_s});
    ado::Recordset recordset;
    recordset.Open(u"select id, name from t where 1=0"_s, file.open());
    FlexGrid grid;
    fill(grid, 5, 5);
    grid.setRecordset(recordset);
    QCOMPARE(grid.Rows(), 2);
    QCOMPARE(grid.Cols(), 2);
    QCOMPARE(grid.TextMatrix(0, 1), u"name"_s);
    QCOMPARE(grid.TextMatrix(1, 0), QString());
    QVERIFY(!grid.isBoundPending());
}

void TestFlexGrid::bindingEditsAndStructure()
{
    condora::test::SqliteFile file({u"create table t (id integer, name varchar(20))"_s,
                                    u"with recursive n(i) as (select 1 union all select i + 1 from n where i < 1000) "
                                    "insert into t select i, 'n' || i from n"_s});
    const auto connection = file.open();

    // Cell edits keep the grid bound and lazy.
    ado::Recordset recordset;
    recordset.Open(u"select id, name from t order by id"_s, connection);
    FlexGrid grid;
    grid.setRecordset(recordset);
    grid.setTextMatrix(3, 1, u"changed"_s);
    grid.setRow(3);
    grid.setCol(1);
    grid.setCellForeColor(OleColor::fromRgb(39, 118, 55));
    QVERIFY(grid.isBoundPending());
    QCOMPARE(grid.TextMatrix(3, 1), u"changed"_s);
    QCOMPARE(grid.TextMatrix(3, 0), u"3"_s);
    QCOMPARE(grid.TextMatrix(4, 1), u"n4"_s);

    // Sorting fetches everything first; the edit travels with its row.
    grid.setCol(0);
    grid.setSort(2);
    QCOMPARE(grid.Rows(), 1001);
    QVERIFY(!grid.isBoundPending());
    QCOMPARE(grid.TextMatrix(1, 0), u"1000"_s);
    QCOMPARE(grid.TextMatrix(998, 1), u"changed"_s);
    grid.setRow(998);
    grid.setCol(1);
    QCOMPARE(grid.CellForeColor(), OleColor::fromRgb(39, 118, 55));

    // Cutting a bound grid back to its title row drops the rest of the source.
    ado::Recordset second;
    second.Open(u"select id from t order by id"_s, connection);
    grid.setRecordset(second);
    grid.setFixedRows(0);
    grid.setRows(1);
    grid.setRows(2);
    grid.setFixedRows(1);
    QCOMPARE(grid.Rows(), 2);
    QCOMPARE(grid.TextMatrix(0, 0), u"id"_s);
    QCOMPARE(grid.TextMatrix(1, 0), QString());
    QVERIFY(!grid.isBoundPending());

    // Appending to a bound grid appends after its last record.
    ado::Recordset third;
    third.Open(u"select id from t where id <= 300 order by id"_s, connection);
    grid.setRecordset(third);
    grid.AddItem(u"extra"_s);
    QCOMPARE(grid.Rows(), 302);
    QCOMPARE(grid.TextMatrix(300, 0), u"300"_s);
    QCOMPARE(grid.TextMatrix(301, 0), u"extra"_s);
}

void TestFlexGrid::bindingFailingFetchKeepsRows()
{
    // SQLite raises "integer overflow" while stepping to the 301st row (rows stream in key
    // order, so the first ones arrive before it fails).
    condora::test::SqliteFile file({u"create table t (id integer primary key)"_s,
                                    u"with recursive n(i) as (select 1 union all select i + 1 from n where i < 1000) "
                                    "insert into t select i from n"_s});
    const auto connection = file.open();
    ado::Recordset recordset;
    recordset.Open(u"select id, case when id > 300 then abs(id - id - 9223372036854775807 - 1) else id end as v "
                   "from t order by id"_s,
                   connection);
    FlexGrid grid;
    grid.setRecordset(recordset);
    grid.fetchAll();
    QCOMPARE(grid.Rows(), 301);
    QVERIFY(!grid.isBoundPending());
    QCOMPARE(grid.TextMatrix(300, 1), u"300"_s);

    // A source that throws while fetching: the view's own fetching stops quietly as well.
    FlexGrid other;
    other.setRowSource(std::make_shared<FailingSource>(600));
    QAbstractItemModel *model = other.view()->model();
    int guard = 0;
    while (model->canFetchMore(QModelIndex()) && ++guard < 100) {
        model->fetchMore(QModelIndex());
    }
    QCOMPARE(other.Rows(), 601);
    QCOMPARE(other.TextMatrix(600, 1), u"name 600"_s);
    other.setSort(2);
    QCOMPARE(other.TextMatrix(1, 0), u"600"_s);
}

void TestFlexGrid::bindingClosedRecordsetThrows()
{
    ado::Recordset closed;
    FlexGrid grid;
    grid.setTextMatrix(1, 1, u"kept"_s);
    try {
        grid.setRecordset(closed);
        QFAIL("no error raised");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), 91);
    }
    QCOMPARE(grid.TextMatrix(1, 1), u"kept"_s);
}

void TestFlexGrid::bindingFailureIsAnnouncedOnce_data()
{
    QTest::addColumn<int>("failAt");
    QTest::addColumn<GridOperation>("thenDo");
    const GridOperation scroll = [](FlexGrid &grid) {
        QAbstractItemModel *model = grid.view()->model();
        for (int guard = 0; model->canFetchMore(QModelIndex()) && guard < 100; ++guard) {
            model->fetchMore(QModelIndex());
        }
    };
    QTest::newRow("fails in the first chunk") << 3 << GridOperation();
    QTest::newRow("fails while the view fetches") << 301 << scroll;
    QTest::newRow("fails while fetching all") << 301 << GridOperation([](FlexGrid &grid) { grid.fetchAll(); });
    QTest::newRow("fails while sorting") << 301 << GridOperation([](FlexGrid &grid) { grid.setSort(1); });
}

// A statement failing part-way must never pass for a shorter result: the grid keeps the
// database's message and announces it once, from the event loop.
void TestFlexGrid::bindingFailureIsAnnouncedOnce()
{
    QFETCH(int, failAt);
    QFETCH(GridOperation, thenDo);
    condora::test::SqliteFile file({u"create table t (id integer primary key)"_s,
                                    u"with recursive n(i) as (select 1 union all select i + 1 from n where i < 1000) "
                                    "insert into t select i from n"_s});
    const auto connection = file.open();
    ado::Recordset recordset;
    recordset.Open(u"select id, case when id >= %1 then abs(id - id - 9223372036854775807 - 1) else id end as v "
                   "from t order by id"_s.arg(failAt),
                   connection);
    FlexGrid grid;
    QSignalSpy announced(&grid, &FlexGrid::FetchError);
    grid.setRecordset(recordset);
    if (thenDo) {
        thenDo(grid);
    }
    QCOMPARE(announced.count(), 0); // never from inside a fetch
    QCOMPARE(grid.fetchError(), u"integer overflow"_s);
    QTRY_COMPARE(announced.count(), 1);
    QCOMPARE(announced.first().first().toString(), u"integer overflow"_s);
    grid.fetchAll();
    grid.setSort(2);
    QCoreApplication::processEvents();
    QCOMPARE(announced.count(), 1);
    QCOMPARE(grid.Rows(), failAt);
    QCOMPARE(grid.fetchError(), u"integer overflow"_s);

    // A clean result bound next clears it.
    ado::Recordset clean;
    clean.Open(u"select id from t where id < 5"_s, connection);
    grid.setRecordset(clean);
    QCOMPARE(grid.fetchError(), QString());
    QCoreApplication::processEvents();
    QCOMPARE(announced.count(), 1);
}

void TestFlexGrid::bindingNullCells()
{
    condora::test::SqliteFile file({u"create table t (id integer primary key, v varchar(10))"_s,
                                    u"insert into t values (1, 'b'), (2, null), (3, ''), (4, '(null)')"_s});
    const auto connection = file.open();
    ado::Recordset recordset;
    recordset.Open(u"select v from t order by id"_s, connection);
    FlexGrid grid;
    grid.setRecordset(recordset);
    QCOMPARE(column(grid, 0), (QStringList{u"b"_s, QString(), QString(), u"(null)"_s})); // no null text: empty
    grid.setNullText(u"(null)"_s);
    QCOMPARE(column(grid, 0), (QStringList{u"b"_s, u"(null)"_s, QString(), u"(null)"_s}));
    QCOMPARE(grid.isNullCell(2, 0), true);
    QCOMPARE(grid.isNullCell(4, 0), false); // the text "(null)" is a value
    grid.setCol(0);
    grid.setSort(2); // NULL stays NULL where the rows move
    QCOMPARE(column(grid, 0), (QStringList{u"b"_s, u"(null)"_s, u"(null)"_s, QString()}));
    QList<bool> nulls;
    for (int r = 1; r < grid.Rows(); ++r) {
        nulls.append(grid.isNullCell(r, 0));
    }
    QCOMPARE(nulls, (QList<bool>{false, false, true, false}));
    grid.setTextMatrix(3, 0, u"set"_s);
    QCOMPARE(grid.isNullCell(3, 0), false);
    QCOMPARE(grid.TextMatrix(3, 0), u"set"_s);
}

void TestFlexGrid::sharedRowsReadLikeAHandCopy_data()
{
    QTest::addColumn<int>("firstCol");
    QTest::addColumn<GridOperation>("operation");
    const auto sortBy = [](int col, int order) {
        return [col, order](FlexGrid &grid) {
            grid.setCol(col);
            grid.setSort(order);
        };
    };
    QTest::newRow("as shown") << 0 << GridOperation([](FlexGrid &) {});
    QTest::newRow("from fixed column 2, last field cut off") << 2 << GridOperation([](FlexGrid &) {});
    QTest::newRow("sorted on text") << 0 << GridOperation(sortBy(1, 1));
    QTest::newRow("sorted descending on numbers with NULLs") << 1 << GridOperation(sortBy(3, 2));
    QTest::newRow("sorted twice, stable") << 0 << GridOperation([sortBy](FlexGrid &grid) {
        sortBy(2, 2)(grid);
        sortBy(1, 1)(grid);
    });
    QTest::newRow("cell edited and marked, then sorted") << 0 << GridOperation([sortBy](FlexGrid &grid) {
        grid.setTextMatrix(5, 1, u"zz edited"_s);
        grid.setRowMark(7, u"marked"_s);
        sortBy(1, 2)(grid);
        grid.setTextMatrix(2, 0, u"after"_s);
    });
    QTest::newRow("row removed after a sort") << 0 << GridOperation([sortBy](FlexGrid &grid) {
        sortBy(1, 1)(grid);
        grid.RemoveItem(3);
    });
    QTest::newRow("row added") << 1 << GridOperation([](FlexGrid &grid) { grid.AddItem(u"a\tb\tc"_s); });
    QTest::newRow("fewer columns, then more") << 0 << GridOperation([](FlexGrid &grid) {
        grid.setCols(2);
        grid.setCols(6);
    });
    QTest::newRow("fewer rows") << 0 << GridOperation([](FlexGrid &grid) { grid.setRows(40); });
}

// A grid showing a client cursor's rows in place must read, sort and change exactly as a grid
// the rows were copied into by hand (AddItem, then TextMatrix per value), the way large
// results used to be shown.
void TestFlexGrid::sharedRowsReadLikeAHandCopy()
{
    QFETCH(int, firstCol);
    QFETCH(GridOperation, operation);
    condora::test::SqliteFile file(
        {u"create table t (id integer, name varchar(20), amount double, note text)"_s,
         u"with recursive n(i) as (select 1 union all select i + 1 from n where i < 300) insert into t "
         "select i, 'n' || (i * 7 % 13), case when i % 10 = 0 then null else i * 0.25 end, "
         "case when i % 3 = 0 then null else 'x' || i end from n"_s});
    const auto connection = file.open();
    connection->setCursorLocation(ado::adUseClient);
    const QString sql = u"select id, name, amount, note from t order by id"_s;
    ado::Recordset recordset;
    recordset.Open(sql, connection);
    constexpr int Fields = 4;

    const auto prepare = [firstCol](FlexGrid &grid) {
        fill(grid, 4, 3); // something to replace
        grid.setRows(1);
        grid.setRows(2);
        grid.setCols(Fields + 1);
        grid.setFixedCols(firstCol);
        for (int col = 0; col <= Fields; ++col) {
            grid.setTextMatrix(0, col, QString());
        }
    };
    FlexGrid shared;
    prepare(shared);
    QAbstractItemModelTester tester(shared.view()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    shared.showRows(recordset.rowSource(), firstCol);
    recordset.Close(); // the grid keeps its share

    FlexGrid copy;
    prepare(copy);
    QSqlQuery oracle(connection->database());
    QVERIFY(oracle.exec(sql));
    int row = 0;
    while (oracle.next()) {
        ++row;
        copy.AddItem(QString());
        for (int field = 0; field < Fields && firstCol + field < copy.Cols(); ++field) {
            const QVariant value = oracle.value(field);
            copy.setTextMatrix(row, firstCol + field, value.isNull() ? QString() : value.toString());
        }
    }
    copy.RemoveItem(copy.Rows() - 1);
    QCOMPARE(row, 300);
    QCOMPARE(shared.Rows(), 301);
    QVERIFY(!shared.isBoundPending());

    operation(shared);
    operation(copy);
    QCOMPARE(shared.Rows(), copy.Rows());
    QCOMPARE(shared.Cols(), copy.Cols());
    QCOMPARE(shared.FixedCols(), copy.FixedCols());
    for (int r = 0; r < copy.Rows(); ++r) {
        QCOMPARE(shared.RowMark(r), copy.RowMark(r));
        for (int c = 0; c < copy.Cols(); ++c) {
            const QString where = u"(%1, %2)"_s.arg(r).arg(c);
            QVERIFY2(shared.TextMatrix(r, c) == copy.TextMatrix(r, c),
                     qPrintable(where + u": "_s + shared.TextMatrix(r, c) + u" / "_s + copy.TextMatrix(r, c)));
        }
    }
}

CONDORA_TEST_MAIN(TestFlexGrid)
#include "tst_flexgrid.moc"
