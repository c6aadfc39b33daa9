#pragma once

#include "analysis/queryrun.h"
#include "analysis/typeclass.h"
#include "condition/conditioncomposer.h"
#include "condition/conditionmodel.h"
#include "condition/conditionrow.h"
#include "platform/userinteraction.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class QComboBox;
class QKeyEvent;
class QLineEdit;
class QPushButton;

namespace condora {

class FlexGrid;
class frmGetValue;

/// The condition rows of a query run as the user edits them: the grid `MFGQuery` with one row
/// per part of the condition, the drop-down list `comItem` that edits its bracket, Column,
/// Operator and Logical cells, the Value editor `txtValue` with its ".." button `cmdGetValue`
/// (the value picker, or a calendar), the keyboard use of all of them, and the undo history.
///
/// The rows are held as typed rows in model(); the grid shows them, its texts made by the model
/// for display only. Every change of the rows composes them (recompose()) and hands the
/// composition on through composed(). The widget lies where the grid is; the grid fills it and
/// the editors float over its current cell. It works on the run of the window it is in, which
/// outlives it.
class ConditionEditor : public QWidget
{
    Q_OBJECT

public:
    ConditionEditor(const QueryRun &run, QWidget *parent);
    ~ConditionEditor() override;

    FlexGrid *grid() const { return m_grid; }
    /// The condition rows; the grid's data row n shows the model's row n - 1.
    ConditionModel *model() const { return m_model; }
    QPushButton *getValueButton() const { return m_cmdGetValue; }

    /// Fills the fixed lists, sets up the grid's header and columns and starts the history.
    void load();
    /// The editors take the grid's font.
    void fitToFonts();
    /// Once the styles and fonts are in place: the rows get their height, the first cell
    /// becomes current and the history starts.
    void startEditing();
    /// Places the editors and then the grid in the focus chain after `previous`.
    void setTabOrderAfter(QWidget *previous);
    /// Puts the editor (and the grid that fills it) at `twips` of its window, and sizes the
    /// columns and the open editor to it.
    void place(const QRect &twips);
    /// The height of the grid rows and of the editors over them, in twips: the design height, or
    /// what the grid's fonts and the editors need when that is more.
    int comItemHeight() const;

    /// Makes `terms` the condition (one empty row when there are none) and composes it.
    void setConditionTerms(const ConditionTerms &terms);
    /// setConditionTerms() with each row of cells read as its term (termOf()).
    void setConditionRows(const ConditionRows &rows);
    /// Makes `terms` the condition as one change the user made (undo gives back the rows before)
    /// and makes the first row current.
    void pickRows(const ConditionTerms &terms);
    /// The condition's rows.
    ConditionTerms conditionTerms() const { return m_model->terms(); }
    /// The rows' texts as the grid shows them (ConditionModel::displayRows()).
    ConditionRows conditionRows() const;
    /// Composes the rows and emits composed(). A failure throws and leaves the statement as it
    /// was.
    void recompose();

    /// Opens the editor of the grid's current cell.
    void editCell();
    /// Selects the cells `firstCol` .. `lastCol` of data row `row`.
    void selectCells(int row, int firstCol, int lastCol);

    ///@{
    /// The row commands: a new empty row at the end (from the keyboard the new row's first
    /// cell becomes current), and the current row deleted after asking.
    void addRow(bool byKeyboard);
    void deleteRow();
    ///@}

    ///@{
    /// Undo and redo of the changes to the condition rows.
    bool canUndo() const { return m_historyPos > 0; }
    bool canRedo() const { return m_historyPos + 1 < m_history.size(); }
    void undo();
    void redo();
    /// Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y; true when used.
    bool undoRedoKey(const QKeyEvent *event);
    ///@}

    bool editorOpen() const;
    /// Closes the open editor and puts back the cell text it started with.
    void cancelEditor();

    /// The data row and column being edited (curRow 0: none).
    int curRow() const { return m_curRow; }
    int curCol() const { return m_curCol; }

    /// "Row n of the condition: ..." for data row `row`, as the message boxes name it.
    QString rowDetail(int row) const;

    ///@{
    /// True while an action of the window runs (a statement, or a message box it opened): the
    /// row commands, undo and the picker are refused meanwhile.
    bool acting() const { return m_acting; }
    void setActing(bool acting) { m_acting = acting; }
    ///@}
    /// The window is going away: a picker or calendar that closes does nothing more.
    void abandon() { m_abandoned = true; }

    /// The tip shown when a keystroke in a number value is dropped.
    static QString refusedKeyText();

Q_SIGNALS:
    /// The rows were composed anew.
    void composed(const condora::ComposedCondition &composed);

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void nameControls();
    void iniQueryGrid();
    void sizeColumns();
    void placeEditors();
    void hideEditors();
    void loadColumnList();
    void loadOperatorList(TypeClass typeClass);
    void loadOperatorsForRow(int row);
    void loadLogicalList();
    void loadLeftBracketList();
    void loadRightBracketList();
    /// Adds an entry to comItem that shows `cellText` without its blanks and sets `value` (an
    /// operator, bracket count or logical word) in its cell.
    void addListEntry(const QString &cellText, int value);
    void refreshValueLock();
    void listFocusStep();
    void valueFocusStep();
    void onListPicked(int index);
    void onValueTextChanged(const QString &text);
    void onGridMouseUp(int button, int shift, int x, int y);
    /// Shows whether `row` is used in the condition: colour, bold text and the row's note.
    void markRow(int row);
    /// The column type of data row `row`; None without a column.
    TypeClass rowTypeClass(int row) const;
    /// The model's row shown in data row `row` of the grid.
    ConditionTerm termAt(int row) const { return m_model->term(row - 1); }

    ///@{
    /// The grid follows the model: the texts of a row, every row, a row added or removed.
    void showRowTexts(int modelRow);
    void showAllRows();
    void onModelRowInserted(int modelRow);
    void onModelRowRemoved(int modelRow);
    void onModelRowMoved(int from, int to);
    ///@}

    void onGetValue();
    /// The calendar of a date value (DateEditor): writes the picked day into txtValue.
    void pickDate();
    /// Offers the picker of data row `row` the values that match the other rows.
    void offerNarrowing(frmGetValue &picker, int row);
    /// Filters one keystroke of txtValue; returns false when it is dropped (and says why in a tip).
    bool valueKeystroke(int key);

    /// A key pressed in the grid; true when it was used.
    bool gridKeyPress(QKeyEvent *event);
    /// A key pressed in comItem while its drop-down is closed; true when it was used.
    bool listKeyPress(QKeyEvent *event);
    /// A key pressed in txtValue before the numeric filter sees it; true when it was used.
    bool valueEditorKeyPress(QKeyEvent *event);
    /// Tab and Shift+Tab step through the cells; false at either end so the focus leaves the grid.
    bool stepCell(bool forward);
    /// Closes the open editor, keeping what was entered, and gives the focus back to the grid.
    void closeEditor();
    /// Picks the entry of the open list that the characters typed so far name: the entry equal
    /// to them, else the first that starts with them. True when one was picked.
    bool typedChoice(const QString &text);
    /// Records the rows as they are now as one step of the undo history; `typingRow` (a data
    /// row, or 0) merges the steps of one value being typed into that row's Value cell.
    void rememberRows(int typingRow = 0);
    void restoreRows(const ConditionTerms &terms);
    MessageAnswer say(const QString &text, MessageButtons buttons = MessageButtons::Ok,
                      MessageIcon icon = MessageIcon::None, MessageDefault defaultButton = MessageDefault::First,
                      const QString &detail = QString());

    const QueryRun &m_run;

    ConditionModel *m_model = nullptr;
    FlexGrid *m_grid = nullptr;
    QLineEdit *m_txtValue = nullptr;
    QComboBox *m_comItem = nullptr;
    QPushButton *m_cmdGetValue = nullptr;

    bool m_acting = false;
    bool m_abandoned = false;
    QList<int> m_colWidths;       // positions 1..7, position 0 unused
    int m_curRow = 1;
    int m_curCol = 0;
    bool m_suppressValueSync = false;
    bool m_inEditCell = false;
    QString m_editOriginal;        // the Value cell's text when its editor opened

    QString m_typed;               // the characters typed into the open list so far
    qint64 m_typedAt = 0;          // when the last of them was typed (ms since the epoch)
    bool m_popupByKeyboard = false; // the open drop-down was opened with F4 or Alt+Down
    QList<ConditionTerms> m_history; // every state of the rows, oldest first
    int m_historyPos = 0;           // the state shown
    int m_typingRow = 0;            // the row whose value is being typed into the latest step
    bool m_restoring = false;
};

/// A message box of a run's window: captioned with the run's title when the host set one;
/// `detail` (for example the row the message is about) is shown under the text.
MessageAnswer runMessage(const QueryRun &run, const QString &text, MessageButtons buttons = MessageButtons::Ok,
                         MessageIcon icon = MessageIcon::None, MessageDefault defaultButton = MessageDefault::First,
                         const QString &detail = QString());

/// Leaves `grid` with its fixed (header) row plus one empty data row; the header keeps its
/// texts and fonts. Errors are reported through the shared error report.
void resetGridRows(FlexGrid &grid);

} // namespace condora
