#pragma once

#include "analysis/queryrun.h"
#include "dialog/valuesearch.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QString>

#include <memory>
#include <optional>

class QCheckBox;
class QKeyEvent;
class QLabel;
class QPushButton;
class QLineEdit;
class QTimer;

namespace condora {

class BusyScope;
class CountBarDelegate;
class FlexGrid;

namespace ado {
class RowSource;
class WorkerStop;
}

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
///
/// Each value is listed as the database holds it: numbers in full (exact decimals keep every
/// digit), and NULL as the entry "(null)" (NullEntry), which picks no value but pickedNull().
/// A statement that fails while the list loads, also part-way while the grid fetches the
/// rows as they are shown, is reported once through the shared error report; the list is
/// then emptied (a partial list would pass for the whole one) and a click picks nothing.
///
/// Above the list, the search field txtSearch has the focus when the window opens: at every
/// keystroke the list narrows to the values that contain the typed text
/// (case-insensitively, every character standing for itself; see ValueSearchMethod for each
/// database's case folding), on the database and within the host's filter. The field takes
/// keys also while a search runs: a keystroke then stops that search, whose list would be
/// outdated, and the list follows the text as it stands, with no message (Tab and the up and
/// down keys do nothing until a list is there; Enter picks from the list once it is there).
/// Down moves into
/// the list (one row on), Enter picks the current value (the first when none is current).
/// The title sorts by the column's type (numbers numerically, dates chronologically, text by
/// the user's collation, NULL first ascending) with an indicator in the title; the first click
/// on a column sorts descending. The check box chkCounts adds the column "Rows" with the
/// number of rows holding each value (one GROUP BY statement), drawn over a proportional bar
/// and sortable the same way. lblCount says how many values are listed ("n+ values" while more
/// are still to come).
///
/// For the rest of the process (the session) the picker remembers whether chkCounts is on
/// (off at first) and, once the user has moved or resized it, its size and position, which
/// then take precedence over where its owner places it; resetSession() forgets both.
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

    /// 0 before the first title click, then alternately 1 (descending) and 2 (ascending);
    /// a click on another column's title starts again at 1.
    int sortState() const { return m_sortState; }
    /// How the list shown was read.
    enum class ValueListMode {
        /// One statement (SELECT DISTINCT, or the search's, the counts' or the narrowing's).
        Plain,
        /// From an index that leads with the column, in order, one seek per value (for a
        /// search each value tested as it is found); the list grows while the window waits
        /// for the user until it holds every value (QueryRun's fastValueLists).
        Ordered,
        /// Where no index leads with the column (QueryRun's fastValueLists): the values of a
        /// sample of the table's rows, shown at once and marked as such ("n+ values
        /// (sample)"), while the plain statement runs on the run's worker thread; its list then
        /// takes the sample's place (the mode becomes Plain), keeping the current value and the
        /// scroll position.
        Sampled,
    };
    ValueListMode listMode() const { return m_listMode; }
    /// True while "Rows per value" shows counts the database estimates ("~123", on PostgreSQL
    /// with fastValueLists), before the exact counts replace them.
    bool countsEstimated() const;

    /// The column the list is sorted by: -1 before the first title click, 0 the values, 1 the
    /// counts.
    int sortColumn() const { return m_sortColumn; }

    /// Offers the switch "Only values matching the other rows" (chkNarrow): `statement` is the
    /// base statement with the other rows' condition, `column` the picked column's name in it,
    /// quoted. Without a call (or with an empty statement) the switch stays hidden.
    void setNarrowing(const QString &statement, const QString &column);

    /// Lets the user pick several values (for "in" and "not in"), starting with `chosen`: a
    /// click on a value, or Space on the current one, adds it to the chosen values or takes it
    /// out again (the NULL entry cannot be chosen), lblChosen shows them, and Enter or the button
    /// cmdPickChosen picks them all (the current value alone when none is chosen) and closes.
    void setMultiplePicks(const QStringList &chosen);
    /// The values picked in that mode, in the order they were chosen; empty without a pick.
    QStringList pickedValues() const { return m_pickedList; }
    /// The values chosen so far in that mode.
    QStringList chosenValues() const { return m_chosen; }

    /// Forgets what pickers remember for the session (the counts switch and the geometry).
    static void resetSession();

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
    void hideEvent(QHideEvent *event) override;

private:
    /// Styles the window, sets the grid's title and loads the values.
    void Form_Activate();
    void Form_Resize();
    void iniGrid();
    /// The width in twips the widest of the first listed values and the title need.
    int widestValue() const;
    void loadValues(const QString &title, const QString &tabAlias);
    /// The statement a list takes with FastValueLists (a plain table column, not narrowed): the
    /// walk of an index that leads with the column, a trigram search, the table's own counts
    /// (estimated first on PostgreSQL) or a sample; `plain` where none of them applies. Sets
    /// the list's mode and the exact counts to come.
    QString fastStatement(ado::Connection &connection, const ColumnInfo &column, ValueListRequest request,
                          ValueSearchMethod method, const QString &fromClause, const QString &plain);
    /// Where the user is in the list: the value they moved to (and its row's distance from the
    /// top of the window while it showed), and the first row shown.
    struct Place
    {
        std::optional<QString> value;
        bool null = false;
        int offset = -1;
        int top = 0;
    };
    Place notePlace() const;
    /// Puts the user back at `place` in a list that took the place of the one they were in.
    void keepPlace(const Place &place);
    /// A title click sorts; a click on a value picks it and closes.
    void MSFlexGrid1_MouseUp(int button, int shift, int x, int y);
    /// Reports a statement that failed while the list loaded and empties the list (once).
    void failList(const QString &description);
    /// Empties the list after a failure: no value to pick, and none shown that is not listed.
    void emptyList();
    /// The picked cell's text in the form a condition compares exactly.
    QString pickText(int row) const;
    /// Picks the value of the grid's current row (the first on the title row) and closes;
    /// an empty list picks nothing and stays open.
    void pickCurrent();
    /// Lists the values again for the search text and the switches, and sorts them again; what
    /// runs for the outdated list meanwhile stops first.
    void reloadValues();
    /// The list again when it is outdated and the window shows (at once, or once the routine
    /// that serves the outdated list has returned).
    void reloadIfPending();
    /// A moment after a list is there (its first rows, those it shows, are painted by then,
    /// and typing has paused): its rows up to the first 64, so that a short list shows its
    /// exact count and the column is as wide as those values need.
    void fetchMoreRows();
    /// Picks the current value of the list for the search text as it stands (Enter in the
    /// search field): at once, or once what runs now has ended.
    void pickWhenListed();
    /// Sorts the listed values by column m_sortColumn in the direction of m_sortState.
    void applySort();
    void updateCountLabel();
    /// An ordered list: fetches its next values while the window has nothing else to do, until
    /// it is complete.
    void growList();
    /// A sampled list: the exact list made meanwhile takes its place (or its failure is reported).
    void exactListArrived(std::shared_ptr<ado::RowSource> rows, const QString &failure);
    /// Widens the window where the sample's count label would not fit.
    void fitSampleLabel();
    /// Stops making the exact list of a sampled one.
    void stopExactList();
    /// A list with estimated counts: runs the exact counts' statement and shows its rows (every
    /// value, in the same order, with its exact count) in place of the estimates.
    void countExactly();
    /// The search field: Down moves into the list, Enter picks.
    bool searchKey(QKeyEvent *event);
    /// Several values: adds the value of `row` to the chosen ones or takes it out.
    void toggleChosen(int row);
    void updateChosenLabel();

    QueryRun m_run;
    std::unique_ptr<BusyScope> m_busy; // the busy state while the picker's statements run
    std::optional<QString> m_picked;
    bool m_pickedNull = false;
    bool m_listFailed = false;
    bool m_singlePrecision = false; // the listed column holds single-precision floating values
    FlexGrid *m_grid = nullptr;
    QString m_headTitle;
    QString m_colIndex;
    QString m_tabAlias;
    int m_sortState = 0;
    int m_sortColumn = -1;
    QLineEdit *m_search = nullptr;
    QLabel *m_count = nullptr;
    QCheckBox *m_chkCounts = nullptr;
    QCheckBox *m_chkNarrow = nullptr;
    bool m_multiple = false;
    QStringList m_chosen;
    QStringList m_pickedList;
    QLabel *m_chosenLabel = nullptr;
    QPushButton *m_pickChosen = nullptr;
    QString m_narrowing;
    QString m_narrowingColumn;
    bool m_reloadPending = false; // the list shown is outdated (a keystroke came while it loaded)
    qint64 m_lastListMs = 0;        // how long the last list took to load
    QElapsedTimer m_sinceListed;    // since it was there
    QTimer *m_keysHeldBack = nullptr; // keys that came the moment a long list was there
    QTimer *m_moreRows = nullptr;     // fetchMoreRows() a moment after a list is there
    QTimer *m_growList = nullptr;     // growList() while an ordered list is incomplete
    ValueListMode m_listMode = ValueListMode::Plain;
    bool m_indexChecked = false; // whether an index leads with the column was looked up
    bool m_indexLeads = false;
    bool m_walkAll = false; // the statistics say a walk over every value reads less than a pass
    std::optional<QString> m_sqliteIndex; // SQLite: an ascending index leading with the column ("": the rowid)
    std::shared_ptr<ado::WorkerStop> m_exactList; // the exact list being made for a sampled one
    std::optional<bool> m_trigram; // whether a trigram index covers the column, once looked up
    std::optional<bool> m_statistics; // whether the database keeps statistics of the column
    QString m_exactCounts;          // the statement of the exact counts, until it has run
    bool m_countsEstimated = false; // the list shows estimated counts
    CountBarDelegate *m_countBars = nullptr;
    // The largest count of the rows of m_largestOf read so far (the first m_largestRows).
    std::weak_ptr<ado::RowSource> m_largestOf;
    int m_largestRows = 0;
    qint64 m_largest = 0;
    std::shared_ptr<ado::RowSource> m_rows; // the listed rows as the statement gave them
    TypeClass m_typeClass = TypeClass::None;
    QRect m_shownGeometry;                 // where the window opened, to notice a user's move
};

} // namespace condora
