#pragma once

#include "support/testdatabases.h"

#include "dialog/frmcondora.h"
#include "platform/userinteraction.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace condora {
class FlexGrid;
} // namespace condora

/// GUI tests of the query dialog, its editors and row commands, the value picker, the numeric
/// key filter and a whole query run through the control, on the offscreen platform.
class TestDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    // tst_querydialog.cpp: load, layout, preview, Verify, OK, Cancel, close
    void loadShowsDesign();
    void tabOrderFollowsDesign();
    void layoutAfterResize_data();
    void layoutAfterResize();
    void previewToggle();
    void verifyAcceptedStatement();
    void verifyRejectedStatement();
    void verifyStopsOnValidation();
    void okClosesOnlyOnAcceptedStatement();
    void closing_data();
    void closing();

    // tst_conditioneditors.cpp: the grid's floating editors
    void mouseButtonsOpenEditors_data();
    void mouseButtonsOpenEditors();
    void colIndexClickEditsLogical();
    void listsPerCell_data();
    void listsPerCell();
    void operatorsPerTypeClass_data();
    void operatorsPerTypeClass();
    void pickColumnKeepsOperatorAndValue();
    void enteringListCellSelectsItsEntry();
    void valueLock();
    void greenOnlyOnPick();
    void typingFollowsIntoCellAndPreview();
    void valueTooltip_data();
    void valueTooltip();
    void scrollHidesEditors();
    void editorsCoverTheirCell();
    void editorsNotClippedAtGridEdge_data();
    void editorsNotClippedAtGridEdge();

    // tst_rowcommands.cpp: Add, Delete, numeric key filter
    void addAppendsAndKeepsSelection();
    void deleteRows();
    void deleteCancelAndNoCurrentRow();
    void numericKeyFilter_data();
    void numericKeyFilter();
    void numericFilterOnlyForNumberColumns();
    void enterMovesFocusOn();
    void recentPickIsUndoable();

    // tst_valuepicker.cpp
    void pickerStatement_data();
    void pickerStatement();
    void pickerLongTextKeepsDuplicates();
    void pickerWithoutColumnRunsNothing();
    void pickerSortAndPick();
    void pickerClosedWithoutPick();
    void pickerNeedsAColumn();
    void pickerPosition_data();
    void pickerPosition();
    void pickerHandFillAndClientCursor();
    void pickerFailingStatement();

    // tst_keyboard.cpp: keyboard only
    void keyboardBuildsSameStatementAsMouse();
    void escapeLeavesCellUnchanged_data();
    void escapeLeavesCellUnchanged();
    void keyboardDeletesTheRowAsked();
    void pickerKeysAndEmptySpace_data();
    void pickerKeysAndEmptySpace();
    void keyboardConditionInFewKeys();
    void typedCharacterPicksEntry_data();
    void typedCharacterPicksEntry();
    void oneEnterAfterDropDown();
    void escapeAsksWithRowsInUse_data();
    void escapeAsksWithRowsInUse();
    void undoRedoRowChanges();

    // tst_accessibility.cpp: names, colours, owner
    void controlsHaveAccessibleNames_data();
    void controlsHaveAccessibleNames();
    void usedRowReadWithoutColour();
    void coloursReadableInPalettes_data();
    void coloursReadableInPalettes();
    void queryDialogOwnedByControlWindow();
    void fontsFitAtEverySize_data();
    void fontsFitAtEverySize();
    void pickerColumnFitsItsValues_data();
    void pickerColumnFitsItsValues();
    void everyTextWholeAndApart_data();
    void everyTextWholeAndApart();
    void accessibleTreeNamed();
    void messagesNameTheRow_data();
    void messagesNameTheRow();
    void refusedKeyIsShown();
    void dateEditorCalendar_data();
    void dateEditorCalendar();
    void gridHidesItsKeyColumn();
    void busyStateAnnounced();

    // tst_livecount.cpp: the live row count
    void liveCountMatchesEngine_data();
    void liveCountMatchesEngine();
    void liveCountStopsAndStaysOff();

    // tst_queryrun.cpp: through the control
    void queryRunReturnsStatement();
    void queryRunReturnsRows();
    void queryRunCancelled();
    void analysisSendsEachProbeOnce();
    void secondRunLeavesFirstRunAlone();
    void queryRunOffersShowSql_data();
    void queryRunOffersShowSql();

private:
    /// The test database and the analysis state of a run on it, prepared by hand.
    void prepareState();
    /// A shown query dialog (owned by the test; deleted in cleanup()).
    condora::frmCondora *openDialog();
    condora::FlexGrid *grid() const;
    /// Sets the cells of data row `row` through the editors: column, operator, value.
    void enterRow(int row, const QString &column, const QString &op, const QString &value = QString());

    std::unique_ptr<condora::test::SqliteFile> m_db;
    std::unique_ptr<condora::RecordingUserInteraction> m_ui;
    std::unique_ptr<condora::frmCondora> m_dialog;
    /// The run the next openDialog() shows; tests adjust it before opening.
    condora::QueryRun m_run;
    std::unique_ptr<QObject> m_scope; // parent of the test's timers
};
