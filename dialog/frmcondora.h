#pragma once

#include "analysis/queryrun.h"
#include "condition/conditionrow.h"
#include "dialog/conditioneditor.h"
#include "platform/userinteraction.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QSize>
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
class LiveCount;

/// The query dialog: the user builds the WHERE condition of a query run as rows of its
/// condition editor (ConditionEditor, with the grid `MFGQuery`) and confirms it with OK. The
/// dialog itself holds the captions, the SQL preview and the buttons, and proves the statement.
///
/// It works on the query run it is given (base statement, database kind, field catalog,
/// connection, style) and keeps nothing else. While it is open every edit recomposes the final
/// statement (resultSql()); OK leaves the tested statement there, Cancel and the close box (or
/// Escape) empty it. Read
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

    /// The final statement: while the dialog is open the one composed from the grid so far;
    /// after OK the statement the database accepted; after Cancel or close the empty text.
    QString resultSql() const { return m_resultSql; }

    /// setConditionTerms() with each row of cells read as its term (termOf()).
    void setConditionRows(const ConditionRows &rows);
    /// The rows' texts as the grid shows them (after OK: the accepted condition).
    ConditionRows conditionRows() const;
    /// Makes `terms` the condition (a condition reopened for refining) and composes it; call
    /// before the dialog is shown.
    void setConditionTerms(const ConditionTerms &terms);
    /// The condition's rows (after OK: the accepted condition).
    ConditionTerms conditionTerms() const;

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
    bool canUndo() const { return m_editor->canUndo(); }
    bool canRedo() const { return m_editor->canRedo(); }
    void undo() { m_editor->undo(); }
    void redo() { m_editor->redo(); }
    ///@}

    /// The tip shown when a keystroke in a number value is dropped.
    static QString refusedKeyText() { return ConditionEditor::refusedKeyText(); }

    /// The data row and column being edited (curRow 0: none).
    int curRow() const { return m_editor->curRow(); }
    int curCol() const { return m_editor->curCol(); }

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
    void onVerify();
    void onOk();
    void onCancel();
    void onAdd();
    void onDelete();
    /// Takes the editor's latest composition: the statement, why it is refused, the preview.
    void onComposed(const ComposedCondition &composed);
    /// Validates, composes and proves the statement; true when the database accepted it.
    bool checkStatement();
    /// While a statement of this dialog runs long enough to show the busy state, the buttons
    /// are disabled (false); true gives them back their state and the focus.
    void setButtonsIdle(bool idle);
    /// The recent-condition list (RecentConditions): fills the grid with the picked condition.
    void onRecentPicked(int index);
    void createRecentList();
    /// The rows `statement` (a count statement) counts; throws RuntimeError on failure.
    qint64 countRows(const QString &statement) const;
    /// Verify's report with the row count of the checked statement.
    void reportRowCount();
    /// Finds and marks the rows that rule out every row, and says which they are.
    void explainNoRows();
    void nameControls();
    /// A message box of this dialog (runMessage()).
    MessageAnswer say(const QString &text, MessageButtons buttons = MessageButtons::Ok,
                      MessageIcon icon = MessageIcon::None, MessageDefault defaultButton = MessageDefault::First,
                      const QString &detail = QString());
    /// Escape with rows in use: true when the user agrees to close without them.
    bool confirmDiscard();

    QueryRun m_run;
    QString m_resultSql;
    /// Why the latest composition could not be added to the statement (then m_resultSql is
    /// empty), or empty.
    QString m_refusal;
    std::unique_ptr<BusyScope> m_busy; // the busy state while the dialog's statements run

    ConditionEditor *m_editor = nullptr;
    QLabel *m_label1 = nullptr;
    QCheckBox *m_chkSqlShow = nullptr;
    QLabel *m_label2 = nullptr;
    QPlainTextEdit *m_txtCondition = nullptr;
    /// The earlier conditions offered to pick again; only when the run offers them.
    QComboBox *m_cboRecent = nullptr;
    /// The live row count and its label (lblLiveCount); only when the run asks for it.
    LiveCount *m_liveCount = nullptr;
    QLabel *m_lblLiveCount = nullptr;
    QPushButton *m_cmdAdd = nullptr;
    QPushButton *m_cmdDel = nullptr;
    QPushButton *m_cmdOK = nullptr;
    QPushButton *m_cmdCancel = nullptr;
    QPushButton *m_cmdVerify = nullptr;

    bool m_abandoned = false;
    QList<std::pair<QPointer<QWidget>, bool>> m_buttonsBeforeBusy; // each button and whether it was enabled
    QPointer<QWidget> m_focusBeforeBusy;
    bool m_resultPending = true;
    bool m_countRows = false;
    bool m_addByKeyboard = false;   // Add was pressed with its access key or the space bar
};

} // namespace condora
