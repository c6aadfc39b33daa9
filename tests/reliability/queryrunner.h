#pragma once

#include "reliabilitysupport.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class Condora;

namespace condora::ado {
class Connection;
class Recordset;
}

namespace reliability {

/// What one query run through the public control left behind.
struct RunOutcome
{
    bool sawDialog = false;
    bool dialogClosedByOk = false;
    QStringList messages;   ///< texts of every message box, in order
    QString sql;            ///< GetQuerySql's result, or the executed statement of GetQueryResult
    bool gotRecordset = false;
    QStringList rowIds;     ///< first column of every row of the recordset
    QStringList statements; ///< every statement the connection sent during the run
};

/// The user's part of a run, called once the query dialog is the active modal window.
using UserScript = std::function<void(QWidget *dialog)>;

/// One query run through the public control with the real dialog installed.
struct ControlRun
{
    std::shared_ptr<condora::ado::Connection> connection;
    QString sqlInput;
    QStringList filters; ///< given to SetFilterCondition when not empty
    UserScript user;     ///< default: Cancel
    bool result = false; ///< GetQueryResult instead of GetQuerySql
    Condora *control = nullptr; ///< the control to run on (its properties kept); default: a new one

    RunOutcome run(RecordingUi &ui) const;
};

/// The query dialog's controls, as the user reaches them.
/// Picks the column and operator of data row `row` through the list editor; false when an entry
/// is not offered.
bool pickColumnAndOperator(QWidget *dialog, int row, const QString &column, const QString &op);
/// Opens the Value editor on data row `row` and types `value` key by key (a long value is
/// pasted from the clipboard).
void typeValue(QWidget *dialog, int row, const QString &value);
/// Presses a button of the dialog by name.
void press(QWidget *dialog, const char *button);
/// Opens the value picker for data row `row`, picks the first value it lists and takes it into
/// the row's Value cell, as a user would. Returns every value the picker listed.
QStringList pickFirstListedValue(QWidget *dialog, int row);
/// The same with the value at `entry` (1 for the first) of the picker's list.
QStringList pickListedValue(QWidget *dialog, int row, int entry);
/// Starts one test of query runs: fresh analysis state and dialog style, a new recording user
/// interaction, and a scope object whose watchdog closes any dialog still open after 30 s, so
/// that a test failing inside a modal dialog cannot hang the run.
void beginTestRun(std::unique_ptr<RecordingUi> &ui, std::unique_ptr<QObject> &scope);
/// Ends it: closes what a failing test left open, drops the user interaction and the analysis
/// state, and returns the names of the top-level windows still open (none, when all went well).
QStringList endTestRun(std::unique_ptr<RecordingUi> &ui, std::unique_ptr<QObject> &scope);
/// Presses OK; when the dialog stays open (a message was shown), presses Cancel.
/// True when OK closed it.
bool okOrCancel(QWidget *dialog);

/// Shows both texts in full when they differ (QCOMPARE cuts long texts).
bool sameTexts(const QStringList &actual, const QStringList &expected);

} // namespace reliability
