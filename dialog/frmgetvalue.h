#pragma once

#include "analysis/queryrun.h"

#include <QDialog>
#include <QString>

#include <optional>

namespace condora {

class FlexGrid;

/// The statement that lists the values of a catalog column: "select distinct " + colExpr +
/// " from " + tabName + " " + filterClause; long text ("lstring") columns without DISTINCT.
/// An expression column lists the values of its whole expression over the base statement's
/// from clause `fromClause` instead (when one is given). On PostgreSQL (`product`) a timestamp or
/// time column is listed as cast(... as text), the server's own text to the microsecond and in
/// the session's time zone.
QString valueListSql(const ColumnInfo &column, const QString &fromClause = QString(),
                                   DbProduct product = DbProduct::Other);

/// The value picker: a small modal window (caption "value") whose grid MSFlexGrid1 lists the
/// values that one column takes in the database, restricted by the host's filter for that
/// column. A click on the title sorts the values (descending first, then ascending, and so
/// on); a click on a value, or Enter on the current one, picks it (pickedValue()) and closes;
/// a click on the empty area below the values does nothing, and Escape closes without a pick.
/// The list has the focus when the window opens.
///
/// Each value is listed as the database holds it: numbers in full (exact decimals keep every
/// digit), and NULL as the entry "(null)" (NullEntry), which picks no value but pickedNull().
/// A statement that fails while the list loads, also part-way while the grid fetches the
/// rows as they are shown, is reported once through the shared error report; the list is
/// then emptied (a partial list would pass for the whole one) and a click picks nothing.
///
/// Set headTitle and P_colIndex (and optionally P_tabAlias) before showing it. The list is
/// loaded each time the window is shown. Created for one showing and discarded afterwards.
class frmGetValue : public QDialog
{
    Q_OBJECT

public:
    /// Lists values of a column of `run`'s catalog, on `run`'s connection.
    explicit frmGetValue(QueryRun run, QWidget *parent = nullptr);
    ~frmGetValue() override;

    QString headTitle() const { return m_headTitle; }
    void setHeadTitle(const QString &title) { m_headTitle = title; }
    /// The column's position in fieldCatalog as decimal text; empty or "-1" loads nothing.
    QString P_colIndex() const { return m_colIndex; }
    void setP_colIndex(const QString &colIndex) { m_colIndex = colIndex; }
    /// Passed on to the loading routine; the statement does not use it.
    QString P_tabAlias() const { return m_tabAlias; }
    void setP_tabAlias(const QString &tabAlias) { m_tabAlias = tabAlias; }

    /// The value the user picked, read after exec(); nullopt when the picker closed without one
    /// or the NULL entry was picked. A single-precision floating value is given with the digits
    /// that make a comparison with the column's value hold (0.1 stored as real picks
    /// "0.10000000149011612", the value the database compares it as).
    std::optional<QString> pickedValue() const { return m_picked; }
    /// True when the user picked the NULL entry: the condition asks "is null".
    bool pickedNull() const { return m_pickedNull; }
    /// The entry that stands for NULL in the list.
    static QString nullEntry();
    /// True when loading the list failed (it was reported, and the list emptied).
    bool listFailed() const { return m_listFailed; }

    /// 0 before the first title click, then alternately 1 (descending) and 2 (ascending).
    int sortState() const { return m_sortState; }

    /// The design client size in twips.
    static constexpr int DesignClientWidth = 3600;
    static constexpr int DesignClientHeight = 4200;
    /// The column is widened to its widest value, up to this many times its design width.
    static constexpr int MaxWidthFactor = 4;
    /// How many of the first values are measured for the column width.
    static constexpr int MeasuredRows = 200;
    /// How many characters of a value are measured at most.
    static constexpr int MeasuredCharacters = 500;
    /// Pixels beside a value's text in its cell.
    static constexpr int ValuePadding = 12;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    /// Styles the window, sets the grid's title and loads the values.
    void Form_Activate();
    void Form_Resize();
    void iniGrid();
    /// The width in twips the widest of the first listed values and the title need.
    int widestValue() const;
    void loadValues(const QString &title, const QString &tabAlias);
    /// A title click sorts; a click on a value picks it and closes.
    void MSFlexGrid1_MouseUp(int button, int shift, int x, int y);
    /// Reports a statement that failed while the list loaded and empties the list (once).
    void failList(const QString &description);
    /// The picked cell's text in the form a condition compares exactly.
    QString pickText(int row) const;
    /// Picks the value of the grid's current row (none on the title row) and closes.
    void pickCurrent();

    QueryRun m_run;
    std::optional<QString> m_picked;
    bool m_pickedNull = false;
    bool m_listFailed = false;
    bool m_singlePrecision = false; // the listed column holds single-precision floating values
    FlexGrid *m_grid = nullptr;
    QString m_headTitle;
    QString m_colIndex;
    QString m_tabAlias;
    int m_sortState = 0;
};

} // namespace condora
