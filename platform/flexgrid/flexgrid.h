#pragma once

#include "platform/olecolor.h"

#include <QFont>
#include <QWidget>

#include <memory>

class QTableView;

namespace condora::ado {
class Recordset;
class RowSource;
} // namespace condora::ado

namespace condora {

class FlexGridModel;

/// The flex grid: a widget holding a QTableView over a compact model of its own, offering the
/// classic flex-grid operations by their names. Rows and columns are 0-based; row 0 is the
/// fixed (title) row wherever the library uses the grid, and stays in place while the data
/// rows scroll. Sizes and positions are in twips (15 per device-independent pixel).
/// The grid is never typed into. Out-of-range rows or columns throw RuntimeError
/// (subscript out of range, 9); negative counts and sizes throw invalid argument (5).
///
/// A new grid has Rows 2, Cols 2, FixedRows 1, FixedCols 0, Row 1, Col 0, columns 975 twips
/// wide, light grey (RGB 192, 192, 192) grid lines, window colours for the cells, button face
/// for fixed cells, the background and the unpopulated area, highlight colours for the selection.
/// When FixedRows >= 1, row 0 is shown as the view's header: it stays in place while the other
/// rows scroll. Further fixed rows and the fixed columns are painted in the fixed colours.
/// The user moves the current cell with the left or middle button or the keyboard and extends
/// the selection by dragging or with Shift; a right click leaves the current cell alone, and a
/// click on the title row changes neither Row nor Col.
class FlexGrid : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString FormatString READ FormatString WRITE setFormatString)
    Q_PROPERTY(int Rows READ Rows WRITE setRows)
    Q_PROPERTY(int Cols READ Cols WRITE setCols)
    Q_PROPERTY(int FixedRows READ FixedRows WRITE setFixedRows)
    Q_PROPERTY(int FixedCols READ FixedCols WRITE setFixedCols)
    Q_PROPERTY(int Row READ Row WRITE setRow)
    Q_PROPERTY(int Col READ Col WRITE setCol)
    Q_PROPERTY(int RowSel READ RowSel WRITE setRowSel)
    Q_PROPERTY(int ColSel READ ColSel WRITE setColSel)
    Q_PROPERTY(QString ToolTipText READ ToolTipText WRITE setToolTipText)

public:
    explicit FlexGrid(QWidget *parent = nullptr);
    ~FlexGrid() override;

    // Structure -----------------------------------------------------------------------------
    /// "|" separates columns; a leading "<" aligns a column left; the rest is the header text.
    /// Setting it sets Cols, creates the header row (row 0) with those texts and keeps Rows >= 1.
    QString FormatString() const;
    void setFormatString(const QString &format);

    int Rows() const;
    void setRows(int rows);       // keeps the cells that remain; new cells are empty
    int Cols() const;
    void setCols(int cols);
    int FixedRows() const;
    void setFixedRows(int rows);  // 0 or 1 in practice; at most Rows()
    int FixedCols() const;
    void setFixedCols(int cols);  // at most Cols()

    // Current cell and selection --------------------------------------------------------------
    // Setting them selects the block in the view without scrolling it (the user scrolls).
    int Row() const;
    void setRow(int row);         // also sets RowSel to row
    int Col() const;
    void setCol(int col);         // also sets ColSel to col
    int RowSel() const;
    void setRowSel(int row);
    int ColSel() const;
    void setColSel(int col);

    // Cells ---------------------------------------------------------------------------------
    QString TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString &text);
    /// The text that bound cells holding SQL NULL show (TextMatrix reads it too); empty, the
    /// default, shows them empty. While it is set, such cells stay NULL (isNullCell) also when
    /// sorting moves or appending copies the rows, until their text is set.
    QString NullText() const;
    void setNullText(const QString &text);
    /// True for a cell that holds SQL NULL from a bound source (only while NullText is set).
    bool isNullCell(int row, int col) const;

    /// Twips, whole pixels (the height shown). A negative height restores the default.
    int RowHeight(int row) const;
    void setRowHeight(int row, int twips);
    /// Twips as set (shown rounded to whole pixels); 0 hides the column, a negative width
    /// restores the default.
    int ColWidth(int col) const;
    void setColWidth(int col, int twips);
    /// Column alignment as set by FormatString (true: left).
    bool ColAlignmentLeft(int col) const;

    // The current cell (Row, Col) ---------------------------------------------------------------
    // Position and size are where the cell is drawn now (scrolling moves them; a hidden column
    // gives width 0), in the same coordinates as MouseUp's x and y. Colours and font read back
    // what was set for the cell, or the grid's style (fixed or scrollable) when nothing was.
    int CellLeft() const;    // twips, relative to the grid widget
    int CellTop() const;
    int CellWidth() const;
    int CellHeight() const;
    OleColor CellForeColor() const;
    void setCellForeColor(OleColor color);
    OleColor CellBackColor() const;
    void setCellBackColor(OleColor color);
    bool CellFontBold() const;
    void setCellFontBold(bool bold);
    double CellFontSize() const;
    void setCellFontSize(double points);

    /// The colours cell (row, col) is painted in now: the selection colours for a selected
    /// cell, else the cell's own colours or the grid's style. A selection background in system
    /// colours is darkened or lightened until the selected text reads at 4.5:1 or better; colours
    /// the host gave as RGB values are painted as given.
    QColor shownForeColor(int row, int col) const;
    QColor shownBackColor(int row, int col) const;

    /// A short note that assistive technology reads with every cell of the row (each cell's
    /// accessible description is "Row n, column title, note"); empty by default. It moves
    /// with its row when rows are removed or sorted.
    QString RowMark(int row) const;
    void setRowMark(int row, const QString &mark);

    // Rows ----------------------------------------------------------------------------------
    /// Appends a row; tab-separated text fills its cells from column 0 (parts beyond Cols are
    /// dropped). The current cell and the selection stay.
    void AddItem(const QString &text);
    /// Removes a row below the fixed rows (a fixed row throws invalid argument). Row and RowSel
    /// keep their numbers, clamped to the new last row.
    void RemoveItem(int row);

    /// 1: generic ascending, 2: generic descending, on the rows below the fixed rows, by Col().
    /// Per pair of values: both read as numbers -> numeric comparison (so 2 < 10); otherwise
    /// numbers sort before text, and texts compare case-insensitively (then case-sensitively as
    /// tie-break). A number is C-locale notation ("-1.5", "1e3"), blanks around it ignored, no
    /// group separators; an empty cell counts as text (after the numbers, before other texts).
    /// Descending is the exact reverse. The sort is stable; rows move whole, with their formats.
    /// Row, Col and the selection keep their positions.
    /// 0 does nothing; other values throw invalid argument. Sorting a bound grid fetches
    /// all of its rows first.
    void setSort(int order);

    // Binding -------------------------------------------------------------------------------
    /// Binds an open recordset: one column per field, the header row (row 0, fixed) holds the
    /// field names, one data row per record. Rows are fetched from the recordset's shared
    /// RowSource in chunks as the view needs them; the recordset may be closed afterwards.
    /// An empty result gives the header row plus one empty data row. FixedRows becomes 1;
    /// Rows() counts the rows fetched so far (fetchAll() makes it exact). A source that fails
    /// while fetching keeps the rows it delivered. Editing cells of a bound grid keeps it
    /// bound; AddItem, RemoveItem, Sort and growing Rows fetch the rest first.
    /// Throws object-not-set (91) for a closed recordset.
    void setRecordset(const ado::Recordset &recordset);
    /// Binds a row source directly (what setRecordset does with the recordset's source).
    void setRowSource(std::shared_ptr<ado::RowSource> source);
    /// Shows a source's rows below row 0 without copying them, as a copy by hand would fill
    /// the grid (AddItem per record, then TextMatrix(row, firstCol + field) = the value's text):
    /// row 0, Cols, FixedRows, FixedCols, the column widths and the current cell stay as they
    /// are; row i (from 1) shows the source's row i - 1, each value as QVariant::toString()
    /// gives it and NULL as an empty cell; fields beyond the last column are not shown. Every
    /// row the source has fetched counts in Rows() at once (a client cursor's: all of them).
    /// A source without rows leaves one empty data row. The rows stay shared with the source
    /// (sorting reorders them without a copy; editing a cell copies that row only).
    /// Throws object-not-set (91) for a null source; Rows() must be at least 1.
    void showRows(std::shared_ptr<ado::RowSource> source, int firstCol);
    /// How many rows binding fetches at once (64 unless set; at least 1). A grid that shows
    /// fewer rows may fetch just those: the first paint comes sooner, and the view asks for
    /// the next rows as it scrolls.
    int FirstFetchRows() const;
    void setFirstFetchRows(int rows);
    /// True while the grid shows a bound source whose rows are not all fetched yet.
    bool isBoundPending() const;
    /// Fetches every remaining row of a bound source (Rows() is then exact).
    void fetchAll();
    /// Fetches up to `count` more rows of a bound source, as the view does when it scrolls;
    /// returns how many came.
    int fetchRows(int count);
    /// The database's message when the bound statement failed part-way: the rows shown are
    /// then only the first part of its result. Empty otherwise; cleared by the next binding
    /// and when Rows is set to 1 or less. FetchError announces it.
    QString fetchError() const;

    // Style ---------------------------------------------------------------------------------
    /// Font: scrollable cells (the widget's own font, inherited from its parent until set).
    /// FontFixed: fixed cells (follows Font until set).
    QFont Font() const;
    void setFont(const QFont &font);
    QFont FontFixed() const;
    void setFontFixed(const QFont &font);
    OleColor GridColor() const;
    void setGridColor(OleColor color);
    OleColor GridColorFixed() const;
    void setGridColorFixed(OleColor color);
    OleColor GridColorUnpopulated() const;
    void setGridColorUnpopulated(OleColor color);
    OleColor ForeColor() const;
    void setForeColor(OleColor color);
    OleColor ForeColorFixed() const;
    void setForeColorFixed(OleColor color);
    OleColor ForeColorSel() const;
    void setForeColorSel(OleColor color);
    OleColor BackColor() const;
    void setBackColor(OleColor color);
    OleColor BackColorBkg() const;
    void setBackColorBkg(OleColor color);
    OleColor BackColorFixed() const;
    void setBackColorFixed(OleColor color);
    OleColor BackColorSel() const;
    void setBackColorSel(OleColor color);
    OleColor BackColorUnpopulated() const;
    void setBackColorUnpopulated(OleColor color);

    QString ToolTipText() const;
    void setToolTipText(const QString &text);

    ///@{
    /// False (the default): text wider than its cell is cut at the cell's edge. True: it ends in
    /// "..." and the cell's tool tip shows it whole.
    bool textElided() const;
    void setTextElided(bool elided);
    ///@}

    // Geometry in twips (relative to the parent widget) ----------------------------------------
    int Left() const;
    void setLeft(int twips);
    int Top() const;
    void setTop(int twips);
    int Width() const;
    void setWidth(int twips);
    int Height() const;
    void setHeight(int twips);

    /// The table view inside (for tests and hosts that need Qt-level access).
    QTableView *view() const;

Q_SIGNALS:
    /// A mouse button was released over the grid: button 1 left, 2 right, 4 middle; shift as
    /// a bit set (1 Shift, 2 Ctrl, 4 Alt); x and y in twips in the grid's own coordinates.
    /// Emitted after the current cell has moved to the clicked cell.
    void MouseUp(int button, int shift, int x, int y);
    /// The data rows or columns scrolled.
    void Scroll();
    /// The bound statement failed part-way with the database's message `description`
    /// (see fetchError()). Emitted once per binding, from the event loop after the failure was
    /// noticed (never from inside a fetch), so that the owning window can report it; the grid
    /// shows no message itself.
    void FetchError(const QString &description);

protected:
    void changeEvent(QEvent *event) override;

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace condora
