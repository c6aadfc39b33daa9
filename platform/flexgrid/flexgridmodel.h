#pragma once

#include "platform/olecolor.h"

#include <QAbstractTableModel>
#include <QBitArray>
#include <QFont>
#include <QList>
#include <QString>

#include <memory>
#include <unordered_map>
#include <vector>

namespace condora::ado {
class RowSource;
}

namespace condora {

/// How a column aligns its text; General puts numbers right and texts left.
enum class ColumnAlignment : quint8 { General, Left, Center, Right };

/// The formatting a single cell carries of its own; unset parts follow the grid's style.
struct CellFormat
{
    enum Flag : quint8 { HasFore = 1, HasBack = 2, HasBold = 4, Bold = 8, HasSize = 16 };
    quint32 fore = 0;
    quint32 back = 0;
    float size = 0;
    quint8 flags = 0;

    bool has(Flag flag) const { return (flags & flag) != 0; }
};

/// The cells of a FlexGrid, addressed by grid row (0 = the title row) and column.
///
/// Storage is compact: one text list per local row (shorter than the column count when its
/// trailing cells are empty) and a format list only for rows that have formatted cells.
/// A bound RowSource adds a segment of rows after the local ones whose texts stay in the
/// source's own cache; only rows edited in place get a local copy. Sorting the bound rows
/// fetches the rest of the source and reorders them through an index, without copying them;
/// removing and appending rows (and sorting that takes in local rows too) copy them locally.
///
/// As a Qt model it shows the rows below the title row: when FixedRows >= 1, grid row 0 is
/// served as the horizontal header (so it stays put while the rows scroll) and model row i is
/// grid row i + 1; with FixedRows 0 every grid row is a model row.
///
/// The grid checks every index before calling in; the model assumes them valid.
class FlexGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    /// Rows fetched from a bound source per step of the view's incremental fetching.
    static constexpr int FetchChunk = 256;
    /// Rows fetched when a source is bound: a first screen of a tall grid. The view asks for
    /// more as it needs them.
    static constexpr int FirstFetchChunk = 64;

    explicit FlexGridModel(QObject *parent = nullptr);
    ~FlexGridModel() override;

    int rows() const { return int(m_rows.size()) + m_boundCount; }
    int cols() const { return m_cols; }
    int fixedRows() const { return m_fixedRows; }
    int fixedCols() const { return m_fixedCols; }
    /// 1 when grid row 0 is served as the header, else 0 (model row = grid row - headerRows()).
    int headerRows() const { return m_fixedRows > 0 ? 1 : 0; }
    bool isFixed(int row, int col) const { return row < m_fixedRows || col < m_fixedCols; }

    QString text(int row, int col) const;
    void setText(int row, int col, const QString &text);
    CellFormat format(int row, int col) const;
    void setFormat(int row, int col, const CellFormat &format);
    /// A note read with each cell of the row (see FlexGrid::RowMark); it moves with its row.
    QString rowMark(int row) const;
    void setRowMark(int row, const QString &mark);
    ColumnAlignment alignment(int col) const { return m_alignment.value(col); }
    void setAlignment(int col, ColumnAlignment alignment);
    /// The font a cell is drawn with: Font or FontFixed with the cell's bold and size applied.
    QFont cellFont(int row, int col) const;

    void setRowCount(int rows);
    void setColCount(int cols);
    void setFixedRows(int rows);
    void setFixedCols(int cols);
    void appendRow(const QStringList &texts);
    void removeRow(int row);
    /// Stable generic sort of rows firstRow..rows()-1 by `col` (see genericCompare()).
    void sortRows(int firstRow, int col, bool descending);

    /// Replaces everything by a title row with the source's column names and the source's rows,
    /// fetched lazily (the first `firstRows` at once). An empty result gives one empty data row.
    void bind(std::shared_ptr<ado::RowSource> source, int firstRows = FirstFetchChunk);
    /// Shows the source's rows below row 0 without copying them: row 0, the columns and their
    /// count stay, grid row i (i >= 1) shows the source's row i - 1 with its column c in grid
    /// column firstCol + c (cells beyond the last column are not shown), each as its value's
    /// QVariant::toString() text, NULL as an empty cell (not tracked as NULL). Every row the
    /// source has fetched is a grid row at once, in one model reset; rows still to come are
    /// fetched as the view asks, as with bind(). Row 0 must exist (Rows() >= 1).
    void share(std::shared_ptr<ado::RowSource> source, int firstCol);
    bool isBound() const { return bool(m_source); }
    /// True while rows of the bound source remain to be fetched.
    bool isBoundPending() const;
    /// Fetches every remaining row of the bound source.
    void fetchAll();
    /// Fetches up to `count` more rows of the bound source; returns how many came.
    int fetchRows(int count) { return m_changing ? 0 : fetchChunk(count); }
    /// The database's message when the bound source's statement failed part-way (the rows
    /// shown are only the first part of its result); empty otherwise. Kept when the rows are
    /// copied locally; cleared by the next bind() and when the rows are cut to one or none.
    QString fetchError() const { return m_fetchError; }

    /// The text that cells holding SQL NULL show; empty (the default) shows them empty and
    /// does not track them. While it is set, bound NULL cells keep being NULL (isNull())
    /// when they are copied locally (sorting, appending), until their text is set.
    void setNullText(const QString &text);
    QString nullText() const { return m_nullText; }
    bool isNull(int row, int col) const;

    void setFonts(const QFont &font, const QFont &fontFixed);
    void setToolTip(const QString &toolTip);

    // QAbstractItemModel
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

Q_SIGNALS:
    /// The bound source's statement failed part-way; emitted once per binding, right where
    /// the failure is noticed (possibly inside a view's own fetch).
    void fetchFailed(const QString &message);

private:
    struct Row
    {
        QList<QString> texts;
        QList<CellFormat> formats;
        QBitArray nulls; // cells holding SQL NULL (only while a null text is set)
        QString mark;
    };

    int head() const { return int(m_rows.size()); }
    /// The source row shown at a bound position (positions count from the first bound row).
    int sourceIndex(int position) const { return m_order.empty() ? position : m_order[size_t(position)]; }
    /// Counts `added` more bound rows as shown.
    void announce(int added);
    const Row *localRow(int row) const;
    Row &mutableRow(int row);
    Row sourceRow(int sourceIndex) const;
    QString sourceText(int sourceIndex, int col) const;
    /// Announces up to `limit` more rows of the bound source, fetching when needed.
    int fetchChunk(int limit);
    int sourceFetched() const;
    bool sourceAtEnd() const;
    /// Turns the first `keep` bound rows into local rows and drops the source (no signals).
    void detach(int keep);
    /// Records the bound source's failure once it has ended with one.
    void noteSourceFailure();
    bool sourceNull(int sourceIndex, int col) const;
    /// fetchAll() then detach(all): the grid becomes purely local.
    void materialize();
    QVariant cellData(int row, int col, int role) const;
    void emitCellChanged(int row, int col);
    void emitAllChanged();

    std::vector<Row> m_rows;
    int m_cols = 0;
    int m_fixedRows = 0;
    int m_fixedCols = 0;
    QList<ColumnAlignment> m_alignment;

    std::shared_ptr<ado::RowSource> m_source;
    int m_boundCount = 0;     // bound rows announced to views
    int m_sourceColumns = 0;  // source columns still shown (shrinks with Cols, never grows)
    int m_sourceFirstCol = 0; // the grid column of the source's column 0
    bool m_plainText = false; // share(): cells as QVariant::toString(), NULLs not tracked
    std::vector<int> m_order; // source row per bound position once sorted; empty: in source order
    bool m_sourceFailed = false;
    QString m_fetchError;
    QString m_nullText;
    // Set while the model changes its rows; views and testers that call fetchMore() from a
    // change notification must not start another change inside it.
    bool m_changing = false;
    std::unordered_map<int, Row> m_edited; // bound rows edited in place, by source row (not position)

    QFont m_font;
    QFont m_fontFixed;
    QString m_toolTip;
};

} // namespace condora
