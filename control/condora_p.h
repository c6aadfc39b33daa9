#pragma once

// The state behind a Condora control. Not part of the public API.

#include "platform/ado/connection.h"
#include "platform/dialogstyle.h"

#include <QPointer>
#include <QSize>
#include <QString>
#include <QVariantList>

#include <memory>

namespace condora {
class frmCondora;
}

class CondoraPrivate
{
public:
    QSize designSize;

    bool enabled = false;
    bool keepCondition = false;
    bool countRows = false;
    bool moreOperators = false;
    bool dateEditor = false;
    std::shared_ptr<condora::ado::Connection> connObj;
    QString title;
    QString sqlInput;
    bool showSql = false;
    /// The 21 appearance properties, handed to the dialogs as they stand when a run opens one.
    condora::DialogStyle style;

    /// Rows set for the next run (SetConditionRows), as JSON; empty when none.
    QString nextRows;
    /// The rows accepted in the last run, as JSON, and the base statement they were built on.
    QString lastRows;
    QString lastRowsSql;
    /// The last accepted statement in bound-parameter form and its values.
    QString lastParameterSql;
    QVariantList lastParameters;

    /// True from the start of a run until its final statement has run: a second run the host
    /// starts meanwhile (from a timer, say) is refused.
    bool running = false;
    /// The run's query dialog while it is open.
    QPointer<condora::frmCondora> dialog;
};
