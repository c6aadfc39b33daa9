#pragma once

#include "analysis/queryrun.h"
#include "analysis/typeclass.h"
#include "condition/conditionrow.h"
#include "platform/userinteraction.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <utility>

class QCheckBox;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace condora {

class BusyScope;
class FlexGrid;
class frmGetValue;
class LiveCount;

/// The query dialog: the user builds the WHERE condition of a query run as rows of the grid
/// `MFGQuery` and confirms it with OK.
///
/// It works on the query run it is given (base statement, database kind, field catalog,
/// connection, style) and keeps nothing else. While it is open every edit recomposes the final
/// statement (resultSql()); OK leaves the tested statement there, Cancel and the close box (or
/// Escape) empty it, and every close empties the host's filter list (hostFilterList()). Read
/// resultSql() after exec(). The dialog is created for one showing and discarded afterwards.
///
/// Its controls carry their names as objectName: Label1, chkSqlShow, Label2, MFGQuery,
/// txtCondition, txtValue, comItem, cmdGetValue, cmdAdd, cmdDel, cmdOK, cmdCancel, cmdVerify;
/// cboRecent too when the run offers recent conditions, lblLiveCount when it counts live.
class frmCondora : public QDialog
{
    Q_OBJECT

public:
    explicit frmCondora(QueryRun run, QWidget *parent = nullptr);
    ~frmCondora() override;

    /// Shows the SQL preview under the grid (true) or hides it (false).
    void showSql(bool showTag);
    /// Fills the fixed choice lists (operators, logical words, brackets).
    void iniValue();

    /// The final statement: while the dialog is open the one composed from the grid so far;
    /// after OK the statement the database accepted; after Cancel or close the empty text.
    QString resultSql() const { return m_resultSql; }

    /// Fills the grid with `rows` (a condition reopened for refining), one grid row each, and
    /// composes them; call before the dialog is shown.
    void setConditionRows(const ConditionRows &rows);
    /// The rows as the grid holds them (after OK: the accepted condition).
    ConditionRows conditionRows() const;

    /// False (the default): Verify says "Ok!" alone. True: Verify also counts the rows the
    /// statement returns and, when there are none, offers to find the rows of the condition
    /// that rule out every row (rowsRulingOutEveryRow()), and marks them.
    void setCountRows(bool countRows) { m_countRows = countRows; }

    /// The run the dialog works on.
    const QueryRun &run() const { return m_run; }

    /// The window the dialog belongs to is going away (its owner is being deleted): the dialog
    /// leaves it, so that it is not deleted under a statement that may still run, and closes.
    /// Whoever created it deletes it once its exec() has returned.
    void abandon();

    ///@{
    /// Undo and redo of the changes to the condition rows (Ctrl+Z; Ctrl+Shift+Z or Ctrl+Y).
    /// The value typed into one cell counts as one change.
    bool canUndo() const { return m_historyPos > 0; }
    bool canRedo() const { return m_historyPos + 1 < m_history.size(); }
    void undo();
    void redo();
    ///@}

    /// The tip shown when a keystroke in a number value is dropped.
    static QString refusedKeyText();

    /// The data row and column being edited (curRow 0: none).
    int curRow() const { return m_curRow; }
    int curCol() const { return m_curCol; }

    /// The least outer size of the window in twips: the client area plus the frame the window
    /// system draws (from the design frame until the dialog is shown). The layout rules read the
    /// window's size as its client area plus the design frame (twipsgeometry::windowWidth()).
    static constexpr int MinimumWidth = 8205;
    static constexpr int MinimumHeight = 5790;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

public Q_SLOTS:
    /// Every close ends here: OK, Cancel, the close box and Escape.
    void done(int result) override;

private:
    // Lifecycle and layout
    void createControls();
    void load();
    void layoutControls();
    /// Grows the captions and buttons to what their fonts need, and gives the editors the grid's font.
    void fitToFonts();
    /// The frame around the client area in pixels: the real one once shown, else the design frame.
    QSize realFrame() const;
    /// Sets the minimum client size so that the outer size is at least MinimumWidth x MinimumHeight.
    void applyMinimumSize();
    /// The least client area in twips that shows every control whole and apart from the others.
    QSize contentMinimum() const;
    /// How much taller than designed the buttons are (twips).
    int extraButtonHeight() const;
    /// The grid's top in twips: the design's, or lower under captions grown taller.
    int gridTop() const;
    /// The preview's height in twips: the design height, or one line of its font when taller.
    int previewHeight() const;
    void sizeColumns();
    void onVerify();
    void onOk();
    void onCancel();
    /// Validates, composes and proves the statement; true when the database accepted it.
    bool checkStatement();
    /// While a statement of this dialog runs long enough to show the busy state, the buttons
    /// are disabled (false); true gives them back their state and the focus.
    void setButtonsIdle(bool idle);

    // Condition grid and editors
    void iniQueryGrid();
    void editCell();
    void placeEditors();
    void hideEditors();
    void loadColumnList();
    void loadOperatorList(TypeClass typeClass);
    void loadOperatorsForColumn(const QString &colIndexText);
    void loadLogicalList();
    void loadLeftBracketList();
    void loadRightBracketList();
    void loadFixedList(const QStringList &entries);
    /// Adds an entry to comItem that writes `cellText` into its cell.
    void addListEntry(const QString &cellText);
    void refreshValueLock();
    void listFocusStep();
    void valueFocusStep();
    void onListPicked(int index);
    /// The recent-condition list (RecentConditions): fills the grid with the picked condition.
    void onRecentPicked(int index);
    void createRecentList();
    void onValueTextChanged(const QString &text);
    void onGridMouseUp(int button, int shift, int x, int y);
    void recompose();
    /// Shows whether `row` is used in the condition: colour, bold text and the row's note.
    void markRow(int row);
    /// The rows `statement` (a count statement) counts; throws RuntimeError on failure.
    qint64 countRows(const QString &statement) const;
    /// Verify's report with the row count of the checked statement.
    void reportRowCount();
    /// Finds and marks the rows that rule out every row, and says which they are.
    void explainNoRows();
    /// The column type of the row's colIndex cell; None when the cell is blank.
    TypeClass rowTypeClass(int row) const;
    /// The height of the grid rows and of the editors over them, in twips: the design height, or
    /// what the grid's fonts and the editors need when that is more.
    int comItemHeight() const;

    // Row commands and value entry
    void onAdd();
    void onDelete();
    void onGetValue();
    /// The calendar of a date value (DateEditor): writes the picked day into txtValue.
    void pickDate();
    /// Offers the picker of data row `row` the values that match the other rows.
    void offerNarrowing(frmGetValue &picker, int row);
    /// Filters one keystroke of txtValue; returns false when it is dropped (and says why in a tip).
    bool valueKeystroke(int key);

    // Keyboard use of the grid and its editors
    /// A key pressed in the grid; true when it was used.
    bool gridKeyPress(QKeyEvent *event);
    /// A key pressed in comItem while its drop-down is closed; true when it was used.
    bool listKeyPress(QKeyEvent *event);
    /// A key pressed in txtValue before the numeric filter sees it; true when it was used.
    bool valueEditorKeyPress(QKeyEvent *event);
    /// Tab and Shift+Tab step through the cells; false at either end so the focus leaves the grid.
    bool stepCell(bool forward);
    bool editorOpen() const;
    /// Closes the open editor, keeping what was entered, and gives the focus back to the grid.
    void closeEditor();
    /// Closes the open editor and puts back the cell text it started with.
    void cancelEditor();
    void nameControls();
    /// Picks the entry of the open list that the characters typed so far name: the entry equal
    /// to them, else the first that starts with them. True when one was picked.
    bool typedChoice(const QString &text);
    /// Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y wherever the focus is in the dialog; true when used.
    bool undoRedoKey(const QKeyEvent *event);
    /// Records the rows as they are now as one step of the undo history; `typingRow` (a data
    /// row, or 0) merges the steps of one value being typed into that row's Value cell.
    void rememberRows(int typingRow = 0);
    void restoreRows(const ConditionRows &rows);
    /// A message box of this dialog: captioned with the run's title when the host set one;
    /// `detail` (for example the row the message is about) is shown under the text.
    MessageAnswer say(const QString &text, MessageButtons buttons = MessageButtons::Ok,
                      MessageIcon icon = MessageIcon::None, MessageDefault defaultButton = MessageDefault::First,
                      const QString &detail = QString());
    /// "Row n of the condition: ..." for data row `row`, as the message boxes name it.
    QString rowDetail(int row) const;
    /// Escape with rows in use: true when the user agrees to close without them.
    bool confirmDiscard();

    QueryRun m_run;
    QString m_resultSql;
    /// Why the latest composition could not be added to the statement (then m_resultSql is
    /// empty), or empty.
    QString m_refusal;
    std::unique_ptr<BusyScope> m_busy; // the busy state while the dialog's statements run

    FlexGrid *m_grid = nullptr;
    QLabel *m_label1 = nullptr;
    QCheckBox *m_chkSqlShow = nullptr;
    QLabel *m_label2 = nullptr;
    QPlainTextEdit *m_txtCondition = nullptr;
    QLineEdit *m_txtValue = nullptr;
    QComboBox *m_comItem = nullptr;
    /// The earlier conditions offered to pick again; only when the run offers them.
    QComboBox *m_cboRecent = nullptr;
    /// The live row count and its label (lblLiveCount); only when the run asks for it.
    LiveCount *m_liveCount = nullptr;
    QLabel *m_lblLiveCount = nullptr;
    QPushButton *m_cmdGetValue = nullptr;
    QPushButton *m_cmdAdd = nullptr;
    QPushButton *m_cmdDel = nullptr;
    QPushButton *m_cmdOK = nullptr;
    QPushButton *m_cmdCancel = nullptr;
    QPushButton *m_cmdVerify = nullptr;

    /// True while a button's action runs (a statement, or a message box it opened): another
    /// press meanwhile (an accessibility action, a host's click()) is ignored.
    bool m_acting = false;
    bool m_abandoned = false;
    QList<std::pair<QPointer<QWidget>, bool>> m_buttonsBeforeBusy; // each button and whether it was enabled
    QPointer<QWidget> m_focusBeforeBusy;
    bool m_resultPending = true;
    bool m_countRows = false;
    QList<int> m_colWidths;       // positions 1..7, position 0 unused
    int m_curRow = 1;
    int m_curCol = 0;
    bool m_suppressValueSync = false;
    bool m_inEditCell = false;
    QString m_editOriginal;        // the Value cell's text when its editor opened
    QStringList m_logicalList;     // positions 1..2
    QStringList m_leftBracketList; // positions 1..2
    QStringList m_rightBracketList;

    QString m_typed;               // the characters typed into the open list so far
    qint64 m_typedAt = 0;          // when the last of them was typed (ms since the epoch)
    bool m_popupByKeyboard = false; // the open drop-down was opened with F4 or Alt+Down
    bool m_addByKeyboard = false;   // Add was pressed with its access key or the space bar
    QList<ConditionRows> m_history; // every state of the rows, oldest first
    int m_historyPos = 0;           // the state shown
    int m_typingRow = 0;            // the row whose value is being typed into the latest step
    bool m_restoring = false;
};

/// Leaves `grid` with its fixed (header) row plus one empty data row; the header keeps its
/// texts and fonts. Errors are reported through the shared error report.
void resetGridRows(FlexGrid &grid);

} // namespace condora
