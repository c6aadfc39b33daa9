#pragma once

// The state behind a Condora control. Not part of the public API.

#include "platform/ado/connection.h"
#include "platform/dialogstyle.h"

#include <QPointer>
#include <QSize>
#include <QString>
#include <QVariantList>

#include <memory>

#include <QSqlError>

#include "analysis/queryrun.h"

namespace condora {
class BusyScope;
class frmCondora;
}

/// A run of Condora::open() whose dialog is still open: what lives on after open() returned.
struct CondoraOpenRun
{
    condora::QueryRun run;
    /// The run's busy state; ends before the run's connection is let go.
    std::unique_ptr<condora::BusyScope> busy;
    /// The dialog was shown and the run goes on without the caller.
    bool pending = false;
    /// The control went while the dialog was open: the dialog closes without a word.
    bool abandoned = false;

    CondoraOpenRun();
    ~CondoraOpenRun();
};

class CondoraPrivate
{
public:
    QSize designSize;

    bool enabled = false;
    bool keepCondition = false;
    bool countRows = false;
    bool moreOperators = false;
    bool dateEditor = false;
    bool recentConditions = false;
    bool liveCount = false;
    bool fastValueLists = false;
    std::shared_ptr<condora::ado::Connection> connObj;
    QString title;
    QString sqlInput;
    bool showSql = false;
    /// The 21 appearance properties, handed to the dialogs as they stand when a run opens one.
    condora::DialogStyle style;

    /// The host's filter conditions for the next run (SetFilterCondition); a run takes them and
    /// its closing dialog empties them (a single empty entry). Empty when never given.
    QStringList filters;

    /// Rows set for the next run (SetConditionRows), as JSON; empty when none.
    QString nextRows;
    /// The rows accepted in the last run, as JSON, and the base statement they were built on.
    QString lastRows;
    QString lastRowsSql;
    /// The conditions remembered with RecentConditions: a JSON object from base statement to an
    /// array of condition documents, newest first; empty when none.
    QString recentList;
    /// The last accepted statement in bound-parameter form and its values.
    QString lastParameterSql;
    QVariantList lastParameters;

    /// True from the start of a run until its final statement has run: a second run the host
    /// starts meanwhile (from a timer, say) is refused.
    bool running = false;
    /// The run's query dialog while it is open.
    QPointer<condora::frmCondora> dialog;
    /// The window-modal run whose dialog is open (open()).
    std::shared_ptr<CondoraOpenRun> openRun;
    /// The error of the last call that failed without throwing (lastError()).
    QSqlError lastError;
};
